#include "tarnwick/stats/external_sort.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarnwick {

// ---------------------------------------------------------------------------------------------
// mQSort

namespace mQSort {

int CompareDouble(const void* a, const void* b) {
  double x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  if (x != x || y != y) return (x != x) - (y != y);  // NaN after every number
  return (x > y) - (x < y);
}

int CompareLong(const void* a, const void* b) {
  std::int32_t x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return (x > y) - (x < y);
}

namespace {

// Introsort over records of a size known only at run time: median-of-three quicksort, insertion
// sort for short ranges, heap sort when the recursion grows too deep.
class RecordSorter {
 public:
  RecordSorter(char* base, std::size_t size, Comparison cmp)
      : base_(base), size_(size), cmp_(cmp), tmp_(size) {}

  void Sort(std::size_t count) {
    std::size_t depth = 0;
    for (std::size_t n = count; n > 1; n >>= 1) depth += 2;
    Sort(0, count, depth);
  }

 private:
  static constexpr std::size_t kShort = 16;

  char* At(std::size_t i) const { return base_ + i * size_; }
  bool Less(std::size_t i, std::size_t j) const { return cmp_(At(i), At(j)) < 0; }
  void Swap(std::size_t i, std::size_t j) {
    if (i == j) return;
    std::memcpy(tmp_.data(), At(i), size_);
    std::memcpy(At(i), At(j), size_);
    std::memcpy(At(j), tmp_.data(), size_);
  }

  void Sort(std::size_t lo, std::size_t hi, std::size_t depth) {
    while (hi - lo > kShort) {
      if (depth == 0) {
        HeapSort(lo, hi);
        return;
      }
      --depth;
      // Median of first, middle and last goes to lo and serves as the pivot.
      const std::size_t mid = lo + (hi - lo) / 2, last = hi - 1;
      if (Less(mid, lo)) Swap(mid, lo);
      if (Less(last, mid)) {
        Swap(last, mid);
        if (Less(mid, lo)) Swap(mid, lo);
      }
      Swap(lo, mid);
      // Both scans stop on keys equal to the pivot, which keeps runs of equal keys balanced.
      std::size_t i = lo, j = hi;
      for (;;) {
        do ++i;
        while (i < hi && Less(i, lo));
        do --j;
        while (j > lo && Less(lo, j));  // the bound guards against an inconsistent comparison
        if (i >= j) break;
        Swap(i, j);
      }
      Swap(lo, j);
      // Recurse into the smaller side, loop on the larger: the stack stays logarithmic.
      if (j - lo < hi - j - 1) {
        Sort(lo, j, depth);
        lo = j + 1;
      } else {
        Sort(j + 1, hi, depth);
        hi = j;
      }
    }
    InsertionSort(lo, hi);
  }

  void InsertionSort(std::size_t lo, std::size_t hi) {
    for (std::size_t i = lo + 1; i < hi; ++i) {
      if (!Less(i, i - 1)) continue;
      std::memcpy(tmp_.data(), At(i), size_);
      std::size_t j = i;
      do {
        std::memcpy(At(j), At(j - 1), size_);
        --j;
      } while (j > lo && cmp_(tmp_.data(), At(j - 1)) < 0);
      std::memcpy(At(j), tmp_.data(), size_);
    }
  }

  void SiftDown(std::size_t lo, std::size_t root, std::size_t n) {
    for (;;) {
      std::size_t child = 2 * root + 1;
      if (child >= n) return;
      if (child + 1 < n && Less(lo + child, lo + child + 1)) ++child;
      if (!Less(lo + root, lo + child)) return;
      Swap(lo + root, lo + child);
      root = child;
    }
  }

  void HeapSort(std::size_t lo, std::size_t hi) {
    const std::size_t n = hi - lo;
    for (std::size_t r = n / 2; r-- > 0;) SiftDown(lo, r, n);
    for (std::size_t end = n; end-- > 1;) {
      Swap(lo, lo + end);
      SiftDown(lo, 0, end);
    }
  }

  char* base_;
  std::size_t size_;
  Comparison cmp_;
  std::vector<char> tmp_;
};

}  // namespace

void QSort(void* first, std::size_t count, std::size_t size, Comparison compare) {
  if (count < 2 || size == 0) return;
  // The engine's own comparisons get a sort with the comparison inlined: same order, a fraction
  // of the time of a call per comparison.
  if (compare == &CompareDouble && size == sizeof(double)) {
    double* p = static_cast<double*>(first);
    // A NaN would break the strict ordering std::sort relies on; such a chunk puts NaNs last.
    if (std::any_of(p, p + count, [](double x) { return x != x; })) {
      std::sort(p, p + count, [](double a, double b) { return a < b || (a == a && b != b); });
    } else {
      std::sort(p, p + count);
    }
    return;
  }
  if (compare == &CompareLong && size == sizeof(std::int32_t)) {
    std::int32_t* p = static_cast<std::int32_t*>(first);
    std::sort(p, p + count);
    return;
  }
  RecordSorter(static_cast<char*>(first), size, compare).Sort(count);
}

}  // namespace mQSort

}  // namespace tarnwick
