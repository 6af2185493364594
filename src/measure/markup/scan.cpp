#include "measure/markup/scan.h"

#include <bit>
#include <cstring>

#include "measure/char_starts.h"
#include "velto/measure.hpp"

namespace velto::measure::markup {
namespace {

using char_starts::kBlockBytes;

constexpr unsigned char kWideLead = 0x81;

// A second byte that code page 932 uses: 0x40-0x7E and 0x80-0xFC.
constexpr bool IsSecondByte(unsigned second) {
  return second >= 0x40 && second <= 0xFC && second != 0x7F;
}

// The two-byte code of the character at position, or 0 for a single byte.
unsigned WideCode(std::string_view text, std::size_t position) {
  if (sjis::CharLength(text, position) != 2) return 0;
  const auto lead = static_cast<unsigned char>(text[position]);
  const auto second = static_cast<unsigned char>(text[position + 1]);
  return IsSecondByte(second) ? (unsigned{lead} << 8) | second : 0;
}

struct CodeRange {
  unsigned first, last;
};

constexpr CodeRange kKanjiRanges[] = {
    {0x889F, 0x9872},  // level 1
    {0x989F, 0xEAA4},  // level 2
    {0xED40, 0xEEEC},  // NEC's selection of the IBM extensions
    {0xFA5C, 0xFC4B},  // IBM extensions (after their numerals and signs)
    {0x8157, 0x815A},  // 仝 々 〆 〇
    {0x8396, 0x8396},  // ヶ
};

constexpr CodeRange kKanaRanges[] = {
    {0x829F, 0x82F1},  // hiragana
    {0x8340, 0x8396},  // katakana
    {0x815B, 0x815B},  // ー
    {0x8152, 0x8155},  // ヽ ヾ ゝ ゞ
};
// Half-width katakana are single bytes.
constexpr unsigned char kHalfKanaFirst = 0xA6;
constexpr unsigned char kHalfKanaLast = 0xDF;

template <std::size_t N>
bool InRanges(unsigned code, const CodeRange (&ranges)[N]) {
  for (const CodeRange& range : ranges) {
    if (code >= range.first && code <= range.last) return true;
  }
  return false;
}

}  // namespace

bool IsKanji(std::string_view text, std::size_t position) {
  const unsigned code = WideCode(text, position);
  return code != 0 && InRanges(code, kKanjiRanges);
}

bool IsKana(std::string_view text, std::size_t position) {
  const auto byte = static_cast<unsigned char>(text[position]);
  if (byte >= kHalfKanaFirst && byte <= kHalfKanaLast) return true;
  const unsigned code = WideCode(text, position);
  return code != 0 && InRanges(code, kKanaRanges);
}

std::size_t PreviousCharStart(std::string_view text, std::size_t floor, std::size_t end) {
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

KanaRun ReadKana(std::string_view text, std::size_t limit) {
  KanaRun run;
  for (std::size_t at = 0; at < text.size() && run.characters <= limit;
       at += sjis::CharLength(text, at)) {
    ++run.characters;
    run.all_kana = run.all_kana && IsKana(text, at);
  }
  return run;
}

std::size_t CharFinder::From(std::size_t from) {
  if (searched_from_ != kNotFound && from >= searched_from_ && (found_ == kNotFound || from <= found_)) {
    return found_;
  }
  searched_from_ = from;
  found_ = kNotFound;
  for (std::size_t at = from; at < line_.size(); at += sjis::CharLength(line_, at)) {
    if (IsAt(line_, at, c_)) {
      found_ = at;
      break;
    }
  }
  return found_;
}

void TriggerScanner::Load(std::size_t block) {
  block_ = block;
  loaded_ = true;
  const std::size_t available = line_.size() - block;
  const char* bytes = line_.data() + block;
  char padded[kBlockBytes];
  std::uint64_t valid = ~std::uint64_t{0};
  if (available < kBlockBytes) {
    std::memset(padded, 0, sizeof padded);
    std::memcpy(padded, bytes, available);
    bytes = padded;
    valid = (std::uint64_t{1} << available) - 1;
  }
  const std::uint64_t leads = char_starts::LeadBits(bytes);
  const std::uint64_t starts = ~char_starts::TrailBits(leads) & valid;
  std::uint64_t hits = 0;
  if (triggers_.second_count != 0) {
    std::uint64_t seconds = 0;
    for (std::size_t i = 0; i < triggers_.second_count; ++i) {
      seconds |= char_starts::EqualBits(bytes, triggers_.second_bytes[i]);
    }
    // Bit i: the byte after byte i is one of the second bytes; for the last
    // byte of a full block that byte lies beyond it.
    std::uint64_t follows = seconds >> 1;
    if (available > kBlockBytes && IsSecondTrigger(static_cast<unsigned char>(line_[block + kBlockBytes]))) {
      follows |= std::uint64_t{1} << 63;
    }
    hits |= char_starts::EqualBits(bytes, kWideLead) & starts & follows;
  }
  for (std::size_t i = 0; i < triggers_.single_count; ++i) {
    hits |= char_starts::EqualBits(bytes, triggers_.single_bytes[i]) & starts;
  }
  hits_ = hits;
  // A two-byte character that begins at the last byte ends in the next block.
  block_end_ = available <= kBlockBytes
                   ? line_.size()
                   : block + kBlockBytes + static_cast<std::size_t>(((starts & leads) >> 63) & 1);
}

bool TriggerScanner::IsSecondTrigger(unsigned char byte) const {
  for (std::size_t i = 0; i < triggers_.second_count; ++i) {
    if (triggers_.second_bytes[i] == byte) return true;
  }
  return false;
}

std::size_t TriggerScanner::Next(std::size_t from) {
  while (from < line_.size()) {
    if (!loaded_ || from < block_ || from >= block_end_) Load(from);
    const std::uint64_t ahead = hits_ & (~std::uint64_t{0} << (from - block_));
    if (ahead != 0) return block_ + static_cast<std::size_t>(std::countr_zero(ahead));
    from = block_end_;
  }
  return line_.size();
}

}  // namespace velto::measure::markup
