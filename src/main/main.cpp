// qxconv: converts one analysis case (MODE1 input data file, TP18 and TP19
// result files) into the SV (_QX2D) and SH (_QXSH) layouts.
#include <iostream>
#include <string>
#include <vector>

#include "control/run.hpp"
#include "main/driver.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  qx::Run run({std::cin, std::cout}, std::move(args));
  return qx::run_driver(run);
}
