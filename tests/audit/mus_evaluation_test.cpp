// Monetary-unit sample evaluation. The expected figures were computed independently with
// SciPy (Poisson factors as chi2.ppf(conf, 2(k + 1)) / 2) from the usual method; the first
// example is the worked example of the audit-sampling guidance (38,431.51 at 95 %).

#include <gtest/gtest.h>

#include <string>

#include "tarnwick/audit/mus_evaluation.h"
#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

cMUSEval Evaluation(double interval, double conf) {
  cMUSEval m;
  m.interval(interval);
  m.conf(conf);
  return m;
}

TEST(MUSEvaluation, PoissonFactors) {
  cMUSEval m;
  const double at95[] = {2.9957322735539895, 4.743864518390577, 6.295793621871988,
                         7.753656527932725, 9.153519026637573};
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(m.Factor(k), at95[k], 1e-9 * at95[k]) << k;
  double c = 0.90;
  m.conf(c);
  const double at90[] = {2.302585092994046, 3.889720169867429, 5.322320337834211,
                         6.680783068255865, 7.993589586052632, 9.274673893351626};
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(m.Factor(k), at90[k], 1e-9 * at90[k]) << k;
  double high = 1.0;
  m.conf(high);
  EXPECT_EQ(high, 0.999999);
}

TEST(MUSEvaluation, WorkedExample) {
  cMUSEval m = Evaluation(10000, 0.95);
  m.AddItem(2000, 1500);
  m.AddItem(5000, 4000);
  m.AddItem(15000, 14000);
  EXPECT_EQ(m.Misstatements(true), 3);
  EXPECT_EQ(m.Misstatements(false), 0);
  EXPECT_DOUBLE_EQ(m.TopStratum(true), 1000.0);
  EXPECT_DOUBLE_EQ(m.Projected(true), 5500.0);
  EXPECT_NEAR(m.BasicPrecision(), 29957.322735539896, 1e-6);
  EXPECT_NEAR(m.Allowance(true), 2974.1888190542913, 1e-6);
  EXPECT_NEAR(m.UpperLimit(true), 38431.51155459419, 1e-6);
  // Understatements: none found, the limit is the basic precision, never 0.
  EXPECT_DOUBLE_EQ(m.Projected(false), 0.0);
  EXPECT_NEAR(m.UpperLimit(false), 29957.322735539896, 1e-6);
  EXPECT_EQ(m.Report(),
            "Monetary-Unit Sample Evaluation\r\n"
            "Sampling interval\t10,000.00\r\n"
            "Confidence\t95.00%\r\n"
            "Items in the sample\t3\r\n"
            "Book amount of the sample\t22,000.00\r\n"
            "Audited amount of the sample\t19,500.00\r\n"
            "Overstatements\r\n"
            "Misstatements found\t3\r\n"
            "Top-stratum misstatement\t1,000.00\r\n"
            "Projected misstatement\t5,500.00\r\n"
            "Basic precision\t29,957.32\r\n"
            "Incremental allowance\t2,974.19\r\n"
            "Upper misstatement limit\t38,431.51\r\n"
            "Rank\tBook\tAudited\tTainting\tProjected\tIncrement\tAllowance\r\n"
            "1\t2,000.00\t1,500.00\t25.00%\t2,500.00\t0.748132\t1,870.33\r\n"
            "2\t5,000.00\t4,000.00\t20.00%\t2,000.00\t0.551929\t1,103.86\r\n"
            "Understatements\r\n"
            "Misstatements found\t0\r\n"
            "Top-stratum misstatement\t0.00\r\n"
            "Projected misstatement\t0.00\r\n"
            "Basic precision\t29,957.32\r\n"
            "Incremental allowance\t0.00\r\n"
            "Upper misstatement limit\t29,957.32\r\n");
}

