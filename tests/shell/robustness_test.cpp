// Any text at all reaches these entry points from the user's keyboard or a pasted file:
// random and mutated lines must never crash or throw, and the results keep their shape.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarnwick/shell/command_shell.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/shell/symbols.h"
#include "tarnwick/shell/validation.h"

namespace tarnwick {
namespace {

constexpr std::string_view kNames[] = {
    "AGECOL",     "ACCT",     "ACCTNO",      "ACCTTYPE",   "AGEDATE",    "AGEFLD",    "AMOUNT",
    "BACKGROUND", "BARCOLOR", "BORDERCOLOR", "CHARTCOLOR", "COL",        "COL1",      "COL2",
    "COLWIDTH",   "COND",     "CONF",        "CONN",       "DATETOL",    "DS",        "EP",
    "ER",         "FALSE",    "FILE",        "FILESPEC",   "FLDNO",      "FONTNAME",  "FONTSIZE",
    "HAXIS",      "HI",       "HILITE",      "IJENO",      "IACCTNO",    "IACCTTYPE", "IAMOUNT",
    "INSHEET",    "INVAMT",   "INTVL",       "INVDATE",    "INVNO",      "ISOURCE",   "J",
    "JENO",       "LIGHT",    "NAME",        "NOBS",       "POP",        "R",         "RECAP",
    "RN",         "SAMPLE",   "SELECTED",    "SHEET",      "SIMTOL",     "SOURCE",    "SQL",
    "SS",         "STRATA",   "THEME",       "TITLE",      "TITLECOLOR", "TRANCOL",   "TRANFLD",
    "TRUE",       "TYPE",     "ULC",         "VENDNO",     "XAXIS",      "YAXIS",     "ZZZZZZ"};

const std::vector<std::string> kSeeds = {
    "BE ds=file file=/data/gl.txt col=Amount recap=Benford type=1",
    "AR ds=sel agecol=Due trancol=Amount agedate=12/31/2024 colwidth=30",
    "EX ds=file file=a.txt cond=\"amount >= 100 and vendor = 'A 1'\" recap=Big",
    "XT ds=db col1=Region col2=Type amount=Net conn=dsn sql=\"select * from t\" recap=x",
    "<ne>=<>",
    "KS sheet=S1 acct=Acct col1=2023 col2=2024 title=Change",
    "CM ds=rng sheet=S ulc=A1 col=Amt r=1 j=2 rn=7 sample=30 recap=MUS"};

const std::vector<std::string> kTokens = {"AR",
                                          "BE",
                                          "XT",
                                          "zz",
                                          "ds",
                                          "file",
                                          "FILE",
                                          "sel",
                                          "rng",
                                          "db",
                                          "col",
                                          "col1",
                                          "recap",
                                          "=",
                                          "==",
                                          "\"",
                                          " ",
                                          "  ",
                                          "\t",
                                          "<",
                                          ">",
                                          "<ne>",
                                          "<x>",
                                          "\r",
                                          "\n",
                                          "x",
                                          "Amount",
                                          "\xC3\xA9",
                                          "\xFF",
                                          "\x80",
                                          std::string(1, '\0'),
                                          "1/2/2024",
                                          "-1.5e3",
                                          "'",
                                          "\\"};

class Fuzzer {
 public:
  explicit Fuzzer(unsigned seed) : rng_(seed) {}

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }
  char AnyByte() { return static_cast<char>(Below(256)); }

  std::string RandomBytes(std::size_t len) {
    std::string s;
    for (std::size_t i = 0; i < len; ++i) s += AnyByte();
    return s;
  }
  std::string TokenSoup(std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i) s += kTokens[Below(kTokens.size())];
    return s;
  }
  std::string Mutate(std::string s) {
    const std::size_t edits = 1 + Below(6);
    for (std::size_t e = 0; e < edits; ++e) {
      const std::size_t at = s.empty() ? 0 : Below(s.size() + 1);
      switch (Below(5)) {
        case 0: s.insert(at, 1, AnyByte()); break;
        case 1:
          if (at < s.size()) s.erase(at, 1 + Below(4));
          break;
        case 2:
          if (at < s.size()) s[at] = AnyByte();
          break;
        case 3: s.insert(at, kTokens[Below(kTokens.size())]); break;
        default: s.resize(at); break;
      }
    }
    return s;
  }
  std::string Line() {
    switch (Below(4)) {
      case 0: return RandomBytes(Below(80));
      case 1: return TokenSoup(Below(30));
      default: return Mutate(kSeeds[Below(kSeeds.size())]);
    }
  }

