#include "slurm_workdir.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "counted.hpp"

namespace qxbatch {
namespace {

namespace fs = std::filesystem;

// sbatch replaces %-patterns in its --output name; a literal % is doubled.
std::string escape_percent(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '%') out.push_back('%');
    out.push_back(c);
  }
  return out;
}

}  // namespace

std::string WorkDir::output_pattern() const { return escape_percent(path) + "/slurm-%A_%a.out"; }

std::string WorkDir::task_output(const std::string& job, std::size_t task) const {
  return path + "/slurm-" + job + "_" + std::to_string(task) + ".out";
}

std::string WorkDir::job_id() const {
  std::string text;
  if (!read_text_file(job_file(), text).empty()) return {};
  return first_line(text);
}

void say(const std::string& text) { std::fprintf(stderr, "qxbatch: %s\n", text.c_str()); }

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string first_line(std::string_view text) {
  text = text.substr(0, text.find('\n'));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
  return std::string(text);
}

std::size_t slice_begin(std::size_t task, std::size_t tasks, std::size_t cases) {
  return tasks == 0 ? 0 : static_cast<std::size_t>(static_cast<unsigned long long>(task) * cases / tasks);
}

std::string write_text_file(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(text.data(), static_cast<std::streamsize>(text.size()));
  f.close();
  if (!f) return "cannot write " + path + ": " + std::strerror(errno);
  return {};
}

std::string read_text_file(const std::string& path, std::string& text) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return "cannot read " + path + ": " + std::strerror(errno);
  std::ostringstream s;
  s << f.rdbuf();
  text = s.str();
  return {};
}

std::string write_case_list(const WorkDir& w, const std::vector<std::string>& names, std::size_t tasks) {
  std::string list;
  for (const std::string& n : names) list += n + '\0';
  if (std::string e = write_text_file(w.cases_file(), list); !e.empty()) return e;
  return write_text_file(w.tasks_file(), std::to_string(tasks) + "\n");
}

std::string read_case_list(const WorkDir& w, std::vector<std::string>& names, std::size_t& tasks) {
  std::string list, count;
  if (std::string e = read_text_file(w.cases_file(), list); !e.empty()) return e;
  if (std::string e = read_text_file(w.tasks_file(), count); !e.empty()) return e;
  names.clear();
  for (std::size_t start = 0; start < list.size();) {
    const std::size_t end = list.find('\0', start);
    if (end == std::string::npos) return w.cases_file() + ": the last name is not ended";
    names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), tasks);
  if (ec != std::errc{} || tasks == 0 || tasks > names.size() || (end != count.data() + count.size() && *end != '\n'))
    return w.tasks_file() + ": not a number of tasks for " + counted(names.size(), "case");
  return {};
}

std::string make_work_dir(const std::string& requested, bool make, WorkDir& w) {
  std::error_code ec;
  std::string dir = requested;
  if (!requested.empty()) {
    if (make && ::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
      return "cannot make " + dir + ": " + std::strerror(errno);
    if (fs::exists(dir + "/cases", ec)) return dir + " holds an earlier submission: choose another --workdir";
  } else {
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "qxbatch-%Y%m%d-%H%M%S", std::localtime(&now));
    for (int n = 1;; ++n) {
      dir = n == 1 ? std::string(stamp) : std::string(stamp) + "-" + std::to_string(n);
      if (!make && !fs::exists(dir, ec)) break;
      if (make && ::mkdir(dir.c_str(), 0777) == 0) break;
      if (make && errno != EEXIST) return "cannot make " + dir + ": " + std::strerror(errno);
    }
  }
  const fs::path absolute = make ? fs::canonical(dir, ec) : fs::absolute(dir, ec).lexically_normal();
  if (ec) return "cannot find " + dir + ": " + ec.message();
  w.path = absolute.string();
  if (w.path.size() > 1 && w.path.back() == '/') w.path.pop_back();
  if (w.path.find('\n') != std::string::npos) return "the work directory " + dir + " has a line break in its path, which a job script cannot name";
  return {};
}

}  // namespace qxbatch
