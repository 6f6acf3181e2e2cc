#include "case_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "io/os_file.hpp"

namespace qxbatch {
namespace {

// The report is at most two lines of 256 characters; NORMAL END is shorter.
constexpr std::size_t tail_bytes = 4096;

std::int64_t nanoseconds(const timespec& t) { return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; }

std::string_view trim(std::string_view s, std::string_view chars = " ") {
  const std::size_t first = s.find_first_not_of(chars);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(chars) - first + 1);
}

std::string squeeze_blanks(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != ' ' || out.empty() || out.back() != ' ') out.push_back(c);
  return out;
}

// "  **** ERROR NO." then the number in five columns and the message, or
// "UNKNOWN"; the line after it, if any, is the extra text.
ListReport parse_report(std::string_view tail) {
  constexpr std::string_view head = "  **** ERROR NO.";
  ListReport r;
  std::size_t at = tail.rfind(std::string("\n").append(head));
  if (at == std::string_view::npos) {
    if (!tail.starts_with(head)) return r;
    at = 0;
  } else {
    ++at;
  }
  std::string_view rest = tail.substr(at + head.size());
  const std::size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  std::string_view extra = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  extra = extra.substr(0, extra.find('\n'));
  r.found = true;
  if (line.starts_with("UNKNOWN")) {
    r.message = "ERROR NO.UNKNOWN";
  } else {
    r.number = std::string(trim(line.substr(0, std::min<std::size_t>(5, line.size()))));
    r.message = std::string(trim(trim(line.size() > 5 ? line.substr(5) : std::string_view{}), " *"));
  }
  const std::string_view extra_text = trim(trim(extra), " *");
  if (!extra_text.empty()) r.message += "; " + squeeze_blanks(extra_text);
  return r;
}

}  // namespace

FileState file_state(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino, static_cast<std::uint64_t>(st.st_size), nanoseconds(st.st_mtim),
          nanoseconds(st.st_ctim)};
}

std::vector<FileState> output_states(const std::string& dir, const std::string& base) {
  std::vector<FileState> states;
  for (std::string_view suffix : output_suffixes) states.push_back(file_state(dir + "/" + base + std::string(suffix)));
  return states;
}

std::uint64_t bytes_written(const std::vector<FileState>& before, const std::vector<FileState>& after) {
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < after.size(); ++i)
    if (after[i].exists && (i >= before.size() || !(after[i] == before[i]))) total += after[i].size;
  return total;
}

ListEnd read_list_end(const std::string& path) {
  ListEnd end;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return end;
  struct stat st {};
  std::string tail;
  if (::fstat(fd, &st) == 0) {
    const off_t from = st.st_size > static_cast<off_t>(tail_bytes) ? st.st_size - static_cast<off_t>(tail_bytes) : 0;
    tail.resize(static_cast<std::size_t>(st.st_size - from));
    const long long n = qx::os::read_at(fd, static_cast<std::uint64_t>(from), tail.data(), tail.size());
    const std::size_t got = n > 0 ? static_cast<std::size_t>(n) : 0;
    end.readable = got == tail.size();
    tail.resize(got);
    // A tail that begins inside a line must not be taken for a whole line.
    if (from > 0) tail.erase(0, tail.find('\n') == std::string::npos ? tail.size() : tail.find('\n') + 1);
  }
  ::close(fd);
  if (!end.readable) return end;
  end.normal_end = tail == "NORMAL END\n" || tail.ends_with("\nNORMAL END\n");
  end.report = parse_report(tail);
  return end;
}

}  // namespace qxbatch
