#include "output_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dump_print.hpp"

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

ExportFile::ExportFile(const std::string& out_path, qx::TextSink& err)
    : out_path_(out_path), name_(printable_text(out_path)), err_(err) {}

ExportFile::~ExportFile() {
  if (!temporary_.empty()) std::remove(temporary_.c_str());
}

int ExportFile::create() {
  std::string why;
  temporary_ = temporary_file_beside(out_path_, why);
  return temporary_.empty() ? fail(name_, "cannot create a file beside it: " + why) : 0;
}

int ExportFile::fail(const std::string& who, const std::string& why) {
  err_.put("qxdump: " + who + ": " + why + "\n");
  err_.put("qxdump: " + name_ + " not written\n");
  return 1;
}

int ExportFile::take_name() {
  if (std::rename(temporary_.c_str(), out_path_.c_str()) != 0)
    return fail(name_, std::string("cannot take its name: ") + std::strerror(errno));
  temporary_.clear();
  return 0;
}

}  // namespace qxdump
