// The runner on the files an auditor may be handed: each bad input gives a clear message on
// standard error, the documented exit status (2 refused before the run, 1 failed during it),
// nothing on standard output, and no output file, whole or partial.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../cli/cli_support.h"

namespace fs = std::filesystem;
using cli_test::ReadAll;
using cli_test::Result;
using cli_test::Tarnwick;
using cli_test::WriteFile;

namespace {

// A fresh folder per test; whatever a run leaves in it is visible to the test.
class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("hardening_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    WriteFile(P(name), text);
    return P(name);
  }
  // The names in the folder other than the given inputs: what the run left behind.
  std::vector<std::string> LeftBehind(const std::vector<std::string>& inputs) const {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      bool input = false;
      for (const auto& in : inputs) input = input || fs::path(in).filename() == name;
      if (!input) left.push_back(name);
    }
    return left;
  }
  fs::path dir_;
};

// A small ledger: a header and `rows` rows of vendor and amount.
std::string Ledger(int rows) {
  std::string t = "Vendor\tAmount\r\n";
  for (int i = 1; i <= rows; ++i) {
    t += 'V';
    t += std::to_string(i % 7);
    t += '\t';
    t += std::to_string(i * 3);
    t += ".25\r\n";
  }
  return t;
}

// Runs the executable as the unprivileged user "nobody" (uid/gid 65534); status -2 when the
// switch is not possible.
Result TarnwickAsNobody(const std::string& line, const std::string& scratch) {
  const std::string out = scratch + "/nobody_out", err = scratch + "/nobody_err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(97);
    if (!std::freopen(out.c_str(), "wb", stdout) || !std::freopen(err.c_str(), "wb", stderr))
      _exit(99);
    std::string bin = cli_test::Binary(), arg = line;
    char* argv[] = {bin.data(), arg.data(), nullptr};
    ::execv(bin.c_str(), argv);
    _exit(98);
  }
  int ws = 0;
  ::waitpid(pid, &ws, 0);
  Result r;
  r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
  if (r.status == 97) r.status = -2;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  fs::remove(out);
  fs::remove(err);
  return r;
}

}  // namespace

// Files that cannot serve as a data source are refused before anything runs.
TEST_F(BadInput, UnusableFilesAreRefusedWithTheirReason) {
  std::string binary;
  for (int i = 0; i < 65536; ++i) binary += static_cast<char>((i * 37 + i / 256) & 0xff);
  struct Case {
    std::string name, path, message;
  };
  const std::string missing = P("missing.tsv");
  fs::create_directory(P("folder.tsv"));
  const std::vector<Case> cases = {
      {"missing", missing, "File: " + missing + " not found"},
      {"folder", P("folder.tsv"), "File: " + P("folder.tsv") + " not found"},
      {"empty", Write("empty.tsv", ""),
       "File has insufficient data (file: " + P("empty.tsv") + ")"},
      {"header only", Write("header.tsv", "Vendor\tAmount\r\n"),
       "File has insufficient data (file: " + P("header.tsv") + ")"},
      {"header without line end", Write("bare.tsv", "Vendor\tAmount"),
       "File has insufficient data (file: " + P("bare.tsv") + ")"},
      {"binary", Write("binary.tsv", binary),
       "Col: Vendor in file: " + P("binary.tsv") +
           " not found; the first line is no header of column names (it holds control characters)"},
      {"wrong column", Write("ledger.tsv", Ledger(30)),
       "Col: Amt in file: " + P("ledger.tsv") + " not found; the columns are: Vendor, Amount"},
  };
  for (const auto& c : cases) {
    const std::string col = c.name == "wrong column" ? "Amt" : "Amount";
    const Result s = Tarnwick({"SU file=" + c.path + " col=Vendor amount=" + col});
    EXPECT_EQ(s.status, 2) << c.name;
    EXPECT_EQ(s.err, c.message + "\n") << c.name;
    EXPECT_EQ(s.out, "") << c.name;
    // A command that reads no column still needs a file with a header and a row.
    if (c.name == "binary" || c.name == "wrong column") continue;
    const Result r = Tarnwick({"IS file=" + c.path + " intvl=5 rn=1 sample=" + P("sample.tsv")});
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_EQ(r.err, c.message + "\n") << c.name;
    EXPECT_FALSE(fs::exists(P("sample.tsv"))) << c.name;
  }
  for (const auto& name : LeftBehind(
           {"folder.tsv", "empty.tsv", "header.tsv", "bare.tsv", "binary.tsv", "ledger.tsv"}))
    ADD_FAILURE() << "left behind: " << name;
}

