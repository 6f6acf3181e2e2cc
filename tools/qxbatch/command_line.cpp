#include "command_line.hpp"

#include <charconv>
#include <string_view>

#include "case_list.hpp"
#include "job_script.hpp"
#include "summary.hpp"
#include "common/command_line.hpp"

namespace qxbatch {
namespace {

bool parse_count(std::string_view text, unsigned& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size() && value > 0;
}

bool parse_seconds(std::string_view text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size() && value > 0 && value <= 86400;
}

using Option = qxtools::Option<CommandLine>;

constexpr std::string_view ok{};

// The modes are one at a time: --slurm, --collect and --slurm-task may each
// be repeated, never mixed.
std::string set_mode(CommandLine& c, Mode mode) {
  if (c.mode != Mode::convert && c.mode != mode) return "--slurm, --collect and --slurm-task exclude each other";
  c.mode = mode;
  return {};
}

constexpr Option option_table[] = {
    {"-j, --jobs", "N", "conversions at a time (default: the number of\nprocessors)",
     [](CommandLine& c, std::string_view v) -> std::string {
       return parse_count(v, c.jobs) ? std::string(ok) : "-j takes a number of conversions, not '" + std::string(v) + "'";
     }},
    {"--options", "'OPTS'", "run options for every qxconv, e.g. '-wave -maxr'",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.run_options = v;
       return {};
     }},
    {"--big-endian", "", "converted binary files big-endian (answer Yes\nat question (3))",
     [](CommandLine& c, std::string_view) -> std::string {
       c.big_endian = true;
       return {};
     }},
    {"--qxin", "PATTERN",
     "the input data file of each case, in the case's\ndirectory: {} stands for the case's name, and a\n"
     "pattern with *, ? or [ must match one file\n(default: {}.qxin)",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.qxin_pattern = v;
       return v.empty() ? "--qxin needs a pattern" : "";
     }},
    {"--skip-done", "", "pass over the cases that the record holds as\ndone with the inputs and settings they have\n"
     "now; say why each other case is converted\nagain",
     [](CommandLine& c, std::string_view) -> std::string {
       c.skip_done = true;
       return {};
     }},
    {"--record", "FILE", "the study record, to which each case is\nappended as it ends (default:\nqxbatch-record.tsv here)",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.record = v;
       return v.empty() ? "--record needs a file name" : "";
     }},
    {"--summary", "FILE", "write one row per case, its last outcome, to\nFILE: CSV (FILE.csv) or JSON lines (FILE.jsonl,\nFILE.json)",
     [](CommandLine& c, std::string_view v) -> std::string {
       SummaryFormat f;
       c.summary = v;
       return summary_format_of(v, f) ? "" : "--summary FILE must end in .csv, .jsonl or .json";
     }},
    {"--from", "FILE", "read more cases from FILE, one per line (- for\nstandard input)",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.case_files.emplace_back(v);
       return {};
     }},
    {"--qxconv", "PATH", "the converter to run (default: qxconv beside\nqxbatch, else on PATH)",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.qxconv = v;
       return {};
     }},
    {"-q, --quiet", "", "no progress; only the failures and errors",
     [](CommandLine& c, std::string_view) -> std::string {
       c.quiet = true;
       return {};
     }},
    {"--slurm", "", "submit the cases to Slurm as one job array\n(with --skip-done: those not done)",
     [](CommandLine& c, std::string_view) { return set_mode(c, Mode::submit); }},
    {"--array-size", "N[%M]",
     "with --slurm: N array tasks, each converting a\nslice of the cases (default: one per case, at\n"
     "most 1000); %M runs at most M of them at once",
     [](CommandLine& c, std::string_view v) -> std::string {
       const std::size_t percent = v.find('%');
       if (parse_count(v.substr(0, percent), c.array_size) &&
           (percent == std::string_view::npos || parse_count(v.substr(percent + 1), c.array_throttle)))
         return {};
       return "--array-size takes N or N%M, not '" + std::string(v) + "'";
     }},
    {"--sbatch", "ARG", "with --slurm: pass ARG to sbatch (repeatable),\ne.g. --sbatch=--partition=long",
     [](CommandLine& c, std::string_view v) -> std::string {
       if (v == "-a" || v.starts_with("--array") || (v.starts_with("-a") && v.size() > 2))
         return "the array is qxbatch's: give --array-size instead of --sbatch " + std::string(v);
       if (std::string problem = sbatch_word_problem(std::string(v)); !problem.empty()) return "--sbatch " + problem;
       c.sbatch_args.emplace_back(v);
       return {};
     }},
    {"--workdir", "DIR",
     "with --slurm: the work directory for the case\nlist, job script, task records and Slurm's\n"
     "output (default: a new qxbatch-DATE-TIME here)",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.workdir = v;
       return {};
     }},
    {"--wait", "", "with --slurm: wait for the job to end, then\ncollect",
     [](CommandLine& c, std::string_view) -> std::string {
       c.wait = true;
       return {};
     }},
    {"--dry-run", "", "with --slurm: print the sbatch command and the\njob script; submit nothing",
     [](CommandLine& c, std::string_view) -> std::string {
       c.dry_run = true;
       return {};
     }},
    {"--slurm-timeout", "S", "give up a Slurm command (sbatch, squeue, sacct)\nthat takes more than S seconds (default: 60)",
     [](CommandLine& c, std::string_view v) -> std::string {
       return parse_seconds(v, c.slurm_timeout) ? std::string(ok)
                                               : "--slurm-timeout takes seconds, not '" + std::string(v) + "'";
     }},
    {"--collect", "DIR", "report the job submitted with work directory\nDIR: its cases from the tasks' records, or\n"
     "queued or running as Slurm says",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.workdir = v;
       return set_mode(c, Mode::collect);
     }},
    {"--slurm-task", "DIR", "(run by the job script) convert this array\ntask's slice of DIR's case list",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.workdir = v;
       return set_mode(c, Mode::task);
     }},
    {"-h, --help", "", "show this text",
     [](CommandLine& c, std::string_view) -> std::string {
       c.help = true;
       return {};
     }},
    {"--version", "", "show the version",
     [](CommandLine& c, std::string_view) -> std::string {
       c.version = true;
       return {};
     }},
};

