// Japanese UTF-8 text is runs of ASCII and runs of three-byte characters;
// both go straight from the bytes to the code page 932 form. A three-byte
// character becomes at most two bytes, so the output never outruns the
// input, which lets every form be written as two bytes without a branch.
//
// The three-byte runs are where reading a UTF-8 file spends its time, so
// they come in variants: word arithmetic that runs anywhere, and on x86-64
// AVX-512 with byte permutes and compression, which takes sixteen
// characters a step, ASCII and forms of either length among them, up to
// the end of the line. It is compiled for its instruction sets function by
// function, so the rest of the library still runs on a processor without
// them. Both make the tests ThreeByteCodePoint makes and stop at the same
// character.
//
// AVX2 has neither byte compression nor masked byte loads; a variant on it
// that took blocks of eight two-byte forms and left everything else to the
// word step lost to the word step alone on Japanese prose, whose runs of
// kana are short, so there is none.
#include "platform/posix/utf8_straight.h"

#include <algorithm>
#include <array>
#include <bit>

#include "platform/ascii_run.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define VELTO_UTF8_X86_VARIANTS 1
// GCC 12 takes the deliberately undefined sources of some AVX-512
// intrinsics (a variable initialised from itself) for uninitialised use.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

namespace velto::platform {
namespace {

// How far a conversion has come: bytes read and bytes written.
struct Progress {
  std::size_t read = 0;
  std::size_t written = 0;
};

using RunFunction = void (*)(const unsigned char* bytes, std::size_t size, char* out, const std::uint16_t* forms,
                             Progress& at);

// Alternates ASCII runs and three-byte runs (which may take ASCII too)
// until neither takes anything.
template <RunFunction kTakeRun>
std::size_t Convert(std::string_view text, char* out, std::size_t* consumed, const std::uint16_t* forms) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  Progress at;
  for (;;) {
    // The output is never ahead of the input, so out + written has room
    // for the size - read bytes a copy of whole blocks may write.
    const std::size_t ascii = CopyAsciiRun(bytes + at.read, size - at.read, out + at.written);
    at.read += ascii;
    at.written += ascii;
    const std::size_t run_start = at.read;
    kTakeRun(bytes, size, out, forms, at);
    if (at.read == run_start) break;
  }
  *consumed = at.read;
  return at.written;
}

namespace portable {
// Two characters a step, one test for both: the steps of a long run then
// overlap.
void TakeRun(const unsigned char* bytes, std::size_t size, char* out, const std::uint16_t* forms, Progress& at) {
  while (size - at.read >= 8) {
    const std::uint64_t word = LoadEight(bytes + at.read);
    const char16_t first = ThreeByteCodePoint(static_cast<std::uint32_t>(word));
    const char16_t second = ThreeByteCodePoint(static_cast<std::uint32_t>(word >> 24));
    const std::uint16_t first_form = forms[first];
    const std::uint16_t second_form = forms[second];
    if ((first == 0) | (second == 0) | (first_form == kNoForm) | (second_form == kNoForm)) break;
    at.written = WriteForm(out, WriteForm(out, at.written, first_form), second_form);
    at.read += 6;
  }
  if (size - at.read < 3) return;
  const char16_t code_point = ThreeByteCodePoint(LoadThree(bytes + at.read));
  const std::uint16_t form = forms[code_point];
  if (code_point == 0 || form == kNoForm) return;
  at.written = WriteForm(out, at.written, form);
  at.read += 3;
}
}  // namespace portable

#if defined(VELTO_UTF8_X86_VARIANTS)

namespace avx512 {
#define VELTO_UTF8_TARGET \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2")))

// A window is 64 bytes and at most sixteen characters, one per 32-bit lane.
constexpr std::size_t kWindowBytes = 64;
constexpr unsigned kLanes = 16;

// A table of 64 bytes, byte k of which is value(k).
template <typename Value>
constexpr std::array<char, 64> ByteTable(Value value) {
  std::array<char, 64> table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) table[byte] = static_cast<char>(value(byte));
  return table;
}
// Each byte's position in the window.
constexpr auto kByteNumbers = ByteTable([](std::size_t byte) { return byte; });
// For each byte of a lane, the lane's number and the byte's offset from its
// character's start: 0, 1 and 2 (the fourth byte is masked off).
constexpr auto kLaneNumbers = ByteTable([](std::size_t byte) { return byte / 4; });
constexpr auto kLaneOffsets = ByteTable([](std::size_t byte) { return byte % 4 % 3; });

VELTO_UTF8_TARGET __m512i Splat(std::uint32_t value) { return _mm512_set1_epi32(static_cast<int>(value)); }
VELTO_UTF8_TARGET __m512i SplatBytes(unsigned char value) { return _mm512_set1_epi8(static_cast<char>(value)); }
VELTO_UTF8_TARGET __m512i Load(const std::array<char, 64>& bytes) { return _mm512_loadu_si512(bytes.data()); }

// The bits below count; count may be 64.
VELTO_UTF8_TARGET std::uint64_t LowBits(std::size_t count) { return _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(count)); }
// The position of the start numbered k, counting from 0, in starts.
VELTO_UTF8_TARGET unsigned StartNumbered(std::uint64_t starts, unsigned k) {
  return static_cast<unsigned>(std::countr_zero(_pdep_u64(std::uint64_t{1} << k, starts)));
}

