#include "workbook.h"

#include <fcntl.h>
#include <unistd.h>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

#include "tarnwick/core/date.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"
#include "tarnwick/platform/file_system.h"

#include "report_layout.h"

namespace tarnwick::cli {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---- cell texts -------------------------------------------------------------------------

std::optional<CellValue> ReportNumber(std::string_view t) {
  std::size_t i = 0;
  const std::size_t n = t.size();
  if (i < n && t[i] == '-') ++i;

  // Integer part: plain digits, or digits grouped by commas in threes.
  const std::size_t intStart = i;
  std::size_t intDigits = 0;
  bool grouped = false;
  std::size_t group = 0;
  for (; i < n && (IsDigit(t[i]) || t[i] == ','); ++i) {
    if (t[i] == ',') {
      if (group == 0 || group > 3 || (grouped && group != 3)) return std::nullopt;
      grouped = true;
      group = 0;
    } else {
      ++intDigits;
      ++group;
    }
  }
  if (grouped && group != 3) return std::nullopt;  // a trailing comma or a short last group
  const bool leadingZero = intDigits > 1 && t[intStart] == '0';

  bool point = false;
  std::size_t decimals = 0;
  if (i < n && t[i] == '.') {
    point = true;
    for (++i; i < n && IsDigit(t[i]); ++i) ++decimals;
  }

  bool exponent = false;
  if (i < n && (t[i] == 'E' || t[i] == 'e') && !grouped && intDigits > 0) {
    std::size_t j = i + 1;
    if (j < n && (t[j] == '+' || t[j] == '-')) ++j;
    std::size_t expDigits = 0;
    for (; j < n && IsDigit(t[j]); ++j) ++expDigits;
    if (expDigits == 0) return std::nullopt;
    exponent = true;
    i = j;
  }

  bool percent = false;
  if (i < n && t[i] == '%' && !exponent) {
    percent = true;
    ++i;
  }
  if (i != n) return std::nullopt;

  const bool lone = intDigits == 0 && decimals == 0;
  if (lone) {
    // "." is how an all-"#" pattern renders 0; nothing else without digits is a number.
    if (t != ".") return std::nullopt;
    return CellValue{CellValue::Kind::Number, 0.0, "#."};
  }
  if (leadingZero && (grouped || (!point && !exponent && !percent && intDigits >= 3))) {
    return std::nullopt;  // a code such as an account or ZIP code
  }

  // Significant digits beyond 15 cannot be held exactly by a spreadsheet number.
  std::string digits;
  digits.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    if (t[k] == 'E' || t[k] == 'e') break;
    if (IsDigit(t[k])) digits += t[k];
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first != std::string::npos) {
    const std::size_t last = digits.find_last_not_of('0');
    if (last - first + 1 > 15) return std::nullopt;
  }

  std::string plain;
  plain.reserve(n);
  for (char c : t) {
    if (c != ',' && c != '%') plain += c;
  }
  double value = 0.0;
  const char* b = plain.data();
  const char* e = b + plain.size();
  if (plain.size() > 1 && plain[0] == '-' && plain[1] == '.') {
    // from_chars needs a digit before the point; "-.5" is -(.5).
    const auto r = std::from_chars(b + 1, e, value);
    if (r.ec != std::errc() || r.ptr != e) return std::nullopt;
    value = -value;
  } else {
    const auto r = std::from_chars(b, e, value);
    if (r.ec != std::errc() || r.ptr != e) return std::nullopt;
  }
  if (percent) value /= 100.0;

  std::string format;
  if (intDigits == 0) {
    format = "#";
  } else if (leadingZero) {
    format.assign(intDigits, '0');
  } else {
    format = grouped ? "#,##0" : "0";
  }
  if (point) {
    format += '.';
    format.append(decimals, '0');
  }
  if (exponent) format += "E+00";
  if (percent) format += '%';
  return CellValue{CellValue::Kind::Number, value, std::move(format)};
}

// Reads 1 or 2 digits (or exactly `exact` digits) at t[i]; advances i.
std::optional<int> Digits(std::string_view t, std::size_t& i, std::size_t lo, std::size_t hi) {
  int v = 0;
  std::size_t k = 0;
  while (i < t.size() && IsDigit(t[i]) && k < hi) {
    v = v * 10 + (t[i] - '0');
    ++i;
    ++k;
  }
  if (k < lo || (i < t.size() && IsDigit(t[i]))) return std::nullopt;
  return v;
}

std::optional<CellValue> ReportDate(std::string_view t) {
  std::size_t i = 0;
  const auto m = Digits(t, i, 1, 2);
  if (!m || i >= t.size() || t[i++] != '/') return std::nullopt;
  const auto d = Digits(t, i, 1, 2);
  if (!d || i >= t.size() || t[i++] != '/') return std::nullopt;
  const auto y = Digits(t, i, 4, 4);
  if (!y) return std::nullopt;
  const auto date = Date::FromYmd(*y, *m, *d);
  if (!date) return std::nullopt;
  double serial = date->serial();
  // Spreadsheet serials count a 29 February 1900 that never was; before March 1900 they differ.
  if (serial < 61.0) return std::nullopt;
  if (i == t.size()) return CellValue{CellValue::Kind::Date, serial, "m/d/yyyy"};

  // " h:mm:ss AM" as the default date text writes a time of day.
  if (t[i++] != ' ') return std::nullopt;
  const auto h = Digits(t, i, 1, 2);
  if (!h || i >= t.size() || t[i++] != ':') return std::nullopt;
  const auto mi = Digits(t, i, 2, 2);
  if (!mi || i >= t.size() || t[i++] != ':') return std::nullopt;
  const auto s = Digits(t, i, 2, 2);
  if (!s || i >= t.size() || t[i++] != ' ') return std::nullopt;
  const std::string_view half = t.substr(i);
  if ((half != "AM" && half != "PM") || *h < 1 || *h > 12 || *mi > 59 || *s > 59) {
    return std::nullopt;
  }
  const int hour = *h % 12 + (half == "PM" ? 12 : 0);
  serial += (hour * 3600 + *mi * 60 + *s) / 86400.0;
  return CellValue{CellValue::Kind::Date, serial, "m/d/yyyy h:mm:ss AM/PM"};
}

