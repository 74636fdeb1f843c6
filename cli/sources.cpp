#include "sources.h"

#include <sqlite3.h>

#include "tarnwick/core/text.h"

namespace tarnwick::cli {

namespace {

// Comma-separated fields: a comma inside double quotes does not split; a field wrapped in
// quotes loses them; a line ending in a comma has no empty last field.
void SplitComma(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  std::size_t start = 0;
  int quotes = 0;
  auto push = [&](std::size_t end) {
    std::string_view f = line.substr(start, end - start);
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
    out.push_back(f);
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      ++quotes;
    } else if (line[i] == ',' && quotes % 2 == 0) {
      push(i);
      start = i + 1;
      quotes = 0;
    }
  }
  if (start < line.size()) push(line.size());
}

void SplitTab(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  if (line.empty()) return;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      out.push_back(line.substr(start));
      return;
    }
    out.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

}  // namespace

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
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (i) joined_ += '\t';
    joined_.append(fields_[i]);
  }
  return joined_;
}

FileSource::FileSource(const std::string& path) {
  where_ = "file: " + path;
  reader_ = OpenTextFile(path);
  if (reader_.AtEndOfStream()) return;  // an empty file: no columns, no rows
  reader_.ReadLine(line_);
  std::vector<std::string_view> tabs, commas;
  SplitTab(line_, tabs);
  SplitComma(line_, commas);
  comma_ = !(commas.size() < tabs.size());
  for (std::string_view n : comma_ ? commas : tabs) names_.emplace_back(n);
}

void FileSource::Split(std::string_view line) {
  if (comma_) {
    SplitComma(line, fields_);
  } else {
    SplitTab(line, fields_);
  }
}

bool FileSource::Next() {
  if (!reader_.IsOpen() || reader_.AtEndOfStream()) return false;
  reader_.ReadLine(line_);
  Split(line_);
  ++rowNo_;
  return true;
}

std::string_view FileSource::RowLine() {
  if (!comma_) return line_;
  return RowSource::RowLine();
}

double FileSource::Done() const {
  if (reader_.Size() <= 0) return -1.0;
  return static_cast<double>(reader_.BytesRead()) / static_cast<double>(reader_.Size());
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
    DbError e{"Database: " + std::string(stmt_ ? sqlite3_errmsg(db_)
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
  values_.resize(n);
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
  fields_.clear();
  for (std::size_t i = 0; i < values_.size(); ++i) {
    const auto* text = sqlite3_column_text(stmt_, static_cast<int>(i));
    const int len = sqlite3_column_bytes(stmt_, static_cast<int>(i));
    if (text) {
      values_[i].assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(len));
    } else {
      values_[i].clear();
    }
    fields_.push_back(values_[i]);
  }
  ++rowNo_;
  return true;
}

}  // namespace tarnwick::cli
