#include "output_file.hpp"

#include "dump_print.hpp"
#include "io/os_file.hpp"

namespace qxdump {

std::string temporary_file_beside(const std::string& out_path, std::string& why) {
  const std::size_t slash = out_path.find_last_of(qx::os::path_separators);
  const std::string dir = slash == std::string::npos ? "" : out_path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? out_path : out_path.substr(slash + 1);
  int error = 0;
  std::string name = qx::os::create_unique_file(dir + "." + base + ".", error);
  if (name.empty()) why = qx::os::error_text(error);
  return name;
}

ExportFile::ExportFile(const std::string& out_path, qx::TextSink& err)
    : out_path_(out_path), name_(printable_text(out_path)), err_(err) {}

ExportFile::~ExportFile() {
  if (!temporary_.empty()) qx::os::remove_file(temporary_);
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
  if (const int error = qx::os::replace_file(temporary_, out_path_); error != 0)
    return fail(name_, "cannot take its name: " + qx::os::error_text(error));
  temporary_.clear();
  return 0;
}

}  // namespace qxdump