// ---- UTF-8 ------------------------------------------------------------------------------

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t len;
  std::uint32_t cp;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
    return 0;
  }
  return len;
}

// The workbook's XML must be UTF-8. Data files are often in a single-byte code page, so a
// byte that does not start a valid UTF-8 sequence is taken as Latin-1 rather than dropped.
std::string ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = Utf8Length(s, i);
    if (len > 0) {
      out.append(s.substr(i, len));
      i += len;
    } else {
      const auto c = static_cast<unsigned char>(s[i++]);
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// ---- sheet names ------------------------------------------------------------------------

constexpr std::size_t kSheetNameMax = 31;  // in UTF-16 units, as the spreadsheet counts them

// The longest prefix of s (valid UTF-8) that is at most `units` UTF-16 units long.
std::string_view PrefixUnits(std::string_view s, std::size_t units) {
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t len = std::max<std::size_t>(1, Utf8Length(s, i));
    const std::size_t u = len == 4 ? 2 : 1;
    if (used + u > units) break;
    used += u;
    i += len;
  }
  return s.substr(0, i);
}

std::string CleanSheetName(std::string_view wanted) {
  std::string s = ToUtf8(wanted);
  for (char& c : s) {
    if (std::strchr("[]:*?/\\", c) != nullptr || static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  auto stripQuotes = [](std::string& x) {
    while (!x.empty() && x.front() == '\'') x.erase(0, 1);
    while (!x.empty() && x.back() == '\'') x.pop_back();
  };
  stripQuotes(s);
  s = std::string(PrefixUnits(s, kSheetNameMax));
  stripQuotes(s);
  return s;
}

bool Taken(const std::string& name, const std::vector<std::string>& taken) {
  // "History" is reserved by the spreadsheet for its change log.
  if (EqualsNoCase(name, "History")) return true;
  return std::any_of(taken.begin(), taken.end(),
                     [&](const std::string& t) { return EqualsNoCase(t, name); });
}

// ---- report layout ----------------------------------------------------------------------

using Row = std::vector<std::string_view>;

std::vector<Row> SplitReport(std::string_view text) {
  std::vector<Row> rows;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Row row;
    std::size_t c = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', c);
      if (tab == std::string_view::npos) {
        row.push_back(line.substr(c));
        break;
      }
      row.push_back(line.substr(c, tab - c));
      c = tab + 1;
    }
    if (row.size() == 1 && row[0].empty()) row.clear();
    rows.push_back(std::move(row));
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
  }
  return rows;
}

std::string_view Cell(const Row& row, std::size_t c) {
  return c < row.size() ? TrimView(row[c]) : std::string_view();
}

// As written into the sheet: the cell untrimmed.
bool IsNumber(const Row& row, std::size_t c) {
  return c < row.size() && ClassifyCell(row[c]).kind == CellValue::Kind::Number;
}

// The first cells of a heading line, compared without surrounding spaces.
bool Heads(const Row& row, const std::vector<std::string_view>& names) {
  if (row.size() < names.size()) return false;
  std::size_t c = 0;
  for (std::string_view n : names) {
    if (Cell(row, c++) != n) return false;
  }
  return true;
}

// A table in the sheet: its heading row and its first and last data rows (0-based).
struct Block {
  std::size_t heading = 0, first = 0, last = 0;
};

// The data rows that follow a heading line: a category in column 0 (not "Totals") and numbers
// in every value column.
template <class IsHeading>
std::optional<Block> FindBlock(const std::vector<Row>& rows, std::size_t limit, IsHeading isHeading,
                               const std::vector<std::size_t>& valueCols) {
  for (std::size_t h = 0; h < limit; ++h) {
    if (!isHeading(rows[h])) continue;
    std::size_t r = h + 1;
    while (r < limit && !Cell(rows[r], 0).empty() && !EqualsNoCase(Cell(rows[r], 0), "Totals") &&
           std::all_of(valueCols.begin(), valueCols.end(),
                       [&](std::size_t c) { return IsNumber(rows[r], c); })) {
      ++r;
    }
    if (r > h + 1) return Block{h, h + 1, r - 1};
  }
  return std::nullopt;
}

bool ContainsNoCase(std::string_view s, std::string_view part) {
  return UCase(s).find(UCase(part)) != std::string::npos;
}

