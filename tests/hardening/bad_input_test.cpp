// A catalogue of bad inputs through the exported functions, each with the
// outcome a host can rely on: null and empty arguments, over-long paths,
// status files and targets that are no regular files or cannot be read,
// status files of garbage, absurd settings, a huge one-line file, a file
// that changes while it is measured, debug logs that cannot be written, and
// over-long time texts. Every status call runs in a child process with a
// deadline, so a call that blocks fails its case instead of hanging the
// suite; afterwards the sandbox holds exactly what the case allows.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "support/long_path.h"
#include "support/sandbox.h"
#include "support/status_file.h"
#include "support/unprivileged.h"
#include "text_shapes.h"
#include "velto.h"

namespace velto::testing {
namespace {

namespace fs = std::filesystem;

using StatusExport = int(VELTO_CALL*)(const char*, const char*);

// A status call takes milliseconds; one that has not returned after this
// long is blocked (on a fifo, a socket, a lock) and would never return.
constexpr auto kDeadline = std::chrono::milliseconds(2000);

// Each case of a table is named by its label.
template <typename Case>
std::string LabelOf(const ::testing::TestParamInfo<Case>& param) {
  return param.param.label;
}

// ---------------------------------------------------------------------------
// What a case may leave behind

// Every entry under root: a regular file by its bytes, anything else by its
// kind. Fifos and sockets are never opened.
using Tree = std::map<std::string, std::string>;

Tree TreeOf(const fs::path& root) {
  Tree tree;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const std::string name = it->path().lexically_relative(root).string();
    const fs::file_status status = it->symlink_status(error);
    switch (status.type()) {
      case fs::file_type::regular: tree[name] = "file:" + Sandbox::Read(it->path().string()); break;
      case fs::file_type::directory: tree[name] = "directory"; break;
      case fs::file_type::symlink: tree[name] = "link:" + fs::read_symlink(it->path(), error).string(); break;
      default: tree[name] = "special"; break;
    }
    if (status.type() == fs::file_type::symlink) it.disable_recursion_pending();
  }
  return tree;
}

// The status file every case starts from: settings, and stale results that
// show whether a call wrote anything.
const KeyValues kStaleStatus = {
    {"LineLength", "20"}, {"PageLength", "2"}, {"Name", "old"},  {"TimeStamp", "old"},
    {"Size", "99"},       {"CRLF", "99"},      {"NoCRLF", "99"}, {"NoCRLF_NoBLANK", "99"},
    {"LineCount", "99"},  {"PageCount", "99"}, {"ModCount", "99"}};

// The target every case measures: two lines and the empty line after the
// last line feed.
constexpr const char* kTargetText = "abc def\nghi\n";
const std::map<std::string, std::string> kTargetCounts = {
    {"Size", "12"},      {"CRLF", "12"},     {"NoCRLF", "10"},  {"NoCRLF_NoBLANK", "9"},
    {"LineCount", "3"},  {"PageCount", "2"}, {"ModCount", "1"}};

const char* const kResultKeys[] = {"Size",      "CRLF",      "NoCRLF",  "NoCRLF_NoBLANK",
                                   "LineCount", "PageCount", "ModCount"};

// What a call did to the status file.
enum class Effect {
  kNothing,      // no byte of any file changed
  kNameCleared,  // Name and TimeStamp emptied, nothing else
  kZeroed,       // the seven results set to 0
  kSizeOnly,     // Size set to the target's size, the other six to 0
  kMeasured,     // the seven results of the target
  kRecorded,     // Name and TimeStamp of the target, nothing else
  kAll,          // Name, TimeStamp and the seven results
};

std::map<std::string, std::string> ExpectedSection(Effect effect, const std::string& name) {
  std::map<std::string, std::string> section(kStaleStatus.begin(), kStaleStatus.end());
  const auto set_results = [&section](const std::map<std::string, std::string>& values) {
    for (const char* key : kResultKeys) section[key] = values.count(key) ? values.at(key) : "0";
  };
  switch (effect) {
    case Effect::kNothing: break;
    case Effect::kNameCleared: section["Name"] = section["TimeStamp"] = ""; break;
    case Effect::kZeroed: set_results({}); break;
    case Effect::kSizeOnly: set_results({{"Size", kTargetCounts.at("Size")}}); break;
    case Effect::kMeasured: set_results(kTargetCounts); break;
    case Effect::kRecorded: section["Name"] = name; break;
    case Effect::kAll:
      section["Name"] = name;
      set_results(kTargetCounts);
      break;
  }
  return section;
}

bool NamesARecord(Effect effect) { return effect == Effect::kRecorded || effect == Effect::kAll; }

// ---------------------------------------------------------------------------
// Status paths and targets of every kind

enum class StatusKind {
  kValid, kNull, kEmpty, kLength259, kLength260, kLength4096, kRelativeTooLong,
  kDirectory, kFifo, kWildcard, kWildcardMatchingNothing, kUnreadable, kUtf16,
};

enum class TargetKind {
  kValid, kNull, kEmpty, kMissing, kLength259, kLength260, kLength4096,
  kDirectory, kFifo, kSocket, kSymlinkLoop, kUnreadable,
};

struct Setting {
  std::optional<std::string> status;  // nullopt: a null pointer
  std::optional<std::string> target;
  std::string status_file;             // the file whose section is checked
  std::string target_name;             // what Name should say
  std::optional<std::string> working_directory;
  bool unprivileged = false;
};

std::string MakeFifo(const Sandbox& box, const std::string& name) {
  const std::string path = box.Path(name);
  if (mkfifo(path.c_str(), 0666) != 0) ADD_FAILURE() << "mkfifo " << path;
  return path;
}

std::string MakeSocket(const Sandbox& box, const std::string& name) {
  const std::string path = box.Path(name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    ADD_FAILURE() << "socket path too long";
    return path;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  // A listening socket nobody accepts on: a connect would wait.
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 1) != 0) {
    ADD_FAILURE() << "socket " << path;
  }
  if (fd >= 0) close(fd);
  return path;
}

