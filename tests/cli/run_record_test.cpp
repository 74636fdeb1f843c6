// The run record (--log), the version, the cleaning of temporary files left by killed runs,
// and the hints of a mistyped line, all through the built runner.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "cli_support.h"

namespace fs = std::filesystem;
using namespace cli_test;
using nlohmann::json;

namespace {

std::string Dir() {
  static const std::string d = [] {
    const std::string p = ::testing::TempDir() + "run_record_" + std::to_string(::getpid());
    fs::create_directories(p);
    return p;
  }();
  return d;
}
std::string P(const std::string& name) { return Dir() + "/" + name; }

// sha256sum's answer, not the runner's code.
std::string Sha256sum(const std::string& path) {
  FILE* p = ::popen(("sha256sum '" + path + "'").c_str(), "r");
  char buf[65] = {};
  const std::size_t n = std::fread(buf, 1, 64, p);
  ::pclose(p);
  return std::string(buf, n);
}

json ReadJson(const std::string& path) { return json::parse(ReadAll(path)); }

// Strips the times, which are all a second run may change.
json WithoutTimes(json j) {
  for (auto& c : j["commands"]) {
    c.erase("started");
    c.erase("ended");
  }
  return j;
}

class RunRecord : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { fs::remove_all(Dir()); }
};

