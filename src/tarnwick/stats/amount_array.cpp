#include "tarnwick/stats/amount_array.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/stats/internal/sort_doubles.h"

namespace tarnwick {

namespace {
constexpr std::int32_t kFirstBlock = 50001;
constexpr std::int32_t kGrowth = 50000;

void CheckBin(std::int16_t i) {
  if (i < 0 || i > 30) Raise(ErrorCode::SubscriptOutOfRange);
}
}  // namespace

cDoubleArray::AmountBlock::AmountBlock(const AmountBlock& other)
    : size_(other.size_), capacity_(other.capacity_) {
  if (other.data_ == nullptr) return;
  data_.reset(
      static_cast<double*>(std::malloc(static_cast<std::size_t>(capacity_) * sizeof(double))));
  if (data_ == nullptr) Raise(ErrorCode::OutOfMemory);
  std::memcpy(data_.get(), other.data_.get(), static_cast<std::size_t>(size_) * sizeof(double));
}

cDoubleArray::AmountBlock& cDoubleArray::AmountBlock::operator=(const AmountBlock& other) {
  if (this != &other) *this = AmountBlock(other);
  return *this;
}

cDoubleArray::AmountBlock::AmountBlock(AmountBlock&& other) noexcept
    : data_(std::move(other.data_)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

cDoubleArray::AmountBlock& cDoubleArray::AmountBlock::operator=(AmountBlock&& other) noexcept {
  data_ = std::move(other.data_);
  size_ = std::exchange(other.size_, 0);
  capacity_ = std::exchange(other.capacity_, 0);
  return *this;
}

void cDoubleArray::AmountBlock::Reserve(std::int32_t needed) {
  if (needed <= capacity_) return;
  const std::int32_t newCapacity =
      capacity_ == 0 ? kFirstBlock : AddChecked<std::int32_t>(capacity_, kGrowth);
  void* p = std::realloc(data_.get(), static_cast<std::size_t>(newCapacity) * sizeof(double));
  if (p == nullptr) Raise(ErrorCode::OutOfMemory);
  (void)data_.release();  // realloc took the old block
  data_.reset(static_cast<double*>(p));
  capacity_ = newCapacity;
}

cDoubleArray::cDoubleArray(cDoubleArray&& other) noexcept
    : st_(std::exchange(other.st_, State{})) {}

cDoubleArray& cDoubleArray::operator=(cDoubleArray&& other) noexcept {
  if (this != &other) st_ = std::exchange(other.st_, State{});
  return *this;
}

// ---- whole-array statistics -------------------------------------------------------------

void cDoubleArray::SortIfNeeded() {
  if (st_.sorted) return;
  SortDoubles(st_.amounts.data(), static_cast<std::size_t>(Count()));
  st_.sorted = true;
}

void cDoubleArray::BringUpToDate() {
  if (st_.current) return;
  SortIfNeeded();
  const double* a = st_.amounts.data();
  const std::int32_t n = Count();

  double median = st_.median;
  double mode = st_.mode;
  if (n > 0) {
    median = (n % 2 == 1) ? a[(n - 1) / 2] : Checked((a[n / 2 - 1] + a[n / 2]) / 2.0);
    // Longest run of equal amounts; the first (smallest) wins ties; a run of one is no mode.
    std::int32_t bestLen = 1;
    std::int32_t runStart = 0;
    for (std::int32_t i = 1; i <= n; ++i) {
      if (i == n || a[i] != a[runStart]) {
        const std::int32_t len = i - runStart;
        if (len > bestLen) {
          bestLen = len;
          mode = a[runStart];
        }
        runStart = i;
      }
    }
  }

  // The moments are worked on scaled amounts to keep the cubes and fourth powers in range.
  // The scale is the largest absolute amount, never a negative figure, so the signs of the
  // deviations (and with them the skewness) are those of the amounts themselves.
  const double scale = std::max(std::fabs(st_.min.ToDouble()), std::fabs(st_.max.ToDouble()));
  // Median and mode stand even when the moments below cannot be computed.
  st_.median = median;
  st_.mode = mode;
  if (scale == 0.0) return;
  const double dn = static_cast<double>(n);
  double sumY = 0.0;
  for (std::int32_t i = 0; i < n; ++i) sumY += a[i] / scale;
  const double m = Div(sumY, dn);
  double sumD2 = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double d = a[i] / scale - m;
    sumD2 += d * d;
  }
  const double sy = std::sqrt(Div(sumD2, dn - 1.0));
  if (sy == 0.0) Raise(ErrorCode::DivisionByZero);
  double sumZ3 = 0.0;
  double sumZ4 = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double z = (a[i] / scale - m) / sy;
    const double z2 = z * z;
    sumZ3 += z2 * z;
    sumZ4 += z2 * z2;
  }
  const double skewness = Div(Div(Checked(sumZ3), dn - 1.0) * dn, dn - 2.0);
  double kurtosis = 0.0;
  if (n >= 4) {
    kurtosis =
        Checked(Div(Div(Div(Checked(sumZ4), dn - 1.0) * dn, dn - 2.0) * (dn + 1.0), dn - 3.0) -
                Div(Div(3.0 * (dn - 1.0), dn - 2.0) * (dn - 1.0), dn - 3.0));
  }

