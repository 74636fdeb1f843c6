#include "tarnwick/data/typed_reader.h"

#include <algorithm>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/internal/field_split.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/data/internal/row_filter.h"

namespace tarnwick {

namespace {

const std::string kEmpty;

std::size_t Clamp(std::int16_t i, std::size_t hi) {
  return i < 0 ? 0 : std::min(static_cast<std::size_t>(i), hi);
}

}  // namespace

cNFile::cNFile() : comma_(std::make_unique<CommaRecord>()) { inita(); }

const std::string& cNFile::FileType() const {
  static const std::string kT = "T", kC = "C", kF = "F";
  switch (type_) {
    case 'T': return kT;
    case 'C': return kC;
    case 'F': return kF;
    default: return kEmpty;
  }
}

cNFile::~cNFile() { CloseFile(); }

std::string_view cNFile::QuotedValues() const {
  return type_ == 'C' && comma_->Quoted() ? comma_->Text() : std::string_view();
}

void cNFile::SetError(std::string msg) {
  errMsg_ = std::move(msg);
  errStatus_ = true;
}

std::string cNFile::SpecError() const {
  std::string s = spec_.Log();
  s += kCrLf;
  s += spec_.LineStatus();
  return s;
}

void cNFile::FileSpec(const Variant& v) {
  const std::string name = v.ToText();
  if (name.empty()) return;
  specFile_ = name;
  if (FileExists(name)) type_ = 'F';
  spec_.Load(name);
}

void cNFile::FileName(const Variant& v) {
  const std::string name = v.ToText();
  if (open_) {
    // Reading on would take the old file's next line as the new file's header.
    reader_.Close();
    open_ = false;
    eof_ = false;
    rows_ = 0;
    if (type_ != 'F') type_ = 0;
  }
  fileName_ = name;
  spec_.InputFile(name);
  Headers();
  spec_.InputExists(FileExists(name));
}

bool cNFile::OpenFile() {
  if (open_) return true;
  try {
    reader_ = OpenTextFile(fileName_);
  } catch (const EngineError&) {
    SetError("Unable to open " + fileName_);
    eof_ = true;
    return false;
  }
  open_ = true;
  eof_ = false;
  return true;
}

bool cNFile::CloseFile() {
  reader_.Close();
  open_ = false;
  eof_ = true;
  return true;
}

void cNFile::SizeColumns() {
  const std::size_t n = static_cast<std::size_t>(numCols_) + 1;
  names_.assign(n, std::string());
  values_.assign(n, std::string_view());
  types_.assign(n, 'A');
}

bool cNFile::ReadOnQuoted(std::string& record) {
  // The record holds a quoted line break: it goes on over the following lines, kept with
  // "\n" between them. A quote never closed would take the rest of the file as one field;
  // the file's end, or a record beyond the largest a spreadsheet writes, stops it with an error.
  for (;;) {
    if (reader_.AtEndOfStream()) {
      comma_->Finish();
      SetError("Line " + NumText(recordLine_) + " has a quoted field that is not closed");
      return false;
    }
    const std::string_view next = reader_.ReadLineView();
    record += '\n';
    record.append(next);
    if (comma_->Continue(next)) return true;
    if (record.size() > kMaxQuotedRecord) {
      comma_->Finish();
      SetError("Line " + NumText(recordLine_) + " has a quoted field that is not closed");
      return false;
    }
  }
}

void cNFile::SplitPrn(std::string_view line) {
  const auto& cols = spec_.Columns();
  const std::int64_t len = static_cast<std::int64_t>(line.size());
  const std::size_t n = std::min(static_cast<std::size_t>(numCols_), values_.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (i >= cols.size()) {
      values_[i] = {};
      continue;
    }
    const std::int64_t start = cols[i].start, size = cols[i].size;
    if (len < start + size) {
      // A field reaching the end of the line is taken from the right, untrimmed.
      values_[i] = len <= size ? line : line.substr(static_cast<std::size_t>(len - size));
    } else {
      values_[i] = TrimView(
          line.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(size)));
    }
  }
}

