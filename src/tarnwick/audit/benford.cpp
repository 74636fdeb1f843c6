#include "tarnwick/audit/benford.h"

#include <charconv>
#include <cmath>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/stats/chi_square.h"
#include "tarnwick/stats/distributions.h"

namespace tarnwick {

namespace {

// Second-digit proportions, stored to four decimals (they sum to exactly 1).
constexpr double kSecondDigit[10] = {0.1196, 0.1139, 0.1088, 0.1043, 0.1003,
                                     0.0967, 0.0934, 0.0904, 0.0876, 0.085};

// Exact second-digit proportions: the sum over the first digits k of log10(1 + 1/(10k + d)).
const std::array<double, 100>& SecondDigitExact() {
  static const std::array<double, 100> table = [] {
    std::array<double, 100> t{};
    for (int d = 0; d <= 9; ++d)
      for (int k = 1; k <= 9; ++k)
        t[static_cast<std::size_t>(d)] += std::log10(1.0 + 1.0 / (10 * k + d));
    return t;
  }();
  return table;
}

// A p-value to four significant digits as default number text ("0.0251", "5.245E-05"), so
// that small p-values still rank.
std::string PValueText(double p) {
  if (p <= 0) return "0";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, p, std::chars_format::scientific, 3);
  double rounded = p;
  std::from_chars(buf, r.ptr, rounded);
  return NumText(rounded);
}

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
    if (count == 0)
      first = d;
    else if (count == 1)
      second = d;
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

void cBenford::Range(int& lo, int& hi) const {
  switch (type_) {
    case Type::F1:
      lo = 1;
      hi = 9;
      return;
    case Type::F2:
      lo = 10;
      hi = 99;
      return;
    case Type::L1:
    case Type::D2:
      lo = 0;
      hi = 9;
      return;
    case Type::L2:
      lo = 0;
      hi = 99;
      return;
  }
}

bool cBenford::MADRanges(double& close, double& acceptable, double& marginal) const {
  switch (type_) {
    case Type::F1:
      close = 0.006;
      acceptable = 0.012;
      marginal = 0.015;
      return true;
    case Type::D2:
      close = 0.008;
      acceptable = 0.010;
      marginal = 0.012;
      return true;
    case Type::F2:
      close = 0.0012;
      acceptable = 0.0018;
      marginal = 0.0022;
      return true;
    case Type::L1:
    case Type::L2: break;
  }
  return false;
}

double cBenford::ExactPct(std::int16_t& i) const {
  i = Clamp(i);
  return exp_ ? exp_->exact[static_cast<std::size_t>(i)] : 0.0;
}

double cBenford::Z(std::int16_t& i) const {
  i = Clamp(i);
  return exp_ ? exp_->z[static_cast<std::size_t>(i)] : 0.0;
}

void cBenford::Compute() {
  if (numObs_ < 10) return;
  int lo = 1, hi = 9;
  Range(lo, hi);
  ComputeFigures(lo, hi);
  report_ = BuildReport(lo, hi);
}

void cBenford::ComputeFigures(int lo, int hi) {
  if (!exp_) exp_ = std::make_unique<Expectations>();
  exp_->exact.fill(0);
  exp_->z.fill(0);
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
    exp_->exact[k] = type_ == Type::D2 ? SecondDigitExact()[k] : p;
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
    std::int32_t a = actual_[static_cast<std::size_t>(d)],
                 e = exp_->expect[static_cast<std::size_t>(d)];
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
  pValue_ = 1.0 - cdf;

  // Conformity figures against the exact expected proportions: Pearson's goodness of fit on
  // the unrounded expected counts, the MAD, and a Z per digit with the continuity correction.
  const double n = numObs_;
  const double correction = 1.0 / (2.0 * n);
  double gof = 0, absDev = 0;
  for (int d = lo; d <= hi; ++d) {
    const auto k = static_cast<std::size_t>(d);
    const double p = exp_->exact[k];
    const double expected = n * p;
    const double diff = actual_[k] - expected;
    gof += diff * diff / expected;
    const double gap = std::fabs(actual_[k] / n - p);
    absDev += gap;
    exp_->z[k] = gap > correction ? (gap - correction) / std::sqrt(p * (1.0 - p) / n) : 0.0;
  }
  gofChisq_ = gof;
  gofDF_ = static_cast<std::int16_t>(hi - lo);
  double upper = cCephes::ChiSquareCDistribution(gofDF_, gofChisq_);
  gofP_ = upper < 0 ? 0 : (upper > 1 ? 1 : upper);
  mad_ = absDev / (hi - lo + 1);
  double close = 0, acceptable = 0, marginal = 0;
  if (!MADRanges(close, acceptable, marginal))
    verdict_ = "";
  else if (mad_ <= close)
    verdict_ = "Close conformity";
  else if (mad_ <= acceptable)
    verdict_ = "Acceptable conformity";
  else if (mad_ <= marginal)
    verdict_ = "Marginally acceptable conformity";
  else
    verdict_ = "Nonconformity";
}

std::string cBenford::BuildReport(int lo, int hi) const {
  std::string r;
  r.reserve(600 + 90 * static_cast<std::size_t>(hi - lo + 1));
  r += "Benford Report";
  r += kCrLf;
  AppendLabelLine(r, "High digit ", NumText(static_cast<std::int32_t>(hiDigit_)));
  AppendLabelLine(r, "Chisq ", chisq_, "##,###.#0");
  AppendLabelLine(r, "p-value ", pValue_, "#.####0");
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
    AppendNumber(r, static_cast<double>(exp_->expect[static_cast<std::size_t>(d)]),
                 "###,###,###,##0");
    r += kCrLf;
  }

