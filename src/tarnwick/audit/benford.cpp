#include "tarnwick/audit/benford.h"

#include <cmath>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/shell/report_text.h"
#include "tarnwick/stats/chi_square.h"
#include "tarnwick/stats/distributions.h"

namespace tarnwick {

namespace {

// Second-digit proportions, stored to four decimals (they sum to exactly 1).
constexpr double kSecondDigit[10] = {0.1196, 0.1139, 0.1088, 0.1043, 0.1003,
                                     0.0967, 0.0934, 0.0904, 0.0876, 0.085};

}  // namespace

cBenford::cBenford() { init(); }

void cBenford::btype(std::string_view value) {
  char a = value.size() > 0 ? UpperChar(value[0]) : ' ';
  char b = value.size() > 1 ? UpperChar(value[1]) : ' ';
  if (a == 'F' && b == '2') {
    type_ = Type::F2;
    numDigits_ = 2;
  } else if (a == 'L' && b == '1') {
    type_ = Type::L1;
    numDigits_ = 1;
  } else if (a == 'L' && b == '2') {
    type_ = Type::L2;
    numDigits_ = 2;
  } else if (a == 'D' && b == '2') {
    type_ = Type::D2;
    numDigits_ = 1;
  } else {
    type_ = Type::F1;
    numDigits_ = 1;
  }
}

Variant cBenford::init() {
  actual_.fill(0);
  if (exp_) exp_->expect.fill(0);
  numObs_ = 0;
  numDigits_ = 1;
  type_ = Type::F1;
  return Variant{};
}

std::string cBenford::Report() const {
  if (numObs_ > 9) return report_;
  std::string s = "Too few observations (";
  s += kTab;
  s += NumText(numObs_);
  s += kTab;
  s += ")";
  return s;
}

std::int32_t cBenford::Expect(std::int16_t& i) const {
  i = Clamp(i);
  return exp_ ? exp_->expect[static_cast<std::size_t>(i)] : 0;
}

std::int32_t cBenford::Actual(std::int16_t& i) const {
  i = Clamp(i);
  return actual_[static_cast<std::size_t>(i)];
}

double cBenford::pct(std::int16_t& i) const {
  i = Clamp(i);
  return exp_ ? exp_->pct[static_cast<std::size_t>(i)] : 0.0;
}

int cBenford::DigitValue(Type type, std::string_view text) {
  // One pass over the text: digits only, leading zeros skipped, keeping what each type needs.
  int count = 0;  // digits taken
  int first = 0, second = 0;
  int last = 0, beforeLast = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') continue;
    const int d = c - '0';
    if (count == 0 && d == 0) continue;
    if (count == 0) first = d;
    else if (count == 1) second = d;
    beforeLast = last;
    last = d;
    ++count;
  }
  switch (type) {
    case Type::F1: return count < 1 ? -1 : first;
    case Type::F2: return count < 2 ? -1 : first * 10 + second;
    case Type::D2: return count < 2 ? -1 : second;
    case Type::L1: return count < 1 ? -1 : last;
    case Type::L2: return count < 2 ? -1 : beforeLast * 10 + last;
  }
  return -1;
}

bool cBenford::AddObs(std::string_view text) {
  const int value = DigitValue(type_, text);
  if (value < 0) return false;
  AddTally(value, 1);
  return true;
}

void cBenford::AddTally(int value, std::int32_t n) {
  const std::int32_t obs = AddChecked<std::int32_t>(numObs_, n);
  const std::int32_t tally = AddChecked<std::int32_t>(actual_[static_cast<std::size_t>(value)], n);
  numObs_ = obs;
  actual_[static_cast<std::size_t>(value)] = tally;
}

