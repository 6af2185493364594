#include "measure/markup/scan.h"

#include <cstring>
#include <span>

#if defined(VELTO_SCAN_AVX2)
#include <immintrin.h>
#endif

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

// Half-width katakana are single bytes.
constexpr unsigned char kHalfKanaFirst = 0xA6;
constexpr unsigned char kHalfKanaLast = 0xDF;

#if defined(VELTO_CHAR_STARTS_SSE2)
__m128i Each(unsigned char byte) { return _mm_set1_epi8(static_cast<char>(byte)); }

std::uint32_t Bits(__m128i mask) { return static_cast<std::uint16_t>(_mm_movemask_epi8(mask)); }

// Where a two-byte mark with the second byte second begins: a 0x81 (wide)
// before it (next).
__m128i WideWith(__m128i wide, __m128i next, __m128i second) {
  return _mm_and_si128(wide, _mm_cmpeq_epi8(next, second));
}

// The bytes a block is compared with, each sixteen times, made once for
// all blocks of a line.
struct TriggerPatterns {
  explicit TriggerPatterns(const Triggers& triggers)
      : open_second(Each(triggers.open_second)),
        bar_second(Each(triggers.bar_second)),
        bar_single(Each(triggers.bar_single)),
        other_second(Each(triggers.other_second)),
        other_single(Each(triggers.other_single)),
        close_second(Each(triggers.close_second)) {}
  __m128i wide_lead = Each(kWideLead);
  __m128i open_second, bar_second, bar_single, other_second, other_single, close_second;
};

// Sixteen bytes and the sixteen after each at a time.
BlockMarks ReadBlockWith(const char* bytes, const TriggerPatterns& with) {
  BlockMarks marks;
  for (unsigned i = 0; i < kBlockBytes / 16; ++i) {
    __m128i here;
    __m128i next;
    std::memcpy(&here, bytes + 16 * i, sizeof here);
    std::memcpy(&next, bytes + 16 * i + 1, sizeof next);
    const __m128i wide = _mm_cmpeq_epi8(here, with.wide_lead);
    const __m128i bar = _mm_or_si128(WideWith(wide, next, with.bar_second), _mm_cmpeq_epi8(here, with.bar_single));
    const __m128i other = _mm_or_si128(WideWith(wide, next, with.other_second), _mm_cmpeq_epi8(here, with.other_single));
    const __m128i trigger = _mm_or_si128(_mm_or_si128(WideWith(wide, next, with.open_second), bar), other);
    const unsigned shift = 16 * i;
    marks.leads |= std::uint64_t{Bits(char_starts::LeadBytes(here))} << shift;
    marks.triggers |= std::uint64_t{Bits(trigger)} << shift;
    marks.others |= std::uint64_t{Bits(other)} << shift;
    marks.closes |= std::uint64_t{Bits(WideWith(wide, next, with.close_second))} << shift;
  }
  return marks;
}
#endif

#if defined(VELTO_SCAN_AVX2)
#define VELTO_TARGET_AVX2 __attribute__((target("avx2")))

// The bytes a block is compared with, each 32 times.
struct WideTriggerPatterns {
  VELTO_TARGET_AVX2 explicit WideTriggerPatterns(const Triggers& triggers)
      : open_second(_mm256_set1_epi8(static_cast<char>(triggers.open_second))),
        bar_second(_mm256_set1_epi8(static_cast<char>(triggers.bar_second))),
        bar_single(_mm256_set1_epi8(static_cast<char>(triggers.bar_single))),
        other_second(_mm256_set1_epi8(static_cast<char>(triggers.other_second))),
        other_single(_mm256_set1_epi8(static_cast<char>(triggers.other_single))),
        close_second(_mm256_set1_epi8(static_cast<char>(triggers.close_second))),
        wide_lead(_mm256_set1_epi8(static_cast<char>(kWideLead))),
        first_low(_mm256_set1_epi8(static_cast<char>(sjis::kFirstLeadLow))),
        first_span(_mm256_set1_epi8(static_cast<char>(sjis::kFirstLeadHigh - sjis::kFirstLeadLow))),
        second_low(_mm256_set1_epi8(static_cast<char>(sjis::kSecondLeadLow))),
        second_span(_mm256_set1_epi8(static_cast<char>(sjis::kSecondLeadHigh - sjis::kSecondLeadLow))) {}
  __m256i open_second, bar_second, bar_single, other_second, other_single, close_second;
  __m256i wide_lead;
  // The lead-byte ranges, tested as char_starts::LeadBytes tests them.
  __m256i first_low, first_span, second_low, second_span;
};

