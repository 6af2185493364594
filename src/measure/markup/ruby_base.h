// The ruby that the Aozora and the web notation share: a reading in 《》
// over the run of kanji before it, or over the text after a bar that marks
// where the base begins.
#pragma once

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

  // Appends a bar as text: it marks the start of the next base. Should no
  // reading follow, it stays in the text as the character it is; a later
  // bar takes its place, leaving it as text too.
  void OpenBar(std::string_view bar);
  // No base reaches back before the text so far; a bar still open is text.
  void Close();
  // The last character of the text, a ※, stands for a kanji that code page
  // 932 lacks: it belongs to a kanji run like any kanji.
  void MarkGaiji() { gaiji_.push_back(base_.size() - kReferenceMark.size()); }

  // Gives reading a base: the text after an open bar (which is taken out),
  // else the kanji run that ends the text. False, and nothing changed, when
  // that base would be empty.
  bool Attach(std::string_view reading);

 private:
  std::size_t KanjiRunStart() const;
  bool IsKanjiAt(std::size_t at) const;

  BaseText& base_;
  std::size_t bar_ = kNotFound;  // where the open bar stands in the text
  std::size_t bar_size_ = 0;
  std::size_t floor_ = 0;  // no kanji run reaches back before this
  std::vector<std::size_t> gaiji_;
};

// A reading in 《》 that begins at open (the 《), closing before to. It is
// ruby when it is closed, not empty, and has a base; the position after its
// 》 then, else kNotFound (the 《 is text).
std::size_t ReadRuby(std::string_view line, std::size_t open, std::size_t to, CharFinder& closes,
                     RubyBases& bases);

}  // namespace velto::measure::markup
