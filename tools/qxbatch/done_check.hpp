// Whether a case is done: its last record line ended with NORMAL END for the
// inputs it has now (each one's size, modification time and change time),
// the same qxconv, options and byte order, and the outputs that run wrote
// are still as it left them. Anything else is converted again, for a reason
// that is told.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "case_list.hpp"
#include "record_line.hpp"
#include "study_record.hpp"

namespace qxbatch {

// The inputs of a case as they are now: answer (1) and each input file.
struct CaseInputs {
  std::string qxin;
  std::array<InputMark, input_count> marks;
};
CaseInputs inputs_now(const Case& c);

// The reason of a case that the record does not hold.
inline constexpr std::string_view not_recorded_reason = "not in the record";

// Empty when the case is done; else why it is converted again ("input
// changed (c1.TP18)", "options changed (-wave, now -wave -maxr)", ...).
std::string rerun_reason(const Case& c, const ConversionSettings& settings, const RecordLine* last);

// For --skip-done: the last record line of each case that is done, null for
// each case to convert; the reason of each case to convert in `reasons`.
std::vector<const RecordLine*> find_done_cases(const std::vector<Case>& cases, const ConversionSettings& settings,
                                               const RecordContents& record, std::vector<std::string>& reasons);

}  // namespace qxbatch
