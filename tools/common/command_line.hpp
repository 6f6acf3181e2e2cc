// The command line of a tool, parsed by getopt_long from a table of its
// options, from which its help's option rows are printed too. Long options
// take a value as "--name VALUE" or "--name=VALUE" and may be shortened to a
// prefix that names one option; short ones as "-x VALUE" or "-xVALUE", and
// switches may be grouped ("-qv"). "--" ends the options; "-" and the other
// words are operands, handed over in their order among the options.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/option_help.hpp"

namespace qxtools {

// One option of a tool whose settings are a `Settings`.
template <typename Settings>
struct Option {
  std::string_view names;  // "-j, --jobs", "--records" or "-h, --help"
  std::string_view arg;    // the value's name in the help ("N"); empty for a switch
  std::string_view help;   // the help text, lines apart by '\n'
  // Takes the option's value (empty for a switch): empty, or what is wrong.
  std::string (*apply)(Settings& s, std::string_view value);
  // What is wrong when the value is missing; empty: "NAME needs a value ARG".
  std::string_view missing = {};
};

// The names and value of an option, as the parser needs them.
struct OptionName {
  std::string_view names;
  std::string_view arg;
  std::string_view missing;
};

// Walks argv[1..]: `found` is called with the index of each option met and
// its value, and with npos and the word for each operand. Empty when every
// word was taken, else what is wrong: an unknown or ambiguous option, a
// missing or unwanted value, or what `found` said.
inline constexpr std::size_t operand = static_cast<std::size_t>(-1);
std::string walk_command_line(int argc, char* const* argv, std::span<const OptionName> options,
                              const std::function<std::string(std::size_t option, std::string_view value)>& found);

// The command line into `s`: each option's apply, each operand to `take`.
template <typename Settings>
std::string parse_command_line(int argc, char* const* argv, std::span<const Option<Settings>> options, Settings& s,
                               std::string (*take)(Settings& s, std::string_view operand)) {
  std::vector<OptionName> names;
  names.reserve(options.size());
  for (const Option<Settings>& o : options) names.push_back({o.names, o.arg, o.missing});
  return walk_command_line(argc, argv, names, [&](std::size_t option, std::string_view value) -> std::string {
    if (option == operand) return take ? take(s, value) : "unexpected '" + std::string(value) + "'";
    return options[option].apply(s, value);
  });
}

// The option rows of a help text (print_option_row), in the table's order.
template <typename Settings>
void print_options(std::FILE* out, std::span<const Option<Settings>> options) {
  for (const Option<Settings>& o : options) print_option_row(out, o.names, o.arg, o.help);
}

}  // namespace qxtools
