// The console dialogue and the run sequence.
#include "driver/driver.h"

#include <charconv>
#include <initializer_list>

#include "meta/meta.h"
#include "stats/stats.h"
#include "textio/textio.h"

namespace ploverix::driver {

namespace {

using textio::Item;
using textio::kDefaultInput;
using textio::kDefaultOutput;

// The run's settings and the table typed in mode 1 are static, like every
// table of the program: nothing is allocated while the run goes on.
RunSettings settings;
stats::GenotypeTable keyboardTable;

void say(std::initializer_list<Item> items) { textio::writeList(kDefaultOutput, items); }

// A blank record is a write of the one-blank string, not an empty write.
void blank() { say({" "}); }

// Each answer is one read of its own: it starts on a new line and discards
// whatever else stands on that line.
template <typename Target>
void readAnswer(Target& target) {
  textio::ListRead read(kDefaultInput);
  read.get(target);
}

std::string integerText(std::int32_t value) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string floatText(float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void rejectIntegerAboveLimit(const char* setting, std::int32_t value, int limit) {
  if (value > limit) throw SettingAboveLimit(setting, integerText(value), limit);
}

void printBannerAndAskMode() {
  blank();                                                                       // A1
  say({"*****************   P L O V E R I X   ****************"});               // A2
  blank();                                                                       // A3
  say({"\tWritten by the PLOVERIX development group"});                          // A4
  blank();                                                                       // A5
  say({"A software for implementing the methodology  described"});              // A6
  say({"in the paper entitled:"});                                               // A7
  blank();                                                                       // A8
  say({"\"The generalized odds ratio: one measure of association"});             // A9
  say({"for genotypes across ordered groups of severity\""});                    // A10
  blank();                                                                       // A11
  say({"which is under revision at"});                                           // A12
  say({"Annals of Ordinal Genetic Epidemiology"});                               // A13
  blank();                                                                       // A14
  blank();                                                                       // A15
  say({"To operate the software, put the exe file at C:\\ directory."});         // A16
  say({"Then, click \"start\", click \"run\", type \"cmd\", and click \"OK\"."});  // A17
  say({"At DOS, go to the root directory C:\\ and type PLOVERIX <enter>"});      // A18
  say({"Do NOT clik the ICON of the exe file"});                                 // A19
  blank();                                                                       // A20
  blank();                                                                       // A21
  say({"For analysing an individual GAS, type: 1"});                             // A22
  blank();                                                                       // A23
  say({"For analysing GASs and perfrorming a meta-nalaysis of them, type: 2"});  // A24
  say({"  "});                                                                   // A25
  readAnswer(settings.mode);
  blank();                                                                       // A26
}

// The questions shared by both modes: groups, genotypes and the zero-add value.
// Mode 1 follows them with a blank record, mode 2 goes straight to the file.
void askTableShape() {
  say({"Enter the number of groups (up to 20)"});
  say({"(e.g. for a simple case-control study, enter=2,"});
  say({"for disease progression where the groups are:"});
  say({"controls, diseased, diseased with complication,"});
  say({"enter=3, etc"});
  blank();
  readAnswer(settings.groups);
  rejectIntegerAboveLimit("number of groups", settings.groups, stats::kMaxGroups);
  blank();
  say({"Number of groups=", settings.groups});
  blank();
  say({"Enter the number of genotypes (up to 200), e.g. for two alleles is 3"});
  blank();
  readAnswer(settings.genotypes);
  rejectIntegerAboveLimit("number of genotypes", settings.genotypes, stats::kMaxGenotypes);
  blank();
  say({"Number of genotypes=", settings.genotypes});
  blank();
  say({"Specify the number to add to zero frequencies"});
  blank();
  readAnswer(settings.zeroAdd);
  blank();
  say({"Number to add to zero frequencies=", settings.zeroAdd});
}

void runSingleStudy() {
  askTableShape();
  blank();  // S19
  say({"Enter the number of genotype counts:"});
  say({"First enter for the control group the genotype"});
  say({"frequencies (from wild types (wt) to more"});
  say({"mutants (mt) genotypes, i.e. for two alleles"});
  say({"the order is: 1st)wt/wt, 2nd)wt/mt, 3rd)mt/mt)."});
  say({"Then, enter the respective frequencies for the"});
  say({"diseased group. If you investigate disease"});
  say({"progression, then enter the frequencies"});
  say({"of the next severe diseased group (e.g. the"});
  say({"one with complications), and go on to next"});
  say({"group in terms of severity (i.e. genotype"});
  say({"frequencies for control group, for less"});
  say({"severe group, for more severe group, ect.)"});
  blank();
  say({"Every time you type a count,press the key Enter"});
  blank();

  keyboardTable.groups = settings.groups;
  keyboardTable.genotypes = settings.genotypes;
  for (std::int32_t i = 1; i <= settings.groups; ++i) {
    for (std::int32_t j = 1; j <= settings.genotypes; ++j) {
      say({"Enter count for group=", i, "and genotype=", j});
      readAnswer(keyboardTable.count(i, j));
    }
  }
  blank();  // S37

  const stats::StudyAnalysis analysis = stats::analyseStudy(keyboardTable, settings.zeroAdd);
  say({"gamma=", analysis.gamma, " SE(gamma)=", analysis.seGamma});
  blank();
  say({"ORG 95%(LL, UL)=", analysis.result.org, "(", analysis.result.lower, ",",
       analysis.result.upper, ")"});
}

void runMetaAnalysisDialogue() {
  blank();
  say({"You are performing an analysis of GAS and a meta-analysis of them"});
  blank();
  blank();
  say({"Create an input file with the name \"ORGgenotypes.txt\" and"});
  say({"locate the file at the same directory as the current software."});
  blank();
  say({"In the input file, each row corresponds to a study."});
  say({"For each study first enter the genotype frequencies"});
  say({"of the control group (from wild types (wt) to more"});
  say({"mutants (mt) genotypes) followed by the respective"});
  say({"frequencies of the diseased group"});
  say({"(e.g. for two alleles the order of entering"});
  say({"the frequencies is: 1st) wt/wt of control, 2nd) wt/mt"});
  say({"of control, 3rd) mt/mt of control,4th) wt/wt of cases,"});
  say({"5th) wt/mt of cases, 6th) mt/mt of cases)."});
  say({"If you investigate disease progression, enter"});
  say({"the frequencies of the control group, followed by the"});
  say({"less severe group, the more severe group, etc."});
  blank();
  say({"The results are shown in the file \"outputORG.txt\""});
  blank();
  say({"Enter the number of studies"});
  blank();
  readAnswer(settings.studies);
  if (meta::studiesAboveLimit(settings.studies)) {
    throw SettingAboveLimit("number of studies", floatText(settings.studies), meta::kMaxStudies);
  }
  blank();
  say({"Number of studies=", settings.studies});
  blank();
  if (settings.studies == 1.0f) {
    say({"You need more than one study to perform a meta-analysis"});
    return;
  }
  askTableShape();
  meta::runMetaAnalysis(settings.groups, settings.genotypes, settings.zeroAdd, settings.studies);
}

}  // namespace

SettingAboveLimit::SettingAboveLimit(std::string setting, std::string value, int limit)
    : setting(std::move(setting)), value(std::move(value)), limit(limit) {}

const char* SettingAboveLimit::what() const noexcept { return "setting above the tables' limit"; }

std::string SettingAboveLimit::message() const {
  return "severe: " + setting + "=" + value + " is above the limit of " + integerText(limit) +
         "; nothing was computed";
}

void runProgram() {
  printBannerAndAskMode();
  if (settings.mode == 1) runSingleStudy();
  // The single-study sequence never changes the mode, so at most one of the two runs.
  if (settings.mode == 2) runMetaAnalysisDialogue();
}

}  // namespace ploverix::driver
