#include "workbook.h"

#include <fcntl.h>
#include <unistd.h>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>

#include "tarnwick/core/date.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"
#include "tarnwick/data/file_system.h"

namespace tarnwick::cli {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---- cell texts -------------------------------------------------------------------------

std::optional<CellValue> ReportNumber(std::string_view t) {
  std::size_t i = 0;
  const std::size_t n = t.size();
  if (i < n && t[i] == '-') ++i;

  // Integer part: plain digits, or digits grouped by commas in threes.
  const std::size_t intStart = i;
  std::size_t intDigits = 0;
  bool grouped = false;
  std::size_t group = 0;
  for (; i < n && (IsDigit(t[i]) || t[i] == ','); ++i) {
    if (t[i] == ',') {
      if (group == 0 || group > 3 || (grouped && group != 3)) return std::nullopt;
      grouped = true;
      group = 0;
    } else {
      ++intDigits;
      ++group;
    }
  }
  if (grouped && group != 3) return std::nullopt;  // a trailing comma or a short last group
  const bool leadingZero = intDigits > 1 && t[intStart] == '0';

  bool point = false;
  std::size_t decimals = 0;
  if (i < n && t[i] == '.') {
    point = true;
    for (++i; i < n && IsDigit(t[i]); ++i) ++decimals;
  }

  bool exponent = false;
  if (i < n && (t[i] == 'E' || t[i] == 'e') && !grouped && intDigits > 0) {
    std::size_t j = i + 1;
    if (j < n && (t[j] == '+' || t[j] == '-')) ++j;
    std::size_t expDigits = 0;
    for (; j < n && IsDigit(t[j]); ++j) ++expDigits;
    if (expDigits == 0) return std::nullopt;
    exponent = true;
    i = j;
  }

  bool percent = false;
  if (i < n && t[i] == '%' && !exponent) {
    percent = true;
    ++i;
  }
  if (i != n) return std::nullopt;

  const bool lone = intDigits == 0 && decimals == 0;
  if (lone) {
    // "." is how an all-"#" pattern renders 0; nothing else without digits is a number.
    if (t != ".") return std::nullopt;
    return CellValue{CellValue::Kind::Number, 0.0, "#."};
  }
  if (leadingZero && (grouped || (!point && !exponent && !percent && intDigits >= 3))) {
    return std::nullopt;  // a code such as an account or ZIP code
  }

  // Significant digits beyond 15 cannot be held exactly by a spreadsheet number.
  std::string digits;
  digits.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    if (t[k] == 'E' || t[k] == 'e') break;
    if (IsDigit(t[k])) digits += t[k];
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first != std::string::npos) {
    const std::size_t last = digits.find_last_not_of('0');
    if (last - first + 1 > 15) return std::nullopt;
  }

  std::string plain;
  plain.reserve(n);
  for (char c : t) {
    if (c != ',' && c != '%') plain += c;
  }
  double value = 0.0;
  const char* b = plain.data();
  const char* e = b + plain.size();
  if (plain.size() > 1 && plain[0] == '-' && plain[1] == '.') {
    // from_chars needs a digit before the point; "-.5" is -(.5).
    const auto r = std::from_chars(b + 1, e, value);
    if (r.ec != std::errc() || r.ptr != e) return std::nullopt;
    value = -value;
  } else {
    const auto r = std::from_chars(b, e, value);
    if (r.ec != std::errc() || r.ptr != e) return std::nullopt;
  }
  if (percent) value /= 100.0;

  std::string format;
  if (intDigits == 0) {
    format = "#";
  } else if (leadingZero) {
    format.assign(intDigits, '0');
  } else {
    format = grouped ? "#,##0" : "0";
  }
  if (point) {
    format += '.';
    format.append(decimals, '0');
  }
  if (exponent) format += "E+00";
  if (percent) format += '%';
  return CellValue{CellValue::Kind::Number, value, std::move(format)};
}

