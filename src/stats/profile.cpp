// The survey of a table's counts that tells the walkers which shortcuts are
// exact for it: whether every count is finite, whether every product of two
// counts is a float, whether all counts sit on a common binary grid with few
// enough units that no sum of them can round, and the largest counts from each
// group on (which bound every product still to come in the pair totals).
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "stats/internal.h"

namespace ploverix::stats::internal {
namespace {

constexpr double kMaxExactUnits = 16777216.0;  // 2^24: every integer up to it is a float

// A finite, non-zero float as odd * 2^lowBit; width is the bit length of odd.
struct Significand {
  int lowBit;
  int width;
};

Significand significandOf(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value) & 0x7fffffffu;
  const std::uint32_t biased = bits >> 23;
  std::uint32_t whole = bits & 0x7fffffu;
  int lowBit = -149;  // subnormals: whole * 2^-149
  if (biased != 0) {
    whole |= 0x800000u;
    lowBit = static_cast<int>(biased) - 150;
  }
  const int zeros = std::countr_zero(whole);
  return Significand{lowBit + zeros, static_cast<int>(std::bit_width(whole >> zeros))};
}

}  // namespace

void requireBlockFits(const GenotypeTable& table) {
  if (table.groups > kMaxGroups || table.genotypes > kMaxGenotypes) {
    throw TableSizeError(table.groups, table.genotypes);
  }
}

void profileTable(const GenotypeTable& table, TableProfile& profile) {
  profile.finite = true;
  profile.productsAreFloats = false;
  profile.gridExponent = 0;
  profile.gridUnits = 0.0;
  profile.onGrid = false;
  profile.largestMagnitude = 0.0;
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  if (groups >= 0) {
    profile.largestPositiveFrom[groups] = 0.0;
    profile.largestNegativeFrom[groups] = 0.0;
  }
  int lowestBit = 1000;
  int widest = 0;
  float largestMagnitude = 0.0f;
  for (int i = groups; i >= 1; --i) {
    float positive = 0.0f;
    float negative = 0.0f;
    for (int j = 1; j <= genotypes; ++j) {
      const float count = table.count(i, j);
      if (!std::isfinite(count)) {
        profile.finite = false;
        return;
      }
      if (count == 0.0f) continue;
      const Significand significand = significandOf(count);
      if (significand.lowBit < lowestBit) lowestBit = significand.lowBit;
      if (significand.width > widest) widest = significand.width;
      if (std::fabs(count) > largestMagnitude) largestMagnitude = std::fabs(count);
      if (count > positive) positive = count;
      if (-count > negative) negative = -count;
    }
    profile.largestPositiveFrom[i - 1] =
        std::fmax(static_cast<double>(positive), profile.largestPositiveFrom[i]);
    profile.largestNegativeFrom[i - 1] =
        std::fmax(static_cast<double>(negative), profile.largestNegativeFrom[i]);
  }

  // Products: at most 12 + 12 significant bits, lowest bit at 2^-148 or
  // above and magnitude below 2^128, so each one is a float (subnormal ones
  // included).
  profile.largestMagnitude = static_cast<double>(largestMagnitude);
  profile.productsAreFloats =
      widest <= 12 && (lowestBit == 1000 || lowestBit >= -74) && largestMagnitude < 0x1p64f;

  if (lowestBit == 1000) {  // every count is zero
    profile.onGrid = true;
    return;
  }
  profile.gridExponent = lowestBit;
  // Each term |count| / 2^e is an integer (a power-of-two scaling, exact in
  // double); the running sum is exact while it stays at most 2^53, and is only
  // compared with 2^24, so it stops growing once past that.
  double units = 0.0;
  for (int i = 1; i <= groups && units <= kMaxExactUnits; ++i) {
    for (int j = 1; j <= genotypes && units <= kMaxExactUnits; ++j) {
      units += std::ldexp(std::fabs(static_cast<double>(table.count(i, j))), -lowestBit);
    }
  }
  profile.gridUnits = units;
  profile.onGrid = units <= kMaxExactUnits &&
                   std::ldexp(units, lowestBit) <= static_cast<double>(FLT_MAX);
}

std::int64_t gridValue(float count, int gridExponent) {
  return static_cast<std::int64_t>(std::ldexp(static_cast<double>(count), -gridExponent));
}

}  // namespace ploverix::stats::internal
