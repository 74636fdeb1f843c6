#include "tarnwick/audit/interval_sampling.h"

#include <string_view>

#include "tarnwick/audit/attribute_sampling.h"
#include "tarnwick/core/arith.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/stats/distributions.h"

namespace tarnwick {
namespace {

constexpr double kMaxRate = 0.999999;
constexpr std::string_view kPattern = "#,###,###,##0";

void LimitRate(double& value) {
  if (value < 0.0) value = 0.0;
  if (value > kMaxRate) value = kMaxRate;
}

std::int32_t SampleSize(double z, double p, double prec) {
  return ToLong(Div(Checked(z * z * p * (1.0 - p)), Checked(prec * prec)));
}

void Line(std::string& out, std::string_view label) {
  out += label;
  out += kCrLf;
}

void Line(std::string& out, std::string_view label, std::int32_t value) {
  out += label;
  out += kTab;
  out += FormatNumber(value, kPattern);
  out += kCrLf;
}

}  // namespace

void cIS::conf(double& value) {
  LimitRate(value);
  conf_ = value;
}

void cIS::prec(double& value) {
  LimitRate(value);
  prec_ = value;
}

void cIS::expecterrorrate(double& value) {
  LimitRate(value);
  expectErrorRate_ = value;
}

void cIS::actualerrs(std::int32_t& value) {
  if (value < 1) value = 0;
  actualErrs_ = value;
}

void cIS::interval(std::int32_t& value) {
  if (value < 5) value = 5;
  interval_ = value;
}

double cIS::zscore(double d) const {
  if (d < 0.01 || d > 0.9999999) return -1.0;
  cCephes cephes;
  return cephes.InvNormalDistribution((d + 1.0) / 2.0);
}

double cIS::zscoreo(double /*d*/) const { return -1.0; }

std::int32_t cIS::NormalSampleSize() {
  if (conf_ == 0.0) conf_ = 0.95;
  double z = zscore(conf_);
  if (z == -1.0) z = 1.96;
  return SampleSize(z, expectErrorRate_, prec_);
}

std::int32_t cIS::ZeroDeviationSize() {
  if (conf_ == 0.0) conf_ = 0.95;
  return cAttribute::ZeroDeviationSize(conf_, expectErrorRate_ + prec_);
}

std::int32_t cIS::RequiredSampleSize() {
  std::int32_t n = NormalSampleSize();
  const std::int32_t floor = ZeroDeviationSize();
  if (n < floor) n = floor;
  return n < popsize_ ? n : popsize_;
}

std::int32_t cIS::GetPrecision() const {
  return SampleSize(zscore(conf_), expectErrorRate_, prec_);
}

double cIS::GetSampPrec() {
  const double n = sampSize_;
  const double p = Div(actualErrs_, n);
  if (conf_ == 0.0) conf_ = 0.95;
  if (actualErrs_ == 0) return cAttribute::BinomialUpperLimit(0, sampSize_, conf_);
  const double z = zscore(conf_);
  double precision = Sqr(Div(Checked(z * (p * (1.0 - p) * z)), n));
  if (popsize_ > 200) {
    const double pop = popsize_;
    precision *= Sqr(Div(pop - n, pop - 1.0));
  }
  return Checked(precision);
}

bool cIS::AddItem(const Variant& /*v*/) {
  const std::int32_t rows = AddChecked(numrows_, 1);
  const bool selected = rn_ == interval_;
  std::int32_t samples = numSamp_;
  std::int32_t next = rn_;
  if (selected) {
    samples = AddChecked(samples, 1);
    next = 0;
  }
  next = AddChecked(next, 1);
  numrows_ = rows;
  numSamp_ = samples;
  rn_ = next;
  return selected;
}

std::string cIS::Recon() const {
  const std::int32_t covered = MulChecked(numSamp_, interval_);
  const std::int32_t minus_start = SubChecked(0, rnstart_);
  const std::int32_t subtotal = AddChecked(AddChecked(covered, minus_start), rn_);
  const std::int32_t diff = SubChecked(subtotal, numrows_);
  std::string out;
  out.reserve(400);
  Line(out, "Interval Sample Reconciliation Report");
  Line(out, "Pop size ", numrows_);
  Line(out, "Samp size ", numSamp_);
  Line(out, "Start rn ", rnstart_);
  Line(out, "End Rn ", rn_);
  Line(out, "Interval ", interval_);
  Line(out, "Reconciliation");
  Line(out, "Number of samples * interval", covered);
  Line(out, "subtract starting rn", minus_start);
  Line(out, "add ending rn", rn_);
  Line(out, "Subtotal ", subtotal);
  Line(out, "Population size ", numrows_);
  Line(out, "Diff s/b 0 ", diff);
  return out;
}

}  // namespace tarnwick
