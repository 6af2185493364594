// What markup costs: a 64 MiB Shift-JIS manuscript with a ruby reading on
// every tenth word, measured with the Aozora and the web notation and
// without markup (the same bytes counted as they are). The markup runs
// rebuild nearly every line; the figure to watch is their throughput
// against the run without markup.
#include <benchmark/benchmark.h>

#include <string>

#include "support/japanese_text.h"
#include "velto/measure.hpp"

namespace {

constexpr std::size_t kManuscriptBytes = 64u << 20;
constexpr std::size_t kRubyEvery = 10;

const std::string& Manuscript() {
  static const std::string text = velto::testing::GenerateJapaneseText(kManuscriptBytes, 1, kRubyEvery);
  return text;
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
  const std::string& text = Manuscript();
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

BENCHMARK(BM_NoMarkup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WebMarkup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AozoraMarkup)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
