// The operating system's side of the files: the one place where the calls of
// POSIX systems and of Windows differ. The readers, writers, staged files and
// the case lock are written once against these routines; the build takes
// os_file_posix.cpp or os_file_windows.cpp.
//
// File names are the bytes that the user typed. Windows opens them through
// its wide API, taking a name as UTF-8 and, when it is not valid UTF-8, in
// the system's ANSI code page (the code page of the programs' arguments).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace qx::os {

// An open file: a descriptor, or a Windows handle.
using File = std::intptr_t;
inline constexpr File no_file = -1;

// Error numbers are the system's (errno, or GetLastError on Windows); 0 is
// none. The text of one, for messages; whether it says that nothing bears
// the name, or that the name is taken already.
std::string error_text(int error);
// The error number of the routine below that failed last on this thread,
// read right after it: why an open, read or write failed. 0 for an open
// refused for what the name leads to (a directory on Windows, anything but
// a regular file for reading), where the system refused nothing.
int last_error();
bool is_missing(int error);
bool is_taken(int error);

enum class FileType : std::uint8_t { regular, directory, link, other };

struct FileFacts {
  FileType type = FileType::other;
  std::uint64_t size = 0;
  std::uint64_t links = 1;  // the names of the file
  // Owner, group and permission bits where the system has them (0 elsewhere).
  std::uint32_t owner = 0, group = 0, mode = 0;
};

// The facts of the file that a name leads to, or with `follow_links` false
// of the name itself (a symbolic link is then a link): 0 or the error.
int facts_of(const std::string& path, bool follow_links, FileFacts& facts);
int facts_of(File f, FileFacts& facts);
// The file belongs to the user of this process.
bool owned_by_me(const FileFacts& facts);
// Gives `f` the group and permission bits of `facts`: 0 or the error.
int take_group_and_mode(File f, const FileFacts& facts);

// Opens return the status numbers of io/status.hpp: 0, 9 (permission
// denied), 29 (not found) or 30 (anything else, a directory included).
//
// For reading, a regular file (or a link to one) only: a FIFO, socket or
// device would block the run or never end, and is refused (30) without
// waiting for a FIFO's writer. `facts` describe the open file.
int open_for_reading(const std::string& path, File& f, FileFacts& facts);
// For writing, created when missing and left as it is otherwise.
int open_for_writing(const std::string& path, File& f);
// For reading and writing, created when missing and left as it is.
int open_for_update(const std::string& path, File& f, FileFacts& facts);
// Whatever the name leads to, opened for reading as it is (a directory too,
// for its facts): 0 or the error.
int open_existing(const std::string& path, File& f);
// An empty regular file of its own where it stands, for writing; a link is
// not followed. False when the name leads to anything else.
bool open_empty_in_place(const std::string& path, File& f);
// False when the system reports a failure (a write that was lost).
bool close_file(File f);

// Reads at `offset`, retried over partial and interrupted reads, up to n
// bytes: the bytes read, fewer only at the end of the file, or -1 on an I/O
// error. Leaves the file's own position where it was (POSIX) or undefined.
long long read_at(File f, std::uint64_t offset, void* dst, std::size_t n);
// One read at the file's position: the bytes read (0 at the end), -1 on an
// error.
long long read_next(File f, void* dst, std::size_t n);
// Back to the start for read_next.
bool rewind_file(File f);

// Writes a whole buffer at the file's position, retrying partial writes and
// interrupted calls; false when the system refuses (disk full, I/O error).
bool write_all(File f, const void* data, std::size_t n);
// The same at `offset`.
bool write_all_at(File f, std::uint64_t offset, const void* data, std::size_t n);
// Parts written one after the other, in one call where the system takes
// them all (at most max_write_parts); the parts are used up in the process.
struct WritePart {
  const void* data;
  std::size_t bytes;
};
inline constexpr std::size_t max_write_parts = 4;
bool write_all(File f, std::span<WritePart> parts);
// Cuts or extends the file to `size` bytes: 0 or the error.
int set_size(File f, std::uint64_t size);

// An exclusive lock on the file, taken without waiting and held until the
// file is unlocked or closed; it keeps out any other open of the file that
// asks for one, in this process or another, and nothing else.
enum class LockOutcome : std::uint8_t { locked, busy, failed };
LockOutcome lock_exclusive(File f, int& error);
// Gives up the lock before a close (Windows lets go of a lock left at the
// close only some time later).
void unlock(File f);

// A new file in directory `dir` for writing aside, open for reading and
// writing, that shows under no name until given one: nameless where the
// system has such files (Linux; `hidden_name` is not used and `named` is
// false), else created under `hidden_name` (a name in `dir`), which stays
// until it is renamed or removed (`named` true). 0 or the error.
int create_aside(const std::string& dir, const std::string& hidden_name, File& f, bool& named);
// The same for a file that is gone when the last open of it is closed;
// where it has a name it is removed then.
int create_scratch(const std::string& dir, const std::string& hidden_name, File& f, bool& named);
// A file for reading and writing in the system's temporary directory that
// no name shows and that is gone when closed: 0 or the error.
int open_temporary(File& f);
// The same as a stream of the C library (std::tmpfile, which Windows makes
// in the root directory of the drive, where users may not write); nullptr
// when it cannot be made.
std::FILE* temporary_stream();
// A new empty file `prefix` followed by characters that make its name unique,
// with the permissions a new file gets, open in `f` for reading and writing
// under `name`: 0 or the error.
int create_unique_file(const std::string& prefix, std::string& name, File& f);
// A path that opens the file `f` again, for writers that open by name: the
// descriptor's own path (/proc/self/fd/N), or the name the file has.
std::string reopen_path(File f, const std::string& name);
// Gives the nameless file behind `path` (reopen_path) the name `name`.
int link_file(const std::string& path, const std::string& name);
// Puts the file `from` in place of `to`, replacing it; a file open elsewhere
// under `to` may keep it from being replaced (Windows).
int replace_file(const std::string& from, const std::string& to);
int remove_file(const std::string& name);

// The bytes that this user may still write in the file system of `dir`.
bool free_bytes(const std::string& dir, std::uint64_t& bytes);
// The directory part of a file name: "." for a name without one.
std::string directory_of(const std::string& name);
// The characters after which a file's own name begins: "/", and on Windows
// also "\\" and the colon of a drive.
extern const std::string_view path_separators;
// The longest name of a file in a directory: bytes on Linux, UTF-16 units
// on Windows.
inline constexpr std::size_t longest_name = 255;

}  // namespace qx::os
