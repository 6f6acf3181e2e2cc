// qxdump --hdf5 seen by h5dump: the layout, the storage and values of a
// big-endian converted file; and exports that fail (a cut file, a full disk,
// a file of no known kind, a missing directory) leave nothing under the name
// asked for. The value-by-value comparison of every kind of file is
// hdf5_readback.py, with h5py.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <charconv>
#include <filesystem>
#include <map>

#include "tools/listed_blocks.hpp"
#include "tools/qxdump_runs.hpp"

namespace {

using namespace qxtools;
using qxtest::CommandResult;
using qxtest::TempDir;

#ifdef QX_HAVE_HDF5

bool have_h5dump() { return qxtest::run_shell("command -v h5dump >/dev/null").exit_status == 0; }

// `h5dump -H -p` as a map from the path of every group, dataset and attribute
// to the lines that describe it (DATATYPE, DATASPACE, STORAGE_LAYOUT,
// FILTERS and what they enclose).
std::map<std::string, std::string> h5_structure(const std::string& h5) {
  const CommandResult r = qxtest::run_program({"h5dump", "-H", "-p", h5});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::map<std::string, std::string> objects;
  std::vector<std::string> path;  // one entry per open brace; "" where it names nothing
  for (std::string line : qxtest::split_lines(r.out)) {
    line.erase(0, line.find_first_not_of(' '));
    if (line == "}") {
      if (!path.empty()) path.pop_back();
      continue;
    }
    std::string named;
    for (const char* head : {"GROUP \"", "DATASET \"", "ATTRIBUTE \""})
      if (line.starts_with(head)) named = line.substr(std::strlen(head), line.rfind('"') - std::strlen(head));
    std::string full;
    for (const std::string& p : path)
      if (!p.empty()) full += (full.empty() || full == "/" ? "" : "/") + p;
    if (!named.empty()) {
      full = named == "/" ? "/" : (full == "/" ? "" : full) + "/" + named;
      objects[full];
    } else {
      objects[full] += line + "\n";
    }
    if (line.ends_with("{")) path.push_back(named.empty() ? "" : named);
  }
  return objects;
}

// The values h5dump prints for a dataset or attribute, with nine significant
// digits (enough to give back every real4).
std::vector<std::string> h5_values(const std::string& h5, const std::string& option, const std::string& what) {
  const CommandResult r = qxtest::run_program({"h5dump", "-y", "-w", "0", "-m", "%.9g", option, what, h5});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  const std::size_t begin = r.out.find("DATA {"), end = r.out.find('}', begin);
  std::string data = r.out.substr(begin + 6, end - begin - 6);
  for (char& c : data) c = c == ',' || c == '\n' || c == '(' || c == ')' || c == ':' ? ' ' : c;
  std::istringstream in(data);
  std::vector<std::string> v;
  for (std::string w; in >> w;) v.push_back(w);
  return v;
}

std::uint32_t real4_bits(const std::string& text) {
  float v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return std::bit_cast<std::uint32_t>(v);
}

TEST(QxdumpHdf5, H5dumpSeesTheLayoutAndTheValues) {
  if (!have_h5dump()) GTEST_SKIP() << "h5dump (Debian: hdf5-tools) is not installed";
  TempDir dir;
  convert_case(dir, "Yes");
  const std::string sv = dir.file("case1_QX2D.TP18"), bytes = qxtest::read_file(sv);
  ASSERT_TRUE(big_endian(bytes));
  const std::vector<ListedBlock> blocks = listed_blocks(sv);
  const std::string plain = dir.file("plain.h5"), packed = dir.file("packed.h5");
  ASSERT_EQ(qxdump({"--hdf5", plain, sv}).exit_status, 0);
  const CommandResult r = qxdump({"--hdf5", packed, "--compress", sv});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "") << "a successful export is silent";

  const auto h = h5_structure(plain), z = h5_structure(packed);
  for (const char* attribute : {"/source_file", "/kind", "/family", "/variant", "/byte_order", "/program_version"})
    EXPECT_NE(h.at(attribute).find("H5T_STRING"), npos) << attribute;
  EXPECT_NE(h.at("/model/title").find("STRSIZE 72;"), npos) << h.at("/model/title");
  const std::uint32_t ndpt = word_at(bytes, {0, 116, ""}, 18, true);
  for (const char* coordinate : {"/model/nodes/x", "/model/nodes/z"}) {
    EXPECT_NE(h.at(coordinate).find("DATATYPE  H5T_IEEE_F32LE"), npos) << coordinate;
    EXPECT_NE(h.at(coordinate).find("SIMPLE { ( " + std::to_string(ndpt) + " ) / ( " + std::to_string(ndpt) + " ) }"),
              npos);
  }
  EXPECT_NE(h.at("/model/elements/solid").find("DATATYPE  H5T_STD_I32LE"), npos);
  EXPECT_TRUE(h.count("/model/elements/solid/columns") && h.count("/model/boundary/left/columns"));

