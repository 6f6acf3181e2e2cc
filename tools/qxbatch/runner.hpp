// Runs the conversions of a study: one qxconv per case in the case's
// directory, at most `jobs` at a time, with the answers on its standard
// input and its standard output and error kept apart from the terminal.
// Each case is appended to the study record as soon as it ends.
#pragma once

#include <string>
#include <vector>

#include "case_list.hpp"
#include "case_result.hpp"
#include "progress.hpp"
#include "record_line.hpp"
#include "stop_signals.hpp"

namespace qxbatch {

class RecordFile;

struct RunSettings {
  std::string qxconv;                    // an absolute path
  std::vector<std::string> run_options;  // passed to every qxconv
  bool big_endian = false;
  ConversionSettings identity;           // recorded with every case
  unsigned jobs = 1;
  ProgressMode progress = ProgressMode::lines;
};

struct BatchOutcome {
  std::vector<CaseResult> results;  // one per case, in the order of the cases
  StopRequest stop;                 // the signals that stopped the batch, if any
  std::string record_error;         // the first failure to write the record
};

// Converts every case but those with a record line in `done_before` (the
// figures of the run that did them), which are passed over. Signals (see
// stop_signals.hpp) must be installed.
BatchOutcome run_batch(const std::vector<Case>& cases, const std::vector<const RecordLine*>& done_before,
                       const RunSettings& settings, RecordFile& record);

}  // namespace qxbatch
