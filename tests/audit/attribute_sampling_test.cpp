// Exact attribute sampling. Every expected figure was computed independently: sample sizes and
// limits with SciPy's binom/hypergeom and beta.ppf, distribution values with mpmath at 50
// digits; the published cells are those of the usual attribute-sampling tables at 95 %.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "tarnwick/audit/attribute_sampling.h"
#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

struct Plan {
  double tolerable, expected, conf;
  std::int32_t population;
  std::int32_t size, allowed;
};

std::int32_t Size(cAttribute& a, const Plan& p) {
  double t = p.tolerable, e = p.expected, c = p.conf;
  a.tolerable(t);
  a.expected(e);
  a.conf(c);
  a.Population(p.population);
  return a.SampleSize();
}

TEST(AttributeSampleSize, ReproducesThePublishedTableCells) {
  // tolerable, expected, 95 %, size, deviations allowed (the table's figure in parentheses)
  for (const Plan& p : {Plan{0.05, 0.0, 0.95, 0, 59, 0}, Plan{0.05, 0.01, 0.95, 0, 93, 1},
                        Plan{0.05, 0.0125, 0.95, 0, 124, 2}, Plan{0.05, 0.0175, 0.95, 0, 153, 3},
                        Plan{0.05, 0.02, 0.95, 0, 181, 4}, Plan{0.04, 0.015, 0.95, 0, 192, 3},
                        Plan{0.03, 0.005, 0.95, 0, 157, 1}, Plan{0.03, 0.0075, 0.95, 0, 208, 2},
                        Plan{0.02, 0.0, 0.95, 0, 149, 0}, Plan{0.10, 0.0, 0.95, 0, 29, 0},
                        Plan{0.10, 0.01, 0.95, 0, 46, 1}, Plan{0.15, 0.0, 0.95, 0, 19, 0},
                        Plan{0.20, 0.0, 0.95, 0, 14, 0}}) {
    cAttribute a;
    EXPECT_EQ(Size(a, p), p.size) << p.tolerable << " " << p.expected;
    EXPECT_EQ(a.Allowed(), p.allowed) << p.tolerable << " " << p.expected;
    EXPECT_FALSE(a.Hypergeometric());
    EXPECT_FALSE(a.Err());
    // The definition itself: the size passes, one item fewer (with its own allowance) does not.
    EXPECT_LE(cAttribute::BinomialCdf(p.allowed, p.size, p.tolerable), 0.05);
    const std::int32_t fewer = p.size - 1;
    const auto k = static_cast<std::int32_t>(std::ceil(p.expected * fewer - 1e-9));
    EXPECT_GT(cAttribute::BinomialCdf(k, fewer, p.tolerable), 0.05);
  }
}

TEST(AttributeSampleSize, OtherConfidencesAndLargeSizes) {
  for (const Plan& p : {Plan{0.05, 0.0, 0.90, 0, 45, 0}, Plan{0.05, 0.01, 0.90, 0, 77, 1},
                        Plan{0.10, 0.02, 0.90, 0, 38, 1}, Plan{0.05, 0.0, 0.99, 0, 90, 0},
                        Plan{0.05, 0.01, 0.99, 0, 165, 2}, Plan{0.07, 0.02, 0.95, 0, 88, 2},
                        Plan{0.05, 0.03, 0.95, 0, 361, 11}, Plan{0.05, 0.04, 0.95, 0, 1348, 54}}) {
    cAttribute a;
    EXPECT_EQ(Size(a, p), p.size) << p.tolerable << " " << p.expected << " " << p.conf;
    EXPECT_EQ(a.Allowed(), p.allowed);
  }
}

