// Free-form terminal dialogue: output lines that begin with one blank, and
// input of one value per read.
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>

namespace qx {

// One line: a blank, then the items back to back; an empty line without items.
void free_form_write(std::ostream& out, std::initializer_list<std::string_view> items);

// Reads one text value: empty lines and leading blanks are skipped; the value
// ends at a blank, comma or slash or at the end of the line unless it stands
// between quotes or apostrophes (a doubled quote inside stands for one). The
// rest of the line is passed over. The value is cut to max_len characters.
// 0, or -1 at the end of the input (the value is then left empty).
int free_form_read(std::istream& in, std::string& value, std::size_t max_len);

}  // namespace qx
