#include "tarnwick/audit/misc.h"

#include <cmath>
#include <optional>
#include <vector>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "Sorts after 0" by character code; bytes of non-ASCII characters all do.
constexpr bool AfterZero(char c) { return static_cast<unsigned char>(c) > '0'; }

// The character mask of zc and ac: digits become X, an upper-case X becomes Y, anything else
// stays as it is (a non-ASCII character as "?"). One mask position per character; start[k] is
// the byte offset of character k in the text.
struct Mask {
  std::string mask;
  std::vector<std::size_t> start;
};

Mask MakeMask(std::string_view text) {
  Mask m;
  m.mask.reserve(text.size());
  m.start.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // continuation byte
    m.start.push_back(i);
    if (IsDigit(c)) {
      m.mask += 'X';
    } else if (c == 'X') {
      m.mask += 'Y';
    } else {
      m.mask += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    }
  }
  m.start.push_back(text.size());
  return m;
}

// 1-based search from position `from`, 0 when not found (positions as the host counts them).
std::size_t InStr(std::size_t from, std::string_view s, std::string_view what) {
  if (from < 1 || from > s.size()) return 0;
  const std::size_t p = s.find(what, from - 1);
  return p == std::string_view::npos ? 0 : p + 1;
}

// The characters at 1-based mask positions pos..pos+len-1, taken from the text.
std::string Chars(std::string_view text, const Mask& m, std::size_t pos, std::size_t len) {
  const std::size_t b = m.start[pos - 1];
  const std::size_t e = m.start[pos - 1 + len];
  return std::string(text.substr(b, e - b));
}

}  // namespace

cMisc::cMisc() {
  state_.fill(std::string_view());
  country_.fill(std::string_view());
  zone_.fill(std::string_view());
  init();
  acinit();
}

std::int32_t cMisc::Count(std::int16_t i) const {
  if (i < 0 || i >= kCounts) Raise(ErrorCode::SubscriptOutOfRange);
  return counts_[static_cast<std::size_t>(i)];
}

Variant cMisc::init() {
  counts_.fill(0);
  notRN_ = 0;
  return Variant{};
}

int cMisc::Roundness(std::string_view sText) {
  // The text without signs, brackets, "$" and grouping commas; on the stack for amount-sized
  // texts, since this runs once per row.
  char local[64];
  std::string heap;
  char* buf = local;
  if (sText.size() > sizeof local) {
    heap.resize(sText.size());
    buf = heap.data();
  }
  std::size_t len = 0;
  for (char c : sText)
    if (c != '+' && c != '-' && c != '(' && c != ')' && c != '$' && c != ',') buf[len++] = c;
  const std::string_view t(buf, len);

  std::size_t dots = 0, dot = std::string_view::npos;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (t[i] == '.') {
      ++dots;
      if (dot == std::string_view::npos) dot = i;
    }

  int z = 0;
  if (dots <= 1) {
    std::size_t end = dots == 0 ? t.size() : dot;
    while (end > 0 && t[end - 1] == '0') {
      ++z;
      --end;
    }
  }

  int f = 0;
  if (t.empty() || t.back() == '.') {
    f = 0;
  } else if (AfterZero(t.back())) {
    f = 1;
  } else if (dots == 1) {
    for (std::size_t i = dot + 1; i < t.size(); ++i) f += AfterZero(t[i]);
  }

  const int r = f == 0 ? z : 0;
  return r > kMaxRoundness ? kMaxRoundness : r;
}

std::int16_t cMisc::RNAddItem(std::string_view sText) {
  const int r = Roundness(sText);
  const std::int32_t c = AddChecked(counts_[static_cast<std::size_t>(r)], 1);
  const std::int32_t nr = r == 0 ? AddChecked(notRN_, 1) : notRN_;
  counts_[static_cast<std::size_t>(r)] = c;
  notRN_ = nr;
  return static_cast<std::int16_t>(r);
}

// The largest gap between the observed and the expected share of amounts with at most k
// trailing zeros, over the roundness counts held.
double cMisc::DStat() const {
  std::int64_t n = 0;
  int last = 0;
  for (int k = 0; k < kCounts; ++k) {
    n += counts_[static_cast<std::size_t>(k)];
    if (counts_[static_cast<std::size_t>(k)] >= 1) last = k;
  }
  // Random digits: each trailing digit is zero with chance 1/10, so at most k trailing zeros
  // has chance 0.9 + 0.09 + ... + 0.9 * 10^-k.
  double d = 0.0, observed = 0.0, expected = 0.0, term = 0.9;
  for (int k = 0; k <= last; ++k) {
    observed +=
        Div(static_cast<double>(counts_[static_cast<std::size_t>(k)]), static_cast<double>(n));
    expected += term;
    term /= 10.0;
    const double gap = std::fabs(expected - observed);
    if (gap > d) d = gap;
  }
  return d;
}

