#include "tp19_plan.hpp"

#include <algorithm>
#include <string_view>

#include "random.hpp"

namespace qxgen {
namespace {

constexpr std::uint64_t tp19_tag = 19;

// The pairs (nc1, nc2) that converters convert: one row per nc1, one column
// per nc2 = 1..6, "x" where the pair is converted.
struct ConvertedRow {
  std::int32_t nc1;
  std::string_view nc2_1_to_6;
};
constexpr ConvertedRow converted_pairs[] = {
    {41, "x.xxxx"}, {42, ".xxxxx"}, {43, "xxx.x."}, {44, ".....x"}, {45, "x.x..x"}, {46, "..x.x."},
    {47, "..x.x."}, {51, "x.xxxx"}, {52, "x.x..x"}, {53, "..x.x."}, {54, "..x.x."},
};

// Pairs beyond the rows above, all passed over by converters.
constexpr std::int32_t outside_pairs[][2] = {{40, 1}, {48, 3}, {49, 1}, {50, 5}, {55, 6},
                                             {41, 0}, {42, 7}, {30, 3}, {60, 2}};

class Tp19Builder {
 public:
  explicit Tp19Builder(const CasePlan& plan) : plan_(plan), rng_(derive_seed(plan.seed, tp19_tag, 0x68656164)) {}

  std::vector<BlockSpec> build() {
    info();
    // A converted block before any WAVE block: converters read it with no
    // data length yet.
    block(BlockKind::spec, "SPEC", 45, 6, plan_.tp19_length, 1);
    for (int round = 0; round < plan_.tp19_rounds; ++round) {
      walk();
      if (round == 0) extra_blocks();
    }
    return std::move(blocks_);
  }

 private:
  BlockSpec& block(BlockKind kind, const char* word, std::int32_t nc1, std::int32_t nc2, std::int64_t length,
                   std::int32_t records) {
    BlockSpec& b = blocks_.emplace_back();
    b.kind = kind;
    set_name(b, word);
    b.seed = derive_seed(plan_.seed, tp19_tag, blocks_.size());
    b.nc[0] = nc1;
    b.nc[1] = nc2;
    b.nc[2] = static_cast<std::int32_t>(rng_.between(1, 3));
    b.nc[3] = static_cast<std::int32_t>(rng_.between(1, plan_.model.solid_count()));
    b.nc[4] = static_cast<std::int32_t>(rng_.between(1, 4));
    b.nc[5] = static_cast<std::int32_t>(rng_.between(0, 9));
    b.dmp = pick_damping(rng_);
    b.lrec = 1 + records;
    b.nsize2 = static_cast<std::int32_t>(length);
    b.values = length;
    b.data_records = records;
    b.dt = std::string_view(word, 4) == "WAVE" ? plan_.wave_step : pick_time_step(rng_);
    b.style = rng_.chance(80) ? ValueStyle::history : ValueStyle::wide;
    for (float& y : b.yt) y = static_cast<float>(rng_.unit() * 1000.0 - 500.0);
    return b;
  }

  void info() {
    BlockSpec& b = block(BlockKind::info, "INFO", 6, 0, 0, 0);
    const std::int32_t nc[6] = {6, 0, 3, 0, 0, 1};
    std::copy(nc, nc + 6, b.nc);
    b.dmp = 9.80665;
    b.dt = plan_.wave_step;
    b.nsize2 = static_cast<std::int32_t>(plan_.tp19_length);
  }

  // A WAVE block for every pair of the converted rows, in and out of the
  // table, then for the pairs outside them. Every history is at least as long
  // as the first converted one; some are longer.
  void walk() {
    auto wave = [&](std::int32_t nc1, std::int32_t nc2) {
      const bool converted = tp19_converted_pair(nc1, nc2);
      std::int64_t length = plan_.tp19_length;
      if (converted && ++converted_waves_ % 7 == 0) length += 1 + (converted_waves_ / 7) % 5;
      block(converted ? BlockKind::wave : BlockKind::drop, "WAVE", nc1, nc2, length, 1);
    };
    for (const auto& row : converted_pairs)
      for (std::int32_t nc2 = 1; nc2 <= 6; ++nc2) wave(row.nc1, nc2);
    for (const auto& p : outside_pairs) wave(p[0], p[1]);
  }

  // Amplification blocks (two records, never converted), converted blocks of
  // other kind words (one record), passed-over ones, and one more history.
  void extra_blocks() {
    const std::int64_t len = plan_.tp19_length;
    block(BlockKind::ampl, "AMPL", 41, 1, len, 2);
    block(BlockKind::ampl, "AMPL", 43, 2, len, 2);
    block(BlockKind::four, "FOUR", 42, 2, len + 2, 1);
    block(BlockKind::spec, "SPEC", 51, 6, len, 1);
    block(BlockKind::other, "STRS", 43, 5, len, 1);
    block(BlockKind::drop, "STRS", 48, 1, len, 1);
    block(BlockKind::drop, "FOUR", 44, 1, len, 1);
    BlockSpec& w = block(BlockKind::wave, "WAVE", 41, 1, len + 9, 1);
    w.dt = tiny_subnormal_real4;
    w.dmp = tiny_below_real4;
  }

  const CasePlan& plan_;
  Random rng_;
  std::vector<BlockSpec> blocks_;
  int converted_waves_ = 0;
};

}  // namespace

bool tp19_converted_pair(std::int32_t nc1, std::int32_t nc2) {
  if (nc2 < 1 || nc2 > 6) return false;
  for (const auto& row : converted_pairs)
    if (row.nc1 == nc1) return row.nc2_1_to_6[static_cast<std::size_t>(nc2 - 1)] == 'x';
  return false;
}

std::vector<BlockSpec> tp19_blocks(const CasePlan& plan) { return Tp19Builder(plan).build(); }

std::size_t tp19_hostile_block(const std::vector<BlockSpec>& blocks) {
  for (std::size_t i = 0; i < blocks.size(); ++i)
    if (blocks[i].kind == BlockKind::wave) return i;
  return blocks.size();
}

}  // namespace qxgen
