#include "tarnwick/data/stored_settings.h"

#include <cstdlib>
#include <filesystem>

#include "tarnwick/core/text.h"

#ifdef TARNWICK_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace tarnwick {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

// The stored name of a value: "*" is the key's unnamed default value.
std::string ValueName(const std::string& key) { return key == "*" ? std::string() : key; }

constexpr int kText = 1;  // the text type; other types are kept but not listed

#ifdef TARNWICK_HAVE_SQLITE

constexpr int kBusyMs = 30000;

// One connection per call: cheap, and safe across fork().
class Store {
 public:
  Store() {
    const std::string path = cRegSettings::StorePath();
    if (path.empty()) return;
    std::error_code ec;
    const auto dir = std::filesystem::path(path).parent_path();
    if (!dir.empty()) std::filesystem::create_directories(dir, ec);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      Drop();
      return;
    }
    sqlite3_busy_timeout(db_, kBusyMs);
    if (!Exec("PRAGMA synchronous=FULL") ||
        !Exec("CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE)") ||
        !Exec("CREATE TABLE IF NOT EXISTS vals(path TEXT NOT NULL COLLATE NOCASE, "
              "name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data TEXT NOT NULL, "
              "PRIMARY KEY(path, name))"))
      Drop();
  }
  ~Store() { Drop(); }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  bool ok() const { return db_ != nullptr; }
  sqlite3* db() const { return db_; }

  bool Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  // Writers take the lock at once, so two processes queue instead of failing mid-way.
  bool Begin() { return Exec("BEGIN IMMEDIATE"); }
  bool Commit() {
    if (Exec("COMMIT")) return true;
    Exec("ROLLBACK");
    return false;
  }
  void Rollback() { Exec("ROLLBACK"); }

  bool KeyExists(const std::string& path) {
    Stmt s(db_, "SELECT 1 FROM keys WHERE path = ?1");
    s.Bind(1, path);
    return s.Step() == SQLITE_ROW;
  }

  class Stmt {
   public:
    Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    void Bind(int i, const std::string& v) {
      if (st_) sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void Bind(int i, int v) {
      if (st_) sqlite3_bind_int(st_, i, v);
    }
    int Step() { return st_ ? sqlite3_step(st_) : SQLITE_ERROR; }
    std::string Text(int col) const {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
      return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st_, col)))
               : std::string();
    }
    int Int(int col) const { return sqlite3_column_int(st_, col); }

   private:
    sqlite3_stmt* st_ = nullptr;
  };

 private:
  void Drop() {
    if (db_ != nullptr) sqlite3_close(db_);
    db_ = nullptr;
  }
  sqlite3* db_ = nullptr;
};

#endif

}  // namespace

std::string cRegSettings::StorePath() {
  if (std::string p = Env("TARNWICK_SETTINGS"); !p.empty()) return p;
  if (std::string x = Env("XDG_CONFIG_HOME"); !x.empty() && x.front() == '/')
    return x + "/tarnwick/settings.db";
  if (std::string h = Env("HOME"); !h.empty()) return h + "/.config/tarnwick/settings.db";
  return {};
}

void cRegSettings::Company(const std::string& v) {
  company_ = Trim(v);
  if (company_.empty()) company_ = kDefaultCompany;
}

void cRegSettings::AppName(const std::string& v) {
  appName_ = Trim(v);
  if (appName_.empty()) appName_ = kDefaultAppName;
}

std::string cRegSettings::KeyPath(const std::string& Section) const {
  std::string p = "Software\\" + company_ + "\\" + appName_;
  if (!Section.empty()) p += "\\" + Section;
  return p;
}

#ifdef TARNWICK_HAVE_SQLITE

