// The notation of pixiv's novels: [[rb:base > ruby]], [newpage] that starts
// a new page, and [chapter:title] whose title is a line of text. Other tags
// of that notation are left as text.
#include "measure/markup/pixiv.h"

#include "measure/markup/line_filter.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {
namespace {

constexpr Triggers kPixivTriggers{{}, {'['}};

constexpr std::string_view kRubyTag = "[[rb:";
constexpr std::string_view kNewPage = "[newpage]";
constexpr std::string_view kChapterTag = "[chapter:";
constexpr std::string_view kTagClose = "]";
constexpr std::string_view kRubySeparator = ">";

// Without the blanks that set the parts of a tag apart: [[rb:漢字 > かんじ]].
std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

class PixivFilter final : public LineFilter {
 public:
  PixivFilter() : LineFilter(kPixivTriggers) {}

 private:
  struct Line {
    Line(std::string_view source, BaseText& into, TriggerScanner& triggers)
        : text(source), base(into), scanner(triggers), closes(source, kTagClose) {}
    std::string_view text;
    BaseText& base;
    TriggerScanner& scanner;
    CharFinder closes;
  };

  void Rebuild(std::string_view text, TriggerScanner& scanner, BaseText& base) override {
    Line line(text, base, scanner);
    ReadRange(line, 0, text.size(), true);
  }

  // Rebuilds the text from `from` to `to`. A chapter title holds ruby but
  // no command.
  static void ReadRange(Line& line, std::size_t from, std::size_t to, bool commands) {
    ReadTriggers(line.text, line.scanner, from, to, line.base,
                 [&](std::size_t, std::size_t at) { return ReadTag(line, at, to, commands); });
  }

  static std::size_t ReadTag(Line& line, std::size_t at, std::size_t to, bool commands) {
    const std::string_view text = line.text.substr(0, to);
    std::size_t after = kNotFound;
    if (IsAt(text, at, kRubyTag)) {
      after = ReadRubyTag(line, at, to);
    } else if (commands && IsAt(text, at, kNewPage)) {
      line.base.LeaveOut();
      line.base.Split(true);
      after = at + kNewPage.size();
    } else if (commands && IsAt(text, at, kChapterTag)) {
      after = ReadChapter(line, at, to);
    }
    if (after != kNotFound) return after;
    line.base.Append(text.substr(at, 1));
    return at + 1;
  }

  // The first ]] at or after from, before to.
  static std::size_t DoubleCloseFrom(Line& line, std::size_t from, std::size_t to) {
    std::size_t close = line.closes.From(from);
    while (close != kNotFound && close + 2 <= to && !IsAt(line.text, close + 1, kTagClose)) {
      close = line.closes.From(close + 1);
    }
    return close != kNotFound && close + 2 <= to ? close : kNotFound;
  }

  // [[rb:base > ruby]]: the base is text, the reading its ruby. Both must
  // be there.
  static std::size_t ReadRubyTag(Line& line, std::size_t at, std::size_t to) {
    const std::size_t from = at + kRubyTag.size();
    const std::size_t close = DoubleCloseFrom(line, from, to);
    if (close == kNotFound) return kNotFound;
    const std::string_view inside = line.text.substr(from, close - from);
    // '>' is never the second byte of a character, so a byte search finds it.
    const std::size_t separator = inside.find(kRubySeparator);
    if (separator == std::string_view::npos) return kNotFound;
    const std::string_view base = TrimSpaces(inside.substr(0, separator));
    const std::string_view reading = TrimSpaces(inside.substr(separator + kRubySeparator.size()));
    if (base.empty() || reading.empty()) return kNotFound;
    const std::size_t begin = line.base.size();
    line.base.Append(base);
    line.base.AddRuby(begin, reading);
    line.base.LeaveOut();
    return close + 2;
  }

  // The ] that closes a chapter title from `from`: the first one outside
  // the ruby tags in the title.
  static std::size_t ChapterCloseFrom(Line& line, std::size_t from, std::size_t to) {
    std::size_t close = line.closes.From(from);
    for (std::size_t tag = line.scanner.Next(from); close != kNotFound && tag < close;
         tag = line.scanner.Next(from)) {
      const std::size_t ruby_close =
          IsAt(line.text, tag, kRubyTag) ? DoubleCloseFrom(line, tag + kRubyTag.size(), to) : kNotFound;
      from = ruby_close != kNotFound ? ruby_close + 2 : tag + 1;
      close = line.closes.From(from);
    }
    return close != kNotFound && close < to ? close : kNotFound;
  }

  // [chapter:title]: the title is a line of its own.
  static std::size_t ReadChapter(Line& line, std::size_t at, std::size_t to) {
    const std::size_t from = at + kChapterTag.size();
    const std::size_t close = ChapterCloseFrom(line, from, to);
    if (close == kNotFound) return kNotFound;
    line.base.LeaveOut();
    line.base.Split(false);
    ReadRange(line, from, close, false);
    line.base.Split(false);
    return close + 1;
  }
};

}  // namespace

std::unique_ptr<Filter> MakePixivFilter() { return std::make_unique<PixivFilter>(); }

}  // namespace velto::measure::markup
