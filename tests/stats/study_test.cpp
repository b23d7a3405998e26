// The whole single-study computation: results bit for bit, the degenerate
// tables that end it, and the sameness of repeated and surrounded tables.
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "helpers.h"
#include "stats/stats.h"
#include "textio/textio.h"

namespace ploverix::stats {
namespace {

using testing::makeTable;
using testing::Rows;
using textio::MathError;
using textio::MathErrorKind;
using textio::MathFunction;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void expectSameAnalysis(const StudyAnalysis& actual, const StudyAnalysis& expected) {
  EXPECT_SAME_FLOAT(actual.gamma, expected.gamma);
  EXPECT_SAME_FLOAT(actual.seGamma, expected.seGamma);
  EXPECT_SAME_FLOAT(actual.result.org, expected.result.org);
  EXPECT_SAME_FLOAT(actual.result.lower, expected.result.lower);
  EXPECT_SAME_FLOAT(actual.result.upper, expected.result.upper);
}

struct StudyCase {
  std::string name;
  Rows rows;
  float zeroAdd;
  StudyAnalysis expected;
};

const StudyCase kStudies[] = {
    {"trend", {{10, 20, 30}, {15, 25, 35}}, 0.5f,
     {-0.0714285746f, 0.14711006f, {0.866666675f, 0.485425442f, 1.54732549f}}},
    {"diagonal with zeros corrected", {{5, 0}, {0, 5}}, 0.5f,
     {0.980198026f, 0.041125726f, {100.000031f, 1.63859403f, 6102.79688f}}},
    {"antidiagonal with zeros corrected", {{0, 5}, {5, 0}}, 0.5f,
     {-0.980198026f, 0.041125726f, {0.00999999698f, 0.000163859295f, 0.610279322f}}},
};

TEST(AnalyseStudy, ReproducesTheStudies) {
  for (const StudyCase& c : kStudies) {
    SCOPED_TRACE(c.name);
    GenotypeTable table = makeTable(c.rows);
    expectSameAnalysis(analyseStudy(table, c.zeroAdd), c.expected);
  }
}

TEST(AnalyseStudy, CorrectsTheTableInPlace) {
  GenotypeTable table = makeTable({{0, 12, 8}, {3, 0, 5}});
  analyseStudy(table, 0.5f);
  const Rows corrected = {{0.5f, 12, 8}, {3, 0.5f, 5}};
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_SAME_FLOAT(table.count(i, j), corrected[i - 1][j - 1]);
  }
}

// The keyboard and the study file hand over the same block with different
// surroundings (zeros, or the rest of a larger earlier study), and studies
// follow one another: none of this may change a bit.
TEST(AnalyseStudy, SameTableSameBitsWhateverCameBefore) {
  GenotypeTable larger = makeTable({{1101, 4663, 517}, {2090, 966, 4059}, {3683, 3869, 3110}});
  const StudyAnalysis larger1 = analyseStudy(larger, 0.5f);
  for (const StudyCase& c : kStudies) {
    SCOPED_TRACE(c.name);
    GenotypeTable surroundedByZeros = makeTable(c.rows);
    GenotypeTable surroundedByNaN = makeTable(c.rows, kNaN);
    expectSameAnalysis(analyseStudy(surroundedByNaN, c.zeroAdd), c.expected);
    expectSameAnalysis(analyseStudy(larger, 0.5f), larger1);
    expectSameAnalysis(analyseStudy(surroundedByZeros, c.zeroAdd), c.expected);
  }
}

struct DegenerateCase {
  std::string name;
  Rows rows;
  float zeroAdd;
  MathFunction function;
  MathErrorKind kind;
};

TEST(AnalyseStudy, DegenerateTablesEndWithTheMathReport) {
  const DegenerateCase cases[] = {
      // gamma = 1, ORG = +inf, S = 0, so SE(ln ORG) = 0 / 0: EXP(inf - NaN).
      {"no discordant pairs", {{5, 0}, {0, 5}}, 0.0f, MathFunction::Exp, MathErrorKind::Domain},
      // gamma = -1, ORG = 0.
      {"no concordant pairs", {{0, 5}, {5, 0}}, 0.0f, MathFunction::Log, MathErrorKind::Singularity},
      // C = D = 0: ORG is NaN by the time LOG sees it.
      {"one group", {{3, 4, 5}}, 0.5f, MathFunction::Log, MathErrorKind::Domain},
      {"one genotype", {{3}, {4}, {5}}, 0.5f, MathFunction::Log, MathErrorKind::Domain},
      {"no groups", {}, 0.5f, MathFunction::Log, MathErrorKind::Domain},
      {"zeros only, nothing added", {{0, 0}, {0, 0}}, 0.0f, MathFunction::Log, MathErrorKind::Domain},
      // The variance sum is -3024.
      {"negative counts", {{-1, 3}, {3, -4}}, 0.0f, MathFunction::Sqrt, MathErrorKind::Domain},
      // A NaN count makes S NaN, and SQRT comes first.
      {"a NaN count", {{kNaN, 1}, {1, 1}}, 0.5f, MathFunction::Sqrt, MathErrorKind::Domain},
      {"a NaN count in one group", {{kNaN, 1}}, 0.5f, MathFunction::Sqrt, MathErrorKind::Domain},
  };
  for (const DegenerateCase& c : cases) {
    SCOPED_TRACE(c.name);
    GenotypeTable table = makeTable(c.rows);
    try {
      analyseStudy(table, c.zeroAdd);
      ADD_FAILURE() << "no MathError";
    } catch (const MathError& error) {
      EXPECT_EQ(error.function, c.function);
      EXPECT_EQ(error.kind, c.kind);
    }
  }
}

TEST(AnalyseStudy, EmptyBlockOfAnyShapeEndsAtLog) {
  const std::pair<int, int> sizes[] = {{0, 3}, {2, 0}, {-2, 3}, {2, -1}};
  for (const auto& [groups, genotypes] : sizes) {
    SCOPED_TRACE(std::to_string(groups) + " x " + std::to_string(genotypes));
    GenotypeTable table = makeTable({{1, 2, 3}, {4, 5, 6}});
    table.groups = groups;
    table.genotypes = genotypes;
    try {
      analyseStudy(table, 0.5f);
      ADD_FAILURE() << "no MathError";
    } catch (const MathError& error) {
      EXPECT_EQ(error.function, MathFunction::Log);
      EXPECT_EQ(error.kind, MathErrorKind::Domain);
    }
  }
}

TEST(AnalyseStudy, RefusesATableBeyondItsArraysBeforeTouchingIt) {
  GenotypeTable table = makeTable({{0, 1}, {1, 0}});
  table.groups = kMaxGroups + 1;
  EXPECT_THROW(analyseStudy(table, 0.5f), TableSizeError);
  EXPECT_SAME_FLOAT(table.count(1, 1), 0.0f);
}

}  // namespace
}  // namespace ploverix::stats