bool cRegSettings::SaveSetting(const std::string& Section, const std::string& Key,
                               const std::string& Setting) {
  Store st;
  if (!st.ok() || !st.Begin()) return false;
  // The key and every missing parent, as creating a registry key does.
  const std::string path = KeyPath(Section);
  for (std::size_t at = path.find('\\');; at = path.find('\\', at + 1)) {
    Store::Stmt k(st.db(), "INSERT OR IGNORE INTO keys(path) VALUES(?1)");
    k.Bind(1, path.substr(0, at));
    if (k.Step() != SQLITE_DONE) {
      st.Rollback();
      return false;
    }
    if (at == std::string::npos) break;
  }
  Store::Stmt v(st.db(),
                "INSERT INTO vals(path, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                "ON CONFLICT(path, name) DO UPDATE SET type = excluded.type, data = excluded.data");
  v.Bind(1, path);
  v.Bind(2, ValueName(Key));
  v.Bind(3, kText);
  v.Bind(4, Setting);
  if (v.Step() != SQLITE_DONE) {
    st.Rollback();
    return false;
  }
  return st.Commit();
}

std::string cRegSettings::GetSetting(const std::string& Section, const std::string& Key,
                                     const std::string& Default) {
  Store st;
  if (!st.ok()) return Default;
  const std::string path = KeyPath(Section);
  if (!st.KeyExists(path)) return Default;
  Store::Stmt s(st.db(), "SELECT data FROM vals WHERE path = ?1 AND name = ?2");
  s.Bind(1, path);
  s.Bind(2, ValueName(Key));
  return s.Step() == SQLITE_ROW ? s.Text(0) : Default;
}

std::optional<cRegSettings::Table> cRegSettings::GetAllSettings(const std::string& Section) {
  Store st;
  if (!st.ok()) return std::nullopt;
  const std::string path = KeyPath(Section);
  if (!st.KeyExists(path)) return std::nullopt;
  Store::Stmt s(st.db(), "SELECT name, data, type FROM vals WHERE path = ?1 ORDER BY rowid");
  s.Bind(1, path);
  Table t;
  while (s.Step() == SQLITE_ROW)
    if (s.Int(2) == kText) t.push_back({s.Text(0), s.Text(1)});
  if (t.empty()) return std::nullopt;
  return t;
}

bool cRegSettings::DeleteSetting(const std::string& Section, const std::string& Key) {
  Store st;
  if (!st.ok() || !st.Begin()) return false;
  bool done = false;
  if (!Key.empty()) {
    const std::string path = KeyPath(Section);
    if (st.KeyExists(path)) {
      Store::Stmt d(st.db(), "DELETE FROM vals WHERE path = ?1 AND name = ?2");
      d.Bind(1, path);
      d.Bind(2, ValueName(Key));
      done = d.Step() == SQLITE_DONE && sqlite3_changes(st.db()) > 0;
    }
  } else if (st.KeyExists(KeyPath("")) && !Section.empty()) {
    const std::string path = KeyPath(Section);
    Store::Stmt sub(st.db(),
                    "SELECT 1 FROM keys WHERE length(path) > length(?1) + 1 AND "
                    "substr(path, 1, length(?1) + 1) = ?1 || '\\' COLLATE NOCASE");
    sub.Bind(1, path);
    if (st.KeyExists(path) && sub.Step() != SQLITE_ROW) {
      Store::Stmt dv(st.db(), "DELETE FROM vals WHERE path = ?1");
      dv.Bind(1, path);
      Store::Stmt dk(st.db(), "DELETE FROM keys WHERE path = ?1");
      dk.Bind(1, path);
      done = dv.Step() == SQLITE_DONE && dk.Step() == SQLITE_DONE;
    }
  }
  if (!done) {
    st.Rollback();
    return false;
  }
  return st.Commit();
}

#else  // no SQLite: every call fails the way a missing store does

bool cRegSettings::SaveSetting(const std::string&, const std::string&, const std::string&) {
  return false;
}
std::string cRegSettings::GetSetting(const std::string&, const std::string&,
                                     const std::string& Default) {
  return Default;
}
std::optional<cRegSettings::Table> cRegSettings::GetAllSettings(const std::string&) {
  return std::nullopt;
}
bool cRegSettings::DeleteSetting(const std::string&, const std::string&) { return false; }

#endif

}  // namespace tarnwick
