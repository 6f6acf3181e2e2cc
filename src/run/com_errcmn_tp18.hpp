// COM_ERRCMN_TP18: the error catalogue and errcmn_set, which writes a
// numbered message and an extra text into the list file.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace qx {

struct Run;

struct ComErrcmnTp18 {
  int iecode = 0;                    // number of the last report; 0 while there is none
  std::array<std::string, 2> cmerr;  // last report: message line and extra text, 256 characters each
};

// Catalogue text of an error number, or an empty view when it has none.
std::string_view error_message(int iecode);

// Writes the report of error iecode with the extra text saddmsg to the list
// file: the message line, then the extra text when it is not all blank.
void errcmn_set(Run& run, int iecode, std::string_view saddmsg);

}  // namespace qx
