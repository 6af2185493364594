// The INI profile service on fuzzed text and fuzzed reads and writes.
//
// Input: the file's text, then "\n--ops--\n", then operations. Each
// operation is one kind byte followed by three NUL-terminated fields:
// section (empty means GetStatus), key and value. Kind modulo 4: a string
// read into a buffer of (kind / 4) % 64 bytes, an integer read, a single
// write, or a write of two entries, (key, value) and (value, key).
//
// What a write must keep: a refused write leaves every byte of the file as
// it was. A write that succeeds reads back as the value written (blanks
// around it and one pair of quotes are no part of a value), every other key
// of every section reads as before, and the text changes only at the written
// key: every line of the old text except the key's own line appears
// unchanged and in order, the new lines (the key, and its section's header
// when the section was missing) stand together in one place, and only an
// old last line that had no line end may gain one. A write of several
// entries gives the same text as the single writes one after another.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/ini_text.h"
#include "platform/profile.h"
#include "private_folder.h"

namespace {

namespace ini = velto::platform::ini;
using velto::fuzz::Fail;

constexpr std::string_view kSeparator = "\n--ops--\n";

const velto::fuzz::PrivateFolder& Folder() {
  static const velto::fuzz::PrivateFolder folder;
  return folder;
}

std::string ReadFile(const std::string& path) {
  std::string text;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) Fail("the profile vanished");
  char chunk[4096];
  for (std::size_t count = 0; (count = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    text.append(chunk, count);
  }
  std::fclose(file);
  return text;
}

// Lines with their line feeds.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t feed = text.find('\n');
    const std::size_t length = feed == std::string_view::npos ? text.size() : feed + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

bool IsLineEnd(std::string_view end) { return end.empty() || end == "\n" || end == "\r\n"; }

// Whether line is exactly expected followed by a line end; only the last
// line of a text may go without one.
bool IsLineOf(std::string_view line, std::string_view expected, bool last) {
  if (!line.starts_with(expected)) return false;
  const std::string_view end = line.substr(expected.size());
  return IsLineEnd(end) && (last || !end.empty());
}

// Why the line-level change from old_lines to new_lines is not the shape of
// one single write (see the top); nullptr when it is. The unchanged lines
// are stripped from both ends first; keep_last_line tells whether an old
// last line without line end may count as unchanged at the end, since a
// write may also insert a copy of that line after it.
const char* EditShapeFault(const std::vector<std::string_view>& old_lines,
                           const std::vector<std::string_view>& new_lines,
                           std::string_view section, std::string_view key,
                           std::string_view value, bool keep_last_line) {
  std::size_t prefix = 0;
  while (prefix < old_lines.size() && prefix < new_lines.size() &&
         old_lines[prefix] == new_lines[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < old_lines.size() - prefix && suffix < new_lines.size() - prefix &&
         old_lines[old_lines.size() - 1 - suffix] == new_lines[new_lines.size() - 1 - suffix] &&
         (keep_last_line || suffix > 0 || old_lines.back().ends_with('\n'))) {
    ++suffix;
  }
  const std::size_t old_changed = old_lines.size() - prefix - suffix;
  std::size_t next = prefix;  // the first new line not yet accounted for
  const std::size_t new_end = new_lines.size() - suffix;
  if (old_changed > 1) return "a write changed more than one old line";
  if (old_changed == 1) {
    const std::string_view old_line = old_lines[prefix];
    if (next == new_end) return "a write removed an old line";
    const std::string_view new_line = new_lines[next];
    const std::size_t equals = old_line.find('=');
    const bool same_key = equals != std::string_view::npos &&
                          ini::NamesMatch(old_line.substr(0, equals), key) &&
                          new_line.substr(0, equals + 1) == old_line.substr(0, equals + 1);
    const bool gained_line_end = prefix + 1 == old_lines.size() && !old_line.ends_with('\n') &&
                                 new_line.starts_with(old_line) &&
                                 IsLineEnd(new_line.substr(old_line.size())) &&
                                 new_line.size() > old_line.size();
    if (same_key && new_end - next == 1) return nullptr;  // the value replaced in place
    if (!gained_line_end) return "a write changed an old line that was not the key's";
    ++next;
  }
  const std::string header = "[" + std::string(section) + "]";
  const std::string key_line = std::string(key) + "=" + std::string(value);
  if (new_end - next == 2 && !IsLineOf(new_lines[next++], header, false)) {
    return "two new lines that are not a section header and its key";
  }
  if (new_end - next != 1 || !IsLineOf(new_lines[next], key_line, new_end == new_lines.size())) {
    return "the new lines are not the written key";
  }
  return nullptr;
}

void CheckEditShape(std::string_view before, std::string_view after, std::string_view section,
                    std::string_view key, std::string_view value) {
  if (before == after) return;  // the key already held the value
  const auto old_lines = SplitLines(before);
  const auto new_lines = SplitLines(after);
  const char* fault = EditShapeFault(old_lines, new_lines, section, key, value, true);
  if (fault != nullptr && !old_lines.empty() &&
      EditShapeFault(old_lines, new_lines, section, key, value, false) == nullptr) {
    fault = nullptr;
  }
  if (fault != nullptr) Fail(fault);
}

// Every section and key of a text, by their first appearance.
std::vector<std::pair<std::string, std::string>> NamesOf(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> names;
  ini::LineReader reader(text);
  ini::Line line;
  std::string section;
  bool in_section = false;
  while (reader.Next(line)) {
    if (line.kind == ini::LineKind::kSection) {
      section = std::string(line.name);
      in_section = true;
    } else if (line.kind == ini::LineKind::kKey && in_section) {
      names.emplace_back(section, std::string(line.name));
    }
  }
  return names;
}

void CheckOtherKeysKept(std::string_view before, std::string_view after, std::string_view section,
                        std::string_view key) {
  for (const std::string_view text : {before, after}) {
    for (const auto& [other_section, other_key] : NamesOf(text)) {
      if (ini::NamesMatch(other_section, section) && ini::NamesMatch(other_key, key)) continue;
      if (ini::FindValue(before, other_section, other_key) !=
          ini::FindValue(after, other_section, other_key)) {
        Fail("a write changed another key");
      }
    }
  }
}

void CheckReadsBack(const std::string& path, std::size_t file_size, const char* section,
                    const char* key, std::string_view value) {
  const std::string expected(ini::Unquote(ini::TrimBlanks(value)));
  std::string out(file_size + 1, '\0');
  const std::size_t count =
      velto::platform::ReadProfileValue(path.c_str(), section, key, "\x01", out.data(), out.size());
  if (std::string_view(out.data(), count) != expected) Fail("a written value does not read back");
}

// One update of one or more entries; returns whether it was made.
bool Write(const std::string& path, const char* section,
           const std::vector<velto::platform::ProfileEntry>& entries) {
  return velto::platform::UpdateProfileValues(path.c_str(), section, entries);
}

void CheckedSingleWrite(const std::string& path, const char* section, const char* key,
                        const char* value) {
  const std::string before = ReadFile(path);
  const bool written = Write(path, section, {{key, value}});
  const std::string after = ReadFile(path);
  if (!written) {
    if (after != before) Fail("a refused write changed the file");
    return;
  }
  CheckReadsBack(path, after.size(), section, key, value);
  CheckOtherKeysKept(before, after, section, key);
  CheckEditShape(before, after, section, key, value);
}

void CheckedGroupWrite(const std::string& path, const char* section,
                       const std::vector<velto::platform::ProfileEntry>& entries) {
  const std::string before = ReadFile(path);
  // The same writes one at a time, on a copy.
  const std::string copy = Folder().Path("copy.ini");
  velto::fuzz::WriteFile(copy, before);
  bool each_written = true;
  for (const auto& entry : entries) {
    each_written = Write(copy, section, {entry}) && each_written;
  }
  const bool written = Write(path, section, entries);
  const std::string after = ReadFile(path);
  if (!written) {
    if (after != before) Fail("a refused write changed the file");
    return;
  }
  if (!each_written) Fail("a group write made what a single write refuses");
  if (after != ReadFile(copy)) Fail("a group write differs from its single writes");
}

void CheckedRead(const std::string& path, unsigned kind, const char* section, const char* key) {
  const std::size_t size = (kind / 4) % 64;
  const auto out = std::make_unique<char[]>(size);  // exactly size bytes
  const char* def = (kind & 0x80u) != 0 ? nullptr : "default";
  const std::size_t count =
      velto::platform::ReadProfileValue(path.c_str(), section, key, def, out.get(), size);
  if (size == 0 ? count != 0 : (count >= size || out[count] != '\0')) {
    Fail("a read overran its buffer or lost its terminator");
  }
}

std::string_view TakeField(std::string_view& rest) {
  const std::size_t end = rest.find('\0');
  const std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& folder = Folder();
  folder.Empty();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t at = input.find(kSeparator);
  const std::string path = folder.Path("s.ini");
  velto::fuzz::WriteFile(path, input.substr(0, at));
  std::string_view ops = at == std::string_view::npos ? std::string_view() : input.substr(at + kSeparator.size());

  while (!ops.empty()) {
    const auto kind = static_cast<unsigned char>(ops.front());
    ops.remove_prefix(1);
    std::string section(TakeField(ops));
    if (section.empty()) section = "GetStatus";
    const std::string key(TakeField(ops));
    const std::string value(TakeField(ops));
    switch (kind % 4) {
      case 0: CheckedRead(path, kind, section.c_str(), key.c_str()); break;
      case 1: velto::platform::ReadProfileInt(path.c_str(), section.c_str(), key.c_str(), -9999); break;
      case 2: CheckedSingleWrite(path, section.c_str(), key.c_str(), value.c_str()); break;
      default:
        CheckedGroupWrite(path, section.c_str(),
                          {{key.c_str(), value.c_str()}, {value.c_str(), key.c_str()}});
        break;
    }
  }
  if (folder.HoldsReplacementFile()) Fail("a profile update left its new file behind");
  return 0;
}
