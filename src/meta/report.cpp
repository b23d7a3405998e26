// The meta-analysis report, on the console and then in "outputORG.txt". The
// two versions carry the same numbers and differ in a few strings and blank
// records, which users' scripts may rely on.
#include "meta/meta.h"
#include "meta/report.h"
#include "textio/textio.h"

namespace ploverix::meta {

namespace {

constexpr int kConsole = textio::kDefaultOutput;
constexpr int kResultsUnit = 3;
constexpr int kReportReadUnit = 8;

void blank(int unit) { textio::writeList(unit, {" "}); }

void writeStudyLines(int unit, std::int32_t m, const float table[][3]) {
  for (std::int32_t s = 1; s <= m; ++s) {
    textio::writeList(unit, {s, table[s - 1][0], table[s - 1][1], table[s - 1][2]});
  }
}

void writeEstimate(int unit, const PooledEstimate& estimate) {
  textio::writeList(unit, {"ORG=            ", estimate.org});
  textio::writeList(unit, {"95% Lower Limit=", estimate.lower});
  textio::writeList(unit, {"95% Upper Limit=", estimate.upper});
}

void writeQ(int unit, const Heterogeneity& h) {
  textio::writeList(unit, {"Q=     ", h.Q, "P-value for Q=", h.pValue});
}

}  // namespace

void writeReport(std::int32_t m, const float secondReadBack[][3], const PooledStudies& pooled) {
  const Heterogeneity& h = pooled.heterogeneity;

  textio::writeList(kConsole, {"***GENETIC ASSOCIATION RESULTS***"});
  blank(kConsole);
  textio::writeList(kConsole, {"        Study", " ORG", "           95% LL", "         95% UL"});
  writeStudyLines(kConsole, m, secondReadBack);
  textio::closeUnit(kReportReadUnit);
  blank(kConsole);
  blank(kConsole);
  textio::writeList(kConsole, {"***META_ANALYSIS RESULTS***"});
  blank(kConsole);
  textio::writeList(kConsole, {"Heterogeneity metrics"});
  writeQ(kConsole, h);
  textio::writeList(kConsole, {"I^2(%)=", h.I2});
  blank(kConsole);
  textio::writeList(kConsole, {"Fixed Effects model"});
  writeEstimate(kConsole, pooled.fixedEffects);
  blank(kConsole);
  textio::writeList(kConsole, {"Random Effects model"});
  writeEstimate(kConsole, pooled.randomEffects);
  blank(kConsole);

  // The first record cuts off the per-study records the file held.
  textio::openUnknown(kResultsUnit, "outputORG.txt");
  textio::writeList(kResultsUnit, {"       Study", "  ORG", "           95% LL", "         95% UL"});
  writeStudyLines(kResultsUnit, m, secondReadBack);
  blank(kResultsUnit);
  textio::writeList(kResultsUnit, {"***META-ANALYSIS RESULTS***"});
  blank(kResultsUnit);
  textio::writeList(kResultsUnit, {"Heterogeneity metrics"});
  writeQ(kResultsUnit, h);
  blank(kResultsUnit);
  textio::writeList(kResultsUnit, {"I^2(%)=", h.I2});
  blank(kResultsUnit);
  textio::writeList(kResultsUnit, {"Fixed Effects model"});
  blank(kResultsUnit);
  writeEstimate(kResultsUnit, pooled.fixedEffects);
  blank(kResultsUnit);
  textio::writeList(kResultsUnit, {"Random Effects model"});
  blank(kResultsUnit);
  writeEstimate(kResultsUnit, pooled.randomEffects);
  textio::closeUnit(kResultsUnit);
}

}  // namespace ploverix::meta
