// What a code map says of a block, as attributes of the block's group in an
// HDF5 export: quantity, unit, direction, node or element (the number, with
// element_kind), abscissa and abscissa_unit (with the dataset
// abscissa_values where the map gives the values), record_names and
// record_units; for maxima, `holds` (node or element) on item_id1 and
// item_id2 and the names and units of the values on `pairs` or `values`.
// Only what the map states is written: without a map, or for a block it does
// not name, the group is as it is without --codes.
#pragma once

#include <vector>

#include "block_meaning.hpp"
#include "hdf5_writer.hpp"

namespace qxdump {

void write_block_meaning(h5::Writer& w, hid_t group, const BlockMeaning& m);
void write_quantity(h5::Writer& w, hid_t group, const std::string& quantity, const std::string& unit);
// The abscissa that the map gives a block without one: its name and unit,
// and its values as the dataset `abscissa_values` (float64), where it gives
// one value for each of `count`.
void write_mapped_abscissa(h5::Writer& w, hid_t group, const BlockMeaning& m, std::size_t count);
void write_maxima_meaning(h5::Writer& w, hid_t id1, hid_t id2, hid_t values, const MaximaMeaning& m);

}  // namespace qxdump