constexpr std::string_view help_head =
    "usage: qxbatch [options] CASE...\n"
    "       qxbatch --slurm [--array-size N] [--sbatch ARG]... [--wait | --dry-run] [options] CASE...\n"
    "       qxbatch --collect DIR [--summary FILE]\n"
    "\n"
    "Converts the cases of a study with qxconv: one run per case, in the\n"
    "case's directory, with the answers of its dialogue on its standard\n"
    "input. A CASE is a base name (DIR/NAME, with or without .TP18, .TP19 or\n"
    ".qxin) or a directory that holds one case. A case is converted once,\n"
    "however often it is named; a file that qxconv writes is no case.\n"
    "Each case is appended to the study record as soon as it ends.\n"
    "\n"
    "options:\n";

constexpr std::string_view help_tail =
    "\n"
    "Progress goes to standard error: one status line on a terminal, one line\n"
    "per case otherwise. At the end a table gives the reason of each failed\n"
    "case, from its list file or from qxconv. A first Ctrl-C starts no more\n"
    "conversions and lets the running ones end; a second one stops them.\n"
    "\n"
    "Exit status: 0 when every case ended with NORMAL END (or was passed over\n"
    "by --skip-done), 1 when a case failed or was not converted, 2 for a wrong\n"
    "command line or a job that could not be submitted, 3 from --collect while\n"
    "cases are queued or running, 128 + the signal (130 for Ctrl-C) when a\n"
    "signal stopped the batch.\n";

}  // namespace

void print_help(std::FILE* out) {
  std::fwrite(help_head.data(), 1, help_head.size(), out);
  qxtools::print_options<CommandLine>(out, option_table);
  std::fwrite(help_tail.data(), 1, help_tail.size(), out);
}

std::string parse_command_line(int argc, char* const* argv, CommandLine& c) {
  if (std::string error = qxtools::parse_command_line<CommandLine>(
          argc, argv, option_table, c,
          [](CommandLine& c, std::string_view operand) -> std::string {
            c.cases.emplace_back(operand);
            return {};
          });
      !error.empty())
    return error;
  if (c.help || c.version) return {};
  if (c.qxin_pattern.empty()) c.qxin_pattern = default_qxin_pattern;
  const bool slurm = c.mode == Mode::submit;
  if (!slurm && (c.array_size || !c.sbatch_args.empty() || c.wait || c.dry_run ||
                 (!c.workdir.empty() && c.mode == Mode::convert)))
    return "--array-size, --sbatch, --workdir, --wait and --dry-run go with --slurm";
  if ((c.mode == Mode::collect || c.mode == Mode::task) && (!c.record.empty() || c.skip_done))
    return "--record and --skip-done do not go with --collect and --slurm-task: a submission names its record";
  if (slurm && c.jobs)
    return "-j does not apply to --slurm: each task runs as many conversions as it has processors "
           "(--sbatch=--cpus-per-task=N)";
  if (slurm && !c.summary.empty() && !c.wait) return "--summary with --slurm needs --wait (or give it to --collect)";
  if ((c.mode == Mode::collect || c.mode == Mode::task) && (!c.cases.empty() || !c.case_files.empty()))
    return "--collect and --slurm-task take their cases from the work directory";
  return {};
}

}  // namespace qxbatch
