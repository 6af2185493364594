// Code page conversion on ICU, standing in for the Windows code pages with
// the same results.
//
// UTF-8 is decoded here: it is an algorithm rather than a table, and reading
// a UTF-8 file spends most of its time in it. So is UTF-7, whose ill-formed
// input Windows reads otherwise than ICU does.
//
// Code pages 932 and 20932 are stateless, and they are where ICU's tables and
// Windows part ways, so both are decoded through tables taken from ICU once
// per process, with Windows' readings laid over the few entries that differ.
// The same process-wide tables give every UTF-16 unit its code page 932 form,
// so encoding costs one lookup per unit. ICU remains the source of every
// mapping; the tables only keep its answers at hand. Invalid input in those
// two code pages is still delimited by ICU itself, so the replacement
// characters fall exactly where ICU would put them.
#include "platform/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <span>
#include <tuple>
#include <utility>

#include "platform/posix/utf8_straight.h"

namespace velto::platform {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
// Marks a byte sequence without a mapping: U+FFFF is a noncharacter that no
// code page maps to.
constexpr char16_t kUnmapped = u'\uFFFF';

// ICU's tables that read as the Windows code pages do: Windows-31J for 932,
// and for 20932 the EUC-JP table whose row 1 follows the JIS reading.
constexpr const char* kIcuShiftJis = "ibm-943_P15A-2003";
constexpr const char* kIcuEucJp = "ibm-954_P101-2007";
constexpr const char* kIcuIso2022Jp = "ISO_2022,locale=ja,version=0";

struct CloseConverter {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, CloseConverter>;

Converter OpenConverter(const char* name) {
  UErrorCode error = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &error));
  if (U_FAILURE(error)) converter.reset();
  return converter;
}

