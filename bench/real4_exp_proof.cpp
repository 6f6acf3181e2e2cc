// Compares the dedicated real4 E formatter with the layout engine on every
// real4 bit pattern: for each of 1PE15.5, 1PE12.4 and 1PE10.3 all 2^32
// patterns, in runs of 16384 consecutive patterns written as the lines of
// one write through the layout ("(1P,6E15.5)", "(1P,8E12.4)", "(1P,8E10.3)";
// the run ends in a partial line). Prints the patterns checked and the
// mismatches of each field, and exits 1 when there was any mismatch.
#include <xmmintrin.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "io/layout.hpp"
#include "io/real4_exp_edit.hpp"

namespace {

constexpr const char* usage =
    "usage: real4_exp_proof [--threads N] [--exact] [--no-ftz] [--first HEX] [--last HEX]\n"
    "\n"
    "Writes every real4 bit pattern through 1PE15.5, 1PE12.4 and 1PE10.3 with the\n"
    "dedicated formatter and with the layout engine, and compares the bytes.\n"
    "\n"
    "options:\n"
    "  --threads N   threads that share the patterns (default: the processors)\n"
    "  --exact       check the formatter's exact rounding, which the fast one\n"
    "                takes only near a rounding boundary, on every pattern too\n"
    "  --no-ftz      leave the FTZ bit of MXCSR clear (the converter sets it)\n"
    "  --first HEX   first bit pattern (default 0)\n"
    "  --last HEX    last bit pattern (default ffffffff)\n"
    "  -h, --help    show this text\n"
    "\n"
    "Exit status 0 when every pattern gave the same bytes, 1 on a mismatch.\n";

constexpr std::uint64_t run_length = 16384;

struct Edit {
  qx::Real4Exp edit;
  const char* name;
  const char* layout;
  std::size_t per_line;
};
constexpr Edit edits[] = {{qx::Real4Exp::e15_5, "1PE15.5", "(1P,6E15.5)", 6},
                          {qx::Real4Exp::e12_4, "1PE12.4", "(1P,8E12.4)", 8},
                          {qx::Real4Exp::e10_3, "1PE10.3", "(1P,8E10.3)", 8}};

struct Options {
  unsigned threads = std::thread::hardware_concurrency() ? std::thread::hardware_concurrency() : 1;
  bool exact = false;
  bool ftz = true;
  std::uint64_t first = 0, last = 0xffffffff;
};

// The lines of the formatter's exact rounding, laid out as the fast ones.
std::size_t exact_lines(const Edit& e, std::span<const float> v, char* dst) {
  const auto w = static_cast<std::size_t>(qx::exp_width(e.edit));
  char* p = dst;
  for (std::size_t i = 0; i < v.size(); ++i) {
    qx::edit_real4_exp_exact(e.edit, p, v[i]);
    p += w;
    if ((i + 1) % e.per_line == 0 || i + 1 == v.size()) *p++ = '\n';
  }
  return static_cast<std::size_t>(p - dst);
}

struct Tally {
  std::atomic<std::uint64_t> checked{0}, mismatches{0};
  std::mutex report;
  int shown = 0;
};

// Counts and shows (the first few) fields that differ between two texts of
// the same values.
void count_mismatches(const Edit& e, std::span<const float> v, std::string_view want, std::string_view got,
                      const char* what, Tally& t) {
  const auto w = static_cast<std::size_t>(qx::exp_width(e.edit));
  std::uint64_t bad = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const std::size_t at = i * w + i / e.per_line;  // the line feeds ahead of the field
    const std::string_view a = at + w <= want.size() ? want.substr(at, w) : std::string_view{};
    const std::string_view b = at + w <= got.size() ? got.substr(at, w) : std::string_view{};
    if (a == b) continue;
    ++bad;
    std::lock_guard lock(t.report);
    if (t.shown++ < 20)
      std::printf("  mismatch %s (%s) %08x: engine [%.*s] %s [%.*s]\n", e.name, what, std::bit_cast<std::uint32_t>(v[i]),
                  static_cast<int>(a.size()), a.data(), what, static_cast<int>(b.size()), b.data());
  }
  // A difference outside the fields (line feeds, lengths) counts once.
  t.mismatches += bad ? bad : 1;
}

