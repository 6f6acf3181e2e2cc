// The run driver: zero-on-underflow, the six phases in order through the
// shared status, and the "NORMAL END" lines.
#pragma once

namespace qx {
struct Run;

// Sets the FTZ bit of MXCSR so that subnormal results become zero.
void set_zero_on_underflow();

// Runs the phases; returns the process exit status: 0 only after "NORMAL END".
int run_driver(Run& run);
}  // namespace qx
