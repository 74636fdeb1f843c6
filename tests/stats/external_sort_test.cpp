#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../support/engine_error.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/platform/file_system.h"
#include "tarnwick/stats/amount_array.h"
#include "tarnwick/stats/external_sort.h"

namespace tarnwick {
namespace {

// ---- mQSort ----

// A 12-byte record sorted through the generic path: key first, tag to check the permutation.
struct Rec {
  std::int32_t key;
  std::int32_t tag;
  std::int32_t pad;
};

int CompareRec(const void* a, const void* b) {
  Rec x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return (x.key > y.key) - (x.key < y.key);
}

std::vector<std::int32_t> Keys(int shape, std::size_t n) {
  std::mt19937 rng(static_cast<unsigned>(shape * 7919 + n));
  std::vector<std::int32_t> k(n);
  for (std::size_t i = 0; i < n; ++i) {
    switch (shape) {
      case 0: k[i] = static_cast<std::int32_t>(rng()); break;          // random
      case 1: k[i] = static_cast<std::int32_t>(i); break;              // ascending
      case 2: k[i] = static_cast<std::int32_t>(n - i); break;          // descending
      case 3: k[i] = static_cast<std::int32_t>(rng() % 3); break;      // few distinct
      default: k[i] = static_cast<std::int32_t>((i % 2) ? i : n - i);  // organ pipe
    }
  }
  return k;
}

TEST(QSort, GenericRecordsComeOutAscendingAndComplete) {
  for (int shape = 0; shape < 5; ++shape) {
    for (std::size_t n : {0u, 1u, 2u, 3u, 17u, 100u, 5000u}) {
      const auto keys = Keys(shape, n);
      std::vector<Rec> recs(n);
      for (std::size_t i = 0; i < n; ++i) recs[i] = Rec{keys[i], static_cast<std::int32_t>(i), -1};
      mQSort::QSort(recs.data(), n, sizeof(Rec), CompareRec);
      std::vector<bool> seen(n, false);
      for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) {
          ASSERT_LE(recs[i - 1].key, recs[i].key) << shape << "/" << n;
        }
        const auto t = static_cast<std::size_t>(recs[i].tag);
        ASSERT_LT(t, n);
        ASSERT_FALSE(seen[t]);
        seen[t] = true;
        EXPECT_EQ(recs[i].key, keys[t]);
        EXPECT_EQ(recs[i].pad, -1);
      }
    }
  }
}

TEST(QSort, EngineComparisons) {
  std::vector<double> d = {3.5, -0.0, 1e-300, -7.25, 0.0, 1e14, -1e14, 3.5};
  std::vector<double> expected = d;
  std::sort(expected.begin(), expected.end());
  mQSort::QSort(d.data(), d.size(), sizeof(double), mQSort::CompareDouble);
  EXPECT_EQ(d, expected);
  // A NaN must not break the sort; it goes last.
  std::vector<double> withNan = {2.0, std::numeric_limits<double>::quiet_NaN(), -1.0, 0.5};
  mQSort::QSort(withNan.data(), withNan.size(), sizeof(double), mQSort::CompareDouble);
  EXPECT_EQ(withNan[0], -1.0);
  EXPECT_EQ(withNan[2], 2.0);
  EXPECT_TRUE(withNan[3] != withNan[3]);

  std::vector<std::int32_t> l = {5, std::numeric_limits<std::int32_t>::min(), -1,
                                 std::numeric_limits<std::int32_t>::max(), 0};
  mQSort::QSort(l.data(), l.size(), sizeof(std::int32_t), mQSort::CompareLong);
  EXPECT_TRUE(std::is_sorted(l.begin(), l.end()));
  EXPECT_EQ(mQSort::CompareLong(&l[0], &l[4]), -1);  // no overflow from subtracting
}

// ---- run files, merge, statistics and reports ----

namespace fs = std::filesystem;

