// The names of the status file: its one section and every key the library
// reads or writes there.
#pragma once

#include <array>

namespace velto::status {

inline constexpr const char* kSection = "GetStatus";

// Settings, written by the host.
inline constexpr const char* kNoTopNoHangKey = "NoTop_NoHang";
inline constexpr const char* kNoTopHangKey = "NoTop_Hang";
inline constexpr const char* kNoEndKey = "NoEnd";
inline constexpr const char* kPageLengthKey = "PageLength";
inline constexpr const char* kLineLengthKey = "LineLength";
inline constexpr const char* kTemporaryKey = "Temporary";
inline constexpr const char* kCharSetKey = "CharSet";
inline constexpr const char* kDebugLogKey = "DebugLog";

// Results of GetFileStatus.
inline constexpr const char* kNameKey = "Name";
inline constexpr const char* kTimeStampKey = "TimeStamp";
inline constexpr std::array<const char*, 2> kFileResultKeys = {kNameKey, kTimeStampKey};

// Results of GetDataStatus, in the order they are written: Size first, then
// the six counts.
inline constexpr const char* kSizeKey = "Size";
inline constexpr std::array<const char*, 6> kCountKeys = {
    "CRLF", "NoCRLF", "NoCRLF_NoBLANK", "LineCount", "PageCount", "ModCount"};
inline constexpr std::array<const char*, 7> kDataResultKeys = {
    kSizeKey,      kCountKeys[0], kCountKeys[1], kCountKeys[2],
    kCountKeys[3], kCountKeys[4], kCountKeys[5]};

}  // namespace velto::status
