// The error stack: pushes and pops, message composition with parameters, the
// printer's line wrapping and traceback, when a type is printed and when it
// stops the run, and the checks of the machinery's own use.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fixture.h"

namespace ploverix::numlib {
namespace {

using testing::capture;
using testing::Outcome;
using testing::NumlibTest;
using testing::records;

std::string name32(const std::string& name) { return name + std::string(32 - name.size(), ' '); }

TEST_F(NumlibTest, StartsAtLevelOneAsUser) {
  const ErrorState& s = state();
  EXPECT_EQ(s.level, 1);
  EXPECT_EQ(s.maxLevel, 50);
  EXPECT_EQ(s.names[1], name32("USER"));
  EXPECT_EQ(s.types[1], 0);
  EXPECT_EQ(s.codes[1], 0);
  for (int level = 2; level <= 51; ++level) {
    EXPECT_EQ(s.types[level], -1) << "level " << level;
    EXPECT_EQ(s.codes[level], -1) << "level " << level;
  }
  EXPECT_TRUE(s.savedMessage.empty());
  EXPECT_TRUE(s.parameters.empty());
  EXPECT_FALSE(s.pendingWarning);
  EXPECT_FALSE(s.pendingFatal);
  int unit = 0;
  for (const auto& [entry, expected] : std::vector<std::pair<int, int>>{{1, 5}, {2, 6}, {3, 6}}) {
    UMACH(entry, unit);
    EXPECT_EQ(unit, expected) << "entry " << entry;
  }
}

TEST_F(NumlibTest, PopLeavesTheCalleesTypeForN1RTYAndUnsetsTheLevelBelowIt) {
  E1PSH("OUTER");
  E1PSH("INNER");
  EXPECT_EQ(state().names[3], name32("INNER"));
  EXPECT_EQ(state().types[3], 0);
  E1MES(1, 4, "A note.");
  E1POP("INNER");
  EXPECT_EQ(state().level, 2);
  EXPECT_EQ(N1RTY(1), 1) << "the callee's NOTE stays at its level";
  EXPECT_EQ(N1RTY(0), 0) << "a NOTE does not travel up";

  E1PSH("INNER");
  E1MES(2, 4, "An alert.");
  E1POP("INNER");
  EXPECT_EQ(N1RTY(1), 2);
  EXPECT_EQ(N1RTY(0), 2) << "an ALERT travels up";
  EXPECT_EQ(state().codes[2], 4);

  E1POP("OUTER");
  EXPECT_EQ(state().level, 1);
  EXPECT_EQ(state().types[3], -1);
  EXPECT_EQ(state().codes[3], -1);
  EXPECT_EQ(state().types[1], 2);
}

TEST_F(NumlibTest, NamesArePaddedOrCutTo32Characters) {
  const std::string longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789WXYZ";
  E1PSH(longName);
  EXPECT_EQ(state().names[2], longName.substr(0, 32));
  const Outcome popped = capture([&] { E1POP(longName.substr(0, 32)); });
  EXPECT_FALSE(popped.stop.has_value());
  E1PSH("G");
  EXPECT_EQ(state().names[2], name32("G"));
  E1POP("G    ");  // trailing blanks compare equal
  EXPECT_EQ(state().level, 1);
}

struct ComposeCase {
  const char* name;
  std::function<void()> store;
  std::string message;
  std::string saved;
};

TEST_F(NumlibTest, ComposesMessagesFromStoredParameters) {
  const std::vector<ComposeCase> cases = {
      {"real parameter", [] { E1REAL(1, 0.2f); }, "DF = %(R1).", ".  DF = 2.000000E-01."},
      {"placeholder without parameter is literal", [] { E1REAL(1, 0.2f); }, "%(R1) and %(R2)",
       ".  2.000000E-01 and %(R2)"},
      {"integer parameter", [] { E1INTG(1, -42); }, "N = %(I1)", ".  N = -42"},
      {"text parameter loses trailing blanks", [] { E1TEXT(3, "CHIDF   "); }, "[%(L3)]", ".  [CHIDF]"},
      {"blank text keeps one blank", [] { E1TEXT(1, "    "); }, "[%(L1)]", ".  [ ]"},
      {"letters that have no setter stay literal", [] { E1INTG(1, 7); },
       "%(A1)%(C1)%(D1)%(K1)%(S1)%(Z1)%(I1)", ".  %(A1)%(C1)%(D1)%(K1)%(S1)%(Z1)7"},
      {"malformed placeholders stay literal", [] { E1INTG(1, 7); }, "%(I0)%(X1)%[I1)%(I1]",
       ".  %(I0)%(X1)%[I1)%(I1]"},
      {"the first stored parameter wins", [] { E1REAL(2, 1.0f); E1REAL(2, 2.0f); }, "%(R2)",
       ".  1.000000E+00"},
      {"index outside 1 to 9 is not stored", [] { E1INTG(0, 5); E1INTG(10, 6); }, "%(I1)%(I9)",
       ".  %(I1)%(I9)"},
      {"placeholder at the very end", [] { E1INTG(1, 3); }, "N=%(I1)", ".  N=3"},
      {"cut placeholder at the end", [] { E1INTG(1, 3); }, "N=%(I1", ".  N=%(I1"},
      {"digits tell parameters apart", [] { E1INTG(1, 1); E1INTG(2, 2); }, "%(I2)%(I1)", ".  21"},
      {"letters tell parameters apart", [] { E1REAL(1, 1.0f); E1INTG(1, 5); E1TEXT(1, "AB"); },
       "%(R1) %(I1) %(L1)", ".  1.000000E+00 5 AB"},
  };
  for (const ComposeCase& c : cases) {
    resetLibraryState();
    E1PSH("TESTER");
    c.store();
    E1MES(1, 1, c.message);
    EXPECT_EQ(state().savedMessage, c.saved) << c.name;
    EXPECT_TRUE(state().parameters.empty()) << c.name;
    E1POP("TESTER");
  }
}

TEST_F(NumlibTest, ParametersDoNotCarryOverToTheNextMessage) {
  E1REAL(1, 0.2f);
  E1MES(1, 1, "first %(R1)");
  EXPECT_EQ(state().savedMessage, ".  first 2.000000E-01");
  E1MES(1, 1, "second %(R1)");
  EXPECT_EQ(state().savedMessage, ".  second %(R1)");
}

TEST_F(NumlibTest, BlankOrEmptyMessageKeepsTheSavedOneAndSetsTheCode) {
  E1MES(1, 1, "kept");
  E1MES(1, 2, " ");
  EXPECT_EQ(state().savedMessage, ".  kept");
  EXPECT_EQ(state().codes[1], 2);
  E1MES(1, 3, "");
  EXPECT_EQ(state().savedMessage, ".  kept");
  EXPECT_EQ(state().codes[1], 3);
}

TEST_F(NumlibTest, MinusOneKeepsTheRecordedTypeOrCode) {
  E1PSH("TESTER");
  E1MES(2, 2, "first");
  E1MES(-1, 5, "second");
  EXPECT_EQ(state().types[2], 2);
  EXPECT_EQ(state().codes[2], 5);
  E1MES(1, -1, "third");
  EXPECT_EQ(state().types[2], 1);
  EXPECT_EQ(state().codes[2], 5);
}

TEST_F(NumlibTest, ZeroTypeAndCodeClearTheError) {
  E1PSH("TESTER");
  E1MES(3, 2, "A warning.");
  E1REAL(1, 1.0f);
  E1MES(0, 0, " ");
  EXPECT_TRUE(state().savedMessage.empty());
  EXPECT_EQ(state().types[2], 0);
  EXPECT_EQ(state().codes[2], 0);
  EXPECT_TRUE(state().parameters.empty());
  const Outcome popped = capture([] { E1POP("TESTER"); });
  EXPECT_EQ(popped.printed, "");
  EXPECT_EQ(state().types[1], 0);
  EXPECT_EQ(state().codes[1], 0);
}

struct LimitCase {
  const char* name;
  std::function<void()> store;
  std::string message;
  std::string saved;
};

TEST_F(NumlibTest, MessagesAreReadAndSavedUpTo1024Characters) {
  const std::vector<LimitCase> cases = {
      {"long message cut", [] {}, std::string(2000, 'a'), ".  " + std::string(1021, 'a')},
      {"placeholder inside the first 1024", [] { E1INTG(1, 7); },
       std::string(1019, 'a') + "%(I1)bbb", ".  " + std::string(1019, 'a') + "7"},
      {"placeholder across the 1024th character", [] { E1INTG(1, 7); },
       std::string(1020, 'a') + "%(I1)", ".  " + std::string(1020, 'a') + "%"},
      {"expansion beyond 1024", [] { E1TEXT(1, std::string(100, 'x')); },
       std::string(1000, 'a') + "%(L1)", ".  " + std::string(1000, 'a') + std::string(21, 'x')},
  };
  for (const LimitCase& c : cases) {
    resetLibraryState();
    c.store();
    E1MES(1, 1, c.message);
    EXPECT_EQ(state().savedMessage, c.saved) << c.name;
  }
}

TEST_F(NumlibTest, ParameterListHoldsAtMost300CharactersWithBookkeeping) {
  E1TEXT(1, std::string(300, 'x'));    // cut to 255; takes 263
  E1TEXT(2, std::string(30, 'y'));     // 263 + 30 + 8 = 301: dropped
  E1TEXT(3, std::string(29, 'z'));     // 263 + 29 + 8 = 300: fits
  E1INTG(4, 1);                        // 300 + 1 + 8: dropped
  EXPECT_EQ(state().parameterListLength, 300u);
  E1MES(1, 1, "%(L1)|%(L2)|%(L3)|%(I4)");
  EXPECT_EQ(state().savedMessage,
            ".  " + std::string(255, 'x') + "|%(L2)|" + std::string(29, 'z') + "|%(I4)");
  EXPECT_EQ(state().parameterListLength, 0u);
}

TEST(RealParameterText, WritesOneDigitSixDecimalsAndTwoExponentDigits) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::pair<float, std::string>> cases = {
      {0.2f, "2.000000E-01"},           {-1.0f, "-1.000000E+00"},
      {35.030781f, "3.503078E+01"},     {0.0f, "0.000000E+00"},
      {nan, "NaN"},                     {-2.0000002f, "-2.000000E+00"},
      {123456.789f, "1.234568E+05"},    {3.4028235e38f, "3.402823E+38"},
      {1.1754944e-38f, "1.175494E-38"}, {1e-40f, "9.999946E-41"},
      {1.9999999f, "2.000000E+00"},     {0.99999994f, "9.999999E-01"},
      {inf, "Infinity"},                {-inf, "-Infinity"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(realParameterText(value), text) << "value " << value;
  }
}

struct LayoutCase {
  const char* name;
  std::string routine;
  std::string message;
  std::vector<std::string> lines;  // after the empty line
};

TEST_F(NumlibTest, PrinterWrapsMessagesAt78Characters) {
  const std::string head = " *** WARNING  ERROR 3 from TESTER.  ";
  const std::string more = " ***          ";
  const std::vector<LayoutCase> cases = {
      {"fits on one line", "TESTER", "Short.", {head + "Short."}},
      {"forced break in the first line", "TESTER", "First part%/second part",
       {head + "First part", more + "second part"}},
      {"forced break in a continuation line", "TESTER", std::string(40, 'a') + " bbbbb ccc%/ddd",
       {head + std::string(40, 'a'), more + "bbbbb ccc", more + "ddd"}},
      {"second blank after the first break is skipped", "TESTER", std::string(41, 'a') + "  bbb",
       {head + std::string(41, 'a'), more + "bbb"}},
      {"continuation keeps its blank and skips the next", "TESTER",
       std::string(40, 'a') + " " + std::string(63, 'c') + "  ddd",
       {head + std::string(40, 'a'), more + std::string(63, 'c') + " ", more + "ddd"}},
      // The window counts from the break, so the skipped blank takes one of its
      // 64 characters: 64 letters after it no longer fit on one line.
      {"window counts the skipped blank", "TESTER",
       std::string(41, 'a') + "  " + std::string(64, 'b'),
       {head + std::string(41, 'a'), more + std::string(63, 'b'), more + "b"}},
      {"skipped blank, then a blank at the window's end", "TESTER",
       std::string(41, 'a') + "  " + std::string(60, 'b') + " cc d",
       {head + std::string(41, 'a'), more + std::string(60, 'b') + " ", more + "cc d"}},
      {"word longer than the window is cut", "TESTER", std::string(40, 'a') + " " + std::string(70, 'x'),
       {head + std::string(40, 'a'), more + std::string(64, 'x'), more + std::string(6, 'x')}},
      {"the underflow alert of the normal approximation", "CHIDF",
       "The normal distribution is used for large degrees of freedom.  However, it has produced "
       "underflow.  Therefore, the probability is set to 0.",
       {" *** WARNING  ERROR 3 from CHIDF.  The normal distribution is used for large",
        more + "degrees of freedom.  However, it has produced underflow.  ",
        more + "Therefore, the probability is set to 0."}},
  };
  for (const LayoutCase& c : cases) {
    resetLibraryState();
    E1PSH(c.routine);
    // An immediate warning is printed as it is raised.
    const Outcome raised = capture([&] { E1MES(6, 3, c.message); });
    std::string expected = "\r\n";
    for (const std::string& line : c.lines) {
      expected += line + "\r\n";
      EXPECT_LE(line.size(), 78u) << c.name;
    }
    EXPECT_EQ(raised.printed, expected) << c.name;
    EXPECT_TRUE(state().savedMessage.empty()) << c.name;
  }
}

TEST_F(NumlibTest, PrinterNamesEachType) {
  const std::vector<std::pair<int, std::string>> cases = {
      {1, "NOTE    "}, {2, "ALERT   "}, {3, "WARNING "}, {4, "FATAL   "}, {5, "TERMINAL"},
      {6, "WARNING "}, {7, "FATAL   "}, {0, "UNKNOWN "}, {8, "UNKNOWN "},
  };
  for (const auto& [type, name] : cases) {
    state().types[1] = type;
    state().codes[1] = 1;
    state().savedMessage = ".  m";
    const Outcome shown = capture([] { E1SHOW(); });
    EXPECT_EQ(shown.printed, records({"", " *** " + name + " ERROR 1 from USER.  m"})) << "type " << type;
  }
}

TEST_F(NumlibTest, PrinterWithoutMessagePrintsNothing) {
  state().types[1] = 5;
  EXPECT_EQ(capture([] { E1SHOW(); }).printed, "");
}

TEST_F(NumlibTest, ErrorRaisedAtLevelThreePrintsTheTraceback) {
  E1PSH("CHIDF");
  E1PSH("GAMMA");
  const Outcome raised =
      capture([] { E1MES(5, 5, "The argument for the function can not be zero."); });
  EXPECT_EQ(raised.printed,
            records({"", " *** TERMINAL ERROR 5 from GAMMA.  The argument for the function can not be",
                     " ***          zero.",
                     "     Here is a traceback of subprogram calls in reverse order:",
                     "     Routine name                    Error type  Error code",
                     "     ------------                    ----------  ----------",
                     "     GAMMA                                5           5    (Called internally)",
                     "     CHIDF                                0           0",
                     "     USER                                 0           0"}));
  const Outcome popped = capture([] { E1POP("GAMMA"); });
  EXPECT_EQ(popped.printed, "");
  ASSERT_TRUE(popped.stop.has_value());
  EXPECT_EQ(popped.stop->routine, "GAMMA");
  EXPECT_EQ(popped.stop->type, 5);
  EXPECT_EQ(popped.stop->code, 5);
}

// The line of a message "Short." raised with code 4 under `routine`.
std::string shortLine(const std::string& typeName, const std::string& routine) {
  return " *** " + typeName + " ERROR 4 from " + routine + ".  Short.";
}

std::string tracebackOf(int innerType) {
  const std::string type = std::to_string(innerType);
  return records({"     Here is a traceback of subprogram calls in reverse order:",
                  "     Routine name                    Error type  Error code",
                  "     ------------                    ----------  ----------",
                  "     INNER                                " + type + "           4    (Called internally)",
                  "     OUTER                                0           0",
                  "     USER                                 0           0"});
}

struct PopCase {
  const char* name;
  int depth;  // 2: raised by the routine the program called; 3: by one it called
  int type;
  std::string printedAtRaise;
  std::string printedAtPops;
  bool stops;
  int userType;  // recorded at level 1 afterwards
  int userCode;
};

TEST_F(NumlibTest, EachTypeIsPrintedAndStopsAsItsSettingsSay) {
  const std::vector<PopCase> cases = {
      {"note at level 2", 2, 1, "", "", false, 0, 0},
      {"alert at level 2", 2, 2, "", "", false, 2, 4},
      {"warning at level 2", 2, 3, "", records({"", shortLine("WARNING ", "OUTER")}), false, 3, 4},
      {"fatal at level 2", 2, 4, "", records({"", shortLine("FATAL   ", "OUTER")}), true, 4, 4},
      {"terminal at level 2", 2, 5, records({"", shortLine("TERMINAL", "OUTER")}), "", true, 5, 4},
      {"immediate warning at level 2", 2, 6, records({"", shortLine("WARNING ", "OUTER")}), "", false, 6, 4},
      {"immediate fatal at level 2", 2, 7, records({"", shortLine("FATAL   ", "OUTER")}), "", true, 7, 4},
      {"note at level 3", 3, 1, "", "", false, 0, 0},
      {"alert at level 3", 3, 2, "", "", false, 2, 4},
      {"warning at level 3 is printed under the caller", 3, 3, "",
       records({"", shortLine("WARNING ", "OUTER")}), false, 3, 4},
      {"fatal at level 3 is printed under the caller", 3, 4, "",
       records({"", shortLine("FATAL   ", "OUTER")}), true, 4, 4},
      {"terminal at level 3 stops at the next pop", 3, 5,
       records({"", shortLine("TERMINAL", "INNER")}) + tracebackOf(5), "", true, 0, 0},
      {"immediate warning at level 3", 3, 6, records({"", shortLine("WARNING ", "INNER")}) + tracebackOf(6),
       "", false, 6, 4},
      {"immediate fatal at level 3 stops when level 2 returns", 3, 7,
       records({"", shortLine("FATAL   ", "INNER")}) + tracebackOf(7), "", true, 7, 4},
  };
  for (const PopCase& c : cases) {
    resetLibraryState();
    E1PSH("OUTER");
    if (c.depth == 3) E1PSH("INNER");
    const Outcome raised = capture([&] { E1MES(c.type, 4, "Short."); });
    EXPECT_EQ(raised.printed, c.printedAtRaise) << c.name;
    const Outcome popped = capture([&] {
      if (c.depth == 3) E1POP("INNER");
      E1POP("OUTER");
    });
    EXPECT_EQ(popped.printed, c.printedAtPops) << c.name;
    EXPECT_EQ(popped.stop.has_value(), c.stops) << c.name;
    EXPECT_EQ(state().types[1], c.userType) << c.name;
    EXPECT_EQ(state().codes[1], c.userCode) << c.name;
    if (!c.stops) {
      EXPECT_EQ(state().level, 1) << c.name;
      EXPECT_FALSE(state().pendingWarning) << c.name;
      EXPECT_FALSE(state().pendingFatal) << c.name;
    }
  }
}

struct MisuseCase {
  const char* name;
  std::function<void()> setUp;
  std::function<void()> misuse;
  std::string printed;
  std::string routine;
  int code;
};

TEST_F(NumlibTest, MisuseOfTheMachineryIsTerminal) {
  const std::string more = " ***          ";
  const std::vector<MisuseCase> cases = {
      {"pop from an empty stack", [] {}, [] { E1POP("CHIDF"); },
       records({"", " *** TERMINAL ERROR 1 from E1POP.  Error condition in E1POP.  Cannot pop from",
                more + "CHIDF because stack is empty."}),
       "E1POP", 1},
      {"pop of a name not on top", [] { E1PSH("GAMMA"); }, [] { E1POP("ERFC"); },
       records({"", " *** TERMINAL ERROR 2 from GAMMA.  Error condition in E1POP.  ERFC does not",
                more + "match the name GAMMA in the stack."}),
       "GAMMA", 2},
      {"pop of a name not on top at level 3", [] { E1PSH("CHIDF"); E1PSH("GAMMA"); },
       [] { E1POP("CHIDF"); },
       records({"", " *** TERMINAL ERROR 2 from GAMMA.  Error condition in E1POP.  CHIDF does not",
                more + "match the name GAMMA in the stack.",
                "     Here is a traceback of subprogram calls in reverse order:",
                "     Routine name                    Error type  Error code",
                "     ------------                    ----------  ----------",
                "     GAMMA                                5           2    (Called internally)",
                "     CHIDF                                0           0",
                "     USER                                 0           0"}),
       "GAMMA", 2},
      {"N1RTY of 2", [] {}, [] { N1RTY(2); },
       records({"", " *** TERMINAL ERROR 1 from USER.  The argument passed to N1RTY must be 0 or 1."}),
       "USER", 1},
      {"N1RTY of -1", [] {}, [] { N1RTY(-1); },
       records({"", " *** TERMINAL ERROR 1 from USER.  The argument passed to N1RTY must be 0 or 1."}),
       "USER", 1},
      {"E1MES with type 8", [] { E1PSH("TESTER"); }, [] { E1MES(8, 3, "x"); },
       records({"", " *** TERMINAL ERROR 1 from TESTER.  Error from E1MES.  Illegal error type",
                more + "specified."}),
       "TESTER", 1},
      {"E1MES with type -2", [] { E1PSH("TESTER"); }, [] { E1MES(-2, 3, "x"); },
       records({"", " *** TERMINAL ERROR 1 from TESTER.  Error from E1MES.  Illegal error type",
                more + "specified."}),
       "TESTER", 1},
  };
  for (const MisuseCase& c : cases) {
    resetLibraryState();
    c.setUp();
    const Outcome outcome = capture(c.misuse);
    EXPECT_EQ(outcome.printed, c.printed) << c.name;
    ASSERT_TRUE(outcome.stop.has_value()) << c.name;
    EXPECT_EQ(outcome.stop->routine, c.routine) << c.name;
    EXPECT_EQ(outcome.stop->type, 5) << c.name;
    EXPECT_EQ(outcome.stop->code, c.code) << c.name;
  }
}

TEST_F(NumlibTest, PushBeyondLevel50IsTerminal) {
  for (int level = 2; level <= 50; ++level) E1PSH("L" + std::to_string(level));
  const Outcome outcome = capture([] { E1PSH("L51"); });
  ASSERT_TRUE(outcome.stop.has_value());
  EXPECT_EQ(outcome.stop->routine, "L50");
  EXPECT_EQ(outcome.stop->code, 1);

  std::string expected =
      records({"", " *** TERMINAL ERROR 1 from L50.  Error condition in E1PSH.  Push would cause",
               " ***          stack level to exceed 50.",
               "     Here is a traceback of subprogram calls in reverse order:",
               "     Routine name                    Error type  Error code",
               "     ------------                    ----------  ----------",
               "     L50                                  5           1    (Called internally)"});
  for (int level = 49; level >= 3; --level) {
    expected += records({"     " + name32("L" + std::to_string(level)) +
                         "     0           0    (Called internally)"});
  }
  expected += records({"     L2                                   0           0",
                       "     USER                                 0           0"});
  EXPECT_EQ(outcome.printed, expected);
}

TEST_F(NumlibTest, UnitTableIsReadAndSet) {
  int unit = 9;
  UMACH(-1, unit);
  unit = 0;
  UMACH(1, unit);
  EXPECT_EQ(unit, 9);
  UMACH(2, unit);
  EXPECT_EQ(unit, 6);
}

TEST_F(NumlibTest, UnitTableIndexOutsideOneToThreeIsTerminal) {
  for (const auto& [index, shown] : std::vector<std::pair<int, std::string>>{
           {4, "     4"}, {-7, "     7"}, {0, "     0"}, {-1234567, "1234567"}}) {
    int unit = 0;
    const Outcome outcome = capture([&] { UMACH(index, unit); });
    EXPECT_EQ(outcome.printed,
              records({"", " *** TERMINAL ERROR 5 from UMACH.  The absolute",
                       " ***          value of the index variable must be",
                       " ***          1, 2, or 3.  IABS(N) = " + shown + ".", ""}))
        << "index " << index;
    ASSERT_TRUE(outcome.stop.has_value());
    EXPECT_EQ(outcome.stop->routine, "UMACH");
  }
}

}  // namespace
}  // namespace ploverix::numlib
