// Shared pieces of the stats tests: building a table from its rows and
// comparing floats bit for bit.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stats/stats.h"

namespace ploverix::stats::testing {

using Rows = std::vector<std::vector<float>>;

// A table whose block is `rows` (group by group, genotype fastest); every
// cell outside the block holds `outside`.
inline GenotypeTable makeTable(const Rows& rows, float outside = 0.0f) {
  GenotypeTable table;
  for (auto& row : table.counts) {
    for (float& cell : row) cell = outside;
  }
  table.groups = static_cast<std::int32_t>(rows.size());
  table.genotypes = rows.empty() ? 0 : static_cast<std::int32_t>(rows.front().size());
  for (int i = 1; i <= table.groups; ++i) {
    for (int j = 1; j <= table.genotypes; ++j) table.count(i, j) = rows[i - 1][j - 1];
  }
  return table;
}

inline std::string show(float value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.9g (0x%08x)", static_cast<double>(value),
                std::bit_cast<std::uint32_t>(value));
  return text;
}

// The same float, bit for bit; an expected NaN accepts any NaN.
inline ::testing::AssertionResult sameFloat(const char* actualText, const char* expectedText,
                                            float actual, float expected) {
  const bool same = std::isnan(expected)
                        ? std::isnan(actual)
                        : std::bit_cast<std::uint32_t>(actual) == std::bit_cast<std::uint32_t>(expected);
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actualText << " is " << show(actual) << ", expected "
                                       << expectedText << " = " << show(expected);
}

#define EXPECT_SAME_FLOAT(actual, expected) \
  EXPECT_PRED_FORMAT2(::ploverix::stats::testing::sameFloat, actual, expected)

}  // namespace ploverix::stats::testing
