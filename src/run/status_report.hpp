// The extra text of an error report that names what failed and the status
// of the failed operation, and the report itself. Every such text is 20
// blanks, the subject (a file name, or a word for the file: "qxin", "TP18",
// "TP19") between the texts of its shape, the channel in two columns when
// the shape names one, a label, the status in five columns and " ***".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

struct Run;

// The shapes of the text, as the list file shows them for subject S, channel
// C and status N:
enum class StatusShape : std::uint8_t {
  file,            // "*** FILE NAME = S  IOSTAT = N ***": a failed open, a data read
  file_header,     // "*** FILE NAME = S REC1,2:  IOSTAT = N ***": a block header read
  status_alone,    // "*** IOSTAT = N ***": the page heading of the list file
  filename,        // " *** FILENAME = S  *** IOSTAT = N ***": the input data file, the model section
  output,          // " *** FILENAME = S(SV or SH)C  *** IOSTAT = N ***": a write of a conversion
  output_header,   // " *** FILENAME = S(SV or SH)CREC1,2:  *** IOSTAT = N ***": a header write
};

// The whole text, however long the subject.
std::string status_text(StatusShape shape, std::string_view subject, int status, int channel = 0);

// Reports error `number` with the status text as its extra text (cut, as
// every extra text, at 256 characters), keeps for the terminal what the
// failure of the file of channel `failed_unit` means (note_failed_file), and
// returns `status`, which the caller hands on as its own.
int report_status(Run& run, int number, StatusShape shape, std::string_view subject, int status, int failed_unit,
                  int channel = 0);

// Keeps, for the terminal line that tells the report just made, the file of
// channel `unit` and what its failure with `status` means, in words
// (ComErrcmnTp18::cause). The list file is not touched.
void note_failed_file(Run& run, int unit, int status);

}  // namespace qx
