// Shared pieces of the TP19 conversion tests: TP19 files and expected
// converted records encoded here byte by byte (not by the converter's record
// writer), and a harness that opens the channels of a conversion directly,
// runs it and collects what it wrote.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/channel_numbers.hpp"
#include "control/run.hpp"
#include "convert/cnvt_tp19.hpp"
#include "convert/w_qxin.hpp"
#include "support/test_support.hpp"

namespace tp19test {

enum class Order { little, big };

inline const char* order_name(Order o) { return o == Order::big ? "big" : "little"; }

// Numbers and texts as the bytes of a record payload.
class Bytes {
 public:
  explicit Bytes(Order order = Order::little) : order_(order) {}
  Bytes& i32(std::int32_t v) { return put(&v, 4); }
  Bytes& f32(float v) { return put(&v, 4); }
  Bytes& f64(double v) { return put(&v, 8); }
  Bytes& f32s(const std::vector<float>& v) {
    for (float x : v) f32(x);
    return *this;
  }
  Bytes& text(std::string_view s) {
    bytes_ += s;
    return *this;
  }
  const std::string& str() const { return bytes_; }
  Order order() const { return order_; }

 private:
  Bytes& put(const void* p, std::size_t n) {
    char b[8];
    std::memcpy(b, p, n);  // the host is little-endian
    if (order_ == Order::big) std::reverse(b, b + n);
    bytes_.append(b, n);
    return *this;
  }
  Order order_;
  std::string bytes_;
};

// A whole record: length marker, payload, length marker.
inline std::string record(const Bytes& payload) {
  Bytes marker(payload.order());
  marker.i32(static_cast<std::int32_t>(payload.str().size()));
  return marker.str() + payload.str() + marker.str();
}

// One block of a TP19 file as the test writes it (always little-endian).
struct InBlock {
  std::string name = "WAVE";
  std::array<std::int32_t, 6> nc{};
  double dmp = 0.05;
  std::int32_t lrec = 2;
  std::int32_t nsize2 = 0;
  double dt = 0.01;
  std::array<float, 4> yt{};
  std::vector<std::vector<float>> data;  // the records after REC2

  std::string rec1() const {
    Bytes b;
    b.text(name);
    for (auto c : nc) b.i32(c);
    return record(b.f64(dmp).i32(lrec));
  }
  std::string rec2() const {
    Bytes b;
    b.i32(nsize2).f64(dt);
    for (float y : yt) b.f32(y);
    return record(b);
  }
  std::string data_record(std::size_t i) const { return record(Bytes().f32s(data[i])); }
  std::string bytes() const {
    std::string s = rec1() + rec2();
    for (std::size_t i = 0; i < data.size(); ++i) s += data_record(i);
    return s;
  }
};

inline std::string tp19_file(const std::vector<InBlock>& blocks) {
  std::string s;
  for (const auto& b : blocks) s += b.bytes();
  return s;
}

// A block with codes (nc1, nc2, 1, 2, 3, 4) and the given data records, its
// size that of the first record.
inline InBlock records_block(const std::string& name, int nc1, int nc2, std::vector<std::vector<float>> records) {
  InBlock b;
  b.name = name;
  b.nc = {nc1, nc2, 1, 2, 3, 4};
  b.nsize2 = records.empty() ? 0 : static_cast<int>(records[0].size());
  b.lrec = 1 + static_cast<int>(records.size());
  b.data = std::move(records);
  return b;
}

// A block of a converted file: its two header records in output form and,
// when present, its data record.
struct OutBlock {
  std::string name;
  std::array<std::int32_t, 6> nc{};
  float dap = 0;
  std::int32_t lrec = 0;
  std::int32_t nsize2 = 0;
  float dtt = 0;
  std::array<float, 4> yt{};
  std::optional<std::vector<float>> data;

