#include "status/data_status.h"

#include <cstring>

#include "measure/measure_run.h"
#include "measure/text_counter.h"
#include "platform/path.h"
#include "status/status_profile.h"

namespace velto::status {
namespace {

bool FitsPathBuffer(const char* path) {
  return std::strlen(path) < platform::kPathBufferSize;
}

}  // namespace

int GetDataStatus(const char* target, const char* status_path) {
  if (target == nullptr || status_path == nullptr || status_path[0] == '\0') return -1;
  if (!FitsPathBuffer(target) || !FitsPathBuffer(status_path)) return -1;
  if (!FileExists(status_path)) return -1;

  measure::TextCounter counter(status_path);
  const int measured = measure::MeasureTarget(counter, target);
  return measured != 0 && counter.zeros_written() ? 0 : -1;
}

}  // namespace velto::status
