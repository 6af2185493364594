#include "measure/markup/line_filter.h"

#include <span>

namespace velto::measure::markup {

void BaseText::Clear(std::size_t source_size) {
  if (buffer_.size() < source_size) buffer_.resize(source_size);
  size_ = 0;
  ruby_.clear();
  cuts_.clear();
  left_out_ = false;
}

void BaseText::Split(bool page) { cuts_.push_back({size_, page}); }

void LineFilter::Push(std::string_view source_line, Sink& sink) {
  TriggerScanner scanner(source_line, triggers_);
  const std::size_t first = scanner.Next(0);
  if (first == source_line.size()) {
    Deliver({source_line, {}}, sink);
    return;
  }
  base_.Clear(source_line.size());
  Rebuild(source_line, scanner, base_);
  HandOn(sink);
}

void LineFilter::Finish(Sink& /*sink*/) { break_pending_ = false; }

void LineFilter::HandOn(Sink& sink) {
  std::vector<BaseText::Cut>& cuts = base_.cuts_;
  const std::string_view text = base_.text();
  // Cuts before nothing but the line end move behind it.
  if (!text.empty() && text.back() == '\n') {
    for (BaseText::Cut& cut : cuts) {
      if (cut.at == text.size() - 1) cut.at = text.size();
    }
  }
  std::size_t begin = 0;
  std::size_t next_ruby = 0;
  for (const BaseText::Cut& cut : cuts) {
    HandOnPiece(begin, cut.at, next_ruby, sink);
    if (cut.page) break_pending_ = true;
    begin = cut.at;
  }
  HandOnPiece(begin, text.size(), next_ruby, sink);
}

void LineFilter::HandOnPiece(std::size_t begin, std::size_t end, std::size_t& next_ruby, Sink& sink) {
  const std::string_view piece = base_.text().substr(begin, end - begin);
  const bool only_line_end = piece.empty() || piece == "\n";
  if (only_line_end && base_.left_out_) return;
  // Ruby never crosses a cut: each command closes the bases before it.
  const std::size_t first_ruby = next_ruby;
  std::vector<RubySpan>& ruby = base_.ruby_;
  while (next_ruby < ruby.size() && ruby[next_ruby].end <= end) {
    ruby[next_ruby].begin -= begin;
    ruby[next_ruby].end -= begin;
    ++next_ruby;
  }
  Deliver({piece, std::span<const RubySpan>(ruby).subspan(first_ruby, next_ruby - first_ruby)}, sink);
}

void LineFilter::Deliver(const MarkedLine& line, Sink& sink) {
  if (break_pending_) {
    break_pending_ = false;
    // The empty end of the text stays on the page before the break.
    if (!line.text.empty()) sink.PageBreak();
  }
  sink.Line(line);
}

}  // namespace velto::measure::markup