std::string StatusIn(const Sandbox& box, const std::string& name) {
  return box.Write(name, StatusText(kStaleStatus));
}

void PrepareStatus(StatusKind kind, const Sandbox& box, Setting& setting) {
  setting.status_file = StatusIn(box, "status.ini");
  switch (kind) {
    case StatusKind::kValid: setting.status = setting.status_file; break;
    case StatusKind::kNull: setting.status = std::nullopt; break;
    case StatusKind::kEmpty: setting.status = ""; break;
    case StatusKind::kLength259:
    case StatusKind::kLength260: {
      const std::string path = PathOfLength(box, kind == StatusKind::kLength259 ? 259 : 260);
      setting.status = setting.status_file = box.Write(fs::path(path).lexically_relative(box.root()).string(),
                                                       StatusText(kStaleStatus));
      break;
    }
    case StatusKind::kLength4096: {
      const std::string root = box.root().string();
      setting.status = root + "/" + std::string(4096 - root.size() - 1, 's');
      break;
    }
    case StatusKind::kRelativeTooLong: {
      // The name is short; the current directory in front of it is not.
      const fs::path deep = PathOfLength(box, 252);
      fs::create_directory(deep);
      setting.status_file = box.Write(fs::path(deep / "status.ini").lexically_relative(box.root()).string(),
                                      StatusText(kStaleStatus));
      setting.working_directory = deep.string();
      setting.status = "status.ini";
      break;
    }
    case StatusKind::kDirectory:
      fs::create_directory(box.Path("status.d"));
      setting.status = box.Path("status.d");
      break;
    case StatusKind::kFifo: setting.status = MakeFifo(box, "status.fifo"); break;
    case StatusKind::kWildcard: setting.status = box.Path("stat*.ini"); break;
    case StatusKind::kWildcardMatchingNothing: setting.status = box.Path("none*.ini"); break;
    case StatusKind::kUnreadable:
      chmod(setting.status_file.c_str(), 0);
      setting.status = setting.status_file;
      setting.unprivileged = true;
      break;
    case StatusKind::kUtf16:
      setting.status = box.Write("utf16.ini", std::string("\xFF\xFE[\0G\0e\0t\0", 10));
      break;
  }
}

void PrepareTarget(TargetKind kind, const Sandbox& box, Setting& setting) {
  const std::string valid = box.Write("target.txt", kTargetText);
  setting.target_name = "target.txt";
  switch (kind) {
    case TargetKind::kValid: setting.target = valid; break;
    case TargetKind::kNull: setting.target = std::nullopt; break;
    case TargetKind::kEmpty: setting.target = ""; break;
    case TargetKind::kMissing: setting.target = box.Path("missing.txt"); break;
    case TargetKind::kLength259:
    case TargetKind::kLength260: {
      const std::string path = PathOfLength(box, kind == TargetKind::kLength259 ? 259 : 260);
      setting.target = box.Write(fs::path(path).lexically_relative(box.root()).string(), kTargetText);
      setting.target_name = fs::path(path).filename().string();
      break;
    }
    case TargetKind::kLength4096: {
      const std::string root = box.root().string();
      setting.target = root + "/" + std::string(4096 - root.size() - 1, 't');
      break;
    }
    case TargetKind::kDirectory:
      fs::create_directory(box.Path("target.d"));
      setting.target = box.Path("target.d");
      break;
    case TargetKind::kFifo: setting.target = MakeFifo(box, "target.fifo"); break;
    case TargetKind::kSocket: setting.target = MakeSocket(box, "target.sock"); break;
    case TargetKind::kSymlinkLoop:
      fs::create_symlink(box.Path("loop2"), box.Path("loop1"));
      fs::create_symlink(box.Path("loop1"), box.Path("loop2"));
      setting.target = box.Path("loop1");
      break;
    case TargetKind::kUnreadable:
      chmod(valid.c_str(), 0);
      setting.target = valid;
      setting.unprivileged = true;
      break;
  }
}

