// Wrapping of one source line into display lines under Japanese line-break
// rules (kinsoku): characters that may not begin a line, characters that may
// hang past the margin, characters that may not end a line.
#pragma once

#include <array>
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
//
// A source line ends at its first NUL byte, if it has one; one trailing line
// feed is removed before wrapping. Each display line is found in time
// proportional to the characters it holds and to the characters the
// back-offs pass over, so a whole line wraps in linear time and nothing is
// allocated.
class LineWrapper {
  // How far the walk through one line has come: the rest (the part no display
  // line holds yet) begins at `rest`; the characters in [rest, scanned) have
  // been counted already, so a back-off never makes us count them again.
  struct Scan {
    std::size_t rest = 0;
    std::size_t scanned = 0;
    std::uint32_t counted = 0;
  };

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
    const LineWrapper* wrapper_;
    std::string_view line_;  // without its trailing line feed
    Scan scan_;
    bool done_ = false;
  };

 private:
  // Membership bits of one character.
  enum : std::uint8_t { kNoTop = 1, kHang = 2, kNoEnd = 4 };
  // Code page 932 has 60 lead bytes; each has a row of 256 trail bytes.
  static constexpr std::size_t kLeadBytes = 60;

  void AddMembers(const char* set, std::uint8_t bit);
  std::uint8_t ClassAt(std::string_view line, std::size_t position) const;
  // Places the next display line of line; false when the rest holds fewer
  // than line_length characters (it is then the final, partial line).
  bool PlaceDisplayLine(std::string_view line, Scan& scan, DisplayLine& out) const;
  // Counts characters from scan.scanned on until the rest holds line_length
  // of them; false when the line ends first.
  bool CountToCandidate(std::string_view line, Scan& scan) const;

  std::uint32_t line_length_;
  std::uint32_t backoff_limit_;
  std::array<std::uint8_t, 256> single_byte_class_{};
  std::array<std::uint8_t, kLeadBytes * 256> two_byte_class_{};
};

}  // namespace velto::measure