// Where the characters of a window start and where the window's plain
// characters must end, from the kinds of its bytes alone: at a byte that is
// neither ASCII nor part of a three-byte sequence, at a sequence cut off by
// the end of the window, or at the start of a seventeenth character.
// Whether each sequence is well formed and has a form is the lanes' to tell.
struct Layout {
  std::uint64_t starts = 0;
  unsigned limit = 0;
  unsigned characters = 0;
};

VELTO_UTF8_TARGET Layout LayOut(__m512i block, std::uint64_t present) {
  const std::uint64_t ascii = _mm512_cmplt_epu8_mask(block, SplatBytes(0x80)) & present;
  const std::uint64_t leads = _mm512_cmpeq_epi8_mask(_mm512_and_si512(block, SplatBytes(0xF0)), SplatBytes(0xE0));
  const std::uint64_t continuations =
      _mm512_cmpeq_epi8_mask(_mm512_and_si512(block, SplatBytes(0xC0)), SplatBytes(0x80));
  const std::uint64_t starts = ascii | leads;
  const std::uint64_t stray = present & ~(starts | (continuations & (leads << 1 | leads << 2)));
  // A lane cut off would also fail as ill-formed; stopping before it makes
  // the limit the end of the last character taken.
  const std::uint64_t cut = leads & ~(present >> 2);
  const std::uint64_t stops = stray | cut | _pdep_u64(std::uint64_t{1} << kLanes, starts) | ~present;
  const auto limit = static_cast<unsigned>(std::countr_zero(stops));
  return {starts, limit, static_cast<unsigned>(std::popcount(starts & LowBits(limit)))};
}

// Each character's bytes in its lane, the first lowest: the bytes at its
// start and the two after it, which only a three-byte sequence reads.
VELTO_UTF8_TARGET __m512i GatherCharacters(__m512i block, std::uint64_t starts) {
  const __m512i positions = _mm512_maskz_compress_epi8(starts, Load(kByteNumbers));
  const __m512i spread = _mm512_add_epi8(_mm512_permutexvar_epi8(Load(kLaneNumbers), positions), Load(kLaneOffsets));
  return _mm512_maskz_permutexvar_epi8(0x7777777777777777u, spread, block);
}

// The four bytes at each lane's entry of forms. Unoptimised, GCC makes the
// gather a macro whose own casts -Wsign-conversion objects to.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-conversion"
VELTO_UTF8_TARGET __m512i LookUp(__m512i code_points, const std::uint16_t* forms) {
  return _mm512_i32gather_epi32(code_points, forms, 2);
}
#pragma GCC diagnostic pop

// The lanes that hold a well-formed three-byte sequence, among those asked.
VELTO_UTF8_TARGET __mmask16 WellFormed(__mmask16 lanes, __m512i threes, __m512i code_points) {
  lanes = _mm512_mask_cmpeq_epi32_mask(lanes, _mm512_and_si512(threes, Splat(0xC0C0F0)), Splat(0x8080E0));
  lanes = _mm512_mask_cmpge_epu32_mask(lanes, code_points, Splat(0x800));
  return _mm512_mask_cmpneq_epi32_mask(lanes, _mm512_and_si512(code_points, Splat(0xF800)), Splat(0xD800));
}

// The forms of the characters in lanes, and which of them are plain.
struct Forms {
  __m512i forms;
  __mmask16 plain;
};

VELTO_UTF8_TARGET Forms FormsOf(__m512i characters, __mmask16 lanes, const std::uint16_t* forms) {
  const __m512i first = _mm512_and_si512(characters, Splat(0xFF));
  const __mmask16 ascii = _mm512_mask_cmplt_epu32_mask(lanes, first, Splat(0x80));
  const __m512i three_byte = _mm512_or_si512(
      _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(characters, Splat(0x0F)), 12),
                      _mm512_and_si512(_mm512_srli_epi32(characters, 2), Splat(0xFC0))),
      _mm512_and_si512(_mm512_srli_epi32(characters, 16), Splat(0x3F)));
  const __mmask16 readable = ascii | WellFormed(lanes & static_cast<__mmask16>(~ascii), characters, three_byte);
  // Lanes that are not readable look up U+0000.
  const __m512i code_points = _mm512_maskz_mov_epi32(readable, _mm512_mask_blend_epi32(ascii, three_byte, first));
  const __m512i found = LookUp(code_points, forms);
  const __m512i form = _mm512_and_si512(found, Splat(0xFFFF));
  return {form, _mm512_mask_cmpneq_epi32_mask(readable, form, Splat(kNoForm))};
}