// Runs one status export on a setting, in a child process with the
// deadline (and as an ordinary user when the setting needs permissions to
// bind). nullopt when it blocked or crashed.
std::optional<int> RunExport(StatusExport call, const Setting& setting, const Sandbox& box) {
  const char* status = setting.status ? setting.status->c_str() : nullptr;
  const char* target = setting.target ? setting.target->c_str() : nullptr;
  const auto body = [&]() -> int {
    if (setting.working_directory && chdir(setting.working_directory->c_str()) != 0) return 100;
    return call(target, status);
  };
  return RunWithDeadline(
      [&]() -> int {
        if (!setting.unprivileged) return body();
        return RunUnprivileged(box.root(), body).value_or(101);
      },
      kDeadline);
}

// Checks the status file against the effect, and that nothing else in the
// sandbox changed.
void ExpectEffect(const Sandbox& box, const Tree& before, const Setting& setting, Effect effect) {
  const Tree after = TreeOf(box.root());
  const std::string status_name = fs::path(setting.status_file).lexically_relative(box.root()).string();
  Tree before_rest = before;
  Tree after_rest = after;
  if (effect != Effect::kNothing) {
    before_rest.erase(status_name);
    after_rest.erase(status_name);
  }
  EXPECT_EQ(after_rest, before_rest) << "only the status file may change, and no file may appear";
  if (effect == Effect::kNothing) return;

  std::map<std::string, std::string> section = ReadStatusSection(setting.status_file);
  if (NamesARecord(effect)) {
    EXPECT_TRUE(IsTimeStamp(section["TimeStamp"])) << section["TimeStamp"];
    section["TimeStamp"] = "old";
  }
  EXPECT_EQ(section, ExpectedSection(effect, setting.target_name));
}

struct StatusCase {
  const char* label;
  StatusExport call;
  StatusKind status;
  TargetKind target;
  int result;
  Effect effect;
};

void PrintTo(const StatusCase& c, std::ostream* out) { *out << c.label; }

class StatusExports : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusExports, FailSafelyAndWriteOnlyWhatTheyMay) {
  const StatusCase& c = GetParam();
  Sandbox box;
  Setting setting;
  PrepareStatus(c.status, box, setting);
  PrepareTarget(c.target, box, setting);
  const Tree before = TreeOf(box.root());

  const std::optional<int> result = RunExport(c.call, setting, box);
  ASSERT_TRUE(result.has_value()) << "the call blocked or crashed";
  EXPECT_EQ(*result, c.result);
  ExpectEffect(box, before, setting, c.effect);
}

using S = StatusKind;
using T = TargetKind;
using E = Effect;

