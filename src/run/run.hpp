// Everything a run shares: the model store, the error module, the channel
// table, the lock on its case and the terminal. One Run is made by the driver
// and handed to every phase, so that tests can make a fresh one.
#pragma once

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "io/channels.hpp"
#include "io/file_lock.hpp"
#include "run/com_errcmn_tp18.hpp"
#include "run/com_val_tp18.hpp"

namespace qx {

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
};

// Tells the user one thing on standard error, as one line "qxconv: message".
inline void tell(Run& run, std::string_view message) {
  run.term.err << "qxconv: " << message << '\n' << std::flush;
}

}  // namespace qx
