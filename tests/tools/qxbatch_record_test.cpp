// The study record: its lines read back whole whatever the names and
// messages hold, a line cut short by a crash passed over and ended before
// the next, a file that is no record left alone, the last line of a case,
// and each reason a case is converted again.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "done_check.hpp"
#include "study_record.hpp"
#include "support/test_support.hpp"

namespace {

using namespace qxbatch;
namespace fs = std::filesystem;

RecordLine sample_line() {
  RecordLine l;
  l.ended = "2026-03-01T09:30:00.123Z";
  l.result = {"tab\there, new\nline\\back", Status::failed, "1007", "TP1819 FILE READ ERROR; \r", 1.25, 130783, 99, ""};
  l.result.err = "qxconv: error 1007\nqxconv: a second line\n";
  l.path = "/study/odd\tdir/c 1";
  l.settings = {"1.0.0", "big", "-wave -maxr"};
  l.qxin = "../models/c 1.qxin";
  l.inputs[input_qxin] = {true, 28627, 1700000000123456789, 1700000001000000000};
  l.inputs[input_tp18] = {true, 0, -1500000000, 5};  // before 1970, and a zero size
  l.outputs = {{"_QX2D.TP18", 53084, 1700000002000000001}, {"_TP18-19_COVT.lst", 1846, 1700000002999999999}};
  return l;
}

TEST(QxbatchRecord, LinesReadBackWhole) {
  const RecordLine l = sample_line();
  const std::string text = format_record_line(l);
  ASSERT_TRUE(text.ends_with("\n"));
  ASSERT_EQ(text.find('\n'), text.size() - 1) << "one line";
  RecordLine back;
  ASSERT_TRUE(parse_record_line(std::string_view(text).substr(0, text.size() - 1), back)) << text;
  EXPECT_EQ(back.ended, l.ended);
  EXPECT_EQ(back.result.name, l.result.name);
  EXPECT_EQ(back.result.status, l.result.status);
  EXPECT_EQ(back.result.error, l.result.error);
  EXPECT_EQ(back.result.message, l.result.message);
  EXPECT_EQ(back.result.err, l.result.err);
  EXPECT_DOUBLE_EQ(back.result.seconds, l.result.seconds);
  EXPECT_EQ(back.result.bytes_in, l.result.bytes_in);
  EXPECT_EQ(back.path, l.path);
  EXPECT_EQ(back.settings, l.settings);
  EXPECT_EQ(back.qxin, l.qxin);
  EXPECT_EQ(back.inputs, l.inputs);
  EXPECT_EQ(back.outputs, l.outputs);
  // Times as stat shows them: seconds, a point and nine digits.
  EXPECT_NE(text.find("\t28627 1700000000.123456789 1700000001.000000000\t0 -2.500000000 0.000000005\t-\t"),
            std::string::npos)
      << text;

  // Lines that are not whole.
  const std::string line = text.substr(0, text.size() - 1);
  for (const std::string& bad : {line.substr(0, line.size() / 2), line + "\tmore", "#" + line,
                                 std::string(line).replace(line.find("failed"), 6, "fine"),
                                 std::string(line).replace(line.find("\\t"), 2, "\\q"),
                                 std::string(line).replace(line.find("\t28627 1700000000."), 17, "\t28627 99999999999999")}) {
    EXPECT_FALSE(parse_record_line(bad, back)) << bad;
  }
}

TEST(QxbatchRecord, ACutLineIsPassedOverAndEndedBeforeTheNext) {
  qxtest::TempDir dir;
  const std::string path = dir.file("r.tsv");
  RecordLine one = sample_line(), two = sample_line();
  one.path = two.path = "/s/c1";
  two.ended = "2026-03-01T09:31:00.000Z";
  two.result.status = Status::done;
  const std::string whole = format_record_line(one);
  // A kill in the middle of a write leaves the start of a line.
  qxtest::write_file(path, record_header() + whole + whole.substr(0, 40));
  RecordContents c;
  ASSERT_EQ(read_record(path, c), "");
  EXPECT_EQ(c.lines.size(), 1u);
  EXPECT_EQ(c.damaged, 1u);
  {
    RecordFile f;
    ASSERT_EQ(f.open(path), "");
    ASSERT_EQ(f.append(format_record_line(two)), "");
    ASSERT_EQ(f.register_workdir("/w/job 1"), "");
  }
  ASSERT_EQ(read_record(path, c), "");
  ASSERT_EQ(c.lines.size(), 2u) << qxtest::read_file(path);
  EXPECT_EQ(c.damaged, 1u) << "the cut line stays a line of its own";
  EXPECT_EQ(c.workdirs, std::vector<std::string>{"/w/job 1"});
  EXPECT_EQ(last_lines(c).at("/s/c1")->result.status, Status::done);

  // The last line of a case is the one that ended last, wherever it stands.
  qxtest::write_file(path, record_header() + format_record_line(two) + whole);
  ASSERT_EQ(read_record(path, c), "");
  EXPECT_EQ(last_lines(c).at("/s/c1")->ended, two.ended);

  // A file that is not a record, or of another format, is not touched.
  for (const std::string& text : {std::string("case,status\nx,done\n"), std::string("#qxbatch-record 2\tended\n")}) {
    qxtest::write_file(path, text);
    RecordFile f;
    EXPECT_NE(f.open(path), "");
    EXPECT_NE(read_record(path, c), "");
    EXPECT_EQ(qxtest::read_file(path), text);
  }
  // A new record begins with its header.
  RecordFile f;
  ASSERT_EQ(f.open(dir.file("new.tsv")), "");
  EXPECT_EQ(qxtest::read_file(dir.file("new.tsv")), record_header());
  EXPECT_TRUE(record_header().starts_with("#qxbatch-record 1\tended\tcase\tstatus\t"));
}

TEST(QxbatchRecord, EachChangeIsAReasonToConvertAgain) {
  qxtest::TempDir dir;
  for (const char* f : {"c.qxin", "c.TP18", "c_QX2D.TP18", "c_TP18-19_COVT.lst"}) qxtest::write_file(dir.file(f), f);
  Case c;
  c.dir = dir.path();
  c.base = "c";
  c.qxin = "c.qxin";
  const ConversionSettings settings{"1.0.0", "little", "-wave"};
  RecordLine done;
  done.result.status = Status::done;
  done.settings = settings;
  const CaseInputs in = inputs_now(c);
  done.qxin = in.qxin;
  done.inputs = in.marks;
  for (const char* suffix : {"_QX2D.TP18", "_TP18-19_COVT.lst"}) {
    const InputMark m = input_mark(c.path(suffix));
    done.outputs.push_back({suffix, m.size, m.mtime_ns});
  }
  EXPECT_EQ(rerun_reason(c, settings, &done), "");
  EXPECT_EQ(rerun_reason(c, settings, nullptr), "not in the record");

  const auto reason_with = [&](auto change) {
    RecordLine l = done;
    ConversionSettings s = settings;
    change(l, s);
    return rerun_reason(c, s, &l);
  };
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { l.result.status = Status::failed; }), "it failed before");
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { l.result.status = Status::interrupted; }),
            "it was stopped before");
  EXPECT_EQ(reason_with([](RecordLine&, ConversionSettings& s) { s.qxconv = "1.1.0"; }), "qxconv changed (1.0.0, now 1.1.0)");
  EXPECT_EQ(reason_with([](RecordLine&, ConversionSettings& s) { s.options = ""; }), "options changed (-wave, now none)");
  EXPECT_EQ(reason_with([](RecordLine&, ConversionSettings& s) { s.byte_order = "big"; }),
            "byte order changed (little, now big)");
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { l.qxin = "d.qxin"; }),
            "input data file changed (d.qxin, now c.qxin)");
  // Each of size, modification time and change time of an input.
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { ++l.inputs[input_tp18].size; }), "input changed (c.TP18)");
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { ++l.inputs[input_qxin].mtime_ns; }),
            "input changed (c.qxin)");
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { ++l.inputs[input_tp18].ctime_ns; }),
            "input changed (c.TP18)");
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { l.inputs[input_tp19] = {true, 1, 2, 3}; }),
            "input gone (c.TP19)");
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { l.inputs[input_tp18] = {}; }), "input appeared (c.TP18)");
  EXPECT_EQ(reason_with([](RecordLine& l, ConversionSettings&) { ++l.outputs[1].mtime_ns; }),
            "output changed (c_TP18-19_COVT.lst)");

  // The same file rewritten with an older time, as cp -p leaves it: its
  // change time tells.
  const InputMark before = input_mark(dir.file("c.TP18"));
  qxtest::write_file(dir.file("c.TP18"), "C.TP18");
  const timespec times[2] = {{0, UTIME_OMIT}, {before.mtime_ns / 1000000000, before.mtime_ns % 1000000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.file("c.TP18").c_str(), times, 0), 0);
  ASSERT_EQ(input_mark(dir.file("c.TP18")).mtime_ns, before.mtime_ns);
  ASSERT_EQ(input_mark(dir.file("c.TP18")).size, before.size);
  EXPECT_EQ(rerun_reason(c, settings, &done), "input changed (c.TP18)");
  fs::remove(dir.file("c_QX2D.TP18"));
  done.inputs = inputs_now(c).marks;
  EXPECT_EQ(rerun_reason(c, settings, &done), "output missing (c_QX2D.TP18)");
}

}  // namespace
