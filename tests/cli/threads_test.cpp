// Reading on several threads: every report, message, status and sample file is the one a
// single thread gives, for every thread count and block size, on files whose records straddle
// block ends (lines longer than a block, CR LF split between blocks, quoted line breaks).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "block_reader.h"
#include "cli_support.h"
#include "sources.h"
#include "tarnwick/data/typed_reader.h"

namespace {

using cli_test::ReadAll;
using cli_test::Result;
using cli_test::Tarnwick;
using tarnwick::cNFile;
using tarnwick::Variant;
using tarnwick::cli::BlockReader;
using tarnwick::cli::FileError;

// Test processes run side by side (ctest -j): each keeps its files under its own id, and
// removes them when it ends.
std::string TempPath(const std::string& name) {
  struct Files {
    std::vector<std::string> paths;
    ~Files() {
      for (const std::string& p : paths) std::remove(p.c_str());
    }
  };
  static Files files;
  const std::string path =
      ::testing::TempDir() + "/threads_" + std::to_string(::getpid()) + "_" + name;
  files.paths.push_back(path);
  return path;
}

std::string Write(const std::string& name, const std::string& text) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Sets TARNWICK_BLOCK_BYTES for the runs of one scope.
struct BlockSize {
  explicit BlockSize(std::size_t n) {
    ::setenv("TARNWICK_BLOCK_BYTES", std::to_string(n).c_str(), 1);
  }
  ~BlockSize() { ::unsetenv("TARNWICK_BLOCK_BYTES"); }
};

// A deterministic ledger; every 7th line ends CR LF, every 1000th carries a memo longer than
// any small block, and the amounts give exact and inexact sums.
std::string Ledger(int rows, bool comma) {
  const char sep = comma ? ',' : '\t';
  std::string s = comma ? "Vendor,InvNum,InvDate,Amount,Account,Zero,Memo\n"
                        : "Vendor\tInvNum\tInvDate\tAmount\tAccount\tZero\tMemo\n";
  std::uint64_t x = 88172645463325252ull;
  for (int r = 0; r < rows; ++r) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    const int vendor = static_cast<int>(x % 97);
    const int cents = static_cast<int>((x >> 8) % 10000000);
    const int day = 1 + static_cast<int>((x >> 20) % 28);
    const int month = 1 + static_cast<int>((x >> 30) % 12);
    std::string memo = "m" + std::to_string(r);
    if (r % 1000 == 17) memo.append(300, 'x');
    if (comma && r % 50 == 3) memo = "\"Acme, \"\"Inc.\"\"\nline two\r\nline three\"";
    if (comma && r % 50 == 9) memo = "say \"hi\"";  // a quote inside an unquoted field
    s += "V" + std::to_string(1000 + vendor);
    s += sep;
    s += "INV" + std::to_string(10000 + r);
    s += sep;
    s += std::to_string(month) + "/" + std::to_string(day) + "/2023";
    s += sep;
    s += (r % 13 == 0 ? "-" : "") + std::to_string(cents / 100) + "." +
         std::to_string(cents % 100 / 10) + std::to_string(cents % 10) + (r % 101 == 0 ? "7" : "");
    s += sep;
    s += std::to_string(5000 + 100 * (vendor % 9));
    s += sep;
    s += r % 11 == 0 ? "0" : "1";
    s += sep;
    s += memo;
    s += r % 7 == 0 ? "\r\n" : "\n";
  }
  return s;
}

// THREADS_TEST_ROWS shortens the large file for slow builds (the ThreadSanitizer pass).
int BigRows() {
  const char* v = std::getenv("THREADS_TEST_ROWS");
  return v && std::atoi(v) > 0 ? std::atoi(v) : 200000;
}

const std::string& BigTab() {
  static const std::string path = Write("big.tsv", Ledger(BigRows(), false));
  return path;
}
const std::string& SmallTab() {
  static const std::string path = Write("small.tsv", Ledger(6000, false));
  return path;
}
const std::string& SmallComma() {
  static const std::string path = Write("small.csv", Ledger(6000, true));
  return path;
}

