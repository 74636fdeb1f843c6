#include "tarnwick/data/column_spec.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/platform/file_system.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick {

namespace {

constexpr std::string_view kNone = "(None)";

// Split at every TAB; an empty line has no fields.
void SplitTabs(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  if (line.empty()) return;
  std::size_t from = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', from);
    if (tab == std::string_view::npos) {
      out.push_back(line.substr(from));
      return;
    }
    out.push_back(line.substr(from, tab - from));
    from = tab + 1;
  }
}

enum class DateForm { None, Plain, Separated, Six, Eight };

DateForm FormOf(std::string_view code) {
  if (code == "D") return DateForm::Plain;
  if (code == "MDY" || code == "YMD" || code == "YDM" || code == "DMY") return DateForm::Separated;
  if (code == "MDY6" || code == "MYD6" || code == "DMY6" || code == "DYM6" || code == "YMD6" ||
      code == "YDM6")
    return DateForm::Six;
  if (code == "MDY8" || code == "DMY8" || code == "YMD8" || code == "YDM8") return DateForm::Eight;
  return DateForm::None;
}

// Date codes a specification may name (the separated forms other than MDY are not among them),
// with the smallest field size each accepts; 0 for A and N, -1 for an unknown code.
int SmallestSize(std::string_view code) {
  if (code == "A" || code == "N") return 0;
  if (code == "D" || code == "MDY") return 5;
  switch (FormOf(code)) {
    case DateForm::Six: return 6;
    case DateForm::Eight: return 8;
    default: return -1;
  }
}

// A group of a six- or eight-character date: numeric text whose value fits a Long.
bool GroupValue(std::string_view text, std::int32_t& out) {
  const auto v = ParseNumber(text);
  if (!v || !std::isfinite(*v)) return false;
  const double r = RoundHalfEven(*v);
  if (r < -2147483648.0 || r > 2147483647.0) return false;
  out = static_cast<std::int32_t>(r);
  return true;
}

std::int32_t NumberToLong(std::string_view text) { return ToLong(*ParseNumber(text)); }

}  // namespace

std::string_view FieldAt(std::string_view line, std::int32_t start, std::int32_t size) {
  if (start < 1 || size < 1) return {};
  const std::size_t from = static_cast<std::size_t>(start) - 1;
  if (from >= line.size()) return {};
  return line.substr(from, static_cast<std::size_t>(size));
}

std::int32_t LongArg(const Variant& v) { return ToLong(v.ToDouble()); }

void FixedWidthSpec::Reset() {
  skipRows_ = 0;
  maxObs_ = 0;
  maxErrors_ = 20;
  rows_ = totalErrors_ = numErrors_ = dateErrors_ = 0;
  for (ColumnSpec& c : columns_) {
    c.total = Currency{};
    c.count = 0;
  }
  log_.clear();
  lineStatus_.clear();
  specValid_ = false;
  inputExists_ = false;
}

void FixedWidthSpec::SkipRows(const Variant& v) { skipRows_ = LongArg(v); }
void FixedWidthSpec::MaxObs(const Variant& v) { maxObs_ = LongArg(v); }
void FixedWidthSpec::MaxErrors(const Variant& v) { maxErrors_ = LongArg(v); }

void FixedWidthSpec::AppendLog(std::string_view text) {
  log_.append(text);
  log_.append(kCrLf);
}

std::string FixedWidthSpec::ValidateLine(std::string_view line, std::int32_t* start,
                                         std::int32_t* size) {
  std::vector<std::string_view> f;
  SplitTabs(line, f);
  if (f.size() < 4)
    return "Missing " + NumText(static_cast<std::int32_t>(4 - f.size())) + " columns";
  if (f[0].empty()) return "missing column name ";
  if (!IsNumericText(f[1])) return "non numeric starting position " + std::string(f[1]);
  const std::int32_t st = NumberToLong(f[1]);
  if (st <= 0) return "start must be positive integer " + std::string(f[1]);
  if (!IsNumericText(f[2])) return "non numeric size " + std::string(f[2]);
  const std::int32_t sz = NumberToLong(f[2]);
  if (sz < 1) return "size must be positive integer " + std::string(f[2]);
  const std::string code = UCase(TrimView(f[3]));
  const int smallest = SmallestSize(code);
  if (smallest < 0) return code + " is not a valid format specification";
  if (sz < smallest) return "Width for date too small";
  if (start != nullptr) *start = st;
  if (size != nullptr) *size = sz;
  return std::string(kNone);
}

