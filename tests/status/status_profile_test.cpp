// The status profile: where Open looks for the file, when it is usable, and
// how absent keys and the two sentinels read.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "status/status_profile.h"
#include "support/long_path.h"
#include "support/sandbox.h"

namespace velto::testing {
namespace {

using status::StatusProfile;

TEST(StatusProfileOpen, NameWithoutSeparatorIsResolvedAgainstTheCurrentDirectory) {
  Sandbox box;
  box.Write("work/s.ini", "[GetStatus]\nName=here\n");
  const ScopedCurrentDirectory cwd(box.root() / "work");
  StatusProfile profile;
  ASSERT_TRUE(profile.Open("s.ini"));
  EXPECT_TRUE(profile.IsValid());
  EXPECT_EQ(std::string(profile.path()), (std::filesystem::current_path() / "s.ini").string());
  char value[260] = {};
  EXPECT_TRUE(profile.ReadString("Name", value));
  EXPECT_STREQ(value, "here");
}

TEST(StatusProfileOpen, PathWithSeparatorIsUsedUnchanged) {
  Sandbox box;
  box.Write("sub/s.ini", "");
  box.Write("other/sub/s.ini", "");
  const ScopedCurrentDirectory cwd(box.root());
  const StatusProfile profile("sub/s.ini");
  EXPECT_TRUE(profile.IsValid());
  EXPECT_STREQ(profile.path(), "sub/s.ini");
}

TEST(StatusProfileOpen, DirectoriesAndMatchingPatternsAreUsable) {
  Sandbox box;
  box.Write("dir/s.ini", "");
  EXPECT_TRUE(StatusProfile(box.Path("dir").c_str()).IsValid());
  EXPECT_TRUE(StatusProfile(box.Path("dir/*.ini").c_str()).IsValid());
  EXPECT_FALSE(StatusProfile(box.Path("dir/*.txt").c_str()).IsValid());
}

TEST(StatusProfileOpen, MissingFileIsNotUsableAndIsNotCreated) {
  Sandbox box;
  const std::string path = box.Path("missing.ini");
  const StatusProfile profile(path.c_str());
  EXPECT_FALSE(profile.IsValid());
  EXPECT_FALSE(profile.WriteInt("Size", 1));
  EXPECT_FALSE(profile.WriteInt("Name", 1));
  std::int32_t value = 77;
  EXPECT_FALSE(profile.ReadInt("Size", value));
  EXPECT_EQ(value, 77);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(StatusProfileOpen, FailedOpenMakesAUsableProfileUnusable) {
  Sandbox box;
  StatusProfile profile(box.Write("s.ini", "").c_str());
  ASSERT_TRUE(profile.IsValid());
  EXPECT_FALSE(profile.Open(box.Path("missing.ini").c_str()));
  EXPECT_FALSE(profile.IsValid());
}

TEST(StatusProfileOpen, Utf16FileIsNotUsable) {
  Sandbox box;
  const std::string path = box.Write("s.ini", std::string("\xFF\xFE[\0G\0", 6));
  const StatusProfile profile(path.c_str());
  EXPECT_FALSE(profile.IsValid());
  EXPECT_FALSE(profile.WriteInt("Name", 1));
  EXPECT_EQ(Sandbox::Read(path), std::string("\xFF\xFE[\0G\0", 6));
}

TEST(StatusProfileOpen, PathsBeyond259BytesAreNotUsable) {
  Sandbox box;
  const std::string fits = PathOfLength(box, 259);
  const std::string too_long = PathOfLength(box, 260);
  const std::size_t root = box.root().string().size() + 1;
  box.Write(fits.substr(root), "[GetStatus]\n");
  box.Write(too_long.substr(root), "[GetStatus]\n");
  EXPECT_TRUE(StatusProfile(fits.c_str()).IsValid());
  EXPECT_FALSE(StatusProfile(too_long.c_str()).IsValid());

  // The current directory, a separator and the name together decide.
  const std::filesystem::path folder = std::filesystem::path(fits).parent_path();
  const std::string name = std::filesystem::path(fits).filename().string();
  box.Write((folder / (name + "x")).string().substr(root), "");
  const ScopedCurrentDirectory cwd(folder);
  EXPECT_TRUE(StatusProfile(name.c_str()).IsValid());
  EXPECT_FALSE(StatusProfile((name + "x").c_str()).IsValid());
}

class StatusProfileRead : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = box_.Write("s.ini",
                       "[GetStatus]\n"
                       "Empty=\n"
                       "Missing=NOVALUE\n"
                       "NotMissing=NOVALUEX\n"
                       "Long=" + std::string(300, 'L') + "\n"
                       "Sentinel=-9999\n"
                       "Number=-5\n"
                       "Text=abc\n");
    ASSERT_TRUE(profile_.Open(path_.c_str()));
  }

  std::pair<int, std::string> ReadString(const char* key) const {
    char out[260];
    std::memset(out, '#', sizeof out);
    out[sizeof out - 1] = '\0';
    const int found = profile_.ReadString(key, out);
    return {found, out};
  }

  std::pair<int, std::int32_t> ReadInt(const char* key) const {
    std::int32_t value = 123;
    const int found = profile_.ReadInt(key, value);
    return {found, value};
  }

  Sandbox box_;
  std::string path_;
  StatusProfile profile_;
};

TEST_F(StatusProfileRead, StringsTellPresentFromAbsent) {
  const std::string untouched(259, '#');
  EXPECT_EQ(ReadString("Empty"), std::make_pair(1, std::string()));
  EXPECT_EQ(ReadString("Absent"), std::make_pair(0, untouched));
  EXPECT_EQ(ReadString("Missing"), std::make_pair(0, untouched));
  EXPECT_EQ(ReadString("NotMissing"), std::make_pair(1, std::string("NOVALUEX")));
  EXPECT_EQ(ReadString("Long"), std::make_pair(1, std::string(259, 'L')));
}

TEST_F(StatusProfileRead, IntegersTellPresentFromAbsent) {
  EXPECT_EQ(ReadInt("Number"), std::make_pair(1, -5));
  EXPECT_EQ(ReadInt("Text"), std::make_pair(1, 0));
  EXPECT_EQ(ReadInt("Absent"), std::make_pair(0, 0));
  EXPECT_EQ(ReadInt("Sentinel"), std::make_pair(0, 0));
  // An empty value reads as absent, as under the Windows profile service.
  EXPECT_EQ(ReadInt("Empty"), std::make_pair(0, 0));
}

TEST_F(StatusProfileRead, WriteIntWritesPlainSignedDecimal) {
  ASSERT_TRUE(profile_.WriteInt("A", -2147483648LL));
  ASSERT_TRUE(profile_.WriteInt("B", 0));
  ASSERT_TRUE(profile_.WriteInt("C", -5));
  const std::string text = Sandbox::Read(path_);
  EXPECT_NE(text.find("\nA=-2147483648\nB=0\nC=-5\n"), std::string::npos) << text;
  EXPECT_EQ(ReadInt("A"), std::make_pair(1, -2147483647 - 1));
}

}  // namespace
}  // namespace velto::testing
