// Conversion to and from code page 932 and the other supported code pages:
// the readings Windows gives where ICU's tables differ, the refusal of
// look-alike characters, and a comparison of the table-driven decoders with
// ICU's own reading on random input.
#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/utf8_mix.h"

namespace velto::platform {
namespace {

std::string Encode(std::u16string_view units) {
  std::string out(units.size() * 2 + 1, '\0');
  std::size_t consumed = 0;
  out.resize(EncodeCp932(units, out.data(), out.size(), &consumed));
  EXPECT_EQ(consumed, units.size());
  return out;
}

std::u16string Decode(int code_page, std::string_view bytes) {
  Decoder decoder(code_page);
  EXPECT_TRUE(decoder.IsOpen());
  std::u16string out(bytes.size(), u'\0');
  out.resize(decoder.Decode(bytes, out.data(), out.size()));
  return out;
}

struct EncodeCase {
  const char* name;
  std::u16string units;
  std::string bytes;
};

void PrintTo(const EncodeCase& test, std::ostream* out) { *out << test.name; }

class EncodeCp932Test : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeCp932Test, WritesTheWindowsForm) {
  EXPECT_EQ(Encode(GetParam().units), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cp932, EncodeCp932Test,
    ::testing::Values(
        EncodeCase{"Hiragana", u"\u3042", "\x82\xA0"},
        EncodeCase{"HalfWidthKatakana", u"\uFF71\uFF9F", "\xB1\xDF"},
        EncodeCase{"FullWidthTilde", u"\uFF5E", "\x81\x60"},
        EncodeCase{"WaveDashHasNoForm", u"\u301C", "?"},
        EncodeCase{"AccentedLetterIsNoPlainLetter", u"\u00E9", "?"},
        EncodeCase{"YenSignIsNoBackslash", u"\u00A5", "?"},
        EncodeCase{"EmDashHasNoForm", u"\u2014", "?"},
        EncodeCase{"HorizontalBar", u"\u2015", "\x81\x5C"},
        EncodeCase{"FullWidthReverseSolidus", u"\uFF3C", "\x81\x5F"},
        EncodeCase{"MinusSignHasNoForm", u"\u2212", "?"},
        EncodeCase{"NotSignHasNoForm", u"\u00AC", "?"},
        EncodeCase{"FullWidthNotSign", u"\uFFE2", "\x81\xCA"},
        EncodeCase{"ControlsStayThemselves", u"\u001A\u001C\u007F", "\x1A\x1C\x7F"},
        EncodeCase{"BackslashAndTilde", u"\\~", "\\~"},
        EncodeCase{"C1Control0080", u"\u0080", "\x80"},
        EncodeCase{"PrivateUseSingleBytes", u"\uF8F0\uF8F1\uF8F2\uF8F3", "\xA0\xFD\xFE\xFF"},
        EncodeCase{"PrivateUseF86FHasNoForm", u"\uF86F", "?"},
        EncodeCase{"UserDefinedArea", u"\uE000", "\xF0\x40"},
        EncodeCase{"NecRow13", u"\u2460", "\x87\x40"},
        EncodeCase{"DuplicateTakesTheJisRowForm", u"\u2252", "\x81\xE0"},
        EncodeCase{"DuplicateTakesTheIbmForm", u"\u2170", "\xFA\x40"},
        EncodeCase{"SurrogatePairIsOneQuestionMark", u"a\U00020BB7b", "a?b"},
        EncodeCase{"LoneHighSurrogate", std::u16string{u'\xD842', u'a'}, "?a"},
        EncodeCase{"LoneLowSurrogate", std::u16string{u'a', u'\xDFB7'}, "a?"},
        EncodeCase{"NoSubstitutionBytes", u"\u4E02\u00E9", "??"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(EncodeCp932, MapsEveryAsciiUnitToItsOwnByte) {
  for (char16_t unit = 0; unit < 0x80; ++unit) {
    char byte = 0;
    ASSERT_EQ(EncodeCp932(std::u16string_view(&unit, 1), &byte, 1), 1u);
    EXPECT_EQ(static_cast<unsigned char>(byte), unit);
  }
}

TEST(EncodeCp932, StopsBeforeACharacterThatDoesNotFit) {
  const std::u16string units = u"a\u3042b";
  char out[4] = {};
  std::size_t consumed = 0;
  EXPECT_EQ(EncodeCp932(units, out, 2, &consumed), 1u);
  EXPECT_EQ(consumed, 1u);
  EXPECT_EQ(EncodeCp932(units, out, 3, &consumed), 3u);
  EXPECT_EQ(consumed, 2u);
  EXPECT_EQ(EncodeCp932(units, out, 0, &consumed), 0u);
  EXPECT_EQ(consumed, 0u);
  EXPECT_EQ(EncodeCp932(std::u16string_view(u"\U00020BB7"), out, 0, &consumed), 0u);
  EXPECT_EQ(consumed, 0u);
}

// Never a look-alike: every form written decodes back to the unit it came
// from, over the whole range of units.
TEST(EncodeCp932, EveryFormDecodesBackToItsUnit) {
  Decoder decoder(kCodePageShiftJis);
  ASSERT_TRUE(decoder.IsOpen());
  std::size_t with_form = 0;
  for (std::uint32_t value = 0; value < 0x10000; ++value) {
    if (value >= 0xD800 && value <= 0xDFFF) continue;
    const auto unit = static_cast<char16_t>(value);
    char bytes[2] = {};
    const std::size_t length = EncodeCp932(std::u16string_view(&unit, 1), bytes, 2);
    ASSERT_GE(length, 1u);
    if (length == 1 && bytes[0] == '?' && unit != u'?') continue;
    ++with_form;
    char16_t back[2] = {};
    ASSERT_EQ(decoder.Decode(std::string_view(bytes, length), back, 2), 1u) << std::hex << value;
    EXPECT_EQ(back[0], unit) << std::hex << value;
  }
  // ASCII, the katakana, JIS X 0208, the NEC and IBM rows and the
  // user-defined area: well over nine thousand characters.
  EXPECT_GT(with_form, 9000u);
}

struct DecodeCase {
  const char* name;
  int code_page;
  std::string bytes;
  std::u16string units;
};

void PrintTo(const DecodeCase& test, std::ostream* out) { *out << test.name; }

class DecoderTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecoderTest, ReadsAsWindowsDoes) {
  EXPECT_EQ(Decode(GetParam().code_page, GetParam().bytes), GetParam().units);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, DecoderTest,
    ::testing::Values(
        // Shift-JIS
        DecodeCase{"SjisHiragana", 932, "\x82\xA0", u"\u3042"},
        DecodeCase{"SjisTilde", 932, "\x81\x60", u"\uFF5E"},
        DecodeCase{"SjisBackslashAndTilde", 932, "\\~", u"\\~"},
        DecodeCase{"SjisControls", 932, "\x1A\x1C\x7F", u"\u001A\u001C\u007F"},
        DecodeCase{"SjisWindowsSingles", 932, "\x80\xA0\xFD\xFE\xFF", u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
        DecodeCase{"SjisHalfWidth", 932, "\xB1", u"\uFF71"},
        DecodeCase{"SjisNecSelectedIbm", 932, "\xED\x40", u"\u7E8A"},
        DecodeCase{"SjisBadTrailIsReadAgain", 932, "\x81\x20", u"\uFFFD "},
        DecodeCase{"SjisUnassignedPairIsOne", 932, "\x85\x40", u"\uFFFD"},
        DecodeCase{"SjisLeadAtEnd", 932, "a\x82", u"a\uFFFD"},
        // EUC-JP, the JIS reading of row 1
        DecodeCase{"EucHiragana", 20932, "\xA4\xA2", u"\u3042"},
        DecodeCase{"EucWaveDash", 20932, "\xA1\xC1", u"\u301C"},
        DecodeCase{"EucReverseSolidus", 20932, "\xA1\xC0", u"\uFF3C"},
        DecodeCase{"EucMinusSign", 20932, "\xA1\xDD", u"\u2212"},
        DecodeCase{"EucYen", 20932, "\xA1\xEF", u"\uFFE5"},
        DecodeCase{"EucNotSign", 20932, "\xA2\xCC", u"\u00AC"},
        DecodeCase{"EucCentAndPound", 20932, "\xA1\xF1\xA1\xF2", u"\u00A2\u00A3"},
        DecodeCase{"EucHorizontalBar", 20932, "\xA1\xBD", u"\u2015"},
        DecodeCase{"EucDoubleVerticalLine", 20932, "\xA1\xC2", u"\u2016"},
        DecodeCase{"EucHalfWidthKatakana", 20932, "\x8E\xB1\x8E\xDF", u"\uFF71\uFF9F"},
        DecodeCase{"EucJisX0212", 20932, "\x8F\xB0\xA1", u"\u4E02"},
        DecodeCase{"EucAscii", 20932, "a\\~", u"a\\~"},
        DecodeCase{"EucBadTrailIsReadAgain", 20932, "\xA1\x41", u"\uFFFDA"},
        DecodeCase{"EucTruncatedTriple", 20932, "\x8F\xA1", u"\uFFFD"},
        // ISO-2022-JP, read through code page 932
        DecodeCase{"JisX0208", 50220, "\x1B$B$\"\x1B(B", u"\u3042"},
        DecodeCase{"JisC6226", 50220, "\x1B$@$\"", u"\u3042"},
        DecodeCase{"JisTildeIsFullWidth", 50220, "\x1B$B!A", u"\uFF5E"},
        DecodeCase{"JisNecRow13", 50220, "\x1B$B-!", u"\u2460"},
        DecodeCase{"JisRomanReadsAsAscii", 50220, "\x1B(Ja\\~\x1B(B\\", u"a\\~\\"},
        DecodeCase{"JisHalfWidthKatakana", 50220, "\x1B(I1_\x1B(Bz", u"\uFF71\uFF9Fz"},
        // UTF-7
        DecodeCase{"Utf7Base64", 65000, "+MEIwRA-", u"\u3042\u3044"},
        DecodeCase{"Utf7Plus", 65000, "a+-b", u"a+b"},
        // UTF-8
        DecodeCase{"Utf8Hiragana", 65001, "\xE3\x81\x82", u"\u3042"},
        DecodeCase{"Utf8MarkIsACharacter", 65001, "\xEF\xBB\xBF" "a", u"\uFEFFa"},
        DecodeCase{"Utf8TruncatedIsOne", 65001, "\xE3\x81" "a", u"\uFFFDa"},
        DecodeCase{"Utf8OverlongIsTwo", 65001, "\xC0\xAF", u"\uFFFD\uFFFD"},
        DecodeCase{"Utf8SurrogateIsThree", 65001, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        DecodeCase{"Utf8Supplementary", 65001, "\xF0\xA0\xAE\xB7", u"\U00020BB7"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Decoder, RefusesUnknownCodePages) {
  for (const int code_page : {0, 437, 1252, 20936, -1}) {
    Decoder decoder(code_page);
    EXPECT_FALSE(decoder.IsOpen());
    char16_t out[4] = {};
    EXPECT_EQ(decoder.Decode("abc", out, 4), 0u);
  }
}

TEST(Decoder, EveryDecodeStartsFromTheInitialState) {
  Decoder decoder(kCodePageIso2022Jp);
  char16_t out[8] = {};
  ASSERT_EQ(decoder.Decode("\x1B$B$\"", out, 8), 1u);
  EXPECT_EQ(out[0], u'\u3042');
  // Without the escape, "$\"" is plain ASCII again.
  ASSERT_EQ(decoder.Decode("$\"", out, 8), 2u);
  EXPECT_EQ(std::u16string_view(out, 2), u"$\"");
}

TEST(Decoder, WritesNoMoreThanCapacity) {
  for (const int code_page : {932, 20932, 50220, 65000, 65001}) {
    Decoder decoder(code_page);
    char16_t out[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(decoder.Decode("abcdef", out, 3), 3u) << code_page;
    EXPECT_EQ(std::u16string_view(out, 4), u"abcx") << code_page;
  }
}

// The reference: ICU's own reading of the whole string, with a replacement
// for every invalid or unmapped sequence, and Windows' readings laid over
// the places that come from the overridden sequences. With a non-null
// context, a well-formed EUC-JP two-byte code without a character is read
// as Windows' default character, the katakana middle dot.
void WriteReplacement(const void* context, UConverterToUnicodeArgs* args, const char* bytes,
                      int32_t length, UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  *error = U_ZERO_ERROR;
  const auto high = [](char byte) { return static_cast<unsigned char>(byte) >= 0xA1; };
  const bool eucjp_pair = context != nullptr && length == 2 && (bytes[0] == '\x8E' || high(bytes[0])) &&
                          high(bytes[1]) && bytes[1] != '\xFF';
  const char16_t replacement = eucjp_pair ? u'\u30FB' : u'\uFFFD';
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, error);
}

std::u16string IcuReading(const char* name, std::string_view bytes) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  const void* eucjp = std::string_view(name) == "ibm-954_P101-2007" ? name : nullptr;
  ucnv_setToUCallBack(converter, WriteReplacement, eucjp, nullptr, nullptr, &error);
  std::u16string out(bytes.size() + 1, u'\0');
  std::vector<int32_t> offsets(out.size());
  char16_t* target = out.data();
  const char* source = bytes.data();
  ucnv_toUnicode(converter, &target, out.data() + out.size(), &source, bytes.data() + bytes.size(),
                 offsets.data(), true, &error);
  EXPECT_TRUE(U_SUCCESS(error));
  ucnv_close(converter);
  out.resize(static_cast<std::size_t>(target - out.data()));
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::string_view at = bytes.substr(static_cast<std::size_t>(offsets[i]));
    const auto first = static_cast<unsigned char>(at[0]);
    if (std::string_view(name) == "ibm-943_P15A-2003") {
      if (first < 0x80) out[i] = first;  // ICU swaps 0x1A, 0x1C and 0x7F
      if (first == 0x80) out[i] = u'\u0080';
      if (first == 0xA0) out[i] = u'\uF8F0';
      if (first >= 0xFD) out[i] = static_cast<char16_t>(0xF8F1 + (first - 0xFD));
    }
    if (std::string_view(name) == "ibm-954_P101-2007") {
      if (at.starts_with("\xA1\xBD")) out[i] = u'\u2015';
      if (at.starts_with("\xA1\xF1")) out[i] = u'\u00A2';
      if (at.starts_with("\xA1\xF2")) out[i] = u'\u00A3';
      if (at.starts_with("\xA2\xCC")) out[i] = u'\u00AC';
    }
  }
  return out;
}

// Random text that mixes ASCII, characters, broken sequences and arbitrary
// bytes.
std::string RandomText(std::mt19937& random, int code_page) {
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> kind(0, 9);
  std::string text;
  const int count = length(random);
  for (int i = 0; i < count; ++i) {
    const int k = kind(random);
    if (k < 3) {
      text += static_cast<char>(0x20 + byte(random) % 0x5F);
    } else if (code_page == kCodePageUtf8) {
      // Lead bytes at the edges of the well-formed ranges, then bytes that
      // may or may not continue them.
      constexpr unsigned char kLeads[] = {0xC1, 0xC2, 0xDF, 0xE0, 0xE3, 0xED, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0x80};
      text += static_cast<char>(kLeads[static_cast<std::size_t>(byte(random)) % std::size(kLeads)]);
      const int continuation = byte(random) % 4;
      for (int c = 0; c < continuation; ++c) {
        constexpr unsigned char kNext[] = {0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0x41};
        text += static_cast<char>(kNext[static_cast<std::size_t>(byte(random)) % std::size(kNext)]);
      }
    } else if (k < 7 && code_page == kCodePageShiftJis) {
      const int lead = byte(random) % 2 == 0 ? 0x81 + byte(random) % 0x1F : 0xE0 + byte(random) % 0x1D;
      text += static_cast<char>(lead);
      text += static_cast<char>(0x40 + byte(random) % 0xBD);
    } else if (k < 7) {
      const int prefix = byte(random) % 8;
      if (prefix == 0) text += '\x8E';
      if (prefix == 1) text += '\x8F';
      text += static_cast<char>(0xA1 + byte(random) % 0x5E);
      if (prefix != 0) text += static_cast<char>(0xA1 + byte(random) % 0x5E);
    } else {
      text += static_cast<char>(byte(random));
    }
  }
  // ICU finds the codes 8E E0-FE ill-formed, two bytes apart, where Windows
  // reads its default character: the table of Windows' readings covers
  // them, and the random text holds none.
  if (code_page == kCodePageEucJp) {
    for (std::size_t i = 1; i < text.size(); ++i) {
      if (text[i - 1] == '\x8E' && static_cast<unsigned char>(text[i]) >= 0xE0) text[i] = '\xDF';
    }
  }
  return text;
}

// The table-driven decoders and our UTF-8 decoder against ICU's reading.
TEST(Decoder, ReadsRandomTextAsIcuDoes) {
  std::mt19937 random(932);
  for (const auto& [code_page, name] : {std::pair{kCodePageShiftJis, "ibm-943_P15A-2003"},
                                        std::pair{kCodePageEucJp, "ibm-954_P101-2007"},
                                        std::pair{kCodePageUtf8, "UTF-8"}}) {
    Decoder decoder(code_page);
    for (int round = 0; round < 5000; ++round) {
      const std::string text = RandomText(random, code_page);
      std::u16string units(text.size(), u'\0');
      units.resize(decoder.Decode(text, units.data(), units.size()));
      ASSERT_EQ(units, IcuReading(name, text)) << code_page << " round " << round;
    }
  }
}

TEST(Decoder, NeverWritesMoreUnitsThanBytes) {
  std::mt19937 random(65000);
  std::uniform_int_distribution<int> byte(0, 255);
  for (const int code_page : {932, 20932, 50220, 65000, 65001}) {
    Decoder decoder(code_page);
    for (int round = 0; round < 2000; ++round) {
      std::string text(static_cast<std::size_t>(byte(random) % 24), '\0');
      // Plenty of escapes, shifts and base64 for the stateful code pages.
      constexpr std::string_view kAlphabet = "\x1B$B(J@I+-AZaz09/\xE3\x81\x82\x8E\xA4\xC0\x80";
      for (char& c : text) c = kAlphabet[static_cast<std::size_t>(byte(random)) % kAlphabet.size()];
      if (round % 2 == 0) {
        for (char& c : text) c = static_cast<char>(byte(random));
      }
      std::u16string units(text.size() + 8, u'\0');
      EXPECT_LE(decoder.Decode(text, units.data(), units.size()), text.size()) << code_page;
    }
  }
}

// The straight conversion on each variant against the decoder and the
// encoder: what it converts and what it leaves, read their way, give their
// reading of the whole text. Every variant stops where the portable one
// does, with the same bytes.
class ConvertPlainUtf8Test : public testing::Utf8VariantTest {
 protected:
  // Returns the bytes converted. Input and output are exactly as long as
  // the text, so that AddressSanitizer sees any access past either.
  static std::size_t Check(std::string_view text) {
    const std::vector<char> input(text.begin(), text.end());
    const std::string_view exact_text(input.data(), input.size());
    std::vector<char> out(text.size());
    std::size_t consumed = 0;
    const std::size_t written = ConvertPlainUtf8(exact_text, out.data(), &consumed, GetParam());
    std::string portable(text.size(), '\0');
    std::size_t portable_consumed = 0;
    portable.resize(ConvertPlainUtf8(text, portable.data(), &portable_consumed, Utf8Variant::kPortable));
    const std::string straight(out.data(), written);
    EXPECT_EQ(consumed, portable_consumed);
    EXPECT_EQ(straight, portable);
    EXPECT_LE(written, consumed);
    EXPECT_EQ(straight + Encode(Decode(kCodePageUtf8, text.substr(consumed))), Encode(Decode(kCodePageUtf8, text)));
    return consumed;
  }
};

TEST_P(ConvertPlainUtf8Test, ReadsAsTheDecoderAndTheEncoderDo) {
  std::mt19937 random(65001);
  std::size_t converted = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string text = testing::RandomUtf8Mix(random, round % 10 == 0 ? 400 : random() % 30);
    converted += Check(text);
    if (HasFailure()) FAIL() << "round " << round;
  }
  EXPECT_GT(converted, 0u);
}

// ASCII and kana before a piece that needs the decoder put it at every byte
// of a vector block and in every lane; kana after it, or the end of the text.
TEST_P(ConvertPlainUtf8Test, StopsAtEveryPieceThatNeedsTheDecoderWhereverItFalls) {
  constexpr std::string_view kKana = "\xE3\x81\x82";       // a two-byte form
  constexpr std::string_view kHalfWidth = "\xEF\xBD\xB1";  // a one-byte form
  for (const std::string_view piece : testing::kUtf8Unplain) {
    for (std::size_t ascii = 0; ascii < 4; ++ascii) {
      std::string before(ascii, 'a');
      for (int kana = 0; kana < 26; ++kana) {
        for (const std::string& text : {before + std::string(piece), before + std::string(piece) + before}) {
          ASSERT_EQ(Check(text), before.size()) << ::testing::PrintToString(text);
        }
        before += kana % 5 == 4 ? kHalfWidth : kKana;
      }
    }
  }
}

TEST_P(ConvertPlainUtf8Test, TakesEveryWholeCharacterUpToTheEnd) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += i % 7 == 6 ? "ab" : i % 5 == 4 ? "\xEF\xBD\xB1" : "\xE6\xBC\xA2";
  for (std::size_t length = 0; length <= text.size(); ++length) {
    ASSERT_GT(Check(text.substr(0, length)) + 3, length) << length;
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, ConvertPlainUtf8Test, ::testing::ValuesIn(kUtf8Variants),
                         testing::VariantName<platform::Utf8Variant>);

}  // namespace
}  // namespace velto::platform
