#include "measure/text_counter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/sandbox.h"
#include "support/status_file.h"

namespace velto::measure {
namespace {

using testing::Sandbox;
using testing::ScopedCurrentDirectory;

// "、。" and "」" in code page 932.
const std::string kCommaStop = "\x81\x41\x81\x42";
const std::string kCloseBracket = "\x81\x76";
// "（「" in code page 932.
const std::string kOpenBrackets = "\x81\x69\x81\x75";

const char* const kResultKeys[] = {"Size",      "CRLF",      "NoCRLF",  "NoCRLF_NoBLANK",
                                   "LineCount", "PageCount", "ModCount"};

// A status file with section GetStatus holding the given "Key=Value" lines.
std::string WriteStatus(const Sandbox& sandbox, const std::string& name,
                        const std::vector<std::string>& lines) {
  std::string text = "[GetStatus]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return sandbox.Write(name, text);
}

// The result keys as the file holds them, read without the library.
void ExpectZeroResults(const std::string& status_path) {
  const auto section = testing::ReadStatusSection(status_path);
  for (const char* key : kResultKeys) {
    const auto found = section.find(key);
    ASSERT_NE(found, section.end()) << key;
    EXPECT_EQ(found->second, "0") << key;
  }
}

struct LengthCase {
  const char* setting;  // the LineLength line, or "" for none
  std::uint32_t line_length;
  std::uint32_t backoff_limit;
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << '"' << c.setting << '"'; }

class CounterLineLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(CounterLineLengthTest, RaisesShortLinesAndDerivesTheBackoffLimit) {
  Sandbox sandbox;
  std::vector<std::string> lines;
  if (GetParam().setting[0] != '\0') lines.emplace_back(GetParam().setting);
  const std::string status = WriteStatus(sandbox, "s.ini", lines);
  TextCounter counter(status.c_str());
  ASSERT_TRUE(counter.profile().IsValid());
  EXPECT_EQ(counter.line_length(), GetParam().line_length);
  EXPECT_EQ(counter.backoff_limit(), GetParam().backoff_limit);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CounterLineLengthTest,
    ::testing::Values(LengthCase{"LineLength=5", 10, 5}, LengthCase{"LineLength=1", 10, 5},
                      LengthCase{"LineLength=9", 10, 5}, LengthCase{"LineLength=10", 10, 5},
                      LengthCase{"LineLength=33", 33, 5},    // 4.95 raised to 5
                      LengthCase{"LineLength=40", 40, 6},    // 6.0
                      LengthCase{"LineLength=66", 66, 9},    // 9.9 truncated
                      LengthCase{"LineLength=100", 100, 15}, //
                      LengthCase{"LineLength=0", 0, 0}, LengthCase{"", 0, 0},
                      LengthCase{"LineLength=-9999", 0, 0},  // reads as absent
                      // Negative values are huge unsigned lengths, never raised.
                      LengthCase{"LineLength=-1", 4294967295U, 644245094U},
                      LengthCase{"LineLength=-2147483648", 2147483648U, 322122547U}),
    [](const auto& param_info) {
      // "LineLength=-1" gives "LineLength_minus1"; no setting gives "Absent".
      std::string name;
      for (const char* c = param_info.param.setting; *c != '\0'; ++c) {
        if (*c == '=') name += '_';
        else if (*c == '-') name += "minus";
        else name += *c;
      }
      return name.empty() ? std::string("Absent") : name;
    });

TEST(TextCounterTest, HangingCharactersJoinTheNoTopSet) {
  Sandbox sandbox;
  const std::string status = WriteStatus(
      sandbox, "s.ini",
      {"NoTop_NoHang=" + kCommaStop, "NoTop_Hang=" + kCloseBracket, "NoEnd=" + kOpenBrackets});
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.no_top_set(), kCommaStop + kCloseBracket);
  EXPECT_EQ(counter.hang_set(), kCloseBracket);
  EXPECT_EQ(counter.no_end_set(), kOpenBrackets);

