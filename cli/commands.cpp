// The commands the runner runs: for each, the engine class that does the work, the column
// arguments checked before the run, and the wiring from rows to the class and back to its
// report. Nothing here computes a figure of its own.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "output_file.h"
#include "runner.h"
#include "tarnwick/audit/ageing.h"
#include "tarnwick/audit/attribute_sampling.h"
#include "tarnwick/audit/benford.h"
#include "tarnwick/audit/interval_sampling.h"
#include "tarnwick/audit/invoices.h"
#include "tarnwick/audit/key_summary.h"
#include "tarnwick/audit/misc.h"
#include "tarnwick/audit/mus_evaluation.h"
#include "tarnwick/audit/mus_reconciliation.h"
#include "tarnwick/audit/stratify.h"
#include "tarnwick/audit/two_period.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/key_index.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/stats/amount_array.h"
#include "tarnwick/stats/cross_tab.h"
#include "tarnwick/stats/external_sort.h"
#include "tarnwick/stats/regression.h"
#include "tarnwick/stats/sequences.h"

namespace tarnwick::cli {

namespace {

// Joins report parts with one line end between them.
void Append(std::string& out, const std::string& part) {
  if (!out.empty() && out.size() >= 2 && out.compare(out.size() - 2, 2, kCrLf) != 0) out += kCrLf;
  out += part;
}

// A whole number given as `name`; anything else is refused before the run.
std::int32_t WholeNumber(const char* name, const std::string& text, std::int32_t lo,
                         std::int32_t hi) {
  std::int32_t v = 0;
  const char* b = text.data();
  const char* e = b + text.size();
  auto r = std::from_chars(b, e, v);
  if (text.empty() || r.ec != std::errc() || r.ptr != e || v < lo || v > hi) {
    throw Rejected{std::string(name) + "=" + text + " is not a whole number from " +
                   std::to_string(lo) + " to " + std::to_string(hi)};
  }
  return v;
}

// A whole-number argument of the engine's command table.
std::int32_t WholeArg(const Job& job, const char* name, std::int32_t lo, std::int32_t hi) {
  return WholeNumber(name, job.Arg(name), lo, hi);
}

// In memory while the amounts fit; past the limit the amounts so far move to the external
// sort, which takes the rest and gives the large-data reports.
void RunUN(Job& job) {
  const int c = job.Col("col");
  cDoubleArray a;
  std::unique_ptr<cNewDouble> big;
  double first = 0.0;
  bool allEqual = true;  // the external sort has no report for amounts that are all equal
  while (job.Next()) {
    const double v = job.Number(c);
    if (job.RowsSelected() == 1) first = v;
    allEqual = allEqual && v == first;
    if (big) {
      big->AddItem(v);
      continue;
    }
    a.AddItem(v);
    if (a.Count() > job.Opts().maxInMemory) {
      big = std::make_unique<cNewDouble>();
      for (std::int32_t i = 0; i < a.Count(); ++i) big->AddItem(a.Element(i));
      a = cDoubleArray();
    }
  }
  if (big) {
    try {
      job.report = big->StatReport();
    } catch (const EngineError& e) {
      if (e.code() != ErrorCode::DivisionByZero) throw;
      Raise(e.code(),
            "the external sort's statistics need amounts that differ: " +
                (allEqual ? "all " + std::to_string(big->N()) + " amounts are " + NumText(first)
                          : "only " + std::to_string(big->N()) + " amounts were read") +
                "; with --max-in-memory above that count the report marks what cannot be computed");
    }
    Append(job.report, big->HistoReport());
    Append(job.report, big->PercentileReport());
    Append(job.report, big->TopNReport(10));
    Append(job.report, big->BottomNReport(10));
    return;
  }
  // One or two amounts, or all equal: the figures that can be computed, the others marked.
  job.report = a.StatReportNA();
  Append(job.report, a.HistoReportNA());
  Append(job.report, a.OLReportNA());
}

// A trend's figures. A series too short for the trend class still has its line when it holds
// two values (through the regression class; R squared says nothing then) and none with one:
// a figure that cannot be had is empty, and the report says why.
struct TrendFigures {
  double observations = 0;
  std::optional<double> slope, intercept, r2, firstExpected, lastExpected;
  double firstActual = 0, lastActual = 0;
};

TrendFigures ComputeTrend(const std::vector<double>& v) {
  TrendFigures f;
  f.observations = static_cast<double>(v.size());
  if (!v.empty() && v.size() < 3) {
    f.firstActual = v.front();
    f.lastActual = v.back();
    if (v.size() == 1) return f;
    cRegression reg;
    reg.AddObs(1, v[0]);
    reg.AddObs(2, v[1]);
    reg.fComputeSlope();
    f.slope = reg.M();
    f.intercept = reg.B();
    reg.CheckPredicted(1, v.front());
    f.firstExpected = reg.PointEstimate();
    reg.CheckPredicted(2, v.back());
    f.lastExpected = reg.PointEstimate();
    return f;
  }
  cTrend t;
  t.linest(v, static_cast<std::int16_t>(v.size()));
  f.slope = t.Slope();
  f.intercept = t.Intercept();
  f.r2 = t.R2();
  f.firstActual = t.LeftActual();
  f.firstExpected = t.LeftExpected();
  f.lastActual = t.RightActual();
  f.lastExpected = t.RightExpected();
  return f;
}

std::string TrendReport(const std::string& column, const TrendFigures& f) {
  std::string r = "Trend of " + column;
  r += kCrLf;
  auto line = [&](const char* label, std::optional<double> value, const char* why) {
    r += label;
    r += kTab;
    if (value)
      AppendNumText(r, *value);
    else
      r += why;
    r += kCrLf;
  };
  const char* fewer = "n/a (needs 2 or more values)";
  line("Observations", f.observations, "");
  line("Slope", f.slope, fewer);
  line("Intercept", f.intercept, fewer);
  line("R squared", f.r2, "n/a (needs 3 or more values)");
  line("First actual", f.firstActual, "");
  line("First expected", f.firstExpected, fewer);
  line("Last actual", f.lastActual, "");
  line("Last expected", f.lastExpected, fewer);
  return r;
}

void RunTR(Job& job) {
  const int c = job.Col("col");
  std::vector<double> v;
  while (job.Next()) v.push_back(job.Number(c));
  // The series length is a 16-bit count in the trend class.
  if (v.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    Raise(ErrorCode::Overflow, "a trend reads at most 32,767 values");
  }
  job.report = TrendReport(job.Arg("col"), ComputeTrend(v));
}

void RunAR(Job& job) {
  cAge age;
  if (job.Order() == DateOrder::kMdy) {
    age.AgeingDate(job.Arg("agedate"));
  } else {
    // agedate is written in the source's order; the class reads month/day/year
    const auto d = ParseDate(job.Arg("agedate"), job.Order());
    if (!d) {
      Raise(ErrorCode::TypeMismatch, "ageing date is not a date: " + job.Arg("agedate") +
                                         " (datefmt=" + LCase(job.RunnerArg("datefmt")) +
                                         " reads " + DateOrderName(job.Order()) + ")");
    }
    age.AgeingDate(DateText(*d));
  }
  std::int16_t width = static_cast<std::int16_t>(WholeArg(job, "colwidth", 1, 365));
  age.SetAgeWidth(width);
  const int d = job.Col("agecol");
  const int a = job.Col("trancol");
  while (job.Next()) age.AddItem(job.DateValue(d), job.Number(a));
  job.report = age.AgeReport();
}

void RunWD(Job& job) {
  cAge age;
  const int d = job.Col("col");
  while (job.Next()) age.AddItem(job.DateValue(d), 0.0);
  job.report = age.WDReport();
}

// Each date is read in the source's order (a value that is no date stops the run, as in WD)
// and looked up in the run's calendar.
void RunHO(Job& job) {
  cAge age;
  age.Holidays(job.Holidays());
  const int d = job.Col("col");
  while (job.Next()) {
    const Date x = job.DateValue(d);
    if (TrimView(job.Text(d)).size() >= 5) age.IsHolidayDate(x);
  }
  job.report = age.HolReport();
}

// A rate or level: a fraction from 0 to 1, or a percentage written with "%".
double RateArg(const Job& job, const char* name) {
  std::string text = Trim(job.Arg(name));
  bool percent = !text.empty() && text.back() == '%';
  if (percent) text.pop_back();
  const auto v = ParseNumber(text);
  const double d = v ? (percent ? *v / 100.0 : *v) : -1.0;
  if (!v || d < 0.0 || d > 1.0) {
    throw Rejected{std::string(name) + "=" + job.Arg(name) +
                   " is not a fraction from 0 to 1 or a percentage such as 95%"};
  }
  return d;
}

double NumberArg(const Job& job, const char* name) {
  const auto v = ParseNumber(job.Arg(name));
  if (!v) throw Rejected{std::string(name) + "=" + job.Arg(name) + " is not a number"};
  return *v;
}

void Figure(std::string& r, const char* label, double value) {
  r += label;
  r += kTab;
  AppendNumText(r, value);
  r += kCrLf;
}

// The selected rows of a sampling command go to the sample file, header first.
void StartSample(Job& job, OutputFile& out) { out.WriteLine(job.Source().HeaderLine()); }

// ---- Benford: which amounts are tested, and the text the digit test reads ----

// sign= and min= of BE and BA: rows whose amount is left out are not fed to the test at all.
// min= compares with the absolute value, so that with sign=all a credit of -250 is tested
// like a debit of 250 (digit tests read magnitudes).
struct AmountSelection {
  enum class Sign { All, Positive, Negative } sign = Sign::All;
  bool hasMin = false;
  double min = 0;
  bool given = false;  // sign= or min= on the line
  std::int64_t leftOut = 0;

