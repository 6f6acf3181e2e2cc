// qxdump: shows the blocks and records of TP18/TP19 result files and of the
// files converted from them. Command line and exit status here; the
// inspection of a file is dump_file().
#include <charconv>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "code_map.hpp"
#include "common/command_line.hpp"
#include "csv_export.hpp"
#include "dump_file.hpp"
#include "dump_print.hpp"
#include "help_text.hpp"
#include "html_export.hpp"
#include "io/os_process.hpp"
#include "qx_version.hpp"
#ifdef QX_HAVE_HDF5
#include "hdf5_export.hpp"
#include "xdmf_export.hpp"
#endif

namespace {

#ifndef QX_HAVE_HDF5
// What --version and --hdf5 tell of a qxdump built without the HDF5 library:
// on Linux, what to install for a build with it.
#ifdef _WIN32
constexpr const char* without_hdf5 = "built without HDF5: --hdf5 and --xdmf are not available in the Windows build\n";
#else
constexpr const char* without_hdf5 =
    "built without HDF5: --hdf5 and --xdmf are not available (Debian: install libhdf5-dev and build qxdump again)\n";
#endif
#endif

// Standard output or error through stdio's buffer. The error sink first
// flushes the listing, so that a fault line follows the lines before it.
class StdioSink final : public qx::TextSink {
 public:
  explicit StdioSink(std::FILE* f, std::FILE* flush_first = nullptr) : f_(f), flush_first_(flush_first) {}
  int put(std::string_view text) override {
    if (flush_first_) std::fflush(flush_first_);
    return std::fwrite(text.data(), 1, text.size(), f_) == text.size() ? 0 : 38;
  }

 private:
  std::FILE* f_;
  std::FILE* flush_first_;
};

struct CommandLine {
  qxdump::DumpOptions options;
  bool listing_options = false;  // --records or --values given
  std::vector<std::string> files;
  bool help = false;
  bool version = false;
  bool csv = false;
  std::uint64_t csv_block = 0;
  std::string hdf5;  // the HDF5 file to write
  bool compress = false;
  std::string html;  // the report page to write
  std::string codes;  // the code map that says what the codes mean
  std::string xdmf;   // the XDMF description of the model to write
};

bool count_value(std::string_view v, std::uint64_t& n) {
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  return !v.empty() && ec == std::errc{} && end == v.data() + v.size();
}

using Option = qxtools::Option<CommandLine>;

// The options; their help is help_text(), laid out by hand.
constexpr Option options[] = {
    {"--records", "", "",
     [](CommandLine& c, std::string_view) -> std::string {
       c.options.records = c.listing_options = true;
       return {};
     }},
    {"--values", "N", "",
     [](CommandLine& c, std::string_view v) -> std::string {
       std::uint64_t n = 0;
       if (!count_value(v, n)) return "--values needs a count of values, not '" + std::string(v) + "'";
       c.options.values = static_cast<std::size_t>(n);
       c.listing_options = true;
       return {};
     },
     "--values needs a number"},
    {"--csv", "BLOCK", "",
     [](CommandLine& c, std::string_view v) -> std::string {
       if (!count_value(v, c.csv_block) || c.csv_block == 0)
         return "--csv needs a block number (1 for the first block), not '" + std::string(v) + "'";
       c.csv = true;
       return {};
     },
     "--csv needs a block number"},
    {"--hdf5", "OUT.h5", "",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.hdf5 = v;
       return v.empty() ? "--hdf5 needs the name of the HDF5 file to write" : "";
     },
     "--hdf5 needs the name of the HDF5 file to write"},
    {"--compress", "", "",
     [](CommandLine& c, std::string_view) -> std::string {
       c.compress = true;
       return {};
     }},
    {"--html", "OUT.html", "",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.html = v;
       return v.empty() ? "--html needs the name of the HTML file to write" : "";
     },
     "--html needs the name of the HTML file to write"},
    {"--codes", "MAP", "",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.codes = v;
       return v.empty() ? "--codes needs the name of a code map (a CSV file)" : "";
     },
     "--codes needs the name of a code map (a CSV file)"},
    {"--xdmf", "OUT.xmf", "",
     [](CommandLine& c, std::string_view v) -> std::string {
       c.xdmf = v;
       return v.empty() ? "--xdmf needs the name of the XDMF file to write" : "";
     },
     "--xdmf needs the name of the XDMF file to write"},
    {"-h, --help", "", "",
     [](CommandLine& c, std::string_view) -> std::string {
       c.help = true;
       return {};
     }},
    {"--version", "", "",
     [](CommandLine& c, std::string_view) -> std::string {
       c.version = true;
       return {};
     }},
};

