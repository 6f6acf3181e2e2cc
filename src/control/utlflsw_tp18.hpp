// utlflsw_tp18: derives every file name from the base name and opens the file
// set on its channels: the list file, the MODE1 input data file, the result
// files that exist with their converted binary files and, when any run option
// is given, the text twins.
#pragma once

#include <string_view>

#include "control/utpfls.hpp"

namespace qx {
struct Run;

// irtn: 0 when every file is open, else the status of the failed open, which
// has been reported (in the list file; on the terminal when the list file
// itself cannot be opened). No later file is opened after a failure.
void utlflsw_tp18(Run& run, int& irtn);

// A list file that cannot be opened or written cannot hold its own report:
// the terminal shows its name and the status (20 blanks, "*** FILE NAME = ",
// the name, "  IOSTAT = ", the status in five columns, " ***"), and standard
// error says the same in words.
void report_list_file_failure(Run& run, std::string_view name, int status);

}  // namespace qx
