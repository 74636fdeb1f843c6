// End-to-end tests of the `tarnwick` executable: each command's report is compared byte for
// byte (with --raw) with the report of the engine class fed the same rows directly; every
// rejection path gives its message and exit status and leaves no output file behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>

#include "cli_support.h"
#include "tarnwick/audit/ageing.h"
#include "tarnwick/audit/attribute_sampling.h"
#include "tarnwick/audit/benford.h"
#include "tarnwick/audit/interval_sampling.h"
#include "tarnwick/audit/invoices.h"
#include "tarnwick/audit/key_summary.h"
#include "tarnwick/audit/misc.h"
#include "tarnwick/audit/mus_evaluation.h"
#include "tarnwick/audit/mus_reconciliation.h"
#include "tarnwick/audit/stratify.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/stats/amount_array.h"
#include "tarnwick/stats/cross_tab.h"
#include "tarnwick/stats/external_sort.h"
#include "tarnwick/stats/regression.h"
#include "tarnwick/stats/sequences.h"

namespace fs = std::filesystem;
using namespace tarnwick;
using namespace cli_test;

namespace {

const Table& Data() {
  static const Table t = ReadTable(Ledger());
  return t;
}

double Num(const std::string& s) { return ParseNumber(s).value(); }
Date Day(const std::string& s) { return ParseDate(s).value(); }

// What the runner prints with --raw: the report, ending in one line end.
std::string Raw(std::string report) {
  if (report.size() < 2 || report.compare(report.size() - 2, 2, "\r\n") != 0) report += "\r\n";
  return report;
}

std::string Join(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty() && out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
    out += p;
  }
  return out;
}

// Names of their own per process: ctest runs the cases side by side.

std::vector<std::string> RowsOf(const std::string& file) {
  std::vector<std::string> lines;
  std::istringstream in(ReadAll(file));
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

std::string LineOf(const std::vector<std::string>& row) {
  std::string s;
  for (std::size_t i = 0; i < row.size(); ++i) s += (i ? "\t" : "") + row[i];
  return s;
}

struct ReportCase {
  const char* name;
  std::string line;  // the ledger's path follows "file="
  std::function<std::string(const Table&)> expected;
};

std::string UnReport(const Table& t) {
  cDoubleArray a;
  const int c = t.Col("Amount");
  for (const auto& r : t.rows) a.AddItem(Num(r[c]));
  const std::string stat = a.StatReport();
  const std::string histo = a.HistoReport();
  return Join({stat, histo, a.OLReport()});
}

std::string BenfordReport(const Table& t, const char* type) {
  cBenford b;
  b.btype(type);
  const int c = t.Col("Amount");
  for (const auto& r : t.rows) b.AddObs(r[c]);
  b.Compute();
  return b.Report();
}

// The lines the runner adds after the class's report for L1 and L2 with no runner argument.
const char* const kAllAmountsTwoDecimals =
    "Amounts tested\r\nSign\tall\r\nMinimum absolute amount\tnone\r\n"
    "Rows left out by sign= and min=\t0\r\n"
    "Decimals read (places)\t2\tthe most among the tested amounts\r\n";

// L2 reads each amount with the most decimals among them, 2 in the ledger: 10137.3 as
// 10137.30, its last two digits 30, not 73.
std::string BenfordL2Report(const Table& t) {
  cBenford b;
  b.btype("L2");
  const int c = t.Col("Amount");
  for (const auto& r : t.rows) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", std::fabs(Num(r[c])));
    b.AddObs(text);
  }
  b.Compute();
  return Raw(b.Report()) + kAllAmountsTwoDecimals;
}

// SP as the runner wires it: every invoice added, then each tested once, then the count; by
// default each whole once (pairs=first), with pairs=all every pair.
std::string SplitReport(const Table& t, std::int32_t wholeTol, const std::string& window,
                        bool everyPair = false) {
  cCR cr;
  cr.DateTol(3);
  cr.WholeTol(wholeTol);
  cr.EveryPair(everyPair);
  for (const auto& r : t.rows)
    cr.AddItem(r[t.Col("Vendor")], r[t.Col("InvNum")], Day(r[t.Col("InvDate")]),
               Num(r[t.Col("Amount")]));
  for (std::size_t i = 0; i < t.rows.size(); ++i) cr.SplitTran();
  const std::string listed =
      everyPair ? "("
                : "(" + std::to_string(cr.SPCount()) +
                      " whole invoices listed once each, with their first pair; pairs=all "
                      "lists every pair; ";
  return cr.SPReport() + "Splits found: \t" + std::to_string(cr.SPPairs()) + "\t" + listed +
         "parts within 3 days of each other, " + window + ")\r\n";
}

