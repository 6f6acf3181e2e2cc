// The programs that read converted files in the documents, run as printed on
// the converted files of the example in both byte orders, list what qxdump
// lists: the Fortran and NumPy record walkers of docs/reading.md, and the
// h5py reader of an HDF5 export in README.md. (tests/tools/doc_examples.py
// runs them too, on one file each, and compares what they print there.)
#include <gtest/gtest.h>

#include <sstream>

#include "tools/generated_cases.hpp"

namespace {

using qxtest::run_program;
using qxtools::convert_case;

// The body of the first fenced block of a document (a path from the top of
// the sources) in the given language that holds `containing`.
std::string doc_block(const std::string& document, const std::string& language, const std::string& containing) {
  const std::string text = qxtest::read_file(std::string(QX_SOURCE_DIR) + "/" + document);
  for (std::size_t at = 0; (at = text.find("```" + language + "\n", at)) != std::string::npos; ++at) {
    const std::size_t begin = at + language.size() + 4;
    const std::string body = text.substr(begin, text.find("\n```", begin) + 1 - begin);
    if (body.find(containing) != std::string::npos) return body;
  }
  return {};
}

// Words `from` to `from + count` of a line, without punctuation and "key=" heads.
std::string words(std::string line, std::size_t from = 0, std::size_t count = 99) {
  for (char& c : line) c = c == ',' || c == '[' || c == ']' || c == '"' ? ' ' : c;
  std::istringstream in(line);
  std::string s, w;
  for (std::size_t i = 0; in >> w && i < from + count; ++i)
    if (i >= from) s += (s.empty() ? "" : " ") + w.substr(w.find('=') + 1);
  return s;
}

// What qxdump says of a converted file: "title T", "nodes N counts...",
// then per block its kind word and codes ("MAXR" and the code for maxima).
std::vector<std::string> dump_summary(const std::string& path) {
  const auto r = run_program({QXDUMP_PATH, path});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> s;
  for (const std::string& line : qxtest::split_lines(r.out)) {
    if (line.starts_with("  counts ")) {
      const std::size_t t = line.find("title=\"") + 7, end = line.find('"', t);
      s.push_back(words("title " + line.substr(t, end - t)));
      s.push_back("nodes " + words(line.substr(end + 1)));
    } else if (line.starts_with("block ")) {
      s.push_back(words(line, 3, line.find(" MAXR ") != std::string::npos ? 2 : 7));
    }
  }
  return s;
}

// What an example lists, in the same words (its counts on one line or two).
std::vector<std::string> example_summary(std::string out) {
  if (const std::size_t at = out.find(" nodes "); at != std::string::npos) out[at] = '\n';
  std::vector<std::string> s;
  for (const std::string& line : qxtest::split_lines(out))
    if (line.starts_with("nodes "))
      s.push_back("nodes " + words(line, 1, 1) + " " + words(line, 3, 10));
    else if (!line.empty())
      s.push_back(words(line, 0, line.starts_with("title ") ? 99 : line.starts_with("MAXR") ? 2 : 7));
  return s;
}

// The Fortran example reads case1_QX2D.TP18 in the native byte order; the
// Python one any converted file in either.
TEST(ReadingExamples, RecordWalkersListWhatQxdumpListsOfConvertedFiles) {
  qxtest::TempDir tools;
  const std::string fortran = doc_block("docs/reading.md", "fortran", "program readqx");
  ASSERT_NE(fortran.find("case1_QX2D.TP18"), std::string::npos);
  std::string log, python;
  ASSERT_TRUE(qxtest::compile_fortran(fortran, tools.file("readqx"), log)) << log;
  const std::string walker = doc_block("docs/reading.md", "python", "np.fromfile");
  ASSERT_NE(walker, "") << "no NumPy record walker in docs/reading.md";
  qxtest::write_file(tools.file("walkqx.py"), walker);
  for (const char* p : {"/usr/bin/python3", "python3"})
    if (python.empty() && qxtest::run_shell(std::string(p) + " -c 'import numpy' 2>/dev/null").exit_status == 0)
      python = p;
  for (const std::string answer : {"No", "Yes"}) {
    qxtest::TempDir dir;
    convert_case(dir, answer);
    for (const std::string file : {"case1_QX2D.TP18", "case1_QXSH.TP18", "case1_QX2D.TP19", "case1_QXSH.TP19"}) {
      std::vector<std::vector<std::string>> runs;
      if (answer == "No" && file == "case1_QX2D.TP18") runs.push_back({tools.file("readqx")});
      if (!python.empty()) runs.push_back({python, tools.file("walkqx.py"), file});
      for (const auto& argv : runs) {
        const auto r = run_program(argv, "", dir.path());
        ASSERT_EQ(r.exit_status, 0) << argv[0] << " " << file << ": " << r.err;
        const std::vector<std::string> listed = example_summary(r.out);
        EXPECT_GT(listed.size(), 8u) << file;
        EXPECT_EQ(listed, dump_summary(dir.file(file))) << argv[0] << " " << file << " answered " << answer;
      }
    }
  }
  if (python.empty()) GTEST_SKIP() << "no python3 with NumPy for the Python example";
}

#ifdef QX_H5PY_PYTHON
// What qxdump lists of a converted file in the words of the HDF5 example:
// the title and the node count, then per block its number, its kind word and
// how many values its data records hold (less the item count of a maxima
// record, which the shapes of its arrays hold).
std::vector<std::string> hdf5_summary(const std::string& path) {
  const auto r = run_program({QXDUMP_PATH, "--records", path});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> s;
  std::size_t values = 0;
  bool maxima = false;
  auto close_block = [&] {
    if (s.size() > 1) s.back() += " " + std::to_string(values - (maxima && values ? 1 : 0));
  };
  for (const std::string& line : qxtest::split_lines(r.out)) {
    std::istringstream in(line);
    std::string word, number, at, kind, length, role;
    if (line.starts_with("  counts ")) {
      const std::size_t t = line.find("title=\"") + 7, end = line.find('"', t);
      const std::size_t ndpt = line.find(" ndpt=") + 6;
      s.push_back(line.substr(t, end - t) + " nodes " + line.substr(ndpt, line.find(' ', ndpt) - ndpt));
    } else if (line.starts_with("block ") && in >> word >> number >> at >> kind) {
      close_block();
      s.push_back(std::string(6 - number.size(), '0') + number + " " + kind);
      values = 0;
      maxima = kind == "MAXR";
    } else if (line.starts_with("  record ") && in >> word >> at >> length >> role && role == "data") {
      values += std::stoul(length.substr(7)) / 4;
    }
  }
  close_block();
  return s;
}

// The same from the example's lines: the title and node count, then per
// block its name, kind and the values of its datasets (the product of each
// shape, summed).
std::vector<std::string> hdf5_example_summary(const std::string& out) {
  std::vector<std::string> s;
  for (std::string line : qxtest::split_lines(out)) {
    if (s.empty()) {
      const std::size_t bar = line.find(" | nodes ");
      s.push_back(bar == std::string::npos ? line : line.substr(0, bar) + " nodes " + line.substr(bar + 9));
      continue;
    }
    std::istringstream in(line.substr(0, line.find('{')));
    std::string name, kind;
    in >> name >> kind;
    std::size_t total = 0;
    for (std::size_t at = line.find('('); at != std::string::npos; at = line.find('(', at + 1)) {
      std::size_t product = 1;
      std::istringstream dims(line.substr(at + 1, line.find(')', at) - at - 1));
      for (std::string d; std::getline(dims, d, ',');)
        if (d.find_first_of("0123456789") != std::string::npos) product *= std::stoul(d);
      total += product;
    }
    s.push_back(name + " " + kind + " " + std::to_string(total));
  }
  return s;
}

// The Python example of the HDF5 export reads, as printed, case1_QX2D.TP18
// exported, and with the name changed the other converted files.
TEST(ReadingExamples, Hdf5ExampleListsWhatQxdumpListsOfConvertedFiles) {
  const std::string example = doc_block("README.md", "python", "import h5py");
  const std::string name = "case1_QX2D.TP18.h5";
  ASSERT_NE(example.find("'" + name + "'"), std::string::npos);
  for (const std::string answer : {"No", "Yes"}) {
    qxtest::TempDir dir;
    convert_case(dir, answer);
    for (const std::string file : {"case1_QX2D.TP18", "case1_QXSH.TP18", "case1_QX2D.TP19", "case1_QXSH.TP19"}) {
      const auto exported = run_program({QXDUMP_PATH, "--hdf5", file + ".h5", file}, "", dir.path());
      ASSERT_EQ(exported.exit_status, 0) << exported.err;
      std::string script = example;
      script.replace(script.find(name), name.size(), file + ".h5");
      qxtest::write_file(dir.file("readh5.py"), script);
      const auto r = run_program({QX_H5PY_PYTHON, "readh5.py"}, "", dir.path());
      ASSERT_EQ(r.exit_status, 0) << file << ": " << r.err;
      const std::vector<std::string> listed = hdf5_example_summary(r.out);
      EXPECT_GT(listed.size(), 5u) << file;
      EXPECT_EQ(listed, hdf5_summary(dir.file(file))) << file << " answered " << answer;
    }
  }
}
#endif

}  // namespace