const StatusCase kStatusCases[] = {
    // Null pointers and empty strings.
    {"FileNullTarget", GetFileStatus, S::kValid, T::kNull, -1, E::kNothing},
    {"DataNullTarget", GetDataStatus, S::kValid, T::kNull, -1, E::kNothing},
    {"StatusNullTarget", GetStatus, S::kValid, T::kNull, -1, E::kNothing},
    {"FileNullStatus", GetFileStatus, S::kNull, T::kValid, -1, E::kNothing},
    {"DataNullStatus", GetDataStatus, S::kNull, T::kValid, -1, E::kNothing},
    {"StatusNullStatus", GetStatus, S::kNull, T::kValid, -1, E::kNothing},
    {"FileBothNull", GetFileStatus, S::kNull, T::kNull, -1, E::kNothing},
    {"DataBothNull", GetDataStatus, S::kNull, T::kNull, -1, E::kNothing},
    {"StatusBothNull", GetStatus, S::kNull, T::kNull, -1, E::kNothing},
    {"FileEmptyStatus", GetFileStatus, S::kEmpty, T::kValid, -1, E::kNothing},
    {"DataEmptyStatus", GetDataStatus, S::kEmpty, T::kValid, -1, E::kNothing},
    {"StatusEmptyStatus", GetStatus, S::kEmpty, T::kValid, -1, E::kNothing},
    {"FileBothEmpty", GetFileStatus, S::kEmpty, T::kEmpty, -1, E::kNothing},
    {"DataBothEmpty", GetDataStatus, S::kEmpty, T::kEmpty, -1, E::kNothing},
    // An empty target is a target that is not found.
    {"FileEmptyTarget", GetFileStatus, S::kValid, T::kEmpty, -1, E::kNameCleared},
    {"DataEmptyTarget", GetDataStatus, S::kValid, T::kEmpty, -1, E::kZeroed},
    {"StatusEmptyTarget", GetStatus, S::kValid, T::kEmpty, -1, E::kNameCleared},
    // Path lengths: 259 bytes fit, 260 and more are refused.
    {"StatusPath259", GetStatus, S::kLength259, T::kValid, 0, E::kAll},
    {"FileStatusPath260", GetFileStatus, S::kLength260, T::kValid, -1, E::kNothing},
    {"DataStatusPath260", GetDataStatus, S::kLength260, T::kValid, -1, E::kNothing},
    {"StatusStatusPath260", GetStatus, S::kLength260, T::kValid, -1, E::kNothing},
    {"FileStatusPath4096", GetFileStatus, S::kLength4096, T::kValid, -1, E::kNothing},
    {"DataStatusPath4096", GetDataStatus, S::kLength4096, T::kValid, -1, E::kNothing},
    {"DataRelativeStatusBeyond259", GetDataStatus, S::kRelativeTooLong, T::kValid, -1, E::kNothing},
    {"FileRelativeStatusBeyond259", GetFileStatus, S::kRelativeTooLong, T::kValid, -1, E::kNothing},
    {"StatusTargetPath259", GetStatus, S::kValid, T::kLength259, 0, E::kAll},
    {"FileTargetPath260", GetFileStatus, S::kValid, T::kLength260, -1, E::kNameCleared},
    {"DataTargetPath260", GetDataStatus, S::kValid, T::kLength260, -1, E::kNothing},
    {"StatusTargetPath260", GetStatus, S::kValid, T::kLength260, -1, E::kNameCleared},
    {"FileTargetPath4096", GetFileStatus, S::kValid, T::kLength4096, -1, E::kNameCleared},
    {"DataTargetPath4096", GetDataStatus, S::kValid, T::kLength4096, -1, E::kNothing},
    // Status files that are no regular file, cannot be read, or are patterns.
    {"FileStatusDirectory", GetFileStatus, S::kDirectory, T::kValid, -1, E::kNothing},
    {"DataStatusDirectory", GetDataStatus, S::kDirectory, T::kValid, -1, E::kNothing},
    {"StatusStatusDirectory", GetStatus, S::kDirectory, T::kValid, -1, E::kNothing},
    {"FileStatusFifo", GetFileStatus, S::kFifo, T::kValid, -1, E::kNothing},
    {"DataStatusFifo", GetDataStatus, S::kFifo, T::kValid, -1, E::kNothing},
    {"StatusStatusFifo", GetStatus, S::kFifo, T::kValid, -1, E::kNothing},
    {"FileStatusWildcard", GetFileStatus, S::kWildcard, T::kValid, -1, E::kNothing},
    {"DataStatusWildcard", GetDataStatus, S::kWildcard, T::kValid, -1, E::kNothing},
    {"StatusStatusWildcard", GetStatus, S::kWildcard, T::kValid, -1, E::kNothing},
    {"DataStatusWildcardNoMatch", GetDataStatus, S::kWildcardMatchingNothing, T::kValid, -1,
     E::kNothing},
    {"FileStatusUnreadable", GetFileStatus, S::kUnreadable, T::kValid, -1, E::kNothing},
    {"DataStatusUnreadable", GetDataStatus, S::kUnreadable, T::kValid, -1, E::kNothing},
    {"StatusStatusUnreadable", GetStatus, S::kUnreadable, T::kValid, -1, E::kNothing},
    {"DataStatusUtf16", GetDataStatus, S::kUtf16, T::kValid, -1, E::kNothing},
    {"FileStatusUtf16", GetFileStatus, S::kUtf16, T::kValid, -1, E::kNothing},
    // Targets that are no regular file or cannot be read: found or not, they
    // are never waited on.
    {"FileTargetFifo", GetFileStatus, S::kValid, T::kFifo, -1, E::kNameCleared},
    {"DataTargetFifo", GetDataStatus, S::kValid, T::kFifo, -1, E::kZeroed},
    {"StatusTargetFifo", GetStatus, S::kValid, T::kFifo, -1, E::kNameCleared},
    {"FileTargetSocket", GetFileStatus, S::kValid, T::kSocket, -1, E::kNameCleared},
    {"DataTargetSocket", GetDataStatus, S::kValid, T::kSocket, -1, E::kZeroed},
    {"FileTargetSymlinkLoop", GetFileStatus, S::kValid, T::kSymlinkLoop, -1, E::kNameCleared},
    {"DataTargetSymlinkLoop", GetDataStatus, S::kValid, T::kSymlinkLoop, -1, E::kZeroed},
    {"FileTargetUnreadable", GetFileStatus, S::kValid, T::kUnreadable, 0, E::kRecorded},
    {"DataTargetUnreadable", GetDataStatus, S::kValid, T::kUnreadable, -1, E::kSizeOnly},
    {"DataTargetDirectory", GetDataStatus, S::kValid, T::kDirectory, 0, E::kZeroed},
    {"DataTargetMissing", GetDataStatus, S::kValid, T::kMissing, -1, E::kZeroed},
    // The good case, for contrast.
    {"DataValid", GetDataStatus, S::kValid, T::kValid, 0, E::kMeasured},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, StatusExports, ::testing::ValuesIn(kStatusCases),
                         LabelOf<StatusCase>);

// ---------------------------------------------------------------------------
// Status files whose text is garbage or absurd

struct MeasureCase {
  const char* label;
  std::string status_text;
  std::map<std::string, std::string> results;  // the results expected
};

void PrintTo(const MeasureCase& c, std::ostream* out) { *out << c.label; }

// Measures kTargetText under status_text; returns the result and the file.
std::optional<int> Measure(const Sandbox& box, const std::string& status_text, std::string& status) {
  status = box.Write("status.ini", status_text);
  const std::string target = box.Write("target.txt", kTargetText);
  return RunWithDeadline([&] { return GetDataStatus(target.c_str(), status.c_str()); }, kDeadline);
}

