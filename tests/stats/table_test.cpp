// The table walkers: zero-count correction, pair totals, quadrant sums and
// the variance sum.
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "helpers.h"
#include "stats/stats.h"

namespace ploverix::stats {
namespace {

using testing::makeTable;
using testing::Rows;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// ---------------------------------------------------------------------------
// Zero-count correction

struct ZeroCase {
  std::string name;
  Rows before;
  float zeroAdd;
  Rows after;
};

TEST(CorrectZeroCounts, ReplacesOnlyZeroCounts) {
  const ZeroCase cases[] = {
      {"half added to the zeros", {{0, 12, 8}, {3, 0, 5}}, 0.5f, {{0.5f, 12, 8}, {3, 0.5f, 5}}},
      {"zero add leaves the table", {{0, 12, 8}, {3, 0, 5}}, 0.0f, {{0, 12, 8}, {3, 0, 5}}},
      {"minus zero is a zero", {{-0.0f, 1}, {1, 1}}, 0.25f, {{0.25f, 1}, {1, 1}}},
      {"negative and fractional counts stay", {{-3, 0.125f}, {1e-30f, 0}}, 7.0f, {{-3, 0.125f}, {1e-30f, 7}}},
      {"a NaN count stays", {{kNaN, 0}}, 2.0f, {{kNaN, 2}}},
  };
  for (const ZeroCase& c : cases) {
    SCOPED_TRACE(c.name);
    GenotypeTable table = makeTable(c.before);
    correctZeroCounts(table, c.zeroAdd);
    for (int i = 1; i <= table.groups; ++i) {
      for (int j = 1; j <= table.genotypes; ++j) {
        EXPECT_SAME_FLOAT(table.count(i, j), c.after[i - 1][j - 1]) << "cell " << i << "," << j;
      }
    }
  }
}

TEST(CorrectZeroCounts, LeavesCellsOutsideTheBlock) {
  GenotypeTable table = makeTable({{0, 1}, {1, 0}});
  correctZeroCounts(table, 0.5f);
  EXPECT_SAME_FLOAT(table.count(1, 3), 0.0f);
  EXPECT_SAME_FLOAT(table.count(3, 1), 0.0f);
  EXPECT_SAME_FLOAT(table.count(200, 200), 0.0f);
}

// ---------------------------------------------------------------------------
// Pair totals

struct TotalsCase {
  std::string name;
  Rows rows;
  float concordant;
  float discordant;
};

TEST(ComputePairTotals, SumsConcordantAndDiscordantPairs) {
  const TotalsCase cases[] = {
      {"trend", {{10, 20, 30}, {15, 25, 35}}, 1300.0f, 1500.0f},
      {"crossed", {{1, 2}, {2, 1}}, 1.0f, 4.0f},
      {"corrected diagonal", {{5, 0.5f}, {0.5f, 5}}, 25.0f, 0.25f},
      // Each product meets the float total unrounded; rounding the products to
      // float first would give 64235816 and 66615176.
      {"three groups",
       {{1101, 4663, 517}, {2090, 966, 4059}, {3683, 3869, 3110}},
       64235824.0f,
       66615184.0f},
      {"no discordant pairs", {{5, 0}, {0, 5}}, 25.0f, 0.0f},
      {"no concordant pairs", {{0, 5}, {5, 0}}, 0.0f, 25.0f},
      {"one group", {{3, 4, 5}}, 0.0f, 0.0f},
      {"one genotype", {{3}, {4}, {5}}, 0.0f, 0.0f},
      {"no groups", {}, 0.0f, 0.0f},
      // Groups (1,2), (1,3), (2,3): C = 1*1 + 1*1 + 0*1, D = 0*0 + 0*1 + 1*1.
      {"three groups small", {{1, 0}, {0, 1}, {1, 1}}, 2.0f, 1.0f},
      {"a NaN count", {{kNaN, 1}, {1, 1}}, kNaN, 1.0f},
  };
  for (const TotalsCase& c : cases) {
    SCOPED_TRACE(c.name);
    const PairTotals totals = computePairTotals(makeTable(c.rows));
    EXPECT_SAME_FLOAT(totals.concordant, c.concordant);
    EXPECT_SAME_FLOAT(totals.discordant, c.discordant);
  }
}

TEST(ComputePairTotals, EmptyBlocksAddNothing) {
  GenotypeTable table = makeTable({{1, 2}, {3, 4}});
  const std::pair<int, int> sizes[] = {{0, 2}, {2, 0}, {-1, 2}, {2, -5}, {-3, -3}};
  for (const auto& [groups, genotypes] : sizes) {
    SCOPED_TRACE(std::to_string(groups) + " x " + std::to_string(genotypes));
    table.groups = groups;
    table.genotypes = genotypes;
    const PairTotals totals = computePairTotals(table);
    EXPECT_SAME_FLOAT(totals.concordant, 0.0f);
    EXPECT_SAME_FLOAT(totals.discordant, 0.0f);
  }
}

TEST(ComputePairTotals, ReadsOnlyTheBlock) {
  const PairTotals totals = computePairTotals(makeTable({{10, 20, 30}, {15, 25, 35}}, kNaN));
  EXPECT_SAME_FLOAT(totals.concordant, 1300.0f);
  EXPECT_SAME_FLOAT(totals.discordant, 1500.0f);
}

// ---------------------------------------------------------------------------
// Cell pair sums

struct CellCase {
  int i;
  int j;
  float earlierLower;
  float earlierHigher;
  float laterLower;
  float laterHigher;
};

class CellPairSumsTest : public ::testing::Test {
 protected:
  // Filled with NaN so that a cell the operation forgets to reset shows.
  void SetUp() override {
    sums_ = std::make_unique<CellPairSums>();
    for (auto* array : {&sums_->earlierLower, &sums_->earlierHigher, &sums_->laterLower,
                        &sums_->laterHigher}) {
      for (auto& row : *array) {
        for (float& cell : row) cell = kNaN;
      }
    }
  }

