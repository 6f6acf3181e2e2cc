// The model section writer: the SV and SH model sections read back by a
// Fortran program in both byte orders, the text twins of a small model,
// counts that the rows do not back, and failed writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "convert/w_qxin.hpp"
#include "model/qxin_fixture.hpp"
#include "run/channel_numbers.hpp"

namespace {

using qx::ByteOrder;
using qx::int4;
using qxtest::dump_line;
using qxtest::QxinRun;
using qxtest::read_file;

// The converted files of one result kind.
struct OutputSet {
  int osv, osh, osvt, osht;
  std::string sv, sh, svt, sht;
};

OutputSet output_set(const qxtest::TempDir& dir, const std::string& kind) {
  namespace u = qx::unit;
  const bool tp18 = kind == "TP18";
  const std::string base = dir.file("case_QX");
  return {tp18 ? u::sv18 : u::sv19, tp18 ? u::sh18 : u::sh19, tp18 ? u::svt18 : u::svt19,
          tp18 ? u::sht18 : u::sht19, base + "2D." + kind, base + "SH." + kind, base + "2D." + kind + ".txt",
          base + "SH." + kind + ".txt"};
}

// Opens the four files, writes the model sections of `kind`, closes them; ier.
int write_sections(qx::Run& run, const OutputSet& o, ByteOrder order, std::string_view kind = "TP18") {
  EXPECT_EQ(run.ch.open_binary_write(o.osv, o.sv, order), 0);
  EXPECT_EQ(run.ch.open_binary_write(o.osh, o.sh, order), 0);
  EXPECT_EQ(run.ch.open_text_write(o.osvt, o.svt), 0);
  EXPECT_EQ(run.ch.open_text_write(o.osht, o.sht), 0);
  int ier = -99;
  qx::w_qxin(run, kind, ier);
  for (int u : {o.osv, o.osh, o.osvt, o.osht}) run.ch.close(u);
  return ier;
}

// Both binary files as tests/convert/model_section_dump.f90 reads and prints
// them. The text twins must be what it writes of what it read through the
// twins' layouts, or empty without `twins`.
std::string read_back(const OutputSet& o, ByteOrder order, bool twins) {
  static const qxtest::TempDir dir;
  static const std::string exe = dir.file("model_section_dump");
  static std::string log;
  static const bool ok =
      qxtest::compile_fortran(read_file(QX_SOURCE_DIR "/tests/convert/model_section_dump.f90"), exe, log);
  EXPECT_TRUE(ok) << log;
  std::vector<std::string> argv{exe, o.sv, o.sh, order == ByteOrder::big ? "BIG_ENDIAN" : "LITTLE_ENDIAN"};
  if (twins) argv.insert(argv.end(), {o.svt + ".expected", o.sht + ".expected"});
  const qxtest::CommandResult r = qxtest::run_program(argv);
  EXPECT_EQ(r.exit_status, 0);
  for (const std::string& twin : {o.svt, o.sht})
    EXPECT_EQ(read_file(twin), twins ? read_file(twin + ".expected") : "") << twin;
  return r.out;
}

// ---- the sections expected from a model as the reader leaves it ----

using Group = std::array<const std::vector<int4>*, 5>;  // element number and four nodes; nullptr: zeros

struct Expected {
  std::string dump;                // as read_back prints it
  std::size_t sv_bytes, sh_bytes;  // each record: 8 bytes of markers and its payload
};

Expected expected_sections(const qx::ComValTp18& m) {
  Expected e;
  std::string title(m.title.begin(), m.title.end());
  title.replace(68, 4, "V401");
  std::array<int4, 10> nelm = m.nelm, nelmh{};
  nelm[3] = nelm[2];
  nelmh[0] = nelm[0];
  nelmh[2] = nelm[1] + nelm[2] + nelm[7];
  std::vector<long long> lists;
  for (const auto& [list, n] : {std::pair{&m.lcor[0], m.nbound[0]}, {&m.lcor[1], m.nbound[0]},
                                {&m.ncor[0], m.nbound[1]}, {&m.ncor[1], m.nbound[1]}, {&m.nbase, m.nbound[2]}})
    for (std::size_t i = 0; i < qxtest::positive(n); ++i) lists.push_back(qxtest::at(*list, i));
  const std::size_t nodes = qxtest::positive(m.ndpt);
  const Group solid{&m.nsolels, &m.npi_so, &m.npj_so, &m.npk_so, &m.npl_so},
      beam{&m.nbeaels, &m.npi_bm, nullptr, &m.npj_bm, nullptr},
      spring{&m.nsprels, &m.npi_sp, nullptr, &m.npj_sp, nullptr},
      rigid{&m.nrigels, &m.npi_rb, nullptr, &m.npj_rb, nullptr};
  auto file = [&](const char* which, const std::array<int4, 10>& counts, std::size_t& bytes,
                  std::initializer_list<std::pair<const char*, std::vector<Group>>> kinds) {
    e.dump += std::string("FILE ") + which + "\nTITLE " + title + "\n";
    std::vector<long long> c{m.ndpt};
    c.insert(c.end(), counts.begin(), counts.end());
    dump_line(e.dump, "COUNTS", c);
    dump_line(e.dump, "BOUND", {m.keyb[0], m.keyb[1], m.keyb[2], m.nbound[0], m.nbound[1], m.nbound[2]});
    dump_line(e.dump, "LIST", lists);
    dump_line(e.dump, "NODE", {m.ndpt});
    for (std::size_t k = 0; k < nodes; ++k)
      dump_line(e.dump, "N", {m.ndpts[k], qxtest::bits(m.xord[k]), qxtest::bits(m.zord[k])});
    bytes = 3 * 8 + 116 + 4 * (6 + lists.size()) + 12 * nodes;
    for (const auto& [head, groups] : kinds) {
      std::string rows;
      std::size_t n = 0;
      for (const Group& g : groups)
        for (std::size_t k = 0; k < g[0]->size(); ++k, ++n) {
          std::vector<long long> row(5, 0);
          for (std::size_t c = 0; c < 5; ++c) row[c] = g[c] ? (*g[c])[k] : 0;
          dump_line(rows, "E", row);
        }
      if (n == 0) continue;
      const bool solids = std::string(head) == "SOLID";
      for (float d : solids ? m.den_so : std::vector<float>{}) dump_line(rows, "DEN", {qxtest::bits(d)});
      dump_line(e.dump, head, {static_cast<long long>(n)});
      e.dump += rows;
      bytes += 8 + 4 + (solids ? 24 : 20) * n;
    }
    e.dump += "END\n";
  };
  file("SV", nelm, e.sv_bytes,
       {{"SOLID", {solid}},
        {"BEAM", {beam}},
        {"SPRING", {spring}},
        {"ROTATE", {{&m.nsprels, nullptr, &m.npi_sp, nullptr, &m.npj_sp}}},
        {"WATER", {{&m.nwatels, &m.npi_wt, &m.npj_wt, &m.npk_wt, &m.npl_wt}}},
        {"WATERB", {{&m.nwsiels, &m.npi_wb, &m.npj_wb, &m.npk_wb, &m.npl_wb}}},
        {"SHELL", {{&m.nstsels, &m.npi_sl, &m.npj_sl, &m.npk_sl, &m.npl_sl}}},
        {"RIGID", {rigid}},
        {"JOINT", {{&m.njonas, &m.npi_ja, &m.npj_ja, &m.npk_ja, &m.npl_ja},
                   {&m.njonbs, &m.npi_jb, &m.npj_jb, &m.npk_jb, &m.npl_jb}}},
        {"VOID", {{&m.nvoids, &m.npi_vo, &m.npj_vo, &m.npk_vo, &m.npl_vo}}}});
  file("SH", nelmh, e.sh_bytes, {{"SOLID", {solid}}, {"SPRING", {beam, spring, rigid}}});
  return e;
}

TEST(WQxin, GeneratedModelsReadBackByFortranInBothByteOrders) {
  const struct {
    unsigned seed;
    const char* size;
    const char* omit;
  } cases[] = {
      {11, "30k", ""},
      {12, "2M", ""},
      {13, "30k", "BEAM,RIGID,WATER,VOID"},  // springs only on the SH side
      {14, "30k", "SOLID,SPRING,JOINTA,SHELL,BDFFR"},
      {15, "30k", "SOLID,BEAM,SPRING,RIGID,TITLE"},  // SH: nodes and boundary only
      {16, "30k", "JOINTB,WATERB,MSOLID,BOUND"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("seed ") + std::to_string(c.seed) + " omit " + c.omit);
    QxinRun r;
    ASSERT_EQ(r.read_file_at(qxtest::generate_case(r.dir, c.seed, c.size, c.omit)), 0);
    const Expected expected = expected_sections(r.run.val);
    // Little-endian TP18 without text twins, then big-endian TP19 (trailing
    // blanks do not matter) with them ("-stru").
    for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
      const bool big = order == ByteOrder::big;
      r.run.val.stru = big ? 1 : 0;
      const OutputSet o = output_set(r.dir, big ? "TP19" : "TP18");
      EXPECT_EQ(write_sections(r.run, o, order, big ? "TP19  " : "TP18"), 0);
      EXPECT_EQ(read_back(o, order, big), expected.dump) << (big ? "big-endian" : "little-endian");
      EXPECT_EQ(read_file(o.sv).size(), expected.sv_bytes);
      EXPECT_EQ(read_file(o.sh).size(), expected.sh_bytes);
    }
  }
}

