#include "block_rules.hpp"

namespace qxdump {

int ordinary_data_records(std::string_view kind, Family family, bool converted) {
  const qx::format::BlockKind& k = qx::format::block_kind(kind);
  if (family == Family::tp19) return converted ? k.converted_tp19_records : k.tp19_records;
  return converted ? k.converted_tp18_records : k.tp18_records;
}

int axis_records(std::string_view kind, Family family, bool converted) {
  return family == Family::tp18 && converted && qx::format::block_kind(kind).axis ? 1 : 0;
}

std::optional<int> tp18_dropped_records(std::string_view kind, const Codes& nc) {
  return qx::format::tp18_dropped_records(kind, nc[0], nc[1], nc[2]);
}

bool is_block_header(const Record& r, FileKind kind, Family family) {
  if (kind == FileKind::empty || kind == FileKind::unknown || !r.printable_word(0)) return false;
  if (kind == FileKind::converted || kind == FileKind::blocks) return r.length == converted_rec1_bytes;
  if (family == Family::tp18 && r.word(0) == maxima_word) return r.length >= maxima_header_bytes;
  return r.length >= rec1_bytes;
}

}  // namespace qxdump
