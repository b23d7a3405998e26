// Pooling of the per-study results on the log scale. Every named quantity is
// a float; each formula is evaluated in double from the floats it reads and
// rounded when stored, so the printed digits do not depend on the compiler.
#include "meta/meta.h"
#include "numlib/numlib.h"
#include "textio/textio.h"

namespace ploverix::meta {

namespace {

using textio::checkedExp;
using textio::checkedLog;
using textio::checkedSqrt;

constexpr float kZeroGuard = 0.05f;  // held as 0.0500000007
constexpr float kWidth = 3.92f;      // held as 3.92000008: twice 1.96
constexpr float kZ = 1.96f;          // held as 1.96000004

double d(float value) { return static_cast<double>(value); }
float stored(double value) { return static_cast<float>(value); }

// A value of exactly zero (either sign) would have no logarithm.
void guardZero(float& value) {
  if (value == 0.0f) value = stored(d(value) + d(kZeroGuard));
}

// Working values of one study, each stored as a float when computed.
struct StudyWeights {
  float y;   // ln ORG
  float w;   // fixed-effects weight 1 / se^2
};

StudyWeights weights[kMaxStudies];

}  // namespace

std::int32_t studyPasses(float k) {
  // Compare before converting: a float outside the int range (or NaN) must
  // never reach the conversion.
  if (!(k >= 1.0f)) return 0;
  if (k >= static_cast<float>(kMaxStudies + 1)) return kMaxStudies + 1;
  return static_cast<std::int32_t>(k);
}

bool studiesAboveLimit(float k) { return studyPasses(k) > kMaxStudies; }

PooledStudies poolStudies(stats::StudyResult results[], float k) {
  const std::int32_t m = studyPasses(k);

  for (std::int32_t s = 0; s < m; ++s) {
    guardZero(results[s].org);
    guardZero(results[s].lower);
    guardZero(results[s].upper);
  }

  // Logs in place, then the standard error from the width of the interval.
  float se[kMaxStudies];
  for (std::int32_t s = 0; s < m; ++s) {
    stats::StudyResult& r = results[s];
    r.lower = stored(checkedLog(d(r.lower)));
    r.upper = stored(checkedLog(d(r.upper)));
    r.org = stored(checkedLog(d(r.org)));
    se[s] = stored((d(r.upper) - d(r.lower)) / d(kWidth));
  }

  float sw = 0.0f, sw2 = 0.0f, swy = 0.0f;
  for (std::int32_t s = 0; s < m; ++s) {
    const float y = results[s].org;
    const float w = stored(1.0 / (d(se[s]) * d(se[s])));
    weights[s] = {y, w};
    sw = stored(d(sw) + d(w));
    sw2 = stored(d(w) * d(w) + d(sw2));  // the square is not rounded before the addition
    const float wy = stored(d(w) * d(y));
    swy = stored(d(swy) + d(wy));
  }

  const float meanFE = stored(d(swy) / d(sw));
  const float seFE = stored(checkedSqrt(1.0 / d(sw)));

  PooledStudies pooled;
  Heterogeneity& h = pooled.heterogeneity;
  float q = 0.0f;
  for (std::int32_t s = 0; s < m; ++s) {
    const double deviation = d(weights[s].y) - d(meanFE);
    const float term = stored(deviation * deviation * d(weights[s].w));
    q = stored(d(q) + d(term));
  }
  h.Q = q;

  const float df = stored(d(k) - 1.0);
  h.pValue = stored(1.0 - d(numlib::CHIDF(h.Q, df)));

  // The ratio is stored before it is scaled; a NaN ratio is not below 0 and stays NaN.
  h.I2 = stored((d(h.Q) - (d(k) - 1.0)) / d(h.Q));
  if (h.I2 < 0.0f) h.I2 = 0.0f;
  h.I2 = stored(d(h.I2) * 100.0);

  // The numerator is formed afresh: the floor of I^2 does not enter here.
  h.tau2 = stored((d(h.Q) - (d(k) - 1.0)) / (d(sw) - d(sw2) / d(sw)));
  if (h.tau2 < 0.0f) h.tau2 = 0.0f;

  float swR = 0.0f, swyR = 0.0f;
  for (std::int32_t s = 0; s < m; ++s) {
    const float wr = stored(1.0 / (1.0 / d(weights[s].w) + d(h.tau2)));
    swR = stored(d(swR) + d(wr));
    const float wry = stored(d(wr) * d(weights[s].y));
    swyR = stored(d(swyR) + d(wry));
  }
  const float meanRE = stored(d(swyR) / d(swR));
  const float seRE = stored(checkedSqrt(1.0 / d(swR)));

  // Back to the ORG scale; the products with 1.96 stay in double.
  pooled.fixedEffects.lower = stored(checkedExp(d(meanFE) - d(seFE) * d(kZ)));
  pooled.fixedEffects.upper = stored(checkedExp(d(seFE) * d(kZ) + d(meanFE)));
  pooled.fixedEffects.org = stored(checkedExp(d(meanFE)));
  pooled.randomEffects.lower = stored(checkedExp(d(meanRE) - d(seRE) * d(kZ)));
  pooled.randomEffects.upper = stored(checkedExp(d(seRE) * d(kZ) + d(meanRE)));
  pooled.randomEffects.org = stored(checkedExp(d(meanRE)));
  return pooled;
}

}  // namespace ploverix::meta
