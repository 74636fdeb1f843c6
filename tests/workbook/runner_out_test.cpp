// The runner's --out: every report of a run filed in one workbook, written only when the whole
// run succeeds and never over a file the run reads.

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <string>
#include <vector>

#include "../cli/cli_support.h"
#include "xlsx_reader.h"

namespace {

namespace fs = std::filesystem;
using cli_test::Ledger;
using cli_test::ReadAll;
using cli_test::Tarnwick;
using cli_test::WriteFile;

class RunnerOut : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("tarnwick_out_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
  fs::path dir_;
};

// The value printed after `label` and a tab in a report.
std::string Field(const std::string& report, const std::string& label) {
  const std::size_t at = report.find("\n" + label + "\t");
  if (at == std::string::npos) return "";
  const std::size_t start = at + label.size() + 2;
  return report.substr(start, report.find_first_of("\t\r\n", start) - start);
}

TEST_F(RunnerOut, ScriptReportsBecomeSheetsWithTheirCharts) {
  const std::string script = Path("run.txt");
  WriteFile(script, "<ledger>=ds=file file=" + Ledger() +
                        "\n"
                        "BE <ledger> col=Amount recap=Benford title=\"Digits of the payments\"\n"
                        "WD <ledger> col=InvDate recap=Weekdays\n"
                        "SA pop=3000 conf=95% ep=5% er=5%\n");
  const std::string book = Path("audit.xlsx");
  const auto withBook = Tarnwick({"--raw", "--out", book, "-f", script});
  ASSERT_EQ(withBook.status, 0) << withBook.err;
  // The reports still go to standard output, unchanged.
  EXPECT_EQ(withBook.out, Tarnwick({"--raw", "-f", script}).out);

  const xlsx_test::Xlsx x(book);
  EXPECT_EQ(x.SheetNames(), (std::vector<std::string>{"Benford", "Weekdays", "SA"}));
  // Digit 1's observed count as printed, now a number in the sheet.
  const std::string observed1 = Field(withBook.out, "1");
  ASSERT_FALSE(observed1.empty());
  const xlsx_test::CellXml b8 = x.Cell(1, "B8");
  EXPECT_EQ(b8.type, "");
  std::string digits;
  for (char c : observed1) {
    if (c != ',') digits += c;
  }
  EXPECT_EQ(b8.value, digits);

  const auto charts = x.Charts();
  ASSERT_EQ(charts.size(), 2u);
  bool titled = false;
  for (const std::string& c : charts)
    titled |= c.find("Digits of the payments") != std::string::npos;
  EXPECT_TRUE(titled);
  EXPECT_EQ(FileCount(), 2u);  // the script and the workbook, nothing else
}

// The conformity figures that follow the Benford table are numeric cells that show the
// printed text; the chart still takes the digit table only.
TEST_F(RunnerOut, BenfordConformityFiguresAreNumbers) {
  const std::string book = Path("conformity.xlsx");
  const auto r = Tarnwick(
      {"--raw", "--out", book, "BE ds=file file=" + Ledger() + " col=Amount sign=positive min=10"});
  ASSERT_EQ(r.status, 0) << r.err;
  const xlsx_test::Xlsx x(book);
  struct Expect {
    const char* ref;
    const char* label;   // the label in column A of the same row
    const char* format;  // as the printed text is written: grouped only from 1,000 on
  };
  for (const Expect& e :
       {Expect{"B19", "Chisq (goodness of fit) ", nullptr},
        Expect{"B20", "df (goodness of fit) ", "0"}, Expect{"B23", "MAD ", "0.000000"},
        Expect{"C26", "Close conformity", "0.000000"}}) {
    SCOPED_TRACE(e.ref);
    const std::string row = std::string(e.ref).substr(1);
    EXPECT_EQ(x.Cell(1, "A" + row).value, e.label);
    const xlsx_test::CellXml c = x.Cell(1, e.ref);
    EXPECT_EQ(c.type, "");
    if (e.format != nullptr) {
      EXPECT_EQ(c.format, e.format);
    }
    std::string printed = Field(r.out, e.label);
    if (e.ref[0] == 'C') printed = "0.006000";  // the range row's second cell
    printed.erase(std::remove(printed.begin(), printed.end(), ','), printed.end());
    EXPECT_DOUBLE_EQ(std::stod(c.value), std::stod(printed));
  }
  // Digit 1's Z, in the fourth column of the Z table.
  EXPECT_EQ(x.Cell(1, "A32").value, "1");
  EXPECT_EQ(x.Cell(1, "D32").type, "");
  EXPECT_EQ(x.Cell(1, "D32").format, "0.000");
  const auto charts = x.Charts();
  ASSERT_EQ(charts.size(), 1u);
  EXPECT_NE(charts[0].find("$B$8:$B$16"), std::string::npos);
}

TEST_F(RunnerOut, NothingWrittenWhenTheRunFailsOrWouldReplaceAFileItUses) {
  const std::string book = Path("audit.xlsx");
  WriteFile(book, "earlier");

  const std::string script = Path("run.txt");
  WriteFile(script, "BE ds=file file=" + Ledger() +
                        " col=Amount\n"
                        "BE ds=file file=" +
                        Path("missing.tsv") + " col=Amount\n");
  const auto failed = Tarnwick({"--out", book, "-f", script});
  EXPECT_NE(failed.status, 0);
  EXPECT_NE(failed.err.find("not written"), std::string::npos) << failed.err;
  EXPECT_EQ(ReadAll(book), "earlier");

  // The script itself, and a data file the run reads (a workbook, the ledger as a source).
  const std::string data = Path("ledger.xlsx");
  WriteFile(data,
            ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/tests/testdata/workbooks/ledger.xlsx"));
  const auto overScript = Tarnwick({"--out", script, "-f", script});
  EXPECT_EQ(overScript.status, 2);
  const auto overData = Tarnwick({"--out", data, "BE ds=file file=" + data + " col=Amount"});
  EXPECT_NE(overData.status, 0);
  EXPECT_NE(overData.err.find("would replace"), std::string::npos) << overData.err;
  EXPECT_EQ(ReadAll(data),
            ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/tests/testdata/workbooks/ledger.xlsx"));
  EXPECT_EQ(FileCount(), 3u);  // the earlier workbook, the script and the data: no leftovers
}

// A workbook's name ends in .xlsx (in any case) with something before it; anything else is
// refused before the run, and nothing is written under it.
TEST_F(RunnerOut, RefusesANameThatIsNotAWorkbook) {
  struct Case {
    const char* name;
    bool accepted;
  };
  const Case cases[] = {
      {"report.csv", false}, {"report.xlsx.csv", false}, {"report", false},    {".xlsx", false},
      {"report.xls", false}, {"Report.XLSX", true},      {"audit.xlsx", true},
  };
  const std::string line = "SA pop=3000 conf=95% ep=5% er=5%";
  for (const Case& c : cases) {
    const std::string book = Path(c.name);
    const auto r = Tarnwick({"--out", book, line});
    if (c.accepted) {
      EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
      EXPECT_TRUE(fs::exists(book)) << c.name;
      fs::remove(book);
    } else {
      EXPECT_EQ(r.status, 2) << c.name;
      EXPECT_EQ(r.err,
                "tarnwick: --out " + book + ": the workbook's file name must end in .xlsx\n");
      EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(FileCount(), 0u) << c.name;
  }
  EXPECT_EQ(Tarnwick({"--out", ".xlsx", line}).status, 2);
}

}  // namespace
