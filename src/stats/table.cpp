// The zero-count correction and the variance sum of gamma (the pair totals
// and the quadrant sums have files of their own: totals.cpp, quadrants.cpp).
//
// Every update below is one formula: its operands are the stored floats,
// promoted to double, and only its result is rounded to float. The loops run
// in their fixed order so that the float totals round at the same points on
// every run and in both modes.
#include "stats/internal.h"

namespace ploverix::stats {

using internal::requireBlockFits;

TableSizeError::TableSizeError(std::int32_t groups, std::int32_t genotypes)
    : groups(groups), genotypes(genotypes) {}

const char* TableSizeError::what() const noexcept {
  return "genotype table larger than 200 groups or 200 genotypes";
}

void correctZeroCounts(GenotypeTable& table, float zeroAdd) {
  requireBlockFits(table);
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= genotypes; ++j) {
      // Compares equal for +0 and -0 alike; NaN and negative counts stay.
      if (table.count(i, j) == 0.0f) {
        table.count(i, j) =
            static_cast<float>(static_cast<double>(zeroAdd) + static_cast<double>(table.count(i, j)));
      }
    }
  }
}

float computeVarianceSum(const GenotypeTable& table, const PairTotals& totals,
                         const CellPairSums& sums) {
  requireBlockFits(table);
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  const double c = static_cast<double>(totals.concordant);
  const double d = static_cast<double>(totals.discordant);
  float s = 0.0f;
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= genotypes; ++j) {
      // One formula per cell: the cell's discordant and concordant sums and t
      // stay in double; only the new S is rounded to float.
      const double cellDiscordant = static_cast<double>(sums.earlierHigher[i - 1][j - 1]) +
                                    static_cast<double>(sums.laterLower[i - 1][j - 1]);
      const double cellConcordant = static_cast<double>(sums.earlierLower[i - 1][j - 1]) +
                                    static_cast<double>(sums.laterHigher[i - 1][j - 1]);
      const double t = (d * 2.0) * cellConcordant - (c * 2.0) * cellDiscordant;
      s = static_cast<float>(t * t * static_cast<double>(table.count(i, j)) + static_cast<double>(s));
    }
  }
  return s;
}

}  // namespace ploverix::stats
