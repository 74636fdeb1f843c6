#include "structured_report.h"

#include <charconv>
#include <cstdint>
#include <vector>

#include "report_layout.h"

namespace tarnwick::cli {

namespace {

// --- text helpers ---------------------------------------------------------------------------

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// A label without the ": " or " " that ends it.
std::string_view Label(std::string_view s) {
  s = Trim(s);
  while (!s.empty() && (s.back() == ':' || s.back() == ' ')) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> cells;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    cells.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return cells;
    start = tab + 1;
  }
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The digits of a number in the report's patterns, without grouping, sign or percent, ready
// for from_chars; false when `s` is not such a number.
struct NumberText {
  std::string plain;  // "-1234.5", "3.4E-55"
  bool whole = true;  // no point, no exponent, no percent
};

bool ReadNumberText(std::string_view s, NumberText& out) {
  s = Trim(s);
  bool negative = false;
  if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
    negative = true;
    s = Trim(s.substr(1, s.size() - 2));
  }
  bool percent = false;
  if (!s.empty() && s.back() == '%') {
    percent = true;
    s.remove_suffix(1);
  }
  if (!s.empty() && s.front() == '-' && !negative) {
    negative = true;
    s.remove_prefix(1);
  }
  std::string digits;
  std::size_t i = 0;
  std::size_t group = 0;  // digits since the last comma
  bool grouped = false;
  for (; i < s.size() && (IsDigit(s[i]) || s[i] == ','); ++i) {
    if (s[i] == ',') {
      // 1,234,567: one to three digits first, then groups of three
      if ((grouped ? group != 3 : (group == 0 || group > 3))) return false;
      grouped = true;
      group = 0;
      continue;
    }
    digits += s[i];
    ++group;
  }
  if (grouped && group != 3) return false;
  std::string fraction;
  bool point = false;
  if (i < s.size() && s[i] == '.') {
    point = true;
    for (++i; i < s.size() && IsDigit(s[i]); ++i) fraction += s[i];
  }
  if (digits.empty() && fraction.empty()) return false;
  std::string exponent;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j >= s.size()) return false;
    for (std::size_t k = j; k < s.size(); ++k) {
      if (!IsDigit(s[k])) return false;
    }
    exponent = std::string(s.substr(i + 1));
    i = s.size();
  }
  if (i != s.size()) return false;
  out.plain = negative ? "-" : "";
  out.plain += digits.empty() ? "0" : digits;
  if (!fraction.empty()) out.plain += "." + fraction;
  out.whole = !point && exponent.empty() && !percent;
  if (percent) {
    // the pattern multiplied by 100: the figure is the fraction
    long e = 0;
    if (!exponent.empty()) {
      const char* first = exponent.data() + (exponent[0] == '+' ? 1 : 0);
      std::from_chars(first, exponent.data() + exponent.size(), e);
    }
    exponent = std::to_string(e - 2);
  }
  if (!exponent.empty()) out.plain += "e" + exponent;
  return true;
}

Json NumberJson(const NumberText& n) {
  if (n.whole) {
    std::int64_t v = 0;
    const auto r = std::from_chars(n.plain.data(), n.plain.data() + n.plain.size(), v);
    if (r.ec == std::errc() && r.ptr == n.plain.data() + n.plain.size()) return v;
  }
  double d = 0;
  std::from_chars(n.plain.data(), n.plain.data() + n.plain.size(), d);
  return d;
}

// A value of the source's own rows (EX, JO): a number only when written as a plain number
// ("933997.5", "-4.73", "100027"); "00123", "1,000" or ".5" keep the source's text.
Json SourceValue(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && s[i] == '-') ++i;
  const std::size_t intStart = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  const std::size_t intDigits = i - intStart;
  bool plain = intDigits > 0 && (intDigits == 1 || s[intStart] != '0') && intDigits <= 18;
  if (plain && i < s.size()) {
    plain = s[i] == '.' && i + 1 < s.size() && s.back() != '0';
    for (std::size_t k = i + 1; plain && k < s.size(); ++k) plain = IsDigit(s[k]);
  }
  NumberText n;
  if (plain && ReadNumberText(s, n)) return NumberJson(n);
  return std::string(s);
}

