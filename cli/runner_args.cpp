#include "runner_args.h"

#include "runner.h"
#include "tarnwick/core/text.h"

namespace tarnwick::cli {

const std::vector<RunnerArgDef>& RunnerArgs() {
  // The commands that read a data source: their date columns and filters read dates.
  static constexpr const char* kSources =
      "BE BA ST SU DU PO XT GA UN AR WD HO NE SP IS CM RN KS TR EX LU JO";
  static const std::vector<RunnerArgDef> table = {
      {"method", "SA PR",
       "normal (default: the normal approximation, at least the zero-deviation size and at most "
       "pop) or exact (binomial; hypergeometric when pop is above 0)"},
      {"book", "SE", "the column of the sampled items' book amounts (positive)"},
      {"audit", "SE", "the column of their audited amounts"},
      {"sign", "BE BA", "the amounts tested: all, positive or negative (default all)"},
      {"min", "BE BA",
       "leave out amounts whose absolute value is below this, 10 say (default none)"},
      {"places", "BE",
       "decimals of the amount text the digit test reads, 0 to 20 (default: the most "
       "decimals among the tested amounts)"},
      {"datefmt", kSources,
       "how the source writes dates: mdy, dmy or ymd (default mdy); also the filter's date "
       "constants, agedate= and the holidays= file; a first-rows date that only another order "
       "reads stops the command"},
      {"holidays", kSources,
       "FILE: the holiday calendar for HO and the filter's HO, one date per line, a TAB and a "
       "name after it (default: the US federal holidays)"},
      {"keys", "SU DU JO",
       "how keys compare: exact, trim (surrounding spaces ignored) or nocase (also letter case) "
       "(default exact)"},
      {"digits", "GA",
       "numbers with letters (INV10234, 0496J10): trailing, leading or all digits (default: "
       "the value must be a number)"},
      {"file2", "JO", "the second source: a tab-delimited or comma-separated file"},
      {"filespec2", "JO", "the column specification of a fixed-width second source"},
      {"conn2", "JO",
       "the second source: an SQLite database or an ODBC connection string (with sql2=)"},
      {"sheet2", "JO", "the worksheet of a workbook (.xlsx) second source (default: the first)"},
      {"sql2", "JO", "the query of the second source (quote it)"},
      {"key2", "JO", "the key column(s) of the second source, joined by + (default: col=)"},
      {"match", "JO",
       "in: the rows whose key is in the second source; out: those whose key is not (default in)"},
      {"pairs", "SP",
       "first: each whole invoice once, with its first pair of parts and the number of pairs "
       "(default); all: every pair of parts on a line"},
      {"wholetol", "SP",
       "days the whole invoice may lie from each of its parts, 0 to 36500, or any "
       "(default: datetol)"},
  };
  return table;
}

bool RunnerArgApplies(const RunnerArgDef& def, std::string_view code) {
  const std::string_view list = def.commands;
  if (list == "*") return true;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find(' ', start);
    if (end == std::string_view::npos) end = list.size();
    if (EqualsNoCase(list.substr(start, end - start), code)) return true;
    start = end + 1;
  }
  return false;
}

namespace {

const RunnerArgDef* FindRunnerArg(std::string_view name) {
  for (const RunnerArgDef& d : RunnerArgs()) {
    if (EqualsNoCase(name, d.name)) return &d;
  }
  return nullptr;
}

std::string Unquoted(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

}  // namespace

std::string TakeRunnerArgs(const std::string& line, RunnerArgValues& values) {
  // Words are separated by spaces outside double quotes, as the command shell reads them.
  std::string out;
  std::string code;
  std::size_t i = 0;
  const std::size_t n = line.size();
  bool first = true;
  while (i < n && line[i] == ' ') ++i;
  while (i < n) {
    std::size_t start = i;
    bool quoted = false;
    while (i < n && (quoted || line[i] != ' ')) {
      if (line[i] == '"') quoted = !quoted;
      ++i;
    }
    const std::string_view word(line.data() + start, i - start);
    const std::size_t spaces = i;
    while (i < n && line[i] == ' ') ++i;
    const std::string_view gap(line.data() + spaces, i - spaces);
    if (first) {
      code = UCase(std::string(word.substr(0, 2)));
      first = false;
    } else if (const std::size_t eq = word.find('='); eq != std::string_view::npos) {
      if (const RunnerArgDef* def = FindRunnerArg(word.substr(0, eq))) {
        if (!RunnerArgApplies(*def, code)) {
          throw Rejected{std::string(def->name) + "= is not an argument of " + code +
                         " (see tarnwick HE)"};
        }
        if (!values.emplace(def->name, Unquoted(word.substr(eq + 1))).second) {
          throw Rejected{std::string(def->name) + "= is given twice"};
        }
        continue;
      }
    }
    out.append(word);
    out.append(gap);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace tarnwick::cli
