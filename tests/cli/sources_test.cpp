// End-to-end tests of the workbook and ODBC sources: the same ledger as a workbook written by
// xlsxwriter (tests/testdata/workbooks/make_workbooks.py), as a range of a worksheet, as an SQLite
// database read through the SQLite ODBC driver and as a PostgreSQL table gives byte for byte
// the reports of the tab-separated file; bad input is refused with its message and status and
// without output.
//
// The PostgreSQL cases need the server that scripts/pg-test-server.sh starts (CI does, through
// .ci/run) and are skipped when TARNWICK_TEST_PG_CONN is not set.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "cli_support.h"

namespace fs = std::filesystem;
using namespace cli_test;

namespace {

std::string Book(const std::string& name) {
  return std::string(TARNWICK_SOURCE_DIR) + "/tests/testdata/workbooks/" + name;
}

const Table& Data() {
  static const Table t = ReadTable(Ledger());
  return t;
}

// Commands that between them read every kind of column: amounts, keys, dates, and the filter.
const char* const kCommands[] = {
    "BE col=Amount type=F2",
    "BA col=Vendor amount=Amount",
    "SU col=Account amount=Amount",
    "DU col=CheckNum amount=Amount",
    "HO col=InvDate",
    "WD col=InvDate",
    "UN col=Amount",
    "ST col=Amount strata=\"0 100 1000 10000\"",
    "LU col=Phone",
    "EX cond=\"$Amount < 20 AND $Account = 6150 AND $InvDate >= 3/1/2023\"",
};

void ExpectSameReports(const std::string& source) {
  for (const char* args : kCommands) {
    const Result file = Tarnwick({"--raw", std::string(args) + " file=" + Ledger()});
    const Result other = Tarnwick({"--raw", std::string(args) + " " + source});
    ASSERT_EQ(file.status, 0) << args << file.err;
    EXPECT_EQ(other.status, 0) << args << " " << other.err;
    EXPECT_EQ(other.err, "") << args;
    EXPECT_EQ(other.out, file.out) << args << " from " << source;
  }
}

std::string PgConn() {
  const char* c = std::getenv("TARNWICK_TEST_PG_CONN");
  return c ? c : "";
}

}  // namespace

TEST(WorkbookSource, ReportsEqualTheTabSeparatedFile) {
  ExpectSameReports("file=" + Book("ledger.xlsx"));
  // The 1904 date system moves every serial by 1462 days; the dates read the same.
  ExpectSameReports("ds=file file=" + Book("ledger1904.xlsx"));
  // The range at B3 stops at the empty row above the total, and at the empty column before
  // the note.
  ExpectSameReports("ds=rng file=" + Book("ledger.xlsx") + " sheet=range ulc=B3");
}

TEST(WorkbookSource, CellKindsBecomeTheTextsTheEngineReads) {
  // Shared, rich and inline strings; a 17-digit number and a formula's stored number in their
  // shortest form; date cells by built-in and custom format (not a format whose letters are
  // quoted or bracketed); booleans; an error value; a missing row as a blank row; cells and a
  // row without references; an ISO date cell; the 1900 system's 29 February (serial 60) and
  // 28 February (59). The hidden first sheet is passed over; F7 lies beyond the header.
  const Result r = Tarnwick({"--raw", "EX file=" + Book("kinds.xlsx") + " cond=\"1=1\""});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Name\tAmount\tWhen\tPaid\tFormula\r\n"
            "Acme & Co\t726578.08\t7/5/2023\tTRUE\t1453156.16\r\n"
            "x, \"quoted\"\t1e+16\t7/5/2023 1:30:00 PM\tFALSE\tx, \"quoted\"!\r\n"
            "\t\t\t\t\r\n"
            "after a gap\t-0.0001\t2/29/1900\t\t#N/A\r\n"
            "no refs\t7\t7/5/2023 6:00:00 AM\t12.5\t\r\n"
            "\t\t2/28/1900\t\t\r\n");
  // A range from B1: four columns, down to the first empty row (row 4 is missing).
  const Result rng = Tarnwick(
      {"--raw", "EX ds=rng file=" + Book("kinds.xlsx") + " sheet=KINDS ulc=$B$1 cond=\"1=1\""});
  ASSERT_EQ(rng.status, 0) << rng.err;
  EXPECT_EQ(rng.out,
            "Amount\tWhen\tPaid\tFormula\r\n"
            "726578.08\t7/5/2023\tTRUE\t1453156.16\r\n"
            "1e+16\t7/5/2023 1:30:00 PM\tFALSE\tx, \"quoted\"!\r\n");
  // A named hidden sheet is read when asked for.
  const Result hidden =
      Tarnwick({"--raw", "EX file=" + Book("kinds.xlsx") + " sheet=hidden cond=\"1=1\""});
  EXPECT_EQ(hidden.status, 0) << hidden.err;
  EXPECT_EQ(hidden.out, "Secret\r\n1\r\n");
}

