// An output written by work that may yet be dropped, such that the file
// shows nothing of it until the work has succeeded and is put in place.
//
// A file that holds something is written aside: a nameless file made in its
// directory, written through a path of its own, and renamed over the file
// when put in place. Until then the file is untouched, and a file aside that
// is dropped, or left behind by a process that was killed, is gone with its
// descriptor. A file is only replaced where a rename keeps what its owner
// sees: a regular file of this user with no other name, whose permission
// bits and group the new file takes over.
//
// An empty regular file with no other name is written where it stands, and
// emptied again when dropped: there is nothing to keep, and a rename over a
// file makes some file systems (ext4) write the new one out at once. A run
// killed meanwhile leaves in it what was written.
//
// Other files are refused (a link, a file with a second name), and so is a
// system without nameless files or /proc: the caller then writes the file
// in its turn itself.
#pragma once

#include <string>

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
  // The file for a new `target`, such as a tool's export: whatever bears
  // the name (or nothing) is replaced when the file is put in place, and
  // the file gets the permissions of a new file. It gets its temporary name
  // at once when `by_name` (for a writer that resolves the name it opens,
  // which a nameless file has not), or where the directory holds no
  // nameless files. False, with errno, when it cannot be made.
  bool stage_new(const std::string& target, bool by_name = false);
  // A path that opens the file again, for writers that open by name.
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  bool staged() const { return fd_ >= 0; }
  // Bytes the file holds now.
  long long size() const;

  // The two steps of putting a file aside in place. `link_beside` gives it
  // a temporary name in the target's directory: the step that a full or
  // read-only directory refuses, taken for every file before any file is
  // replaced. `replace_target` renames it over the target. A file written
  // in place takes both steps at once.
  bool link_beside();
  bool replace_target();
  // Drops the file: closes it and removes the temporary name; a file
  // written in place is emptied again. 0, or the error number of an
  // emptying that failed: the target then holds what was written.
  int drop();
  // The file that this one is for, until put in place.
  const std::string& target() const { return target_; }

 private:
  void adopt(int fd);
  std::string temp_name_for(const std::string& target, int attempt) const;

  int fd_ = -1;
  bool in_place_ = false;  // the target itself, empty when staged
  std::string path_;       // /proc/self/fd/N
  std::string target_;     // until put in place
  std::string temp_name_;  // the name given by link_beside, until the rename
};

// The directory part of a file name: "." for a name without one.
std::string directory_of(const std::string& name);

}  // namespace qx
