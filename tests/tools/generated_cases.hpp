// Cases made by qxgen, and a Fortran reader of their result files
// (qxgen_read_results.f90, sequential unformatted reads block by block).
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace qxtools {

constexpr auto npos = std::string::npos;

// Generates a case into `dir` and returns its base path.
inline std::string generate(const qxtest::TempDir& dir, std::vector<std::string> args,
                            const std::string& name = "case") {
  args.insert(args.begin(), {QXGEN_PATH, "--out", dir.file(name)});
  const qxtest::CommandResult r = qxtest::run_program(args);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  return dir.file(name);
}

// Generates case1 and converts it in `dir` in the byte order answered.
inline void convert_case(const qxtest::TempDir& dir, const std::string& big_endian) {
  generate(dir, {"--seed", "21", "--size", "40k"}, "case1");
  const auto r = qxtest::run_program({QXCONV_PATH}, "case1.qxin\ncase1.TP18\n" + big_endian + "\n", dir.path());
  ASSERT_EQ(r.exit_status, 0) << r.out;
}

struct FortranReaders {
  qxtest::TempDir dir;
  std::string results = dir.file("read_results"), log;
  bool ok = qxtest::compile_fortran(
      qxtest::read_file(std::string(QX_SOURCE_DIR) + "/tests/tools/qxgen_read_results.f90"), results, log);
};
inline const FortranReaders& readers() {
  static const FortranReaders r;
  return r;
}

// One block as the reader lists it. Maxima blocks: nc1 is the code, n the
// item count, records the component count.
struct Block {
  std::string kind;
  long nc1 = 0, nc2 = 0, nc3 = 0, n = 0, records = 0;
  bool converted = false;
  bool operator==(const Block&) const = default;
};

struct Listing {
  bool complete = false;  // the reader met the end of the file at a block boundary
  std::vector<Block> blocks;
  std::string text;
};

inline Listing read_results(const std::string& path, const std::string& family) {
  Listing l;
  const qxtest::CommandResult r = qxtest::run_program({readers().results, path, family});
  l.text = r.out + r.err;
  std::istringstream in(r.out);
  for (std::string tag, flag; in >> tag;) {
    Block b{"MAXR"};
    if (tag == "B" && in >> b.kind >> b.nc1 >> b.nc2 >> b.nc3 >> b.n >> b.records >> flag) {
      b.converted = flag == "K";
    } else if (tag != "M" || !(in >> b.nc1 >> b.nc2 >> b.n >> b.records)) {
      std::size_t n = 0;
      l.complete = tag == "END" && in >> n && n == l.blocks.size() && r.exit_status == 0;
      break;
    }
    l.blocks.push_back(b);
  }
  return l;
}

}  // namespace qxtools
