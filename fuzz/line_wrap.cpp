// The wrapping engine against the literal reference, on fuzzed lines and
// settings. Any difference in the count, in where a display line begins, or
// in how the engine's display lines tile the line stops the run.
//
// Input: a header of 6 bytes, then the NoTop_NoHang, NoTop_Hang and NoEnd
// characters separated by NUL bytes, then the source line (at most 5119
// bytes, as the reader delivers it; a NUL inside ends it for both sides).
//   byte 0: how the line length is chosen (low 2 bits), whether set-up's
//           raise of 1 to 9 applies (bit 2), whether the back-off limit is
//           set-up's or byte 5 (bit 3)
//   bytes 1-4: the line length, little-endian
//   byte 5: a back-off limit of its own
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "measure/line_wrap.h"
#include "support/wrap_reference.h"

namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kLineLimit = 5119;
constexpr std::size_t kSetLimit = 511;

[[noreturn]] void Fail(const char* what, std::uint32_t line_length, std::uint32_t limit) {
  std::fprintf(stderr, "wrapping differs from the reference: %s (line length %u, limit %u)\n",
               what, line_length, limit);
  std::abort();
}

// The line length of the header: a small one, a raw 32-bit one, a
// "negative" one, or 0.
std::uint32_t LineLengthOf(const std::uint8_t* header) {
  std::uint32_t raw = 0;
  std::memcpy(&raw, header + 1, sizeof raw);
  switch (header[0] & 3u) {
    case 0: return raw & 0xFFu;
    case 1: return raw;
    case 2: return 0u - (raw & 0xFFu);
    default: return 0;
  }
}

// The next NUL-separated field of rest, at most limit bytes of it.
std::string TakeField(std::string_view& rest, std::size_t limit) {
  const std::size_t end = rest.find('\0');
  std::string field(rest.substr(0, end == std::string_view::npos ? rest.size() : end));
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  if (field.size() > limit) field.resize(limit);
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderBytes) return 0;
  std::uint32_t line_length = LineLengthOf(data);
  if ((data[0] & 4u) != 0 && line_length != 0 && line_length < 10) line_length = 10;
  const std::uint32_t limit =
      (data[0] & 8u) != 0 ? data[5] : velto::measure::BackoffLimitFor(line_length);

  std::string_view rest(reinterpret_cast<const char*>(data + kHeaderBytes), size - kHeaderBytes);
  const std::string no_top_no_hang = TakeField(rest, kSetLimit);
  const std::string hang = TakeField(rest, kSetLimit);
  const std::string no_end = TakeField(rest, kSetLimit);
  // The reference takes one NoTop set: hanging characters may not begin a
  // line either.
  const std::string no_top = no_top_no_hang + hang;
  const std::string line(rest.substr(0, std::min(rest.size(), kLineLimit)));

  std::vector<std::size_t> reference_starts;
  const std::int32_t reference = velto::testing::ReferenceCountDisplayLines(
      line.c_str(), line_length, limit, no_top.c_str(), hang.c_str(), no_end.c_str(),
      &reference_starts);

  const velto::measure::LineWrapper wrapper(
      velto::measure::LineBreakRules{line_length, limit, no_top_no_hang, hang, no_end});
  if (wrapper.CountDisplayLines(line) != reference) Fail("count", line_length, limit);

  // The engine's display lines: they begin where the reference's do and
  // follow one another without gap up to the end of the text (the first NUL,
  // less one trailing line feed).
  std::size_t text_end = std::min(line.size(), std::strlen(line.c_str()));
  if (text_end > 0 && line[text_end - 1] == '\n') --text_end;
  velto::measure::LineWrapper::Walker walker(wrapper, line);
  velto::measure::DisplayLine display;
  std::vector<std::size_t> starts;
  std::size_t covered = 0;
  while (walker.Next(display)) {
    if (display.begin != covered || display.end < display.begin) Fail("ranges", line_length, limit);
    starts.push_back(display.begin);
    covered = display.end;
    if (starts.size() > line.size() + 1) Fail("a walker that does not end", line_length, limit);
  }
  if (starts != reference_starts) Fail("starts", line_length, limit);
  if (covered != text_end) Fail("coverage", line_length, limit);
  return 0;
}
