// Why an operation on a file failed, kept beside its status number so that a
// message can say it in words: the operating system's error number, or what
// a binary record reader found wrong with a record. The status number alone
// is what the list file shows; these words go to the terminal only.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

enum class RecordFault : std::uint8_t {
  none,
  cut_marker,       // the file ends inside the leading length marker of a record
  negative_length,  // a leading marker announces a negative length
  cut_record,       // the file ends inside the record that its marker announces
  marker_mismatch,  // the trailing marker differs from the leading one
  short_record,     // the record holds fewer bytes than are read from it
  too_long,         // a record to write is longer than a marker can tell
};

struct IoFailure {
  int system_error = 0;  // errno of the refused call; 0 when the system refused nothing
  RecordFault fault = RecordFault::none;
  std::uint64_t record_at = 0;  // byte offset of the record's leading marker
  std::int64_t announced = 0;   // payload length that the leading marker announces
  std::uint64_t file_end = 0;   // where the file ends (cut_marker, cut_record)
  std::int64_t trailing = 0;    // the trailing marker found (marker_mismatch)

  static IoFailure from_system(int error) { return IoFailure{error}; }
};

// What a failure with status number `status` means: the system's words for
// its error number, the record's fault with its byte offsets, or, when
// nothing more is known, the meaning of the status number
// ("no space left on device", "the file ends at byte 77064, inside a record
// of 96480 bytes that begins at byte 9922932", "permission denied").
std::string failure_words(const IoFailure& why, int status);

}  // namespace qx
