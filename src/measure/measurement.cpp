#include "measure/measurement.h"

#include "measure/markup/markup.h"
#include "measure/tally.h"

namespace velto {
namespace measure {
namespace {

// Counts each line a markup filter hands on, as the plain run counts source
// lines: from the one scan the filter made of it.
class CountingSink final : public markup::Sink {
 public:
  CountingSink(const LineWrapper& wrapper, Tally& tally, log::DebugLogFile* log)
      : wrapper_(wrapper), tally_(tally), log_(log) {}

  void Line(const markup::MarkedLine& line) override {
    const std::int64_t count = tally_.AddCounted(line.counts, line.text.ends_with('\n'));
    if (log_ != nullptr) log_->LogCharacterCount(count);
    tally_.AddDisplayLines(wrapper_.CountDisplayLines(line.text, line.starts));
    tally_.AddRuby(line.ruby_totals.spans, line.ruby_totals.characters);
  }
  void PageBreak() override { tally_.PageBreak(); }
  bool WantsRubyPlaces() const override { return false; }

 private:
  const LineWrapper& wrapper_;
  Tally& tally_;
  log::DebugLogFile* log_;
};

}  // namespace

LineBreakRules RulesOf(const Settings& settings) {
  return {settings.line_length, BackoffLimitFor(settings.line_length), settings.no_top_no_hang,
          settings.no_top_hang, settings.no_end};
}

Engine::Engine(const Settings& settings)
    : settings_(settings), wrapper_(RulesOf(settings_)) {}

void Engine::SetCharSet(CharSet char_set) {
  if (char_set == settings_.char_set) return;
  settings_.char_set = char_set;
  reader_.reset();
}

SourceLineReader& Engine::Reader() {
  if (reader_ == nullptr) reader_ = std::make_unique<SourceLineReader>(settings_.char_set);
  return *reader_;
}

Result Engine::MeasureFile(const char* path, log::DebugLogFile* log) {
  if (!Reader().Open(path)) return {Failure::kCannotOpen, {}};
  if (log != nullptr) log->LogTargetFile(path);
  return Run(log);
}

Result Engine::MeasureBytes(std::string_view bytes) {
  if (!Reader().OpenBytes(bytes)) return {Failure::kCannotOpen, {}};
  return Run(nullptr);
}

Result Engine::Run(log::DebugLogFile* log) {
  const std::unique_ptr<markup::Filter> filter =
      markup::MakeFilter(settings_.markup, settings_.aozora_body_only);
  const Result result = filter == nullptr ? RunPlain(log) : RunMarked(*filter, log);
  // A read error is not the end of the text: counting what was read as if it
  // were the whole text would report wrong numbers as a success.
  if (reader_->ReadFailed()) return {Failure::kReadError, {}};
  return result;
}

Result Engine::RunPlain(log::DebugLogFile* log) {
  Tally tally(settings_.page_length);
  // One scan of each line serves both its counts and its wrapping.
  LineStarts starts;
  std::string_view line;
  while (reader_->ReadSourceLine(line)) {
    // The reader ends a line at its line feed, so only the last byte can be one.
    const std::int64_t count = tally.AddCounted(starts.Scan(line), line.ends_with('\n'));
    if (log != nullptr) log->LogCharacterCount(count);
    tally.AddDisplayLines(wrapper_.CountDisplayLines(line, starts));
  }
  return {Failure::kNone, tally.Sums()};
}

Result Engine::RunMarked(markup::Filter& filter, log::DebugLogFile* log) {
  Tally tally(settings_.page_length);
  CountingSink sink(wrapper_, tally, log);
  std::string_view line;
  while (reader_->ReadSourceLine(line)) filter.Push(line, sink);
  filter.Finish(sink);
  return {Failure::kNone, tally.Sums()};
}

}  // namespace measure

// ---------------------------------------------------------------------------
// The public API on top of the engine.

struct Measurer::Engine : measure::Engine {
  using measure::Engine::Engine;
};

Measurer::Measurer(const Settings& settings) : engine_(std::make_unique<Engine>(settings)) {}
Measurer::~Measurer() = default;

const Settings& Measurer::settings() const { return engine_->settings(); }
void Measurer::SetCharSet(CharSet char_set) { engine_->SetCharSet(char_set); }
Result Measurer::MeasureFile(const std::string& path) { return engine_->MeasureFile(path.c_str()); }
Result Measurer::MeasureBytes(std::string_view bytes) { return engine_->MeasureBytes(bytes); }

Result MeasureFile(const std::string& path, const Settings& settings) {
  return Measurer(settings).MeasureFile(path);
}

Result MeasureBytes(std::string_view bytes, const Settings& settings) {
  return Measurer(settings).MeasureBytes(bytes);
}

std::string_view Describe(Failure failure) {
  switch (failure) {
    case Failure::kNone: return "measured";
    case Failure::kCannotOpen: return "cannot be opened";
    case Failure::kReadError: return "read error";
  }
  return "unknown failure";
}

}  // namespace velto
