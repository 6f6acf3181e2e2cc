// The model section writer: the SV and SH model sections read back by a
// Fortran program in both byte orders, their record framing, the text twins
// line by line, the TP18 and TP19 calls, and failed writes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "control/channel_numbers.hpp"
#include "convert/w_qxin.hpp"
#include "model/qxin_fixture.hpp"

namespace {

using qx::ByteOrder;
using qx::ComValTp18;
using qx::int4;
using qxtest::dump_line;
using qxtest::QxinRun;
using qxtest::TempDir;
namespace unit = qx::unit;

const std::string source_dir = QX_SOURCE_DIR;

struct FortranReader {
  TempDir dir;
  std::string exe = dir.file("model_section_dump");
  std::string log;
  bool ok = qxtest::compile_fortran(qxtest::read_file(source_dir + "/tests/convert/model_section_dump.f90"), exe, log);
};

const FortranReader& reader() {
  static FortranReader r;
  return r;
}

// The converted files of one result kind, opened on their channels.
struct OutputSet {
  int osv, osh, osvt, osht;
  std::string sv, sh, svt, sht;
};

OutputSet output_set(const TempDir& dir, const std::string& kind) {
  const bool tp18 = kind == "TP18";
  return {tp18 ? unit::sv18 : unit::sv19,
          tp18 ? unit::sh18 : unit::sh19,
          tp18 ? unit::svt18 : unit::svt19,
          tp18 ? unit::sht18 : unit::sht19,
          dir.file("case_QX2D." + kind),
          dir.file("case_QXSH." + kind),
          dir.file("case_QX2D." + kind + ".txt"),
          dir.file("case_QXSH." + kind + ".txt")};
}

void open_outputs(qx::Run& run, const OutputSet& o, ByteOrder order) {
  ASSERT_EQ(run.ch.open_binary_write(o.osv, o.sv, order), 0);
  ASSERT_EQ(run.ch.open_binary_write(o.osh, o.sh, order), 0);
  ASSERT_EQ(run.ch.open_text_write(o.osvt, o.svt), 0);
  ASSERT_EQ(run.ch.open_text_write(o.osht, o.sht), 0);
}

void close_outputs(qx::Run& run, const OutputSet& o) {
  for (int u : {o.osv, o.osh, o.osvt, o.osht}) EXPECT_EQ(run.ch.close(u), 0);
}

// Payload lengths of the records of a binary file, with both markers of
// every record checked.
std::vector<std::uint32_t> record_lengths(const std::string& bytes, ByteOrder order) {
  auto marker = [&](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return order == ByteOrder::big ? __builtin_bswap32(v) : v;
  };
  std::vector<std::uint32_t> lengths;
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 8) {
      ADD_FAILURE() << "truncated record at " << at;
      break;
    }
    const std::uint32_t n = marker(at);
    if (bytes.size() - at - 8 < n || marker(at + 4 + n) != n) {
      ADD_FAILURE() << "bad record markers at " << at;
      break;
    }
    lengths.push_back(n);
    at += 8 + n;
  }
  return lengths;
}

// ---- the model sections expected from a model ----

