// The gamma function and its two helpers: the range of arguments where it is
// representable, and the correction term of Stirling's formula.
#include <algorithm>
#include <cmath>

#include "numlib/internal.h"
#include "numlib/numlib.h"
#include "textio/textio.h"

namespace ploverix::numlib {
namespace {

using internal::d;
using internal::stored;
using textio::checkedExp;
using textio::checkedLog;
using textio::checkedSqrt;

constexpr float kLnSqrtTwoPi = 0.91893852f;
constexpr float kPi = 3.1415927f;
constexpr float kGammaOffset = 0.9375f;

// R9LGMC's first-call constants; a term count of 0 means not yet computed.
struct StirlingConstants {
  int terms = 0;         // of ALGMCS
  float switchPoint = 0;  // from here on 1/(12x) is exact enough
  float xmax = 0;        // beyond it the correction underflows
};
StirlingConstants stirling;

// GAMMA's first-call constants; a term count of 0 means not yet computed.
struct GammaConstants {
  int terms = 0;              // of GAMCS
  float xmin = 0, xmax = 0;   // from R9GAML
  float nearZero = 0;         // 1/x overflows below it
  float halfPrecision = 0;    // relative distance to a negative integer that costs half the digits
};
GammaConstants gamma;

// |(x - t)/x| with t the nearest integer of a negative x, compared with the
// half-precision bound: the result has lost half its digits to cancellation.
bool tooCloseToNegativeInteger(float x) {
  const double t = std::trunc(d(x) - 0.5);
  return std::fabs((d(x) - t) / d(x)) < d(gamma.halfPrecision);
}

void warnNearNegativeInteger(const float& x) {
  E1REAL(1, x);
  E1MES(3, 2,
        "The result is accurate to less than one half precision because X = %(R1) is too close to a "
        "negative integer.");
}

}  // namespace

namespace internal {

void resetGammaConstants() {
  stirling = StirlingConstants{};
  gamma = GammaConstants{};
}

void readGammaConstants(FirstCallConstants& out) {
  out.gamcsTerms = gamma.terms;
  out.gammaXmin = gamma.xmin;
  out.gammaXmax = gamma.xmax;
  out.gammaNearZero = gamma.nearZero;
  out.gammaHalfPrecision = gamma.halfPrecision;
  out.algmcsTerms = stirling.terms;
  out.stirlingSwitch = stirling.switchPoint;
  out.stirlingXmax = stirling.xmax;
}

}  // namespace internal

void solveGammaRange(const float& smallest, const float& largest, const int& maxIterations,
                     float& xmin, float& xmax) {
  E1PSH("R9GAML");
  xmin = AMACH(6);
  xmax = AMACH(6);

  // Newton's iteration on ln Gamma(xmin) = ln(smallest), through Stirling's
  // formula; both limits are stored after every step.
  const float alnsml = stored(checkedLog(d(smallest)));
  xmin = -alnsml;
  bool converged = false;
  for (int i = 1; i <= maxIterations && !converged; ++i) {
    const float old = xmin;
    const float xln = stored(checkedLog(d(xmin)));
    xmin = stored(d(xmin) - d(xmin) * ((d(xmin) + 0.5) * d(xln) - d(xmin) - d(0.2258f) + d(alnsml)) /
                                (d(xmin) * d(xln) + 0.5));
    converged = std::fabs(d(xmin) - d(old)) < d(0.005f);
  }
  if (!converged) {
    E1MES(5, 5, "Unable to determine the value of XMIN.");
    xmin = AMACH(6);
    E1POP("R9GAML");
    return;
  }
  xmin = stored(d(0.01f) - d(xmin));

  const float alnbig = stored(checkedLog(d(largest)));
  xmax = alnbig;
  converged = false;
  for (int i = 1; i <= maxIterations && !converged; ++i) {
    const float old = xmax;
    const float xln = stored(checkedLog(d(xmax)));
    xmax = stored(d(xmax) - d(xmax) * ((d(xmax) - 0.5) * d(xln) - d(xmax) + d(0.9189f) - d(alnbig)) /
                                (d(xmax) * d(xln) - 0.5));
    converged = std::fabs(d(xmax) - d(old)) < d(0.005f);
  }
  if (!converged) {
    E1MES(5, 6, "Unable to determine the value of XMAX.");
    xmax = AMACH(6);
    E1POP("R9GAML");
    return;
  }
  xmax = stored(d(xmax) - d(0.01f));
  xmin = stored(std::max(d(xmin), 1.0 - d(xmax)));
  E1POP("R9GAML");
}

void R9GAML(float& xmin, float& xmax) { solveGammaRange(AMACH(1), AMACH(2), 10, xmin, xmax); }

float R9LGMC(const float& x) {
  E1PSH("R9LGMC");
  if (stirling.terms == 0) {
    stirling.terms = INITS(ALGMCS, 6, AMACH(3));
    stirling.switchPoint = stored(1.0 / checkedSqrt(d(AMACH(3))));
    stirling.xmax = stored(checkedExp(
        std::min(checkedLog(d(AMACH(2)) / 12.0), -checkedLog(12.0 * d(AMACH(1))))));
  }

  float result = AMACH(6);
  if (x < 10.0f) {
    E1REAL(1, x);
    E1MES(5, 5, "The argument X = %(R1) must be greater than or equal to 10.0.");
  } else if (x >= stirling.xmax) {
    E1REAL(1, x);
    E1REAL(2, stirling.xmax);
    E1MES(2, 1,
          "The function underflows because X = %(R1) is greater than %(R2). The result is set to "
          "zero.");
    result = 0.0f;
  } else if (x < stirling.switchPoint) {
    const double ratio = 10.0 / d(x);
    const float t = stored(2.0 * ratio * ratio - 1.0);
    result = stored(d(CSEVL(t, ALGMCS, stirling.terms)) / d(x));
  } else {
    result = stored(1.0 / (12.0 * d(x)));
  }
  E1POP("R9LGMC");
  return result;
}

float GAMMA(const float& x) {
  E1PSH("GAMMA");
  if (gamma.terms == 0) {
    const float eta = stored(d(0.1f) * d(AMACH(3)));
    gamma.terms = INITS(GAMCS, 23, eta);
    R9GAML(gamma.xmin, gamma.xmax);
    gamma.nearZero = stored(checkedExp(
        std::max(checkedLog(d(AMACH(1))), -checkedLog(d(AMACH(2)))) + d(0.01f)));
    gamma.halfPrecision = stored(checkedSqrt(d(AMACH(4))));
  }

  float result = AMACH(6);
  float y = std::fabs(x);
  if (y <= 10.0f) {
    // n is the floor of x, except that a negative integer x gives x - 1; y is
    // then the fraction in [0, 1] whose Gamma(1 + y) the series gives.
    int n = static_cast<int>(x);  // |x| <= 10: the truncation is in range
    if (x < 0.0f) --n;
    y = stored(d(x) - n);
    --n;
    float g = stored(d(kGammaOffset) + d(CSEVL(stored(2.0 * d(y) - 1.0), GAMCS, gamma.terms)));
    if (n == 0) {
      result = g;
    } else if (n > 0) {
      for (int i = 1; i <= n; ++i) g = stored(d(g) * (d(y) + i));
      result = g;
    } else {
      const int m = -n;
      if (x == 0.0f) {
        E1MES(5, 5, "The argument for the function can not be zero.");
      } else if (y < gamma.nearZero) {
        E1REAL(1, x);
        E1MES(5, 4, "The function overflows because X = %(R1) is too close to zero.");
      } else if (x < 0.0f && d(x) + (m - 2) == 0.0) {
        E1REAL(1, x);
        E1MES(5, 6,
              "The argument for the function can not be a negative integer. Argument X = %(R1).");
      } else {
        if (x < -0.5f && tooCloseToNegativeInteger(x)) warnNearNegativeInteger(x);
        for (int i = 0; i < m; ++i) g = stored(d(g) / (d(x) + i));
        result = g;
      }
    }
  } else if (x > gamma.xmax) {
    E1REAL(1, x);
    E1REAL(2, gamma.xmax);
    E1MES(5, 4, "The function overflows because X = %(R1) is greater than %(R2).");
  } else if (x < gamma.xmin) {
    E1REAL(1, x);
    E1REAL(2, gamma.xmin);
    E1MES(2, 1,
          "The function underflows because X = %(R1) is less than %(R2). The result is set to zero.");
    result = 0.0f;
  } else {
    const float s = stored((d(y) - 0.5) * checkedLog(d(y)) - d(y) + d(kLnSqrtTwoPi));
    const float g = stored(checkedExp(d(s) + d(R9LGMC(y))));
    if (x > 0.0f) {
      result = g;
    } else {
      if (tooCloseToNegativeInteger(x)) warnNearNegativeInteger(x);
      const float p = stored(std::sin(d(kPi) * d(y)));
      // sin(pi y) with pi rounded to float is never exactly 0 at an integer y,
      // so a pole is also recognised by x itself being an integer.
      if (p == 0.0f || d(x) == std::trunc(d(x))) {
        E1REAL(1, x);
        E1MES(5, 7,
              "The argument for the function can not be a negative integer. Argument X = %(R1).");
      } else {
        result = stored(-d(kPi) / (d(y) * d(p) * d(g)));
      }
    }
  }
  E1POP("GAMMA");
  return result;
}

}  // namespace ploverix::numlib
