// tools/deps.sh on machines made of fake commands: dpkg answers from a list of
// missing packages, apt-get and sudo log what they are asked to do, id tells
// who runs. PATH holds nothing else, so the script can reach no real package
// manager.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <sstream>

#include "support/test_support.hpp"

namespace {

using qxtest::CommandResult;
using qxtest::TempDir;

const std::string dpkg_script = R"(#!/bin/bash
[ "$1" = -s ] && [ $# = 2 ] || { echo "fake dpkg: unexpected arguments: $*" >&2; exit 2; }
if [[ " $FAKE_CONFIG_ONLY " == *" $2 "* ]]; then
  printf 'Package: %s\nStatus: deinstall ok config-files\n' "$2"
elif [[ $FAKE_MISSING == '*' || " $FAKE_MISSING " == *" $2 "* ]]; then
  echo "dpkg-query: package '$2' is not installed" >&2
  exit 1
else
  printf 'Package: %s\nStatus: install ok installed\nPriority: optional\n' "$2"
fi
)";
const std::string apt_get_script = R"(#!/bin/bash
echo "apt-get $* [DEBIAN_FRONTEND=${DEBIAN_FRONTEND-}]" >> "$FAKE_LOG"
exit "${FAKE_APT_STATUS:-0}"
)";
const std::string sudo_script = R"(#!/bin/bash
echo "sudo $*" >> "$FAKE_LOG"
while [[ $1 == *=* ]]; do export "$1"; shift; done
exec "$@"
)";
const std::string id_script = R"(#!/bin/bash
[ "$1" = -u ] && echo "$FAKE_UID"
)";

struct Machine {
  std::string missing;      // package names, blank-separated; "*" for all
  bool root = true, sudo = true, dpkg = true;
  std::string config_only;  // removed packages whose configuration files are left
  int apt_status = 0;
  std::vector<std::string> commands;  // further commands on PATH, doing nothing
};

Machine missing(const std::string& packages, bool root = true, bool sudo = true) {
  Machine m;
  m.missing = packages;
  m.root = root;
  m.sudo = sudo;
  return m;
}

Machine without_dpkg(const std::vector<std::string>& commands) {
  Machine m;
  m.dpkg = false;
  m.commands = commands;
  return m;
}

struct Outcome {
  CommandResult result;
  std::vector<std::string> calls;  // apt-get and sudo, in order
};

void put_command(const std::string& path, const std::string& script) {
  qxtest::write_file(path, script);
  chmod(path.c_str(), 0755);
}

Outcome run_deps(const Machine& m, const std::vector<std::string>& purposes) {
  TempDir dir;
  const std::string bin = dir.file("bin"), log = dir.file("log");
  mkdir(bin.c_str(), 0755);
  put_command(bin + "/apt-get", apt_get_script);
  put_command(bin + "/id", id_script);
  if (m.dpkg) put_command(bin + "/dpkg", dpkg_script);
  if (m.sudo) put_command(bin + "/sudo", sudo_script);
  for (const std::string& c : m.commands) put_command(bin + "/" + c, "#!/bin/bash\n");
  std::vector<std::string> argv{"env",
                                "-i",
                                "PATH=" + bin,
                                "FAKE_LOG=" + log,
                                "FAKE_UID=" + std::string(m.root ? "0" : "1000"),
                                "FAKE_MISSING=" + m.missing,
                                "FAKE_CONFIG_ONLY=" + m.config_only,
                                "FAKE_APT_STATUS=" + std::to_string(m.apt_status),
                                "/bin/bash",
                                std::string(QX_SOURCE_DIR) + "/tools/deps.sh"};
  argv.insert(argv.end(), purposes.begin(), purposes.end());
  Outcome o{qxtest::run_program(argv), {}};
  o.calls = qxtest::split_lines(qxtest::read_file(log));
  return o;
}

const std::string frontend = " [DEBIAN_FRONTEND=noninteractive]";
const std::string install = "apt-get install -y --no-install-recommends";

// The packages that an install line (logged or printed) names.
std::multiset<std::string> packages_of(const std::string& line) {
  std::multiset<std::string> p;
  std::istringstream in(line.substr(line.find(install) + install.size()));
  for (std::string w; in >> w && w[0] != '[';) p.insert(w);
  return p;
}

TEST(DepsScript, InstallsWhatIsMissingAsRootOrThroughSudoElseSaysWhatToRun) {
  // Nothing missing: silent, nothing run, whatever the purposes.
  for (const auto& purposes : {std::vector<std::string>{"build"}, {"build", "test", "package"}}) {
    const Outcome o = run_deps(Machine(), purposes);
    EXPECT_EQ(o.result.exit_status, 0) << o.result.err;
    EXPECT_EQ(o.result.out + o.result.err, "");
    EXPECT_TRUE(o.calls.empty()) << o.calls.front();
  }
  // Root: update, then install the missing packages; a package that left only
  // its configuration files behind counts as missing.
  {
    Machine m = missing("cmake ninja-build");
    m.config_only = "g++";
    const Outcome o = run_deps(m, {"build"});
    EXPECT_EQ(o.result.exit_status, 0) << o.result.err;
    ASSERT_EQ(o.calls.size(), 2u);
    EXPECT_EQ(o.calls[0], "apt-get update" + frontend);
    EXPECT_TRUE(o.calls[1].starts_with(install + " ") && o.calls[1].ends_with(frontend)) << o.calls[1];
    EXPECT_EQ(packages_of(o.calls[1]), (std::multiset<std::string>{"cmake", "g++", "ninja-build"}));
  }
  // Not root, sudo there: the same two commands through sudo.
  {
    const Outcome o = run_deps(missing("cmake", false), {"build"});
    EXPECT_EQ(o.result.exit_status, 0) << o.result.err;
    const std::vector<std::string> expected{
        "sudo DEBIAN_FRONTEND=noninteractive apt-get update", "apt-get update" + frontend,
        "sudo DEBIAN_FRONTEND=noninteractive " + install + " cmake", install + " cmake" + frontend};
    EXPECT_EQ(o.calls, expected);
  }
  // Neither root nor sudo, or an install that fails: the line to run, exit 1.
  Machine failing = missing("cmake", true, false);
  failing.apt_status = 100;
  for (const Machine& m : {missing("cmake", false, false), failing}) {
    const Outcome o = run_deps(m, {"build"});
    EXPECT_EQ(o.result.exit_status, 1);
    EXPECT_NE(("\n" + o.result.err).find("\n  " + install + " cmake\n"), std::string::npos) << o.result.err;
    EXPECT_EQ(o.calls.size(), m.apt_status ? 1u : 0u);  // the failed update stops it
  }
}

