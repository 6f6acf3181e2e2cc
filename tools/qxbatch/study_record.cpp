#include "study_record.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "io/os_file.hpp"
#include "slurm_workdir.hpp"

namespace qxbatch {
namespace {

constexpr std::string_view workdir_tag = "#workdir\t";

std::string failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// The whole text written; false with errno saying why (EIO for a write that
// took nothing, where the system gives no reason).
bool write_text(int fd, std::string_view text) {
  errno = 0;
  if (qx::os::write_all(fd, text.data(), text.size())) return true;
  if (errno == 0) errno = EIO;
  return false;
}

// The format number of a header line; -1 when it is not one.
int header_format(std::string_view line) {
  if (!line.starts_with(record_magic) || line.size() <= record_magic.size() || line[record_magic.size()] != ' ')
    return -1;
  line.remove_prefix(record_magic.size() + 1);
  int format = -1;
  const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), format);
  if (ec != std::errc{} || (end != line.data() + line.size() && *end != '\t')) return -1;
  return format;
}

std::string check_header(std::string_view first_line, const std::string& path) {
  const int format = header_format(first_line);
  if (format < 0) return path + " is not a qxbatch record: give another --record";
  if (format != record_format)
    return path + " is a qxbatch record of format " + std::to_string(format) + ", which this qxbatch (format " +
           std::to_string(record_format) + ") does not read";
  return {};
}

}  // namespace

RecordFile::~RecordFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::string RecordFile::open(const std::string& path) {
  path_ = path;
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return failure("cannot open the record", path);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const std::string why = failure("cannot read the record", path);
    ::close(fd);
    return why;
  }
  std::string head(256, '\0'), why;
  const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
  if (got < 0) why = failure("cannot read the record", path);
  head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  if (why.empty() && st.st_size == 0) {
    if (!write_text(fd, record_header()) || ::fdatasync(fd) != 0) why = failure("cannot write the record", path);
  } else if (why.empty()) {
    why = check_header(std::string_view(head).substr(0, head.find('\n')), path);
    // A line cut short by a crash is ended, so that it stays a line of its own.
    char last = '\n';
    if (why.empty() && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n' && !write_text(fd, "\n"))
      why = failure("cannot write the record", path);
  }
  if (!why.empty()) {
    ::close(fd);
    return why;
  }
  fd_ = fd;
  return {};
}

std::string RecordFile::append(const std::string& lines) {
  if (fd_ < 0) return "the record " + path_ + " is not open";
  if (!write_text(fd_, lines)) return failure("cannot write the record", path_);
  if (::fdatasync(fd_) != 0) return failure("cannot sync the record", path_);
  return {};
}

std::string RecordFile::register_workdir(const std::string& workdir) {
  return append(std::string(workdir_tag) + record_field(workdir) + "\n");
}

std::string read_record(const std::string& path, RecordContents& contents) {
  contents = {};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return {};
  std::string text;
  if (const std::string e = read_text_file(path, text); !e.empty()) return e;
  if (text.empty()) return {};
  if (std::string e = check_header(std::string_view(text).substr(0, text.find('\n')), path); !e.empty()) return e;
  std::size_t start = text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    // The last line without its line feed was cut short: it is not a line yet.
    if (end == std::string::npos) {
      ++contents.damaged;
      break;
    }
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    RecordLine l;
    std::string dir;
    if (line.starts_with(workdir_tag)) {
      if (!parse_record_field(line.substr(workdir_tag.size()), dir)) {
        ++contents.damaged;
      } else {
        bool known = false;
        for (const std::string& w : contents.workdirs) known = known || w == dir;
        if (!known) contents.workdirs.push_back(dir);
      }
    } else if (line.starts_with('#') || line.empty()) {
      // a header line of another writer, or an ended cut line
    } else if (parse_record_line(line, l)) {
      contents.lines.push_back(std::move(l));
    } else {
      ++contents.damaged;
    }
  }
  return {};
}

std::map<std::string, const RecordLine*> last_lines(const RecordContents& contents) {
  std::map<std::string, const RecordLine*> last;
  for (const RecordLine& l : contents.lines) {
    const RecordLine*& slot = last[l.path];
    if (!slot || slot->ended <= l.ended) slot = &l;
  }
  return last;
}

}  // namespace qxbatch
