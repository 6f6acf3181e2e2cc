// docs/architecture.md names every source file of src/ in the section of its
// layer, and every layer of the build, so that the map cannot fall behind
// the code.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/test_support.hpp"

namespace {

namespace fs = std::filesystem;

TEST(ArchitectureMap, NamesEverySourceFileInTheSectionOfItsLayer) {
  const std::string source(QX_SOURCE_DIR);
  const std::string map = qxtest::read_file(source + "/docs/architecture.md");
  const std::string layers = qxtest::read_file(source + "/cmake/layers.cmake");
  std::set<std::string> seen;
  for (const auto& dir : fs::directory_iterator(source + "/src")) {
    if (!dir.is_directory()) continue;
    const std::string layer = dir.path().filename().string();
    const std::string head = "### src/" + layer + "\n";
    const std::size_t begin = map.find(head);
    ASSERT_NE(begin, std::string::npos) << "no section " << head;
    const std::string section = map.substr(begin, map.find("\n#", begin + head.size()) - begin);
    EXPECT_NE(map.find("qx_" + layer + " "), std::string::npos) << "the layer qx_" << layer << " is not in the map";
    EXPECT_NE(layers.find("qx_layer(" + layer), std::string::npos) << layer << " is not a layer of the build";
    for (const auto& file : fs::directory_iterator(dir.path())) {
      const std::string stem = file.path().stem().string();
      if (!seen.insert(layer + "/" + stem).second) continue;
      const std::string named = "`" + stem;
      bool found = false;
      for (std::size_t at = section.find(named); at != std::string::npos && !found; at = section.find(named, at + 1)) {
        const char next = at + named.size() < section.size() ? section[at + named.size()] : ' ';
        found = next == '`' || next == '.';
      }
      EXPECT_TRUE(found) << "src/" << layer << "/" << file.path().filename().string() << " is not in the map";
    }
  }
  EXPECT_GT(seen.size(), 50u);
}

}  // namespace