std::size_t positive(int4 n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

struct Row {
  long long c[5];
};
using Rows = std::vector<Row>;

Rows two_node(const std::vector<int4>& n, const std::vector<int4>& i, const std::vector<int4>& j, bool rotational) {
  Rows rows;
  for (std::size_t k = 0; k < n.size(); ++k)
    rows.push_back(rotational ? Row{n[k], 0, i[k], 0, j[k]} : Row{n[k], i[k], 0, j[k], 0});
  return rows;
}
Rows four_node(const std::vector<int4>& n, const std::vector<int4>& i, const std::vector<int4>& j,
               const std::vector<int4>& k4, const std::vector<int4>& l) {
  Rows rows;
  for (std::size_t k = 0; k < n.size(); ++k) rows.push_back({n[k], i[k], j[k], k4[k], l[k]});
  return rows;
}

struct Expected {
  std::string dump;                  // as model_section_dump.f90 prints both files
  std::vector<std::uint32_t> sv_lengths, sh_lengths;
};

// What the two model sections of a consistent model (as the reader leaves
// it) hold, record by record.
Expected expected_sections(const ComValTp18& m) {
  Expected e;
  std::string title(m.title.begin(), m.title.end());
  title.replace(68, 4, "V401");
  std::array<int4, 10> nelm = m.nelm;
  nelm[3] = nelm[2];
  std::array<int4, 10> nelmh{};
  nelmh[0] = nelm[0];
  nelmh[2] = nelm[1] + nelm[2] + nelm[7];

  std::vector<long long> lists;
  auto list = [&](const std::vector<int4>& values, int4 count) {
    for (std::size_t i = 0; i < positive(count); ++i) lists.push_back(qxtest::at(values, i));
  };
  list(m.lcor[0], m.nbound[0]);
  list(m.lcor[1], m.nbound[0]);
  list(m.ncor[0], m.nbound[1]);
  list(m.ncor[1], m.nbound[1]);
  list(m.nbase, m.nbound[2]);

  Rows solids = four_node(m.nsolels, m.npi_so, m.npj_so, m.npk_so, m.npl_so);
  Rows springs = two_node(m.nsprels, m.npi_sp, m.npj_sp, false);
  Rows joints = four_node(m.njonas, m.npi_ja, m.npj_ja, m.npk_ja, m.npl_ja);
  Rows jb = four_node(m.njonbs, m.npi_jb, m.npj_jb, m.npk_jb, m.npl_jb);
  joints.insert(joints.end(), jb.begin(), jb.end());
  Rows sh_springs = two_node(m.nbeaels, m.npi_bm, m.npj_bm, false);
  sh_springs.insert(sh_springs.end(), springs.begin(), springs.end());
  Rows rigids = two_node(m.nrigels, m.npi_rb, m.npj_rb, false);
  sh_springs.insert(sh_springs.end(), rigids.begin(), rigids.end());

  auto file = [&](const char* which, const std::array<int4, 10>& counts, std::vector<std::uint32_t>& lengths,
                  const std::vector<std::pair<const char*, const Rows*>>& kinds) {
    e.dump += std::string("FILE ") + which + "\nTITLE " + title + "\n";
    std::vector<long long> c{m.ndpt};
    c.insert(c.end(), counts.begin(), counts.end());
    dump_line(e.dump, "COUNTS", c);
    dump_line(e.dump, "BOUND", {m.keyb[0], m.keyb[1], m.keyb[2], m.nbound[0], m.nbound[1], m.nbound[2]});
    dump_line(e.dump, "LIST", lists);
    dump_line(e.dump, "NODE", {m.ndpt});
    for (std::size_t k = 0; k < positive(m.ndpt); ++k)
      dump_line(e.dump, "N", {m.ndpts[k], qxtest::bits(m.xord[k]), qxtest::bits(m.zord[k])});
    lengths = {116, static_cast<std::uint32_t>(4 * (6 + lists.size())),
               static_cast<std::uint32_t>(12 * positive(m.ndpt))};
    for (const auto& [head, rows] : kinds) {
      if (rows->empty()) continue;
      dump_line(e.dump, head, {static_cast<long long>(rows->size())});
      for (const Row& r : *rows) dump_line(e.dump, "E", {r.c[0], r.c[1], r.c[2], r.c[3], r.c[4]});
      const bool solid = rows == &solids;
      if (solid)
        for (float d : m.den_so) dump_line(e.dump, "DEN", {qxtest::bits(d)});
      lengths.push_back(static_cast<std::uint32_t>(4 + (solid ? 24 : 20) * rows->size()));
    }
    e.dump += "END\n";
  };
  const Rows beams = two_node(m.nbeaels, m.npi_bm, m.npj_bm, false);
  const Rows rotational = two_node(m.nsprels, m.npi_sp, m.npj_sp, true);
  const Rows water = four_node(m.nwatels, m.npi_wt, m.npj_wt, m.npk_wt, m.npl_wt);
  const Rows waterb = four_node(m.nwsiels, m.npi_wb, m.npj_wb, m.npk_wb, m.npl_wb);
  const Rows shells = four_node(m.nstsels, m.npi_sl, m.npj_sl, m.npk_sl, m.npl_sl);
  const Rows voids = four_node(m.nvoids, m.npi_vo, m.npj_vo, m.npk_vo, m.npl_vo);
  file("SV", nelm, e.sv_lengths,
       {{"SOLID", &solids}, {"BEAM", &beams}, {"SPRING", &springs}, {"ROTATE", &rotational}, {"WATER", &water},
        {"WATERB", &waterb}, {"SHELL", &shells}, {"RIGID", &rigids}, {"JOINT", &joints}, {"VOID", &voids}});
  file("SH", nelmh, e.sh_lengths, {{"SOLID", &solids}, {"SPRING", &sh_springs}});
  return e;
}

// Every 4-byte word of a file reversed: all items of a model section are
// 4 bytes long, so the two byte orders differ exactly so.
std::string swap_words(std::string bytes) {
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    std::swap(bytes[i], bytes[i + 3]);
    std::swap(bytes[i + 1], bytes[i + 2]);
  }
  return bytes;
}

