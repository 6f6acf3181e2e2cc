// What the walkers find, handed to the file handler: records with their
// place, blocks with their header fields, model section records with what
// their counts say.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "block_rules.hpp"

namespace qxdump {

class CodeMap;

using qx::format::boundary_head_words;
using qx::format::boundary_list_names;
using qx::format::boundary_sides;
using qx::format::BoundarySide;
using qx::format::element_row_words;
using qx::format::ElementRecord;
using qx::format::title_words;
inline constexpr std::size_t model_count_slots = qx::format::count_slots;

// A record's values as 4-byte words in host order.
using Words = std::span<const std::uint32_t>;

// A count read from a file, where a negative one counts nothing.
inline std::uint64_t positive(std::int64_t n) { return n > 0 ? static_cast<std::uint64_t>(n) : 0; }

struct DumpOptions {
  bool records = false;     // list every record's offset and length
  std::size_t values = 0;   // first values of each data record to show
  const CodeMap* codes = nullptr;  // --codes: a "means:" line under each block the map names
};

struct RecordEntry {
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
  std::string_view role;        // "REC1", "data", ...
  bool data = false;            // a data record (its values are handed over)
  std::uint64_t int_words = 0;  // leading int4 values; the rest are real4
};

struct BlockReport {
  std::uint64_t number = 0;
  std::uint64_t offset = 0;
  std::string kind;        // the kind word
  bool converted = false;  // header records in the narrowed form
  bool maxima = false;
  bool dropped = false;    // a TP18 reader passes its data over

  // Ordinary blocks.
  Codes nc{};
  std::int32_t lrec = 0;
  bool has_sizes = false;  // REC2 was read
  std::int32_t nsize2 = 0;
  double real = 0.0;  // dmp (or dap)
  double step = 0.0;  // dt (or dtt)
  std::array<float, 4> yt{};
  int data_rule = 0;     // data records that the rules of the file give the block
  int axis_records = 0;  // leading data records that hold the frequency axis

  // Maxima blocks: code is nc[0], nc2 is nc[1].
  bool has_na = false;
  std::int32_t na = 0;
  std::optional<int> nd;
  bool nd_from_length = false;

  std::vector<RecordEntry> records;
  std::vector<std::string> notes;
  bool broken = false;  // the file is damaged or ends inside the block: it lacks records
};

enum class ModelPart : std::uint8_t { counts, bound, nodes, elements };

// One record of the model section at the start of a converted file.
struct ModelRecordReport {
  ModelPart part = ModelPart::counts;
  std::string name;    // "counts", "bound", "nodes", or the element kind
  std::string fields;  // what the record says, as "name=value" words
  RecordEntry record;
  std::vector<std::string> notes;

  // counts: the title's 72 characters as stored, ndpt, nelm (or nelmh).
  std::string title;
  std::int32_t ndpt = 0;
  std::array<std::int32_t, model_count_slots> counts{};
  // bound: keyb(3), nbound(3).
  std::array<std::int32_t, boundary_head_words> bound{};
  // elements: the kind of the record.
  const ElementRecord* element = nullptr;
  // nodes and elements: the rows the counts call for; bound, nodes and
  // elements: the record's length is the one these counts give.
  std::uint64_t rows = 0;
  bool fits = false;

  // The record's words have the length its counts give: what the words of
  // the record say can be taken from them.
  bool whole(Words words) const { return fits && words.size() * 4 == record.length; }
  // bound: the nodes of each list of `side` (nbound of its slot), and the
  // words of the lists that the counts give.
  std::uint64_t side_nodes(const BoundarySide& side) const {
    return positive(bound[3 + static_cast<std::size_t>(side.count_slot)]);
  }
  std::uint64_t boundary_list_words() const {
    std::uint64_t n = 0;
    for (const BoundarySide& s : boundary_sides) n += static_cast<std::uint64_t>(s.lists) * side_nodes(s);
    return n;
  }
  // bound: list `l` (0 model nodes, 1 free-field nodes) of `side` in the
  // words of a whole record.
  Words boundary_list(Words words, const BoundarySide& side, int l) const {
    std::uint64_t at = boundary_head_words;
    for (const BoundarySide& s : boundary_sides) {
      if (s.count_slot == side.count_slot) {
        at += static_cast<std::uint64_t>(l) * side_nodes(s);
        break;
      }
      at += static_cast<std::uint64_t>(s.lists) * side_nodes(s);
    }
    const std::uint64_t n = side_nodes(side);
    return at + n <= words.size() ? words.subspan(at, n) : Words();
  }
};

struct DumpTotals {
  std::uint64_t blocks = 0;
  std::uint64_t unplaced = 0;  // records that belong to no block
  std::uint64_t notes = 0;
};

}  // namespace qxdump
