#include "tarnwick/data/delimited_reader.h"

#include <algorithm>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/internal/field_split.h"
#include "tarnwick/core/text.h"
#include "tarnwick/data/internal/row_filter.h"

namespace tarnwick {

namespace {
const std::string kEmpty;
}  // namespace

cFile::cFile() = default;

cFile::~cFile() { CloseFile(); }

bool cFile::OpenFile() {
  if (open_) return true;
  try {
    reader_ = OpenTextFile(fileName_);
  } catch (const EngineError& e) {
    openError_ = e.code();
    openDetail_ = e.what();
    return false;
  }
  open_ = true;
  return true;
}

bool cFile::CloseFile() {
  if (open_) {
    reader_.Close();
    open_ = false;
  }
  return true;
}

std::string cFile::Headers() {
  // Without a stream the read fails with the reason the file could not be opened.
  if (!OpenFile()) Raise(openError_, openDetail_);
  reader_.ReadLine(header_);
  std::vector<FieldSpan> spans;
  SplitTabSpans(header_, spans);
  if (spans.size() > 32767) Raise(ErrorCode::Overflow, "more than 32767 header fields");
  headerFields_.clear();
  for (const FieldSpan& f : spans) headerFields_.emplace_back(f.in(header_));
  cols_ = static_cast<std::int16_t>(spans.size());
  haveHeader_ = true;
  filterChanged_ = true;
  return header_;
}

const std::string& cFile::GetRow() {
  if (eof_) return kEmpty;
  if (!open_) Raise(ErrorCode::FileAccess, "no file is open: " + fileName_);
  line_.assign(reader_.ReadLineView());
  haveRow_ = true;
  if (reader_.AtEndOfStream()) eof_ = true;
  SplitTabViews(line_, fields_);
  rows_ = AddChecked(rows_, 1);
  return line_;
}

const std::string& cFile::HdrCols(std::int16_t i) const {
  if (!haveHeader_ || i < 0 || headerFields_.empty())
    Raise(ErrorCode::SubscriptOutOfRange, "header field " + std::to_string(i));
  return headerFields_[std::min<std::size_t>(static_cast<std::size_t>(i),
                                             headerFields_.size() - 1)];
}

std::string_view cFile::getcol(std::int16_t i) const {
  if (!haveRow_ || i < 0) Raise(ErrorCode::SubscriptOutOfRange, "column " + std::to_string(i));
  if (fields_.empty()) return {};
  return fields_[std::min<std::size_t>(static_cast<std::size_t>(i), fields_.size() - 1)];
}

std::int16_t cFile::GetColNo(std::string_view s) const {
  if (!haveHeader_) Raise(ErrorCode::SubscriptOutOfRange, "no header has been read");
  for (std::size_t k = 0; k < headerFields_.size(); ++k)
    if (EqualsNoCase(headerFields_[k], s)) return static_cast<std::int16_t>(k);
  return -1;
}

bool cFile::IsSelected() {
  if (infix_.empty() || infix_ == "1=1") return true;
  if (!filter_) filter_ = std::make_unique<RowFilter>();
  // the line is split already (no fields before the first row, as for an empty line)
  const bool same = !filterChanged_;
  filterChanged_ = false;
  return filter_->Evaluate(infix_, header_, line_, fields_, ans_, same) == RowFilter::Outcome::True;
}

std::string cFile::RPN() {
  if (!filter_) filter_ = std::make_unique<RowFilter>();
  return filter_->RPN();
}

}  // namespace tarnwick