// ---- generated models, read back by Fortran ----

TEST(WQxin, GeneratedModelsReadBackByFortranInBothByteOrders) {
  ASSERT_TRUE(reader().ok) << reader().log;
  struct Case {
    unsigned seed;
    const char* size;
    const char* omit;
  };
  const Case cases[] = {
      {11, "30k", ""},
      {12, "2M", ""},
      {13, "30k", "BEAM,RIGID,WATER,VOID"},  // springs only on the SH side
      {14, "30k", "SOLID,SPRING,JOINTA,SHELL,BDFFR"},
      {15, "30k", "SOLID,BEAM,SPRING,RIGID,TITLE"},  // SH: nodes and boundary only
      {16, "30k", "JOINTB,WATERB,MSOLID,BOUND"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("seed ") + std::to_string(c.seed) + " omit " + c.omit);
    QxinRun r;
    ASSERT_EQ(r.read_file_at(qxtest::generate_case(r.dir, c.seed, c.size, c.omit)), 0);
    const Expected expected = expected_sections(r.run.val);
    std::string little_sv;
    for (ByteOrder order : {ByteOrder::little, ByteOrder::big}) {
      const bool big = order == ByteOrder::big;
      SCOPED_TRACE(big ? "big-endian" : "little-endian");
      TempDir out;
      const OutputSet o = output_set(out, "TP18");
      open_outputs(r.run, o, order);
      int ier = -99;
      qx::w_qxin(r.run, "TP18", ier);
      EXPECT_EQ(ier, 0);
      close_outputs(r.run, o);

      const qxtest::CommandResult back =
          qxtest::run_program({reader().exe, o.sv, o.sh, big ? "BIG_ENDIAN" : "LITTLE_ENDIAN"});
      ASSERT_EQ(back.exit_status, 0) << back.out;
      EXPECT_EQ(back.out, expected.dump);
      EXPECT_EQ(record_lengths(qxtest::read_file(o.sv), order), expected.sv_lengths);
      EXPECT_EQ(record_lengths(qxtest::read_file(o.sh), order), expected.sh_lengths);
      EXPECT_EQ(qxtest::read_file(o.svt), "");  // no "-stru": no text
      if (!big) little_sv = qxtest::read_file(o.sv);
      else EXPECT_EQ(qxtest::read_file(o.sv), swap_words(little_sv));
    }
    EXPECT_EQ(r.run.val.nelm[3], r.run.val.nelm[2]);
    EXPECT_EQ(std::string(r.run.val.title.end() - 4, r.run.val.title.end()), "V401");
  }
}

TEST(WQxin, Tp18AndTp19CallsWriteTheSameBytes) {
  QxinRun r;
  ASSERT_EQ(r.read_file_at(qxtest::generate_case(r.dir, 21, "30k")), 0);
  r.run.val.stru = 1;
  const OutputSet o18 = output_set(r.dir, "TP18"), o19 = output_set(r.dir, "TP19");
  open_outputs(r.run, o18, ByteOrder::big);
  open_outputs(r.run, o19, ByteOrder::big);
  int ier18 = -99, ier19 = -99;
  qx::w_qxin(r.run, "TP18", ier18);
  qx::w_qxin(r.run, "TP19  ", ier19);  // trailing blanks do not matter
  EXPECT_EQ(ier18, 0);
  EXPECT_EQ(ier19, 0);
  close_outputs(r.run, o18);
  close_outputs(r.run, o19);
  EXPECT_GT(qxtest::read_file(o18.sv).size(), 1000u);
  EXPECT_GT(qxtest::read_file(o18.sht).size(), 1000u);
  EXPECT_EQ(qxtest::read_file(o18.sv), qxtest::read_file(o19.sv));
  EXPECT_EQ(qxtest::read_file(o18.sh), qxtest::read_file(o19.sh));
  EXPECT_EQ(qxtest::read_file(o18.svt), qxtest::read_file(o19.svt));
  EXPECT_EQ(qxtest::read_file(o18.sht), qxtest::read_file(o19.sht));
}

