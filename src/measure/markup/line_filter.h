// What the three notations share: the base text of a source line as a
// filter rebuilds it, and the rules by which the rebuilt line is handed on
// (which pieces are lines, where the line end goes, when a page break
// really ends a page).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "measure/markup/markup.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {

// Most parts of a line that a filter copies are a few dozen bytes: they are
// copied kCopyChunk bytes at a time where the source has that many more,
// into a buffer with room for the bytes copied beyond the part. readable:
// how many bytes from `from` on belong to the source.
inline constexpr std::size_t kCopyChunk = 64;
inline void CopyPart(char* to, const char* from, std::size_t count, std::size_t readable) {
  if (readable < count + kCopyChunk) {
    std::memcpy(to, from, count);
    return;
  }
  for (std::size_t done = 0; done < count; done += kCopyChunk) std::memcpy(to + done, from + done, kCopyChunk);
}

// The base text of one source line with its ruby, and the places where a
// command divides it into separate lines or ends the page. Every byte of the
// text is a part of the source line, appended in order, so the text is
// never longer; the buffer is sized once for the longest line, and
// appending is a plain copy.
//
// While every part begins and ends at a boundary between characters of the
// line, the characters of the text are those of the line without what lies
// between the parts, so the scan of the line tells where they begin. A part
// that cuts a character (which only malformed markup makes) leaves the text
// to be read on its own.
class BaseText {
 public:
  // Starts the text of the source line that source has read; with
  // places_wanted, each ruby span is recorded where it lies, else only
  // their totals count.
  void Clear(const TriggerScanner& source, bool places_wanted);
  bool places_wanted() const { return places_wanted_; }
  const TriggerScanner& source() const { return *source_; }

  // Appends the bytes of the source line from begin to end. The markup
  // between the last part and this one is left out.
  void Append(std::size_t begin, std::size_t end) {
    if (begin != part_end_) LeaveOutGap(begin);
    Reserve(end - begin);
    Copy(begin, end);
    if (!source_->IsBoundary(end)) aligned_ = false;
    part_begin_ = begin;
    part_end_ = end;
  }
  // A line that nothing but ruby marks up (ReadRubyLine) is written
  // straight into the buffer, without the bookkeeping of the parts above:
  // Kept() is where the text begins, with room for the line and kCopyChunk
  // bytes more, and EndKept ends the text at size.
  char* Kept() { return buffer_.data(); }
  void EndKept(std::size_t size) { size_ = size; }
  // The ruby of a text kept without the places of its spans.
  void KeptRuby(RubyTotals totals) { kept_totals_ = totals; }
  // Where the starts of the characters of a kept text go, put together
  // from those of the source line (see LineStarts::Refill), and its counts.
  std::uint64_t* KeptStarts() { return starts_.Refill(source_->line().size(), source_->starts().variant()); }
  void KeptCounts(LineCounts counts) {
    starts_.Refilled(counts);
    starts_kept_ = true;
  }
  // Puts the bytes of the source line from begin to end, which lie before
  // the last part appended, into the text at at, a boundary between its
  // characters.
  void Insert(std::size_t at, std::size_t begin, std::size_t end);
  std::string_view text() const { return {buffer_.data(), size_}; }
  std::size_t size() const { return size_; }

  // Where the run of two-byte characters that in_run accepts (given where
  // each begins in the text) ends the text, not reaching back before floor,
  // a boundary. In the last part, which ends the text, the scan of the line
  // tells at once whether a character has two bytes.
  template <typename InRun>
  std::size_t RunStart(std::size_t floor, InRun in_run) const {
    std::size_t start = size_;
    const std::size_t part_in_text = size_ - (part_end_ - part_begin_);
    if (aligned_ && part_end_ < source_->line().size()) {
      const std::size_t lowest = std::max(floor, part_in_text);
      // start is a boundary; the character before it begins a byte before
      // unless that byte is inside one.
      while (start >= lowest + 2 && !source_->IsBoundary(start - part_in_text + part_begin_ - 1) &&
             in_run(start - 2)) {
        start -= 2;
      }
      if (start != part_in_text || start == floor) return start;
    }
    while (start > floor) {
      const std::size_t before = PreviousCharStart(text(), floor, start);
      if (start - before != 2 || !in_run(before)) break;
      start = before;
    }
    return start;
  }

