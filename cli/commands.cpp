// The commands the runner runs: for each, the engine class that does the work, the column
// arguments checked before the run, and the wiring from rows to the class and back to its
// report. Nothing here computes a figure of its own.

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "runner.h"
#include "output_file.h"
#include "tarnwick/audit/ageing.h"
#include "tarnwick/audit/benford.h"
#include "tarnwick/audit/interval_sampling.h"
#include "tarnwick/audit/invoices.h"
#include "tarnwick/audit/key_summary.h"
#include "tarnwick/audit/misc.h"
#include "tarnwick/audit/mus_reconciliation.h"
#include "tarnwick/audit/stratify.h"
#include "tarnwick/audit/two_period.h"
#include "tarnwick/stats/sequences.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"
#include "tarnwick/shell/report_text.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/stats/amount_array.h"
#include "tarnwick/stats/cross_tab.h"
#include "tarnwick/stats/external_sort.h"
#include "tarnwick/stats/regression.h"

namespace tarnwick::cli {

namespace {

// Joins report parts with one line end between them.
void Append(std::string& out, const std::string& part) {
  if (!out.empty() && out.size() >= 2 && out.compare(out.size() - 2, 2, kCrLf) != 0) out += kCrLf;
  out += part;
}

// A whole number given as `name`; anything else is refused before the run.
std::int32_t WholeNumber(const char* name, const std::string& text, std::int32_t lo,
                         std::int32_t hi) {
  std::int32_t v = 0;
  const char* b = text.data();
  const char* e = b + text.size();
  auto r = std::from_chars(b, e, v);
  if (text.empty() || r.ec != std::errc() || r.ptr != e || v < lo || v > hi) {
    throw Rejected{std::string(name) + "=" + text + " is not a whole number from " +
                   std::to_string(lo) + " to " + std::to_string(hi)};
  }
  return v;
}

// A whole-number argument of the engine's command table.
std::int32_t WholeArg(const Job& job, const char* name, std::int32_t lo, std::int32_t hi) {
  return WholeNumber(name, job.Arg(name), lo, hi);
}

// In memory while the amounts fit; past the limit the amounts so far move to the external
// sort, which takes the rest and gives the large-data reports.
void RunUN(Job& job) {
  const int c = job.Col("col");
  cDoubleArray a;
  std::unique_ptr<cNewDouble> big;
  while (job.Next()) {
    const double v = job.Number(c);
    if (big) {
      big->AddItem(v);
      continue;
    }
    a.AddItem(v);
    if (a.Count() > job.Opts().maxInMemory) {
      big = std::make_unique<cNewDouble>();
      for (std::int32_t i = 0; i < a.Count(); ++i) big->AddItem(a.Element(i));
      a = cDoubleArray();
    }
  }
  if (big) {
    job.report = big->StatReport();
    Append(job.report, big->HistoReport());
    Append(job.report, big->PercentileReport());
    Append(job.report, big->TopNReport(10));
    Append(job.report, big->BottomNReport(10));
    return;
  }
  job.report = a.StatReport();
  Append(job.report, a.HistoReport());
  Append(job.report, a.OLReport());
}

void RunTR(Job& job) {
  const int c = job.Col("col");
  std::vector<double> v;
  while (job.Next()) v.push_back(job.Number(c));
  // The series length is a 16-bit count in the trend class.
  if (v.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    Raise(ErrorCode::Overflow, "a trend reads at most 32,767 values");
  }
  cTrend t;
  t.linest(v, static_cast<std::int16_t>(v.size()));
  std::string& r = job.report;
  r = "Trend of " + job.Arg("col");
  r += kCrLf;
  auto line = [&](const char* label, double value) {
    r += label;
    r += kTab;
    AppendNumText(r, value);
    r += kCrLf;
  };
  line("Observations", static_cast<double>(v.size()));
  line("Slope", t.Slope());
  line("Intercept", t.Intercept());
  line("R squared", t.R2());
  line("First actual", t.LeftActual());
  line("First expected", t.LeftExpected());
  line("Last actual", t.RightActual());
  line("Last expected", t.RightExpected());
}

void RunAR(Job& job) {
  cAge age;
  age.AgeingDate(job.Arg("agedate"));
  std::int16_t width = static_cast<std::int16_t>(WholeArg(job, "colwidth", 1, 365));
  age.SetAgeWidth(width);
  const int d = job.Col("agecol");
  const int a = job.Col("trancol");
  while (job.Next()) age.AddItem(job.DateValue(d), job.Number(a));
  job.report = age.AgeReport();
}

void RunWD(Job& job) {
  cAge age;
  const int d = job.Col("col");
  while (job.Next()) age.AddItem(job.DateValue(d), 0.0);
  job.report = age.WDReport();
}

void RunHO(Job& job) {
  cAge age;
  const int d = job.Col("col");
  std::string text;
  while (job.Next()) {
    text.assign(job.Text(d));
    age.IsHoliday(text);
  }
  job.report = age.HolReport();
}


// A rate or level: a fraction from 0 to 1, or a percentage written with "%".
double RateArg(const Job& job, const char* name) {
  std::string text = Trim(job.Arg(name));
  bool percent = !text.empty() && text.back() == '%';
  if (percent) text.pop_back();
  const auto v = ParseNumber(text);
  const double d = v ? (percent ? *v / 100.0 : *v) : -1.0;
  if (!v || d < 0.0 || d > 1.0) {
    throw Rejected{std::string(name) + "=" + job.Arg(name) +
                   " is not a fraction from 0 to 1 or a percentage such as 95%"};
  }
  return d;
}

double NumberArg(const Job& job, const char* name) {
  const auto v = ParseNumber(job.Arg(name));
  if (!v) throw Rejected{std::string(name) + "=" + job.Arg(name) + " is not a number"};
  return *v;
}

void Figure(std::string& r, const char* label, double value) {
  r += label;
  r += kTab;
  AppendNumText(r, value);
  r += kCrLf;
}

// The selected rows of a sampling command go to the sample file, header first.
void StartSample(Job& job, OutputFile& out) { out.WriteLine(job.Source().HeaderLine()); }

void RunBE(Job& job) {
  const std::string type = UCase(job.Arg("type").substr(0, 2));
  if (type != "F1" && type != "F2" && type != "L1" && type != "L2" && type != "D2") {
    throw Rejected{"type=" + job.Arg("type") + " is not one of F1, F2, L1, L2, D2"};
  }
  const int c = job.Col("col");
  cBenford b;
  b.btype(type);
  while (job.Next()) {
    job.Number(c);  // a value that is no amount is an error, never a silent skip
    b.AddObs(job.Text(c));
  }
  b.Compute();
  job.report = b.Report();
}

// Rows as (key, amount) items of a summary by key (amount 0 without an amount column), in
// batches: with many keys the summary's lookups then overlap instead of queueing.
template <class Summary>
void FeedKeysInBatches(Job& job, int k, int a, Summary& summary) {
  constexpr std::size_t kBatch = 64;
  std::array<std::string, kBatch> keys;
  std::array<std::string_view, kBatch> views;
  std::array<double, kBatch> amounts;
  std::size_t n = 0;
  while (job.Next()) {
    amounts[n] = a < 0 ? 0.0 : job.Number(a);
    keys[n].assign(job.Text(k));
    views[n] = keys[n];
    if (++n == kBatch) {
      summary.Items(views.data(), amounts.data(), n);
      n = 0;
    }
  }
  summary.Items(views.data(), amounts.data(), n);
}

void RunBA(Job& job) {
  cBA ba;
  FeedKeysInBatches(job, job.Col("col"), job.Col("amount"), ba);
  job.report = ba.SummaryReport();
}

// Near misses: each invoice is tested as it arrives against those before it, so every pair is
// listed once.
void RunNE(Job& job) {
  cCR cr;
  cr.DateTol(WholeArg(job, "datetol", 0, 36500));
  const int v = job.Col("vendno"), n = job.Col("invno"), d = job.Col("invdate"), a = job.Col("invamt");
  std::string vendor, invno;
  while (job.Next()) {
    const Date date = job.DateValue(d);
    const double amount = job.Number(a);
    vendor.assign(job.Text(v));
    invno.assign(job.Text(n));
    cr.AddItem(vendor, invno, date, amount);
    cr.nemisstrans();
  }
  job.report = cr.NEReport();
}

// Splits: an invoice may be split into parts entered before or after it, so every invoice is
// tested once all are in. The whole must lie within wholetol= days of each part (by default
// datetol=): without that bound a ledger of a year pairs every two invoices of a vendor that
// happen to add up to a third one of any date, millions of lines no one can review.
void RunSP(Job& job) {
  cCR cr;
  const std::int32_t dateTol = WholeArg(job, "datetol", 0, 36500);
  cr.DateTol(dateTol);
  cr.SimTol(WholeArg(job, "simtol", 0, 1000000));
  const std::string wholeText = job.RunnerArg("wholetol");
  std::int32_t wholeTol = dateTol;
  if (EqualsNoCase(wholeText, "any")) {
    wholeTol = -1;
  } else if (!wholeText.empty()) {
    wholeTol = WholeNumber("wholetol", wholeText, 0, 36500);
  }
  cr.WholeTol(wholeTol);
  const int v = job.Col("vendno"), n = job.Col("invno"), d = job.Col("invdate"), a = job.Col("invamt");
  std::string vendor, invno;
  std::int32_t count = 0;
  while (job.Next()) {
    const Date date = job.DateValue(d);
    const double amount = job.Number(a);
    vendor.assign(job.Text(v));
    invno.assign(job.Text(n));
    cr.AddItem(vendor, invno, date, amount);
    ++count;
  }
  for (std::int32_t i = 0; i < count; ++i) cr.SplitTran();
  job.report = cr.SPReport();
  // The closing note: how many splits, and the date windows they were found in.
  job.report += "Splits found: ";
  job.report += kTab;
  job.report += NumText(cr.SPCount());
  job.report += kTab;
  job.report += "(parts within " + std::to_string(dateTol) + " days of each other, ";
  job.report += wholeTol < 0 ? std::string("the whole at any date")
                             : "the whole within " + std::to_string(wholeTol) +
                                   " days of each part";
  job.report += ")";
  job.report += kCrLf;
}

void RunIS(Job& job) {
  cIS is;
  std::int32_t interval = WholeArg(job, "intvl", 5, 1000000000);
  is.interval(interval);
  is.rn(WholeArg(job, "rn", 1, interval));
  OutputFile out(job.Arg("sample"), job.Inputs());
  StartSample(job, out);
  while (job.Next()) {
    if (is.AddItem(Variant{})) out.WriteLine(job.Source().RowLine());
  }
  job.report = is.Recon();
  out.Commit();
}

void RunCM(Job& job) {
  cCMA cma;
  const double j = NumberArg(job, "J");
  if (j < 100) throw Rejected{"J=" + job.Arg("J") + " is below 100"};
  const std::int32_t r = WholeArg(job, "R", 1, 3);
  cma.r(static_cast<std::int16_t>(r));
  cma.j(Currency::FromDouble(j));
  cma.rn(Currency::FromDouble(NumberArg(job, "RN")));
  const int c = job.Col("col");
  OutputFile out(job.Arg("sample"), job.Inputs());
  StartSample(job, out);
  while (job.Next()) {
    if (cma.AddItem(job.Number(c))) out.WriteLine(job.Source().RowLine());
  }
  job.report = cma.CMASampRec();
  out.Commit();
}

std::int32_t CountArg(const Job& job, const char* name) {
  return WholeArg(job, name, 0, std::numeric_limits<std::int32_t>::max());
}

void RunSA(Job& job) {
  cIS is;
  is.popsize(CountArg(job, "pop"));
  double conf = RateArg(job, "conf"), ep = RateArg(job, "ep"), er = RateArg(job, "er");
  is.conf(conf);
  is.expecterrorrate(ep);
  is.prec(er);
  std::string& r = job.report;
  r = "Attribute Sample Size";
  r += kCrLf;
  Figure(r, "Population", is.popsize());
  Figure(r, "Confidence", is.conf());
  Figure(r, "Expected error rate", is.expecterrorrate());
  Figure(r, "Precision", is.prec());
  Figure(r, "Required sample size", is.RequiredSampleSize());
}

void RunPR(Job& job) {
  cIS is;
  is.popsize(CountArg(job, "pop"));
  double conf = RateArg(job, "conf");
  is.conf(conf);
  is.SampSize(CountArg(job, "ss"));
  std::int32_t errors = CountArg(job, "nobs");
  is.actualerrs(errors);
  std::string& r = job.report;
  r = "Achieved Precision";
  r += kCrLf;
  Figure(r, "Population", is.popsize());
  Figure(r, "Confidence", is.conf());
  Figure(r, "Sample size", is.SampSize());
  Figure(r, "Errors found", is.actualerrs());
  Figure(r, "Precision", is.GetSampPrec());
}

void RunST(Job& job) {
  cStratify st;
  if (st.stratum(job.Arg("strata")) < 0) throw Rejected{"strata: " + st.ErrMsg()};
  const int c = job.Col("col");
  while (job.Next()) st.AddObs(job.Number(c));
  job.report = st.Report();
}

// SU, DU and PO: one summary by key; the amount is optional for duplicates.
void SummariseKeys(Job& job, cStringArray& sa) { FeedKeysInBatches(job, job.Col("col"), job.Col("amount"), sa); }

void RunSU(Job& job) {
  cStringArray sa;
  SummariseKeys(job, sa);
  job.report = sa.SummaryReport();
}

void RunDU(Job& job) {
  cStringArray sa;
  SummariseKeys(job, sa);
  job.report = sa.DuplicateReport();
}

void RunPO(Job& job) {
  cStringArray sa;
  SummariseKeys(job, sa);
  sa.ComputePareto();
  std::string& r = job.report;
  r = "Pareto of " + job.Arg("col") + " by " + job.Arg("amount");
  r += kCrLf;
  r += "Key\tAbsolute total";
  r += kCrLf;
  for (std::int16_t i = 0; i < cStringArray::kParetoSlots; ++i) {
    if (sa.ParItem(i).empty()) continue;
    r += sa.ParItem(i);
    r += kTab;
    AppendNumber(r, sa.ParVal(i), "###,###,###,###.00");
    r += kCrLf;
  }
  r += "All other keys";
  r += kTab;
  AppendNumber(r, sa.ParOther(), "###,###,###,###.00");
  r += kCrLf;
}

void RunGA(Job& job) {
  const int c = job.Col("col");
  cLongArray seq;
  while (job.Next()) {
    const double v = job.Number(c);
    if (v != std::floor(v) || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max()) {
      Raise(ErrorCode::TypeMismatch, "Col: " + job.Arg("col") + " on row: " +
                                         std::to_string(job.RowsRead() + 1) +
                                         " is not a whole number: " + std::string(job.Text(c)));
    }
    seq.AddItem(static_cast<std::int32_t>(v));
  }
  seq.SortArray();
  job.report = seq.Gaps();
}

void RunRN(Job& job) {
  const int c = job.Col("col");
  cMisc m;
  while (job.Next()) {
    job.Number(c);
    m.RNAddItem(job.Text(c));
  }
  job.report = m.RNReport();
}

// Area code, state, country and time zone of every telephone number, row by row.
void RunLU(Job& job) {
  const int c = job.Col("col");
  cMisc m;
  std::string& r = job.report;
  r = "Row\tTelephone\tArea code\tState\tCountry\tTime zone";
  r += kCrLf;
  while (job.Next()) {
    const std::string_view phone = job.Text(c);
    const std::int16_t code = m.AreaCode(phone);
    r += std::to_string(job.RowsRead() + 1);
    r += kTab;
    r.append(phone);
    r += kTab;
    if (code >= 0) r += std::to_string(code);
    r += kTab;
    r += m.State(phone);
    r += kTab;
    r += m.Country(phone);
    r += kTab;
    r += m.TimeZone(phone);
    r += kCrLf;
  }
}

// The accounts in file order with both periods' balances; the comparison needs the period
// totals first, so the rows are held until the end of the source.
void RunKS(Job& job) {
  const int a = job.Col("acct"), p1 = job.Col("col1"), p2 = job.Col("col2");
  struct Row {
    std::string acct;
    double v1, v2;
  };
  std::vector<Row> rows;
  double t1 = 0.0, t2 = 0.0;
  while (job.Next()) {
    rows.push_back({std::string(job.Text(a)), job.Number(p1), job.Number(p2)});
    t1 += rows.back().v1;
    t2 += rows.back().v2;
  }
  if (rows.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    Raise(ErrorCode::Overflow, "a comparison holds at most 32,767 accounts");
  }
  cKS ks;
  ks.Setup(static_cast<std::int16_t>(rows.size()), t1, t2);
  for (const Row& row : rows) ks.AddItem(row.acct, row.v1, row.v2);
  std::string& r = job.report;
  r = "Two-period comparison of " + job.Arg("col1") + " and " + job.Arg("col2");
  r += kCrLf;
  r += "Account\tPeriod 1\tPeriod 2\tCum % 1\tCum % 2\tDifference";
  r += kCrLf;
  if (t1 != 0.0 && t2 != 0.0) {
    for (std::int16_t i = 0; i < static_cast<std::int16_t>(rows.size()); ++i) {
      r += ks.Acct(i);
      r += kTab;
      AppendNumber(r, ks.Per1(i), "###,###,###,###.00");
      r += kTab;
      AppendNumber(r, ks.Per2(i), "###,###,###,###.00");
      r += kTab;
      AppendNumber(r, ks.CP1(i), "##.#0%");
      r += kTab;
      AppendNumber(r, ks.CP2(i), "##.#0%");
      r += kTab;
      AppendNumber(r, ks.CD(i), "#0.####0");
      r += kCrLf;
    }
  }
  r += "Totals\t";
  AppendNumber(r, ks.Total1(), "###,###,###,###.00");
  r += kTab;
  AppendNumber(r, ks.Total2(), "###,###,###,###.00");
  r += kCrLf;
  r += "D-stat\t";
  AppendNumber(r, ks.dstat(), "#0.####0");
  r += kCrLf;
  r += "Largest difference at\t" + ks.AcctName();
  r += kCrLf;
}

// The selected rows, header first: to the sample file when one is named (written whole or
// not at all), else as the report.
void RunEX(Job& job) {
  const std::string sample = job.Arg("sample");
  std::int64_t rows = 0;
  if (sample.empty()) {
    std::string& r = job.report;
    r = job.Source().HeaderLine();
    r += kCrLf;
    while (job.Next()) {
      r.append(job.Source().RowLine());
      r += kCrLf;
      ++rows;
    }
    return;
  }
  OutputFile out(sample, job.Inputs());
  StartSample(job, out);
  while (job.Next()) {
    out.WriteLine(job.Source().RowLine());
    ++rows;
  }
  out.Commit();
  std::string& r = job.report;
  r = "Extract";
  r += kCrLf;
  Figure(r, "Rows read", static_cast<double>(job.RowsRead()));
  Figure(r, "Rows selected", static_cast<double>(rows));
  r += "Written to\t" + sample;
  r += kCrLf;
}

void RunXT(Job& job) {
  const int r = job.Col("col1"), c = job.Col("col2"), a = job.Col("amount");
  cXtab xt;
  while (job.Next()) xt.AddItem(job.Text(r), job.Text(c), job.Number(a));
  job.report = xt.Report();
}

constexpr Kind T = Kind::Text;
constexpr Kind N = Kind::Number;
constexpr Kind D = Kind::Date;

}  // namespace

const std::vector<CommandDef>& Commands() {
  static const std::vector<CommandDef> table = {
      {"BE", "Benford test of an amount column",
       {"col: the amount column", "type: the digit test, F1, F2, L1, L2 or D2 (default F1)"},
       true, {{"col", N}}, RunBE},
      {"BA", "Benford summary by key",
       {"col: the key column", "amount: the amount column"},
       true, {{"col", T}, {"amount", N}}, RunBA},
      {"ST", "Stratification of an amount column",
       {"col: the amount column", "strata: the stratum boundaries, quoted (strata=\"0 100 1000\")"},
       true, {{"col", N}}, RunST},
      {"SU", "Summary by key",
       {"col: the key column", "amount: the amount column"},
       true, {{"col", T}, {"amount", N}}, RunSU},
      {"DU", "Duplicates by key",
       {"col: the key column", "amount: the amount column (optional)"},
       true, {{"col", T}, {"amount", N, true}}, RunDU},
      {"PO", "Pareto of keys",
       {"col: the key column", "amount: the amount column"},
       true, {{"col", T}, {"amount", N}}, RunPO},
      {"XT", "Cross-tabulation with chi-square",
       {"col1: the row key column", "col2: the column key column", "amount: the amount column"},
       true, {{"col1", T}, {"col2", T}, {"amount", N}}, RunXT},
      {"GA", "Gaps in a number sequence",
       {"col: the column of sequence numbers (cheque numbers, say)"},
       true, {{"col", N}}, RunGA},
      {"UN", "Descriptive statistics with histogram and extremes",
       {"col: the amount column"},
       true, {{"col", N}}, RunUN},
      {"AR", "Ageing",
       {"agecol: the date column", "trancol: the amount column",
        "agedate: the ageing date, month/day/year",
        "colwidth: days per band, 1 to 365 (default 30)"},
       true, {{"agecol", D}, {"trancol", N}}, RunAR},
      {"WD", "Weekday analysis",
       {"col: the date column"},
       true, {{"col", D}}, RunWD},
      {"HO", "Holidays",
       {"col: the date column"},
       true, {{"col", D}}, RunHO},
      {"NE", "Near-miss invoices",
       {"vendno: the vendor column", "invno: the invoice number column",
        "invdate: the invoice date column", "invamt: the amount column",
        "datetol: days within which two invoices count as near"},
       true, {{"vendno", T}, {"invno", T}, {"invdate", D}, {"invamt", N}}, RunNE},
      {"SP", "Split invoices",
       {"vendno: the vendor column", "invno: the invoice number column",
        "invdate: the invoice date column", "invamt: the amount column",
        "datetol: days within which the two parts of a split lie",
        "simtol: required by the command table, not used by the test (the parts must add up "
        "to the whole within 0.02)"},
       true, {{"vendno", T}, {"invno", T}, {"invdate", D}, {"invamt", N}}, RunSP},
      {"IS", "Interval sample with reconciliation",
       {"intvl: the sampling interval in rows (at least 5)", "rn: the start, 1 to intvl (the first row taken is intvl - rn + 1)",
        "sample: the file that receives the selected rows (written whole or not at all)"},
       true, {}, RunIS},
      {"CM", "Monetary-unit sample with reconciliation",
       {"col: the amount column", "J: the amount the interval is derived from (at least 100)", "R: the divisor of J, 1, 2 or 3 (the interval is J / R)",
        "RN: the start inside the first interval (beyond one interval: a random start)",
        "sample: the file that receives the selected rows (written whole or not at all)"},
       true, {{"col", N}}, RunCM},
      {"SA", "Attribute sample size",
       {"pop: the population size", "conf: the confidence level (0.95 or 95%)",
        "ep: the expected error rate (0.05 or 5%)", "er: the precision wanted (0.05 or 5%)"},
       false, {}, RunSA},
      {"PR", "Achieved precision of a sample",
       {"pop: the population size", "conf: the confidence level (0.95 or 95%)", "ss: the sample size",
        "nobs: the errors observed in the sample"},
       false, {}, RunPR},
      {"RN", "Round-number test",
       {"col: the amount column"},
       true, {{"col", N}}, RunRN},
      {"KS", "Two-period account comparison",
       {"acct: the account column", "col1: the first period's amount column",
        "col2: the second period's amount column"},
       true, {{"acct", T}, {"col1", N}, {"col2", N}}, RunKS},
      {"TR", "Trend of a series",
       {"col: the column of the series, in row order"},
       true, {{"col", N}}, RunTR},
      {"EX", "Extract the rows that meet a condition",
       {"cond: the row filter", "sample: the file that receives the rows (optional; "
                                "without it the rows go to standard output)"},
       true, {}, RunEX},
      {"LU", "Area-code lookup of a telephone column",
       {"col: the telephone column"},
       true, {{"col", T}}, RunLU},
  };
  return table;
}

std::string HelpText() {
  std::string s;
  s += "usage: tarnwick [OPTIONS] 'COMMAND name=value ...'\r\n";
  s += "       tarnwick [OPTIONS] -f SCRIPT   one command per line, # comments, <name>=text symbols\r\n";
  s += "       tarnwick HE | --help\r\n";
  s += "options: --raw (keep CR LF line ends)  --timing (timing line on standard error)\r\n";
  s += "         --max-in-memory N (UN: above N amounts use the external sort; 10000000)\r\n";
  s += "         --out FILE.xlsx (also every report of the run in one workbook)\r\n";
  s += "\r\n";
  s += "Data sources (every command that reads rows):\r\n";
  s += "  ds=file file=PATH      a tab-delimited or comma-separated file with a header line\r\n";
  s += "    filespec=SPEC        ... or a fixed-width print file with its column specification\r\n";
  s += "  ds=db conn=PATH sql=Q  the rows of an SQLite query (quote it: sql=\"select ...\")\r\n";
  s += "  ds=rng, ds=sel         worksheet ranges: they need the spreadsheet\r\n";
  s += "  sample=PATH            the file that receives selected rows (written whole or not at all)\r\n";
  s += "  cond=FILTER            selects rows (any source)\r\n";
  s += "  recap=NAME             names the report (default: the command code)\r\n";
  s += "  ds defaults to db when conn= or sql= is given, else to file.\r\n";
  s += "\r\n";
  s += "Commands:\r\n";
  cNVal nval;
  cOVal oval;
  for (const CommandDef& c : Commands()) {
    s += "  ";
    s += c.code;
    s += "  ";
    s += c.title;
    if (!c.run) s += "  (not available in this build)";
    s += kCrLf;
    for (const char* a : c.args) {
      s += "        ";
      s += a;
      s += kCrLf;
    }
    for (const RunnerArgDef& r : RunnerArgs()) {
      if (!RunnerArgApplies(r, c.code)) continue;
      s += "        ";
      s += r.name;
      s += ": ";
      s += r.help;
      s += " [runner]\r\n";
    }
    const std::string need = nval.Getit(c.code);
    const std::string req = oval.GetitReq(c.code);
    const std::string opt = oval.GetitOpt(c.code);
    auto names = [&](const char* label, const std::string& list) {
      if (list.empty()) return;
      s += label;
      s += RTrim(list);
      s += kCrLf;
    };
    names("        source checks (all sources, db): ", need);
    names("        required: ", req);
    names("        optional: ", opt);
  }
  s += "\r\n";
  s += "sheet= is the worksheet of the spreadsheet; here the report goes to standard output.\r\n";
  s += "--out FILE.xlsx also files every report of the run in one workbook, a worksheet named\r\n";
  s += "by its recap, with charts for BE, ST, UN, AR, WD, RN and KS (title= names the chart);\r\n";
  s += "it is written only when the whole run succeeds.\r\n";
  s += "Exit status: 0 done, 2 command rejected (message on standard error), 1 engine error.\r\n";
  return s;
}

}  // namespace tarnwick::cli
