// The blocks of a file as `qxdump --records` lists them (number, kind, and
// the offset and length of each record), with the file's bytes decoded at
// those offsets by the test itself.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "convert/tp18_model.hpp"
#include "tools/generated_cases.hpp"

namespace qxtools {

struct ListedRecord {
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
  std::string role;  // REC1, REC2, header, data
};

struct ListedBlock {
  std::uint64_t number = 0;
  std::string kind;
  std::vector<ListedRecord> records;
  std::vector<ListedRecord> data() const {
    std::vector<ListedRecord> d;
    for (const ListedRecord& r : records)
      if (r.role == "data") d.push_back(r);
    return d;
  }
};

inline std::vector<ListedBlock> listed_blocks(const std::string& path) {
  const qxtest::CommandResult r = qxtest::run_program({QXDUMP_PATH, "--records", path});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<ListedBlock> blocks;
  for (const std::string& line : qxtest::split_lines(r.out)) {
    std::istringstream in(line);
    std::string word, at, length, role;
    if (line.starts_with("block ")) {
      ListedBlock b;
      in >> word >> b.number >> at >> b.kind;
      blocks.push_back(b);
    } else if (line.starts_with("  record ") && !blocks.empty() && in >> word >> at >> length >> role) {
      blocks.back().records.push_back(
          {std::stoull(at.substr(1)), static_cast<std::uint32_t>(std::stoul(length.substr(7))), role});
    }
  }
  return blocks;
}

// A converted file is big-endian when its first marker, 116, reads so.
inline bool big_endian(const std::string& bytes) { return bytes.size() >= 4 && bytes[3] == 116; }

// The k-th 4-byte word of the payload of the record at `offset`.
inline std::uint32_t word_at(const std::string& bytes, const ListedRecord& r, std::size_t k, bool big) {
  return tp18model::load32(bytes, r.offset + 4 + 4 * k, big);
}
inline float real4_at(const std::string& bytes, const ListedRecord& r, std::size_t k, bool big) {
  return std::bit_cast<float>(word_at(bytes, r, k, big));
}
inline double real8_at(const std::string& bytes, const ListedRecord& r, std::size_t at) {
  double v;  // result files hold their real8 values little-endian
  std::memcpy(&v, bytes.data() + r.offset + 4 + at, 8);
  return v;
}

}  // namespace qxtools
