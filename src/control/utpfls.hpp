// utpfls: opens or closes one channel by a mode number that stands for a
// complete set of open or close settings.
#pragma once

#include <string_view>

namespace qx {
struct Run;

// Modes: 1 close and keep, 2 close and delete; named files (trailing blanks
// do not count; created when missing, except for reading): 3 binary read,
// little-endian; 4 binary write in the byte order of the run (conv); 5 binary
// read and write, little-endian; 6 text read; 7 text write; 8 text read and
// write; nameless scratch files: 9 binary, 10 text. ioop receives the status
// of the open or close (0, 9, 29, 30, 38); any other mode does nothing and
// leaves ioop as it was. Nothing is reported.
void utpfls(Run& run, std::string_view name, int lclfnu, int key, int& ioop);

}  // namespace qx
