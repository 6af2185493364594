// The profile update under faults: every file operation it makes fails in
// turn (a full disk, a quota, an I/O error), and the update either reports
// failure with the file exactly as it was, or succeeds with the whole new
// text; never anything between. The leftover of a writer that is gone goes
// with the next update, and a folder that takes no new file is written in
// place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/profile_update.h"
#include "platform/profile.h"
#include "support/file_faults.h"
#include "support/profile_value.h"
#include "support/sandbox.h"
#include "support/unprivileged.h"

namespace velto::testing {
namespace {

using platform::Replacement;

constexpr Replacement kAllReplacements[] = {Replacement::kRename, Replacement::kSyncThenRename,
                                            Replacement::kExchange,
                                            Replacement::kSyncThenExchange};

const char* ReplacementName(Replacement replacement) {
  switch (replacement) {
    case Replacement::kRename:
      return "rename";
    case Replacement::kSyncThenRename:
      return "fdatasync+rename";
    case Replacement::kExchange:
      return "exchange";
    case Replacement::kSyncThenExchange:
      return "fdatasync+exchange";
  }
  return "?";
}

ino_t InodeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

const std::string kBefore = "; host\n[Host]\nWindow=3\n\n[GetStatus]\nLineLength=20\nSize=1\n";
const std::string kAfter =
    "; host\n[Host]\nWindow=3\n\n[GetStatus]\nLineLength=20\nSize=12345\nCRLF=7\n";

bool Update(const std::string& path, Replacement replacement) {
  const platform::ProfileEntry entries[] = {{"Size", "12345"}, {"CRLF", "7"}};
  return platform::UpdateProfileValuesBy(replacement, path.c_str(), "GetStatus", entries);
}

// Each operation of an update fails in turn, at each of its calls, with the
// error a full disk or a failing disk gives; the update never leaves a
// file between the old and the new text, and one more update with no
// fault leaves nothing but the status file.
TEST(ProfileFaults, EveryFailingOperationLeavesTheOldTextOrTheNew) {
  for (const Replacement replacement : kAllReplacements) {
    int dry_calls[kAllFileOps.size()] = {};
    {
      Sandbox box;
      const std::string path = box.Write("s.ini", kBefore);
      FileFaults faults;
      ASSERT_TRUE(Update(path, replacement));
      for (const FileOp op : kAllFileOps) dry_calls[static_cast<int>(op)] = faults.Calls(op);
    }
    for (const FileOp op : kAllFileOps) {
      for (int nth = 1; nth <= dry_calls[static_cast<int>(op)]; ++nth) {
        SCOPED_TRACE(std::string(ReplacementName(replacement)) + ": " + FileOpName(op) + " #" +
                     std::to_string(nth) + " fails");
        Sandbox box;
        const std::string path = box.Write("s.ini", kBefore);
        bool updated = false;
        {
          FileFaults faults;
          faults.Fail(op, nth, TypicalError(op));
          updated = Update(path, replacement);
          EXPECT_EQ(faults.Failures(), 1);
        }
        const std::string text = Sandbox::Read(path);
        if (updated) {
          EXPECT_EQ(text, kAfter);
        } else {
          EXPECT_EQ(text, kBefore);
        }
        // What the data's way to the disk depends on fails the update.
        if (op == FileOp::kWrite || op == FileOp::kSync || op == FileOp::kRename ||
            op == FileOp::kRead || (op == FileOp::kClose && nth == 1)) {
          EXPECT_FALSE(updated);
        }
        ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "x"));
        EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
      }
    }
  }
}

TEST(ProfileFaults, FullDiskWhileWritingTheNewTextKeepsTheOldFileWhole) {
  Sandbox box;
  const std::string path = box.Write("s.ini", kBefore);
  const ino_t inode = InodeOf(path);
  {
    FileFaults faults;
    faults.FailAll(FileOp::kWrite, ENOSPC);
    EXPECT_FALSE(Update(path, Replacement::kRename));
  }
  EXPECT_EQ(Sandbox::Read(path), kBefore);
  EXPECT_EQ(InodeOf(path), inode);
  EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
}

