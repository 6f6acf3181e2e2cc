// Files that an export writes under a temporary name beside the one asked
// for, and that take their name only when they are complete.
#pragma once

#include <string>

#include "io/layout.hpp"

namespace qxdump {

// Creates an empty file with a hidden, unique name in the directory of
// `out_path` (".NAME.XXXXXX"), with the permissions that a new file gets, and
// returns its name; empty, with `why`, when it cannot be created.
std::string temporary_file_beside(const std::string& out_path, std::string& why);

// The output file of one export: written under a temporary name beside
// `out_path`, given that name only when the export is complete, and removed
// otherwise. A failure is told on `err` as "qxdump: WHO: WHY" followed by
// "qxdump: OUT not written".
class ExportFile {
 public:
  ExportFile(const std::string& out_path, qx::TextSink& err);
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;
  ~ExportFile();  // removes the temporary file unless it has taken its name

  // Creates the temporary file: 0, or 1 after telling why.
  int create();
  // Tells a failure of the export and returns 1, the export's status.
  int fail(const std::string& who, const std::string& why);
  // Gives the complete file its name: 0, or 1 after telling why.
  int take_name();

  const std::string& temporary() const { return temporary_; }
  const std::string& name() const { return name_; }  // the name asked for, as printed

 private:
  const std::string out_path_;
  const std::string name_;
  qx::TextSink& err_;
  std::string temporary_;
};

}  // namespace qxdump
