// qxdump --html: a page that holds everything it shows, written under its
// name only when it is complete; damaged input, full disks, signals and
// wrong command lines leave nothing behind. (What the page shows is checked
// in a browser, tests/browser, and against the files' bytes,
// tests/tools/html_readback.py.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "tools/listed_blocks.hpp"
#include "tools/qxdump_runs.hpp"

namespace {

using namespace qxtools;
using qxtest::CommandResult;
using qxtest::TempDir;

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(QxdumpHtml, ThePageHoldsEverythingItShows) {
  TempDir dir;
  convert_case(dir, "Yes");
  const std::vector<std::string> files = {dir.file("case1_QX2D.TP18"), dir.file("case1_QXSH.TP18"),
                                          dir.file("case1_QX2D.TP19"), dir.file("case1_QXSH.TP19")};
  std::vector<std::string> args = {"--html", dir.file("case1.html")};
  args.insert(args.end(), files.begin(), files.end());
  const CommandResult r = qxdump(args);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  const std::string page = qxtest::read_file(dir.file("case1.html"));
  EXPECT_TRUE(page.starts_with("<!DOCTYPE html>")) << page.substr(0, 40);
  EXPECT_TRUE(page.ends_with("</html>\n"));
  // Nothing to fetch: no linked file, no import, and a policy that forbids
  // every request.
  for (const char* ref : {"<link", " src=", "@import", "url(", "fetch(", "XMLHttpRequest"})
    EXPECT_EQ(page.find(ref), npos) << ref;
  EXPECT_NE(page.find("content=\"default-src 'none';"), npos);
  // Every marker of the template filled, the plotting library and its
  // licence in.
  EXPECT_EQ(page.find("@qx:"), npos);
  EXPECT_NE(page.find("var uPlot=function()"), npos);
  EXPECT_NE(page.find("Copyright (c) 2022 Leon Sorokin"), npos);
  // The data stay inside their script elements: one end tag each.
  EXPECT_EQ(count_of(page, "</script>"), count_of(page, "<script"));

  // One array line per curve at least: every data record of every file is
  // drawn.
  const std::size_t from = page.find("id=\"qx-arrays\">") + 15, to = page.find("</script>", from);
  ASSERT_LT(from, to);
  const std::vector<std::string> lines = qxtest::split_lines(page.substr(from, to - from));
  std::size_t data_records = 0;
  for (const std::string& f : files)
    for (const ListedBlock& b : listed_blocks(f)) data_records += b.data().size();
  EXPECT_GE(lines.size(), data_records);
  for (const std::string& l : lines) {
    ASSERT_GE(l.size(), 2u);
    EXPECT_TRUE((l[0] == 'f' || l[0] == 'i' || l[0] == 'u') && l[1] == ':') << l.substr(0, 20);
    EXPECT_EQ(l.size() % 4, 2u) << "base64 in whole groups";
    EXPECT_EQ(l.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=", 2), npos);
  }

  // The same files give the same page, whatever their byte order.
  TempDir little;
  convert_case(little, "No");
  std::vector<std::string> again = {"--html", little.file("case1.html")};
  for (const std::string& f : files) again.push_back(little.file(std::filesystem::path(f).filename().string()));
  ASSERT_EQ(qxdump(again).exit_status, 0);
  std::string other = qxtest::read_file(little.file("case1.html"));
  std::string same = page;
  // Only the paths and the byte order differ.
  for (std::string* p : {&same, &other}) {
    for (const std::string& d : {dir.path(), little.path()})
      for (std::size_t at; (at = p->find(d)) != npos;) p->erase(at, d.size());
    for (std::size_t at; (at = p->find("\"byteOrder\":\"big-endian\"")) != npos;) p->replace(at, 24, "\"byteOrder\":\"little-endian\"");
  }
  EXPECT_TRUE(same == other) << "pages of the two byte orders differ";
}

TEST(QxdumpHtml, FailuresLeaveNothingUnderTheNameAskedFor) {
  TempDir dir;
  convert_case(dir, "No");
  const std::string sv = dir.file("case1_QX2D.TP18"), bytes = qxtest::read_file(sv);
  const std::vector<ListedBlock> blocks = listed_blocks(sv);
  TempDir work;
  const std::string out = work.file("out.html");
  auto expect_failure = [&](const std::vector<std::string>& inputs, const std::string& first_line, const std::string& why) {
    const std::vector<std::string> before = names_in(work.path());
    std::vector<std::string> args = {"--html", out};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const CommandResult r = qxdump(args);
    EXPECT_EQ(r.exit_status, 1) << why;
    EXPECT_EQ(r.err, first_line + "qxdump: " + out + " not written\n") << why;
    EXPECT_EQ(r.out, "") << why;
    EXPECT_EQ(names_in(work.path()), before) << why << ": nothing added, no temporary file left";
  };

  // A file cut inside a block or inside its model section, alone or after a
  // sound file: the listing's description of the fault, with its offset.
  const ListedRecord& in_block = blocks[blocks.size() / 2].records.back();
  const std::string cut = dir.file("cut_QX2D.TP18");
  for (std::uint64_t at : {in_block.offset + 9, std::uint64_t{3000}}) {
    qxtest::write_file(cut, bytes.substr(0, at));
    const CommandResult listing = qxdump({cut});
    ASSERT_EQ(listing.exit_status, 1);
    ASSERT_NE(listing.err.find("offset"), npos) << listing.err;
    expect_failure({cut}, listing.err, "cut at " + std::to_string(at));
    expect_failure({sv, cut}, listing.err, "a sound file, then one cut at " + std::to_string(at));
  }
  // An empty converted file is one whose run stopped: as the listing says.
  qxtest::write_file(cut, "");
  expect_failure({sv, cut}, qxdump({cut}).err, "empty converted file");
  // Records, but neither a result nor a converted file; no file at all.
  const std::string odd = dir.file("odd.dat");
  qxtest::write_file(odd, std::string("\x05\0\0\0hello\x05\0\0\0", 13));
  expect_failure({odd}, "qxdump: " + odd + ": neither a result file nor a converted file: nothing to show\n", "odd");
  expect_failure({sv, dir.file("none.TP18")}, qxdump({dir.file("none.TP18")}).err, "missing file");

  // A file already under the name stays as it was.
  qxtest::write_file(out, "an older page");
  qxtest::write_file(cut, bytes.substr(0, 5000));
  expect_failure({cut}, qxdump({cut}).err, "over an older page");
  EXPECT_EQ(qxtest::read_file(out), "an older page");
  std::filesystem::remove(out);

  // A disk that fills up early, midway and at the very end: a file size
  // limit (in blocks of 512 bytes), its signal ignored so that writes fail.
  ASSERT_EQ(qxdump({"--html", out, sv}).exit_status, 0);
  const std::uintmax_t whole = std::filesystem::file_size(out) / 512;
  std::filesystem::remove(out);
  for (std::uintmax_t limit : {std::uintmax_t{1}, whole / 2, whole - 1}) {
    const CommandResult full = qxtest::run_shell("ulimit -f " + std::to_string(limit) + "; trap '' XFSZ; exec '" +
                                                 std::string(QXDUMP_PATH) + "' --html '" + out + "' '" + sv + "'");
    EXPECT_EQ(full.exit_status, 1) << limit;
    EXPECT_EQ(full.err, "qxdump: " + out + ": cannot be written: File too large\nqxdump: " + out + " not written\n")
        << limit;
    EXPECT_EQ(names_in(work.path()), std::vector<std::string>{}) << "no temporary file left";
  }

  // Stopped by a signal once the temporary file exists (a file of 100 MB
  // takes a while to read).
  generate(work, {"--seed", "8", "--size", "100M", "--only-tp18"}, "big");
  std::filesystem::remove(work.file("big.qxin"));
  const CommandResult stopped = export_stopped_midway(work.path(), "--html", "out.html", "big.TP18");
  EXPECT_EQ(stopped.out, "status 1\n");
  EXPECT_EQ(stopped.err, "qxdump: big.TP18: interrupted\nqxdump: out.html not written\n");
  EXPECT_EQ(names_in(work.path()), std::vector<std::string>{}) << "no temporary file left";

  // No directory to write in.
  const CommandResult nowhere = qxdump({"--html", work.file("none/out.html"), sv});
  EXPECT_EQ(nowhere.exit_status, 1);
  EXPECT_EQ(nowhere.err, "qxdump: " + work.file("none/out.html") +
                             ": cannot create a file beside it: No such file or directory\nqxdump: " +
                             work.file("none/out.html") + " not written\n");

  // A complete page takes the name, replacing what was there, with the
  // permissions of a new file; an empty result file is a file without
  // blocks.
  qxtest::write_file(out, "an older page");
  qxtest::write_file(dir.file("empty.TP19"), "");
  ASSERT_EQ(qxdump({"--html", out, sv, dir.file("empty.TP19")}).exit_status, 0);
  EXPECT_TRUE(qxtest::read_file(out).starts_with("<!DOCTYPE html>"));
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(names_in(work.path()), std::vector<std::string>{"out.html"});
}

TEST(QxdumpHtml, WrongCommandLines) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "4", "--size", "30k", "--only-tp18"});
  const std::string f = base + ".TP18", out = dir.file("out.html");
  const std::vector<std::string> before = names_in(dir.path());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--html", out}, {"--html"}, {"--html=", f}, {"--html", out, "--csv", "2", f},
        {"--html", out, "--hdf5", "x.h5", f}, {"--html", out, "--values", "3", f}, {"--html", out, "--records", f},
        {"--html", out, "--compress", f}}) {
    const CommandResult r = qxdump(args);
    EXPECT_EQ(r.exit_status, 2) << args.back();
    EXPECT_TRUE(r.err.starts_with("qxdump: ") && r.err.ends_with(" (see qxdump --help)\n")) << r.err;
    EXPECT_EQ(names_in(dir.path()), before) << args[1];
  }
  // --html=OUT is the same option.
  EXPECT_EQ(qxdump({"--html=" + out, f}).exit_status, 0);
  EXPECT_TRUE(qxtest::file_exists(out));
}

}  // namespace
