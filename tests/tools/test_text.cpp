#include "test_text.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <charconv>
#include <cstring>

#include "support/status_file.h"
#include "velto.h"

namespace velto::testing {

std::string ConvertFromUtf8(std::string_view utf8, const char* converter) {
  std::string out(utf8.size() * 4 + 16, '\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t length =
      ucnv_convert(converter, "UTF-8", out.data(), static_cast<int32_t>(out.size()), utf8.data(),
                   static_cast<int32_t>(utf8.size()), &error);
  EXPECT_TRUE(U_SUCCESS(error)) << converter << ": " << u_errorName(error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(length) : 0);
  return out;
}

namespace {

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  bool ReadObject(std::map<std::string, std::string>& out) {
    if (!Take('{')) return false;
    if (Take('}')) return AtEnd();
    do {
      std::string key;
      std::string value;
      if (!ReadString(key) || !Take(':') || !ReadValue(value)) return false;
      out[key] = value;
    } while (Take(','));
    return Take('}') && AtEnd();
  }

 private:
  bool Take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool AtEnd() const { return pos_ == text_.size(); }

  bool ReadString(std::string& out) {
    if (!Take('"')) return false;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (c == '\\') {
        if (pos_ >= text_.size()) return false;
        c = text_[pos_++];
        if (c == 'u') {
          if (pos_ + 4 > text_.size()) return false;
          unsigned code = 0;
          std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
          pos_ += 4;
          // The tool escapes only control characters this way.
          out.push_back(static_cast<char>(code));
          continue;
        }
        c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
      }
      out.push_back(c);
    }
    return Take('"');
  }

  bool ReadValue(std::string& out) {
    if (pos_ < text_.size() && text_[pos_] == '"') return ReadString(out);
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '}') ++pos_;
    out = std::string(text_.substr(start, pos_ - start));
    return !out.empty();
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::int64_t ReadResult(const std::map<std::string, std::string>& section, const char* key) {
  const auto found = section.find(key);
  EXPECT_NE(found, section.end()) << key;
  std::int64_t number = -1;
  if (found != section.end()) {
    const std::string& value = found->second;
    std::from_chars(value.data(), value.data() + value.size(), number);
  }
  return number;
}

}  // namespace

std::map<std::string, std::string> ParseJsonObject(std::string_view json) {
  std::map<std::string, std::string> object;
  EXPECT_TRUE(JsonReader(json).ReadObject(object)) << "not a flat JSON object: " << json;
  return object;
}

std::string StatusText(std::string_view lines) { return "[GetStatus]\n" + std::string(lines); }

Counts LibraryCount(const Sandbox& sandbox, const std::string& target, std::string_view status_text) {
  const std::string status_path = sandbox.Write("library-status.ini", status_text);
  EXPECT_EQ(GetDataStatus(target.c_str(), status_path.c_str()), 0) << target;
  const std::map<std::string, std::string> section = ReadStatusSection(status_path);
  Counts counts;
  counts.crlf = ReadResult(section, "CRLF");
  counts.nocrlf = ReadResult(section, "NoCRLF");
  counts.nocrlf_noblank = ReadResult(section, "NoCRLF_NoBLANK");
  counts.line_count = ReadResult(section, "LineCount");
  counts.page_count = ReadResult(section, "PageCount");
  counts.mod_count = ReadResult(section, "ModCount");
  return counts;
}

Counts CharacterCounts(std::string_view utf8) {
  Counts counts;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if ((byte & 0xC0U) == 0x80U) continue;  // a continuation byte
    ++counts.crlf;
    if (byte == '\n') continue;
    ++counts.nocrlf;
    const bool ideographic_space = utf8.substr(i, 3) == "\u3000";
    if (byte != ' ' && !ideographic_space) ++counts.nocrlf_noblank;
  }
  return counts;
}

}  // namespace velto::testing
