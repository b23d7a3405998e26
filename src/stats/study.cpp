// The whole single-study computation, shared by the keyboard and the study-file
// modes so that identical tables give identical bits.
#include "stats/internal.h"

namespace ploverix::stats {
namespace {

// The four quadrant arrays take 640 KB: they live in static storage (one copy
// per thread at a time) rather than on the stack. Every call sets the block
// it reads.
internal::ScratchPool<CellPairSums> cellSumsPool;

}  // namespace

StudyAnalysis analyseStudy(GenotypeTable& table, float zeroAdd) {
  correctZeroCounts(table, zeroAdd);
  const PairTotals totals = computePairTotals(table);
  CellPairSums& cellSums = internal::threadScratch(cellSumsPool);
  computeCellPairSums(table, cellSums);
  const GammaAndOrg gammaAndOrg = computeGammaAndOrg(totals);
  const float varianceSum = computeVarianceSum(table, totals, cellSums);
  const StandardErrors errors = computeStandardErrors(totals, gammaAndOrg.gamma, varianceSum);
  const StudyResult result = computeOrgLimits(gammaAndOrg.org, errors.seLnOrg);
  return StudyAnalysis{gammaAndOrg.gamma, errors.seGamma, result};
}

}  // namespace ploverix::stats
