// The pair totals and the quadrant sums written exactly as the loops read:
// four nested loops with their conditions, every update one formula in double
// rounded to float. The product's kernels must give these bits.
#pragma once

#include "stats/stats.h"

namespace ploverix::stats::reference {

PairTotals computePairTotals(const GenotypeTable& table);
void computeCellPairSums(const GenotypeTable& table, CellPairSums& sums);

// analyseStudy with the two walkers above in place of the product's.
StudyAnalysis analyseStudy(GenotypeTable& table, float zeroAdd);

}  // namespace ploverix::stats::reference