TEST_F(BadInput, UnreadableFileIsRefused) {
  const std::string f = Write("secret.tsv", Ledger(30));
  ::chmod(f.c_str(), 0);
  ::chmod(dir_.c_str(), 0777);
  Result r;
  if (::geteuid() == 0) {
    r = TarnwickAsNobody("SU file=" + f + " col=Vendor amount=Amount", dir_.string());
    if (r.status == -2) GTEST_SKIP() << "cannot switch to an unprivileged user";
  } else {
    r = Tarnwick({"SU file=" + f + " col=Vendor amount=Amount"});
  }
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Unable to open " + f + " (file: " + f + ")\n");
  EXPECT_EQ(r.out, "");
}

// Column kinds are checked on the first rows; a bad value later stops the run with the row
// named and leaves no sample.
TEST_F(BadInput, ColumnsOfTheWrongKind) {
  std::string late = Ledger(40);
  late += "V9\tn/a\r\n";
  const std::string f = Write("ledger.tsv", Ledger(30));
  const std::string g = Write("late.tsv", late);
  const Result words =
      Tarnwick({"CM file=" + f + " col=Vendor J=1000 R=1 RN=1 sample=" + P("s.tsv")});
  EXPECT_EQ(words.status, 2);
  EXPECT_EQ(words.err, "Col: Vendor on row: 2 in file: " + f + " not numeric: V1\n");
  const Result dates = Tarnwick({"WD file=" + f + " col=Amount"});
  EXPECT_EQ(dates.status, 2);
  EXPECT_EQ(dates.err, "Col: Amount on row: 2 in file: " + f + " not a date value:3.25\n");
  const Result tail =
      Tarnwick({"CM file=" + g + " col=Amount J=1000 R=1 RN=1 sample=" + P("s.tsv")});
  EXPECT_EQ(tail.status, 1);
  EXPECT_EQ(tail.err, "Error 13: Type mismatch: Col: Amount on row: 42 in file: " + g +
                          " not numeric: n/a\n");
  EXPECT_EQ(tail.out, "");
  EXPECT_TRUE(LeftBehind({"ledger.tsv", "late.tsv"}).empty());
}

