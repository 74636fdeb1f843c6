#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

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
      case 0: k[i] = static_cast<std::int32_t>(rng()); break;         // random
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
      for (std::size_t i = 0; i < n; ++i)
        recs[i] = Rec{keys[i], static_cast<std::int32_t>(i), -1};
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

}  // namespace
}  // namespace tarnwick
