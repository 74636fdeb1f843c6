#pragma once
// The host's high-resolution performance counter and its frequency (ticks per second).

#include <chrono>
#include <cstdint>

namespace tarnwick {

inline std::int64_t PerfCounter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

inline constexpr std::int64_t PerfFrequency() { return 1'000'000'000; }

}  // namespace tarnwick
