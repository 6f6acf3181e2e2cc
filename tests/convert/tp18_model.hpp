// A model of the TP18 conversion for the tests, sharing no code with the
// converter: it works on the input parsed into records, builds the expected
// records as typed fields and the text lines with printf, and stops at the
// first read failure with its report. It restates the rules of the formats
// (block kinds, drop rules, maxima codes) on purpose instead of taking them
// from src/format: a fault in those tables must make it disagree.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tp18model {

using i4 = std::int32_t;

inline std::uint32_t load32(const std::string& s, std::size_t pos, bool big) {
  std::uint32_t v = 0;
  for (std::size_t k = 0; k < 4; ++k)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[pos + k])) << 8 * (big ? 3 - k : k);
  return v;
}

// payloads, and whether bytes at the end are not a whole record
struct RecordFile { std::vector<std::string> records; bool cut = false; };

inline RecordFile parse_records(const std::string& bytes, bool big = false) {
  RecordFile f;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::uint32_t len = bytes.size() - pos < 8 ? 0 : load32(bytes, pos, big);
    if (bytes.size() - pos < 8 || len > bytes.size() - pos - 8 || load32(bytes, pos + 4 + len, big) != len)
      return f.cut = true, f;
    f.records.push_back(bytes.substr(pos + 4, len));
    pos += 8 + len;
  }
  return f;
}

// Fields of an expected output record: 't' four characters, 'i' int4, 'r' real4.
struct Field { char type; std::uint32_t bits = 0; std::string text; };
using Record = std::vector<Field>;

inline Field fi(i4 v) { return {'i', static_cast<std::uint32_t>(v), {}}; }
inline Field fr(float v) { return {'r', std::bit_cast<std::uint32_t>(v), {}}; }
inline Field ft(std::string_view t) { return {'t', 0, std::string(t.substr(0, 4))}; }

inline std::string serialize(const std::vector<Record>& records, bool big) {
  std::string out;
  auto put32 = [&](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>(v >> 8 * (big ? 3 - k : k));
  };
  for (const Record& r : records) {
    put32(static_cast<std::uint32_t>(4 * r.size()));  // every field is four bytes
    for (const Field& f : r) f.type == 't' ? void(out += f.text) : put32(f.bits);
    put32(static_cast<std::uint32_t>(4 * r.size()));
  }
  return out;
}

inline std::string right(std::string s, int w) {
  const auto n = static_cast<std::size_t>(w);
  return s.size() > n ? std::string(n, '*') : std::string(n - s.size(), ' ') + s;
}
inline std::string I(long long v, int w) { return right(std::to_string(v), w); }
// 1PEw.d: one digit before the point; an exponent of three digits loses its E.
inline std::string E(double v, int w, int d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*E", d, v);
  std::string s = buf;
  if (const std::size_t e = s.find('E'); e != std::string::npos && s.size() - e > 4) s.erase(e, 1);
  return right(s, w);
}
// Values run on through a layout of `per_line` fields; no values still give
// one (empty) line.
template <class T, class Edit>
std::string lines(const std::vector<T>& v, std::size_t per_line, Edit edit) {
  std::string s = v.empty() ? "\n" : "";
  for (std::size_t i = 0; i < v.size(); ++i) s += edit(v[i]) + ((i + 1) % per_line && i + 1 < v.size() ? "" : "\n");
  return s;
}

inline std::string report(int number, const std::string& extra) {
  return "  **** ERROR NO." + I(number, 5) +
         (number == 1007 ? " **** TP1819 FILE READ ERROR ****" : " **** _QX2D._QX2H.TP1819 FILE WRITE ERROR ****") +
         "\n" + std::string(20, ' ') + extra + "\n";
}
inline std::string read_report(bool header, int st) {
  return report(1007,
                std::string("*** FILE NAME = TP18") + (header ? " REC1,2:  " : "  ") + "IOSTAT = " + I(st, 5) + " ***");
}
inline std::string write_report(bool header, int unit, int st) {
  return report(1008, " *** FILENAME = TP18(SV or SH)" + I(unit, 2) + (header ? "REC1,2:  " : "  ") +
                          "*** IOSTAT = " + I(st, 5) + " ***");
}

struct Options {
  int four = 0, stru = 0, wave = 0, ampl = 0, spec = 0, maxr = 0;
  int sum() const { return four + stru + wave + ampl + spec + maxr; }
};

struct Expected { std::vector<Record> sv, sh; std::string svt, sht, dump, list; int ier = 0; };

