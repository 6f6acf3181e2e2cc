#include "model_rules.hpp"

namespace qxdump {

namespace {

// Element records of the model section in file order. Two-node elements keep
// their nodes in columns 2 and 4 (rotational springs in 3 and 5) and zeros in
// the other two.
constexpr ElementKind element_kind_table[] = {
    // head    table               slot densities sv     sh     columns
    {"SOLID",  "solid",             1,  true,     true,  true,  {"element", "node1", "node2", "node3", "node4"}},
    {"BEAM",   "beam",              2,  false,    true,  false, {"element", "node1", "unused", "node2", "unused"}},
    {"SPRING", "spring",            3,  false,    true,  false, {"element", "node1", "unused", "node2", "unused"}},
    // the springs again, as rotational springs
    {"ROTATE", "rotational_spring", 3,  false,    true,  false, {"element", "unused", "node1", "unused", "node2"}},
    {"WATER",  "water",             5,  false,    true,  false, {"element", "node1", "node2", "node3", "node4"}},
    {"WATERB", "water_boundary",    6,  false,    true,  false, {"element", "node1", "node2", "node3", "node4"}},
    {"SHELL",  "shell",             7,  false,    true,  false, {"element", "node1", "node2", "node3", "node4"}},
    {"RIGID",  "rigid",             8,  false,    true,  false, {"element", "node1", "unused", "node2", "unused"}},
    // joints come before voids
    {"JOINT",  "joint",             10, false,    true,  false, {"element", "node1", "node2", "node3", "node4"}},
    {"VOID",   "void",              9,  false,    true,  false, {"element", "node1", "node2", "node3", "node4"}},
    // SH: beams, springs and rigid links merged
    {"SPRING", "spring",            3,  false,    false, true,  {"element", "node1", "unused", "node2", "unused"}},
};

}  // namespace

std::span<const ElementKind> element_kinds() { return element_kind_table; }

}  // namespace qxdump
