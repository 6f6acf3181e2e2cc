// TP19 files and converted records encoded byte by byte, text lines through
// C's printf, and a harness that runs one TP19 conversion on its own channels.
// The expected records are built from the file descriptions, not from
// src/format, so that a fault in the format's tables shows as a difference.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "convert/cnvt_tp19.hpp"
#include "convert/w_qxin.hpp"
#include "run/channel_numbers.hpp"
#include "run/run.hpp"
#include "support/test_support.hpp"

namespace tp19test {

namespace unit = qx::unit;
using Order = qx::ByteOrder;
inline const char* order_name(Order o) { return o == Order::big ? "big" : "little"; }

// Numbers and texts as the bytes of a record payload.
class Bytes {
 public:
  explicit Bytes(Order order = Order::little) : order_(order) {}
  Bytes& i32(std::int32_t v) { return put(&v, 4); }
  Bytes& f32(float v) { return put(&v, 4); }
  Bytes& f64(double v) { return put(&v, 8); }
  template <class V>
  Bytes& i32s(const V& v) { for (std::int32_t x : v) i32(x); return *this; }
  template <class V = std::vector<float>>
  Bytes& f32s(const V& v) { for (float x : v) f32(x); return *this; }
  Bytes& text(const std::string& s) { return bytes_ += s, *this; }
  const std::string& str() const { return bytes_; }
  Order order() const { return order_; }

 private:
  Bytes& put(const void* p, std::size_t n) {
    char b[8];
    std::memcpy(b, p, n);  // the host is little-endian
    if (order_ == Order::big) std::reverse(b, b + n);
    return bytes_.append(b, n), *this;
  }
  Order order_;
  std::string bytes_;
};

// A whole record: length marker, payload, length marker.
inline std::string record(const Bytes& payload) {
  const std::string marker = Bytes(payload.order()).i32(static_cast<std::int32_t>(payload.str().size())).str();
  return marker + payload.str() + marker;
}

// One block of a TP19 file as the test writes it (always little-endian).
struct InBlock {
  std::string name = "WAVE";
  std::array<std::int32_t, 6> nc{};
  double dmp = 0.05;
  std::int32_t lrec = 2, nsize2 = 0;
  double dt = 0.01;
  std::array<float, 4> yt{};
  std::vector<std::vector<float>> data;  // the records after REC2
  std::string rec1() const { return record(Bytes().text(name).i32s(nc).f64(dmp).i32(lrec)); }
  std::string rec2() const { return record(Bytes().i32(nsize2).f64(dt).f32s(yt)); }
  std::string data_record(std::size_t i) const { return record(Bytes().f32s(data[i])); }
  std::string bytes() const {
    std::string s = rec1() + rec2();
    for (std::size_t i = 0; i < data.size(); ++i) s += data_record(i);
    return s;
  }
};

// A block with codes (nc1, nc2, 1, 2, 3, 4), its size that of the first record.
inline InBlock block(const std::string& name, int nc1, int nc2, std::vector<std::vector<float>> records) {
  const int nsize2 = records.empty() ? 0 : static_cast<int>(records[0].size());
  return {name, {nc1, nc2, 1, 2, 3, 4}, 0.05, 1 + static_cast<int>(records.size()), nsize2, 0.01, {}, records};
}
// The information block that a file written by the analysis begins with.
inline InBlock info_block() { return {"INFO", {6, 0, 3, 0, 0, 1}, 9.8, 1, 0, 0.5, {}, {}}; }

// A block of a converted file.
struct OutBlock {
  std::string name;
  std::array<std::int32_t, 6> nc{};
  float dap = 0;
  std::int32_t lrec = 0, nsize2 = 0;
  float dtt = 0;
  std::array<float, 4> yt{};
  std::optional<std::vector<float>> data;
  std::string headers(Order o) const {
    return record(Bytes(o).text(name).i32s(nc).f32(dap).i32(lrec)) + record(Bytes(o).i32(nsize2).f32(dtt).f32s(yt));
  }
  std::string bytes(Order o) const { return headers(o) + (data ? record(Bytes(o).f32s(*data)) : std::string()); }
};

inline std::string tp19_file(const std::vector<InBlock>& blocks) {
  std::string s;
  for (const auto& b : blocks) s += b.bytes();
  return s;
}
// The information block written when the file does not begin with one.
inline OutBlock default_info() { return {"INFO", {6, 0, 3, 0, 0, 1}, 9.8f, 1, 0, 0, {}, std::nullopt}; }
// A real of the file in single precision; below the normal range, a zero of its sign.
inline float narrow(double x) { return std::fabs(float(x)) < FLT_MIN ? std::copysign(0.0f, float(x)) : float(x); }

// The converted form of a block: codes 41, 0, 0, nc4, nc5 and the table
// code; only a time history keeps its step.
inline OutBlock converted(const InBlock& b, int code, std::optional<std::vector<float>> data) {
  const float dtt = b.name == "WAVE" ? narrow(b.dt) : 0.0f;
  return {b.name, {41, 0, 0, b.nc[3], b.nc[4], code}, narrow(b.dmp), b.lrec, b.nsize2, dtt, b.yt, data};
}
struct Settings {
  Order order = Order::little;
  int wave = 0, stru = 0, spec = 0, maxr = 0;
  int dev_full = 0;  // a channel written to /dev/full
  int option_sum() const { return wave + stru + spec + maxr; }
};
inline Settings with_wave(Order o = Order::little) { return {o, 1, 0, 0, 0, {}}; }

// The Fortran reference (gfortran's records and edit descriptors), compiled once.
inline std::string reference_exe() {
  static qxtest::TempDir dir;
  static const std::string exe = [] {
    std::string log;
    EXPECT_TRUE(qxtest::compile_fortran(
        qxtest::read_file(std::string(QX_SOURCE_DIR) + "/tests/convert/cnvt_tp19_reference.f90"), dir.file("ref"), log))
        << log;
    return dir.file("ref");
  }();
  return exe;
}

// One TP19 conversion on channels opened by the test; the model section put
// before it comes from a separate call of the model writer on the same store.
class Harness {
 public:
  Harness(const std::string& tp19, const Settings& s) : settings_(s) {
    qxtest::write_file(path(unit::tp19), tp19);
    run.val.ltp19 = true;
    run.val.conv = s.order == Order::big ? "BIG_ENDIAN   " : "LITTLE_ENDIAN";
    std::tie(run.val.wave, run.val.stru, run.val.spec, run.val.maxr) = std::tie(s.wave, s.stru, s.spec, s.maxr);
  }

