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
#include "counted.hpp"
#include "done_check.hpp"
#include "printable.hpp"
#include "qx_version.hpp"
#include "run_options.hpp"
#include "runner.hpp"
#include "slurm_collect.hpp"
#include "slurm_submit.hpp"
#include "slurm_task.hpp"
#include "stop_signals.hpp"
#include "study_record.hpp"
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

// qxconv's version, for the record: the word after "qxconv" in what
// qxconv --version says, or the whole line.
std::string ask_qxconv_version(const std::string& qxconv, const CommandLimits& limits, std::string& version) {
  const CommandOutput r = run_command({qxconv, "--version"}, limits);
  if (!r.succeeded()) return "cannot ask qxconv for its version: " + r.failure(qxconv, limits);
  version = r.out.substr(0, r.out.find('\n'));
  if (version.starts_with("qxconv ")) version.erase(0, 7);
  return version.empty() ? "qxconv --version said nothing" : "";
}

RunSettings run_settings(const CommandLine& c, const std::string& qxconv, const std::vector<std::string>& options,
                         const std::string& version) {
  RunSettings s;
  s.qxconv = qxconv;
  s.run_options = options;
  s.big_endian = c.big_endian;
  s.identity = {version, c.big_endian ? "big" : "little", options_set(options)};
  s.jobs = c.jobs ? c.jobs : processors();
  s.progress = c.mode == Mode::task ? ProgressMode::lines : default_progress_mode(c.quiet);
  return s;
}

// The options that every array task repeats.
std::vector<std::string> task_command(const CommandLine& c, const std::string& qxconv) {
  std::vector<std::string> command{"--qxconv", qxconv, "--qxin", c.qxin_pattern};
  if (!c.run_options.empty()) command.insert(command.end(), {"--options", c.run_options});
  if (c.big_endian) command.push_back("--big-endian");
  return command;
}

// Says, for each case that the record holds but that is not done, why it is
// converted again, and how many cases the record does not hold at all.
void tell_reasons(const std::vector<Case>& cases, const std::vector<std::string>& reasons, const std::string& record) {
  std::size_t not_recorded = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (reasons[i] == not_recorded_reason) ++not_recorded;
    if (!reasons[i].empty() && reasons[i] != not_recorded_reason)
      std::fprintf(stderr, "qxbatch: converting %s again: %s\n", printable(cases[i].name).c_str(),
                   printable(reasons[i]).c_str());
  }
  if (not_recorded > 0)
    std::fprintf(stderr, "qxbatch: %s %s not in the record %s: converting %s\n", counted(not_recorded, "case").c_str(),
                 not_recorded == 1 ? "is" : "are", printable(record).c_str(), not_recorded == 1 ? "it" : "them");
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
  const CommandLimits limits{c.slurm_timeout, false};
  if (c.mode == Mode::collect) return collect_study(c.workdir, c.summary, c.quiet, {c.slurm_timeout, true});

  std::vector<std::string> options;
  if (const std::string e = check_run_options(c.run_options, options); !e.empty()) {
    std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
    return 2;
  }
  const std::string qxconv = find_qxconv(c.qxconv);
  if (qxconv.empty()) {
    std::fprintf(stderr, "qxbatch: %s\n",
                 c.qxconv.empty() ? "qxconv is neither beside qxbatch nor on PATH: give --qxconv PATH"
                                  : ("cannot run " + c.qxconv).c_str());
    return 2;
  }
  std::string version;
  if (const std::string e = ask_qxconv_version(qxconv, limits, version); !e.empty()) {
    std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
    return 2;
  }
  const RunSettings settings = run_settings(c, qxconv, options, version);
  if (c.mode == Mode::task) {
    std::error_code ec;
    const fs::path dir = fs::absolute(c.workdir, ec);
    return run_task(WorkDir{ec ? c.workdir : dir.string()}, settings, c.qxin_pattern);
  }

  if (!read_case_files(c.case_files, c.cases)) return 2;
  const Discovery found = discover_cases(c.cases, c.qxin_pattern);
  if (!c.quiet)
    for (const std::string& name : found.converted_files)
      std::fprintf(stderr, "qxbatch: passing over %s: a file that qxconv writes, not a case\n",
                   printable(name).c_str());
  const std::vector<Case>& cases = found.cases;
  if (cases.empty()) {
    std::fprintf(stderr, "qxbatch: %s (see qxbatch --help)\n",
                 c.cases.empty() ? "no cases given" : "no cases: every name given is a file that qxconv writes");
    return 2;
  }
  std::error_code ec;
  const std::string named_record = c.record.empty() ? default_record : c.record;
  const fs::path absolute_record = fs::absolute(named_record, ec);
  const std::string record_path = ec ? named_record : absolute_record.lexically_normal().string();
  RecordFile record;
  if (!c.dry_run)
    if (const std::string e = record.open(record_path); !e.empty()) {
      std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
      return 2;
    }
  RecordContents contents;
  std::vector<const RecordLine*> done(cases.size(), nullptr);
  if (c.skip_done) {
    if (const std::string e = read_study_record(record_path, c.dry_run ? nullptr : &record, contents, c.quiet);
        !e.empty()) {
      std::fprintf(stderr, "qxbatch: %s\n", e.c_str());
      return 2;
    }
    std::vector<std::string> reasons;
    done = find_done_cases(cases, settings.identity, contents, reasons);
    if (!c.quiet) tell_reasons(cases, reasons, record_path);
  }
  if (c.mode == Mode::submit)
    return submit_study(cases, done, task_command(c, qxconv),
                        {c.array_size, c.array_throttle, c.sbatch_args, c.workdir, c.wait, c.dry_run, c.summary,
                         c.quiet, limits},
                        record);

  const auto start = std::chrono::steady_clock::now();
  const BatchOutcome outcome = run_batch(cases, done, settings, record);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int status = conclude_batch(outcome.results, seconds, c.summary, c.quiet,
                                    outcome.stop.stop_launching() ? outcome.stop.exit_status() : 0);
  return status == 0 && !outcome.record_error.empty() ? 1 : status;
}
