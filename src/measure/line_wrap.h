// Wrapping of one source line into display lines under Japanese line-break
// rules (kinsoku): characters that may not begin a line, characters that may
// hang past the margin, characters that may not end a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velto::measure {

// The settings a measurement wraps by. The three sets are NUL-terminated
// code page 932 strings, read character by character.
struct LineBreakSettings {
  std::uint32_t line_length = 0;    // characters per display line; 0: no wrapping
  std::uint32_t backoff_limit = 0;  // most characters one back-off may move a break
  const char* no_top = "";          // may not begin a line (the hanging ones included)
  const char* hang = "";            // may hang past the margin
  const char* no_end = "";          // may not end a line
};

// One display line: a byte range of the source line (its line feed removed).
struct DisplayLine {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool hangs = false;  // holds one character beyond the line length
};

// The wrapping engine of one measurement. Built once from the settings (set
// membership is precomputed then), it wraps any number of source lines.
class LineWrapper {
 public:
  explicit LineWrapper(const LineBreakSettings& settings);

  // The number of display lines of one source line as the reader delivers it
  // (at most 5119 bytes, possibly ending in a line feed); at least 1.
  std::int32_t CountDisplayLines(std::string_view source_line) const;

  // Yields the display lines of one source line one after another; it yields
  // exactly CountDisplayLines(source_line) lines.
  class Walker {
   public:
    Walker(const LineWrapper& wrapper, std::string_view source_line);
    // False when every display line has been yielded.
    bool Next(DisplayLine& out);

   private:
    // (engine state)
  };

 private:
  // (precomputed settings and set membership)
};

}  // namespace velto::measure
