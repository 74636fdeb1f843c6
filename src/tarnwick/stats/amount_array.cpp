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

cDoubleArray::cDoubleArray() { fig_.lists.Clear(); }

cDoubleArray::cDoubleArray(const cDoubleArray& other)
    : count_(other.count_),
      capacity_(other.capacity_),
      fig_(other.fig_),
      min_(other.min_),
      max_(other.max_),
      sorted_(other.sorted_),
      current_(other.current_),
      median_(other.median_),
      mode_(other.mode_),
      skewness_(other.skewness_),
      kurtosis_(other.kurtosis_),
      numberBins_(other.numberBins_),
      binWidth_(other.binWidth_),
      binCounts_(other.binCounts_),
      binAmounts_(other.binAmounts_) {
  if (other.data_ != nullptr) {
    const std::size_t bytes = static_cast<std::size_t>(capacity_) * sizeof(double);
    data_ = static_cast<double*>(std::malloc(bytes));
    if (data_ == nullptr) Raise(ErrorCode::OutOfMemory);
    std::memcpy(data_, other.data_, static_cast<std::size_t>(count_) * sizeof(double));
  }
}

cDoubleArray& cDoubleArray::operator=(const cDoubleArray& other) {
  if (this != &other) {
    cDoubleArray copy(other);
    *this = std::move(copy);
  }
  return *this;
}

