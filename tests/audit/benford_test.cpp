#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "tarnwick/audit/benford.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/shell/report_text.h"

namespace tarnwick {
namespace {

struct DigitCase {
  const char* type;
  const char* text;
  bool accepted;
  int value;
};

TEST(Benford, DigitValueOfEachType) {
  for (const DigitCase& c : std::vector<DigitCase>{
           {"F1", "0.0045", true, 4}, {"F1", "-45", true, 4}, {"F1", "4,500.00", true, 4},
           {"F1", "0", false, 0}, {"F1", "0.00", false, 0}, {"F1", "$-0.0120", true, 1},
           {"F1", "abc", false, 0}, {"F2", "7", false, 0}, {"F2", "70", true, 70},
           {"F2", "-0.0120", true, 12}, {"D2", "1203", true, 2}, {"D2", "0.5", false, 0},
           {"D2", "1,234.50", true, 2}, {"L1", "1200", true, 0}, {"L1", "12.57", true, 7},
           {"L2", "100", true, 0}, {"L2", "105", true, 5}, {"L2", "12.50", true, 50},
           {"L2", "5", false, 0}, {"f2x", "99", true, 99}, {"Q9", "35", true, 3}}) {
    cBenford b;
    b.btype(c.type);
    EXPECT_EQ(b.AddObs(c.text), c.accepted) << c.type << " " << c.text;
    EXPECT_EQ(b.NumObs(), c.accepted ? 1 : 0);
    if (c.accepted) {
      EXPECT_EQ(b.Actual(c.value), 1) << c.type << " " << c.text;
    }
  }
}

TEST(Benford, TypeSetsNumDigitsAndIndexesAreClamped) {
  cBenford b;
  b.btype("l2");
  EXPECT_EQ(b.NumDigits(), 2);
  b.btype("D2");
  EXPECT_EQ(b.NumDigits(), 1);
  b.NumDigits(3);
  EXPECT_EQ(b.NumDigits(), 1);
  b.btype("L2");
  b.AddObs("199");
  std::int16_t i = 150;
  EXPECT_EQ(b.Actual(i), 1);  // entry 99
  EXPECT_EQ(i, 99);
  i = -4;
  EXPECT_EQ(b.Actual(i), 0);
  EXPECT_EQ(i, 0);
  b.init();
  EXPECT_EQ(b.NumObs(), 0);
  EXPECT_EQ(b.Actual(99), 0);
}

TEST(Benford, TooFewObservationsThenTheFullReport) {
  cBenford b;
  for (int i = 1; i <= 9; ++i) b.AddObs(std::to_string(i));
  b.Compute();
  EXPECT_EQ(b.Report(), "Too few observations (\t9\t)");
  EXPECT_EQ(b.DF(), 0);
  b.AddObs("1");
  EXPECT_EQ(b.Report(), "");  // ten observations, nothing computed yet
  b.Compute();
  EXPECT_EQ(b.DF(), 8);
  EXPECT_EQ(b.Report().rfind("Benford Report\r\n", 0), 0u);
}

// 100 amounts with first digits 1..9 tallied 35,15,12,10,8,6,5,5,4. The expected figures were
// computed apart from the engine: expected tallies by rounding 100*log10(1+1/d) halves to even,
// the two-column chi-square by its textbook formula, and the p-value from the closed form of the
// chi-square survival function for 8 degrees of freedom.
TEST(Benford, FirstDigitTestAgainstIndependentFigures) {
  const int tallies[9] = {35, 15, 12, 10, 8, 6, 5, 5, 4};
  const char* forms[4] = {"%d23.45", "-0.0%d7", "%d,001.10", "$%d9"};
  cBenford b;
  int k = 0;
  for (int d = 1; d <= 9; ++d) {
    for (int n = 0; n < tallies[d - 1]; ++n) {
      char text[32];
      std::snprintf(text, sizeof text, forms[k++ % 4], d);
      ASSERT_TRUE(b.AddObs(text)) << text;
    }
  }
  b.Compute();
  EXPECT_EQ(b.Expect(1), 30);
  EXPECT_EQ(b.Expect(9), 5);
  EXPECT_NEAR(b.pct(2), 0.176091259055681, 1e-15);
  EXPECT_NEAR(b.chisq(), 0.931333864155647, 1e-12);
  EXPECT_NEAR(b.dstat(), 0.05297029702970296, 1e-15);
  EXPECT_EQ(b.HiDigit(), 1);
  EXPECT_EQ(b.DF(), 8);
  EXPECT_EQ(b.Report(),
            "Benford Report\r\n"
            "High digit \t1\r\n"
            "Chisq \t.93\r\n"
            "p-value \t.99865\r\n"
            "df \t8\r\n"
            "D-stat \t00.0530\r\n"
            "Digit\tObserved\tExpected\r\n"
            "1\t35\t30\r\n2\t15\t18\r\n3\t12\t12\r\n4\t10\t10\r\n5\t8\t8\r\n"
            "6\t6\t7\r\n7\t5\t6\r\n8\t5\t5\r\n9\t4\t5\r\n");
}

TEST(Benford, ShapesOfTheOtherTests) {
  struct Shape {
    const char* type;
    int rows;
    int df;
  };
  for (const Shape& s : {Shape{"F2", 90, 89}, Shape{"L1", 10, 9}, Shape{"L2", 100, 99}, Shape{"D2", 10, 9}}) {
    cBenford b;
    b.btype(s.type);
    for (int i = 0; i < 500; ++i) b.AddObs(std::to_string(1000 + i * 37));
    b.Compute();
    EXPECT_EQ(b.DF(), s.df) << s.type;
    const std::string r = b.Report();
    int lines = 0;
    for (std::size_t p = 0; (p = r.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 7 + s.rows) << s.type;
  }
  cBenford d2;
  d2.btype("D2");
  for (int i = 0; i < 10; ++i) d2.AddObs("10");
  d2.Compute();
  EXPECT_EQ(d2.Expect(0), 1);   // 10 x 0.1196 = 1.196
  EXPECT_EQ(d2.pct(9), 0.085);
}

TEST(Benford, PerfectFitHasPValueOneAndNoHighDigit) {
  cBenford b;
  b.btype("L1");
  for (int d = 0; d <= 9; ++d)
    for (int n = 0; n < 3; ++n) b.AddObs(std::to_string(10 + d));
  b.Compute();
  EXPECT_EQ(b.chisq(), 0.0);
  EXPECT_EQ(b.HiDigit(), 0);
  EXPECT_NE(b.Report().find("p-value \t1.00000\r\n"), std::string::npos);
}

TEST(BenfordByKey, RecordsKeepFirstAppearanceAndCase) {
  cBA ba;
  ba.Item("A", 10);
  ba.Item("a", -5);
  ba.Item("A", 0);
  ba.Item("B", 2.5);
  EXPECT_EQ(ba.TotalCount(), 2);
  EXPECT_EQ(ba.ItemText(0), "A");
  EXPECT_EQ(ba.ItemText(1), "a");
  EXPECT_EQ(ba.ItemText(3), "");
  EXPECT_EQ(ba.ItemText(-1), "");
  EXPECT_EQ(ba.ItemCount(0), 2);
  EXPECT_EQ(ba.ItemAmount(0), 10);
  EXPECT_EQ(ba.ItemDRAmount(0), 10);
  EXPECT_EQ(ba.ItemCRAmount(0), 0);
  EXPECT_EQ(ba.ItemCRAmount(1), -5);
  EXPECT_EQ(ba.TotalAmount(), 7.5);
  EXPECT_EQ(cBA().TotalCount(), -1);
}

TEST(BenfordByKey, SummaryReportRunsAFirstDigitTestPerKey) {
  cBA ba;
  // Key X: 100 amounts with the tallies of the independent test above; key Y: too few.
  const int tallies[9] = {35, 15, 12, 10, 8, 6, 5, 5, 4};
  double total = 0;
  for (int d = 1; d <= 9; ++d)
    for (int n = 0; n < tallies[d - 1]; ++n) {
      ba.Item("X", d * 10.0);
      total += d * 10.0;
    }
  ba.Item("Y", 1234.5);
  ba.Item("Y", -20);
  EXPECT_EQ(ba.SummaryReport(),
            "Benford Summary Report\r\n"
            "Variable\tCount\tTotal\tChiSQ\td-stat\r\n"
            "X\t100\t3,280.00\t.9\t.053\r\n"
            "Y\t2\t1,214.50\t.0\t.\r\n"
            "Totals\t102\t4,494.50\r\n");
  EXPECT_EQ(total, 3280.0);
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// cBA tallies each amount's first digit straight from the double where that is exact; its
// summary must equal per-key cBenford tests fed the amounts' default texts, also next to the
// values where rounding to 15 digits carries into the first digit.
TEST(BenfordByKey, BatchedItemsEqualItemByItem) {
  // Batches of odd sizes; keys new to the summary and repeated within a batch; long keys.
  std::vector<std::string> keys;
  std::vector<double> amounts;
  std::uint32_t x = 12345;
  for (int i = 0; i < 30000; ++i) {
    x = x * 1103515245u + 12345u;
    std::string key = (x >> 8) % 5 == 0 ? "a-key-longer-than-the-inline-text-" : "V";
    key += std::to_string((x >> 12) % 3000);
    keys.push_back(key);
    amounts.push_back(static_cast<double>(static_cast<int>((x >> 4) % 200001) - 100000) / 100.0);
  }
  cBA one, batched;
  for (std::size_t i = 0; i < keys.size(); ++i) one.Item(keys[i], amounts[i]);
  std::vector<std::string_view> views(keys.begin(), keys.end());
  for (std::size_t from = 0, size = 1; from < views.size(); from += size, size = size * 5 % 71 + 1)
    batched.Items(views.data() + from, amounts.data() + from, std::min(size, views.size() - from));
  EXPECT_EQ(batched.TotalCount(), one.TotalCount());
  EXPECT_EQ(batched.TotalAmount(), one.TotalAmount());
  EXPECT_EQ(batched.SummaryReport(), one.SummaryReport());
}

TEST(BenfordByKey, PerKeyTestsEqualTestsFedTheDefaultTexts) {
  std::uint64_t s = 99;
  auto next = [&s] {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  };
  const double edges[] = {9.9999999999999995, 9.999999999999998, 1999.9999999999998, 0.99999999999999989,
                          1e-5,  999999999999999.9, 1e15, 1e22, 1e-22, 5e-300, 7.77e300, 0.1 + 0.2,
                          -0.0001, 1.0, 10.0, 100.0, 0.001};
  cBA ba;
  // About 20 amounts per key, so a single miscounted digit changes a key's figures.
  std::vector<cBenford> reference(2000);
  std::vector<std::string> keys(reference.size());
  for (std::size_t k = 0; k < keys.size(); ++k) keys[k] = std::to_string(k);
  for (int i = 0; i < 40000; ++i) {
    double v;
    const std::uint64_t r = next();
    if (i % 4 == 0) {
      v = edges[r % std::size(edges)] * ((r >> 8) % 2 ? -1.0 : 1.0);
      v = std::nextafter(v, (r >> 9) % 2 ? 1e308 : -1e308);
    } else if (i % 4 == 1) {
      std::uint64_t bits = next();
      std::memcpy(&v, &bits, sizeof v);
      if (!std::isfinite(v)) v = 3.5;
    } else {
      v = std::ldexp(static_cast<double>(r >> 11), static_cast<int>(next() % 140) - 120);
    }
    const std::size_t k = next() % keys.size();
    ba.Item(keys[k], v);
    reference[k].AddObs(NumText(v));
  }
  const std::string summary = ba.SummaryReport();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    reference[k].Compute();
    std::string row;
    row += "\r\n";
    row += keys[k];
    row += '\t';
    const std::size_t at = summary.find(row);
    ASSERT_NE(at, std::string::npos);
    const std::size_t end = summary.find("\r\n", at + 2);
    const std::string line = summary.substr(at + 2, end - at - 2);
    std::string tail;
    tail += '\t';
    tail += FormatNumber(reference[k].chisq(), "##,###.0");
    tail += '\t';
    tail += FormatNumber(reference[k].dstat(), "#.####");
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
  }
}

}  // namespace
}  // namespace tarnwick
