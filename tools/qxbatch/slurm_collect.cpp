#include "slurm_collect.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <map>

#include "counted.hpp"
#include "stop_signals.hpp"
#include "study_record.hpp"
#include "summary.hpp"

namespace qxbatch {
namespace {

// The merged offsets, one "TASK OFFSET" line each.
std::map<std::size_t, std::size_t> read_offsets(std::string_view text) {
  std::map<std::size_t, std::size_t> offsets;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    const std::size_t blank = line.find(' ');
    std::size_t task = 0, offset = 0;
    if (blank != std::string_view::npos &&
        std::from_chars(line.data(), line.data() + blank, task).ec == std::errc{} &&
        std::from_chars(line.data() + blank + 1, line.data() + line.size(), offset).ec == std::errc{})
      offsets[task] = offset;
    start = end + 1;
  }
  return offsets;
}

// The last line of each case of one task record, by the case's name.
std::map<std::string, RecordLine> task_lines(const std::string& path) {
  RecordContents contents;
  std::map<std::string, RecordLine> by_name;
  if (!read_record(path, contents).empty()) return by_name;
  for (RecordLine& l : contents.lines) {
    const auto it = by_name.find(l.result.name);
    if (it == by_name.end() || it->second.ended <= l.ended) by_name[l.result.name] = std::move(l);
  }
  return by_name;
}

// A case of task `task` that its record does not hold.
CaseResult without_line(const std::string& name, std::size_t task, const std::string& job, const WorkDir& w,
                        const JobStates& states) {
  CaseResult r;
  r.name = name;
  const std::string which = "Slurm task " + std::to_string(task) + " of job " + job;
  const TaskState* t = states.find(task);
  if (t && t->phase == TaskPhase::queued) {
    r.status = Status::queued;
    r.message = which + " is " + (t->reason.empty() ? "pending" : "pending (" + t->reason + ")");
    return r;
  }
  if (t && t->phase == TaskPhase::running && !exists(w.task_end(task))) {
    r.status = Status::running;
    r.message = "in " + which + ", which is running";
    return r;
  }
  r.status = Status::interrupted;
  const std::string see = exists(w.task_output(job, task)) ? " (see " + w.task_output(job, task) + ")" : "";
  if (t || exists(w.task_end(task)) || (states.asked && !states.job_known))
    r.message = "not run: " + which + " ended" + (t ? " (" + t->state + ")" : "") + " before converting it" + see;
  else
    r.message = "not run: " + which + " left no record of it, and Slurm could not say whether the task still runs (" +
                (states.asked ? "it does not know the task" : states.error) + ")";
  return r;
}

}  // namespace

