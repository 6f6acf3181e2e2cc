// What qxbatch tells while it works, on standard error: on a terminal one
// status line kept up to date (cases done, failed and running of the total,
// bytes read, rate, time left) with failures printed above it; otherwise
// one plain line per finished case; nothing with -q.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "case_result.hpp"

namespace qxbatch {

enum class ProgressMode { quiet, lines, status_line };

// The status line on a terminal, plain lines elsewhere.
ProgressMode default_progress_mode(bool quiet);

// 1.5 MiB, 12 KiB, 900 B.
std::string format_bytes(std::uint64_t bytes);
// 0:07, 1:02:03.
std::string format_duration(double seconds);

class Progress {
 public:
  Progress(ProgressMode mode, std::size_t cases, std::uint64_t bytes_to_read, std::FILE* out = stderr);

  // Counts a case and, as the mode asks, gives it a line; the status line
  // is drawn by update().
  void case_ended(const CaseResult& r);
  // `running` conversions have read `running_bytes` so far; the line is
  // redrawn at most a few times a second.
  void update(std::size_t running, std::uint64_t running_bytes);
  // A line of its own, above the status line, which is drawn again at the
  // next update.
  void note(std::string_view text);
  // Shows `text` as the status line instead of the counts; in plain lines
  // only when it changed.
  void show(const std::string& text);
  // Removes the status line.
  void finish();

  std::size_t ended() const { return ended_; }

 private:
  void draw(bool force);
  void clear_line();
  void write_line(std::string line);

  ProgressMode mode_;
  std::FILE* out_;
  std::size_t cases_, ended_ = 0, done_ = 0, failed_ = 0, running_ = 0;
  std::uint64_t bytes_to_read_, finished_bytes_ = 0, running_bytes_ = 0;
  std::chrono::steady_clock::time_point start_, last_draw_{};
  bool line_shown_ = false;
  std::string shown_;  // the text of show(), if any
};

}  // namespace qxbatch