TEST(DepsScript, NamesEveryPackageOnceAndRefusesUnknownPurposes) {
  const Outcome build = run_deps(missing("*"), {"build"});
  const Outcome all = run_deps(missing("*"), {"build", "test", "package", "cross", "windows", "build"});
  ASSERT_EQ(build.calls.size(), 2u);
  ASSERT_EQ(all.calls.size(), 2u);
  const auto b = packages_of(build.calls[1]), a = packages_of(all.calls[1]);
  // The programs of the Quick start, qxdump with its HDF5 export.
  EXPECT_TRUE(b.count("g++") && b.count("cmake") && b.count("ninja-build") && b.count("libhdf5-dev") &&
              !b.count("libgtest-dev"))
      << build.calls[1];
  // What the test suite runs: GoogleTest, gfortran, mandoc, the package tools
  // and lintian, and the cross compilers and emulators of the runs on other
  // processors and on Windows.
  for (const char* p : {"libgtest-dev", "gfortran", "mandoc", "dpkg-dev", "file", "lintian", "g++-aarch64-linux-gnu",
                        "g++-s390x-linux-gnu", "qemu-user-static", "g++-mingw-w64-x86-64-posix", "wine", "wine64"})
    EXPECT_EQ(a.count(p), 1u) << p << " in " << all.calls[1];
  for (const std::string& p : a) EXPECT_EQ(a.count(p), 1u) << p << " twice in " << all.calls[1];
  EXPECT_TRUE(std::includes(a.begin(), a.end(), b.begin(), b.end()));

  for (const auto& purposes : {std::vector<std::string>{"build", "tests"}, {}}) {
    const Outcome o = run_deps(missing("*"), purposes);
    EXPECT_EQ(o.result.exit_status, 1);
    EXPECT_TRUE(o.calls.empty());
    EXPECT_NE(o.result.err.find(purposes.empty() ? "usage" : "'tests'"), std::string::npos) << o.result.err;
  }
}

// Node.js may come from elsewhere than Debian (its own packages bring npm
// along): Debian's nodejs and npm are installed only where their commands
// are missing.
TEST(DepsScript, BrowserPackagesTakeNodeFromWhereverItIs) {
  const auto installed = [](const std::vector<std::string>& commands) {
    Machine m = missing("*");
    m.commands = commands;
    const Outcome o = run_deps(m, {"browser"});
    EXPECT_EQ(o.result.exit_status, 0) << o.result.err;
    return o.calls.size() == 2 ? packages_of(o.calls[1]) : std::multiset<std::string>{};
  };
  using Set = std::multiset<std::string>;
  EXPECT_EQ(installed({}), (Set{"chromium", "nodejs", "npm"}));
  EXPECT_EQ(installed({"node"}), (Set{"chromium", "npm"}));
  EXPECT_EQ(installed({"node", "npm"}), (Set{"chromium"}));
  // Chromium itself is asked of dpkg, whatever is on the PATH.
  EXPECT_EQ(installed({"node", "npm", "chromium"}), (Set{"chromium"}));

  const Outcome o = run_deps(without_dpkg({"chromium", "node"}), {"browser"});
  EXPECT_EQ(o.result.exit_status, 1);
  EXPECT_NE(o.result.err.find("npm (Debian package npm)"), std::string::npos) << o.result.err;
  EXPECT_EQ(o.result.err.find("?"), std::string::npos) << o.result.err;
  EXPECT_EQ(run_deps(without_dpkg({"chromium", "node", "npm"}), {"browser"}).result.exit_status, 0);
}

TEST(DepsScript, WithoutDpkgLooksForTheCommands) {
  const Outcome present = run_deps(without_dpkg({"g++", "cmake", "ninja"}), {"build"});
  EXPECT_EQ(present.result.exit_status, 0) << present.result.err;
  EXPECT_EQ(present.result.out + present.result.err, "");

  const Outcome lacking = run_deps(without_dpkg({"g++", "cmake"}), {"build"});
  EXPECT_EQ(lacking.result.exit_status, 1);
  EXPECT_NE(lacking.result.err.find("ninja (Debian package ninja-build)"), std::string::npos) << lacking.result.err;
  EXPECT_EQ(lacking.result.err.find("cmake ("), std::string::npos) << lacking.result.err;
  EXPECT_TRUE(lacking.calls.empty());
}

}  // namespace
