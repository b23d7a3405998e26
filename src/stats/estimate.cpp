// The scalar steps of one study: gamma and ORG from the pair totals, the
// standard errors from the variance sum, and the 95% limits of ORG.
//
// Each statement is one formula evaluated in double from stored floats and
// rounded to float once, when it is stored; the constants are the floats 1, 2,
// 4 and 1.96 (held as 1.96000004).
#include "stats/stats.h"
#include "textio/textio.h"

namespace ploverix::stats {
namespace {

// The 97.5% normal quantile, as the float the limits have always used.
constexpr float kNormalQuantile = 1.96f;

// halfWidth is stored (rounded to float) before it meets LOG(ORG).
float halfWidthOf(float seLnOrg) {
  return static_cast<float>(static_cast<double>(seLnOrg) * static_cast<double>(kNormalQuantile));
}

}  // namespace

GammaAndOrg computeGammaAndOrg(const PairTotals& totals) {
  const double c = static_cast<double>(totals.concordant);
  const double d = static_cast<double>(totals.discordant);
  const float gamma = static_cast<float>((c - d) / (c + d));
  // From the stored gamma, not C / D: the two differ in the last bits
  // (C = 1, D = 4 gives the float just below 0.25).
  const float org = static_cast<float>((static_cast<double>(gamma) + 1.0) /
                                       (1.0 - static_cast<double>(gamma)));
  return GammaAndOrg{gamma, org};
}

float computeStandardErrorFactor(const PairTotals& totals) {
  const double c = static_cast<double>(totals.concordant);
  const double d = static_cast<double>(totals.discordant);
  return static_cast<float>(4.0 / ((2.0 * c + 2.0 * d) * (2.0 * c + 2.0 * d)));
}

StandardErrors computeStandardErrors(const PairTotals& totals, float gamma, float varianceSum) {
  const float factor = computeStandardErrorFactor(totals);
  // The root of the stored S stays in double up to the product.
  const float seGamma = static_cast<float>(textio::checkedSqrt(static_cast<double>(varianceSum)) *
                                           static_cast<double>(factor));
  const double g = static_cast<double>(gamma);
  const float seLnOrg = static_cast<float>((static_cast<double>(seGamma) * 2.0) / (1.0 - g * g));
  return StandardErrors{seGamma, seLnOrg};
}

StudyResult computeOrgLimits(float org, float seLnOrg) {
  // LOG(ORG) is not rounded to float: the difference and the sum are formed
  // in double and handed to EXP. Each limit calls LOG then EXP, lower first.
  const float lowerHalfWidth = halfWidthOf(seLnOrg);
  const float lower = static_cast<float>(textio::checkedExp(
      textio::checkedLog(static_cast<double>(org)) - static_cast<double>(lowerHalfWidth)));
  const float upperHalfWidth = halfWidthOf(seLnOrg);
  const float upper = static_cast<float>(textio::checkedExp(
      textio::checkedLog(static_cast<double>(org)) + static_cast<double>(upperHalfWidth)));
  return StudyResult{org, lower, upper};
}

}  // namespace ploverix::stats