std::vector<ReportCase> Cases() {
  const std::string f = " file=" + Ledger();
  return {
      {"UN", "UN ds=file" + f + " col=Amount", UnReport},
      {"BE_F1", "BE" + f + " col=Amount", [](const Table& t) { return BenfordReport(t, "F1"); }},
      {"BE_L2", "BE" + f + " col=amount type=l2", BenfordL2Report},
      {"BA", "BA" + f + " col=Vendor amount=Amount",
       [](const Table& t) {
         cBA ba;
         for (const auto& r : t.rows) ba.Item(r[t.Col("Vendor")], Num(r[t.Col("Amount")]));
         return ba.SummaryReport();
       }},
      {"AR", "AR" + f + " agecol=InvDate trancol=Amount agedate=12/31/2023 colwidth=45",
       [](const Table& t) {
         cAge age;
         age.AgeingDate("12/31/2023");
         std::int16_t w = 45;
         age.SetAgeWidth(w);
         for (const auto& r : t.rows)
           age.AddItem(Day(r[t.Col("InvDate")]), Num(r[t.Col("Amount")]));
         return age.AgeReport();
       }},
      {"WD", "WD" + f + " col=InvDate",
       [](const Table& t) {
         cAge age;
         for (const auto& r : t.rows) age.AddItem(Day(r[t.Col("InvDate")]), 0.0);
         return age.WDReport();
       }},
      {"HO", "HO" + f + " col=InvDate",
       [](const Table& t) {
         cAge age;
         for (const auto& r : t.rows) age.IsHoliday(r[t.Col("InvDate")]);
         return age.HolReport();
       }},
      {"NE", "NE" + f + " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount datetol=5",
       [](const Table& t) {
         cCR cr;
         cr.DateTol(5);
         for (const auto& r : t.rows) {
           cr.AddItem(r[t.Col("Vendor")], r[t.Col("InvNum")], Day(r[t.Col("InvDate")]),
                      Num(r[t.Col("Amount")]));
           cr.nemisstrans();
         }
         return cr.NEReport();
       }},
      // The whole within datetol= of each part unless wholetol= says otherwise; a closing
      // line with the count.
      {"SP",
       "SP" + f + " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount datetol=3 simtol=4",
       [](const Table& t) { return SplitReport(t, 3, "the whole within 3 days of each part"); }},
      {"SP_WholeTol",
       "SP" + f +
           " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount "
           "datetol=3 simtol=4 WholeTol=40",
       [](const Table& t) { return SplitReport(t, 40, "the whole within 40 days of each part"); }},
      {"SP_AnyWholeDate",
       "SP" + f +
           " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount "
           "datetol=3 simtol=4 wholetol=ANY",
       [](const Table& t) { return SplitReport(t, -1, "the whole at any date"); }},
      {"SP_EveryPair",
       "SP" + f +
           " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount "
           "datetol=3 simtol=4 wholetol=any pairs=all",
       [](const Table& t) { return SplitReport(t, -1, "the whole at any date", true); }},
      {"ST", "ST" + f + " col=Amount strata=\"-1000 0 100 1000 10000 100000\"",
       [](const Table& t) {
         cStratify st;
         st.stratum("-1000 0 100 1000 10000 100000");
         for (const auto& r : t.rows) st.AddObs(Num(r[t.Col("Amount")]));
         return st.Report();
       }},
      {"SU", "SU" + f + " col=Account amount=Amount",
       [](const Table& t) {
         cStringArray sa;
         for (const auto& r : t.rows) sa.Item(r[t.Col("Account")], Num(r[t.Col("Amount")]));
         return sa.SummaryReport();
       }},
      {"DU_WithAmount", "DU" + f + " col=InvNum amount=Amount",
       [](const Table& t) {
         cStringArray sa;
         for (const auto& r : t.rows) sa.Item(r[t.Col("InvNum")], Num(r[t.Col("Amount")]));
         return sa.DuplicateReport();
       }},
      {"DU_KeysOnly", "DU" + f + " col=InvNum",
       [](const Table& t) {
         cStringArray sa;
         for (const auto& r : t.rows) sa.Item(r[t.Col("InvNum")], 0.0);
         return sa.DuplicateReport();
       }},
      {"GA", "GA" + f + " col=CheckNum",
       [](const Table& t) {
         cLongArray seq;
         for (const auto& r : t.rows)
           seq.AddItem(static_cast<std::int32_t>(Num(r[t.Col("CheckNum")])));
         seq.SortArray();
         return seq.Gaps();
       }},
      {"RN", "RN" + f + " col=Amount",
       [](const Table& t) {
         cMisc m;
         for (const auto& r : t.rows) m.RNAddItem(r[t.Col("Amount")]);
         return m.RNReport();
       }},
      {"XT", "XT ds=FILE" + f + " col1=Account col2=Vendor amount=Amount",
       [](const Table& t) {
         cXtab xt;
         for (const auto& r : t.rows)
           xt.AddItem(r[t.Col("Account")], r[t.Col("Vendor")], Num(r[t.Col("Amount")]));
         return xt.Report();
       }},
      {"CM", "CM" + f + " col=Amount J=250000 R=2 RN=777 sample=" + Temp("cm_case.tsv"),
       [](const Table& t) {
         cCMA cma;
         cma.r(2);
         cma.j(Currency::FromDouble(250000));
         cma.rn(Currency::FromDouble(777));
         for (const auto& r : t.rows) cma.AddItem(Num(r[t.Col("Amount")]));
         return cma.CMASampRec();
       }},
  };
}

class ReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportTest, MatchesTheEngineClassFedDirectly) {
  const ReportCase& c = GetParam();
  const Result r = Tarnwick({"--raw", c.line});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, Raw(c.expected(Data())));
}

INSTANTIATE_TEST_SUITE_P(Commands, ReportTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Runner, PlatformLineEndsUnlessRaw) {
  const std::string line = "WD file=" + Ledger() + " col=InvDate";
  const Result raw = Tarnwick({"--raw", line});
  const Result plain = Tarnwick({line});
  ASSERT_EQ(raw.status, 0);
  ASSERT_EQ(plain.status, 0);
  std::string expected = raw.out;
  for (std::size_t p; (p = expected.find("\r\n")) != std::string::npos;) expected.erase(p, 1);
  EXPECT_EQ(plain.out, expected);
  EXPECT_EQ(plain.out.find('\r'), std::string::npos);
}

TEST(Runner, WordsOfOneCommandMayComeAsSeparateArguments) {
  const Result joined = Tarnwick({"HO file=" + Ledger() + " col=InvDate"});
  const Result words = Tarnwick({"HO", "file=" + Ledger(), "col=InvDate"});
  ASSERT_EQ(joined.status, 0);
  EXPECT_EQ(words.status, 0);
  EXPECT_EQ(words.out, joined.out);
}

