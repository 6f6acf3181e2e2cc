// Runs the conversions of a study: one qxconv per case in the case's
// directory, at most `jobs` at a time, with the answers on its standard
// input and its standard output and error kept apart from the terminal.
#pragma once

#include <string>
#include <vector>

#include "case_list.hpp"
#include "case_result.hpp"
#include "progress.hpp"
#include "stop_signals.hpp"

namespace qxbatch {

struct RunSettings {
  std::string qxconv;                    // an absolute path
  std::vector<std::string> run_options;  // passed to every qxconv
  bool big_endian = false;
  bool skip_done = false;
  unsigned jobs = 1;
  ProgressMode progress = ProgressMode::lines;
};

struct BatchOutcome {
  std::vector<CaseResult> results;  // one per case, in the order of the cases
  StopRequest stop;                 // the signals that stopped the batch, if any
};

// A case whose list file ends with NORMAL END and is newer than every input.
bool converted_before(const Case& c);

// Converts every case. Signals (see stop_signals.hpp) must be installed.
BatchOutcome run_batch(const std::vector<Case>& cases, const RunSettings& settings);

}  // namespace qxbatch
