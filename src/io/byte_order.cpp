#include "io/byte_order.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace qx {

namespace {

// Reverses the bytes of count values of the type Word, from s to d (which
// may be the same place).
template <class Word>
void copy_swapped_plain(unsigned char* d, const unsigned char* s, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, d += sizeof(Word), s += sizeof(Word)) {
    Word v;
    std::memcpy(&v, s, sizeof v);
    if constexpr (sizeof(Word) == 4) {
      v = swap4(v);
    } else {
      v = swap8(v);
    }
    std::memcpy(d, &v, sizeof v);
  }
}

#if defined(__x86_64__)
// Big-endian output swaps every value it writes. With AVX2 one byte shuffle
// reverses eight 4-byte (four 8-byte) values at once, which keeps the swap
// far below the cost of writing the bytes.
template <class Word>
[[gnu::target("avx2")]] void copy_swapped_avx2(unsigned char* d, const unsigned char* s, std::size_t count) {
  const __m256i order = sizeof(Word) == 4
                            ? _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1, 0, 7, 6,
                                               5, 4, 11, 10, 9, 8, 15, 14, 13, 12)
                            : _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
                                               1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  constexpr std::size_t per_step = 32 / sizeof(Word);
  std::size_t i = 0;
  for (; i + per_step <= count; i += per_step, d += 32, s += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_shuffle_epi8(v, order));
  }
  copy_swapped_plain<Word>(d, s, count - i);
}

const bool has_avx2 = __builtin_cpu_supports("avx2");
#endif

template <class Word>
void copy_swapped(void* dst, const void* src, std::size_t count) {
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
#if defined(__x86_64__)
  if (has_avx2) return copy_swapped_avx2<Word>(d, s, count);
#endif
  copy_swapped_plain<Word>(d, s, count);
}

}  // namespace

void copy_swapped4(void* dst, const void* src, std::size_t count) { copy_swapped<std::uint32_t>(dst, src, count); }

void copy_swapped8(void* dst, const void* src, std::size_t count) { copy_swapped<std::uint64_t>(dst, src, count); }

void swap_words4(void* data, std::size_t count) { copy_swapped4(data, data, count); }

void swap_words8(void* data, std::size_t count) { copy_swapped8(data, data, count); }

}  // namespace qx
