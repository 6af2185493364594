// Cost of the status file accesses one measurement makes: a key read, a
// single key write, the grouped write of the seven results, and a whole
// GetFileStatus call, on a status file of a typical 30 lines. Then the cost
// of a whole GetStatus on a 1 KiB target with each way of putting a new
// status file in place (profile_update.h), as the median and the 90th
// percentile of single calls: what the choice of durability costs a host.
// The figures hold for the file system of the temporary folder (TMPDIR).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/profile_update.h"
#include "platform/profile.h"
#include "status/file_status.h"
#include "status/status_profile.h"
#include "support/japanese_text.h"
#include "velto.h"

namespace {

// A folder of its own holding a 30-line status file and a target file.
class StatusFolder {
 public:
  StatusFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    status_ = (root_ / "status.ini").string();
    target_ = (root_ / "target.txt").string();
    std::ofstream(target_) << "text\n";
    small_ = (root_ / "small.txt").string();
    std::ofstream(small_, std::ios::binary) << velto::testing::GenerateJapaneseText(1024).substr(0, 1024);
    std::ofstream status(status_, std::ios::binary);
    status << "; status file of the host\n[Host]\n";
    for (int i = 0; i < 8; ++i) status << "Option" << i << "=value " << i << "\n";
    status << "\n[GetStatus]\nLineLength=40\nPageLength=30\nCharSet=0\n"
              "NoTop_NoHang=,.)]}\nNoTop_Hang=,.\nNoEnd=([{\nTemporary=\nDebugLog=\n"
              "Name=\nTimeStamp=\nSize=0\nCRLF=0\nNoCRLF=0\nNoCRLF_NoBLANK=0\n"
              "LineCount=0\nPageCount=0\nModCount=0\n";
  }
  ~StatusFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  StatusFolder(const StatusFolder&) = delete;
  StatusFolder& operator=(const StatusFolder&) = delete;

  const char* status() const { return status_.c_str(); }
  const char* target() const { return target_.c_str(); }
  const char* small() const { return small_.c_str(); }

 private:
  std::filesystem::path root_;
  std::string status_;
  std::string target_;
  std::string small_;
};

void BM_ReadProfileValue(benchmark::State& state) {
  const StatusFolder folder;
  char value[260];
  for (auto _ : state) {
    benchmark::DoNotOptimize(velto::platform::ReadProfileValue(folder.status(), "GetStatus", "ModCount", "NOVALUE", value, sizeof value));
  }
}
BENCHMARK(BM_ReadProfileValue);

void BM_ReadInt(benchmark::State& state) {
  const StatusFolder folder;
  const velto::status::StatusProfile profile(folder.status());
  std::int32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(profile.ReadInt("LineLength", value));
  }
}
BENCHMARK(BM_ReadInt);

// Each round writes a value other than the one stored, so every round
// really replaces the file.
void BM_WriteInt(benchmark::State& state) {
  const StatusFolder folder;
  const velto::status::StatusProfile profile(folder.status());
  std::int64_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(profile.WriteInt("Size", ++value));
  }
}
BENCHMARK(BM_WriteInt);

void BM_WriteSevenResults(benchmark::State& state) {
  const StatusFolder folder;
  const velto::status::StatusProfile profile(folder.status());
  const char* const keys[] = {"Size",      "CRLF",      "NoCRLF",  "NoCRLF_NoBLANK",
                              "LineCount", "PageCount", "ModCount"};
  std::int64_t values[7] = {};
  for (auto _ : state) {
    for (std::int64_t& value : values) ++value;
    benchmark::DoNotOptimize(profile.WriteInts(keys, values));
  }
}
BENCHMARK(BM_WriteSevenResults);

void BM_GetFileStatus(benchmark::State& state) {
  const StatusFolder folder;
  for (auto _ : state) {
    benchmark::DoNotOptimize(velto::status::RecordFileStatus(folder.target(), folder.status()));
  }
}
BENCHMARK(BM_GetFileStatus);

// GetStatus on a 1 KiB target with the way of replacement given by the
// argument; every call is timed on its own.
void BM_GetStatus1KiB(benchmark::State& state) {
  using velto::platform::Replacement;
  constexpr Replacement kWays[] = {Replacement::kExchange, Replacement::kRename,
                                   Replacement::kSyncThenExchange, Replacement::kSyncThenRename};
  const Replacement way = kWays[state.range(0)];
  const Replacement before = velto::platform::SetReplacement(way);
  const StatusFolder folder;
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (GetStatus(folder.small(), folder.status()) != 0) state.SkipWithError("GetStatus failed");
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  velto::platform::SetReplacement(before);
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p90_us"] = micros[micros.size() * 9 / 10];
  static constexpr const char* kNames[] = {"exchange", "rename", "fdatasync+exchange",
                                           "fdatasync+rename"};
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_GetStatus1KiB)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