// A writer killed between creating its file and putting it in place leaves
// that file; the next writer that holds the lock removes it, also when its
// own update changes nothing.
TEST(ProfileLeftovers, TheNextUpdateRemovesTheFileOfAKilledWriter) {
  for (const bool changes : {true, false}) {
    Sandbox box;
    const std::string path = box.Write("s.ini", kBefore);
    box.Write(".s.ini.velto-tmp", "[GetStatus]\nSize=half written");
    ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Size", changes ? "2" : "1"));
    EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"}) << changes;
  }
}

TEST(ProfileLeftovers, AFailedCleanUpIsFinishedByTheNextUpdate) {
  Sandbox box;
  const std::string path = box.Write("s.ini", kBefore);
  {
    // The rename fails, and the replacement cannot be removed either.
    FileFaults faults;
    faults.Fail(FileOp::kRename, 1, EIO);
    faults.FailAll(FileOp::kUnlink, EIO);
    EXPECT_FALSE(Update(path, Replacement::kRename));
  }
  EXPECT_EQ(Sandbox::Read(path), kBefore);
  EXPECT_EQ(FolderNames(box.root()), (std::vector<std::string>{".s.ini.velto-tmp", "s.ini"}));
  ASSERT_TRUE(Update(path, Replacement::kRename));
  EXPECT_EQ(Sandbox::Read(path), kAfter);
  EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
}

TEST(ProfileLeftovers, TheOldTextOfAnExchangeThatCouldNotBeRemovedGoesNextTime) {
  Sandbox box;
  const std::string path = box.Write("s.ini", kBefore);
  {
    FileFaults faults;
    faults.FailAll(FileOp::kUnlink, EIO);
    ASSERT_TRUE(Update(path, Replacement::kExchange));
  }
  EXPECT_EQ(Sandbox::Read(path), kAfter);
  // Where the system exchanges names, the old text is left under the
  // replacement's name; where it does not, the rename left nothing.
  const std::vector<std::string> names = FolderNames(box.root());
  EXPECT_TRUE(names == (std::vector<std::string>{".s.ini.velto-tmp", "s.ini"}) ||
              names == std::vector<std::string>{"s.ini"});
  ASSERT_TRUE(testing::UpdateProfileValue(path.c_str(), "GetStatus", "Name", "x"));
  EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
}

TEST(ProfileLeftovers, AVeryLongNameGetsAShortReplacementName) {
  Sandbox box;
  const std::string name = std::string(240, 'n') + ".ini";
  const std::string path = box.Write(name, kBefore);
  {
    FileFaults faults;
    faults.Fail(FileOp::kRename, 1, EIO);
    faults.FailAll(FileOp::kUnlink, EIO);
    EXPECT_FALSE(Update(path, Replacement::kRename));
  }
  const std::vector<std::string> names = FolderNames(box.root());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0].size(), std::string(".velto-0123456789abcdef.tmp").size()) << names[0];
  EXPECT_EQ(names[0].rfind(".velto-", 0), 0u) << names[0];
  ASSERT_TRUE(Update(path, Replacement::kRename));
  EXPECT_EQ(Sandbox::Read(path), kAfter);
  EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{name});
}

TEST(ProfileLeftovers, AFileOfAnotherKindUnderTheNameIsLeftAlone) {
  Sandbox box;
  const std::string path = box.Write("s.ini", kBefore);
  ASSERT_EQ(mkdir(box.Path(".s.ini.velto-tmp").c_str(), 0755), 0);
  ASSERT_EQ(symlink("elsewhere", box.Path(".t.ini.velto-tmp").c_str()), 0);
  const std::string other = box.Write("t.ini", kBefore);
  // Neither can be the leftover of a writer: the update goes in place.
  ASSERT_TRUE(Update(path, Replacement::kRename));
  ASSERT_TRUE(Update(other, Replacement::kRename));
  EXPECT_EQ(Sandbox::Read(path), kAfter);
  EXPECT_EQ(Sandbox::Read(other), kAfter);
  EXPECT_TRUE(std::filesystem::is_directory(box.Path(".s.ini.velto-tmp")));
  EXPECT_TRUE(std::filesystem::is_symlink(box.Path(".t.ini.velto-tmp")));
}