// Reads 1 or 2 digits (or exactly `exact` digits) at t[i]; advances i.
std::optional<int> Digits(std::string_view t, std::size_t& i, std::size_t lo, std::size_t hi) {
  int v = 0;
  std::size_t k = 0;
  while (i < t.size() && IsDigit(t[i]) && k < hi) {
    v = v * 10 + (t[i] - '0');
    ++i;
    ++k;
  }
  if (k < lo || (i < t.size() && IsDigit(t[i]))) return std::nullopt;
  return v;
}

std::optional<CellValue> ReportDate(std::string_view t) {
  std::size_t i = 0;
  const auto m = Digits(t, i, 1, 2);
  if (!m || i >= t.size() || t[i++] != '/') return std::nullopt;
  const auto d = Digits(t, i, 1, 2);
  if (!d || i >= t.size() || t[i++] != '/') return std::nullopt;
  const auto y = Digits(t, i, 4, 4);
  if (!y) return std::nullopt;
  const auto date = Date::FromYmd(*y, *m, *d);
  if (!date) return std::nullopt;
  double serial = date->serial();
  // Spreadsheet serials count a 29 February 1900 that never was; before March 1900 they differ.
  if (serial < 61.0) return std::nullopt;
  if (i == t.size()) return CellValue{CellValue::Kind::Date, serial, "m/d/yyyy"};

  // " h:mm:ss AM" as the default date text writes a time of day.
  if (t[i++] != ' ') return std::nullopt;
  const auto h = Digits(t, i, 1, 2);
  if (!h || i >= t.size() || t[i++] != ':') return std::nullopt;
  const auto mi = Digits(t, i, 2, 2);
  if (!mi || i >= t.size() || t[i++] != ':') return std::nullopt;
  const auto s = Digits(t, i, 2, 2);
  if (!s || i >= t.size() || t[i++] != ' ') return std::nullopt;
  const std::string_view half = t.substr(i);
  if ((half != "AM" && half != "PM") || *h < 1 || *h > 12 || *mi > 59 || *s > 59) {
    return std::nullopt;
  }
  const int hour = *h % 12 + (half == "PM" ? 12 : 0);
  serial += (hour * 3600 + *mi * 60 + *s) / 86400.0;
  return CellValue{CellValue::Kind::Date, serial, "m/d/yyyy h:mm:ss AM/PM"};
}

// ---- UTF-8 ------------------------------------------------------------------------------

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t len;
  std::uint32_t cp;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
    return 0;
  }
  return len;
}

// The workbook's XML must be UTF-8. Data files are often in a single-byte code page, so a
// byte that does not start a valid UTF-8 sequence is taken as Latin-1 rather than dropped.
std::string ToUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = Utf8Length(s, i);
    if (len > 0) {
      out.append(s.substr(i, len));
      i += len;
    } else {
      const auto c = static_cast<unsigned char>(s[i++]);
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// ---- sheet names ------------------------------------------------------------------------

constexpr std::size_t kSheetNameMax = 31;  // in UTF-16 units, as the spreadsheet counts them

// The longest prefix of s (valid UTF-8) that is at most `units` UTF-16 units long.
std::string_view PrefixUnits(std::string_view s, std::size_t units) {
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t len = std::max<std::size_t>(1, Utf8Length(s, i));
    const std::size_t u = len == 4 ? 2 : 1;
    if (used + u > units) break;
    used += u;
    i += len;
  }
  return s.substr(0, i);
}

std::string CleanSheetName(std::string_view wanted) {
  std::string s = ToUtf8(wanted);
  for (char& c : s) {
    if (std::strchr("[]:*?/\\", c) != nullptr || static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  auto stripQuotes = [](std::string& x) {
    while (!x.empty() && x.front() == '\'') x.erase(0, 1);
    while (!x.empty() && x.back() == '\'') x.pop_back();
  };
  stripQuotes(s);
  s = std::string(PrefixUnits(s, kSheetNameMax));
  stripQuotes(s);
  return s;
}

bool Taken(const std::string& name, const std::vector<std::string>& taken) {
  // "History" is reserved by the spreadsheet for its change log.
  if (EqualsNoCase(name, "History")) return true;
  return std::any_of(taken.begin(), taken.end(),
                     [&](const std::string& t) { return EqualsNoCase(t, name); });
}

// ---- report layout ----------------------------------------------------------------------

using Row = std::vector<std::string_view>;

std::vector<Row> SplitReport(std::string_view text) {
  std::vector<Row> rows;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Row row;
    std::size_t c = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', c);
      if (tab == std::string_view::npos) {
        row.push_back(line.substr(c));
        break;
      }
      row.push_back(line.substr(c, tab - c));
      c = tab + 1;
    }
    if (row.size() == 1 && row[0].empty()) row.clear();
    rows.push_back(std::move(row));
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
  }
  return rows;
}