// The interval sample holds the header and exactly the rows the class selects.
TEST(Runner, IntervalSampleWritesTheSelectedRows) {
  fs::create_directories(Temp("is_dir"));
  const std::string sample = Temp("is_dir") + "/sample.tsv";
  fs::remove(sample);
  const Result r = Tarnwick({"--raw", "IS file=" + Ledger() + " intvl=97 rn=13 sample=" + sample});
  ASSERT_EQ(r.status, 0) << r.err;
  cIS is;
  std::int32_t k = 97;
  is.interval(k);
  is.rn(13);
  std::vector<std::string> expected = {LineOf(Data().header)};
  for (const auto& row : Data().rows)
    if (is.AddItem(Variant{})) expected.push_back(LineOf(row));
  EXPECT_EQ(r.out, Raw(is.Recon()));
  EXPECT_EQ(RowsOf(sample), expected);
  EXPECT_GT(expected.size(), 20u);
  // Nothing but the sample itself is left in its folder from the run.
  for (const auto& e : fs::directory_iterator(fs::path(sample).parent_path()))
    EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

TEST(Runner, MonetaryUnitSampleWritesTheSelectedRows) {
  const std::string sample = Temp("mus_sample.tsv");
  const Result r =
      Tarnwick({"CM file=" + Ledger() + " col=Amount J=400000 R=1 RN=5 sample=" + sample});
  ASSERT_EQ(r.status, 0) << r.err;
  cCMA cma;
  cma.j(Currency::FromDouble(400000));
  cma.rn(Currency::FromDouble(5));
  std::vector<std::string> expected = {LineOf(Data().header)};
  for (const auto& row : Data().rows)
    if (cma.AddItem(Num(row[Data().Col("Amount")]))) expected.push_back(LineOf(row));
  EXPECT_EQ(RowsOf(sample), expected);
}

TEST(Runner, SampleSizeAndPrecisionComeFromTheSamplingClass) {
  const Result sa = Tarnwick({"SA pop=5000 conf=95% ep=0.05 er=5%"});
  ASSERT_EQ(sa.status, 0) << sa.err;
  EXPECT_NE(sa.out.find("Required sample size\t73\n"), std::string::npos) << sa.out;
  const Result pr = Tarnwick({"PR pop=10000 conf=0.95 ss=50 nobs=2"});
  ASSERT_EQ(pr.status, 0) << pr.err;
  // 1.959964 * sqrt(0.04 * 0.96 / 50) * sqrt(9950 / 9999)
  EXPECT_NE(pr.out.find("Precision\t0.05418"), std::string::npos) << pr.out;
}

// The sizes never say 0 nor more than the population; labelled so that the auditor sees which
// rule set the figure. Figures from SciPy (norm.ppf, binom, hypergeom, beta.ppf).
TEST(Runner, SampleSizesAndLimitsByMethod) {
  struct Case {
    std::string line;
    std::vector<std::string> lines;
  };
  for (const Case& c : std::vector<Case>{
           {"SA pop=50 conf=95% ep=0.05 er=5%",
            {"Normal approximation\t73", "Zero-deviation size (exact binomial)\t29",
             "Size from\tthe population: test every item", "Required sample size\t50"}},
           {"SA pop=10000 conf=95% ep=0 er=5% method=normal",
            {"Normal approximation\t0", "Zero-deviation size (exact binomial)\t59",
             "Size from\tthe zero-deviation size: the normal approximation is too small",
             "Required sample size\t59"}},
           {"SA pop=5000 conf=95% ep=0.05 er=5%",
            {"Size from\tthe normal approximation", "Required sample size\t73"}},
           {"SA pop=0 conf=95% ep=1% er=4% method=exact",
            {"Attribute Sample Size (exact)", "Population\tlarge", "Distribution\tbinomial",
             "Tolerable deviation rate\t5.00%", "Deviations allowed\t1",
             "Required sample size\t93"}},
           {"SA pop=10000 conf=95% ep=1.75% er=3.25% method=Exact",
            {"Population\t10,000", "Distribution\thypergeometric", "Deviations allowed\t3",
             "Required sample size\t152"}},
           {"SA pop=50 conf=0.95 ep=0 er=0.05 method=exact", {"Required sample size\t31"}},
           {"PR pop=10000 conf=0.95 ss=59 nobs=0",
            {"Basis\texact binomial upper limit (no errors found)",
             "Precision\t0.0495076098882269"}},
           {"PR pop=10000 conf=0.95 ss=50 nobs=2", {"Basis\tnormal approximation"}},
           {"PR pop=0 conf=95% ss=93 nobs=1 method=exact",
            {"Attribute Sample Evaluation (exact)", "Sample deviation rate\t1.08%",
             "Upper deviation limit\t5.00%", "Allowance for sampling risk\t3.92%"}},
           {"PR pop=100 conf=95% ss=20 nobs=1 method=exact",
            {"Distribution\thypergeometric", "Upper deviation limit\t19.00%"}},
       }) {
    const Result r = Tarnwick({c.line});
    ASSERT_EQ(r.status, 0) << c.line << ": " << r.err;
    for (const std::string& l : c.lines)
      EXPECT_NE(r.out.find(l + "\n"), std::string::npos) << c.line << " lacks " << l << ":\n"
                                                         << r.out;
  }
  // The exact report is the class's own, byte for byte.
  const Result raw = Tarnwick({"--raw", "SA pop=0 conf=95% ep=1% er=4% method=exact"});
  cAttribute at;
  double conf = 0.95, tolerable = 0.05, expected = 0.01;
  at.conf(conf);
  at.tolerable(tolerable);
  at.expected(expected);
  EXPECT_EQ(raw.out, Raw(at.SizeReport()));
}

// The monetary-unit evaluation reads the sampled items, clean ones included, from any source.
TEST(Runner, MonetaryUnitEvaluationOfTheSampledItems) {
  const std::string items = Temp("mus_eval.tsv");
  WriteFile(items,
            "Item\tBook\tAudited\nA1\t2000\t1500\nA2\t700\t700\nA3\t5000\t4000\n"
            "A4\t15000\t14000\nA5\t3000\t3300\n");
  const Result r =
      Tarnwick({"--raw", "SE file=" + items + " book=Book audit=Audited intvl=10000 conf=95%"});
  ASSERT_EQ(r.status, 0) << r.err;
  cMUSEval ev;
  ev.interval(10000);
  double conf = 0.95;
  ev.conf(conf);
  for (const auto& [b, a] : std::vector<std::pair<double, double>>{
           {2000, 1500}, {700, 700}, {5000, 4000}, {15000, 14000}, {3000, 3300}})
    ev.AddItem(b, a);
  EXPECT_EQ(r.out, Raw(ev.Report()));
  // The worked example's overstatement limit; the understatement of 10 % projects 1,000 and
  // adds 10 % x 10,000 x 0.748132 (chi2.ppf / 2 factors).
  EXPECT_NE(r.out.find("Upper misstatement limit\t38,431.51\r\nRank"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Projected misstatement\t1,000.00\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Upper misstatement limit\t31,705.45\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Items in the sample\t5\r\n"), std::string::npos) << r.out;

  // A filter and the database source give the same evaluation of the rows they select.
  const Result some = Tarnwick({"SE file=" + items +
                                " book=Book audit=Audited intvl=10000 conf=95% "
                                "cond=\"$Item <> A5\""});
  ASSERT_EQ(some.status, 0) << some.err;
  EXPECT_NE(some.out.find("Upper misstatement limit\t29,957.32\n"), std::string::npos) << some.out;

  // A book amount that monetary units could not have selected stops the run.
  const std::string bad = Temp("mus_bad.tsv");
  WriteFile(bad, "Item\tBook\tAudited\nA1\t2000\t1500\nA2\t0\t10\n");
  const Result e = Tarnwick({"SE file=" + bad + " book=Book audit=Audited intvl=10000 conf=95%"});
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.err,
            "Error 5: Invalid procedure call or argument: Col: Book on row: 3 is not a positive "
            "book amount: 0 (monetary units select positive book amounts)\n");
  EXPECT_EQ(e.out, "");

  const Result he = Tarnwick({"HE"});
  EXPECT_NE(he.out.find("\n  SE  Monetary-unit sample evaluation"), std::string::npos);
  EXPECT_NE(he.out.find(
                "        book: the column of the sampled items' book amounts (positive) [runner]"),
            std::string::npos);
  EXPECT_NE(he.out.find("        method: normal (default"), std::string::npos);
}

// The database and comma-separated copies of the ledger give the same reports as the file.
TEST(Runner, DatabaseAndCommaSeparatedSourcesReadLikeTheFile) {
  const std::string db = Temp("ledger.db");
  MakeDb(db, Data());
  const std::string csv = Temp("ledger.csv");
  std::string text;
  for (const auto& h : Data().header) text += (text.empty() ? "" : ",") + h;
  text += "\n";
  for (const auto& row : Data().rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) line += (i ? ",\"" : "\"") + row[i] + "\"";
    text += line + "\n";
  }
  WriteFile(csv, text);

  for (const char* args : {"BE col=Amount type=F2", "BA col=Vendor amount=Amount", "HO col=InvDate",
                           "UN col=Amount"}) {
    const Result file = Tarnwick({"--raw", std::string(args) + " file=" + Ledger()});
    const Result fromDb = Tarnwick(
        {"--raw", std::string(args) + " ds=db conn=" + db + " sql=\"select * from payments\""});
    const Result fromCsv = Tarnwick({"--raw", std::string(args) + " ds=file file=" + csv});
    ASSERT_EQ(file.status, 0) << args << file.err;
    EXPECT_EQ(fromDb.status, 0) << args << fromDb.err;
    EXPECT_EQ(fromCsv.status, 0) << args << fromCsv.err;
    EXPECT_EQ(fromDb.out, file.out) << args;
    EXPECT_EQ(fromCsv.out, file.out) << args;
  }
  // The filter reads the same values from every source.
  const std::string cond = " cond=\"$Amount < 20 AND $Account = 6150\"";
  const Result exFile = Tarnwick({"EX file=" + Ledger() + cond});
  const Result exDb = Tarnwick({"EX ds=db conn=" + db + " sql=\"select * from payments\"" + cond});
  const Result exCsv = Tarnwick({"EX file=" + csv + cond});
  ASSERT_EQ(exFile.status, 0) << exFile.err;
  EXPECT_GT(std::count(exFile.out.begin(), exFile.out.end(), '\n'), 5);
  EXPECT_EQ(exDb.out, exFile.out);
  EXPECT_EQ(exCsv.out, exFile.out);

  // A query narrows the rows; NULL reads as an empty value, which no date test accepts.
  const Result some =
      Tarnwick({"WD ds=db conn=" + db +
                " sql=\"select InvDate from payments where Vendor = 'V0002'\" col=InvDate"});
  ASSERT_EQ(some.status, 0) << some.err;
  cAge age;
  for (const auto& row : Data().rows)
    if (row[Data().Col("Vendor")] == "V0002") age.AddItem(Day(row[Data().Col("InvDate")]), 0);
  std::string wd = age.WDReport();
  for (std::size_t p; (p = wd.find("\r\n")) != std::string::npos;) wd.erase(p, 1);
  EXPECT_EQ(some.out, wd);
  const Result nulls = Tarnwick({"WD ds=db conn=" + db + " sql=\"select NULL as d\" col=d"});
  EXPECT_EQ(nulls.status, 1);
  EXPECT_EQ(
      nulls.err,
      "Error 13: Type mismatch: Col: d on row: 2 in query: select NULL as d not a date value:\n");
}

TEST(Runner, QuotedCommaSeparatedKeysKeepTheirCommas) {
  const std::string csv = Temp("keys.csv");
  WriteFile(csv, "Vendor,Amount\n\"Acme, Inc.\",120.5\n\"Acme, Inc.\",80\nBolt Ltd,99\n");
  const Result r = Tarnwick({"--raw", "BA file=" + csv + " col=Vendor amount=Amount"});
  ASSERT_EQ(r.status, 0) << r.err;
  cBA ba;
  ba.Item("Acme, Inc.", 120.5);
  ba.Item("Acme, Inc.", 80);
  ba.Item("Bolt Ltd", 99);
  EXPECT_EQ(r.out, Raw(ba.SummaryReport()));
}

// ---- Benford: the amount, not the file's text; sign=, min= and places= ----

// An amount as "%.2f" writes it, with the trailing zeros after the point dropped ("5", "77.8").
std::string Trimmed(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", v);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string KeyOf(std::size_t i) {
  const char keys[3][3] = {"K0", "K1", "K2"};
  return keys[i % 3];
}

std::string WriteAmounts(const std::string& name, const std::vector<std::string>& texts) {
  std::string text = "Key\tAmount\n";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    text += KeyOf(i);
    text += '\t';
    text += texts[i];
    text += '\n';
  }
  const std::string path = Temp(name);
  WriteFile(path, text);
  return path;
}