TEST(AttributeSampleSize, HypergeometricForAKnownPopulation) {
  // (tolerable, expected) = (5 %, 0), (5 %, 1 %), (10 %, 1 %), (5 %, 2 %) at 95 %.
  for (const Plan& p : {Plan{0.05, 0.0, 0.95, 20, 19, 0}, Plan{0.05, 0.0, 0.95, 50, 31, 0},
                        Plan{0.05, 0.0, 0.95, 100, 45, 0}, Plan{0.05, 0.0, 0.95, 1000, 57, 0},
                        Plan{0.05, 0.0, 0.95, 10000, 59, 0}, Plan{0.05, 0.01, 0.95, 50, 43, 1},
                        Plan{0.05, 0.01, 0.95, 200, 78, 1}, Plan{0.05, 0.01, 0.95, 5000, 93, 1},
                        Plan{0.10, 0.01, 0.95, 20, 20, 1}, Plan{0.10, 0.01, 0.95, 100, 39, 1},
                        Plan{0.05, 0.02, 0.95, 100, 81, 2}, Plan{0.05, 0.02, 0.95, 500, 139, 3},
                        Plan{0.05, 0.02, 0.95, 10000, 180, 4}}) {
    cAttribute a;
    EXPECT_EQ(Size(a, p), p.size) << p.population << " " << p.tolerable << " " << p.expected;
    EXPECT_EQ(a.Allowed(), p.allowed) << p.population;
    EXPECT_TRUE(a.Hypergeometric());
    EXPECT_FALSE(a.WholePopulation());
  }
  // 5 % of 20 items is one item: a plan that expects 1 % allows one deviation at any size and
  // could never reject it, so every item is tested and none may deviate.
  cAttribute a;
  EXPECT_EQ(Size(a, Plan{0.05, 0.01, 0.95, 20, 0, 0}), 20);
  EXPECT_TRUE(a.WholePopulation());
  EXPECT_EQ(a.Allowed(), 0);
  EXPECT_NE(a.SizeReport().find("Note\tno smaller sample meets the risk: test every item\r\n"),
            std::string::npos);
  // The population 0 (or below) is the large population again.
  a.Population(-4);
  EXPECT_FALSE(a.Hypergeometric());
  EXPECT_EQ(a.SampleSize(), 93);
  EXPECT_FALSE(a.WholePopulation());
}

TEST(AttributeSampleSize, NoSizeWhenTheExpectedRateReachesTheTolerableRate) {
  for (const double expected : {0.05, 0.06}) {
    cAttribute a;
    EXPECT_EQ(Size(a, Plan{0.05, expected, 0.95, 0, 0, 0}), -1);
    EXPECT_TRUE(a.Err());
    EXPECT_EQ(a.ErrMsg(), "the expected deviation rate must be below the tolerable rate");
    EXPECT_NE(a.SizeReport().find("No sample size\tthe expected deviation rate must be below the "
                                  "tolerable rate\r\n"),
              std::string::npos);
  }
  // Rates are limited like the other sampling rates, and written back.
  cAttribute a;
  double t = 1.5, e = -0.1, c = 2.0;
  a.tolerable(t);
  a.expected(e);
  a.conf(c);
  EXPECT_EQ(t, 0.999999);
  EXPECT_EQ(e, 0.0);
  EXPECT_EQ(c, 0.999999);
  EXPECT_EQ(a.SampleSize(), 1);  // a 99.9999 % deviation rate shows in the first item
  // Too close to the tolerable rate for any practical sample: refused, not computed for ever.
  cAttribute close;
  EXPECT_EQ(Size(close, Plan{0.05, 0.0499999, 0.95, 0, 0, 0}), -1);
  EXPECT_TRUE(close.Err());
  EXPECT_NE(close.ErrMsg().find("too close to the tolerable rate"), std::string::npos);
}

TEST(AttributeSampleSize, Report) {
  cAttribute a;
  Size(a, Plan{0.05, 0.0175, 0.95, 0, 0, 0});
  EXPECT_EQ(a.SizeReport(),
            "Attribute Sample Size (exact)\r\n"
            "Population\tlarge\r\n"
            "Distribution\tbinomial\r\n"
            "Confidence\t95.00%\r\n"
            "Tolerable deviation rate\t5.00%\r\n"
            "Expected deviation rate\t1.75%\r\n"
            "Deviations allowed\t3\r\n"
            "Required sample size\t153\r\n");
  a.Population(10000);
  EXPECT_EQ(a.SizeReport(),
            "Attribute Sample Size (exact)\r\n"
            "Population\t10,000\r\n"
            "Distribution\thypergeometric\r\n"
            "Confidence\t95.00%\r\n"
            "Tolerable deviation rate\t5.00%\r\n"
            "Expected deviation rate\t1.75%\r\n"
            "Deviations allowed\t3\r\n"
            "Required sample size\t152\r\n");
}