std::string_view Cell(const Row& row, std::size_t c) {
  return c < row.size() ? TrimView(row[c]) : std::string_view();
}

// As written into the sheet: the cell untrimmed.
bool IsNumber(const Row& row, std::size_t c) {
  return c < row.size() && ClassifyCell(row[c]).kind == CellValue::Kind::Number;
}

// The first cells of a heading line, compared without surrounding spaces.
bool Heads(const Row& row, std::initializer_list<std::string_view> names) {
  if (row.size() < names.size()) return false;
  std::size_t c = 0;
  for (std::string_view n : names) {
    if (Cell(row, c++) != n) return false;
  }
  return true;
}

// A table in the sheet: its heading row and its first and last data rows (0-based).
struct Block {
  std::size_t heading = 0, first = 0, last = 0;
};

// The data rows that follow a heading line: a category in column 0 (not "Totals") and numbers
// in every value column.
template <class IsHeading>
std::optional<Block> FindBlock(const std::vector<Row>& rows, std::size_t limit,
                               IsHeading isHeading, std::initializer_list<std::size_t> valueCols) {
  for (std::size_t h = 0; h < limit; ++h) {
    if (!isHeading(rows[h])) continue;
    std::size_t r = h + 1;
    while (r < limit && !Cell(rows[r], 0).empty() && !EqualsNoCase(Cell(rows[r], 0), "Totals") &&
           std::all_of(valueCols.begin(), valueCols.end(),
                       [&](std::size_t c) { return IsNumber(rows[r], c); })) {
      ++r;
    }
    if (r > h + 1) return Block{h, h + 1, r - 1};
  }
  return std::nullopt;
}

bool ContainsNoCase(std::string_view s, std::string_view part) {
  return UCase(s).find(UCase(part)) != std::string::npos;
}

// The two cumulative-share columns of a two-period comparison table: headings "CP1" and "CP2",
// or the first two headings that speak of a cumulative percentage or share.
std::optional<std::pair<std::size_t, std::size_t>> ShareColumns(const Row& row) {
  std::vector<std::size_t> found;
  for (std::size_t c = 1; c < row.size(); ++c) {
    if (EqualsNoCase(Cell(row, c), "CP1") || EqualsNoCase(Cell(row, c), "CP2")) found.push_back(c);
  }
  if (found.size() != 2) {
    found.clear();
    for (std::size_t c = 1; c < row.size(); ++c) {
      const std::string_view h = Cell(row, c);
      if (ContainsNoCase(h, "cum") &&
          (ContainsNoCase(h, "pct") || ContainsNoCase(h, "share") || ContainsNoCase(h, "%"))) {
        found.push_back(c);
      }
    }
  }
  if (found.size() < 2) return std::nullopt;
  return std::make_pair(found[0], found[1]);
}

// ---- libxlsxwriter ----------------------------------------------------------------------

[[noreturn]] void RaiseLxw(ErrorCode code, const std::string& what, lxw_error err) {
  Raise(code, what + ": " + lxw_strerror(err));
}

}  // namespace

// ---- public helpers ---------------------------------------------------------------------

CellValue ClassifyCell(std::string_view text) {
  if (text.empty()) return {};
  if (auto d = ReportDate(text)) return *d;
  if (auto n = ReportNumber(text)) return *n;
  return CellValue{CellValue::Kind::Text, 0.0, {}};
}

