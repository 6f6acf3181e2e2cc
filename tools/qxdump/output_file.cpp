#include "output_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qxdump {

std::string temporary_file_beside(const std::string& out_path, std::string& why) {
  const std::size_t slash = out_path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : out_path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? out_path : out_path.substr(slash + 1);
  std::string name = dir + "." + base + ".XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    why = std::strerror(errno);
    return {};
  }
  // mkstemp makes the file private; an export gets what a new file gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  return name;
}

}  // namespace qxdump
