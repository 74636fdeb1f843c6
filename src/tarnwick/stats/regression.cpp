#include "tarnwick/stats/regression.h"

#include <cmath>

#include "tarnwick/core/arith.h"
#include "tarnwick/stats/running_stats.h"

namespace tarnwick {

namespace {
constexpr double kNotComputed = -999.0;
}

cRegression::cRegression() { init(); }

double cRegression::StdDevRes() {
  if (!computed_) return kNotComputed;
  stdDevRes_ = Sqr(Div(residualSS_, static_cast<double>(n_) - 2.0));
  return stdDevRes_;
}

double cRegression::PointEstimate() const { return computed_ ? pointEstimate_ : kNotComputed; }

double cRegression::StdErrSlope() {
  if (!computed_) return kNotComputed;
  stdErrSlope_ = Div(StdDevRes(), Sqr(sxx_));
  return stdErrSlope_;
}

double cRegression::StdErrIntercept() {
  if (!computed_) return kNotComputed;
  const double n = static_cast<double>(n_);
  stdErrIntercept_ = Checked(Sqr(Div(xbar_ * xbar_ * n + sxx_, n * sxx_)) * StdDevRes());
  return stdErrIntercept_;
}

void cRegression::init() {
  n_ = 0;
  sumX_ = sumY_ = sumX2_ = sumY2_ = sumXY_ = 0.0;
  xbar_ = ybar_ = sxx_ = syy_ = sxy_ = 0.0;
  m_ = b_ = 0.0;
  computed_ = false;
  pointEstimate_ = residualSS_ = residualSum_ = 0.0;
  stdDevRes_ = stdErrSlope_ = stdErrIntercept_ = 0.0;
}

Variant cRegression::AddObs(double xvalue, double yvalue) {
  const std::int32_t n = AddChecked<std::int32_t>(n_, 1);
  const double sx = Checked(sumX_ + xvalue);
  const double sy = Checked(sumY_ + yvalue);
  const double sx2 = Checked(sumX2_ + xvalue * xvalue);
  const double sy2 = Checked(sumY2_ + yvalue * yvalue);
  const double sxy = Checked(sumXY_ + xvalue * yvalue);
  n_ = n;
  sumX_ = sx;
  sumY_ = sy;
  sumX2_ = sx2;
  sumY2_ = sy2;
  sumXY_ = sxy;
  return Variant{};
}

Variant cRegression::CheckPredicted(double xvalue, double yvalue) {
  if (!computed_) return Variant{};
  const double estimate = Checked(m_ * xvalue + b_);
  const double r = Checked(estimate - yvalue);
  const double ss = Checked(residualSS_ + r * r);
  const double sum = Checked(residualSum_ + r);
  pointEstimate_ = estimate;
  residualSS_ = ss;
  residualSum_ = sum;
  return Variant{};
}

double cRegression::ResidualSS() const { return residualSS_; }
double cRegression::ResidualSum() const { return residualSum_; }
double cRegression::M() const { return m_; }
double cRegression::B() const { return b_; }
double cRegression::xbar() const { return n_ == 0 ? 0.0 : sumX_ / static_cast<double>(n_); }
double cRegression::ybar() const { return n_ == 0 ? 0.0 : sumY_ / static_cast<double>(n_); }
double cRegression::N() const { return static_cast<double>(n_) - 1.0; }
double cRegression::Sxx() const { return sxx_; }
double cRegression::Sxy() const { return sxy_; }
double cRegression::Syy() const { return syy_; }
double cRegression::SumX() const { return sumX_; }
double cRegression::SumY() const { return sumY_; }

double cRegression::fComputeSlope() {
  if (n_ == 0) return 0.0;
  const double n = static_cast<double>(n_);
  const double xb = sumX_ / n;
  const double yb = sumY_ / n;
  const double sxx = Checked(sumX2_ - sumX_ * sumX_ / n);
  const double syy = Checked(sumY2_ - sumY_ * sumY_ / n);
  const double sxy = Checked(sumXY_ - sumX_ * sumY_ / n);
  const double m = Div(sxy, sxx);  // all x equal: division by zero
  const double b = Checked(yb - m * xb);
  xbar_ = xb;
  ybar_ = yb;
  sxx_ = sxx;
  syy_ = syy;
  sxy_ = sxy;
  m_ = m;
  b_ = b;
  computed_ = true;
  return 0.0;
}

cTrend::cTrend() { init(); }

double cTrend::R2() const { return r2_; }
double cTrend::Slope() const { return slope_; }
double cTrend::Intercept() const { return intercept_; }
double cTrend::LeftActual() const { return leftActual_; }
double cTrend::LeftExpected() const { return leftExpected_; }
double cTrend::RightActual() const { return rightActual_; }
double cTrend::RightExpected() const { return rightExpected_; }

void cTrend::linest(std::span<const double> v, std::int16_t iNum) {
  // Three points at least: with two the line fits exactly and leaves nothing to measure.
  if (iNum < 3) Raise(ErrorCode::DivisionByZero);
  if (static_cast<std::size_t>(iNum) > v.size()) Raise(ErrorCode::SubscriptOutOfRange);

  cRegression reg;
  reg.init();
  for (std::int16_t i = 1; i <= iNum; ++i) reg.AddObs(i, v[static_cast<std::size_t>(i - 1)]);
  reg.fComputeSlope();

  cStat actual;
  cStat fitted;
  for (std::int16_t i = 1; i <= iNum; ++i) {
    const double y = v[static_cast<std::size_t>(i - 1)];
    reg.CheckPredicted(i, y);
    actual.Simple(y);
    fitted.Simple(reg.PointEstimate());
  }
  actual.StatCalc();
  fitted.StatCalc();
  const double actualVariance = actual.Variance();
  const double r2 = actualVariance != 0.0 ? Div(fitted.Variance(), actualVariance) : 0.0;

  const double rightExpected = Checked(reg.M() * iNum + reg.B());
  const double leftExpected = Checked(reg.M() * 1 + reg.B());

  r2_ = r2;
  rightActual_ = v[static_cast<std::size_t>(iNum - 1)];
  rightExpected_ = rightExpected;
  slope_ = reg.M();
  intercept_ = reg.B();
  leftActual_ = v[0];
  leftExpected_ = leftExpected;
}

void cTrend::init() { r2_ = 0.0; }

}  // namespace tarnwick
