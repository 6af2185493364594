// Guessing the encoding of a file from its first bytes, for --encoding auto.
// This is the tool's convenience only: what each CharSet means to the
// library does not change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "velto/measure.hpp"

namespace velto::tool {

// How much of a file the guess looks at.
inline constexpr std::size_t kDetectionPrefixBytes = 64 * 1024;

enum class ByteOrderMark { kNone, kUtf8, kUtf16LittleEndian, kUtf16BigEndian };

struct DetectedEncoding {
  CharSet char_set = CharSet::kShiftJis;
  ByteOrderMark mark = ByteOrderMark::kNone;
};

// The CharSet for text that begins with prefix: a byte-order mark decides
// first, then ISO-2022-JP escapes, then valid UTF-8 with at least one
// multibyte character; otherwise Shift-JIS or EUC-JP by which reads the
// bytes with fewer errors and more kana. Pure ASCII gives Shift-JIS.
DetectedEncoding DetectEncoding(std::string_view prefix);

}  // namespace velto::tool