  std::string path(int u) const { return u == settings_.dev_full ? "/dev/full" : dir.file("unit" + std::to_string(u)); }

  // open(), cnvt() and closing whatever the conversion left open.
  int convert(int ier = 0) { return open(), ier = cnvt(ier), run.ch.close_all(), ier; }
  void open() {
    model_section();
    ASSERT_EQ(run.ch.open_text_write(unit::lst, path(unit::lst)), 0);
    ASSERT_EQ(run.ch.open_binary_read(unit::tp19, path(unit::tp19), Order::little), 0);
    for (int u : {unit::sv19, unit::sh19}) ASSERT_EQ(run.ch.open_binary_write(u, path(u), settings_.order), 0);
    if (settings_.option_sum() == 0) return;
    for (int u : {unit::txt19, unit::svt19, unit::sht19}) ASSERT_EQ(run.ch.open_text_write(u, path(u)), 0);
  }
  int cnvt(int ier = 0) { return qx::cnvt_tp19(run, ier), ier; }

  // Compares every output behind the model section with that of the Fortran reference on the same file.
  void expect_reference() const {
    const std::string ref = dir.file("ref");
    const qxtest::CommandResult r = qxtest::run_program(
        {reference_exe(), path(unit::tp19), ref, settings_.order == Order::big ? "BIG_ENDIAN" : "LITTLE_ENDIAN",
         std::to_string(settings_.wave), std::to_string(settings_.option_sum())});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    for (const auto& [u, suffix] : {std::pair{unit::sv19, ".sv"}, {unit::sh19, ".sh"}, {unit::svt19, ".svt"},
                                    {unit::sht19, ".sht"}, {unit::lst, ".lst"}})  // without options no side has text
      EXPECT_TRUE((u == unit::lst ? lst() : blocks(u)) == qxtest::read_file(ref + suffix)) << suffix << " differs";
  }

  std::string file(int u) const { return qxtest::read_file(path(u)); }
  // What the conversion wrote behind the model section.
  std::string blocks(int u) const {
    const std::string f = file(u), m = model.at(u);
    return f.starts_with(m) ? f.substr(m.size()) : "(no model section) " + f;
  }
  std::string lst() const { return file(unit::lst); }
  std::map<int, std::string> model;  // what the model writer puts at the start of each output
  qxtest::TempDir dir;
  qx::Run run;

 private:
  void model_section() {
    qx::Run scratch;
    scratch.val = run.val;
    auto scratch_path = [&](int u) { return dir.file("model" + std::to_string(u)); };
    for (int u : {unit::sv19, unit::sh19})
      ASSERT_EQ(scratch.ch.open_binary_write(u, scratch_path(u), settings_.order), 0);
    for (int u : {unit::svt19, unit::sht19}) ASSERT_EQ(scratch.ch.open_text_write(u, scratch_path(u)), 0);
    int ier = 0;
    qx::w_qxin(scratch, "TP19", ier);
    ASSERT_EQ(ier, 0);
    scratch.ch.close_all();
    for (int u : {unit::sv19, unit::sh19, unit::svt19, unit::sht19}) model[u] = qxtest::read_file(scratch_path(u));
  }

  Settings settings_;
};

const std::string start_lines = "\n\n\nSTART (CONVERT TP19)\n\n", end_lines = "\nEND (CONVERT TP19)\n";

// C's printf edits numbers as (I8) and (1P,E15.5) for exponents of two digits.
template <class... Args>
std::string printed(const char* format, Args... args) {
  char b[256];
  std::snprintf(b, sizeof b, format, args...);
  return b;
}

// The two header lines of a block in the list file or, converted, in a text twin (the reals as read).
inline std::string list_lines(const InBlock& b) {
  // An integer too wide for (I8) fills the field with asterisks.
  auto i8 = [](int v) { return v > 99999999 || v < -9999999 ? std::string(8, '*') : printed("%8d", v); };
  std::string s = b.name;
  for (auto c : b.nc) s += i8(c);
  s += printed("%15.5E", b.dmp) + i8(b.lrec) + "\n" + i8(b.nsize2) + printed("%15.5E", b.dt);
  for (float y : b.yt) s += printed("%15.5E", y);
  return s + "\n";
}
inline std::string converted_lines(InBlock b, int code) {
  b.nc = {41, 0, 0, b.nc[3], b.nc[4], code};
  return list_lines(b);
}

}  // namespace tp19test
