#include "datetime/decimal.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace velto::datetime {
namespace {

struct DecimalCase {
  std::string text;
  std::int32_t value;
};

void PrintTo(const DecimalCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ReadDecimalTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(ReadDecimalTest, ReadsTheValue) {
  EXPECT_EQ(ReadDecimal(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadDecimalTest,
    ::testing::Values(
        DecimalCase{"0", 0}, DecimalCase{"42", 42}, DecimalCase{"+42", 42},
        DecimalCase{"-42", -42}, DecimalCase{" +42abc", 42},
        DecimalCase{std::string(" \t\n\v\f\r-7", 8), -7}, DecimalCase{"", 0},
        DecimalCase{"abc", 0}, DecimalCase{"+", 0}, DecimalCase{"-", 0},
        DecimalCase{"+-1", 0}, DecimalCase{"--1", 0}, DecimalCase{"- 1", 0},
        DecimalCase{"1 2", 1}, DecimalCase{"0x10", 0}, DecimalCase{"007", 7},
        DecimalCase{"\xa0" "5", 0},  // only the six listed bytes are white space
        DecimalCase{"2147483647", 2147483647},
        DecimalCase{"2147483648", -2147483647 - 1},
        DecimalCase{"-2147483648", -2147483647 - 1},
        DecimalCase{"4294967295", -1}, DecimalCase{"4294967296", 0},
        DecimalCase{"4294967338", 42},
        DecimalCase{"99999999999999999999", 1661992959},
        DecimalCase{"-99999999999999999999", -1661992959}));

TEST(WrappingTest, ArithmeticWrapsInto32Bits) {
  EXPECT_EQ(WrappingAdd(2147483647, 1), -2147483647 - 1);
  EXPECT_EQ(WrappingAdd(-2147483647 - 1, -1), 2147483647);
  EXPECT_EQ(WrappingMultiply(65536, 65536), 0);
  EXPECT_EQ(WrappingMultiply(596524, 3600), -2147480896);
  EXPECT_EQ(WrappingNegate(-2147483647 - 1), -2147483647 - 1);
  EXPECT_EQ(WrappingNegate(5), -5);
}

}  // namespace
}  // namespace velto::datetime
