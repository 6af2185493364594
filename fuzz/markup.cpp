// Writers' markup over arbitrary text, through the C++ API: the header byte
// picks the notation, the body-only reading and the layout; the rest is the
// text, read as Shift-JIS. Markup only ever leaves characters out, and the
// display lines a program walks are exactly the ones the count counts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "velto/measure.hpp"

namespace {

constexpr std::size_t kHeaderBytes = 2;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "markup check failed: %s\n", what);
  std::abort();
}

velto::Settings SettingsOf(const std::uint8_t* header) {
  // Bits of the first byte: the notation (two bits), body only, no
  // wrapping, no paging, kinsoku.
  static constexpr velto::Markup kMarkups[] = {velto::Markup::kAozora, velto::Markup::kWeb,
                                               velto::Markup::kPixiv, velto::Markup::kAozora};
  velto::Settings settings;
  settings.markup = kMarkups[header[0] & 3u];
  settings.aozora_body_only = (header[0] & 4u) != 0;
  settings.line_length = (header[0] & 8u) != 0 ? 0u : 10u + header[1] % 31u;
  settings.page_length = (header[0] & 16u) != 0 ? 0u : 1u + header[1] / 31u;
  // 、。 may hang, 「 may not end a line, ー may not begin one.
  if ((header[0] & 32u) != 0) {
    settings.no_top_no_hang = "\x81\x5b";
    settings.no_top_hang = "\x81\x41\x81\x42";
    settings.no_end = "\x81\x75";
  }
  return settings;
}

void CheckWalk(std::string_view text, const velto::Settings& settings, const velto::Counts& counted) {
  velto::LineWalker walker(settings);
  walker.OpenBytes(text);
  velto::DisplayLine line;
  std::int64_t lines = 0;
  std::int64_t page = 1;
  while (walker.Next(line)) {
    ++lines;
    if (line.page < page) Fail("pages go backwards");
    page = line.page;
    for (const velto::RubyPart& part : line.ruby) {
      if (part.begin >= part.end || part.end > line.text.size()) Fail("a ruby part outside its line");
    }
    if (lines > counted.line_count) Fail("more lines walked than counted");
  }
  const velto::Counts walked = walker.counts();
  if (lines != counted.line_count || walked.line_count != counted.line_count ||
      walked.crlf != counted.crlf || walked.no_crlf_no_blank != counted.no_crlf_no_blank ||
      walked.page_count != counted.page_count || walked.mod_count != counted.mod_count ||
      walked.ruby_spans != counted.ruby_spans || walked.ruby_characters != counted.ruby_characters) {
    Fail("the walk and the count disagree");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderBytes) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + kHeaderBytes), size - kHeaderBytes);
  velto::Settings settings = SettingsOf(data);
  const velto::Result marked = velto::MeasureBytes(text, settings);
  settings.markup = velto::Markup::kNone;
  const velto::Result plain = velto::MeasureBytes(text, settings);
  if (!marked.ok() || !plain.ok()) Fail("text in memory was not measured");
  if (marked.counts.crlf > plain.counts.crlf || marked.counts.no_crlf > plain.counts.no_crlf ||
      marked.counts.no_crlf_no_blank > plain.counts.no_crlf_no_blank) {
    Fail("markup added characters");
  }
  settings = SettingsOf(data);
  CheckWalk(text, settings, marked.counts);
  return 0;
}
