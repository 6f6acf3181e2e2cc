#include "gen_options.hpp"

#include <charconv>
#include <string_view>
#include <vector>

#include "write_qxin.hpp"
#include "common/command_line.hpp"

namespace qxgen {
namespace {

constexpr std::uint64_t max_size = std::uint64_t{64} << 30;

// A count of bytes: digits with an optional suffix k, M or G (powers of 1024).
bool parse_bytes(std::string_view text, std::uint64_t& value) {
  std::uint64_t scale = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'k': case 'K': scale = std::uint64_t{1} << 10; break;
      case 'm': case 'M': scale = std::uint64_t{1} << 20; break;
      case 'g': case 'G': scale = std::uint64_t{1} << 30; break;
      default: break;
    }
    if (scale != 1) text.remove_suffix(1);
  }
  std::uint64_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return false;
  if (n > max_size / scale) return false;
  value = n * scale;
  return true;
}

// Calls `item` for each element of a comma-separated list; false at the first
// element it refuses.
template <class Item>
bool for_each_listed(std::string_view list, Item item) {
  if (list.empty()) return false;
  while (true) {
    const std::size_t comma = list.find(',');
    if (!item(list.substr(0, comma))) return false;
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

// A value that an option refuses.
std::string bad_value(std::string_view name, std::string_view value) {
  return "bad value '" + std::string(value) + "' for " + std::string(name);
}

// The options. -h, --help is the last row of the help text's table; it is
// set apart so that the help tells the exit status after it.
constexpr qxtools::Option<GenOptions> option_table[] = {
    {"--out", "BASE", "base name of the files written: BASE.qxin,\n"
     "BASE.TP18 and BASE.TP19 (required)",
     [](GenOptions& o, std::string_view v) -> std::string {
       o.base = v;
       return v.empty() ? bad_value("--out", v) : "";
     }},
    {"--seed", "N", "seed of the case, 0 to 2^64-1 (default 1)",
     [](GenOptions& o, std::string_view v) -> std::string {
       auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), o.seed);
       return ec == std::errc{} && end == v.data() + v.size() && !v.empty() ? "" : bad_value("--seed", v);
     }},
    {"--size", "S",
     "target size of TP18 and TP19 together, in bytes\n"
     "with an optional suffix k, M or G (powers of 1024),\n"
     "up to 64G; default 100k. The model (from about 300\n"
     "nodes to thousands), the number of blocks and the\n"
     "length of the histories grow with it. No case is\n"
     "smaller than one that holds every kind of block\n"
     "(about 22k).",
     [](GenOptions& o, std::string_view v) -> std::string {
       return parse_bytes(v, o.size) && o.size > 0 ? "" : bad_value("--size", v);
     }},
    {"--no-info", "", "TP18 and TP19 do not begin with an INFO block",
     [](GenOptions& o, std::string_view) -> std::string {
       o.info = false;
       return {};
     }},
    {"--omit", "LIST",
     "leave these .qxin sections out (comma list of\n"
     "keywords, e.g. BEAM,SPRING,JOINTA,MSOLID,BOUND)",
     [](GenOptions& o, std::string_view v) -> std::string {
       std::string error = bad_value("--omit", v);
       const bool ok = for_each_listed(v, [&](std::string_view word) {
         for (std::string_view s : qxin_sections)
           if (s == word) {
             o.omit.emplace(word);
             return true;
           }
         error = "unknown .qxin section '" + std::string(word) + "'";
         return false;
       });
       return ok ? "" : error;
     }},
    {"--only-tp18", "", "write no TP19 file",
     [](GenOptions& o, std::string_view) -> std::string {
       o.tp19 = false;
       return {};
     }},
    {"--only-tp19", "", "write no TP18 file",
     [](GenOptions& o, std::string_view) -> std::string {
       o.tp18 = false;
       return {};
     }},
    {"--blocks", "LIST",
     "write only these kinds of result blocks (comma\n"
     "list of WAVE, FOUR, AMPL, SPEC, MAXR, DROP, OTHER):\n"
     "DROP are blocks that converters pass over because\n"
     "of their codes, OTHER those of unknown kind words.\n"
     "The blocks kept are the same bytes as in the full\n"
     "case.",
     [](GenOptions& o, std::string_view v) -> std::string {
       std::string error = bad_value("--blocks", v);
       o.block_kinds = 0;
       const bool ok = for_each_listed(v, [&](std::string_view word) {
         for (const auto& k : selectable_block_kinds)
           if (k.name == word) {
             o.block_kinds |= kind_bit(k.kind);
             return true;
           }
         error = "unknown block kind '" + std::string(word) + "'";
         return false;
       });
       return ok ? "" : error;
     }},
    {"--truncate-tp18", "N", "fault: cut the TP18 file after N bytes (suffixes\n"
     "as for --size)",
     [](GenOptions& o, std::string_view v) -> std::string {
       return parse_bytes(v, o.truncate_tp18) ? "" : bad_value("--truncate-tp18", v);
     }},
    {"--truncate-tp19", "N", "fault: cut the TP19 file after N bytes",
     [](GenOptions& o, std::string_view v) -> std::string {
       return parse_bytes(v, o.truncate_tp19) ? "" : bad_value("--truncate-tp19", v);
     }},
    {"--hostile-nsize2", "LIST",
     "fault: in the files named (TP18, TP19 or both,\n"
     "comma list) one WAVE block's size record claims\n"
     "2000000000 values while its data record keeps its\n"
     "real length: in TP18 the second WAVE block, in\n"
     "TP19 the first WAVE block whose codes are\n"
     "converted",
     [](GenOptions& o, std::string_view v) -> std::string {
       std::string error = bad_value("--hostile-nsize2", v);
       const bool ok = for_each_listed(v, [&](std::string_view word) {
         if (word == "TP18") return o.hostile_tp18 = true;
         if (word == "TP19") return o.hostile_tp19 = true;
         error = "--hostile-nsize2 takes TP18 and TP19, not '" + std::string(word) + "'";
         return false;
       });
       return ok ? "" : error;
     }},
    {"--hostile-na", "",
     "fault: the TP18 file's maxima block of code 101\n"
     "claims 2000000000 items while its data record\n"
     "keeps its real length",
     [](GenOptions& o, std::string_view) -> std::string {
       o.hostile_na = true;
       return {};
     }},
};

