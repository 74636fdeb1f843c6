// How the workbook presents the figures: shares as percentages, Benford's unrounded expected
// counts, labelled histogram bins and their log axis, ageing columns over band labels, fitted
// column widths.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tarnwick/audit/benford.h"
#include "tarnwick/audit/stratify.h"
#include "tarnwick/core/date.h"
#include "workbook.h"
#include "xlsx_reader.h"

namespace {

namespace fs = std::filesystem;
using tarnwick::cli::AgeBandLabel;
using tarnwick::cli::BinLabels;
using tarnwick::cli::ReportWorkbook;
using tarnwick::cli::SkewedCounts;

const std::string kDash = "\xE2\x80\x93";

TEST(BinLabels, CompactBoundsWithEnoughDigitsToTellThemApart) {
  struct Case {
    std::vector<std::pair<double, double>> bins;
    std::vector<std::string> expected;
  } cases[] = {
      {{{-86087.76, 4412.81}, {4412.81, 94913.37}, {909418.47, 999919.04}},
       {"-86.1k " + kDash + " 4.41k", "4.41k " + kDash + " 94.9k", "909k " + kDash + " 1000k"}},
      {{{0, 0.5}, {0.5, 1}}, {"0 " + kDash + " 0.5", "0.5 " + kDash + " 1"}},
      {{{1.5e6, 2.25e9}}, {"1.5M " + kDash + " 2.25bn"}},
      // Three digits would read 1k - 1k: four tell the bounds apart, in every label.
      {{{1000.1, 1000.7}, {1000.7, 1001.3}},
       {"1.0001k " + kDash + " 1.0007k", "1.0007k " + kDash + " 1.0013k"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.front());
    EXPECT_EQ(BinLabels(c.bins), c.expected);
  }
}

TEST(SkewedCounts, MoreThanFiftyTimesTheSmallestNonzeroBar) {
  struct Case {
    std::vector<double> counts;
    bool skewed;
  } cases[] = {
      {{1675, 751, 167, 90, 21, 28}, true},  // 79.8 times
      {{50, 1}, false},                      // exactly 50 times: still linear
      {{51, 1}, true},
      {{100, 0, 0, 3}, false},  // zeros are left out: 33 times
      {{10, 12, 9, 11}, false},
      {{0, 0}, false},
      {{}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SkewedCounts(c.counts), c.skewed) << ::testing::PrintToString(c.counts);
  }
}

TEST(AgeBandLabel, AgesInDaysBeforeTheAgeingDate) {
  const double asOf = tarnwick::Date::FromYmd(2023, 12, 31)->serial();
  struct Case {
    double start, end;
    std::string expected;
  } cases[] = {
      {asOf - 30, asOf, "1" + kDash + "30"},
      {asOf - 60, asOf - 30, "31" + kDash + "60"},
      {asOf - 1, asOf, "1"},                     // bands one day wide
      {asOf, asOf + 30, "in 0" + kDash + "29"},  // dated from the ageing date on
      {asOf + 30, asOf + 60, "in 30" + kDash + "59"},
      {asOf - 1200, asOf - 1170, "1171+"},  // the oldest band holds everything older
      {asOf + 1200, asOf + 1230, "in 1200+"},
      // A band not lined up with the ageing date keeps its dates.
      {asOf - 45, asOf - 15, "11/16/2023 " + kDash + " 12/16/2023"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AgeBandLabel(asOf, c.start, c.end), c.expected) << c.expected;
  }
}

class Polish : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnwick_polish_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

// The width set for column `col` (1-based) of a sheet; 0 when none is set.
double ColumnWidth(const xlsx_test::Xlsx& x, int sheet, int col) {
  const std::string xml = x.Part("xl/worksheets/sheet" + std::to_string(sheet) + ".xml");
  const std::regex re("<col min=\"" + std::to_string(col) + "\" max=\"" + std::to_string(col) +
                      "\" width=\"([0-9.]+)\"");
  std::smatch m;
  return std::regex_search(xml, m, re) ? std::stod(m[1]) : 0.0;
}

// True when cell `ref` of a sheet is set on the right by its style.
bool RightAligned(const xlsx_test::Xlsx& x, int sheet, const std::string& ref) {
  const std::string xml = x.Part("xl/worksheets/sheet" + std::to_string(sheet) + ".xml");
  std::smatch m;
  if (!std::regex_search(xml, m, std::regex("<c r=\"" + ref + "\" s=\"(\\d+)\""))) return false;
  const std::size_t style = std::stoul(m[1]);
  const std::string styles = x.Part("xl/styles.xml");
  const std::string xfs = styles.substr(styles.find("<cellXfs"));
  const std::regex xf("<xf [^>]*?(/>|>.*?</xf>)");
  std::size_t k = 0;
  for (auto it = std::sregex_iterator(xfs.begin(), xfs.end(), xf); it != std::sregex_iterator();
       ++it, ++k) {
    if (k == style) return it->str().find("horizontal=\"right\"") != std::string::npos;
  }
  return false;
}

TEST_F(Polish, HeadingsOverNumbersAreSetOnTheRight) {
  const std::string path = Path("align.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("RN", "RN",
               "Round Number report:\r\nDigits\tCount\tPct\r\nNot Round\t2,984\t99.47%\r\n"
               "1\t1\t.03%\r\n");
  wb.AddReport(
      "SA", "SA",
      "Attribute Sample Size\r\nPopulation\t3000\r\nSize from\tthe normal approximation\r\n"
      "Required sample size\t73\r\n");
  wb.AddReport("PO", "PO", "Pareto\r\nKey\tAbsolute total\r\nV1\t5.00\r\nV2\t4.00\r\n");
  wb.Close();
  const xlsx_test::Xlsx x(path);
  EXPECT_FALSE(RightAligned(x, 1, "A2"));  // over "Not Round"
  EXPECT_TRUE(RightAligned(x, 1, "B2"));
  EXPECT_TRUE(RightAligned(x, 1, "C2"));
  EXPECT_FALSE(RightAligned(x, 2, "B3"));  // a verdict, not a heading
  EXPECT_TRUE(RightAligned(x, 3, "B2"));
  // Round numbers: 2,984 against 1 is skewed, so the count axis is logarithmic.
  const auto charts = x.Charts();
  ASSERT_EQ(charts.size(), 1u);
  EXPECT_NE(charts[0].find("<c:logBase val=\"10\"/>"), std::string::npos);
}

TEST_F(Polish, SharesShowAsPercentagesAndKeepTheirFraction) {
  tarnwick::cStratify strata;
  ASSERT_EQ(strata.stratum("0 1000 5000"), 3);
  for (double a : {-5.0, 250.0, 1000.0, 1000.01, 4999.5, 7000.0}) strata.AddObs(a);
  const std::string ks =
      "Two-period comparison of P1 and P2\r\n"
      "Account\tPeriod 1\tPeriod 2\tCum % 1\tCum % 2\tDifference\r\n"
      "A\t50.00\t50.00\t50.00%\t25.00%\t0.25000\r\n"
      "B\t50.00\t150.00\t100.00%\t100.00%\t0.00000\r\n"
      "Totals\t100.00\t200.00\r\n"
      "D-stat\t0.25000\r\n";
  const std::string sa =
      "Attribute Sample Size\r\nPopulation\t3000\r\nConfidence\t0.95\r\n"
      "Expected error rate\t0.05\r\nPrecision\t0.0639227131027897\r\n";
  const std::string path = Path("shares.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("ST", "ST", strata.Report());
  wb.AddReport("KS", "KS", ks);
  wb.AddReport("SA", "SA", sa);
  wb.AddReport("XX", "XX", "Label\tPct\r\nA\t.5000\r\n");  // no share rule for this command
  wb.Close();

  const xlsx_test::Xlsx x(path);
  struct Expect {
    int sheet;
    const char* ref;
    const char* format;
    double value;
  } cases[] = {
      // Stratum 0 to 1000: 1,250.00 of the total 14,244.51, and the cumulative share.
      {1, "E4", "0.00%", 0.0878},
      {1, "F4", "0.00%", 0.0874},
      {1, "F3", "0.00%", -0.0004},
      {2, "D3", "0.00%", 0.5},
      {2, "F3", "0.000%", 0.25},
      {2, "B6", "0.000%", 0.25},  // the D-stat beside its label
      {2, "B3", "0.00", 50},      // amounts stay amounts
      {3, "B3", "0%", 0.95},
      {3, "B4", "0%", 0.05},
      {3, "B5", "0.0000%", 0.0639227131027897},
      {3, "B2", "0", 3000},
      {4, "B2", "#.0000", 0.5},
  };
  // The cumulative shares' axis ends at 100 %.
  const auto charts = x.Charts();
  ASSERT_EQ(charts.size(), 2u);
  bool capped = false;
  for (const std::string& c : charts) {
    capped |= c.find("KS!$D$3:$D$4") != std::string::npos &&
              c.find("<c:max val=\"1\"/>") != std::string::npos;
  }
  EXPECT_TRUE(capped);
  for (const Expect& e : cases) {
    SCOPED_TRACE(std::to_string(e.sheet) + " " + e.ref);
    const xlsx_test::CellXml c = x.Cell(e.sheet, e.ref);
    EXPECT_EQ(c.type, "");
    EXPECT_EQ(c.format, e.format);
    EXPECT_DOUBLE_EQ(std::stod(c.value), e.value);
  }
}

TEST_F(Polish, BenfordExpectedCountsKeepTheirDecimals) {
  tarnwick::cBenford benford;
  for (int i = 1; i <= 300; ++i) benford.AddObs(std::to_string(i * 37 % 9973) + ".25");
  benford.Compute();
  const std::string path = Path("be.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("BE", "BE", benford.Report());
  wb.Close();

  const xlsx_test::Xlsx x(path);
  EXPECT_EQ(x.Cell(1, "D7").value, "Expected (exact)");
  // 300 observations times log10(1 + 1/d), beside the report's rounded 90 and 14.
  const xlsx_test::CellXml one = x.Cell(1, "D8"), nine = x.Cell(1, "D16");
  EXPECT_EQ(one.format, "#,##0.00");
  EXPECT_NEAR(std::stod(one.value), 90.30899869919436, 1e-9);
  EXPECT_NEAR(std::stod(nine.value), 13.727247168202544, 1e-9);
  EXPECT_EQ(x.Cell(1, "C8").value, "90");
  // The proportions of the Z table as percentages.
  EXPECT_EQ(x.Cell(1, "C32").format, "0.000%");
}

TEST_F(Polish, ABenfordTableWithoutItsProportionsGetsNoExactColumn) {
  const std::string report =
      "Benford Report\r\nDigit\tObserved\tExpected\r\n1\t30\t30\r\n2\t18\t18\r\n";
  const std::string path = Path("bare.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("BE", "BE", report);
  wb.Close();
  const xlsx_test::Xlsx x(path);
  EXPECT_EQ(x.Cell(1, "D2").value, "");
  EXPECT_EQ(x.Cell(1, "D3").value, "");
}

std::string Histogram(const std::vector<int>& counts) {
  std::string r = "Histogram Report: \r\nBin Start\tBin End\tCount\tAmt\r\n";
  for (std::size_t i = 0; i < counts.size(); ++i) {
    r += std::to_string(i * 1000) + ".00\t" + std::to_string((i + 1) * 1000) + ".00\t" +
         std::to_string(counts[i]) + "\t1.00\r\n";
  }
  return r;
}

TEST_F(Polish, HistogramBinsAreLabelledAndSkewedCountsGetALogAxis) {
  const std::string path = Path("un.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("Skewed", "UN", Histogram({1675, 751, 21, 0}));
  wb.AddReport("Flat", "UN", Histogram({40, 35, 30, 2}));  // 20 times: linear
  wb.Close();

  const xlsx_test::Xlsx x(path);
  EXPECT_EQ(x.Cell(1, "E2").value, "Bin");
  EXPECT_EQ(x.Cell(1, "E3").value, "0 " + kDash + " 1k");
  EXPECT_EQ(x.Cell(1, "E6").value, "3k " + kDash + " 4k");
  const auto charts = x.Charts();
  ASSERT_EQ(charts.size(), 2u);
  int logAxes = 0;
  for (const std::string& c : charts) {
    const bool log = c.find("<c:logBase val=\"10\"/>") != std::string::npos;
    logAxes += log;
    if (c.find("Skewed!$E$3:$E$6") != std::string::npos) {
      EXPECT_TRUE(log);
      EXPECT_NE(c.find("Count (log scale)"), std::string::npos);
    } else {
      EXPECT_NE(c.find("Flat!$E$3:$E$6"), std::string::npos);
      EXPECT_FALSE(log);
    }
  }
  EXPECT_EQ(logAxes, 1);
}

TEST_F(Polish, AgeingIsColumnsOverBandLabels) {
  const std::string report =
      "Ageing Report as of \t12/31/2023\r\n"
      "Start\tEnd\tAmount\r\n"
      "11/1/2023\t12/1/2023\t18,275,903.11\r\n"
      "12/1/2023\t12/31/2023\t22,040,880.70\r\n"
      "12/31/2023\t1/30/2024\t5.00\r\n"
      "Totals\t\t40,316,788.81\r\n";
  const std::string path = Path("ar.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("AR", "AR", report);
  wb.Close();
  const xlsx_test::Xlsx x(path);
  EXPECT_EQ(x.Cell(1, "D3").value, "31" + kDash + "60");
  EXPECT_EQ(x.Cell(1, "D4").value, "1" + kDash + "30");
  EXPECT_EQ(x.Cell(1, "D5").value, "in 0" + kDash + "29");
  EXPECT_EQ(x.Cell(1, "D6").value, "");  // not the totals line
  const auto charts = x.Charts();
  ASSERT_EQ(charts.size(), 1u);
  EXPECT_NE(charts[0].find("<c:barChart>"), std::string::npos);
  EXPECT_NE(charts[0].find("<c:barDir val=\"col\"/>"), std::string::npos);
  EXPECT_EQ(charts[0].find("<c:lineChart>"), std::string::npos);
  EXPECT_NE(charts[0].find("<c:f>AR!$D$3:$D$5</c:f>"), std::string::npos);
  EXPECT_NE(charts[0].find("<c:f>AR!$C$3:$C$5</c:f>"), std::string::npos);
}

TEST_F(Polish, ColumnsAreFittedToWhatTheyShow) {
  const std::string report =
      "A title far longer than any column it starts in, which runs over\r\n"
      "Name\tAmount\tPct\tNote\r\n"
      "abc\t1,234,567.89\t.0018\tlonger text that ends its line\r\n"
      "a much longer name here\t5.00\t1.0000\r\n";
  const std::string path = Path("widths.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("ST", "ST", report);  // Pct is a share in a stratification
  wb.Close();
  const xlsx_test::Xlsx x(path);
  // "a much longer name here": 23 characters; "1,234,567.89": 12; "100.00%" (1.0000): 7.
  EXPECT_NEAR(ColumnWidth(x, 1, 1), 23 * 1.1 + 2, 1.0);
  EXPECT_NEAR(ColumnWidth(x, 1, 2), 12 * 1.1 + 2, 1.0);
  EXPECT_NEAR(ColumnWidth(x, 1, 3), 7 * 1.1 + 2, 1.0);
  // The note ends its line and runs over; the title does not widen column A.
  EXPECT_NEAR(ColumnWidth(x, 1, 4), 8.43, 1.0);
  EXPECT_EQ(x.Cell(1, "C3").format, "0.00%");
}

}  // namespace
