#include "measure/markup/ruby_line.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velto::measure::markup {
namespace {

unsigned char Byte(std::string_view text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

// A trigger of a line that only ruby marks up is a bar or 《 (two bytes).
bool IsBar(std::string_view line, std::size_t trigger) {
  return line[trigger] == '|' || line[trigger + 1] == kFullBar[1];
}
std::size_t BarEnd(std::string_view line, std::size_t bar) { return bar + (line[bar] == '|' ? 1 : kFullBar.size()); }

bool IsOpenAt(std::string_view line, std::size_t at) {
  return at + 1 < line.size() && line[at] == kRubyOpen[0] && line[at + 1] == kRubyOpen[1];
}

// The run of two-byte kanji that ends at end, stepped back through the
// scan's character starts, not reaching back before floor.
std::size_t KanjiRunStart(const LineMarks& marks, std::string_view line, std::size_t floor, std::size_t end) {
  std::size_t start = end;
  while (start >= floor + 2 && !marks.IsBoundary(start - 1) && IsKanjiCode(Byte(line, start - 2), Byte(line, start - 1))) {
    start -= 2;
  }
  return start;
}

// Appends the line from cut to end to the text, which is size bytes long;
// the new size.
std::size_t Keep(char* text, std::size_t size, std::string_view line, std::size_t cut, std::size_t end) {
  CopyPart(text + size, line.data() + cut, end - cut, line.size() - cut);
  return size + (end - cut);
}

// Reads a line whose triggers are all bars and 《. Every position is one of
// the source line. The base of a reading begins after the last bar since
// the last ruby (a later bar takes the place of an earlier one, which stays
// text), else at the start of the kanji run before it. What lies between
// cut and the trigger being read is text not yet copied, so a bar that no
// reading takes is never taken out.
//
// The state is in locals, and so is a copy of the scan's marks: the text
// is written through a char pointer, which could alias any object the
// compiler cannot see whole, whose members would then be read again after
// every byte written. The rules are a template argument, so that the web
// notation's checks cost the other nothing.
template <bool kEscapesAndEmphasis>
bool ReadLine(const TriggerScanner& scan, BaseText& base) {
  const LineMarks marks = scan.marks();
  const std::string_view line = scan.line();
  const std::size_t line_size = line.size();
  std::size_t close = 0;  // the 》 taken last; the line's size for none
  char* const text = base.Kept();
  std::size_t size = 0;         // of the text
  std::size_t cut = 0;          // what lies before is in the text, or taken out
  std::size_t floor = 0;        // no base reaches back before this
  std::size_t bar = kNotFound;  // the last bar since floor
  bool left_out = false;
  for (std::size_t open = marks.Next(0); open < line_size; open = marks.Next(std::max(open + 1, cut))) {
    if (IsBar(line, open)) {
      bar = open;
      continue;
    }
    const std::size_t reading = open + kRubyOpen.size();
    const bool bar_before_open = bar != kNotFound && BarEnd(line, bar) == open;
    // A bar before 《 and 《《 are the web notation's own markup.
    if (kEscapesAndEmphasis && (bar_before_open || IsOpenAt(line, reading))) return false;
    // The 》 found last serves every 《 before it (a line of unclosed
    // readings is searched once). Without a reading the 《 is text.
    if (close < reading) close = marks.NextClose(reading);
    if (close == line_size || close == reading) continue;
    if (bar_before_open) {
      // An empty base: the bar is text, and so is all before it.
      bar = kNotFound;
      floor = open;
      continue;
    }
    std::size_t base_begin = 0;
    if (bar != kNotFound) {
      size = Keep(text, size, line, cut, bar);
      cut = base_begin = BarEnd(line, bar);
      left_out = true;
      bar = kNotFound;
    } else {
      base_begin = KanjiRunStart(marks, line, floor, open);
      if (base_begin == open) continue;
    }
    size = Keep(text, size, line, cut, open);
    cut = floor = close + kRubyClose.size();
    base.AddRuby(size - (open - base_begin), size, {line.data() + reading, close - reading},
                 marks.Characters(reading, close));
    left_out = true;
  }
  size = Keep(text, size, line, cut, line_size);
  base.EndKept(size);
  if (left_out) base.LeaveOut();
  return true;
}

}  // namespace

bool ReadRubyLine(const TriggerScanner& line, RubyLineRules rules, BaseText& base) {
  if (!line.OnlyRuby()) return false;
  return rules.escapes_and_emphasis ? ReadLine<true>(line, base) : ReadLine<false>(line, base);
}

}  // namespace velto::measure::markup
