// The choice of the straight UTF-8 conversion's variant, the same on every
// platform; which variants there are is each platform's own.
#include <atomic>

#include "platform/codepage.h"

namespace velto::platform {
namespace {

std::atomic<Utf8Variant>& Chosen() {
  static std::atomic<Utf8Variant> chosen{BestUtf8Variant()};
  return chosen;
}

}  // namespace

Utf8Variant ChosenUtf8Variant() { return Chosen().load(std::memory_order_relaxed); }

void ChooseUtf8Variant(Utf8Variant variant) {
  if (CanRun(variant)) Chosen().store(variant, std::memory_order_relaxed);
}

std::size_t ConvertPlainUtf8(std::string_view text, char* out, std::size_t* consumed) {
  return ConvertPlainUtf8(text, out, consumed, ChosenUtf8Variant());
}

}  // namespace velto::platform
