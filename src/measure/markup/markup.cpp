#include "measure/markup/markup.h"

#include "measure/markup/aozora.h"
#include "measure/markup/pixiv.h"
#include "measure/markup/web.h"

namespace velto::measure::markup {

std::unique_ptr<Filter> MakeFilter(Markup markup, bool aozora_body_only) {
  switch (markup) {
    case Markup::kNone:
      break;
    case Markup::kAozora:
      return MakeAozoraFilter(aozora_body_only);
    case Markup::kWeb:
      return MakeWebFilter();
    case Markup::kPixiv:
      return MakePixivFilter();
  }
  return nullptr;
}

}  // namespace velto::measure::markup
