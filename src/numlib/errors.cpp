// The library's error stack: pushing and popping routine names, recording
// types and codes, composing messages from stored parameters, printing them
// with their line wrapping and traceback, and stopping the run.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "numlib/internal.h"
#include "numlib/numlib.h"
#include "textio/textio.h"

namespace ploverix::numlib {
namespace {

constexpr std::size_t kMaxTextParameter = 255;
constexpr std::size_t kFirstLineWidth = 59;     // header text plus first part of the message
constexpr std::size_t kContinuationWidth = 64;  // text after " ***          "
constexpr std::string_view kContinuationPrefix = " ***          ";
constexpr std::string_view kPlaceholderLetters = "ACDIKLRSZ";

bool stateReady = false;
ErrorState state;

std::string padded(std::string_view name) {
  std::string result(name.substr(0, kNameLength));
  result.resize(kNameLength, ' ');
  return result;
}

std::string trimmedRight(std::string_view text) {
  const auto end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
}

void setUp(ErrorState& s) {
  s = ErrorState{};
  s.level = 1;
  for (auto& name : s.names) name = std::string(kNameLength, ' ');
  s.names[1] = padded("USER");
  s.types.fill(-1);
  s.codes.fill(-1);
  s.types[1] = 0;
  s.codes[1] = 0;
}

std::string_view typeName(int type) {
  switch (type) {
    case 1: return "NOTE    ";
    case 2: return "ALERT   ";
    case 3: return "WARNING ";
    case 4: return "FATAL   ";
    case 5: return "TERMINAL";
    case 6: return "WARNING ";
    case 7: return "FATAL   ";
    default: return "UNKNOWN ";
  }
}

std::string rightJustified(long long value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

void write(std::string_view line) { textio::writeRecord(errorState().units[3], line); }

void storeParameter(char letter, int index, std::string text) {
  if (index < 1 || index > 9) return;
  ErrorState& s = errorState();
  if (s.parameterListLength + text.size() + kParameterBookkeeping > kMaxParameterListLength) return;
  s.parameterListLength += text.size() + kParameterBookkeeping;
  s.parameters.push_back(Parameter{letter, index, std::move(text)});
}

// The stored text for the placeholder letter/digit; the first stored wins.
const Parameter* findParameter(char letter, int index) {
  for (const Parameter& p : errorState().parameters) {
    if (p.letter == letter && p.index == index) return &p;
  }
  return nullptr;
}

bool isPlaceholder(std::string_view msg, std::size_t i) {
  return i + 5 <= msg.size() && msg[i] == '%' && msg[i + 1] == '(' &&
         kPlaceholderLetters.find(msg[i + 2]) != std::string_view::npos && msg[i + 3] >= '1' &&
         msg[i + 3] <= '9' && msg[i + 4] == ')';
}

std::string composed(std::string_view msg) {
  msg = msg.substr(0, kMaxMessageLength);
  std::string out = ".  ";
  std::size_t i = 0;
  while (i < msg.size()) {
    if (isPlaceholder(msg, i)) {
      if (const Parameter* p = findParameter(msg[i + 2], msg[i + 3] - '0')) {
        out += p->text;
        i += 5;
        continue;
      }
    }
    // A placeholder without a stored parameter is copied like any other text;
    // none of its last four characters can start another placeholder.
    out += msg[i];
    ++i;
  }
  if (out.size() > kMaxMessageLength) out.resize(kMaxMessageLength);
  return out;
}

void writeTraceback(const ErrorState& s) {
  write("     Here is a traceback of subprogram calls in reverse order:");
  write("     Routine name                    Error type  Error code");
  write("     ------------                    ----------  ----------");
  for (int level = s.level; level >= 1; --level) {
    std::string line = "     " + s.names[level] + rightJustified(s.types[level], 6) + "      " +
                       rightJustified(s.codes[level], 6);
    if (level >= 3) line += "    (Called internally)";
    write(line);
  }
}

}  // namespace

LibraryStop::LibraryStop(std::string routine, int type, int code)
    : routine(std::move(routine)), type(type), code(code) {}

const char* LibraryStop::what() const noexcept { return "numerical library stop"; }

namespace internal {

void stopRun() {
  const ErrorState& s = errorState();
  const std::string& name = s.names[s.level];
  throw LibraryStop(trimmedRight(name), s.types[s.level], s.codes[s.level]);
}

}  // namespace internal

ErrorState& errorState() {
  if (!stateReady) {
    setUp(state);
    stateReady = true;
  }
  return state;
}

void resetLibraryState() {
  setUp(state);
  stateReady = true;
  internal::resetGammaConstants();
  internal::resetNormalConstants();
}

FirstCallConstants firstCallConstants() {
  FirstCallConstants out;
  internal::readGammaConstants(out);
  internal::readNormalConstants(out);
  return out;
}

void E1PSH(std::string_view name) {
  ErrorState& s = errorState();
  if (s.level >= s.maxLevel) {
    E1INTG(1, s.maxLevel);
    E1MES(5, 1, "Error condition in E1PSH.  Push would cause stack level to exceed %(I1).");
    internal::stopRun();
  }
  ++s.level;
  s.names[s.level] = padded(name);
  s.types[s.level] = 0;
  s.codes[s.level] = 0;
}

void E1POP(std::string_view name) {
  ErrorState& s = errorState();
  if (s.level <= 1) {
    E1PSH("E1POP");
    E1TEXT(1, name);
    E1MES(5, 1, "Error condition in E1POP.  Cannot pop from %(L1) because stack is empty.");
    internal::stopRun();
  }
  if (padded(name) != s.names[s.level]) {
    E1TEXT(1, name);
    E1TEXT(2, s.names[s.level]);
    E1MES(5, 2, "Error condition in E1POP.  %(L1) does not match the name %(L2) in the stack.");
    internal::stopRun();
  }

  const int level = s.level;
  const int type = s.types[level];
  if (type >= 2 && type <= 7) {
    // The error travels up to the caller; a NOTE does not.
    s.types[level - 1] = type;
    s.codes[level - 1] = s.codes[level];
  }
  if (type >= 1 && type <= 4) {
    if ((type == 3 || type == 4) && level == 2) E1SHOW();
    if (type == 4 && level == 2) internal::stopRun();
  } else if (type == 5) {
    E1SHOW();  // prints nothing when the message went out as it was raised
    internal::stopRun();
  } else if (type == 6 || type == 7) {
    E1SHOW();
    if (level == 2) {
      s.pendingWarning = false;
      if (s.pendingFatal) {
        s.pendingFatal = false;
        internal::stopRun();
      }
    }
  }

  if (level < s.maxLevel) {
    s.types[level + 1] = -1;
    s.codes[level + 1] = -1;
  }
  s.level = level - 1;
}

void E1MES(const int& iertyp, const int& iercod, std::string_view msg) {
  ErrorState& s = errorState();
  if (iertyp < -1 || iertyp > 7) {
    s.types[s.level] = 5;
    s.codes[s.level] = 1;
    s.savedMessage = ".  Error from E1MES.  Illegal error type specified.";
    E1SHOW();
    internal::stopRun();
  }
  if (iertyp != -1) s.types[s.level] = iertyp;
  if (iercod >= 0) s.codes[s.level] = iercod;

  if (iertyp == 0 || iercod == 0) {
    s.savedMessage.clear();
  } else {
    if (!(msg.empty() || msg == " ")) s.savedMessage = composed(msg);
    const int type = s.types[s.level];
    if (type == 6) s.pendingWarning = true;
    if (type == 7) s.pendingFatal = true;
    if (type >= 5) E1SHOW();
  }
  s.parameters.clear();
  s.parameterListLength = 0;
}

int N1RTY(const int& iopt) {
  ErrorState& s = errorState();
  if (iopt != 0 && iopt != 1) {
    s.types[s.level] = 5;
    s.codes[s.level] = 1;
    s.savedMessage = ".  The argument passed to N1RTY must be 0 or 1.";
    E1SHOW();
    internal::stopRun();
  }
  return s.types[s.level + iopt];
}

std::string realParameterText(const float& r) {
  if (std::isnan(r)) return "NaN";
  if (std::isinf(r)) return r > 0.0f ? "Infinity" : "-Infinity";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, r, std::chars_format::scientific, 6);
  std::string text(buffer, result.ptr);
  // to_chars writes e-01 or e+38: always a sign and at least two digits,
  // and a float's exponent never needs a third. Only the letter changes.
  text[text.find('e')] = 'E';
  return text;
}

void E1REAL(const int& i, const float& r) { storeParameter('R', i, realParameterText(r)); }

void E1INTG(const int& i, const int& n) { storeParameter('I', i, std::to_string(n)); }

void E1TEXT(const int& i, std::string_view s) {
  std::string text = trimmedRight(s.substr(0, kMaxTextParameter));
  if (text.empty()) text = " ";
  storeParameter('L', i, std::move(text));
}

void E1SHOW() {
  ErrorState& s = errorState();
  if (s.savedMessage.empty()) return;
  const std::string message = s.savedMessage;
  const std::string& name = s.names[s.level];
  const std::string header =
      " " + std::to_string(s.codes[s.level]) + " from " + name.substr(0, name.find(' '));

  // The first line: the header text and as much of the message as the room
  // allows, broken at a forced break "%/" or else at the last blank.
  const std::size_t room = kFirstLineWidth - header.size();
  std::string first;
  std::size_t next = 0;
  bool brokeAtBlank = false;
  const std::size_t forced = message.find("%/");
  if (forced != std::string::npos && forced + 1 < room) {
    first = message.substr(0, forced);
    next = forced + 2;
  } else if (message.size() > room) {
    std::size_t blank = room - 1;
    while (blank >= 1 && message[blank] != ' ') --blank;
    if (blank >= 1) {
      first = message.substr(0, blank);
      next = blank + 1;
      brokeAtBlank = true;
    } else {
      // A message that does not begin with ".  " and has no blank: cut it.
      first = message.substr(0, room);
      next = room;
    }
  } else {
    first = message;
    next = message.size();
  }
  write("");
  write(" *** " + std::string(typeName(s.types[s.level])) + " ERROR" + header + first);

  while (next < message.size()) {
    // The window is counted from the break itself, so a blank skipped at the
    // start of the line still takes one of its 64 characters.
    const std::size_t windowEnd = std::min(next + kContinuationWidth, message.size());
    std::size_t start = next;
    if (brokeAtBlank && message[start] == ' ') ++start;
    if (start >= message.size()) break;
    const std::string_view text = message;
    std::string_view line;
    if (const std::size_t at = text.substr(0, windowEnd).find("%/", start);
        at != std::string_view::npos) {
      line = text.substr(start, at - start);
      next = at + 2;
      brokeAtBlank = false;
    } else if (windowEnd == message.size()) {
      line = text.substr(start);
      next = message.size();
    } else {
      std::size_t blank = windowEnd - 1;
      while (blank > start && message[blank] != ' ') --blank;
      if (blank > start) {
        line = text.substr(start, blank + 1 - start);  // the blank stays at the end of the line
        next = blank + 1;
        brokeAtBlank = true;
      } else {
        line = text.substr(start, windowEnd - start);
        next = windowEnd;
        brokeAtBlank = false;
      }
    }
    write(std::string(kContinuationPrefix) + std::string(line));
  }

  s.savedMessage.clear();
  s.parameters.clear();
  s.parameterListLength = 0;
  if (s.level >= 3) writeTraceback(s);
}

void UMACH(const int& n, int& nunit) {
  ErrorState& s = errorState();
  if (n >= 1 && n <= 3) {
    nunit = s.units[n];
  } else if (n >= -3 && n <= -1) {
    s.units[-n] = nunit;
  } else {
    // A direct write: the message machinery may itself depend on the units.
    const long long magnitude = std::llabs(static_cast<long long>(n));
    write("");
    write(" *** TERMINAL ERROR 5 from UMACH.  The absolute");
    write(" ***          value of the index variable must be");
    write(" ***          1, 2, or 3.  IABS(N) = " + rightJustified(magnitude, 6) + ".");
    write("");
    throw LibraryStop("UMACH", 5, 5);
  }
}

}  // namespace ploverix::numlib
