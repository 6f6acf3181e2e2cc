// The TP19 conversion on damaged inputs and full disks: every fault is
// reported with its number and extra text, nothing is written that the file
// did not hold, every block before the fault is in the outputs, and the
// conversion stops there.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <set>

#include "convert/cnvt_tp19_fixture.hpp"
#include "support/write_faults.hpp"

namespace {

using namespace tp19test;

// A small file of every treatment, the byte span of each record, and what
// each block puts into the two converted files: whole, and its header
// records alone.
struct Sample {
  struct Span {
    std::size_t start, end, block;
    bool header, rec1;
  };
  std::vector<Span> spans;
  std::vector<std::array<std::string, 2>> whole, headers;  // per block: SV, SH
  std::string bytes;

  Sample() {
    add(info_block(), -1, 0);  // the same bytes as the default one
    add(block("WAVE", 41, 1, {{1, 2, 3}}), 0, 1);
    add(block("AMPL", 41, 2, {{4, 5}, {6, 7}}), -1, 0);
    add(block("WAVE", 41, 4, {{8, 9, 10}}), 1, 1);
    add(block("WAVE", 44, 1, {{11}}), -1, 0);
    add(block("STRS", 42, 2, {{12, 13, 14, 15}}), 0, 13);
  }

 private:
  void add(const InBlock& b, int to, int code) {  // to: 0 SV, 1 SH, -1 passed over or INFO
    const std::size_t k = whole.size();
    auto push = [&](const std::string& rec, bool header, bool rec1) {
      spans.push_back({bytes.size(), bytes.size() + rec.size(), k, header, rec1});
      bytes += rec;
    };
    push(b.rec1(), true, true);
    push(b.rec2(), true, false);
    for (std::size_t i = 0; i < b.data.size(); ++i) push(b.data_record(i), false, false);
    whole.emplace_back();
    headers.emplace_back();
    if (b.name == "INFO") whole[k] = {default_info().bytes(Order::little), default_info().bytes(Order::little)};
    if (to < 0) return;
    const OutBlock o = converted(b, code, std::vector<float>(b.data[0].begin(), b.data[0].begin() + 3));
    whole[k][static_cast<std::size_t>(to)] = o.bytes(Order::little);
    headers[k][static_cast<std::size_t>(to)] = o.headers(Order::little);
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

    std::size_t whole_blocks = s.whole.size();
    int status = 0;
    bool header = false, default_first = false;
    for (const auto& span : s.spans) {
      if (cut < span.start || cut >= span.end) continue;
      whole_blocks = span.block;
      if (cut == span.start && span.rec1) break;  // a clean end between blocks
      status = cut == span.start ? -1 : 39;
      header = span.header;
      // A first record that cannot be read does not show an information
      // block: the default one is written before the error.
      default_first = span.block == 0 && span.rec1;
    }
    std::array<std::string, 2> out = {h.model[unit::sv19], h.model[unit::sh19]};
    for (std::size_t v = 0; v < 2; ++v) {
      if (default_first) out[v] += default_info().bytes(Order::little);
      for (std::size_t k = 0; k < whole_blocks; ++k) out[v] += s.whole[k][v];
      if (status != 0 && !header) out[v] += s.headers[whole_blocks][v];
    }
    EXPECT_EQ(ier, status);
    EXPECT_EQ(h.sv(), out[0]);
    EXPECT_EQ(h.sh(), out[1]);
    EXPECT_TRUE(h.lst().ends_with(status == 0 ? end_lines() : read_report(header, status))) << h.lst();
  }
}

// Current size of the address space of this process, in bytes.
std::size_t address_space_bytes() {
  std::size_t pages = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%zu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TEST(Tp19DataRecords, RecordsThatCannotBackTheArrayAreReadErrorsWithoutValues) {
  // The first converted history fixes the array: a size its data record
  // cannot back is refused before any room is made for it, and a later
  // record shorter than the array gives no values either.
  const InBlock spec = block("SPEC", 45, 1, {{5, 6}});  // before any history: no values
  const InBlock first = block("WAVE", 41, 1, {{1, 2, 3, 4}});
  const std::string three = record(Bytes().f32s({1, 2, 3}));
  struct Case {
    const char* what;
    const InBlock& before;
    std::vector<float> before_values;
    std::int32_t nsize2;
    std::string data;
    int status;
  };
  const std::vector<Case> cases = {
      {"two billion values claimed, three held", spec, {}, 2000000000, three, 67},
      {"largest size, three held", spec, {}, 2147483647, three, 67},
      {"one value more than held", spec, {}, 4, three, 67},
      {"no data record", spec, {}, 2000000000, "", -1},
      {"marker claims more than the file holds", spec, {}, 2000000000,
       Bytes().i32(2147483600).str() + Bytes().f32s({1, 2, 3}).str(), 39},
      {"later record shorter than the array", first, {1, 2, 3, 4}, 2, record(Bytes().f32s({5, 6})), 67},
  };
  for (const auto& c : cases) {
    for (Order o : {Order::little, Order::big}) {
      SCOPED_TRACE(std::string(c.what) + ", " + order_name(o));
      InBlock wave = block("WAVE", 41, 4, {});
      wave.nsize2 = c.nsize2;
      Harness h(c.before.bytes() + wave.rec1() + wave.rec2() + c.data, with_wave(o));
      h.open();
      // The conversion runs in a child whose address space may grow by
      // 256 MiB only: making room for the values claimed would end it.
      const std::size_t limit = address_space_bytes() + (std::size_t{256} << 20);
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
#ifndef __SANITIZE_ADDRESS__
        const rlimit as{limit, limit};
        setrlimit(RLIMIT_AS, &as);
#endif
        const int ier = h.cnvt();
        h.run.ch.close_all();
        _exit(ier & 0xFF);
      }
      int child = 0;
      ASSERT_EQ(waitpid(pid, &child, 0), pid);
      h.run.ch.close_all();
      ASSERT_TRUE(WIFEXITED(child)) << "child status " << child;
      EXPECT_EQ(WEXITSTATUS(child), c.status & 0xFF);
      EXPECT_EQ(h.sv(), h.model[unit::sv19] + default_info().bytes(o) + converted(c.before, 1, c.before_values).bytes(o));
      EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info().bytes(o) + converted(wave, 1, std::nullopt).bytes(o));
      EXPECT_TRUE(h.sht().ends_with("\n" + converted_lines(wave, 1))) << h.sht();
      EXPECT_TRUE(h.lst().ends_with(list_lines(wave) + read_report(false, c.status))) << h.lst();
    }
  }
}

