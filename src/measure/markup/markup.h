// Writers' markup between the reader and the count: a filter turns the
// source lines of one text into the lines that are counted, the base text
// without ruby readings, emphasis marks and annotations, and says where a
// page-break command ends a page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "measure/line_counts.h"
#include "velto/measure.hpp"

namespace velto::measure::markup {

// A ruby reading over base characters: the bytes [begin, end) of the text
// of the line it belongs to.
struct RubySpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string_view reading;       // code page 932
  std::uint32_t characters = 0;   // of the reading, as the count reads them
};

// The ruby of a line in sum: its spans, and the characters of their
// readings.
struct RubyTotals {
  std::uint32_t spans = 0;
  std::uint32_t characters = 0;
};

// One line as it is counted and wrapped. The views stay valid only for the
// call that hands the line on. The filter scans the text once to count it,
// and hands on that scan too: whoever wraps the line reads its character
// starts from there instead of reading the text again.
struct MarkedLine {
  std::string_view text;  // code page 932, ending in a line feed when the source line did (and only there)
  std::span<const RubySpan> ruby;  // empty where the sink wants no places
  RubyTotals ruby_totals;           // of the ruby, with or without its places
  LineCounts counts;          // of text, as CountCharactersAndBlanks counts them
  const LineStarts& starts;  // of text, with its line feed
};

// Where a filter hands on what it finds, in the order of the text.
class Sink {
 public:
  virtual void Line(const MarkedLine& line) = 0;
  virtual void PageBreak() = 0;
  // Whether the sink reads where each ruby span lies; a sink that only
  // counts takes the totals, which a filter can find faster.
  virtual bool WantsRubyPlaces() const { return true; }

 protected:
  ~Sink() = default;
};

// The markup of one text. Source lines come as the reader delivers them:
// code page 932, without NUL bytes, at most 5119 bytes, each ending in a
// line feed unless it is the last line or a piece of a longer one.
class Filter {
 public:
  virtual ~Filter() = default;
  virtual void Push(std::string_view source_line, Sink& sink) = 0;
  // The end of the text: hands on whatever is still held.
  virtual void Finish(Sink& sink) = 0;
};

// The filter of a markup; nullptr for Markup::kNone, whose lines are
// counted as they are.
std::unique_ptr<Filter> MakeFilter(Markup markup, bool aozora_body_only);

}  // namespace velto::measure::markup
