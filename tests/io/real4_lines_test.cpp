// Lines of real4 values formatted without the layout engine: the same text as
// the engine's through the matching layout, in pieces of any size, through a
// text file and a file read and written on one position; a full disk in the
// middle of a long run; gfortran reading the lines back.
#include "io/real4_lines.hpp"

#include <climits>
#include <random>

#include "io/channels.hpp"
#include "io/layout.hpp"
#include "io/text_file.hpp"
#include "io_test_util.hpp"
#include "support/write_faults.hpp"

namespace {

using qx::Real4Exp;
using qx::Real4Lines;

std::vector<float> sample_values(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<float> v = qxtest::boundary_floats(rng);
  while (v.size() < n) {
    const auto f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    v.push_back(rng() % 4 == 0 ? f : static_cast<float>(std::ldexp(static_cast<double>(rng() % 2000000) - 1e6, -10)));
  }
  v.resize(n);
  return v;
}

// Identifiers that fill I8, overflow it (asterisks) and change sign.
std::vector<std::int32_t> sample_ids(std::size_t n) {
  const std::int32_t corners[] = {0, 1, -1, 99999999, 100000000, -9999999, -10000000, INT_MAX, INT_MIN, 1234567};
  std::vector<std::int32_t> ids(n);
  for (std::size_t i = 0; i < n; ++i)
    ids[i] = i < std::size(corners) ? corners[i] : static_cast<std::int32_t>(i * 7919);
  return ids;
}

// All lines, filled `room` characters at a time.
std::string all_lines(Real4Lines lines, std::size_t room) {
  std::string text, piece(room, '#');
  while (!lines.done()) {
    const std::size_t n = lines.fill(piece.data(), room);
    if (n == 0) break;
    EXPECT_EQ(piece[n - 1], '\n') << "a fill ends on a whole line";
    text.append(piece, 0, n);
  }
  EXPECT_TRUE(lines.done());
  return text;
}

struct Shape {
  const char* layout;
  Real4Exp edit;
  std::size_t ids;       // identifiers per line; 0 for values alone
  std::size_t per_line;  // values per line
};
constexpr Shape shapes[] = {
    {"(1P,6E15.5)", Real4Exp::e15_5, 0, 6},     {"(1P,8E12.4)", Real4Exp::e12_4, 0, 8},
    {"(1P,18E12.4)", Real4Exp::e12_4, 0, 18},   {"(1P,8E10.3)", Real4Exp::e10_3, 0, 8},
    {"(I8,1P,4E15.5)", Real4Exp::e15_5, 1, 4},  {"(2I8,1P,4E15.5)", Real4Exp::e15_5, 2, 4},
    {"(I8,1P,E15.5)", Real4Exp::e15_5, 1, 1},
};

// The engine's text of one write: the values alone, or row by row with the
// row's identifiers ahead of its values.
std::string engine_text(const Shape& s, std::span<const float> v, std::span<const std::int32_t> id1,
                        std::span<const std::int32_t> id2) {
  std::vector<qx::OutItem> items;
  if (s.ids == 0) {
    items.push_back(qx::out(v));
  } else {
    for (std::size_t r = 0; r < id1.size(); ++r) {
      items.push_back(qx::out(id1[r]));
      if (s.ids == 2) items.push_back(qx::out(id2[r]));
      items.push_back(qx::out(v.subspan(r * s.per_line, s.per_line)));
    }
  }
  std::string text;
  EXPECT_EQ(qx::write_layout(qx::Layout(s.layout), items, text), 0);
  return text;
}

Real4Lines lines_of(const Shape& s, std::span<const float> v, std::span<const std::int32_t> id1,
                    std::span<const std::int32_t> id2) {
  if (s.ids == 0) return Real4Lines(s.edit, s.per_line, v);
  return Real4Lines(s.edit, s.per_line, v, id1, s.ids == 2 ? id2 : id2.first(0));
}

TEST(Real4Lines, TheEnginesTextForEveryShapeCountAndPieceSize) {
  const std::vector<float> values = sample_values(6000, 7);
  const std::vector<std::int32_t> id1 = sample_ids(1500), id2 = sample_ids(1500);
  for (const Shape& s : shapes) {
    // No values, partial and full last lines, and a long write.
    for (std::size_t rows : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{11},
                             std::size_t{1500}}) {
      const std::size_t n = s.ids == 0 ? rows * 5 + rows % 2 : rows * s.per_line;
      const std::span<const float> v(values.data(), n);
      const std::span<const std::int32_t> a(id1.data(), s.ids ? rows : 0), b(id2.data(), s.ids ? rows : 0);
      const std::string expected = engine_text(s, v, a, b);
      Real4Lines probe = lines_of(s, v, a, b);
      ASSERT_TRUE(probe.valid()) << s.layout;
      EXPECT_EQ(probe.total(), expected.size()) << s.layout << ", " << n << " values";
      // Room for exactly the longest line, for a few lines, for everything.
      for (std::size_t room : {probe.max_line(), probe.max_line() * 3 + 7, expected.size() + probe.max_line()})
        EXPECT_TRUE(all_lines(lines_of(s, v, a, b), room) == expected)
            << s.layout << ", " << n << " values, room " << room;
    }
  }
  // Room short of the next line: nothing is written.
  Real4Lines lines(Real4Exp::e15_5, 6, std::span(values.data(), 6));
  char small[90];
  EXPECT_EQ(lines.fill(small, sizeof small), 0u);
  EXPECT_FALSE(lines.done());
}

