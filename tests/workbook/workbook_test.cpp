#include "workbook.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tarnwick/audit/ageing.h"
#include "tarnwick/audit/benford.h"
#include "tarnwick/audit/misc.h"
#include "tarnwick/audit/stratify.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/error.h"
#include "tarnwick/stats/amount_array.h"
#include "xlsx_reader.h"

namespace {

namespace fs = std::filesystem;
using tarnwick::EngineError;
using tarnwick::ErrorCode;
using tarnwick::cli::CellValue;
using tarnwick::cli::ClassifyCell;
using tarnwick::cli::ReportWorkbook;
using tarnwick::cli::SheetName;
using Kind = CellValue::Kind;

// ---- cell texts -------------------------------------------------------------------------

struct CellCase {
  const char* text;
  Kind kind;
  double value;
  const char* format;
};

TEST(ClassifyCell, ReportNumbersBecomeNumbersWithAFormatShowingTheSameText) {
  const CellCase cases[] = {
      {"1,234.50", Kind::Number, 1234.5, "#,##0.00"},
      {"-1,234,567", Kind::Number, -1234567, "#,##0"},
      {"12", Kind::Number, 12, "0"},
      {"0", Kind::Number, 0, "0"},
      {".50000", Kind::Number, 0.5, "#.00000"},
      {"-.5", Kind::Number, -0.5, "#.0"},
      {"00.0530", Kind::Number, 0.053, "00.0000"},
      {"07", Kind::Number, 7, "00"},
      {"12.50%", Kind::Number, 0.125, "0.00%"},
      {"100.00%", Kind::Number, 1.0, "0.00%"},
      {"1.", Kind::Number, 1, "0."},
      {".", Kind::Number, 0, "#."},
      {"1.5E+15", Kind::Number, 1.5e15, "0.0E+00"},
      {"1E-05", Kind::Number, 1e-5, "0E+00"},
      {"123456789012345", Kind::Number, 123456789012345.0, "0"},
      {"92,233,720,368.4775", Kind::Number, 92233720368.4775, "#,##0.0000"},
  };
  for (const CellCase& c : cases) {
    SCOPED_TRACE(c.text);
    const CellValue v = ClassifyCell(c.text);
    EXPECT_EQ(v.kind, c.kind);
    EXPECT_DOUBLE_EQ(v.number, c.value);
    EXPECT_EQ(v.format, c.format);
  }
}

TEST(ClassifyCell, CodesLabelsAndMalformedNumbersStayText) {
  for (const char* t : {"00123",
                        "0,123",
                        "1,23",
                        "1,2345",
                        ",123",
                        "123,",
                        "1,,234",
                        "-",
                        "$5",
                        " 5",
                        "5 ",
                        "+5",
                        "1.2.3",
                        "1E",
                        "12%%",
                        "%",
                        "Totals",
                        "High digit ",
                        "1234567890123456",
                        "922,337,203,685,477.5807",
                        "1/2",
                        "Sunday: "}) {
    SCOPED_TRACE(t);
    EXPECT_EQ(ClassifyCell(t).kind, Kind::Text);
  }
  EXPECT_EQ(ClassifyCell("").kind, Kind::Blank);
}

TEST(ClassifyCell, DefaultDateTextsBecomeDateSerials) {
  const CellCase cases[] = {
      {"12/31/2007", Kind::Date, 39447, "m/d/yyyy"},
      {"1/5/2008", Kind::Date, 39452, "m/d/yyyy"},
      {"3/1/1900", Kind::Date, 61, "m/d/yyyy"},
      {"12/31/2007 3:04:05 PM", Kind::Date, 39447 + (15 * 3600 + 4 * 60 + 5) / 86400.0,
       "m/d/yyyy h:mm:ss AM/PM"},
      {"1/1/2000 12:00:00 AM", Kind::Date, 36526, "m/d/yyyy h:mm:ss AM/PM"},
      // Before March 1900 the spreadsheet's serials differ by its phantom 29 February.
      {"2/28/1900", Kind::Text, 0, ""},
      {"2/30/2007", Kind::Text, 0, ""},
      {"13/1/2007", Kind::Text, 0, ""},
      {"12/31/07", Kind::Text, 0, ""},
      {"12/31/2007 13:00:00 PM", Kind::Text, 0, ""},
  };
  for (const CellCase& c : cases) {
    SCOPED_TRACE(c.text);
    const CellValue v = ClassifyCell(c.text);
    EXPECT_EQ(v.kind, c.kind);
    EXPECT_DOUBLE_EQ(v.number, c.value);
    EXPECT_EQ(v.format, c.format);
  }
}

// ---- sheet names ------------------------------------------------------------------------

TEST(SheetName, MadeValidShortAndUnique) {
  const std::string thirtyFive = "Benford test of the vendor payments";  // 35 characters
  struct Case {
    std::string wanted, fallback;
    std::vector<std::string> taken;
    std::string expected;
  } cases[] = {
      {"Sales", "BE", {}, "Sales"},
      {"a/b\\c[d]e:f*g?h", "BE", {}, "a_b_c_d_e_f_g_h"},
      {"'quoted'", "BE", {}, "quoted"},
      {"", "BE", {}, "BE"},
      {"", "", {}, "Report"},
      {"::", "", {}, "__"},
      {thirtyFive, "BE", {}, thirtyFive.substr(0, 31)},
      {"sales", "BE", {"Sales"}, "sales (2)"},
      {"Sales", "BE", {"Sales", "Sales (2)"}, "Sales (3)"},
      {thirtyFive, "BE", {thirtyFive.substr(0, 31)}, thirtyFive.substr(0, 27) + " (2)"},
      {"History", "BE", {}, "History (2)"},
      // Not UTF-8 (a Latin-1 e acute) is read as Latin-1; characters, not bytes, are counted.
      {"Caf\xE9", "BE", {}, "Caf\xC3\xA9"},
      {std::string(40, '\xE9'),
       "BE",
       {},
       [] {
         std::string s;
         for (int i = 0; i < 31; ++i) s += "\xC3\xA9";
         return s;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wanted);
    EXPECT_EQ(SheetName(c.wanted, c.fallback, c.taken), c.expected);
  }
}

// ---- workbooks --------------------------------------------------------------------------

class WorkbookFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnwick_workbook_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir_;
};

bool HasChart(const std::vector<std::string>& charts, const std::string& kind,
              const std::vector<std::string>& refs) {
  for (const std::string& c : charts) {
    bool all = c.find("<c:" + kind + ">") != std::string::npos;
    for (const std::string& r : refs)
      all = all && c.find("<c:f>" + r + "</c:f>") != std::string::npos;
    if (all) return true;
  }
  return false;
}

TEST_F(WorkbookFile, EngineReportsBecomeSheetsWithTypedCellsAndCharts) {
  using namespace tarnwick;
  cBenford benford;
  for (int i = 1; i <= 300; ++i) benford.AddObs(std::to_string(i * 37 % 9973) + ".25");
  benford.Compute();

  cStratify strata;
  ASSERT_EQ(strata.stratum("0 1000 5000"), 3);
  for (double a : {-5.0, 250.0, 1000.0, 1000.01, 4999.5, 7000.0}) strata.AddObs(a);

  cDoubleArray amounts;
  for (int i = 1; i <= 100; ++i) amounts.AddItem(i * 1.5);
  // The runner's UN report: statistics, histogram and extremes, one after the other.
  const std::string un =
      amounts.StatReport() + "\r\n" + amounts.HistoReport() + "\r\n" + amounts.OLReport();

  cAge age;
  age.AgeingDate("12/31/2007");
  for (const auto& [y, m, d, amt] :
       {std::tuple{2007, 12, 31, 100.0}, std::tuple{2007, 12, 1, 50.5},
        std::tuple{2007, 11, 30, 25.0}, std::tuple{2008, 2, 15, 10.0}}) {
    age.AddItem(*Date::FromYmd(y, m, d), amt);
  }

  cMisc misc;
  for (const char* t : {"100", "250", "33", "1,000", "2500.00", "12.50"}) misc.RNAddItem(t);

  const std::string ks =
      "Two-period comparison\r\n"
      "Account\tPeriod 1\tPeriod 2\tCum Amt 1\tCum Amt 2\tCum Pct 1\tCum Pct 2\tDifference\r\n"
      "A\t50\t50\t50\t50\t.5000\t.2500\t.2500\r\n"
      "B\t30\t100\t80\t150\t.8000\t.7500\t.0500\r\n"
      "C\t20\t50\t100\t200\t1.0000\t1.0000\t.0000\r\n"
      "d-stat\t.2500\r\n";

  const std::string path = Path("audit.xlsx");
  {
    ReportWorkbook wb(path, {});
    wb.AddReport("Vendor's digits", "BE", benford.Report(), "Digits of the payments");
    wb.AddReport("Strata", "ST", strata.Report());
    wb.AddReport("Stats", "UN", un);
    wb.AddReport("Ageing", "AR", age.AgeReport());
    wb.AddReport("Ageing", "WD", age.WDReport());
    wb.AddReport("", "RN", misc.RNReport());
    wb.AddReport("Periods", "KS", ks);
    wb.AddReport("Holidays", "HO", age.HolReport());
    wb.Close();
  }
  ASSERT_EQ(Files(), std::vector<std::string>{"audit.xlsx"});

  const xlsx_test::Xlsx x(path);
  EXPECT_EQ(x.SheetNames(),
            (std::vector<std::string>{"Vendor's digits", "Strata", "Stats", "Ageing", "Ageing (2)",
                                      "RN", "Periods", "Holidays"}));

  // Benford: title text, a figure with its pattern's format, digit rows as numbers.
  EXPECT_EQ(x.Cell(1, "A1").type, "s");
  EXPECT_EQ(x.Cell(1, "A1").value, "Benford Report");
  EXPECT_EQ(x.Cell(1, "B4").format, "#.00000");  // p-value "#.####0"
  EXPECT_EQ(x.Cell(1, "B7").value, "Observed");
  EXPECT_EQ(x.Cell(1, "A8").type, "");
  EXPECT_EQ(x.Cell(1, "A8").value, "1");
  EXPECT_EQ(x.Cell(1, "B8").value, std::to_string(benford.Actual(1)));
  std::int16_t nine = 9;
  EXPECT_EQ(x.Cell(1, "C16").value, std::to_string(benford.Expect(nine)));

  // Stratification: grouped amounts and shares as numbers, "Below" as text.
  EXPECT_EQ(x.Cell(2, "A3").value, "Below");
  EXPECT_EQ(x.Cell(2, "D3").value, "-5");
  EXPECT_EQ(x.Cell(2, "D4").value, "1250");
  EXPECT_EQ(x.Cell(2, "D4").format, "#,##0.00");
  EXPECT_EQ(x.Cell(2, "E4").type, "");

  // Ageing: band starts as date cells.
  EXPECT_EQ(x.Cell(4, "A3").format, "m/d/yyyy");
  EXPECT_EQ(x.Cell(4, "B1").value, "39447");

  // Weekdays: the day label stays text, the count is a number.
  EXPECT_EQ(x.Cell(5, "A2").type, "s");
  EXPECT_EQ(x.Cell(5, "B2").type, "");

  // Round numbers: percentages as fractions.
  EXPECT_EQ(x.Cell(6, "C4").format, "0.00%");

  const std::vector<std::string> charts = x.Charts();
  EXPECT_EQ(charts.size(), 7u);  // none for the holiday report
  EXPECT_TRUE(HasChart(charts, "barChart",
                       {"'Vendor''s digits'!$A$8:$A$16", "'Vendor''s digits'!$B$8:$B$16"}));
  EXPECT_TRUE(HasChart(charts, "lineChart", {"'Vendor''s digits'!$C$8:$C$16"}));
  EXPECT_TRUE(HasChart(charts, "barChart", {"Strata!$A$3:$A$6", "Strata!$D$3:$D$6"}));
  // Ageing: columns over the band labels written beside the table.
  EXPECT_TRUE(HasChart(charts, "barChart", {"Ageing!$D$3:$D$6", "Ageing!$C$3:$C$6"}));
  EXPECT_TRUE(HasChart(charts, "barChart", {"'Ageing (2)'!$A$2:$A$4", "'Ageing (2)'!$B$2:$B$4"}));
  EXPECT_TRUE(HasChart(charts, "barChart", {"RN!$A$4:$A$7", "RN!$B$4:$B$7"}));
  EXPECT_TRUE(HasChart(charts, "lineChart",
                       {"Periods!$A$3:$A$5", "Periods!$F$3:$F$5", "Periods!$G$3:$G$5"}));
  std::size_t titled = 0;
  for (const std::string& c : charts)
    titled += c.find("Digits of the payments") != std::string::npos;
  EXPECT_EQ(titled, 1u);
}

TEST_F(WorkbookFile, HistogramIsFoundAfterTheStatisticsOfTheSameReport) {
  tarnwick::cDoubleArray a;
  for (int i = 1; i <= 9; ++i) a.AddItem(i * 10.0);  // 3 bins
  const std::string report = a.StatReport() + "\r\n" + a.HistoReport() + "\r\n" + a.OLReport();
  const std::string path = Path("un.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("UN", "un", report);
  wb.Close();
  // 24 statistics lines, a blank one, the histogram's title and heading: bins on 28 to 30.
  const xlsx_test::Xlsx x(path);
  EXPECT_EQ(x.Cell(1, "A27").value, "Bin Start");
  const auto charts = x.Charts();
  ASSERT_EQ(charts.size(), 1u);
  // Categories: the bins' range labels written beside the table.
  EXPECT_TRUE(HasChart(charts, "barChart", {"UN!$E$28:$E$30", "UN!$C$28:$C$30"}));
}

TEST_F(WorkbookFile, AReportWithoutItsTableGetsNoChart) {
  const std::string path = Path("few.xlsx");
  ReportWorkbook wb(path, {});
  wb.AddReport("BE", "BE", "Too few observations (\t9\t)");
  wb.AddReport("WD", "WD", "No days identified");
  wb.Close();
  const xlsx_test::Xlsx x(path);
  EXPECT_EQ(x.Charts().size(), 0u);
  EXPECT_EQ(x.Cell(1, "B1").value, "9");
}

TEST_F(WorkbookFile, WrittenWholeOnCloseAndNothingLeftWithoutIt) {
  const std::string path = Path("out.xlsx");
  { std::ofstream(path) << "previous"; }
  {
    ReportWorkbook wb(path, {});
    wb.AddReport("A", "XX", "x\t1\r\n");
    // Until Close the previous file stands; a hidden reservation sits beside it.
    EXPECT_EQ(Files().size(), 2u);
    std::ifstream in(path);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "previous");
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"out.xlsx"});
  {
    ReportWorkbook wb(path, {});
    wb.AddReport("A", "XX", "x\t1\r\n");
    wb.Close();
    wb.Close();  // nothing more
    EXPECT_THROW(wb.AddReport("B", "XX", "y"), EngineError);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"out.xlsx"});
  EXPECT_EQ(xlsx_test::Xlsx(path).SheetNames(), std::vector<std::string>{"A"});

  // A report that cannot be laid out gives the whole workbook up: the earlier file stays.
  {
    ReportWorkbook wb(Path("new.xlsx"), {});
    wb.AddReport("A", "XX", "x\t1\r\n");
    try {
      wb.AddReport("B", "XX", "x\t" + std::string(40000, 'y'));
      ADD_FAILURE() << "a cell beyond 32,767 characters was accepted";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
    EXPECT_THROW(wb.Close(), EngineError);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"out.xlsx"});
}