std::string take_file(CommandLine& c, std::string_view file) {
  c.files.emplace_back(file);
  return {};
}

// Empty on success, else what is wrong with the command line.
std::string parse(int argc, char** argv, CommandLine& c) {
  if (std::string error = qxtools::parse_command_line<CommandLine>(argc, argv, options, c, take_file); !error.empty())
    return error;
  if (c.help || c.version) return {};
  if (c.files.empty()) return "no file named";
  const bool hdf5 = !c.hdf5.empty(), html = !c.html.empty(), xdmf = !c.xdmf.empty();
  if (c.csv + hdf5 + html + xdmf > 1) return "--csv, --hdf5, --html and --xdmf cannot be given together";
  const char* exporter = c.csv ? "--csv" : hdf5 ? "--hdf5" : xdmf ? "--xdmf" : "--html";
  if ((c.csv || hdf5 || html || xdmf) && c.listing_options)
    return std::string(exporter) + " takes no listing options (--records, --values)";
  if ((c.csv || hdf5 || xdmf) && c.files.size() != 1)
    return std::string(exporter) + " takes one FILE, not " + std::to_string(c.files.size());
  if (c.compress && !hdf5 && !xdmf) return "--compress goes with --hdf5 or --xdmf";
  return {};
}

// Set when an interrupt or termination asks an export to stop.
volatile std::sig_atomic_t stop_requested = 0;
extern "C" void request_stop(int) { stop_requested = 1; }

}  // namespace

int main(int argc, char** argv) {
  qx::os::write_standard_output_as_bytes();
  CommandLine c;
  if (const std::string error = parse(argc, argv, c); !error.empty()) {
    std::fprintf(stderr, "qxdump: %s (see qxdump --help)\n", error.c_str());
    return 2;
  }
  if (c.version) {
    std::printf("qxdump %.*s\n", static_cast<int>(qx::program_version.size()), qx::program_version.data());
#ifndef QX_HAVE_HDF5
    std::fputs(without_hdf5, stdout);
#endif
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (c.help) {
    const std::string_view h = qxdump::help_text();
    std::fwrite(h.data(), 1, h.size(), stdout);
    return 0;
  }
  // The code map is read whole before any file: a map that cannot be used
  // stops the run before anything is written.
  qxdump::CodeMap codes;
  if (!c.codes.empty()) {
    std::string problem;
    if (!codes.read(c.codes, problem)) {
      std::fprintf(stderr, "qxdump: %s: %s\n", qxdump::printable_text(c.codes).c_str(), problem.c_str());
      return 1;
    }
    c.options.codes = &codes;
  }
  static char out_buffer[1 << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  StdioSink out(stdout), err(stderr, stdout);
  if (!c.html.empty()) {
    // Stopped, the export removes what it has written instead of leaving
    // half a page.
    qx::os::on_stop_request(request_stop);
    qxdump::HtmlOptions options;
    options.interrupted = &stop_requested;
    options.codes = c.options.codes;
    return qxdump::export_html(c.files, c.html, options, err);
  }
  if (!c.hdf5.empty() || !c.xdmf.empty()) {
#ifdef QX_HAVE_HDF5
    // Stopped, the export removes what it has written instead of leaving
    // half a file.
    qx::os::on_stop_request(request_stop);
    qxdump::Hdf5Options options;
    options.compress = c.compress;
    options.interrupted = &stop_requested;
    options.codes = c.options.codes;
    if (!c.xdmf.empty()) return qxdump::export_xdmf(c.files.front(), c.xdmf, options, err);
    return qxdump::export_hdf5(c.files.front(), c.hdf5, options, err);
#else
    std::fputs("qxdump: this qxdump was ", stderr);
    std::fputs(without_hdf5, stderr);
    return 2;
#endif
  }
  if (c.csv) {
    const int status = qxdump::export_csv(c.files.front(), c.csv_block, c.options.codes, out, err);
    if (std::fflush(stdout) != 0) {
      std::fputs("qxdump: standard output cannot be written\n", stderr);
      return 1;
    }
    return status;
  }
  int status = 0;
  for (const std::string& f : c.files) {
    if (qxdump::dump_file(f, c.options, out, err) != 0) status = 1;
  }
  if (std::fflush(stdout) != 0) return 1;
  return status;
}