VELTO_TARGET_AVX2 __m256i WideWith(__m256i wide, __m256i next, __m256i second) {
  return _mm256_and_si256(wide, _mm256_cmpeq_epi8(next, second));
}

VELTO_TARGET_AVX2 std::uint64_t WideBits(__m256i mask, unsigned half) {
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(mask))} << (32 * half);
}

// 32 bytes and the 32 after each at a time.
VELTO_TARGET_AVX2 BlockMarks ReadBlockWideWith(const char* bytes, const WideTriggerPatterns& with) {
  BlockMarks marks;
  for (unsigned half = 0; half < 2; ++half) {
    __m256i here;
    __m256i next;
    std::memcpy(&here, bytes + 32 * half, sizeof here);
    std::memcpy(&next, bytes + 32 * half + 1, sizeof next);
    const __m256i wide = _mm256_cmpeq_epi8(here, with.wide_lead);
    const __m256i bar = _mm256_or_si256(WideWith(wide, next, with.bar_second), _mm256_cmpeq_epi8(here, with.bar_single));
    const __m256i other = _mm256_or_si256(WideWith(wide, next, with.other_second), _mm256_cmpeq_epi8(here, with.other_single));
    const __m256i above_first = _mm256_subs_epu8(_mm256_sub_epi8(here, with.first_low), with.first_span);
    const __m256i above_second = _mm256_subs_epu8(_mm256_sub_epi8(here, with.second_low), with.second_span);
    const __m256i leads = _mm256_cmpeq_epi8(_mm256_min_epu8(above_first, above_second), _mm256_setzero_si256());
    const __m256i trigger = _mm256_or_si256(_mm256_or_si256(WideWith(wide, next, with.open_second), bar), other);
    marks.leads |= WideBits(leads, half);
    marks.triggers |= WideBits(trigger, half);
    marks.others |= WideBits(other, half);
    marks.closes |= WideBits(WideWith(wide, next, with.close_second), half);
  }
  return marks;
}

// A block reader for ScanBlocks.
struct WideReader {
  VELTO_TARGET_AVX2 BlockMarks operator()(const char* bytes) const { return ReadBlockWideWith(bytes, patterns); }
  const WideTriggerPatterns& patterns;
};

#endif

}  // namespace

constinit const std::array<std::uint64_t, 60 * kKanjiRowWords> kKanjiBits = MakeKanjiBits();

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


BlockMarks ReadBlockPortable(const char* bytes, const Triggers& triggers) {
  BlockMarks marks;
  marks.leads = char_starts::LeadBitsPortable(bytes);
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const auto next = static_cast<unsigned char>(bytes[i + 1]);
    const auto wide_with = [&](unsigned char second) { return byte == kWideLead && next == second; };
    const bool bar = wide_with(triggers.bar_second) || byte == triggers.bar_single;
    const bool other = wide_with(triggers.other_second) || byte == triggers.other_single;
    marks.triggers |= std::uint64_t{wide_with(triggers.open_second) || bar || other} << i;
    marks.others |= std::uint64_t{other} << i;
    marks.closes |= std::uint64_t{wide_with(triggers.close_second)} << i;
  }
  return marks;
}

