#include "measure/markup/ruby_line.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "measure/char_starts.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define VELTO_RUBY_COMPRESS 1
#include <immintrin.h>
#endif

namespace velto::measure::markup {
namespace {

unsigned char Byte(std::string_view text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

// A trigger of a line that only ruby marks up is a bar or 《 (two bytes).
bool IsBar(std::string_view line, std::size_t trigger) {
  return line[trigger] == '|' || line[trigger + 1] == kFullBar[1];
}
std::size_t BarEnd(std::string_view line, std::size_t bar) { return bar + (line[bar] == '|' ? 1 : kFullBar.size()); }

bool IsOpenAt(std::string_view line, std::size_t at) {
  return at + 1 < line.size() && line[at] == kRubyOpen[0] && line[at + 1] == kRubyOpen[1];
}

// The run of two-byte kanji that ends at end, stepped back through the
// scan's character starts, not reaching back before floor.
std::size_t KanjiRunStart(const LineMarks& marks, std::string_view line, std::size_t floor, std::size_t end) {
  std::size_t start = end;
  while (start >= floor + 2 && !marks.IsBoundary(start - 1) && IsKanjiCode(Byte(line, start - 2), Byte(line, start - 1))) {
    start -= 2;
  }
  return start;
}

// Appends the line from cut to end to the text, which is size bytes long;
// the new size.
std::size_t Keep(char* text, std::size_t size, std::string_view line, std::size_t cut, std::size_t end) {
  CopyPart(text + size, line.data() + cut, end - cut, line.size() - cut);
  return size + (end - cut);
}

// Reads a line whose triggers are all bars and 《. Every position is one of
// the source line. The base of a reading begins after the last bar since
// the last ruby (a later bar takes the place of an earlier one, which stays
// text), else at the start of the kanji run before it. What lies between
// cut and the trigger being read is text not yet copied, so a bar that no
// reading takes is never taken out.
//
// The state is in locals, and so is a copy of the scan's marks: the text
// is written through a char pointer, which could alias any object the
// compiler cannot see whole, whose members would then be read again after
// every byte written. The rules are a template argument, so that the web
// notation's checks cost the other nothing.
template <bool kEscapesAndEmphasis>
bool ReadLine(const TriggerScanner& scan, BaseText& base) {
  const LineMarks marks = scan.marks();
  const std::string_view line = scan.line();
  const std::size_t line_size = line.size();
  std::size_t close = 0;  // the 》 taken last; the line's size for none
  char* const text = base.Kept();
  std::size_t size = 0;         // of the text
  std::size_t cut = 0;          // what lies before is in the text, or taken out
  std::size_t floor = 0;        // no base reaches back before this
  std::size_t bar = kNotFound;  // the last bar since floor
  bool left_out = false;
  for (std::size_t open = marks.Next(0); open < line_size; open = marks.Next(std::max(open + 1, cut))) {
    if (IsBar(line, open)) {
      bar = open;
      continue;
    }
    const std::size_t reading = open + kRubyOpen.size();
    const bool bar_before_open = bar != kNotFound && BarEnd(line, bar) == open;
    // A bar before 《 and 《《 are the web notation's own markup.
    if (kEscapesAndEmphasis && (bar_before_open || IsOpenAt(line, reading))) return false;
    // The 》 found last serves every 《 before it (a line of unclosed
    // readings is searched once). Without a reading the 《 is text.
    if (close < reading) close = marks.NextClose(reading);
    if (close == line_size || close == reading) continue;
    if (bar_before_open) {
      // An empty base: the bar is text, and so is all before it.
      bar = kNotFound;
      floor = open;
      continue;
    }
    std::size_t base_begin = 0;
    if (bar != kNotFound) {
      size = Keep(text, size, line, cut, bar);
      cut = base_begin = BarEnd(line, bar);
      left_out = true;
      bar = kNotFound;
    } else {
      base_begin = KanjiRunStart(marks, line, floor, open);
      if (base_begin == open) continue;
    }
    size = Keep(text, size, line, cut, open);
    cut = floor = close + kRubyClose.size();
    base.AddRuby(size - (open - base_begin), size, {line.data() + reading, close - reading},
                 marks.Characters(reading, close));
    left_out = true;
  }
  size = Keep(text, size, line, cut, line_size);
  base.EndKept(size);
  if (left_out) base.LeaveOut();
  return true;
}

#if defined(VELTO_RUBY_COMPRESS)
#define VELTO_TARGET_COMPRESS __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,pclmul,popcnt,bmi,bmi2")))

constexpr std::size_t kWordBits = 64;

// Bit i set where the bits of x at and below i are odd in number: x
// multiplied by all ones without carries.
VELTO_TARGET_COMPRESS inline std::uint64_t PrefixParity(std::uint64_t x) {
  const __m128i product = _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(x)), _mm_set1_epi8(-1), 0);
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
}

std::uint64_t BitsBelow(std::size_t count) {
  return count >= kWordBits ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

bool BitAt(const std::uint64_t* words, std::size_t at) { return ((words[at / kWordBits] >> (at % kWordBits)) & 1u) != 0; }

// Whether the character before open is a two-byte kanji: the byte before
// open begins no character, so the one before that is a lead byte.
bool KanjiBefore(std::string_view line, const std::uint64_t* starts, std::size_t open) {
  return open >= 2 && !BitAt(starts, open - 1) && IsKanjiCode(Byte(line, open - 2), Byte(line, open - 1));
}

// A bit per byte of bytes that lies in [low, high].
VELTO_TARGET_COMPRESS inline std::uint64_t InRange(__m512i bytes, unsigned char low, unsigned char high) {
  return _mm512_cmple_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8(static_cast<char>(low))),
                                _mm512_set1_epi8(static_cast<char>(high - low)));
}

