// GetFileStatus as a host calls it: the target's name and local last-write
// time land in the status file, and every failure leaves both keys empty
// (or, when the status file is not usable, touches nothing at all).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/long_path.h"
#include "support/sandbox.h"
#include "support/scoped_time_zone.h"
#include "support/status_file.h"
#include "support/unprivileged.h"
#include "velto.h"

namespace velto::testing {
namespace {

// 2007-03-05 09:04:01 UTC.
constexpr std::int64_t kMarch2007 = 1173085441;
// 1999-12-31 23:59:58 UTC.
constexpr std::int64_t kEndOf1999 = 946684798;

const std::string kStale = "[GetStatus]\nName=stale.txt\nTimeStamp=2001/01/01 00:00:00\nSize=7\n";

void SetModified(const std::string& path, std::int64_t seconds) {
  const struct timespec times[2] = {{static_cast<time_t>(seconds), 0},
                                    {static_cast<time_t>(seconds), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::pair<std::string, std::string> NameAndTimeStamp(const std::string& status) {
  auto section = ReadStatusSection(status);
  return {section["Name"], section["TimeStamp"]};
}

const std::pair<std::string, std::string> kCleared = {"", ""};

class FileStatus : public ::testing::Test {
 protected:
  Sandbox box_;
  ScopedTimeZone zone_{"UTC"};
};

TEST_F(FileStatus, WritesTheNameWithoutDirectoryAndTheLocalTime) {
  const std::string target = box_.Write("docs/a.txt", "text");
  SetModified(target, kMarch2007);
  const std::string status = box_.Write("s.ini", kStale);
  EXPECT_EQ(GetFileStatus(target.c_str(), status.c_str()), 0);
  EXPECT_EQ(NameAndTimeStamp(status), std::make_pair(std::string("a.txt"),
                                                     std::string("2007/03/05 09:04:01")));
  EXPECT_EQ(ReadStatusSection(status)["Size"], "7");
}

TEST_F(FileStatus, WritesTheRealYear) {
  const std::string target = box_.Write("old.txt", "");
  SetModified(target, kEndOf1999);
  const std::string status = box_.Write("s.ini", "");
  EXPECT_EQ(GetFileStatus(target.c_str(), status.c_str()), 0);
  EXPECT_EQ(NameAndTimeStamp(status).second, "1999/12/31 23:59:58");
}

TEST_F(FileStatus, TimeStampFollowsTheTimeZone) {
  const std::string target = box_.Write("a.txt", "");
  SetModified(target, kEndOf1999);
  const std::string status = box_.Write("s.ini", "");
  const ScopedTimeZone tokyo("JST-9");
  EXPECT_EQ(GetFileStatus(target.c_str(), status.c_str()), 0);
  EXPECT_EQ(NameAndTimeStamp(status).second, "2000/01/01 08:59:58");
}

TEST_F(FileStatus, MissingTargetClearsNameAndTimeStamp) {
  const std::string status = box_.Write("s.ini", kStale);
  EXPECT_EQ(GetFileStatus(box_.Path("missing.txt").c_str(), status.c_str()), -1);
  EXPECT_EQ(NameAndTimeStamp(status), kCleared);
  EXPECT_EQ(ReadStatusSection(status)["Size"], "7");
}

TEST_F(FileStatus, MissingStatusFileFailsAndCreatesNothing) {
  const std::string target = box_.Write("a.txt", "");
  EXPECT_EQ(GetFileStatus(target.c_str(), box_.Path("s.ini").c_str()), -1);
  EXPECT_FALSE(std::filesystem::exists(box_.Path("s.ini")));
}

TEST_F(FileStatus, WildcardTargetTakesTheFirstMatch) {
  box_.Write("docs/b.txt", "");
  SetModified(box_.Write("docs/a.txt", ""), kMarch2007);
  box_.Write("docs/a.log", "");
  const std::string status = box_.Write("s.ini", "");
  EXPECT_EQ(GetFileStatus(box_.Path("docs/*.txt").c_str(), status.c_str()), 0);
  EXPECT_EQ(NameAndTimeStamp(status), std::make_pair(std::string("a.txt"),
                                                     std::string("2007/03/05 09:04:01")));
}

TEST_F(FileStatus, DirectoryTargetIsRecordedLikeAFile) {
  box_.Write("docs/a.txt", "");
  SetModified(box_.Path("docs"), kMarch2007);
  const std::string status = box_.Write("s.ini", "");
  EXPECT_EQ(GetFileStatus(box_.Path("docs").c_str(), status.c_str()), 0);
  EXPECT_EQ(NameAndTimeStamp(status), std::make_pair(std::string("docs"),
                                                     std::string("2007/03/05 09:04:01")));
}

TEST_F(FileStatus, RelativeStatusNameIsFoundInTheCurrentDirectory) {
  const std::string target = box_.Write("a.txt", "");
  const std::string status = box_.Write("s.ini", "");
  const ScopedCurrentDirectory cwd(box_.root());
  EXPECT_EQ(GetFileStatus("a.txt", "s.ini"), 0);
  EXPECT_EQ(NameAndTimeStamp(status).first, "a.txt");
}

TEST_F(FileStatus, KeepsTheRestOfTheStatusFile) {
  const std::string target = box_.Write("a.txt", "");
  SetModified(target, kMarch2007);
  const std::string status = box_.Write(
      "s.ini", "; settings of the host\r\n[Host]\r\nx=1\r\n[GetStatus]\r\nLineLength=40\r\n\r\n");
  EXPECT_EQ(GetFileStatus(target.c_str(), status.c_str()), 0);
  EXPECT_EQ(Sandbox::Read(status),
            "; settings of the host\r\n[Host]\r\nx=1\r\n[GetStatus]\r\nLineLength=40\r\n"
            "Name=a.txt\r\nTimeStamp=2007/03/05 09:04:01\r\n\r\n");
}

TEST_F(FileStatus, NullPointersFailAndWriteNothing) {
  const std::string target = box_.Write("a.txt", "");
  const std::string status = box_.Write("s.ini", kStale);
  EXPECT_EQ(GetFileStatus(nullptr, status.c_str()), -1);
  EXPECT_EQ(GetFileStatus(target.c_str(), nullptr), -1);
  EXPECT_EQ(GetFileStatus(nullptr, nullptr), -1);
  EXPECT_EQ(Sandbox::Read(status), kStale);
}

TEST_F(FileStatus, StatusPathBeyond259BytesFailsAndWritesNothing) {
  const std::string target = box_.Write("a.txt", "");
  const std::size_t root = box_.root().string().size() + 1;
  const std::string fits = PathOfLength(box_, 259);
  const std::string too_long = PathOfLength(box_, 260);
  box_.Write(fits.substr(root), kStale);
  box_.Write(too_long.substr(root), kStale);
  EXPECT_EQ(GetFileStatus(target.c_str(), fits.c_str()), 0);
  EXPECT_EQ(NameAndTimeStamp(fits).first, "a.txt");
  EXPECT_EQ(GetFileStatus(target.c_str(), too_long.c_str()), -1);
  EXPECT_EQ(Sandbox::Read(too_long), kStale);
}

TEST_F(FileStatus, TargetPathBeyond259BytesIsNotFound) {
  const std::size_t root = box_.root().string().size() + 1;
  const std::string fits = PathOfLength(box_, 259);
  const std::string too_long = PathOfLength(box_, 260);
  box_.Write(fits.substr(root), "");
  box_.Write(too_long.substr(root), "");
  const std::string status = box_.Write("s.ini", kStale);
  EXPECT_EQ(GetFileStatus(fits.c_str(), status.c_str()), 0);
  EXPECT_EQ(NameAndTimeStamp(status).first, std::filesystem::path(fits).filename().string());
  EXPECT_EQ(GetFileStatus(too_long.c_str(), status.c_str()), -1);
  EXPECT_EQ(NameAndTimeStamp(status), kCleared);
}

TEST_F(FileStatus, StatusPathThatCannotBeWrittenFailsAndCreatesNothing) {
  const std::string target = box_.Write("a.txt", "");
  box_.Write("dir/s.ini", kStale);
  // Both name existing entries, so the profile opens, but neither is a file
  // that a write could update.
  EXPECT_EQ(GetFileStatus(target.c_str(), box_.Path("dir").c_str()), -1);
  EXPECT_EQ(GetFileStatus(target.c_str(), box_.Path("dir/*.ini").c_str()), -1);
  EXPECT_EQ(Sandbox::Read(box_.Path("dir/s.ini")), kStale);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box_.Path("dir")),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(FileStatus, ReadOnlyStatusFileFails) {
  const std::string target = box_.Write("a.txt", "");
  const std::string status = box_.Write("s.ini", kStale);
  ASSERT_EQ(chmod(status.c_str(), 0444), 0);
  const auto result = RunUnprivileged(
      box_.root(), [&] { return GetFileStatus(target.c_str(), status.c_str()); });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(Sandbox::Read(status), kStale);
}

// A folder that takes no new file: the status file in it is written in
// place, as Windows' profile service writes it, and nothing is created.
TEST_F(FileStatus, ReadOnlyStatusFolderIsWrittenInPlace) {
  const std::string target = box_.Write("a.txt", "");
  const std::string status = box_.Write("ro/s.ini", kStale);
  ASSERT_EQ(chmod(box_.Path("ro").c_str(), 0555), 0);
  const auto result = RunUnprivileged(
      box_.root(), [&] { return GetFileStatus(target.c_str(), status.c_str()); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(NameAndTimeStamp(status).first, "a.txt");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box_.Path("ro")),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(FileStatus, NameThatWouldBreakTheFileFailsWithKeysCleared) {
  // A POSIX name may hold a line feed; written as it stands it would add a
  // key of its own to the status file.
  const std::string target = box_.Write("a\nSize=999", "");
  const std::string status = box_.Write("s.ini", kStale);
  EXPECT_EQ(GetFileStatus(target.c_str(), status.c_str()), -1);
  EXPECT_EQ(NameAndTimeStamp(status), kCleared);
  EXPECT_EQ(ReadStatusSection(status)["Size"], "7");
}

}  // namespace
}  // namespace velto::testing