// The converted records of a maxima code: the file ('v' SV, 'h' SH, 'x' the
// extra 108 header in SV), the identifiers ('i' ia1, 'p' ia1 and ia2 item by
// item, 'n' ia1 but none on the text lines, which then hold eight values),
// and the values of an item: "pN" both of component N, "N" its first, "0"
// a zero.
struct MaximaOut { char file, ids; std::string_view values; };
// nd: components per item; -1: as many as the record holds, up to 9
struct MaximaCode { i4 code; int nd; std::vector<MaximaOut> out; };
inline const std::vector<MaximaCode>& maxima_codes() {
  static const std::vector<MaximaCode> t = {
      {101, 6, {{'v', 'i', "p1p3"}, {'h', 'i', "p200"}}}, {102, 6, {{'v', 'i', "p1p3"}, {'h', 'i', "p200"}}},
      {103, 6, {{'v', 'p', "p1p3"}, {'h', 'p', "p200"}}}, {104, 3, {{'v', 'i', "p1p3"}, {'h', 'i', "p200"}}},
      {105, 9, {{'v', 'i', "136"}, {'h', 'i', "450"}}},   {106, 5, {{'v', 'i', "1234"}}},
      {107, 4, {{'v', 'i', "12"}, {'x', 0, ""}, {'v', 'i', "4"}, {'h', 'n', "03"}}},
      {108, -1, {}}, {109, 1, {{'v', 'i', "1"}}}, {110, 3, {{'v', 'i', "123"}}},
      {111, 4, {{'v', 'i', "013"}}}, {112, 4, {{'v', 'i', "013"}}},
  };
  return t;
}

class Model {
 public:
  Model(const RecordFile& in, const Options& o) : in_(in), o_(o) {}

  Expected run() {
    e_.list = "\n\n\nSTART (CONVERT TP18)\n\n";
    for (bool first = true;; first = false) {
      const int st = read(name_, nc_[0], nc_[1], lrec_);  // look-ahead
      if (st == -1) break;
      if (first && kind() != "INFO") {
        const i4 nc[6] = {6, 0, 3, 0, 0, 1};
        put_headers(e_.sv, e_.svt, o_.sum() > 0, "INFO", nc, 9.8f, 1, 0, 0.0f, {});
        put_headers(e_.sh, e_.sht, o_.sum() > 0, "INFO", nc, 9.8f, 1, 0, 0.0f, {});
      }
      if (!(kind() == "MAXR" ? maxima(st) : ordinary(st))) return e_;
    }
    e_.list += "\nEND (CONVERT TP18)\n";
    return e_;
  }

 private:
  // Fields read from a record in turn; a number the record ends inside is
  // not read at all, the kind word keeps what the record holds of it.
  struct Cursor {
    const std::string& rec;
    std::size_t pos = 0;
    bool cut = false;
    template <class T>
    void get(T& v) {
      if ((cut = cut || rec.size() - pos < sizeof v)) return;
      std::memcpy(&v, rec.data() + pos, sizeof v);
      pos += sizeof v;
    }
    template <class T, std::size_t N>
    void get(T (&a)[N]) { for (T& x : a) get(x); }
    void get(char (&t)[4]) {
      const std::size_t n = cut ? 0 : std::min<std::size_t>(4, rec.size() - pos);
      std::memcpy(t, rec.data() + pos, n);
      pos += n;
      cut = n < 4;
    }
  };
  // Status of the next read: 0 when a whole record is there.
  int status() const { return next_ < in_.records.size() ? 0 : in_.cut ? 39 : -1; }
  template <class... T>
  int read(T&... fields) {
    if (int st = status(); st != 0) return st;
    Cursor c{in_.records[next_++]};
    (c.get(fields), ...);
    return c.cut ? 67 : 0;
  }
  // Status of reading `count` values from the next record, without reading.
  int holds(std::size_t count) const {
    return status() != 0 ? status() : in_.records[next_].size() / 4 < count ? 67 : 0;
  }
  static void copy(void* to, const char* from, std::size_t n) { if (n) std::memcpy(to, from, n); }
  std::vector<float> values(std::size_t count) {
    std::vector<float> v(count);
    copy(v.data(), in_.records[next_++].data(), 4 * count);
    return v;
  }

  std::string kind() const { return std::string(name_, 4); }
  static float narrow(double d) {
    const float f = static_cast<float>(d);
    return std::abs(f) < 1.17549435e-38f ? std::copysign(0.0f, f) : f;
  }

