// Pooling of per-study results: every value below identifies one float (nine
// significant digits) and must come out bit for bit.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "meta/meta.h"
#include "textio/textio.h"

namespace ploverix::meta {
namespace {

struct PoolingCase {
  std::string name;
  std::vector<stats::StudyResult> studies;
  float k;
  float Q, I2, tau2;
  PooledEstimate fixedEffects, randomEffects;
};

const PoolingCase kPoolingCases[] = {
    {"three studies with equal weights",
     {{2.0f, 1.0f, 4.0f}, {3.0f, 1.5f, 6.0f}, {1.0f, 0.5f, 2.0f}}, 3.0f,
     4.93554354f, 59.4776154f, 0.183568135f,
     {1.81712055f, 1.21782243f, 2.71133709f}, {1.81712055f, 0.969079077f, 3.40728354f}},
    {"three identical studies: Q = 0 and the ratio -inf is floored",
     {{2.0f, 1.0f, 4.0f}, {2.0f, 1.0f, 4.0f}, {2.0f, 1.0f, 4.0f}}, 3.0f,
     0.0f, 0.0f, 0.0f,
     {2.0f, 1.34038711f, 2.98421264f}, {2.0f, 1.34038711f, 2.98421264f}},
    {"zero ORG and lower limit are guarded to 0.05",
     {{0.0f, 0.0f, 2.0f}, {3.0f, 1.5f, 6.0f}, {1.0f, 0.5f, 2.0f}}, 3.0f,
     18.0806313f, 88.9384384f, 1.67892849f,
     {1.37092698f, 0.853676796f, 2.20158339f}, {0.688574731f, 0.138870135f, 3.41423392f}},
    {"four studies",
     {{1.2f, 0.8f, 1.8f}, {2.5f, 1.1f, 5.7f}, {0.9f, 0.6f, 1.35f}, {1.6f, 1.2f, 2.13f}}, 4.0f,
     7.66219521f, 60.8467293f, 0.070905149f,
     {1.3391577f, 1.09980845f, 1.63059604f}, {1.33891904f, 0.949224055f, 1.88859963f}},
    {"Q below k - 1 gives I2 = tau2 = 0",
     {{2.0f, 1.0f, 4.0f}, {2.1f, 1.05f, 4.2f}, {1.9f, 0.95f, 3.8f}}, 3.0f,
     0.0400540084f, 0.0f, 0.0f,
     {1.99833202f, 1.33926928f, 2.98172379f}, {1.99833202f, 1.33926928f, 2.98172379f}},
};

TEST(PoolStudies, ReproducesEveryValueBitForBit) {
  for (const PoolingCase& c : kPoolingCases) {
    SCOPED_TRACE(c.name);
    std::vector<stats::StudyResult> input = c.studies;
    const PooledStudies pooled = poolStudies(input.data(), c.k);
    EXPECT_EQ(pooled.heterogeneity.Q, c.Q);
    EXPECT_EQ(pooled.heterogeneity.I2, c.I2);
    EXPECT_EQ(pooled.heterogeneity.tau2, c.tau2);
    EXPECT_EQ(pooled.fixedEffects.org, c.fixedEffects.org);
    EXPECT_EQ(pooled.fixedEffects.lower, c.fixedEffects.lower);
    EXPECT_EQ(pooled.fixedEffects.upper, c.fixedEffects.upper);
    EXPECT_EQ(pooled.randomEffects.org, c.randomEffects.org);
    EXPECT_EQ(pooled.randomEffects.lower, c.randomEffects.lower);
    EXPECT_EQ(pooled.randomEffects.upper, c.randomEffects.upper);
  }
}

TEST(PoolStudies, PValueOfQWithTwoDegreesOfFreedom) {
  // With two degrees of freedom the distribution function is 1 - exp(-Q/2),
  // so the p-value is exp(-Q/2): exp(-4.93554354/2) = 0.0847767...
  std::vector<stats::StudyResult> input = kPoolingCases[0].studies;
  const PooledStudies pooled = poolStudies(input.data(), 3.0f);
  EXPECT_NEAR(pooled.heterogeneity.pValue, std::exp(-4.93554354 / 2.0), 5e-6);
}

TEST(PoolStudies, OneStudyWithKOfOneAndAHalfOverflowsTheRandomEffectsLimit) {
  // Sw - Sw2 / Sw is only the rounding residue of w - w^2 / w, so tau2 is
  // huge and the exponential of the upper random-effects limit exceeds the
  // largest double.
  std::vector<stats::StudyResult> input = {{2.0f, 1.0f, 4.0f}};
  try {
    poolStudies(input.data(), 1.5f);
    FAIL() << "expected an overflow of EXP";
  } catch (const textio::MathError& error) {
    EXPECT_EQ(error.function, textio::MathFunction::Exp);
    EXPECT_EQ(error.kind, textio::MathErrorKind::Overflow);
  }
}

TEST(PoolStudies, NegativeOrNotANumberStudyValueIsALogDomainError) {
  const std::vector<stats::StudyResult> bad[] = {
      {{2.0f, -1.0f, 4.0f}, {2.0f, 1.0f, 4.0f}},
      {{std::numeric_limits<float>::quiet_NaN(), 1.0f, 4.0f}, {2.0f, 1.0f, 4.0f}},
  };
  for (const auto& studies : bad) {
    std::vector<stats::StudyResult> input = studies;
    try {
      poolStudies(input.data(), 2.0f);
      FAIL() << "expected a LOG domain error";
    } catch (const textio::MathError& error) {
      EXPECT_EQ(error.function, textio::MathFunction::Log);
      EXPECT_EQ(error.kind, textio::MathErrorKind::Domain);
    }
  }
}

TEST(PoolStudies, InfiniteUpperLimitGivesTheStudyNoWeight) {
  // A study whose upper limit overflowed to +inf has an infinite standard
  // error: its weight is 0 and the pooled values are those of the others.
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<stats::StudyResult> with = {{2.0f, 1.0f, 4.0f}, {3.0f, 1.5f, 6.0f}, {5.0f, 2.0f, inf}};
  std::vector<stats::StudyResult> without = {{2.0f, 1.0f, 4.0f}, {3.0f, 1.5f, 6.0f}};
  const PooledStudies a = poolStudies(with.data(), 3.0f);
  const PooledStudies b = poolStudies(without.data(), 2.0f);
  EXPECT_EQ(a.fixedEffects.org, b.fixedEffects.org);
  EXPECT_EQ(a.fixedEffects.lower, b.fixedEffects.lower);
  EXPECT_EQ(a.fixedEffects.upper, b.fixedEffects.upper);
  EXPECT_EQ(a.heterogeneity.Q, b.heterogeneity.Q);
}

TEST(StudyPasses, TruncatesTowardZeroWithoutOverflow) {
  struct Row { float k; std::int32_t passes; bool aboveLimit; };
  const float inf = std::numeric_limits<float>::infinity();
  const Row rows[] = {
      {3.0f, 3, false},   {3.7f, 3, false},    {2.9f, 2, false},   {1.5f, 1, false},
      {1.0f, 1, false},   {0.99f, 0, false},   {0.0f, 0, false},   {-3.0f, 0, false},
      {200.0f, 200, false}, {200.9f, 200, false}, {201.0f, 201, true}, {1e30f, 201, true},
      {inf, 201, true},   {-inf, 0, false},
      {std::numeric_limits<float>::quiet_NaN(), 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.k);
    EXPECT_EQ(studyPasses(row.k), row.passes);
    EXPECT_EQ(studiesAboveLimit(row.k), row.aboveLimit);
  }
}

}  // namespace
}  // namespace ploverix::meta
