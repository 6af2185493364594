// The time conversions on fuzzed epoch texts, formats, compact date-times
// and time-zone rules.
//
// Input: one selector byte, then NUL-separated fields.
//   selector % 4 == 0: AdjustEpochDateTimeToLocal(field 1, field 2)
//   selector % 4 == 1: AdjustLocalDateTimeToEpoch(field 1)
//   selector % 4 == 2: field 1 as a TZ rule ("SSS[-]h[:m[:s]][DDD]"), then
//                      field 2 and field 3 as epoch and format, field 4 as
//                      a compact date-time, under that zone
//   selector % 4 == 3: field 1 as a POSIX zone rule as zone files end with,
//                      then the same conversions under it
// Bit 2 and bit 3 of the selector pass a null pointer for the first and the
// second argument of the exports.
//
// Checked: every result holds at most 254 bytes and its terminator; a
// format without conversions comes back as itself (cut only at the limit);
// an epoch result is canonical decimal, -1 or more; and in a zone without
// daylight time a local time read back gives the epoch value it came from.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "datetime/conversions.h"
#include "datetime/decimal.h"
#include "datetime/time_format.h"
#include "datetime/time_zone_settings.h"
#include "platform/posix/zone_file.h"
#include "velto.h"

namespace {

namespace dt = velto::datetime;

constexpr std::size_t kResultBytes = dt::kMaxFormattedBytes + 1;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "time conversion check failed: %s\n", what);
  std::abort();
}

std::string TakeField(std::string_view& rest) {
  const std::size_t end = rest.find('\0');
  std::string field(rest.substr(0, end));
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return field;
}

// A result of the exports: terminated within its 255-byte buffer.
std::string_view ExportResult(const char* result) {
  if (result == nullptr) Fail("a null result");
  const void* terminator = std::memchr(result, '\0', kResultBytes);
  if (terminator == nullptr) Fail("a result without its terminator in 255 bytes");
  return {result, static_cast<std::size_t>(static_cast<const char*>(terminator) - result)};
}

// A format without "%" is copied; only the limit may cut it, and then at
// most one byte early (never after half a two-byte character).
void CheckPlainFormat(std::string_view epoch, std::string_view format, std::string_view result) {
  if (format.find('%') != std::string_view::npos || dt::ReadDecimal(epoch) < 0) return;
  if (format.find('\0') != std::string_view::npos) return;
  const std::size_t least = std::min(format.size(), dt::kMaxFormattedBytes - 1);
  if (!format.starts_with(result) || result.size() < least) Fail("a plain format did not come back");
}

void CheckEpochText(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < -1 ||
      std::to_string(value) != text) {
    Fail("an epoch result that is not canonical decimal of -1 or more");
  }
}

void RunUnder(const dt::TimeZoneSettings& zone, const std::string& epoch, const std::string& format,
              const std::string& datetime) {
  const std::string local = dt::EpochTextToLocal(epoch, format, zone);
  if (local.size() > dt::kMaxFormattedBytes) Fail("a formatted time over 254 bytes");
  CheckPlainFormat(epoch, format, local);
  const std::int32_t value = dt::CompactDateTimeToEpoch(datetime.c_str(), zone);
  if (value < -1) Fail("an epoch value below -1");

  // The compact form of a local time reads back as the same instant when
  // there is no daylight time to tell the two directions apart (and the
  // offset is one a clock can have, so nothing wraps).
  const std::int32_t instant = dt::ReadDecimal(epoch);
  const bool plain_zone = !zone.daylight_on && zone.offset_west >= -26 * 3600 &&
                          zone.offset_west <= 26 * 3600;
  if (instant < 0 || !plain_zone) return;
  const std::string compact = dt::EpochTextToLocal(epoch, "%Y%m%d%H%M%S", zone);
  const std::int32_t back = dt::CompactDateTimeToEpoch(compact.c_str(), zone);
  if (back != -1 && back != instant) Fail("a local time does not read back as its instant");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned selector = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string first = TakeField(rest);
  const std::string second = TakeField(rest);
  const std::string third = TakeField(rest);
  const std::string fourth = TakeField(rest);
  const char* first_argument = (selector & 4u) != 0 ? nullptr : first.c_str();
  const char* second_argument = (selector & 8u) != 0 ? nullptr : second.c_str();

  switch (selector % 4) {
    case 0: {
      const std::string_view result =
          ExportResult(AdjustEpochDateTimeToLocal(first_argument, second_argument));
      if (first_argument != nullptr && second_argument != nullptr) {
        CheckPlainFormat(first, second, result);
      } else if (!result.empty()) {
        Fail("a null argument gave a result");
      }
      break;
    }
    case 1:
      CheckEpochText(ExportResult(AdjustLocalDateTimeToEpoch(first_argument)));
      break;
    case 2:
      if (first.size() >= 3) RunUnder(dt::FromTzRule(first), second, third, fourth);
      break;
    default:
      if (const auto zone = velto::platform::ParseZoneRule(first)) {
        RunUnder(dt::FromSystemTimeZone(*zone), second, third, fourth);
      }
      break;
  }
  return 0;
}
