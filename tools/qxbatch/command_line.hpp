// The command line of qxbatch: its options as a table, parsed into
// CommandLine, and the help text made from the same table.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qxbatch {

enum class Mode { convert, submit, task, collect };

struct CommandLine {
  Mode mode = Mode::convert;
  bool help = false, version = false;
  std::vector<std::string> cases;
  std::vector<std::string> case_files;  // --from
  unsigned jobs = 0;                    // 0: one per processor
  std::string run_options;              // --options, as given
  bool big_endian = false;
  std::string qxin_pattern;
  bool skip_done = false;
  std::string record;   // --record; empty for the default
  std::string summary;
  std::string qxconv;
  bool quiet = false;
  // Slurm
  unsigned array_size = 0, array_throttle = 0;  // 0: the default
  std::vector<std::string> sbatch_args;
  std::string workdir;  // --workdir, or the DIR of --collect and of a task
  bool wait = false;
  bool dry_run = false;
  double slurm_timeout = 60;  // seconds a Slurm command may take
};

// Empty on success, else what is wrong. Long options may be shortened to a
// prefix that names one.
std::string parse_command_line(int argc, char* const* argv, CommandLine& c);

void print_help(std::FILE* out);

}  // namespace qxbatch
