// The gamma function and its helpers: the first-call constants, values
// against the platform's long-double gamma function, and every condition.
#include <cmath>
#include <limits>
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

TEST_F(NumlibTest, GammaComputesItsConstantsOnItsFirstCall) {
  FirstCallConstants c = firstCallConstants();
  EXPECT_EQ(c.gamcsTerms, 0);
  EXPECT_EQ(c.gammaXmax, 0.0f);
  EXPECT_EQ(GAMMA(1.0f), 1.0f);
  c = firstCallConstants();
  EXPECT_EQ(c.gamcsTerms, 12);
  EXPECT_EQ(c.gammaXmin, -33.962582f);
  EXPECT_EQ(c.gammaXmax, 35.030781f);
  EXPECT_EQ(c.gammaNearZero, 1.1873083E-38f);
  EXPECT_EQ(c.gammaHalfPrecision, 3.4526698E-04f);
  EXPECT_EQ(c.algmcsTerms, 0) << "small arguments never reach R9LGMC";
  EXPECT_EQ(state().level, 1);
}

TEST_F(NumlibTest, StirlingCorrectionComputesItsConstantsOnItsFirstCall) {
  R9LGMC(10.0f);
  const FirstCallConstants c = firstCallConstants();
  EXPECT_EQ(c.algmcsTerms, 2);
  EXPECT_EQ(c.stirlingSwitch, 4096.0f);
  EXPECT_EQ(c.stirlingXmax, 7.0892162E+36f);
}

TEST_F(NumlibTest, GammaRangeIsFoundByNewtonsIteration) {
  float xmin = 0.0f, xmax = 0.0f;
  R9GAML(xmin, xmax);
  EXPECT_EQ(xmin, -33.962582f);
  EXPECT_EQ(xmax, 35.030781f);
  EXPECT_EQ(state().level, 1);
  EXPECT_EQ(state().types[1], 0);
}

TEST_F(NumlibTest, GammaRangeThatDoesNotConvergeIsTerminal) {
  struct Case {
    const char* name;
    float smallest;
    float largest;
    int iterations;
    std::string printed;
    int code;
    bool xminNaN;
  };
  // From -ln(2^-126) the first Newton step moves by far more than 0.005;
  // from -ln(1 - 2^-24), about 6E-08, it moves by about 1E-06.
  const std::vector<Case> cases = {
      {"xmin", AMACH(1), AMACH(2), 1,
       records({"", " *** TERMINAL ERROR 5 from R9GAML.  Unable to determine the value of XMIN."}), 5,
       true},
      {"xmax", 0.99999994f, AMACH(2), 1,
       records({"", " *** TERMINAL ERROR 6 from R9GAML.  Unable to determine the value of XMAX."}), 6,
       false},
  };
  for (const Case& c : cases) {
    resetLibraryState();
    float xmin = 0.0f, xmax = 0.0f;
    const Outcome outcome =
        capture([&] { solveGammaRange(c.smallest, c.largest, c.iterations, xmin, xmax); });
    EXPECT_EQ(outcome.printed, c.printed) << c.name;
    ASSERT_TRUE(outcome.stop.has_value()) << c.name;
    EXPECT_EQ(outcome.stop->routine, "R9GAML") << c.name;
    EXPECT_EQ(outcome.stop->code, c.code) << c.name;
    EXPECT_EQ(std::isnan(xmin), c.xminNaN) << c.name;
    EXPECT_TRUE(std::isnan(xmax)) << c.name;
  }
}

// ln Gamma(x) - ((x - 1/2) ln x - x + ln sqrt(2 pi)), in long double.
long double stirlingRemainder(long double x) {
  return std::lgamma(x) - ((x - 0.5L) * std::log(x) - x + 0.5L * std::log(2.0L * 3.14159265358979323846L));
}

TEST_F(NumlibTest, StirlingCorrectionMatchesTheLogGammaFunction) {
  for (const float x : {10.0f, 12.5f, 20.0f, 33.0f, 100.0f, 4095.0f, 4096.0f, 1e5f, 1e30f}) {
    const double exact = x < 1e6f ? static_cast<double>(stirlingRemainder(x)) : 1.0 / (12.0 * x);
    EXPECT_NEAR(R9LGMC(x), exact, exact * 2e-6) << "x = " << x;
  }
  EXPECT_EQ(R9LGMC(4096.0f), static_cast<float>(1.0 / (12.0 * 4096.0))) << "1/(12x) from the switch point on";
}

TEST_F(NumlibTest, StirlingCorrectionConditions) {
  const Outcome low = capture([] { R9LGMC(9.5f); });
  EXPECT_EQ(low.printed,
            records({"", " *** TERMINAL ERROR 5 from R9LGMC.  The argument X = 9.500000E+00 must be",
                     " ***          greater than or equal to 10.0."}));
  ASSERT_TRUE(low.stop.has_value());
  EXPECT_EQ(low.stop->code, 5);

  resetLibraryState();
  float value = 1.0f;
  const Outcome high = capture([&] { value = R9LGMC(7.0892162E+36f); });
  EXPECT_EQ(high.printed, "") << "an ALERT is never printed";
  EXPECT_FALSE(high.stop.has_value());
  EXPECT_EQ(value, 0.0f);
  EXPECT_EQ(state().types[1], 2);
  EXPECT_EQ(state().codes[1], 1);

  resetLibraryState();
  const float below = std::nextafter(7.0892162E+36f, 0.0f);
  EXPECT_GT(R9LGMC(below), 0.0f);
  EXPECT_EQ(state().types[1], 0);
}

