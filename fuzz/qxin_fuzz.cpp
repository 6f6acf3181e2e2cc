// Fuzz target of the MODE1 input data file reader, followed by the model
// section writer on whatever model it read.
#include <cstdint>

#include "convert/w_qxin.hpp"
#include "fuzz_input_file.hpp"
#include "fuzz_run.hpp"
#include "model/r_qxin.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qxfuzz::InputFile file(data, size, ".qxin");
  qxfuzz::QuietRun q(size % 2 == 1);
  q.run.ch.open_text_read(qx::unit::qxin, file.path());
  q.open_outputs({qx::unit::sv18, qx::unit::sh18}, {qx::unit::svt18, qx::unit::sht18});
  int irtn = 0;
  qx::r_qxin(q.run, irtn);
  if (irtn == 0) qx::w_qxin(q.run, "TP18", irtn);
  return 0;
}
