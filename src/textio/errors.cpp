// The typed errors of the run-time library and the capture of their traceback.
#include <execinfo.h>

#include "textio/textio.h"

namespace ploverix::textio {

Traceback Traceback::capture() {
  // A few more frames than the table shows, since the innermost ones belong
  // to the capture itself and are dropped when the table is printed.
  constexpr int kMaxFrames = 28;
  void* frames[kMaxFrames];
  const int count = backtrace(frames, kMaxFrames);
  Traceback traceback;
  traceback.frames.assign(frames, frames + (count > 0 ? count : 0));
  return traceback;
}

IoError::IoError(IoErrorNumber number, int unit, std::string file, int osError)
    : number(number), unit(unit), file(std::move(file)), osError(osError),
      traceback(Traceback::capture()) {}

const char* IoError::what() const noexcept { return "run-time input/output error"; }

MathError::MathError(MathFunction function, MathErrorKind kind)
    : function(function), kind(kind), traceback(Traceback::capture()) {}

const char* MathError::what() const noexcept { return "math-library error"; }

}  // namespace ploverix::textio
