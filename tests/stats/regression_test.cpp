#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "../support/engine_error.h"
#include "tarnwick/core/error.h"
#include "tarnwick/stats/regression.h"

namespace tarnwick {
namespace {

using testing::CodeOf;

cRegression Fitted(const std::vector<std::pair<double, double>>& pairs) {
  cRegression r;
  for (const auto& [x, y] : pairs) r.AddObs(x, y);
  r.fComputeSlope();
  return r;
}

TEST(Regression, ExactLineThroughThreePairs) {
  cRegression r = Fitted({{1, 2}, {2, 4}, {3, 6}});
  EXPECT_EQ(r.M(), 2);
  EXPECT_EQ(r.B(), 0);
  EXPECT_EQ(r.Sxx(), 2);
  EXPECT_EQ(r.Sxy(), 4);
  EXPECT_EQ(r.Syy(), 8);
  EXPECT_EQ(r.N(), 2);
  EXPECT_EQ(r.xbar(), 2);
  EXPECT_EQ(r.ybar(), 4);
  EXPECT_EQ(r.SumX(), 6);
  EXPECT_EQ(r.SumY(), 12);
}

TEST(Regression, ResidualsAndStandardErrors) {
  // x 1..5, y 2 4 5 4 5: textbook fit y = 0.6 x + 2.2, residual SS 2.4, s = sqrt(0.8),
  // SE(slope) = s / sqrt(10), SE(intercept) = s * sqrt(1/5 + 9/10).
  const std::vector<std::pair<double, double>> pairs = {{1, 2}, {2, 4}, {3, 5}, {4, 4}, {5, 5}};
  cRegression r = Fitted(pairs);
  EXPECT_NEAR(r.M(), 0.6, 1e-15);
  EXPECT_NEAR(r.B(), 2.2, 1e-15);
  for (const auto& [x, y] : pairs) r.CheckPredicted(x, y);
  EXPECT_NEAR(r.PointEstimate(), 5.2, 1e-14);
  EXPECT_NEAR(r.ResidualSS(), 2.4, 1e-14);
  EXPECT_NEAR(r.ResidualSum(), 0.0, 1e-14);
  EXPECT_NEAR(r.StdDevRes(), std::sqrt(0.8), 1e-14);
  EXPECT_NEAR(r.StdErrSlope(), std::sqrt(0.8) / std::sqrt(10.0), 1e-14);
  EXPECT_NEAR(r.StdErrIntercept(), std::sqrt(0.8) * std::sqrt(1.1), 1e-14);
}

TEST(Regression, NothingComputedBeforeTheFit) {
  cRegression r;
  r.AddObs(1, 3);
  r.AddObs(2, 5);
  r.CheckPredicted(1, 3);
  EXPECT_EQ(r.ResidualSS(), 0);
  EXPECT_EQ(r.PointEstimate(), -999);
  EXPECT_EQ(r.StdDevRes(), -999);
  EXPECT_EQ(r.StdErrSlope(), -999);
  EXPECT_EQ(r.StdErrIntercept(), -999);
  EXPECT_EQ(r.xbar(), 1.5);  // read from the sums at any time

  cRegression empty;
  EXPECT_EQ(empty.fComputeSlope(), 0);
  EXPECT_EQ(empty.PointEstimate(), -999);
  EXPECT_EQ(empty.xbar(), 0);
  EXPECT_EQ(empty.N(), -1);
}

TEST(Regression, FailuresKeepTheState) {
  cRegression same;
  for (double y : {1.0, 4.0, 2.0}) same.AddObs(7, y);
  EXPECT_EQ(CodeOf([&] { same.fComputeSlope(); }), ErrorCode::DivisionByZero);
  EXPECT_EQ(same.PointEstimate(), -999);
  EXPECT_EQ(same.M(), 0);
  EXPECT_EQ(same.Sxx(), 0);

  cRegression single;
  single.AddObs(3, 4);
  EXPECT_EQ(CodeOf([&] { single.fComputeSlope(); }), ErrorCode::DivisionByZero);

  cRegression two = Fitted({{1, 1}, {3, 5}});
  two.CheckPredicted(1, 1);
  two.CheckPredicted(3, 5);
  EXPECT_EQ(two.PointEstimate(), 5);
  EXPECT_EQ(CodeOf([&] { two.StdDevRes(); }), ErrorCode::DivisionByZero);
  EXPECT_EQ(CodeOf([&] { two.StdErrSlope(); }), ErrorCode::DivisionByZero);
  EXPECT_EQ(CodeOf([&] { two.StdErrIntercept(); }), ErrorCode::DivisionByZero);

  cRegression r = Fitted({{1, 2}, {2, 4}, {3, 6}});
  EXPECT_EQ(CodeOf([&] { r.AddObs(1e300, 1); }), ErrorCode::Overflow);
  EXPECT_EQ(r.SumX(), 6);
  EXPECT_EQ(r.N(), 2);
  r.init();
  EXPECT_EQ(r.SumX(), 0);
  EXPECT_EQ(r.M(), 0);
  EXPECT_EQ(r.PointEstimate(), -999);
}

TEST(Trend, SeriesAgainstTheirPositions) {
  struct Case {
    std::vector<double> v;
    double slope, intercept, r2, leftExpected, rightExpected;
  };
  const std::vector<Case> cases = {
      {{10, 12, 14, 16}, 2, 8, 1, 10, 16},
      {{5, 5, 5}, 0, 5, 0, 5, 5},
      {{1, 3, 2}, 0.5, 1, 0.25, 1.5, 2.5},
      // python statistics.linear_regression and correlation(...) ** 2
      {{10, 14, 13, 19, 22, 21},
       2.4285714285714284,
       8.0,
       0.8784194528875381,
       10.428571428571429,
       22.57142857142857},
  };
  for (const Case& c : cases) {
    cTrend t;
    t.linest(c.v, static_cast<std::int16_t>(c.v.size()));
    EXPECT_NEAR(t.Slope(), c.slope, 1e-12) << c.v[0];
    EXPECT_NEAR(t.Intercept(), c.intercept, 1e-12) << c.v[0];
    EXPECT_NEAR(t.R2(), c.r2, 1e-12) << c.v[0];
    EXPECT_EQ(t.LeftActual(), c.v.front());
    EXPECT_EQ(t.RightActual(), c.v.back());
    EXPECT_NEAR(t.LeftExpected(), c.leftExpected, 1e-12) << c.v[0];
    EXPECT_NEAR(t.RightExpected(), c.rightExpected, 1e-12) << c.v[0];
  }
}

TEST(Trend, UsesOnlyTheFirstValuesAndKeepsResultsOnFailure) {
  const std::vector<double> v = {10, 12, 14, 16, 100, -50};
  cTrend t;
  t.linest(v, 4);
  EXPECT_EQ(t.RightActual(), 16);
  EXPECT_NEAR(t.R2(), 1.0, 1e-12);

  for (std::int16_t n : {2, 1, 0, -1}) {
    EXPECT_EQ(CodeOf([&] { t.linest(v, n); }), ErrorCode::DivisionByZero) << n;
  }
  EXPECT_EQ(CodeOf([&] { t.linest(v, 7); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_NEAR(t.Slope(), 2, 1e-12);
  EXPECT_EQ(t.RightActual(), 16);
  EXPECT_NEAR(t.R2(), 1.0, 1e-12);

  t.init();
  EXPECT_EQ(t.R2(), 0);
  EXPECT_NEAR(t.Slope(), 2, 1e-12);  // init resets R squared only
}

}  // namespace
}  // namespace tarnwick
