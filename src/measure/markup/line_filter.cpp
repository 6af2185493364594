#include "measure/markup/line_filter.h"

#include <cstring>
#include <span>

#include "measure/line_counts.h"

namespace velto::measure::markup {

void BaseText::Clear(const TriggerScanner& source, bool places_wanted) {
  source_ = &source;
  places_wanted_ = places_wanted;
  kept_totals_ = {};
  starts_kept_ = false;
  if (buffer_.size() < source.line().size() + kCopyChunk) buffer_.resize(source.line().size() + kCopyChunk);
  size_ = 0;
  ruby_.clear();
  cuts_.clear();
  left_out_ = false;
  part_begin_ = 0;
  part_end_ = 0;
  aligned_ = true;
}

void BaseText::Insert(std::size_t at, std::size_t begin, std::size_t end) {
  const std::size_t count = end - begin;
  Reserve(count);
  std::memmove(buffer_.data() + at + count, buffer_.data() + at, size_ - at);
  std::memcpy(buffer_.data() + at, source_->line().data() + begin, count);
  size_ += count;
  // The text no longer ends with the last part.
  part_begin_ = part_end_;
  // It was a gap between parts, left out until now.
  if (!source_->IsBoundary(begin) || !source_->IsBoundary(end)) aligned_ = false;
}

void BaseText::Split(bool page) { cuts_.push_back({size_, page}); }

void LineFilter::Push(std::string_view source_line, Sink& sink) {
  const LineCounts counts = scanner_.Scan(source_line);
  if (scanner_.Next(0) == source_line.size()) {
    Deliver({source_line, {}, {}, counts, scanner_.starts()}, sink);
    return;
  }
  base_.Clear(scanner_, sink.WantsRubyPlaces());
  Rebuild(scanner_, base_);
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
  // Ruby never crosses a cut: each command closes the bases before it, and
  // the last piece holds the rest. Most lines are one piece.
  const std::size_t first_ruby = next_ruby;
  std::vector<RubySpan>& ruby = base_.ruby_;
  if (end == base_.size()) {
    next_ruby = ruby.size();
  } else {
    while (next_ruby < ruby.size() && ruby[next_ruby].end <= end) ++next_ruby;
  }
  if (begin != 0) {
    for (std::size_t i = first_ruby; i < next_ruby; ++i) {
      ruby[i].begin -= begin;
      ruby[i].end -= begin;
    }
  }
  const std::span<const RubySpan> spans = std::span<const RubySpan>(ruby).subspan(first_ruby, next_ruby - first_ruby);
  // Ruby kept without places belongs to a line that no command divides.
  RubyTotals totals = base_.kept_totals_;
  for (const RubySpan& span : spans) {
    ++totals.spans;
    totals.characters += span.characters;
  }
  LineStarts& starts = base_.starts_;
  // A text kept whole comes with its starts.
  const bool kept_whole = base_.starts_kept_ && begin == 0 && end == base_.size();
  const LineCounts counts = kept_whole ? starts.counts() : starts.Scan(piece);
  Deliver({piece, spans, totals, counts, starts}, sink);
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
