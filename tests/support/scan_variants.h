// Tests that run once per variant of the line scan: a variant this build or
// this processor lacks is skipped, with the reason in the test's output.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "measure/line_counts.h"

namespace velto::measure {
// Test lists and failures name the variant.
inline void PrintTo(ScanVariant variant, std::ostream* out) { *out << NameOf(variant); }
}  // namespace velto::measure

namespace velto::testing {

class ScanVariantTest : public ::testing::TestWithParam<measure::ScanVariant> {
 protected:
  void SetUp() override {
    if (!measure::CanRun(GetParam())) {
      GTEST_SKIP() << measure::NameOf(GetParam()) << " is not built or not supported here";
    }
  }
};

inline std::string VariantName(const ::testing::TestParamInfo<measure::ScanVariant>& param) {
  return std::string(measure::NameOf(param.param));
}

}  // namespace velto::testing