std::string ClassReport(const char* type, const std::vector<std::string>& texts) {
  cBenford b;
  b.btype(type);
  for (const std::string& t : texts) b.AddObs(t);
  b.Compute();
  return Raw(b.Report());
}

// 77.8 and 77.80, 5 and 5.00 are one amount: every digit test gives one report however the
// file writes them, the first-digit tests reading 5.00 as 5 (never 50), the last-digit tests
// reading the cents of every amount.
TEST(Runner, BenfordReadsTheAmountNotHowTheFileWritesIt) {
  std::vector<double> amounts = {5, 50, 5, 77.8, 1200.5, 3, 0.5, 10};
  for (int i = 0; i < 200; ++i) amounts.push_back(((i * 7919) % 250000 + 100) / 100.0);
  std::vector<std::string> plain, padded, trimmed, cents;
  for (std::size_t i = 0; i < amounts.size(); ++i) {
    char two[64];
    std::snprintf(two, sizeof two, "%.2f", amounts[i]);
    trimmed.push_back(Trimmed(amounts[i]));
    cents.push_back(two);
    plain.push_back(trimmed.back());
    // The other file writes cents throughout, grouped, some with a currency sign.
    std::string p = two;
    if (amounts[i] >= 1000) p.insert(p.size() - 6, ",");
    padded.push_back(i % 4 == 0 ? "$" + p : p);
  }
  const std::string a = WriteAmounts("digits_plain.tsv", plain);
  const std::string b = WriteAmounts("digits_padded.tsv", padded);
  const std::string section =
      "Amounts tested\r\nSign\tall\r\nMinimum absolute amount\tnone\r\n"
      "Rows left out by sign= and min=\t0\r\nDecimals read (places)\t2\tthe most among the "
      "tested amounts\r\n";
  for (const char* type : {"F1", "F2", "D2", "L1", "L2"}) {
    SCOPED_TRACE(type);
    const Result ra = Tarnwick({"--raw", "BE file=" + a + " col=Amount type=" + type});
    const Result rb = Tarnwick({"--raw", "BE file=" + b + " col=Amount type=" + type});
    ASSERT_EQ(ra.status, 0) << ra.err;
    ASSERT_EQ(rb.status, 0) << rb.err;
    EXPECT_EQ(ra.out, rb.out);
    const bool last = type[0] == 'L';
    EXPECT_EQ(ra.out, last ? ClassReport(type, cents) + section : ClassReport(type, trimmed));
  }
  // Read as the padded file writes them, 5.00 would be a first-two-digit 50.
  const Result f2 = Tarnwick({"--raw", "BE file=" + b + " col=Amount type=F2"});
  EXPECT_NE(f2.out, ClassReport("F2", cents));
}

// Without places= the last-digit tests read the most decimals among all tested amounts, also
// when the first rows are whole amounts and a later one has more decimals.
TEST(Runner, BenfordLastDigitsReadTheMostDecimalsOfAllRows) {
  std::vector<std::string> texts, expected;
  for (int i = 0; i < 60; ++i) texts.push_back(std::to_string(100 + i * 37));
  texts.push_back("12.125");
  for (const std::string& t : texts) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", Num(t));
    expected.push_back(text);
  }
  const std::string file = WriteAmounts("digits_late_decimals.tsv", texts);
  const Result r = Tarnwick({"--raw", "BE file=" + file + " col=Amount type=L1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, ClassReport("L1", expected) +
                       "Amounts tested\r\nSign\tall\r\nMinimum absolute amount\tnone\r\n"
                       "Rows left out by sign= and min=\t0\r\nDecimals read (places)\t3\tthe "
                       "most among the tested amounts\r\n");
  EXPECT_NE(r.out.find("\r\n0\t60\t6\r\n"), std::string::npos);  // 60 whole amounts end in .000
}

// places= rounds (halves away from zero, on the amount's decimal text) or pads; the
// first-digit tests then drop the trailing zeros.
TEST(Runner, BenfordPlacesRoundsOrPads) {
  const std::vector<std::string> texts = {"9.995", "0.004", "12.345", "7", "-3.5"};
  std::vector<std::string> file;
  for (int n = 0; n < 3; ++n) file.insert(file.end(), texts.begin(), texts.end());
  const std::string path = WriteAmounts("digits_places.tsv", file);
  struct Case {
    const char* type;
    const char* places;
    std::vector<std::string> read;  // what the class reads for each of the five amounts
  };
  for (const Case& c : std::vector<Case>{{"L2", "2", {"10.00", "0.00", "12.35", "7.00", "3.50"}},
                                         {"F2", "2", {"10", "0", "12.35", "7", "3.5"}},
                                         {"L1", "0", {"10", "0", "12", "7", "4"}},
                                         {"D2", "4", {"9.995", "0.004", "12.345", "7", "3.5"}}}) {
    SCOPED_TRACE(c.type);
    std::vector<std::string> read;
    for (int n = 0; n < 3; ++n) read.insert(read.end(), c.read.begin(), c.read.end());
    const Result r = Tarnwick(
        {"--raw", "BE file=" + path + " col=Amount type=" + c.type + " places=" + c.places});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ClassReport(c.type, read) +
                         "Amounts tested\r\nSign\tall\r\nMinimum absolute amount\tnone\r\n"
                         "Rows left out by sign= and min=\t0\r\nDecimals read (places)\t" +
                         c.places + "\tgiven\r\n");
  }
}

