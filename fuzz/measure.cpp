// A whole measurement from fuzzed files: the input is the status file's text
// and the target's bytes, split at the first "\n--target--\n" (without it,
// the whole input is the target and the status file holds an empty
// [GetStatus] section). Both files live in a private folder; a '/' in the
// status text becomes '_', so Temporary and DebugLog can only name files in
// that folder.
//
// Checked beyond the sanitizers: the exports return 0 or -1, no replacement
// file of a profile update is left behind, and a measurement that reports
// success has written consistent results.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/profile.h"
#include "private_folder.h"
#include "velto.h"

namespace {

constexpr std::string_view kSeparator = "\n--target--\n";
constexpr const char* kSection = "GetStatus";
constexpr int kAbsent = -9999;

const velto::fuzz::PrivateFolder& Folder() {
  static const velto::fuzz::PrivateFolder folder;
  return folder;
}

struct Files {
  std::string status_text;
  std::string_view target;
};

Files Split(std::string_view input) {
  const std::size_t at = input.find(kSeparator);
  if (at == std::string_view::npos) return {"[GetStatus]\n", input};
  std::string status(input.substr(0, at));
  for (char& c : status) {
    if (c == '/') c = '_';
  }
  return {status, input.substr(at + kSeparator.size())};
}

std::int64_t ReadResult(const std::string& status, const char* key) {
  const int value = velto::platform::ReadProfileInt(status.c_str(), kSection, key, kAbsent);
  if (value == kAbsent) velto::fuzz::Fail("a result key is missing after a successful measurement");
  return value;
}

std::string ReadString(const std::string& status, const char* key) {
  char value[260] = {};
  velto::platform::ReadProfileValue(status.c_str(), kSection, key, "", value, sizeof value);
  return value;
}

// The results of a measurement that reported success.
void CheckResults(const std::string& status, std::size_t target_size, bool target_measured,
                  std::uint32_t page_length) {
  const std::int64_t size = ReadResult(status, "Size");
  const std::int64_t crlf = ReadResult(status, "CRLF");
  const std::int64_t no_crlf = ReadResult(status, "NoCRLF");
  const std::int64_t no_blank = ReadResult(status, "NoCRLF_NoBLANK");
  const std::int64_t lines = ReadResult(status, "LineCount");
  const std::int64_t pages = ReadResult(status, "PageCount");
  const std::int64_t mod = ReadResult(status, "ModCount");

  if (!(crlf >= no_crlf && no_crlf >= no_blank && no_blank >= 0)) {
    velto::fuzz::Fail("character counts out of order");
  }
  // Every line feed ends a source line, and every source line is at least
  // one display line.
  if (crlf - no_crlf > lines) velto::fuzz::Fail("more line feeds than display lines");
  if (target_measured) {
    if (size != static_cast<std::int64_t>(target_size)) velto::fuzz::Fail("Size is not the target's size");
    if (lines < 1) velto::fuzz::Fail("a measured file has no display line");
  }
  const auto count = static_cast<std::uint64_t>(lines);
  const std::int64_t want_pages =
      page_length == 0 ? 0 : static_cast<std::int64_t>((count + page_length - 1) / page_length);
  const std::int64_t want_mod = page_length == 0 ? 0 : static_cast<std::int64_t>(count % page_length);
  if (pages != want_pages || mod != want_mod) velto::fuzz::Fail("paging does not match LineCount");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& folder = Folder();
  folder.Empty();
  const Files files = Split(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string status = folder.Path("velto.ini");
  const std::string target = folder.Path("target.txt");
  velto::fuzz::WriteFile(status, files.status_text);
  velto::fuzz::WriteFile(target, files.target);

  // What the settings make of the files, read before the call changes them.
  // With Temporary absent the default velto.tmp is looked for, which the
  // emptied folder does not hold; present but empty means none.
  const bool target_measured = ReadString(status, "Temporary").empty();
  // A debug log named like the status file empties it in the middle of the
  // measurement, and with it the settings and the results written so far.
  const std::string log_name = ReadString(status, "DebugLog");
  const bool log_empties_status = log_name == "velto.ini";
  const int page_setting = velto::platform::ReadProfileInt(status.c_str(), kSection, "PageLength", kAbsent);
  const auto page_length = static_cast<std::uint32_t>(page_setting == kAbsent ? 0 : page_setting);

  const int measured = GetDataStatus(target.c_str(), status.c_str());
  if (measured != 0 && measured != -1) velto::fuzz::Fail("GetDataStatus returned neither 0 nor -1");
  if (folder.HoldsReplacementFile(log_name)) {
    velto::fuzz::Fail("a profile update left its new file behind");
  }
  if (measured == 0 && !log_empties_status) {
    CheckResults(status, files.target.size(), target_measured, page_length);
  }

  const int recorded = GetFileStatus(target.c_str(), status.c_str());
  if (recorded != 0 && recorded != -1) velto::fuzz::Fail("GetFileStatus returned neither 0 nor -1");
  return 0;
}
