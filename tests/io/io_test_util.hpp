// Helpers of the I/O tests: record bytes built by hand, a line source over
// strings, line-read scripts, a Fortran reference program run, special files
// and calls that must not block, and real4 values at the rounding boundaries
// of the E edits.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "io/byte_order.hpp"
#include "io/layout.hpp"
#include "io/status.hpp"
#include "support/test_support.hpp"

namespace qxtest {

inline std::string word(std::uint32_t v, qx::ByteOrder order = qx::ByteOrder::little) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[order == qx::ByteOrder::little ? i : 3 - i] = static_cast<char>(v >> 8 * i);
  return s;
}

// A sequential record: length marker, payload, length marker.
inline std::string record(const std::string& payload, qx::ByteOrder order = qx::ByteOrder::little) {
  const std::string m = word(static_cast<std::uint32_t>(payload.size()), order);
  return m + payload + m;
}

// Lines from strings, then `end` (the end of the file or a read failure).
struct Lines final : qx::LineSource {
  explicit Lines(std::vector<std::string> l, int end = qx::iostat::end_of_file) : lines(std::move(l)), end(end) {}
  int next_line(std::string_view& line) override { return consumed == lines.size() ? end : (line = lines[consumed++], 0); }
  std::vector<std::string> lines;
  int end;
  std::size_t consumed = 0;
};

// Carries out a script on a line reader: "<back>" goes back one line, "<eof>"
// expects the end, any other entry is the line expected next.
template <class Reader>
void expect_lines(Reader& r, std::initializer_list<std::string> script) {
  for (const std::string& s : script) {
    std::string_view line;
    EXPECT_EQ(s == "<back>" ? r.backspace() : r.next_line(line), s == "<eof>" ? qx::iostat::end_of_file : 0) << s;
    EXPECT_EQ(s.starts_with('<') ? s : std::string(line), s);
  }
}

// Compiles and runs `source` in `dir`; `out` gets out.txt, or the log on failure.
inline bool run_fortran(const TempDir& dir, const std::string& source, std::string& out) {
  if (!compile_fortran(source, dir.file("ref"), out)) return false;
  const auto run = run_program({dir.file("ref")}, {}, dir.path());
  out = run.exit_status == 0 ? read_file(dir.file("out.txt")) : run.err;
  return run.exit_status == 0;
}

// Runs `body` in a child process that an alarm ends after ten seconds, so
// that a call which blocks fails the test instead of hanging it. The child's
// exit code (what `body` returns), or -1 when it did not finish.
inline int exit_code_within_seconds(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(10);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A listening Unix socket bound to `path`; its descriptor (-1 on failure).
inline int bind_socket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (fd < 0 || path.size() >= sizeof addr.sun_path) return -1;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 1) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Real4 values where rounding to 4, 5 or 6 significant digits goes wrong
// first: both zeros, the ends of the subnormals and normals, NaNs and the
// infinities; the floats next to each power of ten and next to the roundings
// up into the next decade (9.9995, 9.99995, 9.999995 times a power of ten);
// exact decimal ties at 4, 5 and 6 digits with their neighbours; random
// subnormals. Each with both signs.
inline std::vector<float> boundary_floats(std::mt19937_64& rng) {
  std::vector<float> v;
  auto both = [&](float f) { v.insert(v.end(), {f, -f}); };
  for (std::uint32_t b : {0x0u, 0x1u, 0x2u, 0x3u, 0x7fffffu, 0x800000u, 0x7f7fffffu, 0x7f800000u, 0x7fc00000u,
                          0x7f800001u, 0x7fbfffffu})
    both(std::bit_cast<float>(b));
  auto around = [&](double x) {  // the float nearest x and two on each side
    if (x > FLT_MAX) return;
    float f = static_cast<float>(x);
    for (int i = 0; i < 2; ++i) f = std::nextafter(f, 0.0f);
    for (int i = 0; i < 5; ++i, f = std::nextafter(f, INFINITY)) both(f);
  };
  for (int e = -45; e <= 38; ++e)
    for (double m : {1.0, 9.9995, 9.99995, 9.999995}) around(m * std::pow(10.0, e));
  // x * 10^(n-1-e) is an odd multiple of 1/2 for x in [10^e, 10^(e+1)) with
  // x = j * 2^(e-n) (e < n) or x = j * 5^p * 2^(p-1), p = e-n+1 (e = n, n+1),
  // j odd and small enough that x is a float.
  for (int n = 4; n <= 6; ++n)
    for (int e = -4; e <= n + 1; ++e) {
      const int p = e - n + 1;
      const double unit = e < n ? std::ldexp(1.0, e - n) : std::pow(5.0, p) * std::ldexp(1.0, p - 1);
      const double lo = std::ceil(std::pow(10.0, e) / unit);
      const double hi = std::min(std::pow(10.0, e + 1) / unit, 0x1p24 / (e < n ? 1 : std::pow(5.0, p)));
      if (hi <= lo) continue;
      const auto count = static_cast<std::uint64_t>(std::ceil(hi) - lo);  // integers in [lo, hi)
      for (int i = 0; i < 20; ++i) {
        const auto j = static_cast<std::uint64_t>(lo) + rng() % count;
        around((j | 1) * unit);
      }
    }
  for (int i = 0; i < 500; ++i) both(std::bit_cast<float>(static_cast<std::uint32_t>(rng() & 0x7fffff)));
  return v;
}

}  // namespace qxtest
