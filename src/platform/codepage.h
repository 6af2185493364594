// Conversion between the code pages the library reads and UTF-16, and from
// UTF-16 to code page 932 (Shift-JIS), the one form all counting works on.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace velto::platform {

// The code pages of the encodings a measured file may use.
inline constexpr int kCodePageShiftJis = 932;
inline constexpr int kCodePageEucJp = 20932;
inline constexpr int kCodePageIso2022Jp = 50220;
inline constexpr int kCodePageUtf7 = 65000;
inline constexpr int kCodePageUtf8 = 65001;

// Decodes text of one code page into UTF-16. Open it once per measurement;
// every Decode starts from the encoding's initial state, so no shift state
// carries over from one piece of text to the next.
class Decoder {
 public:
  explicit Decoder(int code_page);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // False when the code page is unknown or its converter could not be made.
  bool IsOpen() const;

  // Converts bytes as one complete piece: an incomplete sequence at its end
  // is converted as such. Input is read as Windows reads it: invalid input
  // gives U+FFFD, one per maximal invalid subsequence, except that UTF-7
  // drops what it cannot read and a well-formed EUC-JP two-byte code without
  // a character is U+30FB. Writes at most capacity units; returns the count.
  // No supported code page yields more units than it was given bytes, so a
  // capacity of bytes.size() always holds the whole piece.
  std::size_t Decode(std::string_view bytes, char16_t* out, std::size_t capacity);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Converts UTF-16 to code page 932 without best-fit substitutions: a code
// point whose code page 932 form would not convert back to the same code
// point becomes "?" (one per code point; a surrogate pair or a lone
// surrogate is one code point). Stops before a character that would not fit
// in capacity bytes, never splitting one. Returns the bytes written; stores
// the units used in *consumed when it is not null. Bytes of out past the
// count returned, up to capacity, may be overwritten.
std::size_t EncodeCp932(std::u16string_view units, char* out, std::size_t capacity,
                        std::size_t* consumed = nullptr);

// Converts a leading stretch of UTF-8 text straight to code page 932,
// without the detour through UTF-16, and stops at a character boundary
// before anything whose reading takes judgement: an ill-formed sequence, a
// character without a code page 932 form, and on some platforms any
// character beyond ASCII. What it converts reads exactly as Decoder and
// EncodeCp932 read it, and the rest is theirs. Stores the bytes read in
// *consumed and returns the bytes written, which are never more: out must
// hold text.size() bytes. All variants convert the same stretch to the same
// bytes.
enum class Utf8Variant { kPortable, kAvx512 };
inline constexpr Utf8Variant kUtf8Variants[] = {Utf8Variant::kPortable, Utf8Variant::kAvx512};
std::size_t ConvertPlainUtf8(std::string_view text, char* out, std::size_t* consumed, Utf8Variant variant);

constexpr std::string_view NameOf(Utf8Variant variant) {
  switch (variant) {
    case Utf8Variant::kPortable: return "Portable";
    case Utf8Variant::kAvx512: return "Avx512";
  }
  return "Unknown";
}
// Whether this build has the variant and this processor can run it. Only
// the portable one converts more than ASCII on Windows, where every other
// character's form is the system's to give, so there it is the only one.
bool CanRun(Utf8Variant variant);
// The fastest variant this processor can run.
Utf8Variant BestUtf8Variant();

}  // namespace velto::platform
