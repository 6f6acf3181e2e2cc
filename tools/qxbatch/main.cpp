// qxbatch: converts the cases of a study with qxconv, on this machine or as
// a Slurm job array. The command line and the choice of what to do are here.
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "case_list.hpp"
#include "child_process.hpp"
#include "command_line.hpp"
#include "qx_version.hpp"
#include "runner.hpp"
#include "slurm_submit.hpp"
#include "slurm_task.hpp"
#include "stop_signals.hpp"
#include "summary.hpp"

namespace {

using namespace qxbatch;
namespace fs = std::filesystem;

unsigned processors() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<unsigned>(n) : 1;
}

// --qxconv, else qxconv beside this program, else on PATH; made absolute,
// since each conversion runs in its case's directory.
std::string find_qxconv(const std::string& given) {
  std::string found;
  if (!given.empty()) {
    found = find_program(given);
  } else {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) found = find_program((self.parent_path() / "qxconv").string());
    if (found.empty()) found = find_program("qxconv");
  }
  if (found.empty()) return {};
  std::error_code ec;
  const fs::path absolute = fs::absolute(found, ec);
  return ec ? found : absolute.lexically_normal().string();
}

// The cases named by --from files, one per line.
bool read_case_files(const std::vector<std::string>& files, std::vector<std::string>& cases) {
  for (const std::string& file : files) {
    std::ifstream f;
    if (file != "-") {
      f.open(file);
      if (!f) {
        std::fprintf(stderr, "qxbatch: cannot read %s\n", file.c_str());
        return false;
      }
    }
    std::istream& in = file == "-" ? std::cin : f;
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) cases.push_back(line);
  }
  return true;
}

RunSettings run_settings(const CommandLine& c, const std::string& qxconv) {
  RunSettings s;
  s.qxconv = qxconv;
  s.run_options = split_words(c.run_options);
  s.big_endian = c.big_endian;
  s.skip_done = c.skip_done;
  s.jobs = c.jobs ? c.jobs : processors();
  s.progress = c.mode == Mode::task ? ProgressMode::lines : default_progress_mode(c.quiet);
  return s;
}

// The options that every array task repeats.
std::vector<std::string> task_command(const CommandLine& c, const std::string& qxconv) {
  std::vector<std::string> command{"--qxconv", qxconv, "--qxin", c.qxin_pattern};
  if (!c.run_options.empty()) command.insert(command.end(), {"--options", c.run_options});
  if (c.big_endian) command.push_back("--big-endian");
  if (c.skip_done) command.push_back("--skip-done");
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine c;
  if (const std::string error = parse_command_line(argc, argv, c); !error.empty()) {
    std::fprintf(stderr, "qxbatch: %s (see qxbatch --help)\n", error.c_str());
    return 2;
  }
  if (c.help) {
    print_help(stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (c.version) {
    std::printf("qxbatch %.*s\n", static_cast<int>(qx::program_version.size()), qx::program_version.data());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  install_stop_signals();
  if (c.mode == Mode::collect) return collect_study(c.workdir, c.summary, c.quiet);

  const std::string qxconv = find_qxconv(c.qxconv);
  if (qxconv.empty()) {
    std::fprintf(stderr, "qxbatch: %s\n",
                 c.qxconv.empty() ? "qxconv is neither beside qxbatch nor on PATH: give --qxconv PATH"
                                  : ("cannot run " + c.qxconv).c_str());
    return 2;
  }
  const RunSettings settings = run_settings(c, qxconv);
  if (c.mode == Mode::task) {
    std::error_code ec;
    const fs::path dir = fs::absolute(c.workdir, ec);
    return run_task(WorkDir{ec ? c.workdir : dir.string()}, settings, c.qxin_pattern);
  }

  if (!read_case_files(c.case_files, c.cases)) return 2;
  if (c.cases.empty()) {
    std::fprintf(stderr, "qxbatch: no cases given (see qxbatch --help)\n");
    return 2;
  }
  const std::vector<Case> cases = discover_cases(c.cases, c.qxin_pattern);
  if (c.mode == Mode::submit)
    return submit_study(cases, task_command(c, qxconv),
                        {c.array_size, c.array_throttle, c.sbatch_args, c.workdir, c.wait, c.summary, c.quiet});

  const auto start = std::chrono::steady_clock::now();
  const BatchOutcome outcome = run_batch(cases, settings);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return conclude_batch(outcome.results, seconds, c.summary, c.quiet,
                        outcome.stop.stop_launching() ? outcome.stop.exit_status() : 0);
}
