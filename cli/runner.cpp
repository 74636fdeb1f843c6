#include "runner.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "odbc_source.h"
#include "suggest.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/platform/file_system.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/shell/validation.h"
#include "workbook_source.h"

namespace tarnwick::cli {

const CommandDef* FindCommand(std::string_view code) {
  for (const CommandDef& c : Commands()) {
    if (code == c.code) return &c;
  }
  return nullptr;
}

int Job::Col(std::string_view arg) const {
  auto it = cols_.find(UCase(std::string(arg)));
  return it == cols_.end() ? -1 : it->second;
}

bool Job::Next() {
  started_ = true;
  inRow_ = false;
  if (!source_) return false;
  while (source_->Next()) {
    if (ct_) ct_->Item();
    if (options_.progress && (source_->RowNo() & 0x3FFF) == 0) Progress(false);
    bool selected = true;
    if (filtered_ && source_->Prefiltered()) {
      const FilterOutcome o = source_->Outcome();
      selected = o == FilterOutcome::kSelected;
      if (o == FilterOutcome::kNotEvaluated) ++evalFailures_;
    } else if (filtered_) {
      selected = parser_.SelectRow(source_->RowLine(), op_);
      // A failed operation pushes nothing and need not be the last one; an answer that is not a
      // truth value also means the row could not be evaluated.
      if (op_.AnyErr() || (!selected && op_.ans() != "FALSE")) {
        ++evalFailures_;
        selected = false;  // a row the filter could not evaluate is never selected
      }
    }
    if (selected) {
      ++selected_;
      inRow_ = true;
      return true;
    }
  }
  if (progressShown_) Progress(true);
  return false;
}

namespace {

std::int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// 1234567 as "1,234,567".
std::string Grouped(std::int64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// Seconds as "45 s", "3 min 20 s" or "1 h 05 min".
std::string Duration(double seconds) {
  const auto s = static_cast<std::int64_t>(seconds + 0.5);
  char buf[48];
  if (s < 60)
    std::snprintf(buf, sizeof buf, "%lld s", static_cast<long long>(s));
  else if (s < 3600)
    std::snprintf(buf, sizeof buf, "%lld min %02lld s", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
  else
    std::snprintf(buf, sizeof buf, "%lld h %02lld min", static_cast<long long>(s / 3600),
                  static_cast<long long>(s % 3600 / 60));
  return buf;
}

}  // namespace

// The line on a terminal's standard error: rows read, the share of the input, rows per second
// and the time left, rewritten in place at most ten times a second. Runs shorter than half a
// second show nothing; the line is wiped when the source is read to its end.
void Job::Progress(bool last) {
  if (last) {
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(progressWidth_), "");
    std::fflush(stderr);
    progressShown_ = false;
    return;
  }
  const std::int64_t now = NowMs();
  if (progressStart_ == 0) {
    progressStart_ = progressLast_ = now;
    return;
  }
  if (now - progressLast_ < 100 || (!progressShown_ && now - progressStart_ < 500)) return;
  progressLast_ = now;
  progressShown_ = true;
  const double elapsed = static_cast<double>(now - progressStart_) / 1000.0;
  const std::int64_t rows = source_->RowNo();
  std::string line = Grouped(rows) + " rows read";
  const double done = source_->Done();
  if (done > 0 && done <= 1) {
    char pct[16];
    std::snprintf(pct, sizeof pct, "  %3d%%", static_cast<int>(done * 100));
    line += pct;
  }
  if (elapsed > 0)
    line +=
        "  " + Grouped(static_cast<std::int64_t>(static_cast<double>(rows) / elapsed)) + " rows/s";
  if (done > 0.001 && done < 1) {
    const double left = elapsed * (1 - done) / done;
    line += left < 1 ? std::string("  less than 1 s left") : "  about " + Duration(left) + " left";
  }
  const std::size_t width = line.size();
  if (line.size() < progressWidth_) line.append(progressWidth_ - line.size(), ' ');
  progressWidth_ = std::max(progressWidth_, width);
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}

std::string Job::RowContext() const {
  if (!source_) return {};
  std::string out = " on row: " + std::to_string(source_->RowNo() + 1) + " in " + source_->Where();
  std::vector<int> cols;
  for (const auto& c : cols_) cols.push_back(c.second);
  for (const auto& k : keyParts_) cols.insert(cols.end(), k.second.begin(), k.second.end());
  std::sort(cols.begin(), cols.end());
  cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
  const auto& names = source_->Names();
  std::string values;
  for (const int c : cols) {
    if (c < 0 || static_cast<std::size_t>(c) >= names.size()) continue;
    std::string_view v = source_->Field(c);
    if (!values.empty()) values += ", ";
    values += names[static_cast<std::size_t>(c)] + ": " + std::string(v.substr(0, 60));
    if (v.size() > 60) values += "...";
  }
  if (!values.empty()) out += " (" + values + ")";
  return out;
}

namespace {

// "Col: <name> on row: <n> in file: <path> " and the complaint, as the engine's file checks
// word it; rows are counted with the header as row 1.
std::string NotText(const Job& job, int col, std::string_view what) {
  const RowSource& src = job.Source();
  const auto& names = src.Names();
  const std::string name =
      col >= 0 && static_cast<std::size_t>(col) < names.size() ? names[col] : std::string();
  return "Col: " + name + " on row: " + std::to_string(src.LineNo()) + " in " + src.Where() + " " +
         std::string(what) + std::string(job.Text(col));
}

}  // namespace

double Job::Number(int col) const {
  if (const double* read = source_->ReadNumber(col)) {
    Count(col, *read);
    return *read;
  }
  const auto v = ParseNumber(Text(col));
  if (!v) Raise(ErrorCode::TypeMismatch, NotText(*this, col, "not numeric: "));
  Count(col, *v);
  return *v;
}

void Job::Count(int col, double v) const {
  if (col < 0) return;
  if (static_cast<std::size_t>(col) >= totals_.size()) totals_.resize(col + 1);
  Total& t = totals_[col];
  const std::int64_t row = RowsRead();
  if (t.lastRow == row) return;
  t.lastRow = row;
  ++t.count;
  if (t.exact) {
    // Amounts of at most four decimals add up exactly in ten-thousandths.
    const double scaled = v * 10000.0;
    const double units = std::nearbyint(scaled);
    std::int64_t sum = 0;
    if (std::fabs(scaled - units) <= 1e-3 && std::fabs(units) < 9e15 &&
        !__builtin_add_overflow(t.units, static_cast<std::int64_t>(units), &sum)) {
      t.units = sum;
      return;
    }
    // From here on a compensated sum of doubles, starting from the exact sum so far.
    t.exact = false;
    t.sum = static_cast<double>(static_cast<long double>(t.units) / 10000.0L);
  }
  const double s = t.sum + v;
  t.comp += std::fabs(t.sum) >= std::fabs(v) ? (t.sum - s) + v : (v - s) + t.sum;
  t.sum = s;
}

std::vector<ControlTotal> Job::ControlTotals() const {
  std::vector<ControlTotal> out;
  const auto& names = source_ ? source_->Names() : std::vector<std::string>{};
  for (std::size_t c = 0; c < totals_.size(); ++c) {
    const Total& t = totals_[c];
    if (t.count == 0) continue;
    ControlTotal ct;
    ct.column = c < names.size() ? names[c] : std::to_string(c + 1);
    ct.count = t.count;
    ct.sum = t.exact ? static_cast<double>(static_cast<long double>(t.units) / 10000.0L)
                     : t.sum + t.comp;
    out.push_back(std::move(ct));
  }
  return out;
}

namespace {

constexpr DateOrder kOrders[] = {DateOrder::kMdy, DateOrder::kDmy, DateOrder::kYmd};

const char* OrderArg(DateOrder o) {
  switch (o) {
    case DateOrder::kDmy: return "dmy";
    case DateOrder::kYmd: return "ymd";
    default: return "mdy";
  }
}

// The orders other than `order` that read the text as a date, as "day/month/year (datefmt=dmy)"
// joined with " or "; "" when none does.
std::string OtherOrders(std::string_view text, DateOrder order) {
  std::string out;
  for (const DateOrder o : kOrders) {
    if (o == order || !ParseDate(text, o)) continue;
    if (!out.empty()) out += " or ";
    out += DateOrderName(o);
    out += " (datefmt=";
    out += OrderArg(o);
    out += ")";
  }
  return out;
}

}  // namespace

Date Job::DateValue(int col) const {
  if (const Date* read = source_->ReadDate(col)) return *read;
  const auto v = ParseDate(Text(col), order_);
  if (!v) {
    std::string msg = NotText(*this, col, "not a date value:");
    const std::string other = OtherOrders(Text(col), order_);
    if (!other.empty()) {
      msg += " (it reads as ";
      msg += other;
      msg += "; this run reads ";
      msg += DateOrderName(order_);
      msg += ")";
    }
    Raise(ErrorCode::TypeMismatch, msg);
  }
  return *v;
}

KeyColumns Job::Key(std::string_view arg) const {
  KeyColumns k;
  k.mode = keyMode_;
  const std::string name = UCase(std::string(arg));
  if (auto it = keyParts_.find(name); it != keyParts_.end()) {
    k.cols = it->second;
  } else if (const int c = Col(arg); c >= 0) {
    k.cols.push_back(c);
  }
  for (const int c : k.cols) k.names.push_back(source_->Names()[static_cast<std::size_t>(c)]);
  return k;
}

void KeyText(const RowSource& src, const KeyColumns& key, std::string& out) {
  if (key.cols.size() == 1 && key.mode == KeyMode::Exact) {
    out.assign(src.Field(key.cols[0]));
    return;
  }
  out.clear();
  for (std::size_t i = 0; i < key.cols.size(); ++i) {
    if (i) out += kKeyJoin;
    std::string_view part = src.Field(key.cols[i]);
    if (key.mode != KeyMode::Exact) part = TrimView(part);
    const std::size_t at = out.size();
    out.append(part);
    if (key.mode == KeyMode::NoCase) {
      for (std::size_t k = at; k < out.size(); ++k) out[k] = UpperChar(out[k]);
    }
  }
}

namespace {

bool NoCaseIs(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

std::string Quoted(const std::string& v) {
  return v.find(' ') == std::string::npos ? v : "\"" + v + "\"";
}

// Arguments that only the spreadsheet gives meaning to, or that a command line may leave out,
// get the runner's defaults so that the engine's checks see a complete command.
std::string WithDefaults(const std::string& line, const cShell& sh, const CommandDef& def) {
  std::string out = line;
  auto add = [&](const char* name, const std::string& value) {
    if (sh.geta(name).empty() && !value.empty())
      out += std::string(" ") + name + "=" + Quoted(value);
  };
  add("recap", def.code);
  // A range names its own worksheet: the engine's checks ask for it when it is missing.
  if (!NoCaseIs(sh.geta("ds"), "rng")) add("sheet", "stdout");
  if (def.needsSource && sh.geta("ds").empty()) {
    if (!sh.geta("conn").empty() || !sh.geta("sql").empty()) {
      add("ds", "db");
    } else {
      add("ds", "file");
    }
  }
  // The command's own (its entry in commands.cpp).
  for (const DefaultArg& d : def.defaults)
    add(d.name, d.fromArg ? sh.geta(d.value) : std::string(d.value));
  // A query's columns are named like a file's; the field arguments of the database rows
  // default to the column arguments.
  add("fldno", sh.geta("col").empty() ? std::string("1") : sh.geta("col"));
  add("iamount", sh.geta("amount"));
  add("agefld", sh.geta("agecol"));
  add("tranfld", sh.geta("trancol"));
  return out;
}

std::vector<std::string> CommandCodes() {
  std::vector<std::string> codes{"HE"};
  for (const CommandDef& c : Commands()) codes.emplace_back(c.code);
  return codes;
}

// Every argument name a command may take: its requirement tables' names, the source
// arguments and the runner's own.
std::vector<std::string> ArgumentNames(const std::string& code) {
  std::vector<std::string> names{"ds",   "file",  "filespec", "conn",   "sql",
                                 "cond", "recap", "sheet",    "sample", "title"};
  cNVal nval;
  cOVal oval;
  for (const std::string& list : {nval.Getit(code), oval.GetitReq(code), oval.GetitOpt(code)}) {
    std::size_t start = 0;
    while (start < list.size()) {
      std::size_t end = list.find_first_of(" ,", start);
      if (end == std::string::npos) end = list.size();
      if (end > start) names.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const RunnerArgDef& r : RunnerArgs()) {
    if (RunnerArgApplies(r, code)) names.emplace_back(r.name);
  }
  return names;
}

// " (did you mean X?)" for the shell's complaint about a command or an argument name.
std::string Suggestion(const std::string& line, const cShell& sh) {
  const std::string& msg = sh.ErrMsg();
  if (msg.rfind("Command: ", 0) == 0) {
    return DidYouMean(UCase(Trim(line).substr(0, 2)), CommandCodes());
  }
  const std::string_view head = "Argument: ";
  if (msg.rfind(head, 0) == 0) {
    const std::size_t end = msg.find(' ', head.size());
    const std::string word = msg.substr(head.size(), end - head.size());
    return DidYouMean(word, ArgumentNames(UCase(Trim(line).substr(0, 2))));
  }
  return {};
}

// The engine's checks of the command line, in the order the add-in runs them.
void CheckCommand(const std::string& line, const cShell& sh) {
  cNVal nval;
  if (!nval.checkit(line)) throw Rejected{nval.ErrMsg()};
  cOVal oval;
  if (!oval.checkit(line)) throw Rejected{oval.ErrMsg()};
  cVal val;
  if (!val.Val(sh.CmdName(), sh).ToBool() && val.ErrMsg().rfind("Missing cmd: ", 0) != 0) {
    throw Rejected{val.ErrMsg()};
  }
}

// `lineSheet` is the worksheet the line named (not the default the runner filled in): a
// workbook's sheet for ds=file; ds=rng takes the sheet= the checks saw.
SourceArgs SourceOf(const cShell& sh, const std::string& lineSheet) {
  const bool range = NoCaseIs(sh.geta("ds"), "rng");
  return SourceArgs{sh.geta("ds"),   sh.geta("file"), sh.geta("filespec"),
                    sh.geta("conn"), sh.geta("sql"),  range ? sh.geta("sheet") : lineSheet,
                    sh.geta("ulc")};
}

}  // namespace

// Composite keys are resolved here, and only here: a key argument that names no column as a
// whole but holds "+" is split at each "+", and every part must name a column (through the
// engine's own header check for a tab-delimited file, as a single column name would be).
KeyColumns ResolveKey(const std::string& arg, const std::string& value, const RowSource& src,
                      const std::string& tabFile, bool composite) {
  std::vector<std::string> parts;
  if (!composite || src.Column(value) >= 0 || value.find('+') == std::string::npos) {
    parts.push_back(value);
  } else {
    for (std::size_t start = 0;;) {
      const std::size_t plus = value.find('+', start);
      std::string part =
          Trim(value.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
      if (part.empty()) {
        throw Rejected{arg + "=" + value +
                       ": a composite key names its columns joined by +, with none empty"};
      }
      parts.push_back(std::move(part));
      if (plus == std::string::npos) break;
      start = plus + 1;
    }
  }
  KeyColumns key;
  for (const std::string& part : parts) {
    if (!tabFile.empty()) {
      cVal val;
      if (!val.FileHasColName(tabFile, part)) {
        // The engine names the column; the hint says what the source has instead.
        std::string msg = val.ErrMsg();
        if (src.Column(part) < 0) msg = RTrim(msg) + ColumnHint(part, src.Names());
        throw Rejected{msg};
      }
    }
    const int i = src.Column(part);
    if (i < 0) {
      throw Rejected{"Col: " + part + " in " + src.Where() + " not found" +
                     ColumnHint(part, src.Names())};
    }
    key.cols.push_back(i);
    key.names.push_back(src.Names()[static_cast<std::size_t>(i)]);
  }
  return key;
}

namespace {

// The column a column argument names: an engine argument's value, or a runner's own.
std::string ColumnName(const ColumnArg& c, const cShell& sh, const Job& j) {
  return c.runner ? j.RunnerArg(c.arg) : sh.geta(c.arg);
}

// Each column argument must name a column of the source (each part of a composite key).
void ResolveColumns(const std::vector<ColumnArg>& columns, const cShell& sh, const Job& j,
                    RowSource& src, bool tabFile, std::map<std::string, int>& cols,
                    std::map<std::string, std::vector<int>>& keyParts) {
  for (const ColumnArg& c : columns) {
    const std::string name = ColumnName(c, sh, j);
    if (name.empty()) {
      if (c.optional) continue;
      throw Rejected{std::string("missing: ") + c.arg + "= "};
    }
    const KeyColumns key =
        ResolveKey(c.arg, name, src, tabFile ? sh.geta("file") : std::string(), c.composite);
    cols[UCase(std::string(c.arg))] = key.cols[0];
    if (key.Composite()) keyParts[UCase(std::string(c.arg))] = key.cols;
  }
}

// The values of a tab-delimited file's columns: numbers and dates in the first rows, by the
// engine's own checks; dates written in another order than month/day/year by the runner's
// check of the same rows in the source's order, which words its findings as the engine does.
void CheckColumnValues(const std::vector<ColumnArg>& columns, const cShell& sh, const Job& j,
                       DateOrder order) {
  const std::string file = sh.geta("file");
  for (const ColumnArg& c : columns) {
    const std::string name = ColumnName(c, sh, j);
    if (name.empty() || c.kind == Kind::Text) continue;
    cVal val;
    if (c.kind == Kind::Number) {
      if (!val.FileHasNumericColName(file, name)) throw Rejected{val.ErrMsg()};
      continue;
    }
    if (order == DateOrder::kMdy) {
      if (!val.FileHasDateColName(file, name)) throw Rejected{val.ErrMsg()};
      continue;
    }
    TextReader reader = OpenTextFile(file);
    if (reader.AtEndOfStream()) continue;
    const std::vector<std::string> header = [&] {
      std::vector<std::string> h;
      const std::string line = Trim(reader.ReadLine());
      for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        h.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return h;
        start = tab + 1;
      }
    }();
    std::size_t column = 0;
    while (column < header.size() && !EqualsNoCase(header[column], name)) ++column;
    for (int row = 2; row <= 20 && column < header.size() && !reader.AtEndOfStream(); ++row) {
      const std::string line = Trim(reader.ReadLine());
      if (line.empty()) continue;
      std::size_t start = 0;
      bool present = true;
      for (std::size_t k = 0; k < column && present; ++k) {
        const std::size_t tab = line.find('\t', start);
        present = tab != std::string::npos;
        start = tab + 1;
      }
      if (!present) continue;
      const std::size_t tab = line.find('\t', start);
      const std::string field =
          line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      if (ParseDate(field, order)) continue;
      throw Rejected{"Col: " + name + " on row: " + std::to_string(row) + " in file: " + file +
                     " not a date value:" + field};
    }
  }
}

// The order of the dates in the first rows of the source (read again from its start), for the
// date columns of the command and the columns the filter names that hold dates there: a value
// that datefmt's order cannot read but another can, or values that only different orders read,
// stop the command before it runs, rather than days being read as months.
constexpr std::int64_t kOrderRows = 10000;

void CheckDateOrder(const SourceArgs& args, DateOrder order, const std::vector<int>& dateCols,
                    const std::vector<int>& filterCols) {
  if (dateCols.empty() && filterCols.empty()) return;
  std::vector<std::string> ignored;
  std::unique_ptr<RowSource> src = OpenSource(args, ignored);
  struct Seen {
    std::int64_t row = 0;
    std::string value;
  };
  struct Column {
    int col;
    bool declared;
    bool allDates = true;  // every non-empty value read as a date in some order
    Seen contradicts{};    // the first value datefmt's order cannot read but another can
    Seen onlyOrder{};      // the first value that only datefmt's order reads
  };
  std::vector<Column> cols;
  for (const int c : dateCols) cols.push_back({c, true});
  for (const int c : filterCols) {
    if (std::none_of(cols.begin(), cols.end(), [&](const Column& x) { return x.col == c; }))
      cols.push_back({c, false});
  }
  while (src->RowNo() < kOrderRows && src->Next()) {
    for (Column& c : cols) {
      const std::string_view v = TrimView(src->Field(c.col));
      if (v.empty()) continue;
      int readers = 0;
      bool mine = false;
      for (const DateOrder o : kOrders) {
        if (!ParseDate(v, o)) continue;
        ++readers;
        mine = mine || o == order;
      }
      if (readers == 0) c.allDates = false;
      if (readers > 0 && !mine && c.contradicts.row == 0)
        c.contradicts = {src->RowNo() + 1, std::string(v)};
      if (readers == 1 && mine && c.onlyOrder.row == 0)
        c.onlyOrder = {src->RowNo() + 1, std::string(v)};
    }
  }
  for (const Column& c : cols) {
    if (c.contradicts.row == 0 || (!c.declared && !c.allDates)) continue;
    const std::string& name = src->Names()[static_cast<std::size_t>(c.col)];
    const std::string other = OtherOrders(c.contradicts.value, order);
    if (c.onlyOrder.row != 0) {
      throw Rejected{"Dates: Col: " + name + " in " + src->Where() +
                     " holds dates in more than one order: " + c.onlyOrder.value + " on row: " +
                     std::to_string(c.onlyOrder.row) + " reads only as " + DateOrderName(order) +
                     ", " + c.contradicts.value + " on row: " + std::to_string(c.contradicts.row) +
                     " only as " + other + "; its dates cannot be read in one order"};
    }
    throw Rejected{"Dates: Col: " + name + " on row: " + std::to_string(c.contradicts.row) +
                   " in " + src->Where() + " holds " + c.contradicts.value +
                   ", which reads only as " + other + ", not as " + DateOrderName(order) +
                   " (datefmt=" + OrderArg(order) +
                   "); give the order the source writes its dates in"};
  }
}

// Date constants of a filter that datefmt's order cannot read but another can: the filter
// would read them as numbers divided (and never match), so the command is refused.
void CheckFilterDates(const std::string& cond, DateOrder order) {
  auto dateChar = [](char ch) { return (ch >= '0' && ch <= '9') || ch == '/' || ch == '-'; };
  for (std::size_t i = 0; i < cond.size();) {
    const char ch = cond[i];
    const bool word = std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '$';
    if (!dateChar(ch) || (i > 0 && (std::isalnum(static_cast<unsigned char>(cond[i - 1])) ||
                                    cond[i - 1] == '_' || cond[i - 1] == '$'))) {
      // skip the rest of a name or a column reference
      ++i;
      while (word && i < cond.size() &&
             (std::isalnum(static_cast<unsigned char>(cond[i])) || cond[i] == '_'))
        ++i;
      continue;
    }
    std::size_t j = i;
    while (j < cond.size() && dateChar(cond[j])) ++j;
    const std::string run = cond.substr(i, j - i);
    i = j;
    if (ParseDate(run, order)) continue;
    const std::string other = OtherOrders(run, order);
    if (other.empty()) continue;
    throw Rejected{"Filter: the date " + run + " reads only as " + other + ", not as " +
                   DateOrderName(order) + " (datefmt=" + OrderArg(order) + ")"};
  }
}

// holidays=FILE: one date per line in the source's order, a TAB and a name after it.
void LoadHolidays(const std::string& path, DateOrder order, HolidayCalendar& calendar) {
  if (!FileExists(path)) throw Rejected{"Holidays: " + path + " not found"};
  TextReader reader = OpenTextFile(path);
  while (!reader.AtEndOfStream()) {
    const std::string line = reader.ReadLine();
    if (calendar.AddLine(line, order) != HolidayCalendar::Line::kNotADate) continue;
    const std::string text(TrimView(line.substr(0, line.find('\t'))));
    const std::string other = OtherOrders(text, order);
    throw Rejected{"Holidays: line " + std::to_string(reader.Line()) + " of " + path + ": " + text +
                   " is not a date in " + DateOrderName(order) +
                   " order (datefmt=" + OrderArg(order) + ")" +
                   (other.empty() ? std::string() : "; it reads as " + other)};
  }
  if (calendar.Days() == 0) throw Rejected{"Holidays: " + path + " holds no dates"};
}

}  // namespace

std::unique_ptr<RowSource> OpenSource(const SourceArgs& args, std::vector<std::string>& inputs) {
  const std::string& ds = args.ds;
  if (NoCaseIs(ds, "db")) {
    const std::string& conn = args.conn;
    // A connection string goes to unixODBC and its driver; anything else is an SQLite file.
    if (IsOdbcConnection(conn)) {
      try {
        return std::make_unique<OdbcSource>(conn, args.sql);
      } catch (const DbError& e) {
        throw Rejected{e.message};
      }
    }
    inputs.push_back(conn);
    if (!FileExists(conn)) throw Rejected{"Database: " + conn + " not found"};
    try {
      return std::make_unique<DbSource>(conn, args.sql);
    } catch (const DbError& e) {
      throw Rejected{e.message};
    }
  }
  const bool range = NoCaseIs(ds, "rng");
  if (!NoCaseIs(ds, "file") && !range) {
    throw Rejected{"Data source: ds=" + ds + " is not one of file, db, rng, sel"};
  }
  const std::string& file = args.file;
  if (file.empty()) throw Rejected{"missing file= "};
  inputs.push_back(file);
  cVal val;
  if (!val.FileExists(file)) throw Rejected{val.ErrMsg()};
  const bool workbook = IsWorkbookFile(file);
  if (range && !workbook) {
    throw Rejected{"Data source: ds=rng reads a range of an .xlsx workbook; file: " + file +
                   " is not a workbook"};
  }
  if (range && (args.sheet.empty() || args.ulc.empty())) {
    // the engine's checks ask for them only when ds is written in lower case
    std::string missing = "missing: ";
    if (args.sheet.empty()) missing += "sheet= ";
    if (args.ulc.empty()) missing += "ulc= ";
    throw Rejected{missing};
  }
  if (workbook) {
    try {
      return std::make_unique<WorkbookSource>(file, args.sheet, range ? args.ulc : std::string());
    } catch (const FileError& e) {
      throw Rejected{e.message};
    }
  }
  const std::string& filespec = args.filespec;
  if (!filespec.empty() && !val.FileExists(filespec)) throw Rejected{val.ErrMsg()};
  inputs.push_back(filespec);
  try {
    return std::make_unique<FileSource>(file, filespec);
  } catch (const FileError& e) {
    throw Rejected{e.message};
  }
}

// The filter is parsed once against the source's header. A filter that does not parse, or
// that names a column the source lacks, is refused: the engine would select no row, or
// compare with the name itself, without a word.
void PrepareFilter(const std::string& cond, Job& job) {
  if (cond.empty()) return;
  CheckFilterDates(cond, job.order_);
  job.parser_.SetDateOrder(job.order_);
  job.op_.SetDateOrder(job.order_);
  job.op_.SetHolidays(job.Holidays());
  if (!job.parser_.Prepare(cond, job.source_->HeaderLine())) {
    throw Rejected{"Filter: " + job.parser_.ErrMsg()};
  }
  const std::string& rpn = job.parser_.RPN();
  const std::size_t columns = job.source_->Names().size();
  int depth = 0;  // values the expression would hold on the evaluator's stack
  bool complete = true;
  std::size_t start = 0;
  while (start <= rpn.size()) {
    std::size_t tab = rpn.find('\t', start);
    if (tab == std::string::npos) tab = rpn.size();
    const std::string_view token(rpn.data() + start, tab - start);
    start = tab + 1;
    if (token.empty()) continue;
    if (token.size() > 1 && token[0] == '$') {
      // a name the header lacks, or a column number beyond it
      const bool number = token[1] >= '0' && token[1] <= '9';
      std::size_t n = 0;
      for (std::size_t k = 1; number && k < token.size() && n <= columns; ++k)
        n = (token[k] >= '0' && token[k] <= '9') ? n * 10 + static_cast<std::size_t>(token[k] - '0')
                                                 : columns + 1;
      if (!number || n < 1 || n > columns) {
        throw Rejected{"Filter: " + std::string(token) + " names no column of " +
                       job.source_->Where()};
      }
      job.filterCols_.push_back(static_cast<int>(n) - 1);
    }
    const RpnOp op = RpnOperatorOf(token);
    if (op == RpnOp::kNone) {
      ++depth;
    } else if (op >= RpnOp::kAbs && op <= RpnOp::kWe) {
      complete = complete && depth >= 1;
    } else {
      complete = complete && depth >= 2;
      --depth;
    }
  }
  // An operand or operator missing ("$Amount >", "AND"), or a number the filter cannot read
  // ("1e12" is the number 1 and the name E12), parses, but no row could ever answer TRUE:
  // refuse it rather than report an empty selection.
  if (!complete || depth != 1) {
    throw Rejected{
        "Filter: not one complete expression (an operand or operator is missing, or "
        "a value is not read as written): " +
        cond};
  }
  job.filtered_ = true;
}

namespace {

// What the run record keeps of a command, whether it completed or not.
void Record(const Job& j, const cShell& sh, RunInfo* info) {
  if (!info) return;
  info->inputs.clear();
  for (const std::string& f : j.Inputs()) {
    if (!f.empty()) info->inputs.push_back(f);
  }
  if (NoCaseIs(sh.geta("ds"), "db")) {
    info->database = sh.geta("conn");
    info->query = sh.geta("sql");
    info->inputs.clear();  // the connection is named under database
  }
  info->outputs.clear();
  if (!sh.geta("sample").empty()) info->outputs.push_back(sh.geta("sample"));
  info->rowsRead = j.RowsRead();
  info->rowsSelected = j.RowsSelected();
  info->rowsNotEvaluated = j.RowsNotEvaluated();
  info->totals = j.ControlTotals();
}

}  // namespace

int ReadingThreads(int asked, std::int64_t fileBytes) {
  if (asked > 0) return asked;
  if (fileBytes < kThreadedReadBytes) return 1;
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// The runner's own arguments that shape how the source is read, then the source, its columns
// and its filter, checked in this order: the columns exist, the dates are in the order given,
// the first rows hold numbers and dates.
void PrepareRun(Job& j, const CommandDef& def, const cShell& sh) {
  if (const std::string f = LCase(j.RunnerArg("datefmt")); !f.empty()) {
    if (f == "mdy")
      j.order_ = DateOrder::kMdy;
    else if (f == "dmy")
      j.order_ = DateOrder::kDmy;
    else if (f == "ymd")
      j.order_ = DateOrder::kYmd;
    else
      throw Rejected{"datefmt=" + j.RunnerArg("datefmt") + " is not one of mdy, dmy, ymd"};
  }
  if (const std::string k = LCase(j.RunnerArg("keys")); !k.empty()) {
    if (k == "exact")
      j.keyMode_ = KeyMode::Exact;
    else if (k == "trim")
      j.keyMode_ = KeyMode::Trim;
    else if (k == "nocase")
      j.keyMode_ = KeyMode::NoCase;
    else
      throw Rejected{"keys=" + j.RunnerArg("keys") + " is not one of exact, trim, nocase"};
  }
  if (const std::string h = j.RunnerArg("holidays"); !h.empty()) {
    LoadHolidays(h, j.order_, j.holidays_);
    j.customHolidays_ = true;
    j.inputs_.push_back(h);
  }
  if (!def.needsSource) return;
  // Sequence numbers read by their digits are texts until the run takes the digits out.
  std::vector<ColumnArg> columns = def.columns;
  if (!j.RunnerArg("digits").empty()) {
    for (ColumnArg& c : columns) c.kind = Kind::Text;
  }
  const SourceArgs args = SourceOf(sh, j.sheet_);
  j.source_ = OpenSource(args, j.inputs_);
  const auto* fileSource = dynamic_cast<const FileSource*>(j.source_.get());
  const bool tabFile = fileSource != nullptr && fileSource->Layout() == "T";
  ResolveColumns(columns, sh, j, *j.source_, tabFile, j.cols_, j.keyParts_);
  PrepareFilter(sh.geta("cond"), j);
  std::vector<int> dateCols;
  for (const ColumnArg& c : columns) {
    if (c.kind == Kind::Date && j.Col(c.arg) >= 0) dateCols.push_back(j.Col(c.arg));
  }
  CheckDateOrder(args, j.order_, dateCols, j.filterCols_);
  if (tabFile) CheckColumnValues(columns, sh, j, j.order_);
  int needed = 0;
  for (const auto& c : j.cols_) needed = std::max(needed, c.second + 1);
  for (const auto& k : j.keyParts_)
    for (const int c : k.second) needed = std::max(needed, c + 1);
  j.source_->NeedColumns(needed);
  auto* file = dynamic_cast<FileSource*>(j.source_.get());
  const int threads = file ? ReadingThreads(j.options_.threads, file->Bytes()) : 1;
  if (file && threads > 1) {
    FilterSetup setup;
    if (j.filtered_) {
      // Each reading thread prepares its own copy of the filter exactly as PrepareFilter did.
      auto holidays =
          j.customHolidays_ ? std::make_shared<const HolidayCalendar>(j.holidays_) : nullptr;
      setup = [cond = sh.geta("cond"), header = j.source_->HeaderLine(), order = j.order_,
               holidays](cParse& parser, cOP& op) {
        parser.SetDateOrder(order);
        op.SetDateOrder(order);
        op.SetHolidays(holidays.get());
        parser.Prepare(cond, header);
      };
    }
    std::vector<int> numbers, dates;
    for (const ColumnArg& c : columns) {
      const int col = j.Col(c.arg);
      if (col < 0 || c.kind == Kind::Text) continue;
      std::vector<int>& to = c.kind == Kind::Number ? numbers : dates;
      if (std::find(to.begin(), to.end(), col) == to.end()) to.push_back(col);
    }
    file->ReadInParallel(threads, std::move(setup), std::move(numbers), std::move(dates), j.order_);
  }
}

int RunLine(const std::string& line, const Options& options, std::string& report,
            std::string& message, RunInfo* info) {
  cShell sh;
  Job j(sh, options);
  // Filled on every way out, so that a failed command is on the record too.
  struct Recorder {
    const Job& j;
    const cShell& sh;
    RunInfo* info;
    ~Recorder() {
      try {
        Record(j, sh, info);
      } catch (...) {  // memory exhausted: the command's own status stands
      }
    }
  } recorder{j, sh, info};
  try {
    // The runner's own arguments leave the line before the engine sees it.
    const std::string engineLine = TakeRunnerArgs(line, j.runnerArgs_);
    cShell first;
    first.HandleCmd(engineLine);
    const std::string code = first.CmdName();
    if (code == "HE") {
      report = HelpText();
      return kOk;
    }
    if (first.ErrStatus()) {
      const std::string hint = Suggestion(engineLine, first);
      throw Rejected{hint.empty() ? first.ErrMsg() : RTrim(first.ErrMsg()) + hint};
    }
    const CommandDef* def = FindCommand(code);
    if (!def) {
      throw Rejected{"Command: " + code + " is not run by tarnwick (see tarnwick HE)"};
    }
    if (!def->run) {
      throw Rejected{"Command: " + code + " (" + def->title +
                     ") is not available in this build: its analysis class is missing"};
    }
    const std::string full = WithDefaults(Trim(engineLine), first, *def);
    sh.HandleCmd(full);
    if (sh.ErrStatus()) throw Rejected{sh.ErrMsg()};
    // The current selection first: the engine's checks would only ask for its cells.
    const std::string ds = sh.geta("ds");
    if (def->needsSource && NoCaseIs(ds, "sel")) {
      throw Rejected{"Data source: ds=" + ds +
                     " reads the spreadsheet's current selection and needs the spreadsheet; "
                     "use ds=file, ds=rng (a range of an .xlsx workbook) or ds=db"};
    }
    CheckCommand(full, sh);

    j.sheet_ = first.geta("sheet");
    PrepareRun(j, *def, sh);
    cCt ct;
    ct.Cmd(code);
    ct.Recap(sh.geta("recap"));
    j.ct_ = &ct;
    def->run(j);
    report = j.report;
    if (info) {
      info->code = code;
      info->recap = sh.geta("recap");
      info->title = sh.geta("title");
      info->files = j.inputs_;
      if (!sh.geta("sample").empty()) info->files.push_back(sh.geta("sample"));
    }
    if (j.evalFailures_ > 0) {
      message = "Filter: " + std::to_string(j.evalFailures_) +
                " rows could not be evaluated and were not selected";
    }
    if (options.timing) {
      if (!message.empty()) message += '\n';
      message += ct.Report();
    }
    return kOk;
  } catch (const Rejected& r) {
    message = r.message;
    return kRejected;
  } catch (const DbError& e) {
    message = e.message;
    return kEngineError;
  } catch (const FileError& e) {
    message = e.message;
    return j.Started() && !e.input ? kEngineError : kRejected;
  } catch (const EngineError& e) {
    message = "Error " + std::to_string(static_cast<int>(e.code())) + ": " + e.what();
    // Which row, with which values; the engine's own messages of a row's value name it already.
    const bool named = std::string_view(e.what()).find("row") != std::string_view::npos;
    if (j.Started() && !named) {
      const std::int64_t n = j.RowsSelected();
      if (j.InRow())
        message += j.RowContext();
      else if (n == 0)
        message += " (no rows were selected)";
      else
        message += " (at the end of the run, after " + std::to_string(n) +
                   (n == 1 ? " selected row)" : " selected rows)");
    }
    return j.Started() ? kEngineError : kRejected;
  } catch (const std::exception& e) {
    // Anything else (memory exhausted, say) still ends with a message and a status.
    message = std::string("Error: ") + e.what();
    return kEngineError;
  }
}

}  // namespace tarnwick::cli
