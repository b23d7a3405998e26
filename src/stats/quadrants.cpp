// The four quadrant sums around every cell.
//
// As the loops read, the sum of each quadrant of cell (i, j) is its own chain:
// it starts at 0 and adds the counts n(k, l) of the quadrant in the
// lexicographic order of (k, l), each new sum rounded to float. Every addend
// and every partial sum is a float, and for floats a and b the double sum
// rounded to float equals the float addition a + b: double's 53 significant
// bits are at least 2 * 24 + 2, so rounding the exact sum first to double and
// then to float gives the same float as rounding it once (this covers
// overflow to infinity, subnormals, infinities and NaN alike). The kernels
// below therefore add in float, several cells at once, each cell keeping its
// own order of additions.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "stats/internal.h"

namespace ploverix::stats {
namespace {

using internal::TableProfile;

constexpr std::int64_t kMaxExactUnits = std::int64_t{1} << 24;

// ---------------------------------------------------------------------------
// Exact quadrant sums from prefix sums.
//
// When every count is an integer multiple of 2^e, every partial sum of a
// quadrant is a multiple of 2^e no larger in magnitude than the sum of the
// quadrant's |counts|. If that sum has at most 2^24 units of 2^e and does not
// exceed the largest float, every partial sum is a float, so no addition of
// the quadrant's chain rounds and the chain ends at the exact sum (+0 when it
// is zero: a chain from +0 never yields -0). Each count below has at most
// 2^40 units, so 64-bit prefix sums over the whole block are exact.

struct PrefixSums {
  // value[i][j] and magnitude[i][j]: the units and the |units| of the cells
  // of groups 1..i and genotypes 1..j.
  std::int64_t value[kMaxGroups + 1][kMaxGenotypes + 1];
  std::int64_t magnitude[kMaxGroups + 1][kMaxGenotypes + 1];
  int exponent;
};

// 650 KB: static storage, one per thread at a time.
internal::ScratchPool<PrefixSums> prefixSumsPool;

// Whether the counts allow prefix sums: finite, and at most 2^40 units each.
bool gridUsable(const TableProfile& profile) {
  return profile.finite &&
         profile.largestMagnitude <= std::ldexp(1.0, profile.gridExponent + 40);
}

void buildPrefixSums(const GenotypeTable& table, int exponent, PrefixSums& prefix) {
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  prefix.exponent = exponent;
  for (int j = 0; j <= genotypes; ++j) {
    prefix.value[0][j] = 0;
    prefix.magnitude[0][j] = 0;
  }
  for (int i = 1; i <= groups; ++i) {
    std::int64_t rowValue = 0;
    std::int64_t rowMagnitude = 0;
    prefix.value[i][0] = 0;
    prefix.magnitude[i][0] = 0;
    for (int j = 1; j <= genotypes; ++j) {
      const std::int64_t units = internal::gridValue(table.count(i, j), exponent);
      rowValue += units;
      rowMagnitude += units < 0 ? -units : units;
      prefix.value[i][j] = prefix.value[i - 1][j] + rowValue;
      prefix.magnitude[i][j] = prefix.magnitude[i - 1][j] + rowMagnitude;
    }
  }
}

// The cells of groups firstGroup..lastGroup and genotypes firstGenotype..
// lastGenotype (an empty range when first > last).
struct Rectangle {
  int firstGroup;
  int lastGroup;
  int firstGenotype;
  int lastGenotype;
};

std::int64_t rectangleSum(const std::int64_t (&sums)[kMaxGroups + 1][kMaxGenotypes + 1],
                          const Rectangle& r) {
  if (r.firstGroup > r.lastGroup || r.firstGenotype > r.lastGenotype) return 0;
  return sums[r.lastGroup][r.lastGenotype] - sums[r.firstGroup - 1][r.lastGenotype] -
         sums[r.lastGroup][r.firstGenotype - 1] + sums[r.firstGroup - 1][r.firstGenotype - 1];
}

// Whether no addition of the quadrant's chain can round.
bool exactQuadrant(const PrefixSums& prefix, const Rectangle& r) {
  const std::int64_t magnitude = rectangleSum(prefix.magnitude, r);
  return magnitude <= kMaxExactUnits &&
         std::ldexp(static_cast<double>(magnitude), prefix.exponent) <= static_cast<double>(FLT_MAX);
}

float exactSum(const PrefixSums& prefix, const Rectangle& r) {
  // At most 2^24 units: exact in double, and a float after the scaling.
  return static_cast<float>(
      std::ldexp(static_cast<double>(rectangleSum(prefix.value, r)), prefix.exponent));
}

// Every quadrant of every cell from the prefix sums, for tables whose whole
// block has at most 2^24 units: O(G * K).
void exactCellSums(const GenotypeTable& table, const PrefixSums& prefix, CellPairSums& sums) {
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= genotypes; ++j) {
      sums.earlierLower[i - 1][j - 1] = exactSum(prefix, {1, i - 1, 1, j - 1});
      sums.earlierHigher[i - 1][j - 1] = exactSum(prefix, {1, i - 1, j + 1, genotypes});
      sums.laterLower[i - 1][j - 1] = exactSum(prefix, {i + 1, groups, 1, j - 1});
      sums.laterHigher[i - 1][j - 1] = exactSum(prefix, {i + 1, groups, j + 1, genotypes});
    }
  }
}

