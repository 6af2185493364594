#include "progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace velto::tool {

ProgressIndicator::ProgressIndicator(const std::string& name, std::uint64_t bytes) {
  if (bytes <= kProgressThresholdBytes || isatty(STDERR_FILENO) == 0) return;
  char size[32];
  std::snprintf(size, sizeof size, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  thread_ = std::thread(&ProgressIndicator::Run, this, "measuring " + name + " (" + size + ")");
}

ProgressIndicator::~ProgressIndicator() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ProgressIndicator::Run(std::string label) {
  const auto start = std::chrono::steady_clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  bool shown = false;
  while (!wake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return done_; })) {
    shown = true;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    std::fprintf(stderr, "\r%s ... %llds", label.c_str(), static_cast<long long>(seconds.count()));
    std::fflush(stderr);
  }
  if (!shown) return;
  // Erase the line so the result below starts clean.
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

}  // namespace velto::tool
