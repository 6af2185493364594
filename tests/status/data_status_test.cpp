// GetDataStatus and GetStatus end to end: real target files, real status
// files, the results read back as a host reads them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/file_faults.h"
#include "support/sandbox.h"
#include "support/status_file.h"
#include "velto.h"

namespace velto::testing {
namespace {

struct Counts {
  std::string size, crlf, no_crlf, no_blank, lines, pages, mod;
};

Counts ReadCounts(const std::string& status) {
  auto section = ReadStatusSection(status);
  return {section["Size"],      section["CRLF"],      section["NoCRLF"],  section["NoCRLF_NoBLANK"],
          section["LineCount"], section["PageCount"], section["ModCount"]};
}

void ExpectCounts(const std::string& status, const Counts& expected) {
  const Counts actual = ReadCounts(status);
  EXPECT_EQ(actual.size, expected.size) << "Size";
  EXPECT_EQ(actual.crlf, expected.crlf) << "CRLF";
  EXPECT_EQ(actual.no_crlf, expected.no_crlf) << "NoCRLF";
  EXPECT_EQ(actual.no_blank, expected.no_blank) << "NoCRLF_NoBLANK";
  EXPECT_EQ(actual.lines, expected.lines) << "LineCount";
  EXPECT_EQ(actual.pages, expected.pages) << "PageCount";
  EXPECT_EQ(actual.mod, expected.mod) << "ModCount";
}

const Counts kSetUpZeros = {"0", "0", "0", "0", "0", "0", "0"};

const KeyValues kManuscript = {{"LineLength", "20"}, {"PageLength", "20"}};

// ---------------------------------------------------------------------------
// Small texts whose counts are worked out by hand.

struct HandCase {
  const char* name;
  std::string bytes;
  KeyValues settings;
  Counts expected;
};

void PrintTo(const HandCase& c, std::ostream* out) { *out << c.name; }

class HandCounted : public ::testing::TestWithParam<HandCase> {};

TEST_P(HandCounted, WritesTheCountsAHostExpects) {
  const HandCase& c = GetParam();
  Sandbox box;
  const std::string target = box.Write("target.txt", c.bytes);
  const std::string status = box.Write("status.ini", StatusText(c.settings));
  ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0);
  ExpectCounts(status, c.expected);
}

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HandCounted,
    ::testing::Values(
        // abc CR LF de: source lines "abc LF" and "de".
        HandCase{"CrLfLines", "abc\r\nde", kManuscript, {"7", "6", "5", "5", "2", "1", "2"}},
        // あ, ideographic space, い, LF, then the empty last line.
        HandCase{"IdeographicSpace",
                 "\x82\xa0\x81\x40\x82\xa2\n",
                 kManuscript,
                 {"7", "4", "3", "2", "2", "1", "2"}},
        // 0x88 0x81 is one character and 0x40 an at sign: no blank there.
        HandCase{"TrailByteIsNoBlank", "\x88\x81\x40 ", kManuscript, {"4", "3", "3", "2", "1", "1", "1"}},
        HandCase{"EmptyFile", "", kManuscript, {"0", "0", "0", "0", "1", "1", "1"}},
        // 44 lines and the empty last line: 45 display lines, 3 pages, 5 on the last.
        HandCase{"PartialLastPage", Repeat("x\n", 44), kManuscript, {"88", "88", "44", "44", "45", "3", "5"}},
        HandCase{"FullLastPage", Repeat("x\n", 39), kManuscript, {"78", "78", "39", "39", "40", "2", "0"}},
        // 25 letters at 10 characters per line: 10, 10 and 5.
        HandCase{"Wrapping",
                 "abcdefghijklmnopqrstuvwxy",
                 {{"LineLength", "10"}, {"PageLength", "2"}},
                 {"25", "25", "25", "25", "3", "2", "1"}},
        HandCase{"NoPagingWithoutPageLength", "abc", {{"LineLength", "10"}}, {"3", "3", "3", "3", "1", "0", "0"}},
        // A negative page length is a huge unsigned one: one partial page.
        HandCase{"NegativePageLength",
                 "a\nb\nc",
                 {{"LineLength", "10"}, {"PageLength", "-1"}},
                 {"5", "5", "3", "3", "3", "1", "3"}},
        // No line length: every source line is one display line.
        HandCase{"NoLineLength", Repeat("x", 100) + "\n" + Repeat("y", 30), {{"PageLength", "20"}},
                 {"131", "131", "130", "130", "2", "1", "2"}},
        // 0x1A ends a text-mode file; a lone CR stays a character.
        HandCase{"EndOfFileByteAndLoneCr", "a\rb\x1a" "cd\n", kManuscript, {"7", "3", "3", "3", "1", "1", "1"}},
        // The ten kana あ..こ and 。 hanging as the eleventh character.
        HandCase{"HangingFullStop",
                 "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab\x82\xad\x82\xaf\x82\xb1\x81\x42",
                 {{"LineLength", "10"}, {"NoTop_Hang", "\x81\x41\x81\x42"}},
                 {"22", "11", "11", "11", "1", "0", "0"}}),
    [](const auto& test) { return std::string(test.param.name); });

