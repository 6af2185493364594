// Character operations over NUL-terminated code page 932 (Shift-JIS) byte
// strings, one character at a time: the plain vocabulary in which the line
// breaking rules are stated, and in which the literal references of the
// tests (wrap_reference.h) check the library's block-wise engine.
//
// A character is either one single byte or a lead byte (0x81-0x9F,
// 0xE0-0xFC) together with the byte after it, whatever that byte is. A lead
// byte directly before the terminating NUL is no character at all: it is not
// counted, not copied and never matched, and no operation reads past the NUL
// because of it.
//
#pragma once

#include <cstdint>

#include "velto/measure.hpp"

namespace velto::testing {

namespace char_ops_detail {

constexpr unsigned char Byte(const char* p) { return static_cast<unsigned char>(*p); }

// Bytes of the character at p: 2 for a lead byte with a byte after it, 0 at
// the NUL and at a lone lead byte before it (no character there), else 1.
constexpr unsigned CharWidth(const char* p) {
  if (*p == '\0') return 0;
  if (!sjis::IsLeadByte(Byte(p))) return 1;
  return p[1] == '\0' ? 0 : 2;
}

// Whether the characters at a and b (each of the given width) are equal.
constexpr bool SameChar(const char* a, unsigned a_width, const char* b, unsigned b_width) {
  return a_width == b_width && a[0] == b[0] && (a_width == 1 || a[1] == b[1]);
}

}  // namespace char_ops_detail

using sjis::IsLeadByte;

// The number of characters before the terminating NUL; a lone lead byte just
// before the NUL is not counted.
constexpr std::uint32_t CountChars(const char* string) {
  std::uint32_t count = 0;
  for (unsigned width = 0; (width = char_ops_detail::CharWidth(string)) != 0; string += width) {
    ++count;
  }
  return count;
}

// Copies up to n characters of source to destination, two bytes for a
// two-byte character. When source holds at least n characters no NUL is
// written after them; when it ends after k < n characters, the rest of the
// n positions become NUL bytes (a lone lead byte at the end is not copied
// and turns into a NUL as well). destination must have room for the bytes
// of n characters, at most 2 * n bytes; 2 * n bytes are always enough.
constexpr char* CopyChars(char* destination, const char* source, std::uint32_t n) {
  char* out = destination;
  std::uint32_t copied = 0;
  for (; copied < n; ++copied) {
    const unsigned width = char_ops_detail::CharWidth(source);
    if (width == 0) break;
    for (unsigned i = 0; i < width; ++i) *out++ = *source++;
  }
  for (; copied < n; ++copied) *out++ = '\0';
  return destination;
}

// The position after the character at position: two bytes further at a lead
// byte that has a byte after it, else one byte further (so a lone lead byte
// steps onto the terminating NUL).
constexpr const char* NextChar(const char* position) {
  return position + (IsLeadByte(char_ops_detail::Byte(position)) && position[1] != '\0' ? 2 : 1);
}
constexpr char* NextChar(char* position) {
  return position + (NextChar(static_cast<const char*>(position)) - position);
}

// The position of the character that ends just before position, or nullptr
// when position is not after start. start must begin a character. Only the
// bytes in [start, position) are read: a byte that is not a lead byte always
// ends a character, so the parity of the run of lead bytes before
// position - 1 tells whether that byte is a trail byte.
constexpr const char* PrevChar(const char* start, const char* position) {
  if (position <= start) return nullptr;
  const char* last = position - 1;
  std::uint32_t leads = 0;
  for (const char* p = last; p > start && IsLeadByte(char_ops_detail::Byte(p - 1)); --p) ++leads;
  return leads % 2 == 1 ? last - 1 : last;
}
constexpr char* PrevChar(char* start, char* position) {
  const char* found = PrevChar(static_cast<const char*>(start), static_cast<const char*>(position));
  return found == nullptr ? nullptr : start + (found - start);
}

// The first character of string that set holds, or nullptr. Both are read as
// characters: a two-byte member matches only the same two bytes, a
// single-byte member never matches a trail byte, and a lone lead byte at the
// end of either string is no character and matches nothing.
constexpr const char* FindFirstOf(const char* string, const char* set) {
  for (unsigned width = 0; (width = char_ops_detail::CharWidth(string)) != 0; string += width) {
    unsigned member_width = 0;
    for (const char* member = set; (member_width = char_ops_detail::CharWidth(member)) != 0;
         member += member_width) {
      if (char_ops_detail::SameChar(string, width, member, member_width)) return string;
    }
  }
  return nullptr;
}
constexpr char* FindFirstOf(char* string, const char* set) {
  const char* found = FindFirstOf(static_cast<const char*>(string), set);
  return found == nullptr ? nullptr : string + (found - string);
}

// The number of bytes before the terminating NUL, a lone lead byte included.
constexpr std::uint32_t ByteLength(const char* string) {
  std::uint32_t length = 0;
  while (string[length] != '\0') ++length;
  return length;
}

}  // namespace velto::testing
