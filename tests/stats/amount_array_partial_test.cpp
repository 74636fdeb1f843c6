// The reports that keep what can be computed: one or two amounts, amounts all equal, a mean of 0.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "../support/engine_error.h"
#include "tarnwick/core/error.h"
#include "tarnwick/stats/amount_array.h"

namespace tarnwick {
namespace {

cDoubleArray Filled(const std::vector<double>& xs) {
  cDoubleArray a;
  for (double x : xs) a.AddItem(x);
  return a;
}

std::string Field(const std::string& report, const std::string& label) {
  const std::size_t at = report.find("\r\n" + label + "\t");
  if (at == std::string::npos) return "<missing " + label + ">";
  const std::size_t from = at + 2 + label.size() + 1;
  return report.substr(from, report.find("\r\n", from) - from);
}

TEST(AmountArrayPartial, OrdinaryDataGivesTheReportsByteForByte) {
  for (const auto& xs : {std::vector<double>{2, 4, 4, 4, 5, 5, 7, 9}, std::vector<double>{-3, 1, 8},
                         std::vector<double>{0.5, -120.25, 77.8, 3000, 12}}) {
    cDoubleArray a = Filled(xs), b = Filled(xs);
    EXPECT_EQ(a.StatReportNA(), b.StatReport());
    EXPECT_EQ(a.HistoReportNA(), b.HistoReport());
    EXPECT_EQ(a.OLReportNA(), b.OLReport());
  }
}

TEST(AmountArrayPartial, NoAmountsStillRaise) {
  cDoubleArray empty;
  EXPECT_EQ(testing::CodeOf([&] { empty.StatReportNA(); }), ErrorCode::DivisionByZero);
  EXPECT_EQ(testing::CodeOf([&] { empty.HistoReportNA(); }), ErrorCode::DivisionByZero);
  EXPECT_EQ(testing::CodeOf([&] { empty.OLReportNA(); }), ErrorCode::DivisionByZero);
}

// Each case: the amounts, then the figures expected on the statistics report ("" = the line
// is not checked). Figures that can be computed stay figures; the others say why they cannot.
struct Case {
  std::vector<double> xs;
  std::string stdDev, skewness, kurtosis, cv, variance, sem, median, mode, stdevp;
};

TEST(AmountArrayPartial, StatReportMarksOnlyWhatCannotBeComputed) {
  const std::string two = "n/a (needs 2 or more amounts)";
  const std::string equal = "n/a (the amounts are all equal)";
  const std::vector<Case> cases = {
      {{250},
       two,
       "n/a (needs 3 or more amounts)",
       "n/a (needs 4 or more amounts)",
       two,
       two,
       two,
       "250.00",
       "0",
       "0"},
      {{100, 250},
       "106.07",
       "n/a (needs 3 or more amounts)",
       "n/a (needs 4 or more amounts)",
       ".61",
       "11,250",
       "75.00",
       "175.00",
       "0",
       "75"},
      {{50, 50, 50, 50}, ".00", equal, equal, ".00", "0", ".00", "50.00", "50", "0"},
      {{-3, -3, -3}, ".00", equal, equal, ".00", "0", ".00", "-3.00", "-3", "0"},
      {{0, 0, 0}, ".00", equal, equal, "n/a (the mean is 0)", "0", ".00", ".00", "0", "0"},
      // Moments fine, only the coefficient of variation has no mean to divide by.
      {{-1, 0, 1}, "1.00", ".00000", ".00000", "n/a (the mean is 0)", "1", ".58", ".00", "0", "1"},
  };
  for (const Case& c : cases) {
    cDoubleArray a = Filled(c.xs);
    const std::string r = a.StatReportNA();
    SCOPED_TRACE(r);
    EXPECT_EQ(r.rfind("Population Statistics\r\n", 0), 0u);
    EXPECT_EQ(Field(r, "N: "), std::to_string(c.xs.size()));
    EXPECT_EQ(Field(r, "Std Dev: "), c.stdDev);
    EXPECT_EQ(Field(r, "Skewness: "), c.skewness);
    EXPECT_EQ(Field(r, "Kurtosis: "), c.kurtosis);
    EXPECT_EQ(Field(r, "CV: "), c.cv);
    EXPECT_EQ(Field(r, "Variance: "), c.variance);
    EXPECT_EQ(Field(r, "SEM: "), c.sem);
    EXPECT_EQ(Field(r, "Median: "), c.median);
    EXPECT_EQ(Field(r, "Mode: "), c.mode);
    EXPECT_EQ(Field(r, "Stdevp: "), c.stdevp);
  }
}

TEST(AmountArrayPartial, OneBinHoldsAmountsThatMakeNoBins) {
  struct H {
    std::vector<double> xs;
    std::string line, why;
  };
  for (const H& h :
       std::vector<H>{{{250}, "250.00\t250.00\t1\t250.00", "one amount: one bin holds it"},
                      {{100, 250},
                       "100.00\t250.00\t2\t350.00",
                       "needs 3 or more amounts: one bin holds them all"},
                      {{7, 7, 7},
                       "7.00\t7.00\t3\t21.00",
                       "the amounts are all equal: one bin holds them all"}}) {
    cDoubleArray a = Filled(h.xs);
    EXPECT_EQ(a.HistoReportNA(), "Histogram Report: \r\nBin Start\tBin End\tCount\tAmt\r\n" +
                                     h.line + "\r\nBins\tn/a (" + h.why + ")\r\n");
    EXPECT_EQ(a.NumberBins(), 1);
    EXPECT_EQ(a.Counts(0), static_cast<std::int32_t>(h.xs.size()));
  }
}

TEST(AmountArrayPartial, ExtremesWithoutZScoresWhenTheDeviationIsZero) {
  cDoubleArray one = Filled({9});
  EXPECT_EQ(one.OLReportNA(),
            "Top/Bottom 10 "
            "Report\r\nItem\tTop\tz-score\tItem\tBottom\tz-score\r\n1\t9\tn/a\t1\t9\tn/a\r\n"
            "z-score\tn/a (needs 2 or more amounts)\r\n");
  cDoubleArray same = Filled({4, 4});
  EXPECT_EQ(same.OLReportNA(),
            "Top/Bottom 10 "
            "Report\r\nItem\tTop\tz-score\tItem\tBottom\tz-score\r\n1\t4\tn/a\t1\t4\tn/a\r\n"
            "2\t4\tn/a\t2\t4\tn/a\r\nz-score\tn/a (the amounts are all equal: the standard "
            "deviation is 0)\r\n");
}

}  // namespace
}  // namespace tarnwick
