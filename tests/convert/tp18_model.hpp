// A small model of the TP18 conversion for the tests: it works on the whole
// input parsed into records (not on a stream), builds the expected records as
// typed fields and the expected text lines with printf, and stops at the
// first read failure with the expected report. It shares no code with the
// converter, so that the converted files are checked against an independent
// reading of the rules.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tp18model {

using i4 = std::int32_t;

// ---- records of a file ----

inline std::uint32_t load32(const std::string& s, std::size_t pos, bool big) {
  std::uint32_t v = 0;
  for (int k = 0; k < 4; ++k) {
    const auto byte = static_cast<std::uint32_t>(static_cast<unsigned char>(s[pos + static_cast<std::size_t>(k)]));
    v |= big ? byte << (8 * (3 - k)) : byte << (8 * k);
  }
  return v;
}

struct RecordFile {
  std::vector<std::string> records;  // payloads
  bool cut = false;                  // bytes at the end that are not a whole record
};

inline RecordFile parse_records(const std::string& bytes, bool big = false) {
  RecordFile f;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (bytes.size() - pos < 8) {
      f.cut = true;
      break;
    }
    const std::uint32_t len = load32(bytes, pos, big);
    if (len > bytes.size() - pos - 8 || load32(bytes, pos + 4 + len, big) != len) {
      f.cut = true;
      break;
    }
    f.records.push_back(bytes.substr(pos + 4, len));
    pos += 8 + len;
  }
  return f;
}

// Fields of an expected output record.
struct Field {
  char type;  // 't' four characters, 'i' int4, 'r' real4
  std::uint32_t bits = 0;
  std::string text;
};
using Record = std::vector<Field>;

inline Field fi(i4 v) { return {'i', static_cast<std::uint32_t>(v), {}}; }
inline Field fr(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, 4);
  return {'r', b, {}};
}
inline Field ft(std::string_view t) { return {'t', 0, std::string(t.substr(0, 4))}; }

inline std::string serialize(const std::vector<Record>& records, bool big) {
  std::string out;
  auto put32 = [&](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>(big ? v >> (8 * (3 - k)) : v >> (8 * k));
  };
  for (const Record& r : records) {
    const auto len = static_cast<std::uint32_t>(4 * r.size());  // every field is four bytes
    put32(len);
    for (const Field& f : r) {
      if (f.type == 't')
        out += f.text;
      else
        put32(f.bits);
    }
    put32(len);
  }
  return out;
}

// ---- text editing, by printf ----

inline std::string right(std::string s, int w) {
  if (static_cast<int>(s.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}
inline std::string I(long long v, int w) { return right(std::to_string(v), w); }
// 1PEw.d: one digit before the point; an exponent of three digits loses its E.
inline std::string E(double v, int w, int d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*E", d, v);
  std::string s = buf;
  const std::size_t e = s.find('E');
  if (e != std::string::npos && s.size() - e > 4) s.erase(e, 1);
  return right(s, w);
}
// Values run on through a layout of `per_line` E fields; no values still
// give one (empty) line.
inline std::string E_lines(const std::vector<float>& v, std::size_t per_line, int w, int d) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) {
    s += E(v[i], w, d);
    if ((i + 1) % per_line == 0 || i + 1 == v.size()) s += '\n';
  }
  return v.empty() ? "\n" : s;
}
inline std::string I_lines(const std::vector<i4>& v, std::size_t per_line, int w) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) {
    s += I(v[i], w);
    if ((i + 1) % per_line == 0 || i + 1 == v.size()) s += '\n';
  }
  return v.empty() ? "\n" : s;
}

// ---- reports ----

inline std::string report(int number, const std::string& extra) {
  const char* msg =
      number == 1007 ? " **** TP1819 FILE READ ERROR ****" : " **** _QX2D._QX2H.TP1819 FILE WRITE ERROR ****";
  return "  **** ERROR NO." + I(number, 5) + msg + "\n" + std::string(20, ' ') + extra + "\n";
}
inline std::string header_read_report(int st) {
  return report(1007, "*** FILE NAME = TP18 REC1,2:  IOSTAT = " + I(st, 5) + " ***");
}
inline std::string data_read_report(int st) {
  return report(1007, "*** FILE NAME = TP18  IOSTAT = " + I(st, 5) + " ***");
}
inline std::string header_write_report(int unit, int st) {
  return report(1008, " *** FILENAME = TP18(SV or SH)" + I(unit, 2) + "REC1,2:  *** IOSTAT = " + I(st, 5) + " ***");
}
inline std::string data_write_report(int unit, int st) {
  return report(1008, " *** FILENAME = TP18(SV or SH)" + I(unit, 2) + "  *** IOSTAT = " + I(st, 5) + " ***");
}

