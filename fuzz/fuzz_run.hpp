// A run set up without the dialogue for the fuzz targets: every output
// channel writes to /dev/null, the input comes from the fuzz input's file.
#pragma once

#include <sstream>

#include "run/channel_numbers.hpp"
#include "run/run.hpp"

namespace qxfuzz {

struct QuietRun {
  std::istringstream in;
  std::ostringstream out, err;
  qx::Run run{qx::Terminal{in, out, err}};

  explicit QuietRun(bool options) {
    run.val.conv = "LITTLE_ENDIAN";
    int on = options ? 1 : 0;
    run.val.stru = run.val.spec = run.val.ampl = run.val.wave = run.val.maxr = run.val.four = on;
    run.ch.open_text_write(qx::unit::lst, "/dev/null");
  }

  void open_outputs(std::initializer_list<int> binary, std::initializer_list<int> text) {
    for (int u : binary) run.ch.open_binary_write(u, "/dev/null", qx::ByteOrder::big);
    if (run.val.option_sum() > 0)
      for (int u : text) run.ch.open_text_write(u, "/dev/null");
  }
};

}  // namespace qxfuzz
