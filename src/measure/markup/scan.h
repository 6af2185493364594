// Reading code page 932 text for markup: the characters the notations are
// made of, the character classes their rules name (kanji, kana), and the
// searches a filter makes through one source line.
//
// Markup characters such as 《 or ［ are two-byte characters, and the second
// byte of any two-byte character may look like ASCII ('[' ']' '|' '(' ')'
// are all possible second bytes). Every search here therefore moves from
// character to character, or checks that what it found begins a character.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "measure/char_starts.h"
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
constexpr bool IsSecondByte(unsigned char second) {
  return second >= 0x40 && second <= 0xFC && second != 0x7F;
}

// Kanji outside the lead bytes that hold nothing else (see IsKanji).
bool IsKanjiOutsideFullRows(unsigned code);

// Kanji as the notations read them for a ruby base: the ideographs of code
// page 932 (both levels and both extension blocks) and the four marks that
// writers set among kanji: 々 〆 〇 and the counter ヶ (with 仝, which is an
// ideograph placed among the symbols). A ruby base is read backwards one
// character at a time, so the common case is decided inline: the lead
// bytes 0x89-0x97, 0x99-0x9F and 0xE0-0xE9 begin nothing but kanji.
inline bool IsKanji(std::string_view text, std::size_t position) {
  if (position + 1 >= text.size()) return false;
  const auto lead = static_cast<unsigned char>(text[position]);
  const auto second = static_cast<unsigned char>(text[position + 1]);
  if (!sjis::IsLeadByte(lead) || !IsSecondByte(second)) return false;
  if ((lead >= 0x89 && lead <= 0x97) || (lead >= 0x99 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xE9)) {
    return true;
  }
  return IsKanjiOutsideFullRows((unsigned{lead} << 8) | second);
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

// Finds one character forward in a line from positions that mostly grow,
// reading each part of the line once: a search remembers where it found the
// character (or that the rest of the line has none), and the next search
// from a position up to that place is answered from it. Without this a line
// of many unclosed brackets would be read once per bracket.
class CharFinder {
 public:
  CharFinder(std::string_view line, std::string_view c) : line_(line), c_(c) {}
  // The first start of c at or after from (a character start); kNotFound.
  std::size_t From(std::size_t from) {
    if (searched_from_ != kNotFound && from >= searched_from_ && (found_ == kNotFound || from <= found_)) {
      return found_;
    }
    searched_from_ = from;
    found_ = kNotFound;
    for (std::size_t at = from; at < line_.size(); at += sjis::CharLength(line_, at)) {
      if (line_[at] == c_[0] && IsAt(line_, at, c_)) {
        found_ = at;
        break;
      }
    }
    return found_;
  }

 private:
  std::string_view line_;
  std::string_view c_;
  std::size_t searched_from_ = kNotFound;  // no search yet
  std::size_t found_ = kNotFound;
};

// The characters that may begin a piece of markup: two-byte characters with
// the lead byte 0x81 (given by their second bytes) and single bytes. Unused
// places repeat a byte in use, or hold 0, a byte no source line holds.
struct Triggers {
  std::array<unsigned char, 4> second_bytes{};
  std::array<unsigned char, 2> single_bytes{};
};

// Finds the trigger characters of a line 64 bytes at a time: the blocks
// are searched for the triggers' bytes at once, and only the places found
// are checked for being character starts. A line without triggers is handed
// on as it stands, and a line with some is copied between them, so the cost
// of markup stays close to the cost of reading the line.
class TriggerScanner {
 public:
  TriggerScanner(std::string_view line, const Triggers& triggers) : line_(line), triggers_(triggers) {}
  // The first trigger at or after from (a character start); the line's size
  // when there is none.
  std::size_t Next(std::size_t from) {
    const std::size_t known_start = from;
    while (from < line_.size()) {
      if (!loaded_ || from < block_ || from >= block_ + kScanBlock) Load(from);
      for (std::uint64_t ahead = hits_ & (~std::uint64_t{0} << (from - block_)); ahead != 0;
           ahead &= ahead - 1) {
        const std::size_t at = block_ + static_cast<std::size_t>(std::countr_zero(ahead));
        if (BeginsCharacter(at, known_start)) return at;
      }
      from = block_ + kScanBlock;
    }
    return line_.size();
  }

 private:
  static constexpr std::size_t kScanBlock = 64;

  void Load(std::size_t block);
  std::uint64_t Candidates(const char* bytes);
  // position begins a character when the run of lead-byte values just
  // before it, counted back to a known start, is even: a byte that is not a
  // lead byte always ends a character, and a run pairs off from its
  // beginning.
  bool BeginsCharacter(std::size_t position, std::size_t known_start) const {
    std::size_t run = 0;
    while (position - run > known_start &&
           sjis::IsLeadByte(static_cast<unsigned char>(line_[position - run - 1]))) {
      ++run;
    }
    return run % 2 == 0;
  }

  std::string_view line_;
  const Triggers& triggers_;
  std::size_t block_ = 0;
  std::uint64_t hits_ = 0;  // bit i: a trigger's bytes stand at block_ + i
  bool loaded_ = false;
#if defined(VELTO_CHAR_STARTS_SSE2)
  // Each trigger byte sixteen times, for the vector compares.
  std::array<std::array<unsigned char, 16>, 6> patterns_;
  bool patterns_ready_ = false;
#endif
};

}  // namespace velto::measure::markup
