#include "tarnwick/data/stored_settings.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "temp_files.h"

namespace tarnwick {
namespace {

using testing::TempDir;

// Every test works in a store of its own, never the user's.
class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = dir_.Path("settings.db");
    ::setenv("TARNWICK_SETTINGS", store_.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("TARNWICK_SETTINGS"); }
  TempDir dir_;
  std::string store_;
};

TEST_F(Settings, SaveGetAndDefaults) {
  cRegSettings r;
  EXPECT_EQ(cRegSettings::StorePath(), store_);
  EXPECT_EQ(r.KeyPath("Paths"), "Software\\VB and VBA Program Settings\\Test Product\\Paths");
  EXPECT_EQ(r.GetSetting("Paths", "Last", "none"), "none");  // missing section
  ASSERT_TRUE(r.SaveSetting("Paths", "Last", "C:\\Data"));
  EXPECT_EQ(r.GetSetting("Paths", "Last"), "C:\\Data");
  EXPECT_EQ(r.GetSetting("paths", "LAST"), "C:\\Data");       // names ignore case
  EXPECT_EQ(r.GetSetting("Paths", "Other", "dflt"), "dflt");  // missing key
  ASSERT_TRUE(r.SaveSetting("Paths", "Last", ""));
  EXPECT_EQ(r.GetSetting("Paths", "Last", "dflt"), "");  // an empty text is a value

  // another object with the same names sees the same entries; other names do not
  cRegSettings other;
  EXPECT_EQ(other.GetSetting("Paths", "Last", "x"), "");
  other.AppName("  Audit  ");
  EXPECT_EQ(other.AppName(), "Audit");
  EXPECT_EQ(other.GetSetting("Paths", "Last", "x"), "x");
  other.AppName("");
  EXPECT_EQ(other.AppName(), "Test Product");
  other.Company("Firm");
  EXPECT_EQ(other.KeyPath(""), "Software\\Firm\\Test Product");
  other.Company("");
  EXPECT_EQ(other.Company(), "VB and VBA Program Settings");
}

TEST_F(Settings, DefaultValueStar) {
  cRegSettings r;
  ASSERT_TRUE(r.SaveSetting("Paths", "*", "root"));
  EXPECT_EQ(r.GetSetting("Paths", "*"), "root");
  EXPECT_EQ(r.GetSetting("Paths", "", "none"), "root");  // the unnamed value
  auto all = r.GetAllSettings("Paths");
  ASSERT_TRUE(all);
  EXPECT_EQ((*all)[0][0], "");
  EXPECT_TRUE(r.DeleteSetting("Paths", "*"));
  EXPECT_EQ(r.GetSetting("Paths", "*", "gone"), "gone");
  EXPECT_FALSE(r.DeleteSetting("Paths", "*"));
}

TEST_F(Settings, AllSettingsSkipOtherTypes) {
  cRegSettings r;
  EXPECT_FALSE(r.GetAllSettings("Recent"));
  ASSERT_TRUE(r.SaveSetting("Recent", "First", "a.txt"));
  ASSERT_TRUE(r.SaveSetting("Recent", "Second", "b.txt"));
  ASSERT_TRUE(r.SaveSetting("Recent", "First", "c.txt"));  // replacing keeps its place
  {
    // a numeric value written by another program
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store_.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "INSERT INTO vals VALUES('" + r.KeyPath("Recent") + "', 'Count', 4, '7')";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  const auto all = r.GetAllSettings("Recent");
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 2u);
  EXPECT_EQ((*all)[0][0], "First");
  EXPECT_EQ((*all)[0][1], "c.txt");
  EXPECT_EQ((*all)[1][0], "Second");
  EXPECT_EQ((*all)[1][1], "b.txt");
}

TEST_F(Settings, Deletion) {
  cRegSettings r;
  EXPECT_FALSE(r.DeleteSetting("Paths"));  // no application key yet
  ASSERT_TRUE(r.SaveSetting("Paths", "Last", "x"));
  ASSERT_TRUE(r.SaveSetting("Paths", "Prev", "y"));
  EXPECT_TRUE(r.DeleteSetting("Paths", "Prev"));
  EXPECT_FALSE(r.DeleteSetting("Paths", "Prev"));
  EXPECT_FALSE(r.DeleteSetting("Nowhere", "Prev"));
  ASSERT_TRUE(r.SaveSetting("Paths\\Sub", "Deep", "z"));
  EXPECT_FALSE(r.DeleteSetting("Paths"));  // it has a subkey
  EXPECT_EQ(r.GetSetting("Paths", "Last"), "x");
  EXPECT_TRUE(r.DeleteSetting("paths\\sub"));
  EXPECT_TRUE(r.DeleteSetting("Paths"));
  EXPECT_EQ(r.GetSetting("Paths", "Last", "gone"), "gone");
  EXPECT_FALSE(r.GetAllSettings("Paths"));
  EXPECT_FALSE(r.DeleteSetting("Paths"));
  EXPECT_TRUE(r.SaveSetting("Paths", "Last", "back"));  // the section can be made again
}

TEST_F(Settings, UnusableStoreGivesFailures) {
  const std::string blocker = dir_.Write("file", "x");
  ::setenv("TARNWICK_SETTINGS", (blocker + "/s.db").c_str(), 1);  // parent is a file
  cRegSettings r;
  EXPECT_FALSE(r.SaveSetting("Paths", "Last", "x"));
  EXPECT_EQ(r.GetSetting("Paths", "Last", "d"), "d");
  EXPECT_FALSE(r.GetAllSettings("Paths"));
  EXPECT_FALSE(r.DeleteSetting("Paths"));
}

TEST_F(Settings, ConfigurationFolderWhenNoStoreIsNamed) {
  ::unsetenv("TARNWICK_SETTINGS");
  ::setenv("XDG_CONFIG_HOME", dir_.Path("cfg").c_str(), 1);
  EXPECT_EQ(cRegSettings::StorePath(), dir_.Path("cfg") + "/tarnwick/settings.db");
  cRegSettings r;
  EXPECT_TRUE(r.SaveSetting("Paths", "Last", "x"));
  EXPECT_TRUE(std::filesystem::exists(dir_.Path("cfg") + "/tarnwick/settings.db"));
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Settings, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kEach = 60;
  pid_t kids[2];
  for (int p = 0; p < 2; ++p) {
    kids[p] = ::fork();
    ASSERT_GE(kids[p], 0);
    if (kids[p] == 0) {
      cRegSettings r;
      bool ok = true;
      for (int i = 0; i < kEach; ++i) {
        std::string k = "P";
        k += std::to_string(p);
        k += '_';
        k += std::to_string(i);
        ok = r.SaveSetting("Race", k, std::to_string(i)) && ok;
        ok = r.SaveSetting("Race", "Shared", k) && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t k : kids) {
    int status = 0;
    ASSERT_EQ(::waitpid(k, &status, 0), k);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  cRegSettings r;
  const auto all = r.GetAllSettings("Race");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->size(), 2u * kEach + 1);
  for (int p = 0; p < 2; ++p)
    for (int i = 0; i < kEach; ++i)
      EXPECT_EQ(
          r.GetSetting(
              "Race",
              std::string("P").append(std::to_string(p)).append("_").append(std::to_string(i))),
          std::to_string(i));
}

// A writer killed part way through (SIGKILL, no chance to clean up) loses at most the write it
// was making: every write that returned is there, the store opens, and it takes new writes.
TEST_F(Settings, AWriterKilledMidWriteLosesNothingThatWasSaved) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t kid = ::fork();
  ASSERT_GE(kid, 0);
  if (kid == 0) {
    ::close(fds[0]);
    cRegSettings r;
    const std::string big(4000, 'x');  // long values keep the writer inside its transactions
    for (int i = 0;; ++i) {
      if (!r.SaveSetting("Killed", std::string("K").append(std::to_string(i)),
                         big + std::to_string(i)))
        ::_exit(1);
      // report each write only after it returned
      const ssize_t n = ::write(fds[1], &i, sizeof i);
      if (n != static_cast<ssize_t>(sizeof i)) ::_exit(1);
    }
  }
  ::close(fds[1]);
  int confirmed = -1, got = 0;
  while (confirmed < 150 && ::read(fds[0], &got, sizeof got) == static_cast<ssize_t>(sizeof got))
    confirmed = got;
  ::kill(kid, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(kid, &status, 0), kid);
  while (::read(fds[0], &got, sizeof got) == static_cast<ssize_t>(sizeof got)) confirmed = got;
  ::close(fds[0]);
  ASSERT_GE(confirmed, 150);

  cRegSettings r;
  const std::string big(4000, 'x');
  for (int i = 0; i <= confirmed; ++i)
    ASSERT_EQ(r.GetSetting("Killed", std::string("K").append(std::to_string(i))),
              big + std::to_string(i))
        << i;
  EXPECT_TRUE(r.SaveSetting("Killed", "After", "ok"));
  EXPECT_EQ(r.GetSetting("Killed", "After"), "ok");
}

}  // namespace
}  // namespace tarnwick
