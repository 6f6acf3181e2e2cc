// Deterministic pseudo-random numbers for the case generator.
//
// The generator must write the same bytes for the same seed on every build
// and library version, so it maps raw 64-bit words to values itself instead of
// using the standard distributions, whose output is left to the library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qxgen {

// One step of splitmix64: turns any 64-bit state into well-mixed words.
inline std::uint64_t splitmix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A seed for an independent stream, named by the case seed and two tags
// (file, block index, section, ...). Blocks keep their values whatever else
// is left out of a case.
inline std::uint64_t derive_seed(std::uint64_t seed, std::uint64_t tag1, std::uint64_t tag2 = 0) {
  std::uint64_t s = seed ^ (tag1 * 0xD1B54A32D192ED03ull);
  splitmix64(s);
  s ^= tag2 * 0x8CB92BA72F3D8DD7ull;
  return splitmix64(s);
}

// xoshiro256** seeded through splitmix64.
class Random {
 public:
  explicit Random(std::uint64_t seed) {
    for (auto& w : s_) w = splitmix64(seed);
  }

  std::uint64_t next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }

  // Uniform in [0, n) by the high half of a 128-bit product (n > 0).
  std::uint64_t below(std::uint64_t n) {
    return static_cast<std::uint64_t>((static_cast<unsigned __int128>(next()) * n) >> 64);
  }
  // Uniform in [lo, hi].
  std::int64_t between(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(hi - lo) + 1));
  }
  // Uniform in [0, 1) with 53 random bits.
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  bool chance(unsigned percent) { return below(100) < percent; }

  template <class T, std::size_t N>
  const T& pick(const T (&table)[N]) {
    return table[below(N)];
  }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t s_[4];
};

}  // namespace qxgen
