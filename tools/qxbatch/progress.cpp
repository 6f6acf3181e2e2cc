#include "progress.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "counted.hpp"
#include "printable.hpp"

namespace qxbatch {
namespace {

constexpr auto redraw_interval = std::chrono::milliseconds(200);

std::size_t terminal_width(std::FILE* f) {
  winsize w{};
  if (::ioctl(::fileno(f), TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
  return 80;
}

}  // namespace

ProgressMode default_progress_mode(bool quiet) {
  if (quiet) return ProgressMode::quiet;
  return ::isatty(STDERR_FILENO) ? ProgressMode::status_line : ProgressMode::lines;
}

std::string format_bytes(std::uint64_t bytes) {
  static constexpr const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
  double v = static_cast<double>(bytes);
  std::size_t u = 0;
  while (v >= 1024 && u + 1 < std::size(units)) {
    v /= 1024;
    ++u;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, u == 0 ? "%.0f %s" : "%.1f %s", v, units[u]);
  return buf;
}

std::string format_duration(double seconds) {
  const long s = std::max(0L, static_cast<long>(seconds + 0.5));
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

Progress::Progress(ProgressMode mode, std::size_t cases, std::uint64_t bytes_to_read, std::FILE* out)
    : mode_(mode), out_(out), cases_(cases), bytes_to_read_(bytes_to_read), start_(std::chrono::steady_clock::now()) {}

void Progress::case_ended(const CaseResult& r) {
  ++ended_;
  if (r.status == Status::failed) ++failed_;
  if (r.status == Status::done || r.status == Status::skipped) ++done_;
  finished_bytes_ += r.bytes_in;
  if (mode_ == ProgressMode::quiet) return;
  std::string line = "qxbatch: [" + std::to_string(ended_) + "/" + std::to_string(cases_) + "] " +
                     std::string(status_word(r.status)) + " " + printable(r.name);
  switch (r.status) {
    case Status::done:
      line += " in " + format_duration(r.seconds) + " (" + format_bytes(r.bytes_in) + " read, " +
              format_bytes(r.bytes_out) + " written)";
      break;
    case Status::skipped:
      line += " (converted before)";
      break;
    default:
      line += ": " + (r.error.empty() ? "" : r.error + " ") + printable(r.message);
  }
  // What qxconv said of a case that it converted: its warnings.
  const bool warned = r.status == Status::done && !r.err.empty();
  if (warned) line += "; qxconv said:\n  " + printable_lines(r.err, "\n  ");
  // On a terminal only what needs attention gets a line of its own.
  if (mode_ == ProgressMode::lines || warned || r.status == Status::failed || r.status == Status::interrupted)
    note(line);
}

void Progress::update(std::size_t running, std::uint64_t running_bytes) {
  running_ = running;
  running_bytes_ = running_bytes;
  draw(false);
}

void Progress::note(std::string_view text) {
  if (mode_ == ProgressMode::quiet) return;
  clear_line();
  std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(out_);
  // The status line comes back with the next update, when the counts are right again.
}

void Progress::show(const std::string& text) {
  if (text == shown_) return;
  shown_ = text;
  if (mode_ == ProgressMode::lines) note(text);
  draw(false);
}

void Progress::finish() {
  clear_line();
  mode_ = mode_ == ProgressMode::status_line ? ProgressMode::lines : mode_;
}

void Progress::clear_line() {
  if (!line_shown_) return;
  std::fputs("\r\x1b[K", out_);
  line_shown_ = false;
}

void Progress::draw(bool force) {
  if (mode_ != ProgressMode::status_line) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && line_shown_ && now - last_draw_ < redraw_interval) return;
  last_draw_ = now;
  if (!shown_.empty()) return write_line(shown_);
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const std::uint64_t read = finished_bytes_ + running_bytes_;
  std::string line = std::to_string(done_) + " done, " + std::to_string(failed_) + " failed, " +
                     std::to_string(running_) + " running of " + counted(cases_, "case") + " | " +
                     format_bytes(read) + " read";
  if (elapsed >= 1 && read > 0) {
    const double rate = static_cast<double>(read) / elapsed;
    line += ", " + format_bytes(static_cast<std::uint64_t>(rate)) + "/s";
    if (bytes_to_read_ > read) line += ", " + format_duration(static_cast<double>(bytes_to_read_ - read) / rate) + " left";
  }
  write_line(line);
}

void Progress::write_line(std::string line) {
  const std::size_t width = terminal_width(out_);
  if (line.size() >= width) line.resize(width - 1);
  std::fprintf(out_, "\r%s\x1b[K", line.c_str());
  std::fflush(out_);
  line_shown_ = true;
}

}  // namespace qxbatch
