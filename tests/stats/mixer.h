// splitmix64: a fixed, portable sequence of random numbers for a given seed,
// shared by the differential tests, the benchmarks and the studies-file
// generator so that the same seed gives the same tables everywhere.
#pragma once

#include <cstdint>

namespace ploverix::testsupport {

struct Mixer {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
  bool chance(int percent) { return below(100) < percent; }
};

}  // namespace ploverix::testsupport
