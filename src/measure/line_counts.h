// The characters and blanks of one source line, counted together in one
// pass of 64-byte blocks: the measurement's per-line counting. The same pass
// keeps where every character begins, one bit per byte, so the wrapping of
// the line reads its characters from there instead of finding them again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "velto/measure.hpp"

namespace velto::measure {

struct LineCounts {
  std::uint32_t characters = 0;  // as CountChars counts them: a lone lead byte at the end is none
  std::uint32_t blanks = 0;      // spaces and ideographic spaces that begin a character

  // The counts of two texts end to end, and of a text without a part of it.
  LineCounts& operator+=(const LineCounts& more) {
    characters += more.characters;
    blanks += more.blanks;
    return *this;
  }
  friend LineCounts operator+(LineCounts one, const LineCounts& other) { return one += other; }
  friend LineCounts operator-(const LineCounts& whole, const LineCounts& part) {
    return {whole.characters - part.characters, whole.blanks - part.blanks};
  }
  friend bool operator==(const LineCounts&, const LineCounts&) = default;
};

// The blanks: the space, and the ideographic space 0x81 0x40.
inline constexpr unsigned char kSpace = 0x20;
inline constexpr unsigned char kIdeographicFirst = 0x81;
inline constexpr unsigned char kIdeographicSecond = 0x40;

// The code that classifies the bytes of a block. Every variant gives the
// same results; they differ in the instructions they use. The portable one
// is plain word arithmetic and runs anywhere; the others exist on x86-64
// builds and run where the processor has their instructions.
enum class ScanVariant { kPortable, kSse2, kAvx2, kAvx512 };
inline constexpr ScanVariant kScanVariants[] = {ScanVariant::kPortable, ScanVariant::kSse2,
                                                ScanVariant::kAvx2, ScanVariant::kAvx512};

std::string_view NameOf(ScanVariant variant);
// Whether this build has the variant and this processor can run it.
bool CanRun(ScanVariant variant);
// The fastest variant this processor can run, chosen once.
ScanVariant BestScanVariant();
// Whether the variant's processors also count bits and deposit bits in one
// instruction each (POPCNT, BMI2), so that what reads the scan may use them.
constexpr bool HasBitInstructions(ScanVariant variant) {
  return variant == ScanVariant::kAvx2 || variant == ScanVariant::kAvx512;
}

// The characters that may begin a piece of markup, and the bracket that
// closes a reading, which a scan can mark besides counting, so that the
// readers of markup need no pass of their own. A two-byte mark has the lead
// byte 0x81 and is given by its second byte; a single-byte one by its byte.
// The marks of ruby are told apart from the notation's other triggers, so
// that a line of ruby and nothing else is read from them alone. A notation
// without a mark leaves it 0, a byte no source line holds.
struct Triggers {
  unsigned char open_second = 0;   // opens a reading: 《
  unsigned char bar_second = 0;    // marks where a base begins: ｜
  unsigned char bar_single = 0;    // the same: |
  unsigned char other_second = 0;  // begins other markup
  unsigned char other_single = 0;  // the same
  unsigned char close_second = 0;  // closes a reading (no trigger): 》
};

// Where a scan marks triggers, the opening brackets of ruby among them,
// closes, and the blanks it counted: one bit per byte at the characters
// they begin, in words laid out like the starts, size / 64 + 2 of them for
// a line of size bytes, with no mark past the line's end. others: whether a
// trigger other than ruby's was found.
struct TriggerWords {
  std::vector<std::uint64_t> opens;
  std::vector<std::uint64_t> triggers;
  std::vector<std::uint64_t> closes;
  std::vector<std::uint64_t> blanks;
  bool others = false;
};

// Where the characters of one line begin, and its counts. Scan() classifies
// the line's bytes once; afterwards StartsAt() answers for any position
// before the line's end, and Word(i) gives the starts of bytes 64 i to
// 64 i + 63 as bits (Word of the block after the last one is 0). A lone lead
// byte at the end of the line begins a character there that the counts
// leave out.
class LineStarts {
 public:
  LineCounts Scan(std::string_view line, ScanVariant variant = BestScanVariant());
  // The same scan, which also marks the triggers of markup in marks.
  LineCounts ScanMarked(std::string_view line, const Triggers& triggers, TriggerWords& marks,
                        ScanVariant variant = BestScanVariant());
  // For a line of at most size bytes made of whole characters of a line
  // scanned already, whose starts and counts the caller puts together: the
  // words to fill as Scan would (size / 64 + 2 of them, none set past the
  // line's end, the word after the one that holds its end 0). Refilled
  // gives the counts when the words are done.
  std::uint64_t* Refill(std::size_t size, ScanVariant variant) {
    variant_ = variant;
    return Words(size);
  }
  void Refilled(LineCounts counts) { counts_ = counts; }

  LineCounts counts() const { return counts_; }
  // The variant of the last Scan.
  ScanVariant variant() const { return variant_; }
  // The words, valid until the next Scan.
  const std::uint64_t* words() const { return long_words_.empty() ? inline_words_.data() : long_words_.data(); }
  std::uint64_t Word(std::size_t index) const { return words()[index]; }
  bool StartsAt(std::size_t position) const { return StartBit(words(), position); }

  // The bit of position in words.
  static bool StartBit(const std::uint64_t* words, std::size_t position) {
    return ((words[position / 64] >> (position % 64)) & 1u) != 0;
  }

 private:
  // Lines the reader delivers fit the words kept inline; longer ones, which
  // only direct callers pass, take words from the heap.
  static constexpr std::size_t kInlineWords = kSourceLineBytes / 64 + 2;

  // Where the words of a line of size bytes go.
  std::uint64_t* Words(std::size_t size);

  std::array<std::uint64_t, kInlineWords> inline_words_;  // written by Scan before any read
  std::vector<std::uint64_t> long_words_;
  LineCounts counts_;
  ScanVariant variant_ = ScanVariant::kPortable;
};

// line holds no NUL byte (the reader ends a line before one).
LineCounts CountCharactersAndBlanks(std::string_view line);

}  // namespace velto::measure
