// Copies the ASCII at the front of a text: the stretch that every code page
// this library reads keeps byte for byte.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELTO_ASCII_RUN_SSE2 1
#include <emmintrin.h>
#endif

namespace velto::platform {

// Copies the ASCII bytes at the front of bytes[0, size) to out and returns
// their count. Blocks are copied whole before they are looked at, so out
// must hold size bytes; those past the count may be overwritten.
inline std::size_t CopyAsciiRun(const unsigned char* bytes, std::size_t size, char* out) {
  std::size_t i = 0;
#ifdef VELTO_ASCII_RUN_SSE2
  for (; size - i >= 16; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), block);
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
    if (high != 0) return i + static_cast<std::size_t>(std::countr_zero(high));
  }
#endif
  // Eight bytes at a time without vector code; the byte that ends the run
  // is then found one byte at a time, whatever the byte order.
  for (; size - i >= 8; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes + i, sizeof word);
    if ((word & 0x8080808080808080u) != 0) break;
    std::memcpy(out + i, &word, sizeof word);
  }
  for (; i < size && bytes[i] < 0x80; ++i) out[i] = static_cast<char>(bytes[i]);
  return i;
}

}  // namespace velto::platform