// --- the reading ----------------------------------------------------------------------------

struct Table {
  std::string name;
  std::vector<std::string> keys;      // row object keys
  std::vector<std::string> headings;  // as printed
  Json rows = Json::array();
  Json totals;          // null when the table has no totals row
  bool source = false;  // the source's own rows
};

class Reader {
 public:
  explicit Reader(std::string_view code) {
    if (const ReportLayout* layout = LayoutOf(code)) {
      hint_ = &layout->report;
      for (const TableHint& t : layout->tables) tableHints_.push_back(&t);
    }
    used_.assign(tableHints_.size(), false);
  }

  Json Read(std::string_view report) {
    const std::vector<std::string_view> lines = SplitLines(report);
    std::size_t i = 0;
    if (!lines.empty() && hint_ && hint_->extractTitle && Trim(lines[0]) != hint_->extractTitle) {
      ReadSourceRows(lines);
      i = lines.size();
    }
    for (; i < lines.size(); ++i) Line(lines[i], i == 0);
    Close();
    Json out;
    out["title"] = title_.empty() ? Json() : Json(title_);
    out["fields"] = fields_;
    Json tables = Json::object();
    for (Table& t : tables_) {
      Json j;
      j["columns"] = t.keys;
      j["headings"] = t.headings;
      j["rows"] = std::move(t.rows);
      if (!t.totals.is_null()) j["totals"] = std::move(t.totals);
      tables[t.name] = std::move(j);
    }
    out["tables"] = std::move(tables);
    return out;
  }

 private:
  void Line(std::string_view line, bool first) {
    if (Trim(line).empty()) {
      Close();
      return;
    }
    const std::vector<std::string_view> cells = SplitTabs(line);
    if (cells.size() == 1) {
      Close();
      const bool figures = InlineFields(line);
      if (first) {
        title_ = std::string(Trim(line));
      } else if (!figures) {
        section_ = std::string(Label(line));
      }
      return;
    }
    if (open_ && line == headerLine_) {
      Open(cells, line);  // the same table again (UN's largest, then smallest amounts)
      return;
    }
    if (open_) {
      if (IsTotals(cells[0])) {
        tables_.back().totals = Row(tables_.back(), cells);
        Close();
      } else {
        tables_.back().rows.push_back(Row(tables_.back(), cells));
      }
      return;
    }
    if (IsHeader(cells, line)) {
      Open(cells, line);
      return;
    }
    Field(cells);
  }