  std::string headers(Order o) const {
    Bytes r1(o);
    r1.text(name);
    for (auto c : nc) r1.i32(c);
    r1.f32(dap).i32(lrec);
    Bytes r2(o);
    r2.i32(nsize2).f32(dtt);
    for (float y : yt) r2.f32(y);
    return record(r1) + record(r2);
  }
  std::string bytes(Order o) const { return headers(o) + (data ? record(Bytes(o).f32s(*data)) : std::string()); }
};

inline std::string out_blocks(const std::vector<OutBlock>& blocks, Order o) {
  std::string s;
  for (const auto& b : blocks) s += b.bytes(o);
  return s;
}

// The information block written when the file does not begin with one.
inline OutBlock default_info() {
  OutBlock b;
  b.name = "INFO";
  b.nc = {6, 0, 3, 0, 0, 1};
  b.dap = 9.8f;
  b.lrec = 1;
  return b;
}

// The converted form of a block: codes 41, 0, 0, nc4, nc5 and the table
// code; only a time history keeps its step.
inline OutBlock converted(const InBlock& b, int code, std::optional<std::vector<float>> data) {
  OutBlock o;
  o.name = b.name;
  o.nc = {41, 0, 0, b.nc[3], b.nc[4], code};
  o.dap = static_cast<float>(b.dmp);
  o.lrec = b.lrec;
  o.nsize2 = b.nsize2;
  o.dtt = b.name == "WAVE" ? static_cast<float>(b.dt) : 0.0f;
  o.yt = b.yt;
  o.data = std::move(data);
  return o;
}

// Run settings of a conversion and the files that replace the usual ones
// (for example /dev/full as an output).
struct Settings {
  Order order = Order::little;
  int four = 0, stru = 0, wave = 0, ampl = 0, spec = 0, maxr = 0;
  std::map<int, std::string> file_of;  // channel -> path

  int option_sum() const { return four + stru + wave + ampl + spec + maxr; }
};

inline Settings in_order(Order o) {
  Settings s;
  s.order = o;
  return s;
}

inline Settings with_wave(Order o = Order::little) {
  Settings s;
  s.order = o;
  s.wave = 1;
  return s;
}

// One TP19 conversion on channels opened by the test, with the model section
// that the model writer puts before it taken from a separate call on an
// identical store.
class Harness {
 public:
  Harness(const std::string& tp19, const Settings& s) : settings_(s) {
    qxtest::write_file(path(qx::unit::tp19), tp19);
    configure(run);
  }

  std::string path(int unit) const {
    auto it = settings_.file_of.find(unit);
    if (it != settings_.file_of.end()) return it->second;
    return dir.file("unit" + std::to_string(unit));
  }

  // Opens the channels, runs the conversion and closes whatever it left
  // open; returns its status.
  int convert(int ier = 0) {
    open();
    qx::cnvt_tp19(run, ier);
    run.ch.close_all();
    return ier;
  }

  // The steps of convert() for tests that look at the channels in between.
  void open() {
    model_section();
    open_all(run, [&](int unit) { return path(unit); });
  }

  std::string file(int unit) const { return qxtest::read_file(path(unit)); }
  std::string sv() const { return file(qx::unit::sv19); }
  std::string sh() const { return file(qx::unit::sh19); }
  std::string svt() const { return file(qx::unit::svt19); }
  std::string sht() const { return file(qx::unit::sht19); }
  std::string lst() const { return file(qx::unit::lst); }

  // What the model writer puts at the start of each output.
  std::map<int, std::string> model;

  qxtest::TempDir dir;
  qx::Run run;

 private:
  void configure(qx::Run& r) const {
    r.val.ltp19 = true;
    r.val.conv = settings_.order == Order::big ? "BIG_ENDIAN   " : "LITTLE_ENDIAN";
    r.val.four = settings_.four;
    r.val.stru = settings_.stru;
    r.val.wave = settings_.wave;
    r.val.ampl = settings_.ampl;
    r.val.spec = settings_.spec;
    r.val.maxr = settings_.maxr;
  }

  template <class PathOf>
  void open_all(qx::Run& r, PathOf path_of) const {
    const auto out_order = settings_.order == Order::big ? qx::ByteOrder::big : qx::ByteOrder::little;
    ASSERT_EQ(r.ch.open_text_write(qx::unit::lst, path_of(qx::unit::lst)), 0);
    ASSERT_EQ(r.ch.open_binary_read(qx::unit::tp19, path_of(qx::unit::tp19), qx::ByteOrder::little), 0);
    for (int u : {qx::unit::sv19, qx::unit::sh19}) ASSERT_EQ(r.ch.open_binary_write(u, path_of(u), out_order), 0);
    if (settings_.option_sum() > 0) {
      for (int u : {qx::unit::txt19, qx::unit::svt19, qx::unit::sht19})
        ASSERT_EQ(r.ch.open_text_write(u, path_of(u)), 0);
    }
  }