  // Every block listed is a group in file order; the storage of a spectrum's
  // records: one row per record, one chunk per row, deflated with --compress.
  std::size_t spectra = 0;
  for (const ListedBlock& b : blocks) {
    char name[16];
    std::snprintf(name, sizeof name, "/blocks/%06llu", static_cast<unsigned long long>(b.number));
    ASSERT_TRUE(h.count(name + std::string("/kind"))) << name;
    EXPECT_EQ(h5_values(plain, "-a", name + std::string("/kind")), std::vector<std::string>{"\"" + b.kind + "\""});
    const auto data = b.data();
    if (b.kind != "FOUR" || data.size() != 3) continue;
    const std::string n = std::to_string(data[1].length / 4), values = name + std::string("/values");
    EXPECT_NE(h.at(values).find("SIMPLE { ( 2, " + n + " ) / ( H5S_UNLIMITED, " + n + " ) }"), npos) << h.at(values);
    EXPECT_NE(h.at(values).find("CHUNKED ( 1, " + n + " )"), npos) << h.at(values);
    EXPECT_NE(h.at(values).find("NONE"), npos) << "no filter without --compress";
    EXPECT_NE(z.at(values).find("PREPROCESSING SHUFFLE"), npos) << z.at(values);
    EXPECT_NE(z.at(values).find("COMPRESSION DEFLATE { LEVEL 4 }"), npos) << z.at(values);
    ++spectra;
  }
  EXPECT_GT(spectra, 2u);

  // Values as stored, from both files: a time history, its step, the node
  // numbers, and a maxima block's identifiers.
  std::size_t compared = 0;
  for (const std::string& h5 : {plain, packed}) {
    const ListedBlock& wave = *std::find_if(blocks.begin(), blocks.end(), [](const ListedBlock& b) {
      return b.kind == "WAVE" && !b.data().empty() && b.data()[0].length > 400;
    });
    char group[16];
    std::snprintf(group, sizeof group, "/blocks/%06llu", static_cast<unsigned long long>(wave.number));
    const std::vector<std::string> v = h5_values(h5, "-d", group + std::string("/values"));
    ASSERT_EQ(v.size(), wave.data()[0].length / 4u);
    for (std::size_t k = 0; k < v.size(); ++k, ++compared)
      EXPECT_EQ(real4_bits(v[k]), word_at(bytes, wave.data()[0], k, true)) << group << " value " << k << " " << v[k];
    EXPECT_EQ(real4_bits(h5_values(h5, "-a", group + std::string("/dtt")).at(0)),
              word_at(bytes, wave.records[1], 1, true));
    const std::vector<std::string> numbers = h5_values(h5, "-d", "/model/nodes/number");
    ASSERT_EQ(numbers.size(), ndpt);
    const ListedRecord nodes{440, 12 * ndpt, "nodes"};
    for (std::size_t k = 0; k < ndpt; ++k)
      EXPECT_EQ(std::stol(numbers[k]), static_cast<std::int32_t>(word_at(bytes, nodes, k, true)));
  }
  EXPECT_GT(compared, 300u);
}