// Where the two-byte characters whose lead byte settles that they are
// kanji begin among the 64 bytes (seconds: the bytes one further on), by
// the lead bytes' rows looked up at once; two_bytes: where two-byte
// characters begin.
VELTO_TARGET_COMPRESS inline std::uint64_t KanjiByRow(__m512i bytes, __m512i seconds, std::uint64_t two_bytes) {
  const __m512i low_rows = _mm512_loadu_si512(kKanjiRows.data());
  const __m512i high_rows = _mm512_loadu_si512(kKanjiRows.data() + 64);
  const __m512i row = _mm512_permutex2var_epi8(low_rows, bytes, high_rows);
  const std::uint64_t kanji_rows = _mm512_test_epi8_mask(row, row) & _mm512_movepi8_mask(bytes);
  const std::uint64_t used_seconds = InRange(seconds, kSecondByteLow, kSecondByteHigh) &
                                     ~_mm512_cmpeq_epi8_mask(seconds, _mm512_set1_epi8(static_cast<char>(kUnusedSecondByte)));
  return kanji_rows & used_seconds & two_bytes;
}

// The set bits of a word.
VELTO_TARGET_COMPRESS inline std::uint32_t CountBits(std::uint64_t bits) {
  return static_cast<std::uint32_t>(std::popcount(bits));
}

