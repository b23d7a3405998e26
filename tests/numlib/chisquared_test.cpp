// The chi-squared distribution function: the quoted values, the terminal
// report for too few degrees of freedom, non-finite arguments, and a grid over
// every branch against references computed here, independently of the code
// under test.
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "fixture.h"
#include "textio/textio.h"

namespace ploverix::numlib {
namespace {

using testing::capture;
using testing::NumlibTest;
using testing::Outcome;
using testing::records;

// ---------------------------------------------------------------------------
// References

// The regularised lower incomplete gamma function P(a, x) in long double: the
// power series below a + 1, the continued fraction of Q (modified Lentz)
// above it.
long double lowerGammaRatio(long double a, long double x) {
  if (x <= 0.0L) return 0.0L;
  const long double logPrefix = a * std::log(x) - x - std::lgamma(a);
  if (x < a + 1.0L) {
    long double term = 1.0L / a;
    long double sum = term;
    for (int n = 1; n < 10000; ++n) {
      term *= x / (a + n);
      sum += term;
      if (term < sum * 1e-21L) break;
    }
    return sum * std::exp(logPrefix);
  }
  const long double tiny = 1e-4000L;
  long double b = x + 1.0L - a;
  long double c = 1.0L / tiny;
  long double d = 1.0L / b;
  long double h = d;
  for (int i = 1; i < 10000; ++i) {
    const long double an = -i * (i - a);
    b += 2.0L;
    d = an * d + b;
    if (std::fabs(d) < tiny) d = tiny;
    c = b + an / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0L / d;
    const long double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0L) < 1e-21L) break;
  }
  return 1.0L - std::exp(logPrefix) * h;
}

