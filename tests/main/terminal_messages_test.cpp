// What a run tells on standard error, one "qxconv: " line per event, while
// its standard output and files stay what they would be without it:
// arguments that set no run option, help and version, inputs that are not
// regular files, and an input data file without a single section.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <regex>

#include "control/expected_texts.hpp"
#include "io/io_test_util.hpp"
#include "main/qxconv_run.hpp"

namespace {

using namespace qxrun;

// Every file of a directory with its bytes.
Outputs snapshot(const std::string& dir) {
  Outputs files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    files[e.path().filename().string()] = e.is_regular_file() ? qxtest::read_file(e.path().string()) : "(special)";
  return files;
}

void write_inputs(const TempDir& dir, const Inputs& in) {
  qxtest::write_file(dir.file("case.qxin"), in.qxin);
  qxtest::write_file(dir.file("case.TP18"), in.tp18);
  qxtest::write_file(dir.file("case.TP19"), in.tp19);
}

TEST(Arguments, ThoseThatSetNoOptionAreToldAndChangeNothing) {
  const SmallCase& c = small_case();
  TempDir dir;
  const std::string told = "; run options are -stru -spec -ampl -wave -maxr -four\n";
  const Result plain = convert(dir, c.in, {});
  expect_end(plain, "no arguments");
  const Result ignored = convert(dir, c.in, {"--wave", "-wav", "-x", "-Wave", "", "case.qxin"});
  EXPECT_EQ(ignored.program.errors, "qxconv: ignoring argument '--wave'" + told +
                                        "qxconv: ignoring argument '-wav'" + told +
                                        "qxconv: ignoring argument '-x'" + told +
                                        "qxconv: ignoring argument '-Wave'" + told +
                                        "qxconv: ignoring argument ''" + told +
                                        "qxconv: ignoring argument 'case.qxin'" + told);
  EXPECT_EQ(ignored.program.exit_status, 0);
  EXPECT_EQ(ignored.program.terminal, plain.program.terminal);
  EXPECT_TRUE(ignored.files == plain.files) << "the ignored arguments changed an output";

  // Taken through their first five characters: the same run as with the
  // options spelled out, and a note for each.
  const Result exact = convert(dir, c.in, {"-wave", "-MAXR"});
  expect_end(exact, "-wave -MAXR");
  const Result taken = convert(dir, c.in, {"-waveform", "-MAXRX", "-wave"});
  EXPECT_EQ(taken.program.errors, "qxconv: taking '-waveform' as -wave\nqxconv: taking '-MAXRX' as -MAXR\n");
  EXPECT_EQ(taken.program.exit_status, 0);
  EXPECT_EQ(taken.program.terminal, exact.program.terminal);
  EXPECT_TRUE(taken.files == exact.files);
  EXPECT_NE(get(taken.files, "_QX2D.TP18.txt"), "") << "the options took effect";
}

TEST(Arguments, HelpAndVersionAskNothingAndTouchNoFile) {
  const SmallCase& c = small_case();
  TempDir dir;
  write_inputs(dir, c.in);
  qxtest::write_file(dir.file("case" + list_suffix), "a list file of an earlier run\n");
  const Outputs before = snapshot(dir.path());
  const std::vector<std::string> help_lines[] = {{"--help"}, {"-h"}, {"-x", "-wave", "--help"}, {"-h", "--version"}};
  const std::vector<std::string> version_lines[] = {{"--version"}, {"-stru", "--version", "-h"}};
  std::string help;
  for (const bool version : {false, true})
    for (const auto& args : version ? std::vector(std::begin(version_lines), std::end(version_lines))
                                    : std::vector(std::begin(help_lines), std::end(help_lines))) {
      std::vector<std::string> argv{QXCONV_PATH};
      argv.insert(argv.end(), args.begin(), args.end());
      const auto r = qxtest::run_program(argv, answers("case"), dir.path());
      EXPECT_EQ(r.exit_status, 0) << args.front();
      EXPECT_EQ(r.err, "") << args.front();
      if (version) {
        EXPECT_TRUE(std::regex_match(r.out, std::regex("qxconv [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.out;
      } else {
        EXPECT_TRUE(help.empty() || r.out == help) << "the help differs with " << args.front();
        help = r.out;
      }
      EXPECT_TRUE(snapshot(dir.path()) == before) << args.front() << " touched a file";
    }
  // A text that cannot be shown is a failure, told on standard error.
  const auto full = qxtest::run_shell(std::string(QXCONV_PATH) + " --help > /dev/full", {}, dir.path());
  EXPECT_EQ(full.exit_status, 1);
  EXPECT_EQ(full.err, "qxconv: standard output cannot be written\n");

  // The help names the dialogue, the options, the files, the exit status and
  // where the documents are; the documents it names are there.
  EXPECT_TRUE(help.starts_with("usage: qxconv [-stru] [-spec] [-ampl] [-wave] [-maxr] [-four]\n")) << help;
  for (const char* told : {"(1) the MODE1 input data file", "(2) the result data file", "(3) Big_endian", "-stru",
                           "-spec", "-ampl", "-wave", "-maxr", "-four", "--version", "case_TP18-19_COVT.lst",
                           "case_QXSH.TP19", "Exit status", "standard error", "qxconv(1)"})
    EXPECT_NE(help.find(told), npos) << told;
  for (const char* doc : {"README.md", "docs/file-formats.md"}) {
    EXPECT_NE(help.find(doc), npos) << doc;
    EXPECT_TRUE(qxtest::file_exists(std::string(QX_SOURCE_DIR) + "/" + doc)) << doc;
  }
}

// A FIFO without a writer, a socket or a device in place of an input: the
// dialogue takes it (it exists), the file set refuses it at once as that
// file's open error, and standard error says what it is. A run that waited
// for the FIFO is ended by the timeout and fails.
TEST(SpecialInputs, AreRefusedAtOnceAsTheOpenErrorOfTheirFile) {
  const SmallCase& c = small_case();
  struct Input {
    std::string name, kind;
    int number;
  };
  const Input inputs[] = {
      {"case.qxin", "INPUT DATA", 1000}, {"case.TP18", "TP18", 1001}, {"case.TP19", "TP19", 1002}};
  // What the system says of each: a socket cannot be opened at all.
  const char* const said[] = {"not a regular file", "no such device or address", "not a regular file"};
  const std::function<bool(const std::string&)> makers[] = {
      [](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; },
      [](const std::string& p) {
        const int fd = qxtest::bind_socket(p);  // the socket file stays when it is closed
        return fd >= 0 && close(fd) == 0;
      },
      [](const std::string& p) { return symlink("/dev/null", p.c_str()) == 0; },
  };
  for (const Input& input : inputs)
    for (std::size_t m = 0; m < std::size(makers); ++m) {
      const std::string what = input.name + " made by maker " + std::to_string(m);
      TempDir dir;
      write_inputs(dir, c.in);
      ASSERT_EQ(unlink(dir.file(input.name).c_str()), 0);
      ASSERT_TRUE(makers[m](dir.file(input.name))) << what;
      const auto r = qxtest::run_program({"timeout", "-s", "KILL", "30", QXCONV_PATH, "-wave"}, answers("case"),
                                         dir.path());
      EXPECT_EQ(r.exit_status, 1) << what;
      EXPECT_EQ(r.out, expected::dialogue()) << what;
      EXPECT_EQ(r.err, "qxconv: '" + input.name + "' is not a regular file\nqxconv: error " +
                           std::to_string(input.number) + " (" + input.kind + " FILE OPEN ERROR), IOSTAT = 30: " +
                           input.name + ": " + said[m] + "; see case" + list_suffix + "\n")
          << what;
      Outputs files = collect(dir.path(), "case");
      EXPECT_EQ(files[list_suffix], expected::open_error(input.number, input.kind, input.name, 30)) << what;
      files.erase(list_suffix);
      EXPECT_TRUE(files.empty()) << what << ": a converted or text file was made";
    }

  // A link to a regular file is read like the file.
  TempDir dir;
  write_inputs(dir, c.in);
  std::filesystem::create_directory(dir.file("data"));
  for (const char* name : {"case.qxin", "case.TP18", "case.TP19"}) {
    std::filesystem::rename(dir.file(name), dir.file(std::string("data/") + name));
    std::filesystem::create_symlink(std::string("data/") + name, dir.file(name));
  }
  const auto r = qxtest::run_program({"timeout", "-s", "KILL", "60", QXCONV_PATH, "-stru", "-spec", "-ampl", "-wave",
                                      "-maxr", "-four"},
                                     answers("case"), dir.path());
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(collect(dir.path(), "case") == c.good);
}

// A stop is told on standard error with the file that failed and what its
// status means, in words; standard output and every file are what the run
// wrote before it told anything in words: the dialogue alone on standard
// output, the report in the list file in numbers, the converted files whole
// up to the fault.
TEST(StopLines, AFullDiskACutInputAndADeniedPermissionAreToldInWords) {
  const SmallCase& c = small_case();
  const std::string see = "; see case" + list_suffix + "\n";
  TempDir dir;
  auto words_only_on_standard_error = [&](const Result& r, const std::string& words, const std::string& what) {
    EXPECT_EQ(r.program.terminal, expected::dialogue()) << what;
    for (const auto& [suffix, bytes] : r.files) EXPECT_EQ(bytes.find(words), npos) << what << ": " << suffix;
  };

  // A full disk: the SV file of TP19 written on a full device.
  Result r = convert(dir, c.in, every_option, 0, [&] {
    ASSERT_EQ(symlink("/dev/full", dir.file("case_QX2D.TP19").c_str()), 0);
  });
  EXPECT_EQ(r.program.errors, "qxconv: error 1008 (_QX2D._QX2H.TP1819 FILE WRITE ERROR), IOSTAT = 38: "
                              "case_QX2D.TP19: no space left on device" + see);
  expect_end(r, "a full disk", 1008, 38);
  expect_beginning_of(r.files, c.good, true, "a full disk");
  words_only_on_standard_error(r, "no space left", "a full disk");

  // A TP18 file cut in the middle of its tenth record.
  std::size_t record = 0;
  for (int k = 0; k < 9; ++k) record += 8 + load(c.in.tp18, record);
  const std::uint32_t length = load(c.in.tp18, record);
  const std::size_t cut = record + 4 + length / 2;
  Inputs in = c.in;
  in.tp18.resize(cut);
  r = convert(dir, in);
  EXPECT_EQ(r.program.errors, "qxconv: error 1007 (TP1819 FILE READ ERROR), IOSTAT = 39: case.TP18: the file ends at byte " +
                                  std::to_string(cut) + ", inside a record of " + std::to_string(length) +
                                  " bytes that begins at byte " + std::to_string(record) + see);
  expect_end(r, "a cut input", 1007, 39);
  expect_beginning_of(r.files, c.good, true, "a cut input");
  words_only_on_standard_error(r, "the file ends", "a cut input");

  // An SH output that this user may not write. Root may write any file
  // unless it gives up that power for the run.
  write_inputs(dir, c.in);
  for (const std::string& s : suffixes) std::filesystem::remove_all(dir.file("case" + s));
  qxtest::write_file(dir.file("case_QXSH.TP18"), "kept");
  ASSERT_EQ(chmod(dir.file("case_QXSH.TP18").c_str(), 0), 0);
  std::vector<std::string> argv;
  if (::geteuid() == 0) argv = {"setpriv", "--bounding-set", "-dac_override,-dac_read_search"};
  argv.insert(argv.end(), {QXCONV_PATH, "-wave"});
  const auto denied = qxtest::run_program(argv, answers("case"), dir.path());
  ASSERT_EQ(chmod(dir.file("case_QXSH.TP18").c_str(), 0600), 0);
  EXPECT_EQ(denied.exit_status, 1);
  EXPECT_EQ(denied.out, expected::dialogue());
  EXPECT_EQ(denied.err, "qxconv: error 1005 (_QXSH.TP18 FILE OPEN ERROR), IOSTAT = 9: case_QXSH.TP18: permission denied" +
                            see);
  const Outputs files = collect(dir.path(), "case");
  EXPECT_EQ(get(files, list_suffix), expected::open_error(1005, "_QXSH.TP18", "case.TP18", 9));
  EXPECT_EQ(get(files, "_QXSH.TP18"), "kept");
  for (const auto& [suffix, bytes] : files)
    EXPECT_TRUE(suffix == list_suffix || suffix == "_QXSH.TP18" || bytes.empty()) << suffix << " was written";
}

// Any file reads as an input data file: one without a keyword line gives an
// empty model, which the run converts as it would an empty file, with a
// warning. One keyword line is a model, however small.
TEST(InputDataFiles, WithoutASectionKeywordAreToldOfAndConvertedAsEmpty) {
  const SmallCase& c = small_case();
  std::mt19937 random(13);
  std::string noise(50000, '\0');
  for (char& ch : noise) ch = static_cast<char>(random());
  const std::string warning = "qxconv: warning: no section keyword found in case.qxin: the model is empty\n";
  const std::pair<std::string, std::string> models[] = {
      {"", warning},
      {noise, warning},
      {"# comments and sections of no interest\nSTEP           3\n  NODE         1\nnode           1\n", warning},
      {"VOID           0\n", ""},
  };
  TempDir dir;
  Outputs empty_model;
  for (const auto& [qxin, told] : models) {
    Inputs in = c.in;
    in.qxin = qxin;
    const Result r = convert(dir, in);
    EXPECT_EQ(r.program.exit_status, 0) << qxin.substr(0, 40);
    EXPECT_EQ(r.program.terminal, expected::dialogue() + "\nNORMAL END (zelvorith)\n");
    EXPECT_EQ(r.program.errors, told) << qxin.substr(0, 40);
    if (empty_model.empty()) empty_model = r.files;
    EXPECT_TRUE(r.files == empty_model) << qxin.substr(0, 40) << " converts unlike an empty model";
  }
}

}  // namespace
