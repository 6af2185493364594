#include "measure/markup/scan.h"

#include <cstring>
#include <span>

#include "measure/char_starts.h"
#include "velto/measure.hpp"

namespace velto::measure::markup {
namespace {

using char_starts::kBlockBytes;

constexpr unsigned char kWideLead = 0x81;

struct CodeRange {
  unsigned first, last;
};

bool InRanges(unsigned code, std::span<const CodeRange> ranges) {
  for (const CodeRange& range : ranges) {
    if (code >= range.first && code <= range.last) return true;
  }
  return false;
}

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

}  // namespace

bool IsKanjiOutsideFullRows(unsigned code) { return InRanges(code, kKanjiRanges); }

bool IsKana(std::string_view text, std::size_t position) {
  const auto byte = static_cast<unsigned char>(text[position]);
  if (byte >= kHalfKanaFirst && byte <= kHalfKanaLast) return true;
  if (sjis::CharLength(text, position) != 2) return false;
  const auto second = static_cast<unsigned char>(text[position + 1]);
  return IsSecondByte(second) && InRanges((unsigned{byte} << 8) | second, kKanaRanges);
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

void TriggerScanner::Load(std::size_t block) {
  block_ = block;
  loaded_ = true;
  const std::size_t available = line_.size() - block;
  const char* bytes = line_.data() + block;
  char padded[kBlockBytes + 16];
  std::uint64_t valid = ~std::uint64_t{0};
  if (available <= kBlockBytes) {
    std::memset(padded, 0, sizeof padded);
    std::memcpy(padded, bytes, available);
    bytes = padded;
    if (available < kBlockBytes) valid = (std::uint64_t{1} << available) - 1;
  }
  static_assert(kScanBlock == kBlockBytes);
  hits_ = Candidates(bytes) & valid;
}

std::uint64_t TriggerScanner::Candidates(const char* bytes) {
  const std::array<unsigned char, 4>& seconds = triggers_.second_bytes;
  const std::array<unsigned char, 2>& singles = triggers_.single_bytes;
#if defined(VELTO_CHAR_STARTS_SSE2)
  // One pass over the block, sixteen bytes and the sixteen after each. The
  // byte patterns are made once for all blocks of the line.
  if (!patterns_ready_) {
    for (std::size_t i = 0; i < seconds.size(); ++i) patterns_[i].fill(seconds[i]);
    patterns_[4].fill(singles[0]);
    patterns_[5].fill(singles[1]);
    patterns_ready_ = true;
  }
  const auto pattern = [&](std::size_t i) {
    __m128i value;
    std::memcpy(&value, patterns_[i].data(), sizeof value);
    return value;
  };
  const __m128i lead = _mm_set1_epi8(static_cast<char>(kWideLead));
  const __m128i second0 = pattern(0);
  const __m128i second1 = pattern(1);
  const __m128i second2 = pattern(2);
  const __m128i second3 = pattern(3);
  const __m128i single0 = pattern(4);
  const __m128i single1 = pattern(5);
  std::uint64_t hits = 0;
  for (unsigned i = 0; i < kBlockBytes / 16; ++i) {
    __m128i here;
    __m128i next;
    std::memcpy(&here, bytes + 16 * i, sizeof here);
    std::memcpy(&next, bytes + 16 * i + 1, sizeof next);
    const __m128i any_second =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(next, second0), _mm_cmpeq_epi8(next, second1)),
                     _mm_or_si128(_mm_cmpeq_epi8(next, second2), _mm_cmpeq_epi8(next, second3)));
    const __m128i wide = _mm_and_si128(_mm_cmpeq_epi8(here, lead), any_second);
    const __m128i single = _mm_or_si128(_mm_cmpeq_epi8(here, single0), _mm_cmpeq_epi8(here, single1));
    hits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_or_si128(wide, single)))} << (16 * i);
  }
  return hits;
#else
  std::uint64_t any_second = 0;
  for (const unsigned char second : seconds) any_second |= char_starts::EqualBits(bytes + 1, second);
  std::uint64_t hits = char_starts::EqualBits(bytes, kWideLead) & any_second;
  for (const unsigned char single : singles) hits |= char_starts::EqualBits(bytes, single);
  return hits;
#endif
}

}  // namespace velto::measure::markup