  // The conformity figures follow the described lines, labelled apart from them.
  r += "Goodness of fit (Pearson, exact expected)";
  r += kCrLf;
  AppendLabelLine(r, "Observations ", static_cast<double>(numObs_), "###,###,###,##0");
  AppendLabelLine(r, "Chisq (goodness of fit) ", gofChisq_, "#,##0.00");
  AppendLabelLine(r, "df (goodness of fit) ", NumText(static_cast<std::int32_t>(gofDF_)));
  AppendLabelLine(r, "p-value (goodness of fit) ", PValueText(gofP_));
  r += "Mean absolute deviation (MAD)";
  r += kCrLf;
  AppendLabelLine(r, "MAD ", mad_, "0.000000");
  double close = 0, acceptable = 0, marginal = 0;
  if (MADRanges(close, acceptable, marginal)) {
    AppendLabelLine(r, "MAD conformity ", verdict_);
    r += "MAD range\tFrom\tTo";
    r += kCrLf;
    const struct {
      const char* name;
      double from, to;
    } ranges[] = {{"Close conformity", 0, close},
                  {"Acceptable conformity", close, acceptable},
                  {"Marginally acceptable conformity", acceptable, marginal},
                  {"Nonconformity", marginal, -1}};
    for (const auto& range : ranges) {
      r += range.name;
      r += kTab;
      AppendNumber(r, range.from, "0.000000");
      if (range.to >= 0) {
        r += kTab;
        AppendNumber(r, range.to, "0.000000");
      }
      r += kCrLf;
    }
  } else {
    AppendLabelLine(r, "MAD conformity ", "no verdict: no published range for last-digit tests");
  }
  r += "Z by digit (continuity corrected)";
  r += kCrLf;
  r += "Digit\tObserved proportion\tExpected proportion\tZ\tBeyond 1.96";
  r += kCrLf;
  const double n = numObs_;
  for (int d = lo; d <= hi; ++d) {
    const auto k = static_cast<std::size_t>(d);
    r += NumText(static_cast<std::int32_t>(d));
    r += kTab;
    AppendNumber(r, actual_[k] / n, "0.00000");
    r += kTab;
    AppendNumber(r, exp_->exact[k], "0.00000");
    r += kTab;
    AppendNumber(r, exp_->z[k], "0.000");
    if (exp_->z[k] > kZCritical) r += "\t*";
    r += kCrLf;
  }
  return r;
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
      if (m < 1.0) {
        --e;
        continue;
      }
      if (m >= 10.0) {
        ++e;
        continue;
      }
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

std::string cBA::ItemText(std::int32_t i) const {
  return InRange(i) ? records_[static_cast<std::size_t>(i)].key : std::string();
}
std::int32_t cBA::ItemCount(std::int32_t i) const {
  return InRange(i) ? records_[static_cast<std::size_t>(i)].count : 0;
}
double cBA::ItemAmount(std::int32_t i) const {
  return InRange(i) ? records_[static_cast<std::size_t>(i)].amount : 0.0;
}
double cBA::ItemDRAmount(std::int32_t i) const {
  return InRange(i) ? records_[static_cast<std::size_t>(i)].debit : 0.0;
}
double cBA::ItemCRAmount(std::int32_t i) const {
  return InRange(i) ? records_[static_cast<std::size_t>(i)].credit : 0.0;
}

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
  if (digit > 0)
    rec->firstDigits[static_cast<std::size_t>(digit)] =
        AddChecked<std::int32_t>(rec->firstDigits[static_cast<std::size_t>(digit)], 1);
}

