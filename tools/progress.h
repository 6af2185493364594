// A progress line on standard error while a large file is measured. The
// measurement is one library call, so the line shows what is being done and
// for how long, not how far it got.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace velto::tool {

// Files larger than this get a progress line.
inline constexpr std::uint64_t kProgressThresholdBytes = 16ULL << 20;

class ProgressIndicator {
 public:
  // Starts the line when the file is large and standard error is a
  // terminal; otherwise does nothing.
  ProgressIndicator(const std::string& name, std::uint64_t bytes);
  // Stops the line and erases it.
  ~ProgressIndicator();
  ProgressIndicator(const ProgressIndicator&) = delete;
  ProgressIndicator& operator=(const ProgressIndicator&) = delete;

 private:
  void Run(std::string label);

  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace velto::tool
