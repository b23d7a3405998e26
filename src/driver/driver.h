// The program driver: the banner, the choice of mode, the console dialogue of
// a single study and of a meta-analysis, and the order in which the
// statistics and the meta-analysis are called.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace ploverix::driver {

// The run's settings, zero until the dialogue reads them.
struct RunSettings {
  std::int32_t mode = 0;
  std::int32_t groups = 0;     // G
  std::int32_t genotypes = 0;  // K
  float zeroAdd = 0.0f;
  float studies = 0.0f;        // k, a float throughout
};

// A setting read from the console that the tables have no room for (more than
// 200 groups, genotypes or studies). The run ends before anything else happens.
struct SettingAboveLimit : std::exception {
  std::string setting;  // "number of groups", "number of genotypes", "number of studies"
  std::string value;    // the value as read
  int limit = 0;

  SettingAboveLimit(std::string setting, std::string value, int limit);
  const char* what() const noexcept override;
  // The one line reported on standard error after the run-time tag.
  std::string message() const;
};

// The whole run, from the banner to the last record of the chosen mode.
// Throws textio::IoError, textio::MathError, numlib::LibraryStop and
// SettingAboveLimit; returns normally when the run ends with status 0.
void runProgram();

}  // namespace ploverix::driver
