#include "measure/markup/scan.h"

#include <cstring>
#include <span>


#include "measure/char_starts.h"
#include "velto/measure.hpp"

namespace velto::measure::markup {
namespace {

using char_starts::kBlockBytes;

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
constexpr std::array<std::uint64_t, 60 * kKanjiRowWords> MakeKanjiBits() {
  std::array<std::uint64_t, 60 * kKanjiRowWords> bits{};
  for (const CodeRange& range : kKanjiRanges) {
    for (unsigned code = range.first; code <= range.last; ++code) {
      // A range may span the single bytes between the two blocks of lead bytes.
      if (!sjis::IsLeadByte(static_cast<unsigned char>(code >> 8)) || !IsSecondByte(static_cast<unsigned char>(code & 0xFFu))) {
        continue;
      }
      const unsigned bit = KanjiBit(code >> 8, code & 0xFFu);
      bits[bit / 64u] |= std::uint64_t{1} << (bit % 64u);
    }
  }
  return bits;
}

constexpr std::array<unsigned char, 128> MakeKanjiRows(const std::array<std::uint64_t, 60 * kKanjiRowWords>& bits) {
  std::array<unsigned char, 128> rows{};
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    if (!sjis::IsLeadByte(static_cast<unsigned char>(lead))) continue;
    bool all = true;
    for (unsigned second = 0; second <= 0xFF; ++second) {
      if (!IsSecondByte(static_cast<unsigned char>(second))) continue;
      const unsigned bit = KanjiBit(lead, second);
      all = all && ((bits[bit / 64u] >> (bit % 64u)) & 1u) != 0;
    }
    rows[lead - 0x80] = all ? 1 : 0;
  }
  return rows;
}

// Half-width katakana are single bytes.
constexpr unsigned char kHalfKanaFirst = 0xA6;
constexpr unsigned char kHalfKanaLast = 0xDF;

}  // namespace

constinit const std::array<std::uint64_t, 60 * kKanjiRowWords> kKanjiBits = MakeKanjiBits();
constinit const std::array<unsigned char, 128> kKanjiRows = MakeKanjiRows(MakeKanjiBits());

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


LineCounts TriggerScanner::Scan(std::string_view line, ScanVariant variant) {
  line_ = line;
  const std::size_t size = line.size();
  const LineCounts counts = scan_.ScanMarked(line, triggers_of_, words_, variant);
  starts_ = scan_.words();
  opens_ = words_.opens.data();
  triggers_ = words_.triggers.data();
  closes_ = words_.closes.data();
  blanks_ = words_.blanks.data();
  size_ = size;
  only_ruby_ = !words_.others;
  // Find reads the block at in_place_ (if the line reaches into it) from a
  // copy padded with zeros, which match no character it looks for.
  in_place_ = size > kBlockBytes ? (size - kBlockBytes - 1) / kBlockBytes + 1 : 0;
  const std::size_t tail = in_place_ * kBlockBytes;
  if (tail < size) {
    tail_.fill(0);
    std::memcpy(tail_.data(), line.data() + tail, size - tail);
  }
  return counts;
}

}  // namespace velto::measure::markup
