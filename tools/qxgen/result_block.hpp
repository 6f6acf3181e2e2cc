// The description of one block of a TP18 or TP19 result file, from which the
// block is written, and the byte count of its records.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "value_stream.hpp"

namespace qxgen {

// What a block is to a converter; --blocks selects by these.
enum class BlockKind : std::uint8_t {
  info,   // information block (header records only)
  wave,   // time history converted
  four,   // Fourier spectrum converted
  ampl,   // amplification function (converted in TP18, passed over in TP19)
  spec,   // response spectrum converted
  maxr,   // maxima block
  drop,   // passed over by a converter because of its codes
  other,  // a kind word the converter does not know
};

struct BlockKindName {
  BlockKind kind;
  std::string_view name;
};
// The names that --blocks accepts (INFO is governed by --no-info).
inline constexpr BlockKindName selectable_block_kinds[] = {
    {BlockKind::wave, "WAVE"}, {BlockKind::four, "FOUR"}, {BlockKind::ampl, "AMPL"}, {BlockKind::spec, "SPEC"},
    {BlockKind::maxr, "MAXR"}, {BlockKind::drop, "DROP"}, {BlockKind::other, "OTHER"},
};

inline constexpr std::uint32_t kind_bit(BlockKind k) { return 1u << static_cast<unsigned>(k); }
inline constexpr std::uint32_t all_block_kinds = 0xFFu;

// Who the identifiers of a maxima block's items are.
enum class MaximaItems : std::uint8_t { nodes, node_pairs, elements };

struct BlockSpec {
  BlockKind kind = BlockKind::info;
  char name[4] = {'I', 'N', 'F', 'O'};

  // Ordinary block: REC1, REC2, then data_records records of `values` real4.
  std::int32_t nc[6] = {};
  double dmp = 0.0;
  std::int32_t lrec = 1;
  std::int32_t nsize2 = 0;  // as written in REC2; equals `values` unless hostile
  double dt = 0.0;
  float yt[4] = {};
  std::int32_t data_records = 0;
  std::int64_t values = 0;
  ValueStyle style = ValueStyle::history;

  // Maxima block: header (name, code, nc2, lrec, padded to header_bytes),
  // then one record na, ia1(na), ia2(na), acl(2, nd, na).
  std::int32_t header_bytes = 16;
  std::int32_t na = 0;
  std::int32_t nd = 0;
  MaximaItems items = MaximaItems::nodes;
  std::int32_t na_field = 0;  // the count written when it is not na (0: na itself)

  std::uint64_t seed = 0;  // the block's own value stream
};

inline std::uint64_t record_bytes(std::uint64_t payload) { return payload + 8; }

inline std::uint64_t block_bytes(const BlockSpec& b) {
  if (b.kind == BlockKind::maxr) {
    const auto na = static_cast<std::uint64_t>(b.na), nd = static_cast<std::uint64_t>(b.nd);
    return record_bytes(static_cast<std::uint64_t>(b.header_bytes)) + record_bytes(4 + 8 * na + 8 * nd * na);
  }
  return record_bytes(40) + record_bytes(28) +
         static_cast<std::uint64_t>(b.data_records) * record_bytes(4 * static_cast<std::uint64_t>(b.values));
}

inline std::uint64_t total_bytes(const std::vector<BlockSpec>& blocks) {
  std::uint64_t sum = 0;
  for (const auto& b : blocks) sum += block_bytes(b);
  return sum;
}

inline void set_name(BlockSpec& b, std::string_view word) {
  for (std::size_t i = 0; i < 4; ++i) b.name[i] = i < word.size() ? word[i] : ' ';
}

}  // namespace qxgen
