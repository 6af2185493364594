// One row of a markup rule table: a text, the layout it must give with
// one display line per counted line, its counted line ends and its pages.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "marked_text.h"

namespace velto::testing {

struct RuleCase {
  const char* name;
  std::string_view input;   // UTF-8
  std::string_view layout;  // see LayOut
  std::int64_t line_ends;   // line ends counted
  std::int64_t pages = 1;
};

inline void PrintTo(const RuleCase& c, std::ostream* out) { *out << c.name; }

inline std::string RuleName(const ::testing::TestParamInfo<RuleCase>& info) { return info.param.name; }

// The row under settings; the count of the text must agree with its walk.
inline void ExpectRule(const RuleCase& c, const Settings& settings) {
  const Layout layout = LayOut(c.input, settings);
  EXPECT_EQ(layout.lines, c.layout);
  EXPECT_EQ(layout.counts.crlf - layout.counts.no_crlf, c.line_ends);
  EXPECT_EQ(layout.counts.page_count, c.pages);
  const Result counted = MeasureBytes(Sjis(c.input), settings);
  ASSERT_TRUE(counted.ok());
  EXPECT_EQ(counted.counts.crlf, layout.counts.crlf);
  EXPECT_EQ(counted.counts.no_crlf, layout.counts.no_crlf);
  EXPECT_EQ(counted.counts.no_crlf_no_blank, layout.counts.no_crlf_no_blank);
  EXPECT_EQ(counted.counts.line_count, layout.counts.line_count);
  EXPECT_EQ(counted.counts.page_count, layout.counts.page_count);
  EXPECT_EQ(counted.counts.mod_count, layout.counts.mod_count);
  EXPECT_EQ(counted.counts.ruby_spans, layout.counts.ruby_spans);
  EXPECT_EQ(counted.counts.ruby_characters, layout.counts.ruby_characters);
}

}  // namespace velto::testing