// Oddly written amounts are read as their shortest exact text, however they are written.
TEST(Runner, BenfordShortestTextOfOddlyWrittenAmounts) {
  struct Odd {
    const char* cell;
    const char* read;  // the amount's shortest text
  };
  const std::vector<Odd> odd = {{"(45.10)", "45.1"},
                                {"$1,234.50", "1234.5"},
                                {"-0.0120", "0.012"},
                                {"007.50", "7.5"},
                                {".5", "0.5"},
                                {"5.", "5"},
                                {"1.5E+3", "1500"},
                                {"1234567890123456", "1234567890123456"},
                                {"0.30000000000000004", "0.30000000000000004"},
                                {"120", "120"}};
  std::vector<std::string> cells, shortest, padded;
  for (int n = 0; n < 2; ++n) {
    for (const Odd& o : odd) {
      cells.push_back(o.cell);
      shortest.push_back(o.read);
      // With 17 decimals, the most among them, for the last-digit tests.
      std::string p = o.read;
      const std::size_t dot = p.find('.');
      const std::size_t have = dot == std::string::npos ? 0 : p.size() - dot - 1;
      if (dot == std::string::npos) p += '.';
      p.append(17 - have, '0');
      padded.push_back(p);
    }
  }
  const std::string path = WriteAmounts("digits_odd.tsv", cells);
  const Result f2 = Tarnwick({"--raw", "BE file=" + path + " col=Amount type=F2"});
  ASSERT_EQ(f2.status, 0) << f2.err;
  EXPECT_EQ(f2.out, ClassReport("F2", shortest));
  const Result l2 = Tarnwick({"--raw", "BE file=" + path + " col=Amount type=L2"});
  ASSERT_EQ(l2.status, 0) << l2.err;
  EXPECT_EQ(l2.out, ClassReport("L2", padded) +
                        "Amounts tested\r\nSign\tall\r\nMinimum absolute amount\tnone\r\n"
                        "Rows left out by sign= and min=\t0\r\n"
                        "Decimals read (places)\t17\tthe most among the tested amounts\r\n");
}

// sign= and min= leave rows out of the test; min= compares with the absolute value.
TEST(Runner, BenfordSignAndMinimumChooseTheAmounts) {
  std::vector<std::string> texts;
  for (int i = 0; i < 120; ++i) {
    const double v = ((i * 4409) % 30000) / 100.0 * (i % 3 == 0 ? -1 : 1);
    texts.push_back(Trimmed(v));
  }
  texts.push_back("0");
  const std::string path = WriteAmounts("digits_signs.tsv", texts);
  struct Case {
    std::string args;
    std::function<bool(double)> keep;
    const char* sign;
    const char* min;
  };
  for (const Case& c : std::vector<Case>{
           {"sign=positive min=10", [](double v) { return v > 0 && v >= 10; }, "positive", "10"},
           {"sign=NEGATIVE", [](double v) { return v < 0; }, "negative", "none"},
           {"min=100.5", [](double v) { return std::fabs(v) >= 100.5; }, "all", "100.5"},
           {"sign=all", [](double) { return true; }, "all", "none"}}) {
    SCOPED_TRACE(c.args);
    std::vector<std::string> kept;
    std::int64_t out = 0;
    cBA ba;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const double v = Num(texts[i]);
      if (!c.keep(v)) {
        ++out;
        continue;
      }
      kept.push_back(texts[i][0] == '-' ? texts[i].substr(1) : texts[i]);
      ba.Item(KeyOf(i), v);
    }
    const std::string section =
        "Amounts tested\r\nSign\t" + std::string(c.sign) + "\r\nMinimum absolute amount\t" + c.min +
        "\r\nRows left out by sign= and min=\t" + std::to_string(out) + "\r\n";
    const Result be = Tarnwick({"--raw", "BE file=" + path + " col=Amount " + c.args});
    ASSERT_EQ(be.status, 0) << be.err;
    EXPECT_EQ(be.out, ClassReport("F1", kept) + section +
                          "Decimals read (places)\t2\tthe most among the tested amounts\r\n");
    const Result summary =
        Tarnwick({"--raw", "BA file=" + path + " col=Key amount=Amount " + c.args});
    ASSERT_EQ(summary.status, 0) << summary.err;
    EXPECT_EQ(summary.out, Raw(ba.SummaryReport()) + section);
  }
}

struct RejectCase {
  const char* name;
  std::string line;
  int status;
  std::string message;
};

