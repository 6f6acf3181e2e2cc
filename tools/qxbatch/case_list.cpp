#include "case_list.hpp"

#include <glob.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>

#include "answers.hpp"
#include "case_files.hpp"

namespace qxbatch {
namespace {

namespace fs = std::filesystem;

bool is_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// As qxconv tests a named file: it exists and is not a directory.
bool is_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// The base names of the result files in a directory listing; converted
// files, which end the same way, are not result files.
std::set<std::string> result_bases(const std::vector<std::string>& names, const std::string& dir) {
  std::set<std::string> bases;
  for (const std::string& n : names) {
    bool output = false;
    for (std::string_view s : output_suffixes) output = output || std::string_view(n).ends_with(s);
    for (std::string_view s : result_suffixes)
      if (!output && n.size() > s.size() && n.ends_with(s) && is_file(dir + "/" + n))
        bases.insert(n.substr(0, n.size() - s.size()));
  }
  return bases;
}

std::string join(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

// A directory argument: the one case it holds, by its result files, or by
// its one input data file when it has none.
void find_case_in_directory(Case& c, const std::string& dir) {
  c.dir = dir;
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  if (ec) {
    c.problem = "cannot read the directory: " + ec.message();
    return;
  }
  std::set<std::string> bases = result_bases(names, dir);
  if (bases.empty())
    for (const std::string& n : names)
      if (n.size() > 5 && n.ends_with(".qxin") && is_file(dir + "/" + n)) bases.insert(n.substr(0, n.size() - 5));
  if (bases.empty()) {
    c.problem = "no result file (*.TP18, *.TP19) in the directory";
  } else if (bases.size() > 1) {
    c.problem = "the directory holds " + std::to_string(bases.size()) + " cases (" + join(bases) +
                "): give each as DIR/NAME";
  } else {
    c.base = *bases.begin();
  }
}

// The base name that an argument names: its last part without the ending
// of an input.
std::string base_of(std::string_view argument) {
  const std::size_t slash = argument.rfind('/');
  std::string_view base = slash == std::string_view::npos ? argument : argument.substr(slash + 1);
  for (std::string_view ending : {".TP18", ".TP19", ".qxin", ".tp18", ".tp19"})
    if (base.size() > ending.size() && base.ends_with(ending)) {
      base.remove_suffix(ending.size());
      break;
    }
  return std::string(base);
}


// A base name argument: its directory and the name without a known ending.
void split_base_name(Case& c, const std::string& argument) {
  const std::size_t slash = argument.rfind('/');
  c.dir = slash == std::string::npos ? "." : slash == 0 ? "/" : argument.substr(0, slash);
  c.base = base_of(argument);
  if (!is_directory(c.dir)) c.problem = "no directory " + c.dir + ": " + std::strerror(ENOENT);
}

std::string escape_glob(std::string_view text) {
  std::string out;
  for (char ch : text) {
    if (std::string_view("*?[]\\").find(ch) != std::string_view::npos) out.push_back('\\');
    out.push_back(ch);
  }
  return out;
}

// Answer (1) from the pattern.
void find_qxin(Case& c, const std::string& pattern) {
  std::string name;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 2, "{}") == 0) {
      name += pattern.find_first_of("*?[") == std::string::npos ? c.base : escape_glob(c.base);
      ++i;
    } else {
      name.push_back(pattern[i]);
    }
  }
  if (pattern.find_first_of("*?[") == std::string::npos) {
    c.qxin = name;
    return;
  }
  const std::string prefix = name.starts_with('/') ? "" : escape_glob(c.dir) + "/";
  glob_t g{};
  const int status = ::glob((prefix + name).c_str(), 0, nullptr, &g);
  std::vector<std::string> matches;
  for (std::size_t i = 0; status == 0 && i < g.gl_pathc; ++i) matches.emplace_back(g.gl_pathv[i]);
  ::globfree(&g);
  if (matches.size() != 1) {
    c.problem = matches.empty() ? "no input data file matches " + pattern
                                : "--qxin " + pattern + " matches " + std::to_string(matches.size()) + " files";
    return;
  }
  c.qxin = name.starts_with('/') ? matches[0] : matches[0].substr(c.dir.size() + 1);
}

// Answer (2): the base name with the ending of a result file that exists;
// with none, the dialogue will say so.
void choose_result(Case& c) {
  c.result = c.base + std::string(result_suffixes[0]);
  for (std::string_view s : result_suffixes)
    if (is_file(c.path(std::string(s)))) {
      c.result = c.base + std::string(s);
      break;
    }
}

void check_answers(Case& c) {
  if (c.base.empty()) c.problem = "no case name";
  if (c.problem.empty()) {
    for (const std::string* answer : {&c.qxin, &c.result})
      if (const std::string p = answer_problem(*answer); !p.empty()) {
        c.problem = "cannot answer " + *answer + ": " + p;
        break;
      }
  }
}

std::string case_key(const Case& c) {
  std::error_code ec;
  const fs::path real = fs::canonical(c.dir, ec);
  const std::string dir = ec ? c.dir : real.string();
  return dir == "/" ? "/" + c.base : dir + "/" + c.base;
}

// The input files of a case that exist now, the input data file first.
std::vector<std::string> existing_inputs(const Case& c) {
  std::vector<std::string> inputs;
  if (!c.qxin.empty() && is_file(c.qxin_path())) inputs.push_back(c.qxin_path());
  for (std::string_view s : result_suffixes)
    if (is_file(c.path(std::string(s)))) inputs.push_back(c.path(std::string(s)));
  return inputs;
}

}  // namespace

bool names_converted_file(const std::string& argument) {
  const std::string_view name = std::string_view(argument).substr(argument.rfind('/') + 1);
  const std::string base = base_of(argument);
  for (std::string_view suffix : output_suffixes) {
    if (name.size() > suffix.size() && name.ends_with(suffix)) return true;
    // The mark of a converted file's base name: _QX2D, _QXSH, _TP18-19_COVT.
    const std::string_view mark = suffix.substr(0, suffix.find('.'));
    if (!mark.empty() && base.size() > mark.size() && std::string_view(base).ends_with(mark)) return true;
  }
  return false;
}

Discovery discover_cases(const std::vector<std::string>& arguments, const std::string& qxin_pattern) {
  Discovery found;
  std::vector<Case>& cases = found.cases;
  std::set<std::string> seen;
  for (const std::string& argument : arguments) {
    Case c;
    c.name = argument;
    if (is_directory(argument)) {
      find_case_in_directory(c, argument);
    } else if (names_converted_file(argument)) {
      found.converted_files.push_back(argument);
      continue;
    } else {
      split_base_name(c, argument);
    }
    if (c.problem.empty()) find_qxin(c, qxin_pattern);
    if (c.problem.empty()) {
      choose_result(c);
      check_answers(c);
    }
    if (c.problem.empty()) {
      for (const std::string& input : existing_inputs(c)) {
        struct stat st {};
        if (::stat(input.c_str(), &st) == 0) c.bytes_in += static_cast<std::uint64_t>(st.st_size);
      }
    }
    c.key = c.base.empty() ? c.name : case_key(c);
    if (!seen.insert(c.base.empty() ? "\1" + c.name : c.key).second) continue;
    cases.push_back(std::move(c));
  }
  return found;
}

}  // namespace qxbatch
