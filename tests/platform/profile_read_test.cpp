// Reading the INI profile: which line counts as the key, and how its value
// is cut, trimmed, unquoted and turned into an integer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/profile.h"
#include "support/sandbox.h"

namespace velto::testing {
namespace {

constexpr const char* kAbsent = "<absent>";

// The value GetProfileString gives for section S, key K, or kAbsent.
std::string ReadValue(const std::string& path, const char* section = "GetStatus",
                      const char* key = "Name") {
  char out[260] = {};
  platform::ReadProfileValue(path.c_str(), section, key, kAbsent, out, sizeof out);
  return out;
}

struct ReadCase {
  const char* name;
  const char* text;
  const char* expected;
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, FindsTheValueOfTheFirstMatchingKey) {
  Sandbox box;
  const std::string path = box.Write("s.ini", GetParam().text);
  EXPECT_EQ(ReadValue(path), GetParam().expected);
}

const ReadCase kReadCases[] = {
    {"Plain", "[GetStatus]\nName=a.txt\n", "a.txt"},
    {"CrLf", "[GetStatus]\r\nName=a.txt\r\n", "a.txt"},
    {"NoFinalLineEnd", "[GetStatus]\nName=a.txt", "a.txt"},
    {"SectionCaseIgnored", "[getSTATUS]\nName=a\n", "a"},
    {"KeyCaseIgnored", "[GetStatus]\nNAME=a\n", "a"},
    {"BlanksAroundNamesAndValue", "  [ GetStatus ]  \n\t Name \t=  a b \t\n", "a b"},
    {"DoubleQuotesRemoved", "[GetStatus]\nName=\" a \"\n", " a "},
    {"SingleQuotesRemoved", "[GetStatus]\nName='a'\n", "a"},
    {"OnlyOnePairRemoved", "[GetStatus]\nName=\"\"a\"\"\n", "\"a\""},
    {"MismatchedQuotesKept", "[GetStatus]\nName=\"a'\n", "\"a'"},
    {"LoneQuoteKept", "[GetStatus]\nName=\"\n", "\""},
    {"QuotedEmpty", "[GetStatus]\nName=\"\"\n", ""},
    {"EmptyValueIsPresent", "[GetStatus]\nName=\n", ""},
    {"BlankValueIsEmpty", "[GetStatus]\nName=   \n", ""},
    {"EqualsInValue", "[GetStatus]\nName=a=b\n", "a=b"},
    {"FirstKeyWins", "[GetStatus]\nName=first\nName=second\n", "first"},
    {"FirstSectionWins", "[GetStatus]\nSize=1\n[Other]\n[GetStatus]\nName=late\n", kAbsent},
    {"CommentIsNoKey", "[GetStatus]\n;Name=commented\n  ; Name=x\n", kAbsent},
    {"CommentBeforeKey", "[GetStatus]\n;Name=commented\nName=real\n", "real"},
    {"KeyBeforeAnySectionIgnored", "Name=early\n[GetStatus]\n", kAbsent},
    {"OtherSectionIgnored", "[Other]\nName=other\n[GetStatus]\nSize=1\n", kAbsent},
    {"NextSectionEndsOurs", "[GetStatus]\nSize=1\n[Other]\nName=other\n", kAbsent},
    {"LineWithoutEqualsIsNoKey", "[GetStatus]\nName\nName=value\n", "value"},
    {"HeaderWithoutBracketIsNoHeader", "[GetStatus]\n[Other\nName=a\n", "a"},
    {"PrefixOfKeyDoesNotMatch", "[GetStatus]\nNameX=a\nNam=b\n", kAbsent},
    {"EmptyFile", "", kAbsent},
    {"NoValueSentinelIsAValue", "[GetStatus]\nName=NOVALUE\n", "NOVALUE"},
};

INSTANTIATE_TEST_SUITE_P(Rules, ProfileRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ProfileReadLimits, LongValueIsCutToTheBuffer) {
  Sandbox box;
  const std::string value(300, 'v');
  const std::string path = box.Write("s.ini", "[GetStatus]\nName=" + value + "\n");
  char out[260];
  EXPECT_EQ(platform::ReadProfileValue(path.c_str(), "GetStatus", "Name", "", out, sizeof out), 259u);
  EXPECT_EQ(std::string(out), value.substr(0, 259));

  char small[4];
  EXPECT_EQ(platform::ReadProfileValue(path.c_str(), "GetStatus", "Name", "", small, sizeof small), 3u);
  EXPECT_EQ(std::string(small), "vvv");
}

TEST(ProfileReadLimits, DefaultIsCutToTheBufferToo) {
  Sandbox box;
  const std::string path = box.Write("s.ini", "");
  char out[4];
  EXPECT_EQ(platform::ReadProfileValue(path.c_str(), "GetStatus", "Name", "NOVALUE", out, sizeof out),
            3u);
  EXPECT_EQ(std::string(out), "NOV");
}

TEST(ProfileReadLimits, PathsThatNameNoRegularFileHoldNoKeys) {
  Sandbox box;
  box.Write("dir/s.ini", "[GetStatus]\nName=a\n");
  ASSERT_EQ(mkfifo(box.Path("pipe").c_str(), 0600), 0);
  for (const std::string& path :
       {box.Path("dir"), box.Path("missing.ini"), box.Path("dir/*.ini"), box.Path("pipe")}) {
    EXPECT_EQ(ReadValue(path), kAbsent) << path;
    EXPECT_EQ(platform::ReadProfileInt(path.c_str(), "GetStatus", "Name", -9999), -9999) << path;
  }
}

struct IntCase {
  const char* name;
  const char* value;  // nullptr: the key is absent
  int expected;
};

void PrintTo(const IntCase& c, std::ostream* out) { *out << c.name; }

class ProfileInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileInt, ReadsTheIntegerForms) {
  Sandbox box;
  std::string text = "[GetStatus]\n";
  if (GetParam().value != nullptr) text += std::string("LineLength=") + GetParam().value + "\n";
  const std::string path = box.Write("s.ini", text);
  EXPECT_EQ(platform::ReadProfileInt(path.c_str(), "GetStatus", "LineLength", -9999),
            GetParam().expected);
}

const IntCase kIntCases[] = {
    {"Absent", nullptr, -9999},
    {"Empty", "", -9999},
    {"Blank", "   ", -9999},
    {"Decimal", "42", 42},
    {"Negative", "-17", -17},
    {"Plus", "+8", 8},
    {"Zero", "0", 0},
    {"Sentinel", "-9999", -9999},
    {"StopsAtFirstOtherByte", "12abc", 12},
    {"Garbage", "abc", 0},
    {"SignAlone", "-", 0},
    {"BlankAfterSign", "- 5", 0},
    {"Quoted", "\"7\"", 7},
    {"BlankInsideQuotes", "' 7'", 7},
    {"Hex", "0x1F", 31},
    {"HexUpperDigits", "0xfF", 255},
    {"HexNegative", "-0x10", -16},
    {"UpperXIsNoPrefix", "0X1F", 0},
    {"Octal", "0o17", 15},
    {"Binary", "0b101", 5},
    {"BinaryStopsAtTwo", "0b12", 1},
    {"LeadingZeros", "007", 7},
    {"Maximum", "2147483647", 2147483647},
    {"Minimum", "-2147483648", -2147483647 - 1},
    {"WrapsPastMaximum", "2147483648", -2147483647 - 1},
    {"WrapsAll32Bits", "4294967295", -1},
    {"WrapsModulo2To32", "99999999999", 1215752191},
};

INSTANTIATE_TEST_SUITE_P(Forms, ProfileInt, ::testing::ValuesIn(kIntCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ProfileFormat, Utf16FilesAreNotSupported) {
  Sandbox box;
  struct Case {
    const char* name;
    std::string bytes;
    bool supported;
  };
  const Case cases[] = {
      {"le.ini", std::string("\xFF\xFE[\0G\0", 6), false},
      {"be.ini", std::string("\xFE\xFF\0[\0G", 6), false},
      {"utf8.ini", "\xEF\xBB\xBF[GetStatus]\n", true},
      {"plain.ini", "[GetStatus]\n", true},
      {"empty.ini", "", true},
      {"one.ini", "\xFF", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ProfileFormatSupported(box.Write(c.name, c.bytes).c_str()), c.supported)
        << c.name;
  }
}

}  // namespace
}  // namespace velto::testing