// ---- a small model, exactly ----

const std::string small_model =
    "TITLE   SMALL MODEL\n"
    "NODE           3\n"
    "       1             0.0             0.0\n"
    "       2             2.5           -1.25\n"
    "       3       -1000.125         3.33333\n"
    "BOUND          1       0       2      12       1       0\n"
    "BDFEML         1       2       3       4       5       6       7       8       9      10      11\n"
    "              12\n"
    "BDFEMR        21\n"
    "MSOLID         1\n"
    "       1                             1.8\n"
    "SOLID          2\n"
    "       1       1       2       3       1       1\n"
    "       2       2       3       1       2       5\n"
    "BEAM           1\n"
    "      10       1       2\n"
    "SPRING         2\n"
    "      20       2       3\n"
    "      21       3       1\n"
    "RIGID          1\n"
    "      30       1       3\n"
    "JOINTB         1\n"
    "      40       1       2       3       1\n";

std::string title_line() { return "TITLE   SMALL MODEL" + std::string(57, ' ') + "V401\n"; }

const std::string shared_blocks =
    "BOUND          1       0       2      12       1       0\n"
    "BDFEML        12\n"
    "               1       2       3       4       5       6       7       8       9      10      11\n"
    "              12\n"
    "BDFFL         12\n"
    "               0       0       0       0       0       0       0       0       0       0       0\n"
    "               0\n"
    "BDFEMR         1\n"
    "              21\n"
    "BDFFR          1\n"
    "               0\n"
    "BDBASE         0\n"
    "\n"
    "NODE           3\n"
    "       1          0.0000          0.0000\n"
    "       2          2.5000         -1.2500\n"
    "       3      -1000.1250          3.3333\n"
    "SOLID          2\n"
    "       1       1       2       3       1\n"
    "       2       2       3       1       2\n"
    " 1.800E+00 0.000E+00\n";

const std::string sv_twin = title_line() +
                            "  NDPT   =       3\n"
                            "  NSOLEL =       2\n"
                            "  NBEAEL =       1\n"
                            "  NSPREL =       2\n"
                            "  NROTEL =       2\n"
                            "  NWATEL =       0\n"
                            "  NWSIEL =       0\n"
                            "  NSTSEL =       0\n"
                            "  NRIGE  =       1\n"
                            "  MDLM   =       0\n"
                            "  NJOINT =       1\n" +
                            shared_blocks +
                            "BEAM           1\n"
                            "      10       1       0       2       0\n"
                            "SPRING         2\n"
                            "      20       2       0       3       0\n"
                            "      21       3       0       1       0\n"
                            "ROTATE         2\n"
                            "      20       0       2       0       3\n"
                            "      21       0       3       0       1\n"
                            "RIGID          1\n"
                            "      30       1       0       3       0\n"
                            "JOINT          1\n"
                            "      40       1       2       3       1\n";

const std::string sh_twin = title_line() +
                            "  NDPT   =       3\n"
                            "  NSOLEL =       2\n"
                            "  NBEAEL =       0\n"
                            "  NSPREL =       4\n"
                            "  NROTEL =       0\n"
                            "  NWATEL =       0\n"
                            "  NWSIEL =       0\n"
                            "  NSTSEL =       0\n"
                            "  NRIGE  =       0\n"
                            "  MDLM   =       0\n"
                            "  NJOINT =       0\n" +
                            shared_blocks +
                            "SPRING         4\n"
                            "      10       1       0       2       0\n"
                            "      20       2       0       3       0\n"
                            "      21       3       0       1       0\n"
                            "      30       1       0       3       0\n";

