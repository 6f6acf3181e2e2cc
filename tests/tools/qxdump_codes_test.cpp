// qxdump --codes on the bundled example: the listing's "means:" lines, the
// CSV columns named and a response spectrum against its periods; a map that
// names nothing changes no output; malformed maps refused with their line
// before anything is written; --xdmf requests that cannot be met. (The HDF5
// attributes and the XDMF are read back by codes_readback.py, the page in
// the browser test.)
#include <gtest/gtest.h>

#include <filesystem>

#include "tools/listed_blocks.hpp"
#include "tools/qxdump_runs.hpp"

namespace {

using namespace qxtools;
using qxtest::CommandResult;
using qxtest::TempDir;

const std::string example_map = std::string(QX_SOURCE_DIR) + "/example/case1-codes.csv";

// The example case converted in `dir`.
void convert_example(const TempDir& dir) {
  for (const char* f : {"case1.qxin", "case1.TP18", "case1.TP19"})
    std::filesystem::copy_file(std::string(QX_SOURCE_DIR) + "/example/" + f, dir.file(f));
  const auto r = qxtest::run_program({QXCONV_PATH}, "case1.qxin\ncase1.TP18\nNo\n", dir.path());
  ASSERT_EQ(r.exit_status, 0) << r.out;
}

std::vector<std::string> lines_of(const CommandResult& r) { return qxtest::split_lines(r.out); }

TEST(QxdumpCodes, TheListingSaysWhatTheMapNames) {
  TempDir dir;
  convert_example(dir);
  const std::string sv = dir.file("case1_QX2D.TP18");
  const CommandResult plain = qxdump({sv}), mapped = qxdump({"--codes", example_map, sv});
  ASSERT_EQ(mapped.exit_status, 0) << mapped.err;
  EXPECT_EQ(mapped.err, "");
  // The listing with the map is the listing without it, and a "means:" line
  // under each block the map names.
  std::vector<std::string> without;
  std::size_t means = 0;
  for (const std::string& l : lines_of(mapped)) {
    if (l.starts_with("  means: ")) ++means;
    else without.push_back(l);
  }
  EXPECT_EQ(without, lines_of(plain));
  EXPECT_EQ(means, 24u);
  const std::string listing = mapped.out;
  for (const char* line :
       {"block 3 @11488 WAVE nc=1,1,1,104,0,1 lrec=2 nsize2=551 dap=2.00000E-01 dtt=2.50000E-03 records=36,24,2204\n"
        "  means: quantity acceleration [m/s2]; direction X; node 104 (nc4); abscissa time [s]\n",
        "\n  means: quantity amplification of acceleration; direction X/Z; node 104 (nc4); abscissa frequency [Hz]; "
        "record 1 real part; record 2 imaginary part\n",
        "\n  means: quantity response spectrum of velocity [m/s]; direction X; node 104 (nc4); abscissa period [s] "
        "(step 0.02 0.02); record 1 relative; record 2 absolute\n",
        "\n  means: quantity peak stress [kPa]; ia1 element (SOLID); columns c1 normal stress x [kPa], c3 normal "
        "stress z [kPa], c6 shear stress zx [kPa]\n",
        "\n  means: quantity peak relative displacement [m]; ia1 node; ia2 node; columns c1_1 peak relative "
        "displacement X [m], c1_2 time of the peak X [s], c3_1 peak relative displacement Z [m], c3_2 time of the "
        "peak Z [s]\n"})
    EXPECT_NE(listing.find(line), npos) << line;
  // No meaning for what the map does not name: information blocks, maxima
  // codes 107 to 112.
  EXPECT_EQ(listing.find("INFO nc=6,0,2,0,0,1 lrec=1 nsize2=551 dap=9.80665E+00 dtt=0.00000E+00 records=36,24\n  means"), npos);
  EXPECT_EQ(listing.find("code=107 nc2=2 lrec=1 na=9 records=36,112\n  means"), npos);
  // The SH file's direction 1 is Y; --records lines follow the means line.
  const CommandResult sh = qxdump({"--codes", example_map, "--records", dir.file("case1_QXSH.TP18")});
  EXPECT_NE(sh.out.find("\n  means: quantity acceleration [m/s2]; direction Y; node 104 (nc4); abscissa time [s]\n"
                        "  record @10556 length=36 REC1\n"),
            npos)
      << sh.out;
}

TEST(QxdumpCodes, CsvColumnsCarryTheNamesAndUnits) {
  TempDir dir;
  convert_example(dir);
  const std::string sv = dir.file("case1_QX2D.TP18");
  const auto csv = [&](const std::string& block) { return lines_of(qxdump({"--codes", example_map, "--csv", block, sv})); };
  const std::vector<std::string> wave = csv("3"), plain = lines_of(qxdump({"--csv", "3", sv}));
  ASSERT_EQ(wave.size(), plain.size());
  EXPECT_EQ(wave[0], "time [s],acceleration X at node 104 [m/s2]");
  EXPECT_EQ(plain[0], "time,value");
  EXPECT_TRUE(std::equal(wave.begin() + 1, wave.end(), plain.begin() + 1)) << "values as without the map";
  // A response spectrum against the periods the map gives, in place of its
  // index.
  const std::vector<std::string> spec = csv("13");
  ASSERT_EQ(spec.size(), 69u);
  EXPECT_EQ(spec[0], "period [s],relative response spectrum of velocity X at node 104 [m/s],"
                     "absolute response spectrum of velocity X at node 104 [m/s]");
  for (std::size_t k = 0; k < 68; ++k) {
    char period[32];
    std::snprintf(period, sizeof period, "%.15g", 0.02 + static_cast<double>(k) * 0.02);
    EXPECT_TRUE(spec[1 + k].starts_with(std::string(period) + ",")) << spec[1 + k];
  }
  EXPECT_TRUE(spec[3].starts_with("0.06,")) << "the rule's sum in 15 digits";
  EXPECT_EQ(csv("23")[0], "item_id1 (node),peak acceleration X [m/s2],time of the peak X [s],peak acceleration Z [m/s2],"
                          "time of the peak Z [s]");
  EXPECT_EQ(csv("27")[0], "item_id1 (element (SOLID)),normal stress x [kPa],normal stress z [kPa],shear stress zx [kPa]");
  EXPECT_EQ(csv("29")[0], "item_id1,c1,c2") << "a code the map does not name";

  // Names with commas and quotes are quoted; a list of periods of another
  // length than the values leaves the index, and says so.
  const std::string map = dir.file("odd.csv");
  qxtest::write_file(map, "file,kind,nc1,field,value,name,unit\n*,SPEC,*,abscissa,0.1 0.2,period,s\n"
                          "*,SPEC,*,quantity,,\"Sa, \"\"relative\"\"\",m/s2\n");
  const CommandResult r = qxdump({"--codes", map, "--csv", "13", sv});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "qxdump: " + sv + ": block 13: the abscissa of line 2 of the code map lists 2 values for 68: the "
                                     "rows are numbered\n");
  EXPECT_TRUE(r.out.starts_with("index,\"Sa, \"\"relative\"\" value1 [m/s2]\",")) << r.out.substr(0, 80);
}

