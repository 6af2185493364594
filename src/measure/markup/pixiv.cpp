// The notation of pixiv's novels: [[rb:base > ruby]], [newpage] that starts
// a new page, and [chapter:title] whose title is a line of text. Other tags
// of that notation are left as text.
#include "measure/markup/pixiv.h"

#include "measure/line_counts.h"
#include "measure/markup/line_filter.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {
namespace {

constexpr Triggers kPixivTriggers{0, 0, 0, 0, '[', 0};

constexpr std::string_view kRubyTag = "[[rb:";
constexpr std::string_view kNewPage = "[newpage]";
constexpr std::string_view kChapterTag = "[chapter:";
constexpr std::string_view kTagClose = "]";
constexpr std::string_view kRubySeparator = ">";

// A stretch of a line: the bytes from begin to end.
struct Stretch {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// The characters of a reading as the count reads it on its own. The blanks
// that are trimmed may be the second bytes of characters, so the reading
// need not begin and end where the line's characters do.
std::uint32_t ReadingCharacters(const TriggerScanner& line, Stretch reading) {
  if (line.IsBoundary(reading.begin) && line.IsBoundary(reading.end)) {
    return line.Characters(reading.begin, reading.end);
  }
  return CountCharactersAndBlanks(line.line().substr(reading.begin, reading.end - reading.begin)).characters;
}

// The stretch of line from begin to end without the blanks that set the parts
// of a tag apart: [[rb:漢字 > かんじ]]. Empty when it is all blanks.
Stretch TrimSpaces(std::string_view line, std::size_t begin, std::size_t end) {
  const std::string_view text = line.substr(begin, end - begin);
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return {begin + first, begin + text.find_last_not_of(' ') + 1};
}

class PixivFilter final : public LineFilter {
 public:
  PixivFilter() : LineFilter(kPixivTriggers) {}

 private:
  struct Line {
    Line(const TriggerScanner& source, BaseText& into)
        : text(source.line()), base(into), scanner(source), closes(source, kTagClose) {}
    std::string_view text;
    BaseText& base;
    const TriggerScanner& scanner;
    CharFinder closes;
  };

  void Rebuild(const TriggerScanner& scanner, BaseText& base) override {
    Line line(scanner, base);
    ReadRange(line, 0, line.text.size(), true);
  }

  // Rebuilds the text from `from` to `to`. A chapter title holds ruby but
  // no command.
  static void ReadRange(Line& line, std::size_t from, std::size_t to, bool commands) {
    ReadTriggers(line.scanner, from, to, line.base,
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
    line.base.Append(at, at + 1);
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
    // '>' is never the second byte of a character, so a byte search finds it.
    const std::size_t separator = line.text.substr(0, close).find(kRubySeparator, from);
    if (separator == std::string_view::npos) return kNotFound;
    const Stretch base = TrimSpaces(line.text, from, separator);
    const Stretch reading = TrimSpaces(line.text, separator + kRubySeparator.size(), close);
    if (base.begin == base.end || reading.begin == reading.end) return kNotFound;
    const std::size_t begin = line.base.size();
    line.base.Append(base.begin, base.end);
    line.base.AddRuby(begin, line.base.size(), line.text.substr(reading.begin, reading.end - reading.begin),
                      ReadingCharacters(line.scanner, reading));
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
