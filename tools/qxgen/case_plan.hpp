// The dimensions of a generated case, derived from its seed and target size:
// the finite-element model (a grid of solids between two free-field columns)
// and the lengths and counts of the result blocks.
#pragma once

#include <cstdint>

namespace qxgen {

struct ModelShape {
  int nx = 0;      // grid columns (base boundary nodes)
  int nz = 0;      // grid rows (side boundary nodes)
  int stride = 0;  // node numbers: row j, column i -> (j + 1) * stride + i + 1
  double dx = 0.0, dz = 0.0;

  int main_node(int i, int j) const { return (j + 1) * stride + i + 1; }
  // Free-field columns beside the grid, numbered after its last row.
  int free_left_node(int j) const { return (nz + 1) * stride + j + 1; }
  int free_right_node(int j) const { return (nz + 1) * stride + stride / 2 + j + 1; }
  int node_count() const { return nx * nz + 2 * nz; }
  int solid_count() const { return (nx - 1) * (nz - 1); }
  // The k-th node in grid order (k taken modulo the grid size).
  int grid_node(std::int64_t k) const {
    k %= static_cast<std::int64_t>(nx) * nz;
    return main_node(static_cast<int>(k % nx), static_cast<int>(k / nx));
  }
};

struct CasePlan {
  std::uint64_t seed = 0;
  std::uint64_t size = 0;  // target bytes of TP18 + TP19
  ModelShape model;

  // TP18
  int stations = 0;             // output points, three components each
  int maxima_items = 0;         // na of the maxima blocks
  std::int64_t wave_length = 0; // nsize2 of the time histories
  std::int64_t four_length = 0; // N of the Fourier and amplification blocks
  std::int64_t spec_length = 0; // M of the response spectra
  double wave_step = 0.0;

  // TP19
  int tp19_rounds = 0;          // passes over the (nc1, nc2) walk
  std::int64_t tp19_length = 0; // nsize2 of the first WAVE block
};

// Smallest and largest history lengths the solver chooses from.
inline constexpr std::int64_t min_wave_length = 16;
inline constexpr std::int64_t max_wave_length = std::int64_t{1} << 28;

// The plan of a case whose two result files come near `size` bytes in all
// (never below the smallest case that holds every kind of block).
CasePlan plan_case(std::uint64_t seed, std::uint64_t size);

// The TP18 lengths that follow from a history length.
void set_tp18_lengths(CasePlan& plan, std::int64_t wave_length);

}  // namespace qxgen
