#include "write_qxin.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>

#include "random.hpp"

namespace qxgen {
namespace {

constexpr std::uint64_t qxin_tag = 71;
constexpr int solid_layers = 5;
constexpr int missing_material = 99;    // used by a solid, absent from MSOLID
constexpr int duplicated_material = 2;  // listed twice in MSOLID

class TextOut {
 public:
  explicit TextOut(std::FILE* f) : f_(f) {}

  void line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char text[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    buffer_.append(text, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof text) - 1)));
    buffer_ += '\n';
    if (buffer_.size() > (1u << 20)) flush();
  }
  void raw(const std::string& text) {
    buffer_ += text;
    buffer_ += '\n';
  }
  void flush() {
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), f_) != buffer_.size()) failed_ = true;
    buffer_.clear();
  }
  bool failed() const { return failed_; }

 private:
  std::FILE* f_;
  std::string buffer_;
  bool failed_ = false;
};

// A real number in a 16-column field that F16.0 reads: with a decimal point,
// without one, with an exponent, with a sign, left- or right-justified.
std::string real_field(double v, Random& rng) {
  char text[64];
  const bool integral = v == std::floor(v) && std::fabs(v) < 1e9;
  const double milli = v * 1000.0;
  const bool whole_milli = milli == std::floor(milli) && std::fabs(milli) < 1e12;
  // Mostly right-justified, as analysis input files are; some fields
  // left-justified (their trailing blanks are ignored).
  switch (rng.below(12)) {
    case 0:
    case 1:
      std::snprintf(text, sizeof text, "%16.4f", v);
      break;
    case 2:
      std::snprintf(text, sizeof text, "%-16.4f", v);
      break;
    case 3:
    case 4:  // a whole number without a decimal point
      if (integral)
        std::snprintf(text, sizeof text, "%16lld", static_cast<long long>(v));
      else
        std::snprintf(text, sizeof text, "%16.3f", v);
      break;
    case 5:
      if (integral)
        std::snprintf(text, sizeof text, "%-16lld", static_cast<long long>(v));
      else
        std::snprintf(text, sizeof text, "%16.6f", v);
      break;
    case 6:  // a whole number ending in a point, or a long decimal
      if (integral) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%lld.", static_cast<long long>(v));
        std::snprintf(text, sizeof text, "%16s", digits);
      } else {
        std::snprintf(text, sizeof text, "%16.9f", v);
      }
      break;
    case 7:
    case 8:
      std::snprintf(text, sizeof text, "%16.6E", v);
      break;
    case 9:  // digits without a point, scaled by an exponent
      if (whole_milli) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%lldE-3", static_cast<long long>(milli));
        std::snprintf(text, sizeof text, "%16s", digits);
      } else {
        std::snprintf(text, sizeof text, "%16.5E", v);
      }
      break;
    case 10:
      std::snprintf(text, sizeof text, "%+16.3f", v);
      break;
    default:
      std::snprintf(text, sizeof text, "%-16.5E", v);
      break;
  }
  std::string field(text);
  if (field.size() != 16) {
    std::snprintf(text, sizeof text, "%16.8E", v);
    field = text;
  }
  return field;
}

class QxinWriter {
 public:
  QxinWriter(TextOut& out, const CasePlan& plan, const std::set<std::string>& omit)
      : out_(out), plan_(plan), m_(plan.model), omit_(omit) {}

  void write() {
    out_.line("# analysis input written by qxgen: seed %llu, size %llu", static_cast<unsigned long long>(plan_.seed),
              static_cast<unsigned long long>(plan_.size));
    if (wanted("TITLE")) title();
    out_.line("%s", "");
    other_section("CONTROL", {"       1       0       2       1", "     200    0.01     0.0"});
    // Lines that look like keywords but are not: lower case, leading blanks.
    out_.line("%-8s%8d", "node", 3);
    out_.line("  %-6s%8d", "NODE", 3);
    if (wanted("NODE")) nodes();
    out_.line("%s", "");
    out_.line("%s", "NODES    are listed above");
    out_.line("%s", "BOUNDARY conditions follow");
    if (wanted("BOUND")) bound();
    node_list("BDFEML", m_.nz, [&](int k) { return m_.main_node(0, k); });
    node_list("BDFFL", m_.nz, [&](int k) { return m_.free_left_node(k); });
    node_list("BDFEMR", m_.nz, [&](int k) { return m_.main_node(m_.nx - 1, k); });
    node_list("BDFFR", m_.nz, [&](int k) { return m_.free_right_node(k); });
    node_list("BDBASE", m_.nx, [&](int k) { return m_.main_node(k, m_.nz - 1); });
    out_.line("%s", "#");
    other_section("EARTHQ", {"       1    2048   0.010", "    1.00    0.00    0.50", "   0.980   0.000",
                             "   0.000   0.000"});
    if (wanted("SOLID")) solids();
    if (wanted("MSOLID")) materials();
    out_.line("%s", "");
    if (wanted("BEAM")) beams();
    if (wanted("SPRING")) springs();
    if (wanted("RIGID")) rigids();
    if (wanted("WATER")) four_node("WATER", std::max(2, m_.nx / 8), 0, 0);
    if (wanted("WATERB")) four_node("WATERB", std::max(2, m_.nx / 10), 1, 1);
    out_.line("%-8s%8d", "water", 2);
    out_.line("%-8s%8d", "SOLIDX", 0);
    if (wanted("SHELL")) four_node("SHELL", 2 + m_.nz / 10, 2, 2);
    if (wanted("JOINTA")) joints("JOINTA", std::max(3, m_.nz / 3), 3);
    if (wanted("JOINTB")) joints("JOINTB", 2, 4);
    if (wanted("VOID")) four_node("VOID", 1 + m_.nx / 30, 5, 3);
    out_.line("%s", "");
    out_.line("%s", "END");
  }

