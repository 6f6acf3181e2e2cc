#include "run/com_errcmn_tp18.hpp"

#include <charconv>

#include "io/trim_right.hpp"
#include "run/channel_numbers.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

struct CatalogueEntry {
  int number;
  std::string_view text;
};

// The error catalogue: every number that has a message, with its text as the
// list file shows it (leading blank, spacing and file-kind words included).
constexpr CatalogueEntry catalogue[] = {
    {error::cover_page_output, " **** COVER PAGE OUTPUT ERROR  OF LIST FILE ****"},
    {error::input_data_open, " **** INPUT DATA FILE OPEN ERROR ****"},
    {error::tp18_open, " **** TP18 FILE OPEN ERROR ****"},
    {error::tp19_open, " **** TP19 FILE OPEN ERROR ****"},
    {error::qx2d_tp18_open, " **** _QX2D.TP18 FILE OPEN ERROR ****"},
    {error::qx2d_tp19_open, " **** _QX2D.TP19 FILE OPEN ERROR ****"},
    {error::qxsh_tp18_open, " **** _QXSH.TP18 FILE OPEN ERROR ****"},
    {error::qxsh_tp19_open, " **** _QXSH.TP19 FILE OPEN ERROR ****"},
    {error::result_read, " **** TP1819 FILE READ ERROR ****"},
    {error::converted_write, " **** _QX2D._QX2H.TP1819 FILE WRITE ERROR ****"},
    {error::tp18_txt_open, " **** TP18.txt FILE OPEN ERROR ****"},
    {error::tp19_txt_open, " **** TP19.txt FILE OPEN ERROR ****"},
    {error::qx2d_tp18_txt_open, " **** _QX2D.TP18.txt FILE OPEN ERROR ****"},
    {error::qx2d_tp19_txt_open, " **** _QX2D.TP19.txt FILE OPEN ERROR ****"},
    {error::qxsh_tp18_txt_open, " **** _QXSH.TP18.txt FILE OPEN ERROR ****"},
    {error::qxsh_tp19_txt_open, " **** _QXSH.TP19.txt FILE OPEN ERROR ****"},
    {error::tp19_header_write, " **** _QX2D._QX2H.TP19 FILE WRITE ERROR ****"},
    {error::input_data_read, " **** INPUT DATA FILE READ ERROR ****"},
};

constexpr std::size_t line_length = 256;

// Writes one line holding exactly the characters up to the last non-blank.
// The status is not looked at: a report is written on the way to the run's
// stop, and a list file that cannot take it is reported when it is closed.
void write_list_line(Run& run, std::string_view line) {
  static const Layout whole("(A)");
  (void)run.ch.write_text(unit::lst, whole, {out_text(trim_right(line))});
}

}  // namespace

std::string_view error_message(int iecode) {
  for (const auto& e : catalogue)
    if (e.number == iecode) return e.text;
  return {};
}

void errcmn_set(Run& run, int iecode, std::string_view saddmsg) {
  std::string& line1 = run.err.cmerr[0];
  std::string& line2 = run.err.cmerr[1];
  run.err.iecode = iecode;
  run.err.cause.clear();

  std::string_view message = error_message(iecode);
  if (message.empty()) {
    line1 = "  **** ERROR NO.UNKNOWN";
  } else {
    // (A16,I5,A): the number right-justified in columns 17 to 21.
    char digits[16];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, iecode);
    std::string_view number(digits, static_cast<std::size_t>(end - digits));
    line1 = "  **** ERROR NO.";
    line1.append(5 - number.size(), ' ');
    line1 += number;
    line1 += message;
  }
  line1.resize(line_length, ' ');

  line2.assign(trim_right(saddmsg).substr(0, line_length));
  line2.resize(line_length, ' ');

  write_list_line(run, line1);
  if (!trim_right(line2).empty()) write_list_line(run, line2);
}

}  // namespace qx
