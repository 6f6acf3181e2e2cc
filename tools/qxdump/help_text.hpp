// The text of "qxdump --help": the inspector's options and listing, and how
// the converter qxconv is run and what it writes.
#pragma once

#include <string_view>

namespace qxdump {

std::string_view help_text();

}  // namespace qxdump
