// The numerical library of PLOVERIX: the chi-squared distribution function
// CHIDF, the special functions and machine constants it rests on, and the
// library's own error stack and messages.
//
// Every real argument and result is a 32-bit float passed by reference to
// const; each formula is evaluated in double from the float values and rounded
// to float where its result is stored. Routines record their name on the error
// stack while they run and raise conditions by type, code and message. Notes
// and alerts are recorded silently, warnings are printed on unit 6 (standard
// output) when the routine the program called returns, and a stop of the
// library prints its message and then throws LibraryStop: the library never
// ends the process itself.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ploverix::numlib {

// ---------------------------------------------------------------------------
// Stops

// The library has ended the run: a TERMINAL error, a FATAL error returning to
// the program, or a misuse of the error machinery. Its message has been printed
// on the message unit before the throw; main maps it to exit status 1.
struct LibraryStop : std::exception {
  std::string routine;  // name at the level where the stop happened
  int type = 0;         // error type recorded there (5 TERMINAL, 4 or 7 FATAL)
  int code = 0;         // error code recorded there

  LibraryStop(std::string routine, int type, int code);
  const char* what() const noexcept override;
};

// ---------------------------------------------------------------------------
// Error state

inline constexpr int kMaxErrorLevel = 50;
inline constexpr std::size_t kNameLength = 32;
inline constexpr std::size_t kMaxMessageLength = 1024;
inline constexpr std::size_t kMaxParameterListLength = 300;
// Each stored parameter costs its text plus this much bookkeeping in the list:
// the five characters of its placeholder and a three-digit length.
inline constexpr std::size_t kParameterBookkeeping = 8;

// One parameter of the next message: the placeholder's letter and digit and
// the text that replaces it.
struct Parameter {
  char letter = ' ';  // 'I', 'L' or 'R'
  int index = 0;      // 1 to 9
  std::string text;
};

// Error types: 1 NOTE, 2 ALERT, 3 WARNING, 4 FATAL, 5 TERMINAL, 6 immediate
// WARNING, 7 immediate FATAL.
struct ErrorState {
  int level = 1;                       // 1 is the program itself, "USER"
  int maxLevel = kMaxErrorLevel;
  std::array<std::string, kMaxErrorLevel + 2> names;  // levels 1..50, each 32 characters
  std::array<int, kMaxErrorLevel + 2> types{};        // levels 1..51; -1 unset
  std::array<int, kMaxErrorLevel + 2> codes{};        // levels 1..51; -1 unset
  std::string savedMessage;            // the last composed message, empty for none
  std::vector<Parameter> parameters;   // stored for the next message, in order
  std::size_t parameterListLength = 0; // characters the parameters take, at most 300
  bool pendingWarning = false;         // an immediate WARNING awaits level 2's return
  bool pendingFatal = false;           // an immediate FATAL awaits level 2's return
  std::array<int, 4> units{0, 5, 6, 6};  // entries 1..3: input, output, messages
};

// The process's error state, set up on first use.
ErrorState& errorState();

// For tests only: puts the error state and every first-call constant of the
// special functions back to their start. The program never calls it.
void resetLibraryState();

// The constants GAMMA, ERFC, R9LGMC and ANORDF compute on their first call and
// keep for the run; zero (and the flag set) until then.
struct FirstCallConstants {
  int gamcsTerms = 0;
  float gammaXmin = 0, gammaXmax = 0, gammaNearZero = 0, gammaHalfPrecision = 0;
  int erfcsTerms = 0, erfccsTerms = 0, erc2csTerms = 0;
  float erfcLowerCut = 0, erfcXmax = 0, erfcSmallBound = 0;
  int algmcsTerms = 0;
  float stirlingSwitch = 0, stirlingXmax = 0;
  bool anordfFirstCall = true;
  float anordfRsqrt2 = 0;
};

// For tests: a copy of the first-call constants as they are now.
FirstCallConstants firstCallConstants();

// ---------------------------------------------------------------------------
// Error stack and messages

// Pushes `name` (blank-padded or cut to 32 characters) with type and code 0.
// A push beyond level 50 prints a TERMINAL error and throws LibraryStop.
void E1PSH(std::string_view name);

// Pops `name`: passes a recorded ALERT, WARNING or FATAL error up to the
// caller's level, prints a WARNING or FATAL when level 2 returns, and throws
// LibraryStop for a TERMINAL error, a FATAL returning to the program, an empty
// stack or a name that is not on top.
void E1POP(std::string_view name);

// Records type `iertyp` (-1 keeps it) and code `iercod` (below 0 keeps it) at
// the current level and composes the saved message from `msg` and the stored
// parameters; types 5 to 7 are printed at once. E1MES(0, 0, " ") clears the
// error. A type outside -1..7 prints a TERMINAL error and throws LibraryStop.
void E1MES(const int& iertyp, const int& iercod, std::string_view msg);

