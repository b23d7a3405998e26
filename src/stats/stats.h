// Single-study association statistics: the genotype table, its zero-count
// correction, the concordant and discordant pair totals, gamma and the
// generalized odds ratio (ORG), the quadrant sums around every cell, the
// standard errors and the 95% confidence limits.
//
// Arithmetic: every stored quantity is a float; each formula is evaluated in
// double from the float values it reads and rounded to float when stored.
#pragma once

#include <cstdint>
#include <exception>

namespace ploverix::stats {

inline constexpr int kMaxGroups = 200;
inline constexpr int kMaxGenotypes = 200;

// One study's counts: group i (1 = control, then by increasing severity) by
// genotype j (1 = wild type, then towards the most mutant), both 1-based.
// Only the block 1..groups x 1..genotypes is used.
struct GenotypeTable {
  std::int32_t groups = 0;     // G
  std::int32_t genotypes = 0;  // K
  float counts[kMaxGroups][kMaxGenotypes] = {};

  float& count(int i, int j) { return counts[i - 1][j - 1]; }
  float count(int i, int j) const { return counts[i - 1][j - 1]; }
};

struct PairTotals {
  float concordant = 0.0f;  // C: pairs where the later group has the higher genotype
  float discordant = 0.0f;  // D: pairs where the later group has the lower genotype
};

// For each cell (i, j), the sums of the counts in the four quadrants around it.
struct CellPairSums {
  float earlierLower[kMaxGroups][kMaxGenotypes];   // k < i and l < j
  float earlierHigher[kMaxGroups][kMaxGenotypes];  // k < i and l > j
  float laterLower[kMaxGroups][kMaxGenotypes];     // k > i and l < j
  float laterHigher[kMaxGroups][kMaxGenotypes];    // k > i and l > j
};

struct GammaAndOrg {
  float gamma = 0.0f;
  float org = 0.0f;
};

struct StandardErrors {
  float seGamma = 0.0f;
  float seLnOrg = 0.0f;
};

// One study's ORG and its 95% limits; also one record of the intermediate results file.
struct StudyResult {
  float org = 0.0f;
  float lower = 0.0f;
  float upper = 0.0f;
};

// A table whose G or K exceeds the extents of its arrays (kMaxGroups,
// kMaxGenotypes): its block does not fit, so nothing of it is computed.
struct TableSizeError : std::exception {
  std::int32_t groups;
  std::int32_t genotypes;

  TableSizeError(std::int32_t groups, std::int32_t genotypes);
  const char* what() const noexcept override;
};

struct StudyAnalysis {
  float gamma = 0.0f;
  float seGamma = 0.0f;
  StudyResult result;
};

// Every operation that walks the table reads only the G x K block; a G or K
// below 1 is an empty block, one above 200 throws TableSizeError.

// Replaces every count equal to +-0 in the G x K block by zeroAdd + count (that
// is, zeroAdd); other counts, negative ones included, are left as they are.
void correctZeroCounts(GenotypeTable& table, float zeroAdd);

// C and D, summed in the lexicographic order of (i, j, k, l) with each product
// formed in double and added to the float total before rounding.
PairTotals computePairTotals(const GenotypeTable& table);

// Fills the four quadrant sums of every cell of the G x K block (set to 0
// first, then accumulated in the order of the (i, j, k, l) loops).
void computeCellPairSums(const GenotypeTable& table, CellPairSums& sums);

// gamma = (C - D) / (C + D), then ORG = (gamma + 1) / (1 - gamma) from the
// stored gamma. Never fails: degenerate totals give infinities or NaN.
GammaAndOrg computeGammaAndOrg(const PairTotals& totals);

// The variance sum S of gamma over all cells of the block.
float computeVarianceSum(const GenotypeTable& table, const PairTotals& totals,
                         const CellPairSums& sums);

// The factor 4 / ((2C + 2D) * (2C + 2D)) of SE(gamma), as stored before use:
// +inf when C + D is 0.
float computeStandardErrorFactor(const PairTotals& totals);

// SE(gamma) = SQRT(S) * 4 / (2C + 2D)^2 and SE(ln ORG) = 2 SE(gamma) / (1 - gamma^2).
// Throws textio::MathError (SQRT domain) for a negative or NaN S.
StandardErrors computeStandardErrors(const PairTotals& totals, float gamma, float varianceSum);

// The 95% limits EXP(LOG(ORG) -+ 1.96 SE(ln ORG)). Throws textio::MathError
// (LOG singularity or domain, EXP domain or overflow).
StudyResult computeOrgLimits(float org, float seLnOrg);

// The whole single-study computation in its fixed order: zero-count
// correction (in place), pair totals, cell sums, gamma and ORG, variance sum,
// standard errors, limits. Throws textio::MathError as above, and
// TableSizeError (before changing the table) when G or K exceeds 200.
StudyAnalysis analyseStudy(GenotypeTable& table, float zeroAdd);

}  // namespace ploverix::stats
