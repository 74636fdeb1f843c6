#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "tarnwick/audit/mus_reconciliation.h"
#include "tarnwick/core/error.h"
#include "tarnwick/platform/random.h"

namespace tarnwick {
namespace {

std::string LastLine(const std::string& report) {
  const std::size_t end = report.rfind("\r\n");
  const std::size_t start = report.rfind("\r\n", end - 1);
  return report.substr(start + 2, end - start - 2);
}

TEST(MonetaryUnitWalk, WorkedExampleAndReport) {
  cCMA cma;
  cma.j(1000);
  cma.r(2);
  EXPECT_EQ(cma.intvl(), Currency(500.0));
  cma.rn(100);
  EXPECT_EQ(cma.rnstart(), Currency(-100.0));
  EXPECT_FALSE(cma.AddItem(50));
  EXPECT_EQ(cma.RSE(), Currency(-50.0));
  EXPECT_TRUE(cma.AddItem(60));
  EXPECT_EQ(cma.rn(), Currency(-490.0));
  EXPECT_TRUE(cma.AddItem(700));
  EXPECT_EQ(cma.RSE(), Currency(-490.0));
  EXPECT_FALSE(cma.AddItem(400));
  EXPECT_FALSE(cma.AddItem(-25.5));
  EXPECT_FALSE(cma.AddItem(0));
  EXPECT_EQ(cma.selunderJ(), Currency(1.0));
  EXPECT_EQ(cma.seloverJ(), Currency(1.0));
  EXPECT_EQ(cma.selamtunderJ(), Currency(60.0));
  EXPECT_EQ(cma.selamtoverJ(), Currency(700.0));
  EXPECT_EQ(cma.NumDR(), 5);
  EXPECT_EQ(cma.NumCR(), 1);
  EXPECT_EQ(cma.PopCR(), Currency(-25.5));
  EXPECT_EQ(cma.rnend(), Currency{});
  EXPECT_EQ(cma.CMASampRec(),
            "Sample reconciliation report\r\n"
            "J\t1,000\r\n"
            "R\t2\r\n"
            "RN start\t-100\r\n"
            "Interval\t500\r\n"
            "Population DR\t1,210.00\r\n"
            "Population CR\t-25.50\r\n"
            "Number of debits\t5\r\n"
            "Number of credits\t1\r\n"
            "Number of selections under J\t1\r\n"
            "Number of selections over J\t1\r\n"
            "Amount of selections under J\t60.00\r\n"
            "Amount of selections over J\t700.00\r\n"
            "ending rse\t-90.00\r\n"
            "Reconciliation\r\n"
            "Rn Start\t-100\r\n"
            "Selected Amount over J\t-700.00\r\n"
            "Number under j times interval\t-500.00\r\n"
            "Population debits\t1,210.00\r\n"
            "Subtotal \t-90.00\r\n"
            "Ending rn\t-90.00\r\n"
            "Difference (s/b 0)\t.00\r\n");
}

TEST(MonetaryUnitWalk, ParametersAndStarts) {
  Randomize(7);
  cCMA cma;
  EXPECT_EQ(cma.j(), Currency(10000.0));
  EXPECT_EQ(cma.r(), 1);
  EXPECT_EQ(cma.intvl(), Currency(10000.0));
  EXPECT_LE(cma.rnstart(), Currency{});
  EXPECT_GE(cma.rnstart(), Currency(-10000.0));
  EXPECT_EQ(cma.RSE(), cma.rnstart());
  Randomize(7);
  EXPECT_EQ(cCMA().rnstart(), cma.rnstart()) << "a seeded run repeats its start";

  cma.j(50);
  EXPECT_EQ(cma.j(), Currency(100.0));
  for (const std::int16_t r : {0, 1, 4, 5, -2}) {
    cma.r(r);
    EXPECT_EQ(cma.r(), 1) << r;
  }
  cma.j(1000.0001);
  cma.r(3);
  EXPECT_EQ(cma.intvl(), Currency::FromRaw(3333334));  // 333.33336667 to four decimals
  cma.j(1000.0001);
  cma.r(2);
  EXPECT_EQ(cma.intvl(), Currency::FromRaw(5000000));  // 500.00005: the half goes to even
  cma.j(1000);

  struct Start {
    double written;
    double start;
  };
  for (const Start s : {Start{-300, -300}, Start{300, -300}, Start{0, 0}, Start{2.5, -2},
                        Start{-3.5, -4}, Start{500, -500}, Start{-500.4, -500}}) {
    cma.rn(s.written);
    EXPECT_EQ(cma.rnstart(), Currency(s.start)) << s.written;
    EXPECT_EQ(cma.rn(), Currency(s.start)) << s.written;
  }
  for (int k = 0; k < 50; ++k) {
    cma.rn(800);  // beyond one interval: a random start inside it
    EXPECT_LE(cma.rnstart(), Currency{});
    EXPECT_GE(cma.rnstart(), Currency(-500.0));
    EXPECT_EQ(cma.rn(), cma.rnstart());
  }

  cCMA first;
  first.rn(0);
  EXPECT_TRUE(first.AddItem(0.01)) << "a start of 0 selects the first positive amount";
  cCMA late;
  late.rn(500);
  EXPECT_FALSE(late.AddItem(300));
  EXPECT_FALSE(late.AddItem(200));
  EXPECT_TRUE(late.AddItem(0.0001));
}

TEST(MonetaryUnitWalk, OverflowLeavesTheTotals) {
  cCMA cma;
  cma.rn(0);
  cma.AddItem(900e12);
  try {
    cma.AddItem(100e12);
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
  EXPECT_EQ(cma.PopDR(), Currency(900e12));
  EXPECT_EQ(cma.NumDR(), 1);
  EXPECT_THROW(cma.AddItem(std::nan("")), EngineError);
  EXPECT_EQ(cma.NumDR(), 1);
}

// Long random streams: small and large amounts with many decimals, credits, zeros and items
// above the interval. The number of selections below the interval must be the number of
// selection points passed by the running total, and the reconciliation must close to 0.
TEST(MonetaryUnitWalk, LongStreamsReconcileExactly) {
  std::mt19937_64 gen(20261208);
  for (int run = 0; run < 6; ++run) {
    Randomize(static_cast<std::uint64_t>(run));
    cCMA cma;
    const double j = run % 2 == 0 ? 12345.67 : 2.5e9;
    cma.j(j);
    cma.r(static_cast<std::int16_t>(1 + run % 3));
    // The start is drawn again for the new interval: beyond one interval below zero, a
    // random start replaces it.
    cma.rn(run >= 3 ? static_cast<double>(gen() % 1000) : 1e12);
    const std::int64_t interval = cma.intvl().raw();
    std::int64_t walked = 0;  // positive amounts not above the interval, in ten-thousandths
    std::int32_t over = 0;
    std::int64_t debit = 0;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int k = 0; k < 200000; ++k) {
      double d = unit(gen) * j * (k % 97 == 0 ? 3.0 : 0.4);
      if (k % 11 == 0) d = -d;
      if (k % 53 == 0) d = 0;
      const std::int64_t raw = Currency(d).raw();
      const bool selected = cma.AddItem(d);
      if (d > 0 && raw > interval) {
        ++over;
        ASSERT_TRUE(selected) << "run " << run << " item " << k;
      } else if (d > 0) {
        walked += raw;
      }
      if (d >= 0) debit += raw;
    }
    const std::int64_t passed = walked + cma.rnstart().raw();
    const std::int64_t points = passed > 0 ? (passed - 1) / interval + 1 : 0;
    EXPECT_EQ(cma.selunderJ(), Currency(static_cast<double>(points))) << "run " << run;
    EXPECT_EQ(cma.seloverJ(), Currency(static_cast<double>(over))) << "run " << run;
    EXPECT_EQ(cma.PopDR().raw(), debit);
    EXPECT_EQ(LastLine(cma.CMASampRec()), "Difference (s/b 0)\t.00") << "run " << run;
    const Currency subtotal =
        cma.rnstart() - cma.selamtoverJ() - cma.selunderJ() * cma.intvl() + cma.PopDR();
    EXPECT_EQ(subtotal, cma.RSE()) << "run " << run;
  }
}

}  // namespace
}  // namespace tarnwick
