// The chi-squared distribution function: P(DF/2, CHSQ/2), the regularised
// lower incomplete gamma function, by a normal approximation for many degrees
// of freedom, a power series for small CHSQ and an asymptotic expansion of the
// upper tail for large CHSQ.
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

constexpr float kTinyArgument = 1.0e-12f;
constexpr float kLargeDf = 65.0f;
constexpr float kSmallChsq = 2.0f;
constexpr float kTwoNinths = 0.22222222f;
constexpr float kOneThird = 0.33333334f;
constexpr float kUpperZ = 5.0f;
constexpr float kLowerZ = -18.8055f;
constexpr float kLargeChsq = 200.0f;
constexpr float kSeriesSwitch = 13.0f;
constexpr float kSeriesDf = 25.0f;
constexpr int kSeriesTerms = 50;
constexpr int kExpansionTerms = 49;

// Wilson-Hilferty: (x/df)^(1/3) is nearly normal with mean 1 - 2/(9 df) and
// variance 2/(9 df).
float normalApproximation(float x, float df) {
  const float t = stored(d(kTwoNinths) / d(df));
  const float u = stored(1.0 - d(t));
  const float w = stored(std::pow(d(x) / d(df), d(kOneThird)) - d(u));
  const double z = d(w) / checkedSqrt(d(t));
  if (z > d(kUpperZ)) return 1.0f;
  if (z < d(kLowerZ)) {
    E1MES(2, 3,
          "The normal distribution is used for large degrees of freedom.  However, it has produced "
          "underflow.  Therefore, the probability is set to 0.");
    return 0.0f;
  }
  return ANORDF(stored(z));
}

// P(a, h) = h^a e^-h sum_n h^n / Gamma(a + n + 1); g is Gamma(a).
float powerSeries(float a, float h, float g, float eps) {
  double sum = 1.0 / (d(g) * d(a));  // 1/Gamma(a + 1)
  double term = sum;
  double k = 1.0;
  for (int i = 1; i <= kSeriesTerms; ++i) {
    term = term * d(h) / (d(a) + k);
    if (sum * d(eps) >= term) break;
    sum += term;
    k += 1.0;
  }
  const float s = stored(sum);
  return stored(checkedExp(d(a) * checkedLog(d(h)) - d(h)) * d(s));
}

// 1 - Q(a, h) with Q(a, h) = h^(a-1) e^-h / Gamma(a) (1 + (a-1)/h + ...). The
// first correction always enters; every later term is tested against eps
// times the running sum, so a zero or negative term ends the sum.
float asymptoticExpansion(float a, float h, float g, float eps) {
  const float r = stored(1.0 / d(h));
  double q = d(a) - 1.0;
  double term = q * d(r);
  float sum = stored(1.0 + term);
  for (int i = 1; i <= kExpansionTerms; ++i) {
    q -= 1.0;
    term = term * q * d(r);
    if (d(eps) * d(sum) >= term) break;
    sum = stored(d(sum) + term);
  }
  return stored(1.0 - checkedExp(d(a) * checkedLog(d(h)) - d(h)) * d(sum) * d(r) / d(g));
}

}  // namespace

float CHIDF(const float& chsq, const float& df) {
  E1PSH("CHIDF");
  float result = AMACH(6);
  const float x = chsq;
  const float nu = df;
  if (x < 0.0f) {
    E1REAL(1, chsq);
    E1MES(1, 1, "Since CHSQ = %(R1) is less than zero, the distribution function is zero at CHSQ.");
    result = 0.0f;
  } else if (nu < 0.5f) {
    E1REAL(1, df);
    E1MES(5, 2,
          "The number of degrees of freedom of the distribution, DF = %(R1), must be at least equal "
          "to 0.5.");
  } else {
    const float eps = stored(10.0 * d(AMACH(4)));
    if (x <= kTinyArgument) {
      result = 0.0f;
    } else if (nu > kLargeDf && x < kSmallChsq) {
      result = 0.0f;
    } else if (nu > kLargeDf) {
      result = normalApproximation(x, nu);
    } else if (x > kLargeChsq) {
      result = 1.0f;
    } else {
      const float a = stored(0.5 * d(nu));
      const float h = stored(0.5 * d(x));
      const float g = GAMMA(a);  // taken before the branch, also where the series then answers 0
      if (d(h) < std::max(0.5 * d(a), d(kSeriesSwitch))) {
        if (nu > kSeriesDf && x < kSmallChsq) {
          result = 0.0f;
        } else {
          result = powerSeries(a, h, g, eps);
        }
      } else {
        result = asymptoticExpansion(a, h, g, eps);
      }
    }
  }
  E1POP("CHIDF");
  return result;
}

}  // namespace ploverix::numlib
