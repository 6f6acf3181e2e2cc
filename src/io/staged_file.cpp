#include "io/staged_file.hpp"

#include <atomic>

#include "io/os_process.hpp"

namespace qx {

namespace {

// A name of this process that no other file has: a hidden name beside the
// target, numbered until one is free.
std::string temp_name_for(const std::string& target) {
  static std::atomic<unsigned> count{0};
  const std::string base = target.substr(target.find_last_of(os::path_separators) + 1);
  return directory_of(target) + "/." + base + ".qxconv-" + std::to_string(os::process_id()) + "-" +
         std::to_string(count++);
}

// Names tried before a temporary name is given up.
constexpr int name_attempts = 100;

}  // namespace

StagedFile::~StagedFile() { drop(); }

void StagedFile::adopt(os::File f, const std::string& name) {
  file_ = f;
  temp_name_ = name;
  path_ = os::reopen_path(f, name);
}

bool StagedFile::create(Create make, const std::string& beside) {
  const std::string dir = directory_of(beside);
  for (int attempt = 0; attempt < name_attempts; ++attempt) {
    const std::string name = temp_name_for(beside);
    os::File f = os::no_file;
    bool named = false;
    const int error = make(dir, name, f, named);
    if (error == 0) {
      adopt(f, named ? name : std::string());
      return true;
    }
    if (!named || !os::is_taken(error)) return false;
  }
  return false;
}

bool StagedFile::stage_for(const std::string& target) {
  drop();
  os::FileFacts facts;
  if (os::facts_of(target, false, facts) != 0) return false;
  // A link or a file with other names may be another output of the run
  // under a second name, which is written meanwhile: only a file of its own
  // is written ahead of its turn, in place or aside.
  if (facts.type != os::FileType::regular || facts.links != 1) return false;
  if (facts.size == 0) {
    os::File f = os::no_file;
    if (!os::open_empty_in_place(target, f)) return false;
    in_place_ = true;
    target_ = target;
    adopt(f, target);
    temp_name_.clear();
    return true;
  }
  // A file of another owner would change hands in the rename, and a name
  // too long for the temporary name beside it would fail only at the end
  // (room is left for a larger number).
  const std::size_t temp_name_length = temp_name_for(target).size() - directory_of(target).size() - 1;
  if (!os::owned_by_me(facts) || temp_name_length + 8 > os::longest_name) return false;
  if (!create(os::create_aside, target)) return false;
  target_ = target;
  if (os::take_group_and_mode(file_, facts) != 0) {
    drop();
    return false;
  }
  return true;
}

bool StagedFile::make_scratch(const std::string& dir) {
  drop();
  return create(os::create_scratch, dir + "/lines");
}

bool StagedFile::stage_new(const std::string& target, int& error) {
  drop();
  const std::string base = target.substr(target.find_last_of(os::path_separators) + 1);
  std::string name;
  os::File f = os::no_file;
  error = os::create_unique_file(directory_of(target) + "/." + base + ".", name, f);
  if (error != 0) return false;
  target_ = target;
  adopt(f, name);
  path_ = name;  // writers open it by its name
  return true;
}

long long StagedFile::size() const {
  os::FileFacts facts;
  if (file_ == os::no_file || os::facts_of(file_, facts) != 0) return -1;
  return static_cast<long long>(facts.size);
}

bool StagedFile::link_beside() {
  if (in_place_) return file_ != os::no_file && !target_.empty();
  if (file_ == os::no_file || target_.empty() || linked_) return false;
  for (int attempt = 0; temp_name_.empty() && attempt < name_attempts; ++attempt) {
    const std::string name = temp_name_for(target_);
    const int error = os::link_file(path_, name);
    if (error == 0) temp_name_ = name;
    else if (!os::is_taken(error)) return false;
  }
  linked_ = !temp_name_.empty();
  return linked_;
}

bool StagedFile::replace_target() {
  if (in_place_ && !target_.empty()) {
    target_.clear();
    return true;
  }
  if (!linked_) return false;
  if (os::replace_file(temp_name_, target_) != 0) return false;
  temp_name_.clear();
  target_.clear();  // in place: nothing is left to drop but the open file
  linked_ = false;
  return true;
}

int StagedFile::drop() {
  // Emptied only when something was written: a cut to length zero also
  // makes ext4 write the file out.
  int error = 0;
  if (in_place_ && !target_.empty() && size() > 0) error = os::set_size(file_, 0);
  if (file_ != os::no_file) os::close_file(file_);
  file_ = os::no_file;
  // A file aside that was never put in place loses its temporary name
  // (one made with the scratch file goes by itself).
  if (!in_place_ && !temp_name_.empty() && !target_.empty()) os::remove_file(temp_name_);
  in_place_ = false;
  linked_ = false;
  temp_name_.clear();
  target_.clear();
  path_.clear();
  return error;
}

}  // namespace qx
