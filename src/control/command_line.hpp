// The command line of qxconv as the user meets it: -h/--help and --version
// ask for a text instead of a run; every other argument is looked at before
// the dialogue begins, so that one which sets no run option is not passed
// over in silence.
#pragma once

#include <cstdint>
#include <string_view>

namespace qx {
struct Run;

enum class Request : std::uint8_t { convert, help, version };

// Looks at the arguments of the run: the first -h, --help or --version (each
// exactly so, anywhere on the line) asks for its text and nothing else is
// done. Otherwise a warning names every argument that sets no run option, a
// note every argument taken as an option through its first five characters
// alone, and the run goes on; which options are set is left to the dialogue.
Request examine_arguments(Run& run);

// What `qxconv --help` shows.
std::string_view usage_text();

}  // namespace qx