// ---------------------------------------------------------------------------
// Every CharSet: あい CR LF う in the file's own encoding. The byte encodings
// are read in text mode (CR LF is one line end); UTF-16 is read in binary
// mode, so its CR is a character of its own.

struct EncodingCase {
  const char* name;
  int char_set;
  std::string bytes;
  const char* crlf;
  const char* no_crlf;
};

void PrintTo(const EncodingCase& c, std::ostream* out) { *out << c.name; }

class EveryCharSet : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(EveryCharSet, CountsTheSameText) {
  const EncodingCase& c = GetParam();
  Sandbox box;
  const std::string target = box.Write("target.txt", c.bytes);
  const std::string status = box.Write(
      "status.ini", StatusText({{"LineLength", "20"}, {"PageLength", "20"}, {"CharSet", std::to_string(c.char_set)}}));
  ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0);
  ExpectCounts(status, {std::to_string(c.bytes.size()), c.crlf, c.no_crlf, c.no_crlf, "2", "1", "2"});
}

const std::string kShiftJis = "\x82\xa0\x82\xa2\r\n\x82\xa4";
const std::string kUtf16 = std::string("\xff\xfe\x42\x30\x44\x30\x0d\x00\x0a\x00\x46\x30", 12);

INSTANTIATE_TEST_SUITE_P(
    Encodings, EveryCharSet,
    ::testing::Values(EncodingCase{"ShiftJis0", 0, kShiftJis, "4", "3"},
                      EncodingCase{"ShiftJis1", 1, kShiftJis, "4", "3"},
                      EncodingCase{"Utf16Le2", 2, kUtf16, "5", "4"},
                      EncodingCase{"EucJp", 3, "\xa4\xa2\xa4\xa4\r\n\xa4\xa6", "4", "3"},
                      EncodingCase{"Iso2022Jp", 4,
                                   "\x1b$B$\"$$\x1b(B\r\n\x1b$B$&\x1b(B", "4", "3"},
                      EncodingCase{"Utf7", 5, "+MEIwRA-\r\n+MEY-", "4", "3"},
                      EncodingCase{"Utf8", 6, "\xe3\x81\x82\xe3\x81\x84\r\n\xe3\x81\x86", "4", "3"},
                      EncodingCase{"Utf16Le7", 7, kUtf16, "5", "4"},
                      EncodingCase{"OutOfRangeIsShiftJis", 99, kShiftJis, "4", "3"}),
    [](const auto& test) { return std::string(test.param.name); });

// ---------------------------------------------------------------------------
// Which file is measured.

TEST(MeasuredFile, TemporaryFileBesideTheStatusFileIsMeasuredInstead) {
  Sandbox box;
  box.Write("velto.tmp", "abcd");
  const std::string status = box.Write("status.ini", StatusText(kManuscript));
  // The target does not even exist: the temporary file stands in for it.
  ASSERT_EQ(GetDataStatus(box.Path("missing.txt").c_str(), status.c_str()), 0);
  ExpectCounts(status, {"4", "4", "4", "4", "1", "1", "1"});
}