  // A ruby reading (of the source line) of so many characters, over the
  // text from begin to end.
  void AddRuby(std::size_t begin, std::size_t end, std::string_view reading, std::uint32_t characters) {
    ruby_.push_back({begin, end, reading, characters});
  }
  // Something of the source line is left out of the text.
  void LeaveOut() { left_out_ = true; }
  // The text so far ends a line; with page, the page ends after it too.
  void Split(bool page);

 private:
  friend class LineFilter;
  struct Cut {
    std::size_t at = 0;
    bool page = false;
  };

  void Reserve(std::size_t count) {
    if (size_ + count + kCopyChunk > buffer_.size()) buffer_.resize(size_ + count + kCopyChunk);
  }
  void Copy(std::size_t begin, std::size_t end) {
    const std::string_view line = source_->line();
    CopyPart(buffer_.data() + size_, line.data() + begin, end - begin, line.size() - begin);
    size_ += end - begin;
  }

  // Parts come in the order of the source line, so the text is the line up
  // to the end of the last part without the gaps between parts.
  void LeaveOutGap(std::size_t begin) {
    if (begin < part_end_ || !source_->IsBoundary(begin)) aligned_ = false;
  }

  const TriggerScanner* source_ = nullptr;
  std::string buffer_;
  std::size_t size_ = 0;
  std::vector<RubySpan> ruby_;
  RubyTotals kept_totals_;  // of ruby kept without places (KeptRuby)
  // The starts of the text, for whoever hands it on: put together while
  // the text was kept (starts_kept_), else scanned where it is handed on.
  LineStarts starts_;
  bool starts_kept_ = false;
  bool places_wanted_ = true;
  std::vector<Cut> cuts_;
  bool left_out_ = false;
  // The last part appended, which ends the text, in the source line.
  std::size_t part_begin_ = 0;
  std::size_t part_end_ = 0;
  bool aligned_ = true;  // no part has cut a character, and parts came in order
};

// Copies the text from `from` to `to` into base and hands each trigger in
// it to read(plain_from, trigger), which reads the markup there (or appends
// the trigger as text) and returns the position after it; plain_from is
// where the text copied just before it began.
template <typename Read>
void ReadTriggers(const TriggerScanner& scanner, std::size_t from, std::size_t to, BaseText& base, Read read) {
  std::size_t at = from;
  for (std::size_t trigger = scanner.Next(from); trigger < to; trigger = scanner.Next(at)) {
    base.Append(at, trigger);
    at = read(at, trigger);
  }
  base.Append(at, to);
}

// A filter that reads each source line on its own. A line without any of
// the notation's trigger characters is handed on as it stands; any other is
// rebuilt by the notation and handed on by these rules:
// - A command that divides a line (a page break, a chapter title) makes
//   separate lines of the pieces. Only the last piece keeps the source
//   line's line end, since markup never adds a character; when nothing but
//   the line end follows the last command, the line end stays with the
//   text before it, so "text［＃改ページ］" ends its line as the text alone
//   would.
// - A piece that holds nothing but its line end, where markup was left out
//   of the source line, is no line: a line of commands or annotations adds
//   no display line and no line end.
// - A page break takes effect when the next line comes. The empty end of a
//   text after its last line end is a display line of the page before: a
//   page break at the end of a text (with or without a line end after it)
//   makes no new page, and neither does a break at the start or a second
//   break in a row (the tally makes no empty page).
// A source line longer than 5119 bytes arrives as pieces; each piece is
// read on its own, so markup that a cut divides is read as text (nothing
// is lost, and such lines are far longer than any writer's paragraph).
class LineFilter : public Filter {
 public:
  void Push(std::string_view source_line, Sink& sink) final;
  void Finish(Sink& sink) override;

 protected:
  explicit LineFilter(const Triggers& triggers) : scanner_(triggers) {}
  // Rebuilds the line that scanner has read, which holds a trigger, into
  // base.
  virtual void Rebuild(const TriggerScanner& scanner, BaseText& base) = 0;

 private:
  void HandOn(Sink& sink);
  void HandOnPiece(std::size_t begin, std::size_t end, std::size_t& next_ruby, Sink& sink);
  // Hands on a line, after the page break pending before it.
  void Deliver(const MarkedLine& line, Sink& sink);

  TriggerScanner scanner_;
  BaseText base_;
  bool break_pending_ = false;
};

}  // namespace velto::measure::markup
