#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tarnwick/audit/interval_sampling.h"
#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

void Set(cIS& is, double conf, double prec, double rate) {
  is.conf(conf);
  is.prec(prec);
  is.expecterrorrate(rate);
}

TEST(SampleSize, FiguresForKnownSettings) {
  cIS is;
  EXPECT_EQ(is.RequiredSampleSize(), 96);
  EXPECT_EQ(is.GetPrecision(), 96);
  Set(is, 0.99, 0.05, 0.05);
  EXPECT_EQ(is.RequiredSampleSize(), 126);
  EXPECT_EQ(is.GetPrecision(), 126);
  Set(is, 0.90, 0.05, 0.5);
  EXPECT_EQ(is.RequiredSampleSize(), 271);  // 1.644854^2 * 0.25 / 0.0025 = 270.56

  // Confidence 0: the sample size takes 0.95 (and keeps it); GetPrecision uses z = -1.
  Set(is, 0, 0.1, 0.5);
  EXPECT_EQ(is.GetPrecision(), 25);
  EXPECT_EQ(is.conf(), 0.0);
  EXPECT_EQ(is.RequiredSampleSize(), 96);
  EXPECT_EQ(is.conf(), 0.95);
  // An unusable confidence: 1.96 for the sample size, -1 for GetPrecision.
  Set(is, 0.005, 0.1, 0.5);
  EXPECT_EQ(is.RequiredSampleSize(), 96);
  EXPECT_EQ(is.GetPrecision(), 25);
  EXPECT_EQ(is.conf(), 0.005);

  Set(is, 0.95, 0, 0.5);
  try {
    is.RequiredSampleSize();
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::DivisionByZero);
  }
  Set(is, 0.95, 0.000001, 0.5);
  EXPECT_THROW(is.RequiredSampleSize(), EngineError);  // beyond 32 bits
}

// The normal approximation alone says 0 items for an expected rate of 0 and more items than a
// small population holds; the size is raised to the exact zero-deviation size for an upper
// limit of rate + precision and capped at the population. Figures from SciPy (norm.ppf) and
// ln(1 - conf) / ln(1 - rate - precision).
TEST(SampleSize, NeverZeroAndNeverMoreThanThePopulation) {
  struct Case {
    double conf, prec, rate;
    std::int32_t pop, normal, zero, required;
  };
  for (const Case& c :
       {Case{0.95, 0.05, 0.0, 10000, 0, 59, 59},  // 0.95^59 <= 0.05
        Case{0.90, 0.05, 0.0, 10000, 0, 45, 45},
        Case{0.95, 0.04, 0.001, 10000, 2, 72, 72},     // normal 2.398
        Case{0.99, 0.02, 0.01, 10000, 164, 152, 164},  // normal 164.21 stays
        Case{0.95, 0.05, 0.05, 5000, 73, 29, 73},
        Case{0.95, 0.05, 0.05, 50, 73, 29, 50},  // the whole population
        Case{0.95, 0.05, 0.0, 40, 0, 59, 40}, Case{0.95, 0.1, 0.5, 10000, 96, 4, 96}}) {
    cIS is;
    Set(is, c.conf, c.prec, c.rate);
    is.popsize(c.pop);
    EXPECT_EQ(is.NormalSampleSize(), c.normal) << c.conf << " " << c.prec << " " << c.rate;
    EXPECT_EQ(is.ZeroDeviationSize(), c.zero) << c.conf << " " << c.prec << " " << c.rate;
    EXPECT_EQ(is.RequiredSampleSize(), c.required) << c.conf << " " << c.prec << " " << c.rate;
    EXPECT_EQ(is.GetPrecision(), c.normal);  // the approximation alone, as before
  }
}

