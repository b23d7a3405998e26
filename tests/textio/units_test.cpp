// Units and files: open with status unknown, the cut after the first record,
// close, and the errors of unconnected units.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "capture.h"
#include "textio/textio.h"

namespace ploverix::textio {
namespace {

using testing::readFile;
using testing::ScratchDirectory;
using testing::writeFile;

class UnitsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    closeAllUnits();
    if (!saved_.empty()) {
      EXPECT_EQ(::chdir(saved_.c_str()), 0);
    }
  }
  void enterScratch() {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    saved_ = cwd;
    ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  }
  ScratchDirectory dir_;
  std::string saved_;
};

TEST_F(UnitsTest, OpenCreatesAMissingFileEmpty) {
  openUnknown(10, dir_.file("new.txt"));
  closeUnit(10);
  struct stat info {};
  ASSERT_EQ(::stat(dir_.file("new.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 0);
}

TEST_F(UnitsTest, RelativeNameIsMadeAbsoluteForReports) {
  enterScratch();
  writeFile("rel.txt", "x\n");
  openUnknown(8, "rel.txt");
  float value = 0;
  try {
    ListRead read(8);
    read.get(value);
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_EQ(e.number, IoErrorNumber::SyntaxError);
    EXPECT_EQ(e.file, dir_.file("rel.txt"));
  }
}

TEST_F(UnitsTest, OpenAndCloseWithoutWritingLeaveTheFile) {
  writeFile(dir_.file("keep.txt"), "1 2 3\r\n4 5 6\r\n");
  openUnknown(3, dir_.file("keep.txt"));
  closeUnit(3);
  EXPECT_EQ(readFile(dir_.file("keep.txt")), "1 2 3\r\n4 5 6\r\n");
}

TEST_F(UnitsTest, FirstRecordCutsTheFileLaterRecordsAppend) {
  const std::string path = dir_.file("out.txt");
  writeFile(path, "old line one\r\nold line two\r\nold line three\r\n");
  openUnknown(3, path);
  writeList(3, {std::int32_t{1}});
  EXPECT_EQ(readFile(path), "           1\r\n");
  writeList(3, {std::int32_t{2}});
  writeRecord(3, "end");
  closeUnit(3);
  EXPECT_EQ(readFile(path), "           1\r\n           2\r\nend\r\n");
  // A new connection cuts again at its own first record.
  openUnknown(3, path);
  writeRecord(3, "x");
  closeUnit(3);
  EXPECT_EQ(readFile(path), "x\r\n");
}

TEST_F(UnitsTest, WriteAfterReadGoesWhereTheReadingStopped) {
  const std::string path = dir_.file("mixed.txt");
  writeFile(path, "1\n2\n3\n");
  openUnknown(10, path);
  std::int32_t value = 0;
  {
    ListRead read(10);
    read.get(value);
  }
  writeRecord(10, "new");
  closeUnit(10);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(readFile(path), "1\nnew\r\n");
}

TEST_F(UnitsTest, ReopenReadsFromTheStart) {
  const std::string path = dir_.file("again.txt");
  writeFile(path, "1\n2\n");
  std::int32_t first = 0, second = 0;
  openUnknown(10, path);
  { ListRead(10).get(first); }
  closeUnit(10);
  openUnknown(8, path);
  { ListRead(8).get(second); }
  closeUnit(8);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
}

TEST_F(UnitsTest, OpenOnAConnectedUnitReplacesTheConnection) {
  writeFile(dir_.file("a.txt"), "1\n");
  writeFile(dir_.file("b.txt"), "2\n");
  openUnknown(10, dir_.file("a.txt"));
  openUnknown(10, dir_.file("b.txt"));
  std::int32_t value = 0;
  { ListRead(10).get(value); }
  EXPECT_EQ(value, 2);
}

TEST_F(UnitsTest, CloseOfAnUnconnectedUnitDoesNothing) {
  closeUnit(3);
  closeUnit(kDefaultOutput);
  closeAllUnits();
  SUCCEED();
}

struct ErrorCase {
  const char* name;
  void (*action)();
  IoErrorNumber number;
  int unit;
  std::string file;
  int osError;
};

TEST_F(UnitsTest, ErrorTable) {
  const ErrorCase cases[] = {
      {"empty file name", [] { openUnknown(3, ""); }, IoErrorNumber::FileNameError, 3, "", 0},
      {"missing directory", [] { openUnknown(3, "/nonexistent-dir/x.txt"); },
       IoErrorNumber::FileNotFound, 3, "/nonexistent-dir/x.txt", 0},
      {"directory", [] { openUnknown(3, "/"); }, IoErrorNumber::OpenFailure, 3, "/", EISDIR},
      {"read from an unconnected unit", [] { ListRead read(3); }, IoErrorNumber::ReadError, 3, "",
       EBADF},
      {"write to an unconnected unit", [] { writeRecord(8, "x"); }, IoErrorNumber::WriteError, 8,
       "", EBADF},
      {"write to standard input", [] { writeRecord(kDefaultInput, "x"); },
       IoErrorNumber::WriteToReadOnly, -4, "CONIN$", 0},
      {"read from standard output", [] { ListRead read(kDefaultOutput); },
       IoErrorNumber::ReadError, -1, "CONOUT$", EBADF},
      {"write to a full disk",
       [] {
         openUnknown(3, "/dev/full");
         writeRecord(3, "x");
       },
       IoErrorNumber::WriteError, 3, "/dev/full", ENOSPC},
  };
  for (const ErrorCase& c : cases) {
    try {
      c.action();
      ADD_FAILURE() << "row: " << c.name << ": no error";
    } catch (const IoError& e) {
      EXPECT_EQ(e.number, c.number) << "row: " << c.name;
      EXPECT_EQ(e.unit, c.unit) << "row: " << c.name;
      EXPECT_EQ(e.file, c.file) << "row: " << c.name;
      EXPECT_EQ(e.osError, c.osError) << "row: " << c.name;
      EXPECT_FALSE(e.traceback.frames.empty()) << "row: " << c.name;
    }
    closeAllUnits();
  }
}

}  // namespace
}  // namespace ploverix::textio
