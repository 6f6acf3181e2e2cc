// Free-form terminal dialogue: lines that begin with a blank, and answers
// read one value at a time.
#include "io/free_form.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::string written(std::initializer_list<std::string_view> items) {
  std::ostringstream out;
  qx::free_form_write(out, items);
  return out.str();
}

// All values read from the text, each cut to max_len, until the end.
std::vector<std::string> values(const std::string& text, std::size_t max_len = 256) {
  std::istringstream in(text);
  std::vector<std::string> v;
  std::string value = "stale";
  while (qx::free_form_read(in, value, max_len) == 0) v.push_back(value);
  EXPECT_EQ(value, "");  // the end leaves the value empty
  return v;
}

TEST(FreeForm, WritesOneLineBeginningWithABlank) {
  EXPECT_EQ(written({"   file name = ", "case1.qxin"}), "    file name = case1.qxin\n");
  EXPECT_EQ(written({}), "\n");
  EXPECT_EQ(written({""}), " \n");
}

TEST(FreeForm, ReadsAValueUpToABlankCommaSlashOrTheLineEnd) {
  EXPECT_EQ(values("case1.TP18\n"), (std::vector<std::string>{"case1.TP18"}));
  EXPECT_EQ(values("\n   \n\t  yes please\nNo\n"), (std::vector<std::string>{"yes", "No"}));
  EXPECT_EQ(values("dir/model.qxin\na,b\n"), (std::vector<std::string>{"dir", "a"}));
  EXPECT_EQ(values("last line without feed"), (std::vector<std::string>{"last"}));
  EXPECT_EQ(values("crlf\r\n"), (std::vector<std::string>{"crlf"}));
  EXPECT_EQ(values(""), std::vector<std::string>{});
}

TEST(FreeForm, QuotesKeepBlanksCommasAndSlashes) {
  EXPECT_EQ(values("'dir/model.qxin'\n\"a b,c\" rest\n"), (std::vector<std::string>{"dir/model.qxin", "a b,c"}));
  EXPECT_EQ(values("'it''s'\n\"say \"\"hi\"\"\"\n'unclosed /x\n"),
            (std::vector<std::string>{"it's", "say \"hi\"", "unclosed /x"}));
}

TEST(FreeForm, NullValuesAndCutting) {
  EXPECT_EQ(values("/\n,abc\n  , x\n"), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(values("abcdefgh\n'abcdefgh'\n", 5), (std::vector<std::string>{"abcde", "abcde"}));
  EXPECT_EQ(values("Yes\n", 1), (std::vector<std::string>{"Y"}));
}

}  // namespace
