// The parts of an Aozora file around the text: a header block (title,
// author, and the explanation of the notation between two lines of
// dashes) and a colophon that begins with 底本： (the printed edition the
// text was taken from). Both are optional; a file without them is all text.
//
// The header is recognised by its shape within the first lines, which are
// held until it is known: up to kTitleLines lines before a line of dashes,
// the line 【テキスト中に現れる記号について】 after it (blank lines may come
// between), and a second line of dashes within kHeaderLines lines. Anything
// else hands the held lines on as text.
//
// The colophon is everything from a line that begins with 底本： to the end
// of the text. Such a line in the middle of a work would be a false alarm:
// the lines from it on are held, and once more than kColophonLines have
// come, they are text after all.
//
// Blank lines between a part and the text belong to the part. The empty end
// of the text after its last line end stays, as it does in a file of the
// text alone.
#include <string>
#include <vector>

#include "measure/markup/aozora.h"
#include "velto/measure.hpp"

namespace velto::measure::markup {
namespace {

constexpr std::size_t kTitleLines = 10;
constexpr std::size_t kHeaderLines = 60;
constexpr std::size_t kColophonLines = 60;
constexpr std::size_t kMinimumDashes = 10;

// 【テキスト中に現れる記号について】
constexpr std::string_view kNotationHeading =
    "\x81\x79\x83\x65\x83\x4c\x83\x58\x83\x67\x92\x86\x82\xc9\x8c\xbb\x82\xea\x82\xe9"
    "\x8b\x4c\x8d\x86\x82\xc9\x82\xc2\x82\xa2\x82\xc4\x81\x7a";
// 底本：
constexpr std::string_view kColophonStart = "\x92\xea\x96\x7b\x81\x46";

bool IsBlank(std::string_view line) { return line == "\n"; }

bool IsDashes(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  return line.size() >= kMinimumDashes && line.find_first_not_of('-') == std::string_view::npos;
}

class AozoraBodyFilter final : public Filter {
 public:
  explicit AozoraBodyFilter(std::unique_ptr<Filter> text) : text_(std::move(text)) {}

  void Push(std::string_view source_line, Sink& sink) override {
    const bool line_start = at_line_start_;
    at_line_start_ = source_line.ends_with('\n');
    if (header_ != Header::kPassed) {
      ReadHeader(source_line, sink);
    } else {
      ReadBody(source_line, line_start, sink);
    }
  }

  void Finish(Sink& sink) override {
    if (header_ != Header::kPassed) ReleaseHeld(sink);
    if (!colophon_.empty()) {
      if (colophon_.back().empty()) text_->Push("", sink);
    } else {
      HandOnBlanks(sink);
    }
    text_->Finish(sink);
  }

 private:
  enum class Header { kTitle, kHeading, kNotation, kBlanksAfter, kPassed };

  void ReadHeader(std::string_view line, Sink& sink) {
    if (header_ == Header::kBlanksAfter) {
      if (IsBlank(line)) return;
      header_ = Header::kPassed;
      ReadBody(line, true, sink);
      return;
    }
    held_.emplace_back(line);
    switch (header_) {
      case Header::kTitle:
        if (IsDashes(line)) {
          header_ = Header::kHeading;
        } else if (held_.size() > kTitleLines || !line.ends_with('\n')) {
          ReleaseHeld(sink);
        }
        break;
      case Header::kHeading:
        if (line.starts_with(kNotationHeading)) {
          header_ = Header::kNotation;
        } else if (!IsBlank(line)) {
          ReleaseHeld(sink);
        }
        break;
      case Header::kNotation:
        if (IsDashes(line)) {
          held_.clear();
          header_ = Header::kBlanksAfter;
        } else if (held_.size() > kHeaderLines) {
          ReleaseHeld(sink);
        }
        break;
      case Header::kBlanksAfter:
      case Header::kPassed:
        break;
    }
  }

  // No header after all: the held lines are text.
  void ReleaseHeld(Sink& sink) {
    header_ = Header::kPassed;
    std::vector<std::string> held = std::move(held_);
    held_.clear();
    for (const std::string& line : held) ReadBody(line, true, sink);
  }

  void ReadBody(std::string_view line, bool line_start, Sink& sink) {
    if (!colophon_.empty()) {
      colophon_.emplace_back(line);
      if (colophon_.size() > kColophonLines) ReleaseColophon(sink);
    } else if (line_start && line.starts_with(kColophonStart)) {
      colophon_.emplace_back(line);
    } else if (IsBlank(line)) {
      ++blank_lines_;
    } else {
      HandOnBlanks(sink);
      text_->Push(line, sink);
    }
  }

  // A false alarm: the colophon's first line and its blank lines before
  // are text, and the lines after it are read again.
  void ReleaseColophon(Sink& sink) {
    std::vector<std::string> held = std::move(colophon_);
    colophon_.clear();
    HandOnBlanks(sink);
    text_->Push(held.front(), sink);
    for (std::size_t i = 1; i < held.size(); ++i) {
      ReadBody(held[i], held[i - 1].ends_with('\n'), sink);
    }
  }

  void HandOnBlanks(Sink& sink) {
    for (; blank_lines_ > 0; --blank_lines_) text_->Push("\n", sink);
  }

  std::unique_ptr<Filter> text_;
  Header header_ = Header::kTitle;
  std::vector<std::string> held_;
  std::vector<std::string> colophon_;
  std::size_t blank_lines_ = 0;  // blank lines held: they may lead into the colophon
  bool at_line_start_ = true;
};

}  // namespace

std::unique_ptr<Filter> MakeAozoraBodyFilter(std::unique_ptr<Filter> text) {
  return std::make_unique<AozoraBodyFilter>(std::move(text));
}

}  // namespace velto::measure::markup
