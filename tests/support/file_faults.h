// Fault injection for the POSIX file operations of the library (the table
// of platform/posix/file_operations.h): a test makes the n-th call of one
// operation fail with the error a full disk, a quota, a refused folder or a
// failing disk gives, and counts the calls that were made. Every other call
// goes to the system.
#pragma once

#include <array>
#include <functional>
#include <string>

namespace velto::testing {

enum class FileOp {
  kOpen, kCreate, kRead, kWrite, kSync, kAllocate, kTruncate, kRename, kExchange, kUnlink, kClose
};

inline constexpr std::array<FileOp, 11> kAllFileOps = {
    FileOp::kOpen,     FileOp::kCreate,   FileOp::kRead,     FileOp::kWrite,
    FileOp::kSync,     FileOp::kAllocate, FileOp::kTruncate, FileOp::kRename,
    FileOp::kExchange, FileOp::kUnlink,   FileOp::kClose};

const char* FileOpName(FileOp op);

// The errno a failure of op is given by default: ENOSPC for the operations
// that take room on the disk, EACCES for a file that may not be created,
// EIO for the others.
int TypicalError(FileOp op);

// Puts a counting table in force for its lifetime (one at a time, and only
// while no other thread is in the library); the system's table again
// afterwards.
class FileFaults {
 public:
  FileFaults();
  ~FileFaults();
  FileFaults(const FileFaults&) = delete;
  FileFaults& operator=(const FileFaults&) = delete;

  // Makes the nth call of op from now on (1 for the next) fail with error;
  // with every_later, that call and all after it. Only calls on a path that
  // contains path_part count, when one is given (a call on a descriptor
  // goes by the path the descriptor was opened by; rename and exchange by
  // the name they replace). Plans add up: each counts its own calls.
  void Fail(FileOp op, int nth, int error, std::string path_part = "", bool every_later = false);
  // Runs hook once, right after the next call of op that succeeded, on the
  // calling thread: to hold a writer at a chosen point while another one
  // goes on. For write, rename and exchange.
  void AfterCall(FileOp op, std::function<void()> hook);
  // Every call of op fails from now on.
  void FailAll(FileOp op, int error) { Fail(op, 1, error, "", true); }
  // No more failures; the counts go on.
  void Clear();

  // Calls of op since the table was put in force (or ResetCounts).
  int Calls(FileOp op) const;
  void ResetCounts();
  // Calls that were made to fail.
  int Failures() const;
};

}  // namespace velto::testing
