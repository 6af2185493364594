#include "platform/win32/windows_api.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/ascii_run.h"
#include "platform/codepage.h"

namespace velto::platform {
namespace {

constexpr UINT kTargetCodePage = kCodePageShiftJis;

bool IsKnownCodePage(int code_page) {
  switch (code_page) {
    case kCodePageShiftJis:
    case kCodePageEucJp:
    case kCodePageIso2022Jp:
    case kCodePageUtf7:
    case kCodePageUtf8:
      return true;
    default:
      return false;
  }
}

int ClampedCount(std::size_t count) {
  return static_cast<int>(std::min<std::size_t>(count, INT_MAX));
}

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

const wchar_t* AsWide(const char16_t* units) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return reinterpret_cast<const wchar_t*>(units);
}

// One code point (one unit, or a surrogate pair) into code page 932. The
// service refuses look-alike mappings under WC_NO_BEST_FIT_CHARS and writes
// the code page's default character "?" for them. A code point outside the
// basic plane has no code page 932 form at all, and neither has a lone
// surrogate: each is one "?".
std::size_t EncodeOne(std::u16string_view units, char (&out)[8]) {
  if (IsSurrogate(units.front())) {
    out[0] = '?';
    return 1;
  }
  const int written = ::WideCharToMultiByte(kTargetCodePage, WC_NO_BEST_FIT_CHARS,
                                            AsWide(units.data()), 1, out,
                                            static_cast<int>(sizeof out), nullptr, nullptr);
  if (written <= 0) {
    out[0] = '?';
    return 1;
  }
  return static_cast<std::size_t>(written);
}

std::size_t CodePointLength(std::u16string_view units) {
  if (units.size() >= 2 && IsHighSurrogate(units[0]) && IsLowSurrogate(units[1])) return 2;
  return 1;
}

// Code point by code point: used when the text holds surrogates (which the
// service would turn into one "?" per unit) or does not fit the output.
std::size_t EncodeEach(std::u16string_view units, char* out, std::size_t capacity,
                       std::size_t* consumed) {
  std::size_t used = 0;
  std::size_t written = 0;
  while (used < units.size()) {
    const std::u16string_view rest = units.substr(used);
    char piece[8];
    const std::size_t length = EncodeOne(rest, piece);
    if (length > capacity - written) break;
    std::copy_n(piece, length, out + written);
    written += length;
    used += CodePointLength(rest);
  }
  if (consumed != nullptr) *consumed = used;
  return written;
}

}  // namespace

struct Decoder::State {
  UINT code_page;
};

Decoder::Decoder(int code_page) {
  if (IsKnownCodePage(code_page) && ::IsValidCodePage(static_cast<UINT>(code_page)) != 0) {
    state_ = std::make_unique<State>(State{static_cast<UINT>(code_page)});
  }
}

Decoder::~Decoder() = default;

bool Decoder::IsOpen() const { return state_ != nullptr; }

std::size_t Decoder::Decode(std::string_view bytes, char16_t* out, std::size_t capacity) {
  if (!IsOpen() || bytes.empty() || capacity == 0) return 0;
  const int input = ClampedCount(bytes.size());
  auto* wide = reinterpret_cast<wchar_t*>(out);
  const int written = ::MultiByteToWideChar(state_->code_page, 0, bytes.data(), input, wide,
                                            ClampedCount(capacity));
  if (written > 0) return static_cast<std::size_t>(written);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
  // The service writes nothing when the whole result does not fit; convert
  // into a buffer of the full size and keep the first units. No encoding we
  // read gives more units than bytes, so this is never taken for a line
  // that fits the line reader's buffers.
  const int needed = ::MultiByteToWideChar(state_->code_page, 0, bytes.data(), input, nullptr, 0);
  if (needed <= 0) return 0;
  std::vector<wchar_t> whole(static_cast<std::size_t>(needed));
  ::MultiByteToWideChar(state_->code_page, 0, bytes.data(), input, whole.data(), needed);
  const std::size_t kept = std::min(capacity, whole.size());
  std::copy_n(whole.data(), kept, wide);
  return kept;
}

std::size_t EncodeCp932(std::u16string_view units, char* out, std::size_t capacity,
                        std::size_t* consumed) {
  if (units.empty() || capacity == 0) {
    if (consumed != nullptr) *consumed = 0;
    return 0;
  }
  // One call for the whole text when it holds no surrogate and fits.
  if (std::none_of(units.begin(), units.end(), IsSurrogate)) {
    const int written = ::WideCharToMultiByte(kTargetCodePage, WC_NO_BEST_FIT_CHARS,
                                              AsWide(units.data()), ClampedCount(units.size()),
                                              out, ClampedCount(capacity), nullptr, nullptr);
    if (written > 0 && units.size() <= INT_MAX) {
      if (consumed != nullptr) *consumed = units.size();
      return static_cast<std::size_t>(written);
    }
  }
  return EncodeEach(units, out, capacity, consumed);
}

// Only ASCII here: every other character's code page 932 form is the
// service's to give, and asking it character by character would cost more
// than the conversion of the whole rest does.
std::size_t ConvertPlainUtf8(std::string_view text, char* out, std::size_t* consumed, Utf8Variant /*variant*/) {
  const std::size_t ascii = CopyAsciiRun(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
  *consumed = ascii;
  return ascii;
}

bool CanRun(Utf8Variant variant) { return variant == Utf8Variant::kPortable; }

Utf8Variant BestUtf8Variant() { return Utf8Variant::kPortable; }

}  // namespace velto::platform
