#include "tarnwick/core/report_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "tarnwick/core/internal/int128.h"

namespace tarnwick {

namespace {

struct Pattern {
  bool percent = false;
  bool point = false;
  bool grouping = false;
  int minInt = 0;    // integer digits always written (from the leftmost "0" to the point)
  int decimals = 0;  // placeholders after the point
  int forced = 0;    // fraction digits always written (through the last "0")
};

Pattern ParsePattern(std::string_view p) {
  Pattern r;
  if (!p.empty() && p.back() == '%') {
    r.percent = true;
    p.remove_suffix(1);
  }
  const std::size_t dot = p.find('.');
  const std::string_view ip = dot == std::string_view::npos ? p : p.substr(0, dot);
  r.point = dot != std::string_view::npos;
  int placeholders = 0;
  bool seenPlaceholder = false;
  bool pendingComma = false;
  for (char c : ip) {
    if (c == '0' || c == '#') {
      if (pendingComma) r.grouping = true;
      seenPlaceholder = true;
      ++placeholders;
      if (c == '0' && r.minInt == 0) r.minInt = -placeholders;  // position of leftmost zero
    } else if (c == ',' && seenPlaceholder) {
      pendingComma = true;
    }
  }
  if (r.minInt < 0) r.minInt = placeholders + r.minInt + 1;
  if (r.point) {
    const std::string_view fp = p.substr(dot + 1);
    for (char c : fp) {
      if (c == '0' || c == '#') {
        ++r.decimals;
        if (c == '0') r.forced = r.decimals;
      }
    }
  }
  return r;
}

constexpr std::uint64_t kPow10[] = {1ULL,
                                    10ULL,
                                    100ULL,
                                    1000ULL,
                                    10000ULL,
                                    100000ULL,
                                    1000000ULL,
                                    10000000ULL,
                                    100000000ULL,
                                    1000000000ULL,
                                    10000000000ULL,
                                    100000000000ULL,
                                    1000000000000ULL,
                                    10000000000000ULL,
                                    100000000000000ULL,
                                    1000000000000000ULL,
                                    10000000000000000ULL,
                                    100000000000000000ULL,
                                    1000000000000000000ULL,
                                    10000000000000000000ULL};

// Writes the digits of v (at least one) to the end of buf; returns the start.
char* U128Digits(uint128_t v, char* end) {
  char* p = end;
  do {
    *--p = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  return p;
}

// The shared emitter: sign, integer digits (as text, "0" for zero), fraction digits (exactly
// `decimals` of them).
void Emit(std::string& out, const Pattern& pat, bool negative, std::string_view intDigits,
          std::string_view fracDigits) {
  const bool intZero = intDigits.size() == 1 && intDigits[0] == '0';
  int fracShown = pat.forced;
  for (int i = static_cast<int>(fracDigits.size()); i > fracShown; --i) {
    if (fracDigits[static_cast<std::size_t>(i - 1)] != '0') {
      fracShown = i;
      break;
    }
  }
  bool allZero = intZero;
  for (char c : fracDigits) allZero = allZero && c == '0';
  if (negative && !allZero) out += '-';

  // integer part: zero-padded to minInt digits, nothing at all for a zero under "#" only
  int width = intZero ? 0 : static_cast<int>(intDigits.size());
  if (intZero) intDigits = std::string_view();
  const int pad = pat.minInt > width ? pat.minInt - width : 0;
  const int total = width + pad;
  for (int i = 0; i < total; ++i) {
    if (pat.grouping && i > 0 && (total - i) % 3 == 0) out += ',';
    out += i < pad ? '0' : intDigits[static_cast<std::size_t>(i - pad)];
  }
  if (pat.point) {
    out += '.';
    out.append(fracDigits.substr(0, static_cast<std::size_t>(fracShown)));
    // an amount carries at most 17 decimals; zeros the pattern still forces come after them
    if (static_cast<std::size_t>(fracShown) > fracDigits.size())
      out.append(static_cast<std::size_t>(fracShown) - fracDigits.size(), '0');
  }
  if (pat.percent) out += '%';
}

void EmitScaled(std::string& out, const Pattern& pat, bool negative, uint128_t scaled,
                int decimals) {
  char ibuf[48];
  const uint128_t p10 = kPow10[decimals];
  char* iend = ibuf + sizeof ibuf;
  char* istart = U128Digits(scaled / p10, iend);
  char fbuf[24];
  uint128_t f = scaled % p10;
  for (int i = decimals - 1; i >= 0; --i) {
    fbuf[i] = static_cast<char>('0' + static_cast<int>(f % 10));
    f /= 10;
  }
  Emit(out, pat, negative, std::string_view(istart, static_cast<std::size_t>(iend - istart)),
       std::string_view(fbuf, static_cast<std::size_t>(decimals)));
}

// A finite non-negative double as m / 2^k with m a whole number below 2^53; m is 0 for zero.
int Binary(double mag, std::uint64_t& m) {
  const auto bits = std::bit_cast<std::uint64_t>(mag);
  const int biased = static_cast<int>(bits >> 52);
  m = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return 1074;  // subnormal (or zero): m / 2^1074
  m |= std::uint64_t{1} << 52;
  return 1075 - biased;
}

// round(m * 10^p / 2^k), halves away from zero, exactly: m below 2^53, p at most 19, so the
// product stays below 2^117.
uint128_t ScaleExact(std::uint64_t m, int p, int k) {
  const uint128_t prod = static_cast<uint128_t>(m) * kPow10[p];
  if (k >= 118) return 0;  // below half of one unit of the last place
  const uint128_t q = prod >> k;
  const uint128_t rest = prod - (q << k);
  const uint128_t half = static_cast<uint128_t>(1) << (k - 1);
  return rest >= half ? q + 1 : q;
}

}  // namespace

void AppendNumber(std::string& out, double value, std::string_view pattern) {
  const Pattern pat = ParsePattern(pattern);
  if (!std::isfinite(value)) {
    AppendNumText(out, value);
    return;
  }
  const bool negative = std::signbit(value);
  const double mag = std::fabs(value);
  const int d = pat.decimals;
  // A percentage moves the point two places: the digits are those of the value itself, so
  // neither the scaling by 100 nor by the decimals rounds anything before the one rounding of
  // the exact value of the double (99999999999.99499 with "###,###.00" is 99,999,999,999.99).
  const int p = pat.percent ? d + 2 : d;
  std::uint64_t m = 0;
  const int k = Binary(mag, m);  // mag = m / 2^k
  if (m == 0 || (k > 0 && p <= 19)) {
    EmitScaled(out, pat, negative, m == 0 ? 0 : ScaleExact(m, p, k), d);
    return;
  }
  // A whole number (no binary digits below the point), or more decimals than the exact path
  // carries: the fixed text of the double is its exact value to the last digit asked for. It
  // has up to 309 integer digits.
  char local[400];
  std::string heap;
  char* buf = local;
  std::size_t cap = sizeof local;
  if (const std::size_t need = 312 + static_cast<std::size_t>(p); need > cap) {
    heap.resize(need);
    buf = heap.data();
    cap = need;
  }
  const auto r = std::to_chars(buf, buf + cap, mag, std::chars_format::fixed, p);
  std::string_view all(buf, static_cast<std::size_t>(r.ptr - buf));
  std::size_t dot = all.find('.');
  if (pat.percent) {
    // "I.FFrest" -> "IFF.rest": the percentage digits without a second rounding
    std::rotate(buf + dot, buf + dot + 1, buf + dot + 3);
    dot += 2;
    if (d == 0) all = all.substr(0, dot);
  }
  Emit(out, pat, negative, all.substr(0, dot),
       dot >= all.size() ? std::string_view() : all.substr(dot + 1));
}

bool RoundScaled(double value, int decimals, std::uint64_t& out) {
  if (!std::isfinite(value) || decimals < 0 || decimals > 19) return false;
  std::uint64_t m = 0;
  const int k = Binary(std::fabs(value), m);
  if (m == 0) {
    out = 0;
    return true;
  }
  // m is below 2^53, so a whole number m * 2^-k with -k of 12 or more is 2^64 or more.
  if (k <= -12) return false;
  const uint128_t r =
      k > 0 ? ScaleExact(m, decimals, k) : (static_cast<uint128_t>(m) << -k) * kPow10[decimals];
  if (r >> 64 != 0) return false;
  out = static_cast<std::uint64_t>(r);
  return true;
}

void AppendNumber(std::string& out, Currency value, std::string_view pattern) {
  const Pattern pat = ParsePattern(pattern);
  const bool negative = value.raw() < 0;
  uint128_t mag = negative ? static_cast<uint128_t>(-static_cast<int128_t>(value.raw()))
                           : static_cast<uint128_t>(value.raw());
  if (pat.percent) mag *= 100;
  // mag counts ten-thousandths; bring it to the pattern's decimals
  const int d = pat.decimals > 17 ? 17 : pat.decimals;
  if (d >= 4) {
    mag *= kPow10[d - 4];
  } else {
    const std::uint64_t div = kPow10[4 - d];
    const uint128_t q = mag / div, rem = mag % div;
    mag = q + (rem * 2 >= div ? 1 : 0);  // halves away from zero
  }
  EmitScaled(out, pat, negative, mag, d);
}

std::string FormatNumber(double value, std::string_view pattern) {
  std::string s;
  AppendNumber(s, value, pattern);
  return s;
}

std::string FormatNumber(std::int32_t value, std::string_view pattern) {
  return FormatNumber(static_cast<double>(value), pattern);
}

std::string FormatNumber(std::int64_t value, std::string_view pattern) {
  // Whole numbers up to 2^63 stay exact through the fixed-point path when they fit, else double.
  if (value > -922337203685477LL && value < 922337203685477LL)
    return FormatNumber(Currency::FromRaw(value * Currency::kScale), pattern);
  return FormatNumber(static_cast<double>(value), pattern);
}

std::string FormatNumber(Currency value, std::string_view pattern) {
  std::string s;
  AppendNumber(s, value, pattern);
  return s;
}

void AppendLabelLine(std::string& out, std::string_view label, std::string_view value) {
  out += label;
  out += kTab;
  out += value;
  out += kCrLf;
}

void AppendLabelLine(std::string& out, std::string_view label, double value,
                     std::string_view pattern) {
  out += label;
  out += kTab;
  AppendNumber(out, value, pattern);
  out += kCrLf;
}

}  // namespace tarnwick
