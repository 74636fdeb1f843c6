#pragma once
// The rows of a query read through unixODBC, for any database that has an ODBC driver
// (PostgreSQL, SQL Server, MariaDB, SQLite ...). Values read as the SQLite source reads them:
// as text, NULL as "". Date and timestamp columns give the engine's date text ("7/5/2023",
// "7/5/2023 1:30:00 PM"), so that the engine's date test reads them. For the PostgreSQL
// driver the connection asks for a cursor (UseDeclareFetch=1;Fetch=10000) unless the
// connection string says otherwise, so that a large result streams.

#include <memory>
#include <string>
#include <vector>

#include "sources.h"

namespace tarnwick::cli {

// True when `conn` is an ODBC connection string rather than a database file: one of its
// "key=value" pairs has the key DRIVER, DSN or FILEDSN (not case-sensitive).
bool IsOdbcConnection(const std::string& conn);

// `text` with every password of the connection string `conn` (its PWD= and PASSWORD= values)
// replaced by "***", and any "PWD=..." or "PASSWORD=..." pair in `text` itself masked, so that
// no message ever shows a password.
std::string MaskPasswords(std::string text, const std::string& conn);

class OdbcSource : public RowSource {
 public:
  // Throws DbError with the driver's message when the connection or the query fails.
  OdbcSource(const std::string& conn, const std::string& sql);
  ~OdbcSource() override;
  OdbcSource(const OdbcSource&) = delete;
  OdbcSource& operator=(const OdbcSource&) = delete;
  // Throws DbError with the driver's message when fetching fails (a dropped connection).
  bool Next() override;

  struct Handles;

 private:
  std::unique_ptr<Handles> h_;
  std::string conn_;
  void Bind();
  [[noreturn]] void FetchFailed();

  std::vector<short> types_;  // SQL type of each column
  std::vector<std::string> texts_;
  std::vector<std::string_view> views_;
  // Block fetching: rows come in blocks of `rows_` into one buffer per column (`widths_` bytes a
  // value, or a timestamp structure for date columns); without it (a column of unknown or very
  // long values) every value is asked for by itself.
  bool block_ = false;
  std::size_t rows_ = 1;
  std::vector<std::size_t> widths_;
  std::vector<std::vector<char>> buffers_;
  std::vector<std::vector<long>> lengths_;
  unsigned long fetched_ = 0;
  std::size_t pos_ = 0;
  std::basic_string<unsigned short> wide_;  // one value in UTF-16, asked for in pieces
};

}  // namespace tarnwick::cli
