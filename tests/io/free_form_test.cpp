// Free-form terminal dialogue: lines that begin with a blank, and answers
// read one value at a time.
#include "io/free_form.hpp"

#include <gtest/gtest.h>

#include <sstream>

TEST(FreeForm, WritesOneLineBeginningWithABlank) {
  std::ostringstream out;
  for (auto items : {std::initializer_list<std::string_view>{"   file name = ", "case1.qxin"}, {}, {""}}) qx::free_form_write(out, items);
  EXPECT_EQ(out.str(), "    file name = case1.qxin\n\n \n");
}

TEST(FreeForm, ReadsOneValuePerLine) {
  // Input text and all values read from it until the end.
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"case1.TP18\n", {"case1.TP18"}}, {"last line without feed", {"last"}}, {"crlf\r\n", {"crlf"}}, {"", {}},
      {"\n   \n\t  yes please\nNo\n", {"yes", "No"}},  // blank lines skipped, a blank ends the value
      {"dir/model.qxin\na,b\n", {"dir", "a"}},          // so do a slash and a comma
      {"'dir/model.qxin'\n\"a b,c\" rest\n", {"dir/model.qxin", "a b,c"}},  // quotes keep them
      {"'it''s'\n\"say \"\"hi\"\"\"\n'unclosed /x\n", {"it's", "say \"hi\"", "unclosed /x"}},
      {"/\n,abc\n  , x\n", {"", "", ""}},  // null values
      {"abcdefghijklmnopq\n'abcdefghijklmnopq'\n", {"abcdefghijklmn", "abcdefghijklmn"}},  // cut to 14
  };
  for (const auto& [text, want] : cases) {
    std::istringstream in(text);
    std::vector<std::string> got;
    std::string value = "stale";
    while (qx::free_form_read(in, value, 14) == 0) got.push_back(value);
    EXPECT_EQ(value, "") << "the end leaves the value empty";
    EXPECT_EQ(got, want) << text;
  }
}
