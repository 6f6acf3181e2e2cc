// Helpers of the model tests: a run whose input data file and list file are
// open on their channels, generated cases, fixed-column input lines, and the
// model store printed as tests/model/qxin_model_dump.f90 prints its model.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "model/r_qxin.hpp"
#include "run/channel_numbers.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"

namespace qxtest {

// A run set up as the file set phase leaves it for the reader: the input
// data file on channel 71 and the list file on channel 7.
struct QxinRun {
  TempDir dir;
  qx::Run run;
  std::string qxin = dir.file("case.qxin");
  std::string lst = dir.file("case.lst");

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
    return split_lines(read_file(lst));
  }
};

// The list file after reading `name`: the echo of the name, then for an
// error (1016 read, 1008 write) its message and the status line.
inline std::vector<std::string> list_after(const std::string& name, int error = 0, int status = 0) {
  std::vector<std::string> lines{"", "READ INPUT DATA (FILE-NAME:" + name + ")", ""};
  if (error == 0) return lines;
  const std::string st = std::to_string(status);
  lines.push_back(error == 1016 ? "  **** ERROR NO. 1016 **** INPUT DATA FILE READ ERROR ****"
                                : "  **** ERROR NO. 1008 **** _QX2D._QX2H.TP1819 FILE WRITE ERROR ****");
  lines.push_back(std::string(20, ' ') + " *** FILENAME = qxin  *** IOSTAT = " + std::string(5 - st.size(), ' ') +
                  st + " ***");
  return lines;
}

// Integers right-justified in eight-column fields; a keyword line with its count.
inline std::string i8(std::initializer_list<long long> values) {
  std::string line;
  for (long long v : values) {
    const std::string t = std::to_string(v);
    line += std::string(8 - t.size(), ' ') + t;
  }
  return line;
}
inline std::string key(std::string keyword, long long count) {
  keyword.resize(8, ' ');
  return keyword + i8({count}) + "\n";
}

// Generates a case with qxgen and returns the path of its .qxin.
inline std::string generate_case(const TempDir& dir, unsigned seed, const std::string& size, const std::string& omit) {
  const std::string base = dir.file("gen" + std::to_string(seed));
  std::vector<std::string> argv{QXGEN_PATH, "--out", base, "--seed", std::to_string(seed), "--size", size};
  if (*omit.c_str()) argv.insert(argv.end(), {"--omit", omit});
  const CommandResult r = run_program(argv);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return base + ".qxin";
}
// A line of a printed model: a word, then integers separated by blanks.
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
inline std::size_t positive(qx::int4 n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

// The model store, printed as the Fortran reference prints the model it
// reads; boundary entries that no list gave print as 0.
inline std::string dump_store(const qx::ComValTp18& v) {
  using V = qx::ComValTp18;
  std::string out;
  const bool titled = std::any_of(v.title.begin(), v.title.end(), [](char c) { return c != '\0'; });
  out += titled ? "TITLE " + std::string(v.title.begin(), v.title.end()) + "\n" : "NOTITLE\n";
  dump_line(out, "NODE", {v.ndpt});
  for (std::size_t k = 0; k < v.ndpts.size(); ++k)
    dump_line(out, "N", {v.ndpts[k], bits(v.xord.at(k)), bits(v.zord.at(k))});
  dump_line(out, "BOUND", {v.keyb[0], v.keyb[1], v.keyb[2], v.nbound[0], v.nbound[1], v.nbound[2]});
  const std::pair<const char*, const std::vector<qx::int4>*> lists[] = {{"BDFEML", &v.lcor[0]}, {"BDFFL", &v.lcor[1]},
      {"BDFEMR", &v.ncor[0]}, {"BDFFR", &v.ncor[1]}, {"BDBASE", &v.nbase}};
  for (std::size_t l = 0; l < 5; ++l) {
    std::vector<long long> values;
    for (std::size_t i = 0; i < positive(v.nbound[l / 2]); ++i) values.push_back(at(*lists[l].second, i));
    dump_line(out, std::string("LIST ") + lists[l].first, values);
  }
  dump_line(out, "MSOLID", {v.mso});
  for (std::size_t k = 0; k < v.msolids.size(); ++k) dump_line(out, "M", {v.msolids[k], bits(v.densm.at(k))});
  dump_line(out, "NELM", std::vector<long long>(v.nelm.begin(), v.nelm.end()));
  out += "NJA " + std::to_string(v.nja) + " NJB " + std::to_string(v.njb) + "\n";
  const struct {
    const char* name;
    qx::int4 count;
    std::vector<std::vector<qx::int4> V::*> fields;
  } sections[] = {
      {"SOLID", v.nelm[0], {&V::nsolels, &V::npi_so, &V::npj_so, &V::npk_so, &V::npl_so, &V::mat_so}},
      {"BEAM", v.nelm[1], {&V::nbeaels, &V::npi_bm, &V::npj_bm}},
      {"SPRING", v.nelm[2], {&V::nsprels, &V::npi_sp, &V::npj_sp}},
      {"WATER", v.nelm[4], {&V::nwatels, &V::npi_wt, &V::npj_wt, &V::npk_wt, &V::npl_wt}},
      {"WATERB", v.nelm[5], {&V::nwsiels, &V::npi_wb, &V::npj_wb, &V::npk_wb, &V::npl_wb}},
      {"SHELL", v.nelm[6], {&V::nstsels, &V::npi_sl, &V::npj_sl, &V::npk_sl, &V::npl_sl}},
      {"RIGID", v.nelm[7], {&V::nrigels, &V::npi_rb, &V::npj_rb}},
      {"JOINTA", v.nja, {&V::njonas, &V::npi_ja, &V::npj_ja, &V::npk_ja, &V::npl_ja}},
      {"JOINTB", v.njb, {&V::njonbs, &V::npi_jb, &V::npj_jb, &V::npk_jb, &V::npl_jb}},
      {"VOID", v.nelm[8], {&V::nvoids, &V::npi_vo, &V::npj_vo, &V::npk_vo, &V::npl_vo}},
  };
  for (const auto& s : sections) {
    dump_line(out, s.name, {s.count});
    for (std::size_t k = 0; k < (v.*s.fields[0]).size(); ++k) {
      std::vector<long long> row;
      for (const auto f : s.fields) row.push_back((v.*f).at(k));
      dump_line(out, "E", row);
    }
  }
  for (float d : v.den_so) dump_line(out, "DEN", {bits(d)});
  return out;
}

}  // namespace qxtest