TEST(WorkbookSource, TextExportNamedXlsIsReadAsText) {
  const std::string xls = Temp("export.xls");
  WriteFile(xls, ReadAll(Ledger()));
  const Result file = Tarnwick({"--raw", "UN col=Amount file=" + Ledger()});
  const Result text = Tarnwick({"--raw", "UN col=Amount file=" + xls});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out, file.out);
}

TEST(WorkbookSource, ErrorValueInAnAmountStopsTheRunNamingTheCell) {
  const Result r = Tarnwick({"UN file=" + Book("divzero.xlsx") + " col=Amount"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error 13: Type mismatch: Col: Amount on row: 6 in file: " +
                       Book("divzero.xlsx") + " sheet: Ledger not numeric: #DIV/0!\n");
}

namespace {

struct BadBook {
  const char* name;
  std::string line;
  std::string message;  // the whole message, or its start when `prefix`
  bool prefix = false;
};

std::vector<BadBook> BadBooks() {
  const std::string L = Book("ledger.xlsx");
  const std::string K = Book("kinds.xlsx");
  const std::string truncated = Temp("truncated.xlsx");
  const std::string notZip = Temp("text.xlsx");
  const std::string flipped = Temp("flipped.xlsx");
  const std::string headerOnly = Temp("header_only.xlsx");
  return {
      {"TruncatedZip", "UN file=" + truncated + " col=Amount",
       "Workbook: " + truncated + " is damaged: not a readable zip archive (", true},
      {"TextNamedXlsx", "UN file=" + notZip + " col=Amount",
       "Workbook: " + notZip + " is damaged: not a readable zip archive (Not a zip archive)"},
      {"DamagedSheetData", "UN file=" + flipped + " col=Amount",
       "Workbook: " + flipped + " is damaged: xl/worksheets/sheet1.xml: ", true},
      {"Encrypted", "UN file=" + Book("encrypted.xlsx") + " col=Amount",
       "Workbook: " + Book("encrypted.xlsx") +
           " is protected by a password (encrypted): save it without a password to read it"},
      {"OldBinary", "UN file=" + Book("old.xls") + " col=Amount",
       "Workbook: " + Book("old.xls") +
           " is an old binary .xls workbook, which is not read: save it as .xlsx"},
      {"NoSuchSheet", "UN file=" + L + " sheet=Payments col=Amount",
       "Workbook: " + L + " has no sheet named Payments (its sheets: Ledger, Range)"},
      {"NoHeaderAtTheCell", "UN ds=rng file=" + L + " sheet=Range ulc=C2 col=Amount",
       "Workbook: " + L + ": sheet Range has no header at C2 (the cell is empty)"},
      {"HeaderAlone", "UN ds=rng file=" + K + " sheet=Kinds ulc=F7 col=Amount",
       "Workbook: " + K + ": the range at F7 has a header and no rows below it"},
      {"NotACell", "UN ds=rng file=" + L + " sheet=Range ulc=3B col=Amount",
       "ulc=3B is not a cell reference such as B3"},
      {"RangeOfATextFile", "UN ds=rng file=" + Ledger() + " sheet=Range ulc=B3 col=Amount",
       "Data source: ds=rng reads a range of an .xlsx workbook; file: " + Ledger() +
           " is not a workbook"},
      {"RangeWithoutItsCells", "UN ds=rng file=" + L + " col=Amount", "missing: sheet= ulc= "},
      {"RangeInCapitalsWithoutItsCell", "UN ds=RNG file=" + L + " sheet=Range col=Amount",
       "missing: ulc= "},
      {"MissingColumn", "UN file=" + L + " col=Amt",
       "Col: Amt in file: " + L +
           " sheet: Ledger not found; the columns are: Vendor, InvNum, InvDate, Amount, Account, "
           "CheckNum, Phone"},
      {"Selection", "UN ds=sel col=Amount",
       "Data source: ds=sel reads the spreadsheet's current selection and needs the spreadsheet; "
       "use ds=file, ds=rng (a range of an .xlsx workbook) or ds=db"},
  };
}

void MakeBadBooks() {
  const std::string good = ReadAll(Book("ledger.xlsx"));
  WriteFile(Temp("truncated.xlsx"), good.substr(0, good.size() / 2));
  WriteFile(Temp("text.xlsx"), "Vendor\tAmount\nV1\t10\n");
  // Bytes in the middle of the first sheet's compressed data changed: the zip's directory is
  // intact, the damage shows only while the sheet is read.
  std::string bad = good;
  const std::size_t at = bad.find("xl/worksheets/sheet1.xml");
  ASSERT_NE(at, std::string::npos);
  for (std::size_t k = at + 30000; k < at + 30064; ++k) bad[k] = static_cast<char>(bad[k] ^ 0x5A);
  WriteFile(Temp("flipped.xlsx"), bad);
}

class BadBookTest : public ::testing::TestWithParam<BadBook> {};

}  // namespace

TEST_P(BadBookTest, IsRefusedWithItsMessageAndNoOutput) {
  MakeBadBooks();
  const BadBook& c = GetParam();
  const Result r = Tarnwick({c.line});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(r.out, "");
  if (c.prefix) {
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
  } else {
    EXPECT_EQ(r.err, c.message + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Workbooks, BadBookTest, ::testing::ValuesIn(BadBooks()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OdbcSource, SqliteThroughItsOdbcDriverReadsLikeTheFile) {
  const std::string db = Temp("ledger.db");
  MakeDb(db, Data());
  ExpectSameReports("ds=db conn=\"Driver=SQLite3;Database=" + db +
                    "\" sql=\"select * from payments\"");
  // NULL is an empty value, which the date test refuses during the run.
  const Result nulls = Tarnwick(
      {"WD ds=db conn=\"Driver=SQLite3;Database=" + db + "\" sql=\"select NULL as d\" col=d"});
  EXPECT_EQ(nulls.status, 1);
  EXPECT_EQ(
      nulls.err,
      "Error 13: Type mismatch: Col: d on row: 2 in query: select NULL as d not a date value:\n");
}

TEST(OdbcSource, FailuresNameTheDriverAndNeverThePassword) {
  const std::string db = Temp("ledger.db");
  MakeDb(db, Data());
  struct Case {
    std::string line, start;
  };
  const Case cases[] = {
      {"UN ds=db conn=\"Driver=NoSuchDriver;PWD=hunter2\" sql=\"select 1\" col=Amount",
       "Database: cannot connect through ODBC: [unixODBC][Driver Manager]Can't open lib "
       "'NoSuchDriver'"},
      {"UN ds=db conn=\"DSN=nowhere;UID=a;Password={hun;ter2}\" sql=\"select 1\" col=Amount",
       "Database: cannot connect through ODBC: [unixODBC][Driver Manager]Data source name not "
       "found"},
      {"UN ds=db conn=\"Driver=SQLite3;Database=" + db +
           ";PWD=hunter2\" sql=\"select Amount from nowhere\" col=Amount",
       "Database: the query failed: "},
  };
  for (const Case& c : cases) {
    const Result r = Tarnwick({c.line});
    EXPECT_EQ(r.status, 2) << c.line;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(c.start, 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("hunter2"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("ter2"), std::string::npos) << r.err;
  }
}

TEST(OdbcSource, PostgresTableReadsLikeTheFile) {
  const std::string conn = PgConn();
  if (conn.empty()) GTEST_SKIP() << "TARNWICK_TEST_PG_CONN is not set (scripts/pg-test-server.sh)";
  // The table types its columns (date, numeric, integer): dates come back as dates.
  ExpectSameReports("ds=db conn=\"" + conn + "\" sql=\"select * from payments\"");
  // Letters beyond ASCII, a timestamp, NULL, and a text longer than the driver's declared size,
  // through a cursor.
  const Result r = Tarnwick(
      {"--raw", "EX ds=db conn=\"" + conn +
                    ";UseDeclareFetch=1;Fetch=2\" cond=\"1=1\" sql=\"select "
                    "'Zoë Ωmega 😀' as name, timestamp '2023-07-05 13:30:00' as at, NULL as n, "
                    "length(repeat('é', 9000)) as len, length(repeat('é', 9000)) = 9000 as ok\""});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "name\tat\tn\tlen\tok\r\nZoë Ωmega 😀\t7/5/2023 1:30:00 PM\t\t9000\t1\r\n");
  const Result lng =
      Tarnwick({"--raw", "EX ds=db conn=\"" + conn +
                             "\" cond=\"1=1\" sql=\"select repeat('é', 9000) as a\""});
  ASSERT_EQ(lng.status, 0) << lng.err;
  std::string want = "a\r\n";
  for (int k = 0; k < 9000; ++k) want += "é";
  EXPECT_EQ(lng.out, want + "\r\n");
}

TEST(OdbcSource, PostgresRefusedLoginAndDroppedConnection) {
  const std::string conn = PgConn();
  if (conn.empty()) GTEST_SKIP() << "TARNWICK_TEST_PG_CONN is not set (scripts/pg-test-server.sh)";
  const std::size_t pwd = conn.find("PWD=");
  ASSERT_NE(pwd, std::string::npos);
  const std::string wrong = conn.substr(0, pwd) + "PWD=Wr0ngSecret";
  const Result refused = Tarnwick({"UN ds=db conn=\"" + wrong + "\" sql=\"select 1 as a\" col=a"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("password authentication failed for user \"tarnwick\""),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.err.find("Wr0ngSecret"), std::string::npos) << refused.err;

  // The server ends the session while the rows are being fetched (ten at a time from the
  // server, in blocks to the runner): an error of the run, after some rows were read, and no
  // report.
  const Result dropped = Tarnwick(
      {"UN ds=db conn=\"" + conn +
       ";UseDeclareFetch=1;Fetch=10\" col=x sql=\"select g as x, case when g = 1000 "
       "then pg_terminate_backend(pg_backend_pid()) end as k from generate_series(1, 2000) g\""});
  EXPECT_EQ(dropped.status, 1);
  EXPECT_EQ(dropped.out, "");
  EXPECT_TRUE(std::regex_search(
      dropped.err, std::regex("^Database: reading the query failed after [1-9][0-9]* rows: ")))
      << dropped.err;
  EXPECT_NE(dropped.err.find("The connection has been lost"), std::string::npos) << dropped.err;
  EXPECT_EQ(dropped.err.find(conn.substr(pwd + 4)), std::string::npos);
}