 private:
  bool wanted(const char* keyword) const { return omit_.count(keyword) == 0; }

  // Each section draws from its own stream, so leaving one out changes no
  // other.
  Random section_random(const char* keyword) const {
    std::uint64_t tag = 0;
    for (const char* p = keyword; *p; ++p) tag = tag * 131 + static_cast<unsigned char>(*p);
    return Random(derive_seed(plan_.seed, qxin_tag, tag));
  }

  void title() {
    out_.line("%-8sQXGEN CASE  SEED %-12llu SIZE %-12llu NODES %d", "TITLE",
              static_cast<unsigned long long>(plan_.seed), static_cast<unsigned long long>(plan_.size),
              m_.node_count());
  }

  // A section of another analysis step, which the model reader passes over.
  void other_section(const char* keyword, std::initializer_list<const char*> lines) {
    out_.line("%-8s%8zu", keyword, lines.size());
    for (const char* l : lines) out_.line("%s", l);
  }

  // The header line and `count` data lines; `comment(k)` may give a line
  // starting with "#" or "+" to put before data line k (not counted).
  void counted(const char* keyword, int count, const std::function<void(int)>& data_line,
               const std::function<const char*(int)>& comment) {
    out_.line("%-8s%8d", keyword, count);
    for (int k = 0; k < count; ++k) {
      if (const char* c = comment(k)) out_.line("%s", c);
      data_line(k);
    }
  }

  double x_of(int i) const { return i * m_.dx; }
  double z_of(int j) const {
    // Every fifth row lies a third of a layer lower: depths without a short
    // decimal form.
    double z = -j * m_.dz;
    if (j % 5 == 3) z -= m_.dz / 3.0;
    return j == 0 ? 0.0 : z;
  }

  void nodes() {
    Random rng = section_random("NODE");
    const int count = m_.node_count();
    const int middle = count / 2;
    out_.line("%-8s%8d", "NODE", count);
    out_.line("%s", "#   NODE               X               Z");
    int k = 0;
    auto node = [&](int number, double x, double z) {
      if (k++ == middle) out_.line("%s", "+ free-field columns follow the grid");
      out_.raw(fixed_int(number) + real_field(x, rng) + real_field(z, rng));
    };
    for (int j = 0; j < m_.nz; ++j)
      for (int i = 0; i < m_.nx; ++i) node(m_.main_node(i, j), x_of(i), z_of(j));
    for (int j = 0; j < m_.nz; ++j) node(m_.free_left_node(j), x_of(-8), z_of(j));
    for (int j = 0; j < m_.nz; ++j) node(m_.free_right_node(j), x_of(m_.nx + 7), z_of(j));
  }

  static std::string fixed_int(int v) {
    char text[16];
    std::snprintf(text, sizeof text, "%8d", v);
    return text;
  }

  void bound() {
    Random rng = section_random("BOUND");
    const int k1 = static_cast<int>(rng.between(0, 3)), k2 = static_cast<int>(rng.between(0, 3));
    const int k3 = static_cast<int>(rng.between(0, 3));
    out_.line("%-8s%8d%8d%8d%8d%8d%8d", "BOUND", k1, k2, k3, m_.nz, m_.nz, m_.nx);
  }

  // Eleven node numbers to a line from column 9 on, the first line being the
  // keyword line; the lengths come from the BOUND line.
  void node_list(const char* keyword, int count, const std::function<int(int)>& node) {
    if (!wanted(keyword)) return;
    std::string line;
    char head[16];
    std::snprintf(head, sizeof head, "%-8s", keyword);
    line = head;
    for (int k = 0; k < count; ++k) {
      if (k > 0 && k % 11 == 0) {
        out_.raw(line);
        line.assign(8, ' ');
      }
      line += fixed_int(node(k));
    }
    out_.raw(line);
  }

  int material_of(int i, int j) const {
    if (i == m_.nx - 2 && j == m_.nz - 2) return missing_material;
    return 1 + j * solid_layers / (m_.nz - 1);
  }

  void solids() {
    const int per_row = m_.nx - 1;
    counted(
        "SOLID", m_.solid_count(),
        [&](int k) {
          const int i = k % per_row, j = k / per_row;
          out_.line("%8d%8d%8d%8d%8d%8d", k + 1, m_.main_node(i, j + 1), m_.main_node(i + 1, j + 1),
                    m_.main_node(i + 1, j), m_.main_node(i, j), material_of(i, j));
        },
        [&](int k) -> const char* {
          const int i = k % per_row, j = k / per_row;
          if (i != 0) return nullptr;
          if (j == 0 || material_of(0, j) != material_of(0, j - 1)) return "# next soil layer";
          return nullptr;
        });
  }