TEST(AttributeUpperLimit, BinomialLimits) {
  struct Case {
    std::int32_t k, n;
    double c, limit;
  };
  for (const Case& x :
       {Case{0, 59, 0.95, 0.04950760988822693}, Case{1, 93, 0.95, 0.049993978387988317},
        Case{2, 50, 0.95, 0.12061415542204412}, Case{0, 50, 0.95, 0.05815507911697226},
        Case{5, 200, 0.95, 0.05184333912029053}, Case{3, 153, 0.95, 0.049895030378963416},
        Case{0, 100, 0.90, 0.02276277904418932}, Case{2, 60, 0.99, 0.13282632418440088},
        Case{10, 400, 0.95, 0.04203654501425724}, Case{0, 1, 0.95, 0.95},
        Case{4, 5, 0.95, 0.9897937816869885}, Case{5, 5, 0.95, 1.0}}) {
    cAttribute a;
    double c = x.c;
    a.conf(c);
    a.SampSize(x.n);
    a.Deviations(x.k);
    EXPECT_NEAR(a.UpperLimit(), x.limit, 1e-9 * x.limit) << x.k << "/" << x.n;
    EXPECT_NEAR(cAttribute::BinomialUpperLimit(x.k, x.n, x.c), x.limit, 1e-9 * x.limit);
  }
}

TEST(AttributeUpperLimit, HypergeometricLimitsAndRefusals) {
  struct Case {
    std::int32_t k, N, n;
    double limit;
  };
  // The largest deviating count the sample does not reject at 95 %, over the population.
  for (const Case& x : {Case{0, 100, 20, 0.12}, Case{1, 100, 20, 0.19}, Case{0, 1000, 59, 0.048},
                        Case{3, 50, 50, 0.06}, Case{2, 500, 60, 0.096}, Case{0, 50, 31, 0.04},
                        Case{1, 10000, 93, 0.0498}, Case{0, 200, 1, 0.945}}) {
    cAttribute a;
    a.Population(x.N);
    a.SampSize(x.n);
    a.Deviations(x.k);
    EXPECT_DOUBLE_EQ(a.UpperLimit(), x.limit) << x.k << "/" << x.n << "/" << x.N;
  }
  struct Bad {
    std::int32_t N, n, k;
    const char* msg;
  };
  for (const Bad& b : {Bad{0, 0, 0, "the sample size must be at least 1"},
                       Bad{0, 10, 11, "the deviations found must be from 0 to the sample size"},
                       Bad{0, 10, -1, "the deviations found must be from 0 to the sample size"},
                       Bad{50, 60, 1, "the sample cannot be larger than the population"}}) {
    cAttribute a;
    a.Population(b.N);
    a.SampSize(b.n);
    a.Deviations(b.k);
    EXPECT_EQ(a.UpperLimit(), -1.0);
    EXPECT_TRUE(a.Err());
    EXPECT_EQ(a.ErrMsg(), b.msg);
    EXPECT_NE(a.LimitReport().find(std::string("No evaluation\t") + b.msg), std::string::npos);
  }
}

TEST(AttributeUpperLimit, Report) {
  cAttribute a;
  a.SampSize(93);
  a.Deviations(1);
  EXPECT_EQ(a.LimitReport(),
            "Attribute Sample Evaluation (exact)\r\n"
            "Population\tlarge\r\n"
            "Distribution\tbinomial\r\n"
            "Confidence\t95.00%\r\n"
            "Sample size\t93\r\n"
            "Deviations found\t1\r\n"
            "Sample deviation rate\t1.08%\r\n"
            "Upper deviation limit\t5.00%\r\n"
            "Allowance for sampling risk\t3.92%\r\n");
  a.Population(100);
  a.SampSize(20);
  a.Deviations(0);
  EXPECT_EQ(a.LimitReport(),
            "Attribute Sample Evaluation (exact)\r\n"
            "Population\t100\r\n"
            "Distribution\thypergeometric\r\n"
            "Confidence\t95.00%\r\n"
            "Sample size\t20\r\n"
            "Deviations found\t0\r\n"
            "Sample deviation rate\t0.00%\r\n"
            "Upper deviation limit\t12.00%\r\n"
            "Allowance for sampling risk\t12.00%\r\n");
}

