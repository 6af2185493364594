// The decoder against Windows' own reading of EUC-JP and UTF-7, well-formed
// or not. The readings were written once by tests/windows/codepage_dump.c
// under Wine (scripts/dump-codepages.sh) and are kept in tests/platform/data/,
// so this test needs no Wine.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace velto::platform {
namespace {

struct Reading {
  std::string bytes;
  std::u16string units;
};

std::vector<std::string> DataLines(const char* name) {
  std::ifstream file(std::string(VELTO_SOURCE_DIR) + "/tests/platform/data/" + name);
  EXPECT_TRUE(file.is_open()) << name;
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

// Hexadecimal UTF-16 units, separated by spaces or joined by '+'.
std::u16string ParseUnits(const std::string& text) {
  std::u16string units;
  std::istringstream codes(text);
  for (std::string code; codes >> code;) {
    std::istringstream parts(code);
    for (std::string unit; std::getline(parts, unit, '+');) {
      units.push_back(static_cast<char16_t>(std::stoul(unit, nullptr, 16)));
    }
  }
  return units;
}

// "XX: R R ...": first byte XX, then the reading of each second byte A1-FE.
std::vector<Reading> EucJpReadings() {
  std::vector<Reading> readings;
  for (const std::string& line : DataLines("windows-euc-jp.txt")) {
    const auto lead = static_cast<char>(std::stoul(line.substr(0, 2), nullptr, 16));
    std::istringstream codes(line.substr(3));
    unsigned trail = 0xA1;
    for (std::string code; codes >> code; ++trail) {
      readings.push_back({std::string{lead, static_cast<char>(trail)}, ParseUnits(code)});
    }
  }
  return readings;
}

// A quoted input with C escapes (\n \r \\ \" \xHH), then its units.
std::vector<Reading> Utf7Readings() {
  std::vector<Reading> readings;
  for (const std::string& line : DataLines("windows-utf-7.txt")) {
    Reading reading;
    std::size_t i = 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] != '\\') {
        reading.bytes += line[i];
        continue;
      }
      const char escape = line[++i];
      if (escape == 'x') {
        reading.bytes += static_cast<char>(std::stoul(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        reading.bytes += escape == 'n' ? '\n' : escape == 'r' ? '\r' : escape;
      }
    }
    reading.units = ParseUnits(line.substr(i + 1));
    readings.push_back(std::move(reading));
  }
  return readings;
}

std::string Hex(std::string_view bytes) {
  std::string out;
  for (const char byte : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(byte));
    out += digits;
  }
  return out;
}

std::string Hex(std::u16string_view units) {
  std::string out;
  for (const char16_t unit : units) {
    char digits[6];
    std::snprintf(digits, sizeof digits, "%04X ", static_cast<unsigned>(unit));
    out += digits;
  }
  return out;
}

// Decodes every input, and reports each one read otherwise than Windows
// does; returns how many were.
std::size_t CountDifferences(int code_page, const std::vector<Reading>& readings) {
  Decoder decoder(code_page);
  EXPECT_TRUE(decoder.IsOpen());
  std::size_t differences = 0;
  for (const Reading& reading : readings) {
    std::u16string units(reading.bytes.size(), u'\0');
    units.resize(decoder.Decode(reading.bytes, units.data(), units.size()));
    if (units == reading.units) continue;
    // The first few are enough to see what is wrong.
    if (++differences <= 20) {
      ADD_FAILURE() << "bytes " << Hex(reading.bytes) << "read as " << Hex(units) << "; Windows reads "
                    << Hex(reading.units);
    }
  }
  return differences;
}

// Every well-formed two-byte code, 8E or A1-FE followed by A1-FE. The codes
// without a character read as the default character U+30FB, as in Windows.
TEST(WindowsReading, EveryTwoByteEucJpCode) {
  const std::vector<Reading> readings = EucJpReadings();
  ASSERT_EQ(readings.size(), 95u * 94u);
  EXPECT_EQ(CountDifferences(kCodePageEucJp, readings), 0u);
}

// UTF-7 pieces, well-formed and not: stray "+", left-over bits, the ends of
// base64 runs, and every byte outside base64, after "+" and inside a run.
TEST(WindowsReading, Utf7Pieces) {
  const std::vector<Reading> readings = Utf7Readings();
  ASSERT_GT(readings.size(), 1000u);
  EXPECT_EQ(CountDifferences(kCodePageUtf7, readings), 0u);
}

}  // namespace
}  // namespace velto::platform