TEST(SamplePrecision, NoErrorsGiveTheExactUpperLimit) {
  cIS is;
  std::int32_t none = 0;
  is.actualerrs(none);
  struct Case {
    double conf;
    std::int32_t n, pop;
    double limit;  // 1 - (1 - conf)^(1 / n)
  };
  for (const Case& c :
       {Case{0.95, 50, 10000, 0.058155079116972264}, Case{0.95, 59, 150, 0.049507609888227},
        Case{0.90, 100, 10000, 0.02276277904418933}}) {
    double conf = c.conf;
    is.conf(conf);
    is.SampSize(c.n);
    is.popsize(c.pop);
    EXPECT_NEAR(is.GetSampPrec(), c.limit, 1e-12) << c.n;
  }
  double zero = 0;
  is.conf(zero);  // taken as 0.95
  is.SampSize(50);
  EXPECT_NEAR(is.GetSampPrec(), 0.058155079116972264, 1e-12);
  is.SampSize(0);
  EXPECT_THROW(is.GetSampPrec(), EngineError);  // still the division error
  is.SampSize(-5);
  EXPECT_THROW(is.GetSampPrec(), EngineError);
}

TEST(SampleSize, RatesAndCountsAreLimitedAndWrittenBack) {
  cIS is;
  struct Case {
    double in, out;
  };
  for (const Case c :
       {Case{1.5, 0.999999}, Case{-0.2, 0}, Case{0.5, 0.5}, Case{0.999999, 0.999999}}) {
    double a = c.in, b = c.in, d = c.in;
    is.conf(a);
    is.prec(b);
    is.expecterrorrate(d);
    EXPECT_EQ(a, c.out);
    EXPECT_EQ(b, c.out);
    EXPECT_EQ(d, c.out);
    EXPECT_EQ(is.conf(), c.out);
    EXPECT_EQ(is.prec(), c.out);
    EXPECT_EQ(is.expecterrorrate(), c.out);
  }
  struct Count {
    std::int32_t in, out;
  };
  for (const Count c : {Count{0, 0}, Count{-3, 0}, Count{1, 1}, Count{7, 7}}) {
    std::int32_t v = c.in;
    is.actualerrs(v);
    EXPECT_EQ(v, c.out);
    EXPECT_EQ(is.actualerrs(), c.out);
  }
  for (const Count c : {Count{4, 5}, Count{-1, 5}, Count{5, 5}, Count{6, 6}}) {
    std::int32_t v = c.in;
    is.interval(v);
    EXPECT_EQ(v, c.out);
    EXPECT_EQ(is.interval(), c.out);
  }
  is.popsize(0);
  EXPECT_EQ(is.popsize(), 10000);
  is.popsize(-5);
  EXPECT_EQ(is.popsize(), 10000);
  is.popsize(150);
  EXPECT_EQ(is.popsize(), 150);
}

TEST(SampleSize, NormalDeviates) {
  cIS is;
  EXPECT_NEAR(is.zscore(0.95), 1.959964, 5e-7);
  EXPECT_NEAR(is.zscore(0.99), 2.575829, 5e-7);
  EXPECT_NEAR(is.zscore(0.999999), 4.891638, 5e-6);  // still computed
  EXPECT_GT(is.zscore(0.9999999), 5.0);              // the limit itself is usable
  EXPECT_NEAR(is.zscore(0.01), 0.012533, 5e-7);
  for (const double d : {0.005, 0.0099, 1.0, 0.99999995, -1.0}) EXPECT_EQ(is.zscore(d), -1.0) << d;
  for (const double d : {0.0, 0.5, 0.95, 2.0}) EXPECT_EQ(is.zscoreo(d), -1.0);
}

