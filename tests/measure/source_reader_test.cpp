// The line reader as the measurement sees it: which source lines a file gives
// under each CharSet, the text-mode rules, the limits of a piece, the end of
// the file, and real Japanese text in every encoding.
#include "measure/source_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/file_faults.h"
#include "support/sandbox.h"
#include "support/utf8_mix.h"

namespace velto::measure {
namespace {

using Lines = std::vector<std::string>;
constexpr std::size_t kPiece = kReadBufferLimit - 1;

// Every source line the reader delivers, read to the end.
Lines ReadAll(SourceLineReader& reader) {
  Lines lines;
  std::string_view line;
  while (reader.ReadSourceLine(line)) {
    EXPECT_LE(line.size(), kPiece);
    EXPECT_EQ(line.find('\0'), std::string_view::npos);
    lines.emplace_back(line);
    if (lines.size() > 100000) {
      ADD_FAILURE() << "the reader does not end";
      break;
    }
  }
  // The end is for good.
  EXPECT_FALSE(reader.ReadSourceLine(line));
  EXPECT_FALSE(reader.ReadFailed());
  return lines;
}

Lines ReadLines(const std::string& path, int char_set,
                std::size_t buffer_size = SourceLineReader::kDefaultFileBufferSize,
                platform::Utf8Variant utf8_variant = platform::BestUtf8Variant()) {
  SourceLineReader reader(static_cast<CharSet>(char_set), buffer_size, utf8_variant);
  EXPECT_TRUE(reader.Open(path.c_str()));
  return ReadAll(reader);
}

Lines ReadBytes(const std::string& bytes, int char_set,
                std::size_t buffer_size = SourceLineReader::kDefaultFileBufferSize) {
  testing::Sandbox sandbox;
  return ReadLines(sandbox.Write("source.txt", bytes), char_set, buffer_size);
}

std::string Repeat(std::string_view piece, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

std::string X(std::size_t count) { return std::string(count, 'x'); }

struct ReadCase {
  const char* name;
  int char_set;
  std::string bytes;
  Lines lines;
};

void PrintTo(const ReadCase& test, std::ostream* out) { *out << test.name; }

class SourceLineReaderTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SourceLineReaderTest, DeliversTheseLines) {
  EXPECT_EQ(ReadBytes(GetParam().bytes, GetParam().char_set), GetParam().lines);
}

// Bytes held in memory are read in place, by the same rules.
TEST_P(SourceLineReaderTest, DeliversTheSameLinesFromMemory) {
  SourceLineReader reader(static_cast<CharSet>(GetParam().char_set));
  ASSERT_TRUE(reader.OpenBytes(GetParam().bytes));
  EXPECT_EQ(ReadAll(reader), GetParam().lines);
}

// The same lines whatever the size of the reader's file buffer, so every
// boundary between two reads of the file falls somewhere in each case.
TEST_P(SourceLineReaderTest, DeliversTheSameLinesWithTinyBuffers) {
  testing::Sandbox sandbox;
  const std::string path = sandbox.Write("source.txt", GetParam().bytes);
  for (std::size_t size = 4; size <= 9; ++size) {
    EXPECT_EQ(ReadLines(path, GetParam().char_set, size), GetParam().lines) << "buffer " << size;
  }
}

INSTANTIATE_TEST_SUITE_P(
    TextMode, SourceLineReaderTest,
    ::testing::Values(
        ReadCase{"CrLfBecomesLf", 0, "abc\r\nde", {"abc\n", "de"}},
        ReadCase{"FinalLfGivesAnEmptyLine", 0, "abc\n", {"abc\n", ""}},
        ReadCase{"EmptyFile", 0, "", {""}},
        ReadCase{"LoneCrStays", 0, "a\rb\n", {"a\rb\n", ""}},
        ReadCase{"CrAsTheLastByteStays", 0, "ab\r", {"ab\r"}},
        ReadCase{"CrCrLf", 0, "a\r\r\nb", {"a\r\n", "b"}},
        ReadCase{"SubstituteEndsTheFile", 0, "ab\x1A" "cd\n", {"ab"}},
        ReadCase{"SubstituteAfterLf", 0, "ab\n\x1A" "cd\n", {"ab\n", ""}},
        ReadCase{"SubstituteFirst", 0, "\x1A" "abc", {""}},
        ReadCase{"CrBeforeSubstituteStays", 0, "a\r\x1A\n", {"a\r"}},
        ReadCase{"ZeroByteEndsTheDeliveredLine", 0, std::string("\0ab\nc", 5), {"", "c"}},
        ReadCase{"ZeroByteInside", 0, std::string("ab\0cd\r\nef", 9), {"ab", "ef"}},
        ReadCase{"ShiftJisAsRead", 0, "\x82\xA0\x82\xA2\r\n", {"\x82\xA0\x82\xA2\n", ""}},
        ReadCase{"CharSet1IsCharSet0", 1, "abc\r\nd\re\n", {"abc\n", "d\re\n", ""}},
        ReadCase{"CharSetAboveTheTable", 8, "a\r\nb\x1A" "c", {"a\n", "b"}},
        ReadCase{"NegativeCharSet", -1, "a\r\nb", {"a\n", "b"}},
        ReadCase{"LargeCharSet", 2147483647, "\x82\xA0\r\n", {"\x82\xA0\n", ""}},
        ReadCase{"EucJpCrLf", 3, "\xA4\xA2\r\n\xA4\xA4\r\n", {"\x82\xA0\n", "\x82\xA2\n", ""}},
        ReadCase{"EucJpHiragana", 3, "\xA4\xA2\n", {"\x82\xA0\n", ""}},
        // The JIS reading of row 1: the minus sign and the wave dash have no
        // Shift-JIS form, the horizontal bar and the reverse solidus do.
        ReadCase{"EucJpRowOne", 3, "\xA1\xDD\xA1\xC1\xA1\xBD\xA1\xC0\n", {"??\x81\x5C\x81\x5F\n", ""}},
        ReadCase{"Iso2022JpHiragana", 4, "\x1B$B$\"\x1B(B\n", {"\x82\xA0\n", ""}},
        ReadCase{"Iso2022JpCrLf", 4, "a\r\nb\r\n", {"a\n", "b\n", ""}},
        ReadCase{"Iso2022JpStateEndsWithTheLine", 4, "\x1B$B$\"\n$\"\n", {"\x82\xA0\n", "$\"\n", ""}},
        ReadCase{"Iso2022JpSubstitute", 4, "a\x1B$B$\"\x1A$\"", {"a\x82\xA0"}},
        ReadCase{"Utf7CrLf", 5, "+MEI-\r\nb\r\n", {"\x82\xA0\n", "b\n", ""}},
        ReadCase{"Utf7ZeroUnitEndsTheLine", 5, "a+AAA-b\n", {"a", ""}},
        ReadCase{"Utf8Hiragana", 6, "\xE3\x81\x82\n", {"\x82\xA0\n", ""}},
        ReadCase{"Utf8CrLf", 6, "a\r\nb\r\n", {"a\n", "b\n", ""}},
        ReadCase{"Utf8AccentIsQuestionMark", 6, "\xC3\xA9\n", {"?\n", ""}},
        ReadCase{"Utf8WaveDashIsQuestionMark", 6, "\xE3\x80\x9C\n", {"?\n", ""}},
        ReadCase{"Utf8FullWidthTilde", 6, "\xEF\xBD\x9E\n", {"\x81\x60\n", ""}},
        ReadCase{"Utf8MarkAtTheStartIsDropped", 6, "\xEF\xBB\xBF" "a\n", {"a\n", ""}},
        ReadCase{"Utf8MarkAloneIsAnEmptyFile", 6, "\xEF\xBB\xBF", {""}},
        ReadCase{"Utf8MarkLaterIsACharacter", 6, "a\xEF\xBB\xBF\n", {"a?\n", ""}},
        ReadCase{"Utf8SecondMarkIsACharacter", 6, "\xEF\xBB\xBF\xEF\xBB\xBF" "a", {"?a"}},
        ReadCase{"Utf8InvalidBytes", 6, "a\xFF\xE3\x81" "b\n", {"a??b\n", ""}},
        ReadCase{"Utf8ZeroByte", 6, std::string("a\0\xE3\x81\x82\nb", 7), {"a", "b"}},
        ReadCase{"EmptyEucJp", 3, "", {""}},
        ReadCase{"EmptyIso2022Jp", 4, "", {""}},
        ReadCase{"EmptyUtf7", 5, "", {""}},
        ReadCase{"EmptyUtf8", 6, "", {""}}),
    [](const auto& test) { return std::string(test.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Utf16, SourceLineReaderTest,
    ::testing::Values(
        ReadCase{"MarkKanaCrLf", 2, std::string("\xFF\xFE\x42\x30\x0D\x00\x0A\x00", 8), {"\x82\xA0\r\n", ""}},
        ReadCase{"FirstUnitIsALineFeed", 2, std::string("\x0A\x00\x61\x00\x0A\x00", 6), {"\n", "a\n", ""}},
        ReadCase{"BigEndianMark", 2, std::string("\xFE\xFF\x30\x42\x00\x61\x00\x0A", 8), {"\x82\xA0" "a\n", ""}},
        ReadCase{"CharSet7IsCharSet2", 7, std::string("\xFF\xFE\x42\x30\x0D\x00\x0A\x00", 8), {"\x82\xA0\r\n", ""}},
        ReadCase{"ZeroUnitVanishes", 2, std::string("\x61\x00\x00\x00\x62\x00\x0A\x00", 8), {"ab\n", ""}},
        ReadCase{"OddByteAtTheEnd", 2, std::string("\x61\x00\x62", 3), {"ab"}},
        ReadCase{"OddLineFeedAtTheEnd", 2, std::string("\x61\x00\x0A", 3), {"a\n"}},
        ReadCase{"OddByteBigEndian", 2, std::string("\xFE\xFF\x00\x61\x62", 5), {"ab"}},
        ReadCase{"EmptyFile", 2, "", {""}},
        ReadCase{"MarkOnly", 7, "\xFF\xFE", {""}},
        ReadCase{"SingleByteFile", 2, "a", {"a"}},
        ReadCase{"LaterMarkIsACharacter", 2, std::string("\x61\x00\xFF\xFE\x0A\x00", 6), {"a?\n", ""}},
        ReadCase{"SubstituteAndCrStay", 2, std::string("\x1A\x00\x0D\x00\x62\x00", 6), {"\x1A\rb"}},
        ReadCase{"SurrogatePairIsOneQuestionMark", 2, std::string("\x42\xD8\xB7\xDF\x61\x00", 6), {"?a"}},
        ReadCase{"LoneSurrogate", 2, std::string("\x42\xD8\x61\x00", 4), {"?a"}},
        ReadCase{"TrailingZeroUnits", 2, std::string("\x61\x00\x00\x00\x00", 5), {"a"}}),
    [](const auto& test) { return std::string(test.param.name); });

// A piece ends at 5119 bytes; where a two-byte character would be split, it
// moves whole to the next piece.
INSTANTIATE_TEST_SUITE_P(
    Pieces, SourceLineReaderTest,
    ::testing::Values(
        ReadCase{"LongLineWithCrLf", 0, X(6000) + "\r\n", {X(kPiece), X(881) + "\n", ""}},
        ReadCase{"ExactPieceAtTheEnd", 0, X(kPiece), {X(kPiece), ""}},
        ReadCase{"OneByteShort", 0, X(kPiece - 1), {X(kPiece - 1)}},
        ReadCase{"CrLfRightAtTheLimit", 0, X(kPiece - 1) + "\r\nb", {X(kPiece - 1) + "\n", "b"}},
        ReadCase{"CrLfJustPastTheLimit", 0, X(kPiece) + "\r\nb", {X(kPiece), "\n", "b"}},
        ReadCase{"LfJustPastTheLimit", 0, X(kPiece) + "\n", {X(kPiece), "\n", ""}},
        ReadCase{"ShiftJisCharacterMovesWhole", 0, X(kPiece - 1) + "\x82\xA0\n",
                 {X(kPiece - 1), "\x82\xA0\n", ""}},
        ReadCase{"ShiftJisCharacterThatFits", 0, X(kPiece - 2) + "\x82\xA0" "b",
                 {X(kPiece - 2) + "\x82\xA0", "b"}},
        ReadCase{"ShiftJisRunOfLeadBytes", 0, X(kPiece - 3) + "\x81\x81\x81\x40\n",
                 {X(kPiece - 3) + "\x81\x81", "\x81\x40\n", ""}},
        ReadCase{"ShiftJisLeadAsTheLastByteOfTheFile", 0, X(kPiece - 1) + "\x82",
                 {X(kPiece - 1), "\x82"}},
        ReadCase{"ShiftJisKanaOnly", 0, Repeat("\x82\xA0", 3000),
                 {Repeat("\x82\xA0", 2559), Repeat("\x82\xA0", 441)}},
        ReadCase{"EucJpPairMovesWhole", 3, X(kPiece - 1) + "\xA4\xA2\n", {X(kPiece - 1), "\x82\xA0\n", ""}},
        ReadCase{"EucJpTripleMovesWhole", 3, X(kPiece - 2) + "\x8F\xB0\xA1" "b", {X(kPiece - 2), "?b"}},
        ReadCase{"EucJpKatakanaMovesWhole", 3, X(kPiece - 1) + "\x8E\xB1", {X(kPiece - 1), "\xB1"}},
        ReadCase{"EucJpExactPiece", 3, X(kPiece - 2) + "\xA4\xA2", {X(kPiece - 2) + "\x82\xA0", ""}},
        ReadCase{"Utf8SequenceMovesWhole", 6, X(kPiece - 2) + "\xE3\x81\x82\n", {X(kPiece - 2), "\x82\xA0\n", ""}},
        ReadCase{"Utf8SequenceThatFits", 6, X(kPiece - 3) + "\xE3\x81\x82\n", {X(kPiece - 3) + "\x82\xA0", "\n", ""}},
        ReadCase{"Utf8FourBytesMoveWhole", 6, X(kPiece - 1) + "\xF0\xA0\xAE\xB7", {X(kPiece - 1), "?"}},
        ReadCase{"Utf8MarkCountsNotAgainstTheLimit", 6, "\xEF\xBB\xBF" + X(kPiece) + "y", {X(kPiece), "y"}},
        ReadCase{"Iso2022JpCutAtTheByte", 4, X(kPiece) + "yz\n", {X(kPiece), "yz\n", ""}},
        ReadCase{"Utf7CutAtTheByte", 5, X(kPiece + 1), {X(kPiece), "x"}}),
    [](const auto& test) { return std::string(test.param.name); });

std::string Utf16Le(std::u16string_view units) {
  std::string out;
  for (const char16_t unit : units) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

// A UTF-16 line of more than 5119 units, or whose code page 932 form is
// longer than 5119 bytes, comes as several pieces, each ending on a whole
// character.
INSTANTIATE_TEST_SUITE_P(
    Utf16Pieces, SourceLineReaderTest,
    ::testing::Values(
        ReadCase{"LongAsciiLine", 2, Utf16Le(std::u16string(6000, u'x') + u"\n"), {X(kPiece), X(881) + "\n", ""}},
        ReadCase{"KanaLineLongerThanAPiece", 2, Utf16Le(std::u16string(3000, u'\u3042') + u"\r\n"),
                 {Repeat("\x82\xA0", 2559), Repeat("\x82\xA0", 441) + "\r\n", ""}},
        ReadCase{"FullBufferAtTheEnd", 2, Utf16Le(std::u16string(kPiece, u'x')), {X(kPiece)}},
        ReadCase{"FullBufferThenZeroUnits", 2, Utf16Le(std::u16string(kPiece, u'x') + std::u16string(3, u'\0')),
                 {X(kPiece)}},
        ReadCase{"FullBufferThenOneMore", 2, Utf16Le(std::u16string(kPiece, u'x') + u"y"), {X(kPiece), "y"}},
        ReadCase{"FullBufferThenLf", 2, Utf16Le(std::u16string(kPiece, u'x') + u"\n"), {X(kPiece), "\n", ""}},
        ReadCase{"SurrogatePairAtTheUnitLimit", 2,
                 Utf16Le(std::u16string(kPiece - 1, u'x') + u"\U00020BB7\n"), {X(kPiece - 1), "?\n", ""}},
        ReadCase{"KanaAfterAsciiAtTheByteLimit", 2, Utf16Le(std::u16string(kPiece - 1, u'x') + u"\u3042"),
                 {X(kPiece - 1), "\x82\xA0"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(SourceLineReader, EmptyFileGivesOneEmptyLineUnderEveryCharSet) {
  for (const int char_set : {0, 1, 2, 3, 4, 5, 6, 7, 8, -5}) {
    EXPECT_EQ(ReadBytes("", char_set), Lines{""}) << char_set;
  }
}

TEST(SourceLineReader, CrLfOnEveryReadBoundary) {
  // With a buffer of n bytes the pair is split between two reads at every
  // offset of the text for some n.
  const std::string text = "a\r\nbc\r\ndef\r\n\r\nghij\r";
  const Lines expected{"a\n", "bc\n", "def\n", "\n", "ghij\r"};
  testing::Sandbox sandbox;
  const std::string path = sandbox.Write("crlf.txt", text);
  for (std::size_t size = 4; size <= text.size() + 1; ++size) {
    EXPECT_EQ(ReadLines(path, 0, size), expected) << "buffer " << size;
  }
}

TEST(SourceLineReader, FailsToOpenAMissingFile) {
  testing::Sandbox sandbox;
  SourceLineReader reader(CharSet{0});
  EXPECT_FALSE(reader.Open(sandbox.Path("missing.txt").c_str()));
  std::string_view line = "untouched";
  EXPECT_FALSE(reader.ReadSourceLine(line));
  EXPECT_EQ(line, "untouched");
}

TEST(SourceLineReader, LeavesTheLineUntouchedAtTheEnd) {
  testing::Sandbox sandbox;
  SourceLineReader reader(CharSet{6});
  ASSERT_TRUE(reader.Open(sandbox.Write("a.txt", "abc").c_str()));
  std::string_view line;
  ASSERT_TRUE(reader.ReadSourceLine(line));
  EXPECT_EQ(line, "abc");
  line = "kept";
  EXPECT_FALSE(reader.ReadSourceLine(line));
  EXPECT_EQ(line, "kept");
}

// The next read of the file fails the way a failing disk makes it fail.
TEST(SourceLineReader, ReadErrorEndsTheReadingAndIsReported) {
  testing::Sandbox sandbox;
  const std::string path = sandbox.Write("a.txt", Repeat("line\n", 100));
  testing::FileFaults faults;
  SourceLineReader reader(CharSet{0}, 16);
  ASSERT_TRUE(reader.Open(path.c_str()));
  std::string_view line;
  ASSERT_TRUE(reader.ReadSourceLine(line));
  EXPECT_EQ(line, "line\n");

  faults.Fail(testing::FileOp::kRead, 1, EIO, "a.txt", true);
  int lines = 0;
  while (reader.ReadSourceLine(line)) ++lines;
  EXPECT_LT(lines, 5);
  EXPECT_TRUE(reader.ReadFailed());
  EXPECT_FALSE(reader.ReadSourceLine(line));
}

TEST(SourceLineReader, ReopeningStartsAfresh) {
  testing::Sandbox sandbox;
  SourceLineReader reader(CharSet{2});
  std::string_view line;
  ASSERT_TRUE(reader.Open(sandbox.Write("be.txt", std::string("\xFE\xFF\x00\x61", 4)).c_str()));
  ASSERT_TRUE(reader.ReadSourceLine(line));
  EXPECT_EQ(line, "a");
  EXPECT_FALSE(reader.ReadSourceLine(line));
  ASSERT_TRUE(reader.Open(sandbox.Write("le.txt", std::string("\x62\x00", 2)).c_str()));
  ASSERT_TRUE(reader.ReadSourceLine(line));
  EXPECT_EQ(line, "b");
}

// Real Japanese text in every encoding reads as its Shift-JIS form, line for
// line. Each file is made from one UTF-16 text with ICU's encoders.
constexpr char16_t kNovel[] =
    u"吾輩は猫である。名前はまだ無い。\r\n"
    u"「どこで生れたか、とんと見当がつかぬ」と彼は言った。\r\n"
    u"東京都千代田区１の２　ABC 123 (テスト) ｶﾀｶﾅ！？\r\n"
    u"\r\n"
    u"ＡＢＣ、ｱｲｳｴｵ・漢字と仮名…＆記号≒≠∞※〒";

std::string IcuEncode(const char* name, std::u16string_view text) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  EXPECT_TRUE(U_SUCCESS(error)) << name;
  std::string out(text.size() * 8 + 16, '\0');
  const int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                         static_cast<int32_t>(text.size()), &error);
  EXPECT_TRUE(U_SUCCESS(error)) << name;
  ucnv_close(converter);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

// The expected lines: the Shift-JIS text cut after every LF, CR LF read as
// LF where the file is read in text mode.
Lines ShiftJisLines(std::u16string_view text, bool text_mode) {
  std::string bytes = IcuEncode("windows-31j", text);
  if (text_mode) {
    for (std::size_t at; (at = bytes.find("\r\n")) != std::string::npos;) bytes.erase(at, 1);
  }
  Lines lines;
  std::size_t start = 0;
  for (std::size_t lf; (lf = bytes.find('\n', start)) != std::string::npos; start = lf + 1) {
    lines.push_back(bytes.substr(start, lf + 1 - start));
  }
  lines.push_back(bytes.substr(start));
  return lines;
}

struct EncodedText {
  const char* name;
  int char_set;
  std::string bytes;
};

void PrintTo(const EncodedText& test, std::ostream* out) { *out << test.name; }

class JapaneseTextTest : public ::testing::TestWithParam<EncodedText> {};

TEST_P(JapaneseTextTest, ReadsAsItsShiftJisForm) {
  const bool text_mode = GetParam().char_set != 2 && GetParam().char_set != 7;
  const Lines expected = ShiftJisLines(kNovel, text_mode);
  ASSERT_EQ(expected.size(), 5u);
  ASSERT_NE(expected[0].find("\x94\x4C"), std::string::npos);  // 猫
  EXPECT_EQ(ReadBytes(GetParam().bytes, GetParam().char_set), expected);
}

std::string Utf16Be(std::u16string_view units) {
  std::string out = Utf16Le(units);
  for (std::size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, JapaneseTextTest,
    ::testing::Values(EncodedText{"ShiftJis", 0, IcuEncode("windows-31j", kNovel)},
                      EncodedText{"EucJp", 3, IcuEncode("ibm-954_P101-2007", kNovel)},
                      EncodedText{"Utf7", 5, IcuEncode("UTF-7", kNovel)},
                      EncodedText{"Utf8", 6, IcuEncode("UTF-8", kNovel)},
                      EncodedText{"Utf8WithMark", 6, "\xEF\xBB\xBF" + IcuEncode("UTF-8", kNovel)},
                      EncodedText{"Utf16", 2, Utf16Le(kNovel)},
                      EncodedText{"Utf16WithMark", 7, "\xFF\xFE" + Utf16Le(kNovel)},
                      EncodedText{"Utf16BigEndian", 2, "\xFE\xFF" + Utf16Be(kNovel)}),
    [](const auto& test) { return std::string(test.param.name); });

// ISO-2022-JP has no half-width katakana of its own: they come through
// ESC ( I, written out here.
TEST(JapaneseText, Iso2022JpReadsAsItsShiftJisForm) {
  const std::string iso2022 =
      "\x1B$B8cGZ$OG-$G$\"$k!#\x1B(B\r\n"            // 吾輩は猫である。
      "ABC \x1B(I6@6E\x1B(B 123\r\n"                 // ABC ｶﾀｶﾅ 123
      "\x1B$B!V!A!W\x1B(J\\~\x1B(B\r\n"              // 「～」\~
      "\x1B$@$\"\x1B$B$$\x1B(B";                     // あい
  const Lines expected{"\x8C\xE1\x94\x79\x82\xCD\x94\x4C\x82\xC5\x82\xA0\x82\xE9\x81\x42\n",
                       "ABC \xB6\xC0\xB6\xC5 123\n", "\x81\x75\x81\x60\x81\x76\\~\n", "\x82\xA0\x82\xA2"};
  EXPECT_EQ(ReadBytes(iso2022, 4), expected);
}

// A literal model of the reading: the text-mode stream is made first, then
// taken byte by byte, a piece ending after its LF or at 5119 bytes; a piece
// that stops inside a character hands it to the next piece. Lines are
// converted exactly as delivered.
struct Model {
  int char_set;

  std::size_t Boundary(const std::string& piece) const {
    std::size_t i = 0;
    while (i < piece.size()) {
      const auto byte = static_cast<unsigned char>(piece[i]);
      std::size_t step = 1;
      if (char_set == 0 && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC))) step = 2;
      if (char_set == 3) step = byte == 0x8F ? 3 : (byte == 0x8E || (byte >= 0xA1 && byte <= 0xFE)) ? 2 : 1;
      if (char_set == 6) {
        const std::size_t need = byte >= 0xF0 && byte <= 0xF4 ? 4 : byte >= 0xE0 && byte <= 0xEF ? 3
                                 : byte >= 0xC2 && byte <= 0xDF ? 2 : 1;
        while (step < need && i + step < piece.size() &&
               (static_cast<unsigned char>(piece[i + step]) & 0xC0) == 0x80) {
          ++step;
        }
        if (step < need && i + step == piece.size()) step = need;
      }
      if (i + step > piece.size()) return i;
      i += step;
    }
    return i;
  }

  Lines Read(const std::string& file) const {
    std::string stream;
    for (std::size_t i = 0; i < file.size() && file[i] != '\x1A'; ++i) {
      if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n') continue;
      stream += file[i];
    }
    if (char_set == 6 && stream.starts_with("\xEF\xBB\xBF")) stream.erase(0, 3);
    Lines lines;
    std::size_t at = 0;
    for (bool end = false; !end;) {
      std::string piece;
      for (;;) {
        if (at == stream.size()) {
          end = true;
          break;
        }
        piece += stream[at++];
        if (piece.back() == '\n') break;
        if (piece.size() == kPiece) {
          const std::size_t keep = Boundary(piece);
          at -= piece.size() - keep;
          piece.resize(keep);
          break;
        }
      }
      piece = piece.substr(0, piece.find('\0'));
      lines.push_back(char_set == 0 ? piece : Convert(piece));
    }
    return lines;
  }

  std::string Convert(const std::string& piece) const {
    platform::Decoder decoder(char_set == 3 ? platform::kCodePageEucJp : platform::kCodePageUtf8);
    std::u16string units(piece.size(), u'\0');
    units.resize(decoder.Decode(piece, units.data(), units.size()));
    std::string bytes(units.size() * 2, '\0');
    bytes.resize(platform::EncodeCp932(units, bytes.data(), bytes.size()));
    return bytes;
  }
};

// Random files full of what breaks readers: CR, LF, CR LF, 0x1A, zero bytes,
// two-byte characters and lines long enough to be cut.
std::string RandomFile(std::mt19937& random, int char_set) {
  const std::string kTokens[] = {"a", "xyz", "\n", "\r", "\r\n", std::string(1, '\0'),
                                 char_set == 3 ? "\xA4\xA2" : char_set == 6 ? "\xE3\x81\x82" : "\x82\xA0",
                                 char_set == 3 ? "\x8F\xB0\xA1" : char_set == 6 ? "\xF0\xA0\xAE\xB7" : "\x81",
                                 char_set == 3 ? "\x8E\xB1" : char_set == 6 ? "\xC3\xA9" : "\xB1"};
  std::uniform_int_distribution<int> token(0, static_cast<int>(std::size(kTokens)) - 1);
  std::uniform_int_distribution<int> run(0, 7000);
  std::string file;
  if (char_set == 6 && random() % 4 == 0) file = "\xEF\xBB\xBF";
  const int count = static_cast<int>(random() % 60);
  for (int i = 0; i < count; ++i) {
    const int pick = token(random);
    // Now and then a long run of one token, to reach the piece limit.
    const std::size_t times = random() % 8 == 0 ? static_cast<std::size_t>(run(random)) / kTokens[pick].size() : 1;
    if (pick >= 2 && pick <= 5 && times > 1) continue;
    file += Repeat(kTokens[pick], times);
  }
  if (random() % 10 == 0) file += '\x1A' + std::string("tail\n");
  return file;
}

TEST(SourceLineReader, AgreesWithTheLiteralModelOnRandomFiles) {
  std::mt19937 random(5119);
  testing::Sandbox sandbox;
  for (const int char_set : {0, 3, 6}) {
    const Model model{char_set};
    for (int round = 0; round < 100; ++round) {
      const std::string file = RandomFile(random, char_set);
      const std::string path = sandbox.Write("random.txt", file);
      const Lines expected = model.Read(file);
      const std::size_t buffer = round % 3 == 0 ? 5 : round % 3 == 1 ? 4099 : 64 * 1024;
      ASSERT_EQ(ReadLines(path, char_set, buffer), expected) << "CharSet " << char_set << " round " << round;
    }
  }
}

// UTF-8 lines that go partly straight to code page 932 and partly through
// the decoder, with line ends and read boundaries anywhere among them.
class SourceLineReaderUtf8Test : public testing::Utf8VariantTest {};

TEST_P(SourceLineReaderUtf8Test, AgreesWithTheLiteralModelOnMixedUtf8) {
  std::mt19937 random(65001);
  testing::Sandbox sandbox;
  const Model model{6};
  for (int round = 0; round < 60; ++round) {
    std::string file;
    for (int line = static_cast<int>(random() % 8); line >= 0; --line) {
      file += testing::RandomUtf8Mix(random, random() % 4 == 0 ? 2000 : random() % 40);
      file += random() % 2 == 0 ? "\n" : "\r\n";
    }
    const std::string path = sandbox.Write("mixed.txt", file);
    const std::size_t buffer = 4 + random() % 300;
    ASSERT_EQ(ReadLines(path, 6, buffer, GetParam()), model.Read(file)) << "round " << round << " buffer " << buffer;
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, SourceLineReaderUtf8Test, ::testing::ValuesIn(platform::kUtf8Variants),
                         testing::VariantName<platform::Utf8Variant>);

// The model of the UTF-16 reading: a line runs to its LF or the end of the
// file and is then handed out in the longest pieces of whole characters.
Lines ModelUtf16(const std::string& file) {
  std::size_t at = 0;
  bool big_endian = false;
  if (file.starts_with("\xFF\xFE")) at = 2;
  if (file.starts_with("\xFE\xFF")) {
    at = 2;
    big_endian = true;
  }
  Lines lines;
  // The end-of-file indicator: set by a read that finds less than a unit.
  for (bool end = false; !end;) {
    std::u16string line;
    for (;;) {
      if (at >= file.size()) {
        end = true;
        break;
      }
      const auto first = static_cast<unsigned char>(file[at]);
      if (at + 1 == file.size()) end = true;
      const auto second = end ? 0 : static_cast<unsigned char>(file[at + 1]);
      // A byte alone at the end is a unit of its own, whatever the order.
      const auto unit = static_cast<char16_t>(big_endian && !end ? first << 8 | second : second << 8 | first);
      at += 2;
      if (unit != 0) line += unit;
      if (unit == u'\n' || end) break;
    }
    std::size_t used = 0;
    do {
      std::string piece(kPiece, '\0');
      std::size_t consumed = 0;
      piece.resize(platform::EncodeCp932(std::u16string_view(line).substr(used), piece.data(), kPiece, &consumed));
      used += consumed;
      lines.push_back(piece);
    } while (used < line.size());
  }
  return lines;
}

TEST(SourceLineReader, AgreesWithTheUtf16ModelOnRandomFiles) {
  std::mt19937 random(7);
  testing::Sandbox sandbox;
  const std::u16string kTokens[] = {u"a", u"\n", u"\r", std::u16string(1, u'\0'), u"\u3042", u"\uFEFF", u"\u00E9"};
  std::uniform_int_distribution<int> token(0, static_cast<int>(std::size(kTokens)) - 1);
  for (int round = 0; round < 120; ++round) {
    std::u16string text;
    const int count = static_cast<int>(random() % 50);
    for (int i = 0; i < count; ++i) {
      const auto& pick = kTokens[token(random)];
      text += random() % 10 == 0 && pick != u"\n" ? std::u16string(random() % 7000, pick[0]) : pick;
    }
    std::string file = round % 3 == 0 ? "\xFE\xFF" + Utf16Be(text) : round % 3 == 1 ? "\xFF\xFE" + Utf16Le(text)
                                                                                   : Utf16Le(text);
    if (random() % 5 == 0) file += 'z';
    const std::string path = sandbox.Write("random16.txt", file);
    const std::size_t buffer = round % 2 == 0 ? 5 : 64 * 1024;
    ASSERT_EQ(ReadLines(path, 2, buffer), ModelUtf16(file)) << "round " << round;
  }
}

}  // namespace
}  // namespace velto::measure
