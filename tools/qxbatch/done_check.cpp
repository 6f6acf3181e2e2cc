#include "done_check.hpp"

#include "case_files.hpp"

namespace qxbatch {
namespace {

std::string changed(const std::string& what, const std::string& before, const std::string& now) {
  const auto shown = [](const std::string& s) { return s.empty() ? std::string("none") : s; };
  return what + " changed (" + shown(before) + ", now " + shown(now) + ")";
}

// The name of each input as the reasons show it.
std::string input_name(const Case& c, const CaseInputs& in, int i) {
  return i == input_qxin ? in.qxin : c.base + std::string(result_suffixes[i - input_tp18]);
}

}  // namespace

CaseInputs inputs_now(const Case& c) {
  CaseInputs in;
  in.qxin = c.qxin;
  in.marks[input_qxin] = input_mark(c.qxin_path());
  for (int i = input_tp18; i < input_count; ++i)
    in.marks[i] = input_mark(c.path(std::string(result_suffixes[i - input_tp18])));
  return in;
}

std::string rerun_reason(const Case& c, const ConversionSettings& s, const RecordLine* last) {
  if (!last) return std::string(not_recorded_reason);
  if (last->result.status == Status::failed) return "it failed before";
  if (last->result.status != Status::done) return "it was stopped before";
  if (last->settings.qxconv != s.qxconv) return changed("qxconv", last->settings.qxconv, s.qxconv);
  if (last->settings.options != s.options) return changed("options", last->settings.options, s.options);
  if (last->settings.byte_order != s.byte_order)
    return changed("byte order", last->settings.byte_order, s.byte_order);
  const CaseInputs now = inputs_now(c);
  if (last->qxin != now.qxin) return changed("input data file", last->qxin, now.qxin);
  for (int i = 0; i < input_count; ++i) {
    const InputMark &was = last->inputs[i], &is = now.marks[i];
    if (was == is) continue;
    const std::string name = input_name(c, now, i);
    if (!is.exists) return "input gone (" + name + ")";
    return (was.exists ? "input changed (" : "input appeared (") + name + ")";
  }
  for (const OutputMark& o : last->outputs) {
    const FileState is = file_state(c.path(o.suffix));
    if (!is.exists) return "output missing (" + c.base + o.suffix + ")";
    if (is.size != o.size || is.mtime_ns != o.mtime_ns) return "output changed (" + c.base + o.suffix + ")";
  }
  return {};
}

std::vector<const RecordLine*> find_done_cases(const std::vector<Case>& cases, const ConversionSettings& settings,
                                               const RecordContents& record, std::vector<std::string>& reasons) {
  const auto last = last_lines(record);
  std::vector<const RecordLine*> done(cases.size(), nullptr);
  reasons.assign(cases.size(), {});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    if (!c.problem.empty()) continue;
    const auto it = last.find(c.key);
    reasons[i] = rerun_reason(c, settings, it == last.end() ? nullptr : it->second);
    if (reasons[i].empty()) done[i] = it->second;
  }
  return done;
}

}  // namespace qxbatch
