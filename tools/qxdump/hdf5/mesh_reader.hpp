// What the XDMF description of a converted file needs, gathered in one pass:
// the model section (nodes, element records, boundary lists) and the maxima
// blocks whose items the code map places on nodes or elements, with the
// names of their columns.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "block_meaning.hpp"
#include "file_reader.hpp"

namespace qxdump {

struct MeshModel {
  bool has_model = false;
  std::string title;  // printable, trailing blanks cut
  std::vector<std::int32_t> number;
  std::vector<float> x, z;
  struct Elements {
    const ElementRecord* kind = nullptr;
    std::vector<std::int32_t> rows;  // five columns per element
  };
  std::vector<Elements> elements;
  struct NodeList {
    std::string name;  // "left_model_node", "base", ...
    std::vector<std::int32_t> nodes;
  };
  std::vector<NodeList> boundary;
  std::vector<std::string> notes;  // records that do not fit their counts
};

// One column of a maxima block whose items are nodes or elements.
struct PlacedMaxima {
  std::uint64_t block = 0;
  std::int32_t code = 0;
  Place place;                    // what the identifiers hold
  std::string column;             // its title: the map's name and unit, or c1_1...
  std::vector<std::int32_t> ids;  // of the items
  std::vector<float> values;      // one per item
};

class MeshReader final : public FileHandler {
 public:
  // `interrupted`, set by a signal handler, stops the reading.
  MeshReader(const CodeMap* codes, const volatile std::sig_atomic_t* interrupted)
      : codes_(codes), interrupted_(interrupted) {}

  bool identity(const FileInfo& info) override {
    info_ = info;
    return true;
  }
  bool model_begin(const FileInfo& info, std::string_view) override;
  bool model_record(const ModelRecordReport& m, Words words) override;
  bool block_begin(const BlockReport&) override { return !interrupted(); }
  bool data_record(const BlockReport& b, const RecordEntry& r, std::size_t index, Words words) override;
  bool interrupted() const { return interrupted_ && *interrupted_; }

  const FileInfo& info() const { return info_; }
  MeshModel& model() { return model_; }
  std::vector<PlacedMaxima>& maxima() { return maxima_; }

 private:
  const CodeMap* codes_;
  const volatile std::sig_atomic_t* interrupted_;
  FileInfo info_;
  MeshModel model_;
  std::vector<PlacedMaxima> maxima_;
};

}  // namespace qxdump
