#include "case_result.hpp"

#include <sys/wait.h>

#include <array>
#include <csignal>

#include "child_process.hpp"

namespace qxbatch {
namespace {

constexpr std::array<std::pair<Status, std::string_view>, status_count> status_words{{
    {Status::done, "done"},
    {Status::failed, "failed"},
    {Status::skipped, "skipped"},
    {Status::interrupted, "interrupted"},
    {Status::queued, "queued"},
    {Status::running, "running"},
}};

std::string_view trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The text of the last line that begins with "qxconv: ".
std::string last_qxconv_line(std::string_view err) {
  constexpr std::string_view prefix = "qxconv: ";
  std::string found;
  std::size_t start = 0;
  while (start < err.size()) {
    std::size_t end = err.find('\n', start);
    if (end == std::string_view::npos) end = err.size();
    const std::string_view line = err.substr(start, end - start);
    if (line.starts_with(prefix)) found = std::string(trim(line.substr(prefix.size())));
    start = end + 1;
  }
  return found;
}

}  // namespace

std::string_view status_word(Status s) {
  for (const auto& [status, word] : status_words)
    if (status == s) return word;
  return "failed";
}

bool parse_status(std::string_view word, Status& s) {
  for (const auto& [status, w] : status_words)
    if (w == word) {
      s = status;
      return true;
    }
  return false;
}

std::string dialogue_refusal(std::string_view out) {
  const std::size_t at = out.rfind("ERROR...");
  if (at == std::string_view::npos) return {};
  const std::size_t begin = out.rfind('\n', at) == std::string_view::npos ? 0 : out.rfind('\n', at) + 1;
  std::size_t end = out.find('\n', at);
  std::string text(trim(out.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin)));
  if (end != std::string_view::npos) {
    const std::size_t next_end = out.find('\n', end + 1);
    const std::string_view next = trim(out.substr(end + 1, next_end == std::string_view::npos ? std::string_view::npos
                                                                                              : next_end - end - 1));
    if (next.starts_with("file name =")) text += "; " + std::string(next);
  }
  return text;
}

void judge_run(const RunTrace& t, CaseResult& r) {
  const bool exited_0 = WIFEXITED(t.wait_status) && WEXITSTATUS(t.wait_status) == 0;
  r.error.clear();
  r.message.clear();
  if (exited_0 && t.list_rewritten && t.list.normal_end) {
    r.status = Status::done;
    return;
  }
  if (t.sent_sigterm && WIFSIGNALED(t.wait_status)) {
    r.status = Status::interrupted;
    r.message = "conversion stopped (" + describe_wait_status(t.wait_status) + ")";
    return;
  }
  r.status = Status::failed;
  if (t.list_rewritten && t.list.report.found) {
    r.error = t.list.report.number;
    r.message = t.list.report.message;
  } else if (std::string line = last_qxconv_line(t.err); !line.empty()) {
    r.message = line;
  } else if (std::string refusal = dialogue_refusal(t.out); !refusal.empty()) {
    r.message = refusal;
  } else if (exited_0) {
    r.message = t.list_rewritten ? "the list file does not end with NORMAL END" : "qxconv wrote no list file";
  } else {
    r.message = "qxconv ended with " + describe_wait_status(t.wait_status);
  }
}

}  // namespace qxbatch
