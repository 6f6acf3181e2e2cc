// An output written by work that may yet be dropped, such that the file
// shows nothing of it until the work has succeeded and is put in place.
//
// A file that holds something is written aside: a nameless file made in its
// directory, written through a path of its own, and renamed over the file
// when put in place. Until then the file is untouched, and a file aside that
// is dropped, or left behind by a process that was killed, is gone with its
// descriptor. (Windows has no nameless files: there the file aside has its
// temporary name from the start, and a killed process leaves it behind.) A
// file is only replaced where a rename keeps what its owner sees: a regular
// file of this user with no other name, whose permission bits and group the
// new file takes over.
//
// An empty regular file with no other name is written where it stands, and
// emptied again when dropped: there is nothing to keep, and a rename over a
// file makes some file systems (ext4) write the new one out at once. A run
// killed meanwhile leaves in it what was written.
//
// Other files are refused (a link, a file with a second name), and so is a
// Linux without nameless files or /proc: the caller then writes the file in
// its turn itself.
#pragma once

#include <string>

#include "io/os_file.hpp"

namespace qx {

class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile();  // drops the file unless it was put in place, and a temporary name left over

  // The file to write for `target`: false when the target may not be
  // replaced by a rename or the nameless file cannot be made.
  bool stage_for(const std::string& target);
  // A nameless file in directory `dir` that is never put in place.
  bool make_scratch(const std::string& dir);
  // The file for a new `target`, such as a tool's export: made under a
  // hidden name beside it, with the permissions of a new file, and written
  // through that name (path()), which a writer that resolves the name it
  // opens (a library) needs. Whatever bears the target's name, or nothing,
  // is replaced when the file is put in place. False, with the system's
  // error, when it cannot be made.
  bool stage_new(const std::string& target, int& error);
  // A path that opens the file again, for writers that open by name.
  const std::string& path() const { return path_; }
  os::File file() const { return file_; }
  bool staged() const { return file_ != os::no_file; }
  // Bytes the file holds now.
  long long size() const;

  // The two steps of putting a file aside in place. `link_beside` gives it
  // a temporary name in the target's directory: the step that a full or
  // read-only directory refuses, taken for every file before any file is
  // replaced (where the file had its name from the start, it only counts as
  // taken). `replace_target` renames it over the target. A file written in
  // place takes both steps at once.
  bool link_beside();
  bool replace_target();
  // Drops the file: closes it and removes the temporary name; a file
  // written in place is emptied again. 0, or the error number of an
  // emptying that failed: the target then holds what was written.
  int drop();
  // The file that this one is for, until put in place.
  const std::string& target() const { return target_; }

 private:
  // Makes the file by `create` (os::create_aside or create_scratch) under a
  // hidden name beside `beside` where it needs one: false when that fails.
  using Create = int (*)(const std::string&, const std::string&, os::File&, bool&);
  bool create(Create make, const std::string& beside);
  void adopt(os::File f, const std::string& name);

  os::File file_ = os::no_file;
  bool in_place_ = false;  // the target itself, empty when staged
  bool linked_ = false;    // link_beside has been taken
  std::string path_;       // /proc/self/fd/N, or the temporary name
  std::string target_;     // until put in place
  std::string temp_name_;  // the file's temporary name, until the rename
};

// The directory part of a file name: "." for a name without one.
inline std::string directory_of(const std::string& name) { return os::directory_of(name); }

}  // namespace qx
