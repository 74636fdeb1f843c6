#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "../support/engine_error.h"
#include "tarnwick/core/error.h"
#include "tarnwick/stats/running_stats.h"

namespace tarnwick {
namespace {

cStat Fed(std::initializer_list<double> xs) {
  cStat s;
  for (double x : xs) s.Simple(x);
  return s;
}

using testing::CodeOf;

TEST(RunningStats, TextbookFiguresOfEightAmounts) {
  cStat s = Fed({2, 4, 4, 4, 5, 5, 7, 9});
  EXPECT_EQ(s.N(), 8);
  EXPECT_EQ(s.Mean(), 5);
  EXPECT_EQ(s.SumX(), 40);
  EXPECT_EQ(s.SumX2(), 232);
  EXPECT_EQ(s.Min(), 2);
  EXPECT_EQ(s.Max(), 9);
  EXPECT_EQ(s.Range(), 7);
  EXPECT_NEAR(s.SampStdDev(), std::sqrt(32.0 / 7.0), 1e-14);
  EXPECT_NEAR(s.Var(), 32.0 / 7.0, 1e-13);
  EXPECT_NEAR(s.PopStdDev(), 2.0, 1e-14);
  EXPECT_NEAR(s.Variance(), 4.0, 1e-13);

  EXPECT_EQ(s.Report(),
            "Min: \t2\r\nMax: \t9\r\nMean: \t5\r\nSum: \t40\r\nPopStd: \t2\r\nN: \t8\r\n"
            "sumX2: \t232\r\nSampStd: \t2.1380899352994\r\nRange: \t7\r\n"
            "Var: \t4.57142857142857\r\n");
}

TEST(RunningStats, AgreesWithTwoPassFormulasOnAwkwardData) {
  // Large offset, small spread: the running recurrence must stay close to the two-pass
  // figures (python statistics.mean / stdev / pstdev of the same amounts).
  cStat s = Fed({1000000.25, 1000000.5, 999999.75, 1000001.125, 999998.875, 1000000.0});
  EXPECT_NEAR(s.Mean(), 1000000.0833333334, 1e-8);
  EXPECT_NEAR(s.SampStdDev(), 0.7569125885243729, 1e-8);
  EXPECT_NEAR(s.PopStdDev(), 0.6909634979907083, 1e-8);
}

// Amounts on which a plain running sum drifts: one large square that swallows a thousand small
// ones, and a balanced journal whose debits and credits cancel. The mean (the exact sum rounded
// once, over N) and the sum of squares (exact, rounded once) are the same in every order.
// Expected figures: python fractions.Fraction sums of the same doubles.
std::vector<double> LargeAndSmall() {
  std::vector<double> v{1e8};
  v.insert(v.end(), 1000, 0.1);
  return v;
}
std::vector<double> BalancedJournal() {
  std::vector<double> v;
  for (int k = 0; k < 50; ++k)
    for (double x : {250650816.25, -250650816.25, 0.07, 1234.567, -1234.567, 0.003}) v.push_back(x);
  v.push_back(0.01);
  return v;
}

TEST(RunningStats, MeanAndSumOfSquaresAreExactInAnyOrder) {
  struct Case {
    const char* name;
    std::vector<double> amounts;
    double mean;   // float(float(exact sum) / N)
    double sumX2;  // float(exact sum of squares)
  };
  const Case cases[] = {
      // a plain sum of the squares stays at 1e16; a running mean ends at 99900.19980019408
      {"large and small", LargeAndSmall(), 99900.1998001998, 1.000000000000001e+16},
      // a plain sum of the squares gives 6.282583168831526e+18; a running mean 0.01215947010
      {"balanced journal", BalancedJournal(), 0.012159468438538207, 6.282583168831542e+18},
  };
  for (const Case& c : cases) {
    std::vector<double> order = c.amounts;
    for (int k = 0; k < 3; ++k) {
      if (k == 1) std::reverse(order.begin(), order.end());
      if (k == 2) std::sort(order.begin(), order.end());
      cStat s;
      for (double x : order) s.Simple(x);
      EXPECT_EQ(s.Mean(), c.mean) << c.name << " order " << k;
      EXPECT_EQ(s.SumX2(), c.sumX2) << c.name << " order " << k;
    }
  }
}

TEST(RunningStats, SingleAmountAndFixedPointRounding) {
  cStat s = Fed({1.23456});
  EXPECT_EQ(s.SampStdDev(), 0);
  EXPECT_EQ(s.PopStdDev(), 0);
  EXPECT_EQ(s.Min(), 1.23456);
  EXPECT_EQ(s.Max(), 1.23456);
  // The sum holds the amount rounded to four decimals; mean and squares the unrounded one.
  EXPECT_EQ(s.SumX(), 1.2346);
  EXPECT_EQ(s.Mean(), 1.23456);
  EXPECT_EQ(s.SumX2(), 1.23456 * 1.23456);
  // Halves of a ten-thousandth go to the even neighbour.
  // 1/32 and 3/32 are exact halves of a ten-thousandth: 312.5 -> 312, 937.5 -> 938.
  cStat h = Fed({0.03125, 0.09375});
  EXPECT_EQ(h.SumX(), 0.125);
}

TEST(RunningStats, SignCountsAndSumsInSimpleReport) {
  cStat s = Fed({0, -2.5, 3.25, 0, 10.00004, -0.12345});
  EXPECT_EQ(s.SimpleReport(),
            "Simple Report: \r\nN: 6\r\nMean: 1.77109833333333\r\nStd: 4.42736499661104\r\n"
            "Count Pos: 2\r\nCount Neg: 2\r\nCount Zero: 2\r\nSum Pos: 13.25\r\n"
            "Sum Neg: -2.6234\r\nMin: -2.5\r\nMax: 10.00004\r\n");
  s.init();
  EXPECT_EQ(s.SimpleReport(),
            "Simple Report: \r\nN: 0\r\nMean: 0\r\nStd: 0\r\nCount Pos: 0\r\nCount Neg: 0\r\n"
            "Count Zero: 0\r\nSum Pos: 0\r\nSum Neg: 0\r\nMin: 0\r\nMax: 0\r\n");
  EXPECT_EQ(s.top(1), 0);
  EXPECT_EQ(s.SumX(), 0);
}

TEST(RunningStats, MinimumAndMaximumStartAtTheFirstAmount) {
  // Not at the initial 0: all-negative and all-positive streams.
  cStat neg = Fed({-5, -3, -9});
  EXPECT_EQ(neg.Max(), -3);
  EXPECT_EQ(neg.Min(), -9);
  cStat pos = Fed({5, 3, 9});
  EXPECT_EQ(pos.Min(), 3);
}

TEST(RunningStats, TopAndBottomRanksWithClamping) {
  cStat s;
  for (int x = 15; x >= 1; --x) s.Simple((x * 7) % 15 + 1);  // 1..15 in scrambled order
  struct Case {
    std::int16_t i;
    double top, bot;
  };
  for (const Case& c : {Case{1, 15, 1}, Case{10, 6, 10}, Case{0, 15, 1}, Case{-3, 15, 1},
                        Case{11, 6, 10}, Case{3, 13, 3}}) {
    EXPECT_EQ(s.top(c.i), c.top) << c.i;
    EXPECT_EQ(s.Bot(c.i), c.bot) << c.i;
  }
}

TEST(RunningStats, ExtremeListsUnderTiesAndNegatives) {
  cStat s;
  for (int x = 1; x <= 10; ++x) s.Simple(x);
  s.Simple(10);  // displaces 1 from the top list, leaves the bottom list (10 is not below 10)
  s.Simple(10);  // displaces 2
  s.Simple(1);   // displaces 10 from the bottom list
  s.Simple(3);   // equals the weakest top member (no change there), displaces 9 below
  EXPECT_EQ(s.top(1), 10);
  EXPECT_EQ(s.top(3), 10);
  EXPECT_EQ(s.top(4), 9);
  EXPECT_EQ(s.top(10), 3);
  EXPECT_EQ(s.Bot(1), 1);
  EXPECT_EQ(s.Bot(2), 1);
  EXPECT_EQ(s.Bot(5), 3);
  EXPECT_EQ(s.Bot(10), 8);

  // Fewer than ten negatives: unfilled ranks read 0, filled ranks are the amounts.
  cStat n = Fed({-4, -1, -7});
  EXPECT_EQ(n.top(1), -1);
  EXPECT_EQ(n.top(3), -7);
  EXPECT_EQ(n.top(5), 0);
  EXPECT_EQ(n.Bot(1), -7);
}

TEST(RunningStats, TopBottomReportText) {
  EXPECT_EQ(Fed({}).TopBottomReport(), "Top 0 : \r\nBottom 0 : \r\n");
  EXPECT_EQ(Fed({2.5, -1, 7}).TopBottomReport(),
            "Top 3 : \r\ntop: 1 Value: 7\r\ntop: 2 Value: 2.5\r\ntop: 3 Value: -1\r\n"
            "Bottom 3 : \r\nbot: 1 Value: -1\r\nbot: 2 Value: 2.5\r\nbot: 3 Value: 7\r\n");
  cStat many;
  for (int x = 1; x <= 12; ++x) many.Simple(x);
  const std::string r = many.TopBottomReport();
  EXPECT_EQ(r.rfind("Top 10 : \r\ntop: 1 Value: 12\r\n", 0), 0u);
  EXPECT_NE(r.find("top: 10 Value: 3\r\nBottom 10 : \r\nbot: 1 Value: 1\r\n"), std::string::npos);
  EXPECT_EQ(r.substr(r.size() - 19), "bot: 10 Value: 10\r\n");
}

TEST(RunningStats, AddItemConvertsVariants) {
  cStat s;
  EXPECT_FALSE(s.AddItem(Variant(2.5)));
  EXPECT_FALSE(s.AddItem(Variant("1,234.5")));
  EXPECT_FALSE(s.AddItem(Variant{}));
  EXPECT_EQ(s.N(), 3);
  EXPECT_EQ(s.SumX(), 1237);
  EXPECT_EQ(s.Min(), 0);

  EXPECT_EQ(CodeOf([&] { s.AddItem(Variant("twelve")); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(s.N(), 3);
  EXPECT_EQ(s.Max(), 1234.5);
}

TEST(RunningStats, ErrorsLeaveTheStateAsItWas) {
  cStat empty;
  for (auto call : {+[](cStat& s) { s.StatCalc(); }, +[](cStat& s) { (void)s.Var(); },
                    +[](cStat& s) { (void)s.Variance(); }, +[](cStat& s) { (void)s.PopStdDev(); },
                    +[](cStat& s) { (void)s.Report(); }}) {
    EXPECT_EQ(CodeOf([&] { call(empty); }), ErrorCode::DivisionByZero);
  }
  EXPECT_EQ(empty.Mean(), 0);
  EXPECT_EQ(empty.SampStdDev(), 0);
  EXPECT_EQ(empty.Range(), 0);

  cStat s = Fed({900000000000000.0, -1});
  const std::string before = s.SimpleReport();
  // Beyond the fixed-point range as a single amount, and as a sum.
  EXPECT_EQ(CodeOf([&] { s.Simple(1e15); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([&] { s.Simple(30000000000000.0); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([&] { s.Simple(std::nan("")); }), ErrorCode::InvalidArgument);
  EXPECT_EQ(s.SimpleReport(), before);
  EXPECT_EQ(s.TopBottomReport(), Fed({900000000000000.0, -1}).TopBottomReport());
  EXPECT_EQ(s.N(), 2);
}

TEST(RunningStats, PopulationFiguresFollowNewAmounts) {
  cStat s = Fed({1, 3});
  EXPECT_EQ(s.Variance(), 1);
  s.Simple(2);  // population figures are stale until recomputed
  EXPECT_NEAR(s.Variance(), 2.0 / 3.0, 1e-15);
  EXPECT_EQ(s.Var(), 1);
}

}  // namespace
}  // namespace tarnwick
