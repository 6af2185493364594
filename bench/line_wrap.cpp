// Throughput of the wrapping engine against the literal reference, in bytes
// of source text per second: typical Japanese paragraphs at 20 characters a
// line, and the two worst cases at 10 characters a line (a full 5119-byte
// line of plain text, and one whose every character may neither end nor
// begin a line, so that both back-offs run to their limit on every display
// line).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "measure/line_wrap.h"
#include "support/japanese_text.h"
#include "support/wrap_reference.h"

namespace {

using velto::measure::LineBreakRules;
using velto::measure::LineWrapper;

constexpr std::size_t kLongestLine = 5119;

struct Workload {
  std::vector<std::string> lines;
  std::string no_top_no_hang;
  std::string hang;
  std::string no_end;
  std::uint32_t line_length = 0;
  std::uint32_t backoff_limit = 5;

  LineBreakRules Rules() const { return {line_length, backoff_limit, no_top_no_hang, hang, no_end}; }
  // The one NoTop set of the literal reference.
  std::string NoTop() const { return no_top_no_hang + hang; }
  std::int64_t Bytes() const {
    std::int64_t bytes = 0;
    for (const std::string& line : lines) bytes += static_cast<std::int64_t>(line.size());
    return bytes;
  }
};

// About 1 MB of paragraphs of 20 to 400 characters, each one source line.
Workload TypicalParagraphs() {
  Workload work;
  const std::string text = velto::testing::GenerateJapaneseText(1 << 20);
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = text.find('\n', begin);
    work.lines.push_back(text.substr(begin, end - begin + 1));
    begin = end + 1;
  }
  work.no_top_no_hang = velto::testing::kCommonNoTopNoHang;
  work.hang = velto::testing::kCommonNoTopHang;
  work.no_end = velto::testing::kCommonNoEnd;
  work.line_length = 20;
  return work;
}

std::string RepeatToLongestLine(const std::string& piece) {
  std::string line;
  while (line.size() < kLongestLine) line += piece;
  line.resize(kLongestLine);
  return line;
}

Workload PlainLongestLine() {
  Workload work;
  // あいうえお日本語テキスト: kana, kanji whose trail bytes are lead bytes, katakana.
  work.lines.push_back(RepeatToLongestLine(
      "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58"
      "\x83\x67"));
  work.line_length = 10;
  return work;
}

Workload EveryCharacterInBothSets() {
  Workload work;
  const std::string angles = "\x81\x71\x81\x72";  // 〈〉
  work.lines.push_back(RepeatToLongestLine(angles));
  work.no_top_no_hang = angles;
  work.no_end = angles;
  work.line_length = 10;
  return work;
}

void RunEngine(benchmark::State& state, const Workload& work) {
  const LineWrapper wrapper(work.Rules());
  for (auto _ : state) {
    std::int64_t display_lines = 0;
    for (const std::string& line : work.lines) display_lines += wrapper.CountDisplayLines(line);
    benchmark::DoNotOptimize(display_lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * work.Bytes());
}

void RunReference(benchmark::State& state, const Workload& work) {
  const std::string no_top = work.NoTop();
  for (auto _ : state) {
    std::int64_t display_lines = 0;
    for (const std::string& line : work.lines) {
      display_lines += velto::testing::ReferenceCountDisplayLines(
          line.c_str(), work.line_length, work.backoff_limit, no_top.c_str(),
          work.hang.c_str(), work.no_end.c_str());
    }
    benchmark::DoNotOptimize(display_lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * work.Bytes());
}

const Workload& Typical() {
  static const Workload work = TypicalParagraphs();
  return work;
}
const Workload& Plain() {
  static const Workload work = PlainLongestLine();
  return work;
}
const Workload& BothSets() {
  static const Workload work = EveryCharacterInBothSets();
  return work;
}

void BM_Engine_TypicalParagraphs(benchmark::State& state) { RunEngine(state, Typical()); }
void BM_Reference_TypicalParagraphs(benchmark::State& state) { RunReference(state, Typical()); }
void BM_Engine_WorstPlain(benchmark::State& state) { RunEngine(state, Plain()); }
void BM_Reference_WorstPlain(benchmark::State& state) { RunReference(state, Plain()); }
void BM_Engine_WorstBothBackoffs(benchmark::State& state) { RunEngine(state, BothSets()); }
void BM_Reference_WorstBothBackoffs(benchmark::State& state) { RunReference(state, BothSets()); }

BENCHMARK(BM_Engine_TypicalParagraphs);
BENCHMARK(BM_Reference_TypicalParagraphs);
BENCHMARK(BM_Engine_WorstPlain);
BENCHMARK(BM_Reference_WorstPlain);
BENCHMARK(BM_Engine_WorstBothBackoffs);
BENCHMARK(BM_Reference_WorstBothBackoffs);

}  // namespace

BENCHMARK_MAIN();
