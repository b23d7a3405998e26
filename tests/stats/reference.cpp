// The straightforward loops, kept as the reference that the product's kernels
// are compared with. Deliberately slow: G^2 K^2 passes each.
#include "reference.h"

namespace ploverix::stats::reference {

PairTotals computePairTotals(const GenotypeTable& table) {
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  float c = 0.0f;
  float d = 0.0f;
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= groups; ++j) {
      for (int k = 1; k <= genotypes; ++k) {
        for (int l = 1; l <= genotypes; ++l) {
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
  const int groups = table.groups;
  const int genotypes = table.genotypes;
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= genotypes; ++j) {
      sums.earlierLower[i - 1][j - 1] = 0.0f;
      sums.earlierHigher[i - 1][j - 1] = 0.0f;
      sums.laterLower[i - 1][j - 1] = 0.0f;
      sums.laterHigher[i - 1][j - 1] = 0.0f;
    }
  }
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= genotypes; ++j) {
      for (int k = 1; k <= groups; ++k) {
        for (int l = 1; l <= genotypes; ++l) {
          const double n = static_cast<double>(table.count(k, l));
          float& el = sums.earlierLower[i - 1][j - 1];
          float& eh = sums.earlierHigher[i - 1][j - 1];
          float& ll = sums.laterLower[i - 1][j - 1];
          float& lh = sums.laterHigher[i - 1][j - 1];
          if (k < i && l < j) el = static_cast<float>(static_cast<double>(el) + n);
          if (k < i && l > j) eh = static_cast<float>(static_cast<double>(eh) + n);
          if (k > i && l < j) ll = static_cast<float>(static_cast<double>(ll) + n);
          if (k > i && l > j) lh = static_cast<float>(static_cast<double>(lh) + n);
        }
      }
    }
  }
}

StudyAnalysis analyseStudy(GenotypeTable& table, float zeroAdd) {
  correctZeroCounts(table, zeroAdd);
  const PairTotals totals = reference::computePairTotals(table);
  // 640 KB: static, so that a call costs only its loops (one thread at a time).
  static CellPairSums sums;
  reference::computeCellPairSums(table, sums);
  const GammaAndOrg gammaAndOrg = computeGammaAndOrg(totals);
  const float varianceSum = computeVarianceSum(table, totals, sums);
  const StandardErrors errors = computeStandardErrors(totals, gammaAndOrg.gamma, varianceSum);
  const StudyResult result = computeOrgLimits(gammaAndOrg.org, errors.seLnOrg);
  return StudyAnalysis{gammaAndOrg.gamma, errors.seGamma, result};
}

}  // namespace ploverix::stats::reference
