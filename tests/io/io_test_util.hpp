// Helpers of the I/O tests: record bytes built by hand, a line source over
// strings, line-read scripts, a Fortran reference program run, special files
// and calls that must not block.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
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

}  // namespace qxtest
