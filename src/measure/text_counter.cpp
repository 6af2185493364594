#include "measure/text_counter.h"

#include <cstring>

#include "measure/char_ops.h"

namespace velto::measure {
namespace {

constexpr const char* kDefaultTemporaryName = "velto.tmp";

// The seven results, zeroed at set-up in this order, so a status file never
// shows the results of an earlier measurement once a new one has started.
constexpr std::array<const char*, 7> kResultKeys = {
    "Size", "CRLF", "NoCRLF", "NoCRLF_NoBLANK", "LineCount", "PageCount", "ModCount"};

// Short lines still get a usable wrap width.
constexpr std::uint32_t kMinimumLineLength = 10;
// A back-off may move a break point by 15% of the line, but always by at
// least a few characters.
constexpr double kBackoffShare = 0.15;
constexpr std::uint32_t kMinimumBackoffLimit = 5;

// Appends whole characters of tail to set while they fit, so a set never
// ends in half a character. A lead byte without its trail byte (a value cut
// short) is carried over as the one byte it is.
void AppendWholeCharacters(CharacterSet& set, const char* tail) {
  std::size_t length = std::strlen(set);
  while (*tail != '\0') {
    const auto width = static_cast<std::size_t>(NextChar(tail) - tail);
    if (length + width >= kCharacterSetSize) break;
    std::memcpy(set + length, tail, width);
    length += width;
    tail += width;
  }
  set[length] = '\0';
}

// A name without a separator lives in the settings directory, when there is
// one. False (and path cleared) when the joined path does not fit.
bool PlaceInSettingsDirectory(platform::PathBuffer& path, const char* settings_directory) {
  if (platform::ContainsSeparator(path) || settings_directory[0] == '\0') return true;
  platform::PathBuffer joined{};
  const bool fits = platform::JoinPath(settings_directory, path, joined);
  std::memcpy(path, joined, sizeof path);
  return fits;
}

}  // namespace

TextCounter::TextCounter(const char* status_path) { LoadSettings(status_path); }

int TextCounter::LoadSettings(const char* status_path) {
  zeros_written_ = false;
  // An over-long path is refused here as well: it cannot be resolved.
  if (status_path == nullptr || !profile_.Open(status_path)) return 0;

  // The directory of the status path as the caller gave it, not the
  // resolved one: a bare file name has no settings directory. Open accepted
  // the path, so it fits.
  platform::PathBuffer settings_directory{};
  platform::CopyPath(status_path, settings_directory);
  platform::RemoveFileSpec(settings_directory);

  LoadCharacterSets();
  LoadLengths();
  ResolveTemporaryFile(settings_directory);
  char_set_ = 0;
  profile_.ReadInt(status::kSection, "CharSet", char_set_);
  ResolveDebugLog(settings_directory);
  WriteZeroResults();
  return 1;
}

std::int32_t TextCounter::code_page() const {
  if (char_set_ < 0 || static_cast<std::size_t>(char_set_) >= kCodePageTable.size()) {
    return kUnknownCodePage;
  }
  return kCodePageTable[static_cast<std::size_t>(char_set_)];
}

LineBreakSettings TextCounter::line_break_settings() const {
  LineBreakSettings settings;
  settings.line_length = line_length_;
  settings.backoff_limit = backoff_limit_;
  settings.no_top = no_top_set_;
  settings.hang = hang_set_;
  settings.no_end = no_end_set_;
  return settings;
}

void TextCounter::LoadCharacterSets() {
  std::memset(no_top_set_, 0, sizeof no_top_set_);
  profile_.ReadString(status::kSection, "NoTop_NoHang", no_top_set_);
  std::memset(hang_set_, 0, sizeof hang_set_);
  profile_.ReadString(status::kSection, "NoTop_Hang", hang_set_);
  // Hanging characters may not begin a line either. Two full values do not
  // fit one set: NoTop_NoHang is kept whole and the hanging ones are added
  // as far as they fit.
  AppendWholeCharacters(no_top_set_, hang_set_);
  std::memset(no_end_set_, 0, sizeof no_end_set_);
  profile_.ReadString(status::kSection, "NoEnd", no_end_set_);
}

void TextCounter::LoadLengths() {
  std::int32_t value = 0;
  profile_.ReadInt(status::kSection, "PageLength", value);
  page_length_ = static_cast<std::uint32_t>(value);

  value = 0;
  profile_.ReadInt(status::kSection, "LineLength", value);
  // Compared unsigned: a negative value is a huge length, not a short one.
  line_length_ = static_cast<std::uint32_t>(value);
  if (line_length_ != 0 && line_length_ < kMinimumLineLength) line_length_ = kMinimumLineLength;

  backoff_limit_ = 0;
  if (line_length_ != 0) {
    backoff_limit_ = static_cast<std::uint32_t>(static_cast<double>(line_length_) * kBackoffShare);
    if (backoff_limit_ < kMinimumBackoffLimit) backoff_limit_ = kMinimumBackoffLimit;
  }
}

void TextCounter::ResolveTemporaryFile(const char* settings_directory) {
  std::memset(measured_path_, 0, sizeof measured_path_);
  if (!profile_.ReadString(status::kSection, "Temporary", measured_path_)) {
    platform::CopyPath(kDefaultTemporaryName, measured_path_);
  }
  // Present but empty means no temporary file; it must not become the
  // settings directory itself, which exists.
  if (measured_path_[0] == '\0') return;
  if (!PlaceInSettingsDirectory(measured_path_, settings_directory) ||
      !status::FileExists(measured_path_)) {
    std::memset(measured_path_, 0, sizeof measured_path_);
  }
}

void TextCounter::ResolveDebugLog(const char* settings_directory) {
  std::memset(debug_log_path_, 0, sizeof debug_log_path_);
  profile_.ReadString(status::kSection, "DebugLog", debug_log_path_);
  if (debug_log_path_[0] == '\0') return;
  // A log path that does not fit leaves logging off for this measurement.
  if (!PlaceInSettingsDirectory(debug_log_path_, settings_directory)) return;
  // Nothing is opened yet: the file is created on the first logged line.
  log_.SetPathAndMode(debug_log_path_, "w");
}

void TextCounter::WriteZeroResults() {
  // One update of the file for all seven keys.
  constexpr std::array<std::int64_t, kResultKeys.size()> kZeros{};
  zeros_written_ = profile_.WriteInts(status::kSection, kResultKeys, kZeros) == 1;
}

}  // namespace velto::measure
