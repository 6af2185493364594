// The pixiv novel notation's filter.
#pragma once

#include <memory>

#include "measure/markup/markup.h"

namespace velto::measure::markup {

std::unique_ptr<Filter> MakePixivFilter();

}  // namespace velto::measure::markup
