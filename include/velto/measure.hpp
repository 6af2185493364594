// velto's C++ measuring API: the counts that the status-file exports report,
// from settings given as a plain value, for programs that link velto's static
// library (the command-line tool among them). Nothing here reads or writes a
// status file, except the two functions at the end that read one the way the
// library's exports do.
//
// Text is measured in code page 932 (Shift-JIS); a file in another encoding
// is converted line by line first, exactly as GetDataStatus converts it. The
// same settings give the same seven numbers through this API and through
// GetDataStatus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velto {

// ---------------------------------------------------------------------------
// Encodings

// The encoding of a measured text, numbered as the CharSet setting of a
// status file numbers it. Any other number is read as Shift-JIS bytes, as the
// library has always read it; such a value may be held as well.
enum class CharSet : std::int32_t {
  kShiftJis = 0,
  kShiftJisToo = 1,
  kUtf16 = 2,  // little-endian unless the text begins with FE FF
  kEucJp = 3,
  kIso2022Jp = 4,
  kUtf7 = 5,
  kUtf8 = 6,
  kUtf16Too = 7,
};

// The code page a CharSet is read in: 932, 20932, 50220, 65000 or 65001;
// 0 for the two UTF-16 values, which are read as 16-bit units; 932 for a
// number outside the table.
int CodePageOf(CharSet char_set);

// ---------------------------------------------------------------------------
// Shift-JIS characters
//
// A character of code page 932 is one byte, or a lead byte (0x81-0x9F,
// 0xE0-0xFC) together with the byte after it, whatever that byte is. A lead
// byte that the end of the text cuts off is no character.
namespace sjis {

inline constexpr unsigned char kFirstLeadLow = 0x81;
inline constexpr unsigned char kFirstLeadHigh = 0x9F;
inline constexpr unsigned char kSecondLeadLow = 0xE0;
inline constexpr unsigned char kSecondLeadHigh = 0xFC;

constexpr bool IsLeadByte(unsigned char byte) {
  return (byte >= kFirstLeadLow && byte <= kFirstLeadHigh) ||
         (byte >= kSecondLeadLow && byte <= kSecondLeadHigh);
}

// The bytes of the character that begins at position (which is inside
// text): 2 at a lead byte with a byte after it, else 1.
constexpr std::size_t CharLength(std::string_view text, std::size_t position) {
  return IsLeadByte(static_cast<unsigned char>(text[position])) && position + 1 < text.size() ? 2
                                                                                               : 1;
}

// Where the whole characters of text end: before a final lead byte that has
// lost its trail byte. A byte that is not a lead byte always ends a
// character, so the run of lead bytes at the end decides: paired off from its
// start, an odd run leaves its last byte alone.
constexpr std::size_t CharsEnd(std::string_view text) {
  std::size_t run = 0;
  while (run < text.size() && IsLeadByte(static_cast<unsigned char>(text[text.size() - 1 - run]))) {
    ++run;
  }
  return run % 2 == 1 ? text.size() - 1 : text.size();
}

// Code page 932 text as UTF-16, converted as the library converts; bytes that
// form no character become U+FFFD.
std::u16string ToUtf16(std::string_view cp932);

// The code page 932 form of one code point, or nothing when it has none
// (look-alike mappings are refused).
std::optional<std::string> FromCodePoint(char32_t code_point);

}  // namespace sjis

// ---------------------------------------------------------------------------
// Settings and results

// A source line, as the measurement reads it, holds at most this many bytes
// of code page 932; a longer line of the file is read as several source
// lines of at most this length, cut between characters.
inline constexpr std::size_t kSourceLineBytes = 5119;

// Writers' markup that the count can leave out (ruby readings, emphasis
// marks, annotations) and whose commands can start a new page.
enum class Markup { kNone, kAozora, kWeb, kPixiv };

struct Settings {
  std::uint32_t line_length = 0;  // characters per display line; 0: no wrapping
  std::uint32_t page_length = 0;  // display lines per page; 0: no paging
  // The line-break classes as code page 932 characters; each ends at its
  // first NUL byte, if it has one. The characters that may not begin a
  // line are the first two read as one text.
  std::string no_top_no_hang;  // may not begin a line and may not hang
  std::string no_top_hang;     // may not begin a line but may hang past the margin
  std::string no_end;          // may not end a line
  CharSet char_set = CharSet::kShiftJis;
  Markup markup = Markup::kNone;
  // With the Aozora markup: leave out the header block before the text and
  // the colophon after it, where the file has them.
  bool aozora_body_only = false;
};

