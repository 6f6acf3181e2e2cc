// The envelope that a report page draws of a long curve, checked against the
// plain values: every bucket's smallest and largest sample, the peak and its
// place, the first and last samples, curves kept whole, NaN and infinities.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "curve_envelope.hpp"

namespace {

using qxdump::CurveEnvelope;
using qxdump::reduce_curve;

constexpr float inf = std::numeric_limits<float>::infinity();
const float nan = std::nanf("");

std::vector<std::uint32_t> words_of(const std::vector<float>& v) {
  std::vector<std::uint32_t> w;
  for (float f : v) w.push_back(std::bit_cast<std::uint32_t>(f));
  return w;
}

CurveEnvelope reduce(const std::vector<float>& v, std::size_t buckets) {
  const std::vector<std::uint32_t> w = words_of(v);
  return reduce_curve(qxdump::Words(w), buckets);
}

bool same(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// What the envelope must hold, worked out from the values by brute force:
// for each bucket the first sample of its smallest and of its largest value,
// and of the whole curve the first sample of the largest magnitude.
struct Expected {
  std::vector<std::size_t> low, high;  // per bucket; npos where the bucket is all NaN
  std::size_t peak = std::string::npos;
};

Expected expected(const std::vector<float>& v, std::size_t buckets) {
  Expected e;
  const std::size_t n = v.size();
  for (std::size_t b = 0; b < buckets; ++b) {
    std::size_t lo = std::string::npos, hi = std::string::npos;
    for (std::size_t k = b * n / buckets; k < (b + 1) * n / buckets; ++k) {
      if (std::isnan(v[k])) continue;
      if (lo == std::string::npos || v[k] < v[lo]) lo = k;
      if (hi == std::string::npos || v[k] > v[hi]) hi = k;
    }
    e.low.push_back(lo);
    e.high.push_back(hi);
  }
  for (std::size_t k = 0; k < n; ++k)
    if (!std::isnan(v[k]) && (e.peak == std::string::npos || std::fabs(v[k]) > std::fabs(v[e.peak]))) e.peak = k;
  return e;
}

// The envelope of `v` holds exactly the samples it must, with their values.
void check_envelope(const std::vector<float>& v, std::size_t buckets, const std::string& what) {
  const CurveEnvelope e = reduce(v, buckets);
  const Expected x = expected(v, buckets);
  ASSERT_EQ(e.count, v.size()) << what;
  ASSERT_EQ(e.index.size(), e.value.size()) << what;
  EXPECT_FALSE(e.whole) << what;
  std::map<std::size_t, float> kept;
  for (std::size_t i = 0; i < e.index.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(e.index[i - 1], e.index[i]) << what << ": kept samples in order, each once";
    }
    ASSERT_LT(e.index[i], v.size()) << what;
    EXPECT_TRUE(same(e.value[i], v[e.index[i]])) << what << ": sample " << e.index[i] << " kept with its value";
    kept[e.index[i]] = e.value[i];
  }
  std::set<std::size_t> must = {0, v.size() - 1};
  for (std::size_t b = 0; b < buckets; ++b) {
    const std::size_t first = b * v.size() / buckets;
    if (x.low[b] == std::string::npos) {
      must.insert(first);  // a bucket of NaN alone shows as a gap
      continue;
    }
    must.insert(x.low[b]);
    must.insert(x.high[b]);
    // The envelope of the bucket is its own smallest and largest value.
    float lo = inf, hi = -inf;
    for (const auto& [k, value] : kept)
      if (k >= first && k < (b + 1) * v.size() / buckets && !std::isnan(value)) lo = std::min(lo, value), hi = std::max(hi, value);
    EXPECT_TRUE(same(lo, v[x.low[b]]) && same(hi, v[x.high[b]])) << what << ": bucket " << b;
  }
  if (x.peak != std::string::npos) must.insert(x.peak);
  for (std::size_t k : must) EXPECT_TRUE(kept.count(k)) << what << ": sample " << k << " missing";
  // Nothing beyond the first, last, peak and the two samples of each bucket.
  EXPECT_EQ(kept.size(), must.size()) << what;

  ASSERT_EQ(e.has_peak, x.peak != std::string::npos) << what;
  if (e.has_peak) {
    EXPECT_EQ(e.peak_index, x.peak) << what;
    EXPECT_TRUE(same(e.peak_value, v[x.peak])) << what;
  }
}

TEST(CurveEnvelope, EveryBucketKeepsItsSmallestAndLargestSampleAndThePeakExactly) {
  std::mt19937 rng(17);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  for (std::size_t n : {2001u, 4099u, 100000u}) {
    for (std::size_t buckets : {1u, 7u, 1000u}) {
      if (n <= 2 * buckets) continue;
      std::vector<float> v(n);
      for (std::size_t k = 0; k < n; ++k) v[k] = std::sin(0.01f * static_cast<float>(k)) + 0.1f * noise(rng);
      check_envelope(v, buckets, "noise n=" + std::to_string(n) + " buckets=" + std::to_string(buckets));
    }
  }
  // A single spike, of either sign, in a flat curve: its bucket shows it, and
  // it is the peak (at its own place, not at the bucket's start).
  for (float spike : {-7.5f, 7.5f}) {
    std::vector<float> v(10000, 0.25f);
    v[6543] = spike;
    check_envelope(v, 100, "spike " + std::to_string(spike));
    const CurveEnvelope e = reduce(v, 100);
    EXPECT_EQ(e.peak_index, 6543u);
    EXPECT_EQ(e.peak_value, spike);
  }
  // Negative peak larger in magnitude than the largest positive value.
  std::vector<float> v(5000);
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = static_cast<float>(k % 97) - 40.0f;
  v[4321] = -300.0f;
  v[17] = 299.0f;
  check_envelope(v, 50, "both signs");
  EXPECT_EQ(reduce(v, 50).peak_index, 4321u);
  // Equal magnitudes of both signs: the first of them is the peak.
  v[17] = 300.0f;
  EXPECT_EQ(reduce(v, 50).peak_index, 17u);
  EXPECT_EQ(reduce(v, 50).peak_value, 300.0f);
}

TEST(CurveEnvelope, ShortCurvesAreKeptWhole) {
  for (std::size_t n : {0u, 1u, 2u, 7u, 2000u}) {
    std::vector<float> v(n);
    for (std::size_t k = 0; k < n; ++k) v[k] = static_cast<float>((k * 37) % 11) - 5.0f;
    const CurveEnvelope e = reduce(v, 1000);
    EXPECT_TRUE(e.whole) << n;
    EXPECT_EQ(e.count, n);
    ASSERT_EQ(e.index.size(), n);
    for (std::size_t k = 0; k < n; ++k) {
      EXPECT_EQ(e.index[k], k);
      EXPECT_TRUE(same(e.value[k], v[k]));
    }
    EXPECT_EQ(e.has_peak, n > 0);
  }
  // One more sample than twice the buckets: reduced.
  std::vector<float> v(2001, 1.0f);
  EXPECT_FALSE(reduce(v, 1000).whole);
  EXPECT_LE(reduce(v, 1000).index.size(), 2u * 1000 + 3);
}

TEST(CurveEnvelope, NanAndInfinitiesDoNotHideThePeak) {
  // NaN never wins a bucket or the peak; a bucket of NaN alone keeps one NaN
  // sample, so that the plot shows the gap.
  std::vector<float> v(3000);
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = std::cos(0.003f * static_cast<float>(k));
  for (std::size_t k = 600; k < 900; ++k) v[k] = nan;  // buckets 20 to 29 of 100
  v[0] = nan;
  v[1234] = -4.0f;
  check_envelope(v, 100, "NaN");
  CurveEnvelope e = reduce(v, 100);
  EXPECT_EQ(e.peak_index, 1234u);
  EXPECT_TRUE(std::isnan(e.value.front())) << "the first sample is kept as it is";
  std::size_t nans = 0;
  for (float f : e.value) nans += std::isnan(f);
  EXPECT_EQ(nans, 1u + 10u);

  // Infinities are the largest magnitudes there are.
  v[2500] = -inf;
  check_envelope(v, 100, "-inf");
  e = reduce(v, 100);
  EXPECT_EQ(e.peak_index, 2500u);
  EXPECT_EQ(e.peak_value, -inf);
  v[2000] = inf;
  e = reduce(v, 100);
  EXPECT_EQ(e.peak_index, 2000u) << "+inf comes first";
  EXPECT_EQ(e.peak_value, inf);
  check_envelope(v, 100, "both infinities");

  // Nothing but NaN: no peak, and every bucket shows its gap.
  const std::vector<float> all_nan(500, nan);
  e = reduce(all_nan, 10);
  EXPECT_FALSE(e.has_peak);
  EXPECT_EQ(e.index.size(), 11u) << "one sample per bucket and the last";
  // Short curves find their peak through NaN too.
  e = reduce({nan, 2.0f, -3.0f, nan}, 1000);
  EXPECT_TRUE(e.whole);
  EXPECT_EQ(e.peak_index, 2u);
  EXPECT_EQ(e.peak_value, -3.0f);
}

}  // namespace
