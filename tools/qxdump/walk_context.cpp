#include "walk_context.hpp"

namespace qxdump {

RecordCursor::Step WalkContext::next(Record& r) {
  const RecordCursor::Step s = cursor.next(r);
  if (s == RecordCursor::Step::fault) problem = cursor.fault();
  return s;
}

bool WalkContext::entry(const Record& r, std::string_view role, bool data, std::uint64_t int_words,
                        RecordEntry& e) {
  e.offset = r.offset;
  e.length = r.length;
  e.role = role;
  e.data = data;
  e.int_words = int_words;
  words = {};
  if (!data) return true;
  const std::uint64_t wanted = handler.values_wanted();
  if (wanted == 0) return true;
  if (cursor.words(r, wanted, buffer, words) != RecordCursor::Step::record) {
    problem = cursor.fault();
    return false;
  }
  return true;
}

WalkStatus WalkContext::cut_short(std::string what) {
  problem = "file ends early at offset " + std::to_string(cursor.offset()) + ": " + what;
  return WalkStatus::cut;
}

}  // namespace qxdump
