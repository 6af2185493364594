// Cost of the status file accesses one measurement makes: a key read, a
// single key write, the grouped write of the seven results, and a whole
// GetFileStatus call, on a status file of a typical 30 lines.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/profile.h"
#include "status/file_status.h"
#include "status/status_profile.h"

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

 private:
  std::filesystem::path root_;
  std::string status_;
  std::string target_;
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

}  // namespace

BENCHMARK_MAIN();