void FixedWidthSpec::Load(const std::string& specFile) {
  specFile_ = specFile;
  specValid_ = FileExists(specFile);
  if (!specValid_) {
    AppendLog("File not found: " + specFile);
    return;
  }
  // First pass: validate every line, so that the status tells of the last line examined.
  std::int32_t n = 0;
  std::int32_t largest = 0;
  {
    TextReader in = OpenTextFile(specFile);
    if (!in.AtEndOfStream()) in.ReadLineView();  // caption
    while (!in.AtEndOfStream()) {
      std::int32_t start = 0;
      lineStatus_ = ValidateLine(in.ReadLineView(), &start);
      if (lineStatus_ == kNone) {
        n = AddChecked(n, 1);
        largest = std::max(largest, start);
      } else {
        specValid_ = false;
      }
    }
    in.Close();
  }
  if (!specValid_) return;  // an earlier load's columns stay, but nothing will run

  // Second pass: fill the columns.
  std::vector<ColumnSpec> cols;
  cols.reserve(static_cast<std::size_t>(n));
  TextReader in = OpenTextFile(specFile);
  if (!in.AtEndOfStream()) in.ReadLineView();
  std::vector<std::string_view> f;
  while (!in.AtEndOfStream()) {
    const std::string_view line = in.ReadLineView();
    ColumnSpec c;
    ValidateLine(line, &c.start, &c.size);
    SplitTabs(line, f);
    c.name.assign(f[0]);
    c.typeText.assign(f[3]);
    // "A", "N" and "D" are compared exactly: a lower-case "n" validates but loads as text.
    if (c.typeText == "N")
      c.kind = 1;
    else if (c.typeText == "D")
      c.kind = 2;
    else if (const std::string up = UCase(c.typeText); up != "D" && SmallestSize(up) >= 5)
      c.kind = 2;
    cols.push_back(std::move(c));
  }
  in.Close();
  columns_ = std::move(cols);
  maxStart_ = largest;
  loadedFrom_ = specFile;
}

std::string FixedWidthSpec::Listing() const {
  std::string s = "ColSpecs: ";
  s += kCrLf;
  for (const ColumnSpec& c : columns_) {
    s += "Name: " + c.name + "\tStart: " + NumText(c.start) + "\tLength: " + NumText(c.size) +
         "\tType: " + c.typeText + "\tColt: " + NumText(static_cast<std::int32_t>(c.kind));
    s += kCrLf;
  }
  return s;
}

const std::string& FixedWidthSpec::ConvertDate(std::string_view value, std::string_view typeText) {
  char buf[8];
  const std::size_t len = std::min<std::size_t>(typeText.size(), sizeof buf);
  for (std::size_t i = 0; i < len; ++i) buf[i] = UpperChar(typeText[i]);
  const std::string_view code =
      typeText.size() <= sizeof buf ? std::string_view(buf, len) : std::string_view();
  const DateForm form = FormOf(code);
  switch (form) {
    case DateForm::None: return converted_;
    case DateForm::Plain: converted_.assign(value); return converted_;
    case DateForm::Separated: {
      // Digits accumulate; "/", "-" or "." ends a group; anything else is ignored. Only four
      // groups are held; the accumulator is capped so that a run of digits cannot overflow.
      std::int32_t groups[4] = {0, 0, 0, 0};
      int held = 0;
      int separators = 0;
      std::int32_t acc = 0;
      for (char ch : value) {
        if (ch >= '0' && ch <= '9') {
          acc = acc >= 100000000 ? acc : acc * 10 + (ch - '0');
        } else if (ch == '/' || ch == '-' || ch == '.') {
          if (held < 4) groups[held++] = acc;
          ++separators;
          acc = 0;
        }
      }
      if (held < 4) groups[held] = acc;
      parts_[0] = groups[0];
      parts_[1] = groups[1];
      parts_[2] = groups[2];
      partsValid_ = separators == 2;
      break;
    }
    case DateForm::Six:
    case DateForm::Eight: {
      const bool six = form == DateForm::Six;
      const bool yearFirst = code == "YMD8" || code == "YDM8";
      const std::size_t w0 = six ? 2 : (yearFirst ? 4 : 2);
      const std::size_t w1 = 2;
      const std::size_t want = six ? 6 : 8;
      partsValid_ = value.size() == want && GroupValue(value.substr(0, w0), parts_[0]) &&
                    GroupValue(value.substr(w0, w1), parts_[1]) &&
                    GroupValue(value.substr(w0 + w1), parts_[2]);
      if (!partsValid_) {
        converted_.clear();
        return converted_;
      }
      break;
    }
  }
  std::int32_t month = 0, day = 0, year = 0;
  for (std::size_t i = 0; i < 3 && i < code.size(); ++i) {
    if (code[i] == 'M') month = parts_[i];
    if (code[i] == 'D') day = parts_[i];
    if (code[i] == 'Y') year = parts_[i];
  }
  converted_ = FormatNumber(month, "00");
  converted_ += '/';
  AppendNumber(converted_, static_cast<double>(day), "00");
  converted_ += '/';
  AppendNumber(converted_, static_cast<double>(year), "00");
  return converted_;
}