// ---------------------------------------------------------------------------
// The earlier quadrants as running sums.
//
// The chain of earlierLower(i + 1, j) adds the cells (k, l) with k <= i and
// l < j in lexicographic order: first those with k < i, which are exactly the
// chain of earlierLower(i, j), then n(i, 1), ..., n(i, j - 1). So it starts
// from the stored earlierLower(i, j) and adds group i's counts below j in
// order; likewise earlierHigher(i + 1, j) continues earlierHigher(i, j) with
// n(i, j + 1), ..., n(i, K). Group 1 has empty earlier quadrants. The additions
// for one count go to a run of cells at once.

[[gnu::always_inline]] inline void earlierSumsBody(const GenotypeTable& table, CellPairSums& sums) {
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  for (int j = 0; j < genotypes; ++j) {
    sums.earlierLower[0][j] = 0.0f;
    sums.earlierHigher[0][j] = 0.0f;
  }
  for (int i = 1; i < groups; ++i) {
    float* __restrict lower = sums.earlierLower[i];
    float* __restrict higher = sums.earlierHigher[i];
    const float* __restrict previousLower = sums.earlierLower[i - 1];
    const float* __restrict previousHigher = sums.earlierHigher[i - 1];
    const float* __restrict counts = table.counts[i - 1];
    for (int j = 0; j < genotypes; ++j) {
      lower[j] = previousLower[j];
      higher[j] = previousHigher[j];
    }
    for (int l = 0; l < genotypes; ++l) {
      const float count = counts[l];
      for (int j = l + 1; j < genotypes; ++j) lower[j] += count;
      for (int j = 0; j < l; ++j) higher[j] += count;
    }
  }
}

// ---------------------------------------------------------------------------
// The later quadrants, cell by cell.
//
// laterLower(i, j) adds the cells of groups i+1..G and genotypes below j, in
// lexicographic order; its chain is no prefix of another cell's, so each cell
// keeps its own sum, and one count n(k, l) is added to the whole run of cells
// j > l (laterLower) or j < l (laterHigher) at once. For each cell, the
// additions still come in the order of (k, l). Where the prefix sums are
// usable, the cells whose quadrant cannot round take the exact sum instead: as
// j grows, laterLower's quadrant grows and laterHigher's shrinks, so those
// cells are a leading run for laterLower and a trailing run for laterHigher,
// and the chains run over the rest only.