// ICU's own substitute writes U+001A for a lone unmapped byte of some code
// pages; ours is always U+FFFD, one per invalid or unmapped sequence.
void WriteReplacement(const void* /*context*/, UConverterToUnicodeArgs* args,
                      const char* /*bytes*/, int32_t /*length*/, UConverterCallbackReason reason,
                      UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The mapped byte sequences of a stateless multibyte code page. Every lead
// byte is 0x80 or above, so a lead and the byte after it index `pair` as
// (lead - 0x80) * 256 + trail; EUC-JP's three-byte sequences index `triple`
// the same way by their last two bytes.
struct MultibyteTable {
  std::array<char16_t, 256> single{};
  std::array<bool, 256> lead{};
  std::array<char16_t, 0x8000> pair{};
  std::array<char16_t, 0x8000> triple{};
  unsigned char triple_prefix = 0;  // 0 when the code page has no three-byte sequences
  bool complete = false;            // false when ICU could not supply the table
};

constexpr std::size_t HighIndex(unsigned char first, unsigned char second) {
  return static_cast<std::size_t>(first - 0x80u) << 8 | second;
}

struct Override {
  unsigned char first;
  unsigned char second;  // 0 for a single byte
  char16_t unit;
};

// Windows' code page 932 gives the single bytes that ICU leaves unmapped
// code points of their own.
constexpr Override kWindowsShiftJis[] = {
    {0x80, 0, u'\u0080'}, {0xA0, 0, u'\uF8F0'}, {0xFD, 0, u'\uF8F1'},
    {0xFE, 0, u'\uF8F2'}, {0xFF, 0, u'\uF8F3'},
};
// Windows' code page 20932 reads row 1 of JIS X 0208 as the JIS mapping
// does, where ICU's EUC-JP table has full-width forms or the em dash.
constexpr Override kWindowsEucJp[] = {
    {0xA1, 0xBD, u'\u2015'}, {0xA1, 0xF1, u'\u00A2'}, {0xA1, 0xF2, u'\u00A3'},
    {0xA2, 0xCC, u'\u00AC'},
};

// Decodes `count` sequences of `length` bytes each, laid out one after
// another with a line feed after each so that an invalid sequence can never
// swallow the start of the next; stores in units[i] the unit that ICU reads
// sequence i as, when it reads the whole sequence as one unit.
void DecodeSequences(UConverter* icu, const char* bytes, std::size_t count, std::size_t length,
                     char16_t* units) {
  constexpr std::size_t kMaxBytes = 1024;
  const std::size_t stride = length + 1;
  std::array<char, kMaxBytes> input{};
  std::array<char16_t, kMaxBytes> output{};
  std::array<int32_t, kMaxBytes> offsets{};
  for (std::size_t i = 0; i < count; ++i) {
    std::memcpy(input.data() + i * stride, bytes + i * length, length);
    input[i * stride + length] = '\n';
  }
  ucnv_reset(icu);
  UErrorCode error = U_ZERO_ERROR;
  char16_t* target = output.data();
  const char* source = input.data();
  ucnv_toUnicode(icu, &target, output.data() + output.size(), &source, input.data() + count * stride,
                 offsets.data(), true, &error);
  if (U_FAILURE(error)) return;
  const auto produced = static_cast<std::size_t>(target - output.data());
  for (std::size_t k = 0; k < produced; ++k) {
    const auto offset = static_cast<std::size_t>(offsets[k]);
    const bool alone = (k == 0 || offsets[k - 1] != offsets[k]) &&
                       (k + 1 == produced || offsets[k + 1] != offsets[k]);
    if (offset % stride == 0 && alone) units[offset / stride] = output[k];
  }
}

// Reads the prefix followed by each byte 0x00-0xFF; row[byte] receives what
// ICU reads that sequence as.
void FillRow(UConverter* icu, const std::array<unsigned char, 2>& prefix, std::size_t prefix_length,
             char16_t* row) {
  constexpr std::size_t kCount = 256;
  const std::size_t length = prefix_length + 1;
  std::array<char, kCount * 3> bytes{};
  for (std::size_t last = 0; last < kCount; ++last) {
    char* sequence = bytes.data() + last * length;
    for (std::size_t k = 0; k < prefix_length; ++k) sequence[k] = static_cast<char>(prefix[k]);
    sequence[prefix_length] = static_cast<char>(last);
  }
  DecodeSequences(icu, bytes.data(), kCount, length, row);
}

void BuildMultibyteTable(const char* icu_name, unsigned char triple_prefix,
                         std::span<const Override> overrides, MultibyteTable& table) {
  table.single.fill(kUnmapped);
  table.pair.fill(kUnmapped);
  table.triple.fill(kUnmapped);
  const Converter icu = OpenConverter(icu_name);
  if (!icu) return;
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setToUCallBack(icu.get(), UCNV_TO_U_CALLBACK_SKIP, nullptr, nullptr, nullptr, &error);
  UBool starters[256] = {};
  ucnv_getStarters(icu.get(), starters, &error);
  if (U_FAILURE(error)) return;

  for (std::size_t byte = 0; byte < 256; ++byte) {
    const char single = static_cast<char>(byte);
    DecodeSequences(icu.get(), &single, 1, 1, &table.single[byte]);
  }
  table.triple_prefix = triple_prefix;
  for (std::size_t byte = 0x80; byte < 256; ++byte) {
    if (!starters[byte]) continue;
    const auto first = static_cast<unsigned char>(byte);
    if (first == triple_prefix) {
      for (std::size_t second = 0x80; second < 256; ++second) {
        FillRow(icu.get(), {first, static_cast<unsigned char>(second)}, 2,
                &table.triple[HighIndex(static_cast<unsigned char>(second), 0)]);
      }
    } else {
      table.lead[byte] = true;
      FillRow(icu.get(), {first, 0}, 1, &table.pair[HighIndex(first, 0)]);
    }
  }
  for (const Override& entry : overrides) {
    if (entry.second == 0) {
      table.single[entry.first] = entry.unit;
    } else {
      table.pair[HighIndex(entry.first, entry.second)] = entry.unit;
    }
  }
  table.complete = true;
}

struct ShiftJisTables {
  MultibyteTable decode;
  std::array<std::uint16_t, kFormEntries> encode{};
};

// The unit that `form` decodes to in the table, kUnmapped when none.
char16_t DecodeForm(const MultibyteTable& table, std::uint16_t form) {
  if (form < 0x100) return table.single[form];
  const auto lead = static_cast<unsigned char>(form >> 8);
  return table.lead[lead] ? table.pair[HighIndex(lead, static_cast<unsigned char>(form))] : kUnmapped;
}

// Takes every unit's code page 932 form from ICU with fallbacks off and keeps
// it only when it decodes back to the same unit: Windows writes "?" rather
// than a look-alike.
void BuildEncodeTable(ShiftJisTables& tables) {
  auto& encode = tables.encode;
  encode.fill(kNoForm);
  // Every single byte that maps is written back as itself: Windows maps them
  // both ways, its own readings of 0x00-0x7F, 0x80, 0xA0 and 0xFD-0xFF too.
  for (std::uint16_t byte = 0; byte < 256; ++byte) {
    const char16_t unit = tables.decode.single[byte];
    if (unit != kUnmapped) encode[unit] = byte;
  }
  const Converter icu = OpenConverter(kIcuShiftJis);
  if (!icu) return;
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setFallback(icu.get(), false);
  ucnv_setFromUCallBack(icu.get(), UCNV_FROM_U_CALLBACK_SKIP, nullptr, nullptr, nullptr, &error);

  constexpr std::uint32_t kChunk = 1024;
  std::array<char16_t, kChunk> units{};
  std::array<char, kChunk * 2> bytes{};
  std::array<int32_t, kChunk * 2> offsets{};
  for (std::uint32_t first = 0; first < 0x10000; first += kChunk) {
    std::size_t count = 0;
    for (std::uint32_t unit = first; unit < first + kChunk && unit < 0x10000; ++unit) {
      if (!IsSurrogate(unit) && encode[unit] == kNoForm) units[count++] = static_cast<char16_t>(unit);
    }
    ucnv_reset(icu.get());
    error = U_ZERO_ERROR;
    char* target = bytes.data();
    const char16_t* source = units.data();
    ucnv_fromUnicode(icu.get(), &target, bytes.data() + bytes.size(), &source, units.data() + count,
                     offsets.data(), true, &error);
    if (U_FAILURE(error)) continue;
    const auto produced = static_cast<std::size_t>(target - bytes.data());
    for (std::size_t k = 0; k < produced;) {
      const bool pair = k + 1 < produced && offsets[k + 1] == offsets[k];
      const char16_t unit = units[static_cast<std::size_t>(offsets[k])];
      const auto high = static_cast<unsigned char>(bytes[k]);
      const auto form = static_cast<std::uint16_t>(
          pair ? (high << 8 | static_cast<unsigned char>(bytes[k + 1])) : high);
      if (DecodeForm(tables.decode, form) == unit) encode[unit] = form;
      k += pair ? 2 : 1;
    }
  }
}

const ShiftJisTables& ShiftJis() {
  static ShiftJisTables tables;
  static std::once_flag once;
  std::call_once(once, [] {
    BuildMultibyteTable(kIcuShiftJis, 0, kWindowsShiftJis, tables.decode);
    // Windows reads every byte 0x00-0x7F as itself; ICU's table swaps the
    // controls 0x1A, 0x1C and 0x7F.
    for (std::size_t byte = 0; byte < 0x80; ++byte) tables.decode.single[byte] = static_cast<char16_t>(byte);
    BuildEncodeTable(tables);
  });
  return tables;
}

// Windows' code page 20932 reads a well-formed two-byte code that has no
// character (first byte 8E or A1-FE, second byte A1-FE) as the code page's
// default character, the katakana middle dot, where ICU finds it unassigned.
// The dot is a character of the line-break sets, so reading it as anything
// else could move a line break. Byte sequences that are not well formed keep
// one U+FFFD each, as ICU delimits them. Windows' half-width katakana end
// at 8E DF, so the IBM characters that ICU's table has at 8E E0-E4 read as
// the default character too.
constexpr char16_t kEucJpDefault = u'\u30FB';

void ReadUnassignedPairsAsDefault(MultibyteTable& table) {
  for (unsigned lead = 0x8E; lead <= 0xFE; ++lead) {
    if (lead > 0x8E && lead < 0xA1) continue;
    table.lead[lead] = true;
    for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
      char16_t& unit = table.pair[HighIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))];
      if (unit == kUnmapped || (lead == 0x8E && trail >= 0xE0)) unit = kEucJpDefault;
    }
  }
}

