#include "tarnwick/expr/is_num.h"

#include <cstdint>
#include <string>

#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

namespace {

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common amount "[-+]digits[.digits]" with at most 15 digits: the digits as a whole number
// and the power of ten are both exact doubles, so one division gives the correctly rounded
// value, the same as the general number reader. Anything else goes to that reader.
bool FastDecimal(std::string_view s, double& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint64_t m = 0;
  int digits = 0, decimals = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      if (++digits > 15) return false;
      m = m * 10 + static_cast<std::uint64_t>(c - '0');
      decimals += point;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double v = static_cast<double>(m) / kPow10[decimals];
  value = negative ? -v : v;
  return true;
}

}  // namespace

bool IsNUM(std::string_view text, double& value) {
  value = 0;
  const std::string_view t = TrimView(text);
  if (t.empty()) return false;
  // Amounts are short; a long text is cleaned on the heap rather than truncated.
  char local[64];
  std::string heap;
  char* out = local;
  if (t.size() > sizeof local) {
    heap.resize(t.size());
    out = heap.data();
  }
  std::size_t n = 0;
  for (const char c : t) {
    if (c == '"' || c == ')' || c == ',' || c == '$') continue;
    if (c == '(') {
      out[n++] = '-';
    } else if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
      out[n++] = c;
    } else {
      return false;
    }
  }
  const std::string_view cleaned(out, n);
  if (FastDecimal(cleaned, value)) return true;
  const auto v = ParseNumber(cleaned);
  if (!v) return false;
  value = *v;
  return true;
}

}  // namespace tarnwick
