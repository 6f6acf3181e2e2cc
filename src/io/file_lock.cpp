#include "io/file_lock.hpp"

namespace qx {

FileLocks::Outcome FileLocks::lock(const std::string& path, int& error) {
  error = 0;
  os::File f = os::no_file;
  os::FileFacts facts;
  if (os::open_for_reading(path, f, facts) != 0) return Outcome::skipped;
  switch (os::lock_exclusive(f, error)) {
    case os::LockOutcome::locked: files_.push_back(f); return Outcome::locked;
    case os::LockOutcome::busy: os::close_file(f); return Outcome::busy;
    case os::LockOutcome::failed: break;
  }
  os::close_file(f);
  return Outcome::failed;
}

void FileLocks::release() {
  for (os::File f : files_) {
    os::unlock(f);
    os::close_file(f);
  }
  files_.clear();
}

}  // namespace qx