// Points TMPDIR at a fresh folder for each test and checks that nothing is left in it.
class ExternalSortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    if (old != nullptr) oldTmp_ = old;
    hadTmp_ = old != nullptr;
    dir_ = fs::temp_directory_path() /
           ("tarnwick_sort_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("TMPDIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    EXPECT_EQ(Files(), std::vector<std::string>{}) << "temporary files left behind";
    if (hadTmp_) {
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    fs::remove_all(dir_);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    if (fs::exists(dir_))
      for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    return names;
  }
  std::string Write(const std::string& name, const std::string& content) const {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

using testing::CodeOf;

cNewDouble* Fill(cNewDouble& d, const std::vector<double>& amounts) {
  for (double a : amounts) d.AddItem(a);
  return &d;
}

TEST_F(ExternalSortTest, ThreeAmountsMakeOneRunFileThatIsTheOutput) {
  {
    cNewDouble d;
    Fill(d, {3, 1, 2});
    EXPECT_EQ(d.N(), 3);
    EXPECT_EQ(d.NumberBins(), 0);  // nothing read from the sort before the first report
    EXPECT_EQ(d.Max(), 0.0);
    EXPECT_NE(d.StatReport().find("Median: \t2.00\r\n"), std::string::npos);
    const cSort& s = d.Sort();
    EXPECT_EQ(s.Count(), 1);
    EXPECT_EQ(s.OutPutFile(), s.FileName(0));
    EXPECT_EQ(s.FileCount(0), "3");
    EXPECT_EQ(s.FileName(1), "");
    EXPECT_EQ(s.FileCount(4000), "0");
    EXPECT_EQ(CodeOf([&] { s.FileName(4001); }), ErrorCode::SubscriptOutOfRange);
    EXPECT_EQ(fs::path(s.OutPutFile()).parent_path(), dir_);
    EXPECT_EQ(Slurp(s.OutPutFile()), "1\r\n2\r\n3\r\n");
    // ln 3 / ln 2 = 1.58 gives 2 bins of width 1; the maximum is held in the last bin
    EXPECT_EQ(d.NumberBins(), 2);
    EXPECT_EQ(d.BinWidth(), 1.0);
    EXPECT_EQ(d.Min(), 1.0);
    EXPECT_EQ(d.Max(), 3.0);
    EXPECT_EQ(d.Sum(), Currency(6.0));
    EXPECT_EQ(d.HistoCount(0), 1);
    EXPECT_EQ(d.HistoCount(1), 2);
    EXPECT_EQ(d.HistoAmount(1), 5.0);
    EXPECT_EQ(d.HistoCount(40), 0);
    EXPECT_EQ(CodeOf([&] { d.HistoCount(41); }), ErrorCode::SubscriptOutOfRange);
    EXPECT_EQ(CodeOf([&] { d.HistoAmount(-1); }), ErrorCode::SubscriptOutOfRange);
    // Amounts after the first report are counted but do not change the figures.
    d.AddItem(100);
    EXPECT_EQ(d.N(), 4);
    EXPECT_EQ(d.Max(), 3.0);
    EXPECT_EQ(Files().size(), 1u);
  }
}

TEST_F(ExternalSortTest, SixHundredThousandAmountsMergeInQueueOrder) {
  std::mt19937 rng(17);
  std::vector<double> amounts(600000);
  // Two decimals and many repeats, as a column of amounts has.
  for (double& a : amounts)
    a = static_cast<double>(static_cast<int>(rng() % 2000001) - 1000000) / 100;
  {
    cNewDouble d;
    Fill(d, amounts);
    EXPECT_EQ(Files().size(), 2u);  // two full buffers written, the rest still in memory
    d.TopNReport();
    const cSort& s = d.Sort();
    ASSERT_EQ(s.Count(), 5);
    const char* counts[] = {"250001", "250001", "99998", "500002", "600000"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s.FileCount(i), counts[i]) << i;
    EXPECT_EQ(s.OutPutFile(), s.FileName(4));
    EXPECT_EQ(s.ItemCount(), 600000);
    // Merged runs are gone once merged; only the output remains.
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(FileExists(s.FileName(i))) << i;
    ASSERT_EQ(Files().size(), 1u);

    std::sort(amounts.begin(), amounts.end());
    TextReader in = OpenTextFile(s.OutPutFile());
    std::string expected;
    for (std::size_t i = 0; i < amounts.size(); ++i) {
      expected.clear();
      AppendNumText(expected, amounts[i]);
      ASSERT_EQ(in.ReadLineView(), expected) << "row " << i + 1;
    }
    EXPECT_TRUE(in.AtEndOfStream());
  }
}

TEST_F(ExternalSortTest, MergeTakesTheSecondFileFirstOnEqualValues) {
  struct Case {
    const char* first;
    const char* second;
    const char* merged;
  } const cases[] = {
      {"1\r\n2.0\r\n3\r\n", "1.00\r\n2\r\n4\r\n", "1.00\r\n1\r\n2\r\n2.0\r\n3\r\n4\r\n"},
      {"-5\r\n1E-05\r\n", "0.00001\r\n7\n", "-5\r\n0.00001\r\n1E-05\r\n7\r\n"},  // LF read too
      {"", "2\r\n3\r\n", "2\r\n3\r\n"},
      {"2\r\n3", "", "2\r\n3\r\n"},
      {"", "", ""},
      {"10\r\n", "9\r\n", "9\r\n10\r\n"},  // numeric, not text, order
  };
  for (const Case& c : cases) {
    const std::string a = Write("a", c.first), b = Write("b", c.second);
    const std::string out = (dir_ / "out").string();
    MergeRunFiles(a, b, out);
    EXPECT_EQ(Slurp(out), c.merged) << c.first << " + " << c.second;
    fs::remove(out);
  }
  // A line that is no number fails the merge and leaves no half-written output.
  const std::string a = Write("a", "1\r\nx\r\n"), b = Write("b", "5\r\n");
  EXPECT_EQ(CodeOf([&] { MergeRunFiles(a, b, (dir_ / "out").string()); }), ErrorCode::TypeMismatch);
  EXPECT_FALSE(fs::exists(dir_ / "out"));
  EXPECT_EQ(CodeOf([&] { MergeRunFiles((dir_ / "none").string(), b, (dir_ / "out").string()); }),
            ErrorCode::FileNotFound);
  fs::remove(dir_ / "a");
  fs::remove(dir_ / "b");
}

TEST_F(ExternalSortTest, PercentileRowsForTenAmounts) {
  cNewDouble d;
  Fill(d, {70, 10, 100, 40, 20, 90, 30, 60, 80, 50});
  // rows 1, 1, 1, 2, 5, 8, 9, 10, 10: the value of row r is 10 r
  EXPECT_EQ(d.PercentileReport(),
            "Percentiles: \r\n"
            "P1.0% : \t10\r\nP5.0% : \t10\r\nP10.0% : \t10\r\nP25.0% : \t20\r\nP50.0% : \t50\r\n"
            "P75.0% : \t80\r\nP90.0% : \t90\r\nP95.0% : \t100\r\nP99.0% : \t100\r\n"
            "Inter quartile range: 60\r\n");
  EXPECT_EQ(d.Sort().QRange(), 60.0);
}

TEST_F(ExternalSortTest, StatReportText) {
  struct Case {
    std::vector<double> amounts;
    const char* report;
  } const cases[] = {
      {{8, 4, 4, 4},
       "Stat Report: \r\nN: \t4\r\nMean:\t5.00\r\nMin: \t4.00\r\nMax: \t8.00\r\nSum: \t20.00\r\n"
       "Stdev: \t2.00\r\nMedian: \t4.00\r\nMode: \t4.00\r\nSkewness: \t2.00000\r\n"
       "Kurtosis: \t4.00000\r\nVariance: \t4.00\r\nUSS: \t112.00\r\nCSS: \t12.00\r\nSEM: \t1\r\n"
       "CV: \t0.40000\r\nPop Std Dev: \t1.73\r\nRange: \t4.00\r\nInter-Quartile Range: \t.00\r\n"},
      // All negative: the skewness keeps its sign (the long tail is below the mean).
      {{-4, -8, -4, -4},
       "Stat Report: \r\nN: \t4\r\nMean:\t-5.00\r\nMin: \t-8.00\r\nMax: \t-4.00\r\n"
       "Sum: \t-20.00\r\nStdev: \t2.00\r\nMedian: \t-4.00\r\nMode: \t-4.00\r\n"
       "Skewness: \t-2.00000\r\nKurtosis: \t4.00000\r\nVariance: \t4.00\r\nUSS: \t112.00\r\n"
       "CSS: \t12.00\r\nSEM: \t1\r\nCV: \t-0.40000\r\nPop Std Dev: \t1.73\r\nRange: \t4.00\r\n"
       "Inter-Quartile Range: \t4.00\r\n"},
      // A maximum of exactly 0 needs no division by it.
      {{0, -4, 0, 0},
       "Stat Report: \r\nN: \t4\r\nMean:\t-1.00\r\nMin: \t-4.00\r\nMax: \t.00\r\nSum: \t-4.00\r\n"
       "Stdev: \t2.00\r\nMedian: \t.00\r\nMode: \t.00\r\nSkewness: \t-2.00000\r\n"
       "Kurtosis: \t4.00000\r\nVariance: \t4.00\r\nUSS: \t16.00\r\nCSS: \t12.00\r\nSEM: \t1\r\n"
       "CV: \t-2.00000\r\nPop Std Dev: \t1.73\r\nRange: \t4.00\r\n"
       "Inter-Quartile Range: \t4.00\r\n"},
  };
  for (const Case& c : cases) {
    cNewDouble d;
    Fill(d, c.amounts);
    EXPECT_EQ(d.StatReport(), c.report);
  }
}

// The same amounts in memory and through the sort, in different orders (the sort accumulates
// each run in ascending order): the mean and USS are the same doubles, so the reports agree to
// the last printed digit, and CV (s over a mean near zero) agrees as far as s does. A plain
// running mean made CV differ in its seventh digit. Figures: python fractions.Fraction.
TEST_F(ExternalSortTest, MeanUSSAndCVAgreeWithTheInMemoryFigures) {
  std::vector<double> amounts;
  for (int k = 0; k < 50; ++k)
    for (double x : {250650816.25, -250650816.25, 0.07, 1234.567, -1234.567, 0.003})
      amounts.push_back(x);
  amounts.push_back(0.01);
  cDoubleArray a;
  for (double x : amounts) a.AddItem(x);
  cSort s;
  std::vector<double> first(amounts.begin(), amounts.begin() + 150);
  std::vector<double> second(amounts.rbegin(), amounts.rend() - 150);
  s.AddArray(first, static_cast<std::int32_t>(first.size()));
  s.AddArray(second, static_cast<std::int32_t>(second.size()));
  s.MergeFiles();
  s.CompP();
  ASSERT_EQ(s.N(), 301);
  EXPECT_EQ(a.USS(), 6.282583168831542e+18);  // a plain sum: 6.282583168831526e+18
  EXPECT_EQ(s.USS(), a.USS());
  EXPECT_NE(s.StatReport().find("\r\nUSS: \t6,282,583,168,831,542,272.00\r\n"), std::string::npos);
  EXPECT_NE(a.StatReport().find("\r\nUSS: \t6,282,583,168,831,542,272\r\n"), std::string::npos);
  // exact s / mean = 144713316.2362923 / 0.012159468438538207
  EXPECT_NEAR(a.CV() / 11901286389.924585, 1.0, 1e-13);
  EXPECT_NEAR(s.CV() / 11901286389.924585, 1.0, 1e-13);
}

TEST_F(ExternalSortTest, HistogramAndExtremeReports) {
  cNewDouble d;
  for (int v : {7, 3, 10, 1, 9, 5, 2, 8, 6, 4}) d.AddItem(v);
  // 10 amounts: round(ln 10 / ln 2) = 3 bins of width 3; 10 is limited to the last bin
  EXPECT_EQ(d.HistoReport(),
            "Bin\tStart\tEnd\tCount\tAmount\r\n"
            "1\t1.00\t4.00\t3\t6.00\r\n2\t4.00\t7.00\t3\t15.00\r\n3\t7.00\t10.00\t4\t34.00\r\n"
            "Totals: \t\t\t10\t55\r\n");
  EXPECT_EQ(d.TopNReport(3), "Position\tAmount\r\n1\t10.00\r\n2\t9.00\r\n3\t8.00\r\n");
  EXPECT_EQ(d.BottomNReport(2), "Position\tAmount\r\n1\t1.00\r\n2\t2.00\r\n");
  EXPECT_EQ(d.TopNReport(0), "Position\tAmount\r\n1\t10.00\r\n");
  EXPECT_EQ(d.BottomNReport(-4), "Position\tAmount\r\n1\t1.00\r\n");
  // limited to the number of amounts
  const std::string all = d.TopNReport(50);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 11);

  cNewDouble many;
  for (int v = 150; v >= 1; --v) many.AddItem(v * 1000.5);
  const std::string top = many.TopNReport(500);
  EXPECT_EQ(std::count(top.begin(), top.end(), '\n'), 101);
  EXPECT_EQ(top.substr(0, 31), "Position\tAmount\r\n1\t150,075.00\r\n");
  EXPECT_NE(top.find("\r\n100\t51,025.50\r\n"), std::string::npos);
  const std::string bottom = many.BottomNReport(100);
  EXPECT_NE(bottom.find("\r\n100\t100,050.00\r\n"), std::string::npos);
}

TEST_F(ExternalSortTest, NoAmountsAndIgnoredAmounts) {
  cNewDouble d;
  for (double a : {1E+15, -9.3E+14, std::numeric_limits<double>::quiet_NaN(),
                   std::numeric_limits<double>::infinity()})
    d.AddItem(a);
  EXPECT_EQ(d.N(), 0);
  EXPECT_EQ(d.HistoReport(), "Too few observations (0)");
  EXPECT_EQ(d.StatReport(), "Too few observations (0)");
  EXPECT_EQ(d.PercentileReport(), "Too few observations (0)");
  EXPECT_EQ(d.TopNReport(), "Too few observations (0)");
  EXPECT_EQ(d.BottomNReport(5), "Too few observations (0)");
  EXPECT_EQ(d.Sort().OutPutFile(), "");

  cNewDouble edge;
  edge.AddItem(9.2E+14);  // the limits themselves are amounts
  edge.AddItem(-9.2E+14);
  edge.AddItem(1);
  EXPECT_EQ(edge.N(), 3);
  EXPECT_NE(edge.StatReport().find("Range: \t1,840,000,000,000,000.00\r\n"), std::string::npos);
}

TEST_F(ExternalSortTest, TooFewOrEqualAmountsFailWithDivisionByZero) {
  const std::vector<std::vector<double>> cases = {{5}, {1, 2}, {-3, 4}, {7, 7, 7, 7}};
  for (const auto& amounts : cases) {
    cNewDouble d;
    Fill(d, amounts);
    EXPECT_EQ(CodeOf([&] { d.StatReport(); }), ErrorCode::DivisionByZero) << amounts.size();
    EXPECT_EQ(Files(), std::vector<std::string>{}) << "files kept after a failed finish";
    // The failure stays on record; nothing half-computed is reported later.
    EXPECT_EQ(CodeOf([&] { d.PercentileReport(); }), ErrorCode::DivisionByZero);
    EXPECT_EQ(d.NumberBins(), 0);
  }
}

TEST_F(ExternalSortTest, AmountsTooLargeToAccumulate) {
  const std::string tooLarge = "Error occured - data too large to process";
  {
    cNewDouble d;
    Fill(d, {9E+14, 1, 9E+14});  // the fixed-point sum overflows
    EXPECT_EQ(d.PercentileReport(), tooLarge);
    EXPECT_EQ(d.StatReport(), tooLarge);
    EXPECT_TRUE(d.Sort().Error());
    EXPECT_EQ(d.Sort().Count(), 0);  // the incomplete run file is dropped
    EXPECT_EQ(Files(), std::vector<std::string>{});
  }
  {
    cSort s;
    std::vector<double> a = {3, 1, 2};
    s.AddArray(a, 3);
    EXPECT_EQ(a, (std::vector<double>{1, 2, 3}));  // sorted in place
    std::vector<double> b = {8E+14, 7E+14};
    EXPECT_FALSE(s.AddArray(b, 2));
    EXPECT_TRUE(s.Error());
    EXPECT_EQ(s.Count(), 1);
    EXPECT_FALSE(s.Simple(1.0));  // refused from now on
    EXPECT_EQ(s.N(), 4);          // 1, 2, 3 and 7E+14 were accumulated
    EXPECT_EQ(s.MergeFiles(), Variant{});
    s.CompP();
    EXPECT_EQ(s.PercentileReport(), tooLarge);
    EXPECT_EQ(Files().size(), 1u);  // the first run, held until the sort goes
  }
}

TEST_F(ExternalSortTest, SimpleAccumulatesRoundedAmounts) {
  cSort s;
  EXPECT_FALSE(s.Simple(9.2000001E+14));
  EXPECT_TRUE(s.Simple(1.23456));
  EXPECT_TRUE(s.Simple(-2.00005));
  EXPECT_TRUE(s.Simple(0));
  EXPECT_EQ(s.N(), 3);
  EXPECT_EQ(s.Min(), -2.0);  // halves to even at four decimals
  EXPECT_EQ(s.Max(), 1.2346);
  EXPECT_EQ(s.Sum(), Currency::FromRaw(12346 - 20000));
  EXPECT_DOUBLE_EQ(s.USS(), 1.23456 * 1.23456 + 2.00005 * 2.00005);
  EXPECT_EQ(s.Range(), 3.2346);
  EXPECT_FALSE(s.Error());
  EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(ExternalSortTest, FileFailuresLeaveNothingBehind) {
  {
    // A run file that has vanished fails the merge; its partner and the half-made merge go.
    cSort s;
    std::vector<double> a = {1, 2}, b = {3, 4};
    s.AddArray(a, 2);
    s.AddArray(b, 2);
    fs::remove(s.FileName(0));
    EXPECT_EQ(CodeOf([&] { s.MergeFiles(); }), ErrorCode::FileNotFound);
    EXPECT_EQ(Files().size(), 1u);
  }
  {
    // No temporary folder: the first run file cannot be created.
    setenv("TMPDIR", (dir_ / "missing").c_str(), 1);
    cNewDouble d;
    Fill(d, {1, 2, 3});
    EXPECT_EQ(CodeOf([&] { d.HistoReport(); }), ErrorCode::FileNotFound);
    EXPECT_EQ(CodeOf([&] { d.HistoReport(); }), ErrorCode::FileNotFound);
    setenv("TMPDIR", dir_.c_str(), 1);
  }
}

TEST_F(ExternalSortTest, AtMost4001RunAndMergeFiles) {
  cSort s;
  std::vector<double> one = {1};
  for (int i = 0; i < cSort::kMaxFiles; ++i) s.AddArray(one, 1);
  EXPECT_EQ(s.Count(), 4001);
  EXPECT_NE(s.FileName(4000), "");
  EXPECT_EQ(CodeOf([&] { s.AddArray(one, 1); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(s.Count(), 4001);
  EXPECT_EQ(CodeOf([&] { s.MergeFiles(); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(Files().size(), 4001u);
}

}  // namespace
}  // namespace tarnwick
