// A curve reduced for display: the min/max envelope of a fixed number of
// buckets over its samples. A plot of a few thousand points then shows every
// excursion of a history of millions, and the samples that matter are kept
// exactly: the first, the last and the peak (the largest magnitude).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "file_reader.hpp"

namespace qxdump {

struct CurveEnvelope {
  std::uint64_t count = 0;            // samples of the curve
  bool whole = false;                 // every sample is kept
  std::vector<std::uint32_t> index;   // the samples kept, ascending
  std::vector<float> value;           // and their values, exactly
  // The first sample of the largest magnitude (infinities included); none
  // when every sample is NaN.
  bool has_peak = false;
  std::uint64_t peak_index = 0;
  float peak_value = 0.0f;
};

// Curves of up to this many samples per bucket are kept whole: an envelope
// would not be smaller.
inline constexpr std::size_t samples_kept_whole_per_bucket = 2;

// Reduces the real4 samples to `buckets` buckets of equal width (in samples):
// each bucket gives its smallest and its largest sample in the order in which
// they stand, NaN samples aside (a bucket of NaN alone gives its first sample,
// so that the gap shows); the first and the last sample and the peak are
// always kept. A curve of at most 2 · buckets samples is kept whole.
CurveEnvelope reduce_curve(Words samples, std::size_t buckets);

}  // namespace qxdump
