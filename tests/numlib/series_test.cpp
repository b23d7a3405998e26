// Chebyshev series: the coefficient tables against the published file, the
// term counts, the series value against a direct sum of Chebyshev
// polynomials, and the conditions of CSEVL and INITS.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fixture.h"

namespace ploverix::numlib {
namespace {

using testing::capture;
using testing::NumlibTest;
using testing::Outcome;
using testing::records;

std::span<const float> tableNamed(const std::string& name) {
  if (name == "GAMCS") return GAMCS;
  if (name == "ERFCS") return ERFCS;
  if (name == "ERC2CS") return ERC2CS;
  if (name == "ERFCCS") return ERFCCS;
  if (name == "ALGMCS") return ALGMCS;
  return {};
}

// Every published decimal of the file, each rounded to the nearest float.
std::map<std::string, std::vector<float>> readCoefficientFile() {
  std::map<std::string, std::vector<float>> tables;
  std::ifstream in(PLOVERIX_COEFFICIENT_FILE);
  std::string line;
  std::string current;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    if (word == "table") {
      words >> current;
      continue;
    }
    float value = 0.0f;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    EXPECT_EQ(result.ec, std::errc{}) << word;
    tables[current].push_back(value);
  }
  return tables;
}

TEST(CoefficientTables, HoldTheNearestFloatOfEveryPublishedDecimal) {
  const auto file = readCoefficientFile();
  ASSERT_EQ(file.size(), 5u) << "cannot read " << PLOVERIX_COEFFICIENT_FILE;
  for (const auto& [name, values] : file) {
    const std::span<const float> held = tableNamed(name);
    ASSERT_EQ(held.size(), values.size()) << name;
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(held[i], values[i]) << name << " entry " << i + 1;
    }
  }
}

TEST(CoefficientTables, MatchTheCheckValuesToEightDigits) {
  struct Case {
    const char* name;
    std::span<const float> table;
    const char* first;
    const char* second;
  };
  const std::vector<Case> cases = {
      {"GAMCS", GAMCS, "8.5711954E-03", "4.4153812E-03"},
      {"ERFCS", ERFCS, "-4.9046122E-02", "-1.4226121E-01"},
      {"ERC2CS", ERC2CS, "-6.9601350E-02", "-4.1101340E-02"},
      {"ERFCCS", ERFCCS, "7.1517929E-02", "-2.6532434E-02"},
      {"ALGMCS", ALGMCS, "1.6663896E-01", "-1.3849482E-05"},
  };
  for (const Case& c : cases) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7E", static_cast<double>(c.table[0]));
    EXPECT_STREQ(text, c.first) << c.name;
    std::snprintf(text, sizeof text, "%.7E", static_cast<double>(c.table[1]));
    EXPECT_STREQ(text, c.second) << c.name;
  }
}