// The two cumulative-share columns of a two-period comparison table: headings "CP1" and "CP2",
// or the first two headings that speak of a cumulative percentage or share.
std::optional<std::pair<std::size_t, std::size_t>> ShareColumns(const Row& row) {
  std::vector<std::size_t> found;
  for (std::size_t c = 1; c < row.size(); ++c) {
    if (EqualsNoCase(Cell(row, c), "CP1") || EqualsNoCase(Cell(row, c), "CP2")) found.push_back(c);
  }
  if (found.size() != 2) {
    found.clear();
    for (std::size_t c = 1; c < row.size(); ++c) {
      const std::string_view h = Cell(row, c);
      if (ContainsNoCase(h, "cum") &&
          (ContainsNoCase(h, "pct") || ContainsNoCase(h, "share") || ContainsNoCase(h, "%"))) {
        found.push_back(c);
      }
    }
  }
  if (found.size() < 2) return std::nullopt;
  return std::make_pair(found[0], found[1]);
}

// A histogram gets a logarithmic count axis when its tallest bar is more than this many times its
// shortest nonzero one: below a fiftieth of the plot's height a bar is a sliver of a pixel or two
// whose height can be neither read nor compared with its neighbours.
constexpr double kSkewRatio = 50.0;

// Ageing keeps 81 bands around the ageing date; the outermost, 40 widths away, are open-ended.
constexpr double kOpenBand = 40.0;

// ---- shares, labels and widths ----------------------------------------------------------

std::size_t TextDecimals(std::string_view t) {
  const std::size_t point = t.find('.');
  if (point == std::string_view::npos) return 0;
  std::size_t n = 0;
  for (std::size_t i = point + 1; i < t.size() && IsDigit(t[i]); ++i) ++n;
  return n;
}

// The characters a spreadsheet shows for UTF-8 text (continuation bytes do not count).
std::size_t ShownLength(std::string_view s) {
  std::size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// A share's report text is either a percentage ("12.50%") or a fraction (".0018", "0.95"); both
// hold the fraction in the cell. A percentage keeps its decimals; a fraction shows two fewer as a
// percentage (".0018" is 0.18%), and at most four, so that a raw default-number figure
// ("0.0639227131027897") still reads as a percentage.
std::string PercentFormat(std::string_view text) {
  const std::string_view t = TrimView(text);
  std::size_t decimals = TextDecimals(t);
  if (t.empty() || t.back() != '%')
    decimals = decimals > 2 ? std::min<std::size_t>(decimals - 2, 4) : 0;
  std::string f = "0";
  if (decimals > 0) {
    f += '.';
    f.append(decimals, '0');
  }
  return f + "%";
}

// The text a percent format shows for `value`, for fitting the column to it.
std::size_t PercentLength(double value, const std::string& format) {
  const std::size_t decimals = TextDecimals(format);
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%.*f%%", static_cast<int>(decimals), value * 100.0);
  return n > 0 ? static_cast<std::size_t>(n) : format.size();
}

using CellKey = std::pair<std::size_t, std::size_t>;  // row, column

// The share cells of a report (the command's ShareCells, report_layout.h) and their percent
// formats. A heading's column runs down to the next blank line.
std::map<CellKey, std::string> ShareCells(std::string_view cmd, const std::vector<Row>& rows,
                                          std::size_t limit) {
  std::map<CellKey, std::string> out;
  auto mark = [&](std::size_t r, std::size_t c) {
    if (IsNumber(rows[r], c)) out[{r, c}] = PercentFormat(rows[r][c]);
  };
  const ReportLayout* layout = LayoutOf(cmd);
  if (layout == nullptr) return out;
  for (const ShareCell& rule : layout->shares) {
    for (std::size_t r = 0; r < limit; ++r) {
      const Row& row = rows[r];
      if (!rule.heading) {
        if (Cell(row, 0) == rule.name) mark(r, 1);
        continue;
      }
      for (std::size_t c = 0; c < row.size(); ++c) {
        if (Cell(row, c) != rule.name) continue;
        for (std::size_t d = r + 1; d < limit && !rows[d].empty(); ++d) mark(d, c);
      }
    }
  }
  return out;
}

// A bin bound in few characters: three significant digits (more when needed to tell the bounds
// apart), with k, M or bn for thousands, millions and billions.
std::string Compact(double v, int significant) {
  const double a = std::fabs(v);
  const char* unit = "";
  double scale = 1.0;
  if (a >= 1e9) {
    unit = "bn";
    scale = 1e9;
  } else if (a >= 1e6) {
    unit = "M";
    scale = 1e6;
  } else if (a >= 1e3) {
    unit = "k";
    scale = 1e3;
  }
  const double x = v / scale;
  const int magnitude = x == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(x))));
  const int decimals = std::clamp(significant - 1 - magnitude, 0, 12);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s + unit;
}

// ---- libxlsxwriter ----------------------------------------------------------------------

// The characters of `v` shown with grouping and `decimals` decimals ("#,##0.00").
std::size_t GroupedLength(double v, int decimals) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(v));
  if (n <= 0) return 0;
  const std::size_t whole = static_cast<std::size_t>(n) - (decimals > 0 ? decimals + 1 : 0);
  return static_cast<std::size_t>(n) + (whole - 1) / 3 + (v < 0);
}