std::vector<RejectCase> Rejections() {
  const std::string L = Ledger();
  const std::string S = " sample=" + Temp("never.tsv");
  const std::string db = Temp("reject.db");
  const std::string headerOnly = Temp("header_only.tsv");
  WriteFile(headerOnly, "Vendor\tAmount\n");
  const std::string M = Temp("mus_items.tsv");
  WriteFile(M, "Item\tBook\tAudited\n1\t2000\t1500\n");
  return {
      {"UnknownSamplingMethod", "SA pop=100 conf=95% ep=1% er=4% method=bayes", 2,
       "method=bayes is not one of normal, exact"},
      {"ExactPlanWithoutPrecision", "SA pop=0 conf=95% ep=5% er=0 method=exact", 2,
       "SA: the expected deviation rate must be below the tolerable rate"},
      {"ExactPlanAboveCertainty", "SA pop=0 conf=95% ep=60% er=50% method=exact", 2,
       "ep=60% plus er=50% (the tolerable deviation rate) is above 1"},
      {"ExactSampleOverThePopulation", "PR pop=100 conf=95% ss=200 nobs=1 method=exact", 2,
       "PR: the sample cannot be larger than the population"},
      {"ExactMoreDeviationsThanItems", "PR pop=0 conf=95% ss=20 nobs=21 method=exact", 2,
       "PR: the deviations found must be from 0 to the sample size"},
      {"MethodOfAnotherCommand", "UN file=" + L + " col=Amount method=exact", 2,
       "method= is not an argument of UN (see tarnwick HE)"},
      {"EvaluationWithoutBookColumn", "SE file=" + M + " audit=Audited intvl=10000 conf=95%", 2,
       "missing: book= "},
      {"EvaluationBookColumnNotInFile",
       "SE file=" + M + " book=Bk audit=Audited intvl=10000 conf=95%", 2,
       "Col: Bk in file: " + M + " not found; the columns are: Item, Book, Audited"},
      {"EvaluationIntervalNotAboveZero",
       "SE file=" + M + " book=Book audit=Audited intvl=0 conf=95%", 2, "intvl=0 is not above 0"},
      {"EvaluationWithoutConfidence", "SE file=" + M + " book=Book audit=Audited intvl=10000", 2,
       "missing: conf= "},
      {"EvaluationBadConfidence", "SE file=" + M + " book=Book audit=Audited intvl=10000 conf=1.5",
       2, "conf=1.5 is not a fraction from 0 to 1 or a percentage such as 95%"},
      {"FileWithoutRows", "UN file=" + headerOnly + " col=Amount", 2,
       "File has insufficient data (file: " + headerOnly + ")"},
      {"InvalidCommand", "zz file=" + L, 2, "Command: zz is not a valid command"},
      {"CommandNotRunHere", "B5 sheet=x", 2,
       "Command: B5 is not run by tarnwick (see tarnwick HE)"},
      {"InvalidArgument", "IS file=" + L + " intvl=10 rn=1 colour=red" + S, 2,
       "Argument: colour is not a valid argument "},
      {"MissingArgument", "IS file=" + L + " intvl=10" + S, 2, "missing: RN= "},
      {"MissingSample", "IS file=" + L + " intvl=10 rn=3", 2, "missing: Sample= "},
      {"MissingAgeingDate", "AR file=" + L + " agecol=InvDate trancol=Amount", 2,
       "missing: agedate= "},
      {"MissingFile", "IS file=" + L + ".gone intvl=10 rn=1" + S, 2,
       "File: " + L + ".gone not found"},
      {"MissingColumn", "CM file=" + L + " col=Amt J=1000 R=1 RN=1" + S, 2,
       "Col: Amt in file: " + L +
           " not found; the columns are: Vendor, InvNum, InvDate, Amount, "
           "Account, CheckNum, Phone"},
      {"NonNumericAmountColumn", "CM file=" + L + " col=Vendor J=1000 R=1 RN=1" + S, 2,
       "Col: Vendor on row: 2 in file: " + L + " not numeric: V0001"},
      {"NotADateColumn", "WD file=" + L + " col=Amount", 2,
       "Col: Amount on row: 2 in file: " + L + " not a date value:" + Data().rows[0][3]},
      {"InvalidAgeingDate", "AR file=" + L + " agecol=InvDate trancol=Amount agedate=31/12/2023", 2,
       "Error 13: Type mismatch: ageing date is not a date: 31/12/2023"},
      {"InvalidDigitType", "BE file=" + L + " col=Amount type=F3", 2,
       "type=F3 is not one of F1, F2, L1, L2, D2"},
      {"UnknownSign", "BE file=" + L + " col=Amount sign=up", 2,
       "sign=up is not one of all, positive, negative"},
      {"NegativeMinimum", "BA file=" + L + " col=Vendor amount=Amount min=-5", 2,
       "min=-5 is not an amount of 0 or more"},
      {"MinimumNotANumber", "BE file=" + L + " col=Amount min=ten", 2,
       "min=ten is not an amount of 0 or more"},
      {"PlacesOutOfRange", "BE file=" + L + " col=Amount places=21", 2,
       "places=21 is not a whole number from 0 to 20"},
      {"PlacesNotOfBA", "BA file=" + L + " col=Vendor amount=Amount places=2", 2,
       "places= is not an argument of BA (see tarnwick HE)"},
      {"SignNotOfUN", "UN file=" + L + " col=Amount sign=positive", 2,
       "sign= is not an argument of UN (see tarnwick HE)"},
      {"IntervalBelowFive", "IS file=" + L + " intvl=4 rn=1" + S, 2,
       "intvl=4 is not a whole number from 5 to 1000000000"},
      {"StartBeyondInterval", "IS file=" + L + " intvl=10 rn=11" + S, 2,
       "rn=11 is not a whole number from 1 to 10"},
      {"RateOutOfRange", "SA pop=100 conf=95 ep=5% er=5%", 2,
       "conf=95 is not a fraction from 0 to 1 or a percentage such as 95%"},
      {"SampleOverTheInput", "IS file=" + L + " intvl=10 rn=1 sample=" + L, 2,
       "Output: " + L + " is an input of this command; choose another file"},
      {"SampleInAMissingFolder",
       "IS file=" + L + " intvl=10 rn=1 sample=" + Temp("gone") + "/s.tsv", 2,
       "Error 53: File not found: " + Temp("gone") + "/s.tsv"},
      // A worksheet range is read from a workbook; the engine's checks ask for its cells.
      {"WorksheetSource", "UN ds=rng col=Amount", 2, "missing: sheet= ulc= "},
      {"MissingDatabase", "UN ds=db conn=" + db + ".gone sql=\"select 1\" col=Amount", 2,
       "Database: " + db + ".gone not found"},
      {"DatabaseError", "UN ds=db conn=" + db + " sql=\"select Amount from nowhere\" col=Amount", 2,
       "Database: no such table: nowhere"},
      {"BadFilter", "IS file=" + L + " intvl=10 rn=1 cond=\"($Amount > 5\"" + S, 2,
       "Filter: Unbalanced parentheses"},
      {"FilterNamesNoColumn", "IS file=" + L + " intvl=10 rn=1 cond=\"$Amt > 5\"" + S, 2,
       "Filter: $AMT names no column of file: " + L},
      {"ExtractWithoutCondition", "EX file=" + L + S, 2, "missing: cond= "},
      {"WholeTolNotAWholeNumber",
       "SP file=" + L +
           " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount datetol=3 "
           "simtol=4 wholetol=soon",
       2, "wholetol=soon is not a whole number from 0 to 36500"},
      {"WholeTolBeyondItsRange",
       "SP file=" + L +
           " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount datetol=3 "
           "simtol=4 wholetol=-1",
       2, "wholetol=-1 is not a whole number from 0 to 36500"},
      {"WholeTolOfAnotherCommand",
       "NE file=" + L +
           " vendno=Vendor invno=InvNum invdate=InvDate "
           "invamt=Amount datetol=3 wholetol=3",
       2, "wholetol= is not an argument of NE (see tarnwick HE)"},
      {"BadStrata", "ST file=" + L + " col=Amount strata=\"100 10\"", 2,
       "strata: Out of sequence: 100 > 10"},
      {"MissingQuery", "UN ds=db conn=" + db + " col=Amount", 2, "missing: sql= "},
      {"MissingQueryColumn",
       "UN ds=db conn=" + db + " sql=\"select Vendor from payments\" col=Amount", 2,
       "Col: Amount in query: select Vendor from payments not found; the columns are: Vendor"},
  };
}

class RejectTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RejectTest, GivesTheMessageAndStatusAndWritesNothing) {
  const RejectCase& c = GetParam();
  MakeDb(Temp("reject.db"), Data());
  const std::string sample = Temp("never.tsv");
  fs::remove(sample);
  const auto before = fs::last_write_time(Ledger());
  const Result r = Tarnwick({c.line});
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.err, c.message + "\n");
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(sample));
  EXPECT_EQ(fs::last_write_time(Ledger()), before);
}

INSTANTIATE_TEST_SUITE_P(Paths, RejectTest, ::testing::ValuesIn(Rejections()),
                         [](const auto& info) { return std::string(info.param.name); });

