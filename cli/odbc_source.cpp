#include "odbc_source.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "tarnwick/core/date.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick::cli {

static_assert(std::is_same_v<SQLLEN, long> && std::is_same_v<SQLULEN, unsigned long>,
              "the header keeps the block buffers' lengths as long");

namespace {

// The "key=value" pairs of a connection string; a value in braces may hold ";".
template <typename F>
void EachPair(const std::string& conn, F&& visit) {
  std::size_t i = 0;
  while (i < conn.size()) {
    const std::size_t eq = conn.find('=', i);
    if (eq == std::string::npos) return;
    const std::string key = UCase(Trim(conn.substr(i, eq - i)));
    std::size_t start = eq + 1, end = start;
    if (end < conn.size() && conn[end] == '{') {
      end = conn.find('}', end);
      end = end == std::string::npos ? conn.size() : end + 1;
    }
    end = conn.find(';', end);
    if (end == std::string::npos) end = conn.size();
    visit(key, start, end);
    i = end + 1;
  }
}

bool IsPasswordKey(const std::string& key) { return key == "PWD" || key == "PASSWORD"; }

}  // namespace

bool IsOdbcConnection(const std::string& conn) {
  bool odbc = false;
  EachPair(conn, [&](const std::string& key, std::size_t, std::size_t) {
    odbc = odbc || key == "DRIVER" || key == "DSN" || key == "FILEDSN";
  });
  return odbc;
}

std::string MaskPasswords(std::string text, const std::string& conn) {
  std::vector<std::string> secrets;
  EachPair(conn, [&](const std::string& key, std::size_t start, std::size_t end) {
    if (IsPasswordKey(key) && end > start) secrets.push_back(conn.substr(start, end - start));
  });
  // pairs written in the text itself (a message that quotes a connection string)
  std::string masked;
  std::size_t last = 0;
  EachPair(text, [&](const std::string& key, std::size_t start, std::size_t end) {
    if (!IsPasswordKey(key)) return;
    masked.append(text, last, start - last);
    masked += "***";
    last = end;
  });
  masked.append(text, last, std::string::npos);
  text.swap(masked);
  for (const std::string& s : secrets) {
    std::string bare = s;
    if (bare.size() >= 2 && bare.front() == '{' && bare.back() == '}')
      bare = bare.substr(1, bare.size() - 2);
    for (const std::string& secret : {s, bare}) {
      if (secret.empty()) continue;
      for (std::size_t p; (p = text.find(secret)) != std::string::npos;)
        text.replace(p, secret.size(), "***");
    }
  }
  return text;
}

