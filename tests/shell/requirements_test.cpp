#include <gtest/gtest.h>

#include <string>

#include "tarnwick/shell/requirements.h"

namespace tarnwick {
namespace {

struct CheckCase {
  const char* line;
  bool ok;
  const char* msg;
};

class NValCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(NValCheckTest, ReportsMissingSourceArguments) {
  const CheckCase& c = GetParam();
  cNVal v;
  EXPECT_EQ(v.checkit(c.line), c.ok);
  EXPECT_EQ(v.ErrMsg(), c.msg);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NValCheckTest,
    ::testing::Values(
        CheckCase{"BE ds=file col=Amount type=1 recap=Benford", false, "missing: file= "},
        CheckCase{"BE ds=file file=a.txt col=Amount type=1 recap=Benford", true, "missing: "},
        // "FILE" is not the file source: only the rows for every source apply.
        CheckCase{"BE ds=FILE col=Amount type=1 recap=Benford", true, "missing: "},
        CheckCase{"BE ds=rng col=Amount", false, "missing: type= recap= sheet= ulc= "},
        CheckCase{"BE ds=db", false, "missing: col= type= recap= conn= sql= "},
        CheckCase{"AR ds=sel", false, "missing: agecol= trancol= agedate= colwidth= sheet= "},
        CheckCase{"AR ds=rng agecol=a trancol=b agedate=1/1/2024 colwidth=9", true, "missing: "},
        CheckCase{"CM ds=sel col=A recap=x", false, "missing: R= J= RN= Sample= "},
        CheckCase{"QU ds=file", false, "missing: cond= "},
        CheckCase{"QU ds=rng", true, "missing: "},
        CheckCase{"PR ds=xls pop=100", false, "missing: conf= ss= nobs= "},
        CheckCase{"XT ds=db col1=a col2=b amount=c recap=d conn=e", false, "missing: sql= "},
        // Commands without rows and an unknown data source pass once the line is valid.
        CheckCase{"CR ds=file", true, "missing: "},
        // A bad command stops the parse before ds is read, so the line passes here.
        CheckCase{"zz ds=file", true, ""},
        CheckCase{"BE ds=file zz", false, "Argument:  is not a valid argument "},
        CheckCase{"BE ds=file colour=red", false, "Argument: colour is not a valid argument "}));

TEST(NValTest, NoDataSourcePassesAndLeavesTheMessage) {
  cNVal v;
  EXPECT_EQ(v.ErrMsg(), "");
  EXPECT_TRUE(v.checkit("zz abc"));
  EXPECT_TRUE(v.checkit("BE col=Amount"));
  EXPECT_EQ(v.ErrMsg(), "");
  EXPECT_FALSE(v.checkit("DU ds=file"));
  EXPECT_TRUE(v.checkit("DU file=x"));
  EXPECT_EQ(v.ErrMsg(), "missing: file= col= recap= ");
}

TEST(NValTest, EachCheckUsesAFreshShell) {
  cNVal v;
  EXPECT_TRUE(v.checkit("DU ds=file file=a col=b recap=c"));
  EXPECT_FALSE(v.checkit("DU ds=file"));
  EXPECT_EQ(v.ErrMsg(), "missing: file= col= recap= ");
}

struct ListCase {
  const char* cmd;
  const char* expected;
};

TEST(NValTest, GetitListsDbAndAllRows) {
  cNVal v;
  for (const ListCase& c :
       {ListCase{"AR", "agecol trancol agedate colwidth conn sql "}, ListCase{"QU", "cond "},
        ListCase{"PR", "pop conf ss nobs "},
        ListCase{"cm ds=db", "R J RN Sample col recap conn sql "}, ListCase{"CA", "col amount "},
        ListCase{"XT", "col1 col2 amount recap conn sql "}, ListCase{"AA", ""}, ListCase{"ZZ", ""},
        ListCase{"CR", ""}, ListCase{"", ""}, ListCase{"B", ""}}) {
    EXPECT_EQ(v.Getit(c.cmd), c.expected) << c.cmd;
  }
}

TEST(OValTest, GetitReqAndOpt) {
  cOVal v;
  EXPECT_EQ(v.GetitReq("ks"), "sheet acct col1 col2 ");
  EXPECT_EQ(v.GetitOpt("ks"), "title ");
  EXPECT_EQ(v.GetitReq("CR"), "");
  EXPECT_EQ(v.GetitOpt("CR"), "");
  EXPECT_EQ(v.GetitReq("B5"), "sheet ");
  EXPECT_EQ(v.GetitOpt("BE"), "title type hilite ");
  EXPECT_EQ(v.GetitReq("RN"), "");
  EXPECT_EQ(v.GetitOpt("RN"), "title ");
  EXPECT_EQ(v.GetitReq("SC"), "name sheet ulc ");
  EXPECT_EQ(v.GetitReq("WD"), "sheet ");
  EXPECT_EQ(v.GetitReq("T5"), "sheet ");
  EXPECT_EQ(v.GetitReq("AA"), "");
}

class OValCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(OValCheckTest, ReportsMissingRequiredArguments) {
  const CheckCase& c = GetParam();
  cOVal v;
  EXPECT_EQ(v.checkit(c.line), c.ok);
  EXPECT_EQ(v.ErrMsg(), c.msg);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OValCheckTest,
    ::testing::Values(CheckCase{"KS sheet=S1 acct=Acct", false, "missing: col1= col2= "},
                      CheckCase{"KS sheet=S1 acct=Acct col1=a col2=b", true, "missing: "},
                      CheckCase{"GA ds=file col=Inv", false, "missing: sheet= "},
                      CheckCase{"SA pop=1000", false, "missing: conf= er= ep= "},
                      CheckCase{"sc name=x", false, "missing: sheet= ulc= "},
                      CheckCase{"RN title=x", true, "missing: "},
                      CheckCase{"AR", true, "missing: "},
                      CheckCase{"zz file=x", false, "Command: zz is not a valid command"},
                      CheckCase{"zz", true, "missing: "},
                      CheckCase{"GA sheet=s abc", false, "Argument:  is not a valid argument "}));

TEST(OValTest, InitRefillsWithoutTouchingTheMessage) {
  cOVal v;
  EXPECT_FALSE(v.checkit("LC"));
  v.init();
  EXPECT_EQ(v.ErrMsg(), "missing: name= ");
  EXPECT_EQ(v.GetitReq("LC"), "name ");
}

}  // namespace
}  // namespace tarnwick
