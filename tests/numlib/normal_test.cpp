// The complementary error function and the normal distribution function:
// the first-call constants, values against the platform's long-double erfc,
// the cuts, and the silent underflow.
#include <cmath>
#include <limits>
#include <vector>

#include "fixture.h"

namespace ploverix::numlib {
namespace {

using testing::capture;
using testing::NumlibTest;
using testing::Outcome;

TEST_F(NumlibTest, ErfcAndAnordfComputeTheirConstantsOnTheirFirstCall) {
  FirstCallConstants c = firstCallConstants();
  EXPECT_EQ(c.erfcsTerms, 0);
  EXPECT_TRUE(c.anordfFirstCall);
  EXPECT_EQ(ERFC(0.0f), 1.0f);
  c = firstCallConstants();
  EXPECT_EQ(c.erfcsTerms, 7);
  EXPECT_EQ(c.erfccsTerms, 9);
  EXPECT_EQ(c.erc2csTerms, 10);
  EXPECT_EQ(c.erfcLowerCut, -4.0078883f);
  EXPECT_EQ(c.erfcXmax, 9.1849403f);
  EXPECT_EQ(c.erfcSmallBound, 3.4526698E-04f);
  EXPECT_TRUE(c.anordfFirstCall);
  ANORDF(0.0f);
  c = firstCallConstants();
  EXPECT_FALSE(c.anordfFirstCall);
  EXPECT_EQ(c.anordfRsqrt2, 0.70710677f);
}

TEST_F(NumlibTest, ErfcQuotedValues) {
  EXPECT_EQ(ERFC(0.0f), 1.0f);
  EXPECT_EQ(ERFC(-5.0f), 2.0f);
  EXPECT_EQ(ERFC(-4.0078883f), 2.0f);
  EXPECT_NEAR(ERFC(0.5f), 0.4795001f, 6e-8);
  EXPECT_EQ(state().types[1], 0);
}

TEST_F(NumlibTest, ErfcMatchesTheLongDoubleErfcInEveryBranch) {
  struct Range {
    const char* name;
    float from, to, step;
    double tolerance;  // relative
  };
  const std::vector<Range> ranges = {
      {"below the small bound", -3e-4f, 3e-4f, 1e-4f, 1.2e-7},
      {"erf series", -1.0f, 1.0f, 0.03125f, 3e-7},
      {"middle series", 1.03125f, 2.0f, 0.03125f, 1e-6},
      {"middle series, negative", -2.0f, -1.03125f, 0.03125f, 3e-7},
      // exp(-y^2) with y^2 held as a float: half a unit in its last place,
      // up to 3.8E-06 near 84, becomes relative error.
      {"tail series", 2.0625f, 9.125f, 0.0625f, 4e-6},
      {"tail series, negative", -4.0f, -2.0625f, 0.0625f, 3e-7},
  };
  for (const Range& r : ranges) {
    for (float x = r.from; x <= r.to; x = static_cast<float>(x + r.step)) {
      const double exact = static_cast<double>(std::erfc(static_cast<long double>(x)));
      EXPECT_NEAR(ERFC(x), exact, exact * r.tolerance) << r.name << ", x = " << x;
    }
  }
  EXPECT_EQ(state().types[1], 0);
}

TEST_F(NumlibTest, ErfcUnderflowIsAnUnprintedAlert) {
  const float xmax = 9.1849403f;
  struct Case {
    const char* name;
    float x;
    bool alert;
  };
  const std::vector<Case> cases = {
      {"9.2", 9.2f, true},
      {"just above XMAX", std::nextafter(xmax, 10.0f), true},
      {"NaN", std::numeric_limits<float>::quiet_NaN(), true},
      {"infinity", std::numeric_limits<float>::infinity(), true},
      {"XMAX itself", xmax, false},
  };
  for (const Case& c : cases) {
    resetLibraryState();
    float value = -1.0f;
    const Outcome outcome = capture([&] { value = ERFC(c.x); });
    EXPECT_EQ(outcome.printed, "") << c.name;
    EXPECT_FALSE(outcome.stop.has_value()) << c.name;
    EXPECT_EQ(state().types[1], c.alert ? 2 : 0) << c.name;
    EXPECT_EQ(state().codes[1], c.alert ? 1 : 0) << c.name;
    if (c.alert) {
      EXPECT_EQ(value, 0.0f) << c.name;
    } else {
      EXPECT_GT(value, 0.0f) << c.name;
    }
  }
}

TEST_F(NumlibTest, AnordfQuotedValues) {
  struct Case {
    float x;
    float expected;
    double tolerance;
  };
  const std::vector<Case> cases = {
      {0.0f, 0.5f, 0.0},
      {1.959964f, 0.975f, 1e-7},
      {-1.959964f, 0.025f, 1e-8},
      {-13.0f, 0.0f, 0.0},
      {6.0f, 1.0f, 0.0},
  };
  for (const Case& c : cases) {
    resetLibraryState();
    float value = -1.0f;
    const Outcome outcome = capture([&] { value = ANORDF(c.x); });
    EXPECT_NEAR(value, c.expected, c.tolerance) << "x = " << c.x;
    EXPECT_EQ(outcome.printed, "") << "x = " << c.x;
    EXPECT_EQ(state().types[1], 0) << "x = " << c.x << ": nothing reaches the caller";
    EXPECT_EQ(state().level, 1);
  }
}

TEST_F(NumlibTest, AnordfMatchesTheNormalDistribution) {
  for (float x = -12.5f; x <= 8.0f; x = static_cast<float>(x + 0.125f)) {
    // The argument of ERFC is rounded to float, so the reference takes the
    // same argument; in the lower tail ERFC's own y^2 is a float too (see above).
    const long double argument = -static_cast<long double>(static_cast<float>(0.70710677 * x));
    const double exact = static_cast<double>(0.5L * std::erfc(argument));
    EXPECT_NEAR(ANORDF(x), exact, exact * (x < -2.0f ? 4e-6 : 1.2e-6)) << "x = " << x;
  }
}

}  // namespace
}  // namespace ploverix::numlib
