// A small, fully specified pseudo-random generator for the synthetic event writer. It is
// splitmix64 with integer-only helpers, so that the same seed gives the same replay bytes on
// every platform and compiler, which the standard distributions do not promise.
#pragma once

#include <cstdint>

namespace vorlind::tools {

class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}

  uint64_t next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    return mix(state_);
  }

  // A value in [low, high]; `high` must not be below `low`.
  int64_t between(int64_t low, int64_t high) {
    const uint64_t span = static_cast<uint64_t>(high - low) + 1;
    return low + static_cast<int64_t>(next() % span);
  }

  // True with a chance of `permille` in 1000.
  bool chance(int permille) { return between(0, 999) < permille; }

  // The splitmix64 finaliser, also usable as a stateless hash.
  static uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

 private:
  uint64_t state_;
};

}  // namespace vorlind::tools
