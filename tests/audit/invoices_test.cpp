#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tarnwick/audit/invoices.h"
#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

Date D(int y, int m, int d) { return *Date::FromYmd(y, m, d); }

const std::string kNearHeading =
    "Near Miss Report \r\nVendno\tAmt\tInv Date \tSecond Date\tInvno\tSuspect Invno\tCloseness\r\n";
const std::string kSplitHeading =
    "Split Invoice Report\r\nVendno\tInv No\tInv No2 \tAmount\tAmount2\tAmount 3\tDiff\r\n";

int Lines(const std::string& s) {
  int n = 0;
  for (std::size_t p = s.find("\r\n"); p != std::string::npos; p = s.find("\r\n", p + 2)) ++n;
  return n;
}

TEST(EditDistance, UnitCostsCaseSensitive) {
  struct Case {
    const char* s;
    const char* t;
    int d;
  };
  const Case cases[] = {{"INV1001", "INV1010", 2}, {"", "ABC", 3},        {"ABC", "", 3},
                        {"abc", "ABC", 3},         {"", "", 0},           {"12345", "12345", 0},
                        {"kitten", "sitting", 3},  {"flaw", "lawn", 2},   {"ab", "ba", 2},
                        {"A", "AAAA", 3},          {"12345", "12354", 2}, {"x", "y", 1}};
  cCR cr;
  for (const Case& c : cases) {
    EXPECT_EQ(cr.ld(c.s, c.t), c.d) << c.s << " / " << c.t;
    EXPECT_EQ(cr.ld(c.t, c.s), c.d) << c.t << " / " << c.s;
  }
  EXPECT_EQ(cr.ld(std::string(32767, 'a'), ""), 32767);
  try {
    cr.ld("", std::string(32768, 'a'));
    FAIL() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
}

TEST(NearMiss, AddThenTestFindsEachPairOnce) {
  for (const std::int32_t tol : {5, 4}) {
    cCR cr;
    cr.DateTol(tol);
    cr.AddItem("V", "12345", D(2008, 3, 3), 500.00);
    cr.nemisstrans();
    EXPECT_EQ(cr.NEReport(), kNearHeading);
    cr.AddItem("V", "12354", D(2008, 3, 8), 500.00);
    cr.nemisstrans();
    cr.AddItem("W", "12345", D(2008, 3, 8), 500.00);   // other vendor
    cr.nemisstrans();
    cr.AddItem("V", "12399", D(2008, 3, 8), 500.01);   // other amount
    cr.nemisstrans();
    EXPECT_EQ(cr.NEReport(),
              tol == 5 ? kNearHeading + "V\t500\t3/8/2008\t3/3/2008\t12354\t12345\t2\r\n"
                       : kNearHeading)
        << "tolerance " << tol;
    EXPECT_EQ(cr.SPReport(), kSplitHeading);
  }
}

TEST(NearMiss, AddAllThenTestFindsEachPairFromBothSides) {
  cCR cr;
  cr.AddItem("V", "A-1", D(2008, 3, 3), 75.5);
  cr.AddItem("V", "a-1", D(2008, 3, 3) + 0.5, 75.5);  // half a day apart rounds to 0
  cr.AddItem("V", "A-9", D(2008, 3, 9), 75.5);        // 6 and 5.5 (rounds to 6) days away
  cr.AddItem("V", "A-7", D(2008, 3, 7) + 0.5, 75.5);  // 4.5 days from a-1 rounds to 4
  cr.DateTol(4);
  for (int k = 0; k < 4; ++k) cr.nemisstrans();
  // is 4.5 days, which rounds to 4 (halves to even) and is inside the tolerance.
  EXPECT_EQ(cr.NEReport(),
            kNearHeading +
                "V\t75.5\t3/3/2008\t3/3/2008 12:00:00 PM\tA-1\ta-1\t1\r\n"
                "V\t75.5\t3/3/2008\t3/7/2008 12:00:00 PM\tA-1\tA-7\t1\r\n"
                "V\t75.5\t3/3/2008 12:00:00 PM\t3/3/2008\ta-1\tA-1\t1\r\n"
                "V\t75.5\t3/3/2008 12:00:00 PM\t3/7/2008 12:00:00 PM\ta-1\tA-7\t2\r\n"
                "V\t75.5\t3/9/2008\t3/7/2008 12:00:00 PM\tA-9\tA-7\t1\r\n"
                "V\t75.5\t3/7/2008 12:00:00 PM\t3/3/2008\tA-7\tA-1\t1\r\n"
                "V\t75.5\t3/7/2008 12:00:00 PM\t3/3/2008 12:00:00 PM\tA-7\ta-1\t2\r\n"
                "V\t75.5\t3/7/2008 12:00:00 PM\t3/9/2008\tA-7\tA-9\t1\r\n");
}

TEST(SplitInvoices, SumsWithinTwoCentsInBothOrders) {
  struct Case {
    double second, third;
    std::string lines;
  };
  const Case cases[] = {
      {40, 60.01,
       "V\tP1\tS2\t60.01\t100\t40\t2\t5\r\n"
       "V\tP1\tS3\t40\t100\t60.01\t2\t5\r\n"},
      {40, 59.98,
       "V\tP1\tS2\t59.98\t100\t40\t2\t5\r\n"
       "V\tP1\tS3\t40\t100\t59.98\t2\t5\r\n"},
      {40, 60.03, ""},
      {40, 59.97, ""},
      {50, 7, "V\tP1\tS2\t50\t100\t50\t0\t5\r\n"},  // i = j: one invoice counted twice
  };
  for (const Case& c : cases) {
    cCR cr;
    cr.AddItem("V", "P1", D(2009, 6, 30), 100);  // its own date is never compared
    cr.AddItem("V", "S2", D(2009, 6, 1), c.second);
    cr.AddItem("V", "S3", D(2009, 6, 3), c.third);
    cr.AddItem("W", "S4", D(2009, 6, 1), 60);
    cr.SplitTran();
    EXPECT_EQ(cr.SPReport(), kSplitHeading + c.lines) << c.second << " + " << c.third;
  }
  // Dates of the two parts beyond the tolerance: nothing.
  cCR cr;
  cr.AddItem("V", "P1", D(2009, 6, 30), 100);
  cr.AddItem("V", "S2", D(2009, 6, 1), 40);
  cr.AddItem("V", "S3", D(2009, 6, 7), 60);
  cr.SplitTran();
  EXPECT_EQ(cr.SPReport(), kSplitHeading);
  EXPECT_EQ(cr.NEReport(), kNearHeading);
}

// A long table: the invoices past the two-hundredth are kept and tested like the rest, in
// both ways of calling the tests, with each finding written exactly as often as expected.
TEST(LongTables, EveryInvoiceIsKept) {
  constexpr int kCount = 450;
  auto fill = [](cCR& cr, int k) {
    std::string vendor = "V", invno = "N";
    vendor += std::to_string(k % 3);
    invno += std::to_string(k);
    double amount = 1000 + k;
    if (k == 251) amount = 1248;  // duplicate of 248 (same vendor), one day later
    if (k == 448) amount = 1400;  // duplicate of 400 (same vendor), 4 days later
    if (k == 440) amount = 1005;  // same amount and vendor as 5 but far apart in time
    if (k == 449) amount = (1000 + 446) + (1000 + 443);  // the sum of 446 and 443
    cr.AddItem(vendor, invno, D(2010, 1, 1) + k / 10, amount);
  };
  {
    cCR cr;
    for (int k = 0; k < kCount; ++k) fill(cr, k);
    for (int k = 0; k < kCount; ++k) cr.nemisstrans();
    EXPECT_EQ(cr.Count(), kCount);
    const std::string& r = cr.NEReport();
    EXPECT_EQ(Lines(r), 2 + 4) << r;
    EXPECT_NE(r.find("V2\t1248\t1/25/2010\t1/26/2010\tN248\tN251\t2\r\n"), std::string::npos);
    EXPECT_NE(r.find("V1\t1400\t2/14/2010\t2/10/2010\tN448\tN400\t2\r\n"), std::string::npos);
  }
  {
    cCR cr;
    for (int k = 0; k < kCount; ++k) {
      fill(cr, k);
      cr.nemisstrans();
    }
    EXPECT_EQ(cr.NEReport(), kNearHeading +
                                 "V2\t1248\t1/26/2010\t1/25/2010\tN251\tN248\t2\r\n"
                                 "V1\t1400\t2/14/2010\t2/10/2010\tN448\tN400\t2\r\n");
  }
  {
    cCR cr;
    for (int k = 0; k < kCount; ++k) {
      fill(cr, k);
      cr.SplitTran();
    }
    // 449 (vendor V2) = 446 + 443, both V2 and within the tolerance: found in both orders.
    EXPECT_EQ(cr.SPReport(), kSplitHeading +
                                 "V2\tN449\tN443\t1446\t2889\t1443\t0\t5\r\n"
                                 "V2\tN449\tN446\t1443\t2889\t1446\t0\t5\r\n");
  }
}

TEST(LongTables, TestCallsAheadOfTheInvoicesLeaveBlankSlots) {
  cCR cr;
  cr.nemisstrans();  // nothing stored yet: a blank slot is examined
  cr.AddItem("V", "1", D(2011, 5, 2), 10);
  cr.AddItem("V", "2", D(2011, 5, 2), 10);
  cr.nemisstrans();
  cr.nemisstrans();
  EXPECT_EQ(cr.Count(), 3);
  EXPECT_EQ(cr.NEReport(), kNearHeading +
                               "V\t10\t5/2/2011\t5/2/2011\t1\t2\t1\r\n"
                               "V\t10\t5/2/2011\t5/2/2011\t2\t1\t1\r\n");
}

}  // namespace
}  // namespace tarnwick
