// The library's exported C functions. Each is a thin wrapper that turns the
// outcome into 0 or -1 and any exception into -1, so nothing ever unwinds
// into a host.
#include "status/data_status.h"
#include "status/file_status.h"
#include "velto.h"

namespace {

template <typename Call>
int StatusResult(Call call) noexcept {
  try {
    return call() ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

}  // namespace

extern "C" VELTO_API int VELTO_CALL GetFileStatus(const char* target, const char* status) {
  return StatusResult([&] { return velto::status::RecordFileStatus(target, status); });
}

extern "C" VELTO_API int VELTO_CALL GetDataStatus(const char* target, const char* status) {
  return StatusResult([&] { return velto::status::MeasureDataStatus(target, status); });
}

extern "C" VELTO_API int VELTO_CALL GetStatus(const char* target, const char* status) {
  return StatusResult([&] {
    return velto::status::RecordFileStatus(target, status) &&
           velto::status::MeasureDataStatus(target, status);
  });
}
