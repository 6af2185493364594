#include "measure/markup/markup.h"

namespace velto::measure::markup {

std::unique_ptr<Filter> MakeFilter(Markup markup, bool /*aozora_body_only*/) {
  switch (markup) {
    case Markup::kNone:
    case Markup::kAozora:
    case Markup::kWeb:
    case Markup::kPixiv:
      break;
  }
  return nullptr;
}

}  // namespace velto::measure::markup
