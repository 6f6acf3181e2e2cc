// One line of a study record: how one conversion of a case ended and what
// identifies it (the state of each input, the settings, the outputs it left),
// as tab-separated fields. The record is read back to tell which cases are
// done with the inputs and settings they have now.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "case_result.hpp"

namespace qxbatch {

// The first field of a record's header line; the format number follows.
inline constexpr std::string_view record_magic = "#qxbatch-record";
inline constexpr int record_format = 1;
// The header line: the magic, the format and the names of the columns.
std::string record_header();

// An input file as the record keeps it: absent, or its size and times.
struct InputMark {
  bool exists = false;
  std::uint64_t size = 0;
  std::int64_t mtime_ns = 0, ctime_ns = 0;
  bool operator==(const InputMark&) const = default;
};
InputMark input_mark(const std::string& path);

// A file that the conversion wrote: its suffix after the base name.
struct OutputMark {
  std::string suffix;
  std::uint64_t size = 0;
  std::int64_t mtime_ns = 0;
  bool operator==(const OutputMark&) const = default;
};

// What a conversion was asked to do, besides its inputs.
struct ConversionSettings {
  std::string qxconv;      // qxconv's version
  std::string byte_order;  // "little" or "big"
  std::string options;     // the run options set (see options_set)
  bool operator==(const ConversionSettings&) const = default;
};

// The inputs of a case in the order the record keeps them.
enum InputIndex { input_qxin, input_tp18, input_tp19, input_count };

struct RecordLine {
  std::string ended;  // UTC, 2026-03-01T09:30:00.123Z
  CaseResult result;  // case as named, status, error, message, seconds, bytes, qxconv's words
  std::string path;   // the case: its directory, without links, and base name
  ConversionSettings settings;
  std::string qxin;   // answer (1), relative to the case's directory
  std::array<InputMark, input_count> inputs;
  std::vector<OutputMark> outputs;
};

// The line, ended by a line feed.
std::string format_record_line(const RecordLine& line);
// False when `text` (without its line feed) is not a whole record line.
bool parse_record_line(std::string_view text, RecordLine& line);

// A field as the record holds it: backslash, tab, line feed and carriage
// return escaped.
std::string record_field(std::string_view text);
// The text of such a field; false when an escape is not one of those.
bool parse_record_field(std::string_view field, std::string& text);

// The time now, as `ended` holds it.
std::string utc_now();

}  // namespace qxbatch
