// Reads a measured file one source line at a time and delivers every line in
// code page 932, whatever the file's encoding (CharSet).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/codepage.h"
#include "platform/input_file.h"
#include "velto/measure.hpp"

namespace velto::measure {

// A source line and its terminating NUL.
inline constexpr std::size_t kReadBufferLimit = kSourceLineBytes + 1;

// The measured text behind one buffer of our own: a file read in large
// pieces, or bytes the caller holds, read in place. In text mode the byte
// 0x1A ends the data for good; CR LF pairs are left to the line reader,
// which sees where lines end.
class BufferedFile {
 public:
  bool Open(const char* path, std::size_t capacity, bool text_mode);
  void OpenBytes(std::string_view bytes, bool text_mode);

  // The bytes held and not yet consumed.
  const char* data() const { return base_ + begin_; }
  // The same bytes, where they are our own buffer's and may be changed in
  // place; nullptr where they are the caller's.
  char* own_data() { return base_ == buffer_.get() ? buffer_.get() + begin_ : nullptr; }
  std::size_t size() const { return end_ - begin_; }
  void Consume(std::size_t count) { begin_ += count; }

  // Reads more of the file behind the bytes still held. False when nothing
  // came: the end of the data was reached or a read failed.
  bool Fill();
  // Fills until at least count bytes are held or the data has ended.
  void Ensure(std::size_t count);

  bool exhausted() const { return exhausted_; }  // no byte will come any more
  bool failed() const { return failed_; }

 private:
  platform::InputFile file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  const char* base_ = nullptr;  // buffer_, or the caller's bytes
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool text_mode_ = false;
  bool exhausted_ = false;
  bool failed_ = false;
};

class SourceLineReader {
 public:
  static constexpr std::size_t kDefaultFileBufferSize = 256 * 1024;

  explicit SourceLineReader(CharSet char_set);
  // The same with a file buffer of another size, at least 4 bytes, and a
  // variant of the straight UTF-8 conversion that this processor can run:
  // small buffers let tests put a line end or a character on a read
  // boundary, and every variant must read the same lines.
  SourceLineReader(CharSet char_set, std::size_t file_buffer_size,
                   platform::Utf8Variant utf8_variant = platform::BestUtf8Variant());
  ~SourceLineReader();
  SourceLineReader(const SourceLineReader&) = delete;
  SourceLineReader& operator=(const SourceLineReader&) = delete;

  // False when the file cannot be opened (or the conversion its CharSet
  // needs cannot be set up).
  bool Open(const char* path);
  // Reads bytes the caller holds, which must outlive the reading. False when
  // the conversion cannot be set up.
  bool OpenBytes(std::string_view bytes);

  // The next source line in code page 932, without NUL bytes, in line;
  // true. Its bytes stay valid until the next call or Open: they lie in the
  // reader's buffers, often where the file's bytes were read. False when
  // the text had already reached its end before the call (line untouched),
  // and from a read error on.
  bool ReadSourceLine(std::string_view& line);

  // A read error (not the end of the file) ended the reading.
  bool ReadFailed() const { return file_.failed(); }

 private:
  enum class ReadPath { kBytes, kConverting, kUtf16 };
  enum class CutRule { kAnyByte, kShiftJis, kEucJp, kUtf8 };

  bool PrepareToRead();
  bool ReadByteLine(std::string_view& line);
  bool TakeWholeLine(std::string_view& line);
  bool ReadConvertedLine(char* line, std::size_t& length);
  bool ReadUtf16Line(char* line, std::size_t& length);

  std::size_t ReadTextLine(char* out);
  std::size_t CutAtCharacter(char* out, std::size_t count);
  void ReadUnits();
  bool UnitsEnded();
  void SkipMark();
  bool DeliverUnits(char* line, std::size_t& length, bool line_complete, std::size_t written = 0);

  ReadPath path_ = ReadPath::kBytes;
  CutRule cut_ = CutRule::kShiftJis;
  int code_page_ = 0;
  std::size_t file_buffer_size_ = kDefaultFileBufferSize;
  platform::Utf8Variant utf8_variant_;

  BufferedFile file_;
  std::unique_ptr<platform::Decoder> decoder_;
  std::unique_ptr<char[]> line_;       // the line delivered, when it is not delivered in place
  std::unique_ptr<char[]> bytes_;      // one line of the file before conversion
  std::unique_ptr<char16_t[]> units_;  // one line in UTF-16 on its way to code page 932
  std::size_t unit_count_ = 0;         // units held, not yet delivered
  bool units_complete_ = false;        // the held units run to the end of their line
  bool big_endian_ = false;            // a UTF-16 file that begins FE FF
  bool opened_ = false;
  bool at_end_ = false;                // a read found no more data
  // The start of a character that did not fit into the last piece.
  char carry_[4] = {};
  std::size_t carry_size_ = 0;
};

}  // namespace velto::measure