// The Benford table's expected counts unrounded, as the number of observations times each digit's
// exact proportion. The report rounds them to whole counts; its Z table prints the proportions
// to five decimals, which identify the test (first, first two, second, last or last two digits):
// the proportions of the one test that agrees with every printed figure are used. Nothing when
// the Z table is missing or no test agrees.
std::optional<std::vector<double>> ExactExpected(const std::vector<Row>& rows, const Block& digits,
                                                 std::size_t limit) {
  std::map<long, double> printed;  // digit -> printed expected proportion
  for (std::size_t h = digits.last + 1; h < limit && printed.empty(); ++h) {
    if (!Heads(rows[h], {"Digit", "Observed proportion", "Expected proportion"})) continue;
    for (std::size_t r = h + 1; r < limit && IsNumber(rows[r], 0) && IsNumber(rows[r], 2); ++r) {
      printed[std::lround(ClassifyCell(rows[r][0]).number)] = ClassifyCell(rows[r][2]).number;
    }
  }
  if (printed.empty()) return std::nullopt;

  auto leading = [](long d) {
    return d >= 1 ? std::log10(1.0 + 1.0 / static_cast<double>(d)) : -1.0;
  };
  auto second = [](long d) {
    double p = 0.0;
    for (long k = 1; k <= 9; ++k) p += std::log10(1.0 + 1.0 / static_cast<double>(10 * k + d));
    return d >= 0 && d <= 9 ? p : -1.0;
  };
  auto lastOne = [](long d) { return d >= 0 && d <= 9 ? 0.1 : -1.0; };
  auto lastTwo = [](long d) { return d >= 0 && d <= 99 ? 0.01 : -1.0; };
  double n = 0.0;
  std::vector<long> digitValues;
  for (std::size_t r = digits.first; r <= digits.last; ++r) {
    const double d = ClassifyCell(rows[r][0]).number;
    if (d != std::floor(d) || !printed.count(std::lround(d))) return std::nullopt;
    digitValues.push_back(std::lround(d));
    n += ClassifyCell(rows[r][1]).number;
  }
  const std::function<double(long)> tests[] = {leading, second, lastOne, lastTwo};
  for (const auto& p : tests) {
    const bool agrees = std::all_of(digitValues.begin(), digitValues.end(), [&](long d) {
      return p(d) >= 0.0 && std::fabs(p(d) - printed[d]) <= 0.5e-5 + 1e-12;
    });
    if (!agrees) continue;
    std::vector<double> out;
    for (long d : digitValues) out.push_back(n * p(d));
    return out;
  }
  return std::nullopt;
}

// Fits a column to `chars` characters of its longest cell, with a margin, within bounds: no
// narrower than the default, no wider than about half a landscape page.
void SetWidth(lxw_worksheet* ws, lxw_col_t col, std::size_t chars) {
  // A tenth more than the characters: the printed font's digits run wider than the default's.
  const double w =
      std::min<double>(60.0, std::max<double>(8.43, static_cast<double>(chars) * 1.1 + 2.0));
  worksheet_set_column(ws, col, col, w, nullptr);
}

[[noreturn]] void RaiseLxw(ErrorCode code, const std::string& what, lxw_error err) {
  Raise(code, what + ": " + lxw_strerror(err));
}

}  // namespace

// ---- public helpers ---------------------------------------------------------------------

CellValue ClassifyCell(std::string_view text) {
  if (text.empty()) return {};
  if (auto d = ReportDate(text)) return *d;
  if (auto n = ReportNumber(text)) return *n;
  return CellValue{CellValue::Kind::Text, 0.0, {}};
}

std::vector<std::string> BinLabels(const std::vector<std::pair<double, double>>& bins) {
  int significant = 3;
  for (; significant < 15; ++significant) {
    bool distinct = true;
    for (const auto& [lo, hi] : bins) {
      distinct = distinct && (lo == hi || Compact(lo, significant) != Compact(hi, significant));
    }
    if (distinct) break;
  }
  std::vector<std::string> out;
  out.reserve(bins.size());
  for (const auto& [lo, hi] : bins) {
    out.push_back(Compact(lo, significant) + " \xE2\x80\x93 " + Compact(hi, significant));
  }
  return out;
}

bool SkewedCounts(const std::vector<double>& counts) {
  double largest = 0.0, smallest = 0.0;
  for (double c : counts) {
    if (c <= 0.0) continue;
    largest = std::max(largest, c);
    smallest = smallest == 0.0 ? c : std::min(smallest, c);
  }
  return smallest > 0.0 && largest > kSkewRatio * smallest;
}

std::string AgeBandLabel(double asOf, double start, double end) {
  const std::string dates = DateText(Date(start)) + " \xE2\x80\x93 " + DateText(Date(end));
  const double width = end - start;
  if (width < 1.0 || std::floor(width) != width || std::floor(asOf) != asOf ||
      std::floor(start) != start || std::fmod(asOf - start, width) != 0.0) {
    return dates;
  }
  // Ages in whole days before the ageing date; the end date starts the next band.
  const auto lo = static_cast<long long>(asOf - end + 1.0);
  const auto hi = static_cast<long long>(asOf - start);
  auto days = [](long long a, long long b) {
    return a == b ? std::to_string(a) : std::to_string(a) + "\xE2\x80\x93" + std::to_string(b);
  };
  // The first and last of the 81 bands are open-ended: everything older, everything later.
  if (start == asOf - kOpenBand * width) return std::to_string(lo) + "+";
  if (start == asOf + kOpenBand * width) return "in " + std::to_string(-hi) + "+";
  if (lo >= 1) return days(lo, hi);
  if (hi <= 0) return "in " + days(-hi, -lo);
  return dates;
}

std::string SheetName(std::string_view wanted, std::string_view fallback,
                      const std::vector<std::string>& taken) {
  std::string base = CleanSheetName(wanted);
  if (base.empty()) base = CleanSheetName(fallback);
  if (base.empty()) base = "Report";
  if (!Taken(base, taken)) return base;
  for (int k = 2;; ++k) {
    const std::string suffix = " (" + std::to_string(k) + ")";
    std::string name(PrefixUnits(base, kSheetNameMax - suffix.size()));
    name += suffix;
    if (!Taken(name, taken)) return name;
  }
}

