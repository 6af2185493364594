// The annotation notation of the Aozora e-text archive: ruby in 《》 over a
// kanji run or after ｜, annotations in ［＃］ that are no text, a gaiji
// ※［＃…］ that is one character, and four commands that start a new page.
#include "measure/markup/aozora.h"

#include <array>
#include <vector>

#include "measure/markup/line_filter.h"
#include "measure/markup/ruby_base.h"
#include "measure/markup/ruby_line.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {
namespace {

// ｜ 《 ［ begin every piece of this notation (with 》 for ruby); a ※ matters
// only before ［.
constexpr Triggers kAozoraTriggers{0x73, 0x62, 0, 0x6d, 0, 0x74};

// 改ページ, 改丁, 改見開き, 改段: each ends the page.
constexpr std::array<std::string_view, 4> kPageCommands = {
    "\x89\xfc\x83\x79\x81\x5b\x83\x57",
    "\x89\xfc\x92\x9a",
    "\x89\xfc\x8c\xa9\x8a\x4a\x82\xab",
    "\x89\xfc\x92\x69",
};

bool IsPageCommand(std::string_view annotation) {
  for (const std::string_view command : kPageCommands) {
    if (annotation == command) return true;
  }
  return false;
}

// The ］ that closes each ［ of a line. An annotation may hold a whole
// annotation (a gaiji inside the text it marks with emphasis dots), so the
// brackets nest; all of them are matched in one walk the first time an
// annotation is read.
class BracketPairs {
 public:
  explicit BracketPairs(std::string_view line) : line_(line) {}

  // The ］ that closes the ［ at open; kNotFound when it is not closed.
  std::size_t CloseOf(std::size_t open) {
    if (!matched_) Match(open);
    while (next_ < opens_.size() && opens_[next_] < open) ++next_;
    return next_ < opens_.size() && opens_[next_] == open ? closes_[next_] : kNotFound;
  }

 private:
  void Match(std::size_t from) {
    matched_ = true;
    std::vector<std::size_t> open_indexes;
    for (std::size_t at = from; at < line_.size(); at += sjis::CharLength(line_, at)) {
      if (IsAt(line_, at, kBracketOpen)) {
        open_indexes.push_back(opens_.size());
        opens_.push_back(at);
        closes_.push_back(kNotFound);
      } else if (IsAt(line_, at, kBracketClose) && !open_indexes.empty()) {
        closes_[open_indexes.back()] = at;
        open_indexes.pop_back();
      }
    }
  }

  std::string_view line_;
  bool matched_ = false;
  std::vector<std::size_t> opens_;   // in the order of the line
  std::vector<std::size_t> closes_;  // of each open, or kNotFound
  std::size_t next_ = 0;
};

class AozoraFilter final : public LineFilter {
 public:
  AozoraFilter() : LineFilter(kAozoraTriggers) {}

 private:
  // One source line being rebuilt.
  struct Line {
    Line(const TriggerScanner& source, BaseText& into)
        : text(source.line()), base(into), bases(into), closes(source, kRubyClose), brackets(source.line()) {}
    std::string_view text;
    BaseText& base;
    RubyBases bases;
    CharFinder closes;
    BracketPairs brackets;
    std::size_t plain_from = 0;  // where the text copied last began
  };

  void Rebuild(const TriggerScanner& scanner, BaseText& base) override {
    if (ReadRubyLine(scanner, {.escapes_and_emphasis = false}, base)) return;
    base.Clear(scanner, base.places_wanted());
    Line line(scanner, base);
    ReadTriggers(scanner, 0, line.text.size(), base, [&](std::size_t plain_from, std::size_t at) {
      line.plain_from = plain_from;
      return ReadMarkup(line, at);
    });
    line.bases.Close();
  }

  // Reads the piece of markup that may begin at at; the position after what
  // was read. What turns out not to be markup is text.
  static std::size_t ReadMarkup(Line& line, std::size_t at) {
    const std::string_view text = line.text;
    if (IsAt(text, at, kFullBar)) {
      line.bases.OpenBar(at, at + kFullBar.size());
      return at + kFullBar.size();
    }
    std::size_t after = kNotFound;
    if (IsAt(text, at, kRubyOpen)) {
      after = ReadRuby(at, text.size(), line.closes, line.bases);
    } else {
      after = ReadAnnotation(line, at);
    }
    if (after != kNotFound) return after;
    // What is no markup is text: the trigger, 《 or ［.
    static_assert(kRubyOpen.size() == kBracketOpen.size());
    line.base.Append(at, at + kRubyOpen.size());
    return at + kRubyOpen.size();
  }

  // An annotation ［＃…］ at at: the position after it, or kNotFound when
  // the ［ opens none.
  static std::size_t ReadAnnotation(Line& line, std::size_t at) {
    const std::string_view text = line.text;
    const std::size_t from = at + kBracketOpen.size() + kSharp.size();
    if (!IsAt(text, at + kBracketOpen.size(), kSharp)) return kNotFound;
    const std::size_t close = line.brackets.CloseOf(at);
    if (close == kNotFound) return kNotFound;
    line.base.LeaveOut();
    if (IsPageCommand(text.substr(from, close - from))) {
      line.bases.Close();
      line.base.Split(true);
    } else if (FollowsReferenceMark(line, at)) {
      line.bases.MarkGaiji();
    }
    return close + kBracketClose.size();
  }

  // Whether the character just before at, in the text copied last, is ※.
  static bool FollowsReferenceMark(const Line& line, std::size_t at) {
    return at >= line.plain_from + kReferenceMark.size() &&
           PreviousCharStart(line.text, line.plain_from, at) == at - kReferenceMark.size() &&
           IsAt(line.text, at - kReferenceMark.size(), kReferenceMark);
  }
};

}  // namespace

std::unique_ptr<Filter> MakeAozoraFilter(bool body_only) {
  std::unique_ptr<Filter> text = std::make_unique<AozoraFilter>();
  return body_only ? MakeAozoraBodyFilter(std::move(text)) : std::move(text);
}

}  // namespace velto::measure::markup
