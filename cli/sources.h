#pragma once
// Data sources of the runner: a header of column names and rows of text values, read one row
// at a time whatever the source (a delimited file, an SQLite query). Values are views valid
// until the next Next().

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "block_reader.h"
#include "tarnwick/data/typed_reader.h"
#include "tarnwick/platform/file_system.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tarnwick::cli {

class RowSource {
 public:
  virtual ~RowSource() = default;

  const std::vector<std::string>& Names() const { return names_; }
  // First column whose name equals `name` ignoring case; -1 when none.
  int Column(std::string_view name) const;
  // Reads the next row; false at the end.
  virtual bool Next() = 0;
  // Value of column i of the current row; "" where the row is short.
  std::string_view Field(int i) const {
    return i >= 0 && static_cast<std::size_t>(i) < count_ ? values_[i] : std::string_view();
  }
  // The header and the current row as tab-separated lines, the form the row filter reads.
  std::string HeaderLine() const;
  virtual std::string_view RowLine();
  // Only the first n columns will be asked for by Field (RowLine still gives the whole row):
  // a source may skip reading the others.
  virtual void NeedColumns(int n) { (void)n; }
  std::int64_t RowNo() const { return rowNo_; }
  // The number of the current row in the source as its owner sees it, for messages: the line
  // of a file (the header is line 1), the row of a worksheet.
  virtual std::int64_t LineNo() const { return rowNo_ + 1; }
  // Done share in 0..1 for the progress indicator, or -1 when unknown.
  virtual double Done() const { return -1.0; }
  // A source that asks the row filter itself (on its reading threads) gives the current row's
  // outcome here; the others leave the filter to the runner.
  virtual bool Prefiltered() const { return false; }
  virtual FilterOutcome Outcome() const { return FilterOutcome::kSelected; }
  // Column `col` of the current row as a number or a date when the source has read it so (on
  // its reading threads); nullptr otherwise.
  virtual const double* ReadNumber(int col) const {
    (void)col;
    return nullptr;
  }
  virtual const Date* ReadDate(int col) const {
    (void)col;
    return nullptr;
  }
  // "file: <path>", "file: <path> sheet: <name>" or "query: <sql>", for messages about this
  // source.
  const std::string& Where() const { return where_; }

 protected:
  std::vector<std::string> names_;
  // The current row's values: count_ views at values_, kept by the source.
  const std::string_view* values_ = nullptr;
  std::size_t count_ = 0;
  std::string joined_;
  std::int64_t rowNo_ = 0;
  std::string where_;
};

// A data file read by the engine's typed reader: tab-delimited or comma-separated with a
// header line (told apart from the header), or a fixed-width print file described by a
// column specification. Throws Rejected-style failures as FileError with the reader's message.
class FileSource : public RowSource {
 public:
  FileSource(const std::string& path, const std::string& filespec);
  bool Next() override;
  std::string_view RowLine() override;
  void NeedColumns(int n) override;
  // "T", "C" or "F".
  const std::string& Layout() const { return reader_.FileType(); }
  // The file's size in bytes (0 when it cannot be told).
  std::int64_t Bytes() const;
  // Reads the rows, from the first on, with `threads` worker threads (block_reader.h), each
  // asking the row filter prepared by `filter` when that is given and reading the columns
  // `numbers` as numbers and `dates` as dates in `order`. Tab-delimited and comma-separated
  // files only: false (one thread goes on) for a print file or threads < 2. Call after
  // NeedColumns and before the first Next.
  bool ReadInParallel(int threads, FilterSetup filter, std::vector<int> numbers = {},
                      std::vector<int> dates = {}, DateOrder order = DateOrder::kMdy);
  bool Prefiltered() const override { return parallel_ && filtered_; }
  FilterOutcome Outcome() const override { return parallel_->Outcome(); }
  double Done() const override;
  const double* ReadNumber(int col) const override {
    return parallel_ ? parallel_->Number(col) : nullptr;
  }
  const Date* ReadDate(int col) const override {
    return parallel_ ? parallel_->DateOf(col) : nullptr;
  }

 private:
  cNFile reader_;
  bool tab_ = false;  // a tab-delimited file: each line is its own RowLine
  int keep_ = 0;      // columns NeedColumns asked for (0: all)
  std::unique_ptr<BlockReader> parallel_;
  bool filtered_ = false;
};

struct FileError {
  std::string message;
  // The input itself is unreadable (a damaged workbook): refused whenever it is found, even
  // in the middle of the run.
  bool input = false;
};

// The rows of an SQLite query over a database file opened read-only; NULL reads as "".
class DbSource : public RowSource {
 public:
  // Throws DbError when the database cannot be opened or the query does not prepare.
  DbSource(const std::string& conn, const std::string& sql);
  ~DbSource() override;
  DbSource(const DbSource&) = delete;
  DbSource& operator=(const DbSource&) = delete;
  bool Next() override;

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<std::string> texts_;
  std::vector<std::string_view> views_;
};

// A failure of the database layer, with SQLite's own message.
struct DbError {
  std::string message;
};

}  // namespace tarnwick::cli
