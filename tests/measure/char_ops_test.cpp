// The plain character operations that the references of the tests are
// written in.
#include "support/char_ops.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace velto::testing {
namespace {

// ---------------------------------------------------------------------------
// Straightforward readings to compare the operations with: split a string
// into its characters by index, once, and answer every question from that.

bool Lead(char byte) { return IsLeadByte(static_cast<unsigned char>(byte)); }

// The characters of a NUL-terminated string, as byte strings.
std::vector<std::string> SplitChars(const char* s) {
  std::vector<std::string> chars;
  std::size_t i = 0;
  while (s[i] != '\0') {
    if (Lead(s[i])) {
      if (s[i + 1] == '\0') break;  // a lone lead byte is no character
      chars.emplace_back(s + i, 2);
      i += 2;
    } else {
      chars.emplace_back(s + i, 1);
      i += 1;
    }
  }
  return chars;
}

// The offsets at which characters begin, the lone lead byte included.
std::vector<std::size_t> Boundaries(const std::string& s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size(); i += (Lead(s[i]) && i + 1 < s.size()) ? 2u : 1u) {
    starts.push_back(i);
  }
  return starts;
}

std::string RandomBytes(std::mt19937& random, std::size_t max_length) {
  // Bytes 1..255, weighted toward lead bytes and the look-alike trail bytes
  // so that long runs of lead bytes and trails like '@' '\' '~' are common.
  static constexpr unsigned char kTricky[] = {0x81, 0x82, 0x88, 0x9f, 0xe0, 0xfc, 0x40,
                                              0x5c, 0x7e, 0x80, 0xa0, 0xdf, 0xfd, 0x41};
  const std::size_t length = std::uniform_int_distribution<std::size_t>(0, max_length)(random);
  std::string s;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned value = random() % 2 == 0 ? kTricky[random() % sizeof kTricky]
                                             : 1 + static_cast<unsigned>(random() % 255);
    s.push_back(static_cast<char>(value));
  }
  return s;
}

// ---------------------------------------------------------------------------

TEST(LeadByteTest, ExactlyTheCodePage932LeadBytes) {
  struct Case {
    unsigned byte;
    bool lead;
  };
  const Case cases[] = {{0x00, false}, {0x40, false}, {0x7f, false}, {0x80, false},
                        {0x81, true},  {0x9f, true},  {0xa0, false}, {0xa1, false},
                        {0xdf, false}, {0xe0, true},  {0xfc, true},  {0xfd, false},
                        {0xff, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(c.byte)), c.lead) << std::hex << c.byte;
  }
  int leads = 0;
  for (unsigned byte = 0; byte < 256; ++byte) leads += IsLeadByte(static_cast<unsigned char>(byte));
  EXPECT_EQ(leads, 31 + 29);
}

struct LengthCase {
  const char* name;
  const char* text;
  std::uint32_t chars;
  std::uint32_t bytes;
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.name; }

class CountAndLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(CountAndLengthTest, CountsCharactersAndBytes) {
  EXPECT_EQ(CountChars(GetParam().text), GetParam().chars);
  EXPECT_EQ(ByteLength(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CountAndLengthTest,
    ::testing::Values(
        LengthCase{"Empty", "", 0, 0},                                  //
        LengthCase{"Ascii", "abc", 3, 3},                               //
        LengthCase{"IdeographicSpace", "\x81\x40", 1, 2},               // 　
        LengthCase{"KanjiThenAtSign", "\x88\x81\x40", 2, 3},            // 亜 @
        LengthCase{"TrailIsBackslash", "\x95\x5c", 1, 2},               // 表
        LengthCase{"TrailIsTilde", "\x81\x7e", 1, 2},                   // ×
        LengthCase{"TrailIsLeadByte", "\x88\x88\x88\x88", 2, 4},        // two kanji
        LengthCase{"LoneLeadAtEnd", "ab\x82", 2, 3},                    //
        LengthCase{"OnlyLoneLead", "\x82", 0, 1},                       //
        LengthCase{"HalfWidthKatakana", "\xb1\xb2\xdf", 3, 3},          // ｱｲﾟ
        LengthCase{"Kana", "\x82\xa0\x82\xa2", 2, 4},                   // あい
        LengthCase{"SingleBytesAroundLeads", "\x80\xa0\xfd\xff", 4, 4}  //
        ),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(CountCharsTest, AgreesWithSplittingOnRandomBytes) {
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    const std::string s = RandomBytes(random, 64);
    EXPECT_EQ(CountChars(s.c_str()), SplitChars(s.c_str()).size()) << i;
    EXPECT_EQ(ByteLength(s.c_str()), s.size()) << i;
  }
}

// ---------------------------------------------------------------------------

struct CopyCase {
  const char* name;
  const char* source;
  std::uint32_t n;
  std::string written;  // the bytes the copy must write, NUL padding included
};

void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }

class CopyCharsTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyCharsTest, WritesExactlyTheseBytes) {
  const CopyCase& c = GetParam();
  char destination[16];
  std::memset(destination, 'X', sizeof destination);
  EXPECT_EQ(CopyChars(destination, c.source, c.n), destination);
  EXPECT_EQ(std::string(destination, c.written.size()), c.written);
  // Nothing beyond: the bytes after the copy keep what they held.
  for (std::size_t i = c.written.size(); i < sizeof destination; ++i) {
    EXPECT_EQ(destination[i], 'X') << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CopyCharsTest,
    ::testing::Values(
        CopyCase{"ZeroWritesNothing", "abc", 0, ""},
        CopyCase{"OneSingleByteNoNul", "abc", 1, "a"},
        CopyCase{"OneTwoByteNoNul", "\x82\xa0\x82\xa2", 1, "\x82\xa0"},  // あ of あい
        CopyCase{"TrailLooksLikeBackslash", "\x95\x5c" "a", 1, "\x95\x5c"},  // 表
        CopyCase{"ExactlyAllNoNul", "ab", 2, "ab"},
        CopyCase{"ShortSourcePadsWithNul", "ab", 4, std::string("ab\0\0", 4)},
        CopyCase{"LoneLeadBecomesNul", "ab\x82", 3, std::string("ab\0", 3)},
        CopyCase{"LoneLeadAndPadding", "ab\x82", 5, std::string("ab\0\0\0", 5)},
        CopyCase{"OnlyLoneLead", "\x82", 1, std::string("\0", 1)},
        CopyCase{"EmptySource", "", 2, std::string("\0\0", 2)},
        CopyCase{"MixedWidths", "a\x88\x88" "b", 2, "a\x88\x88"}),  // a 芋 (trail is a lead byte)
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(CopyCharsTest, AgreesWithSplittingOnRandomBytes) {
  std::mt19937 random(11);
  for (int i = 0; i < 2000; ++i) {
    const std::string s = RandomBytes(random, 24);
    const auto n = static_cast<std::uint32_t>(random() % 30);
    const std::vector<std::string> chars = SplitChars(s.c_str());
    std::string expected;
    for (std::size_t k = 0; k < n && k < chars.size(); ++k) expected += chars[k];
    if (chars.size() < n) expected.append(n - chars.size(), '\0');

    std::vector<char> destination(2 * 30 + 8, 'X');
    CopyChars(destination.data(), s.c_str(), n);
    EXPECT_EQ(std::string(destination.data(), expected.size()), expected) << i;
    EXPECT_EQ(destination[expected.size()], 'X') << i;
  }
}

// ---------------------------------------------------------------------------

TEST(NextCharTest, StepsOverOneCharacter) {
  struct Case {
    const char* text;
    std::ptrdiff_t step;
  };
  const Case cases[] = {
      {"ab", 1},          // single byte
      {"\x82\xa0" "b", 2},  // あ
      {"\x88\x88\x88", 2},  // trail byte that is itself a lead byte
      {"\x95\x5c", 2},      // 表: trail byte 0x5C
      {"\x82", 1},          // lone lead byte: onto the NUL, not past it
      {"\xb1\xb2", 1},      // half-width katakana
  };
  for (const Case& c : cases) EXPECT_EQ(NextChar(c.text) - c.text, c.step) << c.text;
  char mutable_text[] = "\x82\xa0";
  EXPECT_EQ(NextChar(mutable_text), mutable_text + 2);
}

TEST(PrevCharTest, NoneAtOrBeforeStart) {
  const char* s = "abc";
  EXPECT_EQ(PrevChar(s, s), nullptr);
  EXPECT_EQ(PrevChar(s + 2, s + 1), nullptr);
}

TEST(PrevCharTest, WalksBackOverMixedWidths) {
  const char* s = "a\x82\xa0" "b";  // a あ b
  EXPECT_EQ(PrevChar(s, s + 4), s + 3);
  EXPECT_EQ(PrevChar(s, s + 3), s + 1);
  EXPECT_EQ(PrevChar(s, s + 1), s);
  char mutable_text[] = "a\x82\xa0";
  EXPECT_EQ(PrevChar(mutable_text, mutable_text + 3), mutable_text + 1);
}

TEST(PrevCharTest, RunsOfLeadBytes) {
  struct Case {
    const char* text;
    std::ptrdiff_t from;
    std::ptrdiff_t expected;
  };
  const Case cases[] = {
      {"\x81\x81\x81\x41", 4, 2},          // [81 81][81 41]
      {"\x81\x81\x81\x81\x41", 5, 4},      // [81 81][81 81][41]
      {"\x81\x81\x81\x81\x41", 4, 2},      //
      {"\x88\x88\x88\x88", 4, 2},          // [88 88][88 88]
      {"\x41\x88\x88\x88\x40", 5, 3},      // A [88 88][88 40]
      {"\x88\x81\x40", 3, 2},              // 亜 @: the @ is a character of its own
      {"\x95\x5c\x95\x5c", 4, 2},          // 表表
      {"ab\x82", 3, 2},                    // from the NUL after a lone lead byte
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrevChar(c.text, c.text + c.from) - c.text, c.expected)
        << "from " << c.from << " in " << c.text;
  }
}

TEST(PrevCharTest, NeverLooksBeforeStart) {
  // Start in the middle of what would be a run of lead bytes: start is a
  // character boundary by contract, so the bytes before it do not count.
  const char* s = "\x81\x81\x81\x41";
  EXPECT_EQ(PrevChar(s, s + 4), s + 2);      // [81 81][81 41]
  EXPECT_EQ(PrevChar(s + 1, s + 4), s + 3);  // [81 81][41] seen from s + 1
  EXPECT_EQ(PrevChar(s + 2, s + 4), s + 2);  // [81 41] seen from s + 2
}

TEST(PrevCharTest, AgreesWithForwardReadingOnRandomBytes) {
  std::mt19937 random(3);
  for (int i = 0; i < 3000; ++i) {
    const std::string s = RandomBytes(random, 40);
    const std::vector<std::size_t> starts = Boundaries(s);
    if (starts.empty()) continue;
    // Any boundary may serve as start; every later boundary and the end must
    // step back onto the boundary before it.
    const std::size_t first = random() % starts.size();
    const char* start = s.c_str() + starts[first];
    for (std::size_t k = first + 1; k <= starts.size(); ++k) {
      const std::size_t position = k < starts.size() ? starts[k] : s.size();
      EXPECT_EQ(PrevChar(start, s.c_str() + position), s.c_str() + starts[k - 1])
          << "case " << i << " position " << position;
    }
  }
}

// ---------------------------------------------------------------------------

struct FindCase {
  const char* name;
  const char* text;
  const char* set;
  std::ptrdiff_t found;  // -1: none
};

void PrintTo(const FindCase& c, std::ostream* out) { *out << c.name; }

class FindFirstOfTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindFirstOfTest, FindsWholeCharactersOnly) {
  const FindCase& c = GetParam();
  const char* found = FindFirstOf(c.text, c.set);
  if (c.found < 0) {
    EXPECT_EQ(found, nullptr);
  } else {
    EXPECT_EQ(found, c.text + c.found);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FindFirstOfTest,
    ::testing::Values(
        FindCase{"EmptyString", "", "a", -1},  //
        FindCase{"EmptySet", "abc", "", -1},   //
        FindCase{"SingleByte", "abc", "c", 2},
        FindCase{"FirstOfSeveral", "abc", "cb", 1},
        FindCase{"IdeographicSpaceNotInKanjiAndAt", "\x88\x81\x40", "\x81\x40", -1},  // 亜@ / 　
        FindCase{"AtSignAfterKanji", "\x88\x81\x40", "@", 2},                       // 亜@
        FindCase{"BackslashTrailIsNoBackslash", "\x95\x5c", "\\", -1},              // 表
        FindCase{"TildeTrailIsNoTilde", "\x81\x7e", "~", -1},                       // ×
        FindCase{"TwoByteMember", "a\x82\xa0\x82\xa2", "\x82\xa2", 3},              // aあい / い
        FindCase{"LeadAloneDoesNotMatch", "\x82\xa0", "\x82", -1},  // あ / lone lead
        FindCase{"LoneLeadsNeverMatch", "ab\x82", "\x82", -1},
        FindCase{"SecondCharacterOfLeadRun", "\x88\x88\x88\x40", "\x88\x40", 2},  // [88 88][88 40]
        FindCase{"PairAcrossCharactersIsNoMember", "\x88\x41\x88\x88", "\x41\x88", -1},
        FindCase{"MemberBeforeLoneLead", "\x41\x88\x88\x88", "\x88\x88", 1}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(FindFirstOfTest, MutableStringGivesMutablePosition) {
  char text[] = "xy\x81\x40";  // x y 　
  char* found = FindFirstOf(text, "\x81\x40");
  EXPECT_EQ(found, text + 2);
}

TEST(FindFirstOfTest, AgreesWithSplittingOnRandomBytes) {
  std::mt19937 random(5);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = RandomBytes(random, 16);
    const std::string set = RandomBytes(random, 6);
    const std::vector<std::string> text_chars = SplitChars(text.c_str());
    const std::vector<std::string> set_chars = SplitChars(set.c_str());
    std::ptrdiff_t expected = -1;
    std::size_t offset = 0;
    for (const std::string& c : text_chars) {
      bool member = false;
      for (const std::string& m : set_chars) member = member || m == c;
      if (member) {
        expected = static_cast<std::ptrdiff_t>(offset);
        break;
      }
      offset += c.size();
    }
    const char* found = FindFirstOf(text.c_str(), set.c_str());
    EXPECT_EQ(found == nullptr ? -1 : found - text.c_str(), expected) << i;
  }
}

}  // namespace
}  // namespace velto::testing