void check_runs(const Edit& e, const Options& o, std::atomic<std::uint64_t>& next_run, Tally& t) {
  if (o.ftz) _mm_setcsr(_mm_getcsr() | 0x8000u);  // as the converter runs
  const qx::Layout layout(e.layout);
  std::vector<float> v(run_length);
  std::string want;
  std::vector<char> got(qx::real4_exp_lines_size(e.edit, e.per_line, run_length));
  const std::uint64_t count = o.last - o.first + 1;
  const std::uint64_t runs = (count + run_length - 1) / run_length;
  for (std::uint64_t r; (r = next_run.fetch_add(1)) < runs;) {
    const std::uint64_t begin = o.first + r * run_length;
    const std::size_t n = static_cast<std::size_t>(std::min(run_length, o.last + 1 - begin));
    for (std::size_t i = 0; i < n; ++i) v[i] = std::bit_cast<float>(static_cast<std::uint32_t>(begin + i));
    const std::span<const float> values(v.data(), n);
    want.clear();
    if (qx::write_layout(layout, {qx::out(values)}, want) != 0) {
      std::fprintf(stderr, "real4_exp_proof: the layout engine refused %s\n", e.layout);
      std::exit(2);
    }
    std::size_t len = qx::put_real4_exp_lines(e.edit, e.per_line, values, got.data());
    if (std::string_view(got.data(), len) != want) count_mismatches(e, values, want, {got.data(), len}, "fast", t);
    if (o.exact) {
      len = exact_lines(e, values, got.data());
      if (std::string_view(got.data(), len) != want) count_mismatches(e, values, want, {got.data(), len}, "exact", t);
    }
    t.checked += n;
  }
}

bool parse_hex(const char* s, std::uint64_t& v) {
  char* end = nullptr;
  v = std::strtoull(s, &end, 16);
  return *s && !*end && v <= 0xffffffff;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "-h" || a == "--help") {
      std::fputs(usage, stdout);
      return 0;
    } else if (a == "--exact") {
      o.exact = true;
    } else if (a == "--no-ftz") {
      o.ftz = false;
    } else if (a == "--threads" && has_value) {
      o.threads = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
      if (o.threads == 0 || o.threads > 256) {
        std::fprintf(stderr, "real4_exp_proof: --threads takes 1 to 256\n");
        return 2;
      }
    } else if ((a == "--first" || a == "--last") && has_value) {
      if (!parse_hex(argv[++i], a == "--first" ? o.first : o.last)) {
        std::fprintf(stderr, "real4_exp_proof: %s takes a bit pattern in hexadecimal, 0 to ffffffff\n", argv[i - 1]);
        return 2;
      }
    } else {
      std::fprintf(stderr, "real4_exp_proof: unknown or incomplete option '%s'\n%s", argv[i], usage);
      return 2;
    }
  }
  if (o.first > o.last) {
    std::fprintf(stderr, "real4_exp_proof: --first lies after --last\n");
    return 2;
  }
  std::printf("bit patterns %08llx to %08llx, %u threads, FTZ %s%s\n", static_cast<unsigned long long>(o.first),
              static_cast<unsigned long long>(o.last), o.threads, o.ftz ? "set" : "clear",
              o.exact ? ", exact rounding checked too" : "");
  std::fflush(stdout);
  bool all_same = true;
  for (const Edit& e : edits) {
    const auto start = std::chrono::steady_clock::now();
    Tally t;
    std::atomic<std::uint64_t> next_run{0};
    std::vector<std::thread> pool;
    for (unsigned k = 0; k < o.threads; ++k) pool.emplace_back([&] { check_runs(e, o, next_run, t); });
    for (auto& th : pool) th.join();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s %s: %llu bit patterns checked, %llu mismatches, %.1f s\n", e.name, e.layout,
                static_cast<unsigned long long>(t.checked.load()), static_cast<unsigned long long>(t.mismatches.load()),
                s);
    std::fflush(stdout);
    all_same = all_same && t.mismatches == 0;
  }
  return all_same ? 0 : 1;
}