TEST(MeasuredFile, EmptyTemporarySettingMeansNoTemporaryFile) {
  Sandbox box;
  box.Write("velto.tmp", "abcd");
  const std::string target = box.Write("target.txt", "xy");
  KeyValues settings = kManuscript;
  settings.emplace_back("Temporary", "");
  const std::string status = box.Write("status.ini", StatusText(settings));
  ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0);
  EXPECT_EQ(ReadCounts(status).crlf, "2");
}

TEST(MeasuredFile, DirectoryTargetWritesSizeOnly) {
  Sandbox box;
  const std::string status = box.Write("status.ini", StatusText(kManuscript));
  ASSERT_EQ(mkdir(box.Path("folder").c_str(), 0755), 0);
  EXPECT_EQ(GetDataStatus(box.Path("folder").c_str(), status.c_str()), 0);
  ExpectCounts(status, kSetUpZeros);
}

// ---------------------------------------------------------------------------
// Failures: -1, and the status file holds exactly the zeros of set-up.

const KeyValues kStaleResults = {{"LineLength", "20"}, {"Size", "99"},     {"CRLF", "99"},
                                 {"NoCRLF", "99"},     {"NoCRLF_NoBLANK", "99"},
                                 {"LineCount", "99"},  {"PageCount", "99"}, {"ModCount", "99"}};

TEST(Failure, MissingTargetLeavesTheSetUpZeros) {
  Sandbox box;
  const std::string status = box.Write("status.ini", StatusText(kStaleResults));
  EXPECT_EQ(GetDataStatus(box.Path("missing.txt").c_str(), status.c_str()), -1);
  ExpectCounts(status, kSetUpZeros);
}

TEST(Failure, FifoTargetIsNotFound) {
  Sandbox box;
  const std::string status = box.Write("status.ini", StatusText(kStaleResults));
  ASSERT_EQ(mkfifo(box.Path("fifo").c_str(), 0644), 0);
  EXPECT_EQ(GetDataStatus(box.Path("fifo").c_str(), status.c_str()), -1);
  ExpectCounts(status, kSetUpZeros);
}

// A target that may not be opened (root too: the refusal is injected) or
// that fails while it is read.
TEST(Failure, UnreadableTargetKeepsSizeAndZeros) {
  for (const FileOp op : {FileOp::kOpen, FileOp::kRead}) {
    SCOPED_TRACE(FileOpName(op));
    Sandbox box;
    const std::string target = box.Write("target.txt", "abc");
    const std::string status = box.Write("status.ini", StatusText(kStaleResults));
    FileFaults faults;
    faults.Fail(op, 1, op == FileOp::kOpen ? EACCES : EIO, "target.txt", true);
    EXPECT_EQ(GetDataStatus(target.c_str(), status.c_str()), -1);
    EXPECT_EQ(faults.Failures(), 1);
    ExpectCounts(status, {"3", "0", "0", "0", "0", "0", "0"});
  }
}

TEST(Failure, MissingOrEmptyStatusPathWritesNothing) {
  Sandbox box;
  const std::string target = box.Write("target.txt", "abc");
  EXPECT_EQ(GetDataStatus(target.c_str(), ""), -1);
  EXPECT_EQ(GetDataStatus(target.c_str(), box.Path("missing.ini").c_str()), -1);
  EXPECT_FALSE(std::filesystem::exists(box.Path("missing.ini")));
}

TEST(Failure, NullAndOverLongPathsWriteNothing) {
  Sandbox box;
  const std::string text = StatusText(kStaleResults);
  const std::string status = box.Write("status.ini", text);
  const std::string target = box.Write("target.txt", "abc");
  const std::string long_target = box.root().string() + "/" + std::string(300, 'a');
  EXPECT_EQ(GetDataStatus(nullptr, status.c_str()), -1);
  EXPECT_EQ(GetDataStatus(target.c_str(), nullptr), -1);
  EXPECT_EQ(GetDataStatus(long_target.c_str(), status.c_str()), -1);
  EXPECT_EQ(GetStatus(nullptr, nullptr), -1);
  EXPECT_EQ(Sandbox::Read(status), text);
}

