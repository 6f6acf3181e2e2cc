#include "io/buffered_output.hpp"

#include "io/status.hpp"

namespace qx {

namespace {

// Empties a regular file before its first write: 0, or the error number of
// the failure. An empty file is left alone: ext4 takes a cut to length zero
// for a file being replaced and writes all of it out at the close, which
// would make every new output file cost a wait for the disk.
int empty_for_rewrite(os::File f) {
  os::FileFacts facts;
  if (const int error = os::facts_of(f, facts); error != 0) return error;
  if (facts.type != os::FileType::regular || facts.size == 0) return 0;
  return os::set_size(f, 0);
}

}  // namespace

int BufferedOutput::open(const std::string& path) {
  close();
  os::File f = os::no_file;
  failure_ = {};
  if (int status = os::open_for_writing(path, f); status != iostat::ok) {
    failure_ = IoFailure::from_system(os::last_error());
    return status;
  }
  file_ = f;
  len_ = 0;
  replaced_ = false;
  failed_ = iostat::ok;
  return iostat::ok;
}

int BufferedOutput::fail(int error) {
  if (failed_ == iostat::ok) failure_ = IoFailure::from_system(error);
  return failed_ = iostat::write_failed;
}

int BufferedOutput::close() {
  if (file_ == os::no_file) return iostat::ok;
  flush();
  if (!os::close_file(file_)) fail(os::last_error());
  file_ = os::no_file;
  buf_.release();
  return failed_;
}

int BufferedOutput::flush() {
  if (file_ == os::no_file) return iostat::write_failed;
  if (len_ > 0 && failed_ == iostat::ok && !os::write_all(file_, buf_.data(), len_)) fail(os::last_error());
  len_ = 0;
  return failed_;
}

int BufferedOutput::begin_output() {
  if (file_ == os::no_file) return iostat::write_failed;
  if (failed_ != iostat::ok) return failed_;
  if (!replaced_) {
    if (const int error = empty_for_rewrite(file_); error != 0) return fail(error);
    replaced_ = true;
  }
  if (buf_.size() == 0) buf_.allocate_reused(buffer_bytes);
  return iostat::ok;
}

void BufferedOutput::write_after_buffer(const void* data, std::size_t bytes) {
  if (failed_ != iostat::ok) return;
  os::WritePart parts[] = {{buf_.data(), len_}, {data, bytes}};
  if (!os::write_all(file_, parts)) fail(os::last_error());
  len_ = 0;
}

}  // namespace qx
