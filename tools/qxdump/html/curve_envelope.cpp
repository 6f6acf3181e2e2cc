#include "curve_envelope.hpp"

#include <algorithm>
#include <cmath>

namespace qxdump {

namespace {

// The first sample of the largest magnitude, NaN aside.
void find_peak(Words samples, CurveEnvelope& e) {
  float largest = -1.0f;
  for (std::size_t k = 0; k < samples.size(); ++k) {
    const float v = real4_at(samples, k);
    if (!std::isnan(v) && std::fabs(v) > largest) {
      largest = std::fabs(v);
      e.has_peak = true;
      e.peak_index = k;
      e.peak_value = v;
    }
  }
}

void keep(CurveEnvelope& e, Words samples, std::size_t k) {
  if (!e.index.empty() && e.index.back() >= k) return;
  e.index.push_back(static_cast<std::uint32_t>(k));
  e.value.push_back(real4_at(samples, k));
}

}  // namespace

CurveEnvelope reduce_curve(Words samples, std::size_t buckets) {
  CurveEnvelope e;
  const std::size_t n = samples.size();
  e.count = n;
  find_peak(samples, e);
  buckets = std::max<std::size_t>(buckets, 1);
  e.whole = n <= samples_kept_whole_per_bucket * buckets;
  if (e.whole) {
    e.index.reserve(n);
    e.value.reserve(n);
    for (std::size_t k = 0; k < n; ++k) keep(e, samples, k);
    return e;
  }
  e.index.reserve(2 * buckets + 3);
  e.value.reserve(2 * buckets + 3);
  keep(e, samples, 0);
  for (std::size_t b = 0; b < buckets; ++b) {
    // Bucket b covers [b·n/B, (b+1)·n/B): every sample lies in one bucket,
    // and no bucket is empty since n > B.
    const std::size_t lo = b * n / buckets, hi = (b + 1) * n / buckets;
    std::size_t low = hi, high = hi;
    for (std::size_t k = lo; k < hi; ++k) {
      const float v = real4_at(samples, k);
      if (std::isnan(v)) continue;
      if (low == hi || v < real4_at(samples, low)) low = k;
      if (high == hi || v > real4_at(samples, high)) high = k;
    }
    if (low == hi) {
      keep(e, samples, lo);
      continue;
    }
    // The peak stands in its bucket as the bucket's smallest or largest
    // value; where several samples share that value it is the first of them,
    // as in find_peak, but it is kept in its own right all the same.
    std::size_t marks[3] = {low, high, hi};
    if (e.has_peak && e.peak_index >= lo && e.peak_index < hi) marks[2] = e.peak_index;
    std::sort(std::begin(marks), std::end(marks));
    for (std::size_t k : marks)
      if (k < hi) keep(e, samples, k);
  }
  keep(e, samples, n - 1);
  return e;
}

}  // namespace qxdump
