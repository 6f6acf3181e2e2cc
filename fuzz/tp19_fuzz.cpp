// Fuzz target of the TP19 conversion: the input is the TP19 result file.
#include <cstdint>

#include "convert/cnvt_tp19.hpp"
#include "fuzz_input_file.hpp"
#include "fuzz_run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qxfuzz::InputFile file(data, size, ".TP19");
  qxfuzz::QuietRun q(size % 2 == 1);
  q.run.val.ltp19 = true;
  q.run.ch.open_binary_read(qx::unit::tp19, file.path(), qx::ByteOrder::little);
  q.open_outputs({qx::unit::sv19, qx::unit::sh19}, {qx::unit::txt19, qx::unit::svt19, qx::unit::sht19});
  int ier = 0;
  qx::cnvt_tp19(q.run, ier);
  return 0;
}
