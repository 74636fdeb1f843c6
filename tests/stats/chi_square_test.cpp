#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/stats/chi_square.h"
#include "tarnwick/stats/distributions.h"
#include "tarnwick/stats/sequences.h"

namespace tarnwick {
namespace {

std::string Sig15(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

// Fills a cChiSQ with a table given row by row.
void Fill(cChiSQ& chi, const std::vector<std::vector<std::int32_t>>& t) {
  chi.numrows(static_cast<std::int16_t>(t.size()));
  chi.NumCols(static_cast<std::int16_t>(t[0].size()));
  chi.SetTabs();
  for (std::size_t i = 0; i < t.size(); ++i) {
    for (std::size_t j = 0; j < t[i].size(); ++j) {
      std::int16_t r = static_cast<std::int16_t>(i);
      std::int16_t c = static_cast<std::int16_t>(j);
      chi.SetItem(r, c, t[i][j]);
    }
  }
}

// A digit-test shaped table: rows x 2 with positive counts.
void FillDigits(cChiSQ& chi, int rows) {
  std::vector<std::vector<std::int32_t>> t;
  for (int i = 0; i < rows; ++i) t.push_back({100 + i, 103 + (i * 7) % 11});
  Fill(chi, t);
}

// ---------------------------------------------------------------------------------------------
// Critical values.

TEST(ChiSqCritTable, StatedFiguresDigitForDigitAndTheRestFromTheInverse) {
  const auto& table = cChiSQ::CritTable();
  ASSERT_EQ(table.size(), 221u);
  struct Stated {
    int df;
    const char* text;
  };
  // The engine's long-standing figures; they sit within 4e-6 of the exact percentile.
  const Stated stated[] = {
      {2, "0.102586242378688"}, {3, "0.351845959260105"}, {4, "0.710724097165779"},
      {5, "1.1454772985317"},   {8, "2.73263264900806"},  {10, "3.94029534664593"},
      {20, "10.8507994337009"}, {89, "68.2492736179467"}, {100, "77.9294423061636"},
      {217, "183.90747216692"}, {222, "188.514459711808"}};
  for (int df = 2; df <= 222; ++df) {
    const double value = table[static_cast<std::size_t>(df - 2)];
    const double exact = cCephes::InvChiSquareDistribution(df, 0.95);
    const Stated* s = nullptr;
    for (const auto& st : stated)
      if (st.df == df) s = &st;
    if (s != nullptr) {
      EXPECT_EQ(Sig15(value), s->text) << "df " << df;
      EXPECT_NEAR(value, exact, 4e-6 * exact) << "df " << df;
    } else {
      EXPECT_EQ(Sig15(value), Sig15(exact)) << "df " << df;
    }
    // Every entry is a 5th percentile: about 5% of the distribution lies below it.
    EXPECT_NEAR(cCephes::ChiSquareDistribution(df, value), 0.05, 5e-7) << "df " << df;
  }
}

TEST(ChiSqCritTable, LookupBySearchedDegreesOfFreedom) {
  struct Shape {
    int rows, cols;
    std::int32_t df;
    double crit;
  };
  const Shape shapes[] = {
      {9, 2, 8, 2.73263264900806},    // first-digit test
      {90, 2, 89, 68.2492736179467},  // first-two-digits test
      {2, 2, 1, 188.0},               // 1 degree of freedom is not in the table
      {3, 2, 2, 0.102586242378688},   // first entry
      {8, 32, 217, 183.90747216692},  // last searched entry
      {3, 110, 218, 188.0},           // in the table but beyond the searched part
      {16, 16, 225, 188.0},           // beyond the table
  };
  for (const auto& s : shapes) {
    cChiSQ chi;
    std::vector<std::vector<std::int32_t>> t;
    for (int i = 0; i < s.rows; ++i) {
      t.emplace_back();
      for (int j = 0; j < s.cols; ++j) t.back().push_back(1 + (i * 3 + j) % 5);
    }
    Fill(chi, t);
    EXPECT_EQ(chi.CritValue(), s.crit) << s.rows << "x" << s.cols;
    EXPECT_EQ(chi.DF(), s.df) << s.rows << "x" << s.cols;
  }
}

// ---------------------------------------------------------------------------------------------
// Statistics, against values worked out independently with exact fractions.

struct TableCase {
  std::vector<std::vector<std::int32_t>> cells;
  double chisq, likelihood, contingency, cramer, phi;
  std::int32_t df;
};

TEST(ChiSq, StatisticsMatchAnIndependentComputation) {
  const TableCase cases[] = {
      // chi-square 50/63; Cramer's phi sqrt(1/252) uses N x 2 as divisor.
      {{{10, 20}, {30, 40}},
       50.0 / 63,
       3.9840010078105315,
       0.08873565094161137,
       0.06299407883487121,
       0.0890870806374748,
       1},
      // chi-square 23825/2464.
      {{{12, 7, 3}, {5, 9, 14}},
       23825.0 / 2464,
       7.170657438466089,
       0.40255095438006433,
       0.3109539678632034,
       0.4397553186258698,
       2},
  };
  for (const auto& c : cases) {
    cChiSQ chi;
    Fill(chi, c.cells);
    chi.Compute();
    EXPECT_NEAR(chi.chisq(), c.chisq, 1e-13 * c.chisq);
    EXPECT_NEAR(chi.LikeliHood(), c.likelihood, 1e-13 * c.likelihood);
    EXPECT_NEAR(chi.ContingentCoeff(), c.contingency, 1e-14);
    EXPECT_NEAR(chi.CramerPhi(), c.cramer, 1e-14);
    EXPECT_NEAR(chi.Phi(), c.phi, 1e-14);
    EXPECT_EQ(chi.DF(), c.df);
  }
}

TEST(ChiSq, ReportTextAndLazyCompute) {
  cChiSQ chi;
  Fill(chi, {{10, 20}, {30, 40}});
  EXPECT_EQ(chi.DF(), 0);  // DF never computes
  EXPECT_EQ(chi.Report(),
            "Chi Sq \t.79\r\nDF \t1\r\nCrit Val @ 95% \t188.\r\nSample Size \t100\r\n"
            "Cramer's Phi \t.06\r\n");
  EXPECT_EQ(chi.DF(), 1);

  cChiSQ digits;
  FillDigits(digits, 9);
  const std::string r = digits.Report();
  EXPECT_NE(r.find("DF \t8\r\nCrit Val @ 95% \t2.73263\r\n"), std::string::npos) << r;
}

TEST(ChiSq, EmptyTableLeavesResultsAtZero) {
  cChiSQ chi;
  Fill(chi, {{0, 0}, {0, 0}});
  EXPECT_EQ(chi.chisq(), 0.0);
  EXPECT_EQ(chi.CritValue(), 0.0);
  EXPECT_EQ(chi.DF(), 0);
  EXPECT_EQ(chi.Report(),
            "Chi Sq \t.\r\nDF \t\r\nCrit Val @ 95% \t.\r\nSample Size \t\r\nCramer's Phi \t.\r\n");
}

TEST(ChiSq, ResultsStayUntilTheNextCompute) {
  cChiSQ chi;
  Fill(chi, {{10, 20}, {30, 40}});
  const double first = chi.chisq();
  std::int16_t r = 0, c = 0;
  chi.SetItem(r, c, 40);  // replaces 10
  EXPECT_EQ(chi.chisq(), first);
  EXPECT_EQ(chi.SampSize(), 140);  // the replaced count is not taken back
  chi.Compute();
  EXPECT_NE(chi.chisq(), first);
  // SetTabs clears the cells, not the sample size.
  chi.SetTabs();
  EXPECT_EQ(chi.SampSize(), 140);
}

TEST(ChiSq, SetItemClampsAndGuards) {
  cChiSQ chi;
  chi.numrows(2);
  chi.NumCols(3);
  std::int16_t r = 0, c = 0;
  EXPECT_THROW(
      {
        try {
          chi.SetItem(r, c, 1);
        } catch (const EngineError& e) {
          EXPECT_EQ(e.code(), ErrorCode::SubscriptOutOfRange);
          throw;
        }
      },
      EngineError);
  chi.SetTabs();
  r = -4;
  c = 99;
  chi.SetItem(r, c, 5);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(c, 3);
  r = 7;
  c = -1;
  chi.SetItem(r, c, 6);
  EXPECT_EQ(r, 2);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(chi.SampSize(), 11);

  r = 1;
  c = 1;
  chi.SetItem(r, c, 2147483647 - 11);
  try {
    chi.SetItem(r, c, 1);
    ADD_FAILURE() << "sample size overflow did not raise";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
  EXPECT_EQ(chi.SampSize(), 2147483647);
}

TEST(ChiSq, FailuresInsideComputeAreQuiet) {
  // 300 x 300: the degrees of freedom overflow 16 bits. The statistic is kept, the rest not.
  cChiSQ big;
  big.numrows(300);
  big.NumCols(300);
  big.SetTabs();
  for (std::int16_t i = 0; i < 300; ++i) {
    std::int16_t r = i, c = static_cast<std::int16_t>(i % 7);
    big.SetItem(r, c, 1 + i % 3);
  }
  EXPECT_NO_THROW(big.Compute());
  EXPECT_GT(big.chisq(), 0.0);
  EXPECT_EQ(big.DF(), 0);
  EXPECT_EQ(big.CritValue(), 0.0);

  // Shape changed after SetTabs: the tables are too small; nothing is computed.
  cChiSQ grown;
  Fill(grown, {{1, 2}, {3, 4}});
  grown.numrows(5);
  EXPECT_NO_THROW(grown.Compute());
  EXPECT_EQ(grown.DF(), 0);
  EXPECT_EQ(grown.chisq(), 0.0);
}

// ---------------------------------------------------------------------------------------------
// cNewChi

struct NewChiRun {
  cLongArray counts;
  cNewChi chi;
};

// Shapes a cNewChi for an R x C table given row by row and computes it.
void RunNewChi(NewChiRun& run, const std::vector<std::vector<std::int32_t>>& t) {
  for (const auto& row : t)
    for (const std::int32_t v : row) run.counts.AddItem(v);
  const auto r = static_cast<std::int32_t>(t.size());
  const auto c = static_cast<std::int32_t>(t[0].size());
  run.chi.rows(r);
  run.chi.cols(c);
  run.chi.totitems(r * c);
  run.chi.AddArray(run.counts);
  run.chi.Compute();
}

TEST(NewChi, TwoByTwoWithContinuityAdjustment) {
  NewChiRun run;
  RunNewChi(run, {{10, 20}, {30, 40}});
  EXPECT_EQ(run.chi.DF(), 1);
  EXPECT_FALSE(run.chi.Err());
  EXPECT_NEAR(run.chi.chisq(), 50.0 / 63, 1e-14);
  EXPECT_NEAR(run.chi.ContAdj(), 0.44642857142857145, 1e-14);
  // Divisor T x min(R - 1, C - 1) = 100, unlike cChiSQ's N x min(R, C) = 200.
  EXPECT_NEAR(run.chi.CramerPhi(), 0.0890870806374748, 1e-15);
  EXPECT_NEAR(run.chi.PhiCoeff(), 0.0890870806374748, 1e-15);
  // p-values erfc(sqrt(x / 2)) for one degree of freedom: .372998... and .504036...
  EXPECT_EQ(run.chi.Report(),
            "DF is 1\r\nChiSQ: .79365\r\np-value: .37300\r\nContinuity Adj: .44643\r\n"
            "p-value: .50404\r\nCramer Phi: .08909\r\nPhi Coeff: .08909\r\n");
}

TEST(NewChi, SmallCellsRaiseTheWarning) {
  NewChiRun run;
  RunNewChi(run, {{3, 4, 50}, {60, 70, 80}});  // two of six cells below 6
  EXPECT_TRUE(run.chi.Err());
  EXPECT_EQ(run.chi.DF(), 2);
  EXPECT_NEAR(run.chi.chisq(), 19792621.0 / 447811, 1e-12);
  EXPECT_EQ(run.chi.ContAdj(), 0.0);
  // The warning leaves the measures alone: sqrt(chi2 / 267) = 0.4068634196 (scipy).
  EXPECT_NEAR(run.chi.CramerPhi(), 0.4068634196257653, 1e-15);
  EXPECT_NEAR(run.chi.PhiCoeff(), 0.4068634196257653, 1e-15);
  // p-value exp(-x / 2) = 2.5e-10 for two degrees of freedom.
  EXPECT_EQ(run.chi.Report(),
            "DF is 2\r\nChiSQ: 44.19860\r\np-value: .00000\r\nCramer Phi: .40686\r\n"
            "Phi Coeff: .40686\r\nWarning - Chi Square may not be valid due to observations < 5");

  // One small cell in six is within the allowed fifth; p-value exp(-9.669237 / 2) = .00795.
  NewChiRun fine;
  RunNewChi(fine, {{12, 7, 3}, {15, 9, 14}});
  EXPECT_FALSE(fine.chi.Err());
  NewChiRun pvalue;
  RunNewChi(pvalue, {{12, 7, 3}, {5, 9, 14}});
  EXPECT_TRUE(pvalue.chi.Err());  // 3 and 5: two small cells
  EXPECT_NE(pvalue.chi.Report().find("ChiSQ: 9.66924\r\np-value: .00795\r\n"), std::string::npos);

  // An expected count below 1 alone is enough.
  NewChiRun sparse;
  RunNewChi(sparse, {{1, 40}, {0, 60}, {0, 70}, {0, 80}, {0, 90}, {0, 100}});
  EXPECT_TRUE(sparse.chi.Err());
}

TEST(NewChi, DegreesOfFreedomAreAtLeastOne) {
  cNewChi chi;
  chi.rows(1);
  chi.cols(5);
  EXPECT_EQ(chi.DF(), 1);
  chi.rows(4);
  chi.cols(3);
  EXPECT_EQ(chi.DF(), 6);
  chi.rows(300);
  chi.cols(300);
  EXPECT_THROW(chi.DF(), EngineError);
}

TEST(NewChi, EmptyRowFailsAndKeepsTheLastResults) {
  NewChiRun run;
  RunNewChi(run, {{10, 20}, {30, 40}});
  const double before = run.chi.chisq();

  cLongArray empty;
  for (const std::int32_t v : {5, 7, 0, 0}) empty.AddItem(v);
  run.chi.AddArray(empty);
  try {
    run.chi.Compute();
    ADD_FAILURE() << "an empty row did not raise";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::DivisionByZero);
  }
  EXPECT_EQ(run.chi.chisq(), before);
  EXPECT_FALSE(run.chi.Err());

  cNewChi never;  // no array handed over: a total of 0
  never.rows(2);
  never.cols(2);
  never.totitems(4);
  EXPECT_THROW(never.Compute(), EngineError);
  EXPECT_EQ(never.chisq(), 0.0);
}

}  // namespace
}  // namespace tarnwick