  bool Keep(double v) {
    const bool keep = (sign == Sign::All || (sign == Sign::Positive ? v > 0 : v < 0)) &&
                      (!hasMin || std::fabs(v) >= min);
    if (!keep) ++leftOut;
    return keep;
  }
};

AmountSelection SelectionArgs(const Job& job) {
  AmountSelection s;
  const std::string sign = job.RunnerArg("sign");
  if (!sign.empty()) {
    s.given = true;
    if (EqualsNoCase(sign, "all"))
      s.sign = AmountSelection::Sign::All;
    else if (EqualsNoCase(sign, "positive"))
      s.sign = AmountSelection::Sign::Positive;
    else if (EqualsNoCase(sign, "negative"))
      s.sign = AmountSelection::Sign::Negative;
    else
      throw Rejected{"sign=" + sign + " is not one of all, positive, negative"};
  }
  const std::string min = job.RunnerArg("min");
  if (!min.empty()) {
    s.given = true;
    const auto v = ParseNumber(min);
    if (!v || !std::isfinite(*v) || *v < 0) {
      throw Rejected{"min=" + min + " is not an amount of 0 or more"};
    }
    s.hasMin = true;
    s.min = *v;
  }
  return s;
}

// The report lines that say which amounts were tested.
void AppendSelection(std::string& r, const AmountSelection& s) {
  r += "Amounts tested";
  r += kCrLf;
  r += "Sign\t";
  r += s.sign == AmountSelection::Sign::All
           ? "all"
           : (s.sign == AmountSelection::Sign::Positive ? "positive" : "negative");
  r += kCrLf;
  r += "Minimum absolute amount\t";
  if (s.hasMin)
    AppendNumText(r, s.min);
  else
    r += "none";
  r += kCrLf;
  r += "Rows left out by sign= and min=\t";
  AppendNumText(r, static_cast<double>(s.leftOut));
  r += kCrLf;
}

// The shortest plain decimal text of |v| that reads back as v (77.8 and 77.80 in a file are
// one amount, written 77.8), at `out`, which holds kAmountText characters; returns its end.
// A cell written as plain decimals with at most 15 significant digits is that text already,
// less its sign, leading zeros and trailing fractional zeros: two such decimals never share a
// double, so no shorter text reads back as v. Any other cell goes through std::to_chars.
constexpr std::size_t kAmountText = 1100;  // the longest fixed text of a double, and places

char* ShortestText(double v, std::string_view cell, char* out) {
  std::size_t i = 0;
  const std::size_t n = cell.size();
  if (i < n && cell[i] == '-') ++i;
  const std::size_t intStart = i;
  while (i < n && cell[i] >= '0' && cell[i] <= '9') ++i;
  const std::size_t intEnd = i;
  std::size_t fracStart = i, fracEnd = i;
  if (i < n && cell[i] == '.') {
    fracStart = ++i;
    while (i < n && cell[i] >= '0' && cell[i] <= '9') ++i;
    fracEnd = i;
  }
  std::size_t lead = intStart;
  while (lead < intEnd && cell[lead] == '0') ++lead;
  while (fracEnd > fracStart && cell[fracEnd - 1] == '0') --fracEnd;
  std::size_t significant = (intEnd - lead) + (fracEnd - fracStart);
  if (lead == intEnd) {  // below 1: leading zeros of the fraction are not significant
    std::size_t f = fracStart;
    while (f < fracEnd && cell[f] == '0') ++f;
    significant = fracEnd - f;
  }
  // Far from 1 (subnormals, or beyond 10^22) the fallback is the safe one.
  if (i != n || intEnd + fracEnd == intStart + fracStart || significant > 15 ||
      intEnd - lead > 22 || fracEnd - fracStart > 30) {
    return std::to_chars(out, out + kAmountText, std::fabs(v), std::chars_format::fixed).ptr;
  }
  char* p = out;
  if (lead == intEnd) *p++ = '0';
  for (std::size_t k = lead; k < intEnd; ++k) *p++ = cell[k];
  if (fracEnd > fracStart) {
    *p++ = '.';
    for (std::size_t k = fracStart; k < fracEnd; ++k) *p++ = cell[k];
  }
  return p;
}

// The text handed to the digit test, made from the shortest text of the amount (`cell` as
// read, see ShortestText): rounded to `places` decimals (halves away from zero) when it has
// more, padded with zeros to `places` when it has fewer and `trim` is false; with `trim` no
// zeros end the fraction (the first- and second-digit tests: 5.00 reads as 5, never as 50).
// `places` < 0 keeps the amount's own decimals, which go to `decimals`. `buf` holds
// kAmountText characters; no allocation.
// An amount kept until the decimals of all amounts are known: its shortest text as digits
// (below 2^57) and decimals (below 128) in one word; false for an amount that does not fit.
bool PackShortest(double v, std::string_view cell, char* buf, std::uint64_t& packed,
                  int& decimals) {
  const char* end = ShortestText(v, cell, buf);
  std::uint64_t m = 0;
  int digits = 0;
  decimals = 0;
  bool fraction = false;
  for (const char* p = buf; p < end; ++p) {
    if (*p == '.') {
      fraction = true;
      continue;
    }
    decimals += fraction ? 1 : 0;
    if (m == 0 && *p == '0') continue;
    if (++digits > 17) return false;
    m = m * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (m >= (std::uint64_t{1} << 57) || decimals > 127) return false;
  packed = m << 7 | static_cast<std::uint64_t>(decimals);
  return true;
}

// The text of a packed amount with exactly `places` (>= its own) decimals, at buf.
std::string_view UnpackedText(std::uint64_t packed, int places, char* buf) {
  const int decimals = static_cast<int>(packed & 127);
  char digits[24];
  char* dEnd = std::to_chars(digits, digits + sizeof digits, packed >> 7).ptr;
  const int n = static_cast<int>(dEnd - digits);
  char* p = buf;
  if (n > decimals) {
    p = std::copy(digits, digits + (n - decimals), p);
  } else {
    *p++ = '0';
  }
  if (places > 0) {
    *p++ = '.';
    for (int i = n; i < decimals; ++i) *p++ = '0';
    p = std::copy(digits + std::max(0, n - decimals), dEnd, p);
    for (int i = decimals; i < places; ++i) *p++ = '0';
  }
  return {buf, static_cast<std::size_t>(p - buf)};
}

// The common case of the first- and second-digit tests without places=: a cell of plain
// decimals ([-]digits[.digits]) needs only its fractional zeros dropped, since the digit test
// passes over the sign, the point and leading zeros; nothing is copied. False for any other
// cell, which goes through AmountText.
bool TrimmedPlain(std::string_view cell, std::string_view& text, int& decimals) {
  std::size_t i = cell.size() > 0 && cell[0] == '-' ? 1 : 0;
  const std::size_t digitsStart = i;
  std::size_t dot = std::string_view::npos;
  for (; i < cell.size(); ++i) {
    const char ch = cell[i];
    if (ch >= '0' && ch <= '9') continue;
    if (ch != '.' || dot != std::string_view::npos) return false;
    dot = i;
  }
  if (i == digitsStart || (dot == digitsStart && i == digitsStart + 1)) return false;
  // Beyond 15 digits two texts may share a double: the amount's own text decides then.
  if (i - digitsStart > (dot == std::string_view::npos ? 15u : 16u)) return false;
  std::size_t end = cell.size();
  if (dot != std::string_view::npos) {
    while (end > dot + 1 && cell[end - 1] == '0') --end;
    if (end == dot + 1) end = dot;
    decimals = end > dot ? static_cast<int>(end - dot - 1) : 0;
  } else {
    decimals = 0;
  }
  text = cell.substr(0, end);
  return true;
}

std::string_view AmountText(double v, std::string_view cell, int places, bool trim, char* buf,
                            int& decimals) {
  char* begin = buf + 1;  // buf[0] takes a carry out of the leading digit
  char* end = ShortestText(v, cell, begin);
  char* dot = std::find(begin, end, '.');
  decimals = dot == end ? 0 : static_cast<int>(end - dot - 1);
  if (places >= 0 && decimals > places) {
    const bool up = dot[places + 1] >= '5';
    end = places == 0 ? dot : dot + places + 1;
    if (up) {
      char* q = end - 1;
      for (;; --q) {
        if (q < begin) {
          *q = '1';
          begin = q;
          break;
        }
        if (*q == '.') continue;
        if (*q != '9') {
          ++*q;
          break;
        }
        *q = '0';
      }
    }
  } else if (places > decimals && !trim) {
    if (dot == end) *end++ = '.';
    for (int i = decimals; i < places; ++i) *end++ = '0';
  }
  if (trim && std::find(begin, end, '.') != end) {
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
  }
  return {begin, static_cast<std::size_t>(end - begin)};
}

// Digit tests read the amount, not how a file writes it: each selected row's amount is handed
// to cBenford as AmountText. F1, F2 and D2 read it without trailing zeros, which is the same
// text whatever places= is, as long as nothing is rounded, so they take each row as it comes.
// L1 and L2 read exactly `places` decimals; without places= that is the most decimals among the
// tested amounts, known only at the end, so their amounts are kept until then (8 bytes a row).
void RunBE(Job& job) {
  const std::string type = UCase(job.Arg("type").substr(0, 2));
  if (type != "F1" && type != "F2" && type != "L1" && type != "L2" && type != "D2") {
    throw Rejected{"type=" + job.Arg("type") + " is not one of F1, F2, L1, L2, D2"};
  }
  AmountSelection select = SelectionArgs(job);
  int places = -1;
  if (const std::string p = job.RunnerArg("places"); !p.empty()) {
    std::int32_t v = 0;
    const auto r = std::from_chars(p.data(), p.data() + p.size(), v);
    if (r.ec != std::errc() || r.ptr != p.data() + p.size() || v < 0 || v > 20) {
      throw Rejected{"places=" + p + " is not a whole number from 0 to 20"};
    }
    places = v;
  }
  const bool lastDigits = type == "L1" || type == "L2";
  const int c = job.Col("col");
  cBenford b;
  b.btype(type);
  std::array<char, kAmountText> buf;
  int most = 0, decimals = 0;
  std::vector<std::uint64_t> kept;  // nearly every amount, packed
  std::vector<double> keptWhole;    // the rest
  while (job.Next()) {
    const double v = job.Number(c);  // a value that is no amount is an error, never a silent skip
    if (!select.Keep(v)) continue;
    if (lastDigits && places < 0) {
      std::uint64_t packed = 0;
      if (PackShortest(v, job.Text(c), buf.data(), packed, decimals))
        kept.push_back(packed);
      else
        keptWhole.push_back(v);
    } else if (std::string_view plain;
               !lastDigits && places < 0 && TrimmedPlain(job.Text(c), plain, decimals)) {
      b.AddObs(plain);
    } else {
      b.AddObs(AmountText(v, job.Text(c), places, !lastDigits, buf.data(), decimals));
    }
    most = std::max(most, decimals);
  }
  // Tallies do not depend on the order of the amounts.
  for (const std::uint64_t packed : kept) b.AddObs(UnpackedText(packed, most, buf.data()));
  for (const double v : keptWhole) b.AddObs(AmountText(v, {}, most, false, buf.data(), decimals));
  b.Compute();
  job.report = b.Report();
  if (select.given || places >= 0 || lastDigits) {
    Append(job.report, "");
    AppendSelection(job.report, select);
    job.report += "Decimals read (places)\t";
    AppendNumText(job.report, static_cast<double>(places >= 0 ? places : most));
    job.report += places >= 0 ? "\tgiven" : "\tthe most among the tested amounts";
    job.report += kCrLf;
  }
}

// Rows as (key, amount) items of a summary by key (amount 0 without an amount column), in
// batches: with many keys the summary's lookups then overlap instead of queueing.
template <class Summary>
void FeedKeysInBatches(Job& job, const KeyColumns& key, int a, Summary& summary,
                       AmountSelection* select = nullptr) {
  constexpr std::size_t kBatch = 64;
  std::array<std::string, kBatch> keys;
  std::array<std::string_view, kBatch> views;
  std::array<double, kBatch> amounts;
  std::array<std::int64_t, kBatch> rows;
  std::size_t n = 0;
  // An error of a batch names its row: the amount that is beyond the fixed-point range, or
  // else the rows whose amounts were being added.
  auto items = [&] {
    try {
      summary.Items(views.data(), amounts.data(), n);
    } catch (const EngineError& e) {
      if (n == 0 || std::string_view(e.what()).find("row") != std::string_view::npos) throw;
      const std::string where = " in " + job.Source().Where();
      const std::string column =
          a < 0 ? std::string() : job.Source().Names()[static_cast<std::size_t>(a)];
      for (std::size_t i = 0; i < n; ++i) {
        if (a < 0 || std::fabs(amounts[i]) <= 922337203685477.0) continue;
        throw EngineError(e.code(), "the amount on row: " + std::to_string(rows[i]) + where + " (" +
                                        column + ": " + NumText(amounts[i]) +
                                        ") is beyond the fixed-point range");
      }
      throw EngineError(e.code(), "while adding rows: " + std::to_string(rows[0]) + " to " +
                                      std::to_string(rows[n - 1]) + where);
    }
  };
  while (job.Next()) {
    amounts[n] = a < 0 ? 0.0 : job.Number(a);
    if (select != nullptr && !select->Keep(amounts[n])) continue;
    KeyText(job.Source(), key, keys[n]);
    views[n] = keys[n];
    rows[n] = job.RowsRead() + 1;
    if (++n == kBatch) {
      items();
      n = 0;
    }
  }
  items();
}

// A composite key's parts are joined with kKeyJoin in the engine's records. In the report each
// part stands in a column of its own: the key's heading becomes the parts' column names, and
// the totals line moves its figures along so that they stay under their headings.
void ShowCompositeKey(std::string& report, const KeyColumns& key, std::string_view heading) {
  if (!key.Composite()) return;
  std::string names;
  for (std::size_t i = 0; i < key.names.size(); ++i) names += (i ? "\t" : "") + key.names[i];
  const std::string pad(key.cols.size() - 1, '\t');
  std::string out;
  out.reserve(report.size() + report.size() / 8);
  bool headingDone = false;
  for (std::size_t start = 0; start < report.size();) {
    std::size_t end = report.find('\n', start);
    end = end == std::string::npos ? report.size() : end + 1;
    std::string_view line(report.data() + start, end - start);
    const std::string_view first = line.substr(0, line.find_first_of("\t\r\n"));
    if (!headingDone && first == heading) {
      out += names;
      line.remove_prefix(first.size());
      headingDone = true;
    } else if (first == "Totals") {
      out += first;
      out += pad;
      line.remove_prefix(first.size());
    }
    for (const char ch : line) out += ch == kKeyJoin ? '\t' : ch;
    start = end;
  }
  report.swap(out);
}

// sign= and min= leave rows out of the summary altogether: a key's count and totals are those
// of its tested amounts.
void RunBA(Job& job) {
  AmountSelection select = SelectionArgs(job);
  cBA ba;
  const KeyColumns key = job.Key("col");
  FeedKeysInBatches(job, key, job.Col("amount"), ba, &select);
  job.report = ba.SummaryReport();
  ShowCompositeKey(job.report, key, "Variable");
  if (select.given) AppendSelection(job.report, select);
}

// Near misses: each invoice is tested as it arrives against those before it, so every pair is
// listed once.
void RunNE(Job& job) {
  cCR cr;
  cr.DateTol(WholeArg(job, "datetol", 0, 36500));
  const KeyColumns v = job.Key("vendno");
  const int n = job.Col("invno"), d = job.Col("invdate"), a = job.Col("invamt");
  std::string vendor, invno;
  while (job.Next()) {
    const Date date = job.DateValue(d);
    const double amount = job.Number(a);
    KeyText(job.Source(), v, vendor);
    invno.assign(job.Text(n));
    cr.AddItem(vendor, invno, date, amount);
    cr.nemisstrans();
  }
  job.report = cr.NEReport();
  ShowCompositeKey(job.report, v, "Vendno");
}

// Splits: an invoice may be split into parts entered before or after it, so every invoice is
// tested once all are in. The whole must lie within wholetol= days of each part (by default
// datetol=): without that bound a ledger of a year pairs every two invoices of a vendor that
// happen to add up to a third one of any date, millions of lines no one can review.
void RunSP(Job& job) {
  cCR cr;
  const std::int32_t dateTol = WholeArg(job, "datetol", 0, 36500);
  cr.DateTol(dateTol);
  cr.SimTol(WholeArg(job, "simtol", 0, 1000000));
  const std::string wholeText = job.RunnerArg("wholetol");
  std::int32_t wholeTol = dateTol;
  if (EqualsNoCase(wholeText, "any")) {
    wholeTol = -1;
  } else if (!wholeText.empty()) {
    wholeTol = WholeNumber("wholetol", wholeText, 0, 36500);
  }
  cr.WholeTol(wholeTol);
  const std::string pairsText = LCase(job.RunnerArg("pairs"));
  if (!pairsText.empty() && pairsText != "first" && pairsText != "all") {
    throw Rejected{"pairs=" + job.RunnerArg("pairs") + " is not one of first, all"};
  }
  cr.EveryPair(pairsText == "all");
  const KeyColumns v = job.Key("vendno");
  const int n = job.Col("invno"), d = job.Col("invdate"), a = job.Col("invamt");
  std::string vendor, invno;
  std::int32_t count = 0;
  while (job.Next()) {
    const Date date = job.DateValue(d);
    const double amount = job.Number(a);
    KeyText(job.Source(), v, vendor);
    invno.assign(job.Text(n));
    cr.AddItem(vendor, invno, date, amount);
    ++count;
  }
  for (std::int32_t i = 0; i < count; ++i) cr.SplitTran();
  job.report = cr.SPReport();
  ShowCompositeKey(job.report, v, "Vendno");
  // The closing note: how many splits, and the date windows they were found in.
  job.report += "Splits found: ";
  job.report += kTab;
  job.report += NumText(cr.SPPairs());
  job.report += kTab;
  if (!cr.EveryPair()) {
    job.report += "(" + NumText(cr.SPCount()) +
                  " whole invoices listed once each, with their "
                  "first pair; pairs=all lists every pair; ";
  } else {
    job.report += "(";
  }
  job.report += "parts within " + std::to_string(dateTol) + " days of each other, ";
  job.report += wholeTol < 0
                    ? std::string("the whole at any date")
                    : "the whole within " + std::to_string(wholeTol) + " days of each part";
  job.report += ")";
  job.report += kCrLf;
}

void RunIS(Job& job) {
  cIS is;
  std::int32_t interval = WholeArg(job, "intvl", 5, 1000000000);
  is.interval(interval);
  is.rn(WholeArg(job, "rn", 1, interval));
  OutputFile out(job.Arg("sample"), job.Inputs());
  StartSample(job, out);
  while (job.Next()) {
    if (is.AddItem(Variant{})) out.WriteLine(job.Source().RowLine());
  }
  job.report = is.Recon();
  out.Commit();
}

void RunCM(Job& job) {
  cCMA cma;
  const double j = NumberArg(job, "J");
  if (j < 100) throw Rejected{"J=" + job.Arg("J") + " is below 100"};
  const std::int32_t r = WholeArg(job, "R", 1, 3);
  cma.r(static_cast<std::int16_t>(r));
  cma.j(Currency::FromDouble(j));
  cma.rn(Currency::FromDouble(NumberArg(job, "RN")));
  const int c = job.Col("col");
  OutputFile out(job.Arg("sample"), job.Inputs());
  StartSample(job, out);
  while (job.Next()) {
    if (cma.AddItem(job.Number(c))) out.WriteLine(job.Source().RowLine());
  }
  job.report = cma.CMASampRec();
  out.Commit();
}

std::int32_t CountArg(const Job& job, const char* name) {
  return WholeArg(job, name, 0, std::numeric_limits<std::int32_t>::max());
}

// method= of SA and PR: the normal approximation (default) or the exact distributions.
bool ExactMethod(const Job& job) {
  const std::string m = LCase(Trim(job.RunnerArg("method")));
  if (m.empty() || m == "normal") return false;
  if (m == "exact") return true;
  throw Rejected{"method=" + job.RunnerArg("method") + " is not one of normal, exact"};
}

// Exact plan: the tolerable deviation rate is the expected rate plus the precision wanted.
void RunSAExact(Job& job, std::int32_t pop, double conf, double ep, double er) {
  cAttribute at;
  at.Population(pop);
  at.conf(conf);
  double tolerable = ep + er;
  if (tolerable > 1.0) {
    throw Rejected{"ep=" + job.Arg("ep") + " plus er=" + job.Arg("er") +
                   " (the tolerable deviation rate) is above 1"};
  }
  at.tolerable(tolerable);
  at.expected(ep);
  if (at.SampleSize() < 0) throw Rejected{"SA: " + at.ErrMsg()};
  job.report = at.SizeReport();
}

// The normal-approximation plan of SA, as the interval-sampling class works it out.
struct SampleSizePlan {
  double population, confidence, expectedRate, precision;
  std::int32_t normal, zeroDeviation, required;
};

SampleSizePlan ComputeSampleSize(std::int32_t pop, double conf, double ep, double er) {
  cIS is;
  is.popsize(pop);
  is.conf(conf);
  is.expecterrorrate(ep);
  is.prec(er);
  SampleSizePlan p;
  p.normal = is.NormalSampleSize();
  p.zeroDeviation = is.ZeroDeviationSize();
  p.required = is.RequiredSampleSize();
  p.population = is.popsize();
  p.confidence = is.conf();
  p.expectedRate = is.expecterrorrate();
  p.precision = is.prec();
  return p;
}

std::string SampleSizeReport(const SampleSizePlan& p) {
  std::string r = "Attribute Sample Size";
  r += kCrLf;
  Figure(r, "Population", p.population);
  Figure(r, "Confidence", p.confidence);
  Figure(r, "Expected error rate", p.expectedRate);
  Figure(r, "Precision", p.precision);
  Figure(r, "Normal approximation", p.normal);
  Figure(r, "Zero-deviation size (exact binomial)", p.zeroDeviation);
  r += "Size from\t";
  if (p.required < (p.normal > p.zeroDeviation ? p.normal : p.zeroDeviation)) {
    r += "the population: test every item";
  } else if (p.required == p.normal) {
    r += "the normal approximation";
  } else {
    r += "the zero-deviation size: the normal approximation is too small";
  }
  r += kCrLf;
  Figure(r, "Required sample size", p.required);
  return r;
}

void RunSA(Job& job) {
  const bool exact = ExactMethod(job);
  const std::int32_t pop = CountArg(job, "pop");
  double conf = RateArg(job, "conf"), ep = RateArg(job, "ep"), er = RateArg(job, "er");
  if (exact) {
    RunSAExact(job, pop, conf, ep, er);
    return;
  }
  job.report = SampleSizeReport(ComputeSampleSize(pop, conf, ep, er));
}

// The precision a sample achieved (normal approximation; with no errors found, the exact
// binomial upper limit), as the interval-sampling class works it out.
struct AchievedPrecision {
  double population, confidence, sampleSize, errors, precision;
};

AchievedPrecision ComputePrecision(std::int32_t pop, double conf, std::int32_t ss,
                                   std::int32_t errors) {
  cIS is;
  is.popsize(pop);
  is.conf(conf);
  is.SampSize(ss);
  is.actualerrs(errors);
  AchievedPrecision p;
  p.population = is.popsize();
  p.confidence = is.conf();
  p.sampleSize = is.SampSize();
  p.errors = is.actualerrs();
  p.precision = is.GetSampPrec();
  return p;
}

std::string PrecisionReport(const AchievedPrecision& p) {
  std::string r = "Achieved Precision";
  r += kCrLf;
  Figure(r, "Population", p.population);
  Figure(r, "Confidence", p.confidence);
  Figure(r, "Sample size", p.sampleSize);
  Figure(r, "Errors found", p.errors);
  r += "Basis\t";
  r += p.errors == 0 ? "exact binomial upper limit (no errors found)" : "normal approximation";
  r += kCrLf;
  Figure(r, "Precision", p.precision);
  return r;
}

void RunPR(Job& job) {
  const bool exact = ExactMethod(job);
  const std::int32_t pop = CountArg(job, "pop");
  double conf = RateArg(job, "conf");
  const std::int32_t ss = CountArg(job, "ss");
  std::int32_t errors = CountArg(job, "nobs");
  if (exact) {
    cAttribute at;
    at.Population(pop);
    at.conf(conf);
    at.SampSize(ss);
    at.Deviations(errors);
    if (at.UpperLimit() < 0.0) throw Rejected{"PR: " + at.ErrMsg()};
    job.report = at.LimitReport();
    return;
  }
  job.report = PrecisionReport(ComputePrecision(pop, conf, ss, errors));
}

// The sampled items with their book and audited amounts; the evaluation needs them all
// before the misstatements can be ranked.
void RunSE(Job& job) {
  if (job.Arg("intvl").empty()) throw Rejected{"missing: intvl= "};
  if (job.Arg("conf").empty()) throw Rejected{"missing: conf= "};
  const double interval = NumberArg(job, "intvl");
  if (!(interval > 0.0)) throw Rejected{"intvl=" + job.Arg("intvl") + " is not above 0"};
  double conf = RateArg(job, "conf");
  cMUSEval ev;
  ev.interval(interval);
  ev.conf(conf);
  const int b = job.Col("book"), a = job.Col("audit");
  while (job.Next()) {
    const double book = job.Number(b);
    if (!(Currency::FromDouble(book).ToDouble() > 0.0)) {
      Raise(ErrorCode::InvalidArgument,
            "Col: " + job.RunnerArg("book") + " on row: " + std::to_string(job.RowsRead() + 1) +
                " is not a positive book amount: " + std::string(job.Text(b)) +
                " (monetary units select positive book amounts)");
    }
    ev.AddItem(book, job.Number(a));
  }
  job.report = ev.Report();
}

void RunST(Job& job) {
  cStratify st;
  if (st.stratum(job.Arg("strata")) < 0) throw Rejected{"strata: " + st.ErrMsg()};
  const int c = job.Col("col");
  while (job.Next()) st.AddObs(job.Number(c));
  job.report = st.Report();
}

// SU, DU and PO: one summary by key; the amount is optional for duplicates.
void SummariseKeys(Job& job, cStringArray& sa) {
  FeedKeysInBatches(job, job.Key("col"), job.Col("amount"), sa);
}

void RunSU(Job& job) {
  cStringArray sa;
  SummariseKeys(job, sa);
  job.report = sa.SummaryReport();
  ShowCompositeKey(job.report, job.Key("col"), "Variable");
}

void RunDU(Job& job) {
  cStringArray sa;
  SummariseKeys(job, sa);
  job.report = sa.DuplicateReport();
  ShowCompositeKey(job.report, job.Key("col"), "Variable");
}

void RunPO(Job& job) {
  cStringArray sa;
  SummariseKeys(job, sa);
  sa.ComputePareto();
  std::string& r = job.report;
  r = "Pareto of " + job.Arg("col") + " by " + job.Arg("amount");
  r += kCrLf;
  r += "Key\tAbsolute total";
  r += kCrLf;
  for (std::int16_t i = 0; i < cStringArray::kParetoSlots; ++i) {
    if (sa.ParItem(i).empty()) continue;
    r += sa.ParItem(i);
    r += kTab;
    AppendNumber(r, sa.ParVal(i), "###,###,###,###.00");
    r += kCrLf;
  }
  r += "All other keys";
  r += kTab;
  AppendNumber(r, sa.ParOther(), "###,###,###,###.00");
  r += kCrLf;
}

// The number in a sequence value with letters (digits=): the last run of digits ("INV10234"
// gives 10234, "0496J10" gives 10), the first ("0496J10" gives 496) or all its digits in order
// ("0496J10" gives 49610). A value without digits, or whose digits pass the 32-bit range, is
// the type-mismatch error.
enum class Digits { Trailing, Leading, All };

std::int32_t DigitsOf(const Job& job, int c, Digits mode) {
  const std::string_view text = job.Text(c);
  std::int64_t v = 0;
  std::size_t count = 0;
  bool tooLong = false;
  auto take = [&](char ch) {
    v = v * 10 + (ch - '0');
    ++count;
    if (v > std::numeric_limits<std::int32_t>::max()) {
      tooLong = true;
      v = 0;
    }
  };
  auto digit = [](char ch) { return ch >= '0' && ch <= '9'; };
  if (mode == Digits::All) {
    for (const char ch : text)
      if (digit(ch)) take(ch);
  } else if (mode == Digits::Leading) {
    std::size_t i = 0;
    while (i < text.size() && !digit(text[i])) ++i;
    for (; i < text.size() && digit(text[i]); ++i) take(text[i]);
  } else {
    std::size_t e = text.size();
    while (e > 0 && !digit(text[e - 1])) --e;
    std::size_t b = e;
    while (b > 0 && digit(text[b - 1])) --b;
    for (std::size_t i = b; i < e; ++i) take(text[i]);
  }
  if (count == 0 || tooLong) {
    Raise(ErrorCode::TypeMismatch,
          "Col: " + job.Arg("col") + " on row: " + std::to_string(job.RowsRead() + 1) +
              (count == 0 ? " has no digits: " : " has digits beyond 2,147,483,647: ") +
              std::string(text));
  }
  return static_cast<std::int32_t>(v);
}

void RunGA(Job& job) {
  const int c = job.Col("col");
  cLongArray seq;
  if (const std::string d = LCase(job.RunnerArg("digits")); !d.empty()) {
    Digits mode = Digits::Trailing;
    if (d == "leading")
      mode = Digits::Leading;
    else if (d == "all")
      mode = Digits::All;
    else if (d != "trailing")
      throw Rejected{"digits=" + job.RunnerArg("digits") + " is not one of trailing, leading, all"};
    while (job.Next()) seq.AddItem(DigitsOf(job, c, mode));
    seq.SortArray();
    job.report = seq.Gaps();
    return;
  }
  while (job.Next()) {
    const double v = job.Number(c);
    if (v != std::floor(v) || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max()) {
      Raise(ErrorCode::TypeMismatch, "Col: " + job.Arg("col") +
                                         " on row: " + std::to_string(job.RowsRead() + 1) +
                                         " is not a whole number: " + std::string(job.Text(c)));
    }
    seq.AddItem(static_cast<std::int32_t>(v));
  }
  seq.SortArray();
  job.report = seq.Gaps();
}

void RunRN(Job& job) {
  const int c = job.Col("col");
  cMisc m;
  while (job.Next()) {
    job.Number(c);
    m.RNAddItem(job.Text(c));
  }
  job.report = m.RNReport();
}

// Area code, state, country and time zone of every telephone number, row by row.
void RunLU(Job& job) {
  const int c = job.Col("col");
  cMisc m;
  std::string& r = job.report;
  r = "Row\tTelephone\tArea code\tState\tCountry\tTime zone";
  r += kCrLf;
  while (job.Next()) {
    const std::string_view phone = job.Text(c);
    const std::int16_t code = m.AreaCode(phone);
    r += std::to_string(job.RowsRead() + 1);
    r += kTab;
    r.append(phone);
    r += kTab;
    if (code >= 0) r += std::to_string(code);
    r += kTab;
    r += m.State(phone);
    r += kTab;
    r += m.Country(phone);
    r += kTab;
    r += m.TimeZone(phone);
    r += kCrLf;
  }
}

// The accounts in file order with both periods' balances; the comparison needs the period
// totals first, so the rows are held until the end of the source.
void RunKS(Job& job) {
  const int a = job.Col("acct"), p1 = job.Col("col1"), p2 = job.Col("col2");
  struct Row {
    std::string acct;
    double v1, v2;
  };
  std::vector<Row> rows;
  double t1 = 0.0, t2 = 0.0;
  while (job.Next()) {
    rows.push_back({std::string(job.Text(a)), job.Number(p1), job.Number(p2)});
    t1 += rows.back().v1;
    t2 += rows.back().v2;
  }
  if (rows.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    Raise(ErrorCode::Overflow, "a comparison holds at most 32,767 accounts");
  }
  cKS ks;
  ks.Setup(static_cast<std::int16_t>(rows.size()), t1, t2);
  for (const Row& row : rows) ks.AddItem(row.acct, row.v1, row.v2);
  std::string& r = job.report;
  r = "Two-period comparison of " + job.Arg("col1") + " and " + job.Arg("col2");
  r += kCrLf;
  r += "Account\tPeriod 1\tPeriod 2\tCum % 1\tCum % 2\tDifference";
  r += kCrLf;
  if (t1 != 0.0 && t2 != 0.0) {
    for (std::int16_t i = 0; i < static_cast<std::int16_t>(rows.size()); ++i) {
      r += ks.Acct(i);
      r += kTab;
      AppendNumber(r, ks.Per1(i), "###,###,###,###.00");
      r += kTab;
      AppendNumber(r, ks.Per2(i), "###,###,###,###.00");
      r += kTab;
      AppendNumber(r, ks.CP1(i), "##.#0%");
      r += kTab;
      AppendNumber(r, ks.CP2(i), "##.#0%");
      r += kTab;
      AppendNumber(r, ks.CD(i), "#0.####0");
      r += kCrLf;
    }
  }
  // A period that totals 0 has no cumulative shares: its accounts are listed with their
  // amounts, and the shares and the D-stat are marked rather than shown as 0.
  const std::string na = t1 == 0.0 && t2 == 0.0 ? "n/a (both periods total 0)"
                         : t1 == 0.0            ? "n/a (period 1 totals 0)"
                                                : "n/a (period 2 totals 0)";
  if (t1 == 0.0 || t2 == 0.0) {
    for (const Row& row : rows) {
      r += row.acct;
      r += kTab;
      AppendNumber(r, row.v1, "###,###,###,###.00");
      r += kTab;
      AppendNumber(r, row.v2, "###,###,###,###.00");
      r += "\tn/a\tn/a\tn/a";
      r += kCrLf;
    }
  }
  r += "Totals\t";
  AppendNumber(r, ks.Total1(), "###,###,###,###.00");
  r += kTab;
  AppendNumber(r, ks.Total2(), "###,###,###,###.00");
  r += kCrLf;
  if (t1 == 0.0 || t2 == 0.0) {
    r += "D-stat\t" + na;
    r += kCrLf;
    r += "Largest difference at\t" + na;
    r += kCrLf;
    return;
  }
  r += "D-stat\t";
  AppendNumber(r, ks.dstat(), "#0.####0");
  r += kCrLf;
  r += "Largest difference at\t" + ks.AcctName();
  r += kCrLf;
}

// The selected rows, header first: to the sample file when one is named (written whole or
// not at all), else as the report.
void RunEX(Job& job) {
  const std::string sample = job.Arg("sample");
  std::int64_t rows = 0;
  if (sample.empty()) {
    std::string& r = job.report;
    r = job.Source().HeaderLine();
    r += kCrLf;
    while (job.Next()) {
      r.append(job.Source().RowLine());
      r += kCrLf;
      ++rows;
    }
    return;
  }
  OutputFile out(sample, job.Inputs());
  StartSample(job, out);
  while (job.Next()) {
    out.WriteLine(job.Source().RowLine());
    ++rows;
  }
  out.Commit();
  std::string& r = job.report;
  r = "Extract";
  r += kCrLf;
  Figure(r, "Rows read", static_cast<double>(job.RowsRead()));
  Figure(r, "Rows selected", static_cast<double>(rows));
  r += "Written to\t" + sample;
  r += kCrLf;
}

// The rows of the source whose key is (match=in) or is not (match=out) among the keys of a
// second source, read through the same sources as the first. The second source's keys go into
// a hash index over one block of text; an empty key (every part empty) matches nothing, so
// blank addresses or accounts never pair up and a payment without a vendor is never "in".
void RunJO(Job& job) {
  const std::string file2 = job.RunnerArg("file2"), conn2 = job.RunnerArg("conn2");
  if (file2.empty() == conn2.empty()) {
    throw Rejected{
        "JO compares with a second source: give file2=PATH (filespec2= for a print file) "
        "or conn2=PATH sql2=QUERY"};
  }
  if (!conn2.empty() && job.RunnerArg("sql2").empty()) throw Rejected{"missing: sql2= "};
  const std::string match =
      LCase(job.RunnerArg("match").empty() ? std::string("in") : job.RunnerArg("match"));
  if (match != "in" && match != "out")
    throw Rejected{"match=" + job.RunnerArg("match") + " is not one of in, out"};
  const bool wantIn = match == "in";

  SourceArgs args2{conn2.empty() ? "file" : "db",
                   file2,
                   job.RunnerArg("filespec2"),
                   conn2,
                   job.RunnerArg("sql2"),
                   job.RunnerArg("sheet2"),
                   std::string()};
  std::vector<std::string> inputs2;
  std::unique_ptr<RowSource> second = OpenSource(args2, inputs2);
  for (const std::string& f : inputs2) job.AddInput(f);
  const KeyColumns key = job.Key("col");
  const std::string keyArg2 =
      job.RunnerArg("key2").empty() ? job.Arg("col") : job.RunnerArg("key2");
  const bool tab2 = conn2.empty() && static_cast<const FileSource&>(*second).Layout() == "T";
  KeyColumns key2 = ResolveKey("key2", keyArg2, *second, tab2 ? file2 : std::string(), true);
  key2.mode = key.mode;
  if (key2.cols.size() != key.cols.size()) {
    throw Rejected{"key2=" + keyArg2 + " names " + std::to_string(key2.cols.size()) +
                   " columns, col=" + job.Arg("col") + " names " + std::to_string(key.cols.size()) +
                   ": the keys must match part for part"};
  }
  const std::string sample = job.Arg("sample");
  std::unique_ptr<OutputFile> out;
  if (!sample.empty()) out = std::make_unique<OutputFile>(sample, job.Inputs());

  // The second source's distinct keys.
  job.StartRun();
  std::string arena;
  struct Span {
    std::uint32_t at, size;
  };
  std::vector<Span> spans;
  KeyIndex index;
  auto keyOf = [&](std::int32_t r) {
    return std::string_view(arena).substr(spans[r].at, spans[r].size);
  };
  std::string text;
  std::int64_t rows2 = 0;
  while (second->Next()) {
    ++rows2;
    KeyText(*second, key2, text);
    if (text.find_first_not_of(kKeyJoin) == std::string::npos) continue;
    const std::uint32_t h = KeyIndex::Hash(text);
    if (index.Find(text, h, keyOf) >= 0) continue;
    if (arena.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
      Raise(ErrorCode::Overflow, "the keys of the second source pass 4 GB");
    }
    spans.push_back(
        {static_cast<std::uint32_t>(arena.size()), static_cast<std::uint32_t>(text.size())});
    arena += text;
    index.Insert(h, static_cast<std::int32_t>(spans.size() - 1));
  }

  std::string& r = job.report;
  std::int64_t matched = 0;
  if (out) {
    StartSample(job, *out);
  } else {
    r = job.Source().HeaderLine();
    r += kCrLf;
  }
  while (job.Next()) {
    KeyText(job.Source(), key, text);
    const bool empty = text.find_first_not_of(kKeyJoin) == std::string::npos;
    const bool in = !empty && index.Find(text, KeyIndex::Hash(text), keyOf) >= 0;
    if (in != wantIn) continue;
    ++matched;
    if (out) {
      out->WriteLine(job.Source().RowLine());
    } else {
      r.append(job.Source().RowLine());
      r += kCrLf;
    }
  }
  if (!out) return;
  out->Commit();
  auto joined = [](const KeyColumns& k) {
    std::string s;
    for (std::size_t i = 0; i < k.names.size(); ++i) s += (i ? "+" : "") + k.names[i];
    return s;
  };
  r = "Join";
  r += kCrLf;
  auto text2 = [&](const char* label, const std::string& value) {
    r += label;
    r += kTab;
    r += value;
    r += kCrLf;
  };
  text2("Key", joined(key));
  text2("Second source", second->Where());
  text2("Second key", joined(key2));
  text2("Keys compared", key.mode == KeyMode::Exact  ? "exact"
                         : key.mode == KeyMode::Trim ? "trim"
                                                     : "nocase");
  Figure(r, "Rows of the second source", static_cast<double>(rows2));
  Figure(r, "Keys of the second source", static_cast<double>(spans.size()));
  Figure(r, "Rows read", static_cast<double>(job.RowsRead()));
  Figure(r, "Rows selected", static_cast<double>(job.RowsSelected()));
  Figure(r,
         wantIn ? "Rows whose key is in the second source"
                : "Rows whose key is not in the second source",
         static_cast<double>(matched));
  r += "Written to\t" + sample;
  r += kCrLf;
}

void RunXT(Job& job) {
  const int r = job.Col("col1"), c = job.Col("col2"), a = job.Col("amount");
  cXtab xt;
  while (job.Next()) xt.AddItem(job.Text(r), job.Text(c), job.Number(a));
  job.report = xt.Report();
}

constexpr Kind T = Kind::Text;
constexpr Kind N = Kind::Number;
constexpr Kind D = Kind::Date;
using Chart = ChartSpec;

}  // namespace

const std::vector<CommandDef>& Commands() {
  static const std::vector<CommandDef> table = {
      {.code = "BE",
       .title = "Benford test of an amount column",
       .args = {"col: the amount column",
                "type: the digit test, F1, F2, L1, L2 or D2 (default F1)"},
       .needsSource = true,
       .columns = {{"col", N}},
       .run = RunBE,
       .defaults = {{"type", "F1"}},
       .example = "tarnwick BE file=examples/payments.tsv col=Amount type=F1 sign=positive min=10",
       .layout = {.chart = Chart{.kind = Chart::Kind::ColumnsAndLine,
                                 .heads = {"Digit", "Observed", "Expected"},
                                 .values = {1, 2},
                                 .title = "Observed and expected by digit",
                                 .xName = "Digit",
                                 .yName = "Count",
                                 .labels = Chart::Labels::ExactExpected},
                  .shares = {{true, "Observed proportion"}, {true, "Expected proportion"}},
                  .tables = {{"Observed\tExpected", "digits"},
                             {"MAD range", "mad_ranges"},
                             {"Observed proportion", "z_by_digit"}}}},
      {.code = "BA",
       .title = "Benford summary by key",
       .args = {"col: the key column, or columns joined by + (col=VendorNum+InvNum)",
                "amount: the amount column"},
       .needsSource = true,
       .columns = {{"col", T, false, true}, {"amount", N}},
       .run = RunBA,
       .defaults = {{"type", "F1"}},
       .example = "tarnwick BA file=examples/payments.tsv col=Vendor amount=Amount",
       .layout = {.tables = {{"ChiSQ", "keys"}, {"Tested", "conformity"}}}},
      {.code = "ST",
       .title = "Stratification of an amount column",
       .args = {"col: the amount column",
                "strata: the stratum boundaries, quoted (strata=\"0 100 1000\")"},
       .needsSource = true,
       .columns = {{"col", N}},
       .run = RunST,
       .example = "tarnwick 'ST file=examples/payments.tsv col=Amount strata=\"0 100 1000 10000\"'",
       .layout = {.chart = Chart{.heads = {"Start", "End", "Count", "Amount"},
                                 .values = {3},
                                 .title = "Amount by stratum",
                                 .xName = "Stratum start",
                                 .yName = "Amount",
                                 .yFormat = "#,##0"},
                  .shares = {{true, "Pct"}, {true, "Cumulative"}},
                  .tables = {{"Cumulative", "strata"}}}},
      {.code = "SU",
       .title = "Summary by key",
       .args = {"col: the key column, or columns joined by + (col=VendorNum+InvNum)",
                "amount: the amount column"},
       .needsSource = true,
       .columns = {{"col", T, false, true}, {"amount", N}},
       .run = RunSU,
       .example = "tarnwick SU file=examples/payments.tsv col=Vendor amount=Amount",
       .layout = {.tables = {{"Count", "keys"}}}},
      {.code = "DU",
       .title = "Duplicates by key",
       .args = {"col: the key column, or columns joined by + (col=VendorNum+InvNum)",
                "amount: the amount column (optional)"},
       .needsSource = true,
       .columns = {{"col", T, false, true}, {"amount", N, true}},
       .run = RunDU,
       .example = "tarnwick DU file=examples/payments.tsv col=InvNum amount=Amount",
       .layout = {.tables = {{"Count", "keys"}}}},
      {.code = "PO",
       .title = "Pareto of keys",
       .args = {"col: the key column", "amount: the amount column"},
       .needsSource = true,
       .columns = {{"col", T}, {"amount", N}},
       .run = RunPO,
       .example = "tarnwick PO file=examples/payments.tsv col=Vendor amount=Amount",
       .layout = {.tables = {{"Absolute total", "keys", true}}}},
      {.code = "XT",
       .title = "Cross-tabulation with chi-square",
       .args = {"col1: the row key column", "col2: the column key column",
                "amount: the amount column"},
       .needsSource = true,
       .columns = {{"col1", T}, {"col2", T}, {"amount", N}},
       .run = RunXT,
       .example = "tarnwick XT file=examples/payments.tsv col1=Account col2=Vendor amount=Amount",
       .layout = {.tables = {{"Counts", "counts", false, true},
                             {"Amounts", "amounts", false, true}}}},
      {.code = "GA",
       .title = "Gaps in a number sequence",
       .args = {"col: the column of sequence numbers (cheque numbers, say)"},
       .needsSource = true,
       .columns = {{"col", N}},
       .run = RunGA,
       .example = "tarnwick GA file=examples/payments.tsv col=CheckNum",
       .layout = {.tables = {{"Gap", "gaps"}}}},
      {.code = "UN",
       .title = "Descriptive statistics with histogram and extremes",
       .args = {"col: the amount column"},
       .needsSource = true,
       .columns = {{"col", N}},
       .run = RunUN,
       .example = "tarnwick UN file=examples/payments.tsv col=Amount",
       .layout = {.chart = Chart{.heads = {"Bin Start", "Bin End", "Count", "Amt"},
                                 .values = {2},
                                 .title = "Histogram",
                                 .xName = "Bin",
                                 .yName = "Count",
                                 .labels = Chart::Labels::Bins,
                                 .touching = true,
                                 .logCounts = true},
                  .tables = {{"Bin Start", "histogram"},
                             {"Bin\tStart", "histogram"},  // the external sort's report
                             {"z-score", "top_bottom"},
                             {"Position\tAmount", "largest", true},
                             {"Position\tAmount", "smallest", true}}}},
      {.code = "AR",
       .title = "Ageing",
       .args = {"agecol: the date column", "trancol: the amount column",
                "agedate: the ageing date, month/day/year (or as datefmt= says)",
                "colwidth: days per band, 1 to 365 (default 30)"},
       .needsSource = true,
       .columns = {{"agecol", D}, {"trancol", N}},
       .run = RunAR,
       .defaults = {{"colwidth", "30"}},
       .example = "tarnwick AR file=examples/payments.tsv agecol=InvDate trancol=Amount "
                  "agedate=12/31/2023",
       // Columns over the bands' labels: the band dates as categories would make a time axis,
       // on which a column is one day wide.
       .layout = {.chart = Chart{.heads = {"Start", "End", "Amount"},
                                 .values = {2},
                                 .title = "Amount by age band",
                                 .xName = "Age in days",
                                 .yName = "Amount",
                                 .yFormat = "#,##0",
                                 .labels = Chart::Labels::AgeBands},
                  .tables = {{"Amount", "bands"}}}},
      {.code = "WD",
       .title = "Weekday analysis",
       .args = {"col: the date column"},
       .needsSource = true,
       .columns = {{"col", D}},
       .run = RunWD,
       .example = "tarnwick WD file=examples/payments.tsv col=InvDate",
       .layout = {.chart = Chart{.heading = Chart::Heading::TitleStarts,
                                 .heads = {"Weekday analysis"},
                                 .values = {1},
                                 .title = "Items by weekday",
                                 .xName = "Weekday",
                                 .yName = "Count",
                                 .logCounts = true}}},
      {.code = "HO",
       .title = "Holidays",
       .args = {"col: the date column"},
       .needsSource = true,
       .columns = {{"col", D}},
       .run = RunHO,
       .example = "tarnwick HO file=examples/payments.tsv col=InvDate",
       .layout = {.report = {.fieldsTable = "holidays",
                             .labelColumn = "holiday",
                             .valueColumn = "count"}}},
      {.code = "NE",
       .title = "Near-miss invoices",
       .args = {"vendno: the vendor column, or columns joined by +",
                "invno: the invoice number column", "invdate: the invoice date column",
                "invamt: the amount column",
                "datetol: days within which two invoices count as near"},
       .needsSource = true,
       .columns = {{"vendno", T, false, true}, {"invno", T}, {"invdate", D}, {"invamt", N}},
       .run = RunNE,
       .example =
           "tarnwick NE file=examples/payments.tsv vendno=Vendor invno=InvNum invdate=InvDate "
           "invamt=Amount datetol=5",
       .layout = {.tables = {{"Closeness", "pairs"}}}},
      {.code = "SP",
       .title = "Split invoices",
       .args =
           {"vendno: the vendor column, or columns joined by +", "invno: the invoice number column",
            "invdate: the invoice date column", "invamt: the amount column",
            "datetol: days within which the two parts of a split lie",
            "simtol: required by the command table, not used by the test (the parts must add up "
            "to the whole within 0.02)"},
       .needsSource = true,
       .columns = {{"vendno", T, false, true}, {"invno", T}, {"invdate", D}, {"invamt", N}},
       .run = RunSP,
       .example =
           "tarnwick SP file=examples/payments.tsv vendno=Vendor invno=InvNum invdate=InvDate "
           "invamt=Amount datetol=3 simtol=4",
       .layout = {.tables = {{"First Part Inv No", "splits"}}}},
      {.code = "IS",
       .title = "Interval sample with reconciliation",
       .args = {"intvl: the sampling interval in rows (at least 5)",
                "rn: the start, 1 to intvl (the first row taken is intvl - rn + 1)",
                "sample: the file that receives the selected rows (written whole or not at all)"},
       .needsSource = true,
       .columns = {},
       .run = RunIS,
       .example = "tarnwick IS file=examples/payments.tsv intvl=100 rn=7 sample=/tmp/picked.tsv"},
      {.code = "CM",
       .title = "Monetary-unit sample with reconciliation",
       .args = {"col: the amount column",
                "J: the amount the interval is derived from (at least 100)",
                "R: the divisor of J, 1, 2 or 3 (the interval is J / R)",
                "RN: the start inside the first interval (beyond one interval: a random start)",
                "sample: the file that receives the selected rows (written whole or not at all)"},
       .needsSource = true,
       .columns = {{"col", N}},
       .run = RunCM,
       .example = "tarnwick CM file=examples/payments.tsv col=Amount J=500000 R=1 RN=1000 "
                  "sample=/tmp/mus.tsv"},
      {.code = "SA",
       .title = "Attribute sample size",
       .args =
           {"pop: the population size (method=exact: 0 is a large population, binomial as the "
            "published tables)",
            "conf: the confidence level (0.95 or 95%)", "ep: the expected error rate (0.05 or 5%)",
            "er: the precision wanted (0.05 or 5%); method=exact plans for a tolerable deviation "
            "rate of ep + er"},
       .needsSource = false,
       .columns = {},
       .run = RunSA,
       .example = "tarnwick SA pop=3000 conf=95% ep=1% er=4% method=exact",
       .layout = {.shares = {{false, "Confidence"},
                             {false, "Expected error rate"},
                             {false, "Precision"}}}},
      {.code = "PR",
       .title = "Achieved precision of a sample",
       .args = {"pop: the population size (method=exact: 0 is a large population, binomial)",
                "conf: the confidence level (0.95 or 95%)", "ss: the sample size",
                "nobs: the errors observed in the sample"},
       .needsSource = false,
       .columns = {},
       .run = RunPR,
       .example = "tarnwick PR pop=3000 conf=95% ss=93 nobs=1 method=exact",
       .layout = {.shares = {{false, "Confidence"}, {false, "Precision"}}}},
      {.code = "SE",
       .title = "Monetary-unit sample evaluation (upper misstatement limits)",
       .args = {"intvl: the sampling interval in money (J / R of the selection)",
                "conf: the confidence level (0.95 or 95%)"},
       .needsSource = true,
       .columns = {{"book", N, false, false, true}, {"audit", N, false, false, true}},
       .run = RunSE,
       .example = "tarnwick SE file=examples/mus_audited.tsv book=Book audit=Audited intvl=500000 "
                  "conf=95%",
       .layout = {.tables = {{"Overstatements", "overstatements"},
                             {"Understatements", "understatements"}},
                  .report = {.sectionNames = true}}},
      {.code = "RN",
       .title = "Round-number test",
       .args = {"col: the amount column"},
       .needsSource = true,
       .columns = {{"col", N}},
       .run = RunRN,
       .example = "tarnwick RN file=examples/payments.tsv col=Amount",
       .layout = {.chart = Chart{.heads = {"Digits", "Count", "Pct"},
                                 .values = {1},
                                 .title = "Amounts by trailing zeros",
                                 .xName = "Trailing zeros",
                                 .yName = "Count",
                                 .logCounts = true},
                  .shares = {{true, "Pct"}},
                  .tables = {{"Digits", "digits"}}}},
      {.code = "KS",
       .title = "Two-period account comparison",
       .args = {"acct: the account column", "col1: the first period's amount column",
                "col2: the second period's amount column"},
       .needsSource = true,
       .columns = {{"acct", T}, {"col1", N}, {"col2", N}},
       .run = RunKS,
       // The requirement table asks a comparison for col=; it is the account column.
       .defaults = {{"col", "acct", true}},
       .example = "tarnwick KS file=examples/trial_balance.tsv acct=Account col1=PY col2=CY",
       .layout = {.chart = Chart{.kind = Chart::Kind::Line,
                                 .heading = Chart::Heading::ShareColumns,
                                 .title = "Cumulative shares by account",
                                 .xName = "Account",
                                 .yName = "Cumulative share",
                                 .yFormat = "0%",
                                 .unitRange = true},
                  .shares = {{true, "Cum % 1"},
                             {true, "Cum % 2"},
                             {true, "Difference"},  // of the two cumulative shares
                             {false, "D-stat"}},
                  .tables = {{"Cum % 1", "accounts"}}}},
      {.code = "TR",
       .title = "Trend of a series",
       .args = {"col: the column of the series, in row order"},
       .needsSource = true,
       .columns = {{"col", N}},
       .run = RunTR,
       .example = "tarnwick 'TR file=examples/payments.tsv col=Amount cond=\"$Vendor = V0005\"'"},
      {.code = "EX",
       .title = "Extract the rows that meet a condition",
       .args = {"cond: the row filter",
                "sample: the file that receives the rows (optional; "
                "without it the rows go to standard output)"},
       .needsSource = true,
       .columns = {},
       .run = RunEX,
       .example =
           "tarnwick 'EX file=examples/payments.tsv cond=\"$Amount >= 9000 AND $Vendor = V0013\"'",
       .layout = {.report = {.extractTitle = "Extract"}}},
      {.code = "LU",
       .title = "Area-code lookup of a telephone column",
       .args = {"col: the telephone column"},
       .needsSource = true,
       .columns = {{"col", T}},
       .run = RunLU,
       .example = "tarnwick LU file=examples/payments.tsv col=Phone",
       .layout = {.tables = {{"Area code", "numbers"}}}},
      {.code = "JO",
       .title = "Rows whose key is (or is not) in a second source",
       .args =
           {"col: the key column, or columns joined by + (col=Address+Zip)",
            "sample: the file that receives the rows (optional; without it the rows go to standard "
            "output)"},
       .needsSource = true,
       .columns = {{"col", T, false, true}},
       .run = RunJO,
       .example = "tarnwick JO file=examples/payments.tsv col=Vendor file2=examples/vendors.tsv "
                  "key2=VendorNo match=out",
       .layout = {.report = {.extractTitle = "Join"}}},
  };
  return table;
}

const ReportLayout* LayoutOf(std::string_view code) {
  const CommandDef* def = FindCommand(code);
  return def ? &def->layout : nullptr;
}

namespace {

// A runner's argument that (nearly) every command reading a source takes: datefmt=, holidays=.
bool SourceWide(const RunnerArgDef& r) {
  std::size_t sources = 0, taking = 0;
  for (const CommandDef& c : Commands()) {
    if (!c.needsSource) continue;
    ++sources;
    if (RunnerArgApplies(r, c.code)) ++taking;
  }
  return taking + 1 >= sources && taking > 2;
}

}  // namespace

std::string HelpText() {
  std::string s;
  s += "usage: tarnwick [OPTIONS] 'COMMAND name=value ...'\r\n";
  s += "       tarnwick [OPTIONS] -f SCRIPT   one command per line, # comments, <name>=text "
       "symbols\r\n";
  s += "       tarnwick HE | --help | --version\r\n";
  s += "options: --raw (keep CR LF line ends)  --timing (timing line on standard error)\r\n";
  s += "         --max-in-memory N (UN: above N amounts use the external sort; 10000000)\r\n";
  s += "         --threads N (threads reading a delimited file; default: the cores, for files of "
       "32 MB or more)\r\n";
  s += "         --out FILE.xlsx (also every report of the run in one workbook)\r\n";
  s += "         --format json|csv (each report as JSON or comma-separated text: docs/json.md)\r\n";
  s += "         --log FILE.json (the run record: inputs with their SHA-256, rows, control "
       "totals)\r\n";
  s += "\r\n";
  s += "Data sources (every command that reads rows):\r\n";
  s += "  file=PATH              a tab-delimited or comma-separated file with a header line\r\n";
  s += "    filespec=SPEC        ... or a fixed-width print file with its column specification\r\n";
  s += "    file=BOOK.xlsx       ... or a workbook's first worksheet (sheet=NAME: another one)\r\n";
  s += "  ds=rng file=BOOK.xlsx sheet=NAME ulc=B3\r\n";
  s += "                         the block whose header row starts at cell ulc, down to an empty "
       "row\r\n";
  s += "  conn=PATH sql=Q        the rows of an SQLite query (quote it: sql=\"select ...\")\r\n";
  s += "    conn=\"Driver=...;\"   ... or of any database through ODBC (\"DSN=...\" too)\r\n";
  s += "  cond=FILTER            selects rows (any source): cond=\"$Amount >= 9000 AND $Vendor = "
       "V0013\"\r\n";
  s += "  recap=NAME             names the report (default: the command code)\r\n";
  s += "  title=TEXT             the chart's title in the --out workbook\r\n";
  s += "  col=A+B                a key of several columns (SU DU BA JO, vendno= of NE SP)\r\n";
  // The runner's arguments that every command reading rows takes are listed here, once.
  for (const RunnerArgDef& r : RunnerArgs()) {
    if (!SourceWide(r)) continue;
    s += "  ";
    s += r.name;
    s += ": ";
    s += r.help;
    s += " [runner]\r\n";
  }
  s += "A value with spaces goes in double quotes, and the whole command in single quotes in a\r\n";
  s += "shell: tarnwick 'ST file=ledger.tsv col=Amount strata=\"0 100 1000\"'.\r\n";
  s += "\r\n";
  s += "Commands (the arguments each needs; [runner] marks the runner's own):\r\n";
  for (const CommandDef& c : Commands()) {
    s += "  ";
    s += c.code;
    s += "  ";
    s += c.title;
    if (!c.run) s += "  (not available in this build)";
    s += kCrLf;
    for (const char* a : c.args) {
      s += "        ";
      s += a;
      s += kCrLf;
    }
    for (const RunnerArgDef& r : RunnerArgs()) {
      if (!RunnerArgApplies(r, c.code) || SourceWide(r)) continue;
      s += "        ";
      s += r.name;
      s += ": ";
      s += r.help;
      s += " [runner]\r\n";
    }
    if (c.example != nullptr) {
      s += "        example: ";
      s += c.example;
      s += kCrLf;
    }
  }
  s += "\r\n";
  s +=
      "BE and BA: sign= and min= leave rows out of the test (min= compares the absolute value,\r\n";
  s += "so sign=all min=10 keeps -250 and 250 and leaves out -5). BE reads each amount as a "
       "number:\r\n";
  s += "F1, F2 and D2 without trailing zeros (5.00 is 5, never 50), L1 and L2 with places= "
       "decimals\r\n";
  s +=
      "(default the most among all tested amounts: 77.8 is read 77.80 when another has cents).\r\n";
  s += "Exit status: 0 done, 2 command rejected (message on standard error), 1 engine error.\r\n";
  return s;
}

}  // namespace tarnwick::cli
