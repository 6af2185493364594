// One pass over the blocks of a line: each block's bytes are classified once
// (lead bytes, spaces, and the two halves of the ideographic space), and the
// character starts, the counts and the start bits the wrapping reads all
// follow from those four masks with word operations.
//
// Classifying is the part that pays for wide instructions, so it comes in
// variants: word arithmetic that runs anywhere, and on x86-64 SSE2 (every
// such processor has it), AVX2 and AVX-512BW, compiled for their
// instruction sets function by function so that the rest of the library
// still runs on a processor without them. The one scanning loop is compiled
// into each variant (line_counts_kernel.inc), and the variant is chosen once
// from what the processor reports.
#include "measure/line_counts.h"

#include <bit>
#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "measure/char_starts.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define VELTO_SCAN_X86_VARIANTS 1
#include <immintrin.h>
#endif

namespace velto::measure {
namespace {

using char_starts::kBlockBytes;

// The classified bytes of one 64-byte block, one bit per byte.
struct BlockMasks {
  std::uint64_t leads = 0;
  std::uint64_t spaces = 0;   // 0x20
  std::uint64_t firsts = 0;   // 0x81, the first byte of an ideographic space
  std::uint64_t seconds = 0;  // 0x40, its second byte
};

// Where a marked scan writes the words of each kind (see TriggerWords).
struct MarkOutput {
  std::uint64_t* opens = nullptr;
  std::uint64_t* triggers = nullptr;
  std::uint64_t* closes = nullptr;
  std::uint64_t* blanks = nullptr;
};

// Set bits by byte sums, for processors without a bit-count instruction.
unsigned CountBitsPortable(std::uint64_t bits) { return char_starts::BitRanks(bits).Count(); }

// The four masks from functions that each find one kind of byte in a block.
template <std::uint64_t (*kLeads)(const char*), std::uint64_t (*kEqual)(const char*, unsigned char)>
BlockMasks ClassifyBy(const char* block) {
  return {kLeads(block), kEqual(block, kSpace), kEqual(block, kIdeographicFirst),
          kEqual(block, kIdeographicSecond)};
}

namespace portable {
#define VELTO_SCAN_TARGET
BlockMasks Classify(const char* block) {
  return ClassifyBy<char_starts::LeadBitsPortable, char_starts::EqualBitsPortable>(block);
}
[[gnu::always_inline]] inline std::uint64_t EqualIn(const char* block, unsigned char value) {
  return char_starts::EqualBitsPortable(block, value);
}
unsigned CountBits(std::uint64_t bits) { return CountBitsPortable(bits); }
#include "measure/line_counts_kernel.inc"
#undef VELTO_SCAN_TARGET
}  // namespace portable

#if defined(VELTO_SCAN_X86_VARIANTS)

// SSE2 is part of x86-64: char_starts' sixteen-byte forms are already
// compiled for it.
namespace sse2 {
#define VELTO_SCAN_TARGET
BlockMasks Classify(const char* block) { return ClassifyBy<char_starts::LeadBits, char_starts::EqualBits>(block); }
[[gnu::always_inline]] inline std::uint64_t EqualIn(const char* block, unsigned char value) {
  return char_starts::EqualBits(block, value);
}
unsigned CountBits(std::uint64_t bits) { return CountBitsPortable(bits); }
#include "measure/line_counts_kernel.inc"
#undef VELTO_SCAN_TARGET
}  // namespace sse2

namespace avx2 {
#define VELTO_SCAN_TARGET __attribute__((target("avx2,popcnt,bmi,bmi2")))
// 0xFF in each byte of half that lies in [low, low + span].
VELTO_SCAN_TARGET __m256i InRange(__m256i half, unsigned char low, unsigned char span) {
  const __m256i above = _mm256_subs_epu8(_mm256_sub_epi8(half, _mm256_set1_epi8(static_cast<char>(low))),
                                         _mm256_set1_epi8(static_cast<char>(span)));
  return _mm256_cmpeq_epi8(above, _mm256_setzero_si256());
}
VELTO_SCAN_TARGET std::uint64_t Bits(__m256i low_half, __m256i high_half) {
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(low_half))} |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high_half))} << 32;
}
VELTO_SCAN_TARGET std::uint64_t Equal(__m256i low_half, __m256i high_half, unsigned char value) {
  const __m256i wanted = _mm256_set1_epi8(static_cast<char>(value));
  return Bits(_mm256_cmpeq_epi8(low_half, wanted), _mm256_cmpeq_epi8(high_half, wanted));
}
VELTO_SCAN_TARGET __m256i Leads(__m256i half) {
  return _mm256_or_si256(InRange(half, sjis::kFirstLeadLow, sjis::kFirstLeadHigh - sjis::kFirstLeadLow),
                         InRange(half, sjis::kSecondLeadLow, sjis::kSecondLeadHigh - sjis::kSecondLeadLow));
}
VELTO_SCAN_TARGET BlockMasks Classify(const char* block) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
  return {Bits(Leads(low), Leads(high)), Equal(low, high, kSpace), Equal(low, high, kIdeographicFirst),
          Equal(low, high, kIdeographicSecond)};
}
[[gnu::always_inline]] VELTO_SCAN_TARGET inline std::uint64_t EqualIn(const char* block, unsigned char value) {
  return Equal(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block)),
               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32)), value);
}
VELTO_SCAN_TARGET unsigned CountBits(std::uint64_t bits) {
  return static_cast<unsigned>(std::popcount(bits));
}
#include "measure/line_counts_kernel.inc"
#undef VELTO_SCAN_TARGET
}  // namespace avx2

