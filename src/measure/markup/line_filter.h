// What the three notations share: the base text of a source line as a
// filter rebuilds it, and the rules by which the rebuilt line is handed on
// (which pieces are lines, where the line end goes, when a page break
// really ends a page).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "measure/markup/markup.h"
#include "measure/markup/scan.h"

namespace velto::measure::markup {

// The base text of one source line with its ruby, and the places where a
// command divides it into separate lines or ends the page.
class BaseText {
 public:
  // Starts the text of a source line of source_size bytes. Every byte of
  // the text comes from the line, so the text is never longer; the buffer
  // is sized once for the longest line, and appending is a plain copy.
  void Clear(std::size_t source_size);
  void Append(std::string_view bytes) {
    if (size_ + bytes.size() > buffer_.size()) buffer_.resize(size_ + bytes.size());
    std::memcpy(buffer_.data() + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
  }
  void Insert(std::size_t at, std::string_view bytes) {
    Append(bytes);
    std::rotate(buffer_.begin() + static_cast<std::ptrdiff_t>(at),
                buffer_.begin() + static_cast<std::ptrdiff_t>(size_ - bytes.size()),
                buffer_.begin() + static_cast<std::ptrdiff_t>(size_));
  }
  std::string_view text() const { return {buffer_.data(), size_}; }
  std::size_t size() const { return size_; }

  // A ruby reading over the text from begin to the end so far.
  void AddRuby(std::size_t begin, std::string_view reading) {
    ruby_.push_back({begin, size_, reading});
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

  std::string buffer_;
  std::size_t size_ = 0;
  std::vector<RubySpan> ruby_;
  std::vector<Cut> cuts_;
  bool left_out_ = false;
};

// Copies the text from `from` to `to` into base and hands each trigger in
// it to read(plain_from, trigger), which reads the markup there (or appends
// the trigger as text) and returns the position after it; plain_from is
// where the text copied just before it began.
template <typename Read>
void ReadTriggers(std::string_view text, TriggerScanner& scanner, std::size_t from, std::size_t to,
                  BaseText& base, Read read) {
  std::size_t at = from;
  for (std::size_t trigger = scanner.Next(from); trigger < to; trigger = scanner.Next(at)) {
    base.Append(text.substr(at, trigger - at));
    at = read(at, trigger);
  }
  base.Append(text.substr(at, to - at));
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
  explicit LineFilter(const Triggers& triggers) : triggers_(triggers) {}
  // Rebuilds line, which holds a trigger, into base, given the scanner of
  // its triggers.
  virtual void Rebuild(std::string_view line, TriggerScanner& scanner, BaseText& base) = 0;

 private:
  void HandOn(Sink& sink);
  void HandOnPiece(std::size_t begin, std::size_t end, std::size_t& next_ruby, Sink& sink);
  void Deliver(const MarkedLine& line, Sink& sink);

  const Triggers& triggers_;
  BaseText base_;
  bool break_pending_ = false;
};

}  // namespace velto::measure::markup