std::string SheetName(std::string_view wanted, std::string_view fallback,
                      const std::vector<std::string>& taken) {
  std::string base = CleanSheetName(wanted);
  if (base.empty()) base = CleanSheetName(fallback);
  if (base.empty()) base = "Report";
  if (!Taken(base, taken)) return base;
  for (int k = 2;; ++k) {
    const std::string suffix = " (" + std::to_string(k) + ")";
    std::string name(PrefixUnits(base, kSheetNameMax - suffix.size()));
    name += suffix;
    if (!Taken(name, taken)) return name;
  }
}

// ---- column chart with a line -----------------------------------------------------------

// This libxlsxwriter has no combined charts, so the line is a second, unplaced line chart whose
// plot is written into the column chart's plot area, on the same axes: the column chart's
// chart-type writer is wrapped to write its own bars and then the line chart's series.
struct CombinedChart {
  lxw_chart* columns = nullptr;
  lxw_chart* line = nullptr;
  void (*writeColumns)(lxw_chart*) = nullptr;
};

namespace {

std::mutex gCombinedMutex;
std::vector<const CombinedChart*> gCombined;  // the live records

void WriteColumnsAndLine(lxw_chart* chart) {
  const CombinedChart* found = nullptr;
  {
    std::lock_guard<std::mutex> lock(gCombinedMutex);
    for (const CombinedChart* c : gCombined) {
      if (c->columns == chart) found = c;
    }
  }
  if (!found) return;
  found->writeColumns(chart);  // also fixes the axis ids that the line must share
  found->line->file = chart->file;
  found->line->axis_id_1 = chart->axis_id_1;
  found->line->axis_id_2 = chart->axis_id_2;
  found->line->write_chart_type(found->line);
}

void Unregister(const CombinedChart* c) {
  std::lock_guard<std::mutex> lock(gCombinedMutex);
  gCombined.erase(std::remove(gCombined.begin(), gCombined.end(), c), gCombined.end());
}

}  // namespace

// ---- ReportWorkbook ---------------------------------------------------------------------

ReportWorkbook::ReportWorkbook(std::string path, std::vector<std::string> inputsNotToOverwrite)
    : path_(std::move(path)) {
  namespace fs = std::filesystem;
  if (path_.empty()) Raise(ErrorCode::InvalidArgument, "no workbook file name given");
  CheckInputs(inputsNotToOverwrite);
  std::error_code ec;
  const fs::path target(path_);
  if (fs::is_directory(target, ec)) {
    Raise(ErrorCode::FileAccess, "the workbook " + path_ + " names a folder");
  }
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (!fs::is_directory(folder, ec)) {
    Raise(ErrorCode::FileNotFound, "the folder of the workbook " + path_ + " does not exist");
  }

  // The temporary name is reserved now, beside the target (so the rename stays on one file
  // system), and a folder that cannot be written fails before any command runs.
  RemoveStaleTempFiles(folder.empty() ? std::string(".") : folder.string());
  std::string stem(1, '.');
  stem += target.filename().string();
  stem += '.';
  for (int attempt = 0;; ++attempt) {
    const std::string candidate = (folder / (stem + GetTempName())).string();
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      temp_ = candidate;
      RegisterTempFile(temp_);
      break;
    }
    if (errno == EEXIST && attempt < 100) continue;
    const int err = errno;
    Raise(err == EACCES || err == EPERM || err == EROFS ? ErrorCode::PermissionDenied
                                                         : ErrorCode::FileAccess,
          "cannot write the workbook " + path_ + ": " + std::strerror(err));
  }

  lxw_workbook_options options{};
  const std::string tmpdir = GetSpecialFolder(2);
  std::vector<char> tmpdirBuf(tmpdir.begin(), tmpdir.end());
  tmpdirBuf.push_back('\0');
  options.tmpdir = tmpdirBuf.data();
  wb_ = workbook_new_opt(temp_.c_str(), &options);
  if (wb_ == nullptr) {
    DeleteFile(temp_);
    Raise(ErrorCode::OutOfMemory, "cannot start the workbook " + path_);
  }
}

ReportWorkbook::~ReportWorkbook() { Discard(); }

