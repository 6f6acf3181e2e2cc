// Status numbers of file and terminal operations. Every operation returns one;
// callers print it after "IOSTAT =" in their messages.
#pragma once

namespace qx::iostat {

inline constexpr int ok = 0;
inline constexpr int end_of_file = -1;        // a read met the end of the file at a record boundary
inline constexpr int permission_denied = 9;
inline constexpr int rewind_failed = 20;
inline constexpr int record_too_long = 22;     // binary input record too long for the read
inline constexpr int backspace_failed = 23;
inline constexpr int end_of_file_in_read = 24; // end of file where the data must go on
inline constexpr int not_found = 29;
inline constexpr int open_failed = 30;
inline constexpr int write_failed = 38;        // disk full, I/O error, closed channel
inline constexpr int read_failed = 39;         // I/O error, corrupt record markers, truncated record
inline constexpr int bad_field = 64;           // a text field that is not a valid number
// A layout that cannot be applied: its text is not valid, an item does not fit
// the type of its descriptor, a literal on input, a scale factor out of range
// for E, or items left for a layout without data descriptors. Only a fault of
// the program itself meets it; the layouts of the system never do.
inline constexpr int bad_layout = 65;
inline constexpr int line_too_long = 66;       // output line longer than the record allows
inline constexpr int short_record = 67;        // a binary read asks for more data than the record holds
// A record that could not be passed from one file to another in one piece:
// nothing was read or written, and the caller reads and writes it itself.
// Never reported; it only tells the caller to take the ordinary way.
inline constexpr int not_copied = -2;

// Status of a failed open, from the operating system's error number.
int from_open_errno(int err);

}  // namespace qx::iostat
