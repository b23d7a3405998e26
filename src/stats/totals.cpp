// The concordant and discordant pair totals C and D.
//
// As the loops read, C and D are two chains of additions over the index
// combinations (i, j, k, l) in lexicographic order: C takes n(i, k) * n(j, l)
// where i < j and k < l, D where i < j and k > l; the product is formed in
// double (exact: 24 + 24 significant bits fit in 53, and no float product
// leaves the double range) and each new total is rounded to float. The
// kernels below give the same bits with far fewer steps.
#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "stats/internal.h"

namespace ploverix::stats {
namespace {

using internal::TableProfile;

// ---------------------------------------------------------------------------
// Exact totals from prefix sums.
//
// When the counts are integer multiples of 2^e (e = gridExponent), every
// product is an integer multiple of 2^(2e) and so is every partial total. If
// T = sum over i < j of R_i * R_j, with R_i the sum of |count| / 2^e over
// group i, is at most 2^24, every partial total has at most 2^24 units of
// 2^(2e): with 2e >= -149 and T * 2^(2e) <= FLT_MAX it is a float. Then each
// step's double sum (at most 2^25 units) is exact and its rounding to float
// changes nothing, so the chains give the exact sums, whatever their order;
// those are formed here in 64-bit integers in O(G * K). Exact zero totals are
// +0 either way: a chain that starts at +0 never yields -0 when rounding to
// nearest.

constexpr std::int64_t kMaxExactUnits = std::int64_t{1} << 24;

bool exactPairTotals(const GenotypeTable& table, const TableProfile& profile, PairTotals& totals) {
  if (!profile.onGrid) return false;
  const int e = profile.gridExponent;
  if (2 * e < -149) return false;
  const int groups = table.groups;
  const int genotypes = table.genotypes;

  std::int64_t earlierRows = 0;  // sum of R over the groups before i
  std::int64_t bound = 0;        // T over the groups so far
  for (int i = 1; i <= groups; ++i) {
    std::int64_t row = 0;
    for (int k = 1; k <= genotypes; ++k) row += std::abs(internal::gridValue(table.count(i, k), e));
    bound += row * earlierRows;  // R_i, R_sum <= 2^24: no overflow
    if (bound > kMaxExactUnits) return false;
    earlierRows += row;
  }
  if (std::ldexp(static_cast<double>(bound), 2 * e) > static_cast<double>(FLT_MAX)) return false;

  // column[k]: the units of genotype k summed over the groups before j.
  std::int64_t column[kMaxGenotypes] = {};
  std::int64_t concordant = 0;
  std::int64_t discordant = 0;
  for (int j = 1; j <= groups; ++j) {
    std::int64_t total = 0;
    for (int k = 0; k < genotypes; ++k) total += column[k];
    std::int64_t lower = 0;  // sum of column[k] for k < l
    for (int l = 1; l <= genotypes; ++l) {
      const std::int64_t value = internal::gridValue(table.count(j, l), e);
      const std::int64_t higher = total - lower - column[l - 1];  // k > l
      concordant += value * lower;
      discordant += value * higher;
      lower += column[l - 1];
    }
    for (int l = 1; l <= genotypes; ++l) column[l - 1] += internal::gridValue(table.count(j, l), e);
  }
  totals.concordant = static_cast<float>(std::ldexp(static_cast<double>(concordant), 2 * e));
  totals.discordant = static_cast<float>(std::ldexp(static_cast<double>(discordant), 2 * e));
  return true;
}

// ---------------------------------------------------------------------------
// The chains, step by step, without the passes that add nothing.
//
// Each chain runs over rows: a row is one (i, j, k) with i < j, the
// multiplier n(i, k) and the values n(j, l) for l > k (C) or l < k (D). The
// passes with i >= j or k = l touch neither total, so the rows visit exactly
// the steps that the loops make, in their order. In a table of finite counts
// a row whose multiplier is +-0 adds only products +-0, and x + (+-0) is x
// for every float total (the total is never -0: it starts at +0), so such a
// row is skipped; with an infinite or NaN value the product would be NaN, so
// tables with such counts keep every row.
struct Chain {
  const GenotypeTable* table;
  int groups;
  int genotypes;
  bool concordant;
  bool skipZeroRows;
  int i = 1;
  int j = 2;
  int k = 0;
  float multiplier = 0.0f;
  const float* values = nullptr;
  int left = 0;  // values still to add from the current row
  float total = 0.0f;
  bool done = false;
  bool rowStart = false;  // nothing of the current row added yet
  // The total and the group i when the chain was last found unsettled.
  std::uint32_t checkedTotal = 0xffffffffu;
  int checkedGroup = 0;
};

// Moves to the next row that has values; marks the chain done after the last.
void nextRow(Chain& chain) {
  for (;;) {
    if (++chain.k > chain.genotypes) {
      chain.k = 1;
      if (++chain.j > chain.groups) {
        ++chain.i;
        chain.j = chain.i + 1;
        if (chain.j > chain.groups) {
          chain.done = true;
          chain.left = 0;
          return;
        }
      }
    }
    chain.multiplier = chain.table->count(chain.i, chain.k);
    if (chain.skipZeroRows && chain.multiplier == 0.0f) continue;
    const float* row = chain.table->counts[chain.j - 1];
    if (chain.concordant) {
      chain.values = row + chain.k;  // l = k + 1 .. K
      chain.left = chain.genotypes - chain.k;
    } else {
      chain.values = row;  // l = 1 .. k - 1
      chain.left = chain.k - 1;
    }
    if (chain.left > 0) {
      chain.rowStart = true;
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Stopping a chain that can no longer change.
//
// Let c be a finite non-zero total, gapAway the distance from |c| to the next
// float of larger magnitude (2^104 past the largest float, where the overflow
// threshold lies half of it away) and gapToward the distance to the next float
// toward zero (half of gapAway when |c| is a power of two above the smallest
// normal). A product p on c's side of zero that is smaller than gapAway / 2,
// or one on the other side smaller than gapToward / 2, leaves c + p strictly
// between c and the midpoint to its neighbour, so rounding to nearest gives c
// back. That holds outright when the step is a float addition (products that
// are floats, below). When c + p is first rounded to double, the midpoint m
// and m -+ u are doubles (u = the double spacing in c's binade, at least the
// spacing near m), so |p| <= gap / 2 - u keeps the double sum at or before
// m -+ u: it still rounds to c. Once no product still to come can change c,
// c keeps its value to the end (the bounds do not depend on the steps taken)
// and the chain stops. Products still to come have a first factor from groups
// i..G and a second from groups i+1..G, so their size is bounded by the
// largest positive and negative counts from those groups on. An infinite
// total never changes either: every product of a finite table is finite.

struct Reach {
  double positive;  // no product still to come is larger
  double negative;  // no product still to come is more negative than -negative
};

Reach reachFrom(const TableProfile& profile, int i) {
  const double p1 = profile.largestPositiveFrom[i - 1];
  const double n1 = profile.largestNegativeFrom[i - 1];
  const double p2 = profile.largestPositiveFrom[i];
  const double n2 = profile.largestNegativeFrom[i];
  return Reach{std::max(p1 * p2, n1 * n2), std::max(p1 * n2, n1 * p2)};
}

#if defined(__x86_64__) && defined(__GNUC__)
bool wideVectors() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}
#endif

// 2^exponent for exponents within the normal double range.
double powerOfTwo(int exponent) {
  return std::bit_cast<double>(static_cast<std::uint64_t>(exponent + 1023) << 52);
}

bool settled(float total, Reach reach, bool floatSteps) {
  if (std::isinf(total)) return true;
  if (total == 0.0f) return reach.positive == 0.0 && reach.negative == 0.0;
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(total) & 0x7fffffffu;
  const int biased = static_cast<int>(bits >> 23);
  double gapAway = 0x1p-149;  // subnormal totals: the spacing is 2^-149 both ways
  double gapToward = 0x1p-149;
  double doubleSpacing = 0x1p-178;
  if (biased != 0) {
    gapAway = powerOfTwo(biased - 150);
    gapToward = (bits & 0x7fffffu) == 0 && biased > 1 ? gapAway / 2 : gapAway;
    doubleSpacing = powerOfTwo(biased - 127 - 52);
  }
  const double away = total > 0.0f ? reach.positive : reach.negative;
  const double toward = total > 0.0f ? reach.negative : reach.positive;
  if (floatSteps) return away < gapAway / 2 && toward < gapToward / 2;
  return away <= gapAway / 2 - doubleSpacing && toward <= gapToward / 2 - doubleSpacing;
}

// ---------------------------------------------------------------------------
// One step of a chain.
//
// In general: the product in double meets the total in double and the sum is
// rounded to float. When every product of two counts is a float, the step is
// float(double(c) + double(q)) for floats c and q: the exact sum rounded to
// double and then to float. Double has 53 >= 2 * 24 + 2 significant bits, so
// that double rounding of a sum of two floats always equals the single
// rounding to float, which is what the float addition c + q computes; the
// float product q = a * b is exact. The float step is shorter, so the chain
// runs faster.

template <bool kFloatSteps>
inline float step(float total, float multiplier, float value) {
  if constexpr (kFloatSteps) {
    return total + multiplier * value;
  } else {
    return static_cast<float>(static_cast<double>(multiplier) * static_cast<double>(value) +
                              static_cast<double>(total));
  }
}

template <bool kFloatSteps>
void advance(Chain& chain, const TableProfile& profile) {
  nextRow(chain);
  if (chain.done || !profile.finite) return;
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(chain.total);
  if (bits == chain.checkedTotal && chain.i == chain.checkedGroup) return;
  if (settled(chain.total, reachFrom(profile, chain.i), kFloatSteps)) {
    chain.done = true;
    chain.left = 0;
    return;
  }
  chain.checkedTotal = bits;
  chain.checkedGroup = chain.i;
}

template <bool kFloatSteps>
void runRow(Chain& chain, int count) {
  float total = chain.total;
  const float multiplier = chain.multiplier;
  const float* values = chain.values;
  for (int t = 0; t < count; ++t) total = step<kFloatSteps>(total, multiplier, values[t]);
  chain.total = total;
  chain.values += count;
  chain.left -= count;
}

// ---------------------------------------------------------------------------
// A whole row in one go, for products that are not floats (the interleaved
// float steps below are as fast for products that are).
//
// Let the total c be a positive normal float in the binade [2^E, 2^(E+1)),
// with float spacing u = 2^(E-23) and double spacing g = 2^(E-52), and let a
// product 0 <= p < 2^(E-1) keep c + p below 2^(E+1). Then:
// - c is a multiple of 2g, so rounding c + p to double gives c + r, where r
//   is p rounded to a multiple of g with ties to an even multiple; r does not
//   depend on c, and r = (c* + p) - c* for the double c* = 1.5 * 2^E (the sum
//   rounds the same way, the difference is exact);
// - rounding c + r to float gives c + d, where d is r rounded to a multiple of
//   u with ties going where c + d is an even multiple of u. With M = 1.5 *
//   2^(E+29), whose double spacing is u and M / u even, d = (M + r) - M when
//   c / u is even, and d = (M' + r) - M' with M' = M + u when it is odd.
// When no product of the row is such a tie (both d agree), each step adds its
// own d whatever c is at that point, so the row ends at c + (sum of the d).
// The d are non-negative multiples of u and their partial sums stay below
// 2^(E+1), so every sum of them is exact in double, in any order. The
// premises hold at every step if every p >= 0, every p < 2^(E-1), and
// c + (sum of d) + (largest p) < 2^(E+1) (the totals only grow, and each is
// at most c + sum of d). Otherwise the row goes step by step.

struct RowIncrements {
  double sum = 0.0;      // sum of the increments d for an even c / u
  double largest = 0.0;  // the largest product
  bool tie = false;      // some product rounds differently for an odd c / u
  bool negative = false; // some product is negative
};

struct RowConstants {
  double multiplier;
  double middle;     // c*
  double even;       // M
  double odd;        // M + u
};

[[gnu::always_inline]] inline void addIncrement(RowIncrements& row, const RowConstants& k,
                                                double product) {
  const double rounded = (k.middle + product) - k.middle;
  const double even = (k.even + rounded) - k.even;
  const double odd = (k.odd + rounded) - k.odd;
  row.tie |= even != odd;
  row.negative |= product < 0.0;
  row.sum += even;
  row.largest = std::max(row.largest, product);
}

RowIncrements rowIncrementsBaseline(const RowConstants& k, const float* values, int count) {
  RowIncrements row;
  for (int t = 0; t < count; ++t) {
    addIncrement(row, k, k.multiplier * static_cast<double>(values[t]));
  }
  return row;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four products at a time, each lane with its own partial sum (exact, as
// above, so the lanes may be added in any order).
[[gnu::target("avx2")]] RowIncrements rowIncrementsWide(const RowConstants& k, const float* values,
                                                        int count) {
  const __m256d multiplier = _mm256_set1_pd(k.multiplier);
  const __m256d middle = _mm256_set1_pd(k.middle);
  const __m256d even = _mm256_set1_pd(k.even);
  const __m256d odd = _mm256_set1_pd(k.odd);
  const __m256d zero = _mm256_setzero_pd();
  __m256d sum = zero;
  __m256d largest = zero;
  __m256d tie = zero;
  __m256d negative = zero;
  int t = 0;
  for (; t + 4 <= count; t += 4) {
    const __m256d product = _mm256_mul_pd(multiplier, _mm256_cvtps_pd(_mm_loadu_ps(values + t)));
    const __m256d rounded = _mm256_sub_pd(_mm256_add_pd(middle, product), middle);
    const __m256d evenStep = _mm256_sub_pd(_mm256_add_pd(even, rounded), even);
    const __m256d oddStep = _mm256_sub_pd(_mm256_add_pd(odd, rounded), odd);
    tie = _mm256_or_pd(tie, _mm256_cmp_pd(evenStep, oddStep, _CMP_NEQ_UQ));
    negative = _mm256_or_pd(negative, _mm256_cmp_pd(product, zero, _CMP_LT_OQ));
    sum = _mm256_add_pd(sum, evenStep);
    largest = _mm256_max_pd(largest, product);
  }
  alignas(32) double sums[4];
  alignas(32) double largests[4];
  _mm256_store_pd(sums, sum);
  _mm256_store_pd(largests, largest);
  RowIncrements row;
  row.sum = (sums[0] + sums[1]) + (sums[2] + sums[3]);
  row.largest = std::max(std::max(largests[0], largests[1]), std::max(largests[2], largests[3]));
  row.tie = _mm256_movemask_pd(tie) != 0;
  row.negative = _mm256_movemask_pd(negative) != 0;
  for (; t < count; ++t) addIncrement(row, k, k.multiplier * static_cast<double>(values[t]));
  return row;
}
#endif

// Adds the rest of the chain's current row in one go and returns true, or
// changes nothing and returns false when the premises above do not hold.
bool addRowInOneGo(Chain& chain) {
  const float total = chain.total;
  if (!(total >= FLT_MIN) || !(total <= FLT_MAX) || !(chain.multiplier >= 0.0f)) return false;
  const int binade = static_cast<int>(std::bit_cast<std::uint32_t>(total) >> 23) - 127;  // E
  const double spacing = powerOfTwo(binade - 23);                                     // u
  const double even = 1.5 * powerOfTwo(binade + 29);
  const RowConstants k{static_cast<double>(chain.multiplier), 1.5 * powerOfTwo(binade), even,
                       even + spacing};
#if defined(__x86_64__) && defined(__GNUC__)
  const RowIncrements row = wideVectors() ? rowIncrementsWide(k, chain.values, chain.left)
                                          : rowIncrementsBaseline(k, chain.values, chain.left);
#else
  const RowIncrements row = rowIncrementsBaseline(k, chain.values, chain.left);
#endif
  if (row.tie || row.negative || !(row.largest < powerOfTwo(binade - 1))) return false;
  const double end = static_cast<double>(total) + row.sum;  // exact: a multiple of u
  if (!(row.largest < powerOfTwo(binade + 1) - end)) return false;
  chain.total = static_cast<float>(end);  // exact: at most 2^(E+1), a multiple of u
  chain.values += chain.left;
  chain.left = 0;
  return true;
}

// ---------------------------------------------------------------------------
// The two chains interleaved.
//
// C and D do not depend on each other: each keeps its own order of additions
// while the steps of both alternate, so the processor overlaps the latency of
// one chain's addition with the other's. The lockstep runs over the shorter of
// the two current rows, then moves whichever chain finished its row.

template <bool kFloatSteps>
PairTotals runChains(const GenotypeTable& table, const TableProfile& profile) {
  Chain c{&table, table.groups, table.genotypes, true, profile.finite};
  Chain d{&table, table.groups, table.genotypes, false, profile.finite};
  if (table.groups < 2 || table.genotypes < 2) return PairTotals{};
  nextRow(c);
  nextRow(d);
  while (!c.done && !d.done) {
    if constexpr (!kFloatSteps) {
      // A row that starts and qualifies is added in one go (finite tables).
      if (profile.finite && c.rowStart && (c.rowStart = false, addRowInOneGo(c))) {
        advance<kFloatSteps>(c, profile);
        continue;
      }
      if (profile.finite && d.rowStart && (d.rowStart = false, addRowInOneGo(d))) {
        advance<kFloatSteps>(d, profile);
        continue;
      }
    }
    const int count = std::min(c.left, d.left);
    float cTotal = c.total;
    float dTotal = d.total;
    const float cMultiplier = c.multiplier;
    const float dMultiplier = d.multiplier;
    const float* cValues = c.values;
    const float* dValues = d.values;
    for (int t = 0; t < count; ++t) {
      cTotal = step<kFloatSteps>(cTotal, cMultiplier, cValues[t]);
      dTotal = step<kFloatSteps>(dTotal, dMultiplier, dValues[t]);
    }
    c.total = cTotal;
    d.total = dTotal;
    c.values += count;
    d.values += count;
    c.left -= count;
    d.left -= count;
    if (c.left == 0) advance<kFloatSteps>(c, profile);
    if (d.left == 0) advance<kFloatSteps>(d, profile);
  }
  for (Chain* chain : {&c, &d}) {
    while (!chain->done) {
      bool added = false;
      if constexpr (!kFloatSteps) added = profile.finite && chain->rowStart && addRowInOneGo(*chain);
      if (!added) runRow<kFloatSteps>(*chain, chain->left);
      advance<kFloatSteps>(*chain, profile);
    }
  }
  return PairTotals{c.total, d.total};
}

}  // namespace

PairTotals computePairTotals(const GenotypeTable& table) {
  internal::requireBlockFits(table);
  TableProfile profile;
  internal::profileTable(table, profile);
  PairTotals totals;
  if (exactPairTotals(table, profile, totals)) return totals;
  return profile.productsAreFloats ? runChains<true>(table, profile)
                                   : runChains<false>(table, profile);
}

}  // namespace ploverix::stats
