#include "measure/line_wrap.h"

#include <cstring>
#include <limits>
#include <string>

#include "measure/char_starts.h"
#include "velto/measure.hpp"

namespace velto::measure {
namespace {

using char_starts::kBlockBytes;
using sjis::IsLeadByte;

// The row of each lead byte in the two-byte class table.
constexpr std::array<std::uint8_t, 256> MakeLeadRows() {
  std::array<std::uint8_t, 256> rows{};
  std::uint8_t row = 0;
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (IsLeadByte(static_cast<unsigned char>(byte))) rows[byte] = row++;
  }
  return rows;
}
constexpr std::array<std::uint8_t, 256> kLeadRows = MakeLeadRows();

unsigned char ByteAt(std::string_view line, std::size_t position) {
  return static_cast<unsigned char>(line[position]);
}

// Bytes of the whole character that begins at position (before chars_end).
std::size_t CharBytes(std::string_view line, std::size_t position) {
  return IsLeadByte(ByteAt(line, position)) ? 2 : 1;
}

// A set ends at its first NUL.
std::string_view UpToNul(std::string_view set) { return set.substr(0, set.find('\0')); }

// One trailing line feed is no character of a wrapped line.
std::string_view WithoutLineFeed(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

// The part of a source line that is wrapped: the line is a C string, so it
// ends at its first NUL; one trailing line feed is no character of it.
std::string_view WrappedPart(std::string_view source_line) {
  if (source_line.empty()) return source_line;
  if (const void* nul = std::memchr(source_line.data(), '\0', source_line.size())) {
    source_line = source_line.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) -
                                                                 source_line.data()));
  }
  return WithoutLineFeed(source_line);
}

// ---------------------------------------------------------------------------

}  // namespace

// Steps back over characters, from a character boundary toward the start of
// the rest (the floor), never below it, on the line's start bits: the
// character before a boundary is one byte long when the byte before the
// boundary begins one, else two. The word of bits in use is kept at hand,
// so a step waits on no load.
class LineWrapper::BackCursor {
 public:
  BackCursor(const std::uint64_t* starts, std::size_t floor, std::size_t position)
      : starts_(starts), floor_(floor), position_(position) {}

  std::size_t position() const { return position_; }
  bool AtFloor() const { return position_ == floor_; }

  // Moves to the character before the current position; not at the floor.
  void Back() {
    const std::size_t before = position_ - 1;
    if (before / kBlockBytes != word_index_) {
      word_index_ = before / kBlockBytes;
      word_ = starts_[word_index_];
    }
    position_ -= ((word_ >> (before % kBlockBytes)) & 1u) != 0 ? 1u : 2u;
  }

 private:
  const std::uint64_t* starts_;
  std::size_t floor_;
  std::size_t position_;
  std::size_t word_index_ = static_cast<std::size_t>(-1);  // none yet
  std::uint64_t word_ = 0;                                // starts_[word_index_]
};

std::uint32_t BackoffLimitFor(std::uint32_t line_length) {
  if (line_length == 0) return 0;
  constexpr double kShare = 0.15;
  constexpr std::uint32_t kAtLeast = 5;
  const auto limit = static_cast<std::uint32_t>(static_cast<double>(line_length) * kShare);
  return limit < kAtLeast ? kAtLeast : limit;
}

LineWrapper::LineWrapper(const LineBreakRules& rules)
    : line_length_(rules.line_length), backoff_limit_(rules.backoff_limit) {
  // Hanging characters may not begin a line either: the characters that
  // may not begin a line are both sets read as one text, so a lead byte
  // that ends the first set pairs with the first byte of the second.
  std::string no_top(UpToNul(rules.no_top_no_hang));
  no_top += UpToNul(rules.no_top_hang);
  AddMembers(no_top, kNoTop);
  AddMembers(rules.no_top_hang, kHang);
  AddMembers(rules.no_end, kNoEnd);
}

void LineWrapper::AddMembers(std::string_view set, std::uint8_t bits) {
  // A lead byte cut off by the end of the set is no character.
  std::string_view members = UpToNul(set);
  members = members.substr(0, sjis::CharsEnd(members));
  for (std::size_t position = 0; position < members.size();
       position += CharBytes(members, position)) {
    const unsigned char byte = ByteAt(members, position);
    if (!IsLeadByte(byte)) {
      single_byte_class_[byte] |= bits;
    } else {
      two_byte_class_[kLeadRows[byte] * 256u + ByteAt(members, position + 1)] |= bits;
    }
  }
}

inline std::uint8_t LineWrapper::ClassAt(const Text& text, std::size_t position) const {
  // The end of the line and a lead byte it cuts off are members of no set.
  if (position >= text.chars_end) return 0;
  const unsigned char byte = ByteAt(text.bytes, position);
  if (!IsLeadByte(byte)) return single_byte_class_[byte];
  return two_byte_class_[kLeadRows[byte] * 256u + ByteAt(text.bytes, position + 1)];
}