const MultibyteTable& EucJp() {
  static MultibyteTable table;
  static std::once_flag once;
  std::call_once(once, [] {
    BuildMultibyteTable(kIcuEucJp, 0x8F, kWindowsEucJp, table);
    if (table.complete) ReadUnassignedPairsAsDefault(table);
  });
  return table;
}

// The length of the sequence at the start of bytes that has no mapping, as
// ICU delimits it, and what ICU reads it as.
std::pair<std::size_t, char16_t> ReadUnmapped(UConverter* icu, const unsigned char* bytes, std::size_t size) {
  // No sequence is longer than three bytes; a fourth shows whether the
  // third one ends it.
  const std::size_t window = std::min<std::size_t>(size, 4);
  ucnv_reset(icu);
  UErrorCode error = U_ZERO_ERROR;
  std::array<char16_t, 4> units{};
  char16_t* target = units.data();
  const char* start = reinterpret_cast<const char*>(bytes);
  const char* source = start;
  ucnv_toUnicode(icu, &target, units.data() + 1, &source, start + window, nullptr, true, &error);
  const auto length = std::max<std::size_t>(1, static_cast<std::size_t>(source - start));
  return {length, target > units.data() ? units[0] : kReplacement};
}

std::size_t DecodeByTable(const MultibyteTable& table, UConverter* icu, std::string_view text,
                          char16_t* out, std::size_t capacity) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  std::size_t count = 0;
  while (i < size && count < capacity) {
    const unsigned char byte = bytes[i];
    char16_t unit = table.single[byte];
    std::size_t length = 1;
    if (unit == kUnmapped) {
      if (table.triple_prefix != 0 && byte == table.triple_prefix) {
        if (i + 2 < size && bytes[i + 1] >= 0x80) {
          unit = table.triple[HighIndex(bytes[i + 1], bytes[i + 2])];
          length = 3;
        }
      } else if (table.lead[byte] && i + 1 < size) {
        unit = table.pair[HighIndex(byte, bytes[i + 1])];
        length = 2;
      }
      if (unit == kUnmapped) std::tie(length, unit) = ReadUnmapped(icu, bytes + i, size - i);
    }
    out[count++] = unit;
    i += length;
  }
  return count;
}

