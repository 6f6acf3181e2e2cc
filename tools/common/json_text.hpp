// JSON text written as it goes: commas and nesting are kept by the writer. Strings are UTF-8 (invalid bytes become
// U+FFFD) with '<' escaped, so that the text can stand inside a <script>
// element; reals are written in the fewest digits that read back to the same
// value, and NaN and infinities, which JSON lacks, as the strings "NaN",
// "Infinity" and "-Infinity".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qxtools {

class JsonText {
 public:
  JsonText& begin_object();
  JsonText& end_object();
  JsonText& begin_array();
  JsonText& end_array();
  // The name of the next member of the object at hand.
  JsonText& key(std::string_view name);

  JsonText& value(std::string_view s);
  JsonText& value(const char* s) { return value(std::string_view(s)); }
  JsonText& value(bool b);
  JsonText& value(double v);
  JsonText& value(float v);
  JsonText& value(std::int64_t v);
  JsonText& value(std::uint64_t v);
  JsonText& value(int v) { return value(static_cast<std::int64_t>(v)); }
  JsonText& null();
  // A value that is JSON text already.
  JsonText& raw(std::string_view json);

  // A member at once: key(name).value(v).
  template <typename T>
  JsonText& member(std::string_view name, const T& v) {
    return key(name).value(v);
  }

  const std::string& text() const { return text_; }
  std::string take() { return std::move(text_); }
  // Hands over the text written so far and goes on after it: what follows
  // continues the same containers.
  std::string drain() {
    std::string t;
    t.swap(text_);
    return t;
  }

 private:
  void separate();
  std::string text_;
  std::vector<bool> first_;  // per open container: no member written yet
  bool after_key_ = false;
};

// `s` as a JSON string literal, quotes included.
std::string json_string(std::string_view s);

}  // namespace qxtools
