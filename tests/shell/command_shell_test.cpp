#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/shell/command_shell.h"

namespace tarnwick {
namespace {

struct ParseCase {
  const char* line;
  const char* cmd;
  bool err;
  const char* msg;                                          // a fresh shell's message is empty
  std::vector<std::pair<const char*, const char*>> values;  // name -> stored value
};

class HandleCmdTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(HandleCmdTest, ParsesCodeArgumentsAndErrors) {
  const ParseCase& c = GetParam();
  cShell sh;
  sh.HandleCmd(c.line);
  EXPECT_EQ(sh.CmdName(), c.cmd);
  EXPECT_EQ(sh.ErrStatus(), c.err);
  EXPECT_EQ(sh.ErrMsg(), c.msg);
  int filled = 0;
  for (std::int16_t i = 0; i <= sh.argCount(); ++i) filled += sh.ArgPair(i).empty() ? 0 : 1;
  EXPECT_EQ(filled, static_cast<int>(c.values.size()));
  for (const auto& [name, value] : c.values) EXPECT_EQ(sh.geta(name), value) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HandleCmdTest,
    ::testing::Values(
        ParseCase{"ar file=x.txt", "AR", false, "", {{"file", "x.txt"}}},
        ParseCase{"zz file=x.txt", "ZZ", true, "Command: zz is not a valid command", {}},
        ParseCase{"benford col=Amount", "BE", false, "", {{"COL", "Amount"}}},
        ParseCase{"B5", "B5", false, "Command: B5", {}},
        ParseCase{"  b5  ", "B5", false, "Command: B5", {}},
        ParseCase{"", "", false, "Command: ", {}}, ParseCase{"x", "X", false, "Command: X", {}},
        ParseCase{"AR file= col=x", "AR", false, "", {{"file", "col=x"}}},
        ParseCase{"AR file = x.txt", "AR", false, "", {{"file", "x.txt"}}},
        ParseCase{"EX cond=amount>=100 file=a.txt",
                  "EX",
                  false,
                  "",
                  {{"cond", "amount>=100"}, {"file", "a.txt"}}},
        ParseCase{"EX cond=\"amount > 100 and vendor = 7\" file=a.txt",
                  "EX",
                  false,
                  "",
                  {{"cond", "amount > 100 and vendor = 7"}, {"file", "a.txt"}}},
        ParseCase{"BE title=\"Sales by region\"", "BE", false, "", {{"title", "Sales by region"}}},
        ParseCase{
            "BE title=Sales\" \"by\" \"region", "BE", false, "", {{"title", "Sales by region"}}},
        ParseCase{"EX cond=\"a > 1 file=b.txt recap=Y",
                  "EX",
                  false,
                  "",
                  {{"cond", "a > 1 file=b.txt recap=Y"}}},
        ParseCase{"AR file=a.txt colour=red",
                  "AR",
                  true,
                  "Argument: colour is not a valid argument ",
                  {{"file", "a.txt"}}},
        ParseCase{"AR abc", "AR", true, "Argument:  is not a valid argument ", {}},
        ParseCase{"AR\tfile=x", "AR", true, "Argument: AR\tfile is not a valid argument ", {}},
        ParseCase{"ARfile=x", "AR", true, "Argument: ARfile is not a valid argument ", {}},
        ParseCase{"zzfile=x", "ZZ", true, "Command: ZZ is not a valid command", {}},
        ParseCase{"A file=x", "A", true, "Command: A is not a valid command", {}},
        ParseCase{"Xt   COL1=a    col2=b   ", "XT", false, "", {{"col1", "a"}, {"col2", "b"}}},
        ParseCase{"AR File=C:\\Data\\inv.txt", "AR", false, "", {{"FILE", "C:\\Data\\inv.txt"}}},
        ParseCase{"AR file=a.txt file=b.txt", "AR", false, "", {{"file", "b.txt"}}},
        ParseCase{"AR file=a.txt file=", "AR", false, "", {}},
        ParseCase{"AR true=1 false=0 zzzzzz=z",
                  "AR",
                  false,
                  "",
                  {{"TRUE", "1"}, {"FALSE", "0"}, {"ZZZZZZ", "z"}}},
        ParseCase{
            "AR ds=file =x", "AR", true, "Argument:  is not a valid argument ", {{"ds", "file"}}}));

TEST(ShellTest, StartsEmptyAndKeepsValuesAcrossLines) {
  cShell sh;
  EXPECT_EQ(sh.argCount(), 69);
  EXPECT_FALSE(sh.ErrStatus());
  EXPECT_EQ(sh.CmdName(), "");
  EXPECT_EQ(sh.ErrMsg(), "");
  EXPECT_EQ(sh.Report(), "");

  sh.HandleCmd("zz file=a");
  EXPECT_TRUE(sh.ErrStatus());
  // A later good line resets the flag but keeps the old message and earlier values.
  sh.HandleCmd("DU col=Amount");
  sh.HandleCmd("DU recap=Dup");
  EXPECT_FALSE(sh.ErrStatus());
  EXPECT_EQ(sh.ErrMsg(), "Command: zz is not a valid command");
  EXPECT_EQ(sh.geta("col"), "Amount");
  EXPECT_EQ(sh.geta("recap"), "Dup");

  sh.Report("kept text");
  sh.HandleCmd("AR file=x");
  EXPECT_EQ(sh.Report(), "kept text");
}

TEST(ShellTest, ArgPairSlotsAndBounds) {
  cShell sh;
  sh.HandleCmd("ar file=x.txt agecol=Due zzzzzz=last");
  EXPECT_EQ(sh.ArgPair(23), "FILE=x.txt");
  EXPECT_EQ(sh.ArgPair(0), "AGECOL=Due");
  EXPECT_EQ(sh.ArgPair(69), "ZZZZZZ=last");
  EXPECT_EQ(sh.ArgPair(1), "");
  for (std::int16_t i = 70; i <= 100; ++i) EXPECT_EQ(sh.ArgPair(i), "") << i;
  for (std::int16_t bad : {std::int16_t{101}, std::int16_t{-1}, std::int16_t{32767}}) {
    try {
      (void)sh.ArgPair(bad);
      ADD_FAILURE() << "no error for " << bad;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.code(), ErrorCode::SubscriptOutOfRange);
    }
  }
}

TEST(ShellTest, GetaAndSetArgValueMatchNamesWithoutCase) {
  cShell sh;
  EXPECT_TRUE(sh.SetArgValue("Col1", "Vendor").IsEmpty());
  EXPECT_EQ(sh.geta("COL1"), "Vendor");
  EXPECT_EQ(sh.ArgPair(12), "COL1=Vendor");
  sh.SetArgValue("ifldno", "3");  // not a name: ignored
  EXPECT_EQ(sh.geta("ifldno"), "");
  EXPECT_EQ(sh.geta(""), "");
  EXPECT_EQ(sh.geta("col"), "");  // no prefix matching: COL and COL1 are distinct
  sh.SetArgValue("col", "Amount");
  EXPECT_EQ(sh.geta("col"), "Amount");
  EXPECT_EQ(sh.geta("col1"), "Vendor");
}

TEST(ShellTest, EveryCommandCodeIsRecognised) {
  const char* codes[] = {"AR", "B5", "BA", "BE", "BC", "CA", "CH", "CL", "CR", "CM", "DU", "EX",
                         "GA", "GR", "HE", "HI", "HO", "IF", "IS", "JE", "JO", "KS", "LC", "LU",
                         "NE", "PO", "PR", "QU", "RN", "SA", "SE", "SH", "SC", "SP", "SR", "ST",
                         "SU", "TL", "T5", "TR", "UR", "VA", "UN", "WD", "XT"};
  for (const char* code : codes) {
    cShell sh;
    sh.HandleCmd(std::string(code) + " ds=file");
    EXPECT_FALSE(sh.ErrStatus()) << code;
    EXPECT_EQ(sh.CmdName(), code);
  }
  for (const char* code : {"AA", "B4", "ZZ", "T4", "XX", "1A"}) {
    cShell sh;
    sh.HandleCmd(std::string(code) + " ds=file");
    EXPECT_TRUE(sh.ErrStatus()) << code;
  }
}

}  // namespace
}  // namespace tarnwick
