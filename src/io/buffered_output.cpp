#include "io/buffered_output.hpp"

#include "io/status.hpp"

namespace qx {

namespace {

// Empties a regular file before its first write; false when that fails.
// An empty file is left alone: ext4 takes a cut to length zero for a file
// being replaced and writes all of it out at the close, which would make
// every new output file cost a wait for the disk.
bool empty_for_rewrite(os::File f) {
  os::FileFacts facts;
  if (os::facts_of(f, facts) != 0) return false;
  if (facts.type != os::FileType::regular || facts.size == 0) return true;
  return os::set_size(f, 0) == 0;
}

}  // namespace

int BufferedOutput::open(const std::string& path) {
  close();
  os::File f = os::no_file;
  if (int status = os::open_for_writing(path, f); status != iostat::ok) return status;
  file_ = f;
  len_ = 0;
  replaced_ = false;
  failed_ = iostat::ok;
  return iostat::ok;
}

int BufferedOutput::close() {
  if (file_ == os::no_file) return iostat::ok;
  flush();
  if (!os::close_file(file_) && failed_ == iostat::ok) failed_ = iostat::write_failed;
  file_ = os::no_file;
  buf_.release();
  return failed_;
}

int BufferedOutput::flush() {
  if (file_ == os::no_file) return iostat::write_failed;
  if (len_ > 0 && failed_ == iostat::ok && !os::write_all(file_, buf_.data(), len_)) failed_ = iostat::write_failed;
  len_ = 0;
  return failed_;
}

int BufferedOutput::begin_output() {
  if (file_ == os::no_file) return iostat::write_failed;
  if (failed_ != iostat::ok) return failed_;
  if (!replaced_) {
    if (!empty_for_rewrite(file_)) return failed_ = iostat::write_failed;
    replaced_ = true;
  }
  if (buf_.size() == 0) buf_.allocate_reused(buffer_bytes);
  return iostat::ok;
}

void BufferedOutput::write_after_buffer(const void* data, std::size_t bytes) {
  if (failed_ != iostat::ok) return;
  os::WritePart parts[] = {{buf_.data(), len_}, {data, bytes}};
  if (!os::write_all(file_, parts)) failed_ = iostat::write_failed;
  len_ = 0;
}

}  // namespace qx
