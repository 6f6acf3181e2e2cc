// The manual pages as configured in the build: version filled in, clean for
// mandoc, and in agreement with what the programs print.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "install/install_support.hpp"

namespace {

using namespace qxinstall;

// `word` stands in `text` on its own: not inside a longer option or word.
bool has_word(const std::string& text, const std::string& word) {
  const auto part = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; };
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    if ((at == 0 || !part(text[at - 1])) && (at + word.size() == text.size() || !part(text[at + word.size()])))
      return true;
  return false;
}

// Text lines of roff source with the escapes used in displays resolved.
std::string unescape(std::string line) {
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"\\&", ""}, {"\\-", "-"}, {"\\e", "\\"}})
    for (std::size_t at = line.find(from); at != std::string::npos; at = line.find(from, at + to.size()))
      line.replace(at, from.size(), to);
  return line;
}

TEST(ManPages, ConfiguredWithTheVersionAndCleanForMandoc) {
  const std::vector<ManPage> pages = source_pages();
  std::set<std::string> names;
  for (const ManPage& p : pages) {
    names.insert(p.name);
    const std::string text = read_file(p.configured());
    ASSERT_FALSE(text.empty()) << p.configured() << " was not configured";
    EXPECT_FALSE(std::regex_search(text, std::regex("@[A-Za-z_]+@"))) << p.file() << " keeps a placeholder";
    EXPECT_NE(text.find("\n.Os qxconv " QX_PROJECT_VERSION "\n"), std::string::npos) << p.file();
    for (const std::string& m : lint(p.configured())) ADD_FAILURE() << m;
    const std::string shown = render(p.configured());
    std::string title = p.name + "(" + p.section + ")";
    std::transform(title.begin(), title.end(), title.begin(), [](char c) { return std::toupper(c); });
    EXPECT_TRUE(shown.starts_with(title)) << p.file() << ":\n" << shown;
    EXPECT_TRUE(shown.ends_with("qxconv " QX_PROJECT_VERSION "\n")) << p.file() << " footer";
  }
  EXPECT_TRUE(names.count("qxconv") && names.count("qxdump"));
}

// The session shown in qxconv(1), less its command line and the answers typed,
// is what qxconv writes for those answers; the questions quoted in the list of
// answers are lines of it.
TEST(ManPages, QxconvPageShowsTheDialogueAsTheProgramWritesIt) {
  const std::vector<std::string> lines =
      qxtest::split_lines(read_file(std::string(QX_BINARY_DIR) + "/man/man1/qxconv.1"));
  auto at = std::find(lines.begin(), lines.end(), ".Ss The dialogue");
  at = std::find_if(at, lines.end(), [](const std::string& l) { return l.starts_with(".Bd -literal"); });
  ASSERT_NE(at, lines.end()) << "no display of the dialogue in qxconv.1";
  const auto end = std::find(at, lines.end(), ".Ed");
  ASSERT_TRUE(end != lines.end() && end - at > 2);
  const std::string command = unescape(*++at);
  ASSERT_TRUE(command.starts_with("$ qxconv")) << command;
  std::vector<std::string> options;
  std::istringstream words(command.substr(8));
  for (std::string w; words >> w;) options.push_back(w);

  const std::vector<std::string> answers{"case1.qxin", "case1.TP18", "No"};
  std::string shown;
  std::size_t answered = 0;
  for (++at; at != end; ++at) {
    const std::string line = unescape(*at);
    if (answered < answers.size() && line == answers[answered])
      ++answered;
    else
      shown += line + "\n";
  }
  EXPECT_EQ(answered, answers.size()) << "answers typed in the display";
  TempDir dir;
  const Conversion run = convert_example(QXCONV_PATH, dir.path(), options, answers.back());
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(shown, run.terminal);

  int quoted = 0;
  for (const std::string& l : lines) {
    if (!l.starts_with(".It Ql \"(")) continue;
    const std::string question = unescape(l.substr(8, l.rfind('"') - 8));
    EXPECT_NE(run.terminal.find("\n " + question + "\n"), std::string::npos) << question;
    ++quoted;
  }
  EXPECT_EQ(quoted, 3);
}

// Each "usage: NAME ..." line of a program's --help names options that
// NAME's page shows. A program that has no --help yet is passed over.
TEST(ManPages, ShowEveryOptionOfTheUsageLines) {
  int usages = 0;
  TempDir dir;  // where a program that takes --help for a run could write
  for (const std::string program : {QXCONV_PATH, QXDUMP_PATH}) {
    const qxtest::CommandResult help = qxtest::run_program({program, "--help"}, "", dir.path());
    if (help.exit_status != 0) continue;
    for (const std::string& line : qxtest::split_lines(help.out)) {
      if (!line.starts_with("usage: ")) continue;
      std::istringstream in(line.substr(7));
      std::string name, word;
      in >> name;
      const std::string page = std::string(QX_BINARY_DIR) + "/man/man1/" + name + ".1";
      ASSERT_TRUE(qxtest::file_exists(page)) << line;
      const std::string shown = render(page);
      while (in >> word) {
        const std::size_t dash = word.find('-');
        if (dash == std::string::npos) continue;
        const std::string option = word.substr(dash, word.find_first_of("]|,", dash) - dash);
        EXPECT_TRUE(has_word(shown, option)) << option << " of \"" << line << "\" is not in " << name << "(1)";
      }
      ++usages;
    }
  }
  EXPECT_GE(usages, 1);
}

}  // namespace