// The type recorded at the current level (iopt 0) or at the next deeper level,
// left there by the routine last called from here (iopt 1). Any other iopt
// prints a TERMINAL error and throws LibraryStop.
int N1RTY(const int& iopt);

// Store parameter R<i>, I<i> or L<i> (i from 1 to 9) for the next message; a
// parameter that does not fit the 300-character list, or whose placeholder is
// stored already, is not used.
void E1REAL(const int& i, const float& r);
void E1INTG(const int& i, const int& n);
void E1TEXT(const int& i, std::string_view s);

// Prints the saved message on the message unit, wrapped to lines of at most 78
// characters, with a traceback when the current level is 3 or deeper; then
// empties the message and the parameter list. Nothing if there is no message.
void E1SHOW();

// n > 0: nunit becomes unit-table entry n; n < 0: entry -n becomes nunit.
// |n| outside 1..3 prints a TERMINAL report and throws LibraryStop.
void UMACH(const int& n, int& nunit);

// The text of a float parameter: 1PE14.6 without leading blanks
// ("2.000000E-01"); zero and NaN as E14.6 ("0.000000E+00", "NaN");
// infinities as "Infinity" and "-Infinity".
std::string realParameterText(const float& r);

// ---------------------------------------------------------------------------
// Machine constants

// Single-precision constants: 1 smallest normal, 2 largest finite, 3 2^-24,
// 4 2^-23, 5 log10(2), 6 quiet NaN, 7 +Inf, 8 -Inf. Any other n raises
// TERMINAL code 5 and throws LibraryStop.
float AMACH(const int& n);

// Integer constants 1 to 12 (5 is 2147483647). Any other n prints a TERMINAL
// report on the unit-table output unit and throws LibraryStop.
int IMACH(const int& n);

// ---------------------------------------------------------------------------
// Chebyshev series

// The leading coefficients of the special functions' series, as floats.
extern const std::array<float, 23> GAMCS;   // Gamma(1+y) - 0.9375, argument 2y - 1
extern const std::array<float, 13> ERFCS;   // erf on |x| <= 1, argument 2x^2 - 1
extern const std::array<float, 23> ERC2CS;  // erfc on 1 < x^2 <= 4, argument (8/x^2 - 5)/3
extern const std::array<float, 24> ERFCCS;  // erfc on x^2 > 4, argument 8/x^2 - 1
extern const std::array<float, 6> ALGMCS;   // Stirling correction, argument 2(10/x)^2 - 1

// The sum of the first n terms of the Chebyshev series cs at x (the first
// coefficient with weight one half). n <= 0 (TERMINAL 5) and n > 1000
// (TERMINAL 6) stop; |x| > 1.1 is a WARNING (code 7). Coefficients beyond the
// end of cs count as zero.
float CSEVL(const float& x, std::span<const float> cs, const int& n);

// How many leading terms of the first nos coefficients of os an accuracy eta
// needs. nos < 1 (TERMINAL 5) and a last coefficient above eta (TERMINAL 6)
// stop. Coefficients beyond the end of os count as zero.
int INITS(std::span<const float> os, const int& nos, const float& eta);

// ---------------------------------------------------------------------------
// Special functions

// The arguments between which GAMMA neither underflows nor overflows
// (-33.962582 and 35.030781). A failed iteration is TERMINAL (code 5 for
// xmin, 6 for xmax).
void R9GAML(float& xmin, float& xmax);

// R9GAML's two Newton iterations for the given smallest and largest numbers,
// each given up after maxIterations steps, under the name "R9GAML"; R9GAML
// passes AMACH(1), AMACH(2) and 10. Exposed because with IEEE constants both
// iterations converge, so only other arguments reach the failure paths.
void solveGammaRange(const float& smallest, const float& largest, const int& maxIterations,
                     float& xmin, float& xmax);

// ln Gamma(x) - ((x - 0.5) ln x - x + ln sqrt(2 pi)) for x >= 10; x < 10 is
// TERMINAL (code 5); x at or above 7.0892162E+36 underflows to 0 (ALERT 1).
float R9LGMC(const float& x);

// The gamma function. Zero, a negative integer or an argument too close to
// zero or above 35.030781 is TERMINAL; below -33.962582 the result is 0
// (ALERT); near a negative integer a WARNING. Throws textio::MathError for NaN.
float GAMMA(const float& x);

// The complementary error function: 2 at or below -4.0078883, 0 (with an
// ALERT) above 9.1849403 or for NaN.
float ERFC(const float& x);

// The standard normal distribution function; ERFC's underflow is cleared, so
// it is silent.
float ANORDF(const float& x);

// ---------------------------------------------------------------------------
// Chi-squared distribution

// P(chisq <= x) for df degrees of freedom (df need not be an integer). A
// negative chisq gives 0 (NOTE); df below 0.5 is TERMINAL (code 2) and throws
// LibraryStop. A NaN chisq with df <= 65 throws textio::MathError (logarithm
// of a NaN).
float CHIDF(const float& chsq, const float& df);

}  // namespace ploverix::numlib
