// The run-time error reports on standard error: the system's message line, the
// message line with its catalogue number, the math-library report and the
// traceback table.
#include <cxxabi.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "textio/textio.h"

namespace ploverix::textio {
namespace {

constexpr int kMaxRows = 20;

void writeStandardError(std::string_view text) noexcept {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(2, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere left to report to
    data += n;
    left -= static_cast<std::size_t>(n);
  }
}

std::string_view catalogueText(IoErrorNumber number) {
  switch (number) {
    case IoErrorNumber::PermissionDenied: return "permission to access file denied";
    case IoErrorNumber::RecordTooLong: return "input record too long";
    case IoErrorNumber::EndOfFile: return "end-of-file during read";
    case IoErrorNumber::FileNotFound: return "file not found";
    case IoErrorNumber::OpenFailure: return "open failure";
    case IoErrorNumber::WriteError: return "error during write";
    case IoErrorNumber::ReadError: return "error during read";
    case IoErrorNumber::FileNameError: return "file name specification error";
    case IoErrorNumber::WriteToReadOnly: return "write to READONLY file";
    case IoErrorNumber::SyntaxError: return "list-directed I/O syntax error";
    case IoErrorNumber::ConversionError: return "input conversion error";
  }
  return "unknown error";
}

std::string_view functionName(MathFunction function) {
  switch (function) {
    case MathFunction::Log: return "log";
    case MathFunction::Sqrt: return "sqrt";
    case MathFunction::Exp: return "exp";
  }
  return "unknown";
}

std::string_view kindWord(MathErrorKind kind) {
  switch (kind) {
    case MathErrorKind::Domain: return "DOMAIN";
    case MathErrorKind::Singularity: return "SING";
    case MathErrorKind::Overflow: return "OVERFLOW";
  }
  return "UNKNOWN";
}

// `text` cut to `width` and padded with blanks on the right.
std::string leftColumn(std::string_view text, std::size_t width) {
  std::string column(text.substr(0, width));
  column.resize(width, ' ');
  return column;
}

// The routine's name as the table shows it: demangled, without its parameter
// list, and without the leading namespaces (lower-case names by the house
// rules), so that the 17 columns show the class and the function.
std::string routineName(const char* symbol) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled != nullptr ? demangled : symbol;
  std::free(demangled);

  const std::string anonymous = "(anonymous namespace)::";
  for (std::size_t at; (at = name.find(anonymous)) != std::string::npos;) name.erase(at, anonymous.size());
  int depth = 0;
  for (std::size_t k = 0; k < name.size(); ++k) {
    if (name[k] == '<') ++depth;
    if (name[k] == '>') --depth;
    if (name[k] == '(' && depth == 0 && k > 0) {
      name.resize(k);
      break;
    }
  }
  for (;;) {
    const std::size_t colons = name.find("::");
    if (colons == std::string::npos || colons == 0 || !std::islower(static_cast<unsigned char>(name[0]))) break;
    if (name.find('<') < colons) break;
    name.erase(0, colons + 2);
  }
  return name;
}

std::string tracebackTable(const Traceback& traceback) {
  std::string table = leftColumn("Image", 19) + leftColumn("PC", 10) + leftColumn("Routine", 19) +
                      leftColumn("Line", 12) + leftColumn("Source", 19) + "\n";
  int rows = 0;
  for (void* frame : traceback.frames) {
    if (rows++ == kMaxRows) break;
    const auto address = reinterpret_cast<std::uintptr_t>(frame);
    std::string image = "Unknown";
    std::string routine = "Unknown";
    std::uintptr_t offset = address;
    Dl_info info{};
    // A return address may lie just past the end of its routine (a call that
    // never returns), so the routine is looked up one byte earlier.
    if (address > 0 && ::dladdr(reinterpret_cast<void*>(address - 1), &info) != 0) {
      if (info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        const char* slash = std::strrchr(info.dli_fname, '/');
        image = slash != nullptr ? slash + 1 : info.dli_fname;
      }
      offset = address - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
      if (info.dli_sname != nullptr) routine = routineName(info.dli_sname);
    }
    char pc[16];
    std::snprintf(pc, sizeof pc, "%08X", static_cast<unsigned>(offset & 0xffffffffu));
    table += leftColumn(image, 17) + "  " + pc + "  " + leftColumn(routine, 17) + "  " +
             "   Unknown" + "  " + "Unknown" + "\n";
  }
  return table;
}

std::string tagged(std::string_view text) {
  std::string line(kRunTimeTag);
  line += ": ";
  line += text;
  line += '\n';
  return line;
}

}  // namespace

int reportIoError(const IoError& error) noexcept {
  const int number = static_cast<int>(error.number);
  try {
    std::string report;
    if (error.osError != 0) report += tagged(std::strerror(error.osError));
    report += tagged("severe (" + std::to_string(number) + "): " +
                     std::string(catalogueText(error.number)) + ", unit " +
                     std::to_string(error.unit) + ", file " + error.file);
    report += tracebackTable(error.traceback);
    writeStandardError(report);
  } catch (...) {
    // No memory for the report: the exit status still tells what happened.
  }
  closeAllUnits();
  return number;
}

int reportMathError(const MathError& error) noexcept {
  try {
    std::string report = "\nrun-time error M" + std::to_string(static_cast<int>(error.kind)) +
                         ": MATH\n- " + std::string(functionName(error.function)) + ": " +
                         std::string(kindWord(error.kind)) + " error\n";
    report += tracebackTable(error.traceback);
    writeStandardError(report);
  } catch (...) {
  }
  closeAllUnits();
  return 3;
}

void reportLine(std::string_view text) noexcept {
  try {
    writeStandardError(tagged(text));
  } catch (...) {
  }
}

}  // namespace ploverix::textio
