#include "datetime/time_format.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

namespace velto::datetime {
namespace {

constexpr std::array<std::string_view, 7> kShortWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                            "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 7> kWeekdays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> kShortMonths = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 12> kMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// A name by index; a broken-down time with a field out of range (never
// made by the conversions) gets no name rather than a read out of bounds.
template <std::size_t N>
std::string_view NameAt(const std::array<std::string_view, N>& names, std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < N ? names[static_cast<std::size_t>(index)]
                                                           : std::string_view();
}

bool IsCp932LeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The text being produced. It keeps one byte beyond the limit, so that the
// cut can tell a text of exactly kMaxFormattedBytes from a longer one, and
// stops growing after that.
class Expansion {
 public:
  bool Full() const { return text_.size() > kMaxFormattedBytes; }

  void Append(std::string_view bytes) {
    const std::size_t room = kMaxFormattedBytes + 1 - text_.size();
    text_.append(bytes.substr(0, room));
  }

  void AppendNumber(std::int32_t value, int digits) {
    std::array<char, 16> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    const auto length = static_cast<int>(result.ptr - buffer.data());
    for (int pad = length; pad < digits; ++pad) Append("0");
    Append(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
  }

  // The text, cut to the limit. The walk goes forward from the start,
  // because only from there can a lead byte be told from a trail byte.
  std::string Finish() && {
    if (text_.size() <= kMaxFormattedBytes) return std::move(text_);
    std::size_t end = 0;
    while (end < kMaxFormattedBytes) {
      const std::size_t step = IsCp932LeadByte(text_[end]) ? 2 : 1;
      if (end + step > kMaxFormattedBytes) break;
      end += step;
    }
    text_.resize(end);
    return std::move(text_);
  }

 private:
  std::string text_;
};

int FullYear(const BrokenDownTime& t) { return t.year + 1900; }

void AppendShortDate(Expansion& out, const BrokenDownTime& t) {
  out.AppendNumber(t.month + 1, 2);
  out.Append("/");
  out.AppendNumber(t.day, 2);
  out.Append("/");
  out.AppendNumber((FullYear(t) % 100 + 100) % 100, 2);
}

void AppendLongDate(Expansion& out, const BrokenDownTime& t) {
  out.Append(NameAt(kWeekdays, t.weekday));
  out.Append(", ");
  out.Append(NameAt(kMonths, t.month));
  out.Append(" ");
  out.AppendNumber(t.day, 2);
  out.Append(", ");
  out.AppendNumber(FullYear(t), 4);
}

void AppendDate(Expansion& out, const BrokenDownTime& t, bool long_form) {
  if (long_form) {
    AppendLongDate(out, t);
  } else {
    AppendShortDate(out, t);
  }
}

void AppendClock(Expansion& out, const BrokenDownTime& t) {
  out.AppendNumber(t.hour, 2);
  out.Append(":");
  out.AppendNumber(t.minute, 2);
  out.Append(":");
  out.AppendNumber(t.second, 2);
}

// The numeric conversions; nullopt for any other character.
std::optional<std::int32_t> NumberOf(char conversion, const BrokenDownTime& t) {
  switch (conversion) {
    case 'd': return t.day;
    case 'H': return t.hour;
    case 'I': return t.hour % 12 == 0 ? 12 : t.hour % 12;
    case 'j': return t.year_day + 1;
    case 'm': return t.month + 1;
    case 'M': return t.minute;
    case 'S': return t.second;
    case 'U': return (t.year_day + 7 - t.weekday) / 7;
    case 'w': return t.weekday;
    case 'W': return (t.year_day + 7 - (t.weekday + 6) % 7) / 7;
    case 'y': return (FullYear(t) % 100 + 100) % 100;
    case 'Y': return FullYear(t);
    default: return std::nullopt;
  }
}

int DigitsOf(char conversion) {
  switch (conversion) {
    case 'j': return 3;
    case 'w': return 1;
    case 'Y': return 4;
    default: return 2;
  }
}

void AppendConversion(Expansion& out, char conversion, bool alternate, const BrokenDownTime& t,
                      const TimeZoneSettings& zone) {
  if (const auto number = NumberOf(conversion, t)) {
    out.AppendNumber(*number, alternate ? 1 : DigitsOf(conversion));
    return;
  }
  switch (conversion) {
    case 'a': out.Append(NameAt(kShortWeekdays, t.weekday)); break;
    case 'A': out.Append(NameAt(kWeekdays, t.weekday)); break;
    case 'b': out.Append(NameAt(kShortMonths, t.month)); break;
    case 'B': out.Append(NameAt(kMonths, t.month)); break;
    case 'c':
      AppendDate(out, t, alternate);
      out.Append(" ");
      AppendClock(out, t);
      break;
    case 'x': AppendDate(out, t, alternate); break;
    case 'X': AppendClock(out, t); break;
    case 'p': out.Append(t.hour < 12 ? "AM" : "PM"); break;
    case 'Z':
    case 'z': out.Append(t.daylight != 0 ? zone.daylight_name : zone.standard_name); break;
    case '%': out.Append("%"); break;
    default: break;  // an unknown conversion drops out alone
  }
}

}  // namespace

std::string FormatTime(std::string_view format, const BrokenDownTime& time,
                       const TimeZoneSettings& zone) {
  Expansion out;
  std::size_t pos = 0;
  while (pos < format.size() && !out.Full()) {
    const char c = format[pos++];
    if (c != '%') {
      out.Append(std::string_view(&c, 1));
      continue;
    }
    const bool alternate = pos < format.size() && format[pos] == '#';
    if (alternate) ++pos;
    if (pos == format.size()) break;  // a lone "%" or "%#" ends the format
    AppendConversion(out, format[pos++], alternate, time, zone);
  }
  return std::move(out).Finish();
}

}  // namespace velto::datetime
