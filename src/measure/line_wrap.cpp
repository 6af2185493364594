#include "measure/line_wrap.h"

#include <bit>
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

// The position of the highest set bit of x, which is not 0.
std::size_t LastBit(std::uint64_t x) { return static_cast<std::size_t>(std::bit_width(x)) - 1; }

// Bytes of the whole character that begins at position (before chars_end).
std::size_t CharBytes(std::string_view line, std::size_t position) {
  return IsLeadByte(ByteAt(line, position)) ? 2 : 1;
}

// A set ends at its first NUL.
std::string_view UpToNul(std::string_view set) { return set.substr(0, set.find('\0')); }

// The part of a source line that is wrapped: the line is a C string, so it
// ends at its first NUL; one trailing line feed is no character of it.
std::string_view WrappedPart(std::string_view source_line) {
  if (source_line.empty()) return source_line;
  if (const void* nul = std::memchr(source_line.data(), '\0', source_line.size())) {
    source_line = source_line.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) -
                                                                 source_line.data()));
  }
  if (!source_line.empty() && source_line.back() == '\n') source_line.remove_suffix(1);
  return source_line;
}

// ---------------------------------------------------------------------------

}  // namespace

// Steps back over characters, from a character boundary toward the start of
// the rest (the floor), never below it. A byte that is not a lead byte always
// ends a character, so the boundary before a position follows from the
// parity of the run of lead bytes in front of it. The cursor remembers that
// run: stepping back through a long run costs one scan, not one per step.
class LineWrapper::BackCursor {
 public:
  BackCursor(std::string_view line, std::size_t floor, std::size_t position)
      : line_(line), floor_(floor), position_(position), run_(position) {}

  std::size_t position() const { return position_; }
  bool AtFloor() const { return position_ == floor_; }

  // Moves to the character before the current position; not at the floor.
  void Back() {
    if (position_ - run_ >= 2) {
      position_ -= 2;
      return;
    }
    std::size_t first = position_ - 1;
    while (first > floor_ && IsLeadByte(ByteAt(line_, first - 1))) --first;
    const std::size_t leads = position_ - 1 - first;
    run_ = first;
    position_ -= leads % 2 == 1 ? 2 : 1;
  }

 private:
  std::string_view line_;
  std::size_t floor_;
  std::size_t position_;
  // The bytes in [run_, position_) are all lead bytes and even in number, so
  // every second byte from run_ begins a character.
  std::size_t run_;
};

namespace {

// The character starts of the 64 bytes from a character boundary on, among
// the characters that end by chars_end.
struct Window {
  std::uint64_t starts = 0;  // bit i: a character begins at begin + i
  std::size_t next = 0;      // the first boundary at or after begin + 64, or chars_end
};

// The lead bits of fewer than 64 bytes, from a copy padded with NUL bytes
// (no lead bytes). Kept out of line: only lines shorter than 64 bytes take
// it, and its buffer would weigh on every call of the counting loop.
#if defined(__GNUC__)
[[gnu::noinline]]
#endif
std::uint64_t ShortLeadBits(const char* bytes, std::size_t count) {
  char padded[kBlockBytes] = {};
  std::memcpy(padded, bytes, count);
  return char_starts::LeadBits(padded);
}

Window ScanWindow(std::string_view line, std::size_t begin, std::size_t chars_end) {
  const std::size_t available = chars_end - begin;
  Window window;
  std::uint64_t leads = 0;
  if (available >= kBlockBytes) {
    leads = char_starts::LeadBits(line.data() + begin);
    window.next = begin + kBlockBytes;
  } else {
    // The last window of the line: the 64 bytes that end with its
    // characters when there are so many, shifted down to begin.
    if (chars_end >= kBlockBytes) {
      const char* last_block = line.data() + chars_end - kBlockBytes;
      leads = char_starts::LeadBits(last_block) >> (kBlockBytes - available);
    } else {
      leads = ShortLeadBits(line.data() + begin, available);
    }
    window.next = chars_end;
  }
  window.starts = ~char_starts::TrailBits(leads);
  if (available < kBlockBytes) {
    window.starts &= (std::uint64_t{1} << available) - 1;
  } else {
    // A two-byte character that begins at the last byte ends one byte later.
    window.next += static_cast<std::size_t>((window.starts & leads) >> 63);
  }
  return window;
}

}  // namespace

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

inline std::uint8_t LineWrapper::ClassAt(std::string_view line, std::size_t chars_end,
                                         std::size_t position) const {
  // The end of the line and a lead byte it cuts off are members of no set.
  if (position >= chars_end) return 0;
  const unsigned char byte = ByteAt(line, position);
  if (!IsLeadByte(byte)) return single_byte_class_[byte];
  return two_byte_class_[kLeadRows[byte] * 256u + ByteAt(line, position + 1)];
}

