// Byte order of binary record files and the swaps between it and the host.
#pragma once

#include <cstdint>
#include <cstring>

namespace qx {

enum class ByteOrder : std::uint8_t { little, big };

inline constexpr ByteOrder host_order = ByteOrder::little;  // x86-64

inline std::uint32_t swap4(std::uint32_t v) { return __builtin_bswap32(v); }
inline std::uint64_t swap8(std::uint64_t v) { return __builtin_bswap64(v); }

// Reverses every 4-byte (or 8-byte) element of a buffer in place.
void swap_words4(void* data, std::size_t count);
void swap_words8(void* data, std::size_t count);

// Copies count 4-byte (or 8-byte) elements from src to dst, each reversed;
// dst is src or does not overlap it.
void copy_swapped4(void* dst, const void* src, std::size_t count);
void copy_swapped8(void* dst, const void* src, std::size_t count);

}  // namespace qx
