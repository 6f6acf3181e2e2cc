// A file written aside: a nameless file made in the directory of the file
// it is to replace, written through a path of its own, and put in that
// file's place by a rename only once the work that writes it has succeeded.
// Until then the file it replaces is untouched, and a file that is dropped,
// or left behind by a process that was killed, is gone with its descriptor.
//
// A file is only replaced where a rename keeps what its owner sees: a
// regular file of this user with no other name, whose permission bits and
// group the new file takes over. Other files are refused, and so is a
// system without nameless files or /proc: the caller then writes the file
// where it stands.
#pragma once

#include <string>

namespace qx {

class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile();  // drops the file unless it was put in place, and a temporary name left over

  // A nameless file to replace `target`: false when the target may not be
  // replaced by a rename or the nameless file cannot be made.
  bool stage_for(const std::string& target);
  // A nameless file in directory `dir` that is never put in place.
  bool make_scratch(const std::string& dir);
  // A path that opens the nameless file again, for writers that open by name.
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  bool staged() const { return fd_ >= 0; }
  // Bytes the file holds now.
  long long size() const;

  // The two steps of putting the file in place. `link_beside` gives it a
  // temporary name in the target's directory: the step that a full or
  // read-only directory refuses, taken for every file before any file is
  // replaced. `replace_target` renames it over the target.
  bool link_beside();
  bool replace_target();
  // Drops the file: closes it and removes the temporary name.
  void drop();

 private:
  int fd_ = -1;
  std::string path_;       // /proc/self/fd/N
  std::string target_;
  std::string temp_name_;  // the name given by link_beside, until the rename
};

// The directory part of a file name: "." for a name without one.
std::string directory_of(const std::string& name);

}  // namespace qx