TEST(Failure, StatusPathNamingADirectoryIsRefused) {
  Sandbox box;
  const std::string target = box.Write("target.txt", "abc");
  ASSERT_EQ(mkdir(box.Path("status.ini").c_str(), 0755), 0);
  // The folder exists, so the profile opens, but no result can be written.
  EXPECT_EQ(GetDataStatus(target.c_str(), box.Path("status.ini").c_str()), -1);
  EXPECT_TRUE(std::filesystem::is_directory(box.Path("status.ini")));
}

// ---------------------------------------------------------------------------
// The debug log of a measurement.

TEST(DebugLog, ThreeLineFileGivesFourLogLines) {
  Sandbox box;
  const std::string target = box.Write("target.txt", "a\nbb\nccc");
  KeyValues settings = kManuscript;
  settings.emplace_back("DebugLog", "run.log");
  const std::string status = box.Write("status.ini", StatusText(settings));
  ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0);

  const std::string log = Sandbox::Read(box.Path("run.log"));
  const std::string messages[] = {
      "\x91\xce\x8f\xdb\x83\x74\x83\x40\x83\x43\x83\x8b : " + target,  // 対象ファイル
      "dwCharacterCount : 2", "dwCharacterCount : 3", "dwCharacterCount : 3"};
  std::size_t position = 0;
  for (const std::string& message : messages) {
    const std::size_t end = log.find("\r\n", position);
    ASSERT_NE(end, std::string::npos) << log;
    const std::string line = log.substr(position, end - position);
    ASSERT_GE(line.size(), 27u);
    EXPECT_EQ(line.substr(23, 4), " || ");
    EXPECT_EQ(line.substr(27), message);
    position = end + 2;
  }
  EXPECT_EQ(position, log.size());
}

TEST(DebugLog, UnwritableLogChangesNoResult) {
  Sandbox box;
  const std::string target = box.Write("target.txt", "abc\r\nde");
  KeyValues settings = kManuscript;
  settings.emplace_back("DebugLog", box.Path("no/such/folder/run.log"));
  const std::string status = box.Write("status.ini", StatusText(settings));
  ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0);
  ExpectCounts(status, {"7", "6", "5", "5", "2", "1", "2"});
  EXPECT_FALSE(std::filesystem::exists(box.Path("no")));
}

// A log naming the status file or the measured file would empty it as it
// opens; the measurement runs without a log instead.
TEST(DebugLog, LogNamingTheStatusFileOrTheTargetIsNotOpened) {
  for (const char* log_name : {"status.ini", "target.txt"}) {
    Sandbox box;
    const std::string target = box.Write("target.txt", "abc\r\nde");
    KeyValues settings = kManuscript;
    settings.emplace_back("DebugLog", log_name);
    const std::string status = box.Write("status.ini", StatusText(settings));
    ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0) << log_name;
    ExpectCounts(status, {"7", "6", "5", "5", "2", "1", "2"});
    EXPECT_EQ(ReadStatusSection(status)["LineLength"], "20") << log_name;
    EXPECT_EQ(Sandbox::Read(target), "abc\r\nde") << log_name;
  }
}

// ---------------------------------------------------------------------------
// GetStatus: the file status, then the measurement.

TEST(GetStatusExport, WritesNameTimeStampAndCounts) {
  Sandbox box;
  const std::string target = box.Write("target.txt", "abc\r\nde");
  const std::string status = box.Write("status.ini", StatusText(kManuscript));
  ASSERT_EQ(GetStatus(target.c_str(), status.c_str()), 0);
  auto section = ReadStatusSection(status);
  EXPECT_EQ(section["Name"], "target.txt");
  EXPECT_EQ(section["TimeStamp"].size(), 19u);
  ExpectCounts(status, {"7", "6", "5", "5", "2", "1", "2"});
}

TEST(GetStatusExport, MissingTargetMeasuresNothing) {
  Sandbox box;
  box.Write("velto.tmp", "abcd");  // would be measured if the measurement ran
  const std::string status = box.Write("status.ini", StatusText(kStaleResults));
  EXPECT_EQ(GetStatus(box.Path("missing.txt").c_str(), status.c_str()), -1);
  auto section = ReadStatusSection(status);
  EXPECT_EQ(section["Name"], "");
  EXPECT_EQ(section["TimeStamp"], "");
  EXPECT_EQ(section["CRLF"], "99");
}

}  // namespace
}  // namespace velto::testing
