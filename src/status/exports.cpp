// The library's exported C functions. Each is a thin wrapper that turns any
// exception into the failure result, so nothing ever unwinds into a host.
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