void cBenford::Compute() {
  if (numObs_ < 10) return;
  int lo = 1, hi = 9;
  switch (type_) {
    case Type::F1: lo = 1; hi = 9; break;
    case Type::F2: lo = 10; hi = 99; break;
    case Type::L1:
    case Type::D2: lo = 0; hi = 9; break;
    case Type::L2: lo = 0; hi = 99; break;
  }
  if (!exp_) exp_ = std::make_unique<Expectations>();
  std::int32_t observedTotal = 0, expectedTotal = 0;
  for (int d = lo; d <= hi; ++d) {
    double p;
    switch (type_) {
      case Type::F1:
      case Type::F2: p = std::log(1.0 + 1.0 / d) / std::log(10.0); break;
      case Type::L1: p = 0.1; break;
      case Type::L2: p = 0.01; break;
      default: p = kSecondDigit[d]; break;
    }
    const auto k = static_cast<std::size_t>(d);
    exp_->pct[k] = p;
    exp_->expect[k] = ToLong(numObs_ * p);
    observedTotal = AddChecked(observedTotal, actual_[k]);
    expectedTotal = AddChecked(expectedTotal, exp_->expect[k]);
  }

  // The statistic of a two-column table: observed and expected tallies by digit row.
  cChiSQ chi;
  chi.NumCols(2);
  chi.numrows(static_cast<std::int16_t>(hi - lo + 1));
  chi.SetTabs();
  for (int d = lo; d <= hi; ++d) {
    std::int16_t row = static_cast<std::int16_t>(d - lo), c0 = 0, c1 = 1;
    std::int32_t a = actual_[static_cast<std::size_t>(d)], e = exp_->expect[static_cast<std::size_t>(d)];
    chi.SetItem(row, c0, a);
    row = static_cast<std::int16_t>(d - lo);
    chi.SetItem(row, c1, e);
  }
  chi.Compute();
  chisq_ = chi.chisq();
  df_ = Narrow<std::int16_t>(chi.DF());

  // d-statistic: the largest gap between cumulative observed and expected proportions.
  double runObs = 0, runExp = 0, cumObs = 0, cumExp = 0, largest = 0;
  hiDigit_ = 0;
  for (int d = lo; d <= hi; ++d) {
    runObs += actual_[static_cast<std::size_t>(d)];
    runExp += exp_->expect[static_cast<std::size_t>(d)];
    if (observedTotal != 0) cumObs = runObs / observedTotal;
    if (expectedTotal != 0) cumExp = runExp / expectedTotal;
    const double gap = std::fabs(cumObs - cumExp);
    if (gap > largest) {
      largest = gap;
      hiDigit_ = static_cast<std::int16_t>(d);
    }
  }
  dstat_ = largest;

  double cdf = cCephes::ChiSquareDistribution(df_, chisq_);
  cdf = cdf < 0 ? 0 : (cdf > 1 ? 1 : cdf);
  const double pValue = 1.0 - cdf;

  std::string r;
  r.reserve(64 + 40 * static_cast<std::size_t>(hi - lo + 1));
  r += "Benford Report";
  r += kCrLf;
  AppendLabelLine(r, "High digit ", NumText(static_cast<std::int32_t>(hiDigit_)));
  AppendLabelLine(r, "Chisq ", chisq_, "##,###.#0");
  AppendLabelLine(r, "p-value ", pValue, "#.####0");
  AppendLabelLine(r, "df ", NumText(static_cast<std::int32_t>(df_)));
  AppendLabelLine(r, "D-stat ", dstat_, "00.###0");
  r += "Digit";
  r += kTab;
  r += "Observed";
  r += kTab;
  r += "Expected";
  r += kCrLf;
  for (int d = lo; d <= hi; ++d) {
    r += NumText(static_cast<std::int32_t>(d));
    r += kTab;
    AppendNumber(r, static_cast<double>(actual_[static_cast<std::size_t>(d)]), "###,###,###,##0");
    r += kTab;
    AppendNumber(r, static_cast<double>(exp_->expect[static_cast<std::size_t>(d)]), "###,###,###,##0");
    r += kCrLf;
  }
  report_ = std::move(r);
}

// ---- cBA ----

// The first significant digit of an amount's default text (15 significant digits), or -1 for
// an amount whose text has none (zero). Read straight from the double where that is exact, and
// from the text only where rounding to 15 digits could carry into the first digit.
int cBA::FirstDigit(double d, std::string& scratch) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (d == 0.0) return -1;
  const double a = std::fabs(d);
  if (std::isfinite(a) && a >= 1e-22 && a < 1e22) {
    int e = static_cast<int>(std::floor(std::log10(a)));
    for (int k = 0; k < 2; ++k) {  // log10 can be one off next to a power of ten
      const double m = e >= 0 ? a / kPow10[e] : a * kPow10[-e];
      if (m < 1.0) { --e; continue; }
      if (m >= 10.0) { ++e; continue; }
      const double first = std::floor(m);
      const double frac = m - first;
      if (frac > 1e-12 && frac < 1.0 - 1e-12) return static_cast<int>(first);
      break;
    }
  }
  scratch.clear();
  AppendNumText(scratch, d);
  return cBenford::DigitValue(cBenford::Type::F1, scratch);
}


