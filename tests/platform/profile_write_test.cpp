// Writing the INI profile: only the written key changes, every other byte of
// the file stays; the file is replaced whole, keeps its permissions, owner
// and symbolic link, and a write that cannot be made changes nothing. (Faults,
// leftovers and folders that take no new file: profile_faults_test.cpp.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/profile_update.h"
#include "platform/profile.h"
#include "support/profile_value.h"
#include "support/sandbox.h"
#include "support/unprivileged.h"

namespace velto::testing {
namespace {

struct WriteCase {
  const char* name;
  const char* before;
  const char* key;
  const char* value;
  const char* after;
};

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheKey) {
  const WriteCase& c = GetParam();
  Sandbox box;
  const std::string path = box.Write("s.ini", c.before);
  ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", c.key, c.value));
  EXPECT_EQ(Sandbox::Read(path), c.after);
  EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
}

const WriteCase kWriteCases[] = {
    {"ReplaceInPlace", "[GetStatus]\nName=old\nSize=1\n", "Name", "new",
     "[GetStatus]\nName=new\nSize=1\n"},
    {"ReplaceKeepsSpellingBlanksAndCrLf", "; c\r\n[getstatus]\r\n  name =  old  \r\nX=1\r\n", "Name",
     "new", "; c\r\n[getstatus]\r\n  name =  new  \r\nX=1\r\n"},
    {"ReplaceQuotedValue", "[GetStatus]\nName=\"old\"\n", "Name", "new", "[GetStatus]\nName=new\n"},
    {"ReplaceEmptyValue", "[GetStatus]\nName=\nX=1\n", "Name", "a.txt",
     "[GetStatus]\nName=a.txt\nX=1\n"},
    {"ReplaceWithEmpty", "[GetStatus]\nName=a.txt\n", "Name", "", "[GetStatus]\nName=\n"},
    {"ReplaceLastLineWithoutLineEnd", "[GetStatus]\nName=old", "Name", "new",
     "[GetStatus]\nName=new"},
    {"ReplaceOnlyTheFirstKey", "[GetStatus]\nName=1\nName=2\n", "Name", "3",
     "[GetStatus]\nName=3\nName=2\n"},
    {"NewKeyAfterLastKeyBeforeBlanksAndComment",
     "[GetStatus]\nA=1\n\n; about Other\n[Other]\nB=2\n", "Name", "x",
     "[GetStatus]\nA=1\nName=x\n\n; about Other\n[Other]\nB=2\n"},
    {"NewKeyInCrLfFile", "[GetStatus]\r\nA=1\r\n\r\n", "Name", "x",
     "[GetStatus]\r\nA=1\r\nName=x\r\n\r\n"},
    {"NewKeyAfterHeaderOfEmptySection", "[GetStatus]\n\n[Other]\n", "Name", "x",
     "[GetStatus]\nName=x\n\n[Other]\n"},
    {"NewKeyAfterHeaderWithoutLineEnd", "[GetStatus]", "Name", "x", "[GetStatus]\nName=x"},
    {"NewKeyAfterLastLineWithoutLineEnd", "[GetStatus]\r\nA=1", "Name", "x",
     "[GetStatus]\r\nA=1\r\nName=x"},
    {"NewKeyGoesToFirstSection", "[GetStatus]\nA=1\n[GetStatus]\nName=y\n", "Name", "x",
     "[GetStatus]\nA=1\nName=x\n[GetStatus]\nName=y\n"},
    {"CommentedKeyIsNotReplaced", "[GetStatus]\n;Name=old\n", "Name", "x",
     "[GetStatus]\nName=x\n;Name=old\n"},
    {"NewSectionAtEnd", "; host\n[Other]\nB=2\n\n", "Name", "x",
     "; host\n[Other]\nB=2\n\n[GetStatus]\nName=x\n"},
    {"NewSectionInCrLfFile", "[Other]\r\nB=2\r\n", "Name", "x",
     "[Other]\r\nB=2\r\n[GetStatus]\r\nName=x\r\n"},
    {"NewSectionAfterLastLineWithoutLineEnd", "[Other]\nB=2", "Name", "x",
     "[Other]\nB=2\n[GetStatus]\nName=x"},
    {"NewSectionInEmptyFile", "", "Name", "x", "[GetStatus]\nName=x\n"},
    {"KeyBeforeAnySectionIsNotOurs", "Name=top\n", "Name", "x",
     "Name=top\n[GetStatus]\nName=x\n"},
    {"ValueKeptAsGiven", "[GetStatus]\n", "Name", " 'a b' ", "[GetStatus]\nName= 'a b' \n"},
};

INSTANTIATE_TEST_SUITE_P(Splices, ProfileWrite, ::testing::ValuesIn(kWriteCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ProfileWriteGroup, AppliesEveryKeyInOrderAsOneUpdate) {
  Sandbox box;
  const std::string path = box.Write("s.ini", "[GetStatus]\nSize=9\n; end\n");
  const platform::ProfileEntry entries[] = {
      {"Size", "0"}, {"CRLF", "0"}, {"NoCRLF", "0"}, {"Size", "5"}};
  ASSERT_TRUE(platform::UpdateProfileValues(path.c_str(), "GetStatus", entries));
  EXPECT_EQ(Sandbox::Read(path), "[GetStatus]\nSize=5\nCRLF=0\nNoCRLF=0\n; end\n");
}

TEST(ProfileWriteGroup, OneUnwritableEntryRefusesTheWhole) {
  Sandbox box;
  const std::string before = "[GetStatus]\nSize=9\n";
  const std::string path = box.Write("s.ini", before);
  const platform::ProfileEntry entries[] = {{"Size", "0"}, {"Name", "a\nSize=7"}};
  EXPECT_FALSE(platform::UpdateProfileValues(path.c_str(), "GetStatus", entries));
  EXPECT_EQ(Sandbox::Read(path), before);
}

TEST(ProfileWriteGroup, WrittenValuesReadBack) {
  Sandbox box;
  const std::string path = box.Write("s.ini", "");
  ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "LineLength", "-2147483648"));
  ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "NOVALUEX"));
  char out[260] = {};
  platform::ReadProfileValue(path.c_str(), "getstatus", "name", "", out, sizeof out);
  EXPECT_STREQ(out, "NOVALUEX");
  EXPECT_EQ(platform::ReadProfileInt(path.c_str(), "GetStatus", "LineLength", 0), -2147483647 - 1);
}

