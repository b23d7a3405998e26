// The checked elementary functions. The checks are the program's own: the
// platform's functions would quietly return NaN or infinity where the run must
// end with the math-library report instead.
#include <cmath>

#include "textio/textio.h"

namespace ploverix::textio {

double checkedSqrt(double x) {
  // -0 is not negative here: its square root is -0.
  if (std::isnan(x) || x < 0.0) throw MathError(MathFunction::Sqrt, MathErrorKind::Domain);
  return std::sqrt(x);
}

double checkedLog(double x) {
  if (x == 0.0) throw MathError(MathFunction::Log, MathErrorKind::Singularity);
  if (std::isnan(x) || x < 0.0) throw MathError(MathFunction::Log, MathErrorKind::Domain);
  return std::log(x);
}

double checkedExp(double x) {
  if (std::isnan(x)) throw MathError(MathFunction::Exp, MathErrorKind::Domain);
  const double result = std::exp(x);
  // exp(+inf) is +inf by definition; only a finite argument can overflow.
  if (std::isinf(result) && !std::isinf(x)) {
    throw MathError(MathFunction::Exp, MathErrorKind::Overflow);
  }
  return result;
}

}  // namespace ploverix::textio
