// Reading code page 932 text for markup: the characters the notations are
// made of, the character classes their rules name (kanji, kana), and the
// searches a filter makes through one source line.
//
// Markup characters such as 《 or ［ are two-byte characters, and the second
// byte of any two-byte character may look like ASCII ('[' ']' '|' '(' ')'
// are all possible second bytes). Every search here therefore moves from
// character to character, or checks that what it found begins a character.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "measure/char_starts.h"
#include "measure/line_counts.h"
#include "velto/measure.hpp"

namespace velto::measure::markup {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// Markup characters, as code page 932 bytes.
inline constexpr std::string_view kFullBar = "\x81\x62";         // ｜
inline constexpr std::string_view kRubyOpen = "\x81\x73";        // 《
inline constexpr std::string_view kRubyClose = "\x81\x74";       // 》
inline constexpr std::string_view kBracketOpen = "\x81\x6d";     // ［
inline constexpr std::string_view kBracketClose = "\x81\x6e";    // ］
inline constexpr std::string_view kSharp = "\x81\x94";           // ＃
inline constexpr std::string_view kReferenceMark = "\x81\xa6";   // ※
inline constexpr std::string_view kFullParenOpen = "\x81\x69";   // （
inline constexpr std::string_view kFullParenClose = "\x81\x6a";  // ）

// Whether the character that begins at position (a character start) is c.
// A two-byte c never matches the trail byte of another character, since
// position is a character start. Markup characters are one or two bytes,
// compared here without a call.
inline bool IsAt(std::string_view text, std::size_t position, std::string_view c) {
  if (position > text.size() || text.size() - position < c.size()) return false;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (text[position + i] != c[i]) return false;
  }
  return true;
}

// A second byte that code page 932 uses: 0x40-0x7E and 0x80-0xFC.
inline constexpr unsigned char kSecondByteLow = 0x40;
inline constexpr unsigned char kSecondByteHigh = 0xFC;
inline constexpr unsigned char kUnusedSecondByte = 0x7F;
constexpr bool IsSecondByte(unsigned char second) {
  return second >= kSecondByteLow && second <= kSecondByteHigh && second != kUnusedSecondByte;
}

// Kanji as the notations read them for a ruby base: the ideographs of code
// page 932 (both levels and both extension blocks) and the four marks that
// writers set among kanji: 々 〆 〇 and the counter ヶ (with 仝, which is an
// ideograph placed among the symbols). A ruby base is read backwards one
// character at a time, so each is one bit of a table: the 60 lead bytes in
// order (0x81-0x9F, then 0xE0-0xFC), each a row of four words for the 256
// second bytes. A second byte that code page 932 does not use is no kanji.
inline constexpr std::size_t kKanjiRowWords = 4;
extern const std::array<std::uint64_t, 60 * kKanjiRowWords> kKanjiBits;

// The place of the bit of the two-byte character lead, second in
// kKanjiBits; lead is a lead byte.
constexpr unsigned KanjiBit(unsigned lead, unsigned second) {
  const unsigned row = lead >= sjis::kSecondLeadLow ? lead - sjis::kSecondLeadLow + 31u : lead - sjis::kFirstLeadLow;
  return row * 256u + second;
}

// Per byte value from 0x80 on: 1 for a lead byte whose every character is
// kanji (whatever second byte code page 932 uses follows it), else 0. A
// check of many characters at once can settle most kanji on the lead byte
// alone.
extern const std::array<unsigned char, 128> kKanjiRows;

// Whether the two-byte character lead, second is kanji; lead is a lead byte.
inline bool IsKanjiCode(unsigned char lead, unsigned char second) {
  const unsigned bit = KanjiBit(lead, second);
  return ((kKanjiBits[bit / 64u] >> (bit % 64u)) & 1u) != 0;
}

// The same for the character that begins at position in text.
inline bool IsKanji(std::string_view text, std::size_t position) {
  if (position + 1 >= text.size()) return false;
  const auto lead = static_cast<unsigned char>(text[position]);
  return sjis::IsLeadByte(lead) && IsKanjiCode(lead, static_cast<unsigned char>(text[position + 1]));
}

