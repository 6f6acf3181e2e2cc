// The TP19 conversion on damaged inputs: every fault is
// reported with its number and extra text, nothing is written that the file
// did not hold, and every block before the fault is in the outputs.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>

#include "convert/cnvt_tp19_fixture.hpp"

namespace {

using namespace tp19test;
namespace unit = qx::unit;

// A small file of every treatment, with what each block puts into the two
// converted files (whole, and the header records alone).
struct Sample {
  enum Role { rec1, rec2, data };
  struct Span {
    std::size_t start, end, block;
    Role role;
  };

  std::vector<InBlock> in;
  std::vector<std::string> sv, sh;        // whole blocks
  std::vector<std::string> sv_h, sh_h;    // header records of converted blocks
  std::vector<Span> spans;
  std::string bytes;

  Sample() {
    InBlock info = records_block("INFO", 6, 0, {});
    info.nc = {6, 0, 3, 0, 0, 1};
    info.dmp = 9.8;
    add_info(info);
    add_converted(records_block("WAVE", 41, 1, {{1, 2, 3}}), 'S', 1, {1, 2, 3});
    add_passed(records_block("AMPL", 41, 2, {{4, 5}, {6, 7}}));
    add_converted(records_block("WAVE", 41, 4, {{8, 9, 10}}), 'H', 1, {8, 9, 10});
    add_passed(records_block("WAVE", 44, 1, {{11}}));
    add_converted(records_block("STRS", 42, 2, {{12, 13, 14, 15}}), 'S', 13, {12, 13, 14});
  }

 private:
  void record_spans(const InBlock& b) {
    const std::size_t k = in.size();
    auto push = [&](const std::string& rec, Role role) {
      spans.push_back({bytes.size(), bytes.size() + rec.size(), k, role});
      bytes += rec;
    };
    push(b.rec1(), rec1);
    push(b.rec2(), rec2);
    for (std::size_t i = 0; i < b.data.size(); ++i) push(b.data_record(i), data);
    in.push_back(b);
  }
  void add_info(const InBlock& info) {  // the same bytes as the default one
    record_spans(info);
    sv.push_back(default_info().bytes(Order::little));
    sh.push_back(default_info().bytes(Order::little));
    sv_h.emplace_back();
    sh_h.emplace_back();
  }
  void add_converted(const InBlock& b, char to, int code, std::vector<float> values) {
    record_spans(b);
    const OutBlock o = converted(b, code, values);
    sv.push_back(to == 'S' ? o.bytes(Order::little) : "");
    sh.push_back(to == 'H' ? o.bytes(Order::little) : "");
    sv_h.push_back(to == 'S' ? o.headers(Order::little) : "");
    sh_h.push_back(to == 'H' ? o.headers(Order::little) : "");
  }
  void add_passed(const InBlock& b) {
    record_spans(b);
    sv.emplace_back();
    sh.emplace_back();
    sv_h.emplace_back();
    sh_h.emplace_back();
  }
};

TEST(Tp19Truncation, CutsAtAndInsideEveryRecordEndNormallyOrReportAReadErrorAfterTheBlocksBefore) {
  const Sample s;
  // At and just after every record boundary, inside the leading marker, the
  // payload and the trailing marker, and the whole file.
  std::set<std::size_t> cuts{s.bytes.size()};
  for (const auto& span : s.spans)
    for (std::size_t at : {span.start, span.start + 1, span.start + 3, span.start + 4, span.start + 5,
                           (span.start + span.end) / 2, span.end - 4, span.end - 1})
      cuts.insert(at);
  for (std::size_t cut : cuts) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    Harness h(s.bytes.substr(0, cut), Settings{});
    const int ier = h.convert();

    std::size_t whole_blocks = s.in.size();
    int status = 0;
    bool header = false, default_first = false;
    for (const auto& span : s.spans) {
      if (cut < span.start || cut >= span.end) continue;
      whole_blocks = span.block;
      if (cut == span.start && span.role == Sample::rec1) break;  // a clean end between blocks
      status = cut == span.start ? -1 : 39;
      header = span.role != Sample::data;
      // A first record that cannot be read does not show an information
      // block: the default one is written before the error.
      default_first = span.block == 0 && span.role == Sample::rec1;
    }
    std::string sv = h.model[unit::sv19], sh = h.model[unit::sh19];
    if (default_first) {
      sv += default_info().bytes(Order::little);
      sh += default_info().bytes(Order::little);
    }
    for (std::size_t k = 0; k < whole_blocks; ++k) {
      sv += s.sv[k];
      sh += s.sh[k];
    }
    if (status != 0 && !header) {
      sv += s.sv_h[whole_blocks];
      sh += s.sh_h[whole_blocks];
    }
    EXPECT_EQ(ier, status);
    EXPECT_EQ(h.sv(), sv);
    EXPECT_EQ(h.sh(), sh);
    const std::string lst = h.lst();
    const std::string tail = status == 0 ? end_lines() : header ? header_read_report(status) : data_read_report(status);
    EXPECT_TRUE(ends_with(lst, tail)) << lst;
  }
}