cDoubleArray::cDoubleArray(cDoubleArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      count_(std::exchange(other.count_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      fig_(other.fig_),
      min_(other.min_),
      max_(other.max_),
      sorted_(other.sorted_),
      current_(other.current_),
      median_(other.median_),
      mode_(other.mode_),
      skewness_(other.skewness_),
      kurtosis_(other.kurtosis_),
      numberBins_(other.numberBins_),
      binWidth_(other.binWidth_),
      binCounts_(other.binCounts_),
      binAmounts_(other.binAmounts_) {
  other = cDoubleArray();
}

cDoubleArray& cDoubleArray::operator=(cDoubleArray&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = std::exchange(other.data_, nullptr);
    count_ = std::exchange(other.count_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    fig_ = other.fig_;
    min_ = other.min_;
    max_ = other.max_;
    sorted_ = other.sorted_;
    current_ = other.current_;
    median_ = other.median_;
    mode_ = other.mode_;
    skewness_ = other.skewness_;
    kurtosis_ = other.kurtosis_;
    numberBins_ = other.numberBins_;
    binWidth_ = other.binWidth_;
    binCounts_ = other.binCounts_;
    binAmounts_ = other.binAmounts_;
    other.fig_ = detail::RunningFigures{};
    other.fig_.lists.Clear();
    other.min_ = other.max_ = Currency{};
    other.sorted_ = other.current_ = false;
    other.median_ = other.mode_ = other.skewness_ = other.kurtosis_ = 0.0;
    other.numberBins_ = 0;
    other.binWidth_ = 0.0;
    other.binCounts_.fill(0);
    other.binAmounts_.fill(0.0);
  }
  return *this;
}

cDoubleArray::~cDoubleArray() { std::free(data_); }

// ---- whole-array statistics -------------------------------------------------------------

void cDoubleArray::SortIfNeeded() {
  if (sorted_) return;
  SortDoubles(data_, static_cast<std::size_t>(count_));
  sorted_ = true;
}

void cDoubleArray::BringUpToDate() {
  if (current_) return;
  SortIfNeeded();
  const double* a = data_;
  const std::int32_t n = count_;

  double median = median_;
  double mode = mode_;
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
  const double scale = std::max(std::fabs(min_.ToDouble()), std::fabs(max_.ToDouble()));
  // Median and mode stand even when the moments below cannot be computed.
  median_ = median;
  mode_ = mode;
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
    kurtosis = Checked(Div(Div(Div(Checked(sumZ4), dn - 1.0) * dn, dn - 2.0) * (dn + 1.0),
                           dn - 3.0) -
                       Div(Div(3.0 * (dn - 1.0), dn - 2.0) * (dn - 1.0), dn - 3.0));
  }

  skewness_ = skewness;
  kurtosis_ = kurtosis;
  current_ = true;
}

double cDoubleArray::PopSd() const {
  const double n = static_cast<double>(fig_.count);
  return std::sqrt(Checked(Div(n - 1.0, n) * (fig_.sd * fig_.sd)));
}

double cDoubleArray::Var() {
  BringUpToDate();
  return fig_.sd * fig_.sd;
}

Variant cDoubleArray::PopStdDev() {
  BringUpToDate();
  return Variant(PopSd());
}

double cDoubleArray::CV() {
  BringUpToDate();
  return Div(fig_.sd, fig_.mean);
}

double cDoubleArray::USS() {
  BringUpToDate();
  return fig_.sumSquares;
}

double cDoubleArray::Range() {
  BringUpToDate();
  return (max_ - min_).ToDouble();
}

double cDoubleArray::SEM() {
  BringUpToDate();
  return Div(fig_.sd, std::sqrt(static_cast<double>(fig_.count)));
}

double cDoubleArray::QRange() {
  SortIfNeeded();
  return Percentile(75) - Percentile(25);
}

std::int16_t cDoubleArray::NumberBins() const { return Narrow<std::int16_t>(numberBins_); }

std::int32_t cDoubleArray::Counts(std::int16_t i) const {
  CheckBin(i);
  return binCounts_[static_cast<std::size_t>(i)];
}

double cDoubleArray::Amounts(std::int16_t i) const {
  CheckBin(i);
  return binAmounts_[static_cast<std::size_t>(i)];
}

double cDoubleArray::WidthOfBin() const { return binWidth_; }
Currency cDoubleArray::Min() const { return min_; }
Currency cDoubleArray::SumPos() const { return fig_.sumPos; }
Currency cDoubleArray::SumNeg() const { return fig_.sumNeg; }
std::int32_t cDoubleArray::CountNeg() const { return fig_.countNeg; }
std::int32_t cDoubleArray::CountPos() const { return fig_.countPos; }
std::int32_t cDoubleArray::CountZero() const { return fig_.countZero; }
std::int32_t cDoubleArray::Count() const { return count_; }
Currency cDoubleArray::Total() const { return fig_.sum; }

// ---- adding amounts ---------------------------------------------------------------------

void cDoubleArray::Reserve(std::int32_t needed) {
  if (needed <= capacity_) return;
  const std::int32_t newCapacity =
      capacity_ == 0 ? kFirstBlock : AddChecked<std::int32_t>(capacity_, kGrowth);
  // realloc lets large blocks grow by remapping pages instead of copying them.
  void* p = std::realloc(data_, static_cast<std::size_t>(newCapacity) * sizeof(double));
  if (p == nullptr) Raise(ErrorCode::OutOfMemory);
  data_ = static_cast<double*>(p);
  capacity_ = newCapacity;
}

void cDoubleArray::AddItem(double d) {
  // Room first, so a failure of either step leaves the running figures and the array in step.
  Reserve(AddChecked<std::int32_t>(count_, 1));
  Simple(d);
  data_[count_] = d;
  if (count_ > 0 && sorted_ && d < data_[count_ - 1]) sorted_ = false;
  ++count_;
}

double cDoubleArray::Element(std::int32_t i) const {
  if (i < 0 || i >= count_) return 0.0;
  return data_[i];
}

void cDoubleArray::SortArray() {
  SortDoubles(data_, static_cast<std::size_t>(count_));
  sorted_ = true;
}

double cDoubleArray::Percentile(std::int32_t i) const {
  if (i < 0 || i > 99) return 0.0;
  const double k = RoundHalfEven(static_cast<double>(i) * static_cast<double>(count_) / 100.0);
  const double pos = std::max(k - 1.0, 0.0);
  return Element(static_cast<std::int32_t>(pos));
}

void cDoubleArray::Simple(double dAmt) {
  const bool first = fig_.count == 0;
  const Currency cx = fig_.Add(dAmt);
  if (first) {
    min_ = cx;
    max_ = cx;
  }
  if (dAmt < min_.ToDouble()) min_ = cx;
  if (dAmt > max_.ToDouble()) max_ = cx;
  current_ = false;
}

double cDoubleArray::top(std::int16_t i) const { return fig_.lists.Top(i); }
double cDoubleArray::Bot(std::int16_t i) const { return fig_.lists.Bot(i); }

// ---- reports ----------------------------------------------------------------------------

std::string cDoubleArray::HistoReport() {
  SortIfNeeded();
  const std::int32_t n = count_;
  const std::int32_t bins =
      n < 2 ? 1 : ToLong(Log(static_cast<double>(n) - 1.0) / std::log(2.0));
  const double width = Div((max_ - min_).ToDouble(), static_cast<double>(bins));
  if (width == 0.0) Raise(ErrorCode::DivisionByZero);

  std::array<std::int32_t, kBins> counts{};
  std::array<double, kBins> amounts{};
  const std::int32_t last = std::min<std::int32_t>(bins - 1, 29);
  for (std::int32_t i = 0; i < n; ++i) {
    const double x = data_[i];
    const double offset = (Currency::FromDouble(x) - min_).ToDouble();
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

  numberBins_ = bins;
  binWidth_ = width;
  binCounts_ = counts;
  binAmounts_ = amounts;

  std::string out;
  out.reserve(64 + static_cast<std::size_t>(bins) * 48);
  out += "Histogram Report: ";
  out += kCrLf;
  out += "Bin Start\tBin End\tCount\tAmt";
  out += kCrLf;
  double start = min_.ToDouble();
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
  const double s = fig_.sd;
  if (s == 0.0) Raise(ErrorCode::DivisionByZero);
  SortIfNeeded();
  const std::int32_t k = std::min<std::int32_t>(count_, 10);
  std::string out;
  out.reserve(96 + static_cast<std::size_t>(k) * 96);
  out += "Top/Bottom 10 Report";
  out += kCrLf;
  out += "Item\tTop\tz-score\tItem\tBottom\tz-score";
  out += kCrLf;
  for (std::int32_t j = 1; j <= k; ++j) {
    const double hi = data_[count_ - j];
    const double lo = data_[j - 1];
    out += NumText(j);
    out += kTab;
    AppendNumText(out, hi);
    out += kTab;
    AppendNumText(out, Checked((hi - fig_.mean) / s));
    out += kTab;
    out += NumText(j);
    out += kTab;
    AppendNumText(out, lo);
    out += kTab;
    AppendNumText(out, Checked((lo - fig_.mean) / s));
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
  line("Min: ", FormatNumber(min_, kStatMoney));
  line("Max: ", FormatNumber(max_, kStatMoney));
  line("Mean: ", FormatNumber(fig_.mean, kStatMoney));
  line("Sum: ", FormatNumber(fig_.sum, kStatMoney));
  line("Sum X2: ", FormatNumber(fig_.sumSquares, kStatWhole));
  line("N: ", FormatNumber(fig_.count, kStatWhole));
  line("Median: ", FormatNumber(median_, kStatMoney));
  line("Count Positive: ", FormatNumber(fig_.countPos, kStatWhole));
  line("Sum Positive: ", FormatNumber(fig_.sumPos, kStatMoney));
  line("Std Dev: ", c.sd);
  line("Skewness: ", c.skewness);
  line("Kurtosis: ", c.kurtosis);
  line("Mode: ", NumText(mode_));
  line("Count Neg: ", FormatNumber(fig_.countNeg, kStatWhole));
  line("Amt Neg: ", FormatNumber(fig_.sumNeg, kStatMoney));
  line("Count Zero: ", FormatNumber(fig_.countZero, kStatWhole));
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
  c.sd = FormatNumber(fig_.sd, kStatMoney);
  c.skewness = FormatNumber(skewness_, kStatRatio);
  c.kurtosis = FormatNumber(kurtosis_, kStatRatio);
  return StatText(c);
}

std::string cDoubleArray::SimpleReport() const {
  return detail::SimpleReportText(fig_, NumText(min_), NumText(max_));
}

std::string cDoubleArray::TopBottomReport() const { return detail::TopBottomText(fig_); }

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
  if (Ran([this] { return StatReport(); }, count_, out)) return out;
  const std::int32_t n = count_;
  bool moments = true;
  try {
    BringUpToDate();
  } catch (const EngineError& e) {
    if (e.code() != ErrorCode::DivisionByZero) throw;
    moments = false;  // fewer than three amounts, or all equal: their deviations are all 0
  }
  moments = moments && current_;  // amounts all 0 leave the moments uncomputed
  const std::string twoOrMore = NotAvailable("needs 2 or more amounts");
  const std::string momentsWhy =
      NotAvailable(n < 3 ? "needs 3 or more amounts" : "the amounts are all equal");
  const std::string kurtosisWhy =
      NotAvailable(n < 3 ? "needs 4 or more amounts" : "the amounts are all equal");
  SpreadCells c;
  c.sd = n < 2 ? twoOrMore : FormatNumber(fig_.sd, kStatMoney);
  c.skewness = moments ? FormatNumber(skewness_, kStatRatio) : momentsWhy;
  c.kurtosis = moments ? FormatNumber(kurtosis_, kStatRatio) : kurtosisWhy;
  c.cv = n < 2                ? twoOrMore
         : fig_.mean == 0.0   ? NotAvailable("the mean is 0")
                              : FormatNumber(Div(fig_.sd, fig_.mean), kStatMoney);
  c.variance = n < 2 ? twoOrMore : FormatNumber(fig_.sd * fig_.sd, kStatWhole);
  c.qrange = FormatNumber(QRange(), kStatWhole);
  c.popsd = FormatNumber(PopSd(), kStatWhole);
  c.uss = FormatNumber(fig_.sumSquares, kStatWhole);
  c.range = FormatNumber((max_ - min_).ToDouble(), kStatWhole);
  c.sem = n < 2 ? twoOrMore : FormatNumber(Div(fig_.sd, std::sqrt(static_cast<double>(n))), kStatMoney);
  return StatText(c);
}

// One or two amounts, or all equal: there are no bins of any width, so one bin holds them all.
std::string cDoubleArray::HistoReportNA() {
  std::string out;
  if (Ran([this] { return HistoReport(); }, count_, out)) return out;
  SortIfNeeded();
  double amount = 0.0;
  for (std::int32_t i = 0; i < count_; ++i) amount += data_[i];
  numberBins_ = 1;
  binWidth_ = 0.0;
  binCounts_.fill(0);
  binAmounts_.fill(0.0);
  binCounts_[0] = count_;
  binAmounts_[0] = Checked(amount);
  out += "Histogram Report: ";
  out += kCrLf;
  out += "Bin Start\tBin End\tCount\tAmt";
  out += kCrLf;
  AppendNumber(out, min_.ToDouble(), "###,###.00");
  out += kTab;
  AppendNumber(out, max_.ToDouble(), "###,###.00");
  out += kTab;
  out += NumText(count_);
  out += kTab;
  AppendNumber(out, binAmounts_[0], "###,###.00");
  out += kCrLf;
  out += "Bins";
  out += kTab;
  out += NotAvailable(count_ == 1       ? "one amount: one bin holds it"
                     : min_ == max_ ? "the amounts are all equal: one bin holds them all"
                                    : "needs 3 or more amounts: one bin holds them all");
  out += kCrLf;
  return out;
}

// A standard deviation of 0 (one amount, or all equal) leaves the z-scores without a unit.
std::string cDoubleArray::OLReportNA() {
  std::string out;
  if (Ran([this] { return OLReport(); }, count_, out)) return out;
  SortIfNeeded();
  const std::int32_t k = std::min<std::int32_t>(count_, 10);
  out += "Top/Bottom 10 Report";
  out += kCrLf;
  out += "Item\tTop\tz-score\tItem\tBottom\tz-score";
  out += kCrLf;
  for (std::int32_t j = 1; j <= k; ++j) {
    out += NumText(j);
    out += kTab;
    AppendNumText(out, data_[count_ - j]);
    out += "\tn/a\t";
    out += NumText(j);
    out += kTab;
    AppendNumText(out, data_[j - 1]);
    out += "\tn/a";
    out += kCrLf;
  }
  out += "z-score";
  out += kTab;
  out += NotAvailable(count_ == 1 ? "needs 2 or more amounts"
                                  : "the amounts are all equal: the standard deviation is 0");
  out += kCrLf;
  return out;
}

}  // namespace tarnwick
