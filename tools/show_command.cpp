// velto show: the text laid out in display lines, exactly as the count
// wraps it, with a ruler, line and page numbers and the margin marked.
#include <algorithm>
#include <span>
#include <string>

#include "commands.h"
#include "measurement.h"
#include "text_output.h"
#include "tool_error.h"

namespace velto::tool {
namespace {

// Where the last character of text begins.
std::size_t LastCharStart(std::string_view text) {
  std::size_t last = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += sjis::CharLength(text, pos)) last = pos;
  return last;
}

std::size_t Digits(std::int64_t value) { return std::to_string(value).size(); }

// The readings of a line's ruby, for the right of the margin:
// " base《reading》 ...", with "…" before the part of a base that began on
// the line before; nothing without ruby.
std::string RubyNotes(const DisplayLine& line, VisibleText& renderer) {
  std::string notes;
  for (const RubyPart& part : line.ruby) {
    notes += part.first ? " " : " \u2026";
    notes += renderer.Render(line.text.substr(part.begin, part.end - part.begin));
    notes += "\u300a" + renderer.Render(part.reading) + "\u300b";
  }
  return notes;
}

// The text with its ruby bases underlined by terminal escapes.
std::string Underlined(std::string_view text, std::span<const RubyPart> ruby, VisibleText& renderer) {
  std::string shown;
  std::size_t at = 0;
  for (const RubyPart& part : ruby) {
    const std::size_t end = std::min(part.end, text.size());
    if (part.begin >= end) continue;
    shown += renderer.Render(text.substr(at, part.begin - at));
    shown += "\x1b[4m" + renderer.Render(text.substr(part.begin, end - part.begin)) + "\x1b[24m";
    at = end;
  }
  return shown + renderer.Render(text.substr(at));
}

// Marks every character cell (2 columns): '+' at each fifth, the tens digit
// at each tenth, '.' elsewhere.
std::string Ruler(std::uint32_t line_length) {
  std::string ruler;
  for (std::uint32_t i = 1; i <= line_length; ++i) {
    if (i % 10 == 0) {
      ruler += static_cast<char>('0' + (i / 10) % 10);
    } else {
      ruler += i % 5 == 0 ? '+' : '.';
    }
    ruler += ' ';
  }
  return ruler;
}

class Layout {
 public:
  Layout(const Counts& counts, std::uint32_t line_length, std::uint32_t page_length, bool underline,
         std::ostream& out)
      : out_(out),
        underline_(underline),
        line_length_(line_length),
        page_length_(page_length),
        page_width_(Digits(std::max<std::int64_t>(counts.page_count, 1))),
        line_width_(Digits(page_length == 0 ? counts.line_count : page_length)) {}

  // Without wrapping there is no margin to mark.
  void PrintRuler() {
    if (line_length_ == 0) return;
    out_ << std::string(MarginWidth(), ' ') << '|' << Ruler(line_length_) << "|\n";
  }

  // One display line: margin numbers, the text, the margin bar and a
  // hanging character beyond it.
  void PrintLine(const DisplayLine& line) {
    ++printed_;
    if (line.page != page_) {
      page_ = line.page;
      PrintPageBreak();
    }
    if (page_length_ != 0) out_ << PadLeft(std::to_string(line.page), page_width_) << ' ';
    out_ << PadLeft(std::to_string(line.line_on_page), line_width_) << " |";
    if (line_length_ == 0) {
      out_ << Shown(line.text, line) << RubyNotes(line, renderer_) << '\n';
      return;
    }
    std::string_view body = line.text;
    std::string_view hanging;
    if (line.hangs && !line.text.empty()) {
      const std::size_t last = LastCharStart(line.text);
      body = line.text.substr(0, last);
      hanging = line.text.substr(last);
    }
    // Padded by the columns the terminal gives the text: kanji and kana
    // take two, half-width katakana one, and so do the characters of
    // ambiguous width (such as the ellipsis), as most terminals draw them.
    const std::string rendered = renderer_.Render(body);
    const std::size_t width = 2 * static_cast<std::size_t>(line_length_);
    const std::string padding = PadRight(rendered, width).substr(rendered.size());
    out_ << Shown(body, line) << padding << '|' << renderer_.Render(hanging)
         << RubyNotes(line, renderer_) << '\n';
  }

  std::int64_t printed() const { return printed_; }

 private:
  // The text as printed: its ruby bases underlined on a terminal.
  std::string Shown(std::string_view text, const DisplayLine& line) {
    return underline_ && !line.ruby.empty() ? Underlined(text, line.ruby, renderer_)
                                            : renderer_.Render(text);
  }

  std::size_t MarginWidth() const {
    return (page_length_ != 0 ? page_width_ + 1 : 0) + line_width_ + 1;
  }

  void PrintPageBreak() {
    out_ << std::string(MarginWidth(), '-') << '+';
    if (line_length_ != 0) out_ << std::string(2 * static_cast<std::size_t>(line_length_), '-') << '+';
    out_ << " page " << page_ << '\n';
  }

  std::ostream& out_;
  bool underline_;
  std::uint32_t line_length_;
  std::uint32_t page_length_;
  std::size_t page_width_;
  std::size_t line_width_;
  VisibleText renderer_;
  std::int64_t printed_ = 0;
  std::int64_t page_ = 1;
};

std::string Summary(const Counts& counts, std::uint32_t page_length) {
  std::string text = std::to_string(counts.line_count) + " display lines";
  if (page_length != 0) {
    text += ", " + std::to_string(counts.page_count) + " pages, " +
            std::to_string(LastPageLines(counts, page_length)) + " lines on the last page";
  }
  return text;
}

}  // namespace

int RunShow(const ShowOptions& options, std::ostream& out) {
  if (options.html) return RunShowHtml(options, out);
  const MeasureSettings settings = ResolveSettings(options.layout);
  FileMeasurer measurer(settings);
  const Measurement m = measurer.Measure(options.file);
  const Settings& layout_settings = settings.layout;

  out << options.file << ": " << EncodingLabel(m.input) << ", "
      << DescribeLayout(settings.layout, options.layout) << "\n\n";
  // No source line holds more characters than it has bytes, so a longer
  // line length never wraps; it is shown without ruler or margin.
  const std::uint32_t line_length =
      layout_settings.line_length <= kSourceLineBytes ? layout_settings.line_length : 0;
  Layout layout(m.counts, line_length, layout_settings.page_length, options.underline_ruby, out);
  layout.PrintRuler();
  WalkDisplayLines(m, layout_settings, [&layout](const DisplayLine& line) { layout.PrintLine(line); });
  out << '\n' << Summary(m.counts, layout_settings.page_length) << '\n';
  if (layout.printed() != m.counts.line_count) {
    throw ToolError("internal error: " + std::to_string(layout.printed()) +
                    " display lines shown, but the count is " + std::to_string(m.counts.line_count));
  }
  return kExitOk;
}

}  // namespace velto::tool
