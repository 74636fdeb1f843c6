// The command table is the one place a command is described: each entry's defaults, example,
// chart, share cells and structured-output hints must fit the engine's tables and the report
// the command really writes, so that a missing or mistyped piece fails here, not for a user.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "cli_support.h"
#include "report_layout.h"
#include "runner.h"
#include "structured_report.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/shell/command_shell.h"
#include "tarnwick/shell/requirements.h"

namespace {

using tarnwick::cli::ChartSpec;
using tarnwick::cli::CommandDef;
using tarnwick::cli::Commands;

// The engine arguments a command takes: its requirement tables' names and the source
// arguments every command has.
std::set<std::string> EngineArgs(const std::string& code) {
  std::set<std::string> names{"ds",   "file",  "filespec", "conn",   "sql",
                              "cond", "recap", "sheet",    "sample", "title"};
  tarnwick::cNVal nval;
  tarnwick::cOVal oval;
  for (const std::string& list : {nval.Getit(code), oval.GetitReq(code), oval.GetitOpt(code)}) {
    std::size_t start = 0;
    while (start < list.size()) {
      std::size_t end = list.find_first_of(" ,", start);
      if (end == std::string::npos) end = list.size();
      if (end > start) names.insert(tarnwick::LCase(list.substr(start, end - start)));
      start = end + 1;
    }
  }
  return names;
}

bool RunnerArgOf(const std::string& name, const std::string& code) {
  for (const auto& r : tarnwick::cli::RunnerArgs()) {
    if (name == r.name && tarnwick::cli::RunnerArgApplies(r, code)) return true;
  }
  return false;
}

// The example's command line as the runner gets it: without "tarnwick " and the shell's single
// quotes, reading the sample files of the source tree and writing samples to the test's folder.
std::string ExampleLine(const CommandDef& def) {
  std::string line = def.example;
  line = line.substr(std::string("tarnwick ").size());
  if (line.size() >= 2 && line.front() == '\'' && line.back() == '\'')
    line = line.substr(1, line.size() - 2);
  for (std::size_t at = 0; (at = line.find("examples/", at)) != std::string::npos;) {
    const std::string dir = std::string(TARNWICK_SOURCE_DIR) + "/";
    line.insert(at, dir);
    at += dir.size() + 9;
  }
  for (std::size_t at = 0; (at = line.find("/tmp/", at)) != std::string::npos;) {
    const std::string dir = cli_test::ProcessFolder() + "/";
    line.replace(at, 5, dir);
    at += dir.size();
  }
  return line;
}

using Row = std::vector<std::string>;

std::vector<Row> Rows(const std::string& report) {
  std::vector<Row> rows;
  std::size_t start = 0;
  while (start < report.size()) {
    std::size_t end = report.find('\n', start);
    if (end == std::string::npos) end = report.size();
    std::string line = report.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Row row;
    for (std::size_t s = 0;;) {
      const std::size_t tab = line.find('\t', s);
      row.push_back(tarnwick::Trim(line.substr(s, tab == std::string::npos ? tab : tab - s)));
      if (tab == std::string::npos) break;
      s = tab + 1;
    }
    rows.push_back(std::move(row));
    start = end + 1;
  }
  return rows;
}

TEST(CommandTable, CodesAreUniqueAndEveryEntryIsComplete) {
  std::set<std::string> codes;
  for (const CommandDef& def : Commands()) {
    SCOPED_TRACE(def.code);
    EXPECT_TRUE(codes.insert(def.code).second) << "listed twice";
    EXPECT_EQ(std::string(def.code).size(), 2u);
    EXPECT_NE(def.run, nullptr);
    EXPECT_FALSE(std::string(def.title).empty());
    EXPECT_FALSE(def.args.empty());
    ASSERT_NE(def.example, nullptr) << "no HE example";
    EXPECT_EQ(
        std::string(def.example).rfind(std::string("tarnwick ") + def.code + " ", 0) == 0 ||
            std::string(def.example).rfind(std::string("tarnwick '") + def.code + " ", 0) == 0,
        true)
        << def.example;
    EXPECT_EQ(tarnwick::cli::LayoutOf(def.code), &def.layout);
  }
  EXPECT_EQ(tarnwick::cli::LayoutOf("ZZ"), nullptr);
}

// Defaults and columns name arguments the command takes: the engine's requirement tables for
// the engine's arguments, the runner's own table for the runner's.
TEST(CommandTable, DefaultsAndColumnsNameArgumentsTheCommandTakes) {
  for (const CommandDef& def : Commands()) {
    SCOPED_TRACE(def.code);
    const std::set<std::string> engine = EngineArgs(def.code);
    for (const auto& d : def.defaults) {
      EXPECT_TRUE(engine.count(d.name))
          << "default " << d.name << "= is no argument of the command";
      EXPECT_FALSE(std::string(d.value).empty()) << d.name;
      if (d.fromArg) {
        EXPECT_TRUE(engine.count(d.value)) << "default from " << d.value << "=";
      }
    }
    for (const auto& c : def.columns) {
      if (c.runner) {
        EXPECT_TRUE(RunnerArgOf(c.arg, def.code))
            << c.arg << "= is not a runner argument of the command";
      } else {
        // a column argument is one of the engine's argument names (its shell takes it)
        tarnwick::cShell sh;
        sh.HandleCmd(std::string(def.code) + " " + c.arg + "=x");
        EXPECT_FALSE(sh.ErrStatus()) << c.arg << "=: " << sh.ErrMsg();
      }
    }
    EXPECT_EQ(def.columns.empty() && def.needsSource,
              def.code == std::string("IS") || def.code == std::string("EX"))
        << "a command reading a source without a column argument";
  }
}

TEST(CommandTable, HintsAndChartsAreWellFormed) {
  for (const CommandDef& def : Commands()) {
    SCOPED_TRACE(def.code);
    const auto& layout = def.layout;
    for (const auto& t : layout.tables) {
      EXPECT_FALSE(std::string(t.match).empty());
      EXPECT_EQ(tarnwick::cli::FieldName(t.name), t.name) << "a table name is a field name";
    }
    if (layout.report.fieldsTable != nullptr) {
      EXPECT_NE(layout.report.labelColumn, nullptr);
      EXPECT_NE(layout.report.valueColumn, nullptr);
    }
    if (!layout.chart) continue;
    const ChartSpec& c = *layout.chart;
    EXPECT_FALSE(std::string(c.title).empty());
    EXPECT_FALSE(std::string(c.xName).empty());
    EXPECT_FALSE(std::string(c.yName).empty());
    if (c.heading == ChartSpec::Heading::ShareColumns) {
      EXPECT_TRUE(c.values.empty()) << "the share columns are found in the report";
      EXPECT_TRUE(c.heads.empty());
      continue;
    }
    EXPECT_FALSE(c.heads.empty());
    EXPECT_EQ(c.values.size(), c.kind == ChartSpec::Kind::ColumnsAndLine ? 2u : 1u);
    for (const std::size_t v : c.values) {
      EXPECT_GT(v, 0u) << "column 0 holds the categories";
      if (c.heading == ChartSpec::Heading::Cells) {
        EXPECT_LT(v, c.heads.size()) << "a value column without a heading";
      }
    }
  }
}

// Every example runs, and the report it writes has what the command's layout looks for: the
// chart's heading line with numbers under its value columns, and every share heading or label.
void CheckExample(const CommandDef& def) {
  std::string report, message;
  ASSERT_EQ(tarnwick::cli::RunLine(ExampleLine(def), tarnwick::cli::Options{}, report, message),
            tarnwick::cli::kOk)
      << ExampleLine(def) << ": " << message;
  std::vector<Row> rows = Rows(report);
  // SA and PR show method=exact; the runner words the other method's report, whose shares
  // the layout names.
  if (const std::size_t at = ExampleLine(def).find(" method=exact"); at != std::string::npos) {
    const std::string normal = ExampleLine(def).erase(at, 13);
    ASSERT_EQ(tarnwick::cli::RunLine(normal, tarnwick::cli::Options{}, report, message),
              tarnwick::cli::kOk)
        << message;
    const std::vector<Row> more = Rows(report);
    rows.insert(rows.end(), more.begin(), more.end());
  }
  const auto& layout = def.layout;
  for (const auto& s : layout.shares) {
    const bool found = std::any_of(rows.begin(), rows.end(), [&](const Row& r) {
      return s.heading ? std::find(r.begin(), r.end(), s.name) != r.end()
                       : r[0] == s.name && r.size() > 1;
    });
    EXPECT_TRUE(found) << "share " << s.name << " is not in the report";
  }
  if (!layout.chart) return;
  const ChartSpec& c = *layout.chart;
  std::size_t h = 0;
  for (; h < rows.size(); ++h) {
    const Row& r = rows[h];
    if (c.heading == ChartSpec::Heading::TitleStarts && r[0].rfind(c.heads[0], 0) == 0) break;
    if (c.heading == ChartSpec::Heading::Cells && r.size() >= c.heads.size() &&
        std::equal(c.heads.begin(), c.heads.end(), r.begin())) {
      break;
    }
    if (c.heading == ChartSpec::Heading::ShareColumns &&
        std::count_if(r.begin(), r.end(),
                      [](const std::string& x) { return x.rfind("Cum %", 0) == 0; }) == 2) {
      break;
    }
  }
  ASSERT_LT(h + 1, rows.size()) << "the chart's heading line is not in the report";
  for (const std::size_t v : c.values) {
    ASSERT_LT(v, rows[h + 1].size());
    EXPECT_TRUE(tarnwick::ParseNumber(rows[h + 1][v]).has_value())
        << "column " << v << ": " << rows[h + 1][v];
  }
}

TEST(CommandTable, ExamplesRunAndTheirReportsHaveTheLayoutsColumns) {
  for (const CommandDef& def : Commands()) {
    SCOPED_TRACE(def.code);
    CheckExample(def);
  }
}

}  // namespace
