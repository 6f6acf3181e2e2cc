// Terminal and list file texts that several tests expect, written out line by
// line: the dialogue's banner and questions, its refusals, and the list
// file's cover page and open failure reports.
#pragma once

#include <string>

namespace expected {

// An empty line, then the banner: 42-character lines, the last one 41.
inline const std::string banner = R"(
 +++++++++++++++++++++++++++++++++++++++++
 +                                       +
 +  Zelvorith for Quarndimex             +
 +                                       +
 +  Converte : *.TP18,      *.TP19       +
 +       -->   *_QX2D.TP18, *_QX2D.TP19  +
 +       -->   *_QXSH.TP18, *_QXSH.TP19  +
 +                                       +
 ++++++++++++++++++++++++++++++++++++++++
)";

inline const std::string question1 = R"(
 *************************************************************
 (1) Please type the MODE1 input data file name (ex: *.qxin) :
 *************************************************************
)";

inline const std::string question2 = R"(
 **********************************************************
 (2) Please type the RESULT data file name ( ex. *.TP18 ) :
 **********************************************************
)";

inline const std::string question3 = R"(
 ************************************************
 (3) Big_endian for output binary file ?(Yes/No):
       ( Default : No - little_endian )
 ************************************************
)";

// The whole dialogue of a run whose answers are all accepted.
inline std::string dialogue(bool big_endian = false) {
  return banner + question1 + question2 + question3 + "\n *** The output binary file is " +
         (big_endian ? "BIG_ENDIAN   \n" : "LITTLE_ENDIAN\n");
}

// The dialogue up to and with the refusal of a model file that does not exist.
inline std::string missing_model_file(const std::string& name) {
  return banner + question1 +
         "\n"
         " +++++++++++++++++++++++++++++++++++++++++\n"
         "   ERROR...MODE1 input file is not exist !\n"
         "   file name = " + name + "\n"
         " +++++++++++++++++++++++++++++++++++++++++\n";
}

// The dialogue up to and with the refusal of a base name without result files.
inline std::string missing_result_files(const std::string& base) {
  return banner + question1 + question2 +
         "\n"
         " ++++++++++++++++++++++++++++++++++++++++++++++++++++++++\n"
         " ERROR...the file name (*.TP18 and *.TP19) is not exist !\n"
         "  file name = " + base + ".TP18 or " + base + ".TP19)\n"
         " ++++++++++++++++++++++++++++++++++++++++++++++++++++++++\n";
}

// The page heading of page n (below 10) with version 1.5: 113 columns.
inline std::string heading(int page = 1) {
  return "     Zelvorith (V1.5)  for Quarndimex" + std::string(68, ' ') + "PAGE   " + std::to_string(page) + "\n";
}

// The first heading and the framed cover block: 81-column lines.
inline std::string cover_page() {
  return heading(1) + R"(



               ******************************************************************
               ******************************************************************
               **                                                              **
               **                                                              **
               **  PROGRAM NAME            Zelvorith for Quarndimex            **
               **                                                              **
               **  VERSION                 1.5  (2015/04/10)                   **
               **                                                              **
               **  DEVELOPED BY            KALVERNOST                          **
               **                                                              **
               **                                                              **
               ******************************************************************
               ******************************************************************


)";
}

// The line that names a file that cannot be opened or written: on the
// terminal for the list file itself, in the list file for any other file.
inline std::string list_file_line(const std::string& name, int status) {
  std::string st = std::to_string(status);
  return std::string(20, ' ') + "*** FILE NAME = " + name + "  IOSTAT = " + std::string(5 - st.size(), ' ') + st +
         " ***\n";
}

// The two list file lines of a failed open; `kind` is the word of the file.
inline std::string open_error(int number, const std::string& kind, const std::string& file, int status) {
  return "  **** ERROR NO. " + std::to_string(number) + " **** " + kind + " FILE OPEN ERROR ****\n" +
         list_file_line(file, status);
}

}  // namespace expected
