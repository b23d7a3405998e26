// Throughput of the list-directed reader on the largest studies file the
// program accepts: 200 studies x 200 groups x 200 genotypes = 8,000,000
// counts, one study per line, read with a single read as the meta-analysis does.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "textio/textio.h"

namespace {

using namespace ploverix::textio;

constexpr int kStudies = 200;
constexpr int kGroups = 200;
constexpr int kGenotypes = 200;
constexpr std::size_t kCounts = std::size_t{kStudies} * kGroups * kGenotypes;

// Writes the file into a fresh scratch directory; removed at exit.
class StudiesFile {
 public:
  explicit StudiesFile(bool decimals) {
    char name[] = "/tmp/reader-bench-XXXXXX";
    dir_ = ::mkdtemp(name);
    path_ = dir_ + "/ORGgenotypes.txt";
    std::mt19937 random(7);
    std::uniform_int_distribution<int> count(0, 999);
    std::ofstream out(path_, std::ios::binary);
    std::string line;
    for (int s = 0; s < kStudies; ++s) {
      line.clear();
      for (int k = 0; k < kGroups * kGenotypes; ++k) {
        line += std::to_string(count(random));
        if (decimals) line += ".5";
        line += ' ';
      }
      line += "\r\n";
      out << line;
    }
    out.close();
    std::ifstream in(path_, std::ios::binary | std::ios::ate);
    bytes_ = static_cast<std::int64_t>(in.tellg());
  }
  ~StudiesFile() {
    ::unlink(path_.c_str());
    ::rmdir(dir_.c_str());
  }
  const std::string& path() const { return path_; }
  std::int64_t bytes() const { return bytes_; }

 private:
  std::string dir_;
  std::string path_;
  std::int64_t bytes_ = 0;
};

void readAllCounts(benchmark::State& state, const StudiesFile& file) {
  std::vector<float> counts(kCounts);
  for (auto _ : state) {
    openUnknown(10, file.path());
    {
      ListRead read(10);
      for (float& c : counts) read.get(c);
    }
    closeUnit(10);
    benchmark::DoNotOptimize(counts.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * file.bytes());
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kCounts));
}

void BM_ReadIntegerCounts(benchmark::State& state) {
  static const StudiesFile file(false);
  readAllCounts(state, file);
}

void BM_ReadDecimalCounts(benchmark::State& state) {
  static const StudiesFile file(true);
  readAllCounts(state, file);
}

BENCHMARK(BM_ReadIntegerCounts)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadDecimalCounts)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
