#include "measure/line_wrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/scan_variants.h"
#include "support/wrap_reference.h"

namespace velto::measure {
namespace {

// Code page 932 characters used below.
constexpr const char* kTenKana =
    "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab\x82\xad\x82\xaf\x82\xb1";
// あいうえおかきくけこ
constexpr const char* kOpenBracket = "\x81\x75";   // 「
constexpr const char* kCloseBracket = "\x81\x76";  // 」
constexpr const char* kLongVowel = "\x81\x5b";     // ー
constexpr const char* kComma = "\x81\x41";         // 、
constexpr const char* kPeriod = "\x81\x42";        // 。
constexpr const char* kAngle = "\x81\x71";         // 〈

// The three line-break classes; the literal reference takes one NoTop set,
// NoTop_NoHang followed by NoTop_Hang.
struct Rules {
  std::string no_top_no_hang;
  std::string no_top_hang;
  std::string no_end;

  std::string no_top() const { return no_top_no_hang + no_top_hang; }
};

// Wraps with both the engine and the literal reference and checks that they
// agree on the count, on where every display line begins, and that the
// Walker's ranges tile the line. The variant classifies the line's bytes.
class Wrapping {
 public:
  Wrapping(const Rules& rules, std::uint32_t line_length, std::uint32_t backoff_limit,
           ScanVariant variant = BestScanVariant())
      : rules_(rules), no_top_(rules.no_top()), line_length_(line_length),
        backoff_limit_(backoff_limit), variant_(variant),
        wrapper_(LineBreakRules{line_length, backoff_limit, rules_.no_top_no_hang,
                                rules_.no_top_hang, rules_.no_end}) {}

  // The display lines of line as byte strings, after checking the engine
  // against the reference. line must be shorter than 5120 bytes.
  std::vector<std::string> Lines(const std::string& line) const {
    std::vector<std::size_t> reference_starts;
    const std::int32_t reference = testing::ReferenceCountDisplayLines(
        line.c_str(), line_length_, backoff_limit_, no_top_.c_str(), rules_.no_top_hang.c_str(),
        rules_.no_end.c_str(), &reference_starts);
    const std::int32_t count = wrapper_.CountDisplayLines(line);
    EXPECT_EQ(count, reference);
    LineStarts line_starts;
    line_starts.Scan(line, variant_);
    EXPECT_EQ(wrapper_.CountDisplayLines(line, line_starts), reference) << "from a scan of the whole line";

    std::vector<std::string> lines;
    std::vector<std::size_t> starts;
    LineWrapper::Walker walker(wrapper_, line, variant_);
    DisplayLine display;
    std::size_t expected_begin = 0;
    while (walker.Next(display)) {
      EXPECT_EQ(display.begin, expected_begin);
      EXPECT_LE(display.begin, display.end);
      starts.push_back(display.begin);
      lines.push_back(line.substr(display.begin, display.end - display.begin));
      expected_begin = display.end;
      if (lines.size() > line.size() + 1) break;  // a runaway walker fails, not hangs
    }
    EXPECT_EQ(static_cast<std::int32_t>(lines.size()), count);
    EXPECT_EQ(starts, reference_starts);
    const bool line_feed = !line.empty() && line.back() == '\n';
    EXPECT_EQ(expected_begin, line.size() - (line_feed ? 1 : 0)) << "the ranges cover the line";
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_FALSE(lines[i].empty()) << i;
    return lines;
  }

  std::int32_t Count(const std::string& line) const { return wrapper_.CountDisplayLines(line); }