BlockMarks ReadBlock(const char* bytes, const Triggers& triggers) {
#if defined(VELTO_CHAR_STARTS_SSE2)
  return ReadBlockWith(bytes, TriggerPatterns(triggers));
#else
  return ReadBlockPortable(bytes, triggers);
#endif
}

#if defined(VELTO_SCAN_AVX2)
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") != 0;
  return has;
}

VELTO_TARGET_AVX2 BlockMarks ReadBlockAvx2(const char* bytes, const Triggers& triggers) {
  return ReadBlockWideWith(bytes, WideTriggerPatterns(triggers));
}
#endif

void TriggerScanner::Scan(std::string_view line) {
  Prepare(line);
#if defined(VELTO_SCAN_AVX2)
  if (HasAvx2()) {
    ScanAvx2();
    return;
  }
#endif
  ScanSse2();
}

void TriggerScanner::ScanNarrow(std::string_view line) {
  Prepare(line);
  ScanSse2();
}

// Sizes the blocks for line, and copies its last block where the bytes
// after the line are zeros.
void TriggerScanner::Prepare(std::string_view line) {
  line_ = line;
  const std::size_t size = line.size();
  storage_.resize(size / kBlockBytes + 2);
  storage_.back() = {};
  blocks_ = storage_.data();
  size_ = size;
  // The block at in_place_ (if the line reaches into it) is read from a
  // copy padded with zeros, which match no trigger.
  in_place_ = size > kBlockBytes ? (size - kBlockBytes - 1) / kBlockBytes + 1 : 0;
  const std::size_t tail = in_place_ * kBlockBytes;
  if (tail < size) {
    tail_.fill(0);
    std::memcpy(tail_.data(), line.data() + tail, size - tail);
  }
}

// Inline in each way of reading, so that the reading of a block is inline
// in the loop, in the instructions of its way.
template <typename Read>
[[gnu::always_inline]] inline void TriggerScanner::ScanBlocks(Read read) {
  const std::size_t size = line_.size();
  // 1 when the block begins with the second byte of a character begun in the
  // block before.
  std::uint64_t carry = 0;
  std::uint64_t others = 0;  // triggers other than ruby's
  // The blocks that hold bytes of the line.
  const std::size_t filled = (size + kBlockBytes - 1) / kBlockBytes;
  for (std::size_t block = 0; block < filled; ++block) {
    const std::size_t available = size - block * kBlockBytes;
    const BlockMarks marks = read(BlockBytes(block));
    std::uint64_t starts = ~((char_starts::TrailBits(marks.leads >> carry) << carry) | carry);
    carry = (starts & marks.leads) >> (kBlockBytes - 1);
    if (available <= kBlockBytes) {
      // A lead byte that the end of the line cuts off begins no character.
      starts &= BitsBetween(0, available) & ~(marks.leads & (std::uint64_t{1} << (available - 1)));
    }
    others |= marks.others & starts;
    storage_[block] = {starts, marks.triggers & starts, marks.closes & starts};
  }
  // The block past the end of a line that fills its last block.
  if (filled < storage_.size()) storage_[filled] = {};
  only_ruby_ = others == 0;
  storage_[size / kBlockBytes].starts |= std::uint64_t{1} << (size % kBlockBytes);
}

void TriggerScanner::ScanSse2() {
#if defined(VELTO_CHAR_STARTS_SSE2)
  const TriggerPatterns patterns(triggers_);
  ScanBlocks([&](const char* bytes) { return ReadBlockWith(bytes, patterns); });
#else
  ScanBlocks([&](const char* bytes) { return ReadBlockPortable(bytes, triggers_); });
#endif
}

#if defined(VELTO_SCAN_AVX2)
VELTO_TARGET_AVX2 void TriggerScanner::ScanAvx2() {
  const WideTriggerPatterns patterns(triggers_);
  ScanBlocks(WideReader{patterns});
}
#endif

}  // namespace velto::measure::markup
