// Inspection of one file, from its path to its listing: the entry point of
// the qxdump program and of its fuzz target.
#pragma once

#include <string>

#include "dump_report.hpp"
#include "io/layout.hpp"

namespace qxdump {

// Prints the listing of the file to `out`. A file that cannot be read, a
// corrupt record marker, a truncated record, or a file that ends where its
// structure needs more records is told on `err` as one line "qxdump: PATH:
// what, at which offset" and gives 1; a file walked to its end gives 0.
// Never trusts a size read from the file: it reads nothing that the file does
// not hold and allocates only what --values asks for, at most a record.
int dump_file(const std::string& path, const DumpOptions& options, qx::TextSink& out, qx::TextSink& err);

}  // namespace qxdump