std::string cBA::ItemText(std::int32_t i) const { return InRange(i) ? records_[static_cast<std::size_t>(i)].key : std::string(); }
std::int32_t cBA::ItemCount(std::int32_t i) const { return InRange(i) ? records_[static_cast<std::size_t>(i)].count : 0; }
double cBA::ItemAmount(std::int32_t i) const { return InRange(i) ? records_[static_cast<std::size_t>(i)].amount : 0.0; }
double cBA::ItemDRAmount(std::int32_t i) const { return InRange(i) ? records_[static_cast<std::size_t>(i)].debit : 0.0; }
double cBA::ItemCRAmount(std::int32_t i) const { return InRange(i) ? records_[static_cast<std::size_t>(i)].credit : 0.0; }

void cBA::Item(std::string_view s, double d) { Add(s, d, nullptr); }

void cBA::Items(const std::string_view* keys, const double* amounts, std::size_t n) {
  ApplyFetchedAhead<std::uint32_t>(
      n, index_, [&](std::size_t i) { return KeyIndex::Hash(keys[i]); },
      [this](std::int32_t r) { return &records_[static_cast<std::size_t>(r)]; },
      [&](std::size_t i, std::uint32_t hash) { Add(keys[i], amounts[i], &hash); });
}

inline void cBA::Add(std::string_view s, double d, const std::uint32_t* knownHash) {
  total_ += d;
  items_ = AddChecked<std::int32_t>(items_, 1);

  std::int32_t at = -1;
  std::uint32_t hash = 0;
  if (lastIndex_ >= 0 && s == lastKey_) {
    at = lastIndex_;
  } else {
    hash = knownHash != nullptr ? *knownHash : KeyIndex::Hash(s);
    at = index_.Find(s, hash, [this](std::int32_t r) {
      return std::string_view(records_[static_cast<std::size_t>(r)].key);
    });
    if (at >= 0) {
      lastKey_.assign(s);
      lastIndex_ = at;
    }
  }
  Record* rec;
  if (at >= 0) {
    rec = &records_[static_cast<std::size_t>(at)];
    rec->amount += d;
    rec->count = AddChecked<std::int32_t>(rec->count, 1);
    if (d > 0) rec->debit += d;
    if (d < 0) rec->credit += d;
  } else {
    Record r;
    r.key.assign(s);
    r.count = 1;
    r.amount = d;
    r.debit = d > 0 ? d : 0;
    r.credit = d < 0 ? d : 0;
    records_.push_back(std::move(r));
    index_.Insert(hash, static_cast<std::int32_t>(records_.size() - 1));
    rec = &records_.back();
  }
  const int digit = FirstDigit(d, digits_);
  if (digit > 0) rec->firstDigits[static_cast<std::size_t>(digit)] =
      AddChecked<std::int32_t>(rec->firstDigits[static_cast<std::size_t>(digit)], 1);
}

std::string cBA::SummaryReport() const {
  std::string r = "Benford Summary Report";
  r += kCrLf;
  r += "Variable\tCount\tTotal\tChiSQ\td-stat";
  r += kCrLf;
  std::int64_t counts = 0;
  double amounts = 0;
  for (const Record& rec : records_) {
    // Each key's first-digit test, from the tallies its amounts' texts gave.
    cBenford test;
    for (int digit = 1; digit <= 9; ++digit)
      if (rec.firstDigits[static_cast<std::size_t>(digit)] > 0)
        test.AddTally(digit, rec.firstDigits[static_cast<std::size_t>(digit)]);
    test.Compute();
    r += rec.key;
    r += kTab;
    r += NumText(rec.count);
    r += kTab;
    AppendNumber(r, rec.amount, "###,###.00");
    r += kTab;
    AppendNumber(r, test.chisq(), "##,###.0");
    r += kTab;
    AppendNumber(r, test.dstat(), "#.####");
    r += kCrLf;
    counts += rec.count;
    amounts += rec.amount;
  }
  r += "Totals";
  r += kTab;
  AppendNumber(r, static_cast<double>(counts), "###,###,##0");
  r += kTab;
  AppendNumber(r, amounts, "###,###,###.00");
  r += kCrLf;
  return r;
}

}  // namespace tarnwick
