#include "case_plan.hpp"

#include <algorithm>

#include "random.hpp"
#include "result_block.hpp"
#include "tp18_plan.hpp"
#include "tp19_plan.hpp"
#include "value_stream.hpp"

namespace qxgen {
namespace {

std::uint64_t isqrt(std::uint64_t v) {
  std::uint64_t r = 0;
  for (std::uint64_t bit = std::uint64_t{1} << 62; bit != 0; bit >>= 2) {
    if (v >= r + bit) {
      v -= r + bit;
      r = (r >> 1) + bit;
    } else {
      r >>= 1;
    }
  }
  return r;
}

// Node lists are written eleven to a line: keep the last line partly filled.
int avoid_multiple_of_11(int n) { return n % 11 == 0 ? n + 1 : n; }

// The largest length in [min_wave_length, max_wave_length] whose file stays
// within `budget` bytes (the smallest one when none does).
template <class Bytes>
std::int64_t solve_length(std::uint64_t budget, Bytes bytes) {
  std::int64_t lo = min_wave_length, hi = max_wave_length;
  if (bytes(lo) > budget) return lo;
  while (lo < hi) {
    std::int64_t mid = lo + (hi - lo + 1) / 2;
    if (bytes(mid) <= budget)
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

}  // namespace

void set_tp18_lengths(CasePlan& plan, std::int64_t wave_length) {
  plan.wave_length = wave_length;
  plan.four_length = wave_length / 2 + 1;
  plan.spec_length = std::clamp<std::int64_t>(wave_length / 8, 10, 200);
}

CasePlan plan_case(std::uint64_t seed, std::uint64_t size) {
  CasePlan plan;
  plan.seed = seed;
  plan.size = size;

  // The model grows with the square root of the size: about 300 nodes for
  // 100 KB, 5000 for 1 GB. At least 12 rows and 23 columns, so that the
  // boundary node lists run over two and three lines.
  const std::uint64_t q = isqrt(size / 1024);
  ModelShape& m = plan.model;
  m.nx = avoid_multiple_of_11(static_cast<int>(std::min<std::uint64_t>(23 + q / 12, 2000)));
  m.nz = avoid_multiple_of_11(static_cast<int>(std::min<std::uint64_t>(12 + q / 32, 1000)));
  m.stride = 10;
  while (m.stride <= std::max(m.nx, 2 * m.nz + 1)) m.stride *= 10;
  Random rng(derive_seed(seed, 0x6D6F64656C));
  static constexpr double widths[] = {1.25, 2.5, 2.0, 5.0, 0.625, 4.0};
  static constexpr double depths[] = {0.5, 1.0, 1.25, 2.0, 2.5};
  m.dx = rng.pick(widths);
  m.dz = rng.pick(depths);
  plan.wave_step = pick_time_step(rng);

  // Three quarters of the bytes go to TP18, the rest to TP19. Block counts
  // grow with the square root of the size, history lengths fill the rest.
  const std::uint64_t tp18_budget = size / 4 * 3;
  const std::uint64_t tp19_budget = size - tp18_budget;
  plan.stations = static_cast<int>(std::clamp<std::uint64_t>(isqrt(size / 12000), 2, 20000));
  plan.maxima_items = static_cast<int>(
      std::clamp<std::uint64_t>(tp18_budget / 8192, 2, static_cast<std::uint64_t>(m.solid_count())));
  plan.tp19_rounds = static_cast<int>(std::clamp<std::uint64_t>(isqrt(size / (400 * 1024)), 1, 20000));

  const std::int64_t l18 = solve_length(tp18_budget, [&](std::int64_t len) {
    set_tp18_lengths(plan, len);
    return total_bytes(tp18_blocks(plan));
  });
  set_tp18_lengths(plan, l18);
  plan.tp19_length = solve_length(tp19_budget, [&](std::int64_t len) {
    plan.tp19_length = len;
    return total_bytes(tp19_blocks(plan));
  });
  return plan;
}

}  // namespace qxgen