  const LineBreakSettings settings = counter.line_break_settings();
  EXPECT_EQ(settings.no_top, counter.no_top_set());
  EXPECT_EQ(settings.hang, counter.hang_set());
  EXPECT_EQ(settings.no_end, counter.no_end_set());
}

TEST(TextCounterTest, AbsentSetsAreEmpty) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "s.ini", {"NoTop_NoHang=" + kCommaStop});
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.no_top_set(), kCommaStop);
  EXPECT_STREQ(counter.hang_set(), "");
  EXPECT_STREQ(counter.no_end_set(), "");
}

TEST(TextCounterTest, HangingCharactersAloneMakeTheNoTopSet) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "s.ini", {"NoTop_Hang=" + kCloseBracket});
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.no_top_set(), kCloseBracket);
  EXPECT_EQ(counter.hang_set(), kCloseBracket);
}

TEST(TextCounterTest, OverlongNoTopKeepsWholeCharactersOnly) {
  Sandbox sandbox;
  // Two values of 259 bytes each: 129 two-byte characters and a letter.
  std::string no_hang;
  for (int i = 0; i < 129; ++i) no_hang += kCommaStop.substr(0, 2);  // "、"
  no_hang += "a";
  std::string hang = "b";
  for (int i = 0; i < 129; ++i) hang += kCloseBracket;  // "」"
  ASSERT_EQ(no_hang.size(), 259U);
  ASSERT_EQ(hang.size(), 259U);

  const std::string status =
      WriteStatus(sandbox, "s.ini", {"NoTop_NoHang=" + no_hang, "NoTop_Hang=" + hang});
  TextCounter counter(status.c_str());
  const std::string no_top = counter.no_top_set();
  // 252 bytes are left for the hanging ones: the letter and 125 characters;
  // the 126th would need a byte beyond the set.
  EXPECT_EQ(no_top.size(), 510U);
  EXPECT_EQ(no_top.substr(0, 259), no_hang);
  EXPECT_EQ(no_top.substr(259), hang.substr(0, 251));
  EXPECT_EQ(counter.hang_set(), hang);
}

TEST(TextCounterTest, OverlongNoTopFillsTheSetWhenCharactersEndOnItsLastByte) {
  Sandbox sandbox;
  std::string no_hang(259, 'n');
  std::string hang;
  for (int i = 0; i < 129; ++i) hang += kCloseBracket;
  hang += "z";
  const std::string status =
      WriteStatus(sandbox, "s.ini", {"NoTop_NoHang=" + no_hang, "NoTop_Hang=" + hang});
  TextCounter counter(status.c_str());
  // 259 + 126 * 2 = 511 bytes: the set is full.
  EXPECT_EQ(std::string(counter.no_top_set()), no_hang + hang.substr(0, 252));
}

TEST(TextCounterTest, NumbersDefaultToZero) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "s.ini", {});
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.char_set(), 0);
  EXPECT_EQ(counter.code_page(), 932);
  EXPECT_EQ(counter.page_length(), 0U);
  EXPECT_EQ(counter.line_length(), 0U);
}

TEST(TextCounterTest, ReadsPageLengthAndCharSet) {
  struct Case {
    int char_set;
    std::int32_t code_page;
  };
  const Case cases[] = {{0, 932},     {1, 932},     {2, 0},     {3, 20932},
                        {4, 50220},   {5, 65000},   {6, 65001}, {7, 0},
                        {8, kUnknownCodePage}, {-1, kUnknownCodePage}};
  for (const Case& c : cases) {
    Sandbox sandbox;
    const std::string status = WriteStatus(
        sandbox, "s.ini", {"PageLength=20", "CharSet=" + std::to_string(c.char_set)});
    TextCounter counter(status.c_str());
    EXPECT_EQ(counter.page_length(), 20U);
    EXPECT_EQ(counter.char_set(), c.char_set);
    EXPECT_EQ(counter.code_page(), c.code_page) << c.char_set;
  }
}

TEST(TextCounterTest, DefaultTemporaryFileBesideTheStatusFile) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "cfg/s.ini", {});
  {
    TextCounter counter(status.c_str());
    EXPECT_STREQ(counter.measured_path(), "");
  }
  const std::string temporary = sandbox.Write("cfg/velto.tmp", "text");
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.measured_path(), temporary);
}

