#include "support/test_support.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qxtest {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "qxtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make files read-only or unreadable; give the owner rights back first.
  for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
    std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << content;
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

CommandResult run_program(const std::vector<std::string>& argv, const std::string& input, const std::string& dir) {
  // A program that stops before reading all its input must not kill the test.
  signal(SIGPIPE, SIG_IGN);
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe)) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);

  CommandResult r;
  std::size_t written = 0;
  bool in_open = true;
  if (input.empty()) {
    close(in_pipe[1]);
    in_open = false;
  }
  bool out_open = true, err_open = true;
  char buf[65536];
  while (out_open || err_open) {
    pollfd fds[3];
    int n = 0;
    if (out_open) fds[n++] = {out_pipe[0], POLLIN, 0};
    if (err_open) fds[n++] = {err_pipe[0], POLLIN, 0};
    if (in_open) fds[n++] = {in_pipe[1], POLLOUT, 0};
    if (poll(fds, n, -1) < 0) break;
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (in_open && fds[i].fd == in_pipe[1]) {
        ssize_t w = write(in_pipe[1], input.data() + written, input.size() - written);
        if (w > 0) written += static_cast<std::size_t>(w);
        if (w < 0 || written == input.size()) {
          close(in_pipe[1]);
          in_open = false;
        }
        continue;
      }
      ssize_t got = read(fds[i].fd, buf, sizeof buf);
      if (got <= 0) {
        close(fds[i].fd);
        (fds[i].fd == out_pipe[0] ? out_open : err_open) = false;
      } else {
        (fds[i].fd == out_pipe[0] ? r.out : r.err).append(buf, static_cast<std::size_t>(got));
      }
    }
  }
  if (in_open) close(in_pipe[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

CommandResult run_shell(const std::string& command, const std::string& input, const std::string& dir) {
  return run_program({"/bin/sh", "-c", command}, input, dir);
}

bool compile_fortran(const std::string& source, const std::string& exe, std::string& log) {
  std::string src = exe + ".f90";
  write_file(src, source);
  CommandResult r = run_program({"gfortran", "-O0", "-o", exe, src});
  log = r.out + r.err;
  return r.exit_status == 0;
}

}  // namespace qxtest