namespace avx512 {
#define VELTO_SCAN_TARGET __attribute__((target("avx512f,avx512bw,popcnt,bmi,bmi2")))
// A bit per byte of block that lies in [low, low + span].
VELTO_SCAN_TARGET std::uint64_t InRange(__m512i block, unsigned char low, unsigned char span) {
  return _mm512_cmple_epu8_mask(_mm512_sub_epi8(block, _mm512_set1_epi8(static_cast<char>(low))),
                                _mm512_set1_epi8(static_cast<char>(span)));
}
VELTO_SCAN_TARGET std::uint64_t Equal(__m512i block, unsigned char value) {
  return _mm512_cmpeq_epi8_mask(block, _mm512_set1_epi8(static_cast<char>(value)));
}
VELTO_SCAN_TARGET BlockMasks Classify(const char* bytes) {
  const __m512i block = _mm512_loadu_si512(bytes);
  return {InRange(block, sjis::kFirstLeadLow, sjis::kFirstLeadHigh - sjis::kFirstLeadLow) |
              InRange(block, sjis::kSecondLeadLow, sjis::kSecondLeadHigh - sjis::kSecondLeadLow),
          Equal(block, kSpace), Equal(block, kIdeographicFirst), Equal(block, kIdeographicSecond)};
}
[[gnu::always_inline]] VELTO_SCAN_TARGET inline std::uint64_t EqualIn(const char* block, unsigned char value) {
  return Equal(_mm512_loadu_si512(block), value);
}
VELTO_SCAN_TARGET unsigned CountBits(std::uint64_t bits) {
  return static_cast<unsigned>(std::popcount(bits));
}
#include "measure/line_counts_kernel.inc"
#undef VELTO_SCAN_TARGET
}  // namespace avx512

#endif  // VELTO_SCAN_X86_VARIANTS

using ScanFunction = LineCounts (*)(const char* bytes, std::size_t size, std::uint64_t* words);
using MarkedScanFunction = LineCounts (*)(const char* bytes, std::size_t size, std::uint64_t* words,
                                          const Triggers& triggers, TriggerWords& marks);

