// The report page of one or more result or converted files of a case: one
// self-contained HTML file (its styles, scripts, the plotting library and the
// data inline) that draws the model, lists the blocks, plots their curves and
// shows the maxima, and asks for nothing from elsewhere when it is opened.
#pragma once

#include <csignal>
#include <string>
#include <vector>

#include "io/layout.hpp"

namespace qxdump {

class CodeMap;

struct HtmlOptions {
  // Set by a signal handler to give up: the export then fails as any other.
  const volatile std::sig_atomic_t* interrupted = nullptr;
  const CodeMap* codes = nullptr;  // --codes: what the blocks hold, in words
};

// Writes the page of the files at `paths` to `out_path`, under a temporary
// name in the same directory until it is complete; on any failure the
// temporary file is removed and `out_path` is left as it was. 0 on success;
// 1, with lines on `err`, for a damaged file (as the listing tells it, with
// its byte offset), a file that is neither a result nor a converted file, a
// failed write, or an interruption.
int export_html(const std::vector<std::string>& paths, const std::string& out_path, const HtmlOptions& options,
                qx::TextSink& err);

}  // namespace qxdump
