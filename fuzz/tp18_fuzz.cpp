// Fuzz target of the TP18 conversion: the input is the TP18 result file.
#include <cstdint>

#include "convert/cnvt_tp18.hpp"
#include "fuzz_input_file.hpp"
#include "fuzz_run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qxfuzz::InputFile file(data, size, ".TP18");
  qxfuzz::QuietRun q(size % 2 == 1);
  q.run.val.ltp18 = true;
  q.run.ch.open_binary_read(qx::unit::tp18, file.path(), qx::ByteOrder::little);
  q.open_outputs({qx::unit::sv18, qx::unit::sh18}, {qx::unit::txt18, qx::unit::svt18, qx::unit::sht18});
  int ier = 0;
  qx::cnvt_tp18(q.run, ier);
  return 0;
}