std::size_t DecodeByIcu(UConverter* icu, std::string_view text, char16_t* out, std::size_t capacity) {
  ucnv_reset(icu);
  UErrorCode error = U_ZERO_ERROR;
  char16_t* target = out;
  const char* source = text.data();
  ucnv_toUnicode(icu, &target, out + capacity, &source, text.data() + text.size(), nullptr, true, &error);
  return static_cast<std::size_t>(target - out);
}

// Invalid input gives one U+FFFD per maximal subpart of an ill-formed
// sequence, as ICU does: a lead byte with the continuation bytes that still
// fit a well-formed sequence. The byte that breaks the pattern starts anew.
std::size_t DecodeUtf8(std::string_view text, char16_t* out, std::size_t capacity) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  std::size_t count = 0;
  while (i < size && count < capacity) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      out[count++] = lead;
      ++i;
      continue;
    }
    if (size - i >= 3) {
      if (const char16_t code_point = ThreeByteCodePoint(LoadThree(bytes + i)); code_point != 0) {
        out[count++] = code_point;
        i += 3;
        continue;
      }
    }
    // The sequence's length and the range of its second byte, which rules
    // out overlong forms, surrogates and code points above U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    std::uint32_t code_point = lead & (0x7Fu >> length);
    std::size_t taken = 1;
    for (; taken < length && i + taken < size; ++taken) {
      const unsigned char next = bytes[i + taken];
      if (next < low || next > high) break;
      code_point = code_point << 6 | (next & 0x3Fu);
      low = 0x80;
      high = 0xBF;
    }
    if (taken < length || length == 0) {
      out[count++] = kReplacement;
    } else if (code_point < 0x10000) {
      out[count++] = static_cast<char16_t>(code_point);
    } else {
      if (capacity - count < 2) break;
      out[count++] = static_cast<char16_t>(0xD7C0 + (code_point >> 10));
      out[count++] = static_cast<char16_t>(0xDC00 | (code_point & 0x3FF));
    }
    i += taken;
  }
  return count;
}

// UTF-7 as Windows reads it, which is more forgiving than ICU: it writes no
// replacement anywhere, so a stray "+" or left-over bits add no character.
// Outside base64 every byte but "+" is the unit of the same value, "~", "\"
// and bytes 0x80-0xFF included. "+-" is "+"; any other "+" starts base64,
// where every 16 bits give a unit. A "-" ends the run and is dropped; any
// other byte that is no base64 digit ends it and is read as itself. The bits
// left over are dropped, except at a byte 0x80 or above: Windows keeps them
// for the next run then.
std::size_t DecodeUtf7(std::string_view text, char16_t* out, std::size_t capacity) {
  static constexpr auto kDigits = [] {
    std::array<signed char, 128> digits{};
    digits.fill(-1);
    constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
      digits[static_cast<std::size_t>(kAlphabet[i])] = static_cast<signed char>(i);
    }
    return digits;
  }();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::uint32_t bits = 0;
  unsigned bit_count = 0;
  std::size_t i = 0;
  std::size_t count = 0;
  while (i < size && count < capacity) {
    if (bytes[i] != '+') {
      out[count++] = bytes[i++];
      continue;
    }
    if (++i < size && bytes[i] == '-') {
      out[count++] = u'+';
      ++i;
      continue;
    }
    for (; i < size && count < capacity; ++i) {
      const unsigned char byte = bytes[i];
      if (byte >= 0x80) break;
      const int digit = kDigits[byte];
      if (digit < 0) {
        bit_count = 0;
        i += byte == '-' ? 1 : 0;
        break;
      }
      bits = bits << 6 | static_cast<std::uint32_t>(digit);
      bit_count += 6;
      if (bit_count >= 16) {
        bit_count -= 16;
        out[count++] = static_cast<char16_t>(bits >> bit_count);
      }
    }
  }
  return count;
}

// Windows reads ESC ( J, JIS X 0201 Roman, as ASCII, so its 0x5C and 0x7E
// stay the backslash and the tilde. ICU reads them as the yen sign and the
// overline, which nothing else in this code page produces.
void ReadJisRomanAsAscii(char16_t* units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (units[i] == u'\u00A5') units[i] = u'\\';
    if (units[i] == u'\u203E') units[i] = u'~';
  }
}

}  // namespace

enum class DecodeMethod { kTable, kUtf7, kUtf8, kIcu };

struct Decoder::State {
  DecodeMethod method = DecodeMethod::kIcu;
  const MultibyteTable* table = nullptr;  // 932 and 20932
  Converter icu;                          // ICU's converter, also where a table has no mapping
  bool jis_roman_as_ascii = false;
};

