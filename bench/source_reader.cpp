// The line reader alone on a 32 MiB manuscript in each encoding, against a
// baseline that turns the same bytes into code page 932 with plain ICU calls,
// line by line (to UTF-16 with the encoding's converter, then to
// Windows-31J). The baseline works on the bytes in memory, so it pays no file
// reads; the reader pays them.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "measure/source_reader.h"
#include "platform/codepage.h"
#include "support/japanese_text.h"

namespace {

constexpr std::size_t kManuscriptBytes = 32u << 20;

struct Encoding {
  const char* name;
  int char_set;
  const char* icu_name;
};

constexpr Encoding kEncodings[] = {
    {"ShiftJisCrLf", 0, "windows-31j"},
    {"Utf8", 6, "UTF-8"},
    {"Utf16Le", 2, "UTF-16LE"},
    {"EucJp", 3, "EUC-JP"},
};

std::string Convert(const char* to, const char* from, const std::string& bytes) {
  UErrorCode error = U_ZERO_ERROR;
  std::vector<char> out(bytes.size() * 2 + 16);
  const int32_t length = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                      static_cast<int32_t>(bytes.size()), &error);
  if (U_FAILURE(error)) std::abort();
  return std::string(out.data(), static_cast<std::size_t>(length));
}

// The manuscript in every encoding, written once into a private folder.
struct Workspace {
  std::filesystem::path root;
  std::vector<std::string> paths;
  std::vector<std::string> contents;

  Workspace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    const std::string shift_jis = velto::testing::GenerateJapaneseText(kManuscriptBytes);
    for (const Encoding& encoding : kEncodings) {
      std::string bytes = encoding.char_set == 0 ? shift_jis : Convert(encoding.icu_name, "windows-31j", shift_jis);
      const std::string path = (root / encoding.name).string();
      std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      paths.push_back(path);
      contents.push_back(std::move(bytes));
    }
  }
  ~Workspace() {
    std::error_code error;
    std::filesystem::remove_all(root, error);
  }
};

const Workspace& Files() {
  static const Workspace workspace;
  return workspace;
}

void ReadWithReader(benchmark::State& state, std::size_t index) {
  const Workspace& files = Files();
  for (auto _ : state) {
    velto::measure::SourceLineReader reader(static_cast<velto::CharSet>(kEncodings[index].char_set));
    if (!reader.Open(files.paths[index].c_str())) std::abort();
    std::string_view line;
    std::size_t total = 0;
    while (reader.ReadSourceLine(line)) total += line.size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(files.contents[index].size()));
}

// Plain ICU: each line to UTF-16 and on to Windows-31J, one call each.
void ConvertWithIcu(benchmark::State& state, std::size_t index) {
  const Workspace& files = Files();
  const std::string& bytes = files.contents[index];
  const bool utf16 = kEncodings[index].char_set == 2;
  UErrorCode error = U_ZERO_ERROR;
  UConverter* from = ucnv_open(kEncodings[index].icu_name, &error);
  UConverter* to = ucnv_open("windows-31j", &error);
  if (U_FAILURE(error)) std::abort();
  std::vector<char16_t> units(1 << 16);
  std::vector<char> out(1 << 17);
  for (auto _ : state) {
    std::size_t total = 0;
    for (std::size_t start = 0; start < bytes.size();) {
      std::size_t end = start;
      if (utf16) {
        while (end + 1 < bytes.size() && !(bytes[end] == '\n' && bytes[end + 1] == '\0')) end += 2;
        end = std::min(end + 2, bytes.size());
      } else {
        const void* lf = std::memchr(bytes.data() + start, '\n', bytes.size() - start);
        end = lf == nullptr ? bytes.size() : static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data()) + 1;
      }
      error = U_ZERO_ERROR;
      const int32_t count = ucnv_toUChars(from, units.data(), static_cast<int32_t>(units.size()), bytes.data() + start,
                                          static_cast<int32_t>(end - start), &error);
      const int32_t length = ucnv_fromUChars(to, out.data(), static_cast<int32_t>(out.size()), units.data(), count, &error);
      total += static_cast<std::size_t>(length);
      start = end;
    }
    benchmark::DoNotOptimize(total);
  }
  ucnv_close(from);
  ucnv_close(to);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// The straight conversion of UTF-8 to code page 932 alone, line by line,
// on one variant.
void ConvertStraight(benchmark::State& state, velto::platform::Utf8Variant variant) {
  if (!velto::platform::CanRun(variant)) {
    state.SkipWithError("not supported here");
    return;
  }
  const Workspace& files = Files();
  std::size_t index = 0;
  while (kEncodings[index].char_set != 6) ++index;
  const std::string_view bytes = files.contents[index];
  std::vector<char> out(bytes.size());
  for (auto _ : state) {
    std::size_t total = 0;
    for (std::size_t start = 0; start < bytes.size();) {
      const std::size_t lf = bytes.find('\n', start);
      const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf + 1;
      std::size_t consumed = 0;
      total += velto::platform::ConvertPlainUtf8(bytes.substr(start, end - start), out.data(), &consumed, variant);
      start = end;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void RegisterAll() {
  for (const velto::platform::Utf8Variant variant : velto::platform::kUtf8Variants) {
    benchmark::RegisterBenchmark(("Straight/" + std::string(velto::platform::NameOf(variant))).c_str(),
                                 ConvertStraight, variant)
        ->Unit(benchmark::kMillisecond);
  }
  for (std::size_t index = 0; index < std::size(kEncodings); ++index) {
    const std::string name = kEncodings[index].name;
    benchmark::RegisterBenchmark(("Reader/" + name).c_str(), ReadWithReader, index)->Unit(benchmark::kMillisecond);
    if (kEncodings[index].char_set != 0) {
      benchmark::RegisterBenchmark(("IcuBaseline/" + name).c_str(), ConvertWithIcu, index)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