  st_.skewness = skewness;
  st_.kurtosis = kurtosis;
  st_.current = true;
}

double cDoubleArray::PopSd() const {
  const double n = static_cast<double>(st_.fig.count);
  return std::sqrt(Checked(Div(n - 1.0, n) * (st_.fig.sd * st_.fig.sd)));
}

double cDoubleArray::Var() {
  BringUpToDate();
  return st_.fig.sd * st_.fig.sd;
}

Variant cDoubleArray::PopStdDev() {
  BringUpToDate();
  return Variant(PopSd());
}

double cDoubleArray::CV() {
  BringUpToDate();
  return Div(st_.fig.sd, st_.fig.mean);
}

double cDoubleArray::USS() {
  BringUpToDate();
  return st_.fig.sumSquares;
}

double cDoubleArray::Range() {
  BringUpToDate();
  return (st_.max - st_.min).ToDouble();
}

double cDoubleArray::SEM() {
  BringUpToDate();
  return Div(st_.fig.sd, std::sqrt(static_cast<double>(st_.fig.count)));
}

double cDoubleArray::QRange() {
  SortIfNeeded();
  return Percentile(75) - Percentile(25);
}

std::int16_t cDoubleArray::NumberBins() const { return Narrow<std::int16_t>(st_.numberBins); }

std::int32_t cDoubleArray::Counts(std::int16_t i) const {
  CheckBin(i);
  return st_.binCounts[static_cast<std::size_t>(i)];
}

double cDoubleArray::Amounts(std::int16_t i) const {
  CheckBin(i);
  return st_.binAmounts[static_cast<std::size_t>(i)];
}

double cDoubleArray::WidthOfBin() const { return st_.binWidth; }
Currency cDoubleArray::Min() const { return st_.min; }
Currency cDoubleArray::SumPos() const { return st_.fig.sumPos; }
Currency cDoubleArray::SumNeg() const { return st_.fig.sumNeg; }
std::int32_t cDoubleArray::CountNeg() const { return st_.fig.countNeg; }
std::int32_t cDoubleArray::CountPos() const { return st_.fig.countPos; }
std::int32_t cDoubleArray::CountZero() const { return st_.fig.countZero; }
std::int32_t cDoubleArray::Count() const { return st_.amounts.size(); }
Currency cDoubleArray::Total() const { return st_.fig.sum; }

// ---- adding amounts ---------------------------------------------------------------------

void cDoubleArray::AddItem(double d) {
  // Room first, so a failure of either step leaves the running figures and the array in step.
  AmountBlock& a = st_.amounts;
  a.Reserve(AddChecked<std::int32_t>(a.size(), 1));
  Simple(d);
  if (a.size() > 0 && st_.sorted && d < a[a.size() - 1]) st_.sorted = false;
  a.Append(d);
}

double cDoubleArray::Element(std::int32_t i) const {
  if (i < 0 || i >= Count()) return 0.0;
  return st_.amounts[i];
}

void cDoubleArray::SortArray() {
  SortDoubles(st_.amounts.data(), static_cast<std::size_t>(Count()));
  st_.sorted = true;
}

