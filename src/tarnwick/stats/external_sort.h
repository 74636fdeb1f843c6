#pragma once
// Order statistics for amount columns too long to hold in memory.
//
// mQSort     the in-memory sort of fixed-size records through a three-way comparison.
// cSort      sorted run files in the temporary folder, their pairwise merge into one sorted
//            file, and the statistics and reports read from that file.
// cNewDouble the front end fed one amount at a time; it buffers 250,001 amounts and hands each
//            full buffer to its cSort.

#include <cstddef>
#include <cstdint>

namespace tarnwick {

namespace mQSort {

// Three-way comparison of two records: negative, zero or positive for less, equal, greater.
using Comparison = int (*)(const void* a, const void* b);

// Sorts `count` records of `size` bytes lying contiguously from `first`, ascending by `compare`.
// Not stable. The two comparisons below are recognised and sorted without indirect calls.
void QSort(void* first, std::size_t count, std::size_t size, Comparison compare);

// Doubles ascending.
int CompareDouble(const void* a, const void* b);
// 32-bit integers ascending.
int CompareLong(const void* a, const void* b);

}  // namespace mQSort

}  // namespace tarnwick
