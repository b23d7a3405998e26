// Text input and output of PLOVERIX: numbered units connected to the console
// and to files, list-directed records out and in, and the run-time error
// reports that end a run.
//
// Library code never prints a report or ends the process: every failure is
// thrown as one of the typed errors below, and only the program's main turns
// it into the report on standard error and the exit status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ploverix::textio {

// ---------------------------------------------------------------------------
// Units

inline constexpr int kDefaultOutput = -1;  // standard output, "CONOUT$"
inline constexpr int kDefaultInput = -4;   // standard input, "CONIN$"
inline constexpr int kMessageUnit = 6;     // the numerical library's messages, on standard output

// The run-time tag that begins every report line.
inline constexpr std::string_view kRunTimeTag = "ploverix";

// ---------------------------------------------------------------------------
// Errors

// The stack of return addresses where an error was raised, for the traceback table.
struct Traceback {
  std::vector<void*> frames;  // innermost first
  // Captures the current call stack (at most 20 frames that belong to the program).
  static Traceback capture();
};

// Catalogue numbers of the input/output errors this program can meet.
enum class IoErrorNumber : int {
  PermissionDenied = 9,    // "permission to access file denied"
  RecordTooLong = 22,      // "input record too long"
  EndOfFile = 24,          // "end-of-file during read"
  FileNotFound = 29,       // "file not found"
  OpenFailure = 30,        // "open failure"
  WriteError = 38,         // "error during write"
  ReadError = 39,          // "error during read"
  FileNameError = 43,      // "file name specification error"
  WriteToReadOnly = 47,    // "write to READONLY file"
  SyntaxError = 59,        // "list-directed I/O syntax error"
  ConversionError = 64,    // "input conversion error"
};

// A failed read, write, open or close on a unit. Always severe: it ends the run.
struct IoError : std::exception {
  IoErrorNumber number;
  int unit;
  std::string file;     // the connection's name ("CONIN$", "CONOUT$" or a full path)
  int osError = 0;      // errno of the failed system call, 0 when the system reported none
  Traceback traceback;  // where it was raised

  IoError(IoErrorNumber number, int unit, std::string file, int osError = 0);
  const char* what() const noexcept override;
};

enum class MathFunction { Log, Sqrt, Exp };
enum class MathErrorKind : int { Domain = 6201, Singularity = 6202, Overflow = 6203 };

// A domain, singularity or overflow error of LOG, SQRT or EXP. Ends the run (status 3).
struct MathError : std::exception {
  MathFunction function;
  MathErrorKind kind;
  Traceback traceback;

  MathError(MathFunction function, MathErrorKind kind);
  const char* what() const noexcept override;
};

// ---------------------------------------------------------------------------
// Checked elementary functions, in double precision. They throw MathError in
// exactly these cases: SQRT of a negative number other than -0, of -inf or NaN
// (Domain); LOG of +-0 (Singularity); LOG of a negative number, -inf or NaN
// (Domain); EXP of NaN (Domain); EXP whose result exceeds the largest double
// (Overflow). Underflow is silent.

double checkedSqrt(double x);
double checkedLog(double x);
double checkedExp(double x);

// ---------------------------------------------------------------------------
// Files

// Connects `unit` to the file `name` with status unknown: the name is made
// absolute against the working directory, a missing file is created empty, an
// existing one is opened as it is at its start (read-only when writing is
// refused). The first record written afterwards cuts the file right after it.
// Throws IoError (9, 29, 30, 43).
void openUnknown(int unit, std::string_view name);

// Releases the connection of `unit` and keeps the file. No effect if unconnected.
void closeUnit(int unit);

// Closes every connected unit, as the end of a run does. Never throws.
void closeAllUnits() noexcept;

// ---------------------------------------------------------------------------
// List-directed output

// One item of a write: a character string, a 32-bit integer or a 32-bit float.
using Item = std::variant<std::string_view, std::int32_t, float>;

// One list-directed write: lays out `items` in records of at most 80 columns,
// each ending in CR LF, and hands every record to the unit's destination as
// soon as it is complete. Throws IoError (38, 47).
void writeList(int unit, std::initializer_list<Item> items);
void writeList(int unit, const std::vector<Item>& items);

// One formatted record: `text` exactly as given, then CR LF. Throws IoError (38, 47).
void writeRecord(int unit, std::string_view text);

// The 15-column field of a float and the 12-column field of an integer.
std::string formatFloatField(float value);
std::string formatIntegerField(std::int32_t value);

// ---------------------------------------------------------------------------
// List-directed input

struct Connection;  // a unit's connection, internal to textio

// One list-directed read. Construction starts the read on `unit` and takes a
// new record (so even a read with no targets consumes one record); each get()
// fills one target in order. After a slash the read is over and further
// targets keep their values; a null value leaves its target unchanged.
// Throws IoError (22, 24, 39, 59, 64). What the read leaves of its last record
// is discarded: the next read starts on the next line. The unit must stay
// connected while the read lives.
class ListRead {
 public:
  explicit ListRead(int unit);
  ListRead(const ListRead&) = delete;
  ListRead& operator=(const ListRead&) = delete;
  ~ListRead();

  void get(float& target);
  void get(std::int32_t& target);

 private:
  // The next value for a target: a token, a null value, or the end of the read.
  struct Value;
  Value nextValue();
  [[noreturn]] void fail(IoErrorNumber number) const;

  Connection* connection_;
  std::string_view record_;  // the current record, inside the connection's buffer
  std::size_t pos_ = 0;      // next unread byte of record_
  // The last thing taken from this record was a value: a comma now is its
  // separator, not a null value.
  bool commaIsSeparator_ = false;
  bool ended_ = false;            // a slash ended the read
  // A repeat count r*: the values still due and the value repeated (its kind,
  // its token inside record_ and, for a logical value, its truth).
  std::int64_t repeatLeft_ = 0;
  unsigned char repeatKind_ = 0;
  bool repeatTruth_ = false;
  std::string_view repeatToken_;
};

// ---------------------------------------------------------------------------
// Reports (called by main only)

// Prints the report of `error` on standard error (the operating system's
// message line where there is one, the message line, the traceback table),
// closes every unit and returns the exit status (the error number).
int reportIoError(const IoError& error) noexcept;

// Prints the math-library report of `error` on standard error (empty line,
// "run-time error M62xx: MATH", "- log: SING error", traceback table), closes
// every unit and returns the exit status 3.
int reportMathError(const MathError& error) noexcept;

// Prints one line "ploverix: <text>" on standard error (used for the program's
// own refusals, such as a setting above its table's limit).
void reportLine(std::string_view text) noexcept;

// Installs the console interrupt handlers: SIGINT (control-C), SIGQUIT
// (control-BREAK) and SIGHUP (window-CLOSE) print their one line on standard
// error, close every unit and end the process with status 128 + signal. Also
// ignores SIGPIPE, so a write to a closed pipe is reported as error 38.
void installInterruptHandlers();

}  // namespace ploverix::textio