// ---- column chart with a line -----------------------------------------------------------

// This libxlsxwriter has no combined charts, so the line is a second, unplaced line chart whose
// plot is written into the column chart's plot area, on the same axes: the column chart's
// chart-type writer is wrapped to write its own bars and then the line chart's series.
struct CombinedChart {
  lxw_chart* columns = nullptr;
  lxw_chart* line = nullptr;
  void (*writeColumns)(lxw_chart*) = nullptr;
};

namespace {

std::mutex gCombinedMutex;
std::vector<const CombinedChart*> gCombined;  // the live records

void WriteColumnsAndLine(lxw_chart* chart) {
  const CombinedChart* found = nullptr;
  {
    std::lock_guard<std::mutex> lock(gCombinedMutex);
    for (const CombinedChart* c : gCombined) {
      if (c->columns == chart) found = c;
    }
  }
  if (!found) return;
  found->writeColumns(chart);  // also fixes the axis ids that the line must share
  found->line->file = chart->file;
  found->line->axis_id_1 = chart->axis_id_1;
  found->line->axis_id_2 = chart->axis_id_2;
  found->line->write_chart_type(found->line);
}

void Unregister(const CombinedChart* c) {
  std::lock_guard<std::mutex> lock(gCombinedMutex);
  gCombined.erase(std::remove(gCombined.begin(), gCombined.end(), c), gCombined.end());
}

}  // namespace

// ---- ReportWorkbook ---------------------------------------------------------------------

ReportWorkbook::ReportWorkbook(std::string path, std::vector<std::string> inputsNotToOverwrite)
    : path_(std::move(path)) {
  namespace fs = std::filesystem;
  if (path_.empty()) Raise(ErrorCode::InvalidArgument, "no workbook file name given");
  CheckInputs(inputsNotToOverwrite);
  std::error_code ec;
  const fs::path target(path_);
  if (fs::is_directory(target, ec)) {
    Raise(ErrorCode::FileAccess, "the workbook " + path_ + " names a folder");
  }
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, ec)) {
    Raise(ErrorCode::FileNotFound, "the folder of the workbook " + path_ + " does not exist");
  }

  // The temporary name is reserved now, beside the target (so the rename stays on one file
  // system), and a folder that cannot be written fails before any command runs.
  RemoveStaleTempFiles(folder.empty() ? std::string(".") : folder.string());
  std::string stem(1, '.');
  stem += target.filename().string();
  stem += '.';
  for (int attempt = 0;; ++attempt) {
    const std::string candidate = (folder / (stem + GetTempName())).string();
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      temp_ = candidate;
      RegisterTempFile(temp_);
      break;
    }
    if (errno == EEXIST && attempt < 100) continue;
    const int err = errno;
    Raise(err == EACCES || err == EPERM || err == EROFS ? ErrorCode::PermissionDenied
                                                        : ErrorCode::FileAccess,
          "cannot write the workbook " + path_ + ": " + std::strerror(err));
  }

  lxw_workbook_options options{};
  const std::string tmpdir = GetSpecialFolder(2);
  std::vector<char> tmpdirBuf(tmpdir.begin(), tmpdir.end());
  tmpdirBuf.push_back('\0');
  options.tmpdir = tmpdirBuf.data();
  wb_ = workbook_new_opt(temp_.c_str(), &options);
  if (wb_ == nullptr) {
    DeleteFile(temp_);
    Raise(ErrorCode::OutOfMemory, "cannot start the workbook " + path_);
  }
}

ReportWorkbook::~ReportWorkbook() { Discard(); }

void ReportWorkbook::CheckInputs(const std::vector<std::string>& inputs) const {
  namespace fs = std::filesystem;
  // The same file by its identity when both exist, else by its normalised path.
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(fs::absolute(path_, ec), ec);
  for (const std::string& in : inputs) {
    if (in.empty()) continue;
    std::error_code ec2;
    const fs::path other = fs::weakly_canonical(fs::absolute(in, ec2), ec2);
    if (SameFile(path_, in) || (!ec && !ec2 && target == other)) {
      Raise(ErrorCode::InvalidArgument,
            "the workbook " + path_ + " would replace " + in + ", a file the run reads or writes");
    }
  }
}

void ReportWorkbook::Discard() noexcept {
  if (wb_ != nullptr) {
    lxw_workbook_free(wb_);
    wb_ = nullptr;
  }
  for (auto& c : combined_) {
    Unregister(c.get());
    lxw_chart_free(c->line);
  }
  combined_.clear();
  formats_.clear();
  right_ = nullptr;
  indented_ = nullptr;
  if (!closed_ && !temp_.empty()) {
    DeleteFile(temp_);
    temp_.clear();
  }
}

lxw_format* ReportWorkbook::Format(const std::string& numFormat) {
  auto it = formats_.find(numFormat);
  if (it != formats_.end()) return it->second;
  lxw_format* f = workbook_add_format(wb_);
  format_set_num_format(f, numFormat.c_str());
  formats_.emplace(numFormat, f);
  return f;
}

lxw_format* ReportWorkbook::RightAligned() {
  if (right_ == nullptr) {
    right_ = workbook_add_format(wb_);
    format_set_align(right_, LXW_ALIGN_RIGHT);
  }
  return right_;
}

