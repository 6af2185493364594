// Builds zone files (TZif) for tests: two headers with their data blocks
// and a footer rule, with the counts chosen by the test so that the reader's
// skipping of the data blocks is exercised.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velto::testing {

struct TzifShape {
  char version = '2';  // '\0' for version 1
  std::uint32_t transitions = 0;
  std::uint32_t leap_seconds = 0;
};

inline void AppendBigEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

// One header and its data block; time_bytes is 4 in the first block and 8
// in the second. Every transition time and type index is filled in, so the
// block has exactly the size its counts announce.
inline void AppendTzifBlock(std::string& out, const TzifShape& shape, int time_bytes) {
  const std::uint32_t types = 2;
  const std::string_view abbreviations("LMT\0JST\0", 8);
  const auto chars = static_cast<std::uint32_t>(abbreviations.size());
  out += "TZif";
  out.push_back(shape.version);
  out.append(15, '\0');
  for (const std::uint32_t count :
       {types, types, shape.leap_seconds, shape.transitions, types, chars}) {
    AppendBigEndian(out, count, 4);
  }
  for (std::uint32_t i = 0; i < shape.transitions; ++i) AppendBigEndian(out, 1000u * i, time_bytes);
  for (std::uint32_t i = 0; i < shape.transitions; ++i) out.push_back(static_cast<char>(i % types));
  // Local time types: UT offset, daylight flag, index of the name.
  AppendBigEndian(out, 33539, 4);  // LMT: +09:18:59
  out += std::string_view("\0\0", 2);
  AppendBigEndian(out, 32400, 4);  // JST
  out += std::string_view("\0\4", 2);
  out += abbreviations;
  for (std::uint32_t i = 0; i < shape.leap_seconds; ++i) {
    AppendBigEndian(out, 100u * i, time_bytes);
    AppendBigEndian(out, i + 1, 4);
  }
  out.append(types, '\0');  // standard/wall indicators
  out.append(types, '\0');  // UT/local indicators
}

// A complete zone file whose footer holds rule.
inline std::string MakeTzif(std::string_view rule, const TzifShape& shape = {}) {
  std::string out;
  AppendTzifBlock(out, shape, 4);
  if (shape.version == '\0') return out;  // version 1 ends after its block
  AppendTzifBlock(out, shape, 8);
  out.push_back('\n');
  out += rule;
  out.push_back('\n');
  return out;
}

}  // namespace velto::testing
