// The typed errors of the run-time library and the capture of their traceback.
#include <execinfo.h>

#include <algorithm>

#include "textio/textio.h"

namespace ploverix::textio {
namespace {

// The innermost frames of every capture are Traceback::capture itself and the
// error's constructor; both are kept out of line (and their calls out of tail
// position) so that exactly these two frames can be dropped and the table
// starts at the routine that raised the error.
constexpr int kCaptureFrames = 2;
constexpr int kMaxRows = 20;

}  // namespace

[[gnu::noinline]] Traceback Traceback::capture() {
  void* frames[kMaxRows + kCaptureFrames];
  const int count = backtrace(frames, kMaxRows + kCaptureFrames);
  Traceback traceback;
  if (count > kCaptureFrames) traceback.frames.assign(frames + kCaptureFrames, frames + count);
  return traceback;
}

[[gnu::noinline]] IoError::IoError(IoErrorNumber number, int unit, std::string file, int osError)
    : number(number), unit(unit), file(std::move(file)), osError(osError) {
  traceback = Traceback::capture();
  asm volatile("" ::: "memory");  // keeps the call above from becoming a tail call
}

const char* IoError::what() const noexcept { return "run-time input/output error"; }

[[gnu::noinline]] MathError::MathError(MathFunction function, MathErrorKind kind)
    : function(function), kind(kind) {
  traceback = Traceback::capture();
  asm volatile("" ::: "memory");  // keeps the call above from becoming a tail call
}

const char* MathError::what() const noexcept { return "math-library error"; }

}  // namespace ploverix::textio
