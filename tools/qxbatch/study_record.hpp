// The study record: a file of record lines, appended as each case ends and
// never rewritten, so that a kill at any moment loses only the cases still
// running. It begins with a header line; lines that begin with '#' are not
// case lines ("#workdir" names a Slurm submission whose task records are
// still to be merged in). A line cut short by a crash is passed over when
// read, and ended before anything more is appended.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "record_line.hpp"

namespace qxbatch {

// The record of a study when --record does not name one: in the current
// directory.
inline constexpr const char* default_record = "qxbatch-record.tsv";

class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile();

  // Opens `path` for appending, making it with its header line when it does
  // not exist or is empty. Empty on success, else why not (a file that is
  // not a record of this format is not touched).
  std::string open(const std::string& path);
  // Appends `lines` (whole lines) with one write and syncs them to the disk.
  // Empty on success, else why not.
  std::string append(const std::string& lines);
  // Appends the line that names a Slurm work directory.
  std::string register_workdir(const std::string& workdir);

  const std::string& path() const { return path_; }
  bool is_open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::string path_;
};

struct RecordContents {
  std::vector<RecordLine> lines;      // in the order of the file
  std::vector<std::string> workdirs;  // named by "#workdir" lines, each once
  std::size_t damaged = 0;            // lines that are neither case lines nor '#' lines
};

// Reads a record; a file that does not exist reads as empty. Empty on
// success, else why the file cannot be read as a record.
std::string read_record(const std::string& path, RecordContents& contents);

// The last line of each case, by its path: the one that ended last, or the
// later in the file of two that ended at the same time.
std::map<std::string, const RecordLine*> last_lines(const RecordContents& contents);

}  // namespace qxbatch
