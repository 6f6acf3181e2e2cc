#include "xdmf_export.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>

#include "dump_print.hpp"
#include "hdf5_writer.hpp"
#include "mesh_reader.hpp"
#include "output_file.hpp"
#include "qx_version.hpp"

namespace qxdump {

namespace {

// XDMF's numbers of the cell types in a mixed topology.
constexpr std::int32_t xdmf_polyline = 2, xdmf_quadrilateral = 5;

std::string xml_text(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The mesh as XDMF wants it: nodes by their place in the file, elements as
// cells that name those places.
struct Mesh {
  std::vector<float> xz;  // x, z of each node
  std::vector<std::int32_t> topology, cell_kind, cell_element;
  std::vector<std::string> kinds;  // element record heads, by tag - 1
  std::vector<std::int32_t> kind_dims;  // 2 for faces, 1 for lines
  std::uint64_t cells = 0, left_out = 0;
  std::unordered_map<std::int32_t, std::uint32_t> node_at;
  std::unordered_map<std::int32_t, std::vector<std::uint32_t>> cells_of_element;
};

void build_mesh(const MeshModel& m, Mesh& mesh) {
  for (std::size_t i = 0; i < m.number.size(); ++i) {
    mesh.node_at.emplace(m.number[i], static_cast<std::uint32_t>(i));  // the first node of a number
    mesh.xz.push_back(m.x[i]);
    mesh.xz.push_back(m.z[i]);
  }
  for (const MeshModel::Elements& e : m.elements) {
    std::vector<std::size_t> columns;  // of the nodes
    for (std::size_t c = 0; c < element_row_words; ++c) {
      using qx::format::Column;
      if (e.kind->columns[c] != Column::element && e.kind->columns[c] != Column::unused) columns.push_back(c);
    }
    mesh.kinds.emplace_back(e.kind->name());
    mesh.kind_dims.push_back(columns.size() == 4 ? 2 : 1);
    const auto tag = static_cast<std::int32_t>(mesh.kinds.size());
    for (std::size_t r = 0; r + element_row_words <= e.rows.size(); r += element_row_words) {
      std::vector<std::int32_t> at;
      for (std::size_t c : columns) {
        const auto found = mesh.node_at.find(e.rows[r + c]);
        if (found == mesh.node_at.end()) break;
        at.push_back(static_cast<std::int32_t>(found->second));
      }
      if (at.size() != columns.size() || (at.size() != 4 && at.size() != 2)) {
        ++mesh.left_out;
        continue;
      }
      if (at.size() == 4) {
        mesh.topology.push_back(xdmf_quadrilateral);
      } else {
        mesh.topology.push_back(xdmf_polyline);
        mesh.topology.push_back(2);
      }
      mesh.topology.insert(mesh.topology.end(), at.begin(), at.end());
      mesh.cells_of_element[e.rows[r]].push_back(static_cast<std::uint32_t>(mesh.cells++));
      mesh.cell_kind.push_back(tag);
      mesh.cell_element.push_back(e.rows[r]);
    }
  }
}

// One maxima column laid on the mesh: NaN where no item stands. An element
// number names the element of the kind the map gives, or, where it gives
// none, the one element of that number; a number that names none, or several
// of different kinds, is not placed.
struct Field {
  std::string name;
  bool cells = false;
  std::vector<float> values;
  std::uint64_t unplaced = 0;
};

Field lay(const PlacedMaxima& p, const Mesh& mesh, std::size_t nodes) {
  Field f;
  f.name = "maxima " + std::to_string(p.code) + " (block " + std::to_string(p.block) + ") " + p.column;
  f.cells = p.place.element;
  f.values.assign(f.cells ? mesh.cells : nodes, std::numeric_limits<float>::quiet_NaN());
  for (std::size_t a = 0; a < p.ids.size(); ++a) {
    std::int64_t at = -1;
    if (!f.cells) {
      if (const auto n = mesh.node_at.find(p.ids[a]); n != mesh.node_at.end()) at = n->second;
    } else if (const auto e = mesh.cells_of_element.find(p.ids[a]); e != mesh.cells_of_element.end()) {
      for (std::uint32_t c : e->second) {
        if (!p.place.element_kind.empty() && mesh.kinds[mesh.cell_kind[c] - 1] != p.place.element_kind) continue;
        at = at < 0 ? c : -2;  // -2: more than one
      }
    }
    if (at >= 0) f.values[static_cast<std::size_t>(at)] = p.values[a];
    else ++f.unplaced;
  }
  return f;
}

// The arrays of the description in an HDF5 file.
bool write_arrays(h5::Writer& w, const std::string& source, const MeshModel& m, const Mesh& mesh,
                  const std::vector<Field>& fields) {
  const hid_t root = w.root();
  w.text(root, "source_file", source);
  w.text(root, "program_version", "qxdump " + std::string(qx::program_version));
  h5::Id nodes, cells, sets, values;
  w.group(root, "nodes", nodes);
  const hsize_t n = m.number.size(), xz[2] = {n, 2};
  w.array(nodes.get(), "number", H5T_NATIVE_INT32, std::span(&n, 1), m.number.data());
  w.array(nodes.get(), "xz", H5T_NATIVE_FLOAT, xz, mesh.xz.data());
  w.group(root, "cells", cells);
  const hsize_t t = mesh.topology.size(), c = mesh.cells;
  w.array(cells.get(), "topology", H5T_NATIVE_INT32, std::span(&t, 1), mesh.topology.data());
  w.array(cells.get(), "kind", H5T_NATIVE_INT32, std::span(&c, 1), mesh.cell_kind.data());
  w.array(cells.get(), "element", H5T_NATIVE_INT32, std::span(&c, 1), mesh.cell_element.data());
  w.texts(cells.get(), "kinds", mesh.kinds);
  w.group(root, "sets", sets);
  for (const MeshModel::NodeList& l : m.boundary) {
    std::vector<std::int32_t> place(n, 0);
    for (std::size_t i = 0; i < l.nodes.size(); ++i)
      if (const auto at = mesh.node_at.find(l.nodes[i]); at != mesh.node_at.end() && place[at->second] == 0)
        place[at->second] = static_cast<std::int32_t>(i + 1);
    w.array(sets.get(), l.name, H5T_NATIVE_INT32, std::span(&n, 1), place.data());
  }
  w.group(root, "fields", values);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const hsize_t k = fields[i].values.size();
    h5::Id set;
    char name[24];
    std::snprintf(name, sizeof name, "%03zu", i + 1);
    if (w.array(values.get(), name, H5T_NATIVE_FLOAT, std::span(&k, 1), fields[i].values.data(), &set))
      w.text(set.get(), "name", fields[i].name);
  }
  return w.error().empty();
}

std::string data_item(const std::string& h5, const std::string& path, const char* type, std::uint64_t rows,
                      int columns = 0) {
  std::string dims = std::to_string(rows) + (columns ? " " + std::to_string(columns) : "");
  return "<DataItem DataType=\"" + std::string(type) + "\" Precision=\"4\" Dimensions=\"" + dims +
         "\" Format=\"HDF\">" + xml_text(h5) + ":" + path + "</DataItem>";
}

std::string attribute(const std::string& name, const char* center, const std::string& item) {
  return "      <Attribute Name=\"" + xml_text(name) + "\" AttributeType=\"Scalar\" Center=\"" + center + "\">\n        " +
         item + "\n      </Attribute>\n";
}

std::string xdmf_text(const std::string& h5, const MeshModel& m, const Mesh& mesh, const std::vector<Field>& fields) {
  const std::uint64_t n = m.number.size();
  std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Xdmf Version=\"3.0\">\n  <Domain>\n";
  x += "    <Grid Name=\"" + xml_text(m.title.empty() ? "model" : m.title) + "\" GridType=\"Uniform\">\n";
  x += "      <Geometry GeometryType=\"XY\">\n        " + data_item(h5, "/nodes/xz", "Float", n, 2) + "\n      </Geometry>\n";
  x += "      <Topology TopologyType=\"Mixed\" NumberOfElements=\"" + std::to_string(mesh.cells) + "\">\n        " +
       data_item(h5, "/cells/topology", "Int", mesh.topology.size()) + "\n      </Topology>\n";
  x += attribute("node", "Node", data_item(h5, "/nodes/number", "Int", n));
  x += attribute("element", "Cell", data_item(h5, "/cells/element", "Int", mesh.cells));
  x += attribute("kind", "Cell", data_item(h5, "/cells/kind", "Int", mesh.cells));
  for (const MeshModel::NodeList& l : m.boundary)
    x += attribute("boundary " + l.name, "Node", data_item(h5, "/sets/" + l.name, "Int", n));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    char name[24];
    std::snprintf(name, sizeof name, "%03zu", i + 1);
    x += attribute(fields[i].name, fields[i].cells ? "Cell" : "Node",
                   data_item(h5, "/fields/" + std::string(name), "Float", fields[i].values.size()));
  }
  // The element kinds by their number in `kind`, as meshio reads names of
  // tags (its field_data).
  x += "      <Information Name=\"kind\" Value=\"" + std::to_string(mesh.kinds.size()) + "\"><![CDATA[<main>";
  for (std::size_t k = 0; k < mesh.kinds.size(); ++k)
    x += "<map key=\"" + xml_text(mesh.kinds[k]) + "\" dim=\"" + std::to_string(mesh.kind_dims[k]) + "\">" +
         std::to_string(k + 1) + "</map>";
  x += "</main>]]></Information>\n    </Grid>\n  </Domain>\n</Xdmf>\n";
  return x;
}

bool write_text(const std::string& path, const std::string& text, std::string& why) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!f || std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() || std::fflush(f.get()) != 0) {
    why = std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

int export_xdmf(const std::string& path, const std::string& out_path, const Hdf5Options& options, qx::TextSink& err) {
  const std::string h5_path = out_path + ".h5", h5_name = base_name(h5_path), source = printable_text(path);
  qxtools::ExportFile xmf = export_file(out_path, err), h5 = export_file(h5_path, err);
  const auto fail = [&](const std::string& who, const std::string& why) {
    xmf.fail(who, why);
    err.put("qxdump: " + h5.name() + " not written\n");
    return 1;
  };
  // XDMF names an array as FILE:PATH.
  if (h5_name.find(':') != std::string::npos) return fail(xmf.name(), "an XDMF file cannot name arrays in a file whose name holds ':'");
  if (xmf.create() != 0) return 1;
  if (h5.create() != 0) return fail(xmf.name(), "its arrays' file cannot be created");

  MeshReader reader(options.codes, options.interrupted);
  std::string problem;
  const ReadStatus status = read_file(path, reader, problem);
  if (status == ReadStatus::bad_input) return fail(source, problem);
  if (status == ReadStatus::stopped || reader.interrupted()) return fail(source, "interrupted");
  MeshModel& model = reader.model();
  if (!model.has_model || model.number.empty())
    return fail(source, "holds no model section with nodes: --xdmf describes the model of a converted file "
                        "(CASE_QX2D.TP18 and the like)");

  Mesh mesh;
  build_mesh(model, mesh);
  std::vector<Field> fields;
  for (const PlacedMaxima& p : reader.maxima()) fields.push_back(lay(p, mesh, model.number.size()));

  h5::Writer writer({options.compress});
  if (!writer.create(h5.path()) || !write_arrays(writer, source, model, mesh, fields) || !writer.close())
    return fail(h5.name(), writer.error());
  if (!write_text(xmf.path(), xdmf_text(h5_name, model, mesh, fields), problem)) return fail(xmf.name(), problem);
  if (h5.take_name() != 0) return 1;
  if (xmf.take_name() != 0) {
    std::remove(h5_path.c_str());
    return 1;
  }
  // What could not be placed is told, once per kind of loss.
  for (const std::string& n : model.notes) err.put("qxdump: " + source + ": " + n + "\n");
  if (mesh.left_out)
    err.put("qxdump: " + source + ": " + std::to_string(mesh.left_out) +
            " elements name nodes that the model section does not hold: left out of " + xmf.name() + "\n");
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].unplaced && (i == 0 || reader.maxima()[i - 1].block != reader.maxima()[i].block))
      err.put("qxdump: " + source + ": block " + std::to_string(reader.maxima()[i].block) + ": " +
              std::to_string(fields[i].unplaced) + " of " +
              std::to_string(reader.maxima()[i].ids.size()) + " items name no " +
              (fields[i].cells ? "single element" : "node") + " of the model: left out\n");
  return 0;
}

}  // namespace qxdump
