// The pure parts of the tool: encoding guesses, option values, the
// refusing conversion, the built-in kinsoku sets, widths and JSON text.
#include <gtest/gtest.h>

#include <algorithm>

#include "encoding_detect.h"
#include "settings.h"
#include "test_text.h"
#include "text_output.h"
#include "tool_error.h"
#include "transcode.h"

namespace velto::testing {
namespace {

using tool::DetectEncoding;

constexpr std::string_view kJapanese = "吾輩はねこである。名前はまだない、どこで生まれたか？「とんと見当がつかぬ」\n";

struct DetectCase {
  const char* label;
  std::string bytes;
  CharSet char_set;
  tool::ByteOrderMark mark;
};

void PrintTo(const DetectCase& c, std::ostream* out) { *out << c.label; }

class DetectEncodingTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectEncodingTest, ChoosesTheCharSet) {
  const tool::DetectedEncoding detected = DetectEncoding(GetParam().bytes);
  EXPECT_EQ(detected.char_set, GetParam().char_set);
  EXPECT_EQ(detected.mark, GetParam().mark);
}

std::vector<DetectCase> DetectCases() {
  using tool::ByteOrderMark;
  const std::string sjis = ConvertFromUtf8(kJapanese, "windows-31j");
  const std::string euc = ConvertFromUtf8(kJapanese, "EUC-JP");
  const std::string utf8(kJapanese);
  return {
      {"ascii", "plain ASCII text\n", CharSet::kShiftJis, ByteOrderMark::kNone},
      {"empty", "", CharSet::kShiftJis, ByteOrderMark::kNone},
      {"sjis", sjis, CharSet::kShiftJis, ByteOrderMark::kNone},
      {"euc", euc, CharSet::kEucJp, ByteOrderMark::kNone},
      {"euc_half_width", ConvertFromUtf8("ｶﾀｶﾅとかな\n", "EUC-JP"), CharSet::kEucJp,
       ByteOrderMark::kNone},
      {"sjis_half_width", ConvertFromUtf8("ｶﾀｶﾅとかな\n", "windows-31j"), CharSet::kShiftJis,
       ByteOrderMark::kNone},
      {"utf8", utf8, CharSet::kUtf8, ByteOrderMark::kNone},
      // A prefix may cut the last character: still UTF-8.
      {"utf8_cut", utf8.substr(0, utf8.size() - 2), CharSet::kUtf8, ByteOrderMark::kNone},
      {"utf8_mark", "\xEF\xBB\xBF" "abc", CharSet::kUtf8, ByteOrderMark::kUtf8},
      {"utf16le", "\xFF\xFE" "a\0", CharSet::kUtf16, ByteOrderMark::kUtf16LittleEndian},
      {"utf16be", "\xFE\xFF\0a", CharSet::kUtf16, ByteOrderMark::kUtf16BigEndian},
      {"jis", ConvertFromUtf8(kJapanese, "ISO-2022-JP"), CharSet::kIso2022Jp, ByteOrderMark::kNone},
      {"jis_at", "abc\x1B$@$\"\x1B(Bdef", CharSet::kIso2022Jp, ByteOrderMark::kNone},
      {"jis_roman", "\x1B(Jabc", CharSet::kIso2022Jp, ByteOrderMark::kNone},
      {"jis_kana", "\x1B(I12", CharSet::kIso2022Jp, ByteOrderMark::kNone},
      // An overlong form is not UTF-8; two bytes A4 A2 read as EUC-JP あ.
      {"overlong", "\xC0\xAF\xA4\xA2", CharSet::kEucJp, ByteOrderMark::kNone},
  };
}

INSTANTIATE_TEST_SUITE_P(Samples, DetectEncodingTest, ::testing::ValuesIn(DetectCases()),
                         [](const auto& param_info) { return std::string(param_info.param.label); });

struct LengthCase {
  const char* text;
  std::int32_t value;  // -1: refused
};

TEST(SettingsTest, LineLengthIsZeroOrTenAndMore) {
  const LengthCase cases[] = {{"0", 0},  {"10", 10}, {"400", 400}, {"1", -1},    {"9", -1},
                              {"-1", -1}, {"", -1},  {"12a", -1},  {" 20", -1}, {"99999999999", -1}};
  for (const LengthCase& c : cases) {
    if (c.value < 0) {
      EXPECT_THROW(tool::ParseLineLength(c.text), tool::ToolError) << c.text;
    } else {
      EXPECT_EQ(tool::ParseLineLength(c.text), c.value) << c.text;
    }
  }
}

TEST(SettingsTest, EncodingNamesAndNumbers) {
  EXPECT_EQ(tool::ParseEncoding("auto"), std::nullopt);
  const std::pair<const char*, int> names[] = {
      {"sjis", 0}, {"utf-16", 2}, {"euc-jp", 3}, {"iso-2022-jp", 4}, {"utf-7", 5}, {"utf-8", 6},
      {"0", 0},    {"1", 1},      {"7", 7}};
  for (const auto& [name, char_set] : names) {
    EXPECT_EQ(tool::ParseEncoding(name), static_cast<CharSet>(char_set)) << name;
  }
  for (const char* bad : {"8", "-1", "UTF8", "", "latin-1"}) {
    EXPECT_THROW(tool::ParseEncoding(bad), tool::ToolError) << bad;
  }
  EXPECT_EQ(tool::EncodingName(CharSet::kShiftJisToo), "sjis");
  EXPECT_EQ(tool::EncodingName(CharSet::kUtf16Too), "utf-16");
  EXPECT_EQ(tool::EncodingName(CharSet{9}), "sjis");
}

TEST(SettingsTest, BuiltInKinsokuSetsAreTheirUtf8ListsInCodePage932) {
  const Settings& sets = tool::DefaultLayout();
  EXPECT_EQ(sets.no_top_no_hang, ConvertFromUtf8(tool::kDefaultNoTopNoHangUtf8, "windows-31j"));
  EXPECT_EQ(sets.no_top_hang, ConvertFromUtf8(tool::kDefaultNoTopHangUtf8, "windows-31j"));
  EXPECT_EQ(sets.no_end, ConvertFromUtf8(tool::kDefaultNoEndUtf8, "windows-31j"));
  // Nothing became "?" on the way, apart from the one "?" of the list.
  EXPECT_EQ(std::count(sets.no_top_no_hang.begin(), sets.no_top_no_hang.end(), '?'), 1);
  EXPECT_EQ(sets.no_top_hang.find('?'), std::string::npos);
  EXPECT_EQ(sets.no_end.find('?'), std::string::npos);
}

TEST(SettingsTest, CharacterSetsRefuseWhatTheyCannotHold) {
  EXPECT_EQ(tool::ParseCharacterSet("--no-top", "」～?"), "\x81\x76\x81\x60?");
  for (const char* bad : {"é", "😀", "\u301C", "a\nb", "\xFF"}) {
    EXPECT_THROW(tool::ParseCharacterSet("--no-top", bad), tool::ToolError) << bad;
  }
  // A status value holds 259 bytes.
  EXPECT_EQ(tool::ParseCharacterSet("--no-end", std::string(259, 'x')).size(), 259U);
  EXPECT_THROW(tool::ParseCharacterSet("--no-end", std::string(260, 'x')), tool::ToolError);
  std::string kana;
  for (int i = 0; i < 130; ++i) kana += "あ";  // 260 bytes in code page 932
  EXPECT_THROW(tool::ParseCharacterSet("--no-end", kana), tool::ToolError);
}

TEST(TranscodeTest, RefusalNamesTheCharacter) {
  std::string out;
  std::string error;
  EXPECT_FALSE(tool::Utf8ToCp932("あé", out, error));
  EXPECT_NE(error.find("U+00E9"), std::string::npos) << error;
  EXPECT_FALSE(tool::Utf8ToCp932("\xE3\x81", out, error));
  EXPECT_NE(error.find("invalid UTF-8"), std::string::npos) << error;
  EXPECT_TRUE(tool::Utf8ToCp932("ｱ全", out, error)) << error;
  EXPECT_EQ(out, "\xB1\x91\x53");
  EXPECT_EQ(tool::Cp932ToUtf8(out), "ｱ全");
}

TEST(OutputTest, WidthsCountFullWidthAsTwoColumns) {
  EXPECT_EQ(tool::DisplayWidth("abc"), 3U);
  EXPECT_EQ(tool::DisplayWidth("全角ｶﾅ"), 6U);
  EXPECT_EQ(tool::DisplayWidth("Ｍ．Ｙ"), 6U);
  EXPECT_EQ(tool::DisplayWidth("e\u0301"), 1U);
  EXPECT_EQ(tool::PadLeft("全", 4), "  全");
  EXPECT_EQ(tool::PadRight("全", 1), "全");
}

TEST(OutputTest, JsonStringsAreEscaped) {
  EXPECT_EQ(tool::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(tool::JsonString("t\tn\n\x01"), "\"t\\tn\\n\\u0001\"");
  EXPECT_EQ(tool::JsonString("日本"), "\"日本\"");
  EXPECT_EQ(tool::JsonString("\xFF"), "\"\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace velto::testing
