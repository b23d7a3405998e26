// The whole single-study computation, shared by the keyboard and the study-file
// modes so that identical tables give identical bits.
#include "stats/stats.h"

namespace ploverix::stats {
namespace {

// The four quadrant arrays take 640 KB: they live in static storage (one copy
// per thread) rather than on the stack. Every call sets the block it reads.
thread_local CellPairSums cellSums;

}  // namespace

StudyAnalysis analyseStudy(GenotypeTable& table, float zeroAdd) {
  correctZeroCounts(table, zeroAdd);
  const PairTotals totals = computePairTotals(table);
  computeCellPairSums(table, cellSums);
  const GammaAndOrg gammaAndOrg = computeGammaAndOrg(totals);
  const float varianceSum = computeVarianceSum(table, totals, cellSums);
  const StandardErrors errors = computeStandardErrors(totals, gammaAndOrg.gamma, varianceSum);
  const StudyResult result = computeOrgLimits(gammaAndOrg.org, errors.seLnOrg);
  return StudyAnalysis{gammaAndOrg.gamma, errors.seGamma, result};
}

}  // namespace ploverix::stats
