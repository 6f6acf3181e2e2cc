#include "common/export_file.hpp"

#include <cerrno>
#include <cstring>

namespace qxtools {

ExportFile::ExportFile(std::string_view program, const std::string& out_path, std::string shown_name,
                       std::function<void(const std::string&)> tell)
    : program_(program), out_path_(out_path), shown_(std::move(shown_name)), tell_(std::move(tell)) {}

int ExportFile::create(bool by_name) {
  errno = 0;
  if (file_.stage_new(out_path_, by_name)) return 0;
  return fail(shown_, std::string("cannot create a file beside it: ") + std::strerror(errno));
}

int ExportFile::fail(const std::string& who, const std::string& why) {
  tell_(program_ + ": " + who + ": " + why + "\n");
  tell_(program_ + ": " + shown_ + " not written\n");
  return 1;
}

int ExportFile::take_name() {
  errno = 0;
  if (file_.link_beside() && file_.replace_target()) return 0;
  return fail(shown_, std::string("cannot take its name: ") + std::strerror(errno));
}

}  // namespace qxtools
