// The file of one of qxdump's exports (common/export_file.hpp): written
// aside, given its name only when complete; its failures told on `err`.
#pragma once

#include <string>

#include "common/export_file.hpp"
#include "dump_print.hpp"
#include "io/layout.hpp"

namespace qxdump {

inline qxtools::ExportFile export_file(const std::string& out_path, qx::TextSink& err) {
  return qxtools::ExportFile("qxdump", out_path, printable_text(out_path),
                             [&err](const std::string& line) { err.put(line); });
}

}  // namespace qxdump