TEST(SamplePrecision, WithAndWithoutPopulationCorrection) {
  cIS is;
  is.SampSize(50);
  std::int32_t errs = 2;
  is.actualerrs(errs);
  EXPECT_NEAR(is.GetSampPrec(), 0.054183, 5e-7);
  is.popsize(200);
  EXPECT_NEAR(is.GetSampPrec(), 0.054316, 5e-7);
  is.popsize(150);
  EXPECT_NEAR(is.GetSampPrec(), 0.054316, 5e-7);
  is.popsize(201);  // the correction starts above 200: sqrt(151 / 200)
  EXPECT_NEAR(is.GetSampPrec(), 0.054316 * 0.868907, 2e-6);
  double zero = 0;
  is.conf(zero);
  EXPECT_NEAR(is.GetSampPrec(), 0.054316 * 0.868907, 2e-6);
  EXPECT_EQ(is.conf(), 0.95);

  is.SampSize(0);
  try {
    is.GetSampPrec();
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::DivisionByZero);
  }
}

TEST(IntervalSelection, SelectsEveryIntervalFromTheStart) {
  struct Case {
    std::int32_t interval, start, rows;
  };
  for (const Case c : {Case{10, 5, 26}, Case{10, 10, 31}, Case{10, 1, 30}, Case{7, 3, 100},
                       Case{5, 6, 20}, Case{5, 0, 20}, Case{5, -2, 20}}) {
    cIS is;
    std::int32_t k = c.interval;
    is.interval(k);
    is.rn(c.start);
    std::vector<int> selected;
    for (int row = 1; row <= c.rows; ++row)
      if (is.AddItem(Variant(row))) selected.push_back(row);
    // Rows interval - start + 1, then every interval-th; nothing from a start beyond it.
    std::vector<int> want;
    for (int row = c.interval - c.start + 1; c.start <= c.interval && row <= c.rows;
         row += c.interval)
      want.push_back(row);
    EXPECT_EQ(selected, want) << c.interval << "/" << c.start;
    EXPECT_EQ(is.NumSamp(), static_cast<std::int32_t>(want.size()));
    EXPECT_EQ(is.numrows(), c.rows);
    EXPECT_EQ(is.rnstart(), c.start);
    const std::string report = is.Recon();
    EXPECT_EQ(report.substr(report.rfind("Diff")), "Diff s/b 0 \t0\r\n") << report;
  }
}

TEST(IntervalSelection, ReconciliationReport) {
  cIS is;
  for (int row = 0; row < 26; ++row) is.AddItem(Variant());
  EXPECT_EQ(is.Recon(),
            "Interval Sample Reconciliation Report\r\n"
            "Pop size \t26\r\n"
            "Samp size \t3\r\n"
            "Start rn \t5\r\n"
            "End Rn \t1\r\n"
            "Interval \t10\r\n"
            "Reconciliation\r\n"
            "Number of samples * interval\t30\r\n"
            "subtract starting rn\t-5\r\n"
            "add ending rn\t1\r\n"
            "Subtotal \t26\r\n"
            "Population size \t26\r\n"
            "Diff s/b 0 \t0\r\n");

  // A long stream with a random interval and start still closes to 0.
  std::mt19937 gen(42);
  cIS big;
  std::int32_t k = 1000 + static_cast<std::int32_t>(gen() % 5000);
  big.interval(k);
  big.rn(1 + static_cast<std::int32_t>(gen() % static_cast<unsigned>(k)));
  for (int row = 0; row < 3000000; ++row) big.AddItem(Variant());
  const std::string report = big.Recon();
  EXPECT_NE(report.find("Pop size \t3,000,000\r\n"), std::string::npos) << report;
  EXPECT_EQ(report.substr(report.rfind("Diff")), "Diff s/b 0 \t0\r\n") << report;

  // Products beyond 32 bits are the overflow error.
  cIS huge;
  std::int32_t wide = 2000000000;
  huge.interval(wide);
  huge.rn(wide);
  huge.AddItem(Variant());
  huge.AddItem(Variant());
  EXPECT_EQ(huge.NumSamp(), 1);
  huge.rn(wide);
  huge.AddItem(Variant());
  EXPECT_EQ(huge.NumSamp(), 2);
  try {
    huge.Recon();
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
}

}  // namespace
}  // namespace tarnwick
