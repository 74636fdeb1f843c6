#include "tarnwick/platform/random.h"

#include <chrono>
#include <random>

namespace tarnwick {

namespace {
std::mt19937_64& Generator() {
  static std::mt19937_64 gen(0x5eed5eedULL);
  return gen;
}
}  // namespace

double Rnd() {
  // 53 random bits give every double of [0, 1) on the 2^-53 grid; 1.0 is never returned.
  return static_cast<double>(Generator()() >> 11) * 0x1.0p-53;
}

void Randomize(std::uint64_t seed) { Generator().seed(seed); }

void Randomize() {
  Randomize(static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}

}  // namespace tarnwick
