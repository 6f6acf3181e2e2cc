// The abscissa of value k of a block that steps by the step its header holds
// (the time k·dt of a time history, the frequency k·df of a result file's
// spectrum), as a real4 like the values beside it: the real4 nearest to the
// exact product, so that its shortest digits read back to it (0.0025, 0.005,
// ... for a step of 0.0025 held as real4, rather than the double
// 0.0024999999441206455 that the real4 step is).
#pragma once

#include <cstdint>

namespace qxdump {

// The real4 nearest to the exact k·step, for every k below 2^53. Where the
// product lies halfway between two real4 (k times a real4 step often does:
// 5 · 0.0025 does), both are nearest, and the one of fewer digits is taken
// (0.0125 rather than 0.012499999); of as many digits, the even one.
float step_abscissa(std::uint64_t k, double step);

}  // namespace qxdump
