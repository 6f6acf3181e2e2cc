// qxconv: converts one analysis case (MODE1 input data file, TP18 and TP19
// result files) into the SV (_QX2D) and SH (_QXSH) layouts.
#include <iostream>
#include <string>
#include <vector>

#include "control/command_line.hpp"
#include "io/os_process.hpp"
#include "main/driver.hpp"
#include "qx_version.hpp"
#include "run/run.hpp"

int main(int argc, char** argv) {
  // Beyond a file size limit a write must fail and be reported like a full
  // disk, not end the process silently.
  qx::os::keep_running_at_file_size_limit();
  qx::os::write_standard_output_as_bytes();
  std::ios::sync_with_stdio(false);
  qx::Run run({std::cin, std::cout, std::cerr}, std::vector<std::string>(argv + 1, argv + argc));
  switch (qx::examine_arguments(run)) {
    case qx::Request::help: std::cout << qx::usage_text() << std::flush; break;
    case qx::Request::version: std::cout << "qxconv " << qx::program_version << '\n' << std::flush; break;
    case qx::Request::convert: return qx::run_driver(run);
  }
  if (std::cout) return 0;
  qx::tell(run, "standard output cannot be written");
  return 1;
}