double cDoubleArray::Percentile(std::int32_t i) const {
  if (i < 0 || i > 99) return 0.0;
  const double k = RoundHalfEven(static_cast<double>(i) * static_cast<double>(Count()) / 100.0);
  const double pos = std::max(k - 1.0, 0.0);
  return Element(static_cast<std::int32_t>(pos));
}

void cDoubleArray::Simple(double dAmt) {
  const bool first = st_.fig.count == 0;
  const Currency cx = st_.fig.Add(dAmt);
  if (first) {
    st_.min = cx;
    st_.max = cx;
  }
  if (dAmt < st_.min.ToDouble()) st_.min = cx;
  if (dAmt > st_.max.ToDouble()) st_.max = cx;
  st_.current = false;
}

double cDoubleArray::top(std::int16_t i) const { return st_.fig.lists.Top(i); }
double cDoubleArray::Bot(std::int16_t i) const { return st_.fig.lists.Bot(i); }

// ---- reports ----------------------------------------------------------------------------

void cDoubleArray::ComputeHistogram() {
  SortIfNeeded();
  const std::int32_t n = Count();
  const std::int32_t bins = n < 2 ? 1 : ToLong(Log(static_cast<double>(n) - 1.0) / std::log(2.0));
  const double width = Div((st_.max - st_.min).ToDouble(), static_cast<double>(bins));
  if (width == 0.0) Raise(ErrorCode::DivisionByZero);

  std::array<std::int32_t, kBins> counts{};
  std::array<double, kBins> amounts{};
  const std::int32_t last = std::min<std::int32_t>(bins - 1, 29);
  for (std::int32_t i = 0; i < n; ++i) {
    const double x = st_.amounts[i];
    const double offset = (Currency::FromDouble(x) - st_.min).ToDouble();
    const double f = std::floor(offset / width);
    std::int32_t b = 0;
    if (f > static_cast<double>(last)) {
      b = last;
    } else if (f > 0.0) {
      b = static_cast<std::int32_t>(f);
    }
    counts[static_cast<std::size_t>(b)] += 1;
    amounts[static_cast<std::size_t>(b)] += x;
  }
  for (double v : amounts) Checked(v);

  st_.numberBins = bins;
  st_.binWidth = width;
  st_.binCounts = counts;
  st_.binAmounts = amounts;
}

std::string cDoubleArray::HistoReport() {
  ComputeHistogram();
  const std::int32_t bins = st_.numberBins;
  const double width = st_.binWidth;
  std::string out;
  out.reserve(64 + static_cast<std::size_t>(bins) * 48);
  out += "Histogram Report: ";
  out += kCrLf;
  out += "Bin Start\tBin End\tCount\tAmt";
  out += kCrLf;
  double start = st_.min.ToDouble();
  for (std::int32_t k = 0; k < bins; ++k) {
    const double end = start + width;
    const std::int16_t bin = Narrow<std::int16_t>(k);
    AppendNumber(out, start, "###,###.00");
    out += kTab;
    AppendNumber(out, end, "###,###.00");
    out += kTab;
    out += NumText(Counts(bin));
    out += kTab;
    AppendNumber(out, Amounts(bin), "###,###.00");
    out += kCrLf;
    start = end;
  }
  return out;
}

std::string cDoubleArray::OLReport() {
  const double s = st_.fig.sd;
  if (s == 0.0) Raise(ErrorCode::DivisionByZero);
  SortIfNeeded();
  const std::int32_t k = std::min<std::int32_t>(Count(), 10);
  std::string out;
  out.reserve(96 + static_cast<std::size_t>(k) * 96);
  out += "Top/Bottom 10 Report";
  out += kCrLf;
  out += "Item\tTop\tz-score\tItem\tBottom\tz-score";
  out += kCrLf;
  for (std::int32_t j = 1; j <= k; ++j) {
    const double hi = st_.amounts[Count() - j];
    const double lo = st_.amounts[j - 1];
    out += NumText(j);
    out += kTab;
    AppendNumText(out, hi);
    out += kTab;
    AppendNumText(out, Checked((hi - st_.fig.mean) / s));
    out += kTab;
    out += NumText(j);
    out += kTab;
    AppendNumText(out, lo);
    out += kTab;
    AppendNumText(out, Checked((lo - st_.fig.mean) / s));
    out += kCrLf;
  }
  return out;
}

