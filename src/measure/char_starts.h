// Character boundaries of code page 932 text, 64 bytes at a time.
//
// Reading characters one by one makes every step wait for the byte before
// it. Here the lead bytes of a 64-byte block are found all at once, one bit
// per byte, and the character starts follow from them with a few word
// operations: a byte that is not a lead byte always ends a character, so
// every run of lead bytes begins a character and its bytes alternate
// between starting and ending one. Counting and locating characters are
// then bit counts on a mask.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "velto/measure.hpp"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELTO_CHAR_STARTS_SSE2 1
#include <emmintrin.h>
#endif

namespace velto::measure::char_starts {

inline constexpr std::size_t kBlockBytes = 64;

namespace detail {

inline constexpr std::uint64_t kEachByte = 0x0101010101010101u;
inline constexpr std::uint64_t kEvenBits = 0x5555555555555555u;

// The two lead-byte ranges, without their common top bit.
inline constexpr unsigned kFirstLow7 = sjis::kFirstLeadLow & 0x7Fu;
inline constexpr unsigned kFirstHigh7 = sjis::kFirstLeadHigh & 0x7Fu;
inline constexpr unsigned kSecondLow7 = sjis::kSecondLeadLow & 0x7Fu;
inline constexpr unsigned kSecondHigh7 = sjis::kSecondLeadHigh & 0x7Fu;
static_assert((sjis::kFirstLeadLow & 0x80u) != 0 && (sjis::kSecondLeadLow & 0x80u) != 0);

constexpr std::array<std::array<std::uint8_t, 8>, 256> MakeSelectInByte() {
  std::array<std::array<std::uint8_t, 8>, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned rank = 0;
    for (std::uint8_t bit = 0; bit < 8; ++bit) {
      if (((byte >> bit) & 1u) != 0) table[byte][rank++] = bit;
    }
  }
  return table;
}
// kSelectInByte[b][r]: the position of the set bit of b with r set bits below it.
inline constexpr std::array<std::array<std::uint8_t, 8>, 256> kSelectInByte = MakeSelectInByte();

constexpr std::array<std::uint8_t, 256> MakeBitsInByte() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned byte = 1; byte < 256; ++byte) {
    table[byte] = static_cast<std::uint8_t>(table[byte / 2] + (byte & 1u));
  }
  return table;
}
inline constexpr std::array<std::uint8_t, 256> kBitsInByte = MakeBitsInByte();

// Eight bytes, the first in the lowest bits, whatever the host's byte order.
inline std::uint64_t LoadEight(const char* bytes) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, bytes, sizeof word);
  } else {
    for (unsigned i = 0; i < 8; ++i) {
      word |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    }
  }
  return word;
}

// One bit per byte of word, set for the lead bytes. The low seven bits of
// each byte are tested against the two ranges by adding offsets that carry
// into bit 7 but never beyond it: low + (0x80 - first) reaches bit 7 from
// first on, low + (0x7F - last) from after last on. One multiplication then
// gathers bit 7 of every byte into the low eight bits.
inline std::uint64_t LeadBitsOfEight(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7f * kEachByte;
  constexpr std::uint64_t kHigh = 0x80 * kEachByte;
  const std::uint64_t low = word & kLow7;
  const std::uint64_t first_range =
      (low + (0x80 - kFirstLow7) * kEachByte) & ~(low + (0x7F - kFirstHigh7) * kEachByte);
  const std::uint64_t second_range =
      (low + (0x80 - kSecondLow7) * kEachByte) & ~(low + (0x7F - kSecondHigh7) * kEachByte);
  const std::uint64_t leads = word & (first_range | second_range) & kHigh;
  return ((leads >> 7) * 0x0102040810204080u) >> 56;
}

// For each byte of x, the number of its set bits.
inline std::uint64_t BitsPerByte(std::uint64_t x) {
  x -= (x >> 1) & kEvenBits;
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  return (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fu;
}

}  // namespace detail

// Bit i set when bytes[i] is a lead byte; reads exactly 64 bytes. Portable
// word-wide version.
inline std::uint64_t LeadBitsPortable(const char* bytes) {
  std::uint64_t leads = 0;
  for (unsigned i = 0; i < kBlockBytes / 8; ++i) {
    leads |= detail::LeadBitsOfEight(detail::LoadEight(bytes + 8 * i)) << (8 * i);
  }
  return leads;
}

#if defined(VELTO_CHAR_STARTS_SSE2)
// Sixteen bytes at once: 0xFF in each byte of the result whose byte of
// bytes is a lead byte. A byte is in [low, low + span] when (byte - low),
// wrapped, saturates to 0 after subtracting span.
inline __m128i LeadBytes(__m128i bytes) {
  const __m128i first_low = _mm_set1_epi8(static_cast<char>(sjis::kFirstLeadLow));
  const __m128i first_span = _mm_set1_epi8(static_cast<char>(sjis::kFirstLeadHigh - sjis::kFirstLeadLow));
  const __m128i second_low = _mm_set1_epi8(static_cast<char>(sjis::kSecondLeadLow));
  const __m128i second_span = _mm_set1_epi8(static_cast<char>(sjis::kSecondLeadHigh - sjis::kSecondLeadLow));
  const __m128i above_first = _mm_subs_epu8(_mm_sub_epi8(bytes, first_low), first_span);
  const __m128i above_second = _mm_subs_epu8(_mm_sub_epi8(bytes, second_low), second_span);
  return _mm_cmpeq_epi8(_mm_min_epu8(above_first, above_second), _mm_setzero_si128());
}
#endif

