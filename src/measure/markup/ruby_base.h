// The ruby that the Aozora and the web notation share: a reading in 《》
// over the run of kanji before it, or over the text after a bar that marks
// where the base begins. Every ruby passes through here, so it is all
// inline.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

#include "measure/markup/line_filter.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {

// Where the base of the next reading begins, while one source line is
// rebuilt into base text.
class RubyBases {
 public:
  explicit RubyBases(BaseText& base) : base_(base) {}

  // A bar, the source line from bar_begin to bar_end, marks where the next
  // base begins. It is held out of the text: a reading takes it out for
  // good, and should none follow (a later bar, a command, the end of the
  // line), it goes back in as the character it is. Bars are few and usually
  // followed by their reading, so this saves moving every base.
  void OpenBar(std::size_t bar_begin, std::size_t bar_end) {
    RestoreBar();
    bar_ = base_.size();
    bar_source_ = bar_begin;
    bar_size_ = bar_end - bar_begin;
  }

  // No base reaches back before the text so far; a bar still open is text.
  // Call it at the end of every line.
  void Close() {
    if (bar_ != kNotFound) RestoreBar();
    floor_ = base_.size();
  }

  // The last character of the text, a ※, stands for a kanji that code page
  // 932 lacks: it belongs to a kanji run like any kanji.
  void MarkGaiji() { gaiji_.push_back(base_.size() - kReferenceMark.size()); }

  // Gives the reading (the source line from reading_begin to reading_end)
  // a base: the text after an open bar, else the kanji run that ends the
  // text. False when that base would be empty (a bar before it is then
  // text).
  bool Attach(std::size_t reading_begin, std::size_t reading_end) {
    std::size_t begin = bar_;
    if (bar_ == base_.size()) {
      Close();
      return false;
    }
    if (bar_ == kNotFound) {
      begin = KanjiRunStart();
      if (begin == base_.size()) return false;
    }
    bar_ = kNotFound;
    base_.AddRuby(begin, base_.size(), base_.source().line().substr(reading_begin, reading_end - reading_begin),
                  base_.source().Characters(reading_begin, reading_end));
    base_.LeaveOut();
    Close();
    return true;
  }

 private:
  void RestoreBar() {
    if (bar_ == kNotFound) return;
    base_.Insert(bar_, bar_source_, bar_source_ + bar_size_);
    for (std::size_t& gaiji : gaiji_) {
      if (gaiji >= bar_) gaiji += bar_size_;
    }
    bar_ = kNotFound;
  }

  std::size_t KanjiRunStart() const {
    return base_.RunStart(floor_, [this](std::size_t at) { return IsKanjiAt(at); });
  }

  bool IsKanjiAt(std::size_t at) const {
    return IsKanji(base_.text(), at) ||
           (!gaiji_.empty() && IsAt(base_.text(), at, kReferenceMark) &&
            std::find(gaiji_.begin(), gaiji_.end(), at) != gaiji_.end());
  }

  BaseText& base_;
  std::size_t bar_ = kNotFound;  // where the open bar stood in the text
  std::size_t bar_source_ = 0;   // and in the source line
  std::size_t bar_size_ = 0;
  std::size_t floor_ = 0;  // no kanji run reaches back before this
  std::vector<std::size_t> gaiji_;
};

// A reading in 《》 that begins at open (the 《), closing before to. It is
// ruby when it is closed, not empty, and has a base; the position after its
// 》 then, else kNotFound (the 《 is text).
inline std::size_t ReadRuby(std::size_t open, std::size_t to, CharFinder& closes, RubyBases& bases) {
  const std::size_t from = open + kRubyOpen.size();
  const std::size_t close = closes.From(from);
  if (close == kNotFound || close + kRubyClose.size() > to || close == from) return kNotFound;
  if (!bases.Attach(from, close)) return kNotFound;
  return close + kRubyClose.size();
}

}  // namespace velto::measure::markup
