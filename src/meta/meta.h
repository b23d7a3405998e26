// Meta-analysis: the study file, the per-study results and their passage
// through "outputORG.txt", the pooled estimates with their heterogeneity, and
// the report on the console and in the file.
#pragma once

#include <cstdint>

#include "stats/stats.h"

namespace ploverix::meta {

inline constexpr int kMaxStudies = 200;

// Every study's counts as read from "ORGgenotypes.txt", never modified.
// count(i, j, s) is group i, genotype j of study s, all 1-based.
struct StudyCounts {
  float counts[kMaxStudies][stats::kMaxGroups][stats::kMaxGenotypes];

  float& count(int i, int j, int s) { return counts[s - 1][i - 1][j - 1]; }
  float count(int i, int j, int s) const { return counts[s - 1][i - 1][j - 1]; }
};

// A pooled ORG with its 95% limits.
struct PooledEstimate {
  float org = 0.0f;
  float lower = 0.0f;
  float upper = 0.0f;
};

struct Heterogeneity {
  float Q = 0.0f;       // Cochran's Q
  float pValue = 0.0f;  // 1 - CHIDF(Q, k - 1)
  float I2 = 0.0f;      // I^2 as a percentage
  float tau2 = 0.0f;    // between-study variance
};

struct PooledStudies {
  PooledEstimate fixedEffects;
  PooledEstimate randomEffects;
  Heterogeneity heterogeneity;
};

// m, the number of passes over the studies: k truncated toward zero, or 0 when
// k is below 1 or not a number. Defined for every float (no overflowing
// conversion); a k of 201 or more gives kMaxStudies + 1.
std::int32_t studyPasses(float k);

// True when k truncated toward zero exceeds the studies the tables hold.
bool studiesAboveLimit(float k);

// Pools the first studyPasses(k) entries of `results` (the values as read back
// from the results file) on the log scale: fixed effects, Cochran's Q with its
// p-value, I^2, tau^2 and random effects (DerSimonian-Laird). Overwrites
// `results` with its working values. Calls CHIDF once. Throws
// textio::MathError and numlib::LibraryStop (k below 1.5).
PooledStudies poolStudies(stats::StudyResult results[], float k);

// Runs mode 2 after the dialogue's last question: reads "ORGgenotypes.txt",
// analyses every study, writes and reads back "outputORG.txt", pools the
// studies and prints and writes the report. Expects G, K and m within the
// tables' limits. Throws textio::IoError, textio::MathError, numlib::LibraryStop.
void runMetaAnalysis(std::int32_t groups, std::int32_t genotypes, float zeroAdd, float k);

}  // namespace ploverix::meta