  static std::string header_text(std::string_view nm, const i4 (&nc)[6], double real, i4 lrec) {
    std::string s(nm);
    for (i4 v : nc) s += I(v, 8);
    return s + E(real, 15, 5) + I(lrec, 8) + "\n";
  }
  static std::string size_text(i4 n, double step, const float (&yt)[4]) {
    std::string s = I(n, 8) + E(step, 15, 5);
    for (float v : yt) s += E(v, 15, 5);
    return s + "\n";
  }
  static void put_headers(std::vector<Record>& bin, std::string& txt, bool text, std::string_view nm, const i4 (&nc)[6],
                          float dap, i4 lrec, i4 n, float step, const float (&yt)[4]) {
    bin.push_back({ft(nm), fi(nc[0]), fi(nc[1]), fi(nc[2]), fi(nc[3]), fi(nc[4]), fi(nc[5]), fr(dap), fi(lrec)});
    bin.push_back({fi(n), fr(step), fr(yt[0]), fr(yt[1]), fr(yt[2]), fr(yt[3])});
    if (text) txt += header_text(nm, nc, dap, lrec) + size_text(n, step, yt);
  }
  static void put_values(std::vector<Record>& bin, std::string& txt, bool text, const std::vector<float>& v) {
    bin.emplace_back();
    for (float x : v) bin.back().push_back(fr(x));
    if (text) txt += lines(v, 6, [](float x) { return E(x, 15, 5); });
  }

  bool fail(bool header, int st) { return e_.list += read_report(header, st), e_.ier = st, false; }

  bool ordinary(int look) {
    int st1 = look, st2 = 0;
    if (look == 0 || look == 67) {
      --next_;  // back to the header
      st1 = read(name_, nc_, dmp_, lrec_);
      if (st1 == 0 || st1 == 67) st2 = read(nsize2_, dt_, yt_);
    }
    e_.list += header_text(kind(), nc_, dmp_, lrec_) + size_text(nsize2_, dt_, yt_);
    if (st1 != 0 || st2 != 0) return fail(true, st1 != 0 ? st1 : st2);

    const auto [nc1, nc2, nc3, nc4, nc5, nc6] = nc_;
    const std::string k = kind();
    const bool mixed = (nc2 == 2 && (nc3 == 1 || nc3 == 3)) || (nc2 != 2 && nc3 == 2 && (nc2 == 1 || nc2 == 3));
    const int passed_over = nc1 == 13 || nc1 > 33 ? 2 : nc2 == 5 ? (nc1 > 10 ? 2 : 1) : k == "AMPL" && mixed ? 2 : 0;
    for (int r = 0; r < passed_over; ++r, ++next_)
      if (status() != 0) return fail(false, status());
    if (passed_over > 0) return true;

    const bool sh = nc2 == 2;
    std::vector<Record>& bin = sh ? e_.sh : e_.sv;
    std::string& txt = sh ? e_.sht : e_.svt;
    const i4 from = sh ? 2 : 3, to = sh ? 1 : 2;
    const i4 out[6] = {nc1 == 9 ? 10 : nc1, nc2 == from ? to : nc2, nc3 == from ? to : nc3, nc4, nc5, nc6};
    const bool spectrum = k == "FOUR" || k == "AMPL";
    const i4 lrec = spectrum ? 4 : lrec_;
    const float dap = narrow(dmp_), dtt = k == "WAVE" ? narrow(dt_) : 0.0f;
    put_headers(bin, txt, o_.four + o_.wave + o_.spec + o_.ampl > 0, k, out, dap, lrec, nsize2_, dtt, yt_);

    const std::size_t n = nsize2_ > 0 ? static_cast<std::size_t>(nsize2_) : 0;
    auto pass_on = [&](std::size_t count, int records, bool text) {
      for (int r = 0; r < records; ++r) {
        if (holds(count) != 0) return fail(false, holds(count));
        put_values(bin, txt, text, values(count));
      }
      return true;
    };
    if (k == "WAVE") return pass_on(n, 1, o_.wave == 1);
    // The first converted block of FOUR and AMPL fixes their count and axis
    // (in single precision), the first of SPEC theirs.
    if (spectrum) {
      if (!n_fixed_ && holds(n) != 0) return fail(false, holds(n));
      for (std::size_t i = 0; !n_fixed_ && i < n; ++i) axis_.push_back(static_cast<float>(i) * narrow(dt_));
      n_fixed_ = true;
      const bool text = (k == "FOUR" ? o_.four : o_.ampl) == 1;
      put_values(bin, txt, text, axis_);
      return pass_on(axis_.size(), 2, text);
    }
    if (k == "SPEC") {
      if (!m_fixed_ && holds(n) != 0) return fail(false, holds(n));
      if (!m_fixed_) m_ = n, m_fixed_ = true;
      return pass_on(m_, 2, o_.spec == 1);
    }
    if (k == "INFO") {  // once more in both files
      put_headers(e_.sv, e_.svt, o_.sum() > 0, k, out, dap, lrec, nsize2_, dtt, yt_);
      put_headers(e_.sh, e_.sht, o_.sum() > 0, k, out, dap, lrec, nsize2_, dtt, yt_);
    }
    return true;
  }

