// What a file is: its byte order, told by its first length marker, and its
// kind, told by its first record (result file, converted file or neither),
// with the result family (TP18 or TP19) and the variant (SV or SH) taken from
// its name where the bytes cannot tell them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "io/byte_order.hpp"
#include "record_cursor.hpp"

namespace qxdump {

enum class FileKind : std::uint8_t {
  empty,      // no bytes at all
  result,     // a TP18 or TP19 result file of the analysis
  converted,  // a converted file: model section, then result blocks
  blocks,     // converted result blocks without a model section
  unknown,    // records, but none of the above
};

// Which block rules apply: those of TP18 files or of TP19 files.
enum class Family : std::uint8_t { tp18, tp19 };

// The variant of a converted file: SV (_QX2D) or SH (_QXSH); `either` when
// nothing tells them apart.
enum class Side : std::uint8_t { either, sv, sh };

struct FileInfo {
  std::string path;
  std::uint64_t size = 0;
  qx::ByteOrder order = qx::ByteOrder::little;
  FileKind kind = FileKind::unknown;
  Family family = Family::tp18;
  bool family_from_name = false;  // the name says TP18 or TP19
  Side side = Side::either;       // from the name; the model section may refine it
  bool side_from_name = false;
};

// Byte order from the first record's markers: little-endian when the
// little-endian reading of the leading marker gives a length that the file
// holds, with a trailing marker that agrees; big-endian when only the swapped
// reading does. False (and `why`, naming offset 0) when neither fits.
bool detect_byte_order(const RawFile& raw, qx::ByteOrder& order, std::string& why);

// Kind of the file from its first record; a TP18 or TP19 family that the name
// left open may follow from it.
void detect_kind(const Record& first, FileInfo& info);

// The family and side that a file name states (".TP19", "_QXSH" and so on,
// in any letter case).
void name_hints(std::string_view path, FileInfo& info);

std::string_view kind_text(const FileInfo& info);
std::string_view family_text(Family f);
std::string_view side_text(Side s);

}  // namespace qxdump
