// The straight UTF-8 conversion on fuzzed text, in every variant this
// processor can run, against the portable variant and against the exact
// path (the decoder, then the encoder). The input is the text as it is, so
// every kind of broken sequence lands at every place of a vector window,
// and at the very end of the input, where a variant must not read on.
//
// Checked: every variant reads as far as the portable one and writes the
// same bytes, never more bytes than it read; and what the straight path
// wrote, followed by the exact reading of what it left, is the exact
// reading of the whole text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace {

using velto::platform::Utf8Variant;

[[noreturn]] void Fail(const char* what, Utf8Variant variant) {
  std::fprintf(stderr, "straight UTF-8 conversion: %s (%s)\n", what,
               std::string(velto::platform::NameOf(variant)).c_str());
  std::abort();
}

// The exact reading of text in code page 932.
std::string ReadExactly(std::string_view text) {
  velto::platform::Decoder decoder(velto::platform::kCodePageUtf8);
  std::u16string units(text.size(), u'\0');
  units.resize(decoder.Decode(text, units.data(), units.size()));
  // No character takes more than two bytes in code page 932.
  std::string out(2 * units.size(), '\0');
  out.resize(velto::platform::EncodeCp932(units, out.data(), out.size()));
  return out;
}

struct Straight {
  std::string bytes;
  std::size_t consumed = 0;
};

// The input and the output are exactly as long as the text, so that
// AddressSanitizer sees any access past either.
Straight Convert(std::string_view text, Utf8Variant variant) {
  const std::vector<char> input(text.begin(), text.end());
  std::vector<char> out(text.size());
  Straight straight;
  const std::size_t written = velto::platform::ConvertPlainUtf8(std::string_view(input.data(), input.size()),
                                                                out.data(), &straight.consumed, variant);
  straight.bytes.assign(out.data(), written);
  return straight;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Straight portable = Convert(text, Utf8Variant::kPortable);
  if (portable.bytes.size() > portable.consumed) Fail("wrote more than it read", Utf8Variant::kPortable);
  if (portable.bytes + ReadExactly(text.substr(portable.consumed)) != ReadExactly(text)) {
    Fail("differs from the decoder and the encoder", Utf8Variant::kPortable);
  }
  for (const Utf8Variant variant : velto::platform::kUtf8Variants) {
    if (variant == Utf8Variant::kPortable || !velto::platform::CanRun(variant)) continue;
    const Straight other = Convert(text, variant);
    if (other.consumed != portable.consumed || other.bytes != portable.bytes) {
      Fail("differs from the portable variant", variant);
    }
  }
  return 0;
}