// The same, sixteen bytes per instruction where the processor has SSE2.
inline std::uint64_t LeadBits(const char* bytes) {
#if defined(VELTO_CHAR_STARTS_SSE2)
  std::uint64_t leads = 0;
  for (unsigned i = 0; i < kBlockBytes / 16; ++i) {
    __m128i block;
    std::memcpy(&block, bytes + 16 * i, sizeof block);
    leads |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(LeadBytes(block)))} << (16 * i);
  }
  return leads;
#else
  return LeadBitsPortable(bytes);
#endif
}

// Bit i set when bytes[i] equals value; reads exactly 64 bytes. Portable
// word-wide version: a byte of word ^ pattern is 0 exactly where the byte
// equals value, and adding 0x7F to its low seven bits reaches bit 7 for
// every other byte.
inline std::uint64_t EqualBitsPortable(const char* bytes, unsigned char value) {
  constexpr std::uint64_t kLow7 = 0x7f * detail::kEachByte;
  std::uint64_t equal = 0;
  for (unsigned i = 0; i < kBlockBytes / 8; ++i) {
    const std::uint64_t differ = detail::LoadEight(bytes + 8 * i) ^ (value * detail::kEachByte);
    const std::uint64_t same = ~(((differ & kLow7) + kLow7) | differ) & ~kLow7;
    equal |= (((same >> 7) * 0x0102040810204080u) >> 56) << (8 * i);
  }
  return equal;
}

// The same, sixteen bytes per instruction where the processor has SSE2.
inline std::uint64_t EqualBits(const char* bytes, unsigned char value) {
#if defined(VELTO_CHAR_STARTS_SSE2)
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
  std::uint64_t equal = 0;
  for (unsigned i = 0; i < kBlockBytes / 16; ++i) {
    __m128i block;
    std::memcpy(&block, bytes + 16 * i, sizeof block);
    equal |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)))}
             << (16 * i);
  }
  return equal;
#else
  return EqualBitsPortable(bytes, value);
#endif
}

// Bit i set for every trail byte of a block that begins at a character
// boundary, given its lead bits. In a run of lead bytes that begins at an
// even bit, the bytes after its even bits are trail bytes; in a run that
// begins at an odd bit, the bytes after its odd bits. Adding a run's odd
// starting bit carries through the run and clears it, which leaves exactly
// the runs that begin at even bits.
inline std::uint64_t TrailBits(std::uint64_t leads) {
  const std::uint64_t after_lead = leads << 1;
  const std::uint64_t odd_run_starts = leads & ~after_lead & ~detail::kEvenBits;
  const std::uint64_t even_runs = leads + odd_run_starts;
  return (detail::kEvenBits ^ (even_runs << 1)) & after_lead;
}

// The set bits of a mask by rank: how many there are, how many lie below a
// position, and where the one is that has a given number of set bits below
// it. The per-byte running counts are computed once, so each question is a
// few word operations.
class BitRanks {
 public:
  BitRanks() = default;
  explicit BitRanks(std::uint64_t x)
      : x_(x), through_(detail::BitsPerByte(x) * detail::kEachByte) {}

  std::uint64_t bits() const { return x_; }
  unsigned Count() const { return static_cast<unsigned>(through_ >> 56); }

  // The number of set bits below position (0 to 63).
  unsigned Below(unsigned position) const {
    const unsigned byte = position / 8;
    const auto partial = static_cast<unsigned>((x_ >> (8 * byte)) & ((1u << (position % 8)) - 1));
    return ThroughByteBefore(byte) + detail::kBitsInByte[partial];
  }

  // The position of the set bit with rank set bits below it; rank must be
  // less than Count().
  unsigned Select(unsigned rank) const {
    using detail::kEachByte;
    constexpr std::uint64_t kHigh = 0x80 * kEachByte;
    // Bit 7 of byte i is set when bytes 0 to i hold at most rank set bits;
    // those bytes all come before the byte that holds the wanted bit.
    const std::uint64_t at_most_rank = ((rank * kEachByte | kHigh) - through_) & kHigh;
    const auto byte = static_cast<unsigned>(((at_most_rank >> 7) * kEachByte) >> 56);
    const auto bits = static_cast<unsigned>((x_ >> (8 * byte)) & 0xff);
    return 8 * byte + detail::kSelectInByte[bits][rank - ThroughByteBefore(byte)];
  }

 private:
  // The set bits in the bytes before byte.
  unsigned ThroughByteBefore(unsigned byte) const {
    return static_cast<unsigned>(((through_ << 8) >> (8 * byte)) & 0xff);
  }

  std::uint64_t x_ = 0;
  // Byte i: the set bits in bytes 0 to i of x_ (at most 64, so no carries).
  std::uint64_t through_ = 0;
};

}  // namespace velto::measure::char_starts
