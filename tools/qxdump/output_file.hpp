// Files that an export writes under a temporary name beside the one asked
// for, and that take their name only when they are complete.
#pragma once

#include <string>

namespace qxdump {

// Creates an empty file with a hidden, unique name in the directory of
// `out_path` (".NAME.XXXXXX"), with the permissions that a new file gets, and
// returns its name; empty, with `why`, when it cannot be created.
std::string temporary_file_beside(const std::string& out_path, std::string& why);

}  // namespace qxdump