TEST_F(NumlibTest, GammaQuotedValues) {
  EXPECT_EQ(GAMMA(1.0f), 1.0f);
  EXPECT_EQ(GAMMA(10.0f), 362880.0f);
  EXPECT_EQ(GAMMA(0.5f), 1.7724539f);
  EXPECT_NEAR(GAMMA(2.5f), 1.3293404f, 4 * 1.2e-7);
  EXPECT_NEAR(GAMMA(32.5f), 4.6334E+34f, 4.6334E+34 * 1e-5);
  // exp(s + correction) with s = 79.8186... held as a float: half a unit in
  // the last place of s, 3.8E-06, is the relative error the result may have.
  EXPECT_NEAR(GAMMA(32.5f), static_cast<double>(std::tgamma(32.5L)), 4.6334E+34 * 3.9e-6);
}

TEST_F(NumlibTest, GammaMatchesTheLongDoubleGammaFunction) {
  struct Range {
    const char* name;
    float from, to, step;
    double tolerance;  // relative
  };
  const std::vector<Range> ranges = {
      {"series and products", 0.05f, 10.0f, 0.0625f, 2e-6},
      // s = (y - 1/2) ln y - y + ln sqrt(2 pi) is held as a float: up to half
      // a unit in its last place, 3.8E-06 near 80, becomes relative error.
      {"Stirling branch", 10.25f, 35.0f, 0.25f, 4e-6},
      {"negative, divisions", -9.9f, -0.1f, 0.2f, 3e-6},
      {"negative, reflection", -33.5f, -10.5f, 1.0f, 2e-5},
  };
  for (const Range& r : ranges) {
    for (float x = r.from; x <= r.to; x = static_cast<float>(x + r.step)) {
      const double exact = static_cast<double>(std::tgamma(static_cast<long double>(x)));
      EXPECT_NEAR(GAMMA(x), exact, std::fabs(exact) * r.tolerance) << r.name << ", x = " << x;
    }
  }
  EXPECT_EQ(state().types[1], 0);
}

struct GammaCase {
  const char* name;
  float x;
  std::string printed;
  bool stops;
  int type;  // recorded at level 1 afterwards, or of the stop
  int code;
};

TEST_F(NumlibTest, GammaConditions) {
  const std::string more = " ***          ";
  const std::string head = " *** TERMINAL ERROR ";
  const float nearZero = 1.1873083E-38f;
  const std::vector<GammaCase> cases = {
      {"zero", 0.0f,
       records({"", head + "5 from GAMMA.  The argument for the function can not be", more + "zero."}), true,
       5, 5},
      {"negative integer", -3.0f,
       records({"", head + "6 from GAMMA.  The argument for the function can not be a",
                more + "negative integer. Argument X = -3.000000E+00."}),
       true, 5, 6},
      {"negative integer of the reflection branch", -20.0f,
       records({"", head + "7 from GAMMA.  The argument for the function can not be a",
                more + "negative integer. Argument X = -2.000000E+01."}),
       true, 5, 7},
      {"above XMAX", 36.0f,
       records({"", head + "4 from GAMMA.  The function overflows because X =",
                more + "3.600000E+01 is greater than 3.503078E+01."}),
       true, 5, 4},
      {"too close to zero", 0x1p-127f,
       records({"", head + "4 from GAMMA.  The function overflows because X =",
                more + "5.877472E-39 is too close to zero."}),
       true, 5, 4},
      {"below XMIN", -40.0f, "", false, 2, 1},
      {"near a negative integer", -2.0000002f,
       records({"", " *** WARNING  ERROR 2 from GAMMA.  The result is accurate to less than one",
                more + "half precision because X = -2.000000E+00 is too close to a ",
                more + "negative integer."}),
       false, 3, 2},
      {"near a negative integer below -10", -12.000005f,
       records({"", " *** WARNING  ERROR 2 from GAMMA.  The result is accurate to less than one",
                more + "half precision because X = -1.200000E+01 is too close to a ",
                more + "negative integer."}),
       false, 3, 2},
      {"at the near-zero bound", nearZero, "", false, 0, 0},
      {"just below the near-zero bound", std::nextafter(nearZero, 0.0f), "", true, 5, 4},
  };
  for (const GammaCase& c : cases) {
    resetLibraryState();
    float value = 0.0f;
    const Outcome outcome = capture([&] { value = GAMMA(c.x); });
    if (!c.printed.empty() || !c.stops) {
      EXPECT_EQ(outcome.printed, c.printed) << c.name;
    }
    EXPECT_EQ(outcome.stop.has_value(), c.stops) << c.name;
    if (outcome.stop) {
      EXPECT_EQ(outcome.stop->routine, "GAMMA") << c.name;
      EXPECT_EQ(outcome.stop->type, c.type) << c.name;
      EXPECT_EQ(outcome.stop->code, c.code) << c.name;
    } else {
      EXPECT_EQ(state().types[1], c.type) << c.name;
      EXPECT_EQ(state().codes[1], c.code) << c.name;
    }
  }
}

TEST_F(NumlibTest, GammaResultsOnTheWayOut) {
  EXPECT_EQ(GAMMA(-40.0f), 0.0f) << "underflow below XMIN";
  const float x = -2.0000002f;
  const double exact = static_cast<double>(std::tgamma(static_cast<long double>(x)));
  float value = 0.0f;
  capture([&] { value = GAMMA(x); });
  EXPECT_NEAR(value, exact, std::fabs(exact) * 1e-5) << "the computation goes on after the warning";
  EXPECT_GT(GAMMA(1.1873083E-38f), 8.4e37f);
}

TEST_F(NumlibTest, GammaOfNaNEndsInTheLogarithm) {
  EXPECT_THROW(GAMMA(std::numeric_limits<float>::quiet_NaN()), textio::MathError);
}

}  // namespace
}  // namespace ploverix::numlib
