#include "tarnwick/data/column_spec.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tarnwick/core/error.h"
#include "tarnwick/data/print_conversion.h"
#include "tarnwick/platform/file_system.h"
#include "temp_files.h"

namespace tarnwick {
namespace {

using testing::TempDir;

TEST(ColumnSpecLine, MessagesOfTheFirstFailingRule) {
  struct Case {
    const char* line;
    const char* status;
  } cases[] = {
      {"", "Missing 4 columns"},
      {"Name\t1\t10", "Missing 1 columns"},
      {"Name", "Missing 3 columns"},
      {"\t1\t10\tA", "missing column name "},
      {"Name\tx1\t10\tA", "non numeric starting position x1"},
      {"Name\t0\t10\tA", "start must be positive integer 0"},
      {"Name\t-3\t10\tA", "start must be positive integer -3"},
      {"Name\t0.4\t10\tA", "start must be positive integer 0.4"},  // rounds to 0
      {"Name\t1\tten\tA", "non numeric size ten"},
      {"Name\t1\t0\tA", "size must be positive integer 0"},
      {"Name\t1\t10\tpct", "PCT is not a valid format specification"},
      {"Name\t1\t10\tYMD", "YMD is not a valid format specification"},
      {"When\t1\t6\tYMD8", "Width for date too small"},
      {"When\t1\t4\tD", "Width for date too small"},
      {"When\t1\t5\tMDY6", "Width for date too small"},
      {"When\t1\t5\tmdy", "(None)"},
      {"When\t1\t6\t dmy6 ", "(None)"},
      {"Amount\t1.5\t2.5\tN\textra", "(None)"},  // 2 and 2, halves to even
      {"Name\t 7 \t1\tA", "(None)"},
  };
  for (const Case& c : cases) EXPECT_EQ(FixedWidthSpec::ValidateLine(c.line), c.status) << c.line;
  std::int32_t start = 0, size = 0;
  FixedWidthSpec::ValidateLine("Amount\t1.5\t2.5\tN", &start, &size);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(size, 2);
}

TEST(ColumnSpecLoad, LoadsColumnsKindsAndListing) {
  TempDir t;
  const std::string f = t.Write("spec.txt",
                                "Caption\r\nName\t1\t10\tA\r\nAmount\t11\t8\tN\r\nLow\t19\t3\tn\r\n"
                                "When\t22\t8\tymd8\r\nPlain\t30\t10\td\r\n");
  FixedWidthSpec s;
  s.Load(f);
  ASSERT_TRUE(s.SpecValid());
  EXPECT_EQ(s.LineStatus(), "(None)");
  EXPECT_EQ(s.MaxStart(), 30);
  ASSERT_EQ(s.Columns().size(), 5u);
  EXPECT_EQ(s.Columns()[1].kind, 1);
  EXPECT_EQ(s.Columns()[2].kind, 0);  // lower-case n validates but loads as text
  EXPECT_EQ(s.Columns()[3].kind, 2);
  EXPECT_EQ(s.Columns()[4].kind, 0);
  EXPECT_EQ(s.Listing(),
            "ColSpecs: \r\n"
            "Name: Name\tStart: 1\tLength: 10\tType: A\tColt: 0\r\n"
            "Name: Amount\tStart: 11\tLength: 8\tType: N\tColt: 1\r\n"
            "Name: Low\tStart: 19\tLength: 3\tType: n\tColt: 0\r\n"
            "Name: When\tStart: 22\tLength: 8\tType: ymd8\tColt: 2\r\n"
            "Name: Plain\tStart: 30\tLength: 10\tType: d\tColt: 0\r\n");
}

TEST(ColumnSpecLoad, InvalidFileKeepsEarlierColumnsAndLastStatus) {
  TempDir t;
  FixedWidthSpec s;
  s.Load(t.Write("good.txt", "Caption\nName\t1\t10\tA\n"));
  ASSERT_TRUE(s.SpecValid());
  // the bad line is not the last one, so the status is "(None)" but the file is invalid
  s.Load(t.Write("bad.txt", "Caption\nA\t1\t2\tpct\nB\t3\t4\tA\n"));
  EXPECT_FALSE(s.SpecValid());
  EXPECT_EQ(s.LineStatus(), "(None)");
  ASSERT_EQ(s.Columns().size(), 1u);
  EXPECT_EQ(s.Columns()[0].name, "Name");

  s.Load(t.Write("bad2.txt", "Caption\nA\t1\t2\tA\nB\t3\n"));
  EXPECT_EQ(s.LineStatus(), "Missing 2 columns");
  s.Load(t.Path("nowhere.txt"));
  EXPECT_FALSE(s.SpecValid());
  EXPECT_EQ(s.Log(), "File not found: " + t.Path("nowhere.txt") + "\r\n");
}

TEST(ColumnSpecDate, Conversions) {
  struct Case {
    const char* value;
    const char* code;
    const char* converted;
    bool valid;
  } cases[] = {
      {"1/5/2008", "MDY", "01/05/2008", true},
      {"2008-12-31", "ymd", "12/31/2008", true},
      {"31.12.07", "DMY", "12/31/07", true},
      {"a1b/5x/20y08", "MDY", "01/05/2008", true},  // other characters are ignored
      {"1/5", "MDY", "01/05/00", false},
      {"1/2/3/4/5/6", "MDY", "01/02/03", false},               // more groups than are held
      {"99999999999999/1/1", "MDY", "999999999/01/01", true},  // capped, never overflows
      {"010501", "MDY6", "01/05/01", true},
      {"070131", "YMD6", "01/31/07", true},
      {"310107", "DYM6", "07/31/01", true},  // D first, Y second, M third
      {"01050", "MDY6", "", false},
      {"0105xx", "MDY6", "", false},
      {"20071231", "YMD8", "12/31/2007", true},
      {"20073112", "YDM8", "12/31/2007", true},
      {"31122007", "DMY8", "12/31/2007", true},
      {"12312007", "MDY8", "12/31/2007", true},
      {"2007123", "YMD8", "", false},
      {"1E101231", "YMD8", "", false},  // a group beyond a Long is not a part
      {"anything", "D", "anything", true},
  };
  for (const Case& c : cases) {
    FixedWidthSpec s;
    EXPECT_EQ(s.ConvertDate(c.value, c.code), c.converted) << c.value << " " << c.code;
    if (std::string_view(c.code) != "D") {
      EXPECT_EQ(s.PartsValid(), c.valid) << c.value;
    }
  }
  FixedWidthSpec s;
  s.ConvertDate("20071231", "YMD8");
  EXPECT_EQ(s.ConvertDate("whatever", "XYZ"), "12/31/2007");  // unknown code: unchanged
  EXPECT_TRUE(s.PartsValid());
}

// Name 1-10, Amount 11-18 (N), When 19-26 (MDY8).
constexpr const char* kSpec =
    "Layout\r\nName\t1\t10\tA\r\nAmount\t11\t8\tN\r\nWhen\t19\t8\tMDY8\r\n";

// One print line in that layout: name left-aligned, amount right-aligned, date as given.
std::string P(std::string name, std::string amount, std::string date, std::string tail = "") {
  name.resize(10, ' ');
  amount.insert(0, amount.size() < 8 ? 8 - amount.size() : 0, ' ');
  date.resize(8, ' ');
  return name + amount + date + tail + "\r\n";
}

struct ConvRun {
  TempDir t;
  FixedWidthSpec s;
  std::string in, out;
  explicit ConvRun(const std::string& data) {
    s.Load(t.Write("spec.txt", kSpec));
    in = t.Write("in.prn", data);
    out = t.Path("out.txt");
    s.InputFile(in);
    s.InputExists(FileExists(in));
    s.OutFile(out);
  }
};

TEST(ConversionRun, CountersLogOutputAndReport) {
  ConvRun r("PRINT HEADER\r\n" + P("Alice", "100.50", "12312007") + P("Bob", "oops", "13452007") +
            "short\r\n" + P("", "-12.25", "") + P("Carol", "1,000.00", "01012008", " tail"));
  r.s.SkipRows(1);
  r.s.Process(false);
  EXPECT_EQ(r.s.RowsProcessed(), 4);
  EXPECT_EQ(r.s.NumericErrors(), 1);
  EXPECT_EQ(r.s.DateErrors(), 1);
  EXPECT_EQ(r.s.Log(),
            "At row  2 : oops is non-numeric Col: \tAmount\r\n"
            "At row: 2 13452007Col: \tWhen\t is not a date  converted: 13/45/2007\r\n");
  EXPECT_EQ(TempDir::Read(r.out),
            "Name\tAmount\tWhen\t\r\n"
            "Alice     \t  100.50\t12312007\t\r\n"
            "Bob       \t    oops\t13452007\t\r\n"
            "          \t  -12.25\t        \t\r\n"
            "Carol     \t1,000.00\t01012008\t\r\n");
  // Name counts blanks too (4 rows); Amount 3 numbers; When: raw 12312007 is not a date text.
  EXPECT_EQ(r.s.Report(),
            "\r\nProcess Report: \r\n"
            "Data Source:\t" +
                r.in +
                "\r\n"
                "File Spec:\t" +
                r.t.Path("spec.txt") +
                "\r\n"
                "Output:\t" +
                r.out +
                "\r\n"
                "Skip Rows:\t1\r\nMax Obs:\t0\r\nMax Allowed Errors:\t20\r\n"
                "Rows processed:\t4\r\n"
                "Data conversion errors - numeric: \t1\r\n"
                "Data conversion errors - date: \t1\r\n"
                "Totals for \tAmount\t1,088.25\r\n"
                "Counts for \tAmount\t3\r\n"
                "Counts for \tWhen\t0\r\n" +
                r.s.Log() + "\r\n");
}

TEST(ConversionRun, MaxObsStopsAndUncountsTheExtraRow) {
  std::string data;
  for (int i = 0; i < 10; ++i) data += P("Row" + std::to_string(i), "1.00", "");
  ConvRun r(data);
  r.s.MaxObs(3);
  r.s.Process(false);
  EXPECT_EQ(r.s.RowsProcessed(), 3);
  const std::string out = TempDir::Read(r.out);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4);  // header + 3 rows
  EXPECT_NE(r.s.Report().find("Rows processed:\t3\r\n"), std::string::npos);
  EXPECT_NE(r.s.Report().find("Totals for \tAmount\t3.00\r\n"), std::string::npos);
}

TEST(ConversionRun, MaxErrorsStopsAfterTheRowThatReachesIt) {
  std::string data;
  for (int i = 0; i < 25; ++i) data += P("Name", "bad", "");
  ConvRun r(data);
  r.s.Process(false);
  EXPECT_EQ(r.s.TotalErrors(), 20);
  EXPECT_EQ(r.s.RowsProcessed(), 20);
  const std::string& log = r.s.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 9);
  const std::string out = TempDir::Read(r.out);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 21);

  // a second run adds to the counters: it stops after its first row
  r.s.Process(false);
  EXPECT_EQ(r.s.TotalErrors(), 21);
  EXPECT_EQ(r.s.RowsProcessed(), 21);
  r.s.Reset();
  EXPECT_EQ(r.s.RowsProcessed(), 0);
  EXPECT_EQ(r.s.MaxErrors(), 20);
  EXPECT_FALSE(r.s.SpecValid());
  EXPECT_EQ(r.s.Log(), "");
}

