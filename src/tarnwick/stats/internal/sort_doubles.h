#pragma once
// SortDoubles: puts amounts in ascending order, the order std::sort with < gives (a NaN, which
// < cannot place, goes last). Large arrays take a radix sort of the bit patterns: six passes
// over the amounts whatever their number, in place of n log n comparisons, with a scratch
// block as large as the array (without one it falls back to comparisons).

#include <cstddef>

namespace tarnwick {

void SortDoubles(double* first, std::size_t n);

}  // namespace tarnwick
