// Test helpers of the numerical library: a fresh library state for every
// test, and a way to run a call while capturing what it prints on unit 6.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "numlib/numlib.h"
#include "textio/capture.h"

namespace ploverix::numlib::testing {

// What a call printed on standard output, and the stop it ended with, if any.
struct Outcome {
  std::string printed;
  std::optional<LibraryStop> stop;
};

inline Outcome capture(const std::function<void()>& call) {
  Outcome outcome;
  textio::testing::DescriptorCapture out(1);
  try {
    call();
  } catch (const LibraryStop& stop) {
    outcome.stop = stop;
  }
  outcome.printed = out.text();
  return outcome;
}

// The records `lines` as unit 6 writes them: each followed by CR LF.
inline std::string records(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Every test starts with the error stack at level 1 and no first-call
// constants computed.
class NumlibTest : public ::testing::Test {
 protected:
  void SetUp() override { resetLibraryState(); }
  ErrorState& state() { return errorState(); }
};

}  // namespace ploverix::numlib::testing