class GarbledStatus : public ::testing::TestWithParam<MeasureCase> {};

TEST_P(GarbledStatus, IsMeasuredWithTheSettingsItYields) {
  const MeasureCase& c = GetParam();
  Sandbox box;
  std::string status;
  const std::optional<int> result = Measure(box, c.status_text, status);
  ASSERT_TRUE(result.has_value()) << "the call blocked or crashed";
  EXPECT_EQ(*result, 0);
  const std::string after = Sandbox::Read(status);
  const std::map<std::string, std::string> section = ReadStatusSection(status);
  for (const auto& [key, value] : c.results) EXPECT_EQ(section.count(key) ? section.at(key) : "(absent)", value) << key;
  // The host's text stays whole: none of these texts holds a result key,
  // so the results are added after it.
  EXPECT_EQ(after.compare(0, c.status_text.size(), c.status_text), 0) << "the host's text changed";
  EXPECT_EQ(TreeOf(box.root()).size(), 2u) << "a file was left beside the status file";
}

// Random bytes that hold no section header.
std::string Garbage(std::size_t size) {
  std::mt19937 random(7);
  std::string bytes;
  while (bytes.size() < size) {
    const char byte = static_cast<char>(random() & 0xFF);
    if (byte != '[') bytes += byte;
  }
  return bytes;
}

// kTargetText under defaults: no wrapping and no paging.
const std::map<std::string, std::string> kDefaultCounts = {
    {"Size", "12"},     {"CRLF", "12"},     {"NoCRLF", "10"}, {"NoCRLF_NoBLANK", "9"},
    {"LineCount", "3"}, {"PageCount", "0"}, {"ModCount", "0"}};

const MeasureCase kStatusTextCases[] = {
    {"BinaryGarbage", Garbage(4096), kDefaultCounts},
    {"GarbageWithNulBytesAndNoLineEnd", std::string(300, '\0') + "LineLength=5", kDefaultCounts},
    {"GarbageBeforeTheSection", Garbage(2000) + "\n[GetStatus]\nLineLength=20\nPageLength=2\n",
     kTargetCounts},
    {"LineOf100000BytesAsAValue",
     "[GetStatus]\nLineLength=20\nNoEnd=" + std::string(100000, 'x') + "\nPageLength=2\n",
     kTargetCounts},
    {"LineOf100000BytesWithoutEquals",
     "[GetStatus]\nLineLength=20\n" + std::string(100000, 'y') + "\nPageLength=2\n", kTargetCounts},
    {"KeyNameOf100000Bytes",
     "[GetStatus]\n" + std::string(100000, 'k') + "=1\nLineLength=20\nPageLength=2\n", kTargetCounts},
    {"SectionNameOf100000Bytes",
     "[" + std::string(100000, 'S') + "]\nLineLength=3\n[GetStatus]\nLineLength=20\nPageLength=2\n",
     kTargetCounts},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, GarbledStatus, ::testing::ValuesIn(kStatusTextCases),
                         LabelOf<MeasureCase>);

// ---------------------------------------------------------------------------
// LineLength and PageLength at their edges

struct LengthCase {
  const char* label;
  const char* line_length;
  const char* page_length;
  const char* line_count;
  const char* page_count;
  const char* mod_count;
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.label; }

class Lengths : public ::testing::TestWithParam<LengthCase> {};

// A line of 25 characters, one of 3, and the empty line after the last line
// feed. A length of 1 to 9 is raised to 10; a negative one is a huge length
// (no wrap), as is any value past the 32-bit range after it wraps; PageLength
// 0 means no paging, and a negative one is a huge page.
TEST_P(Lengths, GiveDefinedCounts) {
  const LengthCase& c = GetParam();
  Sandbox box;
  const std::string status =
      box.Write("status.ini", StatusText({{"LineLength", c.line_length}, {"PageLength", c.page_length}}));
  const std::string target = box.Write("target.txt", "0123456789012345678901234\nabc\n");
  const std::optional<int> result =
      RunWithDeadline([&] { return GetDataStatus(target.c_str(), status.c_str()); }, kDeadline);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, 0);
  auto section = ReadStatusSection(status);
  EXPECT_EQ(section["CRLF"], "30");
  EXPECT_EQ(section["LineCount"], c.line_count);
  EXPECT_EQ(section["PageCount"], c.page_count);
  EXPECT_EQ(section["ModCount"], c.mod_count);
}

const LengthCase kLengthCases[] = {
    {"Zero", "0", "0", "3", "0", "0"},
    {"OneIsRaisedToTen", "1", "2", "5", "3", "1"},
    {"FiveIsRaisedToTen", "5", "2", "5", "3", "1"},
    {"Twenty", "20", "2", "4", "2", "0"},
    {"Negative", "-5", "-5", "3", "1", "3"},
    {"Largest", "2147483647", "2147483647", "3", "1", "3"},
    {"Smallest", "-2147483648", "-2147483648", "3", "1", "3"},
    {"PastTheRangeWraps", "99999999999", "4294967298", "3", "2", "1"},
    {"Hexadecimal", "0x14", "0x2", "4", "2", "0"},
    {"PrefixWithoutDigits", "0x", "0x", "3", "0", "0"},
    {"DigitsThenText", "12abc", "3zz", "5", "2", "2"},
    {"SignAndBlanks", " +13 ", " +1 ", "4", "4", "0"},
    {"NoDigitsAtAll", "abc", "-", "3", "0", "0"},
    {"TheMissingSentinel", "-9999", "-9999", "3", "0", "0"},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, Lengths, ::testing::ValuesIn(kLengthCases),
                         LabelOf<LengthCase>);

