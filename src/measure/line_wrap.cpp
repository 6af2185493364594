#include "measure/line_wrap.h"

#include <cstring>
#include <limits>
#include <string>

#include "measure/char_starts.h"
#include "velto/measure.hpp"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define VELTO_WRAP_BIT_INSTRUCTIONS 1
#include <immintrin.h>
#endif

namespace velto::measure {
namespace {

using char_starts::kBlockBytes;
using sjis::IsLeadByte;

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
    : line_length_(rules.line_length), backoff_limit_(rules.backoff_limit), class_(256 * 256) {
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
    if (IsLeadByte(byte)) {
      class_[PairIndex(byte, ByteAt(members, position + 1))] |= bits;
    } else {
      for (unsigned second = 0; second < 256; ++second) class_[PairIndex(byte, second)] |= bits;
    }
  }
}

inline std::uint8_t LineWrapper::ClassAt(const Text& text, std::size_t position) const {
  // The end of the line and a lead byte it cuts off are members of no set.
  if (position >= text.chars_end) return 0;
  // The byte after a single-byte character at the very end of the line is
  // not there to read; its row holds the same class in every column.
  const unsigned char second = position + 1 < text.bytes.size() ? ByteAt(text.bytes, position + 1) : 0;
  return class_[PairIndex(ByteAt(text.bytes, position), second)];
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

inline bool LineWrapper::RuleApplies(const Text& text, const Candidate& candidate) const {
  // The last character lies before the split, so it needs none of ClassAt's
  // checks: the byte before the split is its second byte when it has two,
  // and when it has one, any second byte gives the same class.
  const std::uint8_t last =
      class_[PairIndex(ByteAt(text.bytes, candidate.last), ByteAt(text.bytes, candidate.split - 1))];
  return ((last & kNoEnd) | (ClassAt(text, candidate.split) & kNoTop)) != 0;
}

LineWrapper::Break LineWrapper::ApplyRules(const Text& text, std::size_t rest, const Candidate& candidate) const {
  BackCursor cursor(text.starts, rest, candidate.last);
  const std::size_t split = BackOffFromNoEnd(text, cursor, candidate);
  Break found = ApplyNoTopRule(text, cursor, split);
  // Every display line takes at least one character: when the two back-offs
  // together leave nothing, the line breaks hard at the candidate.
  if (found.split == rest) found.split = candidate.split;
  return found;
}

// ---------------------------------------------------------------------------
// The kernels.

template <>
struct LineWrapper::Kernel<false> {
  using Ranks = char_starts::BitRanks;
#define VELTO_WRAP_TARGET
#include "measure/line_wrap_kernel.inc"
#undef VELTO_WRAP_TARGET
};

#if defined(VELTO_WRAP_BIT_INSTRUCTIONS)
template <>
struct LineWrapper::Kernel<true> {
#define VELTO_WRAP_TARGET __attribute__((target("popcnt,bmi,bmi2")))
  // The bit questions in one instruction or two each: a bit count, and the
  // rank-th set bit found by depositing a single bit into the word.
  class Ranks {
   public:
    Ranks() = default;
    explicit Ranks(std::uint64_t bits) : bits_(bits) {}
    VELTO_WRAP_TARGET unsigned Count() const { return static_cast<unsigned>(_mm_popcnt_u64(bits_)); }
    VELTO_WRAP_TARGET unsigned Below(unsigned position) const {
      return static_cast<unsigned>(_mm_popcnt_u64(_bzhi_u64(bits_, position)));
    }
    VELTO_WRAP_TARGET unsigned Select(unsigned rank) const {
      return static_cast<unsigned>(_tzcnt_u64(_pdep_u64(std::uint64_t{1} << rank, bits_)));
    }

   private:
    std::uint64_t bits_ = 0;
  };
#include "measure/line_wrap_kernel.inc"
#undef VELTO_WRAP_TARGET
};
#endif

bool LineWrapper::Wraps(std::size_t chars_end) const {
  return line_length_ != 0 && chars_end >= line_length_;
}

std::uint64_t LineWrapper::CountBreaks(const Text& text, [[maybe_unused]] ScanVariant variant,
                                       std::size_t& final_begin) const {
#if defined(VELTO_WRAP_BIT_INSTRUCTIONS)
  if (HasBitInstructions(variant)) return Kernel<true>::CountBreaks(*this, text, final_begin);
#endif
  return Kernel<false>::CountBreaks(*this, text, final_begin);
}

std::int32_t LineWrapper::CountDisplayLines(const Text& text, ScanVariant variant) const {
  std::uint64_t count = 0;
  std::size_t final_begin = 0;
  if (Wraps(text.chars_end)) count = CountBreaks(text, variant, final_begin);
  // The final, partial line; an empty line is one empty display line.
  if (final_begin < text.bytes.size() || text.bytes.empty()) ++count;
  constexpr auto kMost = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(count < kMost ? count : kMost);
}

std::int32_t LineWrapper::CountDisplayLines(std::string_view source_line) const {
  const std::string_view line = WrappedPart(source_line);
  const std::size_t chars_end = sjis::CharsEnd(line);
  LineStarts starts;
  if (Wraps(chars_end)) starts.Scan(line);
  return CountDisplayLines(Text{line, chars_end, starts.words()}, starts.variant());
}

std::int32_t LineWrapper::CountDisplayLines(std::string_view source_line, const LineStarts& starts) const {
  const std::string_view line = WithoutLineFeed(source_line);
  return CountDisplayLines(Text{line, sjis::CharsEnd(line), starts.words()}, starts.variant());
}

LineWrapper::Walker::Walker(const LineWrapper& wrapper, std::string_view source_line, ScanVariant variant)
    : wrapper_(&wrapper), line_(WrappedPart(source_line)), chars_end_(sjis::CharsEnd(line_)) {
  if (wrapper_->Wraps(chars_end_)) {
    starts_.Scan(line_, variant);
    Kernel<false>::MoveTo(Text{line_, chars_end_, starts_.words()}, scan_, 0);
  }
}

bool LineWrapper::Walker::Next(DisplayLine& out) {
  if (done_) return false;
  const Text text{line_, chars_end_, starts_.words()};
  if (wrapper_->Wraps(chars_end_) && Kernel<false>::PlaceDisplayLine(*wrapper_, text, scan_, out)) return true;
  done_ = true;
  // The final, partial line; an empty line is one empty display line.
  if (scan_.rest < line_.size() || line_.empty()) {
    out = DisplayLine{scan_.rest, line_.size(), false};
    return true;
  }
  return false;
}

}  // namespace velto::measure
