#include "hdf5_writer.hpp"

#include <algorithm>
#include <numeric>
#include <vector>

namespace qxdump::h5 {

namespace {

// Elements per chunk that the exporter aims at: 1 MiB of 4-byte values, a
// whole record of most histories and spectra in one piece.
constexpr hsize_t chunk_elements = hsize_t{1} << 18;
constexpr unsigned deflate_level = 4;

// The message of the innermost entry of the library's error stack: where
// the failure began (for example the system's reason for a failed write).
herr_t innermost(unsigned n, const H5E_error2_t* e, void* out) {
  if (n == 0 && e->desc) *static_cast<std::string*>(out) = e->desc;
  return 0;
}

// The system's reason where the library quotes it in a longer report of a
// failed read or write ("... error message = 'File too large', ..."); else
// the message on one line.
std::string reason_of(std::string message) {
  static constexpr std::string_view quoted = "error message = '";
  if (const std::size_t at = message.find(quoted); at != std::string::npos) {
    const std::size_t begin = at + quoted.size(), end = message.find('\'', begin);
    if (end != std::string::npos) return message.substr(begin, end - begin);
  }
  std::replace(message.begin(), message.end(), '\n', ' ');
  return message;
}

// Chunks as wide as the dataset in every dimension but the first, which is
// cut so that a chunk holds about chunk_elements values; none for a dataset
// without values.
std::vector<hsize_t> chunk_shape(std::span<const hsize_t> dims) {
  std::vector<hsize_t> chunk(dims.begin(), dims.end());
  if (dims.empty() || std::find(dims.begin(), dims.end(), hsize_t{0}) != dims.end()) return {};
  const hsize_t rest = std::accumulate(dims.begin() + 1, dims.end(), hsize_t{1}, std::multiplies<>());
  chunk[0] = std::clamp<hsize_t>(chunk_elements / rest, 1, dims[0]);
  return chunk;
}

}  // namespace

Id& Id::operator=(Id&& o) noexcept {
  if (this != &o) {
    reset();
    id_ = o.id_;
    close_ = o.close_;
    o.id_ = H5I_INVALID_HID;
  }
  return *this;
}

bool Id::reset() {
  if (id_ < 0) return true;
  const herr_t st = close_(id_);
  id_ = H5I_INVALID_HID;
  return st >= 0;
}

bool Writer::fail(std::string what) {
  if (!error_.empty()) return false;
  std::string reason;
  H5Ewalk2(H5E_DEFAULT, H5E_WALK_UPWARD, innermost, &reason);
  H5Eclear2(H5E_DEFAULT);
  error_ = reason.empty() ? what : what + ": " + reason_of(reason);
  return false;
}

bool Writer::create(const std::string& path) {
  // A file whose closing fails (because its last writes do) stays open in the
  // library, which would close it again at the program's exit and crash
  // there: the library is told to leave its clean-up to the process's end.
  // This must come before any other call into the library.
  H5dont_atexit();
  // The library's own printing of its error stack is replaced by error().
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  // Closing the file closes whatever is still open in it, also after a
  // failed write, so that nothing is left for the library to close at exit.
  const Id access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
  if (!access.valid() || H5Pset_fclose_degree(access.get(), H5F_CLOSE_STRONG) < 0)
    return fail("cannot make a file access list");
  H5AC_cache_config_t cache{};
  cache.version = H5AC__CURR_CACHE_CONFIG_VERSION;
  if (H5Pget_mdc_config(access.get(), &cache) < 0) return fail("cannot read the metadata cache settings");
  cache.set_initial_size = true;
  cache.initial_size = std::size_t{1} << 20;
  cache.min_size = std::size_t{1} << 20;
  cache.max_size = std::size_t{4} << 20;
  if (H5Pset_mdc_config(access.get(), &cache) < 0) return fail("cannot set the metadata cache");
  file_ = Id(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.get()), H5Fclose);
  return file_.valid() || fail("cannot create the HDF5 file");
}

