// The library's exported C functions. Each is a thin wrapper that turns any
// exception into the failure result, so nothing ever unwinds into a host.
#include "status/data_status.h"
#include "status/file_status.h"
#include "velto.h"

namespace {

template <typename Call>
int StatusResult(Call call) noexcept {
  try {
    return call();
  } catch (...) {
    return -1;
  }
}

}  // namespace

extern "C" VELTO_API int VELTO_CALL GetFileStatus(const char* target, const char* status) {
  return StatusResult([&] { return velto::status::GetFileStatus(target, status); });
}

extern "C" VELTO_API int VELTO_CALL GetDataStatus(const char* target, const char* status) {
  return StatusResult([&] { return velto::status::GetDataStatus(target, status); });
}

extern "C" VELTO_API int VELTO_CALL GetStatus(const char* target, const char* status) {
  return StatusResult([&] {
    if (velto::status::GetFileStatus(target, status) != 0) return -1;
    return velto::status::GetDataStatus(target, status);
  });
}