void cNFile::LimitColumns(std::int16_t n) {
  limit_ = n < 0 ? 0 : n;
  if (limit_ > 0) {
    for (std::size_t k = static_cast<std::size_t>(limit_); k < values_.size(); ++k) values_[k] = {};
  }
}

void cNFile::FillValues(std::string_view line) {
  const std::size_t n = static_cast<std::size_t>(numCols_);
  if (type_ == 'F') {
    SplitPrn(line);
    return;
  }
  if (type_ == 'T') {
    if (limit_ > 0 && static_cast<std::size_t>(limit_) < n) {
      // straight into the first columns; the others were cleared by LimitColumns
      const std::size_t want = static_cast<std::size_t>(limit_);
      for (std::size_t k = SplitTabInto(line, values_.data(), want); k < want; ++k) values_[k] = {};
      return;
    }
    SplitTabViews(line, tabFields_);
    const std::size_t got = std::min(tabFields_.size(), n);
    for (std::size_t k = 0; k < got; ++k) values_[k] = tabFields_[k];
    for (std::size_t k = got; k < n; ++k) values_[k] = {};
    return;
  }
  if (type_ != 'C') return;
  // split as the line was read (NextRow)
  if (comma_->Total() > kMaxCommaFields)
    SetError("Line " + NumText(recordLine_) + " has more than 101 fields");
  const std::size_t kept = comma_->Spans().size();
  for (std::size_t k = 0; k < n; ++k)
    values_[k] = k < kept ? comma_->Field(k, line) : std::string_view();
}

void cNFile::NextRow() {
  if (eof_) return;
  if (!open_) Raise(ErrorCode::FileAccess, "no file is open: " + fileName_);
  row_ = reader_.ReadLineView();
  recordLine_ = reader_.Line();
  lineCopied_ = false;
  if (type_ == 'C' && !comma_->Start(row_, kMaxCommaFields)) {
    record_.assign(row_);
    ReadOnQuoted(record_);
    row_ = record_;
  } else if (!reader_.HasBuffered()) {
    // the end-of-stream test below reads the next block over this line: keep a copy
    line_.assign(row_);
    row_ = line_;
    lineCopied_ = true;
  }
  rowRebuilt_ = false;
  tabFieldsOfLine_ = false;
  if (reader_.AtEndOfStream()) eof_ = true;
  FillValues(row_);
  // the filter may read any column: only a whole split will do for it
  tabFieldsOfLine_ = type_ == 'T' && (limit_ == 0 || limit_ >= numCols_);
  rows_ = AddChecked(rows_, 1);
}

const std::string& cNFile::GetRow() {
  if (eof_) return kEmpty;
  NextRow();
  return ThisRow();
}

const std::string& cNFile::ThisRow() const {
  if (rowRebuilt_) return rebuiltRow_;
  if (!lineCopied_) {
    line_.assign(row_);
    lineCopied_ = true;
  }
  return line_;
}

void cNFile::GuessTypes() {
  const std::size_t n = static_cast<std::size_t>(numCols_);
  std::vector<int> other(n), number(n), date(n);
  for (int r = 0; r < 21 && !eof_; ++r) {
    GetRow();
    for (std::size_t k = 0; k < n; ++k) {
      const bool d = IsDateText(values_[k]);
      const bool x = IsNumericText(values_[k]);
      date[k] += d;
      number[k] += x;
      other[k] += !d && !x;
    }
  }
  for (std::size_t k = 0; k < n; ++k) {
    int best = other[k];
    types_[k] = 'A';
    if (best < number[k]) {
      types_[k] = 'N';
      best = number[k];
    }
    if (best < date[k]) types_[k] = 'D';
  }
  // Back to the first data line: reopen and read past the header again.
  CloseFile();
  OpenFile();
  GetRow();
  rows_ = 0;
}