TEST(Tp19WriteFailures, LostWritesShowAtTheCloseAndNameTheFirstChannelClosed) {
  const InBlock to_sh = block("WAVE", 41, 4, {{3, 4}});
  const std::string file = tp19_file({block("WAVE", 41, 1, {{1, 2}}), to_sh});
  // Channels whose disk fills up right after the model section, and the one named.
  const std::vector<std::pair<std::vector<int>, int>> cases = {{{unit::sv19}, unit::sv19},
                                                               {{unit::sv19, unit::sh19}, unit::sh19},
                                                               {{unit::svt19, unit::sht19}, unit::sht19},
                                                               {{unit::sv19, unit::sht19}, unit::sht19}};
  for (const auto& [full_units, named] : cases) {
    SCOPED_TRACE(named);
    Harness h(file, with_wave());
    h.open();
    std::vector<std::unique_ptr<qxtest::WriteBudget>> full;
    for (int u : full_units) full.push_back(std::make_unique<qxtest::WriteBudget>(h.path(u), h.model[u].size()));
    EXPECT_EQ(h.cnvt(), 38);
    h.run.ch.close_all();
    full.clear();
    EXPECT_TRUE(h.lst().ends_with(write_report(false, named, 38))) << h.lst();
    // Every channel was still closed: the files that could be written are whole.
    if (full_units.size() == 1) {
      EXPECT_EQ(h.sh(), h.model[unit::sh19] + default_info().bytes(Order::little) +
                            converted(to_sh, 1, {{3, 4}}).bytes(Order::little));
    }
  }
  // Nothing is written to the text result file: it cannot fail.
  Settings s = with_wave();
  s.file_of[unit::txt19] = "/dev/full";
  EXPECT_EQ(Harness(file, s).convert(), 0);
}