// ---- the conversion ----

struct Options {
  int four = 0, stru = 0, wave = 0, ampl = 0, spec = 0, maxr = 0;
  int sum() const { return four + stru + wave + ampl + spec + maxr; }
  int data_sum() const { return four + wave + spec + ampl; }
};

struct Expected {
  std::vector<Record> sv, sh;
  std::string svt, sht, dump;
  std::string list;  // from START on
  int ier = 0;
  std::string report;  // the error report at the end of the list, if any
};

class Model {
 public:
  Model(const RecordFile& in, const Options& o) : in_(in), o_(o) {}

  Expected run() {
    e_.list = "\n\n\nSTART (CONVERT TP18)\n\n";
    for (bool first = true;; first = false) {
      // look-ahead
      int st = read([&](Filler& f) { f.text(name_), f.num(nc_[0]), f.num(nc_[1]), f.num(lrec_); });
      if (st == -1) break;
      if (first && kind() != "INFO") {
        for (auto* bin : {&e_.sv, &e_.sh}) {
          bin->push_back({ft("INFO"), fi(6), fi(0), fi(3), fi(0), fi(0), fi(1), fr(9.8f), fi(1)});
          bin->push_back({fi(0), fr(0), fr(0), fr(0), fr(0), fr(0)});
        }
        if (o_.sum() > 0)
          for (auto* t : {&e_.svt, &e_.sht})
            *t += "INFO" + I(6, 8) + I(0, 8) + I(3, 8) + I(0, 8) + I(0, 8) + I(1, 8) + E(9.8f, 15, 5) + I(1, 8) + "\n" +
                  I(0, 8) + E(0, 15, 5) + E(0, 15, 5) + E(0, 15, 5) + E(0, 15, 5) + E(0, 15, 5) + "\n";
      }
      bool ok = kind() == "MAXR" ? maxima(st) : ordinary(st);
      if (!ok) return e_;
    }
    e_.list += "\nEND (CONVERT TP18)\n";
    return e_;
  }

 private:
  struct Filler {
    const std::string& rec;
    std::size_t pos = 0;
    bool short_ = false;
    template <class T>
    void num(T& v) {
      if (short_) return;
      if (rec.size() - pos < sizeof(T)) {
        short_ = true;
        return;
      }
      std::memcpy(&v, rec.data() + pos, sizeof(T));
      pos += sizeof(T);
    }
    void text(char (&t)[4]) {
      if (short_) return;
      const std::size_t n = std::min<std::size_t>(4, rec.size() - pos);
      std::memcpy(t, rec.data() + pos, n);
      pos += n;
      if (n < 4) short_ = true;
    }
    void reals(std::vector<float>& v) {
      for (float& x : v) num(x);
    }
  };

  // Status of the next read: 0 when a whole record is there.
  int next_status() const {
    if (next_ < in_.records.size()) return 0;
    return in_.cut ? 39 : -1;
  }
  template <class Fill>
  int read(Fill fill) {
    int st = next_status();
    if (st != 0) return st;
    Filler f{in_.records[next_++]};
    fill(f);
    return f.short_ ? 67 : 0;
  }
  int skip() {
    int st = next_status();
    if (st == 0) ++next_;
    return st;
  }

  std::string kind() const { return std::string(name_, 4); }

  std::string header_line(std::string_view nm, const i4 (&nc)[6], double real, i4 lrec) const {
    std::string s(nm);
    for (i4 v : nc) s += I(v, 8);
    return s + E(real, 15, 5) + I(lrec, 8) + "\n";
  }
  std::string size_line(i4 n, double step) const {
    std::string s = I(n, 8) + E(step, 15, 5);
    for (float v : yt_) s += E(v, 15, 5);
    return s + "\n";
  }

  bool fail(const std::string& report, int st) {
    e_.report = report;
    e_.list += report;
    e_.ier = st;
    return false;
  }

