// A literal, deliberately slow wrapping of one source line, step by step as
// the line-break rules are stated: a copy of the line in a zeroed 5120-byte
// buffer, the candidate break found by copying LineLength characters into a
// zeroed buffer, set membership by searching the set's string for the one
// character under test, and every character of the rest recounted for every
// display line. The engine in measure/line_wrap.h must agree with it on
// every line; tests, benchmarks and fuzzing compare the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/char_ops.h"

namespace velto::testing {

namespace wrap_reference_detail {

inline constexpr std::size_t kReadBufferLimit = 5120;

// Whether the character at position is a member of set. The end of the line
// and a lone lead byte copy as no character and are members of no set.
inline bool InSet(const char* set, const char* position) {
  char character[3] = {};
  CopyChars(character, position, 1);
  return FindFirstOf(set, character) != nullptr;
}

}  // namespace wrap_reference_detail

// The number of display lines of line (NUL-terminated; bytes after the
// first 5119 do not fit the line buffer and are cut off). When starts is
// given, it receives the byte offset at which each display line begins.
inline std::int32_t ReferenceCountDisplayLines(const char* line, std::uint32_t line_length,
                                               std::uint32_t backoff_limit, const char* no_top,
                                               const char* hang, const char* no_end,
                                               std::vector<std::size_t>* starts = nullptr) {
  using wrap_reference_detail::InSet;
  using wrap_reference_detail::kReadBufferLimit;

  char buffer[kReadBufferLimit] = {};
  std::size_t length = 0;
  for (; length + 1 < kReadBufferLimit && line[length] != '\0'; ++length) {
    buffer[length] = line[length];
  }
  if (length > 0 && buffer[length - 1] == '\n') buffer[--length] = '\0';
  // An empty line, and any line when there is no line length to wrap at,
  // is one display line.
  if (buffer[0] == '\0' || line_length == 0) {
    if (starts != nullptr) starts->push_back(0);
    return 1;
  }

  std::int32_t counter = 0;
  const char* rest = buffer;
  const auto record_start = [&] {
    if (starts != nullptr) starts->push_back(static_cast<std::size_t>(rest - buffer));
  };
  while (CountChars(rest) >= line_length) {
    record_start();
    // The rest holds at least line_length characters, so they fit the
    // buffer and CopyChars writes no NUL padding.
    char head[kReadBufferLimit] = {};
    CopyChars(head, rest, line_length);
    const char* const candidate = rest + ByteLength(head);

    const char* last = PrevChar(rest, candidate);
    for (std::uint32_t steps = 0; steps < backoff_limit && InSet(no_end, last); ++steps) {
      const char* before = PrevChar(rest, last);
      if (before == nullptr) break;
      last = before;
    }
    const char* split = NextChar(last);

    if (InSet(no_top, split)) {
      if (InSet(hang, split)) {
        const char* after = NextChar(split);
        if (!InSet(no_top, after)) split = after;
      } else {
        std::uint32_t steps = 0;
        do {
          const char* before = PrevChar(rest, split);
          if (before == nullptr) break;
          split = before;
          ++steps;
        } while (steps < backoff_limit && InSet(no_top, split));
      }
    }
    // Every display line takes at least one character: when the back-offs
    // leave nothing, the line breaks hard after line_length characters.
    if (split == rest) split = candidate;

    ++counter;
    rest = split;
  }
  if (ByteLength(rest) == 0) return counter;
  record_start();
  return counter + 1;
}

}  // namespace velto::testing
