#include <gtest/gtest.h>

#include "tarnwick/data/delimited_reader.h"
#include "tarnwick/data/typed_reader.h"
#include "tarnwick/expr/parser.h"
#include "tarnwick/expr/rpn_evaluator.h"
#include "temp_files.h"

namespace tarnwick {
namespace {

using testing::TempDir;

// What the plain per-row design gives for one row: parse, replace names, substitute, evaluate.
struct Plain {
  std::string rpn, ans;
  bool selected = false;
  Plain(const std::string& filter, const std::string& header, const std::string& row) {
    cParse p;
    cOP op;
    p.Infix(filter);
    p.Headers(header);
    p.parse();
    if (p.Err()) {
      rpn = p.RPN();
      return;
    }
    p.ReplaceColnames();
    p.SubRow(row);
    rpn = p.RPN();
    op.EvalRPN(rpn);
    if (op.AnyErr()) return;  // any operation that failed, not only the last one
    ans = op.ans();
    selected = ans == "TRUE";
  }
};

const char* kFilters[] = {
    "$Amount > 100 AND $Vendor = \"ACME\"",
    "$Amount > 100 AND $Date >= 6/1/2007 AND $Vendor <> \"ACME\"",
    "$amount * 2 < 500",
    "($Amount > 1",     // does not parse
    "$Amount / 0 > 1",  // evaluation fails
    "$Nowhere = 1",
};

TEST(ReaderFilter, DelimitedReaderMatchesThePlainDesign) {
  TempDir t;
  const std::string header = "Amount\tDate\tVendor";
  const std::string rows[] = {"150\t7/1/2007\tACME", "50\t1/1/2007\tACME",
                              "250.5\t12/31/2008\tOther", "", "x\t\t"};
  std::string data = header + "\n";
  for (const std::string& r : rows) data += r + "\n";
  const std::string path = t.Write("f.txt", data);
  for (const char* filter : kFilters) {
    cFile f;
    f.FileName(path);
    f.Headers();
    f.Infix(filter);
    for (const std::string& r : rows) {
      f.GetRow();
      const Plain want(filter, header, r);
      EXPECT_EQ(f.IsSelected(), want.selected) << filter << " / " << r;
      EXPECT_EQ(f.ans(), want.ans) << filter << " / " << r;
      EXPECT_EQ(f.RPN(), want.rpn) << filter << " / " << r;
    }
  }
}

TEST(ReaderFilter, SelectsTheExpectedRows) {
  TempDir t;
  cFile f;
  f.FileName(t.Write("f.txt", "Amount\tVendor\n150\tACME\n50\tACME\n300\tOTHER\n"));
  f.Headers();
  f.Infix("$Amount > 100 AND $Vendor = \"ACME\"");
  std::vector<bool> got;
  while (!f.Eof()) {
    f.GetRow();
    got.push_back(f.IsSelected());
  }
  EXPECT_EQ(got, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(f.ans(), "FALSE");
  f.Infix("");
  EXPECT_TRUE(f.IsSelected());
  EXPECT_EQ(f.ans(), "FALSE");  // a trivial filter leaves ans alone
  f.Infix("($Amount > 1");
  EXPECT_FALSE(f.IsSelected());
  EXPECT_EQ(f.ans(), "");
}

TEST(ReaderFilter, TypedReaderFiltersCommaAndPrintFilesByColumnNames) {
  TempDir t;
  cNFile csv;
  csv.FileName(t.Write("c.csv", "Vendor,Amount\n\"Smith, J\",150\nJones,20\n"));
  csv.Infix("$Amount > 100");
  csv.GetRow();
  EXPECT_TRUE(csv.IsSelected());
  EXPECT_EQ(csv.Hdr(), "Vendor\tAmount");
  EXPECT_EQ(csv.ThisRow(), "Smith, J\t150");
  EXPECT_EQ(csv.ans(), "TRUE");
  csv.GetRow();
  EXPECT_EQ(csv.ThisRow(), "Jones,20");  // as read until the filter rebuilds it
  EXPECT_FALSE(csv.IsSelected());
  EXPECT_EQ(csv.ThisRow(), "Jones\t20");
  EXPECT_EQ(csv.RPN(), Plain("$Amount > 100", "Vendor\tAmount", "Jones\t20").rpn);

  cNFile prn;
  prn.FileSpec(t.Write("spec.txt", "Layout\nName\t1\t10\tA\nAmount\t11\t8\tN\n"));
  prn.FileName(t.Write("in.prn", "HEADING\nAlice       150.00 \nBob          20.00 \n"));
  prn.Infix("$Amount >= 100");
  prn.GetRow();
  EXPECT_TRUE(prn.IsSelected());
  EXPECT_EQ(prn.ThisRow(), "Alice\t150.00");
  prn.GetRow();
  EXPECT_FALSE(prn.IsSelected());

  cNFile tab;
  tab.FileName(t.Write("t.txt", "Amount\tVendor\n150\tACME\n"));
  tab.Infix("$Amount > 100");
  tab.GetRow();
  EXPECT_TRUE(tab.IsSelected());
  EXPECT_EQ(tab.ThisRow(), "150\tACME");
}

// A filter changed between rows (even to one of the same length, or on the same row) is the one
// the row is judged by; the RPN shows the row evaluated last until the next IsSelected.
template <class Reader>
void FollowsFilterChanges(Reader& f) {
  const std::string header = "Amount\tVendor";
  struct Step {
    const char* filter;  // nullptr: keep the filter
    bool read;
    const char* row;
  };
  const Step steps[] = {{"$Amount > 100", true, "150\tACME"},
                        {nullptr, true, "50\tACME"},
                        {"$Amount < 100", true, "300\tOTHER"},
                        {"$Vendor = \"OTHER\"", false, "300\tOTHER"},
                        {nullptr, true, "100\tacme"}};
  std::string filter, lastRpn;
  for (const Step& s : steps) {
    if (s.filter != nullptr) {
      filter = s.filter;
      f.Infix(filter);
    }
    if (s.read) {
      f.GetRow();
      if (!lastRpn.empty()) {
        EXPECT_EQ(f.RPN(), lastRpn);
      }
    }
    const Plain want(filter, header, s.row);
    EXPECT_EQ(f.IsSelected(), want.selected) << filter << " / " << s.row;
    EXPECT_EQ(f.ans(), want.ans) << filter << " / " << s.row;
    EXPECT_EQ(f.RPN(), want.rpn) << filter << " / " << s.row;
    lastRpn = want.rpn;
  }
}

TEST(ReaderFilter, FollowsFilterAndHeaderChanges) {
  TempDir t;
  const std::string path =
      t.Write("f.txt", "Amount\tVendor\n150\tACME\n50\tACME\n300\tOTHER\n100\tacme\n");
  cFile f;
  f.FileName(path);
  f.Headers();
  FollowsFilterChanges(f);
  cNFile n;
  n.FileName(path);
  FollowsFilterChanges(n);
  // another file with the columns the other way round, same filter text
  n.FileName(t.Write("g.txt", "Vendor\tAmount\nOTHER\t5\n"));
  n.GetRow();
  const Plain want("$Vendor = \"OTHER\"", "Vendor\tAmount", "OTHER\t5");
  EXPECT_EQ(n.IsSelected(), want.selected);
  EXPECT_EQ(n.RPN(), want.rpn);
}

}  // namespace
}  // namespace tarnwick