  // Ordinary blocks.
  bool ordinary(int look) {
    int st1 = look, st2 = 0;
    if (look == 0 || look == 67) {
      --next_;  // back to the header
      st1 = read([&](Filler& f) {
        f.text(name_);
        for (i4& v : nc_) f.num(v);
        f.num(dmp_), f.num(lrec_);
      });
      if (st1 == 0 || st1 == 67)
        st2 = read([&](Filler& f) {
          f.num(nsize2_), f.num(dt_);
          for (float& v : yt_) f.num(v);
        });
    }
    e_.list += header_line(kind(), nc_, dmp_, lrec_);
    e_.list += I(nsize2_, 8) + E(dt_, 15, 5);
    for (float v : yt_) e_.list += E(v, 15, 5);
    e_.list += "\n";
    if (st1 != 0) return fail(header_read_report(st1), st1);
    if (st2 != 0) return fail(header_read_report(st2), st2);

    const i4 nc1 = nc_[0], nc2 = nc_[1], nc3 = nc_[2];
    int passed_over = 0;
    if (nc1 == 13 || nc1 > 33)
      passed_over = 2;
    else if (nc2 == 5)
      passed_over = nc1 > 10 ? 2 : 1;
    else if (kind() == "AMPL" &&
             ((nc2 == 2 && (nc3 == 1 || nc3 == 3)) || (nc2 != 2 && nc3 == 2 && (nc2 == 1 || nc2 == 3))))
      passed_over = 2;
    if (passed_over > 0) {
      for (int r = 0; r < passed_over; ++r)
        if (int st = skip(); st != 0) return fail(data_read_report(st), st);
      return true;
    }

    const bool sh = nc2 == 2;
    std::vector<Record>& bin = sh ? e_.sh : e_.sv;
    std::string& txt = sh ? e_.sht : e_.svt;
    i4 out[6] = {nc1 == 9 ? 10 : nc1,
                 sh ? 1 : (nc2 == 3 ? 2 : nc2),
                 sh ? (nc3 == 2 ? 1 : nc3) : (nc3 == 3 ? 2 : nc3),
                 nc_[3],
                 nc_[4],
                 nc_[5]};
    const std::string k = kind();
    const bool spectrum = k == "FOUR" || k == "AMPL";
    const i4 lrec = spectrum ? 4 : lrec_;
    const float dap = narrow(dmp_);
    const float dtt = k == "WAVE" ? narrow(dt_) : 0.0f;
    const Record rec1 = {ft(k),      fi(out[0]), fi(out[1]), fi(out[2]), fi(out[3]),
                         fi(out[4]), fi(out[5]), fr(dap),    fi(lrec)};
    const Record rec2 = {fi(nsize2_), fr(dtt), fr(yt_[0]), fr(yt_[1]), fr(yt_[2]), fr(yt_[3])};
    const std::string text1 = header_line(k, out, dap, lrec), text2 = size_line(nsize2_, dtt);
    bin.push_back(rec1);
    bin.push_back(rec2);
    if (o_.data_sum() > 0) txt += text1 + text2;

    const std::size_t n = nsize2_ > 0 ? static_cast<std::size_t>(nsize2_) : 0;
    auto values_record = [&](const std::vector<float>& v, bool text) {
      Record r;
      for (float x : v) r.push_back(fr(x));
      bin.push_back(r);
      if (text) txt += E_lines(v, 6, 15, 5);
    };
    // A data record into `count` values; it must hold them.
    auto data = [&](std::size_t count, std::vector<float>& v) {
      int st = next_status();
      if (st == 0 && in_.records[next_].size() / 4 < count) st = 67;
      if (st == 0) {
        v.assign(count, 0.0f);
        Filler f{in_.records[next_++]};
        f.reals(v);
      }
      return st;
    };
    std::vector<float> v;
    if (k == "WAVE") {
      if (int st = data(n, v); st != 0) return fail(data_read_report(st), st);
      values_record(v, o_.wave == 1);
    } else if (spectrum) {
      const bool text = (k == "FOUR" ? o_.four : o_.ampl) == 1;
      if (!n_fixed_) {
        if (int st = next_status() != 0 ? next_status() : (in_.records[next_].size() / 4 < n ? 67 : 0); st != 0)
          return fail(data_read_report(st), st);
        n_ = n;
        axis_.clear();
        const float df = narrow(dt_);
        for (std::size_t i = 1; i <= n; ++i) axis_.push_back(static_cast<float>(i - 1) * df);
        n_fixed_ = true;
      }
      values_record(axis_, text);
      for (int r = 0; r < 2; ++r) {
        if (int st = data(n_, v); st != 0) return fail(data_read_report(st), st);
        values_record(v, text);
      }
    } else if (k == "SPEC") {
      if (!m_fixed_) {
        if (int st = next_status() != 0 ? next_status() : (in_.records[next_].size() / 4 < n ? 67 : 0); st != 0)
          return fail(data_read_report(st), st);
        m_ = n;
        m_fixed_ = true;
      }
      for (int r = 0; r < 2; ++r) {
        if (int st = data(m_, v); st != 0) return fail(data_read_report(st), st);
        values_record(v, o_.spec == 1);
      }
    } else if (k == "INFO") {
      e_.sv.push_back(rec1), e_.sv.push_back(rec2);
      e_.sh.push_back(rec1), e_.sh.push_back(rec2);
      if (o_.sum() > 0) {
        e_.svt += text1 + text2;
        e_.sht += text1 + text2;
      }
    }
    return true;
  }