struct RefusedCase {
  const char* name;
  const char* section;
  const char* key;
  const char* value;
};

void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }

class ProfileWriteRefused : public ::testing::TestWithParam<RefusedCase> {};

// A value or name that would read back as other lines (another key, a
// header, a comment) is refused instead of corrupting the profile.
TEST_P(ProfileWriteRefused, LeavesTheFileAsItWas) {
  const RefusedCase& c = GetParam();
  Sandbox box;
  const std::string before = "[GetStatus]\nName=a\n";
  const std::string path = box.Write("s.ini", before);
  EXPECT_FALSE(testing::UpdateProfileValue(path.c_str(), c.section, c.key, c.value));
  EXPECT_EQ(Sandbox::Read(path), before);
}

const RefusedCase kRefusedCases[] = {
    {"LineFeedInValue", "GetStatus", "Name", "x\nSize=1"},
    {"CarriageReturnInValue", "GetStatus", "Name", "x\rSize=1"},
    {"EqualsInKey", "GetStatus", "Na=me", "x"},
    {"CommentKey", "GetStatus", ";Name", "x"},
    {"HeaderKey", "GetStatus", "[Name]", "x"},
    {"EmptyKey", "GetStatus", " ", "x"},
    {"LineFeedInKey", "GetStatus", "Na\nme", "x"},
    {"LineFeedInSection", "Get\nStatus", "Name", "x"},
    {"EmptySection", "", "Name", "x"},
    {"NullSection", nullptr, "Name", "x"},
    {"NullKey", "GetStatus", nullptr, "x"},
    {"NullValue", "GetStatus", "Name", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Arguments, ProfileWriteRefused, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ProfileWriteTarget, PathsThatNameNoRegularFileAreRefusedAndNothingIsCreated) {
  Sandbox box;
  box.Write("dir/a.ini", "[GetStatus]\n");
  ASSERT_EQ(mkfifo(box.Path("pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("missing.ini", box.Path("dangling.ini").c_str()), 0);
  for (const std::string& path : {box.Path("missing.ini"), box.Path("dir"), box.Path("dir/*.ini"),
                                 box.Path("dir/?.ini"), box.Path("pipe"), box.Path("dangling.ini")}) {
    EXPECT_FALSE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "x")) << path;
  }
  EXPECT_FALSE(testing::UpdateProfileValue(nullptr, "GetStatus", "Name", "x"));
  EXPECT_EQ(FolderNames(box.root()), (std::vector<std::string>{"dangling.ini", "dir", "pipe"}));
  EXPECT_EQ(FolderNames(box.Path("dir")), std::vector<std::string>{"a.ini"});
  EXPECT_EQ(Sandbox::Read(box.Path("dir/a.ini")), "[GetStatus]\n");
}

TEST(ProfileWriteTarget, PermissionBitsAreKept) {
  Sandbox box;
  for (const mode_t mode : {0600u, 0640u, 0604u, 0666u}) {
    const std::string path = box.Write("s.ini", "[GetStatus]\n");
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "x"));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
  }
}

