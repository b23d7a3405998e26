// The product's pair totals and quadrant sums against the straightforward
// loops of reference.cpp, bit for bit, on thousands of random tables: every
// size from 1 to 40 in both dimensions plus tables 200 wide or 200 deep, and
// counts that are whole, fractional, huge, tiny, negative, zero, non-finite,
// or arranged so that a total settles early or sits on a power of two.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "helpers.h"
#include "mixer.h"
#include "reference.h"
#include "stats/stats.h"
#include "textio/textio.h"

namespace ploverix::stats {
namespace {

using ploverix::testsupport::Mixer;

enum class Style {
  SmallWhole,     // 0..10, many zeros
  Whole,          // 0..1000
  Fractional,     // [0, 1000) with a full significand
  Huge,           // up to the largest floats: totals overflow to infinity
  Tiny,           // subnormal and tiny normal counts: products below the float range
  Negative,       // whole and fractional counts of both signs
  MostlyZero,     // a few non-zero counts
  FallingRows,    // each group an order of magnitude below the previous: totals settle
  PowerOfTwo,     // a total lands on 2^n, then small products of both signs follow
  HalfSteps,      // multiples of 1/2 and 1/4 near 2^24 units: ties to even
  NonFinite,      // a sprinkling of infinities and NaN
  kCount,
};

const char* styleName(Style style) {
  static const char* const names[] = {"small whole", "whole",     "fractional",  "huge",
                                      "tiny",        "negative",  "mostly zero", "falling rows",
                                      "power of two", "half steps", "non-finite"};
  return names[static_cast<int>(style)];
}

float drawCount(Style style, Mixer& mixer, int i, int j) {
  switch (style) {
    case Style::SmallWhole:
      return static_cast<float>(mixer.below(11));
    case Style::Whole:
      return static_cast<float>(mixer.below(1001));
    case Style::Fractional:
      return static_cast<float>(mixer.unit() * 1000.0);
    case Style::Huge:
      return static_cast<float>(std::ldexp(1.0 + mixer.unit(), 100 + mixer.below(28)));
    case Style::Tiny:
      return static_cast<float>(std::ldexp(1.0 + mixer.unit(), -149 + mixer.below(40)));
    case Style::Negative: {
      const double magnitude = mixer.chance(50) ? mixer.below(1001) : mixer.unit() * 1000.0;
      return static_cast<float>(mixer.chance(40) ? -magnitude : magnitude);
    }
    case Style::MostlyZero:
      return mixer.chance(90) ? 0.0f : static_cast<float>(1 + mixer.below(1000));
    case Style::FallingRows: {
      const double scale = std::ldexp(1.0, 40 - 4 * i - mixer.below(3));
      const double value = mixer.chance(50) ? mixer.below(1001) : mixer.unit() * 1000.0;
      return static_cast<float>((mixer.chance(10) ? -value : value) * scale);
    }
    case Style::PowerOfTwo: {
      // Groups 1 and 2 carry 2^a at genotypes 1 and 2 (one product 2^(2a) in
      // each total); the rest are small dyadic counts of either sign, whose
      // products lie around the spacing of floats near 2^(2a).
      const int a = 12;
      if (i <= 2) return (i == 1 && j == 1) || (i == 2 && j == 2) || (i == 1 && j == 2) ||
                               (i == 2 && j == 1)
                           ? std::ldexp(1.0f, a)
                           : 0.0f;
      const double value = std::ldexp(static_cast<double>(1 + mixer.below(7)), -3 - mixer.below(3));
      return static_cast<float>(mixer.chance(50) ? -value : value);
    }
    case Style::HalfSteps:
      return static_cast<float>(static_cast<double>(mixer.below(4000000)) / 4.0 +
                                (mixer.chance(5) ? 4194304.0 : 0.0));
    case Style::NonFinite: {
      const int roll = mixer.below(100);
      if (roll < 3) return std::numeric_limits<float>::infinity();
      if (roll < 5) return -std::numeric_limits<float>::infinity();
      if (roll < 8) return std::numeric_limits<float>::quiet_NaN();
      return static_cast<float>(mixer.below(1001));
    }
    case Style::kCount:
      break;
  }
  return 0.0f;
}

// Same bits, or NaN on both sides (which NaN a sum keeps is not specified).
bool sameBits(float a, float b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

struct Table {
  std::string name;
  std::unique_ptr<GenotypeTable> table;
};

Table drawTable(Mixer& mixer, int groups, int genotypes, Style style, float zeroAdd, int number) {
  auto table = std::make_unique<GenotypeTable>();
  // Outside the block: NaN, so a kernel that reads past it shows.
  for (auto& row : table->counts) {
    for (float& cell : row) cell = std::numeric_limits<float>::quiet_NaN();
  }
  table->groups = groups;
  table->genotypes = genotypes;
  for (int i = 1; i <= groups; ++i) {
    for (int j = 1; j <= genotypes; ++j) table->count(i, j) = drawCount(style, mixer, i, j);
  }
  correctZeroCounts(*table, zeroAdd);
  return Table{"table " + std::to_string(number) + ": " + std::to_string(groups) + " x " +
                   std::to_string(genotypes) + ", " + styleName(style) + ", zero add " +
                   testing::show(zeroAdd),
               std::move(table)};
}

// Compares both walkers on one table; returns false after the first mismatch.
bool expectSameWalkers(const Table& t, CellPairSums& mine, CellPairSums& theirs) {
  const GenotypeTable& table = *t.table;
  const PairTotals totals = computePairTotals(table);
  const PairTotals expected = reference::computePairTotals(table);
  if (!sameBits(totals.concordant, expected.concordant) ||
      !sameBits(totals.discordant, expected.discordant)) {
    ADD_FAILURE() << t.name << ": C = " << testing::show(totals.concordant) << " D = "
                  << testing::show(totals.discordant) << ", expected C = "
                  << testing::show(expected.concordant) << " D = "
                  << testing::show(expected.discordant);
    return false;
  }
  computeCellPairSums(table, mine);
  reference::computeCellPairSums(table, theirs);
  const char* names[] = {"earlierLower", "earlierHigher", "laterLower", "laterHigher"};
  float (*const mineArrays[])[kMaxGenotypes] = {mine.earlierLower, mine.earlierHigher,
                                                mine.laterLower, mine.laterHigher};
  float (*const theirArrays[])[kMaxGenotypes] = {theirs.earlierLower, theirs.earlierHigher,
                                                 theirs.laterLower, theirs.laterHigher};
  for (int q = 0; q < 4; ++q) {
    for (int i = 0; i < table.groups; ++i) {
      for (int j = 0; j < table.genotypes; ++j) {
        if (!sameBits(mineArrays[q][i][j], theirArrays[q][i][j])) {
          ADD_FAILURE() << t.name << ": " << names[q] << "(" << i + 1 << ", " << j + 1
                        << ") = " << testing::show(mineArrays[q][i][j]) << ", expected "
                        << testing::show(theirArrays[q][i][j]);
          return false;
        }
      }
    }
  }
  return true;
}

constexpr float kZeroAdds[] = {0.0f, 0.5f, 1e-3f};

TEST(Kernels, MatchTheLoopsOnSmallTables) {
  Mixer mixer{20240611};
  auto mine = std::make_unique<CellPairSums>();
  auto theirs = std::make_unique<CellPairSums>();
  int number = 0;
  int failures = 0;
  // Every size 1..40 by 1..40 once, with a style and a zero add in turn, then
  // random sizes up to the same total.
  for (int groups = 1; groups <= 40; ++groups) {
    for (int genotypes = 1; genotypes <= 40; ++genotypes) {
      const auto style = static_cast<Style>(number % static_cast<int>(Style::kCount));
      const Table t = drawTable(mixer, groups, genotypes, style, kZeroAdds[number % 3], number);
      ++number;
      if (!expectSameWalkers(t, *mine, *theirs) && ++failures >= 10) return;
    }
  }
  for (int n = 0; n < 2400; ++n) {
    const int groups = 1 + mixer.below(mixer.chance(50) ? 8 : 40);
    const int genotypes = 1 + mixer.below(mixer.chance(50) ? 8 : 40);
    const auto style = static_cast<Style>(mixer.below(static_cast<int>(Style::kCount)));
    const Table t = drawTable(mixer, groups, genotypes, style, kZeroAdds[mixer.below(3)], number);
    ++number;
    if (!expectSameWalkers(t, *mine, *theirs) && ++failures >= 10) return;
  }
}

TEST(Kernels, MatchTheLoopsOnTablesOfTwoHundred) {
  Mixer mixer{77};
  auto mine = std::make_unique<CellPairSums>();
  auto theirs = std::make_unique<CellPairSums>();
  const int sizes[][2] = {{200, 2}, {2, 200}, {200, 3}, {3, 200}, {200, 12}, {12, 200},
                          {200, 1}, {1, 200}, {40, 200}, {200, 40}};
  int number = 0;
  for (const auto& size : sizes) {
    for (int s = 0; s < static_cast<int>(Style::kCount); s += 1 + (size[0] * size[1] > 4000)) {
      const Table t = drawTable(mixer, size[0], size[1], static_cast<Style>(s),
                                kZeroAdds[number % 3], number);
      ++number;
      if (!expectSameWalkers(t, *mine, *theirs)) return;
    }
  }
}

// Totals that stop changing only in appearance: the product that moves them
// comes after the rows that could be taken for the last large ones.
struct SettleCase {
  std::string name;
  testing::Rows rows;
  float concordant;
};

TEST(Kernels, KeepAChainGoingWhileAProductCanStillMoveIt) {
  const float tiny = std::ldexp(1.0f, -40);
  const SettleCase cases[] = {
      // C reaches 2^24 (4096 * 4096; 4096 * -2^-13 = -0.5 is a tie that keeps
      // it). Below a power of two the spacing is 1, not 2: the later product
      // 6144 * -2^-13 = -0.75 moves C to 2^24 - 1.
      {"negative product below a power of two",
       {{4096, 1}, {6144, 4096}, {-tiny, -std::ldexp(1.0f, -13)}},
       16777215.0f},
      // C reaches 2^24 + 2 (4096 * (4096 + 2^-11)). The later product
      // (2^14 - 1/2) * 2^-14 (1 + 2^-15) = 1 - 2^-30 is below half the spacing
      // 2, but the double sum rounds up to 2^24 + 3, a tie that goes to the
      // even 2^24 + 4.
      {"double rounding to a midpoint",
       {{4096, tiny}, {16383.5f, 4096 + std::ldexp(1.0f, -11)}, {tiny, std::ldexp(1.0f, -14) * (1 + std::ldexp(1.0f, -15))}},
       16777220.0f},
  };
  for (const SettleCase& c : cases) {
    SCOPED_TRACE(c.name);
    const GenotypeTable table = testing::makeTable(c.rows);
    EXPECT_SAME_FLOAT(reference::computePairTotals(table).concordant, c.concordant);
    EXPECT_SAME_FLOAT(computePairTotals(table).concordant, c.concordant);
  }
}

// The whole study, including the errors that end it, through both walkers.
TEST(Kernels, AnalyseStudyMatchesTheLoops) {
  Mixer mixer{4242};
  for (int n = 0; n < 400; ++n) {
    const int groups = 1 + mixer.below(12);
    const int genotypes = 1 + mixer.below(12);
    const auto style = static_cast<Style>(mixer.below(static_cast<int>(Style::kCount)));
    const float zeroAdd = kZeroAdds[mixer.below(3)];
    Table t = drawTable(mixer, groups, genotypes, style, 0.0f, n);
    GenotypeTable copy = *t.table;
    SCOPED_TRACE(t.name);
    bool threw = false;
    bool expectedThrew = false;
    StudyAnalysis actual;
    StudyAnalysis expected;
    textio::MathErrorKind kind{};
    textio::MathErrorKind expectedKind{};
    try {
      actual = analyseStudy(*t.table, zeroAdd);
    } catch (const textio::MathError& error) {
      threw = true;
      kind = error.kind;
    }
    try {
      expected = reference::analyseStudy(copy, zeroAdd);
    } catch (const textio::MathError& error) {
      expectedThrew = true;
      expectedKind = error.kind;
    }
    ASSERT_EQ(threw, expectedThrew);
    if (threw) {
      EXPECT_EQ(kind, expectedKind);
      continue;
    }
    EXPECT_TRUE(sameBits(actual.gamma, expected.gamma));
    EXPECT_TRUE(sameBits(actual.seGamma, expected.seGamma));
    EXPECT_TRUE(sameBits(actual.result.org, expected.result.org));
    EXPECT_TRUE(sameBits(actual.result.lower, expected.result.lower));
    EXPECT_TRUE(sameBits(actual.result.upper, expected.result.upper));
  }
}

}  // namespace
}  // namespace ploverix::stats
