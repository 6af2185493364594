// Tests that run once per variant of a piece of code that comes in
// variants for different instruction sets (the line scan, the straight
// UTF-8 conversion). A variant this build or this processor lacks is
// skipped, with the reason in the test's output. The variant's own
// namespace gives NameOf and CanRun, and PrintTo names it in test lists.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace velto::testing {

template <typename Variant>
class VariantTest : public ::testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    if (!CanRun(this->GetParam())) {
      GTEST_SKIP() << NameOf(this->GetParam()) << " is not built or not supported here";
    }
  }
};

template <typename Variant>
std::string VariantName(const ::testing::TestParamInfo<Variant>& param) {
  return std::string(NameOf(param.param));
}

}  // namespace velto::testing