// A TP19 file whose SV output crosses every 64 KiB boundary `into` bytes
// after the start of a converted time history block (76 header bytes, then
// its data record). The writers hand their output over in buffers of a power
// of two bytes, at least 64 KiB, so on a full device the write that crosses
// such a boundary is the one that fails. Information blocks (76 bytes) and
// empty converted blocks (84 bytes) move the first history into place.
std::string failing_at(std::size_t into) {
  constexpr std::size_t boundary = 65536;
  constexpr std::int32_t values = (boundary - 84) / 4;  // each history block is 64 KiB
  std::size_t room = (3 * boundary - into - 76) % boundary;
  if (room < 1440) room += boundary;
  std::size_t empties = 0;
  while ((room - 84 * empties) % 76 != 0) ++empties;
  std::vector<InBlock> in(1 + (room - 84 * empties) / 76, info_block());
  for (std::size_t i = 0; i < empties; ++i) in.push_back(block("SPEC", 45, 1, {{1}}));
  for (int i = 0; i < 20; ++i) in.push_back(block("WAVE", 41, 1, {std::vector<float>(values, 0.5f * i)}));
  return tp19_file(in);
}

TEST(Tp19WriteFailures, FailedWritesStopTheConversionWhereTheyShow) {
  struct Case {
    const char* what;
    std::string file;
    int wave, maxr;
    int full_unit;  // a full disk behind the model section, or /dev/full
    std::string report;
  };
  std::vector<InBlock> to_sh(600, block("WAVE", 41, 4, {std::vector<float>(500, 0.5f)}));
  const std::vector<Case> cases = {
      {"at REC1", failing_at(0), 0, 0, unit::sv19, write_report(true, unit::sv19, 38)},
      {"inside REC2", failing_at(60), 0, 0, unit::sv19, write_report(true, unit::sv19, 38)},
      {"inside the data record", failing_at(176), 0, 0, unit::sv19, write_report(false, unit::sv19, 38)},
      {"SH text", tp19_file(to_sh), 1, 0, -unit::sht19, write_report(false, unit::sht19, 38)},
      {"text lines of information blocks", tp19_file(std::vector<InBlock>(8000, info_block())), 0, 1, -unit::svt19,
       write_report(false, unit::svt19, 38)},
      // The list file: its own report is lost with it, but the status stops the run.
      {"list file", tp19_file(std::vector<InBlock>(8000, block("WAVE", 44, 1, {{1}}))), 0, 0, -unit::lst, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Settings s;
    s.wave = c.wave;
    s.maxr = c.maxr;
    if (c.full_unit < 0) s.file_of[-c.full_unit] = "/dev/full";
    Harness h(c.file, s);
    h.open();
    // The model section is handed to the file on its own, so the output
    // buffer starts empty behind it; the disk is full from there on.
    std::optional<qxtest::WriteBudget> full;
    if (c.full_unit > 0) full.emplace(h.path(c.full_unit), h.model[c.full_unit].size());
    EXPECT_EQ(h.cnvt(), 38);
    EXPECT_TRUE(h.run.ch.is_open(unit::tp19)) << "stopped before the end of the file";
    h.run.ch.close_all();
    if (c.full_unit == -unit::lst) continue;  // reads as endless zeros
    const std::string lst = h.lst();
    EXPECT_TRUE(lst.ends_with(c.report)) << lst.substr(lst.size() > 300 ? lst.size() - 300 : 0);
  }
}

}  // namespace