struct Case {
  const char* name;
  std::string (*file)();
  std::string line;  // without file=
  bool sample = false;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::string kFilter = "cond=\"$Amount > 20000 AND $InvDate >= 6/1/2023\"";

std::vector<Case> Cases() {
  auto big = [] { return BigTab(); };
  auto tab = [] { return SmallTab(); };
  auto csv = [] { return SmallComma(); };
  return {
      {"UN", big, "UN col=Amount"},
      {"SU", big, "SU col=Vendor amount=Amount"},
      {"BE", big, "BE col=Amount type=F1"},
      {"ST", big, "ST col=Amount strata=\"0 100 1000 10000 100000\""},
      {"XT", big, "XT col1=Vendor col2=Account amount=Amount"},
      {"HO", big, "HO col=InvDate"},
      {"HOcsv", csv, "HO col=InvDate " + kFilter},
      {"EXbig", big, "EX " + kFilter, true},
      {"EXtab", tab, "EX " + kFilter, true},
      {"SUtab", tab, "SU col=Vendor amount=Amount " + kFilter},
      {"EXcsv", csv, "EX " + kFilter, true},
      {"SUcsv", csv, "SU col=Vendor amount=Amount " + kFilter},
      // rows where the filter divides by zero are not evaluated: counted the same
      {"Failures", tab, "SU col=Vendor amount=Amount cond=\"$Amount / $Zero > 1000\""},
      {"FailuresCsv", csv, "UN col=Amount cond=\"$Amount / $Zero > 1000\""},
  };
}

Result RunCase(const Case& c, int threads, const std::string& sample) {
  std::string line = c.line + " file=" + c.file();
  if (c.sample) line += " sample=" + sample;
  return Tarnwick({"--raw", "--threads", std::to_string(threads), line});
}

class SameForEveryThreadCount : public ::testing::TestWithParam<Case> {};

TEST_P(SameForEveryThreadCount, ReportMessageStatusAndSample) {
  const Case& c = GetParam();
  const std::string sample = TempPath(std::string("sample_") + c.name + ".tsv");
  const Result one = RunCase(c, 1, sample);
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_FALSE(one.out.empty());
  const std::string oneSample = c.sample ? ReadAll(sample) : std::string();
  if (c.sample) {
    ASSERT_GT(oneSample.size(), 1000u);
  }
  const bool big = c.file() == BigTab();
  for (const std::size_t block :
       big ? std::vector<std::size_t>{4096, 1 << 22} : std::vector<std::size_t>{1, 64, 300}) {
    BlockSize size(block);
    for (const int threads : {2, 3, 8}) {
      std::filesystem::remove(sample);
      const Result many = RunCase(c, threads, sample);
      const std::string at =
          " threads " + std::to_string(threads) + " block " + std::to_string(block);
      EXPECT_EQ(many.status, one.status) << at;
      EXPECT_EQ(many.err, one.err) << at;
      EXPECT_TRUE(many.out == one.out) << at;
      if (c.sample) {
        EXPECT_TRUE(ReadAll(sample) == oneSample) << at;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Threads, SameForEveryThreadCount, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A bad amount deep in the file stops every run at the same row with the same words, and no
// sample file is left behind.
TEST(Threads, BadNumberStopsAtTheSameRow) {
  std::string text = Ledger(20000, false);
  // the amount of data row 15000 (file line 15001)
  std::size_t at = 0;
  for (int n = 0; n < 15000; ++n) at = text.find('\n', at) + 1;
  const std::size_t amount = [&] {
    std::size_t p = at;
    for (int k = 0; k < 3; ++k) p = text.find('\t', p) + 1;
    return p;
  }();
  text.replace(amount, text.find('\t', amount) - amount, "12O.5");
  const std::string file = Write("bad.tsv", text);
  const std::string sample = TempPath("bad_sample.tsv");
  const std::string line =
      "CM file=" + file + " col=Amount J=50000 R=1 RN=123 cond=\"$Zero = 1\" sample=" + sample;
  std::filesystem::remove(sample);
  const Result one = Tarnwick({"--raw", "--threads", "1", line});
  EXPECT_EQ(one.status, 1);
  EXPECT_NE(one.err.find("Col: Amount on row: 15001 in file: " + file + " not numeric: 12O.5"),
            std::string::npos)
      << one.err;
  EXPECT_FALSE(std::filesystem::exists(sample));
  for (const std::size_t block : {1, 100, 65536}) {
    BlockSize size(block);
    for (const int threads : {2, 3, 8}) {
      const Result many = Tarnwick({"--raw", "--threads", std::to_string(threads), line});
      EXPECT_EQ(many.status, one.status);
      EXPECT_EQ(many.err, one.err) << threads << " " << block;
      EXPECT_EQ(many.out, one.out);
      EXPECT_FALSE(std::filesystem::exists(sample));
    }
  }
}

// A filter that shows "Too many parens" shows it once, as one thread's prepared filter does,
// however many workers meet it, and shows it before the report's rows are counted.
TEST(Threads, FilterNoticeShownOnce) {
  std::string text = "Name\tAmount\r\n";
  for (int i = 1; i <= 400; ++i)
    text += "((((((a" + std::to_string(i) + "\t" + std::to_string(i) + "\n";
  const std::string file = Write("parens.tsv", text);
  const std::string line =
      "SU file=" + file + " col=Name amount=Amount cond=\"$Name <> $Name OR $Name = $Name\"";
  const Result one = Tarnwick({"--threads", "1", line});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.err, "Too many parens\n");
  BlockSize size(64);
  for (const int threads : {2, 3, 8}) {
    const Result many = Tarnwick({"--threads", std::to_string(threads), line});
    EXPECT_EQ(many.status, 0);
    EXPECT_EQ(many.err, one.err) << threads;
    EXPECT_EQ(many.out, one.out) << threads;
  }
}

// The rows of a file as the typed reader gives them on one thread: per row its values and,
// for a tab-delimited file, its line; the reader's complaint where it stops.
struct Rows {
  std::vector<std::vector<std::string>> values;
  std::vector<std::string> lines;
  std::string error;
};

Rows OneThread(const std::string& path) {
  Rows out;
  cNFile f;
  f.FileName(Variant(path));
  if (f.ErrStatus()) {
    out.error = "header: " + f.ErrMsg();
    return out;
  }
  while (!f.Eof()) {
    f.NextRow();
    if (f.ErrStatus()) {
      out.error = f.ErrMsg() + " (w)";
      break;
    }
    std::vector<std::string> row;
    for (std::int16_t k = 0; k < f.NumCols(); ++k) row.emplace_back(f.RowCols(k));
    out.values.push_back(row);
    if (f.FileType() == "T") out.lines.emplace_back(f.RowView());
  }
  return out;
}

Rows Blocks(const std::string& path, std::size_t block, int threads) {
  Rows out;
  cNFile f;
  f.FileName(Variant(path));
  BlockReader::Layout layout;
  layout.comma = f.FileType() == "C";
  layout.columns = static_cast<std::size_t>(f.NumCols());
  layout.keep = layout.columns;
  BlockReader r(path, layout, threads, {}, block);
  try {
    while (r.Next("w")) {
      std::vector<std::string> row;
      for (std::size_t k = 0; k < layout.columns; ++k) row.emplace_back(r.Values()[k]);
      out.values.push_back(row);
      if (!layout.comma) out.lines.emplace_back(r.Line());
    }
  } catch (const FileError& e) {
    out.error = e.message;
  }
  return out;
}

struct Text {
  const char* name;
  std::string text;
  std::string error;  // the complaint expected (empty: none)
};

std::string Repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

// Every block size from one byte up cuts these records somewhere awkward.
TEST(Threads, BlocksGiveTheOneThreadRows) {
  const std::string wide = Repeat("f,", 101) + "f\n";  // 102 fields
  const std::string filler = Repeat("1,2\n", 30);
  const std::vector<Text> texts = {
      {"tab",
       "\xEF\xBB\xBF"
       "a\tb\tc\r\n1\t2\t3\r\n\r\n4\t" +
           std::string(200, 'y') + "\t6\n7\n8\t9\t10\t11\r\n\r",
       ""},
      {"tabNoEnd", "a\tb\n1\t2\n3\t4", ""},
      {"comma",
       "b,\"Na\nme\",c\r\n1,\"x, y\",3\r\n\"multi\r\nline \"\"q\"\"\",2,\"\"\nab\"c,\"d\n\"e\"\n" +
           std::string(150, 'z') + ",\"" + std::string(150, 'w') + "\n\n\",9\n,,\n\"last\",no end",
       ""},
      // beyond the rows the reader reads to guess the column types when it opens the file
      {"wide", "a,b\n" + filler + wide + "5,6\n", "Line 32 has more than 101 fields (w)"},
      {"unclosed", "a,b\n" + filler + "\"h\ne\",2\n1,\"open\nstill\n",
       "Line 34 has a quoted field that is not closed (w)"},
      {"wideUnclosed", "a,b\n" + filler + Repeat("f,", 101) + "\"open\n",
       "Line 32 has more than 101 fields (w)"},
  };
  for (const Text& t : texts) {
    const std::string path = Write(std::string("blocks_") + t.name, t.text);
    const Rows one = OneThread(path);
    EXPECT_EQ(one.error, t.error) << t.name;
    ASSERT_FALSE(one.values.empty()) << t.name;
    for (std::size_t block = 1; block <= t.text.size() + 1; block += block < 40 ? 1 : 23) {
      for (const int threads : {1, 3}) {
        const Rows many = Blocks(path, block, threads);
        EXPECT_EQ(many.values, one.values) << t.name << " block " << block;
        EXPECT_EQ(many.lines, one.lines) << t.name << " block " << block;
        EXPECT_EQ(many.error, one.error) << t.name << " block " << block;
      }
    }
  }
}

}  // namespace

namespace {

// A quoted field that runs on past the largest record a spreadsheet writes is refused on the
// line where it began, even though a quote closes it later, whatever the block size.
TEST(Threads, OverlongQuotedFieldFailsWhereOneThreadFails) {
  std::string text = "a,b\n" + Repeat("1,2\n", 30) + "3,\"";
  const std::string line(999, 'q');
  while (text.size() < cNFile::kMaxQuotedRecord + (2u << 20)) {
    text += line;
    text += '\n';
  }
  text += "\",4\n5,6\n";
  const std::string path = Write("overlong.csv", text);
  const Rows one = OneThread(path);
  EXPECT_EQ(one.error, "Line 32 has a quoted field that is not closed (w)");
  EXPECT_EQ(one.values.size(), 30u);
  for (const std::size_t block : {std::size_t{4096}, std::size_t{1} << 20, std::size_t{64} << 20}) {
    const Rows many = Blocks(path, block, 2);
    EXPECT_EQ(many.error, one.error) << block;
    EXPECT_EQ(many.values, one.values) << block;
  }
}

}  // namespace
