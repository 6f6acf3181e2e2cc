// The job script of a submission: the options of the submission as #SBATCH
// lines, so that the script alone shows and reproduces them, then the
// qxbatch command that each array task runs, in the directory it was
// submitted from.
#pragma once

#include <string>
#include <vector>

namespace qxbatch {

// A word for the shell: between apostrophes.
std::string shell_quote(const std::string& word);

// A word of an #SBATCH line as sbatch reads it back: as it stands, or
// between double quotes with '"', '\' and '#' escaped by a backslash. A word
// with a line break cannot be given there (see sbatch_word_problem).
std::string sbatch_word(const std::string& word);
std::string sbatch_word_problem(const std::string& word);

// The script: `directives` as #SBATCH lines, then it enters `submit_dir` and
// runs `command`.
std::string job_script(const std::vector<std::string>& directives, const std::string& submit_dir,
                       const std::vector<std::string>& command);

}  // namespace qxbatch
