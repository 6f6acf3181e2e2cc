#include "common/command_line.hpp"

#include <getopt.h>

namespace qxtools {

namespace {

// Codes that getopt_long returns for the options of the table: a short
// option's letter, or this plus the option's index for a long one.
constexpr int long_code = 256;

// Each name of a "-j, --jobs" list in turn.
template <typename Each>
void for_each_name(std::string_view names, Each each) {
  while (!names.empty()) {
    const std::size_t comma = names.find(", ");
    each(names.substr(0, comma));
    if (comma == std::string_view::npos) break;
    names.remove_prefix(comma + 2);
  }
}

// The long options whose names begin with `typed` ("--va" for "--values").
std::vector<std::string> long_names_from(std::span<const OptionName> options, std::string_view typed) {
  std::vector<std::string> names;
  for (const OptionName& o : options)
    for_each_name(o.names, [&](std::string_view n) {
      if (n.starts_with("--") && n.starts_with(typed)) names.emplace_back(n);
    });
  return names;
}

}  // namespace

std::string walk_command_line(int argc, char* const* argv, std::span<const OptionName> options,
                              const std::function<std::string(std::size_t option, std::string_view value)>& found) {
  // "-": operands come back in their place (code 1); ":": a missing value
  // comes back as ':' rather than '?'.
  std::string shorts = "-:";
  std::vector<std::string> long_texts;  // getopt_long keeps pointers into these
  std::vector<option> longs;
  std::vector<std::size_t> short_option(long_code, operand);
  long_texts.reserve(2 * options.size());
  for (std::size_t i = 0; i < options.size(); ++i) {
    const bool value = !options[i].arg.empty();
    for_each_name(options[i].names, [&](std::string_view n) {
      if (n.starts_with("--")) {
        long_texts.emplace_back(n.substr(2));
        longs.push_back({nullptr, value ? required_argument : no_argument, nullptr, long_code + static_cast<int>(i)});
      } else if (n.size() == 2 && n[0] == '-') {
        shorts += n[1];
        if (value) shorts += ':';
        short_option[static_cast<unsigned char>(n[1])] = i;
      }
    });
  }
  for (std::size_t k = 0; k < longs.size(); ++k) longs[k].name = long_texts[k].c_str();
  longs.push_back({nullptr, 0, nullptr, 0});

  // The option being looked at: the word getopt_long has just passed, or,
  // inside a group of short options, the one it stands in.
  const auto word_at = [&](int before) { return std::string_view(argv[optind > before ? optind - 1 : optind]); };
  const auto option_of = [&](int code) {
    return code >= long_code ? static_cast<std::size_t>(code - long_code)
                             : short_option[static_cast<unsigned char>(code)];
  };

  opterr = 0;
  optind = 0;  // a new scan (glibc), also after an earlier one
  while (true) {
    const int before = optind;
    const int code = getopt_long(argc, argv, shorts.c_str(), longs.data(), nullptr);
    if (code == -1) break;
    std::string error;
    if (code == 1) {
      error = found(operand, optarg);
    } else if (code == '?' || code == ':') {
      const std::string_view word = word_at(before);
      const bool is_long = word.starts_with("--");
      const std::string_view name = is_long ? word.substr(0, word.find('=')) : word.substr(0, 2);
      const std::string shown =
          is_long || optopt == 0 ? std::string(name) : "-" + std::string(1, static_cast<char>(optopt));
      if (code == ':') {
        const OptionName& o = options[option_of(optopt)];
        error = o.missing.empty() ? shown + " needs a value " + std::string(o.arg) : std::string(o.missing);
      } else if (optopt != 0 && option_of(optopt) != operand) {
        error = shown + " takes no value";
      } else if (is_long && long_names_from(options, name).size() > 1) {
        std::string which;
        for (const std::string& n : long_names_from(options, name)) which += (which.empty() ? "" : ", ") + n;
        error = "option '" + std::string(name) + "' is ambiguous (" + which + ")";
      } else {
        error = "unknown option '" + (is_long ? std::string(word) : shown) + "'";
      }
    } else {
      error = found(option_of(code), optarg ? std::string_view(optarg) : std::string_view());
    }
    if (!error.empty()) return error;
  }
  // The words after "--".
  for (int i = optind; i < argc; ++i)
    if (std::string error = found(operand, argv[i]); !error.empty()) return error;
  return {};
}

}  // namespace qxtools