// Kana: hiragana, katakana (full and half width), the long vowel mark and
// the kana iteration marks.
bool IsKana(std::string_view text, std::size_t position);

// The start of the character that ends at end, where floor < end and both
// are character boundaries. A byte that is not a lead byte always ends a
// character, so the run of lead-byte values before the last byte decides.
inline std::size_t PreviousCharStart(std::string_view text, std::size_t floor, std::size_t end) {
  const auto lead_value = [&](std::size_t at) {
    return sjis::IsLeadByte(static_cast<unsigned char>(text[at]));
  };
  if (end - floor < 2) return floor;
  // A lead-byte value just before end cannot begin a character there (end
  // is a boundary), so it is the second byte of a pair.
  if (lead_value(end - 1)) return end - 2;
  // Otherwise the lead-byte values before it pair off from the boundary
  // that precedes them: an odd run leaves its last byte as the lead of the
  // character that ends at end.
  std::size_t run = 0;
  for (std::size_t at = end - 1; at > floor && lead_value(at - 1); --at) ++run;
  return run % 2 == 1 ? end - 2 : end - 1;
}

// The number of characters in text, up to limit + 1 (enough to tell that it
// holds more than limit), and whether every one of them is kana.
struct KanaRun {
  std::size_t characters = 0;
  bool all_kana = true;
};
KanaRun ReadKana(std::string_view text, std::size_t limit);

// A search for one character reads sixteen bytes at a time: readings and
// the like are short, so the character is mostly in the first ones.
inline constexpr std::size_t kLaneBytes = 16;

// Bit i set where the bytes of c (one or two) stand at bytes + i, for the
// sixteen bytes at bytes (reading the one after them too); byte by byte.
inline std::uint32_t FindInLanePortable(const char* bytes, std::string_view c) {
  std::uint32_t found = 0;
  for (std::size_t i = 0; i < kLaneBytes; ++i) {
    found |= std::uint32_t{bytes[i] == c[0] && (c.size() == 1 || bytes[i + 1] == c[1])} << i;
  }
  return found;
}

// The same with SSE2, where the processor has it.
inline std::uint32_t FindInLane(const char* bytes, std::string_view c) {
#if defined(VELTO_CHAR_STARTS_SSE2)
  __m128i here;
  std::memcpy(&here, bytes, sizeof here);
  __m128i found = _mm_cmpeq_epi8(here, _mm_set1_epi8(c[0]));
  if (c.size() == 2) {
    __m128i next;
    std::memcpy(&next, bytes + 1, sizeof next);
    found = _mm_and_si128(found, _mm_cmpeq_epi8(next, _mm_set1_epi8(c[1])));
  }
  return static_cast<std::uint16_t>(_mm_movemask_epi8(found));
#else
  return FindInLanePortable(bytes, c);
#endif
}

// What a filter asks of a scanned line: where characters begin, where the
// triggers of its notation and the marks of ruby stand, and how many
// characters a reading holds. A filter goes from trigger to trigger by bit
// searches. A line it rebuilds is counted where it is handed on, by the
// scan that its wrapping reads too.
//
// The characters are those of the line as a whole, as a walk through it
// reads them: a lead byte and the byte after it are one character, and a
// lead byte that the end of the line cuts off is one of its own. Every
// position a filter reaches is a character start of the line, so these are
// also the characters a walk from such a position reads.
//
// A copy is five pointers to words and a size, made by the scanner
// (TriggerScanner::marks): a loop that writes text keeps it in registers,
// where the members of the scanner would be read again after every byte
// written, since the bytes might be any of them.
class LineMarks {
 public:
  // The size of the line.
  std::size_t size() const { return size_; }

