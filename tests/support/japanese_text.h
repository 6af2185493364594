// Generates Japanese prose in code page 932 for benchmarks and large-file
// tests: paragraphs of 20 to 400 characters of kana and kanji with the
// usual punctuation, dialogue brackets, a few blanks and half-width runs,
// each paragraph ended by CR LF. With ruby_every, every so many words carry
// a ruby reading as writers mark it up for the Aozora and the web notation
// alike: 《reading》 after a kanji word, ｜word《reading》 after any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace velto::testing {

// The common kinsoku classes in code page 932, for settings of benchmarks.
inline constexpr const char* kCommonNoTopNoHang =
    "\x81\x76\x81\x78\x81\x6a\x81\x5b\x82\xc1\x82\xe1\x82\xe3\x82\xe5\x81\x48\x81\x49";
// 」』）ーっゃゅょ？！
inline constexpr const char* kCommonNoTopHang = "\x81\x41\x81\x42\x81\x43\x81\x44";  // 、。，．
inline constexpr const char* kCommonNoEnd = "\x81\x75\x81\x77\x81\x69";  // 「『（
// The NoTop set a measurement builds from the two above: NoHang, then Hang.
inline constexpr const char* kCommonNoTop =
    "\x81\x76\x81\x78\x81\x6a\x81\x5b\x82\xc1\x82\xe1\x82\xe3\x82\xe5\x81\x48\x81\x49"
    "\x81\x41\x81\x42\x81\x43\x81\x44";

inline std::string GenerateJapaneseText(std::size_t target_bytes, std::uint32_t seed = 1,
                                        std::size_t ruby_every = 0) {
  // Two-byte characters: hiragana, katakana and frequent kanji.
  static constexpr std::string_view kWords[] = {
      "\x82\xa0\x82\xa2\x82\xa4",          // あいう
      "\x8d\x8b\x8e\x9a",                  // 国字
      "\x82\xb1\x82\xea\x82\xcd",          // これは
      "\x8f\xac\x90\xe0",                  // 小説
      "\x83\x65\x83\x4c\x83\x58\x83\x67",  // テキスト
      "\x82\xc6\x82\xa2\x82\xa4",          // という
      "\x8e\x9e\x8a\xd4",                  // 時間
      "\x82\xbe\x82\xc1\x82\xbd",          // だった
      "\x90\x6c",                          // 人
      "\x8a\x77\x8d\x5a",                  // 学校
      "\x83\x52\x81\x5b\x83\x68",          // コード
      "\x82\xb5\x82\xe1\x82\xb5\x82\xf1",  // しゃしん
      "abc",
      "\xb6\xc0\xb6\xc5",                  // ｶﾀｶﾅ (half-width)
  };
  // The words above that are all kanji.
  static constexpr bool kKanjiWord[] = {false, true,  false, true,  false, false, true,
                                        false, true,  true,  false, false, false, false};
  static_assert(std::size(kKanjiWord) == std::size(kWords));
  constexpr std::string_view kBar = "\x81\x62";                                  // ｜
  constexpr std::string_view kReading = "\x81\x73\x82\xd3\x82\xe8\x82\xaa\x82\xc8\x81\x74";  // 《ふりがな》
  std::size_t words = 0;
  static constexpr std::string_view kPunctuation[] = {
      "\x81\x41", "\x81\x42", "\x81\x48", "\x81\x49", " ", "\x81\x40",  // 、。？！ space, ideographic space
  };
  constexpr std::string_view kOpen = "\x81\x75";   // 「
  constexpr std::string_view kClose = "\x81\x76";  // 」

  std::mt19937 random(seed);
  std::string text;
  text.reserve(target_bytes + 1024);
  while (text.size() < target_bytes) {
    const std::size_t characters = std::uniform_int_distribution<std::size_t>(20, 400)(random);
    const bool dialogue = random() % 3 == 0;
    const std::size_t start = text.size();
    if (dialogue) text += kOpen;
    while (text.size() - start < characters * 2) {
      const std::size_t word = random() % std::size(kWords);
      const bool ruby = ruby_every != 0 && ++words % ruby_every == 0;
      if (ruby && !kKanjiWord[word]) text += kBar;
      text += kWords[word];
      if (ruby) text += kReading;
      if (random() % 4 == 0) text += kPunctuation[random() % std::size(kPunctuation)];
    }
    text += dialogue ? kClose : "\x81\x42";
    text += "\r\n";
  }
  return text;
}

}  // namespace velto::testing
