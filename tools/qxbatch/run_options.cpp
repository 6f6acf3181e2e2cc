#include "run_options.hpp"

#include <cctype>
#include <string_view>

#include "control/filnam_set.hpp"

namespace qxbatch {
namespace {

std::vector<std::string> split_words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return words;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string check_run_options(const std::string& text, std::vector<std::string>& words) {
  words = split_words(text);
  for (const std::string& w : words) {
    const std::string_view form = qx::run_option_form(w);
    if (form.empty())
      return "--options: qxconv has no run option '" + w + "'; its run options are " + qx::run_option_list() +
             ", in lower or upper case";
    if (form != w) return "--options: qxconv would take '" + w + "' as " + std::string(form) + "; write " + std::string(form);
  }
  return {};
}

std::string options_set(const std::vector<std::string>& words) {
  std::string set;
  for (const std::string& form : split_words(qx::run_option_list()))
    for (const std::string& w : words)
      if (lower(w) == form) {
        set += (set.empty() ? "" : " ") + form;
        break;
      }
  return set;
}

}  // namespace qxbatch