// -h, --help: parsed with the others, shown in the help's tail.
constexpr qxtools::Option<GenOptions> help_option[] = {{"-h, --help", "", "show this text",
                                                       [](GenOptions& o, std::string_view) -> std::string {
                                                         o.help = true;
                                                         return {};
                                                       }}};

constexpr std::string_view help_head =
    "usage: qxgen --out BASE [options]\n"
    "\n"
    "Writes one analysis case: the MODE1 input data file BASE.qxin and the\n"
    "result files BASE.TP18 and BASE.TP19 (sequential binary records,\n"
    "little-endian). The same seed, size and options give the same bytes.\n"
    "\n"
    "A case holds: a model (title, nodes, boundary lists, solids and their\n"
    "materials, beams, springs, rigid links, water, shell, void and joint\n"
    "elements) between comment lines, blank lines and sections that model\n"
    "readers pass over; a TP18 file of INFO, WAVE (components 1 to 3), FOUR,\n"
    "AMPL, SPEC, dropped, unknown and MAXR blocks (codes 50, 101 to 113); a\n"
    "TP19 file of INFO, WAVE blocks over many (nc1, nc2) pairs, AMPL blocks\n"
    "and other kinds.\n"
    "\n"
    "options:\n";

constexpr std::string_view help_tail =
    "\n"
    "Exit status: 0 when the files were written, 1 when one could not be\n"
    "written, 2 for a wrong command line.\n";

}  // namespace

void print_help(std::FILE* out) {
  std::fwrite(help_head.data(), 1, help_head.size(), out);
  qxtools::print_options<GenOptions>(out, option_table);
  qxtools::print_options<GenOptions>(out, help_option);
  std::fwrite(help_tail.data(), 1, help_tail.size(), out);
}

ParseOutcome parse_options(int argc, char** argv, GenOptions& o, std::string& error) {
  std::vector<qxtools::Option<GenOptions>> all(std::begin(option_table), std::end(option_table));
  all.push_back(help_option[0]);
  error = qxtools::parse_command_line<GenOptions>(argc, argv, all, o, nullptr);
  if (!error.empty()) return ParseOutcome::error;
  if (o.help) return ParseOutcome::help;
  if (o.base.empty()) {
    error = "--out BASE is required";
    return ParseOutcome::error;
  }
  if (!o.tp18 && !o.tp19) {
    error = "--only-tp18 and --only-tp19 exclude each other";
    return ParseOutcome::error;
  }
  return ParseOutcome::run;
}

}  // namespace qxgen
