// The characters and blanks of one source line, counted together in one
// pass of 64-byte blocks: the measurement's per-line counting.
#pragma once

#include <cstdint>
#include <string_view>

namespace velto::measure {

struct LineCounts {
  std::uint32_t characters = 0;  // as CountChars counts them: a lone lead byte at the end is none
  std::uint32_t blanks = 0;      // spaces and ideographic spaces that begin a character

  // The counts of two texts end to end, and of a text without a part of it.
  LineCounts& operator+=(const LineCounts& more) {
    characters += more.characters;
    blanks += more.blanks;
    return *this;
  }
  friend LineCounts operator+(LineCounts one, const LineCounts& other) { return one += other; }
  friend LineCounts operator-(const LineCounts& whole, const LineCounts& part) {
    return {whole.characters - part.characters, whole.blanks - part.blanks};
  }
  friend bool operator==(const LineCounts&, const LineCounts&) = default;
};

// The blanks: the space, and the ideographic space 0x81 0x40.
inline constexpr unsigned char kSpace = 0x20;
inline constexpr unsigned char kIdeographicFirst = 0x81;
inline constexpr unsigned char kIdeographicSecond = 0x40;

// line holds no NUL byte (the reader ends a line before one).
LineCounts CountCharactersAndBlanks(std::string_view line);

}  // namespace velto::measure
