#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tarnwick/audit/invoices.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

Date D(int y, int m, int d) { return *Date::FromYmd(y, m, d); }

const std::string kNearHeading =
    "Near Miss Report \r\nVendno\tAmt\tInv Date \tSecond Date\tInvno\tSuspect Invno\tCloseness\r\n";
const std::string kSplitHeading =
    "Split Invoice Report\r\nVendno\tInv No\tAmount\tFirst Part Inv No\tFirst Part Amount\t"
    "Second Part Inv No\tSecond Part Amount\tDays Between Parts\tDateTol\r\n";

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
    cr.AddItem("W", "12345", D(2008, 3, 8), 500.00);  // other vendor
    cr.nemisstrans();
    cr.AddItem("V", "12399", D(2008, 3, 8), 500.01);  // other amount
    cr.nemisstrans();
    EXPECT_EQ(cr.NEReport(), tol == 5
                                 ? kNearHeading + "V\t500\t3/8/2008\t3/3/2008\t12354\t12345\t2\r\n"
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

// One line per pair of parts: two different invoices, the earlier-stored one first, both
// invoice numbers shown. The whole's own date is not compared unless WholeTol is set.
TEST(SplitInvoices, SumsWithinTwoCentsOncePerPair) {
  struct Case {
    double second, third;
    std::string lines;
  };
  const Case cases[] = {
      {40, 60.01, "V\tP1\t100\tS2\t40\tS3\t60.01\t2\t5\r\n"},
      {40, 59.98, "V\tP1\t100\tS2\t40\tS3\t59.98\t2\t5\r\n"},
      {40, 60.03, ""},
      {40, 59.97, ""},
      {50, 7, ""},  // one invoice of 50 is not two parts of 100
      {50, 50, "V\tP1\t100\tS2\t50\tS3\t50\t2\t5\r\n"},  // two invoices of 50 are
  };
  for (const Case& c : cases) {
    cCR cr;
    cr.AddItem("V", "P1", D(2009, 6, 30), 100);
    cr.AddItem("V", "S2", D(2009, 6, 1), c.second);
    cr.AddItem("V", "S3", D(2009, 6, 3), c.third);
    cr.AddItem("W", "S4", D(2009, 6, 1), 60);
    for (int k = 0; k < 4; ++k) cr.SplitTran();
    EXPECT_EQ(cr.SPReport(), kSplitHeading + c.lines) << c.second << " + " << c.third;
    EXPECT_EQ(cr.SPCount(), c.lines.empty() ? 0 : 1);
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

// WholeTol bounds the whole's date against each part's, in whole days (halves to even).
// A fixed-price vendor makes many pairs for one whole: listed once, with the first pair found
// (parts in stored order) and the number of pairs; the pair count stays the pairs'.
TEST(SplitInvoices, EachWholeOnceWithItsPairCount) {
  cCR cr;
  cr.DateTol(5);
  cr.EveryPair(false);
  cr.AddItem("V", "W1", D(2009, 6, 2), 150);
  cr.AddItem("V", "A", D(2009, 6, 1), 90);
  cr.AddItem("V", "B", D(2009, 6, 1), 60);
  cr.AddItem("V", "C", D(2009, 6, 2), 90);
  cr.AddItem("V", "D", D(2009, 6, 3), 60);
  cr.AddItem("V", "W2", D(2009, 6, 2), 100);  // no two others add up to it
  for (int k = 0; k < 6; ++k) cr.SplitTran();
  // W1 = A+B, A+D, C+B, C+D: four pairs, one line; B, D (60) and W2 are no wholes.
  EXPECT_EQ(cr.SPReport(),
            std::string("Split Invoice Report\r\n"
                        "Vendno\tInv No\tAmount\tFirst Part Inv No\tFirst Part Amount\t"
                        "Second Part Inv No\tSecond Part Amount\tDays Between Parts\t"
                        "DateTol\tPairs\r\n"
                        "V\tW1\t150\tA\t90\tB\t60\t0\t5\t4\r\n"));
  EXPECT_EQ(cr.SPCount(), 1);
  EXPECT_EQ(cr.SPPairs(), 4);
  // Switched back before any finding, the heading loses its column again.
  cCR back;
  back.EveryPair(false);
  back.EveryPair(true);
  EXPECT_EQ(back.SPReport(), kSplitHeading);
}

TEST(SplitInvoices, WholeWithinWholeTolOfEachPart) {
  struct Case {
    std::int32_t wholeTol;
    Date whole;
    bool found;
  };
  const Date june1 = D(2009, 6, 1), june3 = D(2009, 6, 3);
  const Case cases[] = {
      {-1, D(2009, 12, 31), true},                                // not compared
      {5, D(2009, 6, 30), false},      {5, D(2009, 6, 6), true},  // 5 and 3 days
      {5, D(2009, 6, 7), false},                                  // 6 days from the first part
      {5, D(2009, 5, 29), true},                                  // 3 and 5 days before
      {5, D(2009, 5, 28), false},                                 // 6 days before the second part
      {5, D(2009, 6, 5) + 0.5, true},                             // 4.5 days rounds to 4
      {5, D(2009, 6, 6) + 0.5, false},                            // 5.5 days rounds to 6
      {0, D(2009, 6, 2), false},       {1, D(2009, 6, 2), true},
  };
  for (const Case& c : cases) {
    for (const bool add_first : {true, false}) {
      cCR cr;
      cr.WholeTol(c.wholeTol);
      EXPECT_EQ(cr.WholeTol(), c.wholeTol);
      cr.AddItem("V", "S2", june1, 40);
      if (!add_first) cr.SplitTran();
      cr.AddItem("V", "S3", june3, 60);
      if (!add_first) cr.SplitTran();
      cr.AddItem("V", "P1", c.whole, 100);
      cr.SplitTran();
      if (add_first) {
        cr.SplitTran();
        cr.SplitTran();
      }
      EXPECT_EQ(cr.SPReport(),
                kSplitHeading + (c.found ? "V\tP1\t100\tS2\t40\tS3\t60\t2\t5\r\n" : ""))
          << c.wholeTol << " " << DateText(c.whole) << " add first " << add_first;
    }
  }
  EXPECT_EQ(cCR().WholeTol(), -1);
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
    // 449 (vendor V2) = 446 + 443, both V2 and within the tolerance: found once.
    EXPECT_EQ(cr.SPReport(), kSplitHeading + "V2\tN449\t2889\tN443\t1443\tN446\t1446\t0\t5\r\n");
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

// The tests looked up through the vendor, amount and date indexes must write what a plain scan
// of every pair writes, in the same order, in both ways of calling them, with and without the
// whole's date window.
TEST(LongTables, IndexedLookupMatchesAPlainScan) {
  struct Inv {
    std::string vendor, invno;
    Date date;
    double amount;
  };
  std::mt19937 gen(99);
  std::vector<Inv> invs;
  for (int k = 0; k < 600; ++k) {
    Inv v{std::string(1, 'V'), std::string(1, 'N'), D(2012, 1, 1) + gen() % 40, 0.0};
    v.vendor += std::to_string(gen() % 4);
    v.invno += std::to_string(k);
    v.amount = static_cast<double>(gen() % 40) * 2.5 + static_cast<double>(gen() % 3) / 100;
    if (k % 50 == 7) v.amount = std::nan("");
    invs.push_back(v);
  }
  cCR helper;
  for (const std::int32_t whole_tol : {-1, 0, 3})
    for (const bool add_first : {true, false}) {
      std::string near = kNearHeading, split = kSplitHeading;
      for (std::size_t p = 0; p < invs.size(); ++p) {
        const std::size_t count = add_first ? invs.size() : p + 1;
        const Inv& P = invs[p];
        for (std::size_t i = 0; i < count; ++i) {
          const Inv& I = invs[i];
          if (i == p || I.vendor != P.vendor) continue;
          if (I.amount == P.amount && std::nearbyint(std::fabs(P.date - I.date)) <= 5)
            near += P.vendor + "\t" + NumText(P.amount) + "\t" + DateText(P.date) + "\t" +
                    DateText(I.date) + "\t" + P.invno + "\t" + I.invno + "\t" +
                    NumText(static_cast<std::int32_t>(helper.ld(I.invno, P.invno))) + "\r\n";
          for (std::size_t j = i + 1; j < count; ++j) {
            const Inv& J = invs[j];
            if (j == p || J.vendor != I.vendor) continue;
            const double gap = std::nearbyint(std::fabs(I.date - J.date));
            const bool near_whole =
                whole_tol < 0 || (std::nearbyint(std::fabs(P.date - I.date)) <= whole_tol &&
                                  std::nearbyint(std::fabs(P.date - J.date)) <= whole_tol);
            if (std::nearbyint(std::fabs(J.amount + I.amount - P.amount) * 10000) <= 200 &&
                gap <= 5 && near_whole)
              split += P.vendor + "\t" + P.invno + "\t" + NumText(P.amount) + "\t" + I.invno +
                       "\t" + NumText(I.amount) + "\t" + J.invno + "\t" + NumText(J.amount) + "\t" +
                       NumText(gap) + "\t5\r\n";
          }
        }
      }
      cCR near_cr, split_cr;
      split_cr.WholeTol(whole_tol);
      for (std::size_t k = 0; k < invs.size(); ++k) {
        near_cr.AddItem(invs[k].vendor, invs[k].invno, invs[k].date, invs[k].amount);
        split_cr.AddItem(invs[k].vendor, invs[k].invno, invs[k].date, invs[k].amount);
        if (!add_first) {
          near_cr.nemisstrans();
          split_cr.SplitTran();
        }
      }
      if (add_first) {
        for (std::size_t k = 0; k < invs.size(); ++k) {
          near_cr.nemisstrans();
          split_cr.SplitTran();
        }
      }
      EXPECT_GT(Lines(near), 40);
      EXPECT_GT(Lines(split), whole_tol < 0 ? 100 : 10);
      EXPECT_EQ(near_cr.NEReport(), near) << "add first " << add_first;
      EXPECT_EQ(split_cr.SPReport(), split)
          << "add first " << add_first << " whole tol " << whole_tol;
      EXPECT_EQ(split_cr.SPCount(), Lines(split) - 2);
    }
}

}  // namespace
}  // namespace tarnwick