 private:
  Rules rules_;
  std::string no_top_;
  std::uint32_t line_length_;
  std::uint32_t backoff_limit_;
  ScanVariant variant_;
  LineWrapper wrapper_;
};

std::string Repeat(const std::string& piece, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += piece;
  return s;
}

// ---------------------------------------------------------------------------
// The rules at line length 10 (back-off limit 5), one example per rule.

struct WrapCase {
  const char* name;
  Rules rules;
  std::string line;
  std::vector<std::string> lines;  // the expected display lines
};

void PrintTo(const WrapCase& c, std::ostream* out) { *out << c.name; }

class LineLengthTenTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(LineLengthTenTest, WrapsIntoTheseDisplayLines) {
  const WrapCase& c = GetParam();
  const Wrapping wrapping(c.rules, 10, 5);
  EXPECT_EQ(wrapping.Lines(c.line), c.lines);
}

const std::string kAtoY = "abcdefghijklmnopqrstuvwxy";
const std::string kKana = kTenKana;

INSTANTIATE_TEST_SUITE_P(
    Examples, LineLengthTenTest,
    ::testing::Values(
        WrapCase{"EmptyLine", {}, "", {""}},
        WrapCase{"OnlyLineFeed", {}, "\n", {""}},
        WrapCase{"TwentyFiveLetters", {}, kAtoY + "\n", {"abcdefghij", "klmnopqrst", "uvwxy"}},
        WrapCase{"NineCharacters", {}, "abcdefghi", {"abcdefghi"}},
        WrapCase{"ExactlyTen", {}, "abcdefghij", {"abcdefghij"}},
        WrapCase{"ExactlyTenAndLineFeed", {}, "abcdefghij\n", {"abcdefghij"}},
        WrapCase{"ExactlyTwenty", {}, kAtoY.substr(0, 20), {"abcdefghij", "klmnopqrst"}},
        WrapCase{"TenKana", {}, kKana, {kKana}},
        WrapCase{"TenKanaTenLetters", {}, kKana + "abcdefghij", {kKana, "abcdefghij"}},
        WrapCase{"TenKanaFifteenLetters", {}, kKana + "abcdefghijklmno",
                 {kKana, "abcdefghij", "klmno"}},
        WrapCase{"CarriageReturnIsACharacter", {}, "abcdefghij\r\n", {"abcdefghij", "\r"}},
        WrapCase{"OnlyOneLineFeedRemoved", {}, "abcdefghij\n\n", {"abcdefghij", "\n"}},
        WrapCase{"NoEndMovesToNextLine",
                 {"", "", kOpenBracket},
                 "abcdefghi" + std::string(kOpenBracket) + "jklmnopqrstuvwx",
                 {"abcdefghi", kOpenBracket + std::string("jklmnopqr"), "stuvwx"}},
        WrapCase{"NoEndAtExactlyTen",
                 {"", "", kOpenBracket},
                 "abcdefghi" + std::string(kOpenBracket),
                 {"abcdefghi", kOpenBracket}},
        WrapCase{"NoEndBackoffStopsAtLimit",
                 {"", "", kOpenBracket},
                 "abcd" + Repeat(kOpenBracket, 6) + "efghijkl",
                 {"abcd" + std::string(kOpenBracket),
                  Repeat(kOpenBracket, 5) + "efghi", "jkl"}},
        WrapCase{"HangingPeriod",
                 {"", std::string(kComma) + kPeriod, ""},
                 kKana + kPeriod,
                 {kKana + kPeriod}},
        WrapCase{"NoHangBeforeNoTop",
                 {kCloseBracket, kPeriod, ""},
                 kKana + kPeriod + kCloseBracket,
                 {kKana, std::string(kPeriod) + kCloseBracket}},
        WrapCase{"NoTopBacksOff",
                 {kLongVowel, "", ""},
                 kKana + kLongVowel,
                 {kKana.substr(0, 18), kKana.substr(18) + kLongVowel}},
        WrapCase{"NoTopBackoffStopsAtLimit",
                 {kLongVowel, "", ""},
                 "abc" + Repeat(kLongVowel, 8) + "de",
                 {"abc" + Repeat(kLongVowel, 2), Repeat(kLongVowel, 6) + "de"}},
        // 〈 may neither end nor begin a line: the NoEnd back-off leaves it
        // at the split point, the NoTop back-off then passes it, and the
        // first line ends with 「 all the same.
        WrapCase{"NoEndNotRetestedAfterNoTopBackoff",
                 {kAngle, "", kOpenBracket + std::string(kAngle)},
                 "abcdef" + std::string(kOpenBracket) + "h" + Repeat(kAngle, 2) + "ij",
                 {"abcdef" + std::string(kOpenBracket), "h" + Repeat(kAngle, 2) + "ij"}},
        WrapCase{"LoneLeadByteAfterTen", {}, "abcdefghij\x82", {"abcdefghij", "\x82"}},
        WrapCase{"LoneLeadByteLeftByLineFeed", {}, "abcdefghij\x82\n", {"abcdefghij", "\x82"}},
        WrapCase{"LoneLeadByteIsNoNoTopMember",
                 {kLongVowel, "", ""},
                 "abcdefghij\x81",
                 {"abcdefghij", "\x81"}},
        WrapCase{"TrailByteIsNoSingleByteMember",
                 {"", "", "\\"},
                 "abcdefghi\x95\x5c" "a",  // 表: its trail byte is no backslash
                 {"abcdefghi\x95\x5c", "a"}},
        // A character of both NoTop keys hangs.
        WrapCase{"HangWinsOverNoHang",
                 {kPeriod, kPeriod, ""},
                 kKana + kPeriod + "x",
                 {kKana + kPeriod, "x"}},
        // Characters of both the NoEnd and the NoTop set: both back-offs run
        // out; the line breaks hard after ten characters instead.
        WrapCase{"HardBreakWhenBackoffsLeaveNothing",
                 {kAngle, "", kAngle},
                 Repeat(kAngle, 25),
                 {Repeat(kAngle, 10), Repeat(kAngle, 10), Repeat(kAngle, 5)}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// ---------------------------------------------------------------------------

TEST(LineLengthTest, LargerThanTheLineGivesOne) {
  const std::string line = kAtoY + kKana + "\n";
  for (const std::uint32_t line_length : {36u, 100u, 5000u, 0x7fffffffu, 0xffffffffu}) {
    const Wrapping wrapping({}, line_length, BackoffLimitFor(line_length));
    EXPECT_EQ(wrapping.Lines(line), std::vector<std::string>{kAtoY + kKana}) << line_length;
  }
}

TEST(LineLengthTest, ZeroMeansNoWrapping) {
  const Wrapping wrapping({kLongVowel, kPeriod, kOpenBracket}, 0, 0);
  EXPECT_EQ(wrapping.Lines(""), std::vector<std::string>{""});
  EXPECT_EQ(wrapping.Lines("\n"), std::vector<std::string>{""});
  const std::string long_line = Repeat(kKana, 40) + "\r\n";
  EXPECT_EQ(wrapping.Lines(long_line), std::vector<std::string>{Repeat(kKana, 40) + "\r"});
}

TEST(LineLengthTest, OneCharacterPerLine) {
  const Wrapping wrapping({}, 1, 5);
  EXPECT_EQ(wrapping.Lines("a" + kKana.substr(0, 4) + "\n"),
            (std::vector<std::string>{"a", kKana.substr(0, 2), kKana.substr(2, 2)}));
}

// ---------------------------------------------------------------------------

TEST(SourceLineTest, EndsAtItsFirstNul) {
  const Wrapping wrapping({}, 10, 5);
  const std::string line("abcdefghij\0klmnop", 17);
  EXPECT_EQ(wrapping.Count(line), 1);
  EXPECT_EQ(wrapping.Count(std::string("\0abc", 4)), 1);
}

TEST(SourceLineTest, LongerThanTheReadBufferStillWrapsWhole) {
  // The reader never delivers more than 5119 bytes, but the engine needs no
  // buffer and wraps any length.
  const Wrapping wrapping({}, 10, 5);
  EXPECT_EQ(wrapping.Count(std::string(6000, 'a')), 600);
  EXPECT_EQ(wrapping.Count(Repeat(kKana, 700) + "\n"), 700);
}

TEST(SourceLineTest, RulesMayLackSets) {
  const LineWrapper wrapper(LineBreakRules{10, 5, {}, {}, {}});
  EXPECT_EQ(wrapper.CountDisplayLines(kAtoY), 3);
}

TEST(BackoffLimitTest, FifteenPercentOfTheLineButAtLeastFive) {
  struct Case {
    std::uint32_t line_length, limit;
  } const cases[] = {{0, 0}, {1, 5}, {10, 5}, {33, 5}, {34, 5}, {40, 6}, {100, 15}, {0xffffffffu, 644245094}};
  for (const Case& c : cases) EXPECT_EQ(BackoffLimitFor(c.line_length), c.limit) << c.line_length;
}

TEST(SourceLineTest, LoneLeadByteEndingASetIsNoMember) {
  // 「 plus a cut-off lead byte 0x81 as the NoEnd set: the lead byte is no
  // character, so the line of 0x81 0x81 pairs (each a character) is plain.
  const LineWrapper wrapper(LineBreakRules{10, 5, "", "", "\x81\x75\x81"});
  EXPECT_EQ(wrapper.CountDisplayLines("abcdefghi\x81\x81" "jk"), 2);
  const Wrapping wrapping({"", "", "\x81\x81"}, 10, 5);  // a character 0x81 0x81 is a member
  EXPECT_EQ(wrapping.Lines("abcdefghi\x81\x81" "jk"),
            (std::vector<std::string>{"abcdefghi", "\x81\x81" "jk"}));
}

TEST(SourceLineTest, NoTopSetsAreReadAsOneText) {
  // NoTop_NoHang ends in a lead byte that pairs with the first byte of
  // NoTop_Hang ("あ" 82 A0): the pair 81 82 may not begin a line, and あ,
  // whose first byte went into that pair, may not hang either.
  const Wrapping wrapping({"\x81", "\x82\xa0", ""}, 10, 5);
  EXPECT_EQ(wrapping.Lines("abcdefghij\x82\xa0"),
            (std::vector<std::string>{"abcdefghij", "\x82\xa0"}));
  EXPECT_EQ(wrapping.Lines("abcdefghij\x81\x82"),
            (std::vector<std::string>{"abcdefghi", "j\x81\x82"}));
}

TEST(SourceLineTest, LeadByteRunsAcrossCountingBlocks) {
  // Characters are counted 64 bytes at a time: runs of lead bytes (each pair
  // one character) of every length and offset must straddle those blocks
  // exactly as a character-by-character reading does.
  const Rules rules{kLongVowel, kPeriod, "\x88\x88"};  // the character 0x88 0x88 may not end a line
  for (const std::uint32_t line_length : {1u, 10u, 33u, 40u}) {
    const std::uint32_t limit = BackoffLimitFor(line_length);
    const Wrapping wrapping(rules, line_length, limit);
    for (std::size_t lead = 0; lead < 8; ++lead) {
      for (std::size_t run = 1; run < 200; run += 7) {
        const std::string line = std::string(lead, 'a') + std::string(run, '\x88') + "b\n";
        wrapping.Lines(line);
      }
    }
  }
}

TEST(SourceLineTest, FarBackoffsAcrossCountingBlocks) {
  // With a back-off limit beyond what set-up makes, the back-offs carry
  // split points back over more than one 64-byte counting block.
  const Rules rules{kCloseBracket, kPeriod, "(" + std::string(kOpenBracket)};
  const std::string line = std::string(28, 'a') + Repeat(kOpenBracket, 5) + std::string(9, 'a') +
                           Repeat(kOpenBracket, 19) + std::string(47, 'a') + kPeriod +
                           std::string(23, 'a') + Repeat(kCloseBracket, 34) + std::string(11, 'a');
  for (const std::uint32_t limit : {5u, 22u, 33u}) {
    const Wrapping wrapping(rules, 33, limit);
    wrapping.Lines(line);
  }
}

// ---------------------------------------------------------------------------
// Random lines against the literal reference.

// Characters and byte sequences random lines are made of. The first ones are
// also the pool the random sets are drawn from.
const std::vector<std::string> kMemberPool = {
    kOpenBracket, kCloseBracket, kLongVowel, kComma, kPeriod, kAngle,
    "(", ")", ".", ",", "\xa2",  // ｢ (half-width)
};
const std::vector<std::string> kPlainPieces = {
    "a", "Z", " ", "\r", "\xb1",       // ｱ
    "\x82\xa0", "\x82\xb1",           // あ こ
    "\x88\x9f",                       // 亜 (trail byte is a lead byte)
    "\x93\xfa",                       // 日 (trail byte is a lead byte)
    "\x95\x5c", "\x83\x5c",           // 表 ソ (trail byte 0x5C)
    "\x81\x40",                       // ideographic space
    "\x88\x88\x88\x88",               // a run of lead bytes
};

// A random number below n.
unsigned Below(std::mt19937& random, std::size_t n) {
  return static_cast<unsigned>(random() % n);
}

std::string RandomPiece(std::mt19937& random) {
  const unsigned kind = Below(random, 10);
  if (kind < 4) return kPlainPieces[random() % kPlainPieces.size()];
  if (kind < 7) return kMemberPool[random() % kMemberPool.size()];
  if (kind < 8) {
    const std::string& member = kMemberPool[random() % kMemberPool.size()];
    return Repeat(member, static_cast<int>(1 + Below(random, 40)));
  }
  // Any byte but NUL and line feed.
  unsigned byte = 0;
  do byte = 1 + Below(random, 255); while (byte == '\n');
  return std::string(1, static_cast<char>(byte));
}

std::string RandomLine(std::mt19937& random) {
  const unsigned size_class = Below(random, 100);
  const std::size_t limit = size_class < 75 ? 120 : size_class < 99 ? 1200 : 5119;
  const std::size_t target = std::uniform_int_distribution<std::size_t>(0, limit)(random);
  std::string line;
  while (line.size() < target) line += RandomPiece(random);
  switch (Below(random, 6)) {
    case 0: line += '\n'; break;
    case 1: line += "\r\n"; break;
    case 2: line += "\x82"; break;    // a two-byte character cut off
    case 3: line += "\x82\n"; break;  // the same before the line feed
    default: break;
  }
  if (line.size() > 5119) line.resize(5119);
  return line;
}

std::string RandomSet(std::mt19937& random, unsigned percent) {
  std::string set;
  for (const std::string& member : kMemberPool) {
    if (random() % 100 < percent) set += member;
  }
  return set;
}

using RandomLinesTest = testing::ScanVariantTest;

TEST_P(RandomLinesTest, EngineAgreesWithReference) {
  static constexpr std::uint32_t kLineLengths[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                                   11, 33, 34, 100, 5000, 0xffffffffu};
  std::mt19937 random(20240601);
  for (int i = 0; i < 3000; ++i) {
    const std::uint32_t line_length = kLineLengths[random() % std::size(kLineLengths)];
    // A status file's 1 to 9 is raised to 10; the engine must still do the
    // right thing with them as they stand. A few random limits test the
    // limit itself.
    std::uint32_t limit = BackoffLimitFor(line_length);
    if (line_length != 0 && random() % 5 == 0) limit = Below(random, 13);
    // Limits beyond what set-up makes let back-offs run far back.
    if (line_length != 0 && random() % 10 == 0) {
      limit = Below(random, 2 * std::min(line_length, 200u) + 1);
    }
    const Rules rules{RandomSet(random, 30), RandomSet(random, 20), RandomSet(random, 30)};
    const Wrapping wrapping(rules, line_length, limit, GetParam());
    const std::string line = RandomLine(random);
    wrapping.Lines(line);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "case " << i << ": line length " << line_length << ", limit " << limit
                    << ", " << line.size() << " bytes";
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, RandomLinesTest, ::testing::ValuesIn(kScanVariants),
                         testing::VariantName<ScanVariant>);

}  // namespace
}  // namespace velto::measure