TEST_F(RunRecord, NamesInputsRowsTotalsAndOutputsOfEveryCommand) {
  // Amounts whose sum a plain double sum gets wrong in the last digit; the exact sum is
  // 0.10 * 7 + 1,000,000.01 - 0.30 = 1,000,000.41, with one row the filter cannot evaluate.
  std::string text = "Key\tAmount\tDiv\n";
  for (int i = 0; i < 7; ++i) {
    // appended piece by piece: "K" + std::to_string(i) trips g++ 12's false -Wrestrict
    text += 'K';
    text += std::to_string(i);
    text += "\t0.10\t1\n";
  }
  text += "K7\t1000000.01\t1\nK8\t-0.30\t0\nK9\t5\t1\n";
  const std::string ledger = P("ledger.tsv");
  WriteFile(ledger, text);
  const std::string script = P("run.txt");
  const std::string sample = P("picked.tsv");
  WriteFile(script, "<src>=file=" + ledger +
                        "\nUN <src> col=Amount cond=\"$Amount / $Div < 100\"\n"
                        "EX <src> cond=\"$Key = K9\" sample=" +
                        sample + "\n");
  const std::string log = P("record.json");
  const Result r = Tarnwick({"--log", log, "-f", script});
  ASSERT_EQ(r.status, 0) << r.err;
  const json j = ReadJson(log);
  ASSERT_EQ(j["commands"].size(), 2u);
  const json& un = j["commands"][0];
  EXPECT_EQ(un["line"], "UN file=" + ledger + " col=Amount cond=\"$Amount / $Div < 100\"");
  EXPECT_EQ(un["version"], "0.1.0");
  EXPECT_EQ(un["status"], 0);
  EXPECT_TRUE(std::regex_match(un["started"].get<std::string>(),
                               std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-9:]{8}Z")));
  ASSERT_EQ(un["inputs"].size(), 1u);
  EXPECT_EQ(un["inputs"][0]["path"], ledger);
  EXPECT_EQ(un["inputs"][0]["size"], static_cast<std::int64_t>(text.size()));
  EXPECT_EQ(un["inputs"][0]["sha256"], Sha256sum(ledger));
  EXPECT_EQ(un["rows"]["read"], 10);
  // K8 divides by zero: not evaluated, not selected; K7 fails the condition.
  EXPECT_EQ(un["rows"]["not_evaluated"], 1);
  EXPECT_EQ(un["rows"]["selected"], 8);
  ASSERT_EQ(un["control_totals"].size(), 1u);
  EXPECT_EQ(un["control_totals"][0]["column"], "Amount");
  EXPECT_EQ(un["control_totals"][0]["count"], 8);
  EXPECT_EQ(un["control_totals"][0]["sum"].dump(), "5.7");  // 7 x 0.10 + 5, exactly
  const json& ex = j["commands"][1];
  ASSERT_EQ(ex["outputs"].size(), 1u);
  EXPECT_EQ(ex["outputs"][0]["path"], sample);
  EXPECT_EQ(ex["outputs"][0]["sha256"], Sha256sum(sample));

  // A second run on the same data: the same record apart from the times.
  const std::string log2 = P("record2.json");
  ASSERT_EQ(Tarnwick({"--log", log2, "-f", script}).status, 0);
  EXPECT_EQ(WithoutTimes(ReadJson(log2)), WithoutTimes(j));
}

TEST_F(RunRecord, ExactControlTotalOfTheSampleLedgerAgreesWithAnIndependentSum) {
  // The independent sum: decimal arithmetic over the Amount column, read here with getline.
  const Table t = ReadTable(Ledger());
  const int col = t.Col("Amount");
  long long cents = 0;
  for (const auto& row : t.rows) {
    const std::string& v = row[col];
    const std::size_t dot = v.find('.');
    const std::string whole = v.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : v.substr(dot + 1);
    frac.resize(2, '0');
    const long long w = std::llabs(std::stoll(whole));
    const long long c = w * 100 + std::stoll(frac);
    cents += v[0] == '-' ? -c : c;
  }
  const std::string log = P("ledger.json");
  ASSERT_EQ(Tarnwick({"--log", log, "BE file=" + Ledger() + " col=Amount"}).status, 0);
  const json j = ReadJson(log);
  EXPECT_EQ(j["commands"][0]["control_totals"][0]["count"], static_cast<long long>(t.rows.size()));
  char expected[64];
  std::snprintf(expected, sizeof expected, "%lld.%02lld", cents / 100, cents % 100);
  // The exact decimal sum, to the nearest double.
  EXPECT_EQ(j["commands"][0]["control_totals"][0]["sum"].get<double>(),
            std::strtod(expected, nullptr));
}

TEST_F(RunRecord, FailedRunIsRecordedWholeAndBadNamesAreRefused) {
  const std::string log = P("failed.json");
  const Result r = Tarnwick({"--log", log, "UN file=" + P("nowhere.tsv") + " col=Amount"});
  EXPECT_EQ(r.status, 2);
  const json j = ReadJson(log);
  EXPECT_EQ(j["commands"][0]["status"], 2);
  EXPECT_EQ(j["commands"][0]["message"], "File: " + P("nowhere.tsv") + " not found");

  const Result csv = Tarnwick({"--log", P("record.csv"), "HE"});
  EXPECT_EQ(csv.status, 2);
  EXPECT_FALSE(fs::exists(P("record.csv")));
  // Never over an input.
  const std::string input = P("input.json");
  WriteFile(input, "Amount\n1\n");
  const Result over = Tarnwick({"--log", input, "UN file=" + input + " col=Amount"});
  EXPECT_NE(over.status, 0);
  EXPECT_EQ(ReadAll(input), "Amount\n1\n");
  for (const auto& e : fs::directory_iterator(Dir()))
    EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

TEST_F(RunRecord, PasswordsNeverReachTheRecord) {
  const std::string log = P("pwd.json");
  Tarnwick({"--log", log, "UN ds=db conn=\"Driver=X;Uid=a;PWD=s3cret;\" sql=\"select 1\" col=A"});
  const std::string text = ReadAll(log);
  EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
  EXPECT_NE(text.find("PWD=***"), std::string::npos) << text;
}

TEST(Runner, VersionIsPrinted) {
  const Result r = Tarnwick({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tarnwick 0.1.0\n");
}

TEST(Runner, StaleTemporaryFilesOfDeadRunsAreRemoved) {
  const std::string tmp = P("tmp");
  fs::create_directories(tmp);
  // A process that has ended: its id is free (until reused, which a fresh child's is not).
  const pid_t dead = ::fork();
  if (dead == 0) _exit(0);
  ::waitpid(dead, nullptr, 0);
  char deadName[64], liveName[64], partName[64];
  std::snprintf(deadName, sizeof deadName, "rad%x_3_abc.tmp", static_cast<unsigned>(dead));
  std::snprintf(liveName, sizeof liveName, "rad%x_3_abc.tmp", static_cast<unsigned>(::getpid()));
  std::snprintf(partName, sizeof partName, ".rad%x_0_1f.tmp.part", static_cast<unsigned>(dead));
  for (const std::string& n : {std::string(deadName), std::string(liveName),
                               std::string("rad_notours.tmp"), std::string("radio.tmp")})
    WriteFile(tmp + "/" + n, "x");
  WriteFile(P(partName), "half a sample");
  ::setenv("TMPDIR", tmp.c_str(), 1);
  const Result r =
      Tarnwick({"EX file=" + Ledger() + " cond=\"$Amount > 999000\" sample=" + P("s.tsv")});
  ::unsetenv("TMPDIR");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(tmp + "/" + deadName));
  EXPECT_FALSE(fs::exists(P(partName)));
  EXPECT_TRUE(fs::exists(tmp + "/" + liveName));
  EXPECT_TRUE(fs::exists(tmp + "/rad_notours.tmp"));
  EXPECT_TRUE(fs::exists(tmp + "/radio.tmp"));
}

TEST(Runner, MistypedWordsGetTheNearestValidOne) {
  const std::string L = Ledger();
  struct Case {
    std::string line, err;
  } cases[] = {
      {"BF file=" + L + " col=Amount", "Command: BF is not a valid command (did you mean BE?)"},
      {"BE file=" + L + " colx=Amount",
       "Argument: colx is not a valid argument (did you mean col?)"},
      {"BE file=" + L + " col=Amout",
       "Col: Amout in file: " + L +
           " not found; the columns are: Vendor, InvNum, InvDate, Amount, "
           "Account, CheckNum, Phone (did you mean Amount?)"},
      // Nothing near: the engine's message as it stands.
      {"BE file=" + L + " col=Amount abcdefg=1", "Argument: abcdefg is not a valid argument "},
  };
  for (const Case& c : cases) {
    const Result r = Tarnwick({c.line});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.err + "\n") << c.line;
  }
}

TEST(Runner, ColumnNotFoundSaysWhenAByteOrderMarkOrSpacesExplainIt) {
  const std::string spaced = P("spaced.tsv");
  WriteFile(spaced, "Key\t Amount \n a\t1\n");
  const Result r = Tarnwick({"UN file=" + spaced + " col=Amount"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the column is named \" Amount \", with spaces around the name"),
            std::string::npos)
      << r.err;
}

}  // namespace
