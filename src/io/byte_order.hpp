// Byte order of binary record files and the swaps between it and the host.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace qx {

enum class ByteOrder : std::uint8_t { little, big };

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big,
              "a processor that orders the bytes of a word neither little- nor big-endian is not supported");

// The byte order of the processor the program runs on: values in a file of
// another order are swapped on the way in and out.
inline constexpr ByteOrder host_order = std::endian::native == std::endian::little ? ByteOrder::little : ByteOrder::big;

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