  void expectCell(const CellCase& c) {
    SCOPED_TRACE("cell " + std::to_string(c.i) + "," + std::to_string(c.j));
    EXPECT_SAME_FLOAT(sums_->earlierLower[c.i - 1][c.j - 1], c.earlierLower);
    EXPECT_SAME_FLOAT(sums_->earlierHigher[c.i - 1][c.j - 1], c.earlierHigher);
    EXPECT_SAME_FLOAT(sums_->laterLower[c.i - 1][c.j - 1], c.laterLower);
    EXPECT_SAME_FLOAT(sums_->laterHigher[c.i - 1][c.j - 1], c.laterHigher);
  }

  std::unique_ptr<CellPairSums> sums_;
};

TEST_F(CellPairSumsTest, QuadrantsOfTheTrendTable) {
  computeCellPairSums(makeTable({{10, 20, 30}, {15, 25, 35}}, kNaN), *sums_);
  const CellCase cells[] = {
      {1, 1, 0, 0, 0, 60}, {1, 2, 0, 0, 15, 35}, {1, 3, 0, 0, 40, 0},
      {2, 1, 0, 50, 0, 0}, {2, 2, 10, 30, 0, 0}, {2, 3, 30, 0, 0, 0},
  };
  for (const CellCase& c : cells) expectCell(c);
}

TEST_F(CellPairSumsTest, QuadrantsOfAThreeByThreeTable) {
  // Counts 1..9 row by row: every quadrant of the centre is one corner.
  computeCellPairSums(makeTable({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), *sums_);
  const CellCase cells[] = {
      {2, 2, 1, 3, 7, 9},
      {1, 1, 0, 0, 0, 5 + 6 + 8 + 9},
      {3, 3, 1 + 2 + 4 + 5, 0, 0, 0},
      {1, 3, 0, 0, 4 + 5 + 7 + 8, 0},
      {3, 1, 0, 2 + 3 + 5 + 6, 0, 0},
      {2, 1, 0, 2 + 3, 0, 8 + 9},
  };
  for (const CellCase& c : cells) expectCell(c);
}

TEST_F(CellPairSumsTest, EachAdditionIsRoundedToFloat) {
  // laterHigher(1, 1) adds 2^24, 1 and 1 in this order: each +1 rounds back to
  // 2^24 in float (a tie, to even), while a double sum would reach 2^24 + 2.
  computeCellPairSums(makeTable({{0, 0, 0, 0}, {0, 16777216.0f, 1, 1}}), *sums_);
  expectCell({1, 1, 0, 0, 0, 16777216.0f});
  expectCell({1, 2, 0, 0, 0, 2});
}

// ---------------------------------------------------------------------------
// Variance sum

struct VarianceCase {
  std::string name;
  Rows rows;
  float varianceSum;
};

TEST(ComputeVarianceSum, SumsOverAllCells) {
  const VarianceCase cases[] = {
      {"trend", {{10, 20, 30}, {15, 25, 35}}, 1.33019992e+12f},
      {"corrected diagonal", {{5, 0.5f}, {0.5f, 5}}, 687.5f},
      {"corrected antidiagonal", {{0.5f, 5}, {5, 0.5f}}, 687.5f},
      // t is 0 in every cell: only D = 0 cells would count, and they are the zeros.
      {"no discordant pairs", {{5, 0}, {0, 5}}, 0.0f},
      {"one group", {{3, 4, 5}}, 0.0f},
      // Cells (1,1) and (2,2) give -5184 and -1296, the others 1728 each.
      {"negative counts", {{-1, 3}, {3, -4}}, -3024.0f},
      {"a NaN count", {{kNaN, 1}, {1, 1}}, kNaN},
      {"a NaN count in one group", {{kNaN, 1}}, kNaN},
  };
  auto sums = std::make_unique<CellPairSums>();
  for (const VarianceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const GenotypeTable table = makeTable(c.rows);
    const PairTotals totals = computePairTotals(table);
    computeCellPairSums(table, *sums);
    EXPECT_SAME_FLOAT(computeVarianceSum(table, totals, *sums), c.varianceSum);
  }
}

// One group of cells with hand-made quadrant sums, so that each rounding point
// of the per-cell formula shows on its own.
struct CellTerm {
  float count;
  float earlierLower;
  float earlierHigher;
  float laterLower;
  float laterHigher;
};

struct RoundingCase {
  std::string name;
  PairTotals totals;
  std::vector<CellTerm> cells;
  float varianceSum;
};

TEST(ComputeVarianceSum, KeepsTheCellFormulaInDouble) {
  const RoundingCase cases[] = {
      // c = 1 + 2, d = 4 + 8, t = (1 * 2) * 3 - (0.5 * 2) * 12 = -6.
      {"quadrants pair up", {0.5f, 1}, {{1, 1, 4, 8, 2}}, 36.0f},
      // d = 2^24 + 1 is no float; t^2 = 2^48 + 2^25 + 1 rounds to 2^48 + 2^25
      // (a float d would give 2^48).
      {"cell discordant sum in double", {0.5f, 0}, {{1, 0, 16777216.0f, 1, 0}}, 281475010265088.0f},
      // t = 3 * (2^23 + 1) = 25165827 is no float (it would round to 25165828);
      // t^2 = 633318848593929 rounds to 9437184 * 2^26.
      {"t in double", {0, 1.5f}, {{1, 8388609.0f, 0, 0, 0}}, 633318831816704.0f},
      // 2^24, then 1 and 1: S is rounded after every cell, each +1 a tie to even.
      {"S rounded after each cell", {0.5f, 0}, {{1, 0, 4096, 0, 0}, {1, 0, 1, 0, 0}, {1, 0, 1, 0, 0}}, 16777216.0f},
      // The weight is the cell's own count: t = -4 in both cells.
      {"weighted by the count", {0.5f, 0}, {{0.25f, 0, 4, 0, 0}, {-3, 0, 0, 4, 0}}, -44.0f},
  };
  auto sums = std::make_unique<CellPairSums>();
  for (const RoundingCase& c : cases) {
    SCOPED_TRACE(c.name);
    GenotypeTable table;
    table.groups = 1;
    table.genotypes = static_cast<std::int32_t>(c.cells.size());
    for (int j = 1; j <= table.genotypes; ++j) {
      const CellTerm& term = c.cells[j - 1];
      table.count(1, j) = term.count;
      sums->earlierLower[0][j - 1] = term.earlierLower;
      sums->earlierHigher[0][j - 1] = term.earlierHigher;
      sums->laterLower[0][j - 1] = term.laterLower;
      sums->laterHigher[0][j - 1] = term.laterHigher;
    }
    EXPECT_SAME_FLOAT(computeVarianceSum(table, c.totals, *sums), c.varianceSum);
  }
}

// ---------------------------------------------------------------------------
// Table extents

TEST(TableExtents, BlocksBeyondTheArraysAreRefused) {
  auto sums = std::make_unique<CellPairSums>();
  const std::pair<int, int> sizes[] = {{201, 2}, {2, 201}, {1000000, 1000000}};
  for (const auto& [groups, genotypes] : sizes) {
    SCOPED_TRACE(std::to_string(groups) + " x " + std::to_string(genotypes));
    GenotypeTable table;
    table.groups = groups;
    table.genotypes = genotypes;
    EXPECT_THROW(correctZeroCounts(table, 0.5f), TableSizeError);
    EXPECT_THROW(computePairTotals(table), TableSizeError);
    EXPECT_THROW(computeCellPairSums(table, *sums), TableSizeError);
    EXPECT_THROW(computeVarianceSum(table, PairTotals{}, *sums), TableSizeError);
    EXPECT_SAME_FLOAT(table.count(1, 1), 0.0f);
  }
}

TEST(TableExtents, TheFullTableFits) {
  GenotypeTable table;
  table.groups = kMaxGroups;
  table.genotypes = kMaxGenotypes;
  correctZeroCounts(table, 0.5f);
  EXPECT_SAME_FLOAT(table.count(1, 1), 0.5f);
  EXPECT_SAME_FLOAT(table.count(kMaxGroups, kMaxGenotypes), 0.5f);
}

}  // namespace
}  // namespace ploverix::stats