TEST_F(WorkbookFile, RefusesToOverwriteAnInputOrToWriteWhereItCannot) {
  const std::string input = Path("ledger.txt");
  { std::ofstream(input) << "Amount\n1\n"; }
  fs::create_symlink(input, Path("link.xlsx"));
  auto code = [](const std::string& path, std::vector<std::string> inputs) {
    try {
      ReportWorkbook wb(path, std::move(inputs));
    } catch (const EngineError& e) {
      return e.code();
    }
    return ErrorCode{};
  };
  const std::string dotted = (dir_ / "." / "ledger.txt").string();
  EXPECT_EQ(code(dotted, {input}), ErrorCode::InvalidArgument);
  EXPECT_EQ(code(Path("link.xlsx"), {input}), ErrorCode::InvalidArgument);
  EXPECT_EQ(code("", {}), ErrorCode::InvalidArgument);
  EXPECT_EQ(code(Path("missing/out.xlsx"), {}), ErrorCode::FileNotFound);
  EXPECT_EQ(code(dir_.string(), {}), ErrorCode::FileAccess);
  if (::geteuid() != 0) {
    fs::create_directories(Path("locked"));
    fs::permissions(Path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(code(Path("locked/out.xlsx"), {}), ErrorCode::PermissionDenied);
    fs::permissions(Path("locked"), fs::perms::owner_all);
  }
  // Nothing was written by any of them.
  for (const std::string& f : Files())
    EXPECT_TRUE(f == "ledger.txt" || f == "link.xlsx" || f == "locked") << f;
}

}  // namespace