  void materials() {
    Random rng = section_random("MSOLID");
    static constexpr const char* labels[] = {"SAND    SILTY   ", "    CLAY  STIFF ", "GRAVEL          ",
                                             "  ROCK WEATHERED"};
    const int count = solid_layers + 2;
    counted(
        "MSOLID", count,
        [&](int k) {
          int number = k + 1;
          double density = 1.6 + 0.1 * (k + 1);
          if (k == solid_layers) {
            number = duplicated_material;  // a second entry: the first one counts
            density = 2.75;
          } else if (k == solid_layers + 1) {
            number = solid_layers + 3;  // listed, used by no solid
          }
          char ignored[32];
          if (k % 2 == 0)
            std::snprintf(ignored, sizeof ignored, "%8.1f%8.3f", 1.0e4 * (k + 1), 0.3 + 0.02 * k);
          else
            std::snprintf(ignored, sizeof ignored, "%-16s", labels[k % 4]);
          out_.raw(fixed_int(number) + ignored + real_field(density, rng));
        },
        [](int k) -> const char* { return k == 0 ? "+   MAT  (shear modulus, Poisson)   DENSITY" : nullptr; });
  }

  // Data lines read through (5I8) of which only the first three fields
  // (element, two nodes) are kept: columns 25 to 40 hold integers that are
  // not used, and what follows column 40 is not read at all.
  void beams() {
    const int count = std::max(3, m_.nx / 6);
    const int first = m_.nx / 3;
    counted(
        "BEAM", count,
        [&](int k) {
          out_.line("%8d%8d%8d%8d%8d  %12.4E", k + 1, m_.main_node(first + k, 0), m_.main_node(first + k + 1, 0),
                    1 + k % 3, 7, 2.1e8 * (1 + k % 2));
        },
        [&](int k) -> const char* { return k == count / 2 ? "# upper storey" : nullptr; });
  }

  void springs() {
    const int count = 2 * m_.nz;
    counted(
        "SPRING", count,
        [&](int k) {
          const int j = k / 2;
          const bool left = k % 2 == 0;
          out_.line("%8d%8d%8d%8d%8d%8.2f", k + 1, left ? m_.free_left_node(j) : m_.free_right_node(j),
                    left ? m_.main_node(0, j) : m_.main_node(m_.nx - 1, j), 1 + k % 2, 3, 1.0e3 + k);
        },
        [](int) -> const char* { return nullptr; });
  }

  void rigids() {
    const int count = 2 + m_.nx / 20;
    counted(
        "RIGID", count,
        [&](int k) {
          out_.line("%8d%8d%8d%8d%8d  DOF 110 master-slave", k + 1, m_.main_node(m_.nx / 3 + k, 0),
                    m_.main_node(m_.nx / 3 + k, 1), 1, 0);
        },
        [](int) -> const char* { return nullptr; });
  }

  // Elements of four nodes: quadrilaterals of the grid from row `row`,
  // starting at column `column`.
  void four_node(const char* keyword, int count, int row, int column) {
    counted(
        keyword, count,
        [&](int k) {
          const int i = (column + k) % (m_.nx - 1), j = (row + (column + k) / (m_.nx - 1)) % (m_.nz - 1);
          out_.line("%8d%8d%8d%8d%8d", k + 1, m_.main_node(i, j + 1), m_.main_node(i + 1, j + 1),
                    m_.main_node(i + 1, j), m_.main_node(i, j));
        },
        [&](int k) -> const char* { return k == count - 1 && count > 1 ? "# last element" : nullptr; });
  }

  // Joint elements: read from the first 80 columns of lines that run on
  // past them.
  void joints(const char* keyword, int count, int column) {
    counted(
        keyword, count,
        [&](int k) {
          const int j = k % (m_.nz - 1), i = column % (m_.nx - 1);
          out_.line("%8d%8d%8d%8d%8d%8d%8d%24s%s", k + 1, m_.main_node(i, j), m_.main_node(i, j + 1),
                    m_.main_node(i + 1, j + 1), m_.main_node(i + 1, j), 12, 0, "", "  STIFFNESS 1.0E+06 0.0");
        },
        [&](int k) -> const char* { return k == 0 ? "+ joint   i       j       k       l" : nullptr; });
  }

  TextOut& out_;
  const CasePlan& plan_;
  const ModelShape& m_;
  const std::set<std::string>& omit_;
};

}  // namespace

bool write_qxin(const std::string& path, const CasePlan& plan, const std::set<std::string>& omit, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  TextOut out(f);
  QxinWriter(out, plan, omit).write();
  out.flush();
  const bool closed = std::fclose(f) == 0;
  const bool ok = !out.failed() && closed;
  if (!ok) error = path + ": write failed";
  return ok;
}

}  // namespace qxgen
