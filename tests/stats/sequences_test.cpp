#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/platform/notice.h"
#include "tarnwick/stats/sequences.h"

namespace tarnwick {
namespace {

cLongArray Make(const std::vector<std::int32_t>& values) {
  cLongArray a;
  for (std::int32_t v : values) a.AddItem(v);
  return a;
}

struct GapCase {
  std::vector<std::int32_t> values;
  bool sort;
  const char* countGaps;
  const char* gaps;
  double seqPct;
};

class SequenceTest : public ::testing::TestWithParam<GapCase> {};

TEST_P(SequenceTest, GapsSummaryAndSequenceShare) {
  const GapCase& c = GetParam();
  cLongArray a = Make(c.values);
  if (c.sort) a.SortArray();
  EXPECT_EQ(a.CountGaps(), c.countGaps);
  EXPECT_EQ(a.Gaps(), c.gaps);
  EXPECT_DOUBLE_EQ(a.SeqPct(), c.seqPct);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SequenceTest,
    ::testing::Values(
        // the reported numbers are the values either side of each gap
        GapCase{{110, 105, 101, 106, 102},
                true,
                "Gaps: Count: 2 Missing: 5",
                "Gaps: Count: 2 Missing: 5\r\nStart\tEnd\tGap\r\n102\t105\t2\r\n106\t110\t3\r\n",
                0.5},
        GapCase{{5, 5, 6},
                true,
                "Gaps: Count: 0 Missing: 0",
                "Gaps: Count: 0 Missing: 0\r\nStart\tEnd\tGap\r\n",
                0.5},
        // unsorted: a decrease is no gap
        GapCase{{7, 3},
                false,
                "Gaps: Count: 0 Missing: 0",
                "Gaps: Count: 0 Missing: 0\r\nStart\tEnd\tGap\r\n",
                0.0},
        GapCase{{7, 3},
                true,
                "Gaps: Count: 1 Missing: 3",
                "Gaps: Count: 1 Missing: 3\r\nStart\tEnd\tGap\r\n3\t7\t3\r\n",
                0.0},
        GapCase{{42}, true, "Gaps: ", "Gaps: \r\nStart\tEnd\tGap\r\n", 0.0},
        GapCase{{}, true, "Gaps: ", "Gaps: \r\nStart\tEnd\tGap\r\n", 0.0},
        GapCase{{-3, -1, 0, 1},
                true,
                "Gaps: Count: 1 Missing: 1",
                "Gaps: Count: 1 Missing: 1\r\nStart\tEnd\tGap\r\n-3\t-1\t1\r\n",
                2.0 / 3.0}));

TEST(LongArray, MissingCountBeyondLongIsOverflow) {
  // The difference itself does not fit a Long; the missing count must not wrap.
  cLongArray a =
      Make({std::numeric_limits<std::int32_t>::min(), 0, std::numeric_limits<std::int32_t>::max()});
  try {
    a.CountGaps();
    FAIL() << "no overflow";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
  cLongArray b = Make({std::numeric_limits<std::int32_t>::min(), -1});
  EXPECT_EQ(b.CountGaps(), "Gaps: Count: 1 Missing: 2147483646");
}

TEST(LongArray, ElementAndPercentilePositions) {
  cLongArray a = Make({10, 9, 8, 7, 6, 5, 4, 3, 2, 1});
  EXPECT_EQ(a.Count(), 10);
  EXPECT_EQ(a.Total(), Currency(55.0));
  EXPECT_EQ(a.Element(0), 10);  // order added until sorted
  a.SortArray();
  struct {
    std::int32_t i, expected;
  } const elements[] = {{-1, 0}, {0, 1}, {9, 10}, {10, 0}};
  for (const auto& e : elements) EXPECT_EQ(a.Element(e.i), e.expected) << e.i;
  // position i * 10 / 100, halves to even, no subtraction of 1
  struct {
    std::int32_t i, expected;
  } const pcts[] = {{-1, 0}, {0, 1},   {5, 1},  {15, 3}, {25, 3}, {50, 6},
                    {75, 9}, {94, 10}, {95, 0}, {99, 0}, {100, 0}};
  for (const auto& p : pcts) EXPECT_EQ(a.Percentile(p.i), p.expected) << p.i;

  cLongArray one = Make({7});
  EXPECT_EQ(one.Percentile(99), 0);  // 0.99 rounds to position 1, beyond the count
  EXPECT_EQ(one.Percentile(49), 7);
  EXPECT_EQ(cLongArray{}.Percentile(50), 0);
}

TEST(LongArray, SortsAcrossReserveSteps) {
  // 120,001 values cross two 50,000 steps; sorting and gaps must see every one of them.
  cLongArray a;
  for (std::int32_t v = 120000; v >= 0; --v) a.AddItem(v == 60000 ? 59999 : v);
  a.SortArray();
  EXPECT_EQ(a.Count(), 120001);
  EXPECT_EQ(a.Element(0), 0);
  EXPECT_EQ(a.Element(120000), 120000);
  EXPECT_EQ(a.CountGaps(), "Gaps: Count: 1 Missing: 1");
  EXPECT_DOUBLE_EQ(a.SeqPct(), 119998.0 / 120000.0);
}

TEST(LongArray, TotalOverflowLeavesValueOutAndNotifies) {
  NoticeCapture notices;
  cLongArray a;
  const std::int32_t big = std::numeric_limits<std::int32_t>::max();
  // The fixed-point total holds 429,496 maximal Longs; the next one overflows it.
  const std::int32_t fit = 429496;
  for (std::int32_t k = 0; k < fit; ++k) a.AddItem(big);
  ASSERT_TRUE(notices.texts().empty());
  const Currency before = a.Total();
  a.AddItem(big);
  EXPECT_EQ(a.Count(), fit);
  EXPECT_EQ(a.Total(), before);
  ASSERT_EQ(notices.texts().size(), 1u);
  EXPECT_EQ(notices.texts()[0], "ilastitem:429496 dtot " + before.Text());
  // Smaller values still fit and are added.
  a.AddItem(-5);
  EXPECT_EQ(a.Count(), fit + 1);
  EXPECT_EQ(a.Element(fit), -5);
}

}  // namespace
}  // namespace tarnwick
