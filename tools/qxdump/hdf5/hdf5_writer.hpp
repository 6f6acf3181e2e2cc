// A thin layer over the HDF5 C library for the exporter: owned identifiers,
// groups, attributes of the few kinds the exporter writes, whole datasets and
// datasets grown a row at a time. Every call says whether it succeeded; the
// first failure's reason is kept, in the library's own words.
#pragma once

#include <hdf5.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qxdump::h5 {

// One HDF5 identifier, closed with the function of its kind.
class Id {
 public:
  Id() = default;
  Id(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  Id(Id&& o) noexcept : id_(o.id_), close_(o.close_) { o.id_ = H5I_INVALID_HID; }
  Id& operator=(Id&& o) noexcept;
  Id(const Id&) = delete;
  Id& operator=(const Id&) = delete;
  ~Id() { reset(); }
  hid_t get() const { return id_; }
  bool valid() const { return id_ >= 0; }
  // Closes now; false when the library reports a failure.
  bool reset();

 private:
  hid_t id_ = H5I_INVALID_HID;
  herr_t (*close_)(hid_t) = nullptr;
};

struct Storage {
  bool compress = false;  // shuffle and deflate on every chunked dataset
};

// A 2-D dataset whose rows are appended one at a time.
struct RowDataset {
  Id set;
  hsize_t rows = 0, width = 0;
};

class Writer {
 public:
  explicit Writer(Storage storage) : storage_(storage) {}
  bool create(const std::string& path);
  // Closes the file, writing out what the library still holds.
  bool close();
  hid_t root() const { return file_.get(); }
  // The reason of the first failure.
  const std::string& error() const { return error_; }
  bool fail(std::string what);

  bool group(hid_t parent, const std::string& name, Id& out);

  bool text(hid_t obj, const char* name, std::string_view value);
  bool texts(hid_t obj, const char* name, std::span<const std::string> values);
  // Characters as they are, NUL bytes included, in a fixed-length string.
  bool bytes(hid_t obj, const char* name, std::string_view value);
  bool int32s(hid_t obj, const char* name, std::span<const std::int32_t> values, bool scalar = false);
  bool int32(hid_t obj, const char* name, std::int32_t v) { return int32s(obj, name, {&v, 1}, true); }
  bool uint64(hid_t obj, const char* name, std::uint64_t v);
  bool float32s(hid_t obj, const char* name, std::span<const float> values, bool scalar = false);
  bool float32(hid_t obj, const char* name, float v) { return float32s(obj, name, {&v, 1}, true); }
  bool float64(hid_t obj, const char* name, double v);

  // A dataset of the shape `dims` (C order) written whole from `data`, whose
  // memory type `type` is also its type in the file.
  bool array(hid_t parent, const std::string& name, hid_t type, std::span<const hsize_t> dims, const void* data,
             Id* keep = nullptr);
  bool rows_begin(hid_t parent, const std::string& name, hid_t type, hsize_t width, RowDataset& d);
  bool rows_append(RowDataset& d, hid_t type, const void* row);

 private:
  bool attribute(hid_t obj, const char* name, hid_t type, std::span<const hsize_t> dims, const void* data);
  bool strings(hid_t obj, const char* name, std::span<const std::string> values, bool scalar);
  bool creation_list(std::span<const hsize_t> chunk, Id& dcpl);
  bool access_list(Id& dapl);
  bool check(herr_t status, const std::string& what) { return status >= 0 || fail(what); }

  Storage storage_;
  Id file_;
  std::string error_;
};

}  // namespace qxdump::h5