// Counts taken as they stand: entries no list gave and rows no line gave
// are zeros, negative counts give no rows, sums take the first rows given.
TEST(WQxin, CountsTheRowsDoNotBackReadBackByFortran) {
  const std::string untitled = "TITLE " + std::string(68, '\0') + "V401\n";
  const struct {
    std::string input, sv, sh;
    std::size_t sv_bytes, sh_bytes;
  } cases[] = {
      // Lists before BOUND store nothing; BOUND counts 2, 1, 3 and one list given.
      {"BDFEML         7       8\nBOUND          0       0       0       2       1       3\nBDBASE         5\n",
       "COUNTS 0 0 0 0 0 0 0 0 0 0 0\nBOUND 0 0 0 2 1 3\nLIST 0 0 0 0 0 0 5 0 0\nNODE 0\nEND\n",
       "COUNTS 0 0 0 0 0 0 0 0 0 0 0\nBOUND 0 0 0 2 1 3\nLIST 0 0 0 0 0 0 5 0 0\nNODE 0\nEND\n", 124 + 68 + 8,
       124 + 68 + 8},
      // SH springs 2 + (-1) + 0 = 1: the first beam; joints -1 + 2 = 1: the first JOINTB row.
      {"NODE          -2\nBOUND          0       0       0      -3       1      -1\nBDFEMR         9\n"
       "BEAM           2\n       1       2       3\n       4       5       6\nSPRING        -1\nJOINTA        -1\n"
       "JOINTB         2\n       7       1       2       3       4\n       8       5       6       7       8\n",
       "COUNTS -2 0 2 -1 -1 0 0 0 0 0 1\nBOUND 0 0 0 -3 1 -1\nLIST 9 0\nNODE -2\nBEAM 2\nE 1 2 0 3 0\nE 4 5 0 6 0\n"
       "JOINT 1\nE 7 1 2 3 4\nEND\n",
       "COUNTS -2 0 0 1 0 0 0 0 0 0 0\nBOUND 0 0 0 -3 1 -1\nLIST 9 0\nNODE -2\nSPRING 1\nE 1 2 0 3 0\nEND\n",
       124 + 40 + 8 + 52 + 32, 124 + 40 + 8 + 32},
  };
  for (const auto& c : cases)
    for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
      QxinRun r;
      ASSERT_EQ(r.read_text(c.input), 0);
      r.run.val.stru = 1;
      const OutputSet o = output_set(r.dir, "TP18");
      EXPECT_EQ(write_sections(r.run, o, order), 0);
      EXPECT_EQ(read_back(o, order, true), "FILE SV\n" + untitled + c.sv + "FILE SH\n" + untitled + c.sh);
      EXPECT_EQ(read_file(o.sv).size(), c.sv_bytes);
      EXPECT_EQ(read_file(o.sh).size(), c.sh_bytes);
    }
}

