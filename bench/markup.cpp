// What markup costs: a 64 MiB Shift-JIS manuscript with a ruby reading on
// every tenth word (and, for comparison, on every hundredth), measured with
// the Aozora and the web notation and without markup (the same bytes
// counted as they are). The figure to watch is the throughput of a markup
// run against the run without markup on the same text.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "support/japanese_text.h"
#include "velto/measure.hpp"

namespace {

constexpr std::size_t kManuscriptBytes = 64u << 20;

// The manuscript with ruby on every `every`-th word, made once.
const std::string& Manuscript(std::size_t every) {
  static std::map<std::size_t, std::string> texts;
  auto found = texts.find(every);
  if (found == texts.end()) {
    found = texts.emplace(every, velto::testing::GenerateJapaneseText(kManuscriptBytes, 1, every)).first;
  }
  return found->second;
}

void MeasureWith(benchmark::State& state, velto::Markup markup) {
  velto::Settings settings;
  settings.line_length = 20;
  settings.page_length = 20;
  settings.no_top_no_hang = velto::testing::kCommonNoTopNoHang;
  settings.no_top_hang = velto::testing::kCommonNoTopHang;
  settings.no_end = velto::testing::kCommonNoEnd;
  settings.markup = markup;
  velto::Measurer measurer(settings);
  const std::string& text = Manuscript(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const velto::Result result = measurer.MeasureBytes(text);
    if (!result.ok()) state.SkipWithError("measurement failed");
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

void BM_NoMarkup(benchmark::State& state) { MeasureWith(state, velto::Markup::kNone); }
void BM_WebMarkup(benchmark::State& state) { MeasureWith(state, velto::Markup::kWeb); }
void BM_AozoraMarkup(benchmark::State& state) { MeasureWith(state, velto::Markup::kAozora); }

// The argument: ruby on every so many words.
BENCHMARK(BM_NoMarkup)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WebMarkup)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AozoraMarkup)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
