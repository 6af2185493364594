// The two exported time conversions. Each owns one result buffer that lives
// as long as the library and holds its last result until its next call.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "datetime/conversions.h"
#include "datetime/time_format.h"
#include "datetime/time_zone_settings.h"
#include "velto.h"

namespace {

constexpr std::size_t kResultBufferBytes = velto::datetime::kMaxFormattedBytes + 1;
using ResultBuffer = char[kResultBufferBytes];

ResultBuffer g_epoch_to_local_result;
ResultBuffer g_local_to_epoch_result;

void Clear(ResultBuffer& buffer) { std::memset(buffer, 0, sizeof buffer); }

// Leaves the terminating zero at the end of the buffer untouched.
void Store(ResultBuffer& buffer, std::string_view text) {
  Clear(buffer);
  std::memcpy(buffer, text.data(), std::min(text.size(), kResultBufferBytes - 1));
}

}  // namespace

extern "C" VELTO_API const char* VELTO_CALL AdjustEpochDateTimeToLocal(const char* epoch,
                                                                      const char* format) {
  namespace dt = velto::datetime;
  Clear(g_epoch_to_local_result);
  if (epoch == nullptr || format == nullptr) return g_epoch_to_local_result;
  try {
    Store(g_epoch_to_local_result,
          dt::EpochTextToLocal(epoch, format, dt::ProcessTimeZoneSettings()));
  } catch (...) {
    // Only running out of memory can land here; no result then.
    Clear(g_epoch_to_local_result);
  }
  return g_epoch_to_local_result;
}

extern "C" VELTO_API const char* VELTO_CALL AdjustLocalDateTimeToEpoch(const char* datetime) {
  namespace dt = velto::datetime;
  std::int32_t epoch = -1;
  try {
    epoch = dt::CompactDateTimeToEpoch(datetime, dt::ProcessTimeZoneSettings());
  } catch (...) {
    epoch = -1;  // the set-up ran out of memory: no epoch value to give
  }
  Clear(g_local_to_epoch_result);
  // Eleven bytes at most ("-2147483648"): always fits.
  std::to_chars(g_local_to_epoch_result, g_local_to_epoch_result + kResultBufferBytes - 1, epoch);
  return g_local_to_epoch_result;
}