 private:
  std::mt19937 rng_;
};

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// Runs every entry point on one line and checks the shapes of the results.
void Exercise(const std::string& line, cSym& sym) {
  SCOPED_TRACE(testing::Message() << "line of " << line.size()
                                  << " bytes: " << line.substr(0, 200));
  cShell sh;
  ASSERT_NO_THROW(sh.HandleCmd(line));
  EXPECT_LE(sh.CmdName().size(), 2u);
  if (sh.ErrStatus()) {
    EXPECT_TRUE(StartsWith(sh.ErrMsg(), "Command: ") || StartsWith(sh.ErrMsg(), "Argument: "));
  }
  for (std::int16_t i = 0; i <= 100; ++i) {
    const std::string pair = sh.ArgPair(i);
    if (pair.empty()) continue;
    ASSERT_LT(i, 70);
    EXPECT_TRUE(StartsWith(pair, std::string(kNames[i]) + "="));
    EXPECT_EQ(pair.find('"'), std::string::npos);  // quotes are never stored
  }

  cNVal nval;
  bool ok = true;
  ASSERT_NO_THROW(ok = nval.checkit(line));
  if (!ok) {
    EXPECT_TRUE(StartsWith(nval.ErrMsg(), "missing: ") || StartsWith(nval.ErrMsg(), "Command: ") ||
                StartsWith(nval.ErrMsg(), "Argument: "));
  }
  cOVal oval;
  ASSERT_NO_THROW(ok = oval.checkit(line));
  if (!ok) {
    EXPECT_TRUE(StartsWith(oval.ErrMsg(), "missing: ") || StartsWith(oval.ErrMsg(), "Command: ") ||
                StartsWith(oval.ErrMsg(), "Argument: "));
  }
  for (const std::string& list : {nval.Getit(line), oval.GetitReq(line), oval.GetitOpt(line)}) {
    if (!list.empty()) {
      EXPECT_EQ(list.back(), ' ');
    }
  }

  cVal val;
  for (const std::string& code : {sh.CmdName(), line.substr(0, 2), line}) {
    Variant r;
    ASSERT_NO_THROW(r = val.Val(code, sh));
    EXPECT_EQ(r.ToBool(), val.Err());
  }

  const std::string before = sym.TranVal();
  ASSERT_NO_THROW(sym.Text(line));
  if (sym.DidTran()) {
    EXPECT_EQ(sym.TranVal(), before);
  }
}

TEST(RobustnessTest, RandomAndMutatedLines) {
  Fuzzer fz(20241208);
  cSym sym;  // shared, so definitions from earlier lines take part in later translations
  for (int i = 0; i < 20000; ++i) {
    Exercise(fz.Line(), sym);
    if (HasFatalFailure()) return;
  }
}

TEST(RobustnessTest, HundredKilobyteLines) {
  Fuzzer fz(7);
  std::string pairs = "AR";
  while (pairs.size() < 100'000) pairs += " file=x col=\"a b\"";
  std::vector<std::string> lines = {
      fz.RandomBytes(100'000),
      fz.TokenSoup(30'000),
      pairs,
      "EX cond=\"" + std::string(100'000, 'a'),  // quote left open
      "BE title=" + std::string(100'000, '"'),   // nothing but quotes
      std::string(100'000, ' '),
      std::string(100'000, '\t'),
      std::string(100'000, '='),
      "BE " + std::string(100'000, 'x') + "=1",  // a huge bad name
      "<" + std::string(50'000, 'n') + ">=" + std::string(50'000, 'v'),
      "<" + std::string(50'000, 'n') + ">",
  };
  cSym sym;
  for (const std::string& line : lines) {
    Exercise(line, sym);
    if (HasFatalFailure()) return;
  }
  cShell sh;
  sh.HandleCmd(pairs);
  EXPECT_FALSE(sh.ErrStatus());
  EXPECT_EQ(sh.geta("col"), "a b");
}

// Whatever bytes a value holds, quoting it stores it unchanged, under any spelling of its name,
// in the slot of that name.
TEST(RobustnessTest, QuotedValuesRoundTripByteForByte) {
  Fuzzer fz(99);
  for (int round = 0; round < 2000; ++round) {
    std::string line = "SH";
    std::vector<std::pair<std::size_t, std::string>> given;
    const std::size_t n = 1 + fz.Below(8);
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t name = fz.Below(70);
      std::string spelled(kNames[name]);
      for (char& c : spelled)
        if (fz.Below(2) != 0 && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      std::string value;
      const std::size_t len = 1 + fz.Below(20);
      while (value.size() < len) {
        const char c = fz.AnyByte();
        if (c != '"') value += c;
      }
      line += " " + spelled + "=\"" + value + "\"";
      given.emplace_back(name, value);
    }
    cShell sh;
    sh.HandleCmd(line);
    ASSERT_FALSE(sh.ErrStatus()) << sh.ErrMsg();
    for (std::size_t k = 0; k < given.size(); ++k) {
      bool later = false;  // a later pair with the same name wins
      for (std::size_t m = k + 1; m < given.size(); ++m) later |= given[m].first == given[k].first;
      if (!later) {
        EXPECT_EQ(sh.geta(kNames[given[k].first]), given[k].second);
        // Each name has its own slot, in table order.
        EXPECT_EQ(sh.ArgPair(static_cast<std::int16_t>(given[k].first)),
                  std::string(kNames[given[k].first]) + "=" + given[k].second);
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick
