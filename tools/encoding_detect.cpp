#include "encoding_detect.h"

#include "transcode.h"

namespace velto::tool {
namespace {

ByteOrderMark FindByteOrderMark(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) return ByteOrderMark::kUtf8;
  if (text.starts_with("\xFF\xFE")) return ByteOrderMark::kUtf16LittleEndian;
  if (text.starts_with("\xFE\xFF")) return ByteOrderMark::kUtf16BigEndian;
  return ByteOrderMark::kNone;
}

// The designations that switch ISO-2022-JP into JIS X 0208 (ESC $ B,
// ESC $ @) or into JIS X 0201 Roman or katakana (ESC ( J, ESC ( I).
bool HasIso2022JpEscape(std::string_view text) {
  for (const std::string_view escape : {"\x1B$B", "\x1B$@", "\x1B(J", "\x1B(I"}) {
    if (text.find(escape) != std::string_view::npos) return true;
  }
  return false;
}

// Valid UTF-8 with at least one multibyte character. A sequence cut off by
// the end of the prefix does not count against it.
bool LooksLikeUtf8(std::string_view text) {
  bool multibyte = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t code_point = 0;
    switch (NextUtf8(text, pos, code_point)) {
      case Utf8Step::kInvalid:
        return false;
      case Utf8Step::kTruncated:
        return multibyte;
      case Utf8Step::kValid:
        multibyte = multibyte || code_point >= 0x80;
        break;
    }
  }
  return multibyte;
}

// How well one double-byte encoding reads the text: errors are bytes it
// cannot place, kana are characters of the hiragana and katakana rows,
// which Japanese prose is full of.
struct Score {
  std::size_t errors = 0;
  std::size_t kana = 0;
};

bool InRange(unsigned char byte, unsigned low, unsigned high) { return byte >= low && byte <= high; }

Score ScoreShiftJis(std::string_view text) {
  Score score;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80 || InRange(lead, 0xA1, 0xDF)) continue;  // ASCII, half-width katakana
    if (!sjis::IsLeadByte(lead)) {
      ++score.errors;
      continue;
    }
    if (i + 1 >= text.size()) break;  // cut off by the end of the prefix
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (!(InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0xFC))) {
      ++score.errors;
      continue;
    }
    if ((lead == 0x82 && InRange(trail, 0x9F, 0xF1)) || (lead == 0x83 && InRange(trail, 0x40, 0x96))) {
      ++score.kana;
    }
    ++i;
  }
  return score;
}

Score ScoreEucJp(std::string_view text) {
  Score score;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) continue;
    // SS2 introduces a half-width katakana, SS3 a JIS X 0212 character.
    const std::size_t length = lead == 0x8F ? 3 : 2;
    if (!(lead == 0x8E || lead == 0x8F || InRange(lead, 0xA1, 0xFE))) {
      ++score.errors;
      continue;
    }
    if (i + length > text.size()) break;  // cut off by the end of the prefix
    bool valid = true;
    for (std::size_t k = 1; k < length; ++k) {
      const auto trail = static_cast<unsigned char>(text[i + k]);
      valid = valid && (lead == 0x8E ? InRange(trail, 0xA1, 0xDF) : InRange(trail, 0xA1, 0xFE));
    }
    if (!valid) {
      ++score.errors;
      continue;
    }
    if (lead == 0xA4 || lead == 0xA5) ++score.kana;
    i += length - 1;
  }
  return score;
}

CharSet ChooseShiftJisOrEucJp(std::string_view text) {
  const Score shift_jis = ScoreShiftJis(text);
  const Score euc = ScoreEucJp(text);
  if (euc.errors != shift_jis.errors) {
    return euc.errors < shift_jis.errors ? CharSet::kEucJp : CharSet::kShiftJis;
  }
  return euc.kana > shift_jis.kana ? CharSet::kEucJp : CharSet::kShiftJis;
}

}  // namespace

DetectedEncoding DetectEncoding(std::string_view prefix) {
  switch (FindByteOrderMark(prefix)) {
    case ByteOrderMark::kUtf8:
      return {CharSet::kUtf8, ByteOrderMark::kUtf8};
    case ByteOrderMark::kUtf16LittleEndian:
      return {CharSet::kUtf16, ByteOrderMark::kUtf16LittleEndian};
    case ByteOrderMark::kUtf16BigEndian:
      return {CharSet::kUtf16, ByteOrderMark::kUtf16BigEndian};
    case ByteOrderMark::kNone:
      break;
  }
  if (HasIso2022JpEscape(prefix)) return {CharSet::kIso2022Jp, ByteOrderMark::kNone};
  if (LooksLikeUtf8(prefix)) return {CharSet::kUtf8, ByteOrderMark::kNone};
  return {ChooseShiftJisOrEucJp(prefix), ByteOrderMark::kNone};
}

}  // namespace velto::tool