inline bool LineWrapper::FindCandidate(const Text& text, Scan& scan, Candidate& found) const {
  // Every character holds at least one byte: short rests need no counting.
  if (text.chars_end - scan.rest < line_length_) return false;
  // The split is the boundary with line_length characters between the rest's
  // start and it. The end of the characters counts as a boundary too, so a
  // rest of exactly line_length characters splits there.
  const std::size_t end_word = text.chars_end / kBlockBytes;
  const std::uint64_t end_bit = std::uint64_t{1} << (text.chars_end % kBlockBytes);
  const auto boundaries = [&](std::size_t word) {
    const std::uint64_t starts = text.starts[word];
    return char_starts::BitRanks(word != end_word ? starts : (starts & (end_bit - 1)) | end_bit);
  };
  std::size_t word = scan.rest / kBlockBytes;
  const auto offset = static_cast<unsigned>(scan.rest % kBlockBytes);
  unsigned rank = 0;
  if (word != scan.word) {
    scan.word = word;
    scan.ranks = boundaries(word);
    rank = scan.ranks.Below(offset);
  } else {
    rank = scan.rest == scan.ranked ? scan.rank : scan.ranks.Below(offset);
  }
  std::uint64_t target = std::uint64_t{rank} + line_length_;
  while (target >= scan.ranks.Count()) {
    if (word == end_word) return false;
    target -= scan.ranks.Count();
    scan.word = ++word;
    scan.ranks = boundaries(word);
  }
  scan.rank = static_cast<unsigned>(target);
  found.split = word * kBlockBytes + scan.ranks.Select(scan.rank);
  scan.ranked = found.split;
  found.last = found.split - (LineStarts::StartBit(text.starts, found.split - 1) ? 1u : 2u);
  return true;
}

inline std::size_t LineWrapper::BackOffFromNoEnd(const Text& text, BackCursor& cursor,
                                                 const Candidate& candidate) const {
  // At most backoff_limit_ characters move, and never the whole line.
  std::uint32_t steps = 0;
  for (; steps < backoff_limit_ && !cursor.AtFloor() && (ClassAt(text, cursor.position()) & kNoEnd) != 0;
       ++steps) {
    cursor.Back();
  }
  if (steps == 0) return candidate.split;
  return cursor.position() + CharBytes(text.bytes, cursor.position());
}

inline LineWrapper::Break LineWrapper::ApplyNoTopRule(const Text& text, BackCursor& cursor,
                                                      std::size_t split) const {
  const std::uint8_t first_of_next = ClassAt(text, split);
  if ((first_of_next & kNoTop) == 0) return {split, false};
  if ((first_of_next & kHang) != 0) return HangPastMargin(text, split);
  return {BackOffFromNoTop(text, cursor), false};
}

inline LineWrapper::Break LineWrapper::HangPastMargin(const Text& text, std::size_t split) const {
  // One hanging character stays on this line, unless the character after it
  // may not begin a line either: then the break stays where it is.
  const std::size_t after = split + CharBytes(text.bytes, split);
  if ((ClassAt(text, after) & kNoTop) != 0) return {split, false};
  return {after, true};
}

inline std::size_t LineWrapper::BackOffFromNoTop(const Text& text, BackCursor& cursor) const {
  // The last character of the line moves on with the one that may not begin
  // a line; so does each before it that may not begin one either, with at
  // least one step and at most backoff_limit_ steps.
  std::size_t split = cursor.position();
  for (std::uint32_t steps = 1;
       steps < backoff_limit_ && !cursor.AtFloor() && (ClassAt(text, split) & kNoTop) != 0; ++steps) {
    cursor.Back();
    split = cursor.position();
  }
  return split;
}

bool LineWrapper::PlaceDisplayLine(const Text& text, Scan& scan, DisplayLine& out) const {
  const std::size_t rest = scan.rest;
  Candidate candidate;
  if (!FindCandidate(text, scan, candidate)) return false;
  BackCursor cursor(text.starts, rest, candidate.last);
  const std::size_t split = BackOffFromNoEnd(text, cursor, candidate);
  Break found = ApplyNoTopRule(text, cursor, split);
  // Every display line takes at least one character: when the two back-offs
  // together leave nothing, the line breaks hard at the candidate.
  if (found.split == rest) found.split = candidate.split;

  out = DisplayLine{rest, found.split, found.hangs};
  scan.rest = found.split;
  return true;
}

bool LineWrapper::Wraps(std::size_t chars_end) const {
  return line_length_ != 0 && chars_end >= line_length_;
}

std::int32_t LineWrapper::CountDisplayLines(const Text& text) const {
  std::uint64_t count = 0;
  Scan scan;
  DisplayLine display_line;
  if (Wraps(text.chars_end)) {
    while (PlaceDisplayLine(text, scan, display_line)) ++count;
  }
  // The final, partial line; an empty line is one empty display line.
  if (scan.rest < text.bytes.size() || text.bytes.empty()) ++count;
  constexpr auto kMost = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(count < kMost ? count : kMost);
}

std::int32_t LineWrapper::CountDisplayLines(std::string_view source_line) const {
  const std::string_view line = WrappedPart(source_line);
  const std::size_t chars_end = sjis::CharsEnd(line);
  LineStarts starts;
  if (Wraps(chars_end)) starts.Scan(line);
  return CountDisplayLines(Text{line, chars_end, starts.words()});
}

std::int32_t LineWrapper::CountDisplayLines(std::string_view source_line, const LineStarts& starts) const {
  const std::string_view line = WithoutLineFeed(source_line);
  return CountDisplayLines(Text{line, sjis::CharsEnd(line), starts.words()});
}

LineWrapper::Walker::Walker(const LineWrapper& wrapper, std::string_view source_line, ScanVariant variant)
    : wrapper_(&wrapper), line_(WrappedPart(source_line)), chars_end_(sjis::CharsEnd(line_)) {
  if (wrapper_->Wraps(chars_end_)) starts_.Scan(line_, variant);
}

bool LineWrapper::Walker::Next(DisplayLine& out) {
  if (done_) return false;
  const Text text{line_, chars_end_, starts_.words()};
  if (wrapper_->Wraps(chars_end_) && wrapper_->PlaceDisplayLine(text, scan_, out)) return true;
  done_ = true;
  // The final, partial line; an empty line is one empty display line.
  if (scan_.rest < line_.size() || line_.empty()) {
    out = DisplayLine{scan_.rest, line_.size(), false};
    return true;
  }
  return false;
}

}  // namespace velto::measure
