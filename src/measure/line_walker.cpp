// The display lines of a text, one at a time, for programs that show them.
// They come from the same reader, markup filter, wrapping engine and tally
// as the count, so a program that shows them shows exactly as many lines,
// on exactly the pages, that the count reports.
#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "measure/line_counts.h"
#include "measure/markup/markup.h"
#include "measure/measurement.h"
#include "measure/tally.h"
#include "velto/measure.hpp"

namespace velto {
namespace {

// A line a markup filter handed on, kept until it is walked.
struct HeldLine {
  bool page_break = false;  // no line: the page ends here
  std::string text;
  measure::LineCounts counts;  // of text, as the filter counted them
  struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string reading;
    std::uint32_t characters = 0;  // of the reading
  };
  std::vector<Span> ruby;
};

class HoldingSink final : public measure::markup::Sink {
 public:
  explicit HoldingSink(std::deque<HeldLine>& held) : held_(held) {}

  void Line(const measure::markup::MarkedLine& line) override {
    HeldLine& kept = held_.emplace_back();
    kept.text = line.text;
    kept.counts = line.counts;
    for (const measure::markup::RubySpan& span : line.ruby) {
      kept.ruby.push_back({span.begin, span.end, std::string(span.reading), span.characters});
    }
  }
  void PageBreak() override { held_.emplace_back().page_break = true; }

 private:
  std::deque<HeldLine>& held_;
};

}  // namespace

struct LineWalker::Walk {
  explicit Walk(const Settings& given)
      : settings(given),
        wrapper(measure::RulesOf(settings)),
        reader(settings.char_set),
        tally(settings.page_length),
        filter(measure::markup::MakeFilter(settings.markup, settings.aozora_body_only)) {}

  bool NextCountedLine();
  void FillRuby(const measure::DisplayLine& range);

  Settings settings;
  measure::LineWrapper wrapper;
  measure::SourceLineReader reader;
  measure::Tally tally;
  std::unique_ptr<measure::markup::Filter> filter;
  Failure failure = Failure::kNone;
  bool opened = false;
  bool source_ended = false;

  std::deque<HeldLine> held;
  HeldLine current;            // the line being walked, when it came from a filter
  std::string_view text;       // the text of the line being walked
  std::optional<measure::LineWrapper::Walker> lines;
  std::vector<RubyPart> parts;  // of the display line last yielded
};

// Moves on to the next line that is counted. False at the end of the text.
bool LineWalker::Walk::NextCountedLine() {
  if (filter == nullptr) {
    // The line stays where the reader put it until the next read.
    if (!reader.ReadSourceLine(text)) return false;
    current = HeldLine{};
    tally.AddText(text);
  } else {
    HoldingSink sink(held);
    for (;;) {
      while (held.empty() && !source_ended) {
        std::string_view source;
        if (reader.ReadSourceLine(source)) {
          filter->Push(source, sink);
        } else {
          filter->Finish(sink);
          source_ended = true;
        }
      }
      if (held.empty()) return false;
      current = std::move(held.front());
      held.pop_front();
      if (!current.page_break) break;
      tally.PageBreak();
    }
    text = current.text;
    // The counts the count itself takes, so that show and count agree.
    tally.AddCounted(current.counts, text.ends_with('\n'));
  }
  for (const HeldLine::Span& span : current.ruby) {
    tally.AddRuby(1, span.characters);
  }
  lines.emplace(wrapper, text);
  return true;
}

void LineWalker::Walk::FillRuby(const measure::DisplayLine& range) {
  parts.clear();
  for (const HeldLine::Span& span : current.ruby) {
    if (span.end <= range.begin || span.begin >= range.end) continue;
    const std::size_t begin = std::max(span.begin, range.begin);
    const std::size_t end = std::min(span.end, range.end);
    parts.push_back({begin - range.begin, end - range.begin, span.reading, span.begin >= range.begin});
  }
}

LineWalker::LineWalker(const Settings& settings) : walk_(std::make_unique<Walk>(settings)) {}
LineWalker::~LineWalker() = default;

bool LineWalker::OpenFile(const std::string& path) {
  walk_->opened = walk_->reader.Open(path.c_str());
  walk_->failure = walk_->opened ? Failure::kNone : Failure::kCannotOpen;
  return walk_->opened;
}

void LineWalker::OpenBytes(std::string_view bytes) {
  walk_->opened = walk_->reader.OpenBytes(bytes);
  walk_->failure = walk_->opened ? Failure::kNone : Failure::kCannotOpen;
}

bool LineWalker::Next(DisplayLine& line) {
  Walk& walk = *walk_;
  if (!walk.opened) return false;
  measure::DisplayLine range;
  while (!walk.lines || !walk.lines->Next(range)) {
    walk.lines.reset();
    if (!walk.NextCountedLine()) {
      walk.opened = false;
      if (walk.reader.ReadFailed()) walk.failure = Failure::kReadError;
      return false;
    }
  }
  const measure::LinePosition position = walk.tally.NextPosition();
  walk.tally.AddDisplayLines(1);
  walk.FillRuby(range);
  line.text = walk.text.substr(range.begin, range.end - range.begin);
  line.hangs = range.hangs;
  line.page = position.page;
  line.line_on_page = position.line_on_page;
  line.ruby = walk.parts;
  return true;
}

Failure LineWalker::failure() const { return walk_->failure; }

Counts LineWalker::counts() const { return walk_->tally.Sums(); }

}  // namespace velto