void ReportWorkbook::CheckInputs(const std::vector<std::string>& inputs) const {
  namespace fs = std::filesystem;
  // The same file by its identity when both exist, else by its normalised path.
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(fs::absolute(path_, ec), ec);
  for (const std::string& in : inputs) {
    if (in.empty()) continue;
    std::error_code ec2;
    const fs::path other = fs::weakly_canonical(fs::absolute(in, ec2), ec2);
    if (SameFile(path_, in) || (!ec && !ec2 && target == other)) {
      Raise(ErrorCode::InvalidArgument,
            "the workbook " + path_ + " would replace " + in + ", a file the run reads or writes");
    }
  }
}

void ReportWorkbook::Discard() noexcept {
  if (wb_ != nullptr) {
    lxw_workbook_free(wb_);
    wb_ = nullptr;
  }
  for (auto& c : combined_) {
    Unregister(c.get());
    lxw_chart_free(c->line);
  }
  combined_.clear();
  formats_.clear();
  if (!closed_ && !temp_.empty()) {
    DeleteFile(temp_);
    temp_.clear();
  }
}

lxw_format* ReportWorkbook::Format(const std::string& numFormat) {
  auto it = formats_.find(numFormat);
  if (it != formats_.end()) return it->second;
  lxw_format* f = workbook_add_format(wb_);
  format_set_num_format(f, numFormat.c_str());
  formats_.emplace(numFormat, f);
  return f;
}

lxw_worksheet* ReportWorkbook::NewSheet(std::string_view wanted, std::string_view fallback) {
  std::string name = SheetName(wanted, fallback, sheets_);
  lxw_worksheet* ws = workbook_add_worksheet(wb_, name.c_str());
  if (ws == nullptr) Raise(ErrorCode::InvalidArgument, "cannot add the worksheet " + name);
  // Printed, a report and its chart fit the width of a landscape page.
  worksheet_set_landscape(ws);
  worksheet_fit_to_pages(ws, 1, 0);
  sheets_.push_back(std::move(name));
  return ws;
}

void ReportWorkbook::AddReport(std::string_view recap, std::string_view commandCode,
                               std::string_view reportText, std::string_view title) {
  if (closed_ || wb_ == nullptr) {
    Raise(ErrorCode::InvalidArgument, "the workbook " + path_ + " is closed or has failed");
  }
  try {
    Write(recap, commandCode, reportText, title);
  } catch (...) {
    // A half-written sheet must never reach the file: the whole workbook is given up.
    Discard();
    throw;
  }
}

void ReportWorkbook::Write(std::string_view recap, std::string_view commandCode,
                           std::string_view reportText, std::string_view title) {
  const std::vector<Row> rows = SplitReport(reportText);
  // A report longer than a worksheet goes on under the same name with " (2)" and so on.
  lxw_worksheet* ws = NewSheet(recap, commandCode);
  const std::string firstSheet = sheets_.back();
  std::vector<std::size_t> widths;
  std::size_t maxCols = 0;
  lxw_row_t r = 0;
  std::string text;

  auto setWidths = [&]() {
    for (std::size_t c = 0; c < widths.size(); ++c) {
      const double w = std::min<double>(60.0, std::max<double>(8.43, widths[c] + 2.0));
      worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), w, nullptr);
    }
    widths.clear();
  };

  for (std::size_t i = 0; i < rows.size(); ++i, ++r) {
    if (r == LXW_ROW_MAX) {
      setWidths();
      ws = NewSheet(firstSheet, commandCode);
      r = 0;
    }
    const Row& row = rows[i];
    if (row.size() > LXW_COL_MAX) {
      Raise(ErrorCode::InvalidArgument, "line " + std::to_string(i + 1) + " of the report " +
                                            firstSheet + " has more columns than a worksheet");
    }
    maxCols = std::max(maxCols, row.size());
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::string_view cell = row[c];
      const CellValue v = ClassifyCell(cell);
      const auto col = static_cast<lxw_col_t>(c);
      lxw_error err = LXW_NO_ERROR;
      switch (v.kind) {
        case CellValue::Kind::Blank:
          continue;
        case CellValue::Kind::Number:
        case CellValue::Kind::Date:
          err = worksheet_write_number(ws, r, col, v.number, Format(v.format));
          break;
        case CellValue::Kind::Text:
          text = ToUtf8(cell);
          err = worksheet_write_string(ws, r, col, text.c_str(), nullptr);
          break;
      }
      if (err != LXW_NO_ERROR) {
        RaiseLxw(ErrorCode::InvalidArgument,
                 "line " + std::to_string(i + 1) + " of the report " + firstSheet, err);
      }
      // A line of one cell (a title) may run over the empty cells beside it.
      if (row.size() > 1) widths[c] = std::max(widths[c], cell.size());
    }
  }
  const bool oneSheet = rows.size() <= LXW_ROW_MAX;
  lxw_worksheet* first = oneSheet ? ws : workbook_get_worksheet_by_name(wb_, firstSheet.c_str());
  setWidths();
  AddChart(firstSheet, first, commandCode, rows, maxCols, title);
}