// A line of ruby read whole, for a sink that takes the totals of its ruby
// and not where each span lies. Most lines of a novel that hold ruby hold
// it plainly: each 《 closes before the next opens, each reading has
// characters, and each base is a kanji run or follows one bar. Such a line
// is read from the scan's marks a word of 64 bytes at a time, in one pass:
// its text is the line without the bytes of its readings and bars, which a
// mask gives, and the starts of its characters are those of the line under
// the same mask, so that the text is not scanned again. Reading it 《 by 《
// costs more in branches the processor guesses wrong than in work. Any
// other line (an unclosed or empty reading, two bars before a reading, a
// bar just before 《 or after the last reading, a 《 after neither kanji
// nor a bar) is left to ReadLine, which reads every case; what this wrote
// of the text is then written again.
VELTO_TARGET_COMPRESS bool ReadRegularLine(const TriggerScanner& scan, BaseText& base) {
  const LineMarks marks = scan.marks();
  const std::string_view line = scan.line();
  const std::uint64_t* const starts = marks.start_words();
  const std::uint64_t* const opens = marks.open_words();
  const std::uint64_t* const triggers = marks.trigger_words();
  const std::uint64_t* const closes = marks.close_words();
  const std::uint64_t* const blanks = marks.blank_words();
  char* const text = base.Kept();
  std::uint64_t* const text_starts = base.KeptStarts();
  std::uint64_t filling = 0;
  std::size_t size = 0;
  LineCounts dropped;

  // What makes the line irregular gathers in wrong. The readings: 《 and 》
  // alternate when every 《 leaves an odd number of brackets behind it and
  // every 》 an even one. The bases: in the order of the bars and 《 outside
  // the readings, no bar follows a bar, and a 《 that does not follow a bar
  // follows a kanji.
  std::uint64_t wrong = 0;
  bool kanji_bases = true;
  std::uint64_t parity = 0;
  std::uint64_t open_carry = 0;      // 《 in the last two bytes of the word before
  std::uint64_t close_carry = 0;     // the second byte of a 》 that ends the word before
  std::uint64_t bar_carry = 0;       // a bar at the end of the word before
  std::uint64_t wide_bar_carry = 0;  // a two-byte bar in its last two bytes
  std::uint64_t bar_last = 0;        // the last bar or 《 so far is a bar
  std::uint64_t kanji_carry = 0;     // a kanji in the last two bytes of the word before
  std::uint32_t open_count = 0;
  std::uint32_t reading_starts = 0;  // each reading's characters and its 《
  for (std::size_t word = 0, word_begin = 0; word_begin < line.size(); ++word, word_begin += kWordBits) {
    const std::uint64_t open = opens[word];
    const std::uint64_t close = closes[word];
    const std::uint64_t start = starts[word];
    const std::uint64_t in_line = BitsBelow(line.size() - word_begin);
    const __m512i bytes = _mm512_maskz_loadu_epi8(in_line, line.data() + word_begin);
    std::uint64_t inside = 0;
    std::uint64_t keep = in_line;
    // A word without marks outside the readings is text as it stands.
    if ((open | close | triggers[word] | parity | close_carry | bar_carry) != 0) {
      inside = PrefixParity(open | close) ^ (0 - parity);
      parity = inside >> (kWordBits - 1);
      wrong |= (open & ~inside) | (close & inside);
      // An empty reading: 》 just after 《.
      wrong |= ((open << 2) | open_carry) & close;
      open_carry = open >> (kWordBits - 2);
      const std::uint64_t reading = inside | close | (close << 1) | close_carry;
      close_carry = close >> (kWordBits - 1);
      const std::uint64_t bars = triggers[word] & ~open & ~reading;
      // A bar just before 《: | one byte before it, or ｜ (whose second byte
      // begins no character) two bytes before.
      const std::uint64_t wide_starts = start & ~((start >> 1) | (starts[word + 1] << (kWordBits - 1)));
      const std::uint64_t wide_bars = bars & wide_starts;
      const std::uint64_t bars_after = (bars << 1) | bar_carry;
      wrong |= (bars_after | ((wide_bars << 2) | wide_bar_carry)) & open;
      bar_carry = bars >> (kWordBits - 1);
      wide_bar_carry = wide_bars >> (kWordBits - 2);

      // The bars and 《 in order, one bit each, set for a bar.
      const std::uint64_t bars_and_opens = bars | open;
      const std::uint64_t bar_order = _pext_u64(bars, bars_and_opens);
      const std::uint32_t order_size = CountBits(bars_and_opens);
      const std::uint64_t after_bar = (bar_order << 1) | bar_last;
      wrong |= bar_order & after_bar;
      bar_last = order_size == 0 ? bar_last : (bar_order >> (order_size - 1)) & 1u;
      // A 《 after no bar needs a kanji before it. Most are settled on the
      // lead bytes of the word; the table decides the rest one by one.
      const __m512i seconds =
          _mm512_maskz_loadu_epi8(BitsBelow(line.size() - word_begin - 1), line.data() + word_begin + 1);
      const std::uint64_t kanji = KanjiByRow(bytes, seconds, wide_starts);
      const std::uint64_t kanji_before = (kanji << 2) | kanji_carry;
      kanji_carry = kanji >> (kWordBits - 2);
      for (std::uint64_t kanji_opens = _pdep_u64(~bar_order & ~after_bar, bars_and_opens) & ~kanji_before;
           kanji_opens != 0; kanji_opens &= kanji_opens - 1) {
        kanji_bases &=
            KanjiBefore(line, starts, word_begin + static_cast<std::size_t>(std::countr_zero(kanji_opens)));
      }
      // The text: the bytes neither of a reading nor of a bar (a two-byte
      // bar's second byte begins no character).
      keep &= ~(reading | bars | (bars_after & ~start));
    } else {
      // No 《 or bar ends it; a kanji at its end is left to the table.
      open_carry = wide_bar_carry = kanji_carry = 0;
    }
    // The bytes kept, compressed by their mask, and the starts of their
    // characters with them.
    _mm512_storeu_si512(text + size, _mm512_maskz_compress_epi8(keep, bytes));
    // The starts, appended at size to those of its word so far (held in
    // filling, so that no word is read back from memory).
    const std::uint64_t kept_starts = _pext_u64(start, keep);
    const std::size_t shift = size % kWordBits;
    const std::uint64_t low = filling | (kept_starts << shift);
    const std::uint64_t high = (kept_starts >> 1) >> (kWordBits - 1 - shift);
    text_starts[size / kWordBits] = low;
    text_starts[size / kWordBits + 1] = high;
    const std::size_t new_size = size + CountBits(keep);
    filling = new_size / kWordBits == size / kWordBits ? low : high;
    size = new_size;
    dropped += {CountBits(start & ~keep), CountBits(blanks[word] & ~keep)};
    open_count += CountBits(open);
    reading_starts += CountBits(start & inside);
  }
  // A bar after the last reading takes none and stays text.
  if ((wrong | parity | bar_last) != 0 || !kanji_bases) return false;
  text_starts[size / kWordBits + 1] = 0;
  base.EndKept(size);
  base.KeptCounts(scan.starts().counts() - dropped);
  base.KeptRuby({open_count, reading_starts - open_count});
  if (open_count != 0) base.LeaveOut();
  return true;
}

// Whether the processor has what ReadRegularLine needs.
bool CanReadRegularLines() {
  static const bool can = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("popcnt") &&
                          __builtin_cpu_supports("bmi2");
  return can;
}
#endif  // VELTO_RUBY_COMPRESS

}  // namespace

bool ReadRubyLine(const TriggerScanner& line, RubyLineRules rules, BaseText& base) {
  if (!line.OnlyRuby()) return false;
#if defined(VELTO_RUBY_COMPRESS)
  if (!base.places_wanted() && CanReadRegularLines() && ReadRegularLine(line, base)) return true;
#endif
  return rules.escapes_and_emphasis ? ReadLine<true>(line, base) : ReadLine<false>(line, base);
}

}  // namespace velto::measure::markup
