// A fuzz input as a file on disk: the converter's readers take file names.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qxfuzz {

class InputFile {
 public:
  InputFile(const std::uint8_t* data, std::size_t size, const char* suffix) {
    path_ = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/qxfuzz-" +
            std::to_string(getpid()) + suffix;
    if (FILE* f = std::fopen(path_.c_str(), "wb")) {
      if (size) std::fwrite(data, 1, size, f);
      std::fclose(f);
    }
  }
  ~InputFile() { unlink(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace qxfuzz
