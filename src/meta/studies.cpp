// Mode 2 from the study file to the report: the per-study results pass
// through "outputORG.txt", so the pooling and the report see them with the
// digits that were written, not with the precision they had in memory.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "meta/meta.h"
#include "meta/report.h"
#include "textio/textio.h"

namespace ploverix::meta {

namespace {

constexpr int kStudyFileUnit = 10;
constexpr int kResultsUnit = 3;
constexpr int kReportReadUnit = 8;
constexpr const char* kStudyFile = "ORGgenotypes.txt";
constexpr const char* kResultsFile = "outputORG.txt";

// Static like every table of the program: about 32 MB, fixed at build time.
StudyCounts studyCounts;
stats::GenotypeTable workingTable;
float firstReadBack[kMaxStudies][3];
stats::StudyResult poolingInput[kMaxStudies];
float secondReadBack[kMaxStudies][3];

void readAllCounts(std::int32_t groups, std::int32_t genotypes, std::int32_t m) {
  textio::ListRead read(kStudyFileUnit);
  for (std::int32_t s = 1; s <= m; ++s) {
    for (std::int32_t i = 1; i <= groups; ++i) {
      for (std::int32_t j = 1; j <= genotypes; ++j) read.get(studyCounts.count(i, j, s));
    }
  }
}

// One study through the single-study statistics, on a working copy of its
// counts: the zero-count correction changes the copy, never the study's counts.
stats::StudyResult analyseOneStudy(stats::GenotypeTable& table, std::int32_t groups,
                                   std::int32_t genotypes, float zeroAdd, std::int32_t s) {
  table.groups = groups;
  table.genotypes = genotypes;
  for (std::int32_t i = 1; i <= groups; ++i) {
    for (std::int32_t j = 1; j <= genotypes; ++j) table.count(i, j) = studyCounts.count(i, j, s);
  }
  return stats::analyseStudy(table, zeroAdd).result;
}

// Studies first..m one after the other on this thread, each record written
// as soon as its study is done.
void analyseInOrder(std::int32_t groups, std::int32_t genotypes, float zeroAdd,
                    std::int32_t first, std::int32_t m) {
  for (std::int32_t s = first; s <= m; ++s) {
    const stats::StudyResult result = analyseOneStudy(workingTable, groups, genotypes, zeroAdd, s);
    textio::writeList(kResultsUnit, {result.org, result.lower, result.upper});
  }
}

// The studies are independent, so worker threads analyse them at the same
// time, each on its own working table, taking the studies in increasing
// order; this thread writes the records in study order as they become ready.
constexpr int kMaxWorkers = 16;
stats::GenotypeTable workerTables[kMaxWorkers];

// Starting and joining threads costs about a tenth of a millisecond; below
// this many G^2 K^2 passes over all the studies (about a millisecond of
// work) the studies are analysed on the calling thread alone.
constexpr double kWorkWorthThreads = 1e6;

struct StudyOutcome {
  stats::StudyResult result;
  bool failed = false;    // the study ended in an error
  bool finished = false;  // the outcome is in
};

struct StudyQueue {
  std::int32_t groups;
  std::int32_t genotypes;
  float zeroAdd;
  std::int32_t m;
  std::atomic<std::int32_t> next{1};  // the next study to take
  std::atomic<bool> stop{false};      // take no further study
  std::mutex mutex;
  std::condition_variable outcomeIn;
  StudyOutcome outcomes[kMaxStudies];  // under mutex
};

void analyseInTurn(StudyQueue& queue, stats::GenotypeTable& table) {
  while (!queue.stop.load()) {
    const std::int32_t s = queue.next.fetch_add(1);
    if (s > queue.m) return;
    StudyOutcome outcome;
    try {
      outcome.result = analyseOneStudy(table, queue.groups, queue.genotypes, queue.zeroAdd, s);
    } catch (...) {
      // Every study before s has been taken already and will come in; none
      // after it is needed.
      outcome.failed = true;
      queue.stop.store(true);
    }
    outcome.finished = true;
    {
      const std::lock_guard<std::mutex> lock(queue.mutex);
      queue.outcomes[s - 1] = outcome;
    }
    queue.outcomeIn.notify_all();
  }
}

// The worker threads of one per-study loop; they are stopped and joined when
// the loop ends, also by an error in a write.
struct Workers {
  StudyQueue& queue;
  std::thread threads[kMaxWorkers];
  int count = 0;

