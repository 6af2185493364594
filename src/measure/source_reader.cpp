// How a measured file becomes source lines.
//
// Three read paths. Shift-JIS takes the byte path: lines are delivered as
// read. EUC-JP, ISO-2022-JP, UTF-7 and UTF-8 take the converting path: a
// line of bytes is decoded to UTF-16 from the encoding's initial state and
// encoded to code page 932. UTF-16 takes the unit path: a line of 16-bit
// units is encoded to code page 932.
//
// Every byte encoding is read in text mode, which our file layer does not
// translate, so the rules are applied here: CR LF becomes LF, a lone CR
// stays, 0x1A ends the data. UTF-16 is read as stored.
//
// A piece of a line holds at most 5119 bytes. For the encodings whose
// characters can be told apart without state, a piece that stops inside a
// character leaves that character whole to the next piece, so no character
// is ever counted as two broken halves. ISO-2022-JP and UTF-7 are cut at the
// byte limit. A converted line whose code page 932 form is longer than a
// piece is delivered as several pieces, each ending on a character.
#include "measure/source_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

namespace velto::measure {
namespace {

constexpr std::size_t kPieceLimit = kReadBufferLimit - 1;
// Room for a held CR or odd byte plus at least one new byte, and for the
// three bytes of a UTF-8 byte-order mark.
constexpr std::size_t kMinFileBufferSize = 4;

std::size_t EucJpCharLength(unsigned char byte) {
  if (byte == 0x8F) return 3;
  return (byte == 0x8E || (byte >= 0xA1 && byte <= 0xFE)) ? 2 : 1;
}

// EUC-JP trail bytes look like lead bytes, so the walk starts at the front.
std::size_t EucJpBoundary(const unsigned char* bytes, std::size_t size) {
  std::size_t i = 0;
  while (i < size) {
    const std::size_t next = i + EucJpCharLength(bytes[i]);
    if (next > size) return i;
    i = next;
  }
  return size;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

// UTF-8 marks its continuation bytes, so only the last sequence can be open:
// step back over at most three continuation bytes to its lead.
std::size_t Utf8Boundary(const unsigned char* bytes, std::size_t size) {
  std::size_t start = size;
  while (start > 0 && size - start < 3 && (bytes[start - 1] & 0xC0) == 0x80) --start;
  if (start == 0) return size;
  const std::size_t lead = start - 1;
  return lead + Utf8SequenceLength(bytes[lead]) > size ? lead : size;
}

// The length of a byte line as delivered: a zero byte ends it.
std::size_t DeliveredLength(const char* bytes, std::size_t count) {
  const void* zero = std::memchr(bytes, 0, count);
  return zero == nullptr ? count : static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

bool BufferedFile::Open(const char* path, std::size_t capacity, bool text_mode) {
  file_.Close();
  begin_ = end_ = 0;
  text_mode_ = text_mode;
  exhausted_ = failed_ = false;
  if (buffer_ == nullptr || capacity_ != capacity) {
    buffer_.reset(new (std::nothrow) char[capacity]);
    capacity_ = buffer_ == nullptr ? 0 : capacity;
  }
  base_ = buffer_.get();
  return buffer_ != nullptr && file_.Open(path);
}

void BufferedFile::OpenBytes(std::string_view bytes, bool text_mode) {
  file_.Close();
  text_mode_ = text_mode;
  failed_ = false;
  // Everything is held from the start; nothing more will come.
  exhausted_ = true;
  base_ = bytes.data();
  begin_ = 0;
  end_ = bytes.size();
  if (text_mode) {
    if (const void* stop = std::memchr(bytes.data(), 0x1A, bytes.size())) {
      end_ = static_cast<std::size_t>(static_cast<const char*>(stop) - bytes.data());
    }
  }
}

bool BufferedFile::Fill() {
  if (exhausted_) return false;
  const std::size_t held = size();
  if (begin_ > 0) {
    std::memmove(buffer_.get(), data(), held);
    begin_ = 0;
    end_ = held;
  }
  const std::ptrdiff_t got = file_.Read(buffer_.get() + end_, capacity_ - end_);
  if (got <= 0) {
    exhausted_ = true;
    failed_ = got < 0;
    file_.Close();
    return false;
  }
  char* fresh = buffer_.get() + end_;
  end_ += static_cast<std::size_t>(got);
  if (text_mode_) {
    if (const void* stop = std::memchr(fresh, 0x1A, static_cast<std::size_t>(got))) {
      end_ = static_cast<std::size_t>(static_cast<const char*>(stop) - buffer_.get());
      exhausted_ = true;
      file_.Close();
    }
  }
  return end_ > held;
}

void BufferedFile::Ensure(std::size_t count) {
  while (size() < count && Fill()) {
  }
}

SourceLineReader::SourceLineReader(CharSet char_set)
    : SourceLineReader(char_set, kDefaultFileBufferSize) {}

SourceLineReader::SourceLineReader(CharSet char_set, std::size_t file_buffer_size,
                                   platform::Utf8Variant utf8_variant)
    : code_page_(CodePageOf(char_set)),
      file_buffer_size_(std::max(file_buffer_size, kMinFileBufferSize)),
      utf8_variant_(platform::CanRun(utf8_variant) ? utf8_variant : platform::Utf8Variant::kPortable) {
  switch (code_page_) {
    case 0:
      path_ = ReadPath::kUtf16;
      break;
    case platform::kCodePageShiftJis:
      path_ = ReadPath::kBytes;
      cut_ = CutRule::kShiftJis;
      break;
    case platform::kCodePageEucJp:
      path_ = ReadPath::kConverting;
      cut_ = CutRule::kEucJp;
      break;
    case platform::kCodePageUtf8:
      path_ = ReadPath::kConverting;
      cut_ = CutRule::kUtf8;
      break;
    default:  // ISO-2022-JP and UTF-7 carry a shift state: no boundary can be told
      path_ = ReadPath::kConverting;
      cut_ = CutRule::kAnyByte;
      break;
  }
}

SourceLineReader::~SourceLineReader() = default;

bool SourceLineReader::PrepareToRead() {
  opened_ = false;
  at_end_ = big_endian_ = units_complete_ = false;
  unit_count_ = carry_size_ = 0;
  if (line_ == nullptr) line_.reset(new (std::nothrow) char[kReadBufferLimit]);
  if (bytes_ == nullptr) bytes_.reset(new (std::nothrow) char[kReadBufferLimit]);
  if (units_ == nullptr) units_.reset(new (std::nothrow) char16_t[kReadBufferLimit]);
  if (line_ == nullptr || bytes_ == nullptr || units_ == nullptr) return false;
  if (path_ == ReadPath::kConverting && decoder_ == nullptr) {
    decoder_.reset(new (std::nothrow) platform::Decoder(code_page_));
  }
  return path_ != ReadPath::kConverting || (decoder_ != nullptr && decoder_->IsOpen());
}

bool SourceLineReader::Open(const char* path) {
  if (!PrepareToRead() || !file_.Open(path, file_buffer_size_, path_ != ReadPath::kUtf16)) {
    return false;
  }
  SkipMark();
  opened_ = true;
  return true;
}

bool SourceLineReader::OpenBytes(std::string_view bytes) {
  if (!PrepareToRead()) return false;
  file_.OpenBytes(bytes, path_ != ReadPath::kUtf16);
  SkipMark();
  opened_ = true;
  return true;
}

// A UTF-16 file may begin with a byte-order mark: FF FE keeps the units low
// byte first, FE FF turns them around. A UTF-8 file may begin EF BB BF. Only
// the very start of the file is a mark; U+FEFF anywhere else is a character.
void SourceLineReader::SkipMark() {
  if (path_ == ReadPath::kUtf16) {
    file_.Ensure(2);
    if (file_.size() < 2) return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(file_.data());
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
      file_.Consume(2);
    } else if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
      file_.Consume(2);
      big_endian_ = true;
    }
  } else if (code_page_ == platform::kCodePageUtf8) {
    file_.Ensure(3);
    if (file_.size() >= 3 && std::memcmp(file_.data(), "\xEF\xBB\xBF", 3) == 0) file_.Consume(3);
  }
}

bool SourceLineReader::ReadSourceLine(std::string_view& line) {
  if (!opened_ || file_.failed()) return false;
  std::size_t length = 0;
  bool read = false;
  switch (path_) {
    case ReadPath::kBytes: return ReadByteLine(line);
    case ReadPath::kConverting: read = ReadConvertedLine(line_.get(), length); break;
    case ReadPath::kUtf16: read = ReadUtf16Line(line_.get(), length); break;
  }
  if (read) line = std::string_view(line_.get(), length);
  return read;
}

bool SourceLineReader::ReadByteLine(std::string_view& line) {
  if (at_end_) return false;
  if (TakeWholeLine(line)) return true;
  const std::size_t count = ReadTextLine(line_.get());
  if (file_.failed()) return false;
  line = std::string_view(line_.get(), DeliveredLength(line_.get(), count));
  return true;
}

// Most lines lie whole in the bytes held, line feed and all: they are
// delivered where they are instead of being copied out. A CR LF pair
// becomes its LF by writing the LF over the CR where the bytes are our own
// buffer; the caller's bytes are not ours to change, so there the line is
// copied out without its CR. Every other case (a piece carried over, a line
// that runs past the bytes held or past the piece limit) takes
// ReadTextLine's way, which gives the same line.
bool SourceLineReader::TakeWholeLine(std::string_view& line) {
  if (carry_size_ != 0) return false;
  const char* bytes = file_.data();
  const auto* lf = static_cast<const char*>(std::memchr(bytes, '\n', std::min(file_.size(), kPieceLimit + 1)));
  if (lf == nullptr) return false;
  const auto before = static_cast<std::size_t>(lf - bytes);
  std::size_t length = before + 1;
  if (before > 0 && bytes[before - 1] == '\r') {
    length = before;
    if (char* own = file_.own_data()) {
      own[before - 1] = '\n';
    } else {
      std::memcpy(line_.get(), bytes, before - 1);
      line_[before - 1] = '\n';
      bytes = line_.get();
    }
  } else if (before >= kPieceLimit) {
    return false;
  }
  file_.Consume(before + 1);
  line = std::string_view(bytes, DeliveredLength(bytes, length));
  return true;
}

bool SourceLineReader::ReadConvertedLine(char* line, std::size_t& length) {
  if (unit_count_ > 0) return DeliverUnits(line, length, true);
  if (at_end_) return false;
  const std::size_t count = ReadTextLine(bytes_.get());
  if (file_.failed()) return false;
  std::string_view text(bytes_.get(), DeliveredLength(bytes_.get(), count));
  // Most of a UTF-8 line goes straight to code page 932; the decoder takes
  // over at the first character that needs its judgement. The line holds no
  // zero byte, so the straight part holds no zero unit.
  std::size_t written = 0;
  if (code_page_ == platform::kCodePageUtf8) {
    std::size_t consumed = 0;
    written = platform::ConvertPlainUtf8(text, line, &consumed, utf8_variant_);
    text.remove_prefix(consumed);
  }
  const std::size_t decoded = decoder_->Decode(text, units_.get(), kReadBufferLimit);
  // A zero unit ends the line as a zero byte does.
  const std::u16string_view units(units_.get(), decoded);
  unit_count_ = std::min(units.find(u'\0'), decoded);
  return DeliverUnits(line, length, true, written);
}

bool SourceLineReader::ReadUtf16Line(char* line, std::size_t& length) {
  if (unit_count_ == 0) {
    if (at_end_) return false;
    units_complete_ = false;
  }
  if (!units_complete_) ReadUnits();
  if (file_.failed()) return false;
  return DeliverUnits(line, length, units_complete_);
}

// Takes text-mode bytes up to and including a LF, up to the piece limit, or
// up to the end of the data. Returns the count stored in out.
std::size_t SourceLineReader::ReadTextLine(char* out) {
  std::memcpy(out, carry_, carry_size_);
  std::size_t count = carry_size_;
  carry_size_ = 0;
  while (count < kPieceLimit) {
    std::size_t held = file_.size();
    // A CR held last becomes half of a CR LF pair or stays, by the next byte.
    if (held == 0 || (held == 1 && file_.data()[0] == '\r')) {
      if (!file_.Fill() && held == 0) {
        at_end_ = true;
        break;
      }
      held = file_.size();
    }
    const char* bytes = file_.data();
    const std::size_t room = kPieceLimit - count;
    // A CR LF pair just past the room still fits: it becomes one LF.
    const std::size_t window = std::min(held, room + 1);
    if (const auto* lf = static_cast<const char*>(std::memchr(bytes, '\n', window))) {
      const auto before = static_cast<std::size_t>(lf - bytes);
      if (before > 0 && bytes[before - 1] == '\r') {
        std::memcpy(out + count, bytes, before - 1);
        out[count + before - 1] = '\n';
        file_.Consume(before + 1);
        return count + before;
      }
      if (before < room) {
        std::memcpy(out + count, bytes, before + 1);
        file_.Consume(before + 1);
        return count + before + 1;
      }
    }
    std::size_t take = std::min(held, room);
    if (take == held && bytes[take - 1] == '\r' && !file_.exhausted()) --take;
    std::memcpy(out + count, bytes, take);
    file_.Consume(take);
    count += take;
  }
  return count < kPieceLimit ? count : CutAtCharacter(out, count);
}

// A piece that stopped at the limit inside a character leaves that character
// to the next piece. Returns the count kept.
std::size_t SourceLineReader::CutAtCharacter(char* out, std::size_t count) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(out);
  std::size_t keep = count;
  switch (cut_) {
    case CutRule::kAnyByte: break;
    case CutRule::kShiftJis: keep = sjis::CharsEnd(std::string_view(out, count)); break;
    case CutRule::kEucJp: keep = EucJpBoundary(bytes, count); break;
    case CutRule::kUtf8: keep = Utf8Boundary(bytes, count); break;
  }
  carry_size_ = count - keep;
  std::memcpy(carry_, out + keep, carry_size_);
  return keep;
}

// Appends the units of the current UTF-16 line until its LF, the end of the
// data or a full buffer. A zero unit vanishes from the line.
void SourceLineReader::ReadUnits() {
  char16_t* units = units_.get();
  while (unit_count_ < kPieceLimit) {
    if (file_.size() < 2 && !file_.Fill()) {
      // A byte left alone at the end is a unit of its own, the high byte zero.
      if (file_.size() == 1) {
        const auto unit = static_cast<unsigned char>(file_.data()[0]);
        file_.Consume(1);
        if (unit != 0) units[unit_count_++] = unit;
      }
      at_end_ = true;
      units_complete_ = true;
      return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(file_.data());
    const std::size_t whole = file_.size() / 2 * 2;
    const std::size_t high = big_endian_ ? 0 : 1;
    std::size_t count = unit_count_;
    std::size_t i = 0;
    while (i < whole && count < kPieceLimit) {
      const auto unit = static_cast<char16_t>(bytes[i + high] << 8 | bytes[i + 1 - high]);
      i += 2;
      // A zero unit is written but not counted: the next unit takes its place.
      units[count] = unit;
      count += unit != 0 ? 1 : 0;
      if (unit == u'\n') {
        file_.Consume(i);
        unit_count_ = count;
        units_complete_ = true;
        return;
      }
    }
    file_.Consume(i);
    unit_count_ = count;
  }
  // Full before the line's end. When nothing but zero units follows, the
  // line ends with the data, exactly as it would have without the limit.
  if (UnitsEnded()) {
    at_end_ = true;
    units_complete_ = true;
  }
}

bool SourceLineReader::UnitsEnded() {
  for (;;) {
    if (file_.size() < 2 && !file_.Fill()) {
      if (file_.size() == 1 && file_.data()[0] == '\0') file_.Consume(1);
      return file_.size() == 0;
    }
    if (file_.data()[0] != '\0' || file_.data()[1] != '\0') return false;
    file_.Consume(2);
  }
}

// Encodes the held units into line after the bytes already written there,
// as many whole characters as fit in a piece, and keeps the rest for the
// next call.
bool SourceLineReader::DeliverUnits(char* line, std::size_t& length, bool line_complete, std::size_t written) {
  char16_t* units = units_.get();
  std::size_t usable = unit_count_;
  // While the line goes on, a high surrogate at the end waits for its partner.
  if (!line_complete && usable > 0 && IsHighSurrogate(units[usable - 1])) --usable;
  std::size_t used = 0;
  const std::size_t count = written + platform::EncodeCp932(std::u16string_view(units, usable), line + written,
                                                            kPieceLimit - written, &used);
  line[count] = '\0';
  length = count;
  unit_count_ -= used;
  std::memmove(units, units + used, unit_count_ * sizeof(char16_t));
  return true;
}

}  // namespace velto::measure