lxw_format* ReportWorkbook::Indented() {
  if (indented_ == nullptr) {
    indented_ = workbook_add_format(wb_);
    format_set_indent(indented_, 1);
  }
  return indented_;
}

lxw_worksheet* ReportWorkbook::NewSheet(std::string_view wanted, std::string_view fallback) {
  std::string name = SheetName(wanted, fallback, sheets_);
  lxw_worksheet* ws = workbook_add_worksheet(wb_, name.c_str());
  if (ws == nullptr) Raise(ErrorCode::InvalidArgument, "cannot add the worksheet " + name);
  // Printed, a report and its chart fit the width of a landscape page.
  worksheet_set_landscape(ws);
  worksheet_fit_to_pages(ws, 1, 0);
  sheets_.push_back(std::move(name));
  return ws;
}

void ReportWorkbook::AddReport(std::string_view recap, std::string_view commandCode,
                               std::string_view reportText, std::string_view title) {
  if (closed_ || wb_ == nullptr) {
    Raise(ErrorCode::InvalidArgument, "the workbook " + path_ + " is closed or has failed");
  }
  try {
    Write(recap, commandCode, reportText, title);
  } catch (...) {
    // A half-written sheet must never reach the file: the whole workbook is given up.
    Discard();
    throw;
  }
}

void ReportWorkbook::Write(std::string_view recap, std::string_view commandCode,
                           std::string_view reportText, std::string_view title) {
  const std::vector<Row> rows = SplitReport(reportText);
  // A report longer than a worksheet goes on under the same name with " (2)" and so on.
  lxw_worksheet* ws = NewSheet(recap, commandCode);
  const std::string firstSheet = sheets_.back();
  std::vector<std::size_t> widths;
  std::size_t maxCols = 0;
  lxw_row_t r = 0;
  std::string text;
  std::vector<CellValue> values;  // the cells of the current line

  const std::string cmd = UCase(TrimView(commandCode).substr(0, 2));
  const std::map<CellKey, std::string> shares =
      ShareCells(cmd, rows, std::min<std::size_t>(rows.size(), LXW_ROW_MAX));

  auto setWidths = [&]() {
    for (std::size_t c = 0; c < widths.size(); ++c) {
      SetWidth(ws, static_cast<lxw_col_t>(c), widths[c]);
    }
    widths.clear();
  };

  for (std::size_t i = 0; i < rows.size(); ++i, ++r) {
    if (r == LXW_ROW_MAX) {
      setWidths();
      ws = NewSheet(firstSheet, commandCode);
      r = 0;
    }
    const Row& row = rows[i];
    if (row.size() > LXW_COL_MAX) {
      Raise(ErrorCode::InvalidArgument, "line " + std::to_string(i + 1) + " of the report " +
                                            firstSheet + " has more columns than a worksheet");
    }
    maxCols = std::max(maxCols, row.size());
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    values.clear();
    std::size_t lastCell = 0;  // one past the last cell that is not blank
    bool heading = row.size() > 1 && i + 1 < rows.size();
    for (std::size_t c = 0; c < row.size(); ++c) {
      values.push_back(ClassifyCell(row[c]));
      if (values.back().kind != CellValue::Kind::Blank) lastCell = c + 1;
      heading = heading && (values.back().kind == CellValue::Kind::Blank ||
                            values.back().kind == CellValue::Kind::Text);
    }
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::string_view cell = row[c];
      CellValue& v = values[c];
      std::size_t shown = ShownLength(cell);
      if (v.kind == CellValue::Kind::Number && !shares.empty()) {
        const auto share = shares.find({i, c});
        if (share != shares.end()) {
          v.format = share->second;
          shown = PercentLength(v.number, v.format);
        }
      }
      // A heading over a column of numbers stands over them, on the right. A line of two texts
      // is as often a label and its verdict ("Size from", "the normal approximation") above a
      // last label and number, so it counts as a heading only over two lines of numbers.
      auto figure = [&](std::size_t line) {
        return line < rows.size() && c < rows[line].size() &&
               ClassifyCell(rows[line][c]).kind >= CellValue::Kind::Number;
      };
      const bool overNumbers = heading && v.kind == CellValue::Kind::Text && figure(i + 1) &&
                               (row.size() > 2 || figure(i + 2));
      const auto col = static_cast<lxw_col_t>(c);
      lxw_error err = LXW_NO_ERROR;
      switch (v.kind) {
        case CellValue::Kind::Blank: continue;
        case CellValue::Kind::Number:
        case CellValue::Kind::Date:
          err = worksheet_write_number(ws, r, col, v.number, Format(v.format));
          break;
        case CellValue::Kind::Text:
          text = ToUtf8(cell);
          err = worksheet_write_string(ws, r, col, text.c_str(),
                                       overNumbers ? RightAligned() : nullptr);
          break;
      }
      if (err != LXW_NO_ERROR) {
        RaiseLxw(ErrorCode::InvalidArgument,
                 "line " + std::to_string(i + 1) + " of the report " + firstSheet, err);
      }
      // A text that ends its line (a title, a verdict, a list of strata) runs over the empty
      // cells to its right rather than widening its column for every other line; a heading set
      // on the right cannot, so it is measured.
      const bool runsOver = c + 1 == lastCell && v.kind == CellValue::Kind::Text && !overNumbers;
      if (!runsOver) widths[c] = std::max(widths[c], shown);
    }
  }
  const bool oneSheet = rows.size() <= LXW_ROW_MAX;
  lxw_worksheet* first = oneSheet ? ws : workbook_get_worksheet_by_name(wb_, firstSheet.c_str());
  // The chart's label columns are fitted with the rest (on the first sheet of a long report, on
  // their own).
  const std::map<std::size_t, std::size_t> added =
      AddChart(firstSheet, first, commandCode, rows, maxCols, title);
  for (const auto& [c, w] : added) {
    if (oneSheet) {
      if (widths.size() <= c) widths.resize(c + 1, 0);
      widths[c] = std::max(widths[c], w);
    } else {
      SetWidth(first, static_cast<lxw_col_t>(c), w);
    }
  }
  setWidths();
}