// Writes the forms of the first `characters` lanes one after another, two-
// byte forms high byte first; returns the bytes written, at most 32.
VELTO_UTF8_TARGET std::size_t WriteForms(__m512i form, unsigned characters, char* out) {
  const __m256i words = _mm512_cvtepi32_epi16(form);
  const __m256i swapped = _mm256_or_si256(_mm256_slli_epi16(words, 8), _mm256_srli_epi16(words, 8));
  const __m256i big_endian = _mm256_mask_blend_epi16(_mm512_cmpgt_epu32_mask(form, Splat(0xFF)), words, swapped);
  // A one-byte form leaves a zero byte after it; the first byte of every
  // form is kept, whatever its value.
  const __m256i first_bytes = _mm256_set1_epi16(0xFF);
  const auto kept = _mm256_mask_test_epi8_mask(static_cast<__mmask32>(LowBits(2 * characters)),
                                               _mm256_or_si256(big_endian, first_bytes),
                                               _mm256_or_si256(big_endian, first_bytes));
  const auto written = static_cast<std::size_t>(std::popcount(kept));
  _mm256_mask_storeu_epi8(out, static_cast<__mmask32>(LowBits(written)), _mm256_maskz_compress_epi8(kept, big_endian));
  return written;
}

// Converts the plain characters at the front of the first 64 of available
// bytes, sixteen at most; reads nothing past available and writes no more
// than it reads. Stores the bytes written in written; returns the bytes read.
VELTO_UTF8_TARGET std::size_t TakeWindow(const unsigned char* bytes, std::size_t available, char* out,
                                         const std::uint16_t* forms, std::size_t& written) {
  const std::size_t length = std::min(available, kWindowBytes);
  const std::uint64_t present = LowBits(length);
  const __m512i block = _mm512_maskz_loadu_epi8(present, bytes);
  if (_mm512_mask_cmpge_epu8_mask(present, block, SplatBytes(0x80)) == 0) {
    _mm512_mask_storeu_epi8(out, present, block);
    written = length;
    return length;
  }
  const Layout layout = LayOut(block, present);
  const auto lanes = static_cast<__mmask16>(LowBits(layout.characters));
  const Forms found = FormsOf(GatherCharacters(block, layout.starts), lanes, forms);
  // The lanes are taken up to the first that is not plain; when all are,
  // the window's characters end at its limit.
  const auto taken = static_cast<unsigned>(std::countr_one(static_cast<unsigned>(found.plain)));
  written = WriteForms(found.forms, taken, out);
  return taken == layout.characters ? layout.limit : StartNumbered(layout.starts, taken);
}

VELTO_UTF8_TARGET void TakeRun(const unsigned char* bytes, std::size_t size, char* out,
                               const std::uint16_t* forms, Progress& at) {
  for (;;) {
    std::size_t written = 0;
    const std::size_t read = TakeWindow(bytes + at.read, size - at.read, out + at.written, forms, written);
    if (read == 0) return;
    at.read += read;
    at.written += written;
  }
}

#undef VELTO_UTF8_TARGET
}  // namespace avx512

#endif  // VELTO_UTF8_X86_VARIANTS

}  // namespace

bool CanRun(Utf8Variant variant) {
  switch (variant) {
    case Utf8Variant::kPortable: return true;
#if defined(VELTO_UTF8_X86_VARIANTS)
    case Utf8Variant::kAvx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
             __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt") &&
             __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
#endif
    default: return false;
  }
}

Utf8Variant BestUtf8Variant() {
  static const Utf8Variant best = [] {
    Utf8Variant found = Utf8Variant::kPortable;
    for (const Utf8Variant variant : kUtf8Variants) {
      if (CanRun(variant)) found = variant;
    }
    return found;
  }();
  return best;
}

std::size_t ConvertStraight(std::string_view text, char* out, std::size_t* consumed, const std::uint16_t* forms,
                            Utf8Variant variant) {
  switch (variant) {
#if defined(VELTO_UTF8_X86_VARIANTS)
    case Utf8Variant::kAvx512: return Convert<avx512::TakeRun>(text, out, consumed, forms);
#endif
    default: return Convert<portable::TakeRun>(text, out, consumed, forms);
  }
}

}  // namespace velto::platform
