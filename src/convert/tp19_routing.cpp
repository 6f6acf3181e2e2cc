#include "convert/tp19_routing.hpp"

#include <array>

namespace qx {

namespace {

constexpr int4 first_nc1 = 41, last_nc1 = 54;
constexpr int4 first_nc2 = 1, last_nc2 = 6;
constexpr std::size_t columns = last_nc2 - first_nc2 + 1;
using Row = std::array<Tp19Route, columns>;

constexpr Tp19Route pass = {};  // passed over
constexpr Tp19Route sv(int4 code) { return {Variant::sv, code}; }
constexpr Tp19Route sh(int4 code) { return {Variant::sh, code}; }

// One row per nc1 from 41 to 54, one column per nc2 from 1 to 6.
constexpr std::array<Row, last_nc1 - first_nc1 + 1> routes = {{
    // nc2:   1       2       3       4       5       6
    /* 41 */ {sv(1),  pass,   sv(2),  sh(1),  sh(2),  sv(3)},
    /* 42 */ {pass,   sv(13), sv(14), sv(11), sv(12), sh(22)},
    /* 43 */ {sv(21), sh(22), sv(22), pass,   sv(31), pass},
    /* 44 */ {pass,   pass,   pass,   pass,   pass,   sv(41)},
    /* 45 */ {sv(1),  pass,   sv(2),  pass,   pass,   sv(3)},
    /* 46 */ {pass,   pass,   sv(51), pass,   sv(52), pass},
    /* 47 */ {pass,   pass,   sv(51), pass,   sv(52), pass},
    /* 48 */ {},
    /* 49 */ {},
    /* 50 */ {},
    /* 51 */ {sv(4),  pass,   sv(5),  sh(4),  sh(5),  sv(6)},
    /* 52 */ {sv(4),  pass,   sv(5),  pass,   pass,   sv(6)},
    /* 53 */ {pass,   pass,   sv(53), pass,   sv(54), pass},
    /* 54 */ {pass,   pass,   sv(53), pass,   sv(54), pass},
}};

}  // namespace

Tp19Route tp19_route(int4 nc1, int4 nc2) {
  if (nc1 < first_nc1 || nc1 > last_nc1 || nc2 < first_nc2 || nc2 > last_nc2) return {};
  return routes[static_cast<std::size_t>(nc1 - first_nc1)][static_cast<std::size_t>(nc2 - first_nc2)];
}

}  // namespace qx