TEST(Tp19HeaderRecords, ShortOrMissingHeaderRecordsAreHeaderReadErrors) {
  const InBlock wave = records_block("WAVE", 41, 1, {{1, 2}});
  std::string short_rec1 = record(Bytes().text("WAVE").i32(41).i32(1).i32(3).i32(4));
  std::string short_rec2 = record(Bytes().i32(2).f64(0.5));
  {
    // REC1 short, REC2 whole: reported with REC1's status; the list lines
    // show what was read.
    Harness h(short_rec1 + wave.rec2() + wave.data_record(0), Settings{});
    EXPECT_EQ(h.convert(), 67);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info().bytes(Order::little));
    EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info().bytes(Order::little));
    const auto lines = qxtest::split_lines(h.lst());
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[5].substr(0, 36), "WAVE      41       1       3       4");
    EXPECT_TRUE(ends_with(h.lst(), header_read_report(67)));
  }
  {
    Harness h(wave.rec1() + short_rec2 + wave.data_record(0), Settings{});
    EXPECT_EQ(h.convert(), 67);
    // REC2 gave its first two fields before it ran out.
    InBlock shown = wave;
    shown.dt = 0.5;
    EXPECT_TRUE(ends_with(h.lst(), list_lines(shown) + header_read_report(67)));
  }
  {
    // A first block that ends after its REC1: the default information block
    // is written, then the error.
    Harness h(wave.rec1(), Settings{});
    EXPECT_EQ(h.convert(), -1);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info().bytes(Order::little));
    EXPECT_TRUE(ends_with(h.lst(), header_read_report(-1)));
  }
  {
    // An information block whose REC2 is missing is not copied with values
    // it never read.
    InBlock info = records_block("INFO", 6, 0, {});
    Settings s;
    s.maxr = 1;
    Harness h(info.rec1(), s);
    EXPECT_EQ(h.convert(), -1);
    EXPECT_EQ(h.sv(), h.model[unit::sv19]);
    EXPECT_EQ(h.sh(), h.model[unit::sh19]);
    EXPECT_EQ(h.svt(), "");
    EXPECT_EQ(h.lst(), start_lines() + header_read_report(-1));
  }
}

