// Fuzz target of the inspector: the input is any file that qxdump may be
// pointed at. The inspector takes the TP18/TP19 family and the SV/SH variant
// from the file's name, so every input is inspected under each kind of name,
// with and without the record list and the first values, and a few of its
// blocks are written as CSV (which reads every value of their records).
#include <cstdint>
#include <string_view>

#include "fuzz_input_file.hpp"
#include "qxdump/csv_export.hpp"
#include "qxdump/dump_file.hpp"

namespace {

// Takes the listing and drops it.
struct NullSink final : qx::TextSink {
  int put(std::string_view) override { return 0; }
};

struct NameCase {
  const char* suffix;
  bool records;
  std::size_t values;
};

// Every family (TP18, TP19, neither) and variant (SV, SH, either) a name can
// state.
constexpr NameCase name_cases[] = {
    {".TP18", false, 0},       {".TP19", true, 5},      {"_QX2D.TP18", true, 3}, {"_QXSH.TP18", false, 0},
    {"_QX2D.TP19", false, 9},  {"_QXSH.TP19", true, 1}, {".dat", true, 2},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NullSink out, err;
  for (const NameCase& c : name_cases) {
    qxfuzz::InputFile file(data, size, c.suffix);
    qxdump::DumpOptions options;
    options.records = c.records;
    options.values = c.values;
    qxdump::dump_file(file.path(), options, out, err);
    for (std::uint64_t block : {1, 2, 5}) qxdump::export_csv(file.path(), block, nullptr, out, err);
  }
  return 0;
}
