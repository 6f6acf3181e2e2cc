// filnam_set: the banner, the three questions of the dialogue (MODE1 input
// data file, result data file, byte order) and the run options of the
// command line. Leaves the names, the byte order and the option switches in
// the model store.
#pragma once

#include <string>
#include <string_view>

namespace qx {
struct Run;

// irtn: 0 when the run may go on; 1 when a named file does not exist (the
// refusal has been told on the terminal); otherwise the status of the last
// terminal read (-1 at the end of the input). Each way of stopping is also
// told in one line on standard error.
void filnam_set(Run& run, int& irtn);

// The run option form ("-wave", "-WAVE", ...) that an argument sets: the one
// its first five characters spell, blank-padded; empty when it sets none.
std::string_view run_option_form(std::string_view arg);

// The run options in lower case, separated by blanks.
std::string run_option_list();

// The base name of the result files: the answer cut before its last ".",
// or the answer itself when it holds none.
std::string result_base_name(std::string_view answer);

// True when the name (trailing blanks removed) names something that exists
// and is not a directory.
bool file_exists(std::string_view name);

}  // namespace qx
