#include "measure/measure_run.h"

#include <array>
#include <cstring>

#include "measure/line_counts.h"
#include "measure/line_wrap.h"
#include "measure/source_reader.h"
#include "platform/find.h"
#include "status/status_profile.h"

namespace velto::measure {
namespace {

constexpr const char* kSizeKey = "Size";
constexpr std::array<const char*, 6> kResultKeys = {"CRLF",      "NoCRLF",    "NoCRLF_NoBLANK",
                                                    "LineCount", "PageCount", "ModCount"};

bool WriteSize(const TextCounter& counter, const platform::FoundEntry& entry) {
  return counter.profile().WriteInt(status::kSection, kSizeKey,
                                    static_cast<std::int64_t>(entry.size)) != 0;
}

// Adds one source line to the sums. A line feed, when the line has one, is
// a character of CRLF but not of the two sums without line ends.
void AddSourceLine(TextCounter& counter, const LineWrapper& wrapper, std::string_view line,
                   MeasureSums& sums) {
  const LineCounts line_counts = CountCharactersAndBlanks(line);
  const std::int64_t count = line_counts.characters;
  const std::int64_t blanks = line_counts.blanks;
  const std::int64_t line_end = std::memchr(line.data(), '\n', line.size()) != nullptr ? 1 : 0;
  sums.crlf += count;
  sums.no_crlf += count - line_end;
  sums.no_crlf_no_blank += count - blanks - line_end;
  counter.log().LogCharacterCount(count);
  sums.line_count += wrapper.CountDisplayLines(line);
}

// A debug log opened on the measured file or the status file would empty
// it: the text being counted, or the host's settings and results.
bool LogWouldOverwrite(TextCounter& counter, const char* measured) {
  const char* log_path = counter.log().path();
  return log_path[0] != '\0' &&
         (platform::IsSameFile(log_path, measured) || platform::IsSameFile(log_path, counter.profile().path()));
}

bool WriteResults(const TextCounter& counter, const MeasureSums& sums) {
  const Paging paging = ComputePaging(sums.line_count, counter.page_length());
  const std::array<std::int64_t, kResultKeys.size()> values = {
      sums.crlf,       sums.no_crlf,       sums.no_crlf_no_blank,
      sums.line_count, paging.page_count, paging.mod_count};
  return counter.profile().WriteInts(status::kSection, kResultKeys, values) != 0;
}

}  // namespace

Paging ComputePaging(std::int64_t line_count, std::uint32_t page_length) {
  if (page_length == 0) return {};
  const auto lines = static_cast<std::uint64_t>(line_count);
  const std::uint64_t remainder = lines % page_length;
  return {static_cast<std::int64_t>(lines / page_length + (remainder != 0 ? 1 : 0)),
          static_cast<std::int64_t>(remainder)};
}

std::uint32_t CountBlanks(std::string_view line) { return CountCharactersAndBlanks(line).blanks; }

int MeasureTarget(TextCounter& counter, const char* target) {
  if (!counter.profile().IsValid()) return 0;
  platform::PathBuffer& measured = counter.measured_path();
  if (measured[0] == '\0' && !platform::CopyPath(target, measured)) return 0;

  const auto entry = platform::FindFirst(measured);
  if (!entry) return 0;
  if (!WriteSize(counter, *entry)) return 0;
  if (entry->is_directory) return 1;
  // A file that vanished between the two searches was not measured: that is
  // a failure, not an empty text.
  return MeasureFile(counter, measured) == 1 ? 1 : 0;
}

int MeasureFile(TextCounter& counter, const char* path) {
  if (!counter.profile().IsValid()) return 0;
  const auto entry = platform::FindFirst(path);
  if (!entry) return -1;
  if (!WriteSize(counter, *entry)) return 0;

  SourceLineReader reader(counter.char_set());
  if (!reader.Open(path)) return 0;
  if (LogWouldOverwrite(counter, path)) counter.log().SetPath("");
  counter.log().LogTargetFile(path);

  const LineWrapper wrapper(counter.line_break_settings());
  MeasureSums sums;
  char line[kReadBufferLimit];
  std::size_t length = 0;
  while (reader.ReadSourceLine(line, length) != 0) {
    AddSourceLine(counter, wrapper, std::string_view(line, length), sums);
  }
  // A read error is not the end of the file: counting what was read as if it
  // were the whole text would report wrong numbers as a success.
  if (reader.ReadFailed()) return 0;
  return WriteResults(counter, sums) ? 1 : 0;
}

}  // namespace velto::measure
