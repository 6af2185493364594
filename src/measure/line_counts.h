// The characters and blanks of one source line, counted together in one
// pass of 64-byte blocks: the measurement's per-line counting.
#pragma once

#include <cstdint>
#include <string_view>

namespace velto::measure {

struct LineCounts {
  std::uint32_t characters = 0;  // as CountChars counts them: a lone lead byte at the end is none
  std::uint32_t blanks = 0;      // spaces and ideographic spaces that begin a character
};

// line holds no NUL byte (the reader ends a line before one).
LineCounts CountCharactersAndBlanks(std::string_view line);

}  // namespace velto::measure
