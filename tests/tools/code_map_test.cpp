// The code map: what its rows state for which blocks (the first row that
// picks a block, the file selectors by what a file is, code ranges, the
// optional selector columns), the spreadsheet forms it reads (quotes, a byte
// order mark, CRLF, comments, columns in any order), abscissa rules, and
// every malformed map refused with the line at fault.
#include <gtest/gtest.h>

#include <cmath>

#include "block_meaning.hpp"
#include "code_map.hpp"

namespace {

using qxdump::BlockReport;
using qxdump::CodeMap;
using qxdump::FileInfo;
using qxdump::MapField;

FileInfo file(qxdump::FileKind kind, qxdump::Family family, qxdump::Side side) {
  FileInfo f;
  f.kind = kind;
  f.family = family;
  f.side = side;
  return f;
}
const FileInfo sv18 = file(qxdump::FileKind::converted, qxdump::Family::tp18, qxdump::Side::sv);
const FileInfo sh18 = file(qxdump::FileKind::converted, qxdump::Family::tp18, qxdump::Side::sh);
const FileInfo sv19 = file(qxdump::FileKind::converted, qxdump::Family::tp19, qxdump::Side::sv);
const FileInfo tp18 = file(qxdump::FileKind::result, qxdump::Family::tp18, qxdump::Side::either);

BlockReport block(const char* kind, qxdump::Codes nc, bool converted = true) {
  BlockReport b;
  b.kind = kind;
  b.nc = nc;
  b.converted = converted;
  b.maxima = std::string(kind) == "MAXR";
  b.data_rule = b.maxima ? 1 : 1;
  return b;
}

CodeMap parsed(const std::string& text) {
  CodeMap m;
  std::string problem;
  EXPECT_TRUE(m.parse(text, problem)) << problem;
  return m;
}

std::string name_of(const qxdump::MapRow* r) { return r ? r->name : "(none)"; }

TEST(CodeMap, TheFirstRowThatPicksABlockSaysWhatItStates) {
  const CodeMap m = parsed(
      "file,kind,nc1,field,value,name,unit\n"
      "# directions differ by variant: SV files renumber 3 to 2, SH files hold the out-of-plane one as 1\n"
      "_QX2D,*,*,nc2,1,X,\n"
      "_QX2D,*,*,nc2,2,Z,\n"
      "_QXSH,*,*,nc2,1,Y,\n"
      ".TP18,*,*,nc2,2,Y,\n"
      "*,AMPL,*,nc3,2,Z,\n"
      "*,WAVE,1,quantity,,acceleration,m/s2\n"
      "*,*,1..3,quantity,,response,\n"
      "_QX2D.TP19,*,*,quantity,,TP19 response,\n"
      "*,WAVE,*,node,nc4,,\n"
      "*,FOUR,*,element,nc5,BEAM,\n"
      "*,MAXR,101-104,node,ia1,,\n"
      "*,MAXR,103,element,ia2,,\n"
      "*,MAXR,101,component,1.2,time of peak,s\n"
      "*,MAXR,101,component,1,peak acceleration X,m/s2\n");
  const BlockReport wave = block("WAVE", {1, 1, 1, 104, 7, 0});
  EXPECT_EQ(name_of(m.quantity(sv18, wave)), "acceleration");
  EXPECT_EQ(m.quantity(sv18, wave)->unit, "m/s2");
  EXPECT_EQ(name_of(m.quantity(sv18, block("FOUR", {1, 1, 1, 0, 0, 0}))), "response") << "the narrower row comes first";
  EXPECT_EQ(name_of(m.quantity(sv18, block("FOUR", {4, 1, 1, 0, 0, 0}))), "(none)") << "nc1 4 is named by no row";
  EXPECT_EQ(name_of(m.quantity(sv19, block("FOUR", {41, 0, 0, 0, 0, 1}))), "TP19 response");
  EXPECT_EQ(name_of(m.quantity(sv18, block("MAXR", {1, 1, 0, 0, 0, 0}))), "(none)") << "the kind * names no maxima";
  EXPECT_EQ(name_of(m.direction(sv18, block("MAXR", {101, 1, 0, 0, 0, 0}), MapField::nc2, 1)), "(none)");
  EXPECT_EQ(name_of(m.quantity(sv18, block("FOUR", {41, 0, 0, 0, 0, 1}))), "(none)") << "a TP18 file";

  // Files are picked by what they are, not by their names.
  EXPECT_EQ(name_of(m.direction(sv18, wave, MapField::nc2, 1)), "X");
  EXPECT_EQ(name_of(m.direction(sh18, wave, MapField::nc2, 1)), "Y");
  EXPECT_EQ(name_of(m.direction(tp18, wave, MapField::nc2, 1)), "(none)");
  EXPECT_EQ(name_of(m.direction(tp18, wave, MapField::nc2, 2)), "Y");
  EXPECT_EQ(name_of(m.direction(sv19, wave, MapField::nc2, 2)), "Z");
  EXPECT_EQ(name_of(m.direction(sv18, wave, MapField::nc3, 2)), "(none)") << "nc3 rows name AMPL blocks only";

  // The whole meaning in words.
  qxdump::BlockMeaning words = qxdump::block_meaning(m, sv18, wave, 1);
  EXPECT_EQ(words.words(), "acceleration X at node 104");
  EXPECT_EQ(qxdump::value_title(words, 0), "acceleration X at node 104 [m/s2]");
  const BlockReport ampl = block("AMPL", {2, 1, 2, 104, 9, 0});
  EXPECT_EQ(qxdump::block_meaning(m, sv18, ampl, 2).words(), "response X/Z");
  const qxdump::BlockMeaning four = qxdump::block_meaning(m, sv18, block("FOUR", {3, 2, 2, 104, 9, 0}), 2);
  EXPECT_EQ(four.words(), "response Z at element 9 (BEAM)");
  EXPECT_EQ(qxdump::value_title(four, 1), "response Z at element 9 (BEAM) value2") << "records the map does not name";
  EXPECT_EQ(qxdump::block_meaning(m, sv18, block("WAVE", {50, 9, 9, 8, 0, 0}), 1).words(), "node 8");
  EXPECT_FALSE(qxdump::block_meaning(m, sv18, block("SPEC", {50, 9, 9, 8, 0, 0}), 2).named());

  // Maxima: identifiers and components, a pair's value by its own row or by
  // the component's.
  const BlockReport maxr = block("MAXR", {103, 1, 0, 0, 0, 0});
  EXPECT_EQ(m.place(sv18, maxr, qxdump::PlaceSlot::ia1)->field, MapField::node);
  EXPECT_EQ(m.place(sv18, maxr, qxdump::PlaceSlot::ia2)->field, MapField::element);
  EXPECT_EQ(m.place(sv18, block("MAXR", {105, 1, 0, 0, 0, 0}), qxdump::PlaceSlot::ia1), nullptr);
  qxdump::MaximaTable t;
  t.components = 2;
  t.pairs = true;
  t.component_numbers = {1, 3};
  const qxdump::MaximaMeaning mm = qxdump::maxima_meaning(m, sv18, block("MAXR", {101, 1, 0, 0, 0, 0}), t);
  EXPECT_EQ(mm.names, (std::vector<std::string>{"peak acceleration X (1)", "time of peak", "", ""}));
  EXPECT_EQ(mm.title(0, "c1_1"), "peak acceleration X (1) [m/s2]");
  EXPECT_EQ(mm.title(1, "c1_2"), "time of peak [s]");
  EXPECT_EQ(mm.title(2, "c3_1"), "c3_1");
}

TEST(CodeMap, ReadsWhatSpreadsheetsWrite) {
  // A byte order mark, CRLF, a header in capitals and another order, a
  // comment column, quoted cells with commas and quotes, blank rows of
  // commas, an added selector column.
  const CodeMap m = parsed(
      "\xEF\xBB\xBF"
      "Name,Unit,File,Kind,NC1,Field,Value,Comment,nc6\r\n"
      ",,,,,,,,\r\n"
      "\"velocity, relative\",m/s,*,WAVE,2,quantity,,\"what the \"\"solver\"\" calls V\",*\r\n"
      "  acceleration X1 , m/s2 , _QX2D.TP19 , WAVE , 41 , quantity , , , 1 \r\n");
  ASSERT_EQ(m.rows().size(), 2u);
  EXPECT_EQ(m.rows()[0].name, "velocity, relative");
  EXPECT_EQ(m.rows()[0].line, 3);
  EXPECT_EQ(name_of(m.quantity(sv19, block("WAVE", {41, 0, 0, 5, 6, 1}))), "acceleration X1");
  EXPECT_EQ(name_of(m.quantity(sv19, block("WAVE", {41, 0, 0, 5, 6, 2}))), "(none)") << "nc6 selects";
}

TEST(CodeMap, AbscissaRulesGiveTheirValues) {
  const CodeMap m = parsed(
      "file,kind,nc1,field,value,name,unit\n"
      "*,SPEC,1,abscissa,step 0.02 0.02,period,s\n"
      "*,SPEC,2,abscissa,log 0.01 10,period,s\n"
      "*,SPEC,3,abscissa,0.1 0.2;0.5  1,period,s\n"
      "*,WAVE,*,abscissa,,time,s\n");
  const BlockReport spec = block("SPEC", {1, 1, 1, 0, 0, 0});
  double v = 0;
  const qxdump::MapRow* step = m.abscissa(sv18, spec, false);
  ASSERT_NE(step, nullptr);
  ASSERT_TRUE(step->rule.value(2, 68, v));
  EXPECT_DOUBLE_EQ(v, 0.06);
  EXPECT_EQ(m.abscissa(sv18, spec, true), nullptr) << "a block with its own abscissa takes no values from the map";
  const qxdump::MapRow* log = m.abscissa(sv18, block("SPEC", {2, 1, 1, 0, 0, 0}), false);
  ASSERT_TRUE(log->rule.value(0, 4, v));
  EXPECT_EQ(v, 0.01);
  ASSERT_TRUE(log->rule.value(3, 4, v));
  EXPECT_EQ(v, 10.0) << "the last value is the one the map writes";
  ASSERT_TRUE(log->rule.value(1, 4, v));
  EXPECT_NEAR(v, 0.1, 1e-15);
  const qxdump::MapRow* list = m.abscissa(sv18, block("SPEC", {3, 1, 1, 0, 0, 0}), false);
  EXPECT_EQ(list->rule.list, (std::vector<double>{0.1, 0.2, 0.5, 1}));
  EXPECT_FALSE(list->rule.value(4, 5, v)) << "a list gives no value past its end";
  EXPECT_EQ(name_of(m.abscissa(sv18, block("WAVE", {1, 1, 1, 0, 0, 0}), true)), "time");
}

TEST(CodeMap, RefusesAMalformedMapWithItsLine) {
  const std::string head = "file,kind,nc1,field,value,name,unit\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "the map is empty: it needs a header row (file,kind,nc1,field,value,name,unit)"},
      {"# only a comment\n", "line 1: the map is empty: it needs a header row (file,kind,nc1,field,value,name,unit)"},
      {"file;kind;nc1;field;value;name;unit\n", "line 1: the header is not separated by commas (a spreadsheet set to semicolons?)"},
      {"file,kind,nc1,field,value,name\n", "line 1: the header has no column 'unit'"},
      {"file,kind,nc1,field,value,name,unit,quantity\n", "line 1: 'quantity' is no column of a code map (file, kind, nc1, field, value, name, unit; nc2 to nc6 and comment may be added)"},
      {"file,kind,nc1,field,value,name,unit,Kind\n", "line 1: the column 'Kind' is named twice"},
      {head + "*,WAVE,1,quantity,,acceleration\n", "line 2: 6 cells where the header names 7"},
      {head + "\n# x\n*,WAVE,1,quantity,,\"acc,m/s2\n", "line 4: a quoted cell does not end on its line"},
      {head + "*,WAVE,1,quantity,,\"acc\"x,m/s2\n", "line 2: text after the closing quote of cell 6"},
      {head + "QX2D,WAVE,1,quantity,,acceleration,m/s2\n", "line 2: the file 'QX2D' is none of *, .TP18, .TP19, _QX2D, _QXSH, _QX2D.TP18, _QXSH.TP18, _QX2D.TP19, _QXSH.TP19"},
      {head + "*,WAVES,1,quantity,,acceleration,m/s2\n", "line 2: the kind is a kind word of up to 4 characters (WAVE, FOUR, AMPL, SPEC, MAXR) or *"},
      {head + "*,,1,quantity,,acceleration,m/s2\n", "line 2: the kind is a kind word of up to 4 characters (WAVE, FOUR, AMPL, SPEC, MAXR) or *"},
      {head + "*,WAVE,,quantity,,acceleration,m/s2\n", "line 2: the selector nc1 '' is none of * (any), a code (104) or a range (101..112)"},
      {head + "*,WAVE,3..1,quantity,,acceleration,m/s2\n", "line 2: the selector nc1 '3..1' is none of * (any), a code (104) or a range (101..112)"},
      {head + "*,WAVE,1,unit,,acceleration,m/s2\n", "line 2: the field 'unit' is none of quantity, nc2, nc3, node, element, abscissa, record, component"},
      {head + "*,WAVE,1,quantity,,,m/s2\n", "line 2: the field quantity needs a name"},
      {head + "*,WAVE,1,quantity,1,acceleration,m/s2\n", "line 2: a quantity row has no value: its selectors say which blocks it names"},
      {head + "*,*,*,nc2,X,X,\n", "line 2: the value of an nc2 or nc3 row is the code it names, not 'X'"},
      {head + "*,*,*,nc2,1,X,m\n", "line 2: the field nc2 takes no unit"},
      {head + "*,WAVE,*,node,nc7,,\n", "line 2: the value of a node or element row is nc4, nc5, nc6, ia1 or ia2, not 'nc7'"},
      {head + "*,WAVE,*,node,ia1,,\n", "line 2: ia1 and ia2 are the identifiers of maxima items: the kind is MAXR"},
      {head + "*,MAXR,*,node,nc4,,\n", "line 2: a maxima block (MAXR) holds its node or element numbers in ia1 or ia2"},
      {head + "*,WAVE,*,node,nc4,SOLID,\n", "line 2: the field node takes no name (an element row may name its element kind)"},
      {head + "*,WAVE,*,element,nc4,BRICK,\n", "line 2: 'BRICK' is no element kind of a model section (SOLID, BEAM, SPRING, ROTATE, WATER, WATERB, SHELL, RIGID, JOINT, VOID)"},
      {head + "*,SPEC,*,abscissa,step 0.02,period,s\n", "line 2: 'step' takes the first value and the step: step FIRST STEP"},
      {head + "*,SPEC,*,abscissa,log 0 5,period,s\n", "line 2: 'log' needs two different positive values"},
      {head + "*,SPEC,*,abscissa,0.1 0.2 x,period,s\n", "line 2: the abscissa 'x' is not a number (a list of numbers, step FIRST STEP or log FIRST LAST)"},
      {head + "*,SPEC,*,abscissa,0.1 nan,period,s\n", "line 2: the abscissa 'nan' is not a number (a list of numbers, step FIRST STEP or log FIRST LAST)"},
      {head + "*,MAXR,*,abscissa,,time,s\n", "line 2: a maxima block has no abscissa"},
      {head + "*,SPEC,*,record,0,Sa,\n", "line 2: the value of a record row is the record's number, 1 for the first"},
      {head + "*,WAVE,*,component,1,x,\n", "line 2: components are those of maxima blocks: the kind is MAXR"},
      {head + "*,MAXR,*,component,1.3,x,\n", "line 2: the value of a component row is its number d, or d.1 or d.2 for one value of its pair"},
      {head + "*,WAVE,1,quantity,,acc\tel,m/s2\n", "line 2: a cell holds a control character"},
      // Rows that could never apply.
      {head + "*,WAVE,*,quantity,,any,\n*,WAVE,1,quantity,,acceleration,m/s2\n",
       "line 3: this row never applies: line 2 states the same for every block it picks (put the narrower row first)"},
      {head + "_QX2D,*,*,nc2,1,X,\n_QX2D.TP18,WAVE,*,nc2,1,X1,\n",
       "line 3: this row never applies: line 2 states the same for every block it picks (put the narrower row first)"},
      {head + "*,WAVE,*,node,nc4,,\n*,WAVE,1..3,element,nc5,,\n",
       "line 3: this row never applies: line 2 states the same for every block it picks (put the narrower row first)"},
  };
  for (const auto& [text, problem] : cases) {
    CodeMap m;
    std::string why;
    EXPECT_FALSE(m.parse(text, why)) << text;
    EXPECT_EQ(why, problem) << text;
    EXPECT_TRUE(m.rows().empty());
  }
  // Rows that overlap without hiding each other stand: each names blocks
  // the other does not.
  CodeMap m;
  std::string why;
  EXPECT_TRUE(m.parse(head + "*,WAVE,*,quantity,,any,\n*,*,1,quantity,,acceleration,m/s2\n*,MAXR,1,quantity,,maxima,\n"
                             "*,MAXR,*,node,ia1,,\n*,MAXR,*,element,ia2,,\n*,SPEC,*,abscissa,,period,s\n"
                             "*,SPEC,*,abscissa,step 1 1,period,s\n",
                      why))
      << why;
}

}  // namespace
