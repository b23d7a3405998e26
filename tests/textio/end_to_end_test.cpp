// End to end: the test driver program run in a scratch directory, its standard
// output, standard error and exit status compared byte for byte (traceback
// rows by pattern, since they hold addresses).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"

namespace {

using ploverix::textio::testing::readFile;
using ploverix::textio::testing::ScratchDirectory;
using ploverix::textio::testing::writeFile;

struct Result {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal when killed
};

struct Launch {
  Launch(std::vector<std::string> args, std::string stdinPath = "")
      : args(std::move(args)), stdinPath(std::move(stdinPath)) {}
  std::vector<std::string> args;  // after the program name
  std::string stdinPath;          // "" for an empty input
  bool asNobody = false;          // run as uid/gid 65534: root ignores file modes
  rlim_t addressSpace = 0;        // a memory limit in bytes, 0 for none
};

// Runs the driver in `dir` and waits for it.
Result run(const std::string& dir, const Launch& launch) {
  ScratchDirectory capture;
  const std::string outPath = capture.file("out"), errPath = capture.file("err");
  const std::string inPath = launch.stdinPath.empty() ? capture.file("in") : launch.stdinPath;
  if (launch.stdinPath.empty()) writeFile(inPath, "");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(inPath.c_str(), O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (::chdir(dir.c_str()) != 0) ::_exit(250);
    if (launch.asNobody &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(251);
    }
    if (launch.addressSpace != 0) {
      const rlimit limit{launch.addressSpace, launch.addressSpace};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> argv;
    std::string program = TEXTIO_DRIVER;
    argv.push_back(program.data());
    std::vector<std::string> args = launch.args;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(TEXTIO_DRIVER, argv.data());
    ::_exit(252);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  Result result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

const std::string kHeader =
    "Image              PC        Routine            Line        Source             \n";

// Checks that `err` is `head`, the traceback header and 1 to 20 rows; returns
// the routine of the first row.
std::string expectReport(const std::string& err, const std::string& head, const std::string& row) {
  EXPECT_EQ(err.substr(0, head.size()), head) << "row: " << row;
  if (err.size() < head.size()) return "";
  std::istringstream rest(err.substr(head.size()));
  std::string line;
  std::getline(rest, line);
  EXPECT_EQ(line + "\n", kHeader) << "row: " << row;
  static const std::regex kRow("[^\n]{17}  [0-9A-F]{8}  [^\n]{17}     Unknown  Unknown");
  int rows = 0;
  std::string first;
  while (std::getline(rest, line)) {
    EXPECT_TRUE(std::regex_match(line, kRow)) << "row: " << row << " line [" << line << "]";
    if (rows == 0 && line.size() > 47) first = line.substr(29, 17);
    ++rows;
  }
  EXPECT_GE(rows, 1) << "row: " << row;
  EXPECT_LE(rows, 20) << "row: " << row;
  EXPECT_EQ(err.back(), '\n') << "row: " << row;
  return first;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ::chmod(dir_.path().c_str(), 0777); }
  std::string path(const std::string& name) const { return dir_.file(name); }
  ScratchDirectory dir_;
};

struct ConsoleCase {
  const char* name;
  std::string input;
  std::string out;
  std::string head;
  int status;
  std::string firstRoutine;
};

TEST_F(EndToEnd, ConsoleAnswers) {
  const std::string prompt = " Enter a number:\r\n";
  const ConsoleCase cases[] = {
      {"end of input at the first prompt", "", prompt,
       "ploverix: severe (24): end-of-file during read, unit -4, file CONIN$\n", 24,
       "ListRead::ListRea"},
      {"end of input at the second prompt", "5\n",
       prompt + " Number=           5\r\n" + prompt,
       "ploverix: severe (24): end-of-file during read, unit -4, file CONIN$\n", 24,
       "ListRead::ListRea"},
      {"Ctrl+Z on a line of its own", "\x1a\r\n", prompt,
       "ploverix: severe (24): end-of-file during read, unit -4, file CONIN$\n", 24,
       "ListRead::ListRea"},
      {"a letter typed as the answer", "abc\n", prompt,
       "ploverix: severe (59): list-directed I/O syntax error, unit -4, file CONIN$\n", 59,
       "ListRead::get"},
      {"an answer too large for an integer", "99999999999\n", prompt,
       "ploverix: severe (64): input conversion error, unit -4, file CONIN$\n", 64,
       "ListRead::get"},
  };
  for (const ConsoleCase& c : cases) {
    writeFile(path("stdin.txt"), c.input);
    const Result r = run(dir_.path(), {{"ask"}, path("stdin.txt")});
    EXPECT_EQ(r.status, c.status) << "row: " << c.name;
    EXPECT_EQ(r.out, c.out) << "row: " << c.name;
    const std::string first = expectReport(r.err, c.head, c.name);
    EXPECT_EQ(first.substr(0, c.firstRoutine.size()), c.firstRoutine) << "row: " << c.name;
  }
}

TEST_F(EndToEnd, TwoAnswersAndNormalEnd) {
  writeFile(path("stdin.txt"), "12 7 3\n\n  -4\n");
  const Result r = run(dir_.path(), {{"ask"}, path("stdin.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            " Enter a number:\r\n Number=          12\r\n"
            " Enter a number:\r\n Number=          -4\r\n");
}

TEST_F(EndToEnd, FileRecordsCutTheOldContentAfterTheFirstRecord) {
  writeFile(path("out.txt"), std::string(500, 'x') + "\r\n");
  const Result r = run(dir_.path(), {{"write", "out.txt"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(path("out.txt")),
            "   1.000000      0.5000000       2.000000    \r\n done\r\n");
}

TEST_F(EndToEnd, MissingStudyFileIsCreatedEmptyAndEndsWithEndOfFile) {
  const Result r = run(dir_.path(), {{"readfile", "ORGgenotypes.txt"}});
  EXPECT_EQ(r.status, 24);
  EXPECT_EQ(r.out, "");
  expectReport(r.err,
               "ploverix: severe (24): end-of-file during read, unit 10, file " +
                   path("ORGgenotypes.txt") + "\n",
               "missing file");
  struct stat info {};
  ASSERT_EQ(::stat(path("ORGgenotypes.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 0);
}

TEST_F(EndToEnd, ReadOnlyFileOpensAndFailsOnTheFirstWrite) {
  writeFile(path("outputORG.txt"), "old\r\n");
  ::chmod(path("outputORG.txt").c_str(), 0444);
  Launch launch{{"write", "outputORG.txt"}};
  launch.asNobody = true;
  const Result r = run(dir_.path(), launch);
  EXPECT_EQ(r.status, 47);
  EXPECT_EQ(r.out, "");
  expectReport(r.err,
               "ploverix: severe (47): write to READONLY file, unit 3, file " +
                   path("outputORG.txt") + "\n",
               "read-only");
  EXPECT_EQ(readFile(path("outputORG.txt")), "old\r\n");
}

TEST_F(EndToEnd, UnreadableFileIsPermissionDenied) {
  writeFile(path("locked.txt"), "1 2 3\n");
  ::chmod(path("locked.txt").c_str(), 0000);
  Launch launch{{"readfile", "locked.txt"}};
  launch.asNobody = true;
  const Result r = run(dir_.path(), launch);
  EXPECT_EQ(r.status, 9);
  expectReport(r.err,
               "ploverix: severe (9): permission to access file denied, unit 10, file " +
                   path("locked.txt") + "\n",
               "no access");
}

TEST_F(EndToEnd, OpenAndWriteFailures) {
  const std::string longName(5000, 'n');
  ::mkdir(path("adir").c_str(), 0755);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string head;
    int status;
  };
  const Case cases[] = {
      {"full disk", {"write", "/dev/full"},
       "ploverix: No space left on device\n"
       "ploverix: severe (38): error during write, unit 3, file /dev/full\n",
       38},
      {"missing directory", {"write", "nodir/out.txt"},
       "ploverix: severe (29): file not found, unit 3, file " + path("nodir/out.txt") + "\n", 29},
      {"directory as file", {"write", "adir"},
       "ploverix: Is a directory\nploverix: severe (30): open failure, unit 3, file " +
           path("adir") + "\n",
       30},
      {"name too long", {"write", longName},
       "ploverix: severe (43): file name specification error, unit 3, file " + path(longName) +
           "\n",
       43},
  };
  for (const Case& c : cases) {
    const Result r = run(dir_.path(), {c.args});
    EXPECT_EQ(r.status, c.status) << "row: " << c.name;
    EXPECT_EQ(r.out, "") << "row: " << c.name;
    expectReport(r.err, c.head, c.name);
  }
}

TEST_F(EndToEnd, FailedConsoleReadShowsTheSystemMessage) {
  // A directory as standard input: the read itself fails.
  ::mkdir(path("adir").c_str(), 0755);
  const Result r = run(dir_.path(), {{"ask"}, path("adir")});
  EXPECT_EQ(r.status, 39);
  EXPECT_EQ(r.out, " Enter a number:\r\n");
  expectReport(r.err,
               "ploverix: Is a directory\n"
               "ploverix: severe (39): error during read, unit -4, file CONIN$\n",
               "read error");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define TEXTIO_UNDER_ASAN 0
#elif defined(__SANITIZE_ADDRESS__)
#define TEXTIO_UNDER_ASAN 1
#elif __has_feature(address_sanitizer)
#define TEXTIO_UNDER_ASAN 1
#else
#define TEXTIO_UNDER_ASAN 0
#endif

TEST_F(EndToEnd, RecordLongerThanTheMemoryIsTooLong) {
  if (TEXTIO_UNDER_ASAN) GTEST_SKIP() << "the sanitizer needs more address space than the limit";
  // 96 MB without a line feed, in a process limited to 64 MB of address space.
  {
    std::string chunk(1 << 20, '1');
    std::ofstream in(path("huge.txt"), std::ios::binary);
    for (int k = 0; k < 96; ++k) in << chunk;
  }
  Launch launch{{"ask"}, path("huge.txt")};
  launch.addressSpace = 64u << 20;
  const Result r = run(dir_.path(), launch);
  EXPECT_EQ(r.status, 22);
  expectReport(r.err, "ploverix: severe (22): input record too long, unit -4, file CONIN$\n",
               "too long");
}

TEST_F(EndToEnd, LogarithmOfZeroGivesTheMathReport) {
  const Result r = run(dir_.path(), {{"log0"}});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, " log(0)=\r\n");
  const std::string first =
      expectReport(r.err, "\nrun-time error M6202: MATH\n- log: SING error\n", "log");
  EXPECT_EQ(first.substr(0, 10), "checkedLog");
}

// The interrupt arrives while the program waits for an answer on a pipe that
// stays open: one line on standard error, no traceback, the file keeps its
// record, and the status is 128 + the signal.
TEST_F(EndToEnd, ConsoleInterrupts) {
  struct Case {
    int signal;
    const char* event;
  };
  const Case cases[] = {{SIGINT, "control-C"}, {SIGQUIT, "control-BREAK"}, {SIGHUP, "window-CLOSE"}};
  for (const Case& c : cases) {
    int in[2], out[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    const std::string errPath = path("err.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(err, 2);
      ::close(in[1]);
      ::close(out[0]);
      if (::chdir(dir_.path().c_str()) != 0) ::_exit(250);
      ::execl(TEXTIO_DRIVER, TEXTIO_DRIVER, "wait", "kept.txt", static_cast<char*>(nullptr));
      ::_exit(252);
    }
    ::close(in[0]);
    ::close(out[1]);
    // The prompt is on the pipe before the read starts waiting.
    std::string shown;
    char buffer[64];
    while (shown.find("\r\n") == std::string::npos) {
      const ssize_t n = ::read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      shown.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(shown, " Waiting:\r\n") << c.event;
    ::usleep(100000);  // let it reach the read
    ::kill(pid, c.signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(in[1]);
    ::close(out[0]);
    ASSERT_TRUE(WIFEXITED(status)) << c.event;
    EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal) << c.event;
    EXPECT_EQ(readFile(errPath),
              std::string("ploverix: error (200): program aborting due to ") + c.event +
                  " event\n");
    EXPECT_EQ(readFile(path("kept.txt")), " before the interrupt\r\n") << c.event;
  }
}

}  // namespace