struct OdbcSource::Handles {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  bool connected = false;
  ~Handles() {
    if (stmt) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (connected) SQLDisconnect(dbc);
    if (dbc) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

namespace {

// The driver's messages for a handle, each with its SQLSTATE.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string out;
  for (SQLSMALLINT rec = 1; rec <= 10; ++rec) {
    SQLCHAR state[6] = {};
    SQLCHAR text[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    const SQLRETURN rc = SQLGetDiagRec(type, handle, rec, state, &native, text, sizeof text, &len);
    if (!SQL_SUCCEEDED(rc)) break;
    // One line: drivers break their messages over lines and indent them.
    std::string msg;
    for (const char* p = reinterpret_cast<char*>(text); *p; ++p) {
      const bool blank = *p == ' ' || *p == '\n' || *p == '\r' || *p == '\t';
      if (!blank) {
        if (*p == ';' && !msg.empty() && msg.back() == ' ') msg.pop_back();
        msg += *p;
      } else if (!msg.empty() && msg.back() != ' ') {
        msg += ' ';
      }
    }
    while (!msg.empty() && (msg.back() == ' ' || msg.back() == ';')) msg.pop_back();
    if (!out.empty()) out += "; ";
    out += msg + " (SQLSTATE " + reinterpret_cast<char*>(state) + ")";
  }
  return out.empty() ? "no message from the driver" : out;
}

// Character data is asked for as UTF-16 (SQL_C_WCHAR) and written here as UTF-8: asked for
// as SQL_C_CHAR, a Unicode driver converts to the process's locale, which for this program
// is "C", and letters beyond ASCII would be lost. A lone surrogate becomes U+FFFD.
void AppendUtf8(std::string& out, const SQLWCHAR* p, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    std::uint32_t c = p[k];
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < n && p[k + 1] >= 0xDC00 && p[k + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[k + 1] - 0xDC00);
      ++k;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsDateType(SQLSMALLINT t) { return t == SQL_TYPE_DATE || t == SQL_DATE; }
bool IsTimestampType(SQLSMALLINT t) { return t == SQL_TYPE_TIMESTAMP || t == SQL_TIMESTAMP; }

}  // namespace

OdbcSource::OdbcSource(const std::string& conn, const std::string& sql)
    : h_(std::make_unique<Handles>()), conn_(conn) {
  where_ = "query: " + sql;
  auto fail = [&](const std::string& what, SQLSMALLINT type, SQLHANDLE handle) {
    throw DbError{MaskPasswords("Database: " + what + ": " + Diagnostics(type, handle), conn_)};
  };
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h_->env))) {
    throw DbError{"Database: the ODBC driver manager cannot start"};
  }
  SQLSetEnvAttr(h_->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h_->env, &h_->dbc))) {
    fail("ODBC", SQL_HANDLE_ENV, h_->env);
  }
  // Read-only where the driver supports it: a query cannot change the auditee's database.
  SQLSetConnectAttr(h_->dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY),
                    0);
  SQLCHAR out[1024];
  SQLSMALLINT outLen = 0;
  std::string in = conn;
  // The PostgreSQL driver reads a whole result into memory before the first row unless it is
  // asked for a cursor; with one, rows stream in blocks, and faster. A string that sets
  // UseDeclareFetch itself is left as it is.
  bool postgres = false, cursorSet = false;
  EachPair(conn, [&](const std::string& key, std::size_t start, std::size_t end) {
    if (key == "DRIVER")
      postgres = UCase(conn.substr(start, end - start)).find("POSTGRES") != std::string::npos;
    if (key == "USEDECLAREFETCH") cursorSet = true;
  });
  if (postgres && !cursorSet) {
    if (!in.empty() && in.back() != ';') in += ';';
    in += "UseDeclareFetch=1;Fetch=10000";
  }
  if (!SQL_SUCCEEDED(SQLDriverConnect(h_->dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                                      static_cast<SQLSMALLINT>(in.size()), out, sizeof out, &outLen,
                                      SQL_DRIVER_NOPROMPT))) {
    fail("cannot connect through ODBC", SQL_HANDLE_DBC, h_->dbc);
  }
  h_->connected = true;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &h_->stmt))) {
    fail("ODBC", SQL_HANDLE_DBC, h_->dbc);
  }
  if (sql.empty()) throw DbError{"Database: empty query"};
  std::string text = sql;
  const SQLRETURN rc = SQLExecDirect(h_->stmt, reinterpret_cast<SQLCHAR*>(text.data()),
                                     static_cast<SQLINTEGER>(text.size()));
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) fail("the query failed", SQL_HANDLE_STMT, h_->stmt);
  SQLSMALLINT n = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(h_->stmt, &n)))
    fail("the query failed", SQL_HANDLE_STMT, h_->stmt);
  if (n == 0) throw DbError{"Database: the query returns no columns"};
  for (SQLSMALLINT i = 1; i <= n; ++i) {
    SQLCHAR name[512] = {};
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeCol(h_->stmt, i, name, sizeof name, &nameLen, &type, &size,
                                      &digits, &nullable))) {
      fail("the query failed", SQL_HANDLE_STMT, h_->stmt);
    }
    names_.emplace_back(reinterpret_cast<char*>(name));
    types_.push_back(type);
    // Room for the longest value in UTF-8; 0 when the size is unknown or very large.
    const std::size_t width = IsDateType(type) || IsTimestampType(type)
                                  ? sizeof(SQL_TIMESTAMP_STRUCT)
                              : size > 0 && size <= 8192 ? (size * 2 + 4) * sizeof(SQLWCHAR)
                                                         : 0;
    widths_.push_back(width);
  }
  texts_.resize(static_cast<std::size_t>(n));
  views_.resize(static_cast<std::size_t>(n));
  values_ = views_.data();
  count_ = views_.size();
  Bind();
}

OdbcSource::~OdbcSource() = default;

void OdbcSource::Bind() {
  if (std::find(widths_.begin(), widths_.end(), std::size_t{0}) != widths_.end()) return;
  SQLHSTMT st = h_->stmt;
  constexpr std::size_t kRows = 256;
  if (!SQL_SUCCEEDED(SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE,
                                    reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
      !SQL_SUCCEEDED(
          SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRows), 0))) {
    return;
  }
  SQLULEN rows = 0;
  SQLGetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, &rows, 0, nullptr);
  if (rows < 1) rows = 1;
  rows_ = rows;
  SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0);
  buffers_.resize(widths_.size());
  lengths_.resize(widths_.size());
  for (std::size_t i = 0; i < widths_.size(); ++i) {
    buffers_[i].assign(widths_[i] * rows_, '\0');
    lengths_[i].assign(rows_, 0);
    const bool date = IsDateType(types_[i]) || IsTimestampType(types_[i]);
    if (!SQL_SUCCEEDED(SQLBindCol(st, static_cast<SQLUSMALLINT>(i + 1),
                                  date ? SQL_C_TYPE_TIMESTAMP : SQL_C_WCHAR, buffers_[i].data(),
                                  static_cast<SQLLEN>(widths_[i]), lengths_[i].data()))) {
      SQLFreeStmt(st, SQL_UNBIND);
      SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
      SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
      rows_ = 1;
      return;
    }
  }
  block_ = true;
}

