#include "tarnwick/stats/internal/sort_doubles.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace tarnwick {

namespace {

// Below this the comparisons win: the radix passes cost as much for a few thousand amounts
// as for a hundred thousand buckets' worth.
constexpr std::size_t kRadixFrom = 4096;
constexpr int kBits = 11;
constexpr int kPasses = 6;  // 6 x 11 bits cover the 64
constexpr std::size_t kBuckets = std::size_t{1} << kBits;

// Bit patterns that sort as unsigned integers in the order of the doubles: negative amounts
// have every bit flipped, the others the sign bit set.
inline std::uint64_t KeyOf(double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return (u >> 63) != 0 ? ~u : u | (std::uint64_t{1} << 63);
}

inline double AmountOf(std::uint64_t k) {
  const std::uint64_t u = (k >> 63) != 0 ? k & ~(std::uint64_t{1} << 63) : ~k;
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

inline std::size_t Digit(std::uint64_t k, int pass) {
  return static_cast<std::size_t>(k >> (pass * kBits)) & (kBuckets - 1);
}

void RadixSort(double* a, std::size_t n, std::uint64_t* scratch) {
  // The keys go to the scratch block; the array's storage is the other buffer of the passes,
  // reached through memcpy so that no double is read as an integer.
  std::unique_ptr<std::array<std::size_t, kBuckets>[]> counts(
      new std::array<std::size_t, kBuckets>[kPasses]());
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t k = KeyOf(a[i]);
    scratch[i] = k;
    for (int p = 0; p < kPasses; ++p) ++counts[p][Digit(k, p)];
  }
  auto* other = reinterpret_cast<unsigned char*>(a);
  bool inScratch = true;  // where the keys are now
  for (int p = 0; p < kPasses; ++p) {
    auto& c = counts[p];
    std::size_t sum = 0;
    bool trivial = false;
    for (std::size_t b = 0; b < kBuckets; ++b) {
      const std::size_t here = c[b];
      if (here == n) trivial = true;  // one bucket holds every key: nothing moves
      c[b] = sum;
      sum += here;
    }
    if (trivial) continue;
    if (inScratch) {
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t k = scratch[i];
        std::memcpy(other + 8 * c[Digit(k, p)]++, &k, 8);
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t k;
        std::memcpy(&k, other + 8 * i, 8);
        scratch[c[Digit(k, p)]++] = k;
      }
    }
    inScratch = !inScratch;
  }
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t k;
    if (inScratch) {
      k = scratch[i];
    } else {
      std::memcpy(&k, other + 8 * i, 8);
    }
    a[i] = AmountOf(k);
  }
}

}  // namespace

void SortDoubles(double* first, std::size_t n) {
  if (n < 2) return;
  // NaNs to the end, the rest sorted.
  double* const end = std::partition(first, first + n, [](double x) { return x == x; });
  n = static_cast<std::size_t>(end - first);
  if (n >= kRadixFrom) {
    std::unique_ptr<std::uint64_t[]> scratch(new (std::nothrow) std::uint64_t[n]);
    if (scratch) {
      RadixSort(first, n, scratch.get());
      return;
    }
  }
  std::sort(first, first + n);
}

}  // namespace tarnwick