std::map<std::size_t, std::size_t> ReportWorkbook::AddChart(
    const std::string& sheet, lxw_worksheet* ws, std::string_view code,
    const std::vector<Row>& rows, std::size_t columns, std::string_view title) {
  std::map<std::size_t, std::size_t> added;  // columns written here, and their widest text
  const std::string cmd = UCase(TrimView(code).substr(0, 2));
  const std::size_t limit = std::min<std::size_t>(rows.size(), LXW_ROW_MAX);

  const ReportLayout* layout = LayoutOf(cmd);
  if (layout == nullptr || !layout->chart) return added;
  const ChartSpec& spec = *layout->chart;
  using Labels = ChartSpec::Labels;

  std::optional<Block> block;
  std::vector<std::size_t> valueCols = spec.values;  // for ColumnsAndLine the second is the line
  switch (spec.heading) {
    case ChartSpec::Heading::Cells:
      block = FindBlock(
          rows, limit, [&](const Row& r) { return Heads(r, spec.heads); }, valueCols);
      break;
    case ChartSpec::Heading::TitleStarts:
      block = FindBlock(
          rows, limit, [&](const Row& r) { return Cell(r, 0).starts_with(spec.heads.at(0)); },
          valueCols);
      break;
    case ChartSpec::Heading::ShareColumns:
      for (std::size_t h = 0; h < limit && !block; ++h) {
        const auto cols = ShareColumns(rows[h]);
        if (!cols) continue;
        valueCols = {cols->first, cols->second};
        block = FindBlock(
            rows, limit, [&](const Row& r) { return &r == &rows[h]; }, valueCols);
      }
      break;
  }
  if (!block) return added;

  const auto first = static_cast<lxw_row_t>(block->first);
  const auto last = static_cast<lxw_row_t>(block->last);
  const auto heading = static_cast<lxw_row_t>(block->heading);

  // Cells written beside the table, in the first column to its right.
  std::size_t beside = rows[block->heading].size();
  for (std::size_t r = block->first; r <= block->last; ++r)
    beside = std::max(beside, rows[r].size());
  const auto besideCol = static_cast<lxw_col_t>(beside);
  auto putText = [&](std::size_t r, const std::string& text, lxw_format* f = nullptr) {
    const lxw_error e =
        worksheet_write_string(ws, static_cast<lxw_row_t>(r), besideCol, text.c_str(), f);
    if (e != LXW_NO_ERROR) RaiseLxw(ErrorCode::InvalidArgument, "cannot label the chart", e);
    added[beside] = std::max(added[beside], ShownLength(text) + (f == right_ ? 0 : 1));
  };
  lxw_col_t categoryCol = 0;
  bool logScale = false;
  if (spec.labels == Labels::Bins) {
    std::vector<std::pair<double, double>> bins;
    for (std::size_t r = block->first; r <= block->last; ++r) {
      const CellValue lo = ClassifyCell(rows[r][0]);
      const CellValue hi = ClassifyCell(rows[r].size() > 1 ? rows[r][1] : std::string_view());
      bins.emplace_back(lo.number, hi.number);
    }
    if (std::all_of(block->first + rows.begin(), block->last + 1 + rows.begin(),
                    [](const Row& r) { return IsNumber(r, 0) && IsNumber(r, 1); })) {
      const std::vector<std::string> labels = BinLabels(bins);
      putText(block->heading, "Bin", Indented());
      for (std::size_t k = 0; k < labels.size(); ++k)
        putText(block->first + k, labels[k], Indented());
      categoryCol = besideCol;
    }
  } else if (spec.labels == Labels::AgeBands) {
    std::optional<double> asOf;
    for (std::size_t r = 0; r < block->heading && !asOf; ++r) {
      const CellValue d = ClassifyCell(Cell(rows[r], 1));
      if (Cell(rows[r], 0).starts_with("Ageing Report as of") && d.kind == CellValue::Kind::Date)
        asOf = d.number;
    }
    const bool dated =
        std::all_of(block->first + rows.begin(), block->last + 1 + rows.begin(), [](const Row& r) {
          return ClassifyCell(Cell(r, 0)).kind == CellValue::Kind::Date &&
                 ClassifyCell(Cell(r, 1)).kind == CellValue::Kind::Date;
        });
    if (asOf && dated) {
      putText(block->heading, "Age (days)", Indented());
      for (std::size_t r = block->first; r <= block->last; ++r) {
        putText(r,
                AgeBandLabel(*asOf, ClassifyCell(Cell(rows[r], 0)).number,
                             ClassifyCell(Cell(rows[r], 1)).number),
                Indented());
      }
      categoryCol = besideCol;
    }
  } else if (spec.labels == Labels::ExactExpected) {
    if (const auto exact = ExactExpected(rows, *block, limit)) {
      putText(block->heading, "Expected (exact)", RightAligned());
      lxw_format* twoDecimals = Format("#,##0.00");
      for (std::size_t k = 0; k < exact->size(); ++k) {
        const double v = (*exact)[k];
        const lxw_error e = worksheet_write_number(ws, static_cast<lxw_row_t>(block->first + k),
                                                   besideCol, v, twoDecimals);
        if (e != LXW_NO_ERROR) RaiseLxw(ErrorCode::InvalidArgument, "cannot write a count", e);
        added[beside] = std::max(added[beside], GroupedLength(v, 2));
      }
    }
  }

  if (spec.logCounts) {
    // Counts: a few large bars (the bins of small amounts, amounts that are not round, working
    // days) would flatten the rest.
    std::vector<double> counts;
    for (std::size_t r = block->first; r <= block->last; ++r) {
      counts.push_back(ClassifyCell(rows[r][valueCols[0]]).number);
    }
    logScale = SkewedCounts(counts);
  }

  lxw_chart* chart = workbook_add_chart(
      wb_, spec.kind == ChartSpec::Kind::Line ? LXW_CHART_LINE : LXW_CHART_COLUMN);
  const std::string yName = spec.yName;
  const bool headingNames = spec.heading != ChartSpec::Heading::TitleStarts;
  auto addSeries = [&](lxw_chart* target, std::size_t col) {
    lxw_chart_series* s = chart_add_series(target, nullptr, nullptr);
    chart_series_set_categories(s, sheet.c_str(), first, categoryCol, last, categoryCol);
    chart_series_set_values(s, sheet.c_str(), first, static_cast<lxw_col_t>(col), last,
                            static_cast<lxw_col_t>(col));
    if (headingNames) {
      chart_series_set_name_range(s, sheet.c_str(), heading, static_cast<lxw_col_t>(col));
    } else {
      chart_series_set_name(s, yName.c_str());
    }
    return s;
  };

  if (spec.kind == ChartSpec::Kind::ColumnsAndLine) {
    addSeries(chart, valueCols[0]);
    auto c = std::make_unique<CombinedChart>();
    c->columns = chart;
    c->line = lxw_chart_new(LXW_CHART_LINE);
    if (c->line == nullptr) Raise(ErrorCode::OutOfMemory, "cannot add a chart");
    c->line->series_index = 1;  // series numbers are unique across the plot area
    addSeries(c->line, valueCols[1]);
    c->writeColumns = chart->write_chart_type;
    chart->write_chart_type = &WriteColumnsAndLine;
    {
      std::lock_guard<std::mutex> lock(gCombinedMutex);
      gCombined.push_back(c.get());
    }
    combined_.push_back(std::move(c));
  } else {
    for (std::size_t col : valueCols) addSeries(chart, col);
  }

  const std::string name = title.empty() ? std::string(spec.title) : ToUtf8(title);
  chart_title_set_name(chart, name.c_str());
  chart_axis_set_name(chart->x_axis, spec.xName);
  chart_axis_set_name(chart->y_axis, (logScale ? yName + " (log scale)" : yName).c_str());
  if (*spec.yFormat != '\0') chart_axis_set_num_format(chart->y_axis, spec.yFormat);
  if (spec.touching) chart_set_series_gap(chart, 0);
  if (logScale) {
    chart_axis_set_log_base(chart->y_axis, 10);
    // From a tenth, so that a count of 1 (the rare case the chart is there to show) has a bar,
    // and the grid lines stay on powers of ten.
    chart_axis_set_min(chart->y_axis, 0.1);
  }
  if (spec.unitRange) {
    // Cumulative shares end at 100 %: no room above it.
    chart_axis_set_min(chart->y_axis, 0.0);
    chart_axis_set_max(chart->y_axis, 1.0);
  }
  chart_legend_set_position(chart,
                            valueCols.size() > 1 ? LXW_CHART_LEGEND_BOTTOM : LXW_CHART_LEGEND_NONE);
  if (!added.empty()) columns = std::max(columns, added.rbegin()->first + 1);
  // Wider for many categories, so that their labels stay on one line.
  lxw_chart_options placing{};
  placing.x_scale = last - first + 1 > 8 ? 1.5 : 1.0;
  placing.y_scale = 1.0;
  const lxw_error err =
      worksheet_insert_chart_opt(ws, heading, static_cast<lxw_col_t>(columns + 1), chart, &placing);
  if (err != LXW_NO_ERROR) RaiseLxw(ErrorCode::InvalidArgument, "cannot place the chart", err);
  return added;
}

void ReportWorkbook::Close() {
  if (closed_) return;
  if (wb_ == nullptr) {
    Raise(ErrorCode::InvalidArgument, "the workbook " + path_ + " has failed and is not written");
  }
  lxw_workbook* wb = wb_;
  wb_ = nullptr;  // workbook_close frees it, whatever the outcome
  const lxw_error err = workbook_close(wb);
  for (auto& c : combined_) {
    Unregister(c.get());
    lxw_chart_free(c->line);
  }
  combined_.clear();
  formats_.clear();
  right_ = nullptr;
  indented_ = nullptr;
  if (err != LXW_NO_ERROR) {
    DeleteFile(temp_);
    temp_.clear();
    RaiseLxw(ErrorCode::FileAccess, "cannot write the workbook " + path_, err);
  }
  try {
    RenameFile(temp_, path_);
  } catch (...) {
    DeleteFile(temp_);
    temp_.clear();
    throw;
  }
  closed_ = true;
}

}  // namespace tarnwick::cli
