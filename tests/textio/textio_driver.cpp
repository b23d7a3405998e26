// A small program that drives the text I/O units the way the real program
// does and ends exactly as its main does: errors become the run-time report on
// standard error and the exit status. The end-to-end tests run it.
//
// Usage: textio_driver <scenario> [file]
//   ask        prompt for a number on the console, read it, echo it (twice)
//   write      open unit 3 on <file> and write two records
//   readfile   open unit 10 on <file>, read three floats and echo them
//   log0       take the logarithm of zero
//   wait       write one record to <file> on unit 3, prompt, and wait for an answer
#include <cstdint>
#include <cstring>
#include <string>

#include "textio/textio.h"

namespace {

using namespace ploverix::textio;

void askForNumbers() {
  for (int round = 0; round < 2; ++round) {
    writeList(kDefaultOutput, {std::string_view("Enter a number:")});
    std::int32_t value = 0;
    ListRead read(kDefaultInput);
    read.get(value);
    writeList(kDefaultOutput, {std::string_view("Number="), value});
  }
}

void writeTwoRecords(const char* file) {
  openUnknown(3, file);
  writeList(3, {1.0f, 0.5f, 2.0f});
  writeList(3, {std::string_view("done")});
  closeUnit(3);
}

void readThreeFloats(const char* file) {
  openUnknown(10, file);
  float a = 0, b = 0, c = 0;
  {
    ListRead read(10);
    read.get(a);
    read.get(b);
    read.get(c);
  }
  closeUnit(10);
  writeList(kDefaultOutput, {a, b, c});
}

void takeLogOfZero() {
  writeList(kDefaultOutput, {std::string_view("log(0)=")});
  writeList(kDefaultOutput, {static_cast<float>(checkedLog(0.0))});
}

void waitForAnswer(const char* file) {
  openUnknown(3, file);
  writeList(3, {std::string_view("before the interrupt")});
  writeList(kDefaultOutput, {std::string_view("Waiting:")});
  std::int32_t value = 0;
  ListRead read(kDefaultInput);
  read.get(value);
}

int run(const std::string& scenario, const char* file) {
  if (scenario == "ask") askForNumbers();
  else if (scenario == "write") writeTwoRecords(file);
  else if (scenario == "readfile") readThreeFloats(file);
  else if (scenario == "log0") takeLogOfZero();
  else if (scenario == "wait") waitForAnswer(file);
  else {
    reportLine("unknown scenario " + scenario);
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  installInterruptHandlers();
  if (argc < 2) return 2;
  try {
    const int status = run(argv[1], argc > 2 ? argv[2] : "");
    closeAllUnits();
    return status;
  } catch (const IoError& error) {
    return reportIoError(error);
  } catch (const MathError& error) {
    return reportMathError(error);
  }
}
