#include "common/export_file.hpp"

#include "io/os_file.hpp"

namespace qxtools {

ExportFile::ExportFile(std::string_view program, const std::string& out_path, std::string shown_name,
                       std::function<void(const std::string&)> tell)
    : program_(program), out_path_(out_path), shown_(std::move(shown_name)), tell_(std::move(tell)) {}

int ExportFile::create() {
  int error = 0;
  if (file_.stage_new(out_path_, error)) return 0;
  return fail(shown_, "cannot create a file beside it: " +
                          (error != 0 ? qx::os::error_text(error) : std::string("it cannot be opened")));
}

int ExportFile::fail(const std::string& who, const std::string& why) {
  tell_(program_ + ": " + who + ": " + why + "\n");
  tell_(program_ + ": " + shown_ + " not written\n");
  return 1;
}

int ExportFile::take_name() {
  if (file_.link_beside() && file_.replace_target()) return 0;
  return fail(shown_, "cannot take its name");
}

}  // namespace qxtools
