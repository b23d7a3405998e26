// Chebyshev series: their value by Clenshaw's recurrence, and how many terms
// an accuracy needs.
#include <cmath>

#include "numlib/internal.h"
#include "numlib/numlib.h"

namespace ploverix::numlib {
namespace {

using internal::d;
using internal::stored;

// Coefficient i (1-based) of a series; past the end of the table it is zero,
// which is what a longer table with zero tail would give.
float coefficient(std::span<const float> cs, int i) {
  return static_cast<std::size_t>(i) <= cs.size() ? cs[static_cast<std::size_t>(i) - 1] : 0.0f;
}

}  // namespace

float CSEVL(const float& x, std::span<const float> cs, const int& n) {
  E1PSH("CSEVL");
  float result = AMACH(6);
  if (n <= 0) {
    E1INTG(1, n);
    E1MES(5, 5, "The number of terms in the series is not positive. N = %(I1).");
  } else if (n > 1000) {
    E1INTG(1, n);
    E1MES(5, 6, "The number of terms in the series is greater than 1000. N = %(I1).");
  } else {
    if (x < -1.1f || x > 1.1f) {
      E1REAL(1, x);
      E1MES(3, 7, "The argument X = %(R1) is outside the interval (-1.1,+1.1).");
    }
    // The recurrence runs in double: the b values are never rounded to float.
    double b0 = 0.0, b1 = 0.0, b2 = 0.0;
    const float twoX = stored(2.0 * d(x));
    for (int i = 1; i <= n; ++i) {
      b2 = b1;
      b1 = b0;
      b0 = d(twoX) * b1 - b2 + d(coefficient(cs, n + 1 - i));
    }
    result = stored(0.5 * (b0 - b2));
  }
  E1POP("CSEVL");
  return result;
}

int INITS(std::span<const float> os, const int& nos, const float& eta) {
  E1PSH("INITS");
  int result = 0;
  if (nos < 1) {
    E1INTG(1, nos);
    E1MES(5, 5, "The number of coefficients is less than 1. NOS = %(I1).");
  } else {
    float err = 0.0f;
    int i = nos;
    for (; i >= 1; --i) {
      err = stored(d(err) + std::fabs(d(coefficient(os, i))));
      if (err > eta) break;
    }
    if (i < 1) i = 1;  // the loop ran out
    if (i == nos) {
      E1MES(5, 6, "Too much accuracy may be requested. ETA should be increased.");
    } else {
      result = i;
    }
  }
  E1POP("INITS");
  return result;
}

}  // namespace ploverix::numlib
