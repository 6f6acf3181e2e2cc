// Fuzz target of the layout engine: the input's first line is a layout text,
// the rest feeds the items written through it and the lines read through it.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "io/layout.hpp"

namespace {

struct Lines final : qx::LineSource {
  std::string_view rest;
  int next_line(std::string_view& line) override {
    if (rest.empty()) return -1;
    std::size_t nl = rest.find('\n');
    line = rest.substr(0, nl);
    rest = nl == std::string_view::npos ? std::string_view{} : rest.substr(nl + 1);
    return 0;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t nl = input.find('\n');
  qx::Layout layout(input.substr(0, nl));
  std::string_view body = nl == std::string_view::npos ? std::string_view{} : input.substr(nl + 1);

  // Items of every type, their values taken from the body's bytes (zeros
  // where it has none; an input without a body has no bytes to copy from).
  std::int32_t ints[6] = {};
  float reals[6] = {};
  double wides[3] = {};
  std::string values(body.substr(0, sizeof ints + sizeof reals + sizeof wides));
  values.resize(sizeof ints + sizeof reals + sizeof wides, '\0');
  std::memcpy(ints, values.data(), sizeof ints);
  std::memcpy(reals, values.data() + sizeof ints, sizeof reals);
  std::memcpy(wides, values.data() + sizeof ints + sizeof reals, sizeof wides);
  char text[12] = "ABCDEFGHIJK";

  const qx::OutItem out_items[] = {qx::out_text(std::string_view(text, 4)), qx::out(std::span<const std::int32_t>(ints)),
                                   qx::out(std::span<const float>(reals)), qx::out(std::span<const double>(wides)),
                                   qx::out_text(std::string_view(text, 11))};
  for (std::size_t n = 0; n <= std::size(out_items); ++n) {
    std::string lines;
    qx::write_layout(layout, std::span(out_items, n), lines);
    std::string var;
    qx::write_internal(layout, std::span(out_items, n), var, 256);
  }

  char text_in[8];
  const qx::InItem in_items[] = {qx::in_text(text_in), qx::in(std::span<std::int32_t>(ints)),
                                 qx::in(std::span<float>(reals)), qx::in(std::span<double>(wides))};
  for (std::size_t n = 0; n <= std::size(in_items); ++n) {
    Lines src;
    src.rest = body;
    qx::read_layout(layout, std::span(in_items, n), src);
    qx::read_internal(layout, std::span(in_items, n), body.substr(0, body.find('\n')));
  }
  return 0;
}