void FixedWidthSpec::CheckField(const ColumnSpec& col, std::string_view text) {
  if (col.kind == 1) {
    if (IsNumericText(text)) return;
    numErrors_ = AddChecked(numErrors_, 1);
    totalErrors_ = AddChecked(totalErrors_, 1);
    if (totalErrors_ < 10) {
      log_ += "At row  " + NumText(rows_) + " : ";
      log_.append(text);
      log_ += " is non-numeric Col: \t" + col.name;
      log_ += kCrLf;
    }
  } else if (col.kind == 2) {
    const std::size_t blank = text.find(' ');
    if (blank != std::string_view::npos) text = text.substr(0, blank + 1);
    const std::string& conv = ConvertDate(text, col.typeText);
    if (IsDateText(conv)) return;
    dateErrors_ = AddChecked(dateErrors_, 1);
    totalErrors_ = AddChecked(totalErrors_, 1);
    if (totalErrors_ < 10) {
      log_ += "At row: " + NumText(rows_) + " ";
      log_.append(text);
      log_ += "Col: \t" + col.name + "\t is not a date  converted: " + conv;
      log_ += kCrLf;
    }
  }
}

void FixedWidthSpec::Process(bool notifyOnNoOutput) {
  if (!inputExists_ || !specValid_) return;
  TextReader in = OpenTextFile(inFile_);
  TextWriter out;
  // Writing over the input would truncate it before it is read: treat as not creatable.
  const bool overInput = FileExists(outFile_) && SameFile(inFile_, outFile_);
  if (!overInput) {
    try {
      out = CreateTextFile(outFile_);
    } catch (const EngineError&) {
      // reported below like any other output that cannot be created
    }
  }
  if (!out.IsOpen()) {
    AppendLog("Can't create file: " + outFile_);
    if (notifyOnNoOutput) Notify(log_);
    return;
  }
  try {
    std::string buf;
    for (const ColumnSpec& c : columns_) {
      buf += c.name;
      buf += '\t';
    }
    out.WriteLine(buf);
    for (std::int32_t k = 0; k < skipRows_ && !in.AtEndOfStream(); ++k) in.ReadLineView();
    while (!in.AtEndOfStream()) {
      const std::string_view line = in.ReadLineView();
      if (line.size() < static_cast<std::size_t>(maxStart_))
        continue;  // neither counted nor checked
      rows_ = AddChecked(rows_, 1);
      for (const ColumnSpec& c : columns_) {
        const std::string_view text = TrimView(FieldAt(line, c.start, c.size));
        if (!text.empty()) CheckField(c, text);
      }
      buf.clear();
      for (const ColumnSpec& c : columns_) {
        buf.append(FieldAt(line, c.start, c.size));
        buf += '\t';
      }
      if (maxObs_ != 0 && rows_ > maxObs_) {
        --rows_;
        break;
      }
      out.WriteLine(buf);
      for (ColumnSpec& c : columns_) {
        const std::string_view raw = FieldAt(line, c.start, c.size);
        if (c.kind == 0) {
          if (!raw.empty()) c.count = AddChecked(c.count, 1);
        } else if (c.kind == 1) {
          if (const auto v = ParseNumber(raw)) {
            c.total += Currency::FromDouble(*v);
            c.count = AddChecked(c.count, 1);
          }
        } else if (IsDateText(raw)) {
          c.count = AddChecked(c.count, 1);
        }
      }
      if (totalErrors_ >= maxErrors_) break;
    }
    out.Close();
  } catch (...) {
    // A run that failed leaves no half-written output behind.
    out = TextWriter{};
    DeleteFile(outFile_);
    throw;
  }
  in.Close();
}

std::string FixedWidthSpec::Report() const {
  constexpr std::string_view kCount = "###,###,##0";
  std::string r;
  // One report line: label, then an optional TAB-separated tail of texts.
  auto line = [&r](std::string_view label, std::initializer_list<std::string_view> tail = {}) {
    r.append(label);
    for (std::string_view t : tail) {
      r += '\t';
      r.append(t);
    }
    r.append(kCrLf);
  };
  auto number = [&](std::string_view label, std::int32_t v) {
    line(label, {FormatNumber(v, kCount)});
  };
  line("");
  line("Process Report: ");
  line("Data Source:", {inFile_});
  line("File Spec:", {specFile_});
  line("Output:", {outFile_});
  number("Skip Rows:", skipRows_);
  number("Max Obs:", maxObs_);
  number("Max Allowed Errors:", maxErrors_);
  number("Rows processed:", rows_);
  number("Data conversion errors - numeric: ", numErrors_);
  number("Data conversion errors - date: ", dateErrors_);
  for (const ColumnSpec& c : columns_) {
    if (c.kind == 1) line("Totals for ", {c.name, FormatNumber(c.total, "###,###,###,###.00")});
    if (c.count != rows_) line("Counts for ", {c.name, FormatNumber(c.count, kCount)});
  }
  r += log_;
  r += kCrLf;
  return r;
}

}  // namespace tarnwick