  // The model writer on a copy of the store, into scratch files.
  void model_section() {
    qx::Run scratch;
    scratch.val = run.val;
    const std::string scratch_dir = dir.file("model");
    std::filesystem::create_directory(scratch_dir);
    auto scratch_path = [&](int unit) { return scratch_dir + "/unit" + std::to_string(unit); };
    const auto out_order = settings_.order == Order::big ? qx::ByteOrder::big : qx::ByteOrder::little;
    for (int u : {qx::unit::sv19, qx::unit::sh19})
      ASSERT_EQ(scratch.ch.open_binary_write(u, scratch_path(u), out_order), 0);
    for (int u : {qx::unit::svt19, qx::unit::sht19}) ASSERT_EQ(scratch.ch.open_text_write(u, scratch_path(u)), 0);
    int ier = 0;
    qx::w_qxin(scratch, "TP19", ier);
    ASSERT_EQ(ier, 0);
    scratch.ch.close_all();
    for (int u : {qx::unit::sv19, qx::unit::sh19, qx::unit::svt19, qx::unit::sht19})
      model[u] = qxtest::read_file(scratch_path(u));
    if (settings_.stru == 0) {
      // Text twins carry the model only under -stru.
      EXPECT_EQ(model[qx::unit::svt19], "");
      EXPECT_EQ(model[qx::unit::sht19], "");
    }
  }

  Settings settings_;
};

// The list file of a conversion: the start line, the lines of the blocks,
// and the end line.
inline std::string start_lines() { return "\n\n\nSTART (CONVERT TP19)\n\n"; }
inline std::string end_lines() { return "\nEND (CONVERT TP19)\n"; }

// The two report lines of an error, as the list file shows them.
inline std::string report(int number, const std::string& extra) {
  static const std::map<int, std::string> messages = {
      {1007, " **** TP1819 FILE READ ERROR ****"},
      {1008, " **** _QX2D._QX2H.TP1819 FILE WRITE ERROR ****"},
      {1015, " **** _QX2D._QX2H.TP19 FILE WRITE ERROR ****"},
  };
  char head[32];
  std::snprintf(head, sizeof head, "  **** ERROR NO.%5d", number);
  return head + messages.at(number) + "\n" + extra + "\n";
}

inline std::string blanks20() { return std::string(20, ' '); }
inline std::string i5(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%5d", v);
  return b;
}
inline std::string header_read_report(int status) {
  return report(1007, blanks20() + "*** FILE NAME = TP19 REC1,2:  IOSTAT = " + i5(status) + " ***");
}
inline std::string data_read_report(int status) {
  return report(1007, blanks20() + "*** FILE NAME = TP19  IOSTAT = " + i5(status) + " ***");
}
inline std::string header_write_report(int channel, int status) {
  char ch[8];
  std::snprintf(ch, sizeof ch, "%2d", channel);
  return report(1015, blanks20() + " *** FILENAME = TP19(SV or SH)" + ch + "REC1,2:  *** IOSTAT = " + i5(status) +
                          " ***");
}
inline std::string data_write_report(int channel, int status) {
  char ch[8];
  std::snprintf(ch, sizeof ch, "%2d", channel);
  return report(1008, blanks20() + " *** FILENAME = TP19(SV or SH)" + ch + "  *** IOSTAT = " + i5(status) + " ***");
}

// Text fields as C's printf edits them: the same as the converter's layouts
// for integers and for exponents of two digits.
inline std::string i8(int v) {
  char b[32];
  std::snprintf(b, sizeof b, "%8d", v);
  return std::strlen(b) > 8 ? std::string(8, '*') : b;  // a value too wide fills the field with asterisks
}
inline std::string e15(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%15.5E", v);
  return b;
}
// Values six to a line through (1P,6E15.5); no values give one empty line.
inline std::string value_lines(const std::vector<float>& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) {
    s += e15(v[i]);
    if (i % 6 == 5 || i + 1 == v.size()) s += '\n';
  }
  return v.empty() ? "\n" : s;
}

// The two header lines of a block in a text twin, or in the list file.
inline std::string header_lines(const std::string& name, const std::array<std::int32_t, 6>& nc, double real,
                                std::int32_t lrec, std::int32_t nsize2, double step, const std::array<float, 4>& yt) {
  std::string s = name;
  for (auto c : nc) s += i8(c);
  s += e15(real) + i8(lrec) + "\n" + i8(nsize2) + e15(step);
  for (float y : yt) s += e15(y);
  return s + "\n";
}
inline std::string list_lines(const InBlock& b) {
  return header_lines(b.name, b.nc, b.dmp, b.lrec, b.nsize2, b.dt, b.yt);
}

inline bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace tp19test
