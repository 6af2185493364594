// velto status and velto time: the exports called exactly as a host calls
// them, for trying a status file or a time conversion by hand.
#include <sys/stat.h>

#include <iostream>
#include <string_view>

#include "commands.h"
#include "tool_error.h"
#include "transcode.h"
#include "velto.h"
#include "velto/measure.hpp"

namespace velto::tool {
namespace {

bool IsUtf8(std::string_view text) {
  std::size_t pos = 0;
  char32_t code_point = 0;
  while (pos < text.size()) {
    if (NextUtf8(text, pos, code_point) != Utf8Step::kValid) return false;
  }
  return true;
}

// Values are in the system's 8-bit code page: the name of the target as
// the file system stores it. Text that is not UTF-8 is read as code page
// 932, the code page the library's text is in.
void PrintKeys(const std::vector<std::pair<std::string, std::string>>& keys, std::ostream& out) {
  for (const auto& [key, value] : keys) {
    out << key << '=' << (IsUtf8(value) ? value : Cp932ToUtf8(value)) << '\n';
  }
}

bool IsDecimal(std::string_view text, bool allow_sign) {
  if (allow_sign && text.starts_with('-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

int RunStatus(const StatusOptions& options, std::ostream& out) {
  struct stat info {};
  if (stat(options.status_file.c_str(), &info) != 0) {
    std::cerr << "velto: status file " << options.status_file
              << " does not exist (create it first; an empty file is enough)\n";
  }
  const char* target = options.target.c_str();
  const char* status_path = options.status_file.c_str();
  int result = -1;
  switch (options.call) {
    case StatusCall::kFileAndData:
      result = GetStatus(target, status_path);
      break;
    case StatusCall::kFileOnly:
      result = GetFileStatus(target, status_path);
      break;
    case StatusCall::kDataOnly:
      result = GetDataStatus(target, status_path);
      break;
  }
  const StatusResults results = ReadStatusResults(options.status_file);
  if (options.call != StatusCall::kDataOnly) PrintKeys(results.file, out);
  if (options.call != StatusCall::kFileOnly) PrintKeys(results.data, out);
  return result == 0 ? kExitOk : kExitFailure;
}

int RunTimeToLocal(const std::string& epoch, const std::optional<std::string>& format,
                   std::ostream& out) {
  if (!IsDecimal(epoch, true)) throw UsageError("EPOCH must be decimal seconds: " + epoch);
  std::string format_bytes;
  std::string error;
  const std::string layout = format.value_or("%Y/%m/%d %H:%M:%S");
  if (!Utf8ToCp932(layout, format_bytes, error)) {
    throw UsageError("FORMAT: " + error);
  }
  const char* local = AdjustEpochDateTimeToLocal(epoch.c_str(), format_bytes.c_str());
  const std::string text = local != nullptr ? Cp932ToUtf8(local) : std::string();
  if (text.empty() && !layout.empty()) {
    std::cerr << "velto: " << epoch << " has no local time\n";
    return kExitFailure;
  }
  out << text << '\n';
  return kExitOk;
}

int RunTimeToEpoch(const std::string& datetime, std::ostream& out) {
  if (datetime.size() != 14 || !IsDecimal(datetime, false)) {
    throw UsageError("the date-time must be 14 digits, YYYYMMDDhhmmss: " + datetime);
  }
  const char* epoch = AdjustLocalDateTimeToEpoch(datetime.c_str());
  const std::string text = epoch != nullptr ? epoch : "-1";
  out << text << '\n';
  if (text == "-1") {
    std::cerr << "velto: " << datetime << " has no epoch value\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace velto::tool
