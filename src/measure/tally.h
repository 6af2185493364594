// The sums of one measurement, kept as its lines come: characters with and
// without line ends and blanks, display lines, and pages. A page break ends
// a section of the text; pages are counted section by section.
#pragma once

#include <cstdint>
#include <string_view>

#include "measure/line_counts.h"
#include "velto/measure.hpp"

namespace velto::measure {

// Where a display line stands: its page (1 and up) and its line on that page
// (1 and up); without paging, page 1 and its number in the whole text.
struct LinePosition {
  std::int64_t page = 1;
  std::int64_t line_on_page = 1;
};

class Tally {
 public:
  explicit Tally(std::uint32_t page_length) : page_length_(page_length) {}

  // Adds the characters of one line as it is counted (a line feed at its end
  // included; no NUL byte in it). Returns the line's character count.
  std::int64_t AddText(std::string_view line);
  // The same for a line whose characters and blanks have been counted, and
  // which ends in a line feed when line_end is set.
  std::int64_t AddCounted(LineCounts counts, bool line_end);
  void AddDisplayLines(std::int64_t count);
  // Ruby spans, with the characters of their readings, which the counts
  // leave out. Inline: a marked text may have a ruby span every few words.
  void AddRuby(std::int64_t spans, std::int64_t reading_characters) {
    sums_.ruby_spans += spans;
    sums_.ruby_characters += reading_characters;
  }
  // Ends the current page: the next display line begins a new one. A break
  // before any line of the section makes no empty page.
  void PageBreak();

  // Where the next display line will stand.
  LinePosition NextPosition() const;
  // The sums so far, the pages of the section still open included.
  Counts Sums() const;

 private:
  // Full and partial pages of a section of lines.
  std::int64_t PagesOf(std::int64_t lines) const;

  std::uint32_t page_length_;
  Counts sums_;
  std::int64_t pages_before_section_ = 0;  // pages of the sections already ended
  std::int64_t section_lines_ = 0;         // display lines of the open section
  std::int64_t last_page_lines_ = 0;       // ModCount of the last section that had lines
};

}  // namespace velto::measure
