// The shared library exports the five functions of the public header and
// nothing else: no C++ symbol of ours, no helper, leaks into a host's
// namespace.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace velto::testing {
namespace {

struct PipeCloser {
  void operator()(FILE* pipe) const { pclose(pipe); }
};

// The names of the dynamic symbols the library defines, without version
// suffixes and without the markers every shared object carries.
std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  const std::set<std::string> markers = {"_init", "_fini", "_edata", "_end", "__bss_start"};
  std::set<std::string> names;
  const std::unique_ptr<FILE, PipeCloser> pipe(
      popen(("nm -D --defined-only '" + library + "'").c_str(), "r"));
  if (!pipe) return names;
  std::string output;
  char buffer[4096];
  for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
    output.append(buffer, count);
  }
  std::istringstream lines(output);
  for (std::string address, type, name; lines >> address >> type >> name;) {
    name = name.substr(0, name.find('@'));
    if (markers.count(name) == 0) names.insert(name);
  }
  return names;
}

TEST(Exports, ExactlyThePublicFunctions) {
  const std::set<std::string> expected = {"GetFileStatus", "GetDataStatus", "GetStatus",
                                          "AdjustEpochDateTimeToLocal",
                                          "AdjustLocalDateTimeToEpoch"};
  EXPECT_EQ(DefinedDynamicSymbols(VELTO_SHARED_LIBRARY), expected);
}

}  // namespace
}  // namespace velto::testing
