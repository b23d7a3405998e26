// The console interrupt: control-C (SIGINT), control-BREAK (SIGQUIT, the break
// key of a Unix console) and window-CLOSE (SIGHUP) end the run at once, also
// while the program waits for a line from the keyboard.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "textio/connection.h"

namespace ploverix::textio {
namespace {

// The lines are built before any signal can arrive, so that the handler only
// calls async-signal-safe functions (write, close, _exit).
struct InterruptLine {
  char text[96] = {};
  std::size_t length = 0;
};
InterruptLine controlC, controlBreak, windowClose;

void build(InterruptLine& line, std::string_view event) {
  std::string text(kRunTimeTag);
  text += ": error (200): program aborting due to ";
  text += event;
  text += " event\n";
  line.length = std::min(text.size(), sizeof line.text);
  std::memcpy(line.text, text.data(), line.length);
}

void onInterrupt(int signal) {
  const InterruptLine& line =
      signal == SIGINT ? controlC : signal == SIGQUIT ? controlBreak : windowClose;
  [[maybe_unused]] const ssize_t written = ::write(2, line.text, line.length);
  closeFilesForInterrupt();
  // Cut short is not success: the conventional status of a death by signal.
  ::_exit(128 + signal);
}

}  // namespace

void installInterruptHandlers() {
  build(controlC, "control-C");
  build(controlBreak, "control-BREAK");
  build(windowClose, "window-CLOSE");
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGQUIT);
  sigaddset(&action.sa_mask, SIGHUP);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGQUIT, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
  // A write to a closed pipe then fails with its own report (error during
  // write) instead of killing the process without a word.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace ploverix::textio