TEST(AttributeDistributions, AgainstHighPrecisionValues) {
  struct Hyper {
    std::int32_t k, N, M, n;
    double p;
  };
  // Sums of exact binomial coefficients at 50 digits; the large populations test the
  // log-factorial differences, where a plain difference of log-gammas loses digits.
  for (const Hyper& h :
       {Hyper{3, 2000000, 100000, 153, 0.04943874636714469},
        Hyper{54, 1000000, 50000, 1348, 0.049796520046301196},
        Hyper{1, 100000000, 5000000, 93, 0.04997572290547501},
        Hyper{10, 500, 25, 60, 0.999964166968022}, Hyper{2, 50, 3, 43, 0.3703571428571429},
        Hyper{20, 1000, 50, 100, 0.9999999991737077}, Hyper{0, 10000, 500, 59, 0.04805803961414494},
        Hyper{600, 100000, 5000, 10000, 0.9999989314724711}}) {
    EXPECT_NEAR(cAttribute::HypergeometricCdf(h.k, h.N, h.M, h.n), h.p, 1e-10 * h.p)
        << h.k << " " << h.N << " " << h.M << " " << h.n;
  }
  // Outside the support and at its ends.
  EXPECT_EQ(cAttribute::HypergeometricCdf(-1, 100, 5, 10), 0.0);
  EXPECT_EQ(cAttribute::HypergeometricCdf(5, 100, 5, 10), 1.0);
  EXPECT_EQ(cAttribute::HypergeometricCdf(3, 10, 8, 7), 0.0);  // at least 5 must deviate
  EXPECT_THROW(cAttribute::HypergeometricCdf(1, 10, 11, 5), EngineError);
  EXPECT_THROW(cAttribute::HypergeometricCdf(1, 10, 5, 11), EngineError);

  struct Bin {
    std::int32_t k, n;
    double p, cdf;
  };
  for (const Bin& b :
       {Bin{54, 1348, 0.05, 0.049908743108522266}, Bin{6000, 128000, 0.05, 1.1492993614210275e-07},
        Bin{3, 153, 0.05, 0.04944479804302028}, Bin{0, 59, 0.05, 0.04849452524942323},
        Bin{150, 1000, 0.1, 0.9999997225559099}}) {
    EXPECT_NEAR(cAttribute::BinomialCdf(b.k, b.n, b.p), b.cdf, 1e-9 * b.cdf) << b.k << "/" << b.n;
  }
  EXPECT_EQ(cAttribute::BinomialCdf(-1, 10, 0.5), 0.0);
  EXPECT_EQ(cAttribute::BinomialCdf(10, 10, 0.5), 1.0);

  // Zero-deviation sizes: 0.95^59 = 0.0485 <= 0.05 < 0.95^58; at exact powers the boundary
  // size itself passes (0.5^2 = 0.25).
  EXPECT_EQ(cAttribute::ZeroDeviationSize(0.95, 0.05), 59);
  EXPECT_EQ(cAttribute::ZeroDeviationSize(0.95, 0.10), 29);
  EXPECT_EQ(cAttribute::ZeroDeviationSize(0.99, 0.05), 90);
  EXPECT_EQ(cAttribute::ZeroDeviationSize(0.75, 0.5), 2);
  EXPECT_EQ(cAttribute::ZeroDeviationSize(0.95, 1.2), 1);
  EXPECT_EQ(cAttribute::ZeroDeviationSize(0.0, 0.05), 1);
  EXPECT_THROW(cAttribute::ZeroDeviationSize(0.95, 0.0), EngineError);
  EXPECT_THROW(cAttribute::ZeroDeviationSize(1.0, 0.05), EngineError);
  try {
    cAttribute::ZeroDeviationSize(0.999999, 1e-12);
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
}

}  // namespace
}  // namespace tarnwick
