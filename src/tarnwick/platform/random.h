#pragma once
// The engine-wide uniform pseudo-random generator on [0, 1). Seed it for a repeatable run.

#include <cstdint>

namespace tarnwick {

double Rnd();
void Randomize(std::uint64_t seed);
// Seeds from the clock, as the host's Randomize without an argument does.
void Randomize();

}  // namespace tarnwick
