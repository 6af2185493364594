// The pieces that reading UTF-8 and writing code page 932 share: how a
// three-byte sequence is recognised, how a form is written, and the
// conversion of the plain stretches of a line in each of its variants
// (utf8_straight.cpp).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/codepage.h"

namespace velto::platform {

// Marks a unit without a code page 932 form. 0xFFFF cannot be a form: 0xFF
// is no lead byte.
inline constexpr std::uint16_t kNoForm = 0xFFFF;

// The table of forms has an entry for every UTF-16 unit and one more, which
// is kNoForm: the vector variants read each form as four bytes, so the read
// for U+FFFF takes the entry after it.
inline constexpr std::size_t kFormEntries = 0x10001;

inline bool IsSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// Writes a code page 932 form of one or two bytes at out[count] and returns
// the count after it. Without branches, as single and two-byte characters
// mix unpredictably: both bytes are written and the count steps by the
// form's length, so a single byte's second write is overwritten by the next
// character. out must have room for two bytes.
inline std::size_t WriteForm(char* out, std::size_t count, std::uint16_t form) {
  const unsigned extra = form > 0xFF ? 1u : 0u;
  out[count] = static_cast<char>(form >> (extra * 8));
  out[count + 1] = static_cast<char>(form);
  return count + 1 + extra;
}

// The three bytes at the front of bytes as one number, the first lowest.
inline std::uint32_t LoadThree(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16;
}

// The eight bytes at the front of bytes as one number, the first lowest:
// two three-byte sequences in one load.
inline std::uint64_t LoadEight(const unsigned char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Kana and kanji take three bytes: a well-formed three-byte sequence is one
// whose continuation bytes are marked as such and whose code point is
// neither overlong nor a surrogate. Takes the three bytes as one number,
// the first lowest, and ignores any bits above them; returns the code point,
// or 0 when they are no such sequence (U+0000 never takes three). Every
// test is taken, without a branch between them: in Japanese text they all
// pass. The vector variants make the same tests lane by lane.
inline char16_t ThreeByteCodePoint(std::uint32_t bytes) {
  const std::uint32_t code_point = (bytes & 0x0Fu) << 12 | (bytes >> 2 & 0xFC0u) | (bytes >> 16 & 0x3Fu);
  const bool marked = (bytes & 0xC0C0F0u) == 0x8080E0u;
  const bool scalar = (code_point >= 0x800u) & !IsSurrogate(code_point);
  return (marked & scalar) ? static_cast<char16_t>(code_point) : u'\0';
}

// ConvertPlainUtf8 on the given variant, with forms[unit] the code page 932
// form of each unit (kFormEntries of them).
std::size_t ConvertStraight(std::string_view text, char* out, std::size_t* consumed, const std::uint16_t* forms,
                            Utf8Variant variant);

}  // namespace velto::platform
