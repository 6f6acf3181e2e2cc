// qxdump: shows the blocks and records of TP18/TP19 result files and of the
// files converted from them. Command line and exit status here; the
// inspection of a file is dump_file().
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "dump_file.hpp"
#include "help_text.hpp"
#include "qx_version.hpp"

namespace {

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
  std::vector<std::string> files;
  bool help = false;
  bool version = false;
};

// Empty on success, else what is wrong with the command line.
std::string parse(int argc, char** argv, CommandLine& c) {
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (options_end || a.empty() || a[0] != '-' || a == "-") {
      c.files.emplace_back(a);
    } else if (a == "--") {
      options_end = true;
    } else if (a == "-h" || a == "--help") {
      c.help = true;
    } else if (a == "--version") {
      c.version = true;
    } else if (a == "--records") {
      c.options.records = true;
    } else if (a == "--values" || a.starts_with("--values=")) {
      std::string_view v;
      if (a == "--values") {
        if (i + 1 >= argc) return "--values needs a number";
        v = argv[++i];
      } else {
        v = a.substr(9);
      }
      std::size_t n = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
      if (v.empty() || ec != std::errc{} || end != v.data() + v.size())
        return "--values needs a count of values, not '" + std::string(v) + "'";
      c.options.values = n;
    } else {
      return "unknown option '" + std::string(a) + "'";
    }
  }
  if (!c.help && !c.version && c.files.empty()) return "no file named";
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine c;
  if (const std::string error = parse(argc, argv, c); !error.empty()) {
    std::fprintf(stderr, "qxdump: %s (see qxdump --help)\n", error.c_str());
    return 2;
  }
  if (c.version) {
    std::printf("qxdump %.*s\n", static_cast<int>(qx::program_version.size()), qx::program_version.data());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (c.help) {
    const std::string_view h = qxdump::help_text();
    std::fwrite(h.data(), 1, h.size(), stdout);
    return 0;
  }
  static char out_buffer[1 << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  StdioSink out(stdout), err(stderr, stdout);
  int status = 0;
  for (const std::string& f : c.files) {
    if (qxdump::dump_file(f, c.options, out, err) != 0) status = 1;
  }
  if (std::fflush(stdout) != 0) return 1;
  return status;
}
