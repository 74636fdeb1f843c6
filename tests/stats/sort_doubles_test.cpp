#include "tarnwick/stats/internal/sort_doubles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace tarnwick {
namespace {

bool SameOrder(const std::vector<double>& got, std::vector<double> want) {
  std::sort(want.begin(), want.end());
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!(got[i] == want[i])) return false;  // -0 and 0 are equal amounts, in either order
  return got.size() == want.size();
}

TEST(SortDoubles, MatchesComparisonSortOnLedgerLikeAndExtremeAmounts) {
  std::mt19937_64 rng(5);
  const double kMax = std::numeric_limits<double>::max();
  const double kTiny = std::numeric_limits<double>::denorm_min();
  for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{100}, std::size_t{4095},
                              std::size_t{4096}, std::size_t{250001}}) {
    std::vector<double> v(n);
    for (double& x : v) {
      switch (rng() % 8) {
        case 0: x = -static_cast<double>(rng() % 100000000) / 100.0; break;  // credits
        case 1:
          x = static_cast<double>(rng() % 1000);  // many repeats
          break;
        case 2: {
          const double pick[] = {0.0,
                                 -0.0,
                                 kMax,
                                 -kMax,
                                 kTiny,
                                 -kTiny,
                                 1e-300,
                                 -1e300,
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity()};
          x = pick[rng() % 10];
          break;
        }
        default: x = static_cast<double>(rng() % 100000000) / 100.0;
      }
    }
    std::vector<double> got = v;
    SortDoubles(got.data(), got.size());
    EXPECT_TRUE(SameOrder(got, v)) << n;
    // Each bit pattern comes back: the same multiset, not merely equal values.
    std::vector<std::uint64_t> a, b;
    for (const double x : v) a.push_back(std::bit_cast<std::uint64_t>(x));
    for (const double x : got) b.push_back(std::bit_cast<std::uint64_t>(x));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b) << n;
  }
}

TEST(SortDoubles, SameDigitsEverywhereAndNaNsLast) {
  // Every amount alike in its high bits (passes with one bucket are skipped) or all equal.
  std::vector<double> v(10000);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = 1000.0 + static_cast<double>((i * 7919) % 10000) / 1e6;
  std::vector<double> got = v;
  SortDoubles(got.data(), got.size());
  EXPECT_TRUE(SameOrder(got, v));
  std::vector<double> same(5000, 42.5);
  SortDoubles(same.data(), same.size());
  EXPECT_TRUE(std::all_of(same.begin(), same.end(), [](double x) { return x == 42.5; }));

  std::vector<double> withNaN(6000);
  for (std::size_t i = 0; i < withNaN.size(); ++i)
    withNaN[i] = i % 1000 == 3 ? std::nan("") : static_cast<double>(6000 - i);
  SortDoubles(withNaN.data(), withNaN.size());
  const auto firstNaN =
      std::find_if(withNaN.begin(), withNaN.end(), [](double x) { return x != x; });
  EXPECT_EQ(firstNaN - withNaN.begin(), 5994);
  EXPECT_TRUE(std::is_sorted(withNaN.begin(), firstNaN));
  EXPECT_TRUE(std::all_of(firstNaN, withNaN.end(), [](double x) { return x != x; }));
}

}  // namespace
}  // namespace tarnwick
