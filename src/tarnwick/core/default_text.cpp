#include "tarnwick/core/default_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tarnwick {

void AppendNumText(std::string& out, double value) {
  if (value == 0.0 || !std::isfinite(value)) {
    if (std::isnan(value)) {
      out += "NaN";
      return;
    }
    if (std::isinf(value)) {
      out += value < 0 ? "-Inf" : "Inf";
      return;
    }
    out += '0';
    return;
  }
  char buf[40];
  const double mag = std::fabs(value);
  if (mag >= 1e-4 && mag < 1e15) {
    // The shortest text that reads back as the same double is, whenever it has at most 15
    // significant digits, exactly the 15-digit rendering with its trailing zeros dropped; it is
    // several times cheaper to produce. Only longer ones need rounding to 15 digits.
    const auto f = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    int significant = 0;
    bool started = false;
    for (const char* p = buf; p < f.ptr; ++p) {
      if (*p < '0' || *p > '9') continue;
      started = started || *p != '0';
      significant += started;
    }
    if (significant <= 15) {
      out.append(buf, static_cast<std::size_t>(f.ptr - buf));
      return;
    }
  }
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  char* end = r.ptr;
  char* e = static_cast<char*>(std::memchr(buf, 'e', static_cast<std::size_t>(end - buf)));
  if (e == nullptr) {
    out.append(buf, static_cast<std::size_t>(end - buf));
    return;
  }
  // The host writes exponents as E+15 / E-05: upper case, sign, at least two digits.
  out.append(buf, static_cast<std::size_t>(e - buf));
  out += 'E';
  const char* q = e + 1;
  char sign = '+';
  if (*q == '+' || *q == '-') sign = *q++;
  out += sign;
  const std::size_t nd = static_cast<std::size_t>(end - q);
  if (nd < 2) out += '0';
  out.append(q, nd);
}

std::string NumText(double value) {
  std::string s;
  AppendNumText(s, value);
  return s;
}

std::string NumText(std::int32_t value) { return std::to_string(value); }
std::string NumText(std::int64_t value) { return std::to_string(value); }
std::string NumText(Currency value) { return value.Text(); }

std::string DateText(Date value) {
  const YearMonthDay ymd = value.Ymd();
  // The year always has four digits ("1/1/0100"): a three-digit year would not read back as a
  // date, since date text takes two- or four-digit years only.
  char year[16];
  std::snprintf(year, sizeof year, "%04d", ymd.year);
  std::string s = std::to_string(ymd.month) + "/" + std::to_string(ymd.day) + "/" + year;
  const int secs = value.SecondsOfDay();
  if (secs != 0) {
    int h = secs / 3600;
    const int m = secs / 60 % 60, sec = secs % 60;
    const char* ampm = h < 12 ? " AM" : " PM";
    h %= 12;
    if (h == 0) h = 12;
    char buf[24];
    std::snprintf(buf, sizeof buf, " %d:%02d:%02d%s", h, m, sec, ampm);
    s += buf;
  }
  return s;
}

std::string BoolText(bool value) { return value ? "True" : "False"; }

}  // namespace tarnwick
