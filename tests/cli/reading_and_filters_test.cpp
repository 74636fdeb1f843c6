// End-to-end tests of how the runner reads files and selects rows: one-column files, quoted
// comma-separated fields, byte-order marks, text constants in filters, LEFT/RIGHT on numbers,
// and rows on which the filter cannot be evaluated.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "cli_support.h"

using namespace cli_test;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// The value after "label" on its own line of a report.
std::string Line(const std::string& report, const std::string& label) {
  const std::size_t at = report.find(label);
  if (at == std::string::npos) return "<no " + label + ">";
  const std::size_t end = report.find_first_of("\r\n", at);
  return report.substr(at + label.size(), end - at - label.size());
}

// A one-column tab file has a header without TAB and without comma. Its amounts with grouping
// commas were read as comma-separated fields: 1 + 2 + 3 + 100 = 106.00. The sum of the four
// amounts is 683481/100 (exact fractions).
TEST(Reading, OneColumnFileIsTabDelimited) {
  const std::string body = "Amount\n1,234.56\n2,500.00\n3,000.25\n100.00\n";
  for (const std::string& prefix : {std::string(), kBom}) {
    const std::string f = Temp(prefix.empty() ? "one.tsv" : "one-bom.tsv");
    WriteFile(f, prefix + body);
    const Result r = Tarnwick({"--raw", "UN file=" + f + " col=Amount"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Line(r.out, "Sum: \t"), "6,834.81") << prefix.size();
    EXPECT_EQ(Line(r.out, "N: \t"), "4");
    EXPECT_EQ(Line(r.out, "Max: \t"), "3,000.25");
  }
}

// Quoted fields as spreadsheets write them: a line break inside quotes stays in the field and
// the record goes on (it was cut in two and one row was lost), a doubled quote is one quote.
TEST(Reading, QuotedCommaSeparatedFields) {
  const std::string f = Temp("quoted.csv");
  WriteFile(f, kBom +
                   "Vendor,Memo,Amount\r\n"
                   "\"Acme \"\"West\"\"\",\"line one\r\nline two\",10.50\r\n"
                   "Beta,plain,\"1,000.25\"\r\n"
                   "\"Gamma, Ltd\",,5\r\n");
  const Result un = Tarnwick({"--raw", "UN file=" + f + " col=Amount"});
  ASSERT_EQ(un.status, 0) << un.err;
  EXPECT_EQ(Line(un.out, "N: \t"), "3");
  EXPECT_EQ(Line(un.out, "Sum: \t"), "1,015.75");  // 10.50 + 1,000.25 + 5

  const Result ex = Tarnwick({"--raw", "EX file=" + f + " cond=\"$Amount > 0\""});
  ASSERT_EQ(ex.status, 0) << ex.err;
  EXPECT_EQ(ex.out,
            "Vendor\tMemo\tAmount\r\n"
            "Acme \"West\"\tline one\nline two\t10.50\r\n"
            "Beta\tplain\t1,000.25\r\n"
            "Gamma, Ltd\t\t5\r\n");

  // the names and values the filter sees are the unquoted ones
  const Result sel =
      Tarnwick({"--raw", "EX file=" + f + " cond=\"$Vendor = 'Gamma, Ltd' OR $Memo = 'plain'\""});
  ASSERT_EQ(sel.status, 0) << sel.err;
  EXPECT_EQ(sel.out, "Vendor\tMemo\tAmount\r\nBeta\tplain\t1,000.25\r\nGamma, Ltd\t\t5\r\n");

  // a quote never closed is reported with the line where its record begins (the header is line 1)
  const std::string open = Temp("open.csv");
  WriteFile(open, "Vendor,Amount\nA,1\n\"B,2\nC,3\n");
  const Result bad = Tarnwick({"UN file=" + open + " col=Amount"});
  EXPECT_EQ(bad.status, 2);  // found while the first rows are read for their types
  EXPECT_EQ(bad.err, "Line 3 has a quoted field that is not closed (file: " + open + ")\n");
}

// RIGHT of a cheque number substituted as "100301." took "1.", so "= 01" matched every cheque
// ending in 1: 301 rows of the sample ledger instead of 31.
TEST(Filters, RightOfANumberUsesItsDigits) {
  const Table t = ReadTable(Ledger());
  const int check = t.Col("CheckNum");
  int want = 0;
  for (const auto& row : t.rows)
    want += row[static_cast<std::size_t>(check)].size() >= 2 &&
            row[static_cast<std::size_t>(check)].substr(
                row[static_cast<std::size_t>(check)].size() - 2) == "01";
  ASSERT_EQ(want, 31);
  const Result r = Tarnwick({"--raw", "EX file=" + Ledger() + " cond=\"RIGHT($CheckNum,2) = 01\""});
  ASSERT_EQ(r.status, 0) << r.err;
  std::size_t lines = 0;
  for (std::size_t p = r.out.find("\r\n"); p != std::string::npos; p = r.out.find("\r\n", p + 2))
    ++lines;
  EXPECT_EQ(lines, 1u + 31u);
  EXPECT_EQ(r.err, "");
  const Result left =
      Tarnwick({"--raw", "EX file=" + Ledger() + " cond=\"LEFT($CheckNum,6) = 100301\""});
  EXPECT_NE(left.out.find("\t100301\t"), std::string::npos) << left.out;
  EXPECT_EQ(std::count(left.out.begin(), left.out.end(), '\n'), 2) << left.out;
}

// Text constants in single quotes are compared exactly as written; bare constants keep their
// meaning (a number compares as a number, a word without regard to case).
TEST(Filters, TextConstantsInSingleQuotes) {
  const std::string f = Temp("ids.tsv");
  WriteFile(
      f, "InvNum\tVendor\tAmount\n000496\tAcme, Inc.\t1\n496\tacme, inc.\t2\n0496\tO'Brien\t3\n");
  struct Case {
    std::string cond, rows;
  };
  for (const Case& c : std::vector<Case>{
           {"$InvNum = '000496'", "000496\tAcme, Inc.\t1\r\n"},
           {"$InvNum = 496", "000496\tAcme, Inc.\t1\r\n496\tacme, inc.\t2\r\n0496\tO'Brien\t3\r\n"},
           {"$Vendor = 'Acme, Inc.'", "000496\tAcme, Inc.\t1\r\n"},
           {"$Vendor = 'O''Brien'", "0496\tO'Brien\t3\r\n"},
           {"$InvNum <> '0496' AND $Amount > 1", "496\tacme, inc.\t2\r\n"},
           {"LEFT($Vendor,4) = 'Acme'", "000496\tAcme, Inc.\t1\r\n"},
       }) {
    const Result r = Tarnwick({"--raw", "EX file=" + f + " cond=\"" + c.cond + "\""});
    ASSERT_EQ(r.status, 0) << c.cond << ": " << r.err;
    EXPECT_EQ(r.out, "InvNum\tVendor\tAmount\r\n" + c.rows) << c.cond;
    EXPECT_EQ(r.err, "") << c.cond;
  }
}

// Letters beyond ASCII are upper-cased and compared without regard to case.
TEST(Filters, LettersBeyondAscii) {
  const std::string f = Temp("names.tsv");
  WriteFile(f, "Name\tAmount\ncafé\t1\nCAFÉ\t2\ncafe\t3\nStraße\t4\n");
  struct Case {
    std::string cond, rows;
  };
  for (const Case& c : std::vector<Case>{
           {"$Name = café", "café\t1\r\nCAFÉ\t2\r\n"},
           {"UCASE($Name) = \"STRASSE\"", "Straße\t4\r\n"},
           {"LCASE($Name) = 'café'", "café\t1\r\nCAFÉ\t2\r\n"},
       }) {
    const Result r = Tarnwick({"--raw", "EX file=" + f + " cond=\"" + c.cond + "\""});
    ASSERT_EQ(r.status, 0) << c.cond << ": " << r.err;
    EXPECT_EQ(r.out, "Name\tAmount\r\n" + c.rows) << c.cond;
  }
}

// A division by zero inside a comparison answered TRUE on what was left of the stack, so EX
// wrote every row to its sample while saying that none could be evaluated.
TEST(Filters, RowsThatCannotBeEvaluatedAreNotSelected) {
  const std::string sample = Temp("sample.tsv");
  const Result r =
      Tarnwick({"--raw", "EX file=" + Ledger() + " cond=\"$Amount / 0 < 1\" sample=" + sample});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Line(r.out, "Rows read\t"), "3000");
  EXPECT_EQ(Line(r.out, "Rows selected\t"), "0");
  EXPECT_EQ(r.err, "Filter: 3000 rows could not be evaluated and were not selected\n");
  EXPECT_EQ(ReadAll(sample), "Vendor\tInvNum\tInvDate\tAmount\tAccount\tCheckNum\tPhone\r\n");

  // a function outside its domain on some rows: those rows only, and the run goes on
  const std::string f = Temp("signed.tsv");
  WriteFile(f, "Amount\n100\n-4\n10000\n0\n");
  const Result sq = Tarnwick({"--raw", "EX file=" + f + " cond=\"SQR($Amount) >= 10\""});
  ASSERT_EQ(sq.status, 0) << sq.err;
  EXPECT_EQ(sq.out, "Amount\r\n100\r\n10000\r\n");
  EXPECT_EQ(sq.err, "Filter: 1 rows could not be evaluated and were not selected\n");
}

}  // namespace