std::string cNFile::Headers() {
  OpenFile();
  if (errStatus_) return "";
  header_.clear();
  hdr_.clear();
  filterChanged_ = true;
  hdrJoined_ = false;
  if (reader_.AtEndOfStream()) {  // an empty file has not even a header
    SetError("File has insufficient data");
    return "";
  }
  reader_.ReadLine(header_);
  recordLine_ = reader_.Line();
  bool unclosed = false;
  if (reader_.AtEndOfStream()) {
    header_.clear();
    SetError("File has insufficient data");
    return "";
  }
  std::vector<FieldSpan> spans;  // the header split at every TAB
  if (type_ == 0) {
    SplitTabSpans(header_, spans);
    const std::size_t t = spans.size();
    // A header without a comma names its columns between TABs, one column when it has none.
    const bool comma = header_.find(',') != std::string::npos;
    const bool open = comma && !comma_->Start(header_, kMaxCommaFields);
    const std::size_t total = comma ? comma_->Total() : 0;
    const std::size_t w = std::min(total, kMaxCommaFields);
    if (!comma || w < t) {
      type_ = 'T';
      if (t > 32767) Raise(ErrorCode::Overflow, "more than 32767 columns");
      numCols_ = static_cast<std::int16_t>(t);
    } else {
      type_ = 'C';
      if (open && !ReadOnQuoted(header_)) unclosed = true;
      const std::size_t all = comma_->Total();
      numCols_ = static_cast<std::int16_t>(std::min(all, kMaxCommaFields));
      if (all > kMaxCommaFields) SetError("Line 1 has more than 101 fields");
    }
    SizeColumns();
  } else if (type_ == 'T') {
    SplitTabSpans(header_, spans);
  } else if (type_ == 'C') {
    if (!comma_->Start(header_, kMaxCommaFields) && !ReadOnQuoted(header_)) unclosed = true;
  }
  if (unclosed || reader_.AtEndOfStream()) {  // a quoted header name ran on to the end
    header_.clear();
    if (!unclosed) SetError("File has insufficient data");
    return "";
  }
  if (type_ == 'F') {
    HandlePrn();
    if (errStatus_) return "";
    // Reading by a column specification that did not load would cut the lines at stale positions.
    if (spec_.LoadedFrom() != specFile_ ||
        spec_.Columns().size() != static_cast<std::size_t>(numCols_)) {
      SetError("Invalid specification " + specFile_);
      return "";
    }
    SizeColumns();
    ParsePrn(header_, "H");
  } else {
    const std::size_t n = static_cast<std::size_t>(numCols_);
    if (type_ == 'C') {
      const std::size_t kept = comma_->Spans().size();
      for (std::size_t k = 0; k < n; ++k)
        names_[k] = k < kept ? std::string(comma_->Field(k, header_)) : std::string();
    } else {
      for (std::size_t k = 0; k < n; ++k)
        names_[k] = k < spans.size() ? std::string(spans[k].in(header_)) : std::string();
    }
    GuessTypes();
  }
  hdr_ = header_;
  return header_;
}

void cNFile::HandlePrn() {
  std::int32_t count = 0;
  {
    TextReader in = OpenTextFile(specFile_);
    if (!in.AtEndOfStream()) in.ReadLineView();
    while (!in.AtEndOfStream()) {
      in.ReadLineView();
      count = AddChecked(count, 1);
    }
  }
  numCols_ = Narrow<std::int16_t>(count);
  prn_.assign(static_cast<std::size_t>(count), PrnColumn{});
  TextReader in = OpenTextFile(specFile_);
  if (!in.AtEndOfStream()) in.ReadLineView();
  errStatus_ = false;
  std::vector<FieldSpan> f;
  for (std::size_t j = 0; j < prn_.size() && !in.AtEndOfStream(); ++j) {
    const std::string_view line = in.ReadLineView();
    SplitTabSpans(line, f);
    PrnColumn& c = prn_[j];
    if (!f.empty()) c.name.assign(f[0].in(line));
    if (f.size() > 1) {
      const auto v = ParseNumber(f[1].in(line));
      if (!v)
        return SetError("Row " + NumText(static_cast<std::int64_t>(j) + 1) + " invalid start ");
      c.start = ToInteger(*v);
    }
    if (f.size() > 2) {
      const auto v = ParseNumber(f[2].in(line));
      if (!v)
        return SetError("Row " + NumText(static_cast<std::int64_t>(j) + 1) + " invalid length ");
      c.length = ToInteger(*v);
    }
    if (f.size() > 3) c.type.assign(f[3].in(line));
  }
}

