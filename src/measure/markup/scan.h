// Reading code page 932 text for markup: the characters the notations are
// made of, the character classes their rules name (kanji, kana), and the
// searches a filter makes through one source line.
//
// Markup characters such as 《 or ［ are two-byte characters, and the second
// byte of any two-byte character may look like ASCII ('[' ']' '|' '(' ')'
// are all possible second bytes). Every search here therefore moves from
// character to character, or works on the character starts of a block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

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
// position is a character start.
inline bool IsAt(std::string_view text, std::size_t position, std::string_view c) {
  return text.substr(position).starts_with(c);
}

// Kanji as the notations read them for a ruby base: the ideographs of code
// page 932 (both levels and both extension blocks) and the four marks that
// writers set among kanji: 々 〆 〇 and the counter ヶ (with 仝, which is an
// ideograph placed among the symbols).
bool IsKanji(std::string_view text, std::size_t position);
// Kana: hiragana, katakana (full and half width), the long vowel mark and
// the kana iteration marks.
bool IsKana(std::string_view text, std::size_t position);

// The start of the character that ends at end, where floor < end and both
// are character boundaries. A byte that is not a lead byte always ends a
// character, so the run of lead-byte values before the last byte decides.
std::size_t PreviousCharStart(std::string_view text, std::size_t floor, std::size_t end);

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
  std::size_t From(std::size_t from);

 private:
  std::string_view line_;
  std::string_view c_;
  std::size_t searched_from_ = kNotFound;  // no search yet
  std::size_t found_ = kNotFound;
};

// The characters that may begin a piece of markup: two-byte characters with
// the lead byte 0x81 (given by their second bytes) and single bytes.
struct Triggers {
  std::array<unsigned char, 4> second_bytes{};
  std::size_t second_count = 0;
  std::array<unsigned char, 2> single_bytes{};
  std::size_t single_count = 0;
};

// Finds the trigger characters of a line block by block, 64 bytes at a
// time, with the character starts of each block taken from its lead bytes
// at once. A line without any is handed on as it stands, and a line with
// some is copied between them, so the cost of markup stays close to the
// cost of reading the line.
class TriggerScanner {
 public:
  TriggerScanner(std::string_view line, const Triggers& triggers) : line_(line), triggers_(triggers) {}
  // The first trigger at or after from (a character start); the line's size
  // when there is none.
  std::size_t Next(std::size_t from);

 private:
  void Load(std::size_t block);
  bool IsSecondTrigger(unsigned char byte) const;

  std::string_view line_;
  const Triggers& triggers_;
  std::size_t block_ = 0;
  std::size_t block_end_ = 0;  // where the next block begins: a character start
  std::uint64_t hits_ = 0;     // bit i: a trigger begins at block_ + i
  bool loaded_ = false;
};

}  // namespace velto::measure::markup
