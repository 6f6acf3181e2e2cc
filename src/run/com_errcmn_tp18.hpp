// COM_ERRCMN_TP18: the error catalogue and errcmn_set, which writes a
// numbered message and an extra text into the list file.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace qx {

struct Run;

// The numbers of the catalogue, by what failed. Each has its message in
// com_errcmn_tp18.cpp; the words of the messages are the catalogue's own.
namespace error {
inline constexpr int cover_page_output = 999;   // cover page of the list file; no extra text
inline constexpr int input_data_open = 1000;    // MODE1 input data file; also the page heading
inline constexpr int tp18_open = 1001;
inline constexpr int tp19_open = 1002;
inline constexpr int qx2d_tp18_open = 1003;
inline constexpr int qx2d_tp19_open = 1004;
inline constexpr int qxsh_tp18_open = 1005;
inline constexpr int qxsh_tp19_open = 1006;
inline constexpr int result_read = 1007;        // a TP18 or TP19 record
inline constexpr int converted_write = 1008;    // a converted file, its twin, the dump, a list line
inline constexpr int tp18_txt_open = 1009;
inline constexpr int tp19_txt_open = 1010;
inline constexpr int qx2d_tp18_txt_open = 1011;
inline constexpr int qx2d_tp19_txt_open = 1012;
inline constexpr int qxsh_tp18_txt_open = 1013;
inline constexpr int qxsh_tp19_txt_open = 1014;
inline constexpr int tp19_header_write = 1015;  // header records of a converted TP19 block
inline constexpr int input_data_read = 1016;
}  // namespace error

struct ComErrcmnTp18 {
  int iecode = 0;                    // number of the last report; 0 while there is none
  std::array<std::string, 2> cmerr;  // last report: message line and extra text, 256 characters each
  // For the terminal only, never the list file: the file of the last report
  // and what its status means ("case_QX2D.TP18: no space left on device"),
  // or empty.
  std::string cause;
};

// Catalogue text of an error number, or an empty view when it has none.
std::string_view error_message(int iecode);

// Writes the report of error iecode with the extra text saddmsg to the list
// file: the message line, then the extra text when it is not all blank. The
// cause of an earlier report is forgotten.
void errcmn_set(Run& run, int iecode, std::string_view saddmsg);

}  // namespace qx
