// Mode 2 from the study file to the report: the per-study results pass
// through "outputORG.txt", so the pooling and the report see them with the
// digits that were written, not with the precision they had in memory.
#include "meta/meta.h"
#include "meta/report.h"
#include "textio/textio.h"

namespace ploverix::meta {

namespace {

constexpr int kStudyFileUnit = 10;
constexpr int kResultsUnit = 3;
constexpr int kReportReadUnit = 8;
constexpr const char* kStudyFile = "ORGgenotypes.txt";
constexpr const char* kResultsFile = "outputORG.txt";

// Static like every table of the program: about 32 MB, fixed at build time.
StudyCounts studyCounts;
stats::GenotypeTable workingTable;
float firstReadBack[kMaxStudies][3];
stats::StudyResult poolingInput[kMaxStudies];
float secondReadBack[kMaxStudies][3];

void readAllCounts(std::int32_t groups, std::int32_t genotypes, std::int32_t m) {
  textio::ListRead read(kStudyFileUnit);
  for (std::int32_t s = 1; s <= m; ++s) {
    for (std::int32_t i = 1; i <= groups; ++i) {
      for (std::int32_t j = 1; j <= genotypes; ++j) read.get(studyCounts.count(i, j, s));
    }
  }
}

void analyseEveryStudy(std::int32_t groups, std::int32_t genotypes, float zeroAdd,
                       std::int32_t m) {
  workingTable.groups = groups;
  workingTable.genotypes = genotypes;
  for (std::int32_t s = 1; s <= m; ++s) {
    // The zero-count correction works on this copy, never on the study's counts.
    for (std::int32_t i = 1; i <= groups; ++i) {
      for (std::int32_t j = 1; j <= genotypes; ++j) {
        workingTable.count(i, j) = studyCounts.count(i, j, s);
      }
    }
    const stats::StudyResult result = stats::analyseStudy(workingTable, zeroAdd).result;
    textio::writeList(kResultsUnit, {result.org, result.lower, result.upper});
  }
}

void readResultsBack(int unit, float table[][3], std::int32_t m) {
  textio::ListRead read(unit);
  for (std::int32_t s = 0; s < m; ++s) {
    for (int column = 0; column < 3; ++column) read.get(table[s][column]);
  }
}

}  // namespace

void runMetaAnalysis(std::int32_t groups, std::int32_t genotypes, float zeroAdd, float k) {
  const std::int32_t m = studyPasses(k);

  textio::openUnknown(kStudyFileUnit, kStudyFile);
  readAllCounts(groups, genotypes, m);
  textio::openUnknown(kResultsUnit, kResultsFile);
  analyseEveryStudy(groups, genotypes, zeroAdd, m);
  textio::closeUnit(kStudyFileUnit);
  textio::closeUnit(kResultsUnit);

  textio::openUnknown(kStudyFileUnit, kResultsFile);
  readResultsBack(kStudyFileUnit, firstReadBack, m);
  for (std::int32_t s = 0; s < m; ++s) {
    poolingInput[s] = {firstReadBack[s][0], firstReadBack[s][1], firstReadBack[s][2]};
  }
  textio::closeUnit(kStudyFileUnit);

  const PooledStudies pooled = poolStudies(poolingInput, k);

  textio::openUnknown(kReportReadUnit, kResultsFile);
  readResultsBack(kReportReadUnit, secondReadBack, m);
  writeReport(m, secondReadBack, pooled);
}

}  // namespace ploverix::meta
