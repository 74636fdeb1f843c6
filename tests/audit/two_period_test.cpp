#include "tarnwick/audit/two_period.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

ErrorCode ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EngineError& e) {
    return e.code();
  }
  ADD_FAILURE() << "expected an error of the call";
  return ErrorCode::InvalidArgument;
}

TEST(TwoPeriod, CumulativeSharesAndTheLargestGap) {
  cKS ks;
  ks.Setup(3, 100, 200);
  ks.AddItem("A", 50, 50);
  ks.AddItem("B", 30, 100);
  ks.AddItem("C", 20, 50);
  struct Row {
    const char* acct;
    double per1, per2, ca1, ca2, cp1, cp2, cd;
  };
  const Row rows[] = {{"A", 50, 50, 50, 50, 0.5, 0.25, 0.25},
                      {"B", 30, 100, 80, 150, 0.8, 0.75, 0.05},
                      {"C", 20, 50, 100, 200, 1.0, 1.0, 0.0}};
  for (std::int16_t i = 0; i < 3; ++i) {
    const Row& r = rows[i];
    EXPECT_EQ(ks.Acct(i), r.acct);
    EXPECT_EQ(ks.Per1(i), r.per1);
    EXPECT_EQ(ks.Per2(i), r.per2);
    EXPECT_EQ(ks.CA1(i), r.ca1);
    EXPECT_EQ(ks.CA2(i), r.ca2);
    EXPECT_DOUBLE_EQ(ks.CP1(i), r.cp1);
    EXPECT_DOUBLE_EQ(ks.CP2(i), r.cp2);
    EXPECT_NEAR(ks.CD(i), r.cd, 1e-15);
  }
  EXPECT_EQ(ks.Count(), 3);
  EXPECT_EQ(ks.dstat(), 0.25);
  EXPECT_EQ(ks.ExceptIndex(), 0);
  EXPECT_EQ(ks.AcctName(), "A");
  EXPECT_EQ(ks.Period1(), 50);
  EXPECT_EQ(ks.Period2(), 50);
  EXPECT_EQ(ks.cumamt1(), 100);
  EXPECT_EQ(ks.cumamt2(), 200);
  EXPECT_DOUBLE_EQ(ks.cumpct1(), 1.0);
  EXPECT_EQ(ks.Total2(), 200);
  // The unused slot at index Count is empty.
  EXPECT_EQ(ks.Acct(3), "");
  EXPECT_EQ(ks.CD(3), 0.0);
}

TEST(TwoPeriod, LaterGapWinsOnlyWhenStrictlyLarger) {
  cKS ks;
  ks.Setup(4, 8, 8);
  ks.AddItem("p", 1, 3);  // gap .25
  ks.AddItem("q", 3, 1);  // gap 0
  ks.AddItem("r", 2, 0);  // gap .25 again: a tie keeps p
  EXPECT_EQ(ks.AcctName(), "p");
  EXPECT_EQ(ks.ExceptIndex(), 0);
  ks.AddItem("s", 2, 0);  // gap .5
  EXPECT_EQ(ks.AcctName(), "s");
  EXPECT_EQ(ks.ExceptIndex(), 3);
  EXPECT_EQ(ks.Period1(), 2.0);
  EXPECT_EQ(ks.dstat(), 0.5);

  cKS same;
  same.Setup(2, 10, 20);
  same.AddItem("x", 5, 10);
  same.AddItem("y", 5, 10);
  EXPECT_EQ(same.dstat(), 0.0);
  EXPECT_EQ(same.ExceptIndex(), 0);
  EXPECT_EQ(same.AcctName(), "");
}

TEST(TwoPeriod, ZeroTotalIgnoresAdditionsAndSetupStartsAfresh) {
  cKS ks;
  ks.Setup(2, 0, 100);
  ks.AddItem("a", 5, 5);
  ks.AddItem("b", 5, 5);
  ks.AddItem("c", 5, 5);
  ks.AddItem("d", 5, 5);  // would be past the end, but nothing is stored
  for (std::int16_t i = 0; i <= 2; ++i) {
    EXPECT_EQ(ks.Acct(i), "");
    EXPECT_EQ(ks.CA1(i), 0.0);
  }
  EXPECT_EQ(ks.dstat(), 0.0);

  ks.Setup(1, 10, 10);
  ks.AddItem("a", 10, 0);
  EXPECT_EQ(ks.dstat(), 1.0);
  ks.Setup(1, 10, 10);
  EXPECT_EQ(ks.dstat(), 0.0);
  EXPECT_EQ(ks.AcctName(), "");
  EXPECT_EQ(ks.cumamt1(), 0.0);
  ks.AddItem("b", 5, 5);
  EXPECT_EQ(ks.Acct(0), "b");
  EXPECT_EQ(ks.CA1(0), 5.0);
}

TEST(TwoPeriod, IndexErrors) {
  cKS ks;
  EXPECT_EQ(ErrorOf([&] { (void)ks.CD(0); }), ErrorCode::SubscriptOutOfRange);  // before Setup
  ks.Setup(2, 10, 10);
  ks.AddItem("a", 1, 1);
  ks.AddItem("b", 1, 1);
  ks.AddItem("c", 1, 1);  // index 2 is the last slot
  EXPECT_EQ(ErrorOf([&] { ks.AddItem("d", 1, 1); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(ks.cumamt1(), 3.0);  // the refused account left nothing behind
  EXPECT_EQ(ErrorOf([&] { (void)ks.Per1(3); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { (void)ks.Acct(-1); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { ks.Setup(-1, 1, 1); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(ks.Count(), 2);
}

}  // namespace
}  // namespace tarnwick