cBenford cBA::KeyTest(const Record& rec) {
  cBenford test;
  for (int digit = 1; digit <= 9; ++digit)
    if (rec.firstDigits[static_cast<std::size_t>(digit)] > 0)
      test.AddTally(digit, rec.firstDigits[static_cast<std::size_t>(digit)]);
  test.Compute();
  return test;
}

double cBA::ItemMAD(std::int32_t i) const {
  if (!InRange(i)) return 0.0;
  const cBenford test = KeyTest(records_[static_cast<std::size_t>(i)]);
  return test.NumObs() < 10 ? 0.0 : test.MAD();
}

double cBA::ItemGofPValue(std::int32_t i) const {
  if (!InRange(i)) return 0.0;
  const cBenford test = KeyTest(records_[static_cast<std::size_t>(i)]);
  return test.NumObs() < 10 ? 0.0 : test.GofPValue();
}

std::string cBA::SummaryReport() const {
  // Each key's first-digit test, from the tallies its amounts' texts gave; only its figures
  // are kept, so a ledger with many keys holds one test at a time.
  struct Figures {
    double chisq, dstat, mad, gofChisq, gofP;
    std::int32_t tested;
    std::string verdict;
  };
  std::vector<Figures> tests;
  tests.reserve(records_.size());
  for (const Record& rec : records_) {
    const cBenford t = KeyTest(rec);
    tests.push_back({t.chisq(), t.dstat(), t.MAD(), t.GofChisq(), t.GofPValue(), t.NumObs(),
                     t.MADConformity()});
  }

  std::string r = "Benford Summary Report";
  r += kCrLf;
  r += "Variable\tCount\tTotal\tChiSQ\td-stat";
  r += kCrLf;
  std::int64_t counts = 0;
  double amounts = 0;
  for (std::size_t k = 0; k < records_.size(); ++k) {
    const Record& rec = records_[k];
    r += rec.key;
    r += kTab;
    r += NumText(rec.count);
    r += kTab;
    AppendNumber(r, rec.amount, "###,###.00");
    r += kTab;
    AppendNumber(r, tests[k].chisq, "##,###.0");
    r += kTab;
    AppendNumber(r, tests[k].dstat, "#.####");
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

  // Figures to rank the keys by nonconformity; a key with too few amounts has none.
  r += "Conformity by key (first digit, exact expected)";
  r += kCrLf;
  r += "Variable\tTested\tMAD\tMAD conformity\tChisq (goodness of fit)\tp-value (goodness of fit)";
  r += kCrLf;
  for (std::size_t k = 0; k < records_.size(); ++k) {
    const Figures& test = tests[k];
    r += records_[k].key;
    r += kTab;
    r += NumText(test.tested);
    r += kTab;
    if (test.tested < 10) {
      r += kTab;
      r += "Too few observations";
    } else {
      AppendNumber(r, test.mad, "0.000000");
      r += kTab;
      r += test.verdict;
      r += kTab;
      AppendNumber(r, test.gofChisq, "#,##0.00");
      r += kTab;
      r += PValueText(test.gofP);
    }
    r += kCrLf;
  }
  return r;
}

}  // namespace tarnwick