struct Counts {
  std::int64_t crlf = 0;              // characters, line ends included
  std::int64_t no_crlf = 0;           // characters without line ends
  std::int64_t no_crlf_no_blank = 0;  // ... and without blanks (space, ideographic space)
  std::int64_t line_count = 0;        // display lines
  std::int64_t page_count = 0;        // pages of page_length display lines
  std::int64_t mod_count = 0;         // display lines on the last page; 0 when it is full
  // With markup: ruby spans found, and the characters of their readings,
  // which the counts above leave out.
  std::int64_t ruby_spans = 0;
  std::int64_t ruby_characters = 0;
};

enum class Failure {
  kNone,
  kCannotOpen,  // the file cannot be opened, or its encoding cannot be read here
  kReadError,   // reading stopped before the end of the text
};

// A one-line description of a failure, for messages.
std::string_view Describe(Failure failure);

struct Result {
  Failure failure = Failure::kNone;
  Counts counts;  // all 0 unless failure is kNone
  bool ok() const { return failure == Failure::kNone; }
};

// ---------------------------------------------------------------------------
// Measuring

// Measures texts under one set of settings. The wrapping tables and the read
// buffers are made once and serve every text measured with it, so many small
// files cost little more than their reading.
class Measurer {
 public:
  explicit Measurer(const Settings& settings);
  ~Measurer();
  Measurer(const Measurer&) = delete;
  Measurer& operator=(const Measurer&) = delete;

  const Settings& settings() const;
  // The encoding of the texts measured from now on.
  void SetCharSet(CharSet char_set);

  Result MeasureFile(const std::string& path);
  Result MeasureBytes(std::string_view bytes);

 private:
  struct Engine;
  std::unique_ptr<Engine> engine_;
};

Result MeasureFile(const std::string& path, const Settings& settings);
Result MeasureBytes(std::string_view bytes, const Settings& settings);

// ---------------------------------------------------------------------------
// Display lines

// A ruby reading over part of a display line: the base characters are the
// bytes [begin, end) of the line's text. A base that a line break divides
// appears on each of its lines; the reading is given with every part, and
// first tells which part begins the base.
struct RubyPart {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string_view reading;  // code page 932
  bool first = true;
};

// One display line. The views stay valid until the next call of Next.
struct DisplayLine {
  std::string_view text;  // code page 932, without the line feed
  bool hangs = false;     // the last character hangs past the margin
  std::int64_t page = 1;  // 1 and up; always 1 without paging
  // The line's number on its page (1 and up); without paging, its number in
  // the whole text.
  std::int64_t line_on_page = 1;
  std::span<const RubyPart> ruby;  // in the order of the text
};

// Walks the display lines of one text in order: exactly counts().line_count
// of them, wrapped and paged as the count wraps and pages them.
class LineWalker {
 public:
  explicit LineWalker(const Settings& settings);
  ~LineWalker();
  LineWalker(const LineWalker&) = delete;
  LineWalker& operator=(const LineWalker&) = delete;

  // Starts on a file (false when it cannot be opened; failure() tells) or on
  // bytes held by the caller, which must outlive the walk.
  bool OpenFile(const std::string& path);
  void OpenBytes(std::string_view bytes);

  // The next display line; false at the end of the text or on a read error.
  bool Next(DisplayLine& line);

  Failure failure() const;
  // The counts of the lines walked so far; once Next has returned false
  // without a failure, the counts of the whole text.
  Counts counts() const;

 private:
  struct Walk;
  std::unique_ptr<Walk> walk_;
};

// ---------------------------------------------------------------------------
// Status files, read as the exports read them

// The settings a status file gives a measurement, with the library's own
// reading of them (LineLength 1 to 9 counts as 10, absent keys are 0 or
// empty). Nothing when the file cannot be found or read. The file is only
// read.
std::optional<Settings> ReadStatusSettings(const std::string& path);

// The result keys a status file holds, with their values as stored; keys
// that are absent are left out.
struct StatusResults {
  std::vector<std::pair<std::string, std::string>> file;  // Name, TimeStamp
  std::vector<std::pair<std::string, std::string>> data;  // Size and the six counts, in order
};
StatusResults ReadStatusResults(const std::string& path);

}  // namespace velto
