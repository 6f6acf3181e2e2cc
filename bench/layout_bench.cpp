// Throughput of the layout engine on the converter's hot paths: data arrays
// written through "(1P,6E15.5)", integers through I8, coordinates through
// F16.4, and node lines read through F16.0; beside it the dedicated real4 E
// formatter on the same values. Rates are values per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "io/layout.hpp"
#include "io/real4_exp_edit.hpp"

namespace {

// A sink that only counts, as a buffered file would take the chunks.
struct CountingSink final : qx::TextSink {
  std::size_t bytes = 0;
  int put(std::string_view text) override {
    bytes += text.size();
    return 0;
  }
};

constexpr std::size_t n_values = 1 << 20;

template <class T>
std::vector<T> random_reals() {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::vector<T> v(n_values);
  for (auto& x : v) x = static_cast<T>(mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 13) - 6));
  return v;
}

void write_values(benchmark::State& state, const qx::Layout& layout, qx::OutItem item) {
  CountingSink sink;
  for (auto _ : state) {
    if (qx::write_layout(layout, {item}, sink) != 0) state.SkipWithError("write failed");
  }
  benchmark::DoNotOptimize(sink.bytes);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * item.count));
}

void BM_write_1PE15_5_real4(benchmark::State& state) {
  static const qx::Layout layout("(1P,6E15.5)");
  const auto v = random_reals<float>();
  write_values(state, layout, qx::out(std::span<const float>(v)));
}
BENCHMARK(BM_write_1PE15_5_real4)->Unit(benchmark::kMillisecond);

void BM_write_1PE12_4_real4(benchmark::State& state) {
  static const qx::Layout layout("(1P,8E12.4)");
  const auto v = random_reals<float>();
  write_values(state, layout, qx::out(std::span<const float>(v)));
}
BENCHMARK(BM_write_1PE12_4_real4)->Unit(benchmark::kMillisecond);

// The dedicated formatter, in chunks of lines of about the size the engine
// hands on, into one buffer that stays in the cache.
void fast_lines(benchmark::State& state, qx::Real4Exp edit, std::size_t per_line) {
  const auto v = random_reals<float>();
  const std::size_t chunk = per_line * (16384 / per_line);  // whole lines
  std::vector<char> buf(qx::real4_exp_lines_size(edit, per_line, chunk));
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < v.size(); i += chunk)
      bytes += qx::put_real4_exp_lines(edit, per_line, std::span(v).subspan(i, std::min(chunk, v.size() - i)), buf.data());
    benchmark::DoNotOptimize(buf.data());
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * v.size()));
}

void BM_fast_1PE15_5_real4(benchmark::State& state) { fast_lines(state, qx::Real4Exp::e15_5, 6); }
BENCHMARK(BM_fast_1PE15_5_real4)->Unit(benchmark::kMillisecond);
void BM_fast_1PE12_4_real4(benchmark::State& state) { fast_lines(state, qx::Real4Exp::e12_4, 8); }
BENCHMARK(BM_fast_1PE12_4_real4)->Unit(benchmark::kMillisecond);
void BM_fast_1PE10_3_real4(benchmark::State& state) { fast_lines(state, qx::Real4Exp::e10_3, 8); }
BENCHMARK(BM_fast_1PE10_3_real4)->Unit(benchmark::kMillisecond);

void BM_write_1PE15_5_real8(benchmark::State& state) {
  static const qx::Layout layout("(1P,6E15.5)");
  const auto v = random_reals<double>();
  write_values(state, layout, qx::out(std::span<const double>(v)));
}
BENCHMARK(BM_write_1PE15_5_real8)->Unit(benchmark::kMillisecond);

void BM_write_I8(benchmark::State& state) {
  static const qx::Layout layout("(8X,11I8)");
  std::mt19937 rng(2);
  std::vector<std::int32_t> v(n_values);
  for (auto& x : v) x = static_cast<std::int32_t>(rng() % 2000000) - 1000000;
  write_values(state, layout, qx::out(std::span<const std::int32_t>(v)));
}
BENCHMARK(BM_write_I8)->Unit(benchmark::kMillisecond);

void BM_write_F16_4(benchmark::State& state) {
  static const qx::Layout plain("(6F16.4)");
  const auto v = random_reals<double>();
  write_values(state, plain, qx::out(std::span<const double>(v)));
}
BENCHMARK(BM_write_F16_4)->Unit(benchmark::kMillisecond);

// A source of prepared node lines "(I8,2F16.0)".
struct NodeLines final : qx::LineSource {
  std::vector<std::string> lines;
  std::size_t next = 0;
  int next_line(std::string_view& line) override {
    if (next == lines.size()) next = 0;
    line = lines[next++];
    return 0;
  }
};

void BM_read_I8_2F16_0(benchmark::State& state) {
  static const qx::Layout layout("(I8,2F16.0)");
  NodeLines src;
  std::mt19937_64 rng(3);
  char buf[64];
  for (int i = 0; i < 4096; ++i) {
    std::snprintf(buf, sizeof buf, "%8d%16.6f%16.3f", i + 1, (static_cast<double>(rng() % 2000000) - 1e6) / 7.0,
                  static_cast<double>(rng() % 100000) / 3.0);
    src.lines.emplace_back(buf);
  }
  std::int32_t n = 0;
  float x = 0, z = 0;
  for (auto _ : state) {
    if (qx::read_layout(layout, {qx::in(n), qx::in(x), qx::in(z)}, src) != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 3));
}
BENCHMARK(BM_read_I8_2F16_0);

void BM_read_F16_0(benchmark::State& state) {
  static const qx::Layout layout("(5F16.0)");
  NodeLines src;
  std::mt19937_64 rng(4);
  char buf[128];
  for (int i = 0; i < 4096; ++i) {
    std::string line;
    for (int k = 0; k < 5; ++k) {
      std::snprintf(buf, sizeof buf, "%16.7g", (static_cast<double>(rng() % 2000000) - 1e6) / 13.0);
      line += buf;
    }
    src.lines.push_back(line);
  }
  double v[5];
  for (auto _ : state) {
    if (qx::read_layout(layout, {qx::in(std::span<double>(v))}, src) != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(v[0]);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 5));
}
BENCHMARK(BM_read_F16_0);

}  // namespace

BENCHMARK_MAIN();
