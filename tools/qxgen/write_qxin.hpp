// Writes the MODE1 input data file (.qxin) of a case: the model's sections in
// their fixed columns, with comment lines, blank lines and lines of other
// sections between them, as analysis input files have.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "case_plan.hpp"

namespace qxgen {

// The section keywords that the model reader knows, in the order written.
inline constexpr std::string_view qxin_sections[] = {
    "TITLE",  "NODE",  "BOUND", "BDFEML", "BDFFL", "BDFEMR", "BDFFR",  "BDBASE", "SOLID",  "MSOLID",
    "BEAM",   "SPRING", "RIGID", "WATER",  "WATERB", "SHELL",  "JOINTA", "JOINTB", "VOID",
};

// Writes the file; sections named in `omit` are left out. False with a
// message in `error` when the file cannot be written.
bool write_qxin(const std::string& path, const CasePlan& plan, const std::set<std::string>& omit, std::string& error);

}  // namespace qxgen
