#include "tp18_plan.hpp"

#include <algorithm>

#include "random.hpp"

namespace qxgen {
namespace {

constexpr std::uint64_t tp18_tag = 18;

// Quantity codes of the time histories, one per station in turn (9 is
// renumbered by converters; 13 and codes above 33 would be dropped).
constexpr std::int32_t wave_quantities[] = {1, 9, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 14, 15, 20, 21, 22, 31, 32, 33};

// Components (nc2, nc3) of amplification functions that converters keep.
constexpr std::int32_t kept_ampl_pairs[][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 3}, {3, 1}};

struct MaximaCode {
  std::int32_t code;
  std::int32_t nd;
  MaximaItems items;
  std::int32_t header_bytes;
};

// Maxima blocks at the end of the file: every code that converters convert,
// the 108 that they only pass on, and 113, whose data they pass over. A few
// headers are longer than the 16 bytes that are read of them.
// Code 108 has no component count of its own in a TP18 file (converters make
// it from 107 and do not convert it): it is written with the widest count, 9,
// so that a reader taking any count up to nine finds the record long enough.
constexpr MaximaCode maxima_codes[] = {
    {101, 6, MaximaItems::nodes, 16},     {102, 6, MaximaItems::nodes, 16},    {103, 6, MaximaItems::node_pairs, 16},
    {104, 3, MaximaItems::nodes, 16},     {105, 9, MaximaItems::elements, 24}, {106, 5, MaximaItems::elements, 16},
    {107, 4, MaximaItems::elements, 16},  {108, 9, MaximaItems::elements, 16}, {109, 1, MaximaItems::elements, 16},
    {110, 3, MaximaItems::elements, 40},  {111, 4, MaximaItems::elements, 16}, {112, 4, MaximaItems::elements, 16},
    {108, 9, MaximaItems::elements, 24},  {113, 2, MaximaItems::elements, 16},
};
// A maxima block of a code up to 100, placed among the ordinary blocks.
constexpr MaximaCode early_maxima = {50, 6, MaximaItems::nodes, 16};

class Tp18Builder {
 public:
  explicit Tp18Builder(const CasePlan& plan) : plan_(plan), rng_(derive_seed(plan.seed, tp18_tag, 0x68656164)) {}

  std::vector<BlockSpec> build() {
    info();
    const int stations = plan_.stations;
    int group = 0;
    for (int s = 0; s < stations; ++s) {
      for (int c = 1; c <= 3; ++c) wave(s, c, plan_.wave_length);
      if (s == 0) {
        odd_waves();
        spectral_group(s, group++);
        dropped_blocks();
        unknown_blocks();
        maxima(early_maxima, plan_.maxima_items);
      } else if (s % 3 == 2 || s == stations - 1) {
        spectral_group(s, group++);
      }
    }
    // A last history longer than the others.
    wave(stations - 1, 2, plan_.wave_length + 5);
    int k = 0;
    for (const auto& code : maxima_codes) {
      int na = code.code == 109 ? 1 : std::max(1, plan_.maxima_items - k % 3);
      maxima(code, na);
      ++k;
    }
    return std::move(blocks_);
  }

 private:
  BlockSpec& add(BlockKind kind, const char* word) {
    BlockSpec& b = blocks_.emplace_back();
    b.kind = kind;
    set_name(b, word);
    b.seed = derive_seed(plan_.seed, tp18_tag, blocks_.size());
    return b;
  }

  void set_yt(BlockSpec& b) {
    // Peak, time of the peak, minimum, and a zero of either sign.
    b.yt[0] = static_cast<float>(rng_.unit() * 10.0);
    b.yt[1] = static_cast<float>(rng_.unit() * 60.0);
    b.yt[2] = -static_cast<float>(rng_.unit() * 10.0);
    b.yt[3] = rng_.chance(50) ? -0.0f : 0.0f;
  }

  BlockSpec& ordinary(BlockKind kind, const char* word, std::int32_t nc1, std::int32_t nc2, std::int32_t nc3,
                      std::int32_t station, std::int64_t length, std::int32_t records, double dt) {
    BlockSpec& b = add(kind, word);
    b.nc[0] = nc1;
    b.nc[1] = nc2;
    b.nc[2] = nc3;
    b.nc[3] = plan_.model.grid_node(station * 7 + 3);
    b.nc[4] = static_cast<std::int32_t>(rng_.between(0, 3));
    b.nc[5] = station + 1;
    b.dmp = pick_damping(rng_);
    b.lrec = 1 + records;
    b.nsize2 = static_cast<std::int32_t>(length);
    b.values = length;
    b.data_records = records;
    b.dt = dt;
    b.style = rng_.chance(70) ? ValueStyle::history : ValueStyle::wide;
    set_yt(b);
    return b;
  }

  void info() {
    BlockSpec& b = add(BlockKind::info, "INFO");
    const std::int32_t nc[6] = {6, 0, 3, 0, 0, 1};
    std::copy(nc, nc + 6, b.nc);
    b.dmp = 9.80665;
    b.lrec = 1;
    // Not a count of data: an information block has none.
    b.nsize2 = static_cast<std::int32_t>(plan_.wave_length);
    b.dt = plan_.wave_step;
  }

  void wave(int station, int component, std::int64_t length) {
    const std::int32_t q = wave_quantities[static_cast<std::size_t>(station) % std::size(wave_quantities)];
    ordinary(BlockKind::wave, "WAVE", q, component, (station + component - 1) % 3 + 1, station, length, 1,
             plan_.wave_step);
  }

