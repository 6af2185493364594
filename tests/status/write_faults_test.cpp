// The exports under faults: each file operation that GetFileStatus,
// GetDataStatus and GetStatus make fails in turn, at each of its calls,
// with the error a full disk, a quota, a refused folder or a failing disk
// gives. A call that returns 0 has written every result; a call that fails
// returns -1 and leaves the status file as it was, or in one of the states
// its documented failures leave: Name and TimeStamp cleared (GetFileStatus),
// or, when the failure came after the measurement had begun, Size of the
// measured file and the six counts 0 (GetDataStatus). The results never
// appear half-written, and the host's text always survives. These tests
// need no root and skip nothing as root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/file_faults.h"
#include "support/sandbox.h"
#include "velto.h"

namespace velto::testing {
namespace {

const std::string kBefore =
    "; the host's own text\n"
    "[Host]\n"
    "Window=3\n"
    "\n"
    "[GetStatus]\n"
    "LineLength=20\n"
    "PageLength=20\n"
    "Name=stale.txt\n"
    "TimeStamp=2001/01/01 00:00:00\n"
    "Size=99\n"
    "CRLF=99\n"
    "NoCRLF=99\n"
    "NoCRLF_NoBLANK=99\n"
    "LineCount=99\n"
    "PageCount=99\n"
    "ModCount=99\n";

using Export = int (*)(const char*, const char*);

struct Files {
  Sandbox box;
  std::string target;
  std::string status;

  explicit Files(const std::string& status_text) {
    target = box.Write("target.txt", "abc \x82\xa0\n\x81\x40xyz\n");
    // One last-write time for every copy, so that TimeStamp is always the same.
    const struct timespec times[2] = {{1173085441, 0}, {1173085441, 0}};
    utimensat(AT_FDCWD, target.c_str(), times, 0);
    status = box.Write("status.ini", status_text);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(box.root())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// The status text after export ran on status_text without faults, or with
// the target failing to read (a measurement that began and did not end).
std::string After(Export run, const std::string& status_text, bool target_fails = false) {
  Files files(status_text);
  FileFaults faults;
  if (target_fails) faults.Fail(FileOp::kRead, 1, EIO, "target.txt", true);
  const int result = run(files.target.c_str(), files.status.c_str());
  EXPECT_EQ(result, target_fails ? -1 : 0);
  return Sandbox::Read(files.status);
}

// The status text after GetFileStatus failed to find its target: Name and
// TimeStamp cleared, as every failure of the call that can still write
// leaves them.
std::string Cleared(const std::string& status_text) {
  Files files(status_text);
  EXPECT_EQ(GetFileStatus(files.box.Path("missing.txt").c_str(), files.status.c_str()), -1);
  return Sandbox::Read(files.status);
}

struct ExportCase {
  const char* name;
  Export run;
};

class ExportUnderFaults : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ExportUnderFaults, EachFailingOperationLeavesAWholeStatusFile) {
  const ExportCase& c = GetParam();
  const std::string name = c.name;

  // The texts a call may leave: the final one on success; on failure the
  // text before, and the states between the updates of the call.
  const std::string done = After(c.run, kBefore);
  std::set<std::string> failed = {kBefore};
  if (name != "GetDataStatus") failed.insert(Cleared(kBefore));
  if (name == "GetDataStatus") failed.insert(After(GetDataStatus, kBefore, true));
  if (name == "GetStatus") {
    const std::string file_done = After(GetFileStatus, kBefore);
    failed.insert(file_done);
    failed.insert(After(GetDataStatus, file_done, true));
  }

  int dry_calls[kAllFileOps.size()] = {};
  {
    Files files(kBefore);
    FileFaults faults;
    ASSERT_EQ(c.run(files.target.c_str(), files.status.c_str()), 0);
    for (const FileOp op : kAllFileOps) dry_calls[static_cast<int>(op)] = faults.Calls(op);
  }
  int cases = 0;
  int refusals = 0;
  for (const FileOp op : kAllFileOps) {
    for (int nth = 1; nth <= dry_calls[static_cast<int>(op)]; ++nth) {
      SCOPED_TRACE(name + ": " + FileOpName(op) + " #" + std::to_string(nth) + " fails");
      Files files(kBefore);
      int result = 0;
      {
        FileFaults faults;
        faults.Fail(op, nth, TypicalError(op));
        result = c.run(files.target.c_str(), files.status.c_str());
        EXPECT_EQ(faults.Failures(), 1);
      }
      const std::string text = Sandbox::Read(files.status);
      if (result == 0) {
        EXPECT_EQ(text, done);
      } else {
        ++refusals;
        EXPECT_EQ(result, -1);
        EXPECT_EQ(failed.count(text), 1u) << text;
      }
      // The next call puts everything right and leaves no file behind.
      EXPECT_EQ(c.run(files.target.c_str(), files.status.c_str()), 0);
      EXPECT_EQ(Sandbox::Read(files.status), done);
      EXPECT_EQ(files.Names(), (std::vector<std::string>{"status.ini", "target.txt"}));
      ++cases;
    }
  }
  EXPECT_GT(cases, 10);
  EXPECT_GT(refusals, 5);
}

INSTANTIATE_TEST_SUITE_P(Exports, ExportUnderFaults,
                         ::testing::Values(ExportCase{"GetFileStatus", GetFileStatus},
                                           ExportCase{"GetDataStatus", GetDataStatus},
                                           ExportCase{"GetStatus", GetStatus}),
                         [](const auto& test) { return std::string(test.param.name); });

// A full disk from some moment on: every write fails from then on. Each
// call fails, and each leaves a whole status file behind.
TEST(FullDisk, EveryCallFailsAndTheStatusFileStaysWhole) {
  for (const FileOp op : {FileOp::kWrite, FileOp::kCreate, FileOp::kClose}) {
    SCOPED_TRACE(FileOpName(op));
    Files files(kBefore);
    FileFaults faults;
    faults.FailAll(op, op == FileOp::kCreate ? ENOSPC : TypicalError(op));
    EXPECT_EQ(GetFileStatus(files.target.c_str(), files.status.c_str()), -1);
    EXPECT_EQ(GetDataStatus(files.target.c_str(), files.status.c_str()), -1);
    EXPECT_EQ(GetStatus(files.target.c_str(), files.status.c_str()), -1);
    EXPECT_EQ(Sandbox::Read(files.status), kBefore);
    EXPECT_EQ(files.Names(), (std::vector<std::string>{"status.ini", "target.txt"}));
  }
}

// A folder that takes no new file: the calls succeed, writing in place.
TEST(RefusedFolder, CallsSucceedInPlace) {
  const std::string done = After(GetStatus, kBefore);
  Files files(kBefore);
  FileFaults faults;
  faults.FailAll(FileOp::kCreate, EACCES);
  EXPECT_EQ(GetStatus(files.target.c_str(), files.status.c_str()), 0);
  EXPECT_EQ(Sandbox::Read(files.status), done);
  EXPECT_EQ(faults.Calls(FileOp::kRename), 0);
  EXPECT_EQ(files.Names(), (std::vector<std::string>{"status.ini", "target.txt"}));
}

}  // namespace
}  // namespace velto::testing