  bool maxima(int look) {
    e_.list += "MAXR" + I(nc_[0], 8) + I(nc_[1], 8) + I(lrec_, 8) + "\n";
    if (look != 0) return fail(true, look);
    const i4 code = nc_[0], nc2 = nc_[1];
    if (code > 112) return status() != 0 ? fail(false, status()) : (++next_, true);
    const i4 written = code == 111 ? 112 : code == 112 ? 111 : code == 9 ? 10 : code;
    const bool both = written < 106 || written == 107;
    const bool text = o_.maxr == 1;
    auto header = [&](char file, i4 c, i4 last) {
      const i4 nc[6] = {c, nc2, 0, 0, 0, 0};
      (file == 'v' ? e_.sv : e_.sh)
          .push_back({ft("MAXR"), fi(c), fi(nc2), fi(0), fi(0), fi(0), fi(0), fr(0), fi(last)});
      if (text) (file == 'v' ? e_.svt : e_.sht) += header_text("MAXR", nc, 0.0, last);
    };
    header('v', written, 1);
    if (both) header('h', written, 1);

    // the data record
    if (status() != 0) return fail(false, status());
    const std::string& rec = in_.records[next_];
    if (rec.size() < 4) return fail(false, 67);
    i4 na;
    std::memcpy(&na, rec.data(), 4);
    const std::uint64_t items = na > 0 ? static_cast<std::uint64_t>(na) : 0;
    static const MaximaCode header_only{0, 6, {}};
    const MaximaCode* rule = &header_only;
    for (const MaximaCode& c : maxima_codes())
      if (c.code == code) rule = &c;
    std::uint64_t nd = static_cast<std::uint64_t>(rule->nd);
    if (rule->nd < 0)
      nd = items && rec.size() >= 4 + 8 * items ? std::min<std::uint64_t>(9, (rec.size() - 4 - 8 * items) / (8 * items))
                                                : 0;
    if (4 + 8 * items + 8 * nd * items > rec.size()) return fail(false, 67);
    ++next_;
    std::vector<i4> ia1(items), ia2(items);
    std::vector<float> acl(2 * nd * items);
    copy(ia1.data(), rec.data() + 4, 4 * items);
    copy(ia2.data(), rec.data() + 4 + 4 * items, 4 * items);
    copy(acl.data(), rec.data() + 4 + 8 * items, 4 * acl.size());

    if (text) {
      e_.dump += "na=" + I(na, 7) + ", ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)\n";
      for (const auto* ids : {&ia1, &ia2}) e_.dump += lines(*ids, 15, [](i4 x) { return I(x, 7); });
      for (std::uint64_t a = 0; a < items; ++a)
        e_.dump += lines(std::vector<float>(acl.begin() + static_cast<long>(2 * nd * a),
                                            acl.begin() + static_cast<long>(2 * nd * (a + 1))),
                         18, [](float x) { return E(x, 12, 4); });
    }

    for (const MaximaOut& o : rule->out) {
      if (o.file == 'x') { header('v', 108, lrec_); continue; }
      Record r{fi(na)};
      std::string lines_text;
      std::vector<float> all;
      for (std::uint64_t a = 0; a < items; ++a) {
        r.push_back(fi(ia1[a]));
        if (o.ids == 'p') r.push_back(fi(ia2[a]));
      }
      for (std::uint64_t a = 0; a < items; ++a) {
        std::string line = I(ia1[a], 8) + (o.ids == 'p' ? I(ia2[a], 8) : "");
        const float* item = acl.data() + 2 * nd * a;
        for (std::size_t k = 0; k < o.values.size(); ++k) {
          const bool pair = o.values[k] == 'p', zero = o.values[k] == '0';
          const float* d = item + 2 * (zero ? 0 : o.values[pair ? ++k : k] - '1');
          for (float x : pair ? std::vector{d[0], d[1]} : std::vector{zero ? 0.0f : d[0]})
            r.push_back(fr(x)), all.push_back(x), line += E(x, 15, 5);
        }
        lines_text += line + "\n";
      }
      (o.file == 'v' ? e_.sv : e_.sh).push_back(r);
      if (o.ids == 'n' || items == 0) lines_text = lines(all, 8, [](float x) { return E(x, 12, 4); });
      if (text) (o.file == 'v' ? e_.svt : e_.sht) += I(na, 8) + "\n" + lines_text;
    }
    return true;
  }

  const RecordFile& in_;
  Options o_;
  Expected e_;
  std::size_t next_ = 0;
  // header fields as last read (a failed read leaves what it did not reach)
  char name_[4] = {' ', ' ', ' ', ' '};
  i4 nc_[6] = {};
  double dmp_ = 0, dt_ = 0;
  i4 lrec_ = 0, nsize2_ = 0;
  float yt_[4] = {};
  bool n_fixed_ = false, m_fixed_ = false;
  std::size_t m_ = 0;
  std::vector<float> axis_;
};

inline Expected convert(const RecordFile& in, const Options& o) { return Model(in, o).run(); }

}  // namespace tp18model
