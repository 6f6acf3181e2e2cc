// The command line of qxgen: its options as a table (common/command_line.hpp),
// parsed into GenOptions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "record_file.hpp"
#include "result_block.hpp"

namespace qxgen {

// The nsize2 that --hostile-nsize2 writes into a WAVE block's size record.
inline constexpr std::int32_t hostile_nsize2 = 2000000000;
// The item count that --hostile-na writes into a maxima block's data record.
inline constexpr std::int32_t hostile_na = 2000000000;

struct GenOptions {
  std::string base;                     // --out
  std::uint64_t seed = 1;
  std::uint64_t size = 100 * 1024;
  bool info = true;                     // result files begin with INFO
  bool tp18 = true, tp19 = true;        // which result files to write
  std::set<std::string> omit;           // .qxin sections left out
  std::uint32_t block_kinds = all_block_kinds;
  std::uint64_t truncate_tp18 = RecordFile::no_limit;
  std::uint64_t truncate_tp19 = RecordFile::no_limit;
  bool hostile_tp18 = false, hostile_tp19 = false;
  bool hostile_na = false;              // --hostile-na (TP18 only: TP19 has no maxima)
  bool help = false;                    // -h, --help
};

enum class ParseOutcome { run, help, error };

// Parses argv[1..]; on error `error` says why.
ParseOutcome parse_options(int argc, char** argv, GenOptions& options, std::string& error);

void print_help(std::FILE* out);

}  // namespace qxgen
