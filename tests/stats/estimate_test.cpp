// The scalar steps: gamma and ORG, the factor and standard errors, the limits,
// and the cases in which the checked SQRT, LOG and EXP end the computation.
#include <functional>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "helpers.h"
#include "stats/stats.h"
#include "textio/textio.h"

namespace ploverix::stats {
namespace {

using textio::MathError;
using textio::MathErrorKind;
using textio::MathFunction;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

void expectMathError(const std::function<void()>& step, MathFunction function, MathErrorKind kind) {
  try {
    step();
    ADD_FAILURE() << "no MathError";
  } catch (const MathError& error) {
    EXPECT_EQ(error.function, function);
    EXPECT_EQ(error.kind, kind);
  }
}

// ---------------------------------------------------------------------------
// Gamma and ORG

struct GammaCase {
  std::string name;
  PairTotals totals;
  float gamma;
  float org;
};

TEST(ComputeGammaAndOrg, FromThePairTotals) {
  const GammaCase cases[] = {
      {"trend", {1300, 1500}, -0.0714285746f, 0.866666675f},
      // ORG comes from the stored gamma, so not C / D = 0.25 exactly.
      {"crossed", {1, 4}, -0.600000024f, 0.249999985f},
      {"corrected diagonal", {25, 0.25f}, 0.980198026f, 100.000031f},
      {"corrected antidiagonal", {0.25f, 25}, -0.980198026f, 0.00999999698f},
      {"no discordant pairs", {25, 0}, 1.0f, kInf},
      {"no concordant pairs", {0, 25}, -1.0f, 0.0f},
      {"no pairs", {0, 0}, kNaN, kNaN},
      {"a NaN total", {kNaN, 1}, kNaN, kNaN},
      // Negative counts: C + D = 0 gives gamma = 2 / 0, and ORG = inf / -inf.
      {"totals cancel", {1, -1}, kInf, kNaN},
      {"gamma above one", {3, -1}, 2.0f, -3.0f},
  };
  for (const GammaCase& c : cases) {
    SCOPED_TRACE(c.name);
    const GammaAndOrg result = computeGammaAndOrg(c.totals);
    EXPECT_SAME_FLOAT(result.gamma, c.gamma);
    EXPECT_SAME_FLOAT(result.org, c.org);
  }
}

// ---------------------------------------------------------------------------
// Factor and standard errors

struct FactorCase {
  std::string name;
  PairTotals totals;
  float factor;
};

TEST(ComputeStandardErrorFactor, FourOverTheSquaredDoubleTotal) {
  const FactorCase cases[] = {
      {"trend", {1300, 1500}, 1.27551019e-07f},
      {"one pair each", {1, 1}, 0.25f},
      {"half a pair", {0.5f, 0}, 4.0f},
      {"no pairs", {0, 0}, kInf},
      // (2C)^2 = 4e40 exceeds the float range but not the double one: the
      // factor is the subnormal nearest 1e-40, not 4 / inf = 0.
      {"huge totals", {1e20f, 0}, 1e-40f},
  };
  for (const FactorCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_SAME_FLOAT(computeStandardErrorFactor(c.totals), c.factor);
  }
}

struct ErrorsCase {
  std::string name;
  PairTotals totals;
  float gamma;
  float varianceSum;
  float seGamma;
  float seLnOrg;
};

TEST(ComputeStandardErrors, FromTheVarianceSum) {
  const ErrorsCase cases[] = {
      {"trend", {1300, 1500}, -0.0714285746f, 1.33019992e+12f, 0.14711006f, 0.295728952f},
      {"corrected diagonal", {25, 0.25f}, 0.980198026f, 687.5f, 0.041125726f, 2.09761834f},
      {"corrected antidiagonal", {0.25f, 25}, -0.980198026f, 687.5f, 0.041125726f, 2.09761834f},
      // gamma = 1: 0 / 0 when S is 0, x / 0 otherwise.
      {"no discordant pairs", {25, 0}, 1.0f, 0.0f, 0.0f, kNaN},
      {"no discordant pairs, S above 0", {0.5f, 0}, 1.0f, 4.0f, 8.0f, kInf},
      {"no pairs", {0, 0}, kNaN, 0.0f, kNaN, kNaN},
      // SQRT(-0) is -0, not an error.
      {"S is minus zero", {1, 1}, 0.0f, -0.0f, -0.0f, -0.0f},
      {"S is infinite", {1, 1}, 0.0f, kInf, kInf, kInf},
      // SQRT(1000) meets the factor 0.0204081628 unrounded (a float root would
      // give 0.645362735), and SE(ln ORG) starts from the stored SE(gamma) (the
      // unrounded one would give 1.31761563).
      {"rounding points", {3, 4}, -0.142857149f, 1000.0f, 0.645362794f, 1.31761575f},
  };
  for (const ErrorsCase& c : cases) {
    SCOPED_TRACE(c.name);
    const StandardErrors errors = computeStandardErrors(c.totals, c.gamma, c.varianceSum);
    EXPECT_SAME_FLOAT(errors.seGamma, c.seGamma);
    EXPECT_SAME_FLOAT(errors.seLnOrg, c.seLnOrg);
  }
}

TEST(ComputeStandardErrors, SqrtDomainForANegativeOrNaNSum) {
  const float sums[] = {-1.0f, -3024.0f, -std::numeric_limits<float>::denorm_min(), -kInf, kNaN};
  for (float s : sums) {
    SCOPED_TRACE(testing::show(s));
    expectMathError([s] { computeStandardErrors(PairTotals{4, 9}, -0.384615391f, s); },
                    MathFunction::Sqrt, MathErrorKind::Domain);
  }
}

// ---------------------------------------------------------------------------
// Limits

struct LimitsCase {
  std::string name;
  float org;
  float seLnOrg;
  float lower;
  float upper;
};

TEST(ComputeOrgLimits, ExpOfLogOrgMinusAndPlusTheHalfWidth) {
  const LimitsCase cases[] = {
      {"trend", 0.866666675f, 0.295728952f, 0.485425442f, 1.54732549f},
      {"corrected diagonal", 100.000031f, 2.09761834f, 1.63859403f, 6102.79688f},
      {"corrected antidiagonal", 0.00999999698f, 2.09761834f, 0.000163859295f, 0.610279322f},
      {"no spread", 2.0f, 0.0f, 2.0f, 2.0f},
      // halfWidth = 30 * 1.96000004 stored as 58.8000031; the double 1.96 or an
      // unrounded halfWidth would move both limits.
      {"halfWidth is a float", 1.0f, 30.0f, 2.90725504e-26f, 3.43967075e+25f},
      // EXP(-inf) is 0 and EXP(+inf) is +inf, without a report.
      {"infinite spread", 2.0f, kInf, 0.0f, kInf},
      {"infinite ORG", kInf, 1.0f, kInf, kInf},
      // EXP(-461) underflows to a float 0 and EXP(323) exceeds only the float
      // range: both are stored silently.
      {"beyond the float range", 1e-30f, 200.0f, 0.0f, kInf},
      // halfWidth = 709.52, just below the double overflow at 709.78.
      {"just inside the double range", 1.0f, 362.0f, 0.0f, kInf},
  };
  for (const LimitsCase& c : cases) {
    SCOPED_TRACE(c.name);
    const StudyResult result = computeOrgLimits(c.org, c.seLnOrg);
    EXPECT_SAME_FLOAT(result.org, c.org);
    EXPECT_SAME_FLOAT(result.lower, c.lower);
    EXPECT_SAME_FLOAT(result.upper, c.upper);
  }
}

TEST(ComputeOrgLimits, ExpBelowTheSmallestNormalFloatGivesASubnormal) {
  // halfWidth = 98: EXP(-98) is about 2.7e-43 and EXP(98) about 3.6e42.
  const StudyResult result = computeOrgLimits(1.0f, 50.0f);
  EXPECT_GT(result.lower, 0.0f);
  EXPECT_LT(result.lower, std::numeric_limits<float>::min());
  EXPECT_SAME_FLOAT(result.upper, kInf);
}

struct LimitsErrorCase {
  std::string name;
  float org;
  float seLnOrg;
  MathFunction function;
  MathErrorKind kind;
};

TEST(ComputeOrgLimits, EndsWithTheMathReport) {
  const LimitsErrorCase cases[] = {
      {"ORG zero", 0.0f, 1.0f, MathFunction::Log, MathErrorKind::Singularity},
      {"ORG minus zero", -0.0f, 1.0f, MathFunction::Log, MathErrorKind::Singularity},
      {"ORG negative", -3.0f, 1.0f, MathFunction::Log, MathErrorKind::Domain},
      {"ORG minus infinity", -kInf, 1.0f, MathFunction::Log, MathErrorKind::Domain},
      {"ORG NaN", kNaN, 1.0f, MathFunction::Log, MathErrorKind::Domain},
      {"spread NaN", 1.0f, kNaN, MathFunction::Exp, MathErrorKind::Domain},
      // LOG(+inf) - inf is NaN.
      {"infinite ORG and spread", kInf, kInf, MathFunction::Exp, MathErrorKind::Domain},
      // halfWidth = 710.01: the lower limit underflows quietly, the upper overflows.
      {"upper beyond double", 1.0f, 362.25f, MathFunction::Exp, MathErrorKind::Overflow},
      {"lower beyond double", 1.0f, -400.0f, MathFunction::Exp, MathErrorKind::Overflow},
  };
  for (const LimitsErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    expectMathError([&c] { computeOrgLimits(c.org, c.seLnOrg); }, c.function, c.kind);
  }
}

}  // namespace
}  // namespace ploverix::stats
