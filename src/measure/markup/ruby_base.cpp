#include "measure/markup/ruby_base.h"

#include <algorithm>

namespace velto::measure::markup {

void RubyBases::OpenBar(std::string_view bar) {
  bar_ = base_.size();
  bar_size_ = bar.size();
  base_.Append(bar);
}

void RubyBases::Close() {
  bar_ = kNotFound;
  floor_ = base_.size();
}

bool RubyBases::IsKanjiAt(std::size_t at) const {
  return IsKanji(base_.text(), at) ||
         (IsAt(base_.text(), at, kReferenceMark) && std::find(gaiji_.begin(), gaiji_.end(), at) != gaiji_.end());
}

std::size_t RubyBases::KanjiRunStart() const {
  const std::string_view text = base_.text();
  std::size_t start = text.size();
  while (start > floor_) {
    const std::size_t before = PreviousCharStart(text, floor_, start);
    if (start - before != 2 || !IsKanjiAt(before)) break;
    start = before;
  }
  return start;
}

bool RubyBases::Attach(std::string_view reading) {
  std::size_t begin = 0;
  if (bar_ != kNotFound) {
    if (base_.size() == bar_ + bar_size_) return false;
    base_.Erase(bar_, bar_size_);
    begin = bar_;
  } else {
    begin = KanjiRunStart();
    if (begin == base_.size()) return false;
  }
  base_.AddRuby(begin, reading);
  base_.LeaveOut();
  Close();
  return true;
}

std::size_t ReadRuby(std::string_view line, std::size_t open, std::size_t to, CharFinder& closes,
                     RubyBases& bases) {
  const std::size_t from = open + kRubyOpen.size();
  const std::size_t close = closes.From(from);
  if (close == kNotFound || close + kRubyClose.size() > to || close == from) return kNotFound;
  if (!bases.Attach(line.substr(from, close - from))) return kNotFound;
  return close + kRubyClose.size();
}

}  // namespace velto::measure::markup
