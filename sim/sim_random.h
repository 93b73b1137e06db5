#pragma once
// The simulator's own seeded random numbers (SplitMix64), the same on every
// platform, so a seeded fault run repeats byte for byte.
#include <cstdint>

namespace quorvel::sim {

class SimRandom {
 public:
  explicit SimRandom(uint64_t seed = 1) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // True with the given chance, 0..1.
  bool Chance(double p) {
    if (p <= 0) return false;
    return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0) < p;
  }
  // 0..n-1; n must be above 0.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

}  // namespace quorvel::sim