TEST(TextCounterTest, DefaultTemporaryFileBesideARelativeStatusPath) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  WriteStatus(sandbox, "cfg/s.ini", {});
  sandbox.Write("cfg/velto.tmp", "text");
  TextCounter counter("cfg/s.ini");
  EXPECT_STREQ(counter.measured_path(), "cfg/velto.tmp");
}

TEST(TextCounterTest, EmptyTemporaryMeansNoTemporaryFile) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "cfg/s.ini", {"Temporary="});
  sandbox.Write("cfg/velto.tmp", "text");
  TextCounter counter(status.c_str());
  EXPECT_STREQ(counter.measured_path(), "");
}

TEST(TextCounterTest, TemporaryNameJoinsTheSettingsDirectory) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "cfg/s.ini", {"Temporary=a.tmp"});
  const std::string temporary = sandbox.Write("cfg/a.tmp", "text");
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.measured_path(), temporary);
}

TEST(TextCounterTest, TemporaryNameWithoutSettingsDirectoryStaysRelative) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  WriteStatus(sandbox, "s.ini", {"Temporary=a.tmp"});
  {
    TextCounter counter("s.ini");
    EXPECT_STREQ(counter.measured_path(), "");
  }
  sandbox.Write("a.tmp", "text");
  TextCounter counter("s.ini");
  EXPECT_STREQ(counter.measured_path(), "a.tmp");
}

TEST(TextCounterTest, TemporaryPathWithSeparatorIsUsedAsWritten) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  const std::string status = WriteStatus(sandbox, "cfg/s.ini", {"Temporary=work/a.tmp"});
  sandbox.Write("work/a.tmp", "text");
  TextCounter counter(status.c_str());
  EXPECT_STREQ(counter.measured_path(), "work/a.tmp");
}

TEST(TextCounterTest, TemporaryThatDoesNotFitIsDropped) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "cfg/s.ini", {"Temporary=" + std::string(250, 't')});
  TextCounter counter(status.c_str());
  EXPECT_STREQ(counter.measured_path(), "");
}

TEST(TextCounterTest, NovalueReadsAsAbsent) {
  Sandbox sandbox;
  const std::string status = WriteStatus(
      sandbox, "cfg/s.ini",
      {"Temporary=NOVALUE", "DebugLog=NOVALUE", "NoTop_NoHang=NOVALUE", "NoEnd=NOVALUE"});
  const std::string temporary = sandbox.Write("cfg/velto.tmp", "text");
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.measured_path(), temporary);
  EXPECT_EQ(counter.log().state(), log::LogState::kOff);
  EXPECT_STREQ(counter.no_top_set(), "");
  EXPECT_STREQ(counter.no_end_set(), "");
}

TEST(TextCounterTest, DebugLogNameJoinsTheSettingsDirectory) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "cfg/s.ini", {"DebugLog=debug.log"});
  const std::string log_path = sandbox.Path("cfg/debug.log");
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.debug_log_path(), log_path);
  EXPECT_EQ(counter.log().path(), log_path);
  EXPECT_EQ(counter.log().state(), log::LogState::kArmed);
  EXPECT_STREQ(counter.log().mode(), "w");
  // Nothing is created before the first line.
  EXPECT_FALSE(std::filesystem::exists(log_path));
}

TEST(TextCounterTest, DebugLogWithoutSettingsDirectoryUsesTheCurrentDirectory) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  WriteStatus(sandbox, "s.ini", {"DebugLog=debug.log"});
  TextCounter counter("s.ini");
  EXPECT_STREQ(counter.debug_log_path(), "debug.log");
  EXPECT_EQ(counter.log().path(), std::filesystem::current_path().string() + "/debug.log");
}

TEST(TextCounterTest, DebugLogPathWithSeparatorIsUsedAsWritten) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "cfg/s.ini", {"DebugLog=logs/debug.log"});
  TextCounter counter(status.c_str());
  EXPECT_STREQ(counter.log().path(), "logs/debug.log");
}

