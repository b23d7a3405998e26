// The operations that walk the genotype table: zero-count correction, pair
// totals, the quadrant sums around every cell and the variance sum of gamma.
//
// Every update below is one formula: its operands are the stored floats,
// promoted to double, and only its result is rounded to float. The loops run
// in their fixed order so that the float totals round at the same points on
// every run and in both modes.
#include "stats/stats.h"

namespace ploverix::stats {
namespace {

// The block 1..G x 1..K must fit the arrays; a G or K below 1 simply makes
// every loop empty.
void requireBlockFits(const GenotypeTable& table) {
  if (table.groups > kMaxGroups || table.genotypes > kMaxGenotypes) {
    throw TableSizeError(table.groups, table.genotypes);
  }
}

}  // namespace

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

PairTotals computePairTotals(const GenotypeTable& table) {
  requireBlockFits(table);
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  float c = 0.0f;
  float d = 0.0f;
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= groups; ++j) {
      for (int k = 1; k <= genotypes; ++k) {
        for (int l = 1; l <= genotypes; ++l) {
          // The product stays in double and meets the float total unrounded;
          // rounding it to float first would change the low bits of large totals.
          if (i < j && k < l) {
            c = static_cast<float>(static_cast<double>(table.count(i, k)) *
                                       static_cast<double>(table.count(j, l)) +
                                   static_cast<double>(c));
          }
          if (i < j && k > l) {
            d = static_cast<float>(static_cast<double>(table.count(i, k)) *
                                       static_cast<double>(table.count(j, l)) +
                                   static_cast<double>(d));
          }
        }
      }
    }
  }
  return PairTotals{c, d};
}

void computeCellPairSums(const GenotypeTable& table, CellPairSums& sums) {
  requireBlockFits(table);
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  for (int i = 0; i < groups; ++i) {
    for (int j = 0; j < genotypes; ++j) {
      sums.earlierLower[i][j] = 0.0f;
      sums.earlierHigher[i][j] = 0.0f;
      sums.laterLower[i][j] = 0.0f;
      sums.laterHigher[i][j] = 0.0f;
    }
  }
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= genotypes; ++j) {
      float& earlierLower = sums.earlierLower[i - 1][j - 1];
      float& earlierHigher = sums.earlierHigher[i - 1][j - 1];
      float& laterLower = sums.laterLower[i - 1][j - 1];
      float& laterHigher = sums.laterHigher[i - 1][j - 1];
      for (int k = 1; k <= groups; ++k) {
        for (int l = 1; l <= genotypes; ++l) {
          const double n = static_cast<double>(table.count(k, l));
          if (k < i && l < j) earlierLower = static_cast<float>(static_cast<double>(earlierLower) + n);
          if (k < i && l > j) earlierHigher = static_cast<float>(static_cast<double>(earlierHigher) + n);
          if (k > i && l < j) laterLower = static_cast<float>(static_cast<double>(laterLower) + n);
          if (k > i && l > j) laterHigher = static_cast<float>(static_cast<double>(laterHigher) + n);
        }
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
