#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "tarnwick/platform/file_system.h"
#include "tarnwick/shell/validation.h"

namespace tarnwick {
namespace {

struct ValCase {
  const char* cmd;
  const char* line;
  bool ok;
  const char* msg;
};

class ValTest : public ::testing::TestWithParam<ValCase> {};

TEST_P(ValTest, ChecksArgumentsForTheDataSource) {
  const ValCase& c = GetParam();
  cShell sh;
  sh.HandleCmd(c.line);
  cVal v;
  const Variant result = v.Val(c.cmd, sh);
  ASSERT_TRUE(result.IsBoolean());
  EXPECT_EQ(result.ToBool(), c.ok);
  EXPECT_EQ(v.Err(), c.ok);
  EXPECT_EQ(v.ErrMsg(), c.msg);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ValTest,
    ::testing::Values(
        ValCase{"du", "DU ds=file file=a.txt col=Amount recap=Y", true, ""},
        ValCase{"du", "DU ds=file file=a.txt col=Amount", false, "missing recap= "},
        ValCase{"DU", "DU ds=file", false, "missing file= missing col= missing recap= "},
        ValCase{"GA", "GA ds=file file=a col=b recap=c", true, "missing ds"},
        ValCase{"GA", "GA ds=file file=a recap=c", false, "missing dsmissing col= "},
        ValCase{"HO", "HO ds=sel", false, "Errors: missing col= missing recap= "},
        ValCase{"IS", "IS ds=sel", false,
                "missing dsmissing intvl= missing rn= missing recap= missing sample= "},
        ValCase{"XT", "XT ds=FILE col1=a", false, "missing  col2= amount= recap="},
        ValCase{"XT", "XT ds=Rng", false, "missing  col1= col2= amount= sheet= ulc= recap="},
        ValCase{"XT", "XT ds=db col1=a col2=b amount=c conn=d sql=e recap=f", true, "missing "},
        ValCase{"XT", "XT col1=a", true, "missing "}, ValCase{"DU", "DU ds=File", true, ""},
        ValCase{"BE", "BE ds=xls", true, ""}, ValCase{"ST", "ST", true, "missing ds"},
        ValCase{"HO", "HO", true, "Errors: "},
        ValCase{"ZZ", "AR ds=file", false, "Missing cmd: ZZ"},
        ValCase{"cr", "CR ds=file", false, "Missing cmd: cr"},
        ValCase{"", "", false, "Missing cmd: "},
        // Names reported under another name, and the capital J.
        ValCase{"BA", "BA ds=db", false,
                "missing conn= missing sql= missing ifldno= missing iamount= missing recap= "},
        ValCase{"SU", "SU ds=db conn=c sql=s fldno=1 recap=r", false, "missing amount= "},
        ValCase{"CM", "CM ds=sel col=a rn=1 recap=x sample=s", false, "missing r= missing J= "},
        ValCase{"CM", "CM ds=sel col=a r=1 j=2 rn=1 recap=x sample=s", true, ""},
        ValCase{"AR", "AR ds=db conn=c sql=s", false,
                "missing agefld= missing tranfld= missing recap= missing colwidth= missing "
                "agedate= "},
        ValCase{"QU", "QU ds=file", true, ""},
        ValCase{"QU", "QU ds=db conn=c", false, "missing sql= missing recap= "},
        ValCase{"TR", "TR ds=rng recap=r", false, "missing ulc= missing sheet= "},
        ValCase{"TL", "TL ds=db conn=c sql=s", false, "missing amount= missing col= "},
        ValCase{"NE", "NE ds=rng", false,
                "missing ulc= missing recap= missing vendno= missing invno= missing invdate= "
                "missing invamt= missing datetol= missing sheet= "},
        ValCase{"SP", "SP ds=rng", false,
                "missing ulc= missing sheet= missing recap= missing vendno= missing invno= "
                "missing invdate= missing invamt= missing datetol= "},
        ValCase{"EX", "EX ds=sel cond=a>1", false, "missing recap= "}));

TEST(ValStateTest, ErrTellsSuccessOfTheLastVal) {
  cVal v;
  EXPECT_FALSE(v.Err());
  EXPECT_EQ(v.ErrMsg(), "");
  cShell sh;
  sh.HandleCmd("RN ds=sel col=a recap=b");
  EXPECT_TRUE(v.Val("RN", sh).ToBool());
  EXPECT_TRUE(v.Err());
  // The file checks never touch the flag.
  EXPECT_FALSE(v.FileExists("/nonexistent/dir/x.txt"));
  EXPECT_TRUE(v.Err());
  EXPECT_FALSE(v.Val("ZZ", sh).ToBool());
  EXPECT_FALSE(v.Err());
}

// Data files in the temporary folder, removed afterwards.
class FileCheckTest : public ::testing::Test {
 protected:
  std::string Write(std::initializer_list<std::string> lines) {
    std::string path = TempFilePath();
    TextWriter w = CreateTextFile(path);
    for (const std::string& line : lines) w.WriteLine(line);
    w.Close();
    paths_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& p : paths_) {
      chmod(p.c_str(), 0600);
      DeleteFile(p);
    }
  }
  std::vector<std::string> paths_;
  cVal v;
};

TEST_F(FileCheckTest, FileExistsAndColumnNames) {
  const std::string f = Write({"Date\tAmount\t\tVendor ", "1/2/2024\t10"});
  EXPECT_TRUE(v.FileExists(f));
  EXPECT_EQ(v.ErrMsg(), "");
  EXPECT_TRUE(v.FileHasColName(f, " amount "));
  EXPECT_TRUE(v.FileHasColName(f, "DATE"));
  EXPECT_TRUE(v.FileHasColName(f, "vendor"));  // the header line is trimmed first
  EXPECT_TRUE(v.FileHasColName(f, ""));        // the empty third field
  EXPECT_FALSE(v.FileHasColName(f, "Amt"));
  EXPECT_EQ(v.ErrMsg(), "Col: Amt in file: " + f + " not found");

  const std::string missing = f + ".none";
  EXPECT_FALSE(v.FileExists(missing));
  EXPECT_EQ(v.ErrMsg(), "File: " + missing + " not found");
  EXPECT_FALSE(v.FileHasColName(missing, "Amount"));
  EXPECT_EQ(v.ErrMsg(), "File: " + missing + " not found");
  EXPECT_FALSE(v.FileExists(GetSpecialFolder(2)));  // a folder is not a data file
}

// A byte-order mark before the header is not part of the first column's name.
TEST_F(FileCheckTest, ByteOrderMarkBeforeTheHeader) {
  const std::string f =
      Write({"\xEF\xBB\xBF"
             "Amount\tDate",
             "1,250.50\t1/2/2024", "7\t1/3/2024"});
  EXPECT_TRUE(v.FileHasColName(f, "AMOUNT"));
  EXPECT_TRUE(v.FileHasNumericColName(f, "Amount")) << v.ErrMsg();
  EXPECT_TRUE(v.FileHasDateColName(f, "Date")) << v.ErrMsg();
}

TEST_F(FileCheckTest, EmptyHeaderHasNoColumns) {
  for (const std::string& f : {Write({}), Write({"   ", "1"})}) {
    EXPECT_FALSE(v.FileHasColName(f, "")) << f;
    EXPECT_EQ(v.ErrMsg(), "Col:  in file: " + f + " not found");
    EXPECT_FALSE(v.FileHasNumericColName(f, "A"));
    EXPECT_EQ(v.ErrMsg(), "Col: A in file: " + f + " not found");
  }
}

TEST_F(FileCheckTest, NumericColumnSamplesRowsTwoToTwenty) {
  std::initializer_list<std::string> rows = {"Id\tAmount", "1\t10", "2\t1,250.50", "3\t(12.00)",
                                             "4",          "",      "6\t N/A ",    "7\t8"};
  const std::string f = Write(rows);
  EXPECT_FALSE(v.FileHasNumericColName(f, "Amount"));
  EXPECT_EQ(v.ErrMsg(), "Col: Amount on row: 7 in file: " + f + " not numeric:  N/A");
  EXPECT_TRUE(v.FileHasNumericColName(f, "id"));
  EXPECT_FALSE(v.FileHasNumericColName(f, "Total"));
  EXPECT_EQ(v.ErrMsg(), "Col: Total in file: " + f + " not found");

  // Nineteen good data rows, then a bad one on row 21 that is never seen.
  std::vector<std::string> lines = {"Amount"};
  for (int i = 2; i <= 20; ++i) lines.push_back(std::to_string(i * 3));
  lines.push_back("N/A");
  std::string path = TempFilePath();
  {
    TextWriter w = CreateTextFile(path);
    for (const auto& l : lines) w.WriteLine(l);
    w.Close();
  }
  paths_.push_back(path);
  EXPECT_TRUE(v.FileHasNumericColName(path, "Amount"));
  // Header only: nothing to sample, so it passes.
  EXPECT_TRUE(v.FileHasNumericColName(Write({"Amount"}), "amount"));
}

TEST_F(FileCheckTest, DateColumn) {
  const std::string f = Write({"Inv\tDate", "A1\t1/31/2024", "A2\t12-1-23", "A3\t2024-13-01"});
  EXPECT_FALSE(v.FileHasDateColName(f, "Date"));
  EXPECT_EQ(v.ErrMsg(), "Col: Date on row: 4 in file: " + f + " not a date value:2024-13-01");
  EXPECT_FALSE(v.FileHasDateColName(f, "Inv"));
  EXPECT_EQ(v.ErrMsg(), "Col: Inv on row: 2 in file: " + f + " not a date value:A1");
  EXPECT_TRUE(v.FileHasDateColName(Write({"Date", "1/31/2024", "2.29.2024"}), "DATE"));

  const std::string missing = f + ".none";
  EXPECT_FALSE(v.FileHasDateColName(missing, "Date"));
  EXPECT_EQ(v.ErrMsg(), "file: " + missing + " not found");
  EXPECT_FALSE(v.FileHasNumericColName(missing, "Date"));
  EXPECT_EQ(v.ErrMsg(), "file: " + missing + " not found");
}

// Open descriptors of this process.
int OpenFiles() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST_F(FileCheckTest, UnreadableFileIsReportedNotThrownAndNotLeftOpen) {
  const int before = OpenFiles();
  // Reading this one fails with an I/O error even for root.
  const std::string failing = "/proc/self/mem";
  ASSERT_TRUE(FileExists(failing));
  EXPECT_FALSE(v.FileHasColName(failing, "Amount"));
  EXPECT_EQ(v.ErrMsg(), "File: " + failing + " cannot be read");
  EXPECT_FALSE(v.FileHasDateColName(failing, "Amount"));
  EXPECT_EQ(v.ErrMsg(), "file: " + failing + " cannot be read");
  if (geteuid() != 0) {
    const std::string f = Write({"Amount", "1"});
    chmod(f.c_str(), 0);
    EXPECT_FALSE(v.FileHasColName(f, "Amount"));
    EXPECT_EQ(v.ErrMsg(), "File: " + f + " cannot be read");
    EXPECT_FALSE(v.FileHasNumericColName(f, "Amount"));
    EXPECT_EQ(v.ErrMsg(), "file: " + f + " cannot be read");
  }
  EXPECT_EQ(OpenFiles(), before);
}

TEST_F(FileCheckTest, EveryOutcomeClosesTheFile) {
  const std::string f = Write({"Amount\tDate", "1\t1/1/2024", "x\ty"});
  const int before = OpenFiles();
  EXPECT_TRUE(v.FileHasColName(f, "Amount"));
  EXPECT_FALSE(v.FileHasColName(f, "None"));
  EXPECT_FALSE(v.FileHasNumericColName(f, "Amount"));
  EXPECT_FALSE(v.FileHasDateColName(f, "Date"));
  EXPECT_FALSE(v.FileHasNumericColName(f, "None"));
  EXPECT_TRUE(v.FileHasDateColName(Write({"Date", "1/1/2024"}), "Date"));
  EXPECT_EQ(OpenFiles(), before);
}

}  // namespace
}  // namespace tarnwick
