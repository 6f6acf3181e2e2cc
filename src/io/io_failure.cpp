#include "io/io_failure.hpp"

#include <cctype>
#include <string_view>

#include "io/os_file.hpp"
#include "io/status.hpp"

namespace qx {

namespace {

struct StatusMeaning {
  int status;
  std::string_view words;
};

// What a status number means when nothing more is known of the failure.
constexpr StatusMeaning status_meanings[] = {
    {iostat::end_of_file, "the file ends where more was to be read"},
    {iostat::permission_denied, "permission denied"},
    {iostat::rewind_failed, "the file cannot be read again from its start"},
    {iostat::record_too_long, "a record is longer than the read allows"},
    {iostat::backspace_failed, "the file cannot be stepped back by one record"},
    {iostat::end_of_file_in_read, "the file ends where its data must go on"},
    {iostat::not_found, "no such file"},
    {iostat::open_failed, "not a regular file"},
    {iostat::write_failed, "the write failed"},
    {iostat::read_failed, "the read failed"},
    {iostat::bad_field, "a field that is not a valid number"},
    {iostat::bad_layout, "a layout that cannot be applied"},
    {iostat::line_too_long, "a line is longer than its record allows"},
    {iostat::short_record, "a record holds fewer bytes than are read from it"},
};

std::string n(std::uint64_t v) { return std::to_string(v); }

// The system's words as a message goes on with them: "No space left on
// device" becomes "no space left on device".
std::string system_words(int error) {
  std::string words = os::error_text(error);
  if (words.size() > 1 && std::isupper(static_cast<unsigned char>(words[0])) &&
      std::islower(static_cast<unsigned char>(words[1])))
    words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
  return words;
}

std::string record_words(const IoFailure& f) {
  const std::string record = "a record of " + n(static_cast<std::uint64_t>(f.announced)) + " bytes that begins at byte " +
                             n(f.record_at);
  switch (f.fault) {
    case RecordFault::cut_marker:
      return "the file ends at byte " + n(f.file_end) + ", inside the length marker of a record at byte " +
             n(f.record_at);
    case RecordFault::negative_length:
      return "the record at byte " + n(f.record_at) + " announces a negative length (" + std::to_string(f.announced) +
             ")";
    case RecordFault::cut_record:
      if (f.file_end == f.record_at + 4 + static_cast<std::uint64_t>(f.announced))
        return "the file ends at byte " + n(f.file_end) + ", where the trailing length marker of " + record +
               " should be";
      return "the file ends at byte " + n(f.file_end) + ", inside " + record;
    case RecordFault::marker_mismatch:
      return "the record at byte " + n(f.record_at) + " announces " + std::to_string(f.announced) +
             " bytes in its leading length marker and " + std::to_string(f.trailing) + " in its trailing one";
    case RecordFault::short_record:
      return "the record at byte " + n(f.record_at) + " holds " + std::to_string(f.announced) +
             " bytes, fewer than are read from it";
    case RecordFault::too_long: return "a record is longer than its length marker can tell";
    case RecordFault::none: break;
  }
  return {};
}

}  // namespace

std::string failure_words(const IoFailure& why, int status) {
  if (why.system_error != 0) return system_words(why.system_error);
  if (why.fault != RecordFault::none) return record_words(why);
  for (const StatusMeaning& m : status_meanings)
    if (m.status == status) return std::string(m.words);
  return "status " + std::to_string(status);
}

}  // namespace qx