TEST(TextCounterTest, EmptyOrAbsentDebugLogLeavesLoggingOff) {
  for (const std::vector<std::string>& lines :
       {std::vector<std::string>{"DebugLog="}, std::vector<std::string>{}}) {
    Sandbox sandbox;
    ScopedCurrentDirectory cwd(sandbox.root());
    const std::string status = WriteStatus(sandbox, "s.ini", lines);
    TextCounter counter(status.c_str());
    EXPECT_EQ(counter.log().state(), log::LogState::kOff);
    EXPECT_EQ(counter.log().Log("nothing"), 1);
  }
}

TEST(TextCounterTest, DebugLogThatDoesNotFitLeavesLoggingOff) {
  Sandbox sandbox;
  const std::string status =
      WriteStatus(sandbox, "cfg/s.ini", {"DebugLog=" + std::string(250, 'd')});
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.log().state(), log::LogState::kOff);
}

TEST(TextCounterTest, DestructionClosesTheLog) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "s.ini", {"DebugLog=debug.log"});
  {
    TextCounter counter(status.c_str());
    ASSERT_EQ(counter.log().LogCharacterCount(4), 1);
  }
  const std::string text = Sandbox::Read(sandbox.Path("debug.log"));
  EXPECT_EQ(text.substr(27), "dwCharacterCount : 4\r\n");
}

TEST(TextCounterTest, ResultKeysAreZeroedInOrder) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "s.ini", {});
  TextCounter counter(status.c_str());
  EXPECT_TRUE(counter.zeros_written());
  ExpectZeroResults(status);
  const std::string text = Sandbox::Read(status);
  std::size_t previous = 0;
  for (const char* key : kResultKeys) {
    const std::size_t at = text.find(std::string(key) + "=0");
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GE(at, previous) << key;
    previous = at;
  }
}

TEST(TextCounterTest, StaleResultsAreReplacedByZeros) {
  Sandbox sandbox;
  const std::string status = WriteStatus(
      sandbox, "s.ini",
      {"Size=120", "CRLF=60", "NoCRLF=55", "NoCRLF_NoBLANK=50", "LineCount=7", "PageCount=2",
       "ModCount=3", "LineLength=40"});
  TextCounter counter(status.c_str());
  EXPECT_TRUE(counter.zeros_written());
  ExpectZeroResults(status);
  // Settings stay as they were.
  EXPECT_EQ(counter.line_length(), 40U);
  EXPECT_EQ(testing::ReadStatusSection(status)["LineLength"], "40");
}

TEST(TextCounterTest, MissingStatusFileLeavesTheCounterUnloaded) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  sandbox.Write("velto.tmp", "text");
  TextCounter counter(sandbox.Path("s.ini").c_str());
  EXPECT_FALSE(counter.profile().IsValid());
  EXPECT_FALSE(counter.zeros_written());
  EXPECT_STREQ(counter.measured_path(), "");
  EXPECT_EQ(counter.log().state(), log::LogState::kOff);
  EXPECT_EQ(counter.LoadSettings("s.ini"), 0);
  EXPECT_FALSE(std::filesystem::exists(sandbox.Path("s.ini")));
}

TEST(TextCounterTest, LoadSettingsReportsWhetherTheStatusFileOpened) {
  Sandbox sandbox;
  const std::string status = WriteStatus(sandbox, "s.ini", {"LineLength=40"});
  TextCounter counter(status.c_str());
  EXPECT_EQ(counter.LoadSettings(status.c_str()), 1);
  EXPECT_EQ(counter.LoadSettings(sandbox.Path("other.ini").c_str()), 0);
  EXPECT_FALSE(counter.profile().IsValid());
}

TEST(TextCounterTest, OverlongStatusPathIsRefused) {
  Sandbox sandbox;
  const std::string name = std::string(200, 'c') + "/" + std::string(100, 's') + ".ini";
  const std::string status = WriteStatus(sandbox, name, {});
  ASSERT_TRUE(std::filesystem::exists(status));
  TextCounter counter(status.c_str());
  EXPECT_FALSE(counter.profile().IsValid());
  EXPECT_FALSE(counter.zeros_written());
  EXPECT_EQ(Sandbox::Read(status), "[GetStatus]\r\n");
}

}  // namespace
}  // namespace velto::measure