// A bad value deep in the file is found during the run: status 1 with the engine's code, and
// an earlier sample of the same name is left as it was.
TEST(Runner, ErrorDuringTheRunKeepsTheEarlierSample) {
  Table t = Data();
  t.rows[499][t.Col("Amount")] = "N/A";
  std::string text = LineOf(t.header) + "\n";
  for (const auto& row : t.rows) text += LineOf(row) + "\n";
  const std::string bad = Temp("bad_ledger.tsv");
  WriteFile(bad, text);
  fs::create_directories(Temp("kept_dir"));
  const std::string sample = Temp("kept_dir") + "/sample.tsv";
  WriteFile(sample, "earlier sample\n");
  const Result r = Tarnwick({"CM file=" + bad + " col=Amount J=1000 R=1 RN=1 sample=" + sample});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 13: Type mismatch: Col: Amount on row: 501 in file: " + bad +
                       " not numeric: N/A\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadAll(sample), "earlier sample\n");
  for (const auto& e : fs::directory_iterator(fs::path(sample).parent_path()))
    EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

TEST(Runner, ScriptWithSymbolsCommentsAndBlankLines) {
  const std::string script = Temp("audit.txt");
  WriteFile(script, "# weekday and holiday postings\n\n<led>=file=" + Ledger() +
                        "\n  WD <led> col=InvDate\r\nHO <led> col=InvDate\n");
  const Result r = Tarnwick({"--raw", "-f", script});
  ASSERT_EQ(r.status, 0) << r.err;
  const Result wd = Tarnwick({"--raw", "WD file=" + Ledger() + " col=InvDate"});
  const Result ho = Tarnwick({"--raw", "HO file=" + Ledger() + " col=InvDate"});
  EXPECT_EQ(r.out, wd.out + "\r\n" + ho.out);
}

TEST(Runner, ScriptStopsAtTheFirstFailingLine) {
  const std::string script = Temp("stops.txt");
  WriteFile(script, "HO file=" + Ledger() +
                        " col=InvDate\nHO file=nowhere.tsv col=InvDate\nWD file=" + Ledger() +
                        " col=InvDate\n");
  const Result r = Tarnwick({"-f", script});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, script + ":2: File: nowhere.tsv not found\n");
  EXPECT_NE(r.out.find("Holidays: "), std::string::npos);
  EXPECT_EQ(r.out.find("Weekday analysis"), std::string::npos);
  const Result missing = Tarnwick({"-f", Temp("no_such_script.txt")});
  EXPECT_EQ(missing.status, 2);
}

TEST(Runner, TimingLineOnStandardError) {
  const Result r = Tarnwick({"--timing", "HO file=" + Ledger() + " col=InvDate recap=Hol"});
  ASSERT_EQ(r.status, 0);
  const std::string rows = FormatNumber(static_cast<std::int32_t>(Data().rows.size()), "#,###,###");
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Cmd: HO in: " + rows +
                        " items, rpt: Hol rps: [0-9,]+ time: [0-9,]*\\.[0-9]+ sec\n")))
      << r.err;
}

TEST(Runner, HelpListsEveryCommandWithItsArgumentsInWords) {
  for (const char* arg : {"HE", "--help"}) {
    const Result r = Tarnwick({arg});
    ASSERT_EQ(r.status, 0);
    for (const char* code : {"BE", "BA", "ST", "SU", "DU", "PO", "XT", "GA", "UN", "AR", "WD", "HO",
                             "NE", "SP", "IS", "CM", "SA", "PR", "RN", "KS", "TR", "EX", "LU"}) {
      EXPECT_NE(r.out.find(std::string("\n  ") + code + "  "), std::string::npos) << code;
    }
    // The arguments a command needs here, in words, with an example (run by the examples
    // test); none of the spreadsheet's: no sheet=, ulc= or field arguments.
    EXPECT_NE(
        r.out.find("\n  KS  Two-period account comparison\n        acct: the account column\n"),
        std::string::npos);
    EXPECT_NE(r.out.find("        example: tarnwick KS file=examples/trial_balance.tsv "
                         "acct=Account col1=PY col2=CY\n"),
              std::string::npos);
    // The spreadsheet's own arguments are listed for no command (sheet= and ulc= appear once,
    // with the workbook data sources).
    const std::string commands = r.out.substr(r.out.find("\nCommands"));
    for (const char* spreadsheet :
         {"sheet:", "sheet=", "ulc", "fldno", "iamount", "agefld", "tranfld", "required:"})
      EXPECT_EQ(commands.find(spreadsheet), std::string::npos) << spreadsheet;
    // SP: what simtol= is not, and the runner's own window of the whole's date.
    const std::size_t sp = r.out.find("\n  SP  Split invoices\n");
    ASSERT_NE(sp, std::string::npos);
    const std::string spHelp = r.out.substr(sp, r.out.find("\n  IS  ", sp) - sp);
    EXPECT_NE(spHelp.find("\n        simtol: required by the command table, not used by the test "
                          "(the parts must add up to the whole within 0.02)\n"),
              std::string::npos)
        << spHelp;
    EXPECT_NE(spHelp.find("\n        wholetol: days the whole invoice may lie from each of its "
                          "parts, 0 to 36500, or any (default: datetol) [runner]\n"),
              std::string::npos)
        << spHelp;
  }
  EXPECT_EQ(Tarnwick({}).status, 2);
  EXPECT_EQ(Tarnwick({"--bogus", "HE"}).status, 2);
}

TEST(Runner, ParetoListsTheLargestKeysOfTheSummaryClass) {
  const Result r = Tarnwick({"--raw", "PO file=" + Ledger() + " col=Vendor amount=Amount"});
  ASSERT_EQ(r.status, 0) << r.err;
  cStringArray sa;
  for (const auto& row : Data().rows)
    sa.Item(row[Data().Col("Vendor")], Num(row[Data().Col("Amount")]));
  sa.ComputePareto();
  std::string expected = "Pareto of Vendor by Amount\r\nKey\tAbsolute total\r\n";
  for (std::int16_t i = 0; i < cStringArray::kParetoSlots; ++i)
    expected += sa.ParItem(i) + "\t" + FormatNumber(sa.ParVal(i), "###,###,###,###.00") + "\r\n";
  expected += "All other keys\t" + FormatNumber(sa.ParOther(), "###,###,###,###.00") + "\r\n";
  EXPECT_EQ(r.out, expected);
}

