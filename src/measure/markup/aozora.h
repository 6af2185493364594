// The Aozora notation's filters.
#pragma once

#include <memory>

#include "measure/markup/markup.h"

namespace velto::measure::markup {

// The text filter of the notation; with body_only, behind the filter that
// leaves out the header block and the colophon.
std::unique_ptr<Filter> MakeAozoraFilter(bool body_only);

// Leaves out the header block before the text and the colophon after it,
// and hands every other source line on to text, unchanged.
std::unique_ptr<Filter> MakeAozoraBodyFilter(std::unique_ptr<Filter> text);

}  // namespace velto::measure::markup