void ReportWorkbook::AddChart(const std::string& sheet, lxw_worksheet* ws,
                              std::string_view code, const std::vector<Row>& rows,
                              std::size_t columns, std::string_view title) {
  const std::string cmd = UCase(TrimView(code).substr(0, 2));
  const std::size_t limit = std::min<std::size_t>(rows.size(), LXW_ROW_MAX);

  std::optional<Block> block;
  std::vector<std::size_t> valueCols;  // bar (or line) series; for BE the second is the line
  std::uint8_t type = LXW_CHART_COLUMN;
  std::string defaultTitle, xName, yName, xFormat, yFormat;
  bool headingNames = true;
  bool touching = false;  // a histogram's bars touch
  bool markers = false;

  if (cmd == "BE") {
    block = FindBlock(
        rows, limit, [](const Row& r) { return Heads(r, {"Digit", "Observed", "Expected"}); },
        {1, 2});
    valueCols = {1, 2};
    defaultTitle = "Observed and expected by digit";
    xName = "Digit";
    yName = "Count";
  } else if (cmd == "ST") {
    block = FindBlock(
        rows, limit, [](const Row& r) { return Heads(r, {"Start", "End", "Count", "Amount"}); },
        {3});
    valueCols = {3};
    defaultTitle = "Amount by stratum";
    xName = "Stratum start";
    yName = "Amount";
    yFormat = "#,##0";
  } else if (cmd == "UN") {
    block = FindBlock(
        rows, limit,
        [](const Row& r) { return Heads(r, {"Bin Start", "Bin End", "Count", "Amt"}); }, {2});
    valueCols = {2};
    defaultTitle = "Histogram";
    xName = "Bin start";
    yName = "Count";
    touching = true;
  } else if (cmd == "AR") {
    block = FindBlock(
        rows, limit, [](const Row& r) { return Heads(r, {"Start", "End", "Amount"}); }, {2});
    valueCols = {2};
    // The band starts are dates, so the axis is a time axis and bands sit at their dates;
    // columns there would be one day wide, so the amounts are a line with a marker per band.
    type = LXW_CHART_LINE;
    markers = true;
    defaultTitle = "Amount by age band";
    xName = "Band start";
    yName = "Amount";
    xFormat = "m/d/yyyy";
    yFormat = "#,##0";
  } else if (cmd == "WD") {
    block = FindBlock(
        rows, limit, [](const Row& r) { return Cell(r, 0).starts_with("Weekday analysis"); },
        {1});
    valueCols = {1};
    headingNames = false;
    defaultTitle = "Items by weekday";
    xName = "Weekday";
    yName = "Count";
  } else if (cmd == "RN") {
    block = FindBlock(
        rows, limit, [](const Row& r) { return Heads(r, {"Digits", "Count", "Pct"}); }, {1});
    valueCols = {1};
    defaultTitle = "Amounts by trailing zeros";
    xName = "Trailing zeros";
    yName = "Count";
  } else if (cmd == "KS") {
    for (std::size_t h = 0; h < limit && !block; ++h) {
      const auto cols = ShareColumns(rows[h]);
      if (!cols) continue;
      block = FindBlock(rows, limit, [&](const Row& r) { return &r == &rows[h]; },
                        {cols->first, cols->second});
      valueCols = {cols->first, cols->second};
    }
    type = LXW_CHART_LINE;
    defaultTitle = "Cumulative shares by account";
    xName = "Account";
    yName = "Cumulative share";
    yFormat = "0%";
  } else {
    return;
  }
  if (!block) return;

  const auto first = static_cast<lxw_row_t>(block->first);
  const auto last = static_cast<lxw_row_t>(block->last);
  const auto heading = static_cast<lxw_row_t>(block->heading);
  lxw_chart* chart = workbook_add_chart(wb_, type);
  auto addSeries = [&](lxw_chart* target, std::size_t col) {
    lxw_chart_series* s = chart_add_series(target, nullptr, nullptr);
    chart_series_set_categories(s, sheet.c_str(), first, 0, last, 0);
    chart_series_set_values(s, sheet.c_str(), first, static_cast<lxw_col_t>(col), last,
                            static_cast<lxw_col_t>(col));
    if (markers) chart_series_set_marker_type(s, LXW_CHART_MARKER_CIRCLE);
    if (headingNames) {
      chart_series_set_name_range(s, sheet.c_str(), heading, static_cast<lxw_col_t>(col));
    } else {
      chart_series_set_name(s, yName.c_str());
    }
    return s;
  };

  if (cmd == "BE") {
    addSeries(chart, valueCols[0]);
    auto c = std::make_unique<CombinedChart>();
    c->columns = chart;
    c->line = lxw_chart_new(LXW_CHART_LINE);
    if (c->line == nullptr) Raise(ErrorCode::OutOfMemory, "cannot add a chart");
    c->line->series_index = 1;  // series numbers are unique across the plot area
    addSeries(c->line, valueCols[1]);
    c->writeColumns = chart->write_chart_type;
    chart->write_chart_type = &WriteColumnsAndLine;
    {
      std::lock_guard<std::mutex> lock(gCombinedMutex);
      gCombined.push_back(c.get());
    }
    combined_.push_back(std::move(c));
  } else {
    for (std::size_t col : valueCols) addSeries(chart, col);
  }

  const std::string name = title.empty() ? defaultTitle : ToUtf8(title);
  chart_title_set_name(chart, name.c_str());
  chart_axis_set_name(chart->x_axis, xName.c_str());
  chart_axis_set_name(chart->y_axis, yName.c_str());
  if (!xFormat.empty()) chart_axis_set_num_format(chart->x_axis, xFormat.c_str());
  if (!yFormat.empty()) chart_axis_set_num_format(chart->y_axis, yFormat.c_str());
  if (touching) chart_set_series_gap(chart, 0);
  chart_legend_set_position(chart, valueCols.size() > 1 ? LXW_CHART_LEGEND_BOTTOM
                                                        : LXW_CHART_LEGEND_NONE);
  const lxw_error err =
      worksheet_insert_chart(ws, heading, static_cast<lxw_col_t>(columns + 1), chart);
  if (err != LXW_NO_ERROR) RaiseLxw(ErrorCode::InvalidArgument, "cannot place the chart", err);
}

void ReportWorkbook::Close() {
  if (closed_) return;
  if (wb_ == nullptr) {
    Raise(ErrorCode::InvalidArgument, "the workbook " + path_ + " has failed and is not written");
  }
  lxw_workbook* wb = wb_;
  wb_ = nullptr;  // workbook_close frees it, whatever the outcome
  const lxw_error err = workbook_close(wb);
  for (auto& c : combined_) {
    Unregister(c.get());
    lxw_chart_free(c->line);
  }
  combined_.clear();
  formats_.clear();
  if (err != LXW_NO_ERROR) {
    DeleteFile(temp_);
    temp_.clear();
    RaiseLxw(ErrorCode::FileAccess, "cannot write the workbook " + path_, err);
  }
  try {
    RenameFile(temp_, path_);
  } catch (...) {
    DeleteFile(temp_);
    temp_.clear();
    throw;
  }
  closed_ = true;
}

}  // namespace tarnwick::cli
