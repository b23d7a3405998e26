// The pair totals and quadrant sums of the product replaced by the
// straightforward loops of tests/stats/reference.cpp, for the
// ploverix_straightforward benchmark binary: linked as object files, these
// definitions keep the linker from taking the product's kernels out of the
// stats library. Nothing else of the program changes.
#include "../tests/stats/reference.h"
#include "stats/stats.h"

namespace ploverix::stats {

PairTotals computePairTotals(const GenotypeTable& table) {
  if (table.groups > kMaxGroups || table.genotypes > kMaxGenotypes) {
    throw TableSizeError(table.groups, table.genotypes);
  }
  return reference::computePairTotals(table);
}

void computeCellPairSums(const GenotypeTable& table, CellPairSums& sums) {
  if (table.groups > kMaxGroups || table.genotypes > kMaxGenotypes) {
    throw TableSizeError(table.groups, table.genotypes);
  }
  reference::computeCellPairSums(table, sums);
}

}  // namespace ploverix::stats
