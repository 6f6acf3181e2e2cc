#include "io/status.hpp"

#include <cerrno>

namespace qx::iostat {

int from_open_errno(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS: return permission_denied;
    case ENOENT:
    case ENOTDIR: return not_found;
    default: return open_failed;
  }
}

}  // namespace qx::iostat
