// Helpers shared by the files of the numerical library, and nobody else.
#pragma once

#include <string_view>

#include "numlib/numlib.h"

namespace ploverix::numlib::internal {

// A float operand promoted for a double expression.
inline double d(float value) { return static_cast<double>(value); }

// A double result rounded to float where it is stored.
inline float stored(double value) { return static_cast<float>(value); }

// Throws LibraryStop for the routine at the current level, with the type and
// code recorded there. The message has been printed already.
[[noreturn]] void stopRun();

// Put the first-call constants of each owner back to "not yet computed".
void resetGammaConstants();
void resetNormalConstants();

// Copy each owner's first-call constants into `out`.
void readGammaConstants(FirstCallConstants& out);
void readNormalConstants(FirstCallConstants& out);

}  // namespace ploverix::numlib::internal