#if defined(VELTO_SCAN_X86_VARIANTS)
// POPCNT and BMI2, which the variants with bit instructions may use.
bool ProcessorCountsAndDepositsBits() {
  return __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
}
#endif

// Intel's processors deposit bits (PDEP) in a few cycles, and so does every
// processor with AVX-512; AMD's earlier ones take a microcode loop that
// costs more than the portable word operations save.
bool DepositsBitsFast() {
#if defined(VELTO_SCAN_X86_VARIANTS)
  __builtin_cpu_init();
  return __builtin_cpu_is("intel") || __builtin_cpu_supports("avx512f");
#else
  return false;
#endif
}

// The variant's function of a kind: plain (ScanLine) or marked.
template <typename Function>
Function ScannerOf(ScanVariant variant) {
  struct Functions {
    ScanFunction plain;
    MarkedScanFunction marked;
  };
  Functions functions{portable::ScanLine, portable::ScanLineMarked};
  switch (variant) {
#if defined(VELTO_SCAN_X86_VARIANTS)
    case ScanVariant::kSse2: functions = {sse2::ScanLine, sse2::ScanLineMarked}; break;
    case ScanVariant::kAvx2: functions = {avx2::ScanLine, avx2::ScanLineMarked}; break;
    case ScanVariant::kAvx512: functions = {avx512::ScanLine, avx512::ScanLineMarked}; break;
#endif
    default: break;
  }
  if constexpr (std::is_same_v<Function, ScanFunction>) {
    return functions.plain;
  } else {
    return functions.marked;
  }
}

}  // namespace

std::string_view NameOf(ScanVariant variant) {
  switch (variant) {
    case ScanVariant::kPortable: return "Portable";
    case ScanVariant::kSse2: return "Sse2";
    case ScanVariant::kAvx2: return "Avx2";
    case ScanVariant::kAvx512: return "Avx512";
  }
  return "Unknown";
}

bool CanRun(ScanVariant variant) {
  switch (variant) {
    case ScanVariant::kPortable: return true;
#if defined(VELTO_SCAN_X86_VARIANTS)
    case ScanVariant::kSse2: return true;
    case ScanVariant::kAvx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") && ProcessorCountsAndDepositsBits();
    case ScanVariant::kAvx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && ProcessorCountsAndDepositsBits();
#endif
    default: return false;
  }
}

ScanVariant BestScanVariant() {
  static const ScanVariant best = [] {
    ScanVariant found = ScanVariant::kPortable;
    for (const ScanVariant variant : kScanVariants) {
      if (CanRun(variant) && (!HasBitInstructions(variant) || DepositsBitsFast())) found = variant;
    }
    return found;
  }();
  return best;
}

std::uint64_t* LineStarts::Words(std::size_t size) {
  const std::size_t words = size / kBlockBytes + 2;
  if (words <= kInlineWords) {
    long_words_.clear();
    return inline_words_.data();
  }
  long_words_.resize(words);
  return long_words_.data();
}

LineCounts LineStarts::Scan(std::string_view line, ScanVariant variant) {
  counts_ = ScannerOf<ScanFunction>(variant)(line.data(), line.size(), Words(line.size()));
  variant_ = variant;
  return counts_;
}

LineCounts LineStarts::ScanMarked(std::string_view line, const Triggers& triggers, TriggerWords& marks,
                                  ScanVariant variant) {
  const std::size_t words = line.size() / kBlockBytes + 2;
  if (marks.triggers.size() < words) {
    marks.opens.resize(words);
    marks.triggers.resize(words);
    marks.closes.resize(words);
    marks.blanks.resize(words);
  }
  counts_ = ScannerOf<MarkedScanFunction>(variant)(line.data(), line.size(), Words(line.size()), triggers, marks);
  variant_ = variant;
  return counts_;
}

LineCounts CountCharactersAndBlanks(std::string_view line) {
  LineStarts starts;
  return starts.Scan(line);
}

}  // namespace velto::measure