TEST(MUSEvaluation, BothDirectionsRankedSeparately) {
  // 90 %, J = 25,000; clean items, a 100 % tainting, ties, top-stratum items both ways, fed
  // out of rank order.
  cMUSEval m = Evaluation(25000, 0.90);
  const double items[][2] = {{1200, 0},    {8000, 8000},   {30000, 29500},
                             {4000, 3000}, {5000, 5600},   {12000, 10800},
                             {2500, 2500}, {40000, 40900}, {600, 450}};
  for (const auto& it : items) m.AddItem(it[0], it[1]);
  EXPECT_EQ(m.Items(), 9);
  EXPECT_EQ(m.BookTotal(), Currency::FromDouble(103300));
  EXPECT_EQ(m.AuditedTotal(), Currency::FromDouble(100750));
  EXPECT_EQ(m.Misstatements(true), 5);
  EXPECT_EQ(m.Misstatements(false), 2);
  EXPECT_DOUBLE_EQ(m.TopStratum(true), 500.0);
  EXPECT_DOUBLE_EQ(m.Projected(true), 40500.0);
  EXPECT_NEAR(m.BasicPrecision(), 57564.62732485115, 1e-6);
  EXPECT_NEAR(m.Allowance(true), 20404.53633125422, 1e-6);
  EXPECT_NEAR(m.UpperLimit(true), 118469.16365610536, 1e-6);
  EXPECT_DOUBLE_EQ(m.TopStratum(false), 900.0);
  EXPECT_DOUBLE_EQ(m.Projected(false), 3900.0);
  EXPECT_NEAR(m.Allowance(false), 1761.4052306201495, 1e-6);
  EXPECT_NEAR(m.UpperLimit(false), 63226.0325554713, 1e-6);
  const std::string r = m.Report();
  EXPECT_NE(r.find("Rank\tBook\tAudited\tTainting\tProjected\tIncrement\tAllowance\r\n"
                   "1\t1,200.00\t0.00\t100.00%\t25,000.00\t0.587135\t14,678.38\r\n"
                   "2\t4,000.00\t3,000.00\t25.00%\t6,250.00\t0.432600\t2,703.75\r\n"
                   "3\t600.00\t450.00\t25.00%\t6,250.00\t0.358463\t2,240.39\r\n"
                   "4\t12,000.00\t10,800.00\t10.00%\t2,500.00\t0.312807\t782.02\r\n"
                   "Understatements\r\n"),
            std::string::npos)
      << r;
  EXPECT_NE(r.find("1\t5,000.00\t5,600.00\t12.00%\t3,000.00\t0.587135\t1,761.41\r\n"),
            std::string::npos)
      << r;
}

TEST(MUSEvaluation, NoMisstatementsAndBadInput) {
  cMUSEval m = Evaluation(5000, 0.95);
  m.AddItem(100, 100);
  m.AddItem(200, 200);
  for (const bool over : {true, false}) {
    EXPECT_EQ(m.Misstatements(over), 0);
    EXPECT_NEAR(m.UpperLimit(over), 14978.661367769948, 1e-6);
  }
  for (const double book : {0.0, -50.0, 0.00004}) {
    try {
      m.AddItem(book, 10);
      FAIL() << "no error for " << book;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
  }
  EXPECT_EQ(m.Items(), 2);  // the refused items left nothing behind
  m.interval(0);
  EXPECT_THROW(m.UpperLimit(true), EngineError);
  EXPECT_THROW(m.Report(), EngineError);
}

TEST(MUSEvaluation, LowConfidenceAllowanceIsNeverNegative) {
  // At 50 % the factor increments less 1 are negative (1.678 - 0.693 - 1 < 0): no allowance.
  cMUSEval m = Evaluation(1000, 0.50);
  m.AddItem(500, 250);
  EXPECT_DOUBLE_EQ(m.Allowance(true), 0.0);
  EXPECT_NEAR(m.UpperLimit(true), 500.0 + 693.1471805599453, 1e-6);  // 50 % of 1,000 + ln 2 x 1,000
}

}  // namespace
}  // namespace tarnwick
