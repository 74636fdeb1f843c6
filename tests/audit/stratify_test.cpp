#include "tarnwick/audit/stratify.h"

#include <gtest/gtest.h>

#include <string>

#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

std::string Boundaries(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += std::to_string(i * 10) + " ";
  return s;
}

TEST(Stratify, AmountsFallIntoTheirBandsAndTheReportShowsShares) {
  cStratify st;
  ASSERT_EQ(st.stratum("0 1000 5000"), 3);
  EXPECT_EQ(st.ARRSIZE(), 2);
  EXPECT_EQ(st.NumStrata(), 1);
  EXPECT_EQ(st.ErrMsg(), "");
  for (double a : {-5.0, 0.0, 1000.0, 1000.01, 5000.0, 7000.0}) st.AddObs(a);
  EXPECT_EQ(st.LowCount(), 1);
  EXPECT_EQ(st.LowAmount(), Currency(-5.0));
  EXPECT_EQ(st.StrataCount(0), 2);  // 1000 sits on the inner boundary: the lower band
  EXPECT_EQ(st.StrataAmt(0), Currency(1000.0));
  EXPECT_EQ(st.StrataCount(1), 2);
  EXPECT_EQ(st.StrataAmt(1), Currency(6000.01));
  EXPECT_EQ(st.HighCount(), 1);
  EXPECT_EQ(st.HighAmount(), Currency(7000.0));
  EXPECT_EQ(st.Report(),
            "Summary for Strata \t0 1000 5000\r\n"
            "Start\tEnd\tCount\tAmount\tPct\tCumulative\r\n"
            "Below\tBelow\t1\t-5.00\t-.0004\t-.0004\r\n"
            "0\t1000\t2\t1,000.00\t.0715\t.0711\r\n"
            "1000\t5000\t2\t6,000.01\t.4287\t.4998\r\n"
            "Above\tAbove\t1\t7,000.00\t.5002\t1.0000\r\n"
            "Totals\ttotals\t6\t13,995.01\r\n");
}

struct DefinitionCase {
  std::string text;
  int result;
  const char* message;
};

TEST(Stratify, DefinitionResultsAndMessages) {
  const DefinitionCase cases[] = {
      {"0  1000", 2, ""},
      {"  0 1000  ", 2, ""},
      {"0 100 100 200", 4, ""},
      {"1000 500", -5, "Out of sequence: 1000 > 500"},
      {"-1000000000 0", -5, "Out of sequence: -999999999 > -1000000000"},
      {"0 abc", -2, "Arg: 1 is a non numeric argument,  len 3 value: abc"},
      {"0  12x4", -2, "Arg: 2 is a non numeric argument,  len 4 value: 12x4"},
      {"5", -3, "too few arguments: 1"},
      {"", -3, "too few arguments: 0"},
      {Boundaries(99), 99, ""},
      {Boundaries(100), -4, "too many arguments: 100"},
      {Boundaries(150), -4, "too many arguments: 150"},
      {"$1,000 2e3 (5)", -5, "Out of sequence: 2000 > -5"},
  };
  for (const DefinitionCase& c : cases) {
    cStratify st;
    EXPECT_EQ(st.stratum(c.text), c.result) << c.text;
    EXPECT_EQ(st.ErrMsg(), c.message) << c.text;
  }
}

TEST(Stratify, DefinitionKeepsTrimmedTextAndExactBoundaries) {
  cStratify st;
  ASSERT_EQ(st.stratum("  -0.00015 0.00005 1234567890123.4567 "), 3);
  EXPECT_EQ(st.DefinedStrata(), "-0.00015 0.00005 1234567890123.4567");
  EXPECT_EQ(st.ArrVal(0).raw(), -2);  // halves to even
  EXPECT_EQ(st.ArrVal(1).raw(), 0);
  EXPECT_EQ(st.ArrVal(2).raw(), 12345678901234567);
  EXPECT_EQ(st.vals(2), st.ArrVal(2));
  EXPECT_EQ(st.vals(3), Currency());  // beyond ARRSIZE
  EXPECT_EQ(st.vals(-1), Currency());
  EXPECT_EQ(st.StrataCount(3), 0);

  // A failed call leaves what it stored; ARRSIZE is its last stored index.
  EXPECT_EQ(st.stratum("10 20 15"), -5);
  EXPECT_EQ(st.ARRSIZE(), 2);
  EXPECT_EQ(st.ArrVal(2), Currency(15.0));
}

