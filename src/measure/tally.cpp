#include "measure/tally.h"

#include <cstring>

namespace velto::measure {

std::int64_t Tally::AddText(std::string_view line) {
  const LineCounts counts = CountCharactersAndBlanks(line);
  // A line feed, when the line has one, is a character of CRLF but not of
  // the two sums without line ends.
  return AddCounted(counts, std::memchr(line.data(), '\n', line.size()) != nullptr);
}

std::int64_t Tally::AddCounted(LineCounts counts, bool line_end) {
  const std::int64_t characters = counts.characters;
  const std::int64_t line_ends = line_end ? 1 : 0;
  sums_.crlf += characters;
  sums_.no_crlf += characters - line_ends;
  sums_.no_crlf_no_blank += characters - counts.blanks - line_ends;
  return characters;
}

void Tally::AddDisplayLines(std::int64_t count) {
  sums_.line_count += count;
  section_lines_ += count;
}

// The division is unsigned, as the page length is; without paging there are
// no pages at all.
std::int64_t Tally::PagesOf(std::int64_t lines) const {
  if (page_length_ == 0) return 0;
  const auto unsigned_lines = static_cast<std::uint64_t>(lines);
  return static_cast<std::int64_t>(unsigned_lines / page_length_ +
                                   (unsigned_lines % page_length_ != 0 ? 1 : 0));
}

void Tally::PageBreak() {
  if (section_lines_ == 0 || page_length_ == 0) return;
  pages_before_section_ += PagesOf(section_lines_);
  last_page_lines_ = static_cast<std::int64_t>(static_cast<std::uint64_t>(section_lines_) % page_length_);
  section_lines_ = 0;
}

LinePosition Tally::NextPosition() const {
  if (page_length_ == 0) return {1, sums_.line_count + 1};
  const auto index = static_cast<std::uint64_t>(section_lines_);
  return {pages_before_section_ + static_cast<std::int64_t>(index / page_length_) + 1,
          static_cast<std::int64_t>(index % page_length_) + 1};
}

Counts Tally::Sums() const {
  Counts counts = sums_;
  if (page_length_ == 0) return counts;
  counts.page_count = pages_before_section_ + PagesOf(section_lines_);
  counts.mod_count =
      section_lines_ != 0
          ? static_cast<std::int64_t>(static_cast<std::uint64_t>(section_lines_) % page_length_)
          : last_page_lines_;
  return counts;
}

}  // namespace velto::measure
