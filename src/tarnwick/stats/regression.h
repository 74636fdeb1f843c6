#pragma once
// cRegression: least-squares line y = M x + B over pairs fed one at a time, with a second pass
// (CheckPredicted) for residuals and standard errors. cTrend fits a series against its
// positions 1, 2, 3, ... and keeps the slope, intercept, R squared and both ends.

#include <cstdint>
#include <span>

#include "tarnwick/core/variant.h"

namespace tarnwick {

class cRegression {
 public:
  cRegression();

  // -999 until the fit has been computed. Reading them stores the figure.
  double StdDevRes();
  double PointEstimate() const;
  double StdErrSlope();
  double StdErrIntercept();
  void init();
  Variant AddObs(double xvalue, double yvalue);
  // After the fit: the fitted value at x, and the residual added to the residual figures.
  Variant CheckPredicted(double xvalue, double yvalue);
  double ResidualSS() const;
  double ResidualSum() const;
  double M() const;
  double B() const;
  double xbar() const;
  double ybar() const;
  // One less than the number of pairs.
  double N() const;
  double Sxx() const;
  double Sxy() const;
  double Syy() const;
  double SumX() const;
  double SumY() const;
  // Computes the fit; all x equal is the division-by-zero error. Always returns 0.
  double fComputeSlope();

 private:
  std::int32_t n_ = 0;
  double sumX_ = 0.0;
  double sumY_ = 0.0;
  double sumX2_ = 0.0;
  double sumY2_ = 0.0;
  double sumXY_ = 0.0;
  double xbar_ = 0.0;
  double ybar_ = 0.0;
  double sxx_ = 0.0;
  double syy_ = 0.0;
  double sxy_ = 0.0;
  double m_ = 0.0;
  double b_ = 0.0;
  bool computed_ = false;
  double pointEstimate_ = 0.0;
  double residualSS_ = 0.0;
  double residualSum_ = 0.0;
  double stdDevRes_ = 0.0;
  double stdErrSlope_ = 0.0;
  double stdErrIntercept_ = 0.0;
};

class cTrend {
 public:
  cTrend();

  double R2() const;
  double Slope() const;
  double Intercept() const;
  double LeftActual() const;
  double LeftExpected() const;
  double RightActual() const;
  double RightExpected() const;
  // Fits the first iNum values of v against 1..iNum. Fewer than three values is the
  // division-by-zero error; more than v holds is the subscript error. A failure leaves the
  // previous results in place.
  void linest(std::span<const double> v, std::int16_t iNum);
  void init();

 private:
  double r2_ = 0.0;
  double slope_ = 0.0;
  double intercept_ = 0.0;
  double leftActual_ = 0.0;
  double leftExpected_ = 0.0;
  double rightActual_ = 0.0;
  double rightExpected_ = 0.0;
};

}  // namespace tarnwick
