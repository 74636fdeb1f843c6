#include <gtest/gtest.h>

#include <string>

#include "tarnwick/shell/command_timing.h"
#include "tarnwick/shell/symbols.h"

namespace tarnwick {
namespace {

// A clock the test moves by hand.
double g_now = 0.0;
double FakeClock() { return g_now; }

TEST(CtTest, QuickCommandCountsAtLeastOneTenthOfASecond) {
  cCt ct;
  ct.init();
  ct.Item();
  ct.Item();
  ct.Item();
  EXPECT_EQ(ct.Report(), "Cmd:  in: 3 items, rpt:  rps: 30 time: .1 sec");
  EXPECT_EQ(ct.rows(), 3);
  // Reading rows names the command and the report.
  EXPECT_EQ(ct.Report(), "Cmd: UK in: 3 items, rpt: Res rps: 30 time: .1 sec");
  ct.Cmd("BE");
  ct.Recap("Benford");
  ct.init();
  EXPECT_EQ(ct.Report(), "Cmd: BE in:  items, rpt: Benford rps: 0 time: .1 sec");
}

struct TimingCase {
  int items;
  double seconds;
  const char* expected;
};

TEST(CtTest, RatesAndTimesThroughTheirPatterns) {
  for (const TimingCase& c :
       {TimingCase{5, 2.0, "Cmd: DU in: 5 items, rpt: R rps: 2 time: 2. sec"},  // 2.5 -> 2
        TimingCase{7, 2.0, "Cmd: DU in: 7 items, rpt: R rps: 4 time: 2. sec"},  // 3.5 -> 4
        TimingCase{1234567, 2.5, "Cmd: DU in: 1,234,567 items, rpt: R rps: 493,827 time: 2.5 sec"},
        TimingCase{10, 1234.5, "Cmd: DU in: 10 items, rpt: R rps: 0 time: 1,234.5 sec"},
        TimingCase{1, 0.0996, "Cmd: DU in: 1 items, rpt: R rps: 10 time: .1 sec"},
        TimingCase{2, -5.0,
                   "Cmd: DU in: 2 items, rpt: R rps: 20 time: .1 sec"},  // clock stepped back
        TimingCase{3, 0.1234, "Cmd: DU in: 3 items, rpt: R rps: 24 time: .123 sec"}}) {
    g_now = 1000.0;
    cCt ct(&FakeClock);
    ct.Cmd("DU");
    ct.Recap("R");
    for (int i = 0; i < c.items; ++i) ct.Item();
    g_now = 1000.0 + c.seconds;
    EXPECT_EQ(ct.Report(), c.expected) << c.items << " in " << c.seconds;
  }
}

TEST(SymTest, DefinesAndTranslates) {
  cSym s;
  s.Text("<ne>=<>");
  EXPECT_TRUE(s.DidTran());
  EXPECT_EQ(s.TranVal(), "");
  s.Text("a <ne> b");
  EXPECT_FALSE(s.DidTran());
  EXPECT_EQ(s.TranVal(), "a <> b");
  s.Text("  <eq> = equals ");  // name "<eq> " and replacement " equals"
  EXPECT_TRUE(s.DidTran());
  EXPECT_EQ(s.TranVal(), "a <> b");
  s.Text("a <eq> b <eq>");
  EXPECT_EQ(s.TranVal(), "a  equalsb <eq>");
  s.Text("x <ne>  y <ne>");
  EXPECT_EQ(s.TranVal(), "x <>  y <>");
}

TEST(SymTest, WhatCountsAsADefinition) {
  struct Case {
    const char* text;
    bool definition;
    const char* tranVal;  // for translated texts
  };
  for (const Case& c :
       {Case{"<x>", false, "<x>"}, Case{"<a=b>", false, "<a=b>"}, Case{"a<x>=1", false, "a<x>=1"},
        Case{"<x>b=2", true, ""}, Case{"<=>", false, "<=>"}, Case{"<>=", true, ""},
        Case{"<", false, "<"}, Case{"   ", false, ""}, Case{"", false, ""}}) {
    cSym s;
    s.Text(c.text);
    EXPECT_EQ(s.DidTran(), c.definition) << c.text;
    EXPECT_EQ(s.TranVal(), c.tranVal) << c.text;
  }
}

TEST(SymTest, PassesReplaceFirstOccurrencesInDefinitionOrder) {
  cSym s;
  s.Text("<b>=B");
  s.Text("<a>=<b><b>");
  s.Text("<a>");
  EXPECT_EQ(s.TranVal(), "BB");  // later passes reach what earlier ones produced
  s.Text("<a>=1");               // redefinition keeps the slot
  s.Text("<a><b>");
  EXPECT_EQ(s.TranVal(), "1B");

  s.Text("<self>=x<self>");
  s.Text("<self>");
  EXPECT_EQ(s.TranVal(), std::string(11, 'x') + "<self>");  // at most eleven passes
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "<a>";
  s.Text(twelve);
  EXPECT_EQ(s.TranVal(), std::string(11, '1') + "<a>");
}

TEST(SymTest, TableHoldsNinetyNineDefinitions) {
  cSym s;
  for (int i = 0; i < 99; ++i) s.Text("<s" + std::to_string(i) + ">=v" + std::to_string(i));
  s.Text("<s99>=late");
  EXPECT_TRUE(s.DidTran());
  s.Text("<s0>=changed");  // a full table ignores redefinitions too
  s.Text("<s0> <s98> <s99>");
  EXPECT_EQ(s.TranVal(), "v0 v98 <s99>");
}

}  // namespace
}  // namespace tarnwick
