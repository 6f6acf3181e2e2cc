#include "write_result_file.hpp"

#include <algorithm>
#include <array>

#include "random.hpp"
#include "value_stream.hpp"

namespace qxgen {
namespace {

constexpr std::size_t chunk_values = 16384;

void write_ordinary(RecordFile& f, const BlockSpec& b) {
  f.begin(40);
  f.put_text4(b.name);
  for (std::int32_t v : b.nc) f.put_i32(v);
  f.put_f64(b.dmp);
  f.put_i32(b.lrec);
  f.end();

  f.begin(28);
  f.put_i32(b.nsize2);
  f.put_f64(b.dt);
  for (float v : b.yt) f.put_f32(v);
  f.end();

  ValueStream values(b.seed, b.style);
  std::array<float, chunk_values> chunk;
  for (std::int32_t r = 0; r < b.data_records && !f.full(); ++r) {
    f.begin(static_cast<std::uint32_t>(4 * b.values));
    for (std::int64_t left = b.values; left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, chunk_values));
      values.fill(chunk.data(), n);
      f.put_f32s(chunk.data(), n);
      left -= static_cast<std::int64_t>(n);
    }
    f.end();
  }
}

// Identifiers of item k of a maxima block: a node, a pair of neighbouring
// nodes, or an element with the time step of its maximum.
void item_ids(const BlockSpec& b, const ModelShape& model, Random& rng, std::int64_t k, std::int32_t& id1,
              std::int32_t& id2) {
  switch (b.items) {
    case MaximaItems::nodes:
      id1 = model.grid_node(k);
      id2 = static_cast<std::int32_t>(rng.between(1, 10000));
      break;
    case MaximaItems::node_pairs:
      id1 = model.grid_node(k);
      id2 = model.grid_node(k + model.nx);
      break;
    case MaximaItems::elements:
      id1 = static_cast<std::int32_t>(k % model.solid_count() + 1);
      id2 = static_cast<std::int32_t>(rng.between(1, 10000));
      break;
  }
}

void write_maxima(RecordFile& f, const BlockSpec& b, const ModelShape& model) {
  f.begin(static_cast<std::uint32_t>(b.header_bytes));
  f.put_text4(b.name);
  f.put_i32(b.nc[0]);
  f.put_i32(b.nc[1]);
  f.put_i32(b.lrec);
  f.put_zeros(static_cast<std::size_t>(b.header_bytes - 16));
  f.end();

  const std::int64_t na = b.na, nd = b.nd;
  f.begin(static_cast<std::uint32_t>(4 + 8 * na + 8 * nd * na));
  f.put_i32(b.na_field != 0 ? b.na_field : b.na);
  // ia1 and ia2 come from one stream, so both passes draw the same values.
  for (int pass = 0; pass < 2; ++pass) {
    Random ids(b.seed);
    for (std::int64_t k = 0; k < na; ++k) {
      std::int32_t id[2];
      item_ids(b, model, ids, k, id[0], id[1]);
      f.put_i32(id[pass]);
    }
  }
  // acl(1, d, a) a maximum, acl(2, d, a) the time at which it occurred.
  ValueStream peaks(derive_seed(b.seed, 1), b.style);
  Random times(derive_seed(b.seed, 2));
  for (std::int64_t k = 0; k < na * nd; ++k) {
    f.put_f32(peaks.next());
    f.put_f32(static_cast<float>(times.unit() * 120.0));
  }
  f.end();
}

}  // namespace

bool write_result_file(const std::string& path, const std::vector<BlockSpec>& blocks, const ModelShape& model,
                       std::uint64_t limit, std::string& error) {
  RecordFile f;
  if (!f.open(path, limit)) {
    error = f.error();
    return false;
  }
  for (const auto& b : blocks) {
    if (f.full()) break;
    if (b.kind == BlockKind::maxr)
      write_maxima(f, b, model);
    else
      write_ordinary(f, b);
  }
  if (!f.close()) {
    error = f.error();
    return false;
  }
  return true;
}

}  // namespace qxgen