TEST(ProfileWriteTarget, OwnerIsKeptWhereAllowed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a new file another owner";
  Sandbox box;
  const std::string path = box.Write("s.ini", "[GetStatus]\n");
  ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "x"));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
  EXPECT_EQ(Sandbox::Read(path), "[GetStatus]\nName=x\n");
}

TEST(ProfileWriteTarget, SymbolicLinkStaysALinkAndItsTargetIsUpdated) {
  Sandbox box;
  const std::string real = box.Write("real/s.ini", "[GetStatus]\nName=old\n");
  const std::string link = box.Path("link.ini");
  ASSERT_EQ(symlink("real/s.ini", link.c_str()), 0);
  ASSERT_TRUE(testing::UpdateProfileValue(link.c_str(), "GetStatus", "Name", "new"));
  struct stat info {};
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(Sandbox::Read(real), "[GetStatus]\nName=new\n");
  EXPECT_EQ(FolderNames(box.Path("real")), std::vector<std::string>{"s.ini"});
}

TEST(ProfileWriteTarget, ReadOnlyFileIsRefused) {
  Sandbox box;
  const std::string path = box.Write("s.ini", "[GetStatus]\nName=a\n");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const auto written = RunUnprivileged(box.root(), [&] {
    return testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "x") ? 1 : 0;
  });
  EXPECT_EQ(written, 0);
  EXPECT_EQ(Sandbox::Read(path), "[GetStatus]\nName=a\n");
}

TEST(ProfileWriteTarget, ReplacesTheFileInsteadOfRewritingIt) {
  // A reader that opened the old file goes on reading the old text whole,
  // never a mix of old and new.
  Sandbox box;
  const std::string path = box.Write("s.ini", "[GetStatus]\nName=old\n");
  FILE* reader = std::fopen(path.c_str(), "rb");
  ASSERT_NE(reader, nullptr);
  ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "new"));
  char old_text[64] = {};
  const std::size_t count = std::fread(old_text, 1, sizeof old_text - 1, reader);
  std::fclose(reader);
  EXPECT_EQ(std::string(old_text, count), "[GetStatus]\nName=old\n");
  EXPECT_EQ(Sandbox::Read(path), "[GetStatus]\nName=new\n");
}

// Every way of putting the new file in place (a rename, an exchange of
// names, each with or without flushing the data first) gives the same text,
// attributes and link, and a reader of the old file still reads the old
// text whole.
TEST(ProfileWriteTarget, EveryReplacementPutsTheNewFileInPlaceTheSameWay) {
  for (const platform::Replacement replacement :
       {platform::Replacement::kRename, platform::Replacement::kSyncThenRename,
        platform::Replacement::kExchange, platform::Replacement::kSyncThenExchange}) {
    Sandbox box;
    const std::string real = box.Write("real/s.ini", "[GetStatus]\nName=old\n");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    const std::string link = box.Path("link.ini");
    ASSERT_EQ(symlink("real/s.ini", link.c_str()), 0);
    FILE* reader = std::fopen(real.c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    const platform::ProfileEntry entry{"Name", "new"};
    ASSERT_TRUE(platform::UpdateProfileValuesBy(replacement, link.c_str(), "GetStatus", {&entry, 1}));
    char old_text[64] = {};
    const std::size_t count = std::fread(old_text, 1, sizeof old_text - 1, reader);
    std::fclose(reader);
    EXPECT_EQ(std::string(old_text, count), "[GetStatus]\nName=old\n");
    EXPECT_EQ(Sandbox::Read(real), "[GetStatus]\nName=new\n");
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderNames(box.Path("real")), std::vector<std::string>{"s.ini"});
  }
}

}  // namespace
}  // namespace velto::testing
