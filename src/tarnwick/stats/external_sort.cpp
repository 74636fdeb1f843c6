#include "tarnwick/stats/external_sort.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/internal/int128.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/platform/file_system.h"
#include "tarnwick/stats/internal/sort_doubles.h"

namespace tarnwick {

// ---------------------------------------------------------------------------------------------
// mQSort

namespace mQSort {

int CompareDouble(const void* a, const void* b) {
  double x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  if (x != x || y != y) return (x != x) - (y != y);  // NaN after every number
  return (x > y) - (x < y);
}

int CompareLong(const void* a, const void* b) {
  std::int32_t x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return (x > y) - (x < y);
}

namespace {

// Introsort over records of a size known only at run time: median-of-three quicksort, insertion
// sort for short ranges, heap sort when the recursion grows too deep.
class RecordSorter {
 public:
  RecordSorter(char* base, std::size_t size, Comparison cmp)
      : base_(base), size_(size), cmp_(cmp), tmp_(size) {}

  void Sort(std::size_t count) {
    std::size_t depth = 0;
    for (std::size_t n = count; n > 1; n >>= 1) depth += 2;
    Sort(0, count, depth);
  }

 private:
  static constexpr std::size_t kShort = 16;

  char* At(std::size_t i) const { return base_ + i * size_; }
  bool Less(std::size_t i, std::size_t j) const { return cmp_(At(i), At(j)) < 0; }
  void Swap(std::size_t i, std::size_t j) {
    if (i == j) return;
    std::memcpy(tmp_.data(), At(i), size_);
    std::memcpy(At(i), At(j), size_);
    std::memcpy(At(j), tmp_.data(), size_);
  }

  void Sort(std::size_t lo, std::size_t hi, std::size_t depth) {
    while (hi - lo > kShort) {
      if (depth == 0) {
        HeapSort(lo, hi);
        return;
      }
      --depth;
      // Median of first, middle and last goes to lo and serves as the pivot.
      const std::size_t mid = lo + (hi - lo) / 2, last = hi - 1;
      if (Less(mid, lo)) Swap(mid, lo);
      if (Less(last, mid)) {
        Swap(last, mid);
        if (Less(mid, lo)) Swap(mid, lo);
      }
      Swap(lo, mid);
      // Both scans stop on keys equal to the pivot, which keeps runs of equal keys balanced.
      std::size_t i = lo, j = hi;
      for (;;) {
        do ++i;
        while (i < hi && Less(i, lo));
        do --j;
        while (j > lo && Less(lo, j));  // the bound guards against an inconsistent comparison
        if (i >= j) break;
        Swap(i, j);
      }
      Swap(lo, j);
      // Recurse into the smaller side, loop on the larger: the stack stays logarithmic.
      if (j - lo < hi - j - 1) {
        Sort(lo, j, depth);
        lo = j + 1;
      } else {
        Sort(j + 1, hi, depth);
        hi = j;
      }
    }
    InsertionSort(lo, hi);
  }

  void InsertionSort(std::size_t lo, std::size_t hi) {
    for (std::size_t i = lo + 1; i < hi; ++i) {
      if (!Less(i, i - 1)) continue;
      std::memcpy(tmp_.data(), At(i), size_);
      std::size_t j = i;
      do {
        std::memcpy(At(j), At(j - 1), size_);
        --j;
      } while (j > lo && cmp_(tmp_.data(), At(j - 1)) < 0);
      std::memcpy(At(j), tmp_.data(), size_);
    }
  }

  void SiftDown(std::size_t lo, std::size_t root, std::size_t n) {
    for (;;) {
      std::size_t child = 2 * root + 1;
      if (child >= n) return;
      if (child + 1 < n && Less(lo + child, lo + child + 1)) ++child;
      if (!Less(lo + root, lo + child)) return;
      Swap(lo + root, lo + child);
      root = child;
    }
  }

  void HeapSort(std::size_t lo, std::size_t hi) {
    const std::size_t n = hi - lo;
    for (std::size_t r = n / 2; r-- > 0;) SiftDown(lo, r, n);
    for (std::size_t end = n; end-- > 1;) {
      Swap(lo, lo + end);
      SiftDown(lo, 0, end);
    }
  }

