#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/stats/cross_tab.h"

namespace tarnwick {
namespace {

TEST(CrossTab, CountAndAmountTablesInOrderOfFirstAppearance) {
  cXtab x;
  x.AddItem("A", "X", 10);
  x.AddItem("A", "Y", 5);
  x.AddItem("B", "X", 2.5);
  EXPECT_EQ(x.XtabResults(0), " \tX\tY\r\nA\t1\t1\t\r\nB\t1\t0\t\r\n");
  EXPECT_EQ(x.XtabResults(1), " \tX\tY\r\nA\t10\t5\t\r\nB\t2.5\t0\t\r\n");
  // Counts [[1,1],[1,0]]: chi-square 0.75 on one degree of freedom; expected counts below 1
  // make the test unreliable, but Cramer's phi is still sqrt(0.75 / 3). The p-value is
  // erfc(sqrt(0.375)).
  EXPECT_EQ(x.XtabChiSq(),
            "Chi Square: \t.75\r\n"
            "DF: \t1\r\n"
            "Cramer's phi: \t.5000\r\n"
            "p-value: \t.386476\r\n");
  std::string report = "Cross Tabs Report: \r\n";
  report += x.XtabChiSq();
  report += "\r\nCounts: \r\n";
  report += x.XtabResults(0);
  report += "\r\nAmounts: \r\n";
  report += x.XtabResults(1);
  report += "\r\n";
  EXPECT_EQ(x.Report(), report);
}

TEST(CrossTab, ChiSquareOfATwoByTwoTable) {
  // [[10, 20], [30, 40]]: chi-square 0.793651, phi sqrt(chi/100) = 0.0891, p = erfc(sqrt(chi/2)).
  cXtab x;
  const int counts[2][2] = {{10, 20}, {30, 40}};
  const char* rows[2] = {"r1", "r2"};
  const char* cols[2] = {"c1", "c2"};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int n = 0; n < counts[i][j]; ++n) x.AddItem(rows[i], cols[j], 1.25);
  EXPECT_EQ(x.XtabChiSq(),
            "Chi Square: \t.79\r\n"
            "DF: \t1\r\n"
            "Cramer's phi: \t.0891\r\n"
            "p-value: \t.372998\r\n");
  EXPECT_EQ(x.XtabResults(1), " \tc1\tc2\r\nr1\t12.5\t25\t\r\nr2\t37.5\t50\t\r\n");
}

// A small expected count sets the validity warning, but Cramer's phi is still computed: a
// strong association does not read as none. Figures from scipy.stats.chi2_contingency.
TEST(CrossTab, SmallExpectedCellsKeepCramersPhi) {
  struct Case {
    std::vector<std::vector<int>> counts;
    const char* section;
  };
  const Case cases[] = {
      // expected 1 x 1 / 19 = 0.05 in the corner; chi2 38, phi sqrt(38 / (19 x 2)) = 1
      {{{9, 0, 0}, {0, 9, 0}, {0, 0, 1}},
       "Chi Square: \t38.00\r\nDF: \t4\r\nCramer's phi: \t1.0000\r\np-value: \t.000000\r\n"},
      // smallest expected 2.7, six of nine cells below 6; chi2 39.237863, phi .8086806
      {{{0, 9, 1}, {8, 0, 1}, {1, 1, 9}},
       "Chi Square: \t39.24\r\nDF: \t4\r\nCramer's phi: \t.8087\r\np-value: \t.000000\r\n"},
      // expected 1 x 1 / 7 = 0.14; chi2 7, phi 1, p .0081510
      {{{6, 0}, {0, 1}},
       "Chi Square: \t7.00\r\nDF: \t1\r\nCramer's phi: \t1.0000\r\np-value: \t.008151\r\n"},
  };
  for (const Case& c : cases) {
    cXtab x;
    const std::string labels = "012";
    for (std::size_t i = 0; i < c.counts.size(); ++i)
      for (std::size_t j = 0; j < c.counts[i].size(); ++j)
        for (int n = 0; n < c.counts[i][j]; ++n)
          x.AddItem(labels.substr(i, 1), labels.substr(j, 1), 1);
    EXPECT_EQ(x.XtabChiSq(), c.section);
  }
}

TEST(CrossTab, LabelsAreCaseSensitive) {
  cXtab x;
  x.AddItem("a", "X", 1);
  x.AddItem("A", "X", 1);
  x.AddItem("a", "x", 1);
  EXPECT_EQ(x.XtabResults(0), " \tX\tx\r\na\t1\t1\t\r\nA\t1\t0\t\r\n");
}

TEST(CrossTab, BeyondThirtyValuesItemsAreLeftOutNotMisfiled) {
  cXtab x;
  std::string label;
  for (int i = 0; i < 35; ++i) {
    label.clear();
    label.push_back('R');
    label += std::to_string(i);
    x.AddItem(label, "C", 1);
  }
  for (int j = 0; j < 32; ++j) {
    label.clear();
    label.push_back('K');
    label += std::to_string(j);
    x.AddItem("R0", label, 2);
  }
  // rows R30..R34 and columns K29..K31 have no place
  EXPECT_EQ(x.LeftOut(), 5 + 3);
  EXPECT_EQ(x.LeftOutAmount(), 5 * 1 + 3 * 2);
  const std::string counts = x.XtabResults(0);
  EXPECT_EQ(counts.find("R30"), std::string::npos);
  EXPECT_EQ(counts.find("K29"), std::string::npos);  // C plus K0..K28 fill the 30 columns
  EXPECT_NE(counts.find("K28"), std::string::npos);
  // Row R29 holds exactly its own item: one in column C and nothing else.
  const std::size_t at = counts.find("\r\nR29\t");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(counts.substr(at + 2, 10), "R29\t1\t0\t0\t");
  EXPECT_NE(x.Report().find("Items left out (more than 30 row or column values): \t8\t11\r\n"),
            std::string::npos);
}

TEST(CrossTab, EmptyTableIsAnArithmeticError) {
  cXtab x;
  EXPECT_EQ(x.XtabResults(0), " \t\r\n");
  try {
    (void)x.Report();
    FAIL() << "an empty cross-tabulation has no chi-square";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::DivisionByZero);
  }
}

}  // namespace
}  // namespace tarnwick
