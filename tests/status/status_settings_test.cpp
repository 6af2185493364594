// How a status file's settings are read: the measuring settings with the
// library's own reading of them, the temporary file and the debug log.
#include "status/status_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/sandbox.h"

namespace velto::status {
namespace {

using testing::Sandbox;
using testing::ScopedCurrentDirectory;

// A status file with section GetStatus holding the given "Key=Value" lines.
std::string WriteStatus(const Sandbox& sandbox, const std::string& name,
                        const std::vector<std::string>& lines) {
  std::string text = "[GetStatus]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return sandbox.Write(name, text);
}

// The settings of the status file at path, as the caller names it.
StatusSettings Read(const std::string& path) {
  StatusProfile profile;
  EXPECT_TRUE(profile.Open(path.c_str())) << path;
  return ReadStatusSettings(profile, path.c_str());
}

TEST(StatusSettings, LineLengthsAreRaisedOrReadUnsigned) {
  struct Case {
    const char* setting;  // "" for none
    std::uint32_t line_length;
  } const cases[] = {
      {"", 0},
      {"LineLength=0", 0},
      {"LineLength=1", 10},
      {"LineLength=9", 10},
      {"LineLength=10", 10},
      {"LineLength=33", 33},
      {"LineLength=-9999", 0},  // the sentinel reads as absent
      // Negative values are huge unsigned lengths, never raised.
      {"LineLength=-1", 4294967295U},
      {"LineLength=-2147483648", 2147483648U},
  };
  for (const Case& c : cases) {
    Sandbox sandbox;
    std::vector<std::string> lines;
    if (c.setting[0] != '\0') lines.emplace_back(c.setting);
    EXPECT_EQ(Read(WriteStatus(sandbox, "s.ini", lines)).measure.line_length, c.line_length)
        << c.setting;
  }
}

TEST(StatusSettings, ClassesPageLengthAndCharSetAreReadAsStored) {
  Sandbox sandbox;
  // "、。", "」" and "（「" in code page 932.
  const std::string status = WriteStatus(
      sandbox, "s.ini",
      {"NoTop_NoHang=\x81\x41\x81\x42", "NoTop_Hang=\x81\x76", "NoEnd=\x81\x69\x81\x75",
       "PageLength=20", "CharSet=9"});
  const Settings settings = Read(status).measure;
  EXPECT_EQ(settings.no_top_no_hang, "\x81\x41\x81\x42");
  EXPECT_EQ(settings.no_top_hang, "\x81\x76");
  EXPECT_EQ(settings.no_end, "\x81\x69\x81\x75");
  EXPECT_EQ(settings.page_length, 20U);
  // A CharSet outside the table is kept; it reads as Shift-JIS.
  EXPECT_EQ(static_cast<int>(settings.char_set), 9);
  EXPECT_EQ(CodePageOf(settings.char_set), 932);
}

TEST(StatusSettings, AbsentAndSentinelValuesGiveTheDefaults) {
  Sandbox sandbox;
  const std::string status =
      WriteStatus(sandbox, "cfg/s.ini", {"NoTop_NoHang=NOVALUE", "NoEnd=NOVALUE", "DebugLog=NOVALUE"});
  const StatusSettings settings = Read(status);
  EXPECT_EQ(settings.measure.no_top_no_hang, "");
  EXPECT_EQ(settings.measure.no_top_hang, "");
  EXPECT_EQ(settings.measure.no_end, "");
  EXPECT_EQ(settings.measure.page_length, 0U);
  EXPECT_EQ(settings.measure.char_set, CharSet::kShiftJis);
  EXPECT_STREQ(settings.debug_log, "");
}

// Where the temporary file is looked for. Paths are relative to the
// sandbox, which is the current directory.
TEST(StatusSettings, TemporaryFileIsFoundBesideTheStatusFile) {
  struct Case {
    const char* name;
    const char* status;      // the status path as the caller gives it
    const char* setting;     // the Temporary line, "" for none
    const char* existing;    // a file made beforehand, "" for none
    const char* temporary;   // the temporary file found
  } const cases[] = {
      {"DefaultBesideTheStatusFile", "cfg/s.ini", "", "cfg/velto.tmp", "cfg/velto.tmp"},
      {"DefaultMissing", "cfg/s.ini", "", "", ""},
      {"EmptyMeansNone", "cfg/s.ini", "Temporary=", "cfg/velto.tmp", ""},
      {"SentinelMeansDefault", "cfg/s.ini", "Temporary=NOVALUE", "cfg/velto.tmp", "cfg/velto.tmp"},
      {"NameJoinsTheSettingsFolder", "cfg/s.ini", "Temporary=a.tmp", "cfg/a.tmp", "cfg/a.tmp"},
      {"BareStatusNameLeavesTheNameBare", "s.ini", "Temporary=a.tmp", "a.tmp", "a.tmp"},
      {"PathWithSeparatorAsWritten", "cfg/s.ini", "Temporary=work/a.tmp", "work/a.tmp",
       "work/a.tmp"},
  };
  for (const Case& c : cases) {
    Sandbox sandbox;
    ScopedCurrentDirectory cwd(sandbox.root());
    std::vector<std::string> lines;
    if (c.setting[0] != '\0') lines.emplace_back(c.setting);
    WriteStatus(sandbox, c.status, lines);
    if (c.existing[0] != '\0') sandbox.Write(c.existing, "text");
    EXPECT_STREQ(Read(c.status).temporary, c.temporary) << c.name;
  }
}

TEST(StatusSettings, TemporaryOrLogThatDoesNotFitIsDropped) {
  Sandbox sandbox;
  const std::string status = WriteStatus(
      sandbox, "cfg/s.ini",
      {"Temporary=" + std::string(250, 't'), "DebugLog=" + std::string(250, 'd')});
  const StatusSettings settings = Read(status);
  EXPECT_STREQ(settings.temporary, "");
  EXPECT_STREQ(settings.debug_log, "");
}

TEST(StatusSettings, DebugLogLivesBesideTheStatusFile) {
  struct Case {
    const char* status;
    const char* setting;
    const char* debug_log;
  } const cases[] = {
      {"cfg/s.ini", "DebugLog=debug.log", "cfg/debug.log"},
      {"s.ini", "DebugLog=debug.log", "debug.log"},  // the log takes it from the current folder
      {"cfg/s.ini", "DebugLog=logs/debug.log", "logs/debug.log"},
      {"cfg/s.ini", "DebugLog=", ""},
  };
  for (const Case& c : cases) {
    Sandbox sandbox;
    ScopedCurrentDirectory cwd(sandbox.root());
    WriteStatus(sandbox, c.status, {c.setting});
    EXPECT_STREQ(Read(c.status).debug_log, c.debug_log) << c.setting;
    // Nothing is created by reading the settings.
    if (c.debug_log[0] != '\0') {
      EXPECT_FALSE(std::filesystem::exists(sandbox.Path(c.debug_log))) << c.setting;
    }
  }
}

TEST(StatusSettings, ReadingLeavesTheStatusFileAsItWas) {
  Sandbox sandbox;
  const std::string text = "[GetStatus]\r\nLineLength=40\r\nCRLF=60\r\n";
  const std::string status = sandbox.Write("s.ini", text);
  Read(status);
  EXPECT_EQ(Sandbox::Read(status), text);
}

}  // namespace
}  // namespace velto::status
