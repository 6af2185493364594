// Tests that run once per variant of the line scan.
#pragma once

#include <ostream>

#include "measure/line_counts.h"
#include "support/variant_test.h"

namespace velto::measure {
// Test lists and failures name the variant.
inline void PrintTo(ScanVariant variant, std::ostream* out) { *out << NameOf(variant); }
}  // namespace velto::measure

namespace velto::testing {
using ScanVariantTest = VariantTest<measure::ScanVariant>;
}  // namespace velto::testing
