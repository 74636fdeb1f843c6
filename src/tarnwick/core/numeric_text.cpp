#include "tarnwick/core/numeric_text.h"

#include <charconv>
#include <cstdint>
#include <string>

namespace tarnwick {

namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Every other form: blanks, signs before or after, "$", grouping marks, parentheses, exponents.
[[gnu::noinline]] std::optional<double> ParseNumberText(std::string_view s) {
  std::size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  while (n > i && s[n - 1] == ' ') --n;
  if (i == n) return std::nullopt;

  bool negative = false;
  bool paren = false;
  bool signSeen = false;
  if (s[i] == '(') {
    if (s[n - 1] != ')') return std::nullopt;
    paren = true;
    ++i;
    --n;
    while (i < n && s[i] == ' ') ++i;
    while (n > i && s[n - 1] == ' ') --n;
  }
  // leading sign and currency sign, in either order, blanks allowed after them
  for (int k = 0; k < 2 && i < n; ++k) {
    if (!paren && !signSeen && (s[i] == '+' || s[i] == '-')) {
      negative = s[i] == '-';
      signSeen = true;
      ++i;
    } else if (s[i] == '$') {
      ++i;
    } else {
      break;
    }
    while (i < n && s[i] == ' ') ++i;
  }
  // trailing sign ("12-")
  if (!paren && !signSeen && n > i && (s[n - 1] == '+' || s[n - 1] == '-')) {
    negative = s[n - 1] == '-';
    --n;
    while (n > i && s[n - 1] == ' ') --n;
  }

  // Copy the number without grouping marks, with "e" for the exponent, into a local buffer.
  char local[128];
  std::string heap;
  char* out = local;
  const std::size_t cap = n - i + 2;
  if (cap > sizeof local) {
    heap.resize(cap);
    out = heap.data();
  }
  char* p = out;
  std::size_t digits = 0;
  for (; i < n && (IsDigit(s[i]) || s[i] == ','); ++i) {
    if (s[i] == ',') {
      if (digits == 0) return std::nullopt;
      continue;
    }
    *p++ = s[i];
    ++digits;
  }
  if (i < n && s[i] == '.') {
    *p++ = '.';
    for (++i; i < n && IsDigit(s[i]); ++i) {
      *p++ = s[i];
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    *p++ = 'e';
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) *p++ = s[i++];
    std::size_t expDigits = 0;
    for (; i < n && IsDigit(s[i]); ++i, ++expDigits) *p++ = s[i];
    if (expDigits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;

  double value = 0;
  const auto r = std::from_chars(out, p, value);
  if (r.ec == std::errc::result_out_of_range) {
    // a huge exponent is not a number the host can hold; a tiny one is zero
    const std::string_view t(out, static_cast<std::size_t>(p - out));
    const auto e = t.find('e');
    if (e != std::string_view::npos && e + 1 < t.size() && t[e + 1] == '-')
      return negative || paren ? -0.0 : 0.0;
    return std::nullopt;
  }
  if (r.ec != std::errc() || r.ptr != p) return std::nullopt;
  return (negative || paren) ? -value : value;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view s) {
  if (double v; ParsePlainDecimal(s, v)) return v;
  return ParseNumberText(s);
}

namespace {

// Reads 1..maxDigits digits at s[i]; returns the count read (0 when none).
int ReadDigits(std::string_view s, std::size_t& i, int maxDigits, int& value) {
  int count = 0;
  value = 0;
  while (i < s.size() && IsDigit(s[i]) && count < maxDigits + 1) {
    value = value * 10 + (s[i] - '0');
    ++i;
    ++count;
  }
  return count;
}

// "h:mm", "h:mm:ss", optionally followed by " AM" / " PM"; returns seconds of the day.
std::optional<int> ParseTime(std::string_view s) {
  std::size_t i = 0;
  int h = 0, m = 0, sec = 0;
  const int hd = ReadDigits(s, i, 2, h);
  if (hd < 1 || hd > 2 || i >= s.size() || s[i] != ':') return std::nullopt;
  ++i;
  if (ReadDigits(s, i, 2, m) != 2) return std::nullopt;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (ReadDigits(s, i, 2, sec) != 2) return std::nullopt;
  }
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size()) {
    const std::string_view rest = s.substr(i);
    const bool am = rest == "AM" || rest == "am" || rest == "A" || rest == "a";
    const bool pm = rest == "PM" || rest == "pm" || rest == "P" || rest == "p";
    if (!am && !pm) return std::nullopt;
    if (h < 1 || h > 12) return std::nullopt;
    if (am && h == 12) h = 0;
    if (pm && h != 12) h += 12;
  }
  if (h > 23 || m > 59 || sec > 59) return std::nullopt;
  return h * 3600 + m * 60 + sec;
}

}  // namespace

const char* DateOrderName(DateOrder order) {
  switch (order) {
    case DateOrder::kDmy: return "day/month/year";
    case DateOrder::kYmd: return "year/month/day";
    default: return "month/day/year";
  }
}

std::optional<Date> ParseDate(std::string_view s, DateOrder order) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  s = s.substr(b, e - b);
  if (s.empty()) return std::nullopt;

  std::size_t i = 0;
  int a = 0, c = 0, d = 0;
  const int na = ReadDigits(s, i, 4, a);
  if (na < 1 || i >= s.size()) return std::nullopt;
  const char sep = s[i];
  if (sep != '/' && sep != '-' && sep != '.') return std::nullopt;
  ++i;
  const int nc = ReadDigits(s, i, 2, c);
  if (nc < 1 || nc > 2 || i >= s.size() || s[i] != sep) return std::nullopt;
  ++i;
  const int nd = ReadDigits(s, i, 4, d);

  int year, month, day;
  if (na == 4) {
    // year first (an unambiguous ISO-style date), month and day in one or two digits
    if (nd < 1 || nd > 2) return std::nullopt;
    year = a;
    month = c;
    day = d;
  } else if (order == DateOrder::kYmd) {
    // a two-digit year first
    if (na != 2 || nd < 1 || nd > 2) return std::nullopt;
    year = a < 30 ? 2000 + a : 1900 + a;
    month = c;
    day = d;
  } else {
    if (na > 2) return std::nullopt;
    if (nd == 2) {
      year = d < 30 ? 2000 + d : 1900 + d;
    } else if (nd == 4) {
      year = d;
    } else {
      return std::nullopt;
    }
    month = order == DateOrder::kDmy ? c : a;
    day = order == DateOrder::kDmy ? a : c;
  }
  auto date = Date::FromYmd(year, month, day);
  if (!date) return std::nullopt;
  if (i == s.size()) return date;
  if (s[i] != ' ') return std::nullopt;
  while (i < s.size() && s[i] == ' ') ++i;
  const auto secs = ParseTime(s.substr(i));
  if (!secs) return std::nullopt;
  // before day 0 the host keeps the time as a positive fraction away from zero
  const double t = *secs / 86400.0;
  return Date(date->serial() < 0 ? date->serial() - t : date->serial() + t);
}

}  // namespace tarnwick
