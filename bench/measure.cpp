// End-to-end cost of a measurement as a host pays it: GetDataStatus on a
// 64 MiB manuscript in Shift-JIS and in UTF-8, and GetStatus on a 1 KiB file.
// The stage cases split the Shift-JIS run into reading, counting and
// wrapping, so the slowest stage can be named; the line-feed pass is the
// floor they are held against: the same file read in the reader's pieces,
// looking at nothing but line feeds.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "measure/line_counts.h"
#include "measure/line_wrap.h"
#include "measure/source_reader.h"
#include "platform/input_file.h"
#include "support/japanese_text.h"
#include "velto.h"

namespace {

constexpr std::size_t kManuscriptBytes = 64u << 20;

std::string Utf8Of(const std::string& shift_jis) {
  UErrorCode error = U_ZERO_ERROR;
  std::vector<char> out(shift_jis.size() * 2 + 16);
  const int32_t length = ucnv_convert("UTF-8", "windows-31j", out.data(), static_cast<int32_t>(out.size()),
                                      shift_jis.data(), static_cast<int32_t>(shift_jis.size()), &error);
  if (U_FAILURE(error)) std::abort();
  return std::string(out.data(), static_cast<std::size_t>(length));
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The files of all cases, made once in a private folder.
struct Workspace {
  std::filesystem::path root;
  std::string shift_jis_path, utf8_path, small_path;
  std::size_t shift_jis_size = 0, utf8_size = 0;

  Workspace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    const std::string text = velto::testing::GenerateJapaneseText(kManuscriptBytes);
    const std::string utf8 = Utf8Of(text);
    shift_jis_path = (root / "manuscript-sjis.txt").string();
    utf8_path = (root / "manuscript-utf8.txt").string();
    small_path = (root / "small.txt").string();
    WriteFile(shift_jis_path, text);
    WriteFile(utf8_path, utf8);
    WriteFile(small_path, text.substr(0, 1024));
    shift_jis_size = text.size();
    utf8_size = utf8.size();
  }
  ~Workspace() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  std::string StatusFile(const std::string& name, int char_set) const {
    const std::string path = (root / name).string();
    WriteFile(path, std::string("[GetStatus]\r\nLineLength=20\r\nPageLength=20\r\nNoTop_NoHang=") +
                        velto::testing::kCommonNoTopNoHang + "\r\nNoTop_Hang=" +
                        velto::testing::kCommonNoTopHang + "\r\nNoEnd=" + velto::testing::kCommonNoEnd +
                        "\r\nCharSet=" + std::to_string(char_set) + "\r\nTemporary=\r\n");
    return path;
  }
};

const Workspace& Files() {
  static const Workspace workspace;
  return workspace;
}

void MeasureWhole(benchmark::State& state, const std::string& target, std::size_t bytes, int char_set) {
  const std::string status = Files().StatusFile("status-" + std::to_string(char_set) + ".ini", char_set);
  for (auto _ : state) {
    if (GetDataStatus(target.c_str(), status.c_str()) != 0) state.SkipWithError("GetDataStatus failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void BM_GetDataStatus_ShiftJis(benchmark::State& state) {
  MeasureWhole(state, Files().shift_jis_path, Files().shift_jis_size, 0);
}
BENCHMARK(BM_GetDataStatus_ShiftJis)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetDataStatus_Utf8(benchmark::State& state) {
  MeasureWhole(state, Files().utf8_path, Files().utf8_size, 6);
}
BENCHMARK(BM_GetDataStatus_Utf8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetStatus_1KiB(benchmark::State& state) {
  const std::string status = Files().StatusFile("status-small.ini", 0);
  for (auto _ : state) {
    if (GetStatus(Files().small_path.c_str(), status.c_str()) != 0) state.SkipWithError("GetStatus failed");
  }
}
BENCHMARK(BM_GetStatus_1KiB)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

// --- Stages of the Shift-JIS run -------------------------------------------

template <typename PerLine>
void ReadEveryLine(benchmark::State& state, PerLine per_line) {
  for (auto _ : state) {
    velto::measure::SourceLineReader reader(velto::CharSet::kShiftJis);
    if (!reader.Open(Files().shift_jis_path.c_str())) state.SkipWithError("open failed");
    std::string_view line;
    std::int64_t sum = 0;
    while (reader.ReadSourceLine(line)) sum += per_line(line);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Files().shift_jis_size));
}

void BM_LineFeedsOnly(benchmark::State& state) {
  std::vector<char> buffer(velto::measure::SourceLineReader::kDefaultFileBufferSize);
  for (auto _ : state) {
    velto::platform::InputFile file;
    if (!file.Open(Files().shift_jis_path.c_str())) state.SkipWithError("open failed");
    std::int64_t line_feeds = 0;
    for (std::ptrdiff_t got; (got = file.Read(buffer.data(), buffer.size())) > 0;) {
      const char* at = buffer.data();
      const char* const end = at + got;
      while (const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at))) {
        ++line_feeds;
        at = static_cast<const char*>(found) + 1;
      }
    }
    benchmark::DoNotOptimize(line_feeds);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Files().shift_jis_size));
}
BENCHMARK(BM_LineFeedsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Stage_Read(benchmark::State& state) {
  ReadEveryLine(state, [](std::string_view line) { return static_cast<std::int64_t>(line.size()); });
}
BENCHMARK(BM_Stage_Read)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Stage_ReadAndCount(benchmark::State& state) {
  ReadEveryLine(state, [](std::string_view line) {
    const velto::measure::LineCounts counts = velto::measure::CountCharactersAndBlanks(line);
    return static_cast<std::int64_t>(counts.characters + counts.blanks);
  });
}
BENCHMARK(BM_Stage_ReadAndCount)->Unit(benchmark::kMillisecond)->UseRealTime();

// The wrapping of the status files above: 20 characters a line, the common sets.
velto::measure::LineWrapper CommonWrapper() {
  return velto::measure::LineWrapper(velto::measure::LineBreakRules{
      20, 5, velto::testing::kCommonNoTopNoHang, velto::testing::kCommonNoTopHang,
      velto::testing::kCommonNoEnd});
}

void BM_Stage_ReadAndWrap(benchmark::State& state) {
  const velto::measure::LineWrapper wrapper = CommonWrapper();
  ReadEveryLine(state, [&wrapper](std::string_view line) {
    return static_cast<std::int64_t>(wrapper.CountDisplayLines(line));
  });
}
BENCHMARK(BM_Stage_ReadAndWrap)->Unit(benchmark::kMillisecond)->UseRealTime();

// Counting and wrapping from one scan of each line, as a measurement does,
// once per variant of the scan this processor can run.
void ReadCountAndWrap(benchmark::State& state, velto::measure::ScanVariant variant) {
  if (!velto::measure::CanRun(variant)) {
    state.SkipWithError("this variant is not built or not supported here");
    return;
  }
  const velto::measure::LineWrapper wrapper = CommonWrapper();
  velto::measure::LineStarts starts;
  ReadEveryLine(state, [&](std::string_view line) {
    const velto::measure::LineCounts counts = starts.Scan(line, variant);
    return static_cast<std::int64_t>(counts.characters + counts.blanks) +
           wrapper.CountDisplayLines(line, starts);
  });
}

[[maybe_unused]] const bool kVariantStagesRegistered = [] {
  for (const velto::measure::ScanVariant variant : velto::measure::kScanVariants) {
    const std::string name = "BM_Stage_ReadCountAndWrap/" + std::string(velto::measure::NameOf(variant));
    benchmark::RegisterBenchmark(name.c_str(), ReadCountAndWrap, variant)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