TEST(ConversionRun, OutputThatCannotBeCreatedIsLoggedAndNothingRuns) {
  ConvRun r("Alice       100.50 12312007\n");
  r.s.OutFile(r.t.Path("no/such/dir/out.txt"));
  r.s.Process(false);
  EXPECT_EQ(r.s.Log(), "Can't create file: " + r.t.Path("no/such/dir/out.txt") + "\r\n");
  EXPECT_EQ(r.s.RowsProcessed(), 0);
  // the input named as output is refused rather than truncated
  r.s.ClearLog();
  r.s.OutFile(r.in);
  r.s.Process(false);
  EXPECT_EQ(r.s.Log(), "Can't create file: " + r.in + "\r\n");
  EXPECT_EQ(TempDir::Read(r.in), "Alice       100.50 12312007\n");
}

TEST(ConversionRun, OverflowingTotalRaisesAndLeavesNoOutput) {
  ConvRun r(P("Big", "9.99E+17", "") + P("Big", "9.99E+17", ""));
  try {
    r.s.Process(false);
    FAIL() << "no overflow";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
  EXPECT_FALSE(FileExists(r.out));
}

TEST(ConversionRun, NothingWithoutInputOrValidSpec) {
  ConvRun r("Alice       100.50 12312007\n");
  r.s.InputExists(false);
  r.s.Process(false);
  EXPECT_FALSE(FileExists(r.out));
}

TEST(PrintConversion, RunTSVReportsAndAccumulates) {
  TempDir t;
  const std::string spec = t.Write("spec.txt", kSpec);
  const std::string in =
      t.Write("in.prn", P("Alice", "100.50", "12312007") + P("Bob", "20.25", "01012008"));
  const std::string out = t.Path("out.txt");
  cTSV c;
  std::string rep = c.RunTSV(in, spec, out, 0, 0, 20);
  EXPECT_TRUE(c.ValidFile());
  EXPECT_TRUE(c.ValidSpec());
  EXPECT_EQ(c.Error(), "(None)");
  EXPECT_NE(rep.find("Rows processed:\t2\r\n"), std::string::npos);
  EXPECT_NE(rep.find("Totals for \tAmount\t120.75\r\n"), std::string::npos);
  EXPECT_EQ(TempDir::Read(out),
            "Name\tAmount\tWhen\t\r\nAlice     \t  100.50\t12312007\t\r\nBob       \t   "
            "20.25\t01012008\t\r\n");
  rep = c.RunTSV(in, spec, out, 0, 0, 20);
  EXPECT_NE(rep.find("Rows processed:\t4\r\n"), std::string::npos);
  // reloading the specification starts its totals and counts afresh; the rows go on
  EXPECT_NE(rep.find("Totals for \tAmount\t120.75\r\nCounts for \tAmount\t2\r\n"),
            std::string::npos);
}

TEST(PrintConversion, MissingFilesAreLoggedAndNothingIsWritten) {
  TempDir t;
  const std::string in = t.Write("in.prn", "Alice       100.50 12312007\n");
  cTSV c;
  std::string rep = c.RunTSV(in, t.Path("nospec.txt"), t.Path("out.txt"), 0, 0, 20);
  EXPECT_NE(rep.find("File not found: " + t.Path("nospec.txt") + "\r\n"), std::string::npos);
  EXPECT_FALSE(FileExists(t.Path("out.txt")));

  cTSV d;
  d.FileSpec(t.Write("spec.txt", kSpec));
  d.FileName(t.Path("missing.prn"));
  EXPECT_FALSE(d.ValidFile());
  d.OutFile(t.Path("out.txt"));
  d.Process();
  EXPECT_EQ(
      d.ErrorReport(),
      "\r\nProcess Report: \r\nData Source:\t" + t.Path("missing.prn") + "\r\nFile Spec:\t" +
          t.Path("spec.txt") + "\r\nOutput:\t" + t.Path("out.txt") +
          "\r\nSkip Rows:\t0\r\nMax Obs:\t0\r\nMax Allowed Errors:\t20\r\nRows processed:\t0\r\n"
          "Data conversion errors - numeric: \t0\r\nData conversion errors - date: \t0\r\n"
          "Totals for \tAmount\t.00\r\n"
          "File not found: " +
          t.Path("missing.prn") + "\r\n\r\n");
  EXPECT_FALSE(FileExists(t.Path("out.txt")));
}

TEST(PrintConversion, CvtAndTestReport) {
  cTSV c;
  EXPECT_EQ(c.Cvt("12.50", "N"), "12.5");
  EXPECT_EQ(c.Cvt("12.50", "a"), "12.50");
  EXPECT_EQ(c.Cvt("abc", "N"), "N/A");
  EXPECT_EQ(c.Cvt("12/31/2007", "d"), "12/31/2007");
  EXPECT_EQ(c.Cvt("1-5-08", "D"), "1/5/2008");
  EXPECT_EQ(c.Cvt("nope", "D"), "N/A");
  EXPECT_EQ(c.Cvt("20071231", "ymd8"), "12/31/2007");
  EXPECT_TRUE(c.Valid());
  EXPECT_EQ(c.TSVReport("20071231"),
            "Test convert: \r\nValidity: True\r\nInput: 20071231\r\nFormatted: 12/31/2007\r\n"
            "Converted date: 12/31/2007\r\n");
  EXPECT_EQ(c.Cvt("2007123", "YMD8"), "");
  EXPECT_FALSE(c.Valid());
  try {
    (void)c.TSVReport("2007123");
    FAIL() << "no type mismatch";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::TypeMismatch);
  }
}

TEST(PrintConversion, FileNameClearsTheLogAndSettingsTakeAnyValue) {
  TempDir t;
  cTSV c;
  c.FileSpec(t.Path("nospec.txt"));
  c.FileName(t.Write("in.prn", "x\n"));
  EXPECT_EQ(c.Spec().Log(), "");
  c.MaxObs(std::string("12"));
  c.SkipRows(2.5);  // halves to even
  EXPECT_EQ(c.Spec().MaxObs(), 12);
  EXPECT_EQ(c.Spec().SkipRows(), 2);
  EXPECT_THROW(c.MaxErrors(std::string("many")), EngineError);
}

}  // namespace
}  // namespace tarnwick
