// The tools' command-line parser (getopt_long over a table of options), and
// their CSV and JSON text.
#include "common/command_line.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "common/csv_text.hpp"
#include "common/json_text.hpp"

namespace {

using qxtools::Option;

// What a command line gave: options and operands in their order.
struct Seen {
  std::vector<std::string> words;
};

constexpr Option<Seen> options[] = {
    {"-j, --jobs", "N", "", [](Seen& s, std::string_view v) -> std::string {
       s.words.push_back("jobs=" + std::string(v));
       return v == "0" ? "-j takes a number of conversions, not '0'" : "";
     }},
    {"-q, --quiet", "", "", [](Seen& s, std::string_view) -> std::string {
       s.words.push_back("quiet");
       return {};
     }},
    {"--values", "N", "", [](Seen& s, std::string_view v) -> std::string {
       s.words.push_back("values=" + std::string(v));
       return {};
     }},
    {"--version", "", "", [](Seen& s, std::string_view) -> std::string {
       s.words.push_back("version");
       return {};
     }},
    {"--sbatch", "ARG", "", [](Seen& s, std::string_view v) -> std::string {
       s.words.push_back("sbatch=" + std::string(v));
       return {};
     }, "--sbatch needs an argument of sbatch"},
};

std::string take(Seen& s, std::string_view operand) {
  s.words.push_back("<" + std::string(operand) + ">");
  return {};
}

// Parses `args` (after the program name): the words seen, or the error.
std::string parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tool");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Seen seen;
  const std::string error =
      qxtools::parse_command_line<Seen>(static_cast<int>(args.size()), argv.data(), options, seen, take);
  if (!error.empty()) return "error: " + error;
  std::string all;
  for (const std::string& w : seen.words) all += (all.empty() ? "" : " ") + w;
  return all;
}

TEST(CommandLine, OptionsAndOperandsInTheirOrder) {
  EXPECT_EQ(parse({"a", "-j", "4", "b", "--jobs=2", "-j7", "--quiet", "-", "c"}),
            "<a> jobs=4 <b> jobs=2 jobs=7 quiet <-> <c>");
  EXPECT_EQ(parse({"-qj3", "--sbatch=--partition=long", "--sbatch", "-x"}),
            "quiet jobs=3 sbatch=--partition=long sbatch=-x");
  EXPECT_EQ(parse({"--", "-q", "--jobs"}), "<-q> <--jobs>");
  EXPECT_EQ(parse({"--val", "5", "--vers", "--q"}), "values=5 version quiet");
  EXPECT_EQ(parse({"--values="}), "values=");
  EXPECT_EQ(parse({}), "");
  // A parse starts afresh after one that went further.
  EXPECT_EQ(parse({"-q", "-q", "-q", "-q", "a"}), "quiet quiet quiet quiet <a>");
  EXPECT_EQ(parse({"x", "-q"}), "<x> quiet");
}

TEST(CommandLine, WrongWordsAreNamedAsTyped) {
  EXPECT_EQ(parse({"--bogus=1", "a"}), "error: unknown option '--bogus=1'");
  EXPECT_EQ(parse({"-x"}), "error: unknown option '-x'");
  EXPECT_EQ(parse({"-qx"}), "error: unknown option '-x'");
  EXPECT_EQ(parse({"a", "--jobs"}), "error: --jobs needs a value N");
  EXPECT_EQ(parse({"-j"}), "error: -j needs a value N");
  EXPECT_EQ(parse({"--sbatch"}), "error: --sbatch needs an argument of sbatch");
  EXPECT_EQ(parse({"--quiet=yes"}), "error: --quiet takes no value");
  EXPECT_EQ(parse({"--v", "3"}), "error: option '--v' is ambiguous (--values, --version)");
  EXPECT_EQ(parse({"-j", "0", "a"}), "error: -j takes a number of conversions, not '0'");
}

TEST(CsvText, CellsAreQuotedOnlyWhenTheyMustBe) {
  for (const bool blank_ends : {false, true}) {
    std::string out;
    qxtools::CsvText csv(
        [&out](std::string_view t) {
          out += t;
          return true;
        },
        blank_ends);
    csv.text("case");
    csv.text("a,b");
    csv.text("say \"hi\"");
    csv.text(" padded");
    csv.empty();
    csv.number(0.1f);
    csv.number(-0.0);
    csv.number(std::int32_t{-7});
    csv.decimal(0.1 + 0.2);
    csv.end_row();
    csv.text("line\nbreak");
    csv.end_row();
    EXPECT_TRUE(csv.flush());
    const std::string padded = blank_ends ? "\" padded\"" : " padded";
    EXPECT_EQ(out, "case,\"a,b\",\"say \"\"hi\"\"\"," + padded + ",,0.1,-0,-7,0.3\n\"line\nbreak\"\n");
  }

  qxtools::CsvText failing([](std::string_view) { return false; });
  failing.text("x");
  failing.end_row();
  EXPECT_FALSE(failing.flush());
}

TEST(JsonText, StringsAreValidUtf8AndSafeInsideAScriptElement) {
  using qxtools::json_string;
  EXPECT_EQ(json_string("a\"b\\c\n\t\x01\x7f</script>&"),
            "\"a\\\"b\\\\c\\u000a\\u0009\\u0001\\u007f\\u003c/script\\u003e\\u0026\"");
  EXPECT_EQ(json_string("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"");
  // Not UTF-8: a stray byte, an overlong form, a surrogate, a cut sequence,
  // a code point beyond U+10FFFF.
  EXPECT_EQ(json_string("x\xffy"), "\"x\\ufffdy\"");
  EXPECT_EQ(json_string("\xc0\xaf"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(json_string("\xe0\x80\xaf"), "\"\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(json_string("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(json_string("\xe2\x82"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(json_string("\xf4\x90\x80\x80"), "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");

  qxtools::JsonText j;
  j.begin_object().member("a", 1).key("b").begin_array().value(0.1f).value(-0.0).null().value(true);
  j.value(std::numeric_limits<double>::quiet_NaN()).value(-std::numeric_limits<float>::infinity()).end_array();
  j.key("c").raw("[1]").member("d", std::uint64_t{18446744073709551615u}).end_object();
  EXPECT_EQ(j.text(), R"({"a":1,"b":[0.1,-0,null,true,"NaN","-Infinity"],"c":[1],"d":18446744073709551615})");
}

}  // namespace
