#include "sources.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#include "tarnwick/core/text.h"

namespace tarnwick::cli {

int RowSource::Column(std::string_view name) const {
  const std::string want = UCase(Trim(std::string(name)));
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (UCase(names_[i]) == want) return static_cast<int>(i);
  }
  return -1;
}

std::string RowSource::HeaderLine() const {
  std::string s;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (i) s += '\t';
    s += names_[i];
  }
  return s;
}

std::string_view RowSource::RowLine() {
  joined_.clear();
  for (std::size_t i = 0; i < count_; ++i) {
    if (i) joined_ += '\t';
    joined_.append(values_[i]);
  }
  return joined_;
}

FileSource::FileSource(const std::string& path, const std::string& filespec) {
  where_ = "file: " + path;
  if (!filespec.empty()) {
    reader_.FileSpec(Variant(filespec));
    if (!reader_.SpecValid()) throw FileError{"Filespec: " + filespec + ": " + reader_.Error()};
  }
  reader_.FileName(Variant(path));
  if (reader_.ErrStatus()) throw FileError{reader_.ErrMsg() + " (" + where_ + ")"};
  for (std::int16_t i = 0; i < reader_.NumCols(); ++i) names_.push_back(reader_.HdrCols(i));
  // The reader keeps a value slot per column (and one more) for the life of the file.
  tab_ = Layout() == "T";
  values_ = reader_.RowValues().data();
  count_ = names_.size();
}

void FileSource::NeedColumns(int n) {
  // Only a tab-delimited line is its own RowLine; the others are rebuilt from every field.
  if (!tab_ || n < 0 || static_cast<std::size_t>(n) >= count_) return;
  keep_ = n > 0 ? n : 1;
  reader_.LimitColumns(static_cast<std::int16_t>(keep_));
}

bool FileSource::ReadInParallel(int threads, FilterSetup filter, std::vector<int> numbers,
                                std::vector<int> dates, DateOrder order) {
  const std::string& layout = Layout();
  if (threads < 2 || rowNo_ != 0 || (layout != "T" && layout != "C")) return false;
  BlockReader::Layout l;
  l.comma = layout == "C";
  l.columns = count_;
  l.keep = keep_ > 0 ? static_cast<std::size_t>(keep_) : count_;
  l.numbers = std::move(numbers);
  l.dates = std::move(dates);
  l.order = order;
  filtered_ = static_cast<bool>(filter);
  parallel_ = std::make_unique<BlockReader>(reader_.FileName(), l, threads, std::move(filter),
                                            BlockReader::DefaultBlockBytes());
  // The blocks hold the kept columns only; the others read as "" through Field.
  count_ = l.keep;
  return true;
}

std::int64_t FileSource::Bytes() const {
  std::error_code ec;
  const auto n = std::filesystem::file_size(reader_.FileName(), ec);
  return ec ? 0 : static_cast<std::int64_t>(n);
}

double FileSource::Done() const {
  if (!parallel_) return reader_.Done();  // one thread: the typed reader knows its place
  if (parallel_->Size() <= 0) return -1.0;
  return static_cast<double>(parallel_->BytesDone()) / static_cast<double>(parallel_->Size());
}

bool FileSource::Next() {
  if (parallel_) {
    if (!parallel_->Next(where_)) return false;
    values_ = parallel_->Values();
    ++rowNo_;
    return true;
  }
  if (reader_.Eof()) return false;
  reader_.NextRow();
  if (reader_.ErrStatus()) throw FileError{reader_.ErrMsg() + " (" + where_ + ")"};
  ++rowNo_;
  return true;
}

std::string_view FileSource::RowLine() {
  if (tab_) return parallel_ ? parallel_->Line() : reader_.RowView();
  return RowSource::RowLine();
}

DbSource::DbSource(const std::string& conn, const std::string& sql) {
  where_ = "query: " + sql;
  // Read-only: a query cannot change the auditee's database, and a missing file is an error
  // rather than a new empty database.
  if (sqlite3_open_v2(conn.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    DbError e{"Database: " + conn + ": " + (db_ ? sqlite3_errmsg(db_) : "cannot open")};
    sqlite3_close(db_);
    db_ = nullptr;
    throw e;
  }
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK || !stmt_) {
    DbError e{"Database: " +
              std::string(stmt_ ? sqlite3_errmsg(db_)
                                : (sql.empty() ? "empty query" : sqlite3_errmsg(db_)))};
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
    throw e;
  }
  const int n = sqlite3_column_count(stmt_);
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt_, i);
    names_.emplace_back(name ? name : "");
  }
  texts_.resize(n);
  views_.resize(n);
  values_ = views_.data();
  count_ = views_.size();
}

DbSource::~DbSource() {
  sqlite3_finalize(stmt_);
  sqlite3_close(db_);
}

bool DbSource::Next() {
  if (!stmt_) return false;
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_DONE) return false;
  if (rc != SQLITE_ROW) throw DbError{"Database: " + std::string(sqlite3_errmsg(db_))};
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    const auto* text = sqlite3_column_text(stmt_, static_cast<int>(i));
    const int len = sqlite3_column_bytes(stmt_, static_cast<int>(i));
    if (text) {
      texts_[i].assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(len));
    } else {
      texts_[i].clear();
    }
    views_[i] = texts_[i];
  }
  ++rowNo_;
  return true;
}

}  // namespace tarnwick::cli