TEST(Tp19DataRecords, SizeRecordNotBackedByItsDataRecord) {
  // The first converted history fixes the array; a size the data record
  // cannot back is refused before any room is made for it.
  struct Case {
    const char* what;
    std::int32_t nsize2;
    std::string data;
    int status;
  };
  const std::vector<Case> cases = {
      {"two billion values claimed, three held", 2000000000, record(Bytes().f32s({1, 2, 3})), 67},
      {"largest size, three held", 2147483647, record(Bytes().f32s({1, 2, 3})), 67},
      {"one value more than held", 4, record(Bytes().f32s({1, 2, 3})), 67},
      {"no data record", 2000000000, "", -1},
      {"marker claims more than the file holds", 2000000000,
       Bytes().i32(2147483600).str() + Bytes().f32s({1, 2, 3}).str(), 39},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InBlock wave = records_block("WAVE", 41, 4, {});
    wave.nsize2 = c.nsize2;
    InBlock before = records_block("SPEC", 45, 1, {{5, 6}});
    Harness h(before.bytes() + wave.rec1() + wave.rec2() + c.data, with_wave());
    EXPECT_EQ(h.convert(), c.status);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info().bytes(Order::little) +
                          converted(before, 1, {{}}).bytes(Order::little));
    EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info().bytes(Order::little) +
                          converted(wave, 1, std::nullopt).bytes(Order::little));
    EXPECT_TRUE(ends_with(h.sht(), "\n" + i8(c.nsize2) + "    1.00000E-02    0.00000E+00    0.00000E+00    "
                                                           "0.00000E+00    0.00000E+00\n"))
        << h.sht();
    EXPECT_TRUE(ends_with(h.lst(), data_read_report(c.status)));
  }
}

TEST(Tp19DataRecords, LaterRecordShorterThanTheArrayWritesNoValues) {
  const InBlock first = records_block("WAVE", 41, 1, {{1, 2, 3, 4}});
  const InBlock second = records_block("WAVE", 41, 4, {{5, 6}});
  const InBlock after = records_block("WAVE", 41, 1, {{7, 8, 9, 10}});
  for (Order o : {Order::little, Order::big}) {
    SCOPED_TRACE(order_name(o));
    Harness h(tp19_file({first, second, after}), with_wave(o));
    EXPECT_EQ(h.convert(), 67);
    EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info().bytes(o) + converted(first, 1, {{1, 2, 3, 4}}).bytes(o));
    EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info().bytes(o) + converted(second, 1, std::nullopt).bytes(o));
    // The text twin gets the header lines but no values.
    EXPECT_TRUE(ends_with(h.sht(), header_lines("WAVE", {41, 0, 0, 2, 3, 1}, second.dmp, second.lrec, 2, second.dt,
                                                second.yt)));
    EXPECT_TRUE(ends_with(h.lst(), list_lines(second) + data_read_report(67)));
  }
}

TEST(Tp19DataRecords, PassingOverARecordThatIsNotThereIsAReadError) {
  InBlock ampl = records_block("AMPL", 41, 1, {{1, 2}, {3, 4}});
  const std::string whole = ampl.bytes();
  Harness h(whole.substr(0, whole.size() - ampl.data_record(1).size()), Settings{});
  EXPECT_EQ(h.convert(), -1);
  EXPECT_TRUE(ends_with(h.lst(), list_lines(ampl) + data_read_report(-1)));
}

#ifndef __SANITIZE_ADDRESS__
// Current size of the address space of this process, in bytes.
std::size_t address_space_bytes() {
  std::size_t pages = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%zu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TEST(Tp19DataRecords, UnbackedSizesNeverReachTheAllocator) {
  // The conversion runs in a child whose address space may grow by 256 MiB
  // only: making room for the two billion values claimed would end it.
  InBlock wave = records_block("WAVE", 41, 1, {});
  wave.nsize2 = 2000000000;
  Harness h(wave.rec1() + wave.rec2() + record(Bytes().f32s({1, 2, 3})), with_wave());
  h.open();
  const std::size_t limit = address_space_bytes() + (std::size_t{256} << 20);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit as{limit, limit};
    setrlimit(RLIMIT_AS, &as);
    int ier = 0;
    qx::cnvt_tp19(h.run, ier);
    _exit(ier == 67 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  h.run.ch.close_all();
}
#endif

}  // namespace