TEST(Runner, AreaCodesOfEveryTelephoneNumber) {
  const Result r = Tarnwick({"LU file=" + Ledger() + " col=Phone"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream in(r.out);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "Row\tTelephone\tArea code\tState\tCountry\tTime zone");
  cMisc m;
  std::size_t n = 0;
  for (const auto& row : Data().rows) {
    ASSERT_TRUE(std::getline(in, line));
    const std::string phone = row[Data().Col("Phone")];
    EXPECT_EQ(line, std::to_string(n + 2) + "\t" + phone + "\t" +
                        std::to_string(m.AreaCode(phone)) + "\t" + m.State(phone) + "\t" +
                        m.Country(phone) + "\t" + m.TimeZone(phone));
    ++n;
  }
  EXPECT_FALSE(std::getline(in, line));
}

TEST(Runner, TwoPeriodComparisonOfAccounts) {
  const std::string tb = Temp("tb.tsv");
  WriteFile(tb, "Acct\tY1\tY2\nA\t50\t50\nB\t30\t100\nC\t20\t50\n");
  const Result r = Tarnwick({"KS file=" + tb + " acct=Acct col1=Y1 col2=Y2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Two-period comparison of Y1 and Y2\n"
            "Account\tPeriod 1\tPeriod 2\tCum % 1\tCum % 2\tDifference\n"
            "A\t50.00\t50.00\t50.00%\t25.00%\t0.25000\n"
            "B\t30.00\t100.00\t80.00%\t75.00%\t0.05000\n"
            "C\t20.00\t50.00\t100.00%\t100.00%\t0.00000\n"
            "Totals\t100.00\t200.00\n"
            "D-stat\t0.25000\n"
            "Largest difference at\tA\n");
}

// The filter selects the same rows as the test's own reading of the condition.
TEST(Runner, ExtractWritesTheRowsTheFilterSelects) {
  const Table& t = Data();
  std::vector<std::string> expected = {LineOf(t.header)};
  for (const auto& row : t.rows)
    if (Num(row[t.Col("Amount")]) >= 50000 && row[t.Col("Account")] == "5200")
      expected.push_back(LineOf(row));
  ASSERT_GT(expected.size(), 3u);
  const std::string cond = " cond=\"$Amount >= 50000 AND $account = 5200\"";
  const Result listed = Tarnwick({"EX file=" + Ledger() + cond});
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::string text;
  for (const auto& l : expected) text += l + "\n";
  EXPECT_EQ(listed.out, text);

  const std::string extract = Temp("extract.tsv");
  const Result written = Tarnwick({"EX file=" + Ledger() + cond + " sample=" + extract});
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(RowsOf(extract), expected);
  EXPECT_EQ(written.out, "Extract\nRows read\t" + std::to_string(t.rows.size()) +
                             "\nRows selected\t" + std::to_string(expected.size() - 1) +
                             "\nWritten to\t" + extract + "\n");

  // Any analysis takes the filter: weekdays of the selected rows only.
  const Result wd = Tarnwick({"--raw", "WD file=" + Ledger() + " col=InvDate" + cond});
  cAge age;
  for (const auto& row : t.rows)
    if (Num(row[t.Col("Amount")]) >= 50000 && row[t.Col("Account")] == "5200")
      age.AddItem(Day(row[t.Col("InvDate")]), 0);
  EXPECT_EQ(wd.out, Raw(age.WDReport()));
}

TEST(Runner, NoSelectedRowsIsSaidWithTheEngineError) {
  const Result r =
      Tarnwick({"UN file=" + Ledger() + " col=Amount cond=\"$Amount > 1000000000000\""});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error 11: Division by zero (no rows were selected)\n");
  // The filter reads no exponents: 1e12 is the number 1 and the name E12, which can never
  // make one expression, so it is refused before the run.
  const Result e = Tarnwick({"UN file=" + Ledger() + " col=Amount cond=\"$Amount > 1e12\""});
  EXPECT_EQ(e.status, 2);
  EXPECT_EQ(e.err,
            "Filter: not one complete expression (an operand or operator is missing, or a value is "
            "not read as written): $Amount > 1e12\n");
}

// Past the in-memory limit the amounts go to the external sort, whose temporary files are gone
// when the run ends.
TEST(Runner, LargeSourcesUseTheExternalSort) {
  const std::string tmp = Temp("sort_tmp");
  fs::create_directories(tmp);
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", tmp.c_str(), 1);
  const Result r =
      Tarnwick({"--raw", "--max-in-memory", "1000", "UN file=" + Ledger() + " col=Amount"});
  const Result small =
      Tarnwick({"--raw", "--max-in-memory", "3000", "UN file=" + Ledger() + " col=Amount"});
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  ASSERT_EQ(r.status, 0) << r.err;
  cNewDouble nd;
  for (const auto& row : Data().rows) nd.AddItem(Num(row[Data().Col("Amount")]));
  const std::string stat = nd.StatReport();
  const std::string histo = nd.HistoReport();
  const std::string pct = nd.PercentileReport();
  const std::string top = nd.TopNReport(10);
  EXPECT_EQ(r.out, Raw(Join({stat, histo, pct, top, nd.BottomNReport(10)})));
  EXPECT_TRUE(fs::is_empty(tmp));
  // At the limit itself the amounts stay in memory.
  EXPECT_EQ(small.out, Raw(UnReport(Data())));
}

// A fixed-width print file read through its column specification gives the same summary as the
// rows it was made from.
TEST(Runner, PrintFileThroughItsColumnSpecification) {
  const Table& t = Data();
  auto pad = [](std::string v, std::size_t n) {
    v.resize(n, ' ');
    return v;
  };
  std::string prn = "VENDOR    DATE        AMOUNT      \n";
  cStringArray sa;
  for (std::size_t i = 0; i < 200; ++i) {
    const auto& row = t.rows[i];
    prn += pad(row[t.Col("Vendor")], 10) + pad(row[t.Col("InvDate")], 12) +
           pad(row[t.Col("Amount")], 12) + "  \n";
    sa.Item(row[t.Col("Vendor")], Num(row[t.Col("Amount")]));
  }
  const std::string file = Temp("ledger.prn");
  const std::string spec = Temp("ledger.spec");
  WriteFile(file, prn);
  WriteFile(spec,
            "Name\tStart\tSize\tType\nVendor\t1\t10\tA\nInvDate\t11\t12\tD\nAmount\t23\t12\tN\n");
  const Result r =
      Tarnwick({"--raw", "SU file=" + file + " filespec=" + spec + " col=Vendor amount=Amount"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, Raw(sa.SummaryReport()));
  const Result badSpec =
      Tarnwick({"SU file=" + file + " filespec=" + spec + ".gone col=Vendor amount=Amount"});
  EXPECT_EQ(badSpec.status, 2);
  EXPECT_EQ(badSpec.err, "File: " + spec + ".gone not found\n");
}

TEST(Runner, TrendOfASeriesInRowOrder) {
  const std::string file = Temp("series.tsv");
  WriteFile(file, "Month\tSales\n1\t10\n2\t14\n3\t15\n4\t21\n5\t22\n");
  const Result r = Tarnwick({"TR file=" + file + " col=Sales"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<double> v = {10, 14, 15, 21, 22};
  cTrend t;
  t.linest(v, 5);
  EXPECT_EQ(r.out, "Trend of Sales\nObservations\t5\nSlope\t" + NumText(t.Slope()) +
                       "\nIntercept\t" + NumText(t.Intercept()) + "\nR squared\t" +
                       NumText(t.R2()) + "\nFirst actual\t10\n" + "First expected\t" +
                       NumText(t.LeftExpected()) + "\nLast actual\t22\nLast expected\t" +
                       NumText(t.RightExpected()) + "\n");
  EXPECT_EQ(NumText(t.Slope()), "3.1");  // Sxy 31 over Sxx 10
  // Two values make a line but no trend worth its R squared; one value makes no line. The
  // report keeps what can be said instead of failing with the trend class's error.
  WriteFile(file, "Month\tSales\n1\t10\n2\t14\n");
  const Result two = Tarnwick({"TR file=" + file + " col=Sales"});
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(two.out,
            "Trend of Sales\nObservations\t2\nSlope\t4\nIntercept\t6\n"
            "R squared\tn/a (needs 3 or more values)\nFirst actual\t10\nFirst expected\t10\n"
            "Last actual\t14\nLast expected\t14\n");
  WriteFile(file, "Month\tSales\n1\t10\n");
  const Result one = Tarnwick({"TR file=" + file + " col=Sales"});
  ASSERT_EQ(one.status, 0) << one.err;
  const std::string na = "n/a (needs 2 or more values)";
  EXPECT_EQ(one.out,
            "Trend of Sales\nObservations\t1\nSlope\t" + na + "\nIntercept\t" + na +
                "\nR squared\tn/a (needs 3 or more values)\nFirst actual\t10\nFirst expected\t" +
                na + "\nLast actual\t10\nLast expected\t" + na + "\n");
}

}  // namespace
