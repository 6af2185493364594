// A realistic multi-page manuscript (the bundled sample: dialogue,
// punctuation, blanks, half-width and full-width characters), measured
// through GetDataStatus and checked against a separate, straightforward
// model of the counts: its own line split, character and blank counting,
// and the literal wrapping reference.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/japanese_text.h"
#include "support/sandbox.h"
#include "support/status_file.h"
#include "support/wrap_reference.h"
#include "velto.h"

namespace velto::testing {
namespace {

std::string ShiftJisOf(const std::string& utf8) {
  UErrorCode error = U_ZERO_ERROR;
  std::vector<char> out(utf8.size() * 2 + 16);
  const int32_t length = ucnv_convert("windows-31j", "UTF-8", out.data(), static_cast<int32_t>(out.size()),
                                      utf8.data(), static_cast<int32_t>(utf8.size()), &error);
  EXPECT_TRUE(U_SUCCESS(error));
  return std::string(out.data(), static_cast<std::size_t>(length));
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

struct Model {
  std::int64_t crlf = 0, no_crlf = 0, no_blank = 0, lines = 0;
};

bool IsLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc); }

// Counts a Shift-JIS text with LF line ends (no CR anywhere) as the rules
// say: each line with its line feed; a text ending in a line feed has one
// more, empty line.
Model CountModel(const std::string& text, std::uint32_t line_length) {
  Model model;
  std::size_t start = 0;
  while (true) {
    const std::size_t feed = text.find('\n', start);
    const std::string line = text.substr(start, feed == std::string::npos ? std::string::npos : feed - start + 1);
    std::int64_t characters = 0, blanks = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const auto byte = static_cast<unsigned char>(line[i]);
      ++characters;
      if (byte == ' ') ++blanks;
      if (IsLead(byte)) {
        if (byte == 0x81 && static_cast<unsigned char>(line[i + 1]) == 0x40) ++blanks;
        ++i;
      }
    }
    const std::int64_t feeds = feed == std::string::npos ? 0 : 1;
    model.crlf += characters;
    model.no_crlf += characters - feeds;
    model.no_blank += characters - blanks - feeds;
    model.lines += ReferenceCountDisplayLines(line.c_str(), line_length, 5, kCommonNoTop, kCommonNoTopHang,
                                              kCommonNoEnd);
    if (feed == std::string::npos) break;
    start = feed + 1;
  }
  return model;
}

class Manuscript : public ::testing::TestWithParam<int> {};

TEST_P(Manuscript, CountsAgreeWithTheModel) {
  const int char_set = GetParam();
  const std::string utf8 = Sandbox::Read(std::string(VELTO_SOURCE_DIR) + "/samples/manuscript.txt");
  ASSERT_GT(utf8.size(), 3000u);
  const std::string shift_jis = ShiftJisOf(utf8);
  ASSERT_EQ(shift_jis.find('\r'), std::string::npos);

  Sandbox box;
  const std::string stored = char_set == 6 ? utf8 : WithCrLf(shift_jis);
  const std::string target = box.Write("manuscript.txt", stored);
  const std::string status = box.Write(
      "status.ini", StatusText({{"LineLength", "20"},
                                {"PageLength", "20"},
                                {"NoTop_NoHang", kCommonNoTopNoHang},
                                {"NoTop_Hang", kCommonNoTopHang},
                                {"NoEnd", kCommonNoEnd},
                                {"CharSet", std::to_string(char_set)}}));
  ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0);

  const Model model = CountModel(shift_jis, 20);
  ASSERT_GT(model.lines, 40) << "the sample should fill several pages";
  auto section = ReadStatusSection(status);
  EXPECT_EQ(section["Size"], std::to_string(stored.size()));
  EXPECT_EQ(section["CRLF"], std::to_string(model.crlf));
  EXPECT_EQ(section["NoCRLF"], std::to_string(model.no_crlf));
  EXPECT_EQ(section["NoCRLF_NoBLANK"], std::to_string(model.no_blank));
  EXPECT_EQ(section["LineCount"], std::to_string(model.lines));
  EXPECT_EQ(section["PageCount"], std::to_string((model.lines + 19) / 20));
  EXPECT_EQ(section["ModCount"], std::to_string(model.lines % 20));
}

INSTANTIATE_TEST_SUITE_P(ShiftJisAndUtf8, Manuscript, ::testing::Values(0, 6));

}  // namespace
}  // namespace velto::testing
