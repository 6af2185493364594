#include "datetime/conversions.h"

#include "datetime/decimal.h"
#include "datetime/local_time.h"
#include "datetime/time_format.h"

namespace velto::datetime {

std::string EpochTextToLocal(std::string_view epoch, std::string_view format,
                             const TimeZoneSettings& zone) {
  const auto local = LocalTimeOf(ReadDecimal(epoch), zone);
  return local ? FormatTime(format, *local, zone) : std::string();
}

std::int32_t CompactDateTimeToEpoch(const char* datetime, const TimeZoneSettings& zone) {
  return EpochOf(ReadCompactDateTime(datetime), zone);
}

}  // namespace velto::datetime
