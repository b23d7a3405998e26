// Writes a studies file (the counts of every study, group by group, genotype
// fastest, one study per line) on standard output, for the benchmarks.
//
//   generate_studies STUDIES GROUPS GENOTYPES SEED KIND [MAX]
//
// KIND is "integer" (whole counts 0..MAX, MAX 1000 by default) or
// "fractional" (0..MAX with four decimals, so most counts have a full float
// significand). The same arguments give the same file on every machine: the
// generator is a fixed 64-bit mixer, not a library distribution.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../tests/stats/mixer.h"

namespace {

using ploverix::testsupport::Mixer;

long parsePositive(const char* text, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0) {
    std::fprintf(stderr, "generate_studies: bad %s '%s'\n", what, text);
    std::exit(2);
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || argc > 7) {
    std::fprintf(stderr, "usage: generate_studies STUDIES GROUPS GENOTYPES SEED integer|fractional [MAX]\n");
    return 2;
  }
  const long studies = parsePositive(argv[1], "number of studies");
  const long groups = parsePositive(argv[2], "number of groups");
  const long genotypes = parsePositive(argv[3], "number of genotypes");
  Mixer mixer{static_cast<std::uint64_t>(parsePositive(argv[4], "seed"))};
  const bool fractional = std::strcmp(argv[5], "fractional") == 0;
  if (!fractional && std::strcmp(argv[5], "integer") != 0) {
    std::fprintf(stderr, "generate_studies: kind must be integer or fractional\n");
    return 2;
  }
  const long max = argc == 7 ? parsePositive(argv[6], "maximum count") : 1000;

  std::string line;
  char field[48];
  for (long s = 0; s < studies; ++s) {
    line.clear();
    for (long cell = 0; cell < groups * genotypes; ++cell) {
      if (fractional) {
        const unsigned long whole = mixer.next() % static_cast<std::uint64_t>(max);
        const unsigned long decimals = mixer.next() % 10000;
        std::snprintf(field, sizeof field, "%lu.%04lu", whole, decimals);
      } else {
        const unsigned long whole = mixer.next() % static_cast<std::uint64_t>(max + 1);
        std::snprintf(field, sizeof field, "%lu", whole);
      }
      if (cell > 0) line += ' ';
      line += field;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
