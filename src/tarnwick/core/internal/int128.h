#pragma once
// 128-bit whole numbers for exact fixed-point products and digit output (a GCC/Clang extension).

namespace tarnwick {
__extension__ typedef __int128 int128_t;
__extension__ typedef unsigned __int128 uint128_t;
}  // namespace tarnwick
