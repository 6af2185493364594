// The ruby of the large web-novel sites: |base《ruby》 or ｜base《ruby》, a
// kanji run before 《ruby》, base(ruby) or base（ruby） after a kanji run
// when the reading is short kana, 《《…》》 for emphasis dots, and |《 |(
// to write a bracket that opens nothing.
#include "measure/markup/web.h"

#include "measure/markup/line_filter.h"
#include "measure/markup/ruby_base.h"
#include "measure/markup/ruby_line.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {
namespace {

// 《 and the bars ｜ |, with 》, and the parentheses （ (.
constexpr Triggers kWebTriggers{0x73, 0x62, '|', 0x69, '(', 0x74};

constexpr std::string_view kBar = "|";
constexpr std::string_view kParenOpen = "(";
constexpr std::string_view kParenClose = ")";
// A reading in parentheses is ruby only when it is kana and this short;
// anything else in parentheses after kanji is the writer's own aside.
constexpr std::size_t kParenReadingLimit = 10;

// The bar, when one begins at at.
std::string_view BarAt(std::string_view text, std::size_t at) {
  if (IsAt(text, at, kFullBar)) return kFullBar;
  if (IsAt(text, at, kBar)) return kBar;
  return {};
}

// The opening bracket that a bar can escape, when one begins at at.
std::string_view EscapableAt(std::string_view text, std::size_t at) {
  if (IsAt(text, at, kRubyOpen)) return kRubyOpen;
  if (IsAt(text, at, kParenOpen)) return kParenOpen;
  if (IsAt(text, at, kFullParenOpen)) return kFullParenOpen;
  return {};
}

class WebFilter final : public LineFilter {
 public:
  WebFilter() : LineFilter(kWebTriggers) {}

 private:
  struct Line {
    Line(const TriggerScanner& source, BaseText& into)
        : text(source.line()),
          base(into),
          scanner(source),
          bases(into),
          ruby_closes(source, kRubyClose),
          paren_closes(source, kParenClose),
          full_paren_closes(source, kFullParenClose) {}
    std::string_view text;
    BaseText& base;
    const TriggerScanner& scanner;
    RubyBases bases;
    CharFinder ruby_closes;
    CharFinder paren_closes;
    CharFinder full_paren_closes;
    // No 》》 at or after this position: a line of many unclosed 《《 is
    // read once, not once for each.
    std::size_t no_emphasis_close_from = kNotFound;
  };

  void Rebuild(const TriggerScanner& scanner, BaseText& base) override {
    if (ReadRubyLine(scanner, {.escapes_and_emphasis = true}, base)) return;
    base.Clear(scanner, base.places_wanted());
    Line line(scanner, base);
    ReadRange(line, 0, line.text.size(), true);
    line.bases.Close();
  }

  // Rebuilds the text from `from` to `to`. Emphasis does not nest: inside
  // it, 《《 is read as two 《.
  static void ReadRange(Line& line, std::size_t from, std::size_t to, bool emphasis) {
    ReadTriggers(line.scanner, from, to, line.base,
                 [&](std::size_t, std::size_t at) { return ReadMarkup(line, at, to, emphasis); });
  }

  // The triggers in the order of their frequency: every reading opens with
  // 《, most bases begin at a bar.
  static std::size_t ReadMarkup(Line& line, std::size_t at, std::size_t to, bool emphasis) {
    const std::string_view text = line.text;
    std::size_t after = kNotFound;
    std::string_view open = kRubyOpen;
    if (IsAt(text, at, kRubyOpen)) {
      if (emphasis && IsAt(text, at + kRubyOpen.size(), kRubyOpen)) after = ReadEmphasis(line, at);
      if (after == kNotFound) after = ReadRuby(at, to, line.ruby_closes, line.bases);
    } else if (const std::string_view bar = BarAt(text, at); !bar.empty()) {
      return ReadBar(line, at, bar);
    } else {
      const bool full = IsAt(text, at, kFullParenOpen);
      open = full ? kFullParenOpen : kParenOpen;
      after = ReadParenRuby(line, at, to, open, full ? line.full_paren_closes : line.paren_closes);
    }
    if (after != kNotFound) return after;
    line.base.Append(at, at + open.size());
    return at + open.size();
  }

  // A bar before an opening bracket writes the bracket as text; any other
  // bar marks where a base begins.
  static std::size_t ReadBar(Line& line, std::size_t at, std::string_view bar) {
    const std::size_t next = at + bar.size();
    const std::string_view escaped = EscapableAt(line.text, next);
    if (escaped.empty()) {
      line.bases.OpenBar(at, next);
      return next;
    }
    line.base.Append(next, next + escaped.size());
    line.base.LeaveOut();
    return next + escaped.size();
  }

  // 《《…》》 at at: the text inside is read as text (ruby included), the
  // marks are left out. It closes at the end of the first run of 》 of two
  // or more, so that a ruby can end just inside it: 《《漢字《かんじ》》》.
  static std::size_t ReadEmphasis(Line& line, std::size_t at) {
    const std::size_t from = at + 2 * kRubyOpen.size();
    if (from >= line.no_emphasis_close_from) return kNotFound;
    std::size_t close = line.ruby_closes.From(from);
    while (close != kNotFound && !IsAt(line.text, close + kRubyClose.size(), kRubyClose)) {
      close = line.ruby_closes.From(close + kRubyClose.size());
    }
    if (close == kNotFound) line.no_emphasis_close_from = from;
    if (close == kNotFound || close == from) return kNotFound;
    while (IsAt(line.text, close + 2 * kRubyClose.size(), kRubyClose)) close += kRubyClose.size();
    line.bases.Close();
    line.base.LeaveOut();
    ReadRange(line, from, close, false);
    line.bases.Close();
    return close + 2 * kRubyClose.size();
  }

  // A reading in parentheses: ruby when it closes before to and is kana of
  // at most kParenReadingLimit characters, over a base like any reading.
  static std::size_t ReadParenRuby(Line& line, std::size_t at, std::size_t to, std::string_view open,
                                   CharFinder& closes) {
    const std::size_t from = at + open.size();
    const std::size_t close = closes.From(from);
    if (close == kNotFound || close + open.size() > to || close == from) return kNotFound;
    const KanaRun run = ReadKana(line.text.substr(from, close - from), kParenReadingLimit);
    if (!run.all_kana || run.characters > kParenReadingLimit) return kNotFound;
    if (!line.bases.Attach(from, close)) return kNotFound;
    return close + open.size();
  }
};

}  // namespace

std::unique_ptr<Filter> MakeWebFilter() { return std::make_unique<WebFilter>(); }

}  // namespace velto::measure::markup
