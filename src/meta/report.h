// Internal to the meta-analysis: the report on the console and in the file.
#pragma once

#include <cstdint>

#include "meta/meta.h"

namespace ploverix::meta {

// Writes the console report (study lines from `secondReadBack`, closing unit 8
// after them), then rewrites "outputORG.txt" on unit 3 with the file version.
// Throws textio::IoError.
void writeReport(std::int32_t m, const float secondReadBack[][3], const PooledStudies& pooled);

}  // namespace ploverix::meta
