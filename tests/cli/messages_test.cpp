// What the runner says when a run fails, or when a figure cannot be computed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_support.h"

namespace {

using namespace cli_test;

std::string Temp(const std::string& name) { return ::testing::TempDir() + "/messages_" + name; }

// The value after "label\t" on its line of a report.
std::string Field(const std::string& report, const std::string& label) {
  const std::size_t at = report.find(label + "\t");
  if (at == std::string::npos || (at > 0 && report[at - 1] != '\n'))
    return "<missing " + label + ">";
  const std::size_t from = at + label.size() + 1;
  return report.substr(from, report.find('\n', from) - from);
}

TEST(Messages, EngineErrorsNameTheRowAndItsValues) {
  const std::string big = Temp("big.tsv"), sum = Temp("sum.tsv");
  WriteFile(big, "Amount\tKey\n100\tA\n1e20\tB\n5\tC\n");
  WriteFile(sum, "Amount\tKey\n900000000000000\tA\n900000000000000\tA\n5\tC\n");
  struct Case {
    std::string line, err;
  };
  const std::vector<Case> cases = {
      // Rows count the header as row 1, as the engine's own file messages do.
      {"ST file=" + big + " col=Amount strata=\"0 100\"",
       "Error 6: Overflow on row: 3 in file: " + big + " (Amount: 1e20)"},
      {"CM file=" + big + " col=Amount J=500 R=1 RN=1 sample=" + Temp("s.tsv"),
       "Error 6: Overflow on row: 3 in file: " + big + " (Amount: 1e20)"},
      // A key summary takes rows in batches: the row is still the one with the amount.
      {"SU file=" + big + " col=Key amount=Amount",
       "Error 6: Overflow: the amount on row: 3 in file: " + big +
           " (Amount: 1E+20) is beyond the fixed-point range"},
      {"PO file=" + big + " col=Key amount=Amount",
       "Error 6: Overflow: the amount on row: 3 in file: " + big +
           " (Amount: 1E+20) is beyond the fixed-point range"},
      // Each amount fits; their total does not.
      {"SU file=" + sum + " col=Key amount=Amount",
       "Error 6: Overflow: while adding rows: 2 to 4 in file: " + sum},
      {"UN file=" + sum + " col=Amount",
       "Error 6: Overflow on row: 3 in file: " + sum + " (Amount: 900000000000000)"},
      {"UN file=" + big + " col=Amount cond=\"$Key = Z\"",
       "Error 11: Division by zero (no rows were selected)"},
  };
  for (const Case& c : cases) {
    const Result r = Tarnwick({c.line});
    EXPECT_EQ(r.status, 1) << c.line;
    EXPECT_EQ(r.err, c.err + "\n") << c.line;
  }
}

TEST(Messages, UnivariateStatisticsOfOneValueKeepWhatCanBeComputed) {
  const std::string file = Temp("one.tsv");
  WriteFile(file, "Amount\n250\n");
  const Result r = Tarnwick({"UN file=" + file + " col=Amount"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Field(r.out, "Mean: "), "250.00");
  EXPECT_EQ(Field(r.out, "N: "), "1");
  EXPECT_EQ(Field(r.out, "Std Dev: "), "n/a (needs 2 or more amounts)");
  EXPECT_EQ(Field(r.out, "Kurtosis: "), "n/a (needs 4 or more amounts)");
  EXPECT_NE(r.out.find("250.00\t250.00\t1\t250.00\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1\t250\tn/a\t1\t250\tn/a\n"), std::string::npos) << r.out;
}

// Past --max-in-memory the external sort has no figures for amounts that are all equal; the
// message says why and what to do instead.
TEST(Messages, ExternalSortOfEqualAmountsSaysWhy) {
  const std::string file = Temp("equal.tsv");
  WriteFile(file, "Amount\n50\n50\n50\n50\n");
  const Result r = Tarnwick({"--max-in-memory", "2", "UN file=" + file + " col=Amount"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(
      r.err,
      "Error 11: Division by zero: the external sort's statistics need amounts that differ: all 4 "
      "amounts are 50; with --max-in-memory above that count the report marks what cannot be "
      "computed (at the end of the run, after 4 selected rows)\n");
  const Result in = Tarnwick({"UN file=" + file + " col=Amount"});
  EXPECT_EQ(in.status, 0) << in.err;
  EXPECT_EQ(Field(in.out, "Skewness: "), "n/a (the amounts are all equal)");
}

TEST(Messages, PeriodThatTotalsZeroHasNoShares) {
  const std::string file = Temp("ks.tsv");
  WriteFile(file, "Acct\tP1\tP2\nA\t0\t5\nB\t0\t6\n");
  const Result r = Tarnwick({"KS file=" + file + " acct=Acct col1=P1 col2=P2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Two-period comparison of P1 and P2\nAccount\tPeriod 1\tPeriod 2\tCum % 1\tCum % "
            "2\tDifference\n"
            "A\t.00\t5.00\tn/a\tn/a\tn/a\nB\t.00\t6.00\tn/a\tn/a\tn/a\nTotals\t.00\t11.00\n"
            "D-stat\tn/a (period 1 totals 0)\nLargest difference at\tn/a (period 1 totals 0)\n");
}

}  // namespace