// Writers of one file in every way at once: each takes its turn, none
// finds the replacement name still in use by the one before it (which would
// fail its update), and nothing is left behind.
TEST(ProfileLeftovers, WritersTakingTurnsNeverTripOverTheReplacementName) {
  for (const Replacement replacement : kAllReplacements) {
    SCOPED_TRACE(ReplacementName(replacement));
    Sandbox box;
    const std::string path = box.Write("s.ini", kBefore);
    constexpr int kThreads = 4;
    constexpr int kRounds = 40;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        const std::string key = "Writer" + std::to_string(t);
        for (int round = 0; round < kRounds; ++round) {
          const std::string value = std::to_string(round);
          const platform::ProfileEntry entry{key.c_str(), value.c_str()};
          if (!platform::UpdateProfileValuesBy(replacement, path.c_str(), "GetStatus", {&entry, 1})) ++failures;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
    char out[16] = {};
    for (int t = 0; t < kThreads; ++t) {
      platform::ReadProfileValue(path.c_str(), "GetStatus", ("Writer" + std::to_string(t)).c_str(), "", out,
                                 sizeof out);
      EXPECT_STREQ(out, "39");
    }
    EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
  }
}

// A writer that has just exchanged its file into place still has the old
// text under the replacement's name. A writer that comes now may lock the
// new status file only once the first is done: else it would take that
// name for a leftover, and the first would then remove the second's file.
// The first writer is held right after its exchange (or rename) until the
// second writes into a file of its own, and the second, once it writes,
// until the first is done: the second's update fails unless it waited.
TEST(ProfileLeftovers, AWriterWaitsUntilTheOneBeforeItIsDoneWithTheName) {
  for (const Replacement replacement : {Replacement::kExchange, Replacement::kRename}) {
    SCOPED_TRACE(ReplacementName(replacement));
    Sandbox box;
    const std::string path = box.Write("s.ini", kBefore);
    std::thread second;
    std::atomic<bool> second_ok{false};
    std::atomic<bool> first_done{false};
    const auto wait_until = [](const std::function<bool()>& condition) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
      while (!condition() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    };
    {
      FileFaults faults;
      const FileOp swap = replacement == Replacement::kExchange ? FileOp::kExchange : FileOp::kRename;
      faults.AfterCall(swap, [&] {
        faults.AfterCall(FileOp::kWrite, [&] { wait_until([&] { return first_done.load(); }); });
        second = std::thread([&] {
          const platform::ProfileEntry entry{"Second", "2"};
          second_ok = platform::UpdateProfileValuesBy(replacement, path.c_str(), "GetStatus", {&entry, 1});
        });
        wait_until([&] { return faults.Calls(FileOp::kWrite) >= 2; });
      });
      EXPECT_TRUE(Update(path, replacement));
      first_done = true;
      second.join();
    }
    EXPECT_TRUE(second_ok);
    EXPECT_EQ(Sandbox::Read(path), kAfter + "Second=2\n");
    EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
  }
}

// ---------------------------------------------------------------------------
// A folder that takes no new file.

TEST(ProfileInPlace, AFolderThatRefusesNewFilesIsWrittenInPlace) {
  for (const int error : {EACCES, EPERM}) {
    Sandbox box;
    const std::string path = box.Write("s.ini", kBefore);
    const ino_t inode = InodeOf(path);
    {
      FileFaults faults;
      faults.FailAll(FileOp::kCreate, error);
      EXPECT_TRUE(Update(path, Replacement::kRename));
      EXPECT_EQ(faults.Calls(FileOp::kRename), 0);
    }
    EXPECT_EQ(Sandbox::Read(path), kAfter);
    EXPECT_EQ(InodeOf(path), inode);
    EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
  }
}

TEST(ProfileInPlace, AShorterTextIsCutToItsLength) {
  Sandbox box;
  const std::string path = box.Write("s.ini", kAfter);
  FileFaults faults;
  faults.FailAll(FileOp::kCreate, EACCES);
  const platform::ProfileEntry entries[] = {{"Size", "1"}, {"CRLF", ""}};
  ASSERT_TRUE(platform::UpdateProfileValues(path.c_str(), "GetStatus", entries));
  EXPECT_EQ(Sandbox::Read(path), "; host\n[Host]\nWindow=3\n\n[GetStatus]\nLineLength=20\nSize=1\nCRLF=\n");
}

// In place, a failure of any operation puts the old text back.
TEST(ProfileInPlace, EveryFailingOperationLeavesTheOldTextOrTheNew) {
  for (const bool grows : {true, false}) {
    const std::string before = grows ? kBefore : kAfter;
    const std::string after =
        grows ? kAfter : "; host\n[Host]\nWindow=3\n\n[GetStatus]\nLineLength=20\nSize=1\nCRLF=\n";
    const platform::ProfileEntry entries[] = {{"Size", grows ? "12345" : "1"}, {"CRLF", grows ? "7" : ""}};
    for (const FileOp op : {FileOp::kAllocate, FileOp::kWrite, FileOp::kTruncate, FileOp::kSync}) {
      SCOPED_TRACE(std::string(FileOpName(op)) + (grows ? " for a longer text" : " for a shorter text"));
      Sandbox box;
      const std::string path = box.Write("s.ini", before);
      bool updated = false;
      int calls = 0;
      {
        FileFaults faults;
        faults.FailAll(FileOp::kCreate, EACCES);
        faults.Fail(op, 1, TypicalError(op));
        updated = platform::UpdateProfileValuesBy(Replacement::kSyncThenRename, path.c_str(), "GetStatus",
                                                  entries);
        calls = faults.Calls(op);
      }
      if (calls == 0) {
        EXPECT_TRUE(updated);
        EXPECT_EQ(Sandbox::Read(path), after);
      } else {
        EXPECT_FALSE(updated);
        EXPECT_EQ(Sandbox::Read(path), before);
      }
      EXPECT_EQ(FolderNames(box.root()), std::vector<std::string>{"s.ini"});
    }
  }
}

// As an ordinary user (root runs it as "nobody"), a folder without write
// permission takes no new file; the status file in it is still written.
TEST(ProfileInPlace, ReadOnlyFolderIsWrittenInPlace) {
  Sandbox box;
  const std::string path = box.Write("ro/s.ini", kBefore);
  ASSERT_EQ(chmod(box.Path("ro").c_str(), 0555), 0);
  const auto written = RunUnprivileged(box.root(), [&] { return Update(path, Replacement::kRename) ? 1 : 0; });
  EXPECT_EQ(written, 1);
  EXPECT_EQ(Sandbox::Read(path), kAfter);
  EXPECT_EQ(FolderNames(box.Path("ro")), std::vector<std::string>{"s.ini"});
  chmod(box.Path("ro").c_str(), 0755);
}

// ---------------------------------------------------------------------------
// Reads.

TEST(ProfileReadFaults, AFileThatCannotBeReadGivesTheDefaultAndSaysSo) {
  Sandbox box;
  const std::string path = box.Write("s.ini", kBefore);
  char out[64] = {};
  for (const FileOp op : {FileOp::kOpen, FileOp::kRead}) {
    SCOPED_TRACE(FileOpName(op));
    FileFaults faults;
    faults.FailAll(op, op == FileOp::kOpen ? EACCES : EIO);
    bool failed = false;
    EXPECT_EQ(platform::ReadProfileValue(path.c_str(), "GetStatus", "LineLength", "def", out, sizeof out,
                                         &failed),
              3u);
    EXPECT_STREQ(out, "def");
    EXPECT_TRUE(failed);
    failed = false;
    EXPECT_EQ(platform::ReadProfileInt(path.c_str(), "GetStatus", "LineLength", -1, &failed), -1);
    EXPECT_TRUE(failed);
  }
  // An absent file or key is no failure.
  bool failed = false;
  platform::ReadProfileValue(box.Path("none.ini").c_str(), "GetStatus", "Name", "", out, sizeof out, &failed);
  platform::ReadProfileValue(path.c_str(), "GetStatus", "Name", "", out, sizeof out, &failed);
  EXPECT_EQ(platform::ReadProfileInt(path.c_str(), "GetStatus", "LineLength", -1, &failed), 20);
  EXPECT_FALSE(failed);
}

TEST(ProfileReadFaults, AFileThatCannotBeReadIsNoFormatToWrite) {
  Sandbox box;
  const std::string path = box.Write("s.ini", kBefore);
  FileFaults faults;
  faults.Fail(FileOp::kRead, 1, EIO);
  EXPECT_FALSE(platform::ProfileFormatSupported(path.c_str()));
  EXPECT_TRUE(platform::ProfileFormatSupported(path.c_str()));
}

}  // namespace
}  // namespace velto::testing