TEST(QxdumpHdf5, FailedExportsLeaveNothingUnderTheNameAskedFor) {
  TempDir dir;
  convert_case(dir, "No");
  const std::string sv = dir.file("case1_QX2D.TP18"), bytes = qxtest::read_file(sv);
  const std::vector<ListedBlock> blocks = listed_blocks(sv);
  TempDir work;
  const std::string out = work.file("out.h5");
  auto expect_failure = [&](const std::string& input, const std::string& first_line, const std::string& why) {
    const std::vector<std::string> before = names_in(work.path());
    const CommandResult r = qxdump({"--hdf5", out, input});
    EXPECT_EQ(r.exit_status, 1) << why;
    EXPECT_EQ(r.err, first_line + "qxdump: " + out + " not written\n") << why;
    EXPECT_EQ(names_in(work.path()), before) << why << ": nothing added, no temporary file left";
  };

  // Files cut inside a block and inside the model section: the listing's
  // description of the fault.
  const ListedRecord& in_block = blocks[blocks.size() / 2].records.back();
  for (std::uint64_t at : {in_block.offset + 9, std::uint64_t{3000}}) {
    const std::string cut = work.file("cut_QX2D.TP18");
    qxtest::write_file(cut, bytes.substr(0, at));
    const CommandResult listing = qxdump({cut});
    ASSERT_EQ(listing.exit_status, 1);
    expect_failure(cut, listing.err, "cut at " + std::to_string(at));
    std::filesystem::remove(cut);
  }
  // Records, but neither a result nor a converted file.
  const std::string odd = work.file("odd.dat");
  qxtest::write_file(odd, std::string("\x05\0\0\0hello\x05\0\0\0", 13));
  expect_failure(odd, "qxdump: " + out + ": neither a result file nor a converted file: nothing to export\n", "odd");
  std::filesystem::remove(odd);

  // A file already under the name stays as it was.
  qxtest::write_file(out, "an older file");
  qxtest::write_file(work.file("cut_QX2D.TP18"), bytes.substr(0, 5000));
  expect_failure(work.file("cut_QX2D.TP18"), qxdump({work.file("cut_QX2D.TP18")}).err, "over an older file");
  EXPECT_EQ(qxtest::read_file(out), "an older file");
  std::filesystem::remove(work.file("cut_QX2D.TP18"));

  // A disk that fills up, early, midway and at the very end: a file size
  // limit (in blocks of 512 bytes), its signal ignored so that writes fail.
  std::filesystem::remove(out);
  ASSERT_EQ(qxdump({"--hdf5", out, sv}).exit_status, 0);
  const std::uintmax_t whole = std::filesystem::file_size(out) / 512;
  std::filesystem::remove(out);
  for (std::uintmax_t limit : {std::uintmax_t{4}, whole / 2, whole - 1}) {
    const CommandResult full = qxtest::run_shell("ulimit -f " + std::to_string(limit) + "; trap '' XFSZ; exec '" +
                                                 std::string(QXDUMP_PATH) + "' --hdf5 '" + out + "' '" + sv + "'");
    EXPECT_EQ(full.exit_status, 1) << limit;
    EXPECT_TRUE(full.err.starts_with("qxdump: " + out + ": cannot ")) << full.err;
    EXPECT_NE(full.err.find(": File too large\nqxdump: " + out + " not written\n"), npos) << full.err;
    EXPECT_EQ(names_in(work.path()), std::vector<std::string>{}) << "no temporary file left";
  }

  // Stopped by a signal once the temporary file exists (a result file of
  // 100 MB takes a while to export).
  generate(work, {"--seed", "8", "--size", "100M", "--only-tp18"}, "big");
  std::filesystem::remove(work.file("big.qxin"));
  const CommandResult stopped = export_stopped_midway(work.path(), "--hdf5", "out.h5", "big.TP18");
  EXPECT_EQ(stopped.out, "status 1\n");
  EXPECT_EQ(stopped.err, "qxdump: big.TP18: interrupted\nqxdump: out.h5 not written\n");
  EXPECT_EQ(names_in(work.path()), std::vector<std::string>{}) << "no temporary file left";

  // No directory to write in.
  const CommandResult nowhere = qxdump({"--hdf5", work.file("none/out.h5"), sv});
  EXPECT_EQ(nowhere.exit_status, 1);
  EXPECT_EQ(nowhere.err, "qxdump: " + work.file("none/out.h5") +
                             ": cannot create a file beside it: No such file or directory\nqxdump: " +
                             work.file("none/out.h5") + " not written\n");

  // A complete export takes the name, replacing what was there, with the
  // permissions of a new file.
  qxtest::write_file(out, "an older file");
  ASSERT_EQ(qxdump({"--hdf5", out, sv}).exit_status, 0);
  EXPECT_EQ(qxtest::read_file(out).substr(0, 8), std::string("\x89HDF\r\n\x1a\n", 8));
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(names_in(work.path()), std::vector<std::string>{"out.h5"});
}

#else

TEST(QxdumpHdf5, BuiltWithoutTheLibraryItSaysSo) {
  TempDir dir;
  const std::string base = generate(dir, {"--seed", "4", "--size", "30k", "--only-tp18"});
  const CommandResult r = qxdump({"--hdf5", dir.file("out.h5"), base + ".TP18"});
  EXPECT_EQ(r.exit_status, 2);
  const std::string told =
      "built without HDF5: --hdf5 and --xdmf are not available (Debian: install libhdf5-dev and build qxdump again)\n";
  EXPECT_EQ(r.err, "qxdump: this qxdump was " + told);
  EXPECT_FALSE(qxtest::file_exists(dir.file("out.h5")));
  const CommandResult version = qxdump({"--version"});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_TRUE(version.out.starts_with("qxdump ") && version.out.ends_with("\n" + told)) << version.out;
}

#endif

}  // namespace
