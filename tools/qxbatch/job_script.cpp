#include "job_script.hpp"

#include <string_view>

namespace qxbatch {

std::string shell_quote(const std::string& word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'')
      out += "'\\''";
    else
      out.push_back(c);
  }
  return out + "'";
}

std::string sbatch_word_problem(const std::string& word) {
  if (word.find_first_of("\n\r") != std::string::npos)
    return "'" + word + "' holds a line break, which an #SBATCH line cannot";
  return {};
}

std::string sbatch_word(const std::string& word) {
  // sbatch ends a word at white space outside double quotes, takes the
  // character after a backslash as it stands, and ends the line at '#'.
  if (!word.empty() && word.find_first_of(" \t\"\\#") == std::string::npos) return word;
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\' || c == '#') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string job_script(const std::vector<std::string>& directives, const std::string& submit_dir,
                       const std::vector<std::string>& command) {
  std::string script = "#!/bin/sh\n";
  for (const std::string& d : directives) script += "#SBATCH " + sbatch_word(d) + "\n";
  script +=
      "# A task of a qxbatch job array: converts its slice of the cases listed in\n"
      "# this directory. Collect the job with: qxbatch --collect DIR\n"
      "cd " + shell_quote(submit_dir) + " || exit 1\n"
      "exec";
  for (const std::string& word : command) script += " " + shell_quote(word);
  return script + "\n";
}

}  // namespace qxbatch
