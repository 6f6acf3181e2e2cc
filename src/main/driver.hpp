// The run driver: zero-on-underflow, the phases in order through the shared
// status (the dialogue, the lock on the case, the file set, the cover page,
// the model, the two conversions), the "NORMAL END" lines, and one line on
// standard error that tells why a run stopped after its list file was made.
#pragma once

namespace qx {
struct Run;

// Sets zero-on-underflow on x86-64 (MXCSR.FTZ), so that subnormal results
// become zero; elsewhere the narrowing does it in software.
void set_zero_on_underflow();

// Runs the phases; returns the process exit status: 0 only after "NORMAL END".
int run_driver(Run& run);
}  // namespace qx