TEST(QxdumpCodes, AMapThatNamesNothingChangesNothing) {
  TempDir dir;
  convert_example(dir);
  const std::string empty = dir.file("empty.csv");
  qxtest::write_file(empty, "file,kind,nc1,field,value,name,unit\n*,ZZZZ,*,quantity,,never,\n");
  const std::vector<std::string> files = {dir.file("case1_QX2D.TP18"), dir.file("case1_QXSH.TP19"), dir.file("case1.TP18")};
  for (const std::string& f : files) {
    EXPECT_EQ(qxdump({"--codes", empty, "--records", f}).out, qxdump({"--records", f}).out) << f;
    for (const char* block : {"3", "13", "25"})
      EXPECT_EQ(qxdump({"--codes", empty, "--csv", block, f}).out, qxdump({"--csv", block, f}).out) << f << " " << block;
  }
  std::vector<std::string> a = {"--html", dir.file("a.html")}, b = {"--codes", empty, "--html", dir.file("b.html")};
  a.insert(a.end(), files.begin(), files.end());
  b.insert(b.end(), files.begin(), files.end());
  ASSERT_EQ(qxdump(a).exit_status, 0);
  ASSERT_EQ(qxdump(b).exit_status, 0);
  EXPECT_TRUE(qxtest::read_file(dir.file("a.html")) == qxtest::read_file(dir.file("b.html"))) << "the pages differ";
}

