// How a case ended: the row of the summary, and how it is judged from what a
// qxconv run left behind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "case_files.hpp"

namespace qxbatch {

// done, failed, skipped and interrupted end a case; queued and running are
// what Slurm says of a case whose task has not ended.
enum class Status { done, failed, skipped, interrupted, queued, running };
inline constexpr int status_count = 6;

std::string_view status_word(Status s);
bool parse_status(std::string_view word, Status& s);

struct CaseResult {
  std::string name;
  Status status = Status::failed;
  std::string error;    // the error number of the list file's report, empty if none
  std::string message;  // why it failed or was stopped; empty when done
  double seconds = 0;
  std::uint64_t bytes_in = 0, bytes_out = 0;
  std::string err;      // what qxconv said on standard error (its end)
};

// What one run of qxconv left.
struct RunTrace {
  int wait_status = 0;
  bool list_rewritten = false;  // the list file was written by this run
  ListEnd list;
  std::string out, err;         // the ends of its standard output and error
  bool sent_sigterm = false;    // qxbatch ended it
};

// Done only with exit status 0 and a list file of this run that ends with
// NORMAL END. The reason of a failure is taken from the list file's report,
// else from qxconv's last "qxconv: " line on standard error, else from the
// dialogue's refusal on standard output, else from how the program ended.
void judge_run(const RunTrace& trace, CaseResult& result);

// The refusal of the dialogue in a run's standard output, empty if none:
// the "ERROR..." line and the file name line after it.
std::string dialogue_refusal(std::string_view out);

}  // namespace qxbatch