TEST_F(NumlibTest, InitsGivesTheTermCountsOfTheTables) {
  const float eta = static_cast<float>(static_cast<double>(0.1f) * 0x1p-24);
  struct Case {
    const char* name;
    std::span<const float> table;
    int nos;
    float eta;
    int terms;
  };
  const std::vector<Case> cases = {
      {"GAMCS", GAMCS, 23, eta, 12},
      {"ERFCS", ERFCS, 13, eta, 7},
      {"ERC2CS", ERC2CS, 23, eta, 10},
      {"ERFCCS", ERFCCS, 24, eta, 9},
      {"ALGMCS", ALGMCS, 6, 0x1p-24f, 2},
      {"ALGMCS read past its end as zeros", ALGMCS, 8, 0x1p-24f, 2},
      {"GAMCS with a loose tolerance", GAMCS, 23, 1.0f, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(INITS(c.table, c.nos, c.eta), c.terms) << c.name;
    EXPECT_EQ(state().level, 1) << c.name;
  }
}

// sum' c_k T_k(x) by the three-term recurrence of the Chebyshev
// polynomials, T_0 = 1, T_1 = x, T_(k+1) = 2x T_k - T_(k-1), in long double.
long double chebyshevSum(long double x, std::span<const float> cs, int n) {
  long double sum = 0.0L, before = 0.0L, last = 0.0L;
  for (int k = 0; k < n; ++k) {
    const long double t = k == 0 ? 1.0L : (k == 1 ? x : 2.0L * x * last - before);
    before = last;
    last = t;
    const long double c = static_cast<std::size_t>(k) < cs.size() ? cs[static_cast<std::size_t>(k)] : 0.0L;
    sum += (k == 0 ? 0.5L : 1.0L) * c * t;
  }
  return sum;
}

TEST_F(NumlibTest, CsevlSumsTheSeriesWithHalfTheFirstCoefficient) {
  const std::vector<float> small = {1.0f, 2.0f, 3.0f};
  const std::vector<float> halves = {0.5f, 0.25f, 0.125f, 0.0625f};
  struct Case {
    const char* name;
    float x;
    std::span<const float> cs;
    int n;
  };
  const std::vector<Case> cases = {
      {"three terms", 0.3f, small, 3},       {"at -1", -1.0f, halves, 4},
      {"at the edge 1.1", 1.1f, halves, 4},  {"one term", 0.7f, small, 1},
      {"gamma series", 0.2f, GAMCS, 12},     {"erf series", -0.6f, ERFCS, 7},
      {"erfc series", 0.9f, ERFCCS, 9},      {"middle erfc series", -0.35f, ERC2CS, 10},
      {"Stirling series", 0.98f, ALGMCS, 2},
  };
  for (const Case& c : cases) {
    const long double exact = chebyshevSum(c.x, c.cs, c.n);
    const float value = CSEVL(c.x, c.cs, c.n);
    EXPECT_NEAR(value, static_cast<double>(exact), std::fabs(static_cast<double>(exact)) * 1.2e-7)
        << c.name;
    EXPECT_EQ(state().types[1], 0) << c.name << ": no condition inside [-1.1, 1.1]";
  }
  EXPECT_FLOAT_EQ(CSEVL(0.3f, small, 3), -1.36f);  // 0.5 + 2(0.3) + 3(2(0.09) - 1)
  EXPECT_EQ(CSEVL(0.4f, ALGMCS, 8), CSEVL(0.4f, ALGMCS, 6)) << "zeros past the end change nothing";
}

TEST_F(NumlibTest, CsevlOutsideTheIntervalWarnsAndStillSums) {
  const std::vector<float> small = {1.0f, 2.0f, 3.0f};
  for (const auto& [x, shown] : std::vector<std::pair<float, std::string>>{{1.5f, "1.500000E+00"},
                                                                         {-1.2f, "-1.200000E+00"}}) {
    resetLibraryState();
    float value = 0.0f;
    const Outcome outcome = capture([&] { value = CSEVL(x, small, 3); });
    EXPECT_EQ(outcome.printed,
              records({"", " *** WARNING  ERROR 7 from CSEVL.  The argument X = " + shown + " is outside",
                       " ***          the interval (-1.1,+1.1)."}))
        << x;
    EXPECT_FALSE(outcome.stop.has_value());
    EXPECT_NEAR(value, static_cast<double>(chebyshevSum(x, small, 3)), 1e-5) << x;
    EXPECT_EQ(state().types[1], 3);
    EXPECT_EQ(state().codes[1], 7);
  }
}

struct StopCase {
  const char* name;
  std::function<void()> call;
  std::string printed;
  std::string routine;
  int code;
};

TEST_F(NumlibTest, CsevlAndInitsStopOnImpossibleCounts) {
  const std::string more = " ***          ";
  const std::vector<float> one = {1e-30f};
  const std::vector<StopCase> cases = {
      {"no terms", [] { CSEVL(0.5f, GAMCS, 0); },
       records({"", " *** TERMINAL ERROR 5 from CSEVL.  The number of terms in the series is not",
                more + "positive. N = 0."}),
       "CSEVL", 5},
      {"more than 1000 terms", [] { CSEVL(0.5f, GAMCS, 1001); },
       records({"", " *** TERMINAL ERROR 6 from CSEVL.  The number of terms in the series is",
                more + "greater than 1000. N = 1001."}),
       "CSEVL", 6},
      {"no coefficients", [] { INITS(GAMCS, 0, 1.0f); },
       records({"", " *** TERMINAL ERROR 5 from INITS.  The number of coefficients is less than 1.",
                more + "NOS = 0."}),
       "INITS", 5},
      {"last coefficient above the tolerance", [] { INITS(GAMCS, 23, 1e-20f); },
       records({"", " *** TERMINAL ERROR 6 from INITS.  Too much accuracy may be requested. ETA",
                more + "should be increased."}),
       "INITS", 6},
      {"a single coefficient within the tolerance", [&] { INITS(one, 1, 1.0f); },
       records({"", " *** TERMINAL ERROR 6 from INITS.  Too much accuracy may be requested. ETA",
                more + "should be increased."}),
       "INITS", 6},
  };
  for (const StopCase& c : cases) {
    resetLibraryState();
    const Outcome outcome = capture(c.call);
    EXPECT_EQ(outcome.printed, c.printed) << c.name;
    ASSERT_TRUE(outcome.stop.has_value()) << c.name;
    EXPECT_EQ(outcome.stop->routine, c.routine) << c.name;
    EXPECT_EQ(outcome.stop->type, 5) << c.name;
    EXPECT_EQ(outcome.stop->code, c.code) << c.name;
  }
}

}  // namespace
}  // namespace ploverix::numlib