// A 10 MB field and a 10 MB header are read whole: nothing is cut, nothing crashes.
TEST_F(BadInput, TenMegabyteLines) {
  const std::string big(10 * 1024 * 1024, 'W');
  const std::string f = Write("wide.tsv", "Vendor\tAmount\r\n" + big + "\t5\r\nV2\t7\r\nV2\t8\r\n");
  const Result r = Tarnwick({"EX file=" + f + " cond=\"$Amount < 6\" sample=" + P("s.tsv")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll(P("s.tsv")), "Vendor\tAmount\r\n" + big + "\t5\r\n");

  const std::string h = Write("header.tsv", big);  // one line, no data
  const Result hr = Tarnwick({"SU file=" + h + " col=Vendor amount=Amount"});
  EXPECT_EQ(hr.status, 2);
  EXPECT_EQ(hr.err, "File has insufficient data (file: " + h + ")\n");
}

// Bytes that are not UTF-8 are data like any other: copied through unchanged and grouped on.
TEST_F(BadInput, InvalidUtf8IsCarriedByteForByte) {
  const std::string text = std::string("Vendor\xff\xfe\tAmount\r\n") + "\xc3\x28\xa0\xa1\t5\r\n" +
                           "\xed\xa0\x80\t7\r\n" + "ok\t9\r\n" + "\xed\xa0\x80\t1\r\n";
  const std::string f = Write("utf.tsv", text);
  const Result r = Tarnwick({"EX file=" + f + " cond=\"$Amount > 6\" sample=" + P("s.tsv")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll(P("s.tsv")),
            std::string("Vendor\xff\xfe\tAmount\r\n") + "\xed\xa0\x80\t7\r\nok\t9\r\n");
  const Result s =
      Tarnwick({"--raw", std::string("SU file=") + f + " col=Vendor\xff\xfe amount=Amount"});
  EXPECT_EQ(s.status, 0) << s.err;
  EXPECT_NE(s.out.find("\xed\xa0\x80\t2\t8.00"), std::string::npos) << s.out;
}

TEST_F(BadInput, FilterThatDoesNotParseIsRefused) {
  const std::string f = Write("ledger.tsv", Ledger(30));
  struct Case {
    std::string cond, message;
  };
  for (const Case& c :
       std::vector<Case>{{"(($Amount > 5)", "Filter: Unbalanced parentheses"},
                         {"$Nope > 5", "Filter: $NOPE names no column of file: " + f}}) {
    const Result r = Tarnwick({"EX file=" + f + " cond=\"" + c.cond + "\" sample=" + P("s.tsv")});
    EXPECT_EQ(r.status, 2) << c.cond;
    EXPECT_EQ(r.err, c.message + "\n") << c.cond;
    EXPECT_FALSE(fs::exists(P("s.tsv"))) << c.cond;
  }
}

// An expression with an operand or operator missing parses, and every row then answers
// something other than TRUE: the run reported success with an empty extract, as if no row met
// the condition.
TEST_F(BadInput, IncompleteFilterIsRefused) {
  const std::string f = Write("ledger.tsv", Ledger(30));
  for (const std::string cond :
       {"$Amount >", "> 5", "$Amount 5", "AND", "$Amount = = 5", "$Amount > 5 AND"}) {
    const Result r = Tarnwick({"EX file=" + f + " cond=\"" + cond + "\" sample=" + P("s.tsv")});
    EXPECT_EQ(r.status, 2) << cond;
    EXPECT_EQ(r.err.rfind("Filter: ", 0), 0u) << cond << ": " << r.err;
    EXPECT_FALSE(fs::exists(P("s.tsv"))) << cond;
    fs::remove(P("s.tsv"));
  }
}

// A division by zero inside a comparison was swallowed: the row was quietly not selected,
// while the same division alone is counted as a row that could not be evaluated.
TEST_F(BadInput, DivisionByZeroInsideAFilterIsReported) {
  const std::string f = Write("ledger.tsv", Ledger(30));
  const Result alone = Tarnwick({"EX file=" + f + " cond=\"$Amount / 0\""});
  EXPECT_EQ(alone.err, "Filter: 30 rows could not be evaluated and were not selected\n");
  const Result inside = Tarnwick({"EX file=" + f + " cond=\"$Amount / 0 > 1\""});
  EXPECT_EQ(inside.err, "Filter: 30 rows could not be evaluated and were not selected\n");
}

TEST_F(BadInput, LockedAndUnusableDatabases) {
  const std::string db = P("ledger.db");
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(h,
                         "create table payments (Vendor text, Amount text);"
                         "insert into payments values ('V1','5'),('V2','7'),('V1','9');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const std::string line = "SU ds=db conn=" + db +
                           " sql=\"select Vendor, Amount from payments\" col=Vendor amount=Amount";
  ASSERT_EQ(Tarnwick({line}).status, 0);

  // Another program holds the write lock: refused at once, no wait, no partial report.
  ASSERT_EQ(sqlite3_exec(h, "begin exclusive; insert into payments values ('V3','1');", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  const Result locked = Tarnwick({line});
  EXPECT_EQ(locked.status, 2);
  EXPECT_EQ(locked.err, "Database: database is locked\n");
  EXPECT_EQ(locked.out, "");
  sqlite3_exec(h, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(h);

  std::string junk;
  for (int i = 0; i < 8192; ++i) junk += static_cast<char>(i * 13);
  const std::string notDb = Write("junk.db", junk);
  const Result bad =
      Tarnwick({"SU ds=db conn=" + notDb +
                " sql=\"select Vendor, Amount from payments\" col=Vendor amount=Amount"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, "Database: file is not a database\n");
  EXPECT_EQ(bad.out, "");
}

// A full file system stops the sample with the system's reason and leaves no part of it.
TEST_F(BadInput, DiskFullLeavesNoPartialSample) {
  const std::string mnt = P("tiny");
  fs::create_directory(mnt);
  if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=8k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  const std::string f = Write("ledger.tsv", Ledger(5000));
  for (const std::string& cmd : {"EX file=" + f + " cond=\"$Amount > 0\" sample=" + mnt + "/s.tsv",
                                 "IS file=" + f + " intvl=5 rn=1 sample=" + mnt + "/s.tsv"}) {
    const Result r = Tarnwick({cmd});
    EXPECT_EQ(r.status, 1) << cmd;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_empty(mnt)) << cmd;
  }
  ::umount(mnt.c_str());
}

// A sample named after a device (here a copy of the always-full device) was written beside it
// and renamed over it: the device node was replaced by a regular file and the run reported
// success. As root, sample=/dev/null would replace the system's /dev/null.
TEST_F(BadInput, SampleOverADeviceKeepsTheDevice) {
  const std::string dev = P("full");
  if (::mknod(dev.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make a device node here";
  const std::string f = Write("ledger.tsv", Ledger(300));
  const Result r = Tarnwick({"EX file=" + f + " cond=\"$Amount > 0\" sample=" + dev});
  struct stat st {};
  ASSERT_EQ(::lstat(dev.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device node was replaced";
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
}

// A column number beyond the header ("$3" of two columns) was accepted and selected every
// row; a large one ("$222222222") first took gigabytes of memory. A name beyond the header is
// already refused; a number should be too.
TEST_F(BadInput, FilterColumnNumberBeyondTheHeaderIsRefused) {
  const std::string f = Write("ledger.tsv", Ledger(30));
  for (const std::string cond : {"$3 > 1", "$0 > 1", "$222222222 > 1"}) {
    const Result r = Tarnwick({"EX file=" + f + " cond=\"" + cond + "\" sample=" + P("s.tsv")});
    EXPECT_EQ(r.status, 2) << cond;
    EXPECT_EQ(r.err.rfind("Filter: ", 0), 0u) << cond << ": " << r.err;
    EXPECT_FALSE(fs::exists(P("s.tsv"))) << cond;
    fs::remove(P("s.tsv"));
  }
}