  char* base_;
  std::size_t size_;
  Comparison cmp_;
  std::vector<char> tmp_;
};

}  // namespace

void QSort(void* first, std::size_t count, std::size_t size, Comparison compare) {
  if (count < 2 || size == 0) return;
  // The engine's own comparisons get a sort with the comparison inlined: same order, a fraction
  // of the time of a call per comparison.
  if (compare == &CompareDouble && size == sizeof(double)) {
    // NaNs go last.
    SortDoubles(static_cast<double*>(first), count);
    return;
  }
  if (compare == &CompareLong && size == sizeof(std::int32_t)) {
    std::int32_t* p = static_cast<std::int32_t*>(first);
    std::sort(p, p + count);
    return;
  }
  RecordSorter(static_cast<char*>(first), size, compare).Sort(count);
}

}  // namespace mQSort

// ---------------------------------------------------------------------------------------------
// Run files

namespace {

constexpr std::array<double, 9> kLevels = {0.01, 0.05, 0.10, 0.25, 0.50, 0.75, 0.90, 0.95, 0.99};
constexpr std::string_view kTooLarge = "Error occured - data too large to process";
constexpr std::string_view kAmountPattern = "###,###,###.#0";
constexpr std::string_view kSumPattern = "###,###,###,###.#0";
constexpr std::string_view kRatioPattern = "#0.####0";

void CheckBin(std::int16_t i) {
  if (i < 0 || i > 40) Raise(ErrorCode::SubscriptOutOfRange);
}

bool WithinLimit(double d) { return d >= -cSort::kAmountLimit && d <= cSort::kAmountLimit; }

// A run-file line read back as a number.
double ParseAmount(std::string_view line) {
  double v = 0.0;
  if (ParsePlainDecimal(line, v)) return v;  // nearly every default text
  const char* end = line.data() + line.size();
  const auto r = std::from_chars(line.data(), end, v);
  if (r.ec != std::errc() || r.ptr != end) Raise(ErrorCode::TypeMismatch, std::string(line));
  return v;
}

// a - b of two fixed-point amounts as a Double; the difference of two amounts within the limit
// can exceed the fixed-point range, so it is taken in 128 bits.
double Difference(Currency a, Currency b) {
  const int128_t d = static_cast<int128_t>(a.raw()) - b.raw();
  return static_cast<double>(d) / Currency::kScale;
}

void Line(std::string& out, std::string_view label, std::string_view value) {
  out += label;
  out += kTab;
  out += value;
  out += kCrLf;
}

}  // namespace

std::int64_t MergeRunFiles(const std::string& first, const std::string& second,
                           const std::string& out) {
  TextReader a = OpenTextFile(first);
  TextReader b = OpenTextFile(second);
  TextWriter w = CreateTextFile(out);
  std::int64_t written = 0;
  try {
    // A pending line is a view into its reader's buffer; it is written before that reader moves.
    std::string_view la, lb;
    double va = 0.0, vb = 0.0;
    bool ha = !a.AtEndOfStream(), hb = !b.AtEndOfStream();
    if (ha) va = ParseAmount(la = a.ReadLineView());
    if (hb) vb = ParseAmount(lb = b.ReadLineView());
    while (ha && hb) {
      if (vb <= va) {
        w.WriteLine(lb);
        if ((hb = !b.AtEndOfStream())) vb = ParseAmount(lb = b.ReadLineView());
      } else {
        w.WriteLine(la);
        if ((ha = !a.AtEndOfStream())) va = ParseAmount(la = a.ReadLineView());
      }
      ++written;
    }
    // One file is exhausted: the rest of the other follows as it stands.
    TextReader& rest = ha ? a : b;
    if (ha || hb) {
      w.WriteLine(ha ? la : lb);
      ++written;
      while (!rest.AtEndOfStream()) {
        w.WriteLine(rest.ReadLineView());
        ++written;
      }
    }
    w.Close();
  } catch (...) {
    w = TextWriter();
    DeleteFile(out);
    throw;
  }
  return written;
}

// ---------------------------------------------------------------------------------------------
// cSort

cSort::~cSort() {
  for (RunFile& f : files_)
    if (f.held) DeleteFile(f.name);
}

std::int32_t cSort::HistoCount(std::int16_t i) const {
  CheckBin(i);
  return histoCount_[static_cast<std::size_t>(i)];
}

double cSort::HistoAmount(std::int16_t i) const {
  CheckBin(i);
  return histoAmount_[static_cast<std::size_t>(i)];
}

std::string cSort::FileName(std::int32_t i) const {
  if (i < 0 || i >= kMaxFiles) Raise(ErrorCode::SubscriptOutOfRange);
  return i < fileCount_ ? files_[static_cast<std::size_t>(i)].name : std::string();
}

std::string cSort::FileCount(std::int32_t i) const {
  if (i < 0 || i >= kMaxFiles) Raise(ErrorCode::SubscriptOutOfRange);
  return NumText(i < fileCount_ ? files_[static_cast<std::size_t>(i)].count : 0);
}

std::string cSort::tmpFile() const { return TempFilePath(); }

void cSort::CheckRoom() const {
  if (fileCount_ >= kMaxFiles) Raise(ErrorCode::SubscriptOutOfRange, "too many run files");
}

void cSort::Register(std::string name, std::int32_t count) {
  CheckRoom();
  files_.push_back(RunFile{std::move(name), count, true});
  ++fileCount_;
}

void cSort::Release(std::int32_t i) {
  RunFile& f = files_[static_cast<std::size_t>(i)];
  if (f.held) DeleteFile(f.name);
  f.held = false;
}

bool cSort::Simple(double dAmt) {
  if (error_ || !WithinLimit(dAmt)) return false;
  // Every figure is worked out before any is stored: a failed amount changes nothing.
  try {
    const Currency r = Currency::FromDouble(dAmt);
    const std::int32_t n = AddChecked(n_, std::int32_t{1});
    Currency mn = min_, mx = max_;
    if (n_ == 0) {
      mn = r;
      mx = r;
    } else {
      if (dAmt < min_.ToDouble()) mn = r;
      if (dAmt > max_.ToDouble()) mx = r;
    }
    const Currency sum = sum_ + r;
    std::int32_t zero = countZero_, neg = countNeg_, pos = countPos_;
    Currency sumNeg = sumNeg_, sumPos = sumPos_;
    if (dAmt == 0.0) {
      zero = AddChecked(zero, std::int32_t{1});
    } else if (dAmt < 0.0) {
      neg = AddChecked(neg, std::int32_t{1});
      sumNeg = sumNeg + r;
    } else {
      pos = AddChecked(pos, std::int32_t{1});
      sumPos = sumPos + r;
    }
    const detail::ExactSum sumX = sumX_.Plus(dAmt);
    const detail::ExactSum sumX2 = sumX2_.PlusSquare(dAmt);
    n_ = n;
    min_ = mn;
    max_ = mx;
    sum_ = sum;
    countZero_ = zero;
    countNeg_ = neg;
    countPos_ = pos;
    sumNeg_ = sumNeg;
    sumPos_ = sumPos;
    sumX_ = sumX;
    sumX2_ = sumX2;
    uss_ = sumX2.Value();
    return true;
  } catch (const EngineError&) {
    return false;
  }
}

bool cSort::AddArray(std::vector<double>& oArray, std::int32_t iCount) {
  if (iCount < 0 || static_cast<std::size_t>(iCount) > oArray.size())
    Raise(ErrorCode::SubscriptOutOfRange);
  CheckRoom();
  mQSort::QSort(oArray.data(), static_cast<std::size_t>(iCount), sizeof(double),
                mQSort::CompareDouble);
  // Once the error flag is set no amount is accepted, so no file would be kept.
  if (error_) return false;
  const std::string name = tmpFile();
  TextWriter w = CreateTextFile(name);
  try {
    std::string line;
    line.reserve(32);
    for (std::int32_t i = 0; i < iCount; ++i) {
      const double x = oArray[static_cast<std::size_t>(i)];
      if (!Simple(x)) {
        // The incomplete file is not registered, so it is removed here.
        error_ = true;
        w = TextWriter();
        DeleteFile(name);
        return false;
      }
      line.clear();
      AppendNumText(line, x);
      w.WriteLine(line);
    }
    w.Close();
    Register(name, iCount);
  } catch (...) {
    w = TextWriter();
    DeleteFile(name);
    throw;
  }
  return false;
}

Variant cSort::MergeFiles() {
  if (fileCount_ == 0) {
    output_.clear();
  } else {
    while (mergeNext_ < fileCount_ - 1) {
      CheckRoom();
      const RunFile& a = files_[static_cast<std::size_t>(mergeNext_)];
      const RunFile& b = files_[static_cast<std::size_t>(mergeNext_ + 1)];
      const std::int32_t count = AddChecked(a.count, b.count);
      std::string name = tmpFile();
      MergeRunFiles(a.name, b.name, name);
      Register(std::move(name), count);
      // Both inputs live on only inside the merged file.
      Release(mergeNext_);
      Release(mergeNext_ + 1);
      mergeNext_ += 2;
    }
    output_ = files_.back().name;
  }
  // The passes need every accumulated amount in the output file; after an accumulation error
  // some are missing, and the reports say so instead.
  if (!error_ && !output_.empty()) StatisticsPasses();
  return Variant{};
}

void cSort::StatisticsPasses() {
  const double n = n_;
  // The exact sum of the unrounded amounts, as the in-memory statistics take it.
  mean_ = Div(sumX_.Value(), n);
  const double range = Difference(max_, min_);
  numBins_ = ToInteger(Div(Log(n), std::log(2.0)));
  binWidth_ = Div(range, numBins_);
  histoCount_.fill(0);
  histoAmount_.fill(0.0);
  const std::int32_t k = std::min(n_, std::int32_t{100});
  // The second scaled sum and the moments are scaled by the largest magnitude, a positive
  // figure, so that the sign of z (and of the skewness) is that of x - mean even when every
  // amount is negative.
  const double scale = std::max(std::fabs(max_.ToDouble()), std::fabs(min_.ToDouble()));

  // The sums of the passes are compensated: over millions of rows a plain running sum drifts
  // in the digits the reports print (CSS in its last five). Each term keeps its own rounding,
  // which does not add up the way the drift does.
  detail::ExactSum scaled1, scaled2, css;
  double median = 0.0, lowMiddle = 0.0;
  double runValue = 0.0, modeValue = 0.0;
  std::int64_t runLength = 0, modeLength = 0;
  {
    TextReader in = OpenTextFile(output_);
    for (std::int32_t r = 1; r <= n_; ++r) {
      const double x = ParseAmount(in.ReadLineView());
      const double a = Div(x, range) - Div(mean_, range);
      scaled1 = scaled1.Plus(a * a);
      const double b = Div(x, scale) - Div(mean_, scale);
      scaled2 = scaled2.Plus(b * b);

      if (n_ % 2 == 1) {
        if (r == (n_ + 1) / 2) median = x;
      } else if (r == n_ / 2) {
        lowMiddle = x;
      } else if (r == n_ / 2 + 1) {
        median = (lowMiddle + x) / 2.0;
      }

      // Longest run of equal values; the first (smallest) wins a tie.
      if (r > 1 && x == runValue) {
        ++runLength;
      } else {
        runValue = x;
        runLength = 1;
      }
      if (runLength > modeLength) {
        modeLength = runLength;
        modeValue = runValue;
      }

      const double offset = Difference(Currency::FromDouble(x), min_);
      double bin = std::floor(Div(offset, binWidth_));
      if (bin < 0.0) bin = 0.0;
      if (bin > 40.0) bin = 40.0;
      if (bin > numBins_ - 1) bin = numBins_ - 1;
      const auto bi = static_cast<std::size_t>(bin);
      histoCount_[bi] = AddChecked(histoCount_[bi], std::int32_t{1});
      histoAmount_[bi] += x;

      if (r <= k) bottom_[static_cast<std::size_t>(r)] = x;
      if (r >= n_ - k + 1) top_[static_cast<std::size_t>(n_ - r + 1)] = x;

      css = css.Plus((x - mean_) * (x - mean_));
    }
  }
  median_ = median;
  mode_ = modeLength >= 2 ? modeValue : 0.0;
  css_ = css.Value();
  s_ = Checked(Sqr(Div(scaled1.Value(), n - 1)) * range);
  scaledS_ = Sqr(Div(scaled2.Value(), n - 1));

  if (scale == 0.0) return;
  detail::ExactSum sum3, sum4;
  {
    TextReader in = OpenTextFile(output_);
    for (std::int32_t r = 1; r <= n_; ++r) {
      const double x = ParseAmount(in.ReadLineView());
      const double z = Div(Div(x, scale) - Div(mean_, scale), scaledS_);
      const double z2 = z * z;
      sum3 = sum3.Plus(z2 * z);
      sum4 = sum4.Plus(z2 * z2);
    }
  }
  // Evaluated left to right, as written: sum / (N - 1) * N / (N - 2) ...
  skewness_ = Checked(Div(Div(sum3.Value(), n - 1) * n, n - 2));
  kurtosis_ = n < 4 ? 0.0
                    : Checked(Div(Div(Div(sum4.Value(), n - 1) * n, n - 2) * (n + 1), n - 3) -
                              Div(Div(3.0 * (n - 1), n - 2) * (n - 1), n - 3));
}

void cSort::CompP() {
  if (error_ || output_.empty()) return;
  std::int32_t last = 0;
  for (std::size_t l = 0; l < kLevels.size(); ++l) {
    std::int32_t row = ToLong(static_cast<double>(n_) * kLevels[l]);
    row = std::min(std::max(row, std::int32_t{1}), n_);
    pctRow_[l] = row;
    last = std::max(last, row);
  }
  // Rows past the highest percentile row are never needed.
  TextReader in = OpenTextFile(output_);
  for (std::int32_t r = 1; r <= last; ++r) {
    const std::string_view line = in.ReadLineView();
    bool wanted = false;
    for (std::int32_t row : pctRow_) wanted = wanted || row == r;
    if (!wanted) continue;
    const double x = ParseAmount(line);
    for (std::size_t l = 0; l < kLevels.size(); ++l)
      if (pctRow_[l] == r) pctValue_[l] = x;
  }
  qrange_ = pctValue_[5] - pctValue_[3];
}

double cSort::Var() const { return s_ * s_; }

Variant cSort::PopStdDev() const {
  const double n = n_;
  return Variant(Sqr(Div(n - 1, n) * (s_ * s_)));
}

double cSort::CV() const { return Div(s_, mean_); }

double cSort::Range() const { return Difference(max_, min_); }

double cSort::SEM() const { return Div(s_, Sqr(n_)); }

std::string cSort::PercentileReport() const {
  if (error_) return std::string(kTooLarge);
  std::string out = "Percentiles: ";
  out += kCrLf;
  for (std::size_t l = 0; l < kLevels.size(); ++l) {
    out += 'P';
    AppendNumber(out, kLevels[l], ".0%");
    out += " : ";
    out += kTab;
    AppendNumText(out, pctValue_[l]);
    out += kCrLf;
  }
  out += "Inter quartile range: ";
  AppendNumText(out, qrange_);
  out += kCrLf;
  return out;
}

std::string cSort::StatReport() const {
  if (error_) return std::string(kTooLarge);
  std::string out = "Stat Report: ";
  out += kCrLf;
  Line(out, "N: ", NumText(n_));
  Line(out, "Mean:", FormatNumber(mean_, kAmountPattern));
  Line(out, "Min: ", FormatNumber(min_, kAmountPattern));
  Line(out, "Max: ", FormatNumber(max_, kAmountPattern));
  Line(out, "Sum: ", FormatNumber(sum_, kSumPattern));
  Line(out, "Stdev: ", FormatNumber(s_, kAmountPattern));
  Line(out, "Median: ", FormatNumber(median_, kAmountPattern));
  Line(out, "Mode: ", FormatNumber(mode_, kAmountPattern));
  Line(out, "Skewness: ", FormatNumber(skewness_, kRatioPattern));
  Line(out, "Kurtosis: ", FormatNumber(kurtosis_, kRatioPattern));
  Line(out, "Variance: ", FormatNumber(Var(), kSumPattern));
  Line(out, "USS: ", FormatNumber(uss_, kSumPattern));
  Line(out, "CSS: ", FormatNumber(css_, kSumPattern));
  Line(out, "SEM: ", NumText(SEM()));
  Line(out, "CV: ", FormatNumber(CV(), kRatioPattern));
  Line(out, "Pop Std Dev: ", FormatNumber(PopStdDev().ToDouble(), kAmountPattern));
  Line(out, "Range: ", FormatNumber(Range(), kAmountPattern));
  Line(out, "Inter-Quartile Range: ", FormatNumber(qrange_, kAmountPattern));
  return out;
}

std::string cSort::HistoReport() const {
  if (error_) return std::string(kTooLarge);
  std::string out = "Bin\tStart\tEnd\tCount\tAmount\r\n";
  double start = min_.ToDouble();
  for (std::int16_t j = 1; j <= numBins_; ++j) {
    const double end = start + binWidth_;
    const auto b = static_cast<std::size_t>(j - 1);
    out += NumText(std::int32_t{j});
    out += kTab;
    AppendNumber(out, start, kAmountPattern);
    out += kTab;
    AppendNumber(out, end, kAmountPattern);
    out += kTab;
    out += FormatNumber(histoCount_[b], "###,###,##0");
    out += kTab;
    AppendNumber(out, histoAmount_[b], kAmountPattern);
    out += kCrLf;
    start = end;
  }
  out += "Totals: \t\t\t";
  out += NumText(n_);
  out += kTab;
  out += sum_.Text();
  out += kCrLf;
  return out;
}

std::string cSort::ListReport(const std::array<double, 101>& list, std::int16_t n) const {
  if (error_) return std::string(kTooLarge);
  std::string out = "Position\tAmount\r\n";
  std::int32_t k = std::min(std::max(std::int32_t{n}, std::int32_t{1}), std::int32_t{100});
  k = std::min(k, n_);
  for (std::int32_t i = 1; i <= k; ++i) {
    out += NumText(i);
    out += kTab;
    AppendNumber(out, list[static_cast<std::size_t>(i)], kAmountPattern);
    out += kCrLf;
  }
  return out;
}

std::string cSort::TopNReport(std::int16_t N) const { return ListReport(top_, N); }

std::string cSort::BottomNReport(std::int16_t N) const { return ListReport(bottom_, N); }

// ---------------------------------------------------------------------------------------------
// cNewDouble

cNewDouble::cNewDouble() : sort_(std::make_unique<cSort>()) {}

cNewDouble::~cNewDouble() = default;

double cNewDouble::BinWidth() const { return finished_ ? sort_->BinWidth() : 0.0; }
double cNewDouble::Max() const { return finished_ ? sort_->Max() : 0.0; }
double cNewDouble::Min() const { return finished_ ? sort_->Min() : 0.0; }
Currency cNewDouble::Sum() const { return finished_ ? sort_->Sum() : Currency(); }
std::int16_t cNewDouble::NumberBins() const { return finished_ ? sort_->NumBins() : 0; }

std::int32_t cNewDouble::HistoCount(std::int16_t i) const {
  CheckBin(i);
  return finished_ ? sort_->HistoCount(i) : 0;
}

double cNewDouble::HistoAmount(std::int16_t i) const {
  CheckBin(i);
  return finished_ ? sort_->HistoAmount(i) : 0.0;
}

void cNewDouble::AddItem(double d) {
  if (!WithinLimit(d)) return;
  n_ = AddChecked(n_, std::int32_t{1});
  if (finished_ || failure_) return;
  if (buffer_.empty()) buffer_.resize(kBufferSize);
  buffer_[static_cast<std::size_t>(buffered_++)] = d;
  if (buffered_ == kBufferSize) {
    buffered_ = 0;
    try {
      sort_->AddArray(buffer_, kBufferSize);
    } catch (const EngineError& e) {
      failure_ = e;
      sort_ = std::make_unique<cSort>();
      buffer_ = std::vector<double>();
      throw;
    }
  }
}

void cNewDouble::Finish() {
  if (failure_) throw *failure_;
  if (finished_) return;
  try {
    if (buffered_ > 0) sort_->AddArray(buffer_, buffered_);
    buffered_ = 0;
    if (n_ > 0) {
      sort_->MergeFiles();
      sort_->CompP();
    }
  } catch (const EngineError& e) {
    // Nothing more can come of this sort: its files go now, and the error stays on record.
    failure_ = e;
    sort_ = std::make_unique<cSort>();
    buffer_ = std::vector<double>();
    throw;
  }
  finished_ = true;
  buffer_ = std::vector<double>();
}

std::string cNewDouble::TooFew() const { return "Too few observations (" + NumText(n_) + ")"; }

std::string cNewDouble::HistoReport() {
  Finish();
  return n_ == 0 ? TooFew() : sort_->HistoReport();
}

std::string cNewDouble::StatReport() {
  Finish();
  return n_ == 0 ? TooFew() : sort_->StatReport();
}

std::string cNewDouble::PercentileReport() {
  Finish();
  return n_ == 0 ? TooFew() : sort_->PercentileReport();
}

std::string cNewDouble::TopNReport(std::int16_t iCount) {
  Finish();
  return n_ == 0 ? TooFew() : sort_->TopNReport(iCount);
}

std::string cNewDouble::BottomNReport(std::int16_t iCount) {
  Finish();
  return n_ == 0 ? TooFew() : sort_->BottomNReport(iCount);
}

}  // namespace tarnwick