std::string cMisc::RNReport() const {
  std::int64_t shown = 0;  // counts 0..14, the report's total
  for (int k = 0; k <= kMaxRoundness; ++k) shown += counts_[static_cast<std::size_t>(k)];
  if (shown == 0) return "No observations";
  const double d = DStat();

  const double total = static_cast<double>(shown);
  std::string out = "Round Number report:";
  out += kCrLf;
  out += "d-stat: ";
  AppendNumber(out, d, "#.#####0");
  out += kCrLf;
  out += "Digits\tCount\tPct";
  out += kCrLf;
  out += "Not Round\t";
  AppendNumber(out, static_cast<double>(notRN_), "###,###,##0");
  out += kTab;
  AppendNumber(out, Div(static_cast<double>(notRN_), total), "##.#0%");
  out += kCrLf;
  for (int k = 1; k <= kMaxRoundness; ++k) {
    const std::int32_t c = counts_[static_cast<std::size_t>(k)];
    if (c <= 0) continue;
    out += NumText(static_cast<std::int32_t>(k));
    out += kTab;
    AppendNumber(out, static_cast<double>(c), "###,###,##0");
    out += kTab;
    AppendNumber(out, Div(static_cast<double>(c), total), "##.#0%");
    out += kCrLf;
  }
  out += "Totals\t";
  AppendNumber(out, total, "###,###,##0");
  out += kTab;
  AppendNumber(out, 1.0, "##.#0%");
  out += kCrLf;
  return out;
}

std::int16_t cMisc::handle(std::int16_t iMonth, std::int16_t mo) const {
  std::int32_t c = static_cast<std::int32_t>(mo) - iMonth;
  if (c < 1) c += 12;
  if (c > 12) c -= 12;
  if (c >= 1 && c <= 3) return 1;
  if (c >= 4 && c <= 6) return 2;
  if (c >= 7 && c <= 9) return 3;
  if (c >= 10 && c <= 12) return 4;
  return 0;
}

std::string cMisc::Cal(std::string_view sDate, std::string_view ctype,
                       std::string_view cfmt) const {
  const std::optional<Date> date = ParseDate(sDate);
  if (!date) return std::string();
  const YearMonthDay ymd = date->Ymd();
  const auto month = static_cast<std::int16_t>(ymd.month);

  const std::string type = UCase(ctype);
  std::int16_t q = 0;
  if (type == "C") {
    q = handle(12, month);
  } else if (type == "S") {
    q = handle(6, month);
  } else if (type == "F") {
    q = handle(9, month);
  } else {
    for (std::int16_t m = 1; m <= 12; ++m) {
      if (type == NumText(static_cast<std::int32_t>(m))) {
        q = handle(m, month);
        break;
      }
    }
  }

  const std::string fmt = UCase(cfmt);
  const std::string qText = NumText(static_cast<std::int32_t>(q));
  const std::string year = NumText(static_cast<std::int32_t>(ymd.year));
  if (fmt == "Q") return qText;
  if (fmt == "YRQ") return year + qText;
  if (fmt == "QYR") return qText + year;
  return std::string();
}

std::string cMisc::zc(std::string_view sText) const {
  const Mask m = MakeMask(sText);
  if (m.mask.size() <= 4) return std::string();
  std::string result;
  // Every five-digit group in turn, one position further each time, so the last one wins:
  // for an address that ends in a ZIP or ZIP+4 code, the ZIP code.
  for (std::size_t s = 1;;) {
    const std::size_t p = InStr(s, m.mask, "XXXXX");
    if (p == 0) break;
    result = Chars(sText, m, p, 5);
    s = p + 1;
  }
  return result;
}

std::string cMisc::ac(std::string_view sText) const {
  const Mask m = MakeMask(sText);
  if (m.mask.size() <= 9) return std::string();
  const std::size_t a = InStr(1, m.mask, "XXX");
  if (a == 0) return std::string();
  const std::string_view window = std::string_view(m.mask).substr(a + 2, 9);
  const std::size_t b = InStr(1, window, "XXX");
  if (b == 0 || InStr(b + 3, window, "XXXX") == 0) return std::string();
  return Chars(sText, m, a, 3);
}

std::int16_t cMisc::AreaCode(std::string_view sText) const {
  int digits = 0;
  int code = 0;
  for (char c : sText) {
    if (!IsDigit(c)) continue;
    if (digits < 3) code = code * 10 + (c - '0');
    ++digits;
  }
  return (digits == 3 || digits == 10) ? static_cast<std::int16_t>(code) : std::int16_t{-1};
}

std::string_view cMisc::Lookup(const std::array<std::string_view, kTableSlots>& column,
                               std::string_view text) const {
  const std::int16_t code = AreaCode(text);
  if (code < 200 || code > 999) return std::string_view();
  return column[static_cast<std::size_t>(code - 199)];
}

std::string cMisc::State(std::string_view ac) const { return std::string(Lookup(state_, ac)); }
std::string cMisc::Country(std::string_view ac) const { return std::string(Lookup(country_, ac)); }
std::string cMisc::TimeZone(std::string_view ac) const { return std::string(Lookup(zone_, ac)); }

void cMisc::acinit() {
  for (const detail::AreaCodeRow& row : detail::AreaCodeRows()) {
    const auto k = static_cast<std::size_t>(row.code - 199);
    state_[k] = row.state;
    country_[k] = row.country;
    zone_[k] = row.zone;
  }
}

}  // namespace tarnwick