// ---- failures ----

TEST(WQxin, FailedWritesAreReportedOnce) {
  for (std::string OutputSet::*failing : {&OutputSet::sv, &OutputSet::sh, &OutputSet::svt}) {
    QxinRun r;
    ASSERT_EQ(r.read_text("TITLE   T\n"), 0);
    r.run.val.stru = 1;
    OutputSet o = output_set(r.dir, "TP18");
    o.*failing = "/dev/full";
    EXPECT_EQ(write_sections(r.run, o, ByteOrder::little), 38);
    EXPECT_EQ(r.list_lines(), qxtest::list_after(r.qxin, 1008, 38));
  }
  // Counts far beyond their rows, as no reader leaves them: the records
  // they would need are refused, not built; the SH spring count is their
  // sum held at the int4 limit.
  const auto start = std::chrono::steady_clock::now();
  QxinRun r;
  ASSERT_EQ(r.read_text(""), 0);
  r.run.val.nelm[1] = r.run.val.nelm[2] = r.run.val.nelm[7] = 2000000000;
  const OutputSet o = output_set(r.dir, "TP18");
  EXPECT_EQ(write_sections(r.run, o, ByteOrder::little), 38);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(read_file(o.sh).substr(4 + 72 + 4 + 8, 4), std::string("\xff\xff\xff\x7f", 4));
}

TEST(WQxin, UnknownResultKindWritesNothing) {
  QxinRun r;
  ASSERT_EQ(r.read_text("TITLE   T\n"), 0);
  r.run.val.stru = 1;
  const OutputSet o = output_set(r.dir, "TP18");
  for (const std::string& path : {o.sv, o.sh, o.svt, o.sht}) qxtest::write_file(path, "old");
  EXPECT_EQ(write_sections(r.run, o, ByteOrder::little, "TP20"), 1);
  for (const std::string& path : {o.sv, o.sh, o.svt, o.sht}) EXPECT_EQ(read_file(path), "old");
  EXPECT_EQ(r.run.val.title[68], ' ');  // the store is left as read
  EXPECT_EQ(r.list_lines(), qxtest::list_after(r.qxin));
}

}  // namespace