[[gnu::always_inline]] inline void laterSumsBody(const GenotypeTable& table,
                                                 const PrefixSums* prefix, CellPairSums& sums) {
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  for (int i = 1; i <= groups; ++i) {
    float* __restrict lower = sums.laterLower[i - 1];
    float* __restrict higher = sums.laterHigher[i - 1];
    // Cells of the chains: laterLower from lowerFirst on, laterHigher up to
    // higherEnd (excluded), 0-based.
    int lowerFirst = 0;
    int higherEnd = genotypes;
    if (prefix != nullptr) {
      while (lowerFirst < genotypes &&
             exactQuadrant(*prefix, {i + 1, groups, 1, lowerFirst})) {
        lower[lowerFirst] = exactSum(*prefix, {i + 1, groups, 1, lowerFirst});
        ++lowerFirst;
      }
      while (higherEnd > 0 &&
             exactQuadrant(*prefix, {i + 1, groups, higherEnd + 1, genotypes})) {
        higher[higherEnd - 1] = exactSum(*prefix, {i + 1, groups, higherEnd + 1, genotypes});
        --higherEnd;
      }
    }
    for (int j = lowerFirst; j < genotypes; ++j) lower[j] = 0.0f;
    for (int j = 0; j < higherEnd; ++j) higher[j] = 0.0f;
    if (lowerFirst == genotypes && higherEnd == 0) continue;
    for (int k = i; k < groups; ++k) {
      const float* __restrict counts = table.counts[k];
      for (int l = 0; l < genotypes; ++l) {
        const float count = counts[l];
        for (int j = std::max(l + 1, lowerFirst); j < genotypes; ++j) lower[j] += count;
        const int end = std::min(l, higherEnd);
        for (int j = 0; j < end; ++j) higher[j] += count;
      }
    }
  }
}

// The same code twice: once for any x86-64, once with 8-lane vectors where
// the processor has them. Float additions give the same bits either way.
void earlierSumsBaseline(const GenotypeTable& table, CellPairSums& sums) {
  earlierSumsBody(table, sums);
}
void laterSumsBaseline(const GenotypeTable& table, const PrefixSums* prefix, CellPairSums& sums) {
  laterSumsBody(table, prefix, sums);
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2")]] void earlierSumsWide(const GenotypeTable& table, CellPairSums& sums) {
  earlierSumsBody(table, sums);
}
[[gnu::target("avx2")]] void laterSumsWide(const GenotypeTable& table, const PrefixSums* prefix,
                                           CellPairSums& sums) {
  laterSumsBody(table, prefix, sums);
}
bool wideVectors() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}
#else
void earlierSumsWide(const GenotypeTable& table, CellPairSums& sums) {
  earlierSumsBody(table, sums);
}
void laterSumsWide(const GenotypeTable& table, const PrefixSums* prefix, CellPairSums& sums) {
  laterSumsBody(table, prefix, sums);
}
bool wideVectors() { return false; }
#endif

}  // namespace

void computeCellPairSums(const GenotypeTable& table, CellPairSums& sums) {
  internal::requireBlockFits(table);
  if (table.groups < 1 || table.genotypes < 1) return;
  TableProfile profile;
  internal::profileTable(table, profile);
  const PrefixSums* prefix = nullptr;
  if (gridUsable(profile)) {
    PrefixSums& prefixSums = internal::threadScratch(prefixSumsPool);
    buildPrefixSums(table, profile.gridExponent, prefixSums);
    prefix = &prefixSums;
    if (profile.onGrid) {
      exactCellSums(table, prefixSums, sums);
      return;
    }
  }
  if (wideVectors()) {
    earlierSumsWide(table, sums);
    laterSumsWide(table, prefix, sums);
  } else {
    earlierSumsBaseline(table, sums);
    laterSumsBaseline(table, prefix, sums);
  }
}

}  // namespace ploverix::stats