  // "Gaps: Count: 5 Missing: 8", "d-stat: .094667": a figure after "label: " on a line of its
  // own is a field named by the words between it and the previous figure.
  bool InlineFields(std::string_view line) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
      const std::size_t colon = line.find(':', start);
      parts.push_back(line.substr(start, colon == std::string_view::npos ? colon : colon - start));
      if (colon == std::string_view::npos) break;
      start = colon + 1;
    }
    bool any = false;
    for (std::size_t k = 1; k < parts.size(); ++k) {
      const std::string_view part = Trim(parts[k]);
      const std::size_t space = part.find(' ');
      const std::string_view first = part.substr(0, space);
      NumberText n;
      if (!ReadNumberText(first, n)) continue;
      // the label: the previous part without the figure that began it
      std::string_view label = Trim(parts[k - 1]);
      if (k > 1) {
        const std::size_t sp = label.find(' ');
        NumberText prev;
        if (sp != std::string_view::npos && ReadNumberText(label.substr(0, sp), prev)) {
          label = Trim(label.substr(sp + 1));
        }
      }
      AddField(FieldName(label), NumberJson(n));
      any = true;
    }
    return any;
  }

  static bool IsTotals(std::string_view cell) {
    const std::string name = FieldName(cell);
    return name == "totals" || name == "total";
  }

  static bool IsNumber(std::string_view cell) {
    NumberText n;
    return ReadNumberText(cell, n);
  }

  // The index of the table hint for a header line; -1 when none fits.
  int MatchHint(std::string_view line, bool header2Only) const {
    for (std::size_t k = 0; k < tableHints_.size(); ++k) {
      const TableHint& h = *tableHints_[k];
      if (used_[k] || (header2Only && !h.header2)) continue;
      if (line.find(h.match) != std::string_view::npos ||
          (!header2Only && section_.find(h.match) != std::string::npos)) {
        return static_cast<int>(k);
      }
    }
    return -1;
  }

  bool IsHeader(const std::vector<std::string_view>& cells, std::string_view line) {
    // an unlabelled first column: the cross-tab's row keys
    if (Trim(cells[0]).empty()) return true;
    if (Trim(cells[0]).ends_with(':')) return false;
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (Trim(cells[k]).empty() || IsNumber(cells[k])) return false;
    }
    if (cells.size() >= 3) return true;
    return MatchHint(line, true) >= 0;
  }

  void Open(const std::vector<std::string_view>& cells, std::string_view line) {
    Table t;
    const int k = MatchHint(line, false);
    const TableHint* hint = k >= 0 ? tableHints_[static_cast<std::size_t>(k)] : nullptr;
    if (hint) {
      used_[static_cast<std::size_t>(k)] = true;
      t.name = hint->name;
    } else if (!section_.empty() && !SectionUsed()) {
      t.name = FieldName(section_);
    } else {
      t.name = "table";
    }
    t.name = Unique(t.name);
    sectionTable_ = section_;
    headerLine_ = std::string(line);
    SetColumns(t, cells, hint && hint->verbatim);
    tables_.push_back(std::move(t));
    open_ = true;
  }

  bool SectionUsed() const { return !sectionTable_.empty() && sectionTable_ == section_; }

  std::string Unique(const std::string& name) const {
    auto taken = [&](const std::string& n) {
      for (const Table& t : tables_) {
        if (t.name == n) return true;
      }
      return false;
    };
    if (!taken(name)) return name;
    for (int k = 2;; ++k) {
      const std::string n = name + "_" + std::to_string(k);
      if (!taken(n)) return n;
    }
  }

  static void SetColumns(Table& t, const std::vector<std::string_view>& cells, bool verbatim) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
      const std::string_view heading = Trim(cells[k]);
      if (heading.empty() && k + 1 == cells.size() && k > 0) break;  // a trailing TAB
      t.headings.emplace_back(heading);
      std::string key = verbatim ? std::string(heading) : FieldName(heading);
      if (key.empty()) key = k == 0 ? "key" : "column_" + std::to_string(k + 1);
      t.keys.push_back(UniqueKey(t.keys, key));
    }
  }

  static std::string UniqueKey(const std::vector<std::string>& keys, const std::string& key) {
    auto taken = [&](const std::string& k) {
      for (const std::string& x : keys) {
        if (x == k) return true;
      }
      return false;
    };
    if (!taken(key)) return key;
    for (int n = 2;; ++n) {
      const std::string k = key + "_" + std::to_string(n);
      if (!taken(k)) return k;
    }
  }

  static Json Row(Table& t, const std::vector<std::string_view>& cells) {
    std::size_t n = cells.size();
    while (n > t.keys.size() && Trim(cells[n - 1]).empty()) --n;  // trailing TABs
    // cells beyond the header: columns without a heading
    while (t.keys.size() < n) {
      t.headings.emplace_back();
      t.keys.push_back(UniqueKey(t.keys, "column_" + std::to_string(t.keys.size() + 1)));
      for (Json& earlier : t.rows) earlier[t.keys.back()] = t.source ? Json("") : Json();
    }
    Json row = Json::object();
    for (std::size_t k = 0; k < t.keys.size(); ++k) {
      if (k >= n) {
        row[t.keys[k]] = t.source ? Json("") : Json();
      } else {
        row[t.keys[k]] = t.source ? SourceValue(cells[k]) : ReportValue(cells[k]);
      }
    }
    return row;
  }

  void Field(const std::vector<std::string_view>& cells) {
    if (hint_ && hint_->fieldsTable) {
      if (!open_ && tables_.empty()) {
        Table t;
        t.name = hint_->fieldsTable;
        t.keys = {hint_->labelColumn, hint_->valueColumn};
        t.headings = {"", ""};
        tables_.push_back(std::move(t));
      }
      Json row;
      row[hint_->labelColumn] = std::string(Label(cells[0]));
      row[hint_->valueColumn] = ReportValue(cells[1]);
      tables_.front().rows.push_back(std::move(row));
      return;
    }
    std::size_t n = cells.size();
    while (n > 2 && Trim(cells[n - 1]).empty()) --n;
    Json value;
    if (n == 2) {
      value = ReportValue(cells[1]);
    } else {
      value = Json::array();
      for (std::size_t k = 1; k < n; ++k) value.push_back(ReportValue(cells[k]));
    }
    AddField(FieldName(cells[0]), std::move(value));
  }

  void AddField(std::string name, Json value) {
    if (name.empty()) name = "field";
    const std::string section = FieldName(section_);
    if (hint_ && hint_->sectionNames && !section.empty()) {
      name = section + "_" + name;
    } else if (fields_.contains(name) && !section.empty()) {
      name = section + "_" + name;
    }
    if (fields_.contains(name)) {
      for (int k = 2;; ++k) {
        const std::string n = name + "_" + std::to_string(k);
        if (!fields_.contains(n)) {
          name = n;
          break;
        }
      }
    }
    fields_[name] = std::move(value);
  }

  void Close() { open_ = false; }

  // EX and JO without a sample file print the selected rows of the source with its header.
  void ReadSourceRows(const std::vector<std::string_view>& lines) {
    Table t;
    t.name = "rows";
    t.source = true;
    SetColumns(t, SplitTabs(lines[0]), true);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      if (lines[i].empty() && i + 1 == lines.size()) break;
      t.rows.push_back(Row(t, SplitTabs(lines[i])));
    }
    tables_.push_back(std::move(t));
  }

  const ReportHint* hint_ = nullptr;
  std::vector<const TableHint*> tableHints_;
  std::vector<bool> used_;
  std::string title_;
  std::string section_;
  std::string sectionTable_;  // the section whose heading named a table
  std::string headerLine_;    // of the open table
  Json fields_ = Json::object();
  std::vector<Table> tables_;
  bool open_ = false;
};