  Workers(StudyQueue& queue, int wanted) : queue(queue) {
    for (; count < wanted; ++count) {
      try {
        threads[count] = std::thread(analyseInTurn, std::ref(queue), std::ref(workerTables[count]));
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the ones started do the work
      }
    }
  }
  ~Workers() {
    queue.stop.store(true);
    for (int t = 0; t < count; ++t) threads[t].join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
};

void analyseEveryStudy(std::int32_t groups, std::int32_t genotypes, float zeroAdd,
                       std::int32_t m) {
  const unsigned cores = std::thread::hardware_concurrency();
  const int wanted = static_cast<int>(std::min<std::int64_t>({cores, kMaxWorkers, m}));
  const double cells = static_cast<double>(groups) * static_cast<double>(genotypes);
  if (wanted <= 1 || static_cast<double>(m) * cells * cells < kWorkWorthThreads) {
    analyseInOrder(groups, genotypes, zeroAdd, 1, m);
    return;
  }
  StudyQueue queue;
  queue.groups = groups;
  queue.genotypes = genotypes;
  queue.zeroAdd = zeroAdd;
  queue.m = m;
  std::int32_t written = 0;
  {
    Workers workers(queue, wanted);
    if (workers.count == 0) {
      analyseInOrder(groups, genotypes, zeroAdd, 1, m);
      return;
    }
    for (std::int32_t s = 1; s <= m; ++s) {
      StudyOutcome outcome;
      {
        std::unique_lock<std::mutex> lock(queue.mutex);
        queue.outcomeIn.wait(lock, [&] { return queue.outcomes[s - 1].finished; });
        outcome = queue.outcomes[s - 1];
      }
      if (outcome.failed) break;
      textio::writeList(kResultsUnit, {outcome.result.org, outcome.result.lower, outcome.result.upper});
      written = s;
    }
  }
  // A study that failed on a worker is analysed again here, where it fails
  // exactly as the loop on its own fails there (the same error, raised on
  // this thread's stack), after the records of the studies before it.
  analyseInOrder(groups, genotypes, zeroAdd, written + 1, m);
}

void readResultsBack(int unit, float table[][3], std::int32_t m) {
  textio::ListRead read(unit);
  for (std::int32_t s = 0; s < m; ++s) {
    for (int column = 0; column < 3; ++column) read.get(table[s][column]);
  }
}

}  // namespace

void runMetaAnalysis(std::int32_t groups, std::int32_t genotypes, float zeroAdd, float k) {
  const std::int32_t m = studyPasses(k);

  textio::openUnknown(kStudyFileUnit, kStudyFile);
  readAllCounts(groups, genotypes, m);
  textio::openUnknown(kResultsUnit, kResultsFile);
  analyseEveryStudy(groups, genotypes, zeroAdd, m);
  textio::closeUnit(kStudyFileUnit);
  textio::closeUnit(kResultsUnit);

  textio::openUnknown(kStudyFileUnit, kResultsFile);
  readResultsBack(kStudyFileUnit, firstReadBack, m);
  for (std::int32_t s = 0; s < m; ++s) {
    poolingInput[s] = {firstReadBack[s][0], firstReadBack[s][1], firstReadBack[s][2]};
  }
  textio::closeUnit(kStudyFileUnit);

  const PooledStudies pooled = poolStudies(poolingInput, k);

  textio::openUnknown(kReportReadUnit, kResultsFile);
  readResultsBack(kReportReadUnit, secondReadBack, m);
  writeReport(m, secondReadBack, pooled);
}

}  // namespace ploverix::meta