  // Histories whose length is not a multiple of six values (and none at all),
  // with header reals that vanish when narrowed to real4.
  void odd_waves() {
    BlockSpec& a = ordinary(BlockKind::wave, "WAVE", 33, 1, 1, 0, 7, 1, tiny_subnormal_real4);
    a.dmp = tiny_below_real4;
    ordinary(BlockKind::wave, "WAVE", 12, 3, 3, 0, 0, 1, plan_.wave_step);
  }

  double frequency_step() const {
    return 1.0 / (2.0 * static_cast<double>(plan_.four_length - 1) * plan_.wave_step);
  }

  void four(int station, int component, std::int64_t length) {
    ordinary(BlockKind::four, "FOUR", component, component, component, station, length, 2, frequency_step());
  }

  void ampl(int station, const std::int32_t (&pair)[2]) {
    ordinary(BlockKind::ampl, "AMPL", 1, pair[0], pair[1], station, plan_.four_length, 2, frequency_step());
  }

  BlockSpec& spec(int station, int component) {
    return ordinary(BlockKind::spec, "SPEC", static_cast<std::int32_t>(rng_.between(1, 3)), component,
                    static_cast<std::int32_t>(rng_.between(1, 3)), station, plan_.spec_length, 2, 0.02);
  }

  // Fourier, amplification and response spectra of one station. The first
  // group opens with an amplification block (which then fixes the spectrum
  // length) and holds every kept component pair; the second group has one
  // Fourier block longer than the first, whose extra values readers skip.
  void spectral_group(int station, int group) {
    if (group == 0) ampl(station, kept_ampl_pairs[0]);
    for (int c = 1; c <= 3; ++c) {
      std::int64_t n = plan_.four_length;
      if (group == 1 && c == 2) n += 3;
      four(station, c, n);
    }
    if (group == 0) {
      for (std::size_t p = 1; p < std::size(kept_ampl_pairs); ++p) ampl(station, kept_ampl_pairs[p]);
    } else {
      ampl(station, kept_ampl_pairs[static_cast<std::size_t>(group) % std::size(kept_ampl_pairs)]);
    }
    for (int c = 1; c <= 3; ++c) {
      BlockSpec& b = spec(station, c);
      if (group == 0 && c == 3) {
        b.dmp = tiny_below_real4;
        b.dt = tiny_subnormal_real8;
      }
    }
  }

  // Blocks that converters pass over because of their codes, each with the
  // number of data records that is passed over for it.
  void dropped_blocks() {
    const std::int64_t n = plan_.four_length, m = plan_.spec_length, l = plan_.wave_length;
    const double df = frequency_step();
    ordinary(BlockKind::drop, "FOUR", 13, 1, 1, 0, n, 2, df);
    ordinary(BlockKind::drop, "AMPL", 34, 1, 1, 0, n, 2, df);
    ordinary(BlockKind::drop, "SPEC", 40, 2, 2, 0, m, 2, 0.02);
    ordinary(BlockKind::drop, "WAVE", 4, 5, 1, 0, l, 1, plan_.wave_step);
    ordinary(BlockKind::drop, "WAVE", 10, 5, 3, 0, l, 1, plan_.wave_step);
    ordinary(BlockKind::drop, "SPEC", 11, 5, 1, 0, m, 2, 0.02);
    ordinary(BlockKind::drop, "FOUR", 25, 5, 2, 0, n, 2, df);
    constexpr std::int32_t dropped_ampl_pairs[][2] = {{2, 1}, {2, 3}, {1, 2}, {3, 2}};
    for (const auto& p : dropped_ampl_pairs) ordinary(BlockKind::drop, "AMPL", 1, p[0], p[1], 0, n, 2, df);
  }

  // Kind words that converters do not know (compared case-sensitively): the
  // two header records and nothing else.
  void unknown_blocks() {
    ordinary(BlockKind::other, "STAT", 2, 1, 1, 0, 0, 0, 0.0).nsize2 = 17;
    ordinary(BlockKind::other, "wave", 1, 2, 2, 0, 0, 0, plan_.wave_step).nsize2 =
        static_cast<std::int32_t>(plan_.wave_length);
  }

  void maxima(const MaximaCode& code, int na) {
    BlockSpec& b = add(BlockKind::maxr, "MAXR");
    b.nc[0] = code.code;
    b.nc[1] = static_cast<std::int32_t>(rng_.between(0, 3));
    b.lrec = 1;
    b.header_bytes = code.header_bytes;
    b.na = na;
    b.nd = code.nd;
    b.items = code.items;
    b.style = ValueStyle::history;
  }

  const CasePlan& plan_;
  Random rng_;
  std::vector<BlockSpec> blocks_;
};

}  // namespace

std::vector<BlockSpec> tp18_blocks(const CasePlan& plan) { return Tp18Builder(plan).build(); }

std::size_t tp18_hostile_block(const std::vector<BlockSpec>& blocks) {
  int waves = 0;
  for (std::size_t i = 0; i < blocks.size(); ++i)
    if (blocks[i].kind == BlockKind::wave && ++waves == 2) return i;
  return blocks.size();
}

std::size_t tp18_hostile_maxima_block(const std::vector<BlockSpec>& blocks) {
  for (std::size_t i = 0; i < blocks.size(); ++i)
    if (blocks[i].kind == BlockKind::maxr && blocks[i].nc[0] == 101) return i;
  return blocks.size();
}

}  // namespace qxgen
