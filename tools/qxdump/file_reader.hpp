// Streaming reader of TP18/TP19 result files and of the files converted from
// them, for the listing and the exporters. One pass in file order: what the
// file is, the model section's records, then every block: its header, its
// data records one at a time, its end. Memory holds one record, never the
// file; nothing that the file does not back is read or allocated.
//
// An exporter derives from FileHandler, overrides the events it needs and
// calls read_file(). Values come as 4-byte words in host order (int4_at and
// real4_at give them typed), valid until the call returns. A handler returns
// false to stop the reading (read_file then gives `stopped`); a damaged file
// gives `bad_input` and the description that the listing prints, with its
// byte offset.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "dump_report.hpp"
#include "file_kind.hpp"

namespace qxdump {

inline std::int32_t int4_at(Words w, std::size_t i) { return static_cast<std::int32_t>(w[i]); }
inline float real4_at(Words w, std::size_t i) { return std::bit_cast<float>(w[i]); }

class FileHandler {
 public:
  virtual ~FileHandler() = default;
  // Leading words of each data record that the handler wants (all of them
  // unless it says otherwise); asked again for every record.
  virtual std::uint64_t values_wanted() const { return std::numeric_limits<std::uint64_t>::max(); }

  // Kind, family, variant (from the name; model_begin refines it), byte order.
  virtual bool identity(const FileInfo&) { return true; }
  virtual bool model_begin(const FileInfo&, std::string_view /*how the variant was told*/) { return true; }
  // Counts (no words), boundary lists, nodes, one element kind per record.
  virtual bool model_record(const ModelRecordReport&, Words) { return true; }
  // Header fields complete; records holds REC1 (and REC2) or the maxima header.
  virtual bool block_begin(const BlockReport&) { return true; }
  // The index-th data record of the block (0-based), after block_begin.
  virtual bool data_record(const BlockReport&, const RecordEntry&, std::size_t /*index*/, Words) { return true; }
  // Every record of the block and the notes on it. A block that the file
  // breaks off (`broken`) comes here too, and read_file() then fails.
  virtual bool block_end(const BlockReport&) { return true; }
  // A record that belongs to no block.
  virtual bool unplaced(const RecordEntry&, std::string_view /*first word*/, Words) { return true; }
  // A finding that belongs to no record (a model record missing).
  virtual bool note(std::string_view) { return true; }
  virtual bool file_end(std::uint64_t /*offset*/, std::uint64_t /*records*/, const DumpTotals&) { return true; }
};

enum class ReadStatus : std::uint8_t { ok, bad_input, stopped };

// `problem` receives why the file could not be read to its end.
ReadStatus read_file(const std::string& path, FileHandler& handler, std::string& problem);

}  // namespace qxdump
