// Everything a run shares: the model store, the error module, the channel
// table, the lock on its case and the terminal. One Run is made by the driver
// and handed to every phase, so that tests can make a fresh one.
#pragma once

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/channels.hpp"
#include "io/file_lock.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/com_val_tp18.hpp"

namespace qx {

struct Tp19Aside;

struct Terminal {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;  // messages to the user, one "qxconv: " line each
};

struct Run {
  explicit Run(Terminal t = {std::cin, std::cout, std::cerr}, std::vector<std::string> arguments = {})
      : term(t), args(std::move(arguments)) {}

  ComValTp18 val;             // COM_VAL_TP18
  ComErrcmnTp18 err;          // COM_ERRCMN_TP18
  Channels ch;                // the open files of the run
  FileLocks case_lock;        // held on the result files from before the first write to the end
  Terminal term;              // dialogue and end message
  std::vector<std::string> args;  // command-line arguments after the program name
  // The TP19 file converted on a second thread beside TP18, until its
  // outputs are put in place (convert/tp19_aside.hpp); dropping it stops
  // that work and leaves no trace of it.
  std::shared_ptr<Tp19Aside> tp19_aside;
  // Of a run that works on a second thread: once it reads true, the block
  // loop ends at the next block with a failure that is not reported, since
  // nothing of that run is kept.
  const std::atomic<bool>* stop = nullptr;
};

// Tells the user one thing on standard error, as one line "qxconv: message".
inline void tell(Run& run, std::string_view message) {
  run.term.err << "qxconv: " << message << '\n' << std::flush;
}

}  // namespace qx
