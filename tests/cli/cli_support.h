#pragma once
// Helpers for the end-to-end tests: run the built `tarnwick` executable with its standard
// output and error captured, read the sample ledger independently of the runner, and make the
// SQLite and comma-separated copies of it.

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace cli_test {

// The files of a test process go in one folder of its own (ctest runs the cases side by side),
// removed when the process ends, so that runs leave nothing behind.
inline const std::string& ProcessFolder() {
  static const struct Folder {
    std::string path;
    Folder() {
      std::string pattern = ::testing::TempDir() + "/tarnwick-test-XXXXXX";
      if (::mkdtemp(pattern.data()) == nullptr) std::abort();
      path = pattern;
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  } folder;
  return folder.path;
}

// A path in the process's folder.
inline std::string Temp(const std::string& name) { return ProcessFolder() + "/" + name; }

inline std::string Binary() { return std::string(TARNWICK_BINARY_DIR) + "/tarnwick"; }
inline std::string Ledger() { return std::string(TARNWICK_SOURCE_DIR) + "/examples/payments.tsv"; }

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the executable with the given arguments (no shell involved).
inline Result Tarnwick(const std::vector<std::string>& args) {
  const std::string dir = ::testing::TempDir();
  const std::string out = dir + "/cli_out_" + std::to_string(::getpid());
  const std::string err = dir + "/cli_err_" + std::to_string(::getpid());
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!std::freopen(out.c_str(), "wb", stdout) || !std::freopen(err.c_str(), "wb", stderr))
      _exit(99);
    std::vector<char*> argv;
    std::string bin = Binary();
    argv.push_back(bin.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(bin.c_str(), argv.data());
    _exit(98);
  }
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  Result r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  int Col(const std::string& name) const {
    for (std::size_t i = 0; i < header.size(); ++i)
      if (header[i] == name) return static_cast<int>(i);
    return -1;
  }
};

inline std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> f;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return f;
    start = tab + 1;
  }
}

inline Table ReadTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  Table t;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      t.header = SplitTabs(line);
      first = false;
    } else {
      t.rows.push_back(SplitTabs(line));
    }
  }
  return t;
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The ledger as an SQLite table `payments`, every value as text.
inline void MakeDb(const std::string& path, const Table& t) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string create = "create table payments (";
  std::string insert = "insert into payments values (";
  for (std::size_t i = 0; i < t.header.size(); ++i) {
    create += (i ? ", \"" : "\"") + t.header[i] + "\" text";
    insert += i ? ",?" : "?";
  }
  ASSERT_EQ(sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &st, nullptr), SQLITE_OK);
  for (const auto& row : t.rows) {
    for (std::size_t i = 0; i < t.header.size(); ++i)
      sqlite3_bind_text(st, static_cast<int>(i + 1), row[i].c_str(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace cli_test