  // The first trigger at or after from (a character start, or the end of
  // the line); the line's size when there is none.
  std::size_t Next(std::size_t from) const { return NextMarked(triggers_, from); }
  // The first closing bracket of ruby at or after from (a character start,
  // or the end of the line); the line's size when there is none.
  std::size_t NextClose(std::size_t from) const { return NextMarked(closes_, from); }
  // Whether every trigger of the line is an opening bracket or a bar of
  // ruby.
  bool OnlyRuby() const { return only_ruby_; }
  // The marks as words of 64 bytes' bits (see TriggerWords), for a reading
  // of the whole line at once.
  const std::uint64_t* start_words() const { return starts_; }
  const std::uint64_t* open_words() const { return opens_; }
  const std::uint64_t* trigger_words() const { return triggers_; }
  const std::uint64_t* close_words() const { return closes_; }
  const std::uint64_t* blank_words() const { return blanks_; }

  // Whether a character of the line begins at position, or position is the
  // end of the line. A lead byte that the end of the line cuts off is a
  // character of its own here, as a walk through the characters reads it.
  bool IsBoundary(std::size_t position) const {
    return position >= size_ || LineStarts::StartBit(starts_, position);
  }

  // The characters from begin to end, both boundaries. Readings are short,
  // mostly within one block, and each is counted once, so the blocks
  // between are counted here rather than every block when the line is
  // scanned.
  std::uint32_t Characters(std::size_t begin, std::size_t end) const {
    std::size_t block = begin / kBlockBytes;
    const std::size_t last = end / kBlockBytes;
    if (block == last) return CountStarts(starts_[block], begin, end);
    unsigned count = CountBits(starts_[block] & ~BitsBetween(0, begin % kBlockBytes));
    while (++block < last) count += CountBits(starts_[block]);
    return count + CountBits(starts_[last] & BitsBetween(0, end % kBlockBytes));
  }

 protected:
  static constexpr std::size_t kBlockBytes = char_starts::kBlockBytes;

  // The number of set bits; the x86-64 baseline has no instruction for it.
  static unsigned CountBits(std::uint64_t bits) { return char_starts::BitRanks(bits).Count(); }
  // The bits of a block from position begin up to end (0 to 64).
  static std::uint64_t BitsBetween(std::size_t begin, std::size_t end) {
    const std::uint64_t below_end = end == kBlockBytes ? ~std::uint64_t{0} : (std::uint64_t{1} << end) - 1;
    return below_end & (~std::uint64_t{0} << begin);
  }

  // One word for each 64 bytes and one more, so that the end of the line
  // lies inside a word, and one after them that holds nothing.
  const std::uint64_t* starts_ = nullptr;
  const std::uint64_t* opens_ = nullptr;
  const std::uint64_t* triggers_ = nullptr;
  const std::uint64_t* closes_ = nullptr;
  const std::uint64_t* blanks_ = nullptr;
  std::size_t size_ = 0;
  bool only_ruby_ = true;

 private:
  // The first place at or after from whose bit in words is set; the line's
  // size when there is none. Marks are mostly close together, so the block
  // of from and the one after it are read at once, without a branch on
  // which of them holds the place (that branch would go either way as
  // often as not, and the processor would mostly guess it wrong).
  std::size_t NextMarked(const std::uint64_t* words, std::size_t from) const {
    std::size_t block = from / kBlockBytes;
    std::uint64_t here = words[block] & (~std::uint64_t{0} << (from % kBlockBytes));
    for (;;) {
      const std::uint64_t next = words[block + 1];
      if ((here | next) != 0) {
        const std::size_t in_here = LowestBit(here);
        const std::size_t in_next = kBlockBytes + LowestBit(next);
        return block * kBlockBytes + (here != 0 ? in_here : in_next);
      }
      // Neither block holds one: two blocks on, unless the line ends.
      block += 2;
      if (block * kBlockBytes > size_) return size_;
      here = words[block];
    }
  }
  // The place of the lowest set bit; 63 when none is set, which a caller
  // tells apart where it matters. std::countr_zero gives 64 then, and the
  // compiler may test for it with a branch that data decides.
  static unsigned LowestBit(std::uint64_t bits) {
    return static_cast<unsigned>(std::countr_zero(bits | (std::uint64_t{1} << (kBlockBytes - 1))));
  }
  // The character starts of a block from begin to end, places in the same
  // block. Most text between markup is two-byte characters, which begin at
  // every other byte: they are counted without a bit count.
  static unsigned CountStarts(std::uint64_t starts, std::size_t begin, std::size_t end) {
    const std::uint64_t between = BitsBetween(begin % kBlockBytes, end % kBlockBytes);
    const std::uint64_t every_other = (char_starts::detail::kEvenBits << (begin % kBlockBytes)) & between;
    if ((starts & between) == every_other) return static_cast<unsigned>((end - begin + 1) / 2);
    return CountBits(starts & between);
  }
};