// ---------------------------------------------------------------------------
// Debug logs that cannot be written change no result

struct LogCase {
  const char* label;
  // The DebugLog value, made in the sandbox; empty when the case needs none.
  std::string (*prepare)(const Sandbox& box);
  bool unprivileged;
};

void PrintTo(const LogCase& c, std::ostream* out) { *out << c.label; }

class UnwritableLog : public ::testing::TestWithParam<LogCase> {};

TEST_P(UnwritableLog, GivesTheResultsOfAMeasurementWithoutLog) {
  const LogCase& c = GetParam();
  Sandbox box;
  const std::string log = c.prepare(box);
  const std::string status = box.Write(
      "status.ini", StatusText({{"LineLength", "20"}, {"PageLength", "2"}, {"DebugLog", log}}));
  const std::string target = box.Write("target.txt", kTargetText);
  const Tree before = TreeOf(box.root());

  const auto call = [&] { return GetDataStatus(target.c_str(), status.c_str()); };
  const std::optional<int> result = RunWithDeadline(
      [&]() -> int { return c.unprivileged ? RunUnprivileged(box.root(), call).value_or(101) : call(); },
      kDeadline);
  ASSERT_TRUE(result.has_value()) << "the call blocked or crashed";
  EXPECT_EQ(*result, 0);
  const auto section = ReadStatusSection(status);
  for (const auto& [key, value] : kTargetCounts) EXPECT_EQ(section.at(key), value) << key;
  Tree after = TreeOf(box.root());
  after.erase("status.ini");
  Tree unchanged = before;
  unchanged.erase("status.ini");
  EXPECT_EQ(after, unchanged) << "the log must not be created, and nothing else may change";
}

const LogCase kLogCases[] = {
    {"InAMissingFolder", [](const Sandbox& box) { return box.Path("missing/log.txt"); }, false},
    {"InAReadOnlyFolder",
     [](const Sandbox& box) {
       fs::create_directory(box.Path("locked"));
       chmod(box.Path("locked").c_str(), 0555);
       return box.Path("locked/log.txt");
     },
     true},
    {"NamingADirectory",
     [](const Sandbox& box) {
       fs::create_directory(box.Path("logdir"));
       return box.Path("logdir");
     },
     false},
    {"NamingAFifo", [](const Sandbox& box) { return MakeFifo(box, "log.fifo"); }, false},
    {"NamingASocket", [](const Sandbox& box) { return MakeSocket(box, "log.sock"); }, false},
    // A device is never a log, not even one that would take every line.
    {"NamingADevice", [](const Sandbox&) { return std::string("/dev/null"); }, false},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, UnwritableLog, ::testing::ValuesIn(kLogCases),
                         LabelOf<LogCase>);

// ---------------------------------------------------------------------------
// A huge file of one line, and a file that changes while it is read

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Writes size bytes of pattern (size a multiple of the pattern's length) in
// large blocks.
void WriteRepeated(const std::string& path, const std::string& pattern, std::uint64_t size) {
  std::string block;
  while (block.size() < (1u << 20)) block += pattern;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  for (std::uint64_t written = 0; written < size;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - written));
    ASSERT_EQ(std::fwrite(block.data(), 1, count, file), count);
    written += count;
  }
  ASSERT_EQ(std::fclose(file), 0);
}