// The words of a command line as the command shell reads them: separated by spaces outside
// double quotes.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const std::size_t start = i;
    bool quoted = false;
    while (i < line.size() && (quoted || line[i] != ' ')) {
      if (line[i] == '"') quoted = !quoted;
      ++i;
    }
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

Json ReportValue(std::string_view text) {
  if (Trim(text).empty()) return Json();
  NumberText n;
  if (ReadNumberText(text, n)) return NumberJson(n);
  return std::string(Trim(text));
}

std::string FieldName(std::string_view label) {
  label = Label(label);
  std::string out;
  bool gap = false;
  auto word = [&](std::string_view w) {
    if (gap && !out.empty()) out += '_';
    gap = false;
    out += w;
  };
  for (const char c : label) {
    if (c >= 'A' && c <= 'Z') {
      word(std::string(1, static_cast<char>(c - 'A' + 'a')));
    } else if ((c >= 'a' && c <= 'z') || IsDigit(c) || static_cast<unsigned char>(c) >= 0x80) {
      word(std::string(1, c));
    } else if (c == '%') {
      gap = true;
      word("pct");
      gap = true;
    } else if (c != '\'') {
      gap = true;
    }
  }
  return out;
}

Json ReadReport(std::string_view code, std::string_view report) {
  return Reader(code).Read(report);
}