inline bool LineWrapper::FindCandidate(std::string_view line, Scan& scan, Candidate& found) const {
  std::size_t position = scan.rest;
  std::uint64_t wanted = line_length_;
  // Every character holds at least one byte: short rests need no counting.
  if (scan.chars_end - position < wanted) return false;
  for (;;) {
    unsigned rank = 0;
    // Unsigned: a position before the window is far outside it too.
    if (position - scan.window >= kBlockBytes) {
      const Window window = ScanWindow(line, position, scan.chars_end);
      scan.window = position;
      scan.starts = char_starts::BitRanks(window.starts);
      scan.window_next = window.next;
      scan.ranked = kNowhere;  // a rank counts within one window only
    } else if (position == scan.ranked) {
      rank = scan.rank;
    } else {
      rank = scan.starts.Below(static_cast<unsigned>(position - scan.window));
    }
    const std::uint64_t target = rank + wanted;
    const unsigned count = scan.starts.Count();
    if (target < count) {
      // wanted is at least 1, so the last character begins in the window too.
      const unsigned offset = scan.starts.Select(static_cast<unsigned>(target));
      found.split = scan.window + offset;
      found.last = scan.window + LastBit(scan.starts.bits() & ((std::uint64_t{1} << offset) - 1));
      scan.ranked = found.split;
      scan.rank = static_cast<unsigned>(target);
      return true;
    }
    wanted = target - count;
    if (wanted == 0) {
      found.split = scan.window_next;
      found.last = scan.window + LastBit(scan.starts.bits());
      return true;
    }
    if (scan.window_next >= scan.chars_end) return false;
    position = scan.window_next;
  }
}

inline std::size_t LineWrapper::BackOffFromNoEnd(std::string_view line, const Scan& scan,
                                          BackCursor& cursor, const Candidate& candidate) const {
  // At most backoff_limit_ characters move, and never the whole line.
  std::uint32_t steps = 0;
  for (; steps < backoff_limit_ && !cursor.AtFloor() &&
         (ClassAt(line, scan.chars_end, cursor.position()) & kNoEnd) != 0;
       ++steps) {
    cursor.Back();
  }
  if (steps == 0) return candidate.split;
  return cursor.position() + CharBytes(line, cursor.position());
}

inline LineWrapper::Break LineWrapper::ApplyNoTopRule(std::string_view line, const Scan& scan,
                                               BackCursor& cursor, std::size_t split) const {
  const std::uint8_t first_of_next = ClassAt(line, scan.chars_end, split);
  if ((first_of_next & kNoTop) == 0) return {split, false};
  if ((first_of_next & kHang) != 0) return HangPastMargin(line, scan, split);
  return {BackOffFromNoTop(line, scan, cursor), false};
}

inline LineWrapper::Break LineWrapper::HangPastMargin(std::string_view line, const Scan& scan,
                                               std::size_t split) const {
  // One hanging character stays on this line, unless the character after it
  // may not begin a line either: then the break stays where it is.
  const std::size_t after = split + CharBytes(line, split);
  if ((ClassAt(line, scan.chars_end, after) & kNoTop) != 0) return {split, false};
  return {after, true};
}

inline std::size_t LineWrapper::BackOffFromNoTop(std::string_view line, const Scan& scan,
                                          BackCursor& cursor) const {
  // The last character of the line moves on with the one that may not begin
  // a line; so does each before it that may not begin one either, with at
  // least one step and at most backoff_limit_ steps.
  std::size_t split = cursor.position();
  for (std::uint32_t steps = 1; steps < backoff_limit_ && !cursor.AtFloor() &&
                                (ClassAt(line, scan.chars_end, split) & kNoTop) != 0;
       ++steps) {
    cursor.Back();
    split = cursor.position();
  }
  return split;
}

bool LineWrapper::PlaceDisplayLine(std::string_view line, Scan& scan, DisplayLine& out) const {
  Candidate candidate;
  if (!FindCandidate(line, scan, candidate)) return false;
  BackCursor cursor(line, scan.rest, candidate.last);
  const std::size_t split = BackOffFromNoEnd(line, scan, cursor, candidate);
  Break found = ApplyNoTopRule(line, scan, cursor, split);
  // Every display line takes at least one character: when the two back-offs
  // together leave nothing, the line breaks hard at the candidate.
  if (found.split == scan.rest) found.split = candidate.split;

  out = DisplayLine{scan.rest, found.split, found.hangs};
  scan.rest = found.split;
  return true;
}

std::int32_t LineWrapper::CountDisplayLines(std::string_view source_line) const {
  Walker walker(*this, source_line);
  DisplayLine display_line;
  std::uint64_t count = 0;
  while (walker.Next(display_line)) ++count;
  constexpr auto kMost = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(count < kMost ? count : kMost);
}

LineWrapper::Walker::Walker(const LineWrapper& wrapper, std::string_view source_line)
    : wrapper_(&wrapper), line_(WrappedPart(source_line)) {
  scan_.chars_end = sjis::CharsEnd(line_);
}

bool LineWrapper::Walker::Next(DisplayLine& out) {
  if (done_) return false;
  // A line length of 0 means no wrapping: the line is one display line.
  if (wrapper_->line_length_ != 0 && wrapper_->PlaceDisplayLine(line_, scan_, out)) return true;
  done_ = true;
  // The final, partial line; an empty line is one empty display line.
  if (scan_.rest < line_.size() || line_.empty()) {
    out = DisplayLine{scan_.rest, line_.size(), false};
    return true;
  }
  return false;
}

}  // namespace velto::measure