// One line of Shift-JIS text, 1 GiB (64 MiB under sanitizers), without a
// line feed: the reader cuts it into pieces of 5118 bytes (2559 two-byte
// characters; the lead byte that would be the 5119th byte goes on to the
// next piece), the last piece holding what is left. Every count follows
// from the size, and the run keeps no more than a few buffers in memory.
TEST(HugeFile, OneLineOfAGibibyteIsCountedExactlyInBoundedMemory) {
  const std::uint64_t size = kSanitized ? (std::uint64_t{1} << 26) : (std::uint64_t{1} << 30);
  // 8 characters, one of them an ideographic space: 吾輩は猫　です.
  const std::string pattern = "\x8c\xe1\x94\x79\x82\xcd\x94\x4c\x81\x40\x82\xc5\x82\xb7\x81\x42";
  constexpr std::uint64_t kPiece = 5118;
  constexpr std::uint64_t kLineLength = 40;
  Sandbox box;
  const std::string target = box.Path("huge.txt");
  WriteRepeated(target, pattern, size);
  const std::string status =
      box.Write("status.ini", StatusText({{"LineLength", "40"}, {"PageLength", "1000"}}));

  const std::optional<int> result = RunWithDeadline(
      [&] {
        if (GetDataStatus(target.c_str(), status.c_str()) != 0) return 1;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        // Far below the file's size: nothing holds the whole line.
        return usage.ru_maxrss < 256 * 1024 ? 0 : 2;
      },
      std::chrono::minutes(5));
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, 0) << "1: the measurement failed; 2: it used too much memory";

  const std::uint64_t characters = size / 2;
  const std::uint64_t blanks = size / pattern.size();
  const std::uint64_t full_pieces = size / kPiece;
  const std::uint64_t rest_characters = (size % kPiece) / 2;
  const std::uint64_t per_piece = (kPiece / 2 + kLineLength - 1) / kLineLength;
  const std::uint64_t lines =
      full_pieces * per_piece + (rest_characters + kLineLength - 1) / kLineLength;
  const auto section = ReadStatusSection(status);
  EXPECT_EQ(section.at("Size"), std::to_string(size));
  EXPECT_EQ(section.at("CRLF"), std::to_string(characters));
  EXPECT_EQ(section.at("NoCRLF"), std::to_string(characters));
  EXPECT_EQ(section.at("NoCRLF_NoBLANK"), std::to_string(characters - blanks));
  EXPECT_EQ(section.at("LineCount"), std::to_string(lines));
  EXPECT_EQ(section.at("PageCount"), std::to_string((lines + 999) / 1000));
  EXPECT_EQ(section.at("ModCount"), std::to_string(lines % 1000));
}

// A writer appends whole lines to the target and cuts it back to nothing
// while it is measured again and again. Each measurement succeeds or fails
// cleanly, and what it reports is a text made of those lines: at most one
// line feed more per display line, one blank per line read, and never more
// characters than the file ever held.
TEST(ChangingFile, GrowingAndShrinkingWhileMeasured) {
  Sandbox box;
  const std::string line = "abcd efgh\n";  // 10 characters, 1 blank
  const std::string target = box.Write("target.txt", line);
  const std::string status = box.Write("status.ini", StatusText({{"LineLength", "4"}}));
  constexpr int kMeasurements = 40;
  constexpr std::size_t kMostLines = 2000;

  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::size_t lines = 1;
    while (!stop) {
      if (lines >= kMostLines) {
        if (truncate(target.c_str(), 0) != 0) ADD_FAILURE() << "truncate";
        lines = 0;
      }
      std::FILE* file = std::fopen(target.c_str(), "ab");
      if (file == nullptr) continue;
      std::string chunk;
      for (int i = 0; i < 50; ++i) chunk += line;
      std::fwrite(chunk.data(), 1, chunk.size(), file);
      std::fclose(file);
      lines += 50;
    }
  });

  int succeeded = 0;
  for (int i = 0; i < kMeasurements; ++i) {
    const int result = GetDataStatus(target.c_str(), status.c_str());
    ASSERT_TRUE(result == 0 || result == -1) << result;
    if (result != 0) continue;
    ++succeeded;
    auto section = ReadStatusSection(status);
    const long long crlf = std::stoll(section["CRLF"]);
    const long long no_crlf = std::stoll(section["NoCRLF"]);
    const long long no_blank = std::stoll(section["NoCRLF_NoBLANK"]);
    const long long display_lines = std::stoll(section["LineCount"]);
    const long long line_feeds = crlf - no_crlf;
    EXPECT_GE(no_crlf, no_blank);
    EXPECT_GE(no_blank, 0);
    EXPECT_LE(crlf, static_cast<long long>((kMostLines + 50) * line.size()));
    EXPECT_LE(no_crlf - no_blank, line_feeds + 1) << "one blank per line read";
    EXPECT_GE(display_lines, line_feeds + 1);
  }
  stop = true;
  writer.join();
  EXPECT_GT(succeeded, 0);
  EXPECT_EQ(TreeOf(box.root()).size(), 2u) << "no file beside the status file and the target";
}

// ---------------------------------------------------------------------------
// The time exports

// A result of the time exports: terminated within its 255 bytes.
std::string TimeResult(const char* result) {
  EXPECT_NE(result, nullptr);
  if (result == nullptr) return "(null)";
  const void* end = std::memchr(result, '\0', 255);
  EXPECT_NE(end, nullptr) << "no terminator within 255 bytes";
  return end == nullptr ? std::string(result, 255) : std::string(result);
}

struct EpochCase {
  const char* label;
  std::optional<std::string> epoch;
  std::optional<std::string> format;
};

void PrintTo(const EpochCase& c, std::ostream* out) { *out << c.label; }

class EpochToLocal : public ::testing::TestWithParam<EpochCase> {};