TEST(WQxin, TextTwinsOfASmallModel) {
  QxinRun r;
  ASSERT_EQ(r.read_text(small_model), 0);
  r.run.val.stru = 1;
  const OutputSet o = output_set(r.dir, "TP19");
  open_outputs(r.run, o, ByteOrder::little);
  int ier = -99;
  qx::w_qxin(r.run, "TP19", ier);
  EXPECT_EQ(ier, 0);
  close_outputs(r.run, o);
  EXPECT_EQ(qxtest::read_file(o.svt), sv_twin);
  EXPECT_EQ(qxtest::read_file(o.sht), sh_twin);

  // The header record's title words, read as integers in the file's order,
  // hold the characters first character lowest.
  const std::string sv = qxtest::read_file(o.sv);
  ASSERT_GT(sv.size(), 120u);
  std::int32_t last_word;
  std::memcpy(&last_word, sv.data() + 4 + 68, 4);
  EXPECT_EQ(last_word, 825242710);
  EXPECT_EQ(sv.substr(4, 11), "SMALL MODEL");
}

TEST(WQxin, EntriesTheInputNeverGaveAreZeros) {
  QxinRun r;
  // Lists before BOUND store nothing; BOUND counts 2, 1, 3 with no list after it.
  ASSERT_EQ(r.read_text("BDFEML         7       8\nBOUND          0       0       0       2       1       3\n"
                        "BDBASE         5\n"),
            0);
  const OutputSet o = output_set(r.dir, "TP18");
  open_outputs(r.run, o, ByteOrder::little);
  int ier = -99;
  qx::w_qxin(r.run, "TP18", ier);
  EXPECT_EQ(ier, 0);
  close_outputs(r.run, o);
  const std::string sv = qxtest::read_file(o.sv);
  // Records 1 and 2 only: no nodes means an empty third record.
  EXPECT_EQ(record_lengths(sv, ByteOrder::little), (std::vector<std::uint32_t>{116, 24 + 4 * 9, 0}));
  std::vector<std::int32_t> rec2(15);
  std::memcpy(rec2.data(), sv.data() + 8 + 116 + 4, 60);
  EXPECT_EQ(rec2, (std::vector<std::int32_t>{0, 0, 0, 2, 1, 3, 0, 0, 0, 0, 0, 0, 5, 0, 0}));
  // No TITLE line: the title stays zero bytes but for its last word.
  EXPECT_EQ(sv.substr(4, 72), std::string(68, '\0') + "V401");
}

TEST(WQxin, NegativeCountsWriteNoRowsAndSumsTakeTheRowsGiven) {
  QxinRun r;
  // Counts as given, negative ones included; the SH spring count is the sum
  // 2 + (-1) + 0 = 1 and takes the first beam; the joint count
  // -1 + 2 = 1 takes the first JOINTB row.
  ASSERT_EQ(r.read_text("NODE          -2\nBOUND          0       0       0      -3       1      -1\n"
                        "BDFEMR         9\nBEAM           2\n       1       2       3\n       4       5       6\n"
                        "SPRING        -1\nJOINTA        -1\nJOINTB         2\n       7       1       2       3       4\n"
                        "       8       5       6       7       8\n"),
            0);
  const OutputSet o = output_set(r.dir, "TP18");
  open_outputs(r.run, o, ByteOrder::big);
  int ier = -99;
  qx::w_qxin(r.run, "TP18", ier);
  EXPECT_EQ(ier, 0);
  close_outputs(r.run, o);
  ASSERT_TRUE(reader().ok) << reader().log;
  const qxtest::CommandResult back = qxtest::run_program({reader().exe, o.sv, o.sh, "BIG_ENDIAN"});
  ASSERT_EQ(back.exit_status, 0) << back.out;
  const std::string title = std::string(68, '\0') + "V401";
  EXPECT_EQ(back.out, "FILE SV\nTITLE " + title + "\nCOUNTS -2 0 2 -1 -1 0 0 0 0 0 1\nBOUND 0 0 0 -3 1 -1\n"
                      "LIST 9 0\nNODE -2\nBEAM 2\nE 1 2 0 3 0\nE 4 5 0 6 0\nJOINT 1\nE 7 1 2 3 4\nEND\n"
                      "FILE SH\nTITLE " + title + "\nCOUNTS -2 0 0 1 0 0 0 0 0 0 0\nBOUND 0 0 0 -3 1 -1\n"
                      "LIST 9 0\nNODE -2\nSPRING 1\nE 1 2 0 3 0\nEND\n");
  EXPECT_EQ(record_lengths(qxtest::read_file(o.sh), ByteOrder::big),
            (std::vector<std::uint32_t>{116, 24 + 8, 0, 24}));
}