namespace {
constexpr std::string_view kStatMoney = "#,###,###,###.00";
constexpr std::string_view kStatWhole = "#,###,###,##0";
constexpr std::string_view kStatRatio = "###,###.####0";
}  // namespace

std::string cDoubleArray::StatText(const SpreadCells& c) const {
  std::string out;
  out.reserve(800);
  out += "Population Statistics";
  out += kCrLf;
  const auto line = [&out](std::string_view label, const std::string& value) {
    out += label;
    out += kTab;
    out += value;
    out += kCrLf;
  };
  line("Min: ", FormatNumber(st_.min, kStatMoney));
  line("Max: ", FormatNumber(st_.max, kStatMoney));
  line("Mean: ", FormatNumber(st_.fig.mean, kStatMoney));
  line("Sum: ", FormatNumber(st_.fig.sum, kStatMoney));
  line("Sum X2: ", FormatNumber(st_.fig.sumSquares, kStatWhole));
  line("N: ", FormatNumber(st_.fig.count, kStatWhole));
  line("Median: ", FormatNumber(st_.median, kStatMoney));
  line("Count Positive: ", FormatNumber(st_.fig.countPos, kStatWhole));
  line("Sum Positive: ", FormatNumber(st_.fig.sumPos, kStatMoney));
  line("Std Dev: ", c.sd);
  line("Skewness: ", c.skewness);
  line("Kurtosis: ", c.kurtosis);
  line("Mode: ", NumText(st_.mode));
  line("Count Neg: ", FormatNumber(st_.fig.countNeg, kStatWhole));
  line("Amt Neg: ", FormatNumber(st_.fig.sumNeg, kStatMoney));
  line("Count Zero: ", FormatNumber(st_.fig.countZero, kStatWhole));
  line("CV: ", c.cv);
  line("Variance: ", c.variance);
  line("QRange: ", c.qrange);
  line("Stdevp: ", c.popsd);
  line("USS: ", c.uss);
  line("Range: ", c.range);
  line("SEM: ", c.sem);
  return out;
}

std::string cDoubleArray::StatReport() {
  BringUpToDate();
  // Every figure first, so a failure (CV of a zero mean) leaves no half-built text behind.
  SpreadCells c;
  c.cv = FormatNumber(CV(), kStatMoney);
  c.variance = FormatNumber(Var(), kStatWhole);
  c.qrange = FormatNumber(QRange(), kStatWhole);
  c.popsd = FormatNumber(PopStdDev().ToDouble(), kStatWhole);
  c.uss = FormatNumber(USS(), kStatWhole);
  c.range = FormatNumber(Range(), kStatWhole);
  c.sem = FormatNumber(SEM(), kStatMoney);
  c.sd = FormatNumber(st_.fig.sd, kStatMoney);
  c.skewness = FormatNumber(st_.skewness, kStatRatio);
  c.kurtosis = FormatNumber(st_.kurtosis, kStatRatio);
  return StatText(c);
}

std::string cDoubleArray::SimpleReport() const {
  return detail::SimpleReportText(st_.fig, NumText(st_.min), NumText(st_.max));
}

std::string cDoubleArray::TopBottomReport() const { return detail::TopBottomText(st_.fig); }

// ---- reports that keep what can be computed -----------------------------------------------

namespace {

// True when `report` ran; false when it raised the division-by-zero error on data that has
// amounts (the partial report is then built). Any other error goes on to the caller.
template <class Report>
bool Ran(Report&& report, std::int32_t count, std::string& out) {
  try {
    out = report();
    return true;
  } catch (const EngineError& e) {
    if (e.code() != ErrorCode::DivisionByZero || count == 0) throw;
  }
  return false;
}

std::string NotAvailable(std::string_view why) { return "n/a (" + std::string(why) + ")"; }

}  // namespace

