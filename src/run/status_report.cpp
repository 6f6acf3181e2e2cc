#include "run/status_report.hpp"

#include <array>

#include "io/io_failure.hpp"
#include "io/layout.hpp"
#include "io/trim_right.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

struct ShapeTexts {
  std::string_view before_subject;
  std::string_view after_subject;
  bool names_channel;
  std::string_view label;
};

// Indexed by StatusShape.
constexpr std::array<ShapeTexts, 6> shapes = {{
    {"*** FILE NAME = ", "", false, "  IOSTAT = "},
    {"*** FILE NAME = ", "", false, " REC1,2:  IOSTAT = "},
    {"", "", false, "*** IOSTAT = "},
    {" *** FILENAME = ", "", false, "  *** IOSTAT = "},
    {" *** FILENAME = ", "(SV or SH)", true, "  *** IOSTAT = "},
    {" *** FILENAME = ", "(SV or SH)", true, "REC1,2:  *** IOSTAT = "},
}};

}  // namespace

std::string status_text(StatusShape shape, std::string_view subject, int status, int channel) {
  static const Layout plain("(20X,A,A,A,A,I5,A4)");
  static const Layout with_channel("(20X,A,A,A,I2,A,I5,A4)");
  const ShapeTexts& s = shapes[static_cast<std::size_t>(shape)];
  const std::string_view end = " *** ";  // A4: " ***"
  std::string text;
  if (s.names_channel)
    write_layout(with_channel,
                 {out_text(s.before_subject), out_text(trim_right(subject)), out_text(s.after_subject), out(channel),
                  out_text(s.label), out(status), out_text(end)},
                 text);
  else
    write_layout(plain,
                 {out_text(s.before_subject), out_text(trim_right(subject)), out_text(s.after_subject),
                  out_text(s.label), out(status), out_text(end)},
                 text);
  text.pop_back();  // the line feed
  return text;
}

int report_status(Run& run, int number, StatusShape shape, std::string_view subject, int status, int failed_unit,
                  int channel) {
  errcmn_set(run, number, status_text(shape, subject, status, channel));
  // After the report: setting it clears the cause of the one before.
  note_failed_file(run, failed_unit, status);
  return status;
}

void note_failed_file(Run& run, int unit, int status) {
  const Channels::Failure f = run.ch.failure(unit);
  run.err.cause = (f.name.empty() ? "" : f.name + ": ") + failure_words(f.why, status);
}

}  // namespace qx