// Items that do not make whole rows are refused, and nothing reaches the file.
TEST(Real4Lines, ItemsThatDoNotMakeRowsAreRefused) {
  const std::vector<float> v(10, 1.0f);
  const std::vector<std::int32_t> ids(3, 7);
  const std::span<const std::int32_t> none;
  EXPECT_FALSE(Real4Lines(Real4Exp::e15_5, 0, v).valid());
  EXPECT_FALSE(Real4Lines(Real4Exp::e15_5, 4, v, ids, none).valid());  // 10 values are not 3 rows of 4
  EXPECT_FALSE(Real4Lines(Real4Exp::e15_5, 3, std::span(v).first(9), ids, std::span(ids).first(2)).valid());
  EXPECT_TRUE(Real4Lines(Real4Exp::e15_5, 3, std::span(v).first(0), none, none).valid()) << "no rows: one empty line";
  qxtest::TempDir dir;
  qx::Channels ch;
  ASSERT_EQ(ch.open_text_write(7, dir.file("a.txt")), 0);
  ASSERT_EQ(ch.open_text_update(8, dir.file("b.txt")), 0);
  for (int unit : {7, 8})
    EXPECT_EQ(ch.write_text(unit, Real4Lines(Real4Exp::e15_5, 4, v, ids, none)), qx::iostat::bad_layout);
  EXPECT_EQ(ch.write_text(9, Real4Lines(Real4Exp::e15_5, 6, v)), qx::iostat::write_failed) << "no such channel";
  ch.close_all();
  EXPECT_EQ(qxtest::read_file(dir.file("a.txt")), "");
  EXPECT_EQ(qxtest::read_file(dir.file("b.txt")), "");
}

