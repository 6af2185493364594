// Wrapping of one source line into display lines under Japanese line-break
// rules (kinsoku): characters that may not begin a line, characters that may
// hang past the margin, characters that may not end a line.
//
// The rules read plainly, step by step, in tests/support/wrap_reference.h:
// a literal and slow wrapping that this engine must agree with on every
// line. Here the same steps are named in PlaceDisplayLine, and characters
// are counted 64 bytes at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "measure/char_starts.h"
#include "measure/line_counts.h"

namespace velto::measure {

// The rules one text is wrapped by. Each set is code page 932 text, read
// character by character; it ends at its first NUL byte, if it has one.
// The characters that may not begin a line are no_top_no_hang followed by
// no_top_hang, read as one text.
struct LineBreakRules {
  std::uint32_t line_length = 0;    // characters per display line; 0: no wrapping
  std::uint32_t backoff_limit = 0;  // most characters one back-off may move a break
  std::string_view no_top_no_hang;  // may not begin a line and may not hang
  std::string_view no_top_hang;     // may not begin a line but may hang past the margin
  std::string_view no_end;          // may not end a line
};

// How far a back-off may move a break at a line length: 15% of the line, but
// always a few characters; 0 without wrapping.
std::uint32_t BackoffLimitFor(std::uint32_t line_length);

// One display line: a byte range of the source line (its line feed removed).
struct DisplayLine {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool hangs = false;  // ends with a hanging character kept past the margin
};

// The wrapping engine of one measurement. Built once from the settings (set
// membership is precomputed then), it wraps any number of source lines.
//
// A source line ends at its first NUL byte, if it has one; one trailing line
// feed is removed before wrapping. Characters are counted on the line's start
// bits (LineStarts: one pass over the line classifies its bytes 64 at a
// time), a word of 64 bytes at once, so the cost of a display line hardly
// depends on how many characters it holds; a back-off steps back character
// by character on the same bits. A whole line wraps in linear time and
// nothing is allocated for lines the reader delivers.
class LineWrapper {
  // How far the walk through one line has come: the rest (the part no
  // display line holds yet) begins at `rest`; `ranks` holds the character
  // boundaries of the 64 bytes from 64 * `word` on, the word of the rest or
  // of the split last found, with `rank` of them before that position, so
  // that the next display line, which mostly begins there, needs no count
  // of its own. Ranks answers Count(), Below(position) and Select(rank) on
  // a word of bits, as char_starts::BitRanks does.
  template <class Ranks>
  struct Progress {
    std::size_t rest = 0;
    std::size_t word = 0;
    Ranks ranks;
    unsigned rank = 0;
  };
  using Scan = Progress<char_starts::BitRanks>;

 public:
  explicit LineWrapper(const LineBreakRules& rules);

  // The number of display lines of one source line as the reader delivers it
  // (at most 5119 bytes, possibly ending in a line feed; longer lines wrap
  // the same way); at least 1. An empty line is one display line.
  std::int32_t CountDisplayLines(std::string_view source_line) const;
  // The same for a line without NUL bytes (as the reader delivers them)
  // whose starts have been scanned already, with or without its line feed.
  // The display lines are found with the instructions of the variant the
  // starts were scanned with.
  std::int32_t CountDisplayLines(std::string_view source_line, const LineStarts& starts) const;

  // Yields the display lines of one source line one after another; it yields
  // exactly CountDisplayLines(source_line) lines. It refers to the wrapper
  // and to the line, which must outlive it. The variant is the one that
  // classifies the line's bytes.
  class Walker {
   public:
    Walker(const LineWrapper& wrapper, std::string_view source_line,
           ScanVariant variant = BestScanVariant());
    // False when every display line has been yielded.
    bool Next(DisplayLine& out);

   private:
    const LineWrapper* wrapper_;
    std::string_view line_;  // without its trailing line feed
    std::size_t chars_end_;
    LineStarts starts_;
    Scan scan_;
    bool done_ = false;
  };

 private:
  // Membership bits of one character.
  enum : std::uint8_t { kNoTop = 1, kHang = 2, kNoEnd = 4 };

  // The line being wrapped: its bytes (without the trailing line feed), where
  // its characters end (a lead byte cut off by the end of the line is no
  // character), and the words of its LineStarts, which are only read when
  // the line wraps.
  struct Text {
    std::string_view bytes;
    std::size_t chars_end;
    const std::uint64_t* starts;
  };

  void AddMembers(std::string_view set, std::uint8_t bits);
  // The row of class_ a character's bytes select: its first byte and the
  // one after it, whether that byte is part of the character or not.
  static std::size_t PairIndex(unsigned first, unsigned second) { return first * 256u + second; }
  // The membership bits of the character at position.
  std::uint8_t ClassAt(const Text& text, std::size_t position) const;
  // Whether a line whose characters end at chars_end needs its starts: only
  // a line of line_length characters or more has a display line before its
  // final one.
  bool Wraps(std::size_t chars_end) const;
  std::int32_t CountDisplayLines(const Text& text, ScanVariant variant) const;
  // The display lines before the final one, with the kernel of the variant
  // the text's starts were scanned with, and where the final one begins.
  std::uint64_t CountBreaks(const Text& text, ScanVariant variant, std::size_t& final_begin) const;

  // The candidate break point right after the first line_length characters
  // of the rest, and where the last of them begins.
  struct Candidate {
    std::size_t split = 0;
    std::size_t last = 0;
  };
  // A break point, and whether the line ends with a hanging character.
  struct Break {
    std::size_t split = 0;
    bool hangs = false;
  };
  class BackCursor;

  // The loop over the display lines of a line, which finds each candidate
  // by counting bits: compiled once with portable word operations, and on
  // x86-64 once more with the processor's bit-count and bit-deposit
  // instructions (line_wrap_kernel.inc).
  template <bool kBitInstructions>
  struct Kernel;

  // Whether a rule moves the break away from the candidate: its last
  // character may not end a line, or the character after it may not begin
  // one. Most candidates are kept, and the steps below run only for the rest.
  bool RuleApplies(const Text& text, const Candidate& candidate) const;
  // The break of a display line from the rest on, the rules applied.
  Break ApplyRules(const Text& text, std::size_t rest, const Candidate& candidate) const;
  // A character that may not end a line moves on to the next line.
  std::size_t BackOffFromNoEnd(const Text& text, BackCursor& cursor, const Candidate& candidate) const;
  // A character that may not begin a line hangs past the margin when it may,
  // else the break moves back before it.
  Break ApplyNoTopRule(const Text& text, BackCursor& cursor, std::size_t split) const;
  Break HangPastMargin(const Text& text, std::size_t split) const;
  std::size_t BackOffFromNoTop(const Text& text, BackCursor& cursor) const;

  std::uint32_t line_length_;
  std::uint32_t backoff_limit_;
  // The membership bits of every character, by PairIndex of its first two
  // bytes: one load, whether the character takes one byte or two. The rows
  // of single-byte characters repeat their class in every column. Held on
  // the heap (64 KiB), so a wrapper may live on any stack.
  std::vector<std::uint8_t> class_;
};

}  // namespace velto::measure