// The Wilson-Hilferty approximation with exact constants in double and the
// exact normal distribution function.
double wilsonHilferty(double x, double df) {
  const double t = 2.0 / (9.0 * df);
  const double z = (std::cbrt(x / df) - (1.0 - t)) / std::sqrt(t);
  return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

TEST(Reference, ReproducesKnownDistributionValues) {
  // P(1/2, x/2) = erf(sqrt(x/2)); P(1, x/2) = 1 - exp(-x/2); P(2, x/2) = 1 - (1 + x/2) exp(-x/2).
  for (const long double x : {1e-6L, 0.5L, 3.0L, 20.0L, 90.0L}) {
    EXPECT_NEAR(static_cast<double>(lowerGammaRatio(0.5L, x / 2)), static_cast<double>(std::erf(std::sqrt(x / 2))), 1e-15);
    EXPECT_NEAR(static_cast<double>(lowerGammaRatio(1.0L, x / 2)), static_cast<double>(-std::expm1(-x / 2)), 1e-15);
    EXPECT_NEAR(static_cast<double>(lowerGammaRatio(2.0L, x / 2)),
                static_cast<double>(1.0L - (1.0L + x / 2) * std::exp(-x / 2)), 1e-15);
  }
}

// ---------------------------------------------------------------------------
// Quoted values

struct ValueCase {
  float chsq;
  float df;
  double expected;
  double tolerance;  // absolute; 0 means exactly
};

TEST_F(NumlibTest, ChidfQuotedValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<ValueCase> cases = {
      {3.841459f, 1.0f, 0.95, 1e-6},          {5.991465f, 2.0f, 0.95, 1e-6},
      {11.0705f, 5.0f, 0.95, 1e-6},           {0.5f, 0.5f, 0.7436779, 3 * 6e-8},
      {0.0f, 0.5f, 0.0, 0},                   {0.0f, 3.0f, 0.0, 0},
      {0.0f, 100.0f, 0.0, 0},                 {1e-12f, 0.5f, 0.0, 0},
      {1e-12f, 3.0f, 0.0, 0},                 {1e-12f, 100.0f, 0.0, 0},
      {1.1e-12f, 3.0f, 3.1e-19, 0.05e-19},    {1.9f, 26.0f, 0.0, 0},
      {2.0f, 26.0f, 6.36e-11, 0.01e-11},      {1.9f, 100.0f, 0.0, 0},
      {2.0f, 66.0f, 1.9e-32, 0.1e-32},        {60.0f, 60.0f, 0.52428, 1e-5},
      {26.0f, 52.0f, 9.66e-4, 0.01e-4},       {25.99f, 52.0f, 9.61e-4, 0.01e-4},
      {100.0f, 100.0f, 0.5188, 1e-4},         {66.0f, 66.0f, 0.5231, 1e-4},
      {3.0f, 199.0f, 0.0, 0},                 {10.2f, 199.0f, 0.0, 0},
      {250.0f, 10.0f, 1.0, 0},                {200.0f, 10.0f, 1.0, 0},
      {-1.0f, 5.0f, 0.0, 0},                  {inf, 10.0f, 1.0, 0},
      {inf, 100.0f, 1.0, 0},                  {std::numeric_limits<float>::quiet_NaN(), 100.0f, 0.0, 0},
  };
  for (const ValueCase& c : cases) {
    resetLibraryState();
    float value = -1.0f;
    const Outcome outcome = capture([&] { value = CHIDF(c.chsq, c.df); });
    if (c.tolerance == 0) {
      EXPECT_EQ(value, static_cast<float>(c.expected)) << "CHIDF(" << c.chsq << ", " << c.df << ")";
    } else {
      EXPECT_NEAR(value, c.expected, c.tolerance) << "CHIDF(" << c.chsq << ", " << c.df << ")";
    }
    EXPECT_EQ(outcome.printed, "") << "CHIDF(" << c.chsq << ", " << c.df << ")";
    EXPECT_FALSE(outcome.stop.has_value()) << "CHIDF(" << c.chsq << ", " << c.df << ")";
    EXPECT_EQ(state().level, 1);
  }
}

TEST_F(NumlibTest, ChidfNoteForNegativeChsqStaysAtItsLevel) {
  EXPECT_EQ(CHIDF(-1.0f, 5.0f), 0.0f);
  EXPECT_EQ(state().types[1], 0);
  EXPECT_EQ(N1RTY(1), 1) << "the NOTE is recorded at CHIDF's level";
  EXPECT_EQ(state().codes[2], 1);
}

TEST_F(NumlibTest, ChidfUnderflowOfTheNormalApproximationIsASilentAlert) {
  EXPECT_EQ(CHIDF(3.0f, 199.0f), 0.0f);
  EXPECT_EQ(state().types[1], 2);
  EXPECT_EQ(state().codes[1], 3);
  resetLibraryState();
  EXPECT_EQ(CHIDF(10.2f, 199.0f), 0.0f);
  EXPECT_EQ(state().types[1], 0) << "ANORDF clears the underflow of ERFC";
}

TEST_F(NumlibTest, ChidfOfNaNWithFewDegreesOfFreedomEndsInTheLogarithm) {
  try {
    CHIDF(std::numeric_limits<float>::quiet_NaN(), 10.0f);
    FAIL() << "no error";
  } catch (const textio::MathError& error) {
    EXPECT_EQ(error.function, textio::MathFunction::Log);
    EXPECT_EQ(error.kind, textio::MathErrorKind::Domain);
  }
}

struct TerminalCase {
  float df;
  std::string first;
  std::string second;
};

TEST_F(NumlibTest, ChidfBelowHalfADegreeOfFreedomIsTerminal) {
  const std::string first = " *** TERMINAL ERROR 2 from CHIDF.  The number of degrees of freedom of the";
  const std::vector<TerminalCase> cases = {
      {0.2f, first, " ***          distribution, DF = 2.000000E-01, must be at least equal to 0.5."},
      {-1.0f, first, " ***          distribution, DF = -1.000000E+00, must be at least equal to 0.5."},
      {0.4f, first, " ***          distribution, DF = 4.000000E-01, must be at least equal to 0.5."},
      {0.0f, first, " ***          distribution, DF = 0.000000E+00, must be at least equal to 0.5."},
  };
  EXPECT_EQ(first.size(), 74u);
  EXPECT_EQ(cases[0].second.size(), 77u);
  EXPECT_EQ(cases[1].second.size(), 78u);
  for (const TerminalCase& c : cases) {
    resetLibraryState();
    const Outcome outcome = capture([&] { CHIDF(5.0f, c.df); });
    EXPECT_EQ(outcome.printed, "\r\n" + c.first + "\r\n" + c.second + "\r\n") << "DF = " << c.df;
    ASSERT_TRUE(outcome.stop.has_value()) << "DF = " << c.df;
    EXPECT_EQ(outcome.stop->routine, "CHIDF");
    EXPECT_EQ(outcome.stop->type, 5);
    EXPECT_EQ(outcome.stop->code, 2);
  }
}

// ---------------------------------------------------------------------------
// The grid

enum class Branch { ZeroShortcut, OneShortcut, Normal, Series, Expansion };

// Which way the function goes for (x, df), by its stated rules.
Branch branchOf(float x, float df) {
  if (x <= 1e-12f || (df > 65.0f && x < 2.0f)) return Branch::ZeroShortcut;
  if (df > 65.0f) return Branch::Normal;
  if (x > 200.0f) return Branch::OneShortcut;
  const double a = static_cast<float>(0.5 * df);
  const double h = static_cast<float>(0.5 * x);
  if (h < std::max(0.5 * a, 13.0)) return df > 25.0f && x < 2.0f ? Branch::ZeroShortcut : Branch::Series;
  return Branch::Expansion;
}

TEST_F(NumlibTest, ChidfAgreesWithTheReferencesOnAGridOverEveryBranch) {
  const std::vector<float> dfs = {0.5f,  0.75f, 1.0f,  1.5f,  2.0f,  3.0f,  4.0f,   5.0f,   7.0f,
                                  10.0f, 13.7f, 20.0f, 25.0f, 26.0f, 30.0f, 40.0f,  52.0f,  60.0f,
                                  65.0f, 65.5f, 66.0f, 80.0f, 100.f, 150.f, 199.0f, 200.0f};
  const std::vector<float> chsqs = {1e-6f, 1e-4f, 0.01f,  0.1f,  0.5f,  1.0f,   1.9f,   2.0f,
                                    3.0f,  5.0f,  8.0f,   12.0f, 20.0f, 26.0f,  30.0f,  40.0f,
                                    60.0f, 80.0f, 100.0f, 150.f, 199.f, 200.0f, 250.0f, 400.0f};
  std::map<Branch, int> seen;
  for (const float df : dfs) {
    for (const float x : chsqs) {
      const Branch branch = branchOf(x, df);
      ++seen[branch];
      const float value = CHIDF(x, df);
      const double exact = static_cast<double>(lowerGammaRatio(0.5L * df, 0.5L * x));
      const std::string where = "CHIDF(" + std::to_string(x) + ", " + std::to_string(df) + ")";
      switch (branch) {
        case Branch::ZeroShortcut:
          EXPECT_EQ(value, 0.0f) << where;
          EXPECT_LT(exact, 1e-10) << where;
          break;
        case Branch::OneShortcut:
          EXPECT_EQ(value, 1.0f) << where;
          EXPECT_GT(exact, 1.0 - 5e-6) << where;
          break;
        case Branch::Normal:
          EXPECT_NEAR(value, wilsonHilferty(x, df), 2e-6) << where;
          break;
        case Branch::Expansion:
          // 1 - Q with Q near 1 and its sum S held as a float at every
          // addition (and 1/h as a float): the error of this branch is
          // absolute, a few 1E-06, also where P is below 1E-03 (at h = a/2
          // for a near 30 that is a relative error of up to about 1E-02).
          EXPECT_NEAR(value, exact, 5e-6) << where;
          break;
        case Branch::Series:
          if (exact > 1e-3) {
            EXPECT_NEAR(value, exact, 5e-6) << where;
          } else if (exact > 1e-30) {
            EXPECT_NEAR(value, exact, exact * 2e-3) << where;
          } else {
            EXPECT_NEAR(value, exact, 1e-30) << where;
          }
          break;
      }
    }
  }
  EXPECT_GE(seen[Branch::ZeroShortcut], 10);
  EXPECT_GE(seen[Branch::OneShortcut], 10);
  EXPECT_GE(seen[Branch::Normal], 50);
  EXPECT_GE(seen[Branch::Series], 50);
  EXPECT_GE(seen[Branch::Expansion], 50);
}

}  // namespace
}  // namespace ploverix::numlib
