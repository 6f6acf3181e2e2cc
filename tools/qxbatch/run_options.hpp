// The run options of --options, checked against qxconv's own table before
// any case starts, so that a word qxconv would ignore or read as another
// option does not pass unseen through a whole study.
#pragma once

#include <string>
#include <vector>

namespace qxbatch {

// The words of `text` (split at blanks) into `words`. Empty when every word
// is one of qxconv's run option forms as it stands; otherwise what is wrong.
std::string check_run_options(const std::string& text, std::vector<std::string>& words);

// The options that `words` set, as the record keeps them: lower case, in
// qxconv's order, each once ("-wave -maxr" for "-MAXR -wave -wave").
std::string options_set(const std::vector<std::string>& words);

}  // namespace qxbatch
