// velto show: the text laid out in display lines, exactly as the count
// wraps it, with a ruler, line and page numbers and the margin marked.
#include <string>

#include "commands.h"
#include "measure/line_wrap.h"
#include "measure/source_reader.h"
#include "measure/text_counter.h"
#include "measurement.h"
#include "platform/codepage.h"
#include "text_output.h"
#include "tool_error.h"
#include "transcode.h"

namespace velto::tool {
namespace {

bool IsLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Bytes of the character at pos: two for a lead byte with a byte after it.
std::size_t CharLength(std::string_view text, std::size_t pos) {
  return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// Where the last character of text begins.
std::size_t LastCharStart(std::string_view text) {
  std::size_t last = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) last = pos;
  return last;
}

// Code page 932 to UTF-8 for the terminal, with control characters shown
// as their pictures (a tab as U+2409, a carriage return as U+240D) so that
// each still takes the one column it counts for.
class Renderer {
 public:
  Renderer() : decoder_(platform::kCodePageShiftJis) {}

  std::string Render(std::string_view cp932) {
    units_.assign(cp932.size() + 1, u'\0');
    units_.resize(decoder_.Decode(cp932, units_.data(), units_.size()));
    for (char16_t& unit : units_) {
      if (unit < 0x20) {
        unit = static_cast<char16_t>(0x2400 + unit);
      } else if (unit == 0x7F) {
        unit = u'\u2421';
      } else if (unit >= 0x80 && unit <= 0x9F) {
        unit = u'\uFFFD';
      }
    }
    return Utf16ToUtf8(units_);
  }

 private:
  platform::Decoder decoder_;
  std::u16string units_;
};

std::size_t Digits(std::int64_t value) { return std::to_string(value).size(); }

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
  Layout(const Measurement& m, std::uint32_t line_length, std::uint32_t page_length, std::ostream& out)
      : out_(out),
        line_length_(line_length),
        page_length_(page_length),
        page_width_(Digits(std::max<std::int64_t>(m.results.page_count, 1))),
        line_width_(Digits(page_length == 0 ? m.results.line_count : page_length)) {}

  // Without wrapping there is no margin to mark.
  void PrintRuler() {
    if (line_length_ == 0) return;
    out_ << std::string(MarginWidth(), ' ') << '|' << Ruler(line_length_) << "|\n";
  }

  // One display line: margin numbers, the text, the margin bar and a
  // hanging character beyond it.
  void PrintLine(std::string_view cp932, bool hangs) {
    ++printed_;
    if (page_length_ != 0 && line_on_page_ == page_length_) {
      line_on_page_ = 0;
      ++page_;
      PrintPageBreak();
    }
    ++line_on_page_;
    if (page_length_ != 0) out_ << PadLeft(std::to_string(page_), page_width_) << ' ';
    out_ << PadLeft(std::to_string(page_length_ != 0 ? line_on_page_ : printed_), line_width_) << " |";
    if (line_length_ == 0) {
      out_ << renderer_.Render(cp932) << '\n';
      return;
    }
    std::string_view body = cp932;
    std::string_view hanging;
    if (hangs && !cp932.empty()) {
      const std::size_t last = LastCharStart(cp932);
      body = cp932.substr(0, last);
      hanging = cp932.substr(last);
    }
    // Padded by the columns the terminal gives the text: kanji and kana
    // take two, half-width katakana one, and so do the characters of
    // ambiguous width (such as the ellipsis), as most terminals draw them.
    const std::string rendered = renderer_.Render(body);
    const std::size_t width = 2 * static_cast<std::size_t>(line_length_);
    out_ << PadRight(rendered, width) << '|' << renderer_.Render(hanging) << '\n';
  }

  std::int64_t printed() const { return printed_; }

 private:
  std::size_t MarginWidth() const {
    return (page_length_ != 0 ? page_width_ + 1 : 0) + line_width_ + 1;
  }

  void PrintPageBreak() {
    out_ << std::string(MarginWidth(), '-') << '+';
    if (line_length_ != 0) out_ << std::string(2 * static_cast<std::size_t>(line_length_), '-') << '+';
    out_ << " page " << page_ << '\n';
  }

  std::ostream& out_;
  std::uint32_t line_length_;
  std::uint32_t page_length_;
  std::size_t page_width_;
  std::size_t line_width_;
  Renderer renderer_;
  std::int64_t printed_ = 0;
  std::int64_t page_ = 1;
  std::uint32_t line_on_page_ = 0;
};

std::string Summary(const MeasureResults& results, const MeasureSettings& settings) {
  std::string text = std::to_string(results.line_count) + " display lines";
  if (settings.page_length != 0) {
    text += ", " + std::to_string(results.page_count) + " pages, " +
            std::to_string(LastPageLines(results, settings.page_length)) + " lines on the last page";
  }
  return text;
}

}  // namespace

int RunShow(const ShowOptions& options, std::ostream& out) {
  const MeasureSettings settings = ResolveSettings(options.layout);
  Measurer measurer(settings);
  const Measurement m = measurer.Measure(options.file);

  // The wrapping settings come from the very status file the count used,
  // read by the library's own set-up.
  const measure::TextCounter counter(measurer.status().path().c_str());
  const measure::LineWrapper wrapper(counter.line_break_settings());
  measure::SourceLineReader reader(counter.char_set());
  if (!reader.Open(m.input.path.c_str())) throw ToolError("cannot read " + options.file);

  out << options.file << ": " << EncodingLabel(m.input) << ", "
      << DescribeLayout(settings, options.layout) << "\n\n";
  // No source line holds more characters than the read buffer has bytes, so
  // a longer line length never wraps; it is shown without ruler or margin.
  const std::uint32_t line_length =
      counter.line_length() < measure::kReadBufferLimit ? counter.line_length() : 0;
  Layout layout(m, line_length, counter.page_length(), out);
  layout.PrintRuler();
  char line[measure::kReadBufferLimit];
  std::size_t length = 0;
  while (reader.ReadSourceLine(line, length) != 0) {
    const std::string_view source(line, length);
    measure::LineWrapper::Walker walker(wrapper, source);
    measure::DisplayLine display;
    while (walker.Next(display)) {
      std::string_view text = source.substr(display.begin, display.end - display.begin);
      if (text.ends_with('\n')) text.remove_suffix(1);
      layout.PrintLine(text, display.hangs);
    }
  }
  if (reader.ReadFailed()) throw ToolError("cannot read " + options.file + ": read error");
  out << '\n' << Summary(m.results, settings) << '\n';
  if (layout.printed() != m.results.line_count) {
    throw ToolError("internal error: " + std::to_string(layout.printed()) +
                    " display lines shown, but the count is " + std::to_string(m.results.line_count));
  }
  return kExitOk;
}

}  // namespace velto::tool