std::string cDoubleArray::StatReportNA() {
  std::string out;
  if (Ran([this] { return StatReport(); }, Count(), out)) return out;
  const std::int32_t n = Count();
  bool moments = true;
  try {
    BringUpToDate();
  } catch (const EngineError& e) {
    if (e.code() != ErrorCode::DivisionByZero) throw;
    moments = false;  // fewer than three amounts, or all equal: their deviations are all 0
  }
  moments = moments && st_.current;  // amounts all 0 leave the moments uncomputed
  const std::string twoOrMore = NotAvailable("needs 2 or more amounts");
  const std::string momentsWhy =
      NotAvailable(n < 3 ? "needs 3 or more amounts" : "the amounts are all equal");
  const std::string kurtosisWhy =
      NotAvailable(n < 3 ? "needs 4 or more amounts" : "the amounts are all equal");
  SpreadCells c;
  c.sd = n < 2 ? twoOrMore : FormatNumber(st_.fig.sd, kStatMoney);
  c.skewness = moments ? FormatNumber(st_.skewness, kStatRatio) : momentsWhy;
  c.kurtosis = moments ? FormatNumber(st_.kurtosis, kStatRatio) : kurtosisWhy;
  c.cv = n < 2                 ? twoOrMore
         : st_.fig.mean == 0.0 ? NotAvailable("the mean is 0")
                               : FormatNumber(Div(st_.fig.sd, st_.fig.mean), kStatMoney);
  c.variance = n < 2 ? twoOrMore : FormatNumber(st_.fig.sd * st_.fig.sd, kStatWhole);
  c.qrange = FormatNumber(QRange(), kStatWhole);
  c.popsd = FormatNumber(PopSd(), kStatWhole);
  c.uss = FormatNumber(st_.fig.sumSquares, kStatWhole);
  c.range = FormatNumber((st_.max - st_.min).ToDouble(), kStatWhole);
  c.sem = n < 2 ? twoOrMore
                : FormatNumber(Div(st_.fig.sd, std::sqrt(static_cast<double>(n))), kStatMoney);
  return StatText(c);
}

// One or two amounts, or all equal: there are no bins of any width, so one bin holds them all.
std::string cDoubleArray::HistoReportNA() {
  std::string out;
  if (Ran([this] { return HistoReport(); }, Count(), out)) return out;
  SortIfNeeded();
  double amount = 0.0;
  for (std::int32_t i = 0; i < Count(); ++i) amount += st_.amounts[i];
  st_.numberBins = 1;
  st_.binWidth = 0.0;
  st_.binCounts.fill(0);
  st_.binAmounts.fill(0.0);
  st_.binCounts[0] = Count();
  st_.binAmounts[0] = Checked(amount);
  out += "Histogram Report: ";
  out += kCrLf;
  out += "Bin Start\tBin End\tCount\tAmt";
  out += kCrLf;
  AppendNumber(out, st_.min.ToDouble(), "###,###.00");
  out += kTab;
  AppendNumber(out, st_.max.ToDouble(), "###,###.00");
  out += kTab;
  out += NumText(Count());
  out += kTab;
  AppendNumber(out, st_.binAmounts[0], "###,###.00");
  out += kCrLf;
  out += "Bins";
  out += kTab;
  out += NotAvailable(Count() == 1         ? "one amount: one bin holds it"
                      : st_.min == st_.max ? "the amounts are all equal: one bin holds them all"
                                           : "needs 3 or more amounts: one bin holds them all");
  out += kCrLf;
  return out;
}

// A standard deviation of 0 (one amount, or all equal) leaves the z-scores without a unit.
std::string cDoubleArray::OLReportNA() {
  std::string out;
  if (Ran([this] { return OLReport(); }, Count(), out)) return out;
  SortIfNeeded();
  const std::int32_t k = std::min<std::int32_t>(Count(), 10);
  out += "Top/Bottom 10 Report";
  out += kCrLf;
  out += "Item\tTop\tz-score\tItem\tBottom\tz-score";
  out += kCrLf;
  for (std::int32_t j = 1; j <= k; ++j) {
    out += NumText(j);
    out += kTab;
    AppendNumText(out, st_.amounts[Count() - j]);
    out += "\tn/a\t";
    out += NumText(j);
    out += kTab;
    AppendNumText(out, st_.amounts[j - 1]);
    out += "\tn/a";
    out += kCrLf;
  }
  out += "z-score";
  out += kTab;
  out += NotAvailable(Count() == 1 ? "needs 2 or more amounts"
                                   : "the amounts are all equal: the standard deviation is 0");
  out += kCrLf;
  return out;
}

}  // namespace tarnwick