  static float narrow(double d) {
    float f = static_cast<float>(d);
    return std::abs(f) < 1.17549435e-38f ? std::copysign(0.0f, f) : f;
  }

  // Maxima blocks.
  bool maxima(int look) {
    e_.list += "MAXR" + I(nc_[0], 8) + I(nc_[1], 8) + I(lrec_, 8) + "\n";
    if (look != 0) return fail(header_read_report(look), look);
    const i4 code = nc_[0], nc2 = nc_[1], lrec_read = lrec_;
    if (code > 112) {
      if (int st = skip(); st != 0) return fail(data_read_report(st), st);
      return true;
    }
    const i4 written = code == 111 ? 112 : code == 112 ? 111 : code == 9 ? 10 : code;
    const bool both = written < 106 || written == 107;
    auto header = [&](i4 c, i4 last) {
      return Record{ft("MAXR"), fi(c), fi(nc2), fi(0), fi(0), fi(0), fi(0), fr(0.0f), fi(last)};
    };
    auto header_text = [&](i4 c, i4 last) {
      const i4 nc[6] = {c, nc2, 0, 0, 0, 0};
      return header_line("MAXR", nc, 0.0, last);
    };
    e_.sv.push_back(header(written, 1));
    if (both) e_.sh.push_back(header(written, 1));
    if (o_.maxr == 1) {
      e_.svt += header_text(written, 1);
      if (both) e_.sht += header_text(written, 1);
    }

    // the data record
    int st = next_status();
    if (st != 0) return fail(data_read_report(st), st);
    const std::string& rec = in_.records[next_];
    if (rec.size() < 4) return fail(data_read_report(67), 67);
    i4 na;
    std::memcpy(&na, rec.data(), 4);
    const std::uint64_t items = na > 0 ? static_cast<std::uint64_t>(na) : 0;
    std::uint64_t nd = 0;
    switch (code) {
      case 104:
        nd = 3;
        break;
      case 105:
        nd = 9;
        break;
      case 106:
        nd = 5;
        break;
      case 107:
        nd = 4;
        break;
      case 109:
        nd = 1;
        break;
      case 110:
        nd = 3;
        break;
      case 111:
      case 112:
        nd = 4;
        break;
      case 108:
        nd = items && rec.size() >= 4 + 8 * items
                 ? std::min<std::uint64_t>(9, (rec.size() - 4 - 8 * items) / (8 * items))
                 : 0;
        break;
      default:
        nd = 6;  // every other code below 104
    }
    if (4 + 8 * items + 8 * nd * items > rec.size()) return fail(data_read_report(67), 67);
    ++next_;
    std::vector<i4> ia1(items), ia2(items);
    std::vector<float> acl(2 * nd * items);
    for (std::uint64_t a = 0; a < items; ++a) {
      std::memcpy(&ia1[a], rec.data() + 4 + 4 * a, 4);
      std::memcpy(&ia2[a], rec.data() + 4 + 4 * (items + a), 4);
    }
    for (std::size_t k = 0; k < acl.size(); ++k) std::memcpy(&acl[k], rec.data() + 4 + 8 * items + 4 * k, 4);

    if (o_.maxr == 1) {
      e_.dump += "na=" + I(na, 7) + ", ia1(1:na),ia2(1:na),acl(1:2,1:nd,1:na)\n";
      e_.dump += I_lines(ia1, 15, 7) + I_lines(ia2, 15, 7);
      for (std::uint64_t a = 0; a < items; ++a)
        e_.dump += E_lines(std::vector<float>(acl.begin() + static_cast<long>(2 * nd * a),
                                              acl.begin() + static_cast<long>(2 * nd * (a + 1))),
                           18, 12, 4);
    }

    // value d (1-based) of item a: first of the pair, or the pair
    auto first = [&](std::uint64_t a, int d) { return acl[2 * nd * a + 2 * static_cast<std::uint64_t>(d - 1)]; };
    auto second = [&](std::uint64_t a, int d) { return acl[2 * nd * a + 2 * static_cast<std::uint64_t>(d - 1) + 1]; };

    // One converted record: na, identifiers, values item by item (picked by
    // `values`), and its text twin lines.
    struct Out {
      Record rec;
      std::string text;
    };
    auto make = [&](bool pairs, bool text_ids, auto values) {
      Out o;
      o.rec.push_back(fi(na));
      if (pairs) {
        for (std::uint64_t a = 0; a < items; ++a) o.rec.push_back(fi(ia1[a])), o.rec.push_back(fi(ia2[a]));
      } else {
        for (std::uint64_t a = 0; a < items; ++a) o.rec.push_back(fi(ia1[a]));
      }
      std::vector<float> all;
      o.text = I(na, 8) + "\n";
      for (std::uint64_t a = 0; a < items; ++a) {
        std::vector<float> vals = values(a);
        for (float x : vals) o.rec.push_back(fr(x)), all.push_back(x);
        if (text_ids) {
          o.text += I(ia1[a], 8);
          if (pairs) o.text += I(ia2[a], 8);
          for (float x : vals) o.text += E(x, 15, 5);
          o.text += "\n";
        }
      }
      if (!text_ids)
        o.text += E_lines(all, 8, 12, 4);
      else if (items == 0)
        o.text += "\n";
      return o;
    };
    std::vector<Out> sv, sh;
    std::vector<std::size_t> split_after;  // the 108 header of a 107 block comes after this SV record
    switch (code) {
      case 101:
      case 102:
      case 103:
      case 104: {
        const bool pairs = code == 103;
        sv.push_back(make(pairs, true, [&](auto a) {
          return std::vector<float>{first(a, 1), second(a, 1), first(a, 3), second(a, 3)};
        }));
        sh.push_back(make(pairs, true, [&](auto a) {
          return std::vector<float>{first(a, 2), second(a, 2), 0.0f, 0.0f};
        }));
        break;
      }
      case 105:
        sv.push_back(make(false, true, [&](auto a) {
          return std::vector<float>{first(a, 1), first(a, 3), first(a, 6)};
        }));
        sh.push_back(make(false, true, [&](auto a) { return std::vector<float>{first(a, 4), first(a, 5), 0.0f}; }));
        break;
      case 106:
        sv.push_back(make(false, true, [&](auto a) {
          return std::vector<float>{first(a, 1), first(a, 2), first(a, 3), first(a, 4)};
        }));
        break;
      case 107:
        sv.push_back(make(false, true, [&](auto a) { return std::vector<float>{first(a, 1), first(a, 2)}; }));
        sv.push_back(make(false, true, [&](auto a) { return std::vector<float>{first(a, 4)}; }));
        sh.push_back(make(false, false, [&](auto a) { return std::vector<float>{0.0f, first(a, 3)}; }));
        break;
      case 109:
        sv.push_back(make(false, true, [&](auto a) { return std::vector<float>{first(a, 1)}; }));
        break;
      case 110:
        sv.push_back(make(false, true, [&](auto a) {
          return std::vector<float>{first(a, 1), first(a, 2), first(a, 3)};
        }));
        break;
      case 111:
      case 112:
        sv.push_back(make(false, true, [&](auto a) { return std::vector<float>{0.0f, first(a, 1), first(a, 3)}; }));
        break;
      default:
        break;
    }
    for (std::size_t i = 0; i < sv.size(); ++i) {
      if (code == 107 && i == 1) e_.sv.push_back(header(108, lrec_read));
      e_.sv.push_back(sv[i].rec);
    }
    for (const Out& o : sh) e_.sh.push_back(o.rec);
    if (o_.maxr == 1) {
      for (std::size_t i = 0; i < sv.size(); ++i) {
        if (code == 107 && i == 1) e_.svt += header_text(108, lrec_read);
        e_.svt += sv[i].text;
      }
      for (const Out& o : sh) e_.sht += o.text;
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
  double dmp_ = 0;
  i4 lrec_ = 0;
  i4 nsize2_ = 0;
  double dt_ = 0;
  float yt_[4] = {};
  bool n_fixed_ = false, m_fixed_ = false;
  std::size_t n_ = 0, m_ = 0;
  std::vector<float> axis_;
};

inline Expected convert(const RecordFile& in, const Options& o) { return Model(in, o).run(); }

}  // namespace tp18model