void cNFile::ParsePrn(const std::string& sBuffer, const std::string& sType) {
  if (sType == "H") {
    const std::size_t n =
        std::min({static_cast<std::size_t>(numCols_), names_.size(), prn_.size()});
    for (std::size_t i = 0; i < n; ++i) names_[i] = prn_[i].name;
  } else if (sType == "D") {
    prnLine_ = sBuffer;
    SplitPrn(prnLine_);
  }
}

std::string cNFile::ctype(std::int16_t i) const {
  if (numCols_ <= 0 || type_ == 0) return "A";
  const std::size_t k = Clamp(i, static_cast<std::size_t>(numCols_) - 1);
  if (type_ == 'F') {
    const auto& cols = spec_.Columns();
    if (k >= cols.size()) return "A";
    return cols[k].kind == 1 ? "N" : cols[k].kind == 2 ? "D" : "A";
  }
  return std::string(1, k < types_.size() ? types_[k] : 'A');
}

const std::string& cNFile::HdrCols(std::int16_t i) const {
  if (type_ == 0 || names_.empty()) return kEmpty;
  return names_[Clamp(i, std::min(static_cast<std::size_t>(numCols_), names_.size() - 1))];
}

std::string_view cNFile::RowCols(std::int16_t i) const {
  if (type_ == 0 || values_.empty()) return {};
  return values_[Clamp(i, std::min(static_cast<std::size_t>(numCols_), values_.size() - 1))];
}

std::string_view cNFile::getcol(std::int16_t i) const {
  if (numCols_ <= 0 || values_.empty()) return {};
  return values_[Clamp(i, std::min(static_cast<std::size_t>(numCols_) - 1, values_.size() - 1))];
}

std::int16_t cNFile::GetColNo(std::string_view s) const {
  if (type_ == 0) return -1;
  const std::size_t n = static_cast<std::size_t>(numCols_);
  for (std::size_t k = 0; k < n; ++k) {
    const std::string& name = type_ == 'F' ? (k < prn_.size() ? prn_[k].name : kEmpty)
                                           : (k < names_.size() ? names_[k] : kEmpty);
    if (EqualsNoCase(name, s)) return static_cast<std::int16_t>(k);
  }
  return -1;
}

bool cNFile::IsSelected() {
  if (infix_.empty() || infix_ == "1=1") return true;
  if (!filter_) filter_ = std::make_unique<RowFilter>();
  RowFilter::Outcome out;
  if (type_ == 'C' || type_ == 'F') {
    // The filter sees the column names and values, not the raw print or comma text.
    const std::size_t n = static_cast<std::size_t>(numCols_);
    if (!hdrJoined_) {
      hdr_.clear();
      for (std::size_t k = 0; k < n; ++k) {
        if (k > 0) hdr_ += '\t';
        hdr_ += names_[k];
      }
      hdrJoined_ = true;
    }
    rebuiltRow_.clear();
    for (std::size_t k = 0; k < n; ++k) {
      if (k > 0) rebuiltRow_ += '\t';
      rebuiltRow_.append(values_[k]);
    }
    out = filter_->Evaluate(infix_, hdr_, rebuiltRow_, ans_);
    rowRebuilt_ = out != RowFilter::Outcome::ParseError;
  } else {
    // a "T" line comes split already
    const bool same = !filterChanged_;
    filterChanged_ = false;
    out = tabFieldsOfLine_ ? filter_->Evaluate(infix_, header_, row_, tabFields_, ans_, same)
                           : filter_->Evaluate(infix_, header_, row_, ans_);
  }
  return out == RowFilter::Outcome::True;
}

std::string cNFile::RPN() {
  if (!filter_) filter_ = std::make_unique<RowFilter>();
  return filter_->RPN();
}

}  // namespace tarnwick
