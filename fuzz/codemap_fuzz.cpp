// Fuzz target of the code map: any text as a map. A map that is read is then
// applied to blocks of every kind in every kind of file, so that its
// lookups, abscissa rules and words run on whatever it holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "block_meaning.hpp"
#include "code_map.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qxdump::CodeMap map;
  std::string problem;
  if (!map.parse(std::string_view(reinterpret_cast<const char*>(data), size), problem)) return 0;
  using qxdump::FileKind, qxdump::Family, qxdump::Side;
  for (const auto& [kind, family, side] : {std::tuple{FileKind::result, Family::tp18, Side::either},
                                           {FileKind::converted, Family::tp18, Side::sv},
                                           {FileKind::converted, Family::tp19, Side::sh}}) {
    qxdump::FileInfo info;
    info.kind = kind;
    info.family = family;
    info.side = side;
    for (const char* word : {"WAVE", "FOUR", "SPEC", "MAXR", "INFO"}) {
      qxdump::BlockReport b;
      b.kind = word;
      b.maxima = b.kind == "MAXR";
      b.converted = kind == FileKind::converted;
      b.data_rule = 2;
      for (std::int32_t c : {1, 2, 101, 104, -7}) {
        b.nc = {c, c % 4, 2, 104, c, 1};
        b.nd = 3;
        const qxdump::BlockMeaning m = qxdump::block_meaning(map, info, b, 2);
        double v = 0;
        if (m.abscissa) m.abscissa->rule.value(67, 68, v);
        qxdump::value_title(m, 1);
        qxdump::MaximaTable t;
        qxdump::maxima_columns(info, b, t);
        qxdump::meaning_line(map, info, b);
      }
    }
  }
  return 0;
}