// One source line read once, 64 bytes at a time, for everything a filter
// asks of it (see LineMarks), and for its count: the scan that counts the
// line marks its triggers in the same pass.
class TriggerScanner : public LineMarks {
 public:
  explicit TriggerScanner(const Triggers& triggers) : triggers_of_(triggers) {}
  TriggerScanner(std::string_view line, const Triggers& triggers, ScanVariant variant = BestScanVariant())
      : triggers_of_(triggers) {
    Scan(line, variant);
  }
  TriggerScanner(const TriggerScanner&) = delete;
  TriggerScanner& operator=(const TriggerScanner&) = delete;

  // Reads line, which the scanner then refers to. The storage grows to the
  // longest line read and is kept, so reading allocates nothing after that.
  // Returns the line's counts.
  LineCounts Scan(std::string_view line, ScanVariant variant = BestScanVariant());
  std::string_view line() const { return line_; }
  // The character starts of the line, as a wrapping reads them.
  const LineStarts& starts() const { return scan_; }
  // What the scan found, as a copy that refers to the scanner.
  LineMarks marks() const { return *this; }

  // The first start of the character c (one or two bytes) at or after from;
  // kNotFound.
  std::size_t Find(std::string_view c, std::size_t from) const {
    for (std::size_t lane = from - from % kLaneBytes; lane < line_.size(); lane += kLaneBytes) {
      const std::size_t block = lane / kBlockBytes;
      const std::size_t offset = lane % kBlockBytes;
      std::uint64_t found = std::uint64_t{FindInLane(BlockBytes(block) + offset, c)} << offset;
      found &= starts_[block] & (~std::uint64_t{0} << (std::max(from, lane) % kBlockBytes));
      if (found != 0) return block * kBlockBytes + static_cast<std::size_t>(std::countr_zero(found));
    }
    return kNotFound;
  }

 private:
  // The bytes of a block and the one after them: in the line, or in the
  // padded copy of its last block.
  const char* BlockBytes(std::size_t block) const {
    return block < in_place_ ? line_.data() + block * kBlockBytes
                             : tail_.data() + (block - in_place_) * kBlockBytes;
  }

  std::string_view line_;
  const Triggers& triggers_of_;
  LineStarts scan_;
  TriggerWords words_;
  std::size_t in_place_ = 0;  // the blocks whose bytes and the byte after are all in the line
  std::array<char, kBlockBytes + 16> tail_{};
};

// Finds one character forward in a line from positions that mostly grow,
// reading each part of the line once: a search remembers where it found the
// character (or that the rest of the line has none), and the next search
// from a position up to that place is answered from it. Without this a line
// of many unclosed brackets would be read once per bracket.
class CharFinder {
 public:
  CharFinder(const TriggerScanner& line, std::string_view c) : line_(line), c_(c) {}
  // The first start of c at or after from (a character start); kNotFound.
  std::size_t From(std::size_t from) {
    if (searched_from_ != kNotFound && from >= searched_from_ && (found_ == kNotFound || from <= found_)) {
      return found_;
    }
    searched_from_ = from;
    found_ = line_.Find(c_, from);
    return found_;
  }

 private:
  const TriggerScanner& line_;
  std::string_view c_;
  std::size_t searched_from_ = kNotFound;  // no search yet
  std::size_t found_ = kNotFound;
};

}  // namespace velto::measure::markup