std::string merge_task_records(const WorkDir& w, std::size_t tasks, RecordFile& record, std::size_t& lines_merged) {
  lines_merged = 0;
  // One merge at a time: the lock is on the file of offsets.
  const int fd = ::open(w.merged_file().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return "cannot open " + w.merged_file() + ": " + std::strerror(errno);
  std::string error;
  if (::flock(fd, LOCK_EX) != 0) error = "cannot lock " + w.merged_file() + ": " + std::strerror(errno);
  std::string text;
  if (error.empty()) error = read_text_file(w.merged_file(), text);
  std::map<std::size_t, std::size_t> offsets = read_offsets(text);
  bool moved = false;
  for (std::size_t task = 0; error.empty() && task < tasks; ++task) {
    std::string content;
    if (!exists(w.task_record(task)) || !read_text_file(w.task_record(task), content).empty()) continue;
    std::size_t& offset = offsets[task];
    const std::size_t end = content.rfind('\n') == std::string::npos ? 0 : content.rfind('\n') + 1;
    if (offset >= end) continue;
    std::string lines;
    for (std::size_t start = offset; start < end;) {
      const std::size_t stop = content.find('\n', start);
      const std::string_view line(content.data() + start, stop - start);
      RecordLine parsed;
      if (parse_record_line(line, parsed)) {
        lines.append(line).push_back('\n');
        ++lines_merged;
      }
      start = stop + 1;
    }
    if (!lines.empty()) error = record.append(lines);
    if (error.empty()) {
      offset = end;
      moved = true;
    }
  }
  std::string out;
  for (const auto& [task, offset] : offsets) out += std::to_string(task) + " " + std::to_string(offset) + "\n";
  if (moved && (::ftruncate(fd, 0) != 0 || ::pwrite(fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())))
    if (error.empty()) error = "cannot write " + w.merged_file() + ": " + std::strerror(errno);
  ::close(fd);
  return error;
}

std::string read_study_record(const std::string& path, RecordFile* record, RecordContents& contents, bool quiet) {
  if (std::string e = read_record(path, contents); !e.empty()) return e;
  std::size_t merged = 0;
  for (const std::string& dir : contents.workdirs) {
    const WorkDir w{dir};
    std::vector<std::string> names;
    std::size_t tasks = 0, n = 0;
    if (!exists(w.cases_file()) || !read_case_list(w, names, tasks).empty()) continue;
    if (record) {
      if (merge_task_records(w, tasks, *record, n).empty()) merged += n;
      continue;
    }
    for (std::size_t task = 0; task < tasks; ++task) {
      RecordContents lines;
      if (read_record(w.task_record(task), lines).empty())
        contents.lines.insert(contents.lines.end(), lines.lines.begin(), lines.lines.end());
    }
  }
  if (merged > 0)
    if (std::string e = read_record(path, contents); !e.empty()) return e;
  if (contents.damaged > 0 && !quiet)
    say(path + ": passing over " + counted(contents.damaged, "line") + (contents.damaged == 1 ? " that is" : " that are") +
        " not whole");
  return {};
}

std::string collect_results(const WorkDir& w, const std::string& job_id, const JobStates& states,
                            std::vector<CaseResult>& results) {
  std::vector<std::string> names;
  std::size_t tasks = 0;
  if (std::string e = read_case_list(w, names, tasks); !e.empty()) return e;
  const std::string job = job_id.empty() ? "?" : job_id;
  results.clear();
  for (std::size_t task = 0; task < tasks; ++task) {
    const std::map<std::string, RecordLine> lines = task_lines(w.task_record(task));
    for (std::size_t i = slice_begin(task, tasks, names.size()); i < slice_begin(task + 1, tasks, names.size()); ++i) {
      if (const auto it = lines.find(names[i]); it != lines.end())
        results.push_back(it->second.result);
      else
        results.push_back(without_line(names[i], task, job, w, states));
    }
  }
  RecordContents skipped;
  if (exists(w.skipped_file())) {
    if (std::string e = read_record(w.skipped_file(), skipped); !e.empty()) return e;
    for (const RecordLine& l : skipped.lines) {
      results.push_back(l.result);
      results.back().status = Status::skipped;
    }
  }
  return {};
}

int collect_study(const std::string& workdir, const std::string& summary, bool quiet, const CommandLimits& limits) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(workdir, ec);
  const WorkDir w{ec ? workdir : absolute.lexically_normal().string()};
  std::vector<std::string> names;
  std::size_t tasks = 0;
  if (const std::string e = read_case_list(w, names, tasks); !e.empty()) {
    say(e);
    return 2;
  }
  // The study record takes in what the tasks have recorded so far.
  std::string record_text;
  const std::string record_path = read_text_file(w.record_file(), record_text).empty() ? first_line(record_text) : "";
  if (!record_path.empty()) {
    RecordFile record;
    std::size_t merged = 0;
    std::string e = record.open(record_path);
    if (e.empty()) e = merge_task_records(w, tasks, record, merged);
    if (!e.empty()) say("the study record does not take in this job's cases: " + e);
  }
  // Slurm is asked only about a job with a task that has not told its end.
  bool all_ended = true;
  for (std::size_t task = 0; task < tasks; ++task) all_ended = all_ended && exists(w.task_end(task));
  const std::string job = w.job_id();
  JobStates states;
  if (all_ended) {
    states.asked = true;
  } else if (!job.empty()) {
    states = ask_job_states(job, tasks, limits);
    if (const StopRequest stop = take_stop_request(); stop.stop_launching()) {
      say("interrupted; nothing collected");
      return stop.exit_status();
    }
  } else {
    states.error = "no job id in " + w.job_file();
  }
  std::vector<CaseResult> results;
  if (const std::string e = collect_results(w, job, states, results); !e.empty()) {
    say(e);
    return 2;
  }
  // The tasks' wall time is Slurm's to tell.
  return conclude_batch(results, -1, summary, quiet, 0);
}

}  // namespace qxbatch