// Through a text file and through a file read and written on one position:
// lines of several times the writer's buffer, between lines of the engine,
// in the order written.
TEST(Real4Lines, ChannelsWriteTheLinesInOrderWithOtherText) {
  const std::vector<float> values = sample_values(250'001, 11);  // 3.9 MB of text, a partial last line
  const std::vector<std::int32_t> ids = sample_ids(1000);
  const qx::Layout head("(A)");
  std::string expected;
  qx::write_layout(head, {qx::out_text("first")}, expected);
  expected += engine_text(shapes[0], values, {}, {});
  qx::write_layout(head, {qx::out_text("between")}, expected);
  expected += engine_text(shapes[5], std::span(values).first(4000), ids, ids);
  qx::write_layout(head, {qx::out_text("last")}, expected);

  qxtest::TempDir dir;
  for (bool update : {false, true}) {
    const std::string path = dir.file(update ? "update.txt" : "text.txt");
    qxtest::write_file(path, "old contents that are longer than nothing\n");
    qx::Channels ch;
    ASSERT_EQ(update ? ch.open_text_update(7, path) : ch.open_text_write(7, path), 0);
    EXPECT_EQ(ch.write_text(7, head, {qx::out_text("first")}), 0);
    EXPECT_EQ(ch.write_text(7, Real4Lines(Real4Exp::e15_5, 6, values)), 0);
    EXPECT_EQ(ch.write_text(7, head, {qx::out_text("between")}), 0);
    EXPECT_EQ(ch.write_text(7, Real4Lines(Real4Exp::e15_5, 4, std::span(values).first(4000), ids, ids)), 0);
    EXPECT_EQ(ch.write_text(7, head, {qx::out_text("last")}), 0);
    EXPECT_EQ(ch.close(7), 0);
    EXPECT_TRUE(qxtest::read_file(path) == expected) << (update ? "update" : "text") << " file";
  }
}

// A disk that fills up in the middle of writes of lines: the formatter
// fails the same writes as the engine (the same calls, with 38, and every
// later one and the close), and the file holds the same beginning of the
// text. Short and long writes, the disk full in the first chunk, between
// chunks, in the last one and in the rest that waits in the buffer.
TEST(Real4Lines, AFullDiskFailsTheSameWritesAsThroughTheEngine) {
  const std::vector<float> values = sample_values(200'000, 13);
  const qx::Layout head("(A)"), six("(1P,6E15.5)");
  const std::size_t sizes[] = {3, 100'000, 200'000, 7, 30'000};  // values of the writes, one after the other
  std::size_t text_bytes = 6;
  for (std::size_t n : sizes) text_bytes += qx::real4_exp_lines_size(Real4Exp::e15_5, 6, n);
  qxtest::TempDir dir;
  const std::string path = dir.file("t.txt");
  for (std::size_t budget : {std::size_t{3}, std::size_t{1000}, std::size_t{300'000}, std::size_t{1} << 20,
                             (std::size_t{5} << 19) + 11, text_bytes - 400'000, text_bytes - 100, text_bytes - 1}) {
    std::vector<int> statuses[2];
    std::string contents[2];
    for (int engine : {0, 1}) {
      qxtest::write_file(path, "");
      qx::Channels ch;
      ASSERT_EQ(ch.open_text_write(7, path), 0);
      qxtest::WriteBudget disk(path, budget);
      statuses[engine].push_back(ch.write_text(7, head, {qx::out_text("first")}));
      for (std::size_t n : sizes) {
        const std::span<const float> v = std::span(values).first(n);
        statuses[engine].push_back(engine ? ch.write_text(7, six, {qx::out(v)})
                                          : ch.write_text(7, Real4Lines(Real4Exp::e15_5, 6, v)));
      }
      statuses[engine].push_back(ch.close(7));
      contents[engine] = qxtest::read_file(path);
    }
    EXPECT_EQ(statuses[0], statuses[1]) << "budget " << budget;
    EXPECT_EQ(statuses[0].back(), qx::iostat::write_failed) << "budget " << budget;
    EXPECT_TRUE(contents[0].size() <= budget && contents[0] == contents[1]) << "budget " << budget;
  }
}

// gfortran reads the lines through the same layouts and writes what it read
// through them again: the same text, line for line (six significant digits
// read into a real4 round back to themselves).
TEST(Real4Lines, GfortranReadsTheLinesBack) {
  qxtest::TempDir dir;
  const std::vector<float> values = sample_values(4003, 17);
  std::vector<float> finite;
  for (float f : values)  // 3.403E+38 would read as an overflow
    if (std::abs(f) < 3.4e38f) finite.push_back(f);
  finite.resize(1201);  // 200 lines of six and one of one
  const std::vector<std::int32_t> ids = sample_ids(300);
  std::vector<std::int32_t> id1(ids.begin(), ids.end()), id2(ids.rbegin(), ids.rend());
  for (auto& i : id1) i = i % 10'000'000;  // within I8, so that gfortran reads them
  for (auto& i : id2) i = i % 10'000'000;
  {
    qx::Channels ch;
    ASSERT_EQ(ch.open_text_write(7, dir.file("six.txt")), 0);
    ASSERT_EQ(ch.write_text(7, Real4Lines(Real4Exp::e15_5, 6, finite)), 0);
    ASSERT_EQ(ch.open_text_write(8, dir.file("rows.txt")), 0);
    ASSERT_EQ(ch.write_text(8, Real4Lines(Real4Exp::e15_5, 4, std::span(finite).first(1200), id1, id2)), 0);
    ASSERT_EQ(ch.open_text_write(9, dir.file("dens.txt")), 0);
    ASSERT_EQ(ch.write_text(9, Real4Lines(Real4Exp::e10_3, 8, std::span(finite).first(1195))), 0);
    ch.close_all();
  }
  const std::string source = R"(program reread
  implicit none
  real(4) :: v(1201)
  integer(4) :: i1(300), i2(300), i
  open(1, file='six.txt', status='old')
  read(1, '(1P,6E15.5)') v
  close(1)
  open(2, file='out.txt', status='replace')
  write(2, '(1P,6E15.5)') v
  open(1, file='rows.txt', status='old')
  do i = 1, 300
    read(1, '(2I8,1P,4E15.5)') i1(i), i2(i), v(4*i-3:4*i)
  end do
  close(1)
  write(2, '(2I8,1P,4E15.5)') (i1(i), i2(i), v(4*i-3:4*i), i = 1, 300)
  open(1, file='dens.txt', status='old')
  read(1, '(1P,8E10.3)') v(1:1195)
  close(1)
  write(2, '(1P,8E10.3)') v(1:1195)
  close(2)
end program
)";
  std::string out;
  ASSERT_TRUE(qxtest::run_fortran(dir, source, out)) << out;
  EXPECT_TRUE(out == qxtest::read_file(dir.file("six.txt")) + qxtest::read_file(dir.file("rows.txt")) +
                         qxtest::read_file(dir.file("dens.txt")));
}

}  // namespace