bool Writer::close() { return file_.reset() || fail("cannot finish the HDF5 file"); }

bool Writer::group(hid_t parent, const std::string& name, Id& out) {
  out = Id(H5Gcreate2(parent, name.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
  return out.valid() || fail("cannot create group " + name);
}

bool Writer::attribute(hid_t obj, const char* name, hid_t type, std::span<const hsize_t> dims, const void* data) {
  const hid_t shaped =
      dims.empty() ? H5Screate(H5S_SCALAR) : H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr);
  const Id space(shaped, H5Sclose);
  if (!space.valid()) return fail(std::string("cannot shape attribute ") + name);
  const Id attr(H5Acreate2(obj, name, type, space.get(), H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
  if (!attr.valid()) return fail(std::string("cannot create attribute ") + name);
  return check(H5Awrite(attr.get(), type, data), std::string("cannot write attribute ") + name);
}

bool Writer::text(hid_t obj, const char* name, std::string_view value) {
  const std::string s(value);
  return strings(obj, name, std::span(&s, 1), true);
}

bool Writer::texts(hid_t obj, const char* name, std::span<const std::string> values) {
  return strings(obj, name, values, false);
}

// Variable-length UTF-8 strings: what Python, MATLAB and Julia read as text.
bool Writer::strings(hid_t obj, const char* name, std::span<const std::string> values, bool scalar) {
  const Id type(H5Tcopy(H5T_C_S1), H5Tclose);
  if (!type.valid() || H5Tset_size(type.get(), H5T_VARIABLE) < 0 || H5Tset_cset(type.get(), H5T_CSET_UTF8) < 0)
    return fail("cannot make a string type");
  std::vector<const char*> p;
  for (const std::string& v : values) p.push_back(v.c_str());
  const hsize_t n = values.size();
  return attribute(obj, name, type.get(), scalar ? std::span<const hsize_t>() : std::span(&n, 1), p.data());
}

bool Writer::bytes(hid_t obj, const char* name, std::string_view value) {
  const Id type(H5Tcopy(H5T_C_S1), H5Tclose);
  if (!type.valid() || H5Tset_size(type.get(), std::max<std::size_t>(value.size(), 1)) < 0 ||
      H5Tset_strpad(type.get(), H5T_STR_NULLPAD) < 0)
    return fail("cannot make a string type");
  const std::string padded(value.empty() ? std::string(1, '\0') : std::string(value));
  return attribute(obj, name, type.get(), {}, padded.data());
}

bool Writer::int32s(hid_t obj, const char* name, std::span<const std::int32_t> values, bool scalar) {
  const hsize_t n = values.size();
  return attribute(obj, name, H5T_NATIVE_INT32, scalar ? std::span<const hsize_t>() : std::span(&n, 1),
                   values.data());
}

bool Writer::uint64(hid_t obj, const char* name, std::uint64_t v) {
  return attribute(obj, name, H5T_NATIVE_UINT64, {}, &v);
}

bool Writer::float32s(hid_t obj, const char* name, std::span<const float> values, bool scalar) {
  const hsize_t n = values.size();
  return attribute(obj, name, H5T_NATIVE_FLOAT, scalar ? std::span<const hsize_t>() : std::span(&n, 1),
                   values.data());
}

bool Writer::float64(hid_t obj, const char* name, double v) { return attribute(obj, name, H5T_NATIVE_DOUBLE, {}, &v); }

bool Writer::creation_list(std::span<const hsize_t> chunk, Id& dcpl) {
  dcpl = Id(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
  if (!dcpl.valid()) return fail("cannot make a dataset creation list");
  // Every value is written: filling chunks beforehand would be wasted work.
  if (H5Pset_fill_time(dcpl.get(), H5D_FILL_TIME_NEVER) < 0) return fail("cannot set the fill time");
  if (chunk.empty()) return true;
  if (H5Pset_chunk(dcpl.get(), static_cast<int>(chunk.size()), chunk.data()) < 0) return fail("cannot set chunks");
  if (storage_.compress && (H5Pset_shuffle(dcpl.get()) < 0 || H5Pset_deflate(dcpl.get(), deflate_level) < 0))
    return fail("cannot set compression");
  return true;
}

bool Writer::access_list(Id& dapl) {
  dapl = Id(H5Pcreate(H5P_DATASET_ACCESS), H5Pclose);
  if (!dapl.valid()) return fail("cannot make a dataset access list");
  // Every chunk is written whole, once: without deflate, a chunk cache would
  // only clear and copy each value on its way to the file.
  if (!storage_.compress && H5Pset_chunk_cache(dapl.get(), 0, 0, H5D_CHUNK_CACHE_W0_DEFAULT) < 0)
    return fail("cannot set the chunk cache");
  return true;
}

bool Writer::array(hid_t parent, const std::string& name, hid_t type, std::span<const hsize_t> dims,
                   const void* data, Id* keep) {
  Id dcpl, dapl;
  if (!creation_list(chunk_shape(dims), dcpl) || !access_list(dapl)) return false;
  const Id space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose);
  if (!space.valid()) return fail("cannot shape dataset " + name);
  Id set(H5Dcreate2(parent, name.c_str(), type, space.get(), H5P_DEFAULT, dcpl.get(), dapl.get()), H5Dclose);
  if (!set.valid()) return fail("cannot create dataset " + name);
  const bool empty = std::find(dims.begin(), dims.end(), hsize_t{0}) != dims.end();
  if (!empty && H5Dwrite(set.get(), type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) < 0)
    return fail("cannot write dataset " + name);
  if (keep) *keep = std::move(set);
  return set.reset() || fail("cannot write dataset " + name);
}

bool Writer::rows_begin(hid_t parent, const std::string& name, hid_t type, hsize_t width, RowDataset& d) {
  // One row per chunk (rows wider than a chunk in several): every append
  // fills whole chunks.
  const hsize_t dims[2] = {0, width};
  const hsize_t max[2] = {H5S_UNLIMITED, width == 0 ? H5S_UNLIMITED : width};
  const hsize_t chunk[2] = {1, std::clamp<hsize_t>(width, 1, chunk_elements)};
  Id dcpl, dapl;
  if (!creation_list(chunk, dcpl) || !access_list(dapl)) return false;
  const Id space(H5Screate_simple(2, dims, max), H5Sclose);
  if (!space.valid()) return fail("cannot shape dataset " + name);
  d.set = Id(H5Dcreate2(parent, name.c_str(), type, space.get(), H5P_DEFAULT, dcpl.get(), dapl.get()), H5Dclose);
  d.rows = 0;
  d.width = width;
  return d.set.valid() || fail("cannot create dataset " + name);
}

bool Writer::rows_append(RowDataset& d, hid_t type, const void* row) {
  const hsize_t dims[2] = {d.rows + 1, d.width};
  if (H5Dset_extent(d.set.get(), dims) < 0) return fail("cannot extend a dataset");
  ++d.rows;
  if (d.width == 0) return true;
  const Id file_space(H5Dget_space(d.set.get()), H5Sclose);
  const hsize_t start[2] = {d.rows - 1, 0}, count[2] = {1, d.width};
  const Id mem_space(H5Screate_simple(1, &d.width, nullptr), H5Sclose);
  if (!file_space.valid() || !mem_space.valid() ||
      H5Sselect_hyperslab(file_space.get(), H5S_SELECT_SET, start, nullptr, count, nullptr) < 0)
    return fail("cannot select a row");
  return check(H5Dwrite(d.set.get(), type, mem_space.get(), file_space.get(), H5P_DEFAULT, row),
               "cannot write a row");
}

}  // namespace qxdump::h5
