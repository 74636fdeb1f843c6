// --format json and --format csv: every command's report read back from both forms and
// compared figure by figure with its text report, whose numbers this file reads on its own;
// named fields checked against the text report's figures; the reader's number patterns,
// names and layouts on small reports; status and messages of failed runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "cli_support.h"
#include "structured_report.h"

using namespace cli_test;
using nlohmann::json;

namespace {

// --- the text report's figures, read independently of the runner ---------------------------

// A figure in the engine's number patterns: grouped digits, optional point and decimals, an
// exponent, a "%" (the figure is then the fraction), "-" or parentheses for negatives.
bool TextNumber(std::string cell, double& out) {
  static const std::regex number(R"(^(-?)((\d{1,3}(,\d{3})+)|\d*)(\.\d*)?([Ee][-+]?\d+)?(%?)$)");
  while (!cell.empty() && cell.back() == ' ') cell.pop_back();
  while (!cell.empty() && cell.front() == ' ') cell.erase(0, 1);
  bool paren = cell.size() > 2 && cell.front() == '(' && cell.back() == ')';
  if (paren) cell = cell.substr(1, cell.size() - 2);
  std::smatch m;
  if (!std::regex_match(cell, m, number)) return false;
  if (cell.find_first_of("0123456789") == std::string::npos) return false;
  if (!m[6].str().empty() && m[2].str().empty() && m[5].str().size() < 2) return false;
  std::string plain;
  for (char c : cell) {
    if (c != ',' && c != '%') plain += c;
  }
  out = std::strtod(plain.c_str(), nullptr);
  if (!m[7].str().empty()) out /= 100;
  if (paren) out = -out;
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Every figure of a text report: each TAB-separated cell that is a number, and on lines
// without a TAB each number that follows "label: ".
std::vector<double> TextFigures(const std::string& report) {
  std::vector<double> out;
  static const std::regex inline_figure(R"(:\s+([^\s:]+))");
  for (const std::string& line : Lines(report)) {
    double v = 0;
    if (line.find('\t') == std::string::npos) {
      for (auto it = std::sregex_iterator(line.begin(), line.end(), inline_figure);
           it != std::sregex_iterator(); ++it) {
        if (TextNumber((*it)[1].str(), v)) out.push_back(v);
      }
      continue;
    }
    for (const std::string& cell : SplitTabs(line)) {
      if (TextNumber(cell, v)) out.push_back(v);
    }
  }
  return out;
}

void JsonNumbers(const json& j, std::vector<double>& out) {
  if (j.is_number()) {
    out.push_back(j.get<double>());
  } else if (j.is_structured()) {
    for (const auto& item : j) JsonNumbers(item, out);
  }
}

// The two lists hold the same figures, as many times each.
void ExpectSameFigures(std::vector<double> text, std::vector<double> other,
                       const std::string& what) {
  std::sort(text.begin(), text.end());
  std::sort(other.begin(), other.end());
  ASSERT_EQ(text.size(), other.size()) << what;
  for (std::size_t i = 0; i < text.size(); ++i) {
    ASSERT_NEAR(text[i], other[i], 1e-12 * std::max(1.0, std::fabs(text[i]))) << what << " #" << i;
  }
}

// --- a small CSV reader (RFC 4180) ----------------------------------------------------------

std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
      any = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (any || !field.empty()) row.push_back(field);
      rows.push_back(row);  // a blank line is an empty row
      row.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any || !field.empty()) {
    row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

// The figures of a CSV report: every cell that is a number, leaving out the command's own
// rows (command, recap, arguments, title, table names) and the tables' column names.
std::vector<double> CsvFigures(const std::vector<std::vector<std::string>>& rows) {
  std::vector<double> out;
  bool header = false;
  for (const auto& row : rows) {
    if (header) {
      header = false;
      continue;
    }
    if (row.empty()) continue;
    const std::string& first = row[0];
    if (first == "command" || first == "recap" || first == "argument" || first == "title") continue;
    if (first == "table") {
      header = true;
      continue;
    }
    for (const std::string& cell : row) {
      char* end = nullptr;
      if (cell.empty()) continue;
      const double v = std::strtod(cell.c_str(), &end);
      if (*end == '\0' && cell.find_first_of("0123456789") != std::string::npos &&
          cell.find_first_not_of("0123456789.-+e") == std::string::npos) {
        out.push_back(v);
      }
    }
  }
  return out;
}

// The value of a "name,value" row of a CSV report.
std::string CsvFieldValue(const std::vector<std::vector<std::string>>& rows,
                          const std::string& name) {
  for (const auto& row : rows) {
    if (row.size() >= 2 && row[0] == name) return row[1];
  }
  return "(absent)";
}

// --- every command --------------------------------------------------------------------------

struct Expect {
  std::string pointer;
  json value;
};

struct CommandCase {
  std::string name;
  std::string line;
  std::vector<Expect> figures;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.line; }

std::vector<CommandCase> Cases() {
  const std::string L = "file=" + Ledger();
  const std::string inv = " vendno=Vendor invno=InvNum invdate=InvDate invamt=Amount";
  return {
      {"UN",
       "UN " + L + " col=Amount",
       {{"/fields/n", 3000},
        {"/fields/median", 1951.19},
        {"/fields/amt_neg", -451549.31},
        {"/tables/histogram/rows/0/count", 1675},
        {"/tables/top_bottom/rows/0/top", 999919.04},
        {"/tables/top_bottom/rows/0/item_2", 1}}},
      {"UNExternal",
       "UN " + L + " col=Amount",
       {{"/fields/variance", 35514204756.86},
        {"/fields/percentiles_inter_quartile_range", 44429.3},
        {"/tables/histogram/totals/count", 3000},
        {"/tables/largest/rows/0/amount", 999919.04},
        {"/tables/smallest/rows/0/amount", -86087.76},
        {"/fields/p50_0_pct", 1939.6}}},
      {"BE",
       "BE " + L + " col=Amount type=F1 sign=positive min=10",
       {{"/fields/chisq", 9.81},
        {"/fields/p_value", 0.27894},
        {"/fields/d_stat", 0.0239},
        {"/fields/p_value_goodness_of_fit", 0.009175},
        {"/fields/mad_conformity", "Acceptable conformity"},
        {"/fields/rows_left_out_by_sign_and_min", 334},
        {"/tables/digits/rows/0/observed", 809},
        {"/tables/mad_ranges/rows/3/to", nullptr},
        {"/tables/z_by_digit/rows/1/beyond_1_96", "*"},
        {"/fields/decimals_read_places/0", 2}}},
      {"BA",
       "BA " + L + " col=Vendor amount=Amount sign=positive min=10",
       {{"/tables/keys/rows/31/variable", "V0013"},
        {"/tables/keys/rows/31/chisq", 73.9},
        {"/tables/keys/totals/count", 2666},
        {"/tables/keys/totals/total", 247056028.49},
        {"/tables/conformity/rows/31/p_value_goodness_of_fit", 3.401e-55}}},
      {"ST",
       "ST " + L + " col=Amount strata=\"0 100 1000 10000\"",
       {{"/fields/summary_for_strata", "0 100 1000 10000"},
        {"/tables/strata/rows/4/count", 1081},
        {"/tables/strata/rows/0/pct", -0.0018},
        {"/tables/strata/totals/amount", 246605906.6}}},
      {"SU",
       "SU " + L + " col=Vendor amount=Amount",
       {{"/tables/keys/rows/0/std_dev", 201154.54},
        {"/tables/keys/rows/1/credits", 0.0},
        {"/tables/keys/totals/credits", -451549.31}}},
      {"DU",
       "DU " + L + " col=InvNum amount=Amount",
       {{"/tables/keys/rows/0/variable", "INV10108"}, {"/tables/keys/rows/20/total", 711916.01}}},
      {"PO",
       "PO " + L + " col=Vendor amount=Amount",
       {{"/tables/keys/rows/11/key", "All other keys"},
        {"/tables/keys/rows/11/absolute_total", 97722749.09}}},
      {"XT",
       "XT " + L + " col1=Account col2=Vendor amount=Amount",
       {{"/fields/chi_square", 312.63},
        {"/fields/df", 261},
        {"/fields/p_value", 0.01559},
        {"/tables/counts/rows/0/key", 5410},
        {"/tables/counts/rows/0/V0001", 56},
        {"/tables/amounts/rows/4/V0034", -6966.6},
        {"/fields/items_left_out_more_than_30_row_or_column_values/1", 37558109.48}}},
      {"GA",
       "GA " + L + " col=CheckNum",
       {{"/fields/count", 5}, {"/fields/missing", 8}, {"/tables/gaps/rows/2/start", 100872}}},
      {"AR",
       "AR " + L + " agecol=InvDate trancol=Amount agedate=12/31/2023 colwidth=30",
       {{"/fields/ageing_report_as_of", "12/31/2023"},
        {"/tables/bands/rows/0/end", "1/5/2023"},
        {"/tables/bands/totals/amount", 246605906.6},
        {"/tables/bands/totals/end", nullptr}}},
      {"WD", "WD " + L + " col=InvDate", {{"/fields/saturday", 5}, {"/fields/monday", 615}}},
      {"HO",
       "HO " + L + " col=InvDate",
       {{"/tables/holidays/rows/0/holiday", "New Year's"}, {"/tables/holidays/rows/4/count", 5}}},
      {"NE",
       "NE " + L + inv + " datetol=5",
       {{"/tables/pairs/rows/1/suspect_invno", "INV10139"},
        {"/tables/pairs/rows/1/amt", 8.6},
        {"/tables/pairs/rows/1/inv_date", "7/11/2023"}}},
      {"SP",
       "SP " + L + inv + " datetol=3 simtol=4 wholetol=any",
       {{"/tables/splits/rows/0/vendno", "V0001"},
        {"/tables/splits/rows/0/amount", 85.35},
        {"/tables/splits/rows/0/first_part_inv_no", "INV11066"}}},
      {"IS",
       "IS " + L + " intvl=100 rn=7 sample=" + Temp("picked.tsv"),
       {{"/fields/samp_size", 30},
        {"/fields/subtract_starting_rn", -7},
        {"/fields/diff_s_b_0", 0}}},
      {"CM",
       "CM " + L + " col=Amount J=500000 R=1 RN=1000 sample=" + Temp("mus.tsv"),
       {{"/fields/number_of_selections_over_j", 174},
        {"/fields/rn_start", -1000},
        {"/fields/reconciliation_rn_start", -1000},
        {"/fields/difference_s_b_0", 0.0}}},
      {"SA",
       "SA pop=3000 conf=95% ep=5% er=5%",
       {{"/fields/required_sample_size", 73},
        {"/fields/size_from", "the normal approximation"},
        {"/fields/zero_deviation_size_exact_binomial", 29}}},
      {"SAExact",
       "SA pop=3000 conf=95% ep=1% er=4% method=exact",
       {{"/fields/required_sample_size", 92}, {"/fields/tolerable_deviation_rate", 0.05}}},
      {"PR", "PR pop=3000 conf=95% ss=60 nobs=2", {{"/fields/precision", 0.0449713207455884}}},
      {"PRExact",
       "PR pop=3000 conf=95% ss=93 nobs=1 method=exact",
       {{"/fields/upper_deviation_limit", 0.0493}, {"/fields/sample_deviation_rate", 0.0108}}},
      {"SE",
       "SE file=" + std::string(TARNWICK_SOURCE_DIR) +
           "/examples/mus_audited.tsv book=Book audit=Audited intvl=500000 conf=95%",
       {{"/fields/overstatements_upper_misstatement_limit", 2801746.05},
        {"/fields/understatements_misstatements_found", 1},
        {"/tables/overstatements/rows/1/tainting", 0.4},
        {"/tables/understatements/rows/0/audited", 107029.43}}},
      {"RN",
       "RN " + L + " col=Amount",
       {{"/fields/d_stat", 0.094667},
        {"/tables/digits/rows/0/pct", 0.9947},
        {"/tables/digits/totals/count", 3000}}},
      {"KS",
       "KS file=" + Temp("tb.tsv") + " acct=Account col1=PY col2=CY",
       {{"/tables/accounts/rows/1/cum_pct_1", 1.0119},
        {"/tables/accounts/rows/3/period_1", -50.0},
        {"/tables/accounts/totals/period_2", 1575.25},
        {"/fields/d_stat", 0.08306},
        {"/fields/largest_difference_at", 1000}}},
      {"TR",
       "TR " + L + " col=Amount",
       {{"/fields/slope", -0.68672019227981}, {"/fields/r_squared", 9.96239013209827e-06}}},
      {"EXSample",
       "EX " + L + " cond=\"$Amount >= 9000 AND $Vendor = V0013\" sample=" + Temp("out.tsv"),
       {{"/fields/rows_selected", 16}, {"/fields/written_to", Temp("out.tsv")}}},
      {"EX",
       "EX " + L + " cond=\"$Amount >= 900000\"",
       {{"/tables/rows/rows/0/InvNum", "INV10026"},
        {"/tables/rows/rows/0/Amount", 933997.5},
        {"/tables/rows/rows/0/Phone", "(213) 555-9582"}}},
      {"LU",
       "LU " + L + " col=Phone",
       {{"/tables/numbers/rows/0/area_code", 604},
        {"/tables/numbers/rows/12/time_zone", "(UTC-9)"}}},
      {"JOSample",
       "JO " + L + " col=Vendor file2=" + Temp("vendors.tsv") +
           " key2=VendorNo match=out keys=trim sample=" + Temp("unknown.tsv"),
       {{"/fields/rows_whose_key_is_not_in_the_second_source", 2056},
        {"/fields/keys_compared", "trim"}}},
      {"JO",
       "JO " + L + " col=Vendor file2=" + Temp("vendors.tsv") + " key2=VendorNo",
       {{"/tables/rows/rows/0/Vendor", "V0001"}, {"/tables/rows/rows/0/CheckNum", 100001}}},
  };
}

class EveryCommand : public ::testing::TestWithParam<CommandCase> {
 protected:
  static void SetUpTestSuite() {
    WriteFile(
        Temp("tb.tsv"),
        "Account\tPY\tCY\n1000\t500.5\t600\n2000\t1200\t900\n3000\t30\t75.25\n4000\t-50\t0\n");
    WriteFile(Temp("vendors.tsv"), "VendorNo\tName\nV0001\tA\nV0002\tB\nV0003\tC\n");
  }
  std::vector<std::string> Options() const {
    if (GetParam().name == "UNExternal") return {"--max-in-memory", "1"};
    return {};
  }
  Result Run(std::vector<std::string> extra) const {
    std::vector<std::string> args = Options();
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(GetParam().line);
    return Tarnwick(args);
  }
};

TEST_P(EveryCommand, JsonAndCsvCarryTheFiguresOfTheTextReport) {
  const CommandCase& c = GetParam();
  const Result text = Run({"--raw"});
  ASSERT_EQ(text.status, 0) << text.err;
  const std::vector<double> figures = TextFigures(text.out);
  ASSERT_FALSE(figures.empty());

  const Result js = Run({"--format", "json"});
  ASSERT_EQ(js.status, 0) << js.err;
  EXPECT_EQ(js.err, text.err);
  const json doc = json::parse(js.out);  // throws, failing the test, when it does not parse
  const std::string code = c.line.substr(0, 2);
  EXPECT_EQ(doc.at("command"), code);
  EXPECT_EQ(doc.at("recap"), code);
  ASSERT_TRUE(doc.at("arguments").is_object());
  std::vector<double> numbers;
  JsonNumbers(doc.at("fields"), numbers);
  JsonNumbers(doc.at("tables"), numbers);
  ExpectSameFigures(figures, numbers, "json");
  for (const Expect& e : c.figures) {
    const json& v = doc.at(json::json_pointer(e.pointer));
    if (e.value.is_number()) {
      ASSERT_TRUE(v.is_number()) << e.pointer << " is " << v;
      EXPECT_NEAR(v.get<double>(), e.value.get<double>(),
                  1e-12 * std::max(1.0, std::fabs(e.value.get<double>())))
          << e.pointer;
    } else {
      EXPECT_EQ(v, e.value) << e.pointer;
    }
  }
  for (const auto& [name, table] : doc.at("tables").items()) {
    for (const json& row : table.at("rows")) {
      EXPECT_EQ(row.size(), table.at("columns").size()) << name << ": every row has every column";
    }
  }

  const Result csv = Run({"--format", "csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const auto rows = ReadCsv(csv.out);
  ExpectSameFigures(figures, CsvFigures(rows), "csv");
  EXPECT_EQ(CsvFieldValue(rows, "command"), code);
  // the first named figure, as the CSV writes it, reads as the JSON's
  const Expect& first = c.figures.front();
  if (first.pointer.rfind("/fields/", 0) == 0 && first.pointer.find('/', 8) == std::string::npos) {
    const std::string cell = CsvFieldValue(rows, first.pointer.substr(8));
    if (first.value.is_number()) {
      EXPECT_DOUBLE_EQ(std::strtod(cell.c_str(), nullptr), first.value.get<double>())
          << first.pointer;
    } else {
      EXPECT_EQ(cell, first.value.get<std::string>());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, EveryCommand, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

// --- the run around the reports -------------------------------------------------------------

TEST(StructuredOutput, SourceAndArgumentsOfADatabaseCommandWithThePasswordMasked) {
  // A connection text with a password: the database file's own name carries it.
  const std::string db = Temp("ledger.db;PWD=hunter2");
  MakeDb(db, ReadTable(Ledger()));
  const Result r = Tarnwick(
      {"--format", "json",
       "TR conn=" + db +
           " sql=\"select Amount from payments where Vendor = 'V0005'\" col=Amount recap=Trend"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("hunter2"), std::string::npos);
  const json doc = json::parse(r.out);
  EXPECT_EQ(doc.at("recap"), "Trend");
  EXPECT_EQ(doc.at("source").at("ds"), "db");
  EXPECT_EQ(doc.at("source").at("conn"), Temp("ledger.db;PWD=***"));
  EXPECT_EQ(doc.at("source").at("sql"), "select Amount from payments where Vendor = 'V0005'");
  EXPECT_EQ(doc.at("arguments").at("col"), "Amount");
  EXPECT_FALSE(
      doc.at("arguments").contains("ds"));  // as given: the runner's default is not an argument
  EXPECT_TRUE(doc.at("fields").at("observations").is_number_integer());
  std::filesystem::remove(db);
}

TEST(StructuredOutput, ScriptGivesOneArrayOfTheReportsThatCompleted) {
  const std::string script = Temp("script.txt");
  WriteFile(script, "<ledger>=file=" + Ledger() +
                        "\n# comment\nWD <ledger> col=InvDate recap=Days\n"
                        "SA pop=3000 conf=95% ep=5% er=5%\n");
  const Result ok = Tarnwick({"--format", "json", "-f", script});
  ASSERT_EQ(ok.status, 0) << ok.err;
  const json all = json::parse(ok.out);
  ASSERT_TRUE(all.is_array());
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].at("recap"), "Days");
  EXPECT_EQ(all[0].at("arguments").at("file"), Ledger());
  EXPECT_EQ(all[1].at("fields").at("required_sample_size"), 73);

  // A failing third command: the same status and message as the text run, and the array of
  // the two reports before it, still whole.
  WriteFile(script, "WD file=" + Ledger() +
                        " col=InvDate\nSA pop=3000 conf=95% ep=5% er=5%\n"
                        "UN file=" +
                        Ledger() + " col=Vendor\nWD file=" + Ledger() + " col=InvDate\n");
  const Result text = Tarnwick({"-f", script});
  const Result failed = Tarnwick({"--format", "json", "-f", script});
  EXPECT_NE(text.status, 0);
  EXPECT_EQ(failed.status, text.status);
  EXPECT_EQ(failed.err, text.err);
  const json part = json::parse(failed.out);
  ASSERT_EQ(part.size(), 2u);
  EXPECT_EQ(part[1].at("command"), "SA");

  const Result csv = Tarnwick({"--format", "csv", "-f", script});
  EXPECT_EQ(csv.status, text.status);
  const auto rows = ReadCsv(csv.out);
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                          [](const auto& r) { return !r.empty() && r[0] == "command"; }),
            2);
}

TEST(StructuredOutput, FailedCommandPrintsNothingAndKeepsItsStatusAndMessage) {
  const std::vector<std::string> lines = {
      "UN file=" + Ledger() + " col=Vendor",  // refused: not numeric
      "UN file=" + Temp("missing.tsv") + " col=Amount",
      "XX file=" + Ledger(),
  };
  for (const std::string& line : lines) {
    const Result text = Tarnwick({line});
    for (const char* format : {"json", "csv"}) {
      const Result r = Tarnwick({"--format", format, line});
      EXPECT_EQ(r.status, text.status) << line;
      EXPECT_EQ(r.err, text.err) << line;
      EXPECT_EQ(r.out, "") << line;
    }
  }
  const Result bad = Tarnwick({"--format", "xml", "WD file=" + Ledger() + " col=InvDate"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
}

TEST(StructuredOutput, SourceTextThatIsNotUtf8StillGivesADocument) {
  const std::string file = Temp("latin1.tsv");
  WriteFile(file, "Id\tName\n1\tCaf\xe9, \"Le\"\n");
  const std::string line = "EX file=" + file + " cond=\"$Id = 1\"";
  const Result js = Tarnwick({"--format", "json", line});
  ASSERT_EQ(js.status, 0) << js.err;
  const json doc = json::parse(js.out);
  EXPECT_EQ(doc.at("tables").at("rows").at("rows").at(0).at("Name"), "Caf\xef\xbf\xbd, \"Le\"");
  const Result csv = Tarnwick({"--format", "csv", line});
  const auto rows = ReadCsv(csv.out);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back(), (std::vector<std::string>{"1", "Caf\xe9, \"Le\""}));
}

TEST(StructuredOutput, CsvKeepsTheRunnersLineEnds) {
  const std::string line = "WD file=" + Ledger() + " col=InvDate";
  const Result plain = Tarnwick({"--format", "csv", line});
  const Result raw = Tarnwick({"--format", "csv", "--raw", line});
  EXPECT_EQ(plain.out.find('\r'), std::string::npos);
  EXPECT_NE(raw.out.find("saturday,5\r\n"), std::string::npos);
  EXPECT_EQ(ReadCsv(plain.out), ReadCsv(raw.out));
}

// --- the reader on small reports ------------------------------------------------------------

using tarnwick::cli::CsvField;
using tarnwick::cli::FieldName;
using tarnwick::cli::ReadReport;
using tarnwick::cli::ReportValue;

TEST(ReportReader, NumberPatterns) {
  const struct {
    const char* text;
    json value;
  } cases[] = {
      {"1,234.56", 1234.56},
      {"126,778,591,122,507", 126778591122507LL},
      {"3,000", 3000},
      {"(12.00)", -12.0},
      {"12.5%", 0.125},
      {"99.47%", 0.9947},
      {"-.0018", -0.0018},
      {".04000", 0.04},
      {"00.0239", 0.0239},
      {"5.", 5.0},
      {"1,234.", 1234.0},
      {"-.50000", -0.5},
      {"3.401E-55", 3.401e-55},
      {"9.96239013209827E-06", 9.96239013209827e-06},
      {" 7 ", 7},
      {"0", 0},
      {"", nullptr},
      {"  ", nullptr},
      {"1,23", "1,23"},
      {"12,3456", "12,3456"},
      {",123", ",123"},
      {"12/31/2023", "12/31/2023"},
      {"INV10108", "INV10108"},
      {"(UTC-9)", "(UTC-9)"},
      {"(604) 555-6466", "(604) 555-6466"},
      {"-", "-"},
      {".", "."},
      {"%", "%"},
      {"E5", "E5"},
      {"1E", "1E"},
      {"nan", "nan"},
      {"inf", "inf"},
      {"--5", "--5"},
      {"0 100 1000", "0 100 1000"},
  };
  for (const auto& c : cases) {
    const json v = ReportValue(c.text);
    if (c.value.is_number_float()) {
      ASSERT_TRUE(v.is_number_float()) << c.text << " gave " << v;
      EXPECT_DOUBLE_EQ(v.get<double>(), c.value.get<double>()) << c.text;
    } else {
      EXPECT_EQ(v, c.value) << c.text;
      EXPECT_EQ(v.type(), c.value.type()) << c.text;
    }
  }
}

TEST(ReportReader, FieldNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"Cramer's phi: ", "cramers_phi"},
      {"Cum % 1", "cum_pct_1"},
      {"P1.0% : ", "p1_0_pct"},
      {"Diff s/b 0 ", "diff_s_b_0"},
      {"Inv Date ", "inv_date"},
      {"Number of samples * interval", "number_of_samples_interval"},
      {"z-score", "z_score"},
      {"  :", ""},
  };
  for (const auto& [label, name] : cases) EXPECT_EQ(FieldName(label), name) << label;
}

TEST(ReportReader, Layouts) {
  // A totals row ends its table: the label/value lines after it are fields.
  json r = ReadReport("KS",
                      "Two\r\nAccount\tCum % 1\tDiff\r\nA\t1.00\t.5\r\nTotals\t1.00\r\n"
                      "D-stat\t0.5\r\nLargest difference at\tA\r\n");
  EXPECT_EQ(r["title"], "Two");
  EXPECT_EQ(r["tables"]["accounts"]["rows"].size(), 1u);
  EXPECT_EQ(r["tables"]["accounts"]["totals"],
            json::parse(R"({"account":"Totals","cum_pct_1":1,"diff":null})"));
  EXPECT_EQ(r["fields"], json::parse(R"({"d_stat":0.5,"largest_difference_at":"A"})"));

  // Trailing TABs, cells beyond the header, repeated headings, an unlabelled first column;
  // a blank line ends the table.
  r = ReadReport("ZZ", "T\r\n \tA\tA\r\nx\t1\t2\t\r\ny\t3\t4\t5\r\n\r\nLeft: \t1\t2\r\n");
  const json& t = r["tables"]["table"];
  EXPECT_EQ(t["columns"], json::parse(R"(["key","a","a_2","column_4"])"));
  EXPECT_EQ(t["rows"][0], json::parse(R"({"key":"x","a":1,"a_2":2,"column_4":null})"));
  EXPECT_EQ(t["rows"][1]["column_4"], 5);
  EXPECT_EQ(r["fields"]["left"], json::parse("[1,2]"));

  // Figures on a line of their own; a label repeated under a heading takes the heading's name;
  // the same header again starts a second table.
  r = ReadReport("UN",
                 "Gaps: Count: 5 Missing: 8\r\nMean: \t1\r\nPercentiles: \r\nMean: 2\r\n"
                 "Position\tAmount\r\n1\t9\r\nPosition\tAmount\r\n1\t-9\r\n");
  EXPECT_EQ(r["fields"], json::parse(R"({"count":5,"missing":8,"mean":1,"percentiles_mean":2})"));
  EXPECT_EQ(r["tables"]["largest"]["rows"][0]["amount"], 9);
  EXPECT_EQ(r["tables"]["smallest"]["rows"][0]["amount"], -9);

  // Sections repeating their labels are named after the section.
  r = ReadReport("SE", "M\r\nOverstatements\r\nFound\t5\r\nUnderstatements\r\nFound\t1\r\n");
  EXPECT_EQ(r["fields"], json::parse(R"({"overstatements_found":5,"understatements_found":1})"));

  // The source's own rows keep their text unless it is a plain number.
  r = ReadReport("EX", "Id\tAmt\tNote\r\n00123\t1,000\t-4.5\r\n7\t0.50\t\r\n");
  EXPECT_EQ(
      r["tables"]["rows"]["rows"],
      json::parse(R"([{"Id":"00123","Amt":"1,000","Note":-4.5},{"Id":7,"Amt":"0.50","Note":""}])"));
  r = ReadReport("EX", "Extract\r\nRows read\t3\r\n");
  EXPECT_EQ(r["fields"]["rows_read"], 3);
}

TEST(ReportReader, CsvQuoting) {
  EXPECT_EQ(CsvField("plain text"), "plain text");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(ReadCsv(CsvField("a,\"b\"\r\nc") + ",x\r\n"),
            (std::vector<std::vector<std::string>>{{"a,\"b\"\r\nc", "x"}}));
}

}  // namespace