TEST(Stratify, EqualBoundariesLeaveTheEmptyBandEmpty) {
  cStratify st;
  ASSERT_EQ(st.stratum("0 100 100 200"), 4);
  for (double a : {100.0, 100.0, 150.0, 200.0}) st.AddObs(a);
  EXPECT_EQ(st.StrataCount(0), 2);
  EXPECT_EQ(st.StrataCount(1), 0);
  EXPECT_EQ(st.StrataCount(2), 2);
  EXPECT_EQ(st.StrataAmt(2), Currency(350.0));
}

TEST(Stratify, RedefinitionClearsBandsAndInitClearsBelowAndAbove) {
  cStratify st;
  ASSERT_EQ(st.stratum("0 10"), 2);
  for (double a : {-1.0, 5.0, 50.0}) st.AddObs(a);
  ASSERT_EQ(st.stratum("0 10"), 2);
  EXPECT_EQ(st.StrataCount(0), 0);
  EXPECT_EQ(st.LowCount(), 1);
  EXPECT_EQ(st.HighCount(), 1);
  st.init();
  EXPECT_EQ(st.LowCount(), 0);
  EXPECT_EQ(st.LowAmount(), Currency());
  EXPECT_EQ(st.HighCount(), 0);
  EXPECT_EQ(st.HighAmount(), Currency());
}

TEST(Stratify, AmountsBeforeAnyDefinitionAreKeptInTheTotals) {
  cStratify st;
  for (double a : {-1.0, 0.0, 3.0}) st.AddObs(a);
  EXPECT_EQ(st.LowCount(), 1);
  EXPECT_EQ(st.HighCount(), 2);
  EXPECT_EQ(st.HighAmount(), Currency(3.0));
  ASSERT_EQ(st.stratum("7"), -3);  // still no band
  st.AddObs(7.0);
  EXPECT_EQ(st.HighCount(), 3);
  EXPECT_EQ(st.ArrCnt(0), 0);
  const std::string r = st.Report();
  EXPECT_NE(r.find("Totals\ttotals\t4\t9.00\r\n"), std::string::npos) << r;
}

TEST(Stratify, ShortOrZeroTotalReports) {
  cStratify st;
  ASSERT_EQ(st.stratum("0 10"), 2);
  EXPECT_EQ(st.Report(), "insufficient data to stratify (0)");
  st.AddObs(5.0);
  EXPECT_EQ(st.Report(), "insufficient data to stratify (1)");
  st.AddObs(-5.0);
  try {
    (void)st.Report();
    FAIL() << "a zero total must not give a report";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::DivisionByZero);
  }
}

TEST(Stratify, ErrorsOfTheCall) {
  cStratify st;
  ASSERT_EQ(st.stratum("0 10"), 2);
  for (std::int16_t i : {std::int16_t{-1}, std::int16_t{101}}) {
    EXPECT_THROW((void)st.ArrAmt(i), EngineError);
    EXPECT_THROW((void)st.ArrCnt(i), EngineError);
    EXPECT_THROW((void)st.ArrVal(i), EngineError);
  }
  EXPECT_EQ(st.ArrCnt(100), 0);
  st.AddObs(5.0);
  try {
    st.AddObs(1e15);  // beyond the fixed-point range
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
  st.AddObs(900000000000000.0);
  EXPECT_THROW(st.AddObs(900000000000000.0), EngineError);  // the band's total overflows
  EXPECT_EQ(st.HighCount(), 1);
  EXPECT_EQ(st.HighAmount(), Currency(900000000000000.0));
  EXPECT_EQ(st.StrataCount(0), 1);
}

}  // namespace
}  // namespace tarnwick
