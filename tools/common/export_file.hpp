// A file that a tool exports: written aside under a hidden name beside the
// name asked for (io/staged_file.hpp, StagedFile::stage_new), given that
// name only when the export is complete, and removed otherwise. A failure is
// told as "PROGRAM: WHO: WHY", then "PROGRAM: OUT not written".
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "io/staged_file.hpp"

namespace qxtools {

class ExportFile {
 public:
  // `tell` takes one line of text, its line feed included.
  ExportFile(std::string_view program, const std::string& out_path, std::string shown_name,
             std::function<void(const std::string&)> tell);
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  // Makes the file aside: 0, or 1 after telling why.
  int create();
  // The name to write the file through.
  const std::string& path() const { return file_.path(); }
  // Tells a failure of the export and returns 1, the export's status.
  int fail(const std::string& who, const std::string& why);
  // Gives the complete file its name, in place of what bore it: 0, or 1
  // after telling why.
  int take_name();
  const std::string& name() const { return shown_; }  // the name asked for, as told

 private:
  const std::string program_;
  const std::string out_path_;
  const std::string shown_;
  std::function<void(const std::string&)> tell_;
  qx::StagedFile file_;
};

}  // namespace qxtools
