// The two doors to the measurement agree: a text measured through the C++
// API with a settings value and through GetDataStatus with a status file
// holding the same settings gives the same numbers, in every encoding.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/japanese_text.h"
#include "support/sandbox.h"
#include "support/status_file.h"
#include "velto.h"
#include "velto/measure.hpp"

namespace velto::testing {
namespace {

std::string Convert(const char* to, const char* from, const std::string& text) {
  UErrorCode error = U_ZERO_ERROR;
  std::vector<char> out(text.size() * 4 + 16);
  const int32_t length = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()),
                                      text.data(), static_cast<int32_t>(text.size()), &error);
  EXPECT_TRUE(U_SUCCESS(error)) << to;
  return std::string(out.data(), static_cast<std::size_t>(length));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A text in UTF-8 written in the encoding of a CharSet.
struct Encoding {
  int char_set;
  const char* converter;  // ICU's name of the encoding
  const char* mark;       // bytes put before the text
};

const Encoding kEncodings[] = {
    {0, "windows-31j", ""},          {1, "windows-31j", ""},   {2, "UTF-16LE", "\xff\xfe"},
    {3, "ibm-954_P101-2007", ""},    {4, "ISO-2022-JP", ""},   {5, "UTF-7", ""},
    {6, "UTF-8", "\xef\xbb\xbf"},    {7, "UTF-16BE", "\xfe\xff"}, {42, "windows-31j", ""},
};

// The texts: the bundled sample, generated paragraphs with a line longer
// than one source line, and short lines full of blanks, half-width
// characters, lone CRs, tabs and an emoji.
std::vector<std::string> Texts() {
  std::string generated = Convert("UTF-8", "windows-31j", GenerateJapaneseText(40 << 10, 7));
  std::string long_line;
  while (long_line.size() < 12000) long_line += "長い行の文章、";
  generated += long_line + "\n";
  return {ReadFile(std::string(VELTO_SOURCE_DIR) + "/samples/manuscript.txt"), generated,
          "a b\tc\r\n\u3000全角　空白\rｶﾀｶﾅ\n😀と「括弧」。\n\n"};
}

struct Layout {
  std::uint32_t line_length;
  std::uint32_t page_length;
  bool kinsoku;
};

const Layout kLayouts[] = {{20, 20, true}, {33, 7, false}, {0, 0, true}};

Settings SettingsOf(const Layout& layout, int char_set) {
  Settings settings;
  settings.line_length = layout.line_length;
  settings.page_length = layout.page_length;
  if (layout.kinsoku) {
    settings.no_top_no_hang = kCommonNoTopNoHang;
    settings.no_top_hang = kCommonNoTopHang;
    settings.no_end = kCommonNoEnd;
  }
  settings.char_set = static_cast<CharSet>(char_set);
  return settings;
}

std::string StatusFileOf(const Settings& settings) {
  return StatusText({{"LineLength", std::to_string(settings.line_length)},
                     {"PageLength", std::to_string(settings.page_length)},
                     {"NoTop_NoHang", settings.no_top_no_hang},
                     {"NoTop_Hang", settings.no_top_hang},
                     {"NoEnd", settings.no_end},
                     {"CharSet", std::to_string(static_cast<int>(settings.char_set))},
                     {"Temporary", ""}});
}

std::vector<std::string> Numbers(std::uintmax_t size, const Counts& counts) {
  return {std::to_string(size),          std::to_string(counts.crlf),
          std::to_string(counts.no_crlf), std::to_string(counts.no_crlf_no_blank),
          std::to_string(counts.line_count), std::to_string(counts.page_count),
          std::to_string(counts.mod_count)};
}

std::vector<std::string> StatusNumbers(const std::string& status) {
  const auto section = ReadStatusSection(status);
  std::vector<std::string> numbers;
  for (const char* key : {"Size", "CRLF", "NoCRLF", "NoCRLF_NoBLANK", "LineCount", "PageCount", "ModCount"}) {
    numbers.push_back(section.count(key) != 0 ? section.at(key) : "(absent)");
  }
  return numbers;
}

TEST(TwoDoors, ApiAndStatusFileGiveTheSameSevenNumbers) {
  const std::vector<std::string> texts = Texts();
  for (const Encoding& encoding : kEncodings) {
    for (std::size_t t = 0; t < texts.size(); ++t) {
      for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(::testing::Message() << "CharSet " << encoding.char_set << ", text " << t
                                          << ", line length " << layout.line_length);
        Sandbox box;
        const std::string bytes = encoding.mark + Convert(encoding.converter, "UTF-8", texts[t]);
        const std::string target = box.Write("target.txt", bytes);
        const Settings settings = SettingsOf(layout, encoding.char_set);
        const std::string status = box.Write("status.ini", StatusFileOf(settings));
        ASSERT_EQ(GetDataStatus(target.c_str(), status.c_str()), 0);

        const Result from_file = MeasureFile(target, settings);
        ASSERT_TRUE(from_file.ok());
        EXPECT_EQ(Numbers(bytes.size(), from_file.counts), StatusNumbers(status));
        // From memory, and with the settings the API reads from the status file.
        const Result from_bytes = MeasureBytes(bytes, settings);
        EXPECT_EQ(Numbers(bytes.size(), from_bytes.counts), StatusNumbers(status));
        const std::optional<Settings> read_back = ReadStatusSettings(status);
        ASSERT_TRUE(read_back.has_value());
        EXPECT_EQ(Numbers(bytes.size(), MeasureFile(target, *read_back).counts), StatusNumbers(status));
      }
    }
  }
}

// The display lines a program shows are the lines the count counts.
TEST(TwoDoors, WalkedLinesAreTheCountedLines) {
  const std::vector<std::string> texts = Texts();
  for (const Layout& layout : kLayouts) {
    for (const std::string& text : texts) {
      const Settings settings = SettingsOf(layout, 6);
      LineWalker walker(settings);
      walker.OpenBytes(text);
      DisplayLine line;
      std::int64_t walked = 0;
      std::int64_t last_page = 1;
      while (walker.Next(line)) {
        ++walked;
        EXPECT_GE(line.page, last_page);
        last_page = line.page;
      }
      EXPECT_EQ(walker.failure(), Failure::kNone);
      const Counts counted = MeasureBytes(text, settings).counts;
      EXPECT_EQ(walked, counted.line_count);
      EXPECT_EQ(Numbers(0, walker.counts()), Numbers(0, counted));
      if (layout.page_length != 0) {
        EXPECT_EQ(last_page, counted.page_count);
      }
    }
  }
}

TEST(TwoDoors, FailuresAreTold) {
  Sandbox box;
  EXPECT_EQ(MeasureFile(box.Path("missing.txt"), Settings{}).failure, Failure::kCannotOpen);
  std::filesystem::create_directory(box.Path("folder"));
  EXPECT_EQ(MeasureFile(box.Path("folder"), Settings{}).failure, Failure::kCannotOpen);
  LineWalker walker(Settings{});
  EXPECT_FALSE(walker.OpenFile(box.Path("missing.txt")));
  DisplayLine line;
  EXPECT_FALSE(walker.Next(line));
  EXPECT_EQ(walker.failure(), Failure::kCannotOpen);
}

}  // namespace
}  // namespace velto::testing
