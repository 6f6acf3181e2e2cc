// Helpers of the model tests: a run whose input data file and list file are
// open on their channels, generated cases, and the model store printed in the
// form the Fortran reference reader prints its model.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "control/channel_numbers.hpp"
#include "control/run.hpp"
#include "model/r_qxin.hpp"
#include "support/test_support.hpp"

namespace qxtest {

// A run set up as the file set phase leaves it for the reader: the input
// data file on channel 71 and the list file on channel 7.
struct QxinRun {
  TempDir dir;
  qx::Run run;
  std::string qxin = dir.file("case.qxin");
  std::string lst = dir.file("case.lst");

  // Reads the file at `path` (by default the one written by read_text).
  int read_file_at(const std::string& path) {
    run.val.inpdt_name = path + "   ";
    EXPECT_EQ(run.ch.open_text_read(qx::unit::qxin, path), 0);
    EXPECT_EQ(run.ch.open_text_write(qx::unit::lst, lst), 0);
    int irtn = -99;
    qx::r_qxin(run, irtn);
    return irtn;
  }
  int read_text(const std::string& text) {
    write_file(qxin, text);
    return read_file_at(qxin);
  }
  // The list file so far (the list channel stays open for later routines).
  std::vector<std::string> list_lines() {
    EXPECT_EQ(run.ch.flush(qx::unit::lst), 0);
    return split_lines(qxtest::read_file(lst));
  }
};

// The three lines that open the reader's part of the list file.
inline std::vector<std::string> echo_lines(const std::string& name) {
  return {"", "READ INPUT DATA (FILE-NAME:" + name + ")", ""};
}

#ifdef QXGEN_PATH
// Generates a case with qxgen and returns the path of its .qxin.
inline std::string generate_case(const TempDir& dir, unsigned seed, const std::string& size,
                                 const std::string& omit = {}) {
  const std::string base = dir.file("gen" + std::to_string(seed));
  std::vector<std::string> argv{QXGEN_PATH, "--out", base, "--seed", std::to_string(seed), "--size", size};
  if (!omit.empty()) argv.insert(argv.end(), {"--omit", omit});
  const CommandResult r = run_program(argv);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return base + ".qxin";
}
#endif

// A line of the printed model: a word, then integers separated by blanks.
inline void dump_line(std::string& out, const std::string& word, const std::vector<long long>& values) {
  out += word;
  for (long long v : values) out += " " + std::to_string(v);
  out += '\n';
}

inline long long bits(float f) { return std::bit_cast<std::int32_t>(f); }

template <typename T>
T at(const std::vector<T>& a, std::size_t i) {
  return i < a.size() ? a[i] : T{};
}

// The model store, printed as tests/model/qxin_model_dump.f90 prints the
// model it reads; boundary entries that no list gave print as 0.
inline std::string dump_store(const qx::ComValTp18& v) {
  std::string out;
  bool titled = false;
  for (char c : v.title) titled = titled || c != '\0';
  out += titled ? "TITLE " + std::string(v.title.begin(), v.title.end()) + "\n" : "NOTITLE\n";
  dump_line(out, "NODE", {v.ndpt});
  for (std::size_t k = 0; k < v.ndpts.size(); ++k)
    dump_line(out, "N", {v.ndpts[k], bits(v.xord.at(k)), bits(v.zord.at(k))});
  dump_line(out, "BOUND", {v.keyb[0], v.keyb[1], v.keyb[2], v.nbound[0], v.nbound[1], v.nbound[2]});
  auto list = [&](const char* name, const std::vector<qx::int4>& column, int slot) {
    std::vector<long long> values;
    for (int i = 0; i < v.nbound[static_cast<std::size_t>(slot)]; ++i) values.push_back(at(column, static_cast<std::size_t>(i)));
    dump_line(out, std::string("LIST ") + name, values);
  };
  list("BDFEML", v.lcor[0], 0);
  list("BDFFL", v.lcor[1], 0);
  list("BDFEMR", v.ncor[0], 1);
  list("BDFFR", v.ncor[1], 1);
  list("BDBASE", v.nbase, 2);
  dump_line(out, "MSOLID", {v.mso});
  for (std::size_t k = 0; k < v.msolids.size(); ++k) dump_line(out, "M", {v.msolids[k], bits(v.densm.at(k))});
  dump_line(out, "NELM", std::vector<long long>(v.nelm.begin(), v.nelm.end()));
  out += "NJA " + std::to_string(v.nja) + " NJB " + std::to_string(v.njb) + "\n";
  auto section = [&](const char* name, long long count, const std::vector<const std::vector<qx::int4>*>& fields) {
    dump_line(out, name, {count});
    for (std::size_t k = 0; k < fields[0]->size(); ++k) {
      std::vector<long long> row;
      for (const auto* f : fields) row.push_back(f->at(k));
      dump_line(out, "E", row);
    }
  };
  section("SOLID", v.nelm[0], {&v.nsolels, &v.npi_so, &v.npj_so, &v.npk_so, &v.npl_so, &v.mat_so});
  section("BEAM", v.nelm[1], {&v.nbeaels, &v.npi_bm, &v.npj_bm});
  section("SPRING", v.nelm[2], {&v.nsprels, &v.npi_sp, &v.npj_sp});
  section("WATER", v.nelm[4], {&v.nwatels, &v.npi_wt, &v.npj_wt, &v.npk_wt, &v.npl_wt});
  section("WATERB", v.nelm[5], {&v.nwsiels, &v.npi_wb, &v.npj_wb, &v.npk_wb, &v.npl_wb});
  section("SHELL", v.nelm[6], {&v.nstsels, &v.npi_sl, &v.npj_sl, &v.npk_sl, &v.npl_sl});
  section("RIGID", v.nelm[7], {&v.nrigels, &v.npi_rb, &v.npj_rb});
  section("JOINTA", v.nja, {&v.njonas, &v.npi_ja, &v.npj_ja, &v.npk_ja, &v.npl_ja});
  section("JOINTB", v.njb, {&v.njonbs, &v.npi_jb, &v.npj_jb, &v.npk_jb, &v.npl_jb});
  section("VOID", v.nelm[8], {&v.nvoids, &v.npi_vo, &v.npj_vo, &v.npk_vo, &v.npl_vo});
  for (float d : v.den_so) dump_line(out, "DEN", {bits(d)});
  return out;
}

}  // namespace qxtest
