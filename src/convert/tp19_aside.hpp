// The TP19 file converted beside TP18. While the run converts TP18, a second
// thread converts TP19 with a run context of its own: its outputs go to
// files written aside (io/staged_file.hpp) and its list lines to a scratch
// file. Once TP18 has ended without failure, the files written aside take
// the places of the TP19 outputs and the list lines follow TP18's in the
// list file; a run that stops at TP18 leaves the TP19 outputs as they were.
//
// What the run shows is what converting the two files one after the other
// shows. Whenever the conversion aside fails, whatever the cause, or cannot
// be set up (a small case, outputs that a rename would change, no second
// thread), what it wrote is dropped and TP19 is converted after TP18 as
// always, so that every failure is met and reported as it was.
#pragma once

namespace qx {

struct Run;

// Starts the conversion aside where both result files are large enough for
// it to pay off and it can be set up; ier is left untouched.
void start_tp19_aside(Run& run, int& ier);

// The TP19 phase of a run: puts in place what was converted aside, or
// converts TP19 now (cnvt_tp19). On return ier is 0 or the status of the
// failure that has been reported.
void finish_tp19(Run& run, int& ier);

// Stops the conversion aside of a run that stopped and drops what it wrote,
// leaving the TP19 outputs as they were.
void drop_tp19_aside(Run& run);

}  // namespace qx
