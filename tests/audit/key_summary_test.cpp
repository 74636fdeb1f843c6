#include "tarnwick/audit/key_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../support/engine_error.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/report_text.h"

namespace tarnwick {
namespace {

// Prefix and number; built by appending, which also keeps g++ 12's -Wrestrict quiet.
std::string Key(const char* prefix, long n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

using testing::CodeOf;

TEST(StringArray, PerKeyFiguresForTheWorkedExample) {
  cStringArray sa;
  sa.Item("A", 10);
  sa.Item("A", -4);
  sa.Item("B", 5);
  EXPECT_EQ(sa.TotalCount(), 1);
  EXPECT_EQ(sa.TotalAmount(), Currency(11.0));
  EXPECT_EQ(sa.ItemText(0), "A");
  EXPECT_EQ(sa.ItemCount(0), 2);
  EXPECT_EQ(sa.ItemAmount(0), Currency(6.0));
  EXPECT_EQ(sa.ItemDRAmount(0), Currency(10.0));
  EXPECT_EQ(sa.ItemCRAmount(0), Currency(-4.0));
  EXPECT_DOUBLE_EQ(sa.ItemMean(0), 3.0);
  EXPECT_NEAR(sa.ItemStd(0), 9.899495, 1e-6);
  EXPECT_EQ(sa.ItemMin(0), Currency(-4.0));
  EXPECT_EQ(sa.ItemMax(0), Currency(10.0));
  // one item: no spread, minimum = maximum
  EXPECT_EQ(sa.ItemStd(1), 0.0);
  EXPECT_EQ(sa.ItemMin(1), Currency(5.0));
  EXPECT_EQ(sa.ItemMax(1), Currency(5.0));
  EXPECT_EQ(sa.ItemCRAmount(1), Currency());

  EXPECT_EQ(sa.SummaryReport(),
            "Summary Report\r\n"
            "Variable\tCount\tTotal\tDebits\tCredits\tAverage\tMinimum\tMaximum\tStd Dev\r\n"
            "A\t2\t6.00\t10.00\t-4.00\t3.00\t-4.00\t10.00\t9.90\r\n"
            "B\t1\t5.00\t5.00\t.00\t5.00\t5.00\t5.00\t.00\r\n"
            "Totals\t3\t11.00\t15.00\t-4.00\r\n");
  EXPECT_EQ(sa.DuplicateReport(),
            "Duplicate Report\r\n"
            "Variable\tCount\tTotal\tDebits\tCredits\r\n"
            "A\t2\t6.00\t10.00\t-4.00\r\n");
}

TEST(StringArray, OutOfRangeIndexesReadAsEmpty) {
  cStringArray sa;
  EXPECT_EQ(sa.TotalCount(), -1);
  sa.Item("k", 2);
  for (std::int32_t i : {-1, 1, 1000000}) {
    EXPECT_EQ(sa.ItemText(i), "");
    EXPECT_EQ(sa.ItemCount(i), 0);
    EXPECT_EQ(sa.ItemAmount(i), Currency());
    EXPECT_EQ(sa.ItemMean(i), 0.0);
    EXPECT_EQ(sa.ItemMax(i), Currency());
  }
}

TEST(StringArray, RunningMeanAndDeviationMatchTwoPassValues) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> key(0, 40);
  std::uniform_int_distribution<std::int64_t> cents(-5000000, 5000000);
  std::map<std::string, std::vector<double>> byKey;
  cStringArray sa;
  for (int i = 0; i < 20000; ++i) {
    const std::string k = Key("K", key(gen));
    const double d = static_cast<double>(cents(gen)) / 100.0;
    byKey[k].push_back(d);
    sa.Item(k, d);
  }
  ASSERT_EQ(sa.TotalCount() + 1, static_cast<std::int32_t>(byKey.size()));
  for (std::int32_t i = 0; i <= sa.TotalCount(); ++i) {
    const std::vector<double>& v = byKey.at(sa.ItemText(i));
    double sum = 0;
    for (double x : v) sum += x;
    const double mean = sum / static_cast<double>(v.size());
    double ss = 0;
    for (double x : v) ss += (x - mean) * (x - mean);
    const double sd = std::sqrt(ss / static_cast<double>(v.size() - 1));
    EXPECT_NEAR(sa.ItemMean(i), mean, 1e-7 * (1 + std::fabs(mean))) << sa.ItemText(i);
    EXPECT_NEAR(sa.ItemStd(i), sd, 1e-9 * sd) << sa.ItemText(i);
    EXPECT_EQ(sa.ItemCount(i), static_cast<std::int32_t>(v.size()));
  }
  // The textbook sample: 2, 4, 4, 4, 5, 5, 7, 9 has mean 5 and sample deviation sqrt(32/7).
  cStringArray t;
  for (double x : {2.0, 4.0, 4.0, 4.0, 5.0, 5.0, 7.0, 9.0}) t.Item("x", x);
  EXPECT_DOUBLE_EQ(t.ItemMean(0), 5.0);
  EXPECT_NEAR(t.ItemStd(0), std::sqrt(32.0 / 7.0), 1e-12);
}

TEST(StringArray, KeysMatchExactlyAndKeepFirstAppearanceOrder) {
  // Many keys in shuffled, repeated order against a plain map; catches lost or merged keys in
  // the index, including while it grows.
  std::mt19937 gen(11);
  std::vector<std::string> keys;
  for (int i = 0; i < 30000; ++i) keys.push_back(Key("v", i * 7919 % 100003));
  keys.push_back("Case");
  keys.push_back("case");
  keys.push_back("");
  keys.push_back("case ");
  // around the length kept inside a record, and well beyond it
  for (int len : {27, 28, 29, 64}) {
    keys.push_back(std::string(static_cast<std::size_t>(len), 'k'));
    keys.push_back(std::string(static_cast<std::size_t>(len - 1), 'k') + "K");
  }
  std::uniform_int_distribution<std::size_t> pick(0, keys.size() - 1);
  std::vector<std::string> firstOrder;
  std::map<std::string, std::int32_t> counts;
  cStringArray sa;
  for (int i = 0; i < 150000; ++i) {
    const std::string& k = keys[pick(gen)];
    const int repeat = i % 5 == 0 ? 3 : 1;  // runs of one key exercise the memory
    for (int r = 0; r < repeat; ++r) {
      if (counts[k]++ == 0) firstOrder.push_back(k);
      sa.Item(k, 1);
    }
  }
  // A copy is independent of the original.
  cStringArray copy = sa;
  copy.Item(keys.back(), 1000);
  copy.Item("only in the copy, and longer than a record holds", 1);
  ASSERT_EQ(copy.TotalCount(), sa.TotalCount() + 1);
  ASSERT_EQ(sa.TotalCount() + 1, static_cast<std::int32_t>(firstOrder.size()));
  for (std::size_t i = 0; i < firstOrder.size(); ++i) {
    const auto idx = static_cast<std::int32_t>(i);
    ASSERT_EQ(sa.ItemText(idx), firstOrder[i]);
    ASSERT_EQ(sa.ItemCount(idx), counts[firstOrder[i]]);
    ASSERT_EQ(sa.ItemAmount(idx), Currency(static_cast<double>(counts[firstOrder[i]])));
  }
}

std::vector<std::string> SplitTabs(std::string_view line) {
  std::vector<std::string> f;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    f.emplace_back(
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return f;
    start = tab + 1;
  }
}

TEST(StringArray, ReportFieldsAreThoseOfTheNumberPatterns) {
  // Amounts of every size and sign, with halves at the second decimal, rendered in the reports
  // exactly as the shared number patterns render them.
  std::mt19937_64 gen(5);
  std::uniform_int_distribution<int> digits(0, 13), sign(0, 1), key(0, 300);
  cStringArray sa;
  cStringBy sb;
  std::map<std::string, Currency> sums;
  for (int i = 0; i < 6000; ++i) {
    double d = std::ldexp(static_cast<double>(gen() >> 11), -53) * std::pow(10.0, digits(gen) - 2);
    if (i % 7 == 0) d = std::round(d * 1000.0) / 1000.0 + 0.005;
    if (i % 11 == 0) d = std::round(d * 1000.0) / 1000.0 + 0.00005;  // halves of the fourth decimal
    if (sign(gen)) d = -d;
    const std::string k = Key("k", key(gen));
    sa.Item(k, d);
    sums[k] += Currency::FromDouble(d);
    sb.Item(Key("k", key(gen)), "x", d);
  }
  const std::string report = sa.SummaryReport();
  std::size_t pos = report.find("\r\n", report.find("\r\n") + 2) + 2;
  for (std::int32_t i = 0; i <= sa.TotalCount(); ++i) {
    const std::size_t end = report.find("\r\n", pos);
    const std::vector<std::string> f = SplitTabs(std::string_view(report).substr(pos, end - pos));
    pos = end + 2;
    ASSERT_EQ(f.size(), 9u);
    EXPECT_EQ(f[0], sa.ItemText(i));
    EXPECT_EQ(f[1], std::to_string(sa.ItemCount(i)));
    const char* p = "##,###,###.00";
    EXPECT_EQ(sa.ItemAmount(i), sums[f[0]]);
    EXPECT_EQ(f[2], FormatNumber(sa.ItemAmount(i), p));
    EXPECT_EQ(f[3], FormatNumber(sa.ItemDRAmount(i), p));
    EXPECT_EQ(f[4], FormatNumber(sa.ItemCRAmount(i), p));
    EXPECT_EQ(f[5], FormatNumber(sa.ItemMean(i), p));
    EXPECT_EQ(f[6], FormatNumber(sa.ItemMin(i), p));
    EXPECT_EQ(f[7], FormatNumber(sa.ItemMax(i), p));
    EXPECT_EQ(f[8], FormatNumber(sa.ItemStd(i), p));
  }
  const std::string byReport = sb.SummaryReport();
  pos = byReport.find("\r\n", byReport.find("\r\n") + 2) + 2;
  for (std::int32_t i = 0; i <= sb.TotalCount(); ++i) {
    const std::size_t end = byReport.find("\r\n", pos);
    const std::vector<std::string> f = SplitTabs(std::string_view(byReport).substr(pos, end - pos));
    pos = end + 2;
    ASSERT_EQ(f.size(), 10u);
    const char* p = "##,###,###.00";
    EXPECT_EQ(f[3], FormatNumber(sb.ItemAmount(i), p));
    EXPECT_EQ(f[6], FormatNumber(sb.ItemMean(i), p));
    EXPECT_EQ(f[9], FormatNumber(sb.ItemStd(i), p));
  }
}

TEST(StringArray, DuplicateReportLayouts) {
  // Occurrences only: the count-only layout.
  cStringArray countOnly;
  for (const char* k : {"X", "Y", "X", "Z", "X", "Z"}) countOnly.Item(k);
  EXPECT_EQ(countOnly.DuplicateReport(), "Duplicate Report\r\nVariable\tCount\r\nX\t3\r\nZ\t2\r\n");

  // A balanced journal sums to zero but its amounts must still be shown.
  cStringArray journal;
  journal.Item("J1", 1234567.5);
  journal.Item("J1", -1234567.5);
  journal.Item("J2", 50);
  journal.Item("J3", -25);
  journal.Item("J3", -25);
  EXPECT_EQ(journal.TotalAmount(), Currency());
  EXPECT_EQ(journal.DuplicateReport(),
            "Duplicate Report\r\n"
            "Variable\tCount\tTotal\tDebits\tCredits\r\n"
            "J1\t2\t.00\t1,234,567.50\t-1,234,567.50\r\n"
            "J3\t2\t-50.00\t.00\t-50.00\r\n");
}

TEST(StringArray, ParetoKeepsTheElevenLargestAbsoluteTotals) {
  cStringArray three;
  three.Item("up", 100);
  three.Item("down", -300);
  three.Item("none", 0);
  three.ComputePareto();
  EXPECT_EQ(three.ParItem(0), "down");
  EXPECT_EQ(three.ParVal(0), 300.0);
  EXPECT_EQ(three.ParItem(1), "up");
  EXPECT_EQ(three.ParVal(1), 100.0);
  for (std::int16_t i = 2; i <= 10; ++i) {
    EXPECT_EQ(three.ParItem(i), "");
    EXPECT_EQ(three.ParVal(i), 0.0);
  }
  EXPECT_EQ(three.ParOther(), 0.0);

  cStringArray twelve;
  for (int v = 1; v <= 12; ++v) twelve.Item(Key("k", v), v);
  twelve.ComputePareto();
  for (std::int16_t i = 0; i <= 10; ++i) {
    EXPECT_EQ(twelve.ParVal(i), 12.0 - i);
    EXPECT_EQ(twelve.ParItem(i), Key("k", 12 - i));
  }
  EXPECT_EQ(twelve.ParOther(), 1.0);

  // Equal totals: a later key does not displace an equal one, and the sort keeps their order.
  cStringArray ties;
  for (int v = 0; v < 12; ++v) ties.Item(Key("t", v), v == 5 ? 2 : 1);
  ties.ComputePareto();
  EXPECT_EQ(ties.ParItem(0), "t5");
  EXPECT_EQ(ties.ParItem(1), "t0");
  EXPECT_EQ(ties.ParItem(10), "t10");
  EXPECT_EQ(ties.ParOther(), 1.0);
  // Recomputing from the same records gives the same table.
  ties.ComputePareto();
  EXPECT_EQ(ties.ParOther(), 1.0);

  EXPECT_EQ(CodeOf([&] { (void)ties.ParItem(11); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(CodeOf([&] { (void)ties.ParVal(-1); }), ErrorCode::SubscriptOutOfRange);
}

TEST(StringArray, OverflowLeavesTheSummaryUnchanged) {
  cStringArray sa;
  sa.Item("a", 900000000000000.0);
  EXPECT_EQ(CodeOf([&] { sa.Item("a", 900000000000000.0); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([&] { sa.Item("b", 1e16); }), ErrorCode::Overflow);
  EXPECT_EQ(sa.TotalCount(), 0);
  EXPECT_EQ(sa.ItemCount(0), 1);
  EXPECT_EQ(sa.TotalAmount(), Currency(900000000000000.0));
}

// ---------------------------------------------------------------------------------------------

using Pair = std::pair<std::string, std::string>;

// The described passes, written out plainly.
std::vector<Pair> PlainPasses(std::vector<Pair> v, int iterations) {
  for (int pass = 0; pass <= iterations; ++pass) {
    bool swapped = false;
    for (std::size_t j = 0; j + 1 < v.size(); ++j) {
      const Pair& l = v[j];
      const Pair& r = v[j + 1];
      if (l.first > r.first || (l.first == r.first && l.second >= r.second)) {
        std::swap(v[j], v[j + 1]);
        swapped = true;
      }
    }
    if (!swapped) break;
  }
  return v;
}

std::vector<Pair> Records(const cStringBy& sb) {
  std::vector<Pair> v;
  for (std::int32_t i = 0; i <= sb.TotalCount(); ++i)
    v.emplace_back(sb.ItemText1(i), sb.ItemText2(i));
  return v;
}

TEST(StringArray, BatchedItemsEqualItemByItem) {
  // Batches of odd sizes, with keys new to the summary, repeated within a batch, 30 bytes long
  // (beyond the in-record text), and amounts of both signs.
  std::mt19937 rng(3);
  std::vector<std::string> keys;
  std::vector<double> amounts;
  for (int i = 0; i < 50000; ++i) {
    const unsigned k = rng() % 5000;
    std::string key = k % 7 == 0 ? "long-key-beyond-the-record-" : "K";
    key += std::to_string(k);
    keys.push_back(key);
    amounts.push_back(static_cast<double>(static_cast<int>(rng() % 2000001) - 1000000) / 100.0);
  }
  cStringArray one, batched;
  for (std::size_t i = 0; i < keys.size(); ++i) one.Item(keys[i], amounts[i]);
  std::vector<std::string_view> views(keys.begin(), keys.end());
  for (std::size_t from = 0, size = 1; from < views.size();
       from += size, size = size * 3 % 97 + 1) {
    const std::size_t n = std::min(size, views.size() - from);
    batched.Items(views.data() + from, amounts.data() + from, n);
  }
  EXPECT_EQ(batched.TotalCount(), one.TotalCount());
  EXPECT_EQ(batched.SummaryReport(), one.SummaryReport());
  EXPECT_EQ(batched.DuplicateReport(), one.DuplicateReport());
  batched.Items(nullptr, nullptr, 0);
  EXPECT_EQ(batched.SummaryReport(), one.SummaryReport());
}

TEST(StringBy, PairsAreKeysAndReportsUseTheirOwnHeaders) {
  cStringBy sb;
  sb.Item("V1", "I1", 10);
  sb.Item("V1", "", 1);
  sb.Item("V", "1I1", 1);
  sb.Item("V1", "I1", 20);
  sb.Item("V2", "I9", -5);
  sb.Item("v1", "I1", 0);
  ASSERT_EQ(sb.TotalCount(), 4);
  EXPECT_EQ(sb.ItemCount(0), 2);
  EXPECT_NEAR(sb.ItemStd(0), std::sqrt(50.0), 1e-12);
  EXPECT_EQ(sb.TotalAmount(), 27.0);
  EXPECT_EQ(sb.ItemText2(1), "");
  EXPECT_EQ(sb.ItemText1(5), "");
  EXPECT_EQ(sb.ItemMin(-1), 0.0);

  cStringBy r;
  r.Item("V1", "I1", 10);
  r.Item("V1", "I1", 20);
  r.Item("V2", "I9", -5);
  EXPECT_EQ(
      r.SummaryReport(),
      "Summary Report\r\n"
      "Variable1\tVariable 2\tCount\tTotal\tDebits\tCredits\tAverage\tMinimum\tMaximum\tStd Dev\r\n"
      "V1\tI1\t2\t30.00\t30.00\t.00\t15.00\t10.00\t20.00\t7.07\r\n"
      "V2\tI9\t1\t-5.00\t.00\t-5.00\t-5.00\t-5.00\t-5.00\t.00\r\n"
      "Totals\t\t3\t25.00\t30.00\t-5.00\r\n");
  r.Item("V2", "I9", 1234567.25);
  EXPECT_EQ(r.DuplicateReport(),
            "Duplicate Report\r\n"
            "Variable1\tVariable2\tCount\tTotal\tDebits\tCredits\r\n"
            "V1\tI1\t2\t30.00\t30.00\t.00\r\n"
            "V2\tI9\t2\t1,234,562.25\t1,234,567.25\t-5.00\r\n"
            "Totals\t\t4\t1,234,592.25\t1,234,597.25\t-5.00\r\n");
}

TEST(StringBy, BubblePassesOnTheWorkedExample) {
  const std::vector<Pair> start = {{"B", "A"}, {"A", "Z"}, {"A", "B"}};
  const std::vector<std::pair<int, std::vector<Pair>>> cases = {
      {-1, start},
      {0, {{"A", "Z"}, {"A", "B"}, {"B", "A"}}},
      {1, {{"A", "B"}, {"A", "Z"}, {"B", "A"}}},
      {5, {{"A", "B"}, {"A", "Z"}, {"B", "A"}}},
  };
  for (const auto& [iterations, expected] : cases) {
    cStringBy sb;
    for (const Pair& p : start) sb.Item(p.first, p.second, 1);
    sb.bubblesort(iterations);
    EXPECT_EQ(Records(sb), expected) << iterations;
  }
  cStringBy sb;
  sb.Item("a", "b", 1);
  EXPECT_EQ(CodeOf([&] { sb.bubblesort(32768); }), ErrorCode::Overflow);
  EXPECT_NO_THROW(sb.bubblesort(32767));
}

TEST(StringBy, SortEqualsThePlainPassesOnRandomData) {
  std::mt19937 gen(2024);
  const std::vector<std::string> firsts = {"",
                                           "A",
                                           "B",
                                           "AB",
                                           "b",
                                           "Ab",
                                           "\xc3\xa9",
                                           "CONSOLIDATED FREIGHT SERVICES INC",
                                           "CONSOLIDATED FREIGHT SERVICES INC."};
  std::uniform_int_distribution<std::size_t> pickFirst(0, firsts.size() - 1);
  std::uniform_int_distribution<int> len(0, 3), ch(0, 3);
  const char letters[] = {'a', 'b', 'A', 'B'};
  for (int trial = 0; trial < 400; ++trial) {
    const int n = trial < 300 ? trial % 40 : 1500;
    cStringBy sb;
    for (int i = 0; i < n; ++i) {
      std::string second;
      for (int k = len(gen); k > 0; --k) second += letters[ch(gen)];
      sb.Item(firsts[pickFirst(gen)], second, 1);
    }
    const std::vector<Pair> before = Records(sb);
    const int size = static_cast<int>(before.size());
    std::uniform_int_distribution<int> iters(-2, trial < 300 ? size + 2 : 60);
    const int iterations = iters(gen);
    sb.bubblesort(iterations);
    ASSERT_EQ(Records(sb), PlainPasses(before, iterations))
        << "records " << size << ", iterations " << iterations;
  }
}

TEST(StringBy, ItemsAfterSortingReachTheirOwnRecords) {
  cStringBy sb;
  sb.Item("B", "A", 1);
  sb.Item("A", "Z", 2);
  sb.Item("A", "B", 3);
  sb.Item("B", "A", 10);  // found by lookup: this pair is now remembered
  sb.bubblesort(5);
  sb.Item("B", "A", 100);
  sb.Item("A", "Z", 1000);
  EXPECT_EQ(Records(sb), (std::vector<Pair>{{"A", "B"}, {"A", "Z"}, {"B", "A"}}));
  EXPECT_EQ(sb.ItemAmount(0), 3.0);
  EXPECT_EQ(sb.ItemAmount(1), 1002.0);
  EXPECT_EQ(sb.ItemAmount(2), 111.0);
  EXPECT_EQ(sb.ItemCount(2), 3);
}

// ---------------------------------------------------------------------------------------------

TEST(SimpleArray, RowsAreFilledElementByElement) {
  cSimpleArray a;
  a.Item("x", 1, 0, false);
  EXPECT_EQ(a.TotalCount(), 0);
  EXPECT_EQ(a.ItemText(0), "");  // not complete yet
  a.Item("x", 2, 1, false);
  a.Item("x", 3, 2, true);
  a.Item("y", 9, 5, true);
  ASSERT_EQ(a.TotalCount(), 2);
  EXPECT_EQ(a.ItemText(0), "x");
  const double expected[2][6] = {{1, 2, 3, 0, 0, 0}, {0, 0, 0, 0, 0, 9}};
  for (std::int32_t row = 0; row < 2; ++row)
    for (std::int16_t e = 0; e < 6; ++e) {
      std::int16_t elem = e;
      EXPECT_EQ(a.ItemAmount(row, elem), expected[row][e]);
    }

  struct Clamp {
    std::int16_t in, out;
    double value;
  };
  for (const Clamp& c : {Clamp{-3, 0, 1}, Clamp{6, 5, 0}, Clamp{32767, 5, 0}}) {
    std::int16_t elem = c.in;
    EXPECT_EQ(a.ItemAmount(0, elem), c.value);
    EXPECT_EQ(elem, c.out);
  }
  std::int16_t elem = 9;
  EXPECT_EQ(a.ItemAmount(2, elem), 0.0);
  EXPECT_EQ(elem, 5);
  EXPECT_EQ(a.ItemText(-1), "");

  EXPECT_EQ(CodeOf([&] { a.Item("z", 1, 6, true); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(CodeOf([&] { a.Item("z", 1, -1, true); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(a.TotalCount(), 2);
}

}  // namespace
}  // namespace tarnwick
