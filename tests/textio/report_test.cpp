// The reports on standard error and the exit statuses they return.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "capture.h"
#include "textio/textio.h"

namespace ploverix::textio {
namespace {

using testing::DescriptorCapture;

const std::string kHeader =
    "Image              PC        Routine            Line        Source             \n";

// The report up to the end of the traceback header; the rows hold addresses.
std::string headOf(const std::string& report) {
  const std::size_t at = report.find(kHeader);
  return at == std::string::npos ? report : report.substr(0, at + kHeader.size());
}

struct MathCase {
  MathFunction function;
  MathErrorKind kind;
  const char* head;
};

TEST(Report, MathErrors) {
  const MathCase cases[] = {
      {MathFunction::Log, MathErrorKind::Singularity, "\nrun-time error M6202: MATH\n- log: SING error\n"},
      {MathFunction::Log, MathErrorKind::Domain, "\nrun-time error M6201: MATH\n- log: DOMAIN error\n"},
      {MathFunction::Sqrt, MathErrorKind::Domain, "\nrun-time error M6201: MATH\n- sqrt: DOMAIN error\n"},
      {MathFunction::Exp, MathErrorKind::Overflow, "\nrun-time error M6203: MATH\n- exp: OVERFLOW error\n"},
      {MathFunction::Exp, MathErrorKind::Domain, "\nrun-time error M6201: MATH\n- exp: DOMAIN error\n"},
  };
  for (const MathCase& c : cases) {
    DescriptorCapture err(2);
    const int status = reportMathError(MathError(c.function, c.kind));
    EXPECT_EQ(status, 3) << c.head;
    EXPECT_EQ(headOf(err.text()), std::string(c.head) + kHeader);
  }
}

TEST(Report, CheckedFunctionsRaiseTheRightKind) {
  struct Case {
    double (*function)(double);
    double argument;
    MathFunction name;
    MathErrorKind kind;
  };
  const Case cases[] = {
      {checkedLog, 0.0, MathFunction::Log, MathErrorKind::Singularity},
      {checkedLog, -0.0, MathFunction::Log, MathErrorKind::Singularity},
      {checkedLog, -1.0, MathFunction::Log, MathErrorKind::Domain},
      {checkedSqrt, -1e-300, MathFunction::Sqrt, MathErrorKind::Domain},
      {checkedExp, 710.0, MathFunction::Exp, MathErrorKind::Overflow},
  };
  for (const Case& c : cases) {
    try {
      c.function(c.argument);
      ADD_FAILURE() << "no error for " << c.argument;
    } catch (const MathError& e) {
      EXPECT_EQ(e.function, c.name) << c.argument;
      EXPECT_EQ(e.kind, c.kind) << c.argument;
    }
  }
}

struct IoCase {
  IoError error;
  const char* head;
};

TEST(Report, IoErrorsWithAndWithoutTheSystemMessage) {
  const IoCase cases[] = {
      {IoError(IoErrorNumber::EndOfFile, -4, "CONIN$"),
       "ploverix: severe (24): end-of-file during read, unit -4, file CONIN$\n"},
      {IoError(IoErrorNumber::WriteError, 3, "/d/outputORG.txt", ENOSPC),
       "ploverix: No space left on device\n"
       "ploverix: severe (38): error during write, unit 3, file /d/outputORG.txt\n"},
      {IoError(IoErrorNumber::OpenFailure, 10, "/d/x", EMFILE),
       "ploverix: Too many open files\nploverix: severe (30): open failure, unit 10, file /d/x\n"},
      {IoError(IoErrorNumber::PermissionDenied, 3, "/d/x"),
       "ploverix: severe (9): permission to access file denied, unit 3, file /d/x\n"},
      {IoError(IoErrorNumber::RecordTooLong, 10, "/d/x"),
       "ploverix: severe (22): input record too long, unit 10, file /d/x\n"},
      {IoError(IoErrorNumber::FileNotFound, 3, "/d/x"),
       "ploverix: severe (29): file not found, unit 3, file /d/x\n"},
      {IoError(IoErrorNumber::ReadError, -4, "CONIN$", EIO),
       "ploverix: Input/output error\n"
       "ploverix: severe (39): error during read, unit -4, file CONIN$\n"},
      {IoError(IoErrorNumber::FileNameError, 3, "/d/x"),
       "ploverix: severe (43): file name specification error, unit 3, file /d/x\n"},
      {IoError(IoErrorNumber::WriteToReadOnly, 3, "/d/x"),
       "ploverix: severe (47): write to READONLY file, unit 3, file /d/x\n"},
      {IoError(IoErrorNumber::SyntaxError, -4, "CONIN$"),
       "ploverix: severe (59): list-directed I/O syntax error, unit -4, file CONIN$\n"},
      {IoError(IoErrorNumber::ConversionError, 10, "/d/x"),
       "ploverix: severe (64): input conversion error, unit 10, file /d/x\n"},
  };
  for (const IoCase& c : cases) {
    DescriptorCapture err(2);
    const int status = reportIoError(c.error);
    EXPECT_EQ(status, static_cast<int>(c.error.number)) << c.head;
    // The exit status seen on the platform: the low 8 bits of C0000000 + N.
    EXPECT_EQ(status, static_cast<int>((0xC0000000u + static_cast<unsigned>(c.error.number)) & 0xffu));
    EXPECT_EQ(headOf(err.text()), std::string(c.head) + kHeader);
  }
}

TEST(Report, TracebackHasAtMostTwentyRows) {
  // Deep recursion: the table still stops at 20 rows.
  struct Deep {
    [[gnu::noinline]] static int down(int n) {
      if (n == 0) throw IoError(IoErrorNumber::EndOfFile, 10, "f");
      int r = down(n - 1);
      asm volatile("" : "+r"(r));  // a real call per level, not a loop
      return r + 1;
    }
  };
  try {
    Deep::down(40);
  } catch (const IoError& e) {
    EXPECT_EQ(e.traceback.frames.size(), 20u);
    DescriptorCapture err(2);
    reportIoError(e);
    const std::string text = err.text();
    const std::string table = text.substr(text.find(kHeader) + kHeader.size());
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 20);
  }
}

TEST(Report, ReportLine) {
  DescriptorCapture err(2);
  reportLine("the number of groups is above 200");
  EXPECT_EQ(err.text(), "ploverix: the number of groups is above 200\n");
}

}  // namespace
}  // namespace ploverix::textio
