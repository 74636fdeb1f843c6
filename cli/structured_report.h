#pragma once
// Structured output of the reports (--format json, --format csv): the report text a command
// returns is read back into named fields and tables. The engine writes every report the same
// way (label, TAB, value lines; a header row over rows of TAB-separated cells; CR LF line
// ends), and its labels are fixed texts, so one reader covers every command and gives names
// that stay put; the few layouts it cannot read alone have a hint in the command's entry
// (TableHint and ReportHint, report_layout.h).
// The field reference per command is docs/json.md.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tarnwick::cli {

using Json = nlohmann::ordered_json;

// A figure of a report read as a number: grouping commas, a trailing or leading decimal point,
// leading zeros, a parenthesised or "-" negative, an exponent, and a trailing "%" (the value
// is then the fraction: "12.5%" is 0.125). Whole numbers without a point are integers. Text
// that is not a number in these patterns (dates, keys, words) stays text; an empty cell is
// null.
Json ReportValue(std::string_view text);

// A label as a field name: lower case, words joined by "_", "%" as "pct", apostrophes left out
// ("Cramer's phi: " is cramers_phi, "Cum % 1" is cum_pct_1).
std::string FieldName(std::string_view label);

// The report text of the command `code` as {"title", "fields", "tables"}.
Json ReadReport(std::string_view code, std::string_view report);

// The whole object of one report: "command", "recap", "arguments" (as given on `line`, which
// the caller has masked), "source" (null for a command without one), then ReadReport's
// members. The help text (`code` "HE") is {"command": "HE", "help": text}.
Json ReportObject(const std::string& line, const std::string& code, const std::string& recap,
                  bool needsSource, std::string_view report);

// The object as comma-separated text (RFC 4180 quoting), lines ended by `eol`: "command",
// "recap" and "argument" rows, the title, the fields as name,value rows, then each table after
// a blank line: a "table,<name>" row, its column names, its rows and its totals row.
std::string ReportCsv(const Json& report, std::string_view eol);

// One CSV field: quoted when it holds a comma, a double quote or a line break.
std::string CsvField(std::string_view text);

}  // namespace tarnwick::cli
