// The typed errors of the run-time library and the capture of their traceback.
#include <execinfo.h>

#include "textio/textio.h"

namespace ploverix::textio {
namespace {

constexpr int kMaxRows = 20;
// Frames that may precede the first one of interest: this file's own, and
// whatever a sanitizer puts around the system's stack walk.
constexpr int kMaxSkipped = 8;

// The stack from the frame that returns to `from` outwards. The frames inside
// the capture (and the error's constructor) lie before it and are dropped, so
// the table starts at the routine that raised the error. Should `from` not be
// among the frames, nothing is dropped rather than a frame of interest.
Traceback captureFrom(void* from) {
  void* frames[kMaxRows + kMaxSkipped];
  const int count = backtrace(frames, kMaxRows + kMaxSkipped);
  int first = 0;
  for (int k = 0; k < count && k < kMaxSkipped; ++k) {
    if (frames[k] == from) {
      first = k;
      break;
    }
  }
  Traceback traceback;
  const int last = count < first + kMaxRows ? count : first + kMaxRows;
  if (last > first) traceback.frames.assign(frames + first, frames + last);
  return traceback;
}

}  // namespace

// Out of line, so that the return address is the caller's.
[[gnu::noinline]] Traceback Traceback::capture() {
  return captureFrom(__builtin_return_address(0));
}

[[gnu::noinline]] IoError::IoError(IoErrorNumber number, int unit, std::string file, int osError)
    : number(number), unit(unit), file(std::move(file)), osError(osError),
      traceback(captureFrom(__builtin_return_address(0))) {}

const char* IoError::what() const noexcept { return "run-time input/output error"; }

[[gnu::noinline]] MathError::MathError(MathFunction function, MathErrorKind kind)
    : function(function), kind(kind), traceback(captureFrom(__builtin_return_address(0))) {}

const char* MathError::what() const noexcept { return "math-library error"; }

}  // namespace ploverix::textio
