#include "tarnwick/audit/mus_evaluation.h"

#include <algorithm>
#include <string_view>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/stats/distributions.h"

namespace tarnwick {
namespace {

constexpr double kMaxRate = 0.999999;
constexpr std::string_view kMoney = "#,###,###,###,##0.00";
constexpr std::string_view kCount = "#,###,###,##0";
constexpr std::string_view kRate = "##0.00%";
constexpr std::string_view kFactor = "#0.000000";

void Money(std::string& out, std::string_view label, double value) {
  AppendLabelLine(out, label, value, kMoney);
}

}  // namespace

void cMUSEval::conf(double& value) {
  if (!(value >= 0.0)) value = 0.0;
  if (value > kMaxRate) value = kMaxRate;
  conf_ = value;
}

void cMUSEval::AddItem(double book, double audited) {
  const Currency b = Currency::FromDouble(book);
  const Currency a = Currency::FromDouble(audited);
  if (b.ToDouble() <= 0.0) {
    Raise(ErrorCode::InvalidArgument,
          "book amount " + NumText(book) +
              " is not positive: monetary units select positive book amounts");
  }
  const Currency books = bookTotal_ + b;
  const Currency audits = auditedTotal_ + a;
  const std::int32_t items = AddChecked(items_, 1);
  if (a != b) {
    const double bd = b.ToDouble(), ad = a.ToDouble();
    // The top stratum is decided at evaluation, when the interval is final.
    (bd > ad ? over_ : under_).push_back({bd, ad, 0.0, false});
  }
  bookTotal_ = books;
  auditedTotal_ = audits;
  items_ = items;
}

void cMUSEval::CheckInterval() const {
  if (!(interval_ > 0.0))
    Raise(ErrorCode::InvalidArgument, "the sampling interval must be above 0");
}

double cMUSEval::Factor(std::int32_t k) const {
  // The mean m with P(X <= k | m) = 1 - conf, i.e. the chi-square quantile on 2(k + 1)
  // degrees of freedom, halved.
  return Checked(cCephes::InvPoissonDistribution(k, 1.0 - conf_));
}

std::vector<cMUSEval::Found> cMUSEval::Ranked(bool over) const {
  CheckInterval();
  std::vector<Found> below;
  for (Found f : over ? over_ : under_) {
    if (f.book >= interval_) continue;
    f.tainting = (over ? f.book - f.audited : f.audited - f.book) / f.book;
    below.push_back(f);
  }
  std::stable_sort(below.begin(), below.end(),
                   [](const Found& x, const Found& y) { return x.tainting > y.tainting; });
  return below;
}

std::int32_t cMUSEval::Misstatements(bool over) const {
  return static_cast<std::int32_t>((over ? over_ : under_).size());
}

double cMUSEval::TopStratum(bool over) const {
  CheckInterval();
  double sum = 0.0;
  for (const Found& f : over ? over_ : under_) {
    if (f.book >= interval_) sum += over ? f.book - f.audited : f.audited - f.book;
  }
  return sum;
}

double cMUSEval::Projected(bool over) const {
  double sum = TopStratum(over);
  for (const Found& f : Ranked(over)) sum += f.tainting * interval_;
  return Checked(sum);
}

double cMUSEval::BasicPrecision() const {
  CheckInterval();
  return Checked(Factor(0) * interval_);
}

double cMUSEval::Allowance(bool over) const {
  double sum = 0.0;
  double previous = Factor(0);
  std::int32_t i = 0;
  for (const Found& f : Ranked(over)) {
    const double next = Factor(++i);
    const double step = next - previous - 1.0;
    if (step > 0.0) sum += f.tainting * interval_ * step;
    previous = next;
  }
  return Checked(sum);
}

double cMUSEval::UpperLimit(bool over) const {
  return Checked(Projected(over) + BasicPrecision() + Allowance(over));
}

std::string cMUSEval::Report() const {
  std::string out;
  out += "Monetary-Unit Sample Evaluation";
  out += kCrLf;
  Money(out, "Sampling interval", interval_);
  AppendLabelLine(out, "Confidence", conf_, kRate);
  AppendLabelLine(out, "Items in the sample", static_cast<double>(items_), kCount);
  Money(out, "Book amount of the sample", bookTotal_.ToDouble());
  Money(out, "Audited amount of the sample", auditedTotal_.ToDouble());
  const double basic = BasicPrecision();
  for (const bool over : {true, false}) {
    out += over ? "Overstatements" : "Understatements";
    out += kCrLf;
    AppendLabelLine(out, "Misstatements found", Misstatements(over), kCount);
    Money(out, "Top-stratum misstatement", TopStratum(over));
    Money(out, "Projected misstatement", Projected(over));
    Money(out, "Basic precision", basic);
    Money(out, "Incremental allowance", Allowance(over));
    Money(out, "Upper misstatement limit", UpperLimit(over));
    const std::vector<Found> ranked = Ranked(over);
    if (ranked.empty()) continue;
    out += "Rank\tBook\tAudited\tTainting\tProjected\tIncrement\tAllowance";
    out += kCrLf;
    double previous = Factor(0);
    std::int32_t i = 0;
    for (const Found& f : ranked) {
      const double next = Factor(++i);
      double step = next - previous - 1.0;
      if (step < 0.0) step = 0.0;
      previous = next;
      out += FormatNumber(i, kCount);
      out += kTab;
      AppendNumber(out, f.book, kMoney);
      out += kTab;
      AppendNumber(out, f.audited, kMoney);
      out += kTab;
      AppendNumber(out, f.tainting, kRate);
      out += kTab;
      AppendNumber(out, f.tainting * interval_, kMoney);
      out += kTab;
      AppendNumber(out, step, kFactor);
      out += kTab;
      AppendNumber(out, f.tainting * interval_ * step, kMoney);
      out += kCrLf;
    }
  }
  return out;
}

}  // namespace tarnwick
