// qxconv: converts one analysis case (MODE1 input data file, TP18 and TP19
// result files) into the SV (_QX2D) and SH (_QXSH) layouts.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "control/run.hpp"
#include "main/driver.hpp"
#include "qx_version.hpp"

int main(int argc, char** argv) {
  // Beyond a file size limit a write must fail and be reported like a full
  // disk, not end the process silently.
  std::signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--version") {
      std::cout << "qxconv " << qx::program_version << '\n' << std::flush;
      return std::cout ? 0 : 1;
    }
  }
  qx::Run run({std::cin, std::cout, std::cerr}, std::move(args));
  return qx::run_driver(run);
}