TEST(QxdumpCodes, AMalformedMapIsRefusedWithItsLineBeforeAnythingIsWritten) {
  TempDir dir;
  convert_example(dir);
  const std::string sv = dir.file("case1_QX2D.TP18"), bad = dir.file("bad.csv");
  qxtest::write_file(bad, "# a map\nfile,kind,nc1,field,value,name,unit\n*,WAVE,1,quantity,,acceleration,m/s2\n"
                          "*,WAVE,*,node,nc7,,\n");
  const std::string why = "qxdump: " + bad + ": line 4: the value of a node or element row is nc4, nc5, nc6, ia1 or "
                          "ia2, not 'nc7'\n";
  TempDir out;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{sv}, {"--csv", "3", sv}, {"--html", out.file("o.html"), sv},
        {"--hdf5", out.file("o.h5"), sv}, {"--xdmf", out.file("o.xmf"), sv}}) {
    std::vector<std::string> with = {"--codes", bad};
    with.insert(with.end(), args.begin(), args.end());
    const CommandResult r = qxdump(with);
    EXPECT_EQ(r.exit_status, 1) << args[0];
    EXPECT_EQ(r.err, why) << args[0];
    EXPECT_EQ(r.out, "") << args[0];
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{}) << args[0];
  }
  const CommandResult missing = qxdump({"--codes", dir.file("none.csv"), sv});
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_EQ(missing.err, "qxdump: " + dir.file("none.csv") + ": cannot be read: No such file or directory\n");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--codes"}, {"--codes=", sv}}) {
    const CommandResult r = qxdump(args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, "qxdump: --codes needs the name of a code map (a CSV file) (see qxdump --help)\n");
  }
}

#ifdef QX_HAVE_HDF5
TEST(QxdumpCodes, XdmfRequestsThatCannotBeMet) {
  TempDir dir;
  convert_example(dir);
  TempDir out;
  // A result file has no model; a converted file cut inside its model
  // section; a name that XDMF cannot reference.
  const std::string cut = dir.file("cut_QX2D.TP18");
  qxtest::write_file(cut, qxtest::read_file(dir.file("case1_QX2D.TP18")).substr(0, 3000));
  const std::string xmf = out.file("m.xmf");
  const std::pair<std::string, std::string> cases[] = {
      {dir.file("case1.TP18"), "qxdump: " + dir.file("case1.TP18") +
                                   ": holds no model section with nodes: --xdmf describes the model of a converted file "
                                   "(CASE_QX2D.TP18 and the like)\n"},
      {cut, qxdump({cut}).err},
  };
  for (const auto& [input, first] : cases) {
    const CommandResult r = qxdump({"--xdmf", xmf, input});
    EXPECT_EQ(r.exit_status, 1) << input;
    EXPECT_EQ(r.err, first + "qxdump: " + xmf + " not written\nqxdump: " + xmf + ".h5 not written\n");
    EXPECT_EQ(names_in(out.path()), std::vector<std::string>{}) << input << ": no file, no temporary file";
  }
  const CommandResult colon = qxdump({"--xdmf", out.file("a:b.xmf"), dir.file("case1_QX2D.TP18")});
  EXPECT_EQ(colon.exit_status, 1);
  EXPECT_EQ(names_in(out.path()), std::vector<std::string>{});
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--xdmf", xmf}, {"--xdmf", xmf, dir.file("case1_QX2D.TP18"), dir.file("case1_QXSH.TP18")},
        {"--xdmf", xmf, "--html", out.file("p.html"), dir.file("case1_QX2D.TP18")}, {"--xdmf"}}) {
    const CommandResult r = qxdump(args);
    EXPECT_EQ(r.exit_status, 2) << args.size();
    EXPECT_TRUE(r.err.ends_with(" (see qxdump --help)\n")) << r.err;
  }
  // A whole one: both files, and nothing else.
  const CommandResult r = qxdump({"--xdmf", xmf, dir.file("case1_QXSH.TP18")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(names_in(out.path()), (std::vector<std::string>{"m.xmf", "m.xmf.h5"}));
  EXPECT_NE(qxtest::read_file(xmf).find(">m.xmf.h5:/nodes/xz</DataItem>"), npos) << "arrays named beside the XDMF";
}
#endif

}  // namespace