Decoder::Decoder(int code_page) {
  const MultibyteTable* table = nullptr;
  const char* icu_name = nullptr;
  switch (code_page) {
    case kCodePageShiftJis: table = &ShiftJis().decode; icu_name = kIcuShiftJis; break;
    case kCodePageEucJp: table = &EucJp(); icu_name = kIcuEucJp; break;
    case kCodePageIso2022Jp: icu_name = kIcuIso2022Jp; break;
    case kCodePageUtf7: state_.reset(new (std::nothrow) State{DecodeMethod::kUtf7, nullptr, nullptr, false}); return;
    case kCodePageUtf8: state_.reset(new (std::nothrow) State{DecodeMethod::kUtf8, nullptr, nullptr, false}); return;
    default: return;
  }
  if (table != nullptr && !table->complete) return;
  Converter icu = OpenConverter(icu_name);
  if (!icu) return;
  UErrorCode error = U_ZERO_ERROR;
  if (table != nullptr) {
    // Asked only where the table has no mapping: it stops at the sequence.
    ucnv_setToUCallBack(icu.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  } else {
    ucnv_setToUCallBack(icu.get(), WriteReplacement, nullptr, nullptr, nullptr, &error);
  }
  if (U_FAILURE(error)) return;
  const DecodeMethod method = table != nullptr ? DecodeMethod::kTable : DecodeMethod::kIcu;
  state_.reset(new (std::nothrow) State{method, table, std::move(icu), code_page == kCodePageIso2022Jp});
}

Decoder::~Decoder() = default;

bool Decoder::IsOpen() const { return state_ != nullptr; }

std::size_t Decoder::Decode(std::string_view bytes, char16_t* out, std::size_t capacity) {
  if (!IsOpen() || capacity == 0) return 0;
  switch (state_->method) {
    case DecodeMethod::kTable: return DecodeByTable(*state_->table, state_->icu.get(), bytes, out, capacity);
    case DecodeMethod::kUtf7: return DecodeUtf7(bytes, out, capacity);
    case DecodeMethod::kUtf8: return DecodeUtf8(bytes, out, capacity);
    case DecodeMethod::kIcu: break;
  }
  const std::size_t count = DecodeByIcu(state_->icu.get(), bytes, out, capacity);
  if (state_->jis_roman_as_ascii) ReadJisRomanAsAscii(out, count);
  return count;
}

std::size_t EncodeCp932(std::u16string_view units, char* out, std::size_t capacity,
                        std::size_t* consumed) {
  const auto& encode = ShiftJis().encode;
  const std::size_t size = units.size();
  std::size_t i = 0;
  std::size_t count = 0;
  while (i < size) {
    // Every character fits while room for as many two-byte forms remains.
    const std::size_t end = i + std::min(size - i, (capacity - count) / 2);
    for (; i < end; ++i) {
      const std::uint16_t form = encode[units[i]];
      if (form == kNoForm) break;
      count = WriteForm(out, count, form);
    }
    if (i == end && i < size && capacity - count >= 2) continue;
    if (i == size) break;
    const char16_t unit = units[i];
    const std::uint16_t form = encode[unit];
    const std::size_t length = (form != kNoForm && form > 0xFF) ? 2 : 1;
    if (capacity - count < length) break;
    if (form == kNoForm) {
      out[count++] = '?';
      i += (IsHighSurrogate(unit) && i + 1 < size && IsLowSurrogate(units[i + 1])) ? 2u : 1u;
      continue;
    }
    if (length == 2) out[count++] = static_cast<char>(form >> 8);
    out[count++] = static_cast<char>(form);
    ++i;
  }
  if (consumed != nullptr) *consumed = i;
  return count;
}

std::size_t ConvertPlainUtf8(std::string_view text, char* out, std::size_t* consumed, Utf8Variant variant) {
  return ConvertStraight(text, out, consumed, ShiftJis().encode.data(), variant);
}

}  // namespace velto::platform