const char* OrNull(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

TEST_P(EpochToLocal, NullOrEmptyArgumentsGiveTheEmptyResult) {
  const EpochCase& c = GetParam();
  AdjustEpochDateTimeToLocal("0", "stale");  // the next call must clear this
  EXPECT_EQ(TimeResult(AdjustEpochDateTimeToLocal(OrNull(c.epoch), OrNull(c.format))), "");
}

const EpochCase kEmptyEpochCases[] = {
    {"NullEpoch", std::nullopt, "%Y"},
    {"NullFormat", "1196394844", std::nullopt},
    {"BothNull", std::nullopt, std::nullopt},
    {"EmptyFormat", "1196394844", ""},
    {"BothEmpty", "", ""},
    {"NegativeEpoch", "-1", "%Y"},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, EpochToLocal, ::testing::ValuesIn(kEmptyEpochCases),
                         LabelOf<EpochCase>);

TEST(EpochToLocalText, EmptyEpochReadsAsZero) {
  // Epoch 0 falls in 1969 west of UTC and in 1970 elsewhere.
  const std::string year = TimeResult(AdjustEpochDateTimeToLocal("", "%Y"));
  EXPECT_TRUE(year == "1969" || year == "1970") << year;
}

TEST(EpochToLocalText, FormatOf10000BytesGivesAtMost254Bytes) {
  std::string format;
  while (format.size() < 10000) format += "%A %B %#c %Z ";
  for (const std::string& f : {format, std::string(10000, 'x'), std::string(10000, '%'),
                               std::string(9999, 'x') + "%", std::string(10000, '\x82')}) {
    const std::string result = TimeResult(AdjustEpochDateTimeToLocal("1196394844", f.c_str()));
    EXPECT_LE(result.size(), 254u);
    EXPECT_GE(result.size(), f.find('%') == std::string::npos ? 253u : 200u);
  }
}

TEST(EpochToLocalText, EpochTextOf10000BytesIsReadAndFormatted) {
  const std::string digits(10000, '7');
  const std::string spaces = std::string(9990, ' ') + "42";
  for (const std::string& epoch : {digits, spaces, std::string(10000, '-')}) {
    const std::string result = TimeResult(AdjustEpochDateTimeToLocal(epoch.c_str(), "%Y%m%d"));
    EXPECT_LE(result.size(), 8u);
  }
}

struct DateTimeCase {
  const char* label;
  std::optional<std::string> datetime;
  const char* expected;  // nullptr: any epoch value of -1 or more
};

void PrintTo(const DateTimeCase& c, std::ostream* out) { *out << c.label; }

class LocalToEpoch : public ::testing::TestWithParam<DateTimeCase> {};

TEST_P(LocalToEpoch, GivesAnEpochValueOrMinusOne) {
  const DateTimeCase& c = GetParam();
  const std::string result = TimeResult(AdjustLocalDateTimeToEpoch(OrNull(c.datetime)));
  if (c.expected != nullptr) {
    EXPECT_EQ(result, c.expected);
  } else {
    EXPECT_TRUE(IsEpochText(result)) << result;
  }
}

const DateTimeCase kDateTimeCases[] = {
    {"Null", std::nullopt, "-1"},
    {"Empty", "", "-1"},
    {"TenThousandDigits", std::string(10000, '9'), "-1"},
    {"TenThousandBytesAfterAValidDateTime", "20071130125404" + std::string(9986, '7'), nullptr},
    {"TenThousandBlanks", std::string(10000, ' '), "-1"},
    {"TenThousandHighBytes", std::string(10000, '\xFF'), "-1"},
};

INSTANTIATE_TEST_SUITE_P(Catalogue, LocalToEpoch, ::testing::ValuesIn(kDateTimeCases),
                         LabelOf<DateTimeCase>);

// TZ is captured when the library is loaded, so each value is tried in a
// fresh copy of this program: the test below does the work there and is
// skipped when the suite runs it directly.
constexpr const char* kChildMarker = "VELTO_HARDENING_TZ_CHILD";

TEST(TimeZoneInChild, ConversionsUnderTheLoadedTz) {
  if (std::getenv(kChildMarker) == nullptr) GTEST_SKIP() << "runs only in a child with its own TZ";
  for (const char* epoch : {"0", "1196394844", "2147483647"}) {
    const std::string result = TimeResult(AdjustEpochDateTimeToLocal(epoch, "%Y %Z %z %#c %j"));
    EXPECT_LE(result.size(), 254u);
  }
  EXPECT_TRUE(IsEpochText(TimeResult(AdjustLocalDateTimeToEpoch("20071130125404"))));
}

TEST(TimeZoneOf10000Bytes, GivesResultsOfAtMost254Bytes) {
  const std::vector<std::string> zones = {
      std::string(10000, 'A'),
      "JST-9" + std::string(9995, '9'),
      "ABC-" + std::string(9996, '9'),
      "XYZ" + std::string(9997, ':'),
      ":" + std::string(9999, 'z'),
      [] {
        std::string up;
        while (up.size() < 10000) up += "../";
        return up;
      }(),
      "EST5EDT," + std::string(9992, 'M'),
  };
  for (const std::string& zone : zones) {
    const SelfRun run = RunSelf({"--gtest_filter=TimeZoneInChild.ConversionsUnderTheLoadedTz"},
                                {{"TZ", zone}, {kChildMarker, "1"}});
    EXPECT_EQ(run.exit_code, 0) << zone.substr(0, 12) << "...\n" << run.output;
    EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
  }
}

}  // namespace
}  // namespace velto::testing