void OdbcSource::FetchFailed() {
  throw DbError{MaskPasswords("Database: reading the query failed after " + std::to_string(rowNo_) +
                                  " rows: " + Diagnostics(SQL_HANDLE_STMT, h_->stmt),
                              conn_)};
}

bool OdbcSource::Next() {
  if (block_) {
    if (pos_ + 1 < fetched_) {
      ++pos_;
    } else {
      fetched_ = 0;
      const SQLRETURN rc = SQLFetch(h_->stmt);
      if (rc == SQL_NO_DATA) return false;
      if (!SQL_SUCCEEDED(rc)) FetchFailed();
      if (fetched_ == 0) return false;
      pos_ = 0;
    }
    for (std::size_t i = 0; i < views_.size(); ++i) {
      const long len = lengths_[i][pos_];
      const char* at = buffers_[i].data() + pos_ * widths_[i];
      if (len == SQL_NULL_DATA) {
        views_[i] = std::string_view();
      } else if (IsDateType(types_[i]) || IsTimestampType(types_[i])) {
        SQL_TIMESTAMP_STRUCT ts;
        std::memcpy(&ts, at, sizeof ts);
        texts_[i].clear();
        if (const auto day = Date::FromYmd(ts.year, ts.month, ts.day)) {
          const double secs = ts.hour * 3600.0 + ts.minute * 60.0 + ts.second;
          texts_[i] = DateText(Date(day->serial() + secs / 86400.0));
        }
        views_[i] = texts_[i];
      } else if (len < 0 || static_cast<std::size_t>(len) >= widths_[i]) {
        // The driver's column size was too small for this value: say so rather than cut it.
        throw DbError{"Database: a value of column " + names_[i] + " on row " +
                      std::to_string(rowNo_ + 1) + " is longer than its declared size"};
      } else {
        texts_[i].clear();
        AppendUtf8(texts_[i], reinterpret_cast<const SQLWCHAR*>(at),
                   static_cast<std::size_t>(len) / sizeof(SQLWCHAR));
        views_[i] = texts_[i];
      }
    }
    ++rowNo_;
    return true;
  }
  const SQLRETURN rc = SQLFetch(h_->stmt);
  if (rc == SQL_NO_DATA) return false;
  auto fail = [&] { FetchFailed(); };
  if (!SQL_SUCCEEDED(rc)) fail();
  for (std::size_t i = 0; i < texts_.size(); ++i) {
    std::string& t = texts_[i];
    t.clear();
    const auto col = static_cast<SQLUSMALLINT>(i + 1);
    SQLLEN ind = 0;
    if (IsDateType(types_[i]) || IsTimestampType(types_[i])) {
      SQL_TIMESTAMP_STRUCT ts{};
      if (!SQL_SUCCEEDED(SQLGetData(h_->stmt, col, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind)))
        fail();
      if (ind != SQL_NULL_DATA) {
        if (const auto day = Date::FromYmd(ts.year, ts.month, ts.day)) {
          const double secs = ts.hour * 3600.0 + ts.minute * 60.0 + ts.second;
          t = DateText(Date(day->serial() + secs / 86400.0));
        }
      }
    } else {
      // Character data in pieces: a value longer than the buffer comes in several calls.
      SQLWCHAR buf[2048];
      wide_.clear();
      for (;;) {
        const SQLRETURN g = SQLGetData(h_->stmt, col, SQL_C_WCHAR, buf, sizeof buf, &ind);
        if (g == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(g)) fail();
        if (ind == SQL_NULL_DATA) break;
        const std::size_t room = sizeof buf - sizeof(SQLWCHAR);  // less the terminating zero
        const std::size_t bytes = ind == SQL_NO_TOTAL || static_cast<std::size_t>(ind) > room
                                      ? room
                                      : static_cast<std::size_t>(ind);
        wide_.append(buf, buf + bytes / sizeof(SQLWCHAR));
        if (g == SQL_SUCCESS) break;
      }
      AppendUtf8(t, wide_.data(), wide_.size());
    }
    views_[i] = t;
  }
  ++rowNo_;
  return true;
}

}  // namespace tarnwick::cli