// ---- failures ----

std::vector<std::string> write_error_lines(int status) {
  const std::string st = std::to_string(status);
  return {"  **** ERROR NO. 1008 **** _QX2D._QX2H.TP1819 FILE WRITE ERROR ****",
          std::string(20, ' ') + " *** FILENAME = qxin  *** IOSTAT = " + std::string(5 - st.size(), ' ') + st + " ***"};
}

TEST(WQxin, FailedWritesAreReportedOnce) {
  for (const char* failing : {"sv", "sh", "svt"}) {
    SCOPED_TRACE(failing);
    QxinRun r;
    ASSERT_EQ(r.read_text(small_model), 0);
    r.run.val.stru = 1;
    OutputSet o = output_set(r.dir, "TP18");
    if (std::string(failing) == "sv") o.sv = "/dev/full";
    if (std::string(failing) == "sh") o.sh = "/dev/full";
    if (std::string(failing) == "svt") o.svt = "/dev/full";
    open_outputs(r.run, o, ByteOrder::little);
    int ier = -99;
    qx::w_qxin(r.run, "TP18", ier);
    EXPECT_EQ(ier, 38);
    std::vector<std::string> expected = qxtest::echo_lines(r.qxin);
    for (const std::string& l : write_error_lines(38)) expected.push_back(l);
    EXPECT_EQ(r.list_lines(), expected);
    for (int u : {o.osv, o.osh, o.osvt, o.osht}) r.run.ch.close(u);
  }
}

TEST(WQxin, UnknownResultKindWritesNothing) {
  QxinRun r;
  ASSERT_EQ(r.read_text(small_model), 0);
  r.run.val.stru = 1;
  const OutputSet o = output_set(r.dir, "TP18");
  for (const std::string& path : {o.sv, o.sh, o.svt, o.sht}) qxtest::write_file(path, "old");
  open_outputs(r.run, o, ByteOrder::little);
  const qx::ComValTp18 before = r.run.val;
  int ier = -99;
  qx::w_qxin(r.run, "TP20", ier);
  EXPECT_EQ(ier, 1);
  close_outputs(r.run, o);
  for (const std::string& path : {o.sv, o.sh, o.svt, o.sht}) EXPECT_EQ(qxtest::read_file(path), "old");
  EXPECT_EQ(r.run.val.nelm, before.nelm);
  EXPECT_EQ(r.run.val.title, before.title);
  EXPECT_EQ(r.list_lines(), qxtest::echo_lines(r.qxin));
}

TEST(WQxin, CountsBeyondWhatARecordHoldsFailWithoutAllocating) {
  // A store that no reader could leave: counts far beyond their rows. The
  // records they would need are refused, not built.
  const auto start = std::chrono::steady_clock::now();
  TempDir dir;
  qx::Run run;
  run.val.nelm[1] = 2000000000;
  run.val.nelm[2] = 2000000000;
  run.val.nelm[7] = 2000000000;
  ASSERT_EQ(run.ch.open_text_write(unit::lst, dir.file("lst")), 0);
  const OutputSet o = output_set(dir, "TP18");
  open_outputs(run, o, ByteOrder::little);
  int ier = -99;
  qx::w_qxin(run, "TP18", ier);
  EXPECT_EQ(ier, 38);
  close_outputs(run, o);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // The SH spring count is the sum held at the int4 limit.
  const std::string sh = qxtest::read_file(o.sh);
  ASSERT_GE(sh.size(), 120u);
  std::int32_t slot3;
  std::memcpy(&slot3, sh.data() + 4 + 72 + 4 + 8, 4);
  EXPECT_EQ(slot3, 2147483647);
}

}  // namespace
