// Machine constants: the IEEE single-precision values and the integer
// constants, and the terminal reports for an index out of range.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fixture.h"

namespace ploverix::numlib {
namespace {

using testing::capture;
using testing::NumlibTest;
using testing::Outcome;
using testing::records;

TEST_F(NumlibTest, AmachGivesTheSinglePrecisionConstants) {
  struct Case {
    int n;
    std::uint32_t bits;
    float printed;  // the decimal quoted for it
  };
  const std::vector<Case> cases = {
      {1, 0x00800000u, 1.1754944E-38f},  // 2^-126
      {2, 0x7F7FFFFFu, 3.4028235E+38f},  // (2 - 2^-23) 2^127
      {3, 0x33800000u, 5.9604645E-08f},  // 2^-24
      {4, 0x34000000u, 1.1920929E-07f},  // 2^-23
      {5, 0x3E9A209Bu, 0.30103001f},     // log10(2) rounded
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(AMACH(c.n)), c.bits) << "N = " << c.n;
    EXPECT_EQ(AMACH(c.n), c.printed) << "N = " << c.n;
  }
  EXPECT_EQ(std::bit_cast<std::uint32_t>(AMACH(6)), 0x7FC00000u);
  EXPECT_TRUE(std::isinf(AMACH(7)) && AMACH(7) > 0.0f);
  EXPECT_TRUE(std::isinf(AMACH(8)) && AMACH(8) < 0.0f);
  EXPECT_EQ(state().level, 1) << "a valid index pushes nothing";
}

TEST_F(NumlibTest, AmachOutsideOneToEightIsTerminal) {
  for (const int n : {0, 9}) {
    resetLibraryState();
    const Outcome outcome = capture([&] { AMACH(n); });
    EXPECT_EQ(outcome.printed,
              records({"", " *** TERMINAL ERROR 5 from AMACH.  The argument must be between 1 and 8",
                       " ***          inclusive. N = " + std::to_string(n)}))
        << "N = " << n;
    ASSERT_TRUE(outcome.stop.has_value());
    EXPECT_EQ(outcome.stop->routine, "AMACH");
    EXPECT_EQ(outcome.stop->code, 5);
  }
}

TEST_F(NumlibTest, ImachGivesTheIntegerConstants) {
  const int expected[] = {32, 4, 2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
  for (int n = 1; n <= 12; ++n) EXPECT_EQ(IMACH(n), expected[n - 1]) << "N = " << n;
}

TEST_F(NumlibTest, ImachOutsideOneToTwelveIsTerminal) {
  for (const auto& [n, shown] : std::vector<std::pair<int, std::string>>{{0, "     0"}, {13, "    13"}, {-5, "    -5"}}) {
    const Outcome outcome = capture([&] { IMACH(n); });
    EXPECT_EQ(outcome.printed,
              records({"", " *** TERMINAL ERROR 5 from IMACH.  The argument",
                       " ***          must be between 1 and 12 inclusive.",
                       " ***          N = " + shown + ".", ""}))
        << "N = " << n;
    ASSERT_TRUE(outcome.stop.has_value());
    EXPECT_EQ(outcome.stop->routine, "IMACH");
  }
}

}  // namespace
}  // namespace ploverix::numlib