Json ReportObject(const std::string& line, const std::string& code, const std::string& recap,
                  bool needsSource, std::string_view report) {
  Json out;
  out["command"] = code;
  if (code == "HE") {
    out["help"] = std::string(report);
    return out;
  }
  out["recap"] = recap;
  Json args = Json::object();
  const std::vector<std::string_view> words = Words(line);
  for (std::size_t k = 1; k < words.size(); ++k) {
    const std::size_t eq = words[k].find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view value = words[k].substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    args[Lower(words[k].substr(0, eq))] = std::string(value);
  }
  Json source;
  if (needsSource) {
    auto arg = [&](const char* name) {
      return args.contains(name) ? args[name].get<std::string>() : std::string();
    };
    std::string ds = Lower(arg("ds"));
    if (ds.empty()) ds = !arg("conn").empty() || !arg("sql").empty() ? "db" : "file";
    source["ds"] = ds;
    if (ds == "db") {
      source["conn"] = arg("conn");
      source["sql"] = arg("sql");
    } else {
      source["file"] = arg("file");
      if (!arg("filespec").empty()) source["filespec"] = arg("filespec");
    }
  }
  out["arguments"] = std::move(args);
  out["source"] = std::move(source);
  Json body = ReadReport(code, report);
  for (auto& [key, value] : body.items()) out[key] = std::move(value);
  return out;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

std::string CsvValue(const Json& v) {
  if (v.is_null()) return {};
  if (v.is_string()) return CsvField(v.get<std::string>());
  return CsvField(v.dump(-1, ' ', false, Json::error_handler_t::replace));
}

void CsvRow(std::string& out, std::initializer_list<std::string> cells, std::string_view eol) {
  bool first = true;
  for (const std::string& c : cells) {
    if (!first) out += ',';
    first = false;
    out += c;
  }
  out += eol;
}

}  // namespace

std::string ReportCsv(const Json& report, std::string_view eol) {
  std::string out;
  CsvRow(out, {"command", CsvValue(report.value("command", Json()))}, eol);
  if (report.contains("help")) {
    CsvRow(out, {"help", CsvValue(report["help"])}, eol);
    return out;
  }
  CsvRow(out, {"recap", CsvValue(report.value("recap", Json()))}, eol);
  for (const auto& [name, value] : report["arguments"].items()) {
    CsvRow(out, {"argument", CsvField(name), CsvValue(value)}, eol);
  }
  if (!report["title"].is_null()) CsvRow(out, {"title", CsvValue(report["title"])}, eol);
  for (const auto& [name, value] : report["fields"].items()) {
    out += CsvField(name);
    if (value.is_array()) {
      for (const Json& v : value) out += "," + CsvValue(v);
    } else {
      out += "," + CsvValue(value);
    }
    out += eol;
  }
  for (const auto& [name, table] : report["tables"].items()) {
    out += eol;
    CsvRow(out, {"table", CsvField(name)}, eol);
    auto row = [&](const Json& r) {
      bool first = true;
      for (const Json& key : table["columns"]) {
        if (!first) out += ',';
        first = false;
        out += CsvValue(r.value(key.get<std::string>(), Json()));
      }
      out += eol;
    };
    bool first = true;
    for (const Json& key : table["columns"]) {
      if (!first) out += ',';
      first = false;
      out += CsvField(key.get<std::string>());
    }
    out += eol;
    for (const Json& r : table["rows"]) row(r);
    if (table.contains("totals")) row(table["totals"]);
  }
  return out;
}

}  // namespace tarnwick::cli
