// Pieces shared by the table walkers of the stats library; not part of its
// public interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "stats/stats.h"

namespace ploverix::stats::internal {

// Throws TableSizeError when the G x K block does not fit the arrays; a G or K
// below 1 is an empty block and passes.
void requireBlockFits(const GenotypeTable& table);

// What the counts of a block allow the walkers to assume.
struct TableProfile {
  bool finite = true;  // no count is an infinity or NaN
  // Every product of two counts is itself a float: at most 12 significant
  // bits, lowest bit at 2^-74 or above, magnitude below 2^64. Finite tables only.
  bool productsAreFloats = false;
  // Every count is an integer multiple of 2^gridExponent (finite tables only;
  // 0 when all counts are zero).
  int gridExponent = 0;
  // sum |count| / 2^gridExponent, exact while it is at most 2^24; any value
  // above 2^24 only says "too many units" (onGrid is then false).
  double gridUnits = 0.0;
  // Finite, gridUnits <= 2^24 and sum |count| <= the largest float: every sum
  // of a subset of the counts, in any order, is a float, so no float addition
  // of counts can round.
  bool onGrid = false;
  // The largest |count| of the block (finite tables only).
  double largestMagnitude = 0.0;
  // The largest positive count and the largest magnitude of a negative count
  // in groups i..G (index i - 1, 0 past the last group); finite tables only.
  // Only indices 0..G are set.
  double largestPositiveFrom[kMaxGroups + 1];
  double largestNegativeFrom[kMaxGroups + 1];
};

// Surveys the G x K block (G and K within the arrays).
void profileTable(const GenotypeTable& table, TableProfile& profile);

// The count of group i, genotype j in units of 2^gridExponent (exact: the
// count is a multiple of that power and at most 2^24 units). Needs onGrid.
std::int64_t gridValue(float count, int gridExponent);

// Large working arrays, one per thread, from a fixed pool of static storage.
// A slot's pages are touched only when a thread first uses it (thread-local
// storage of this size would be cleared at every start and for every thread),
// and the slot returns to the pool when its thread ends. A thread that finds
// every slot taken gets its own from the heap.
template <class T>
struct ScratchPool {
  static constexpr int kSlots = 16;
  T slots[kSlots];
  std::atomic<bool> taken[kSlots];
};

template <class T>
T& threadScratch(ScratchPool<T>& pool) {
  struct Holder {
    ScratchPool<T>* pool = nullptr;
    int slot = -1;
    std::unique_ptr<T> own;
    T* area = nullptr;
    ~Holder() {
      if (slot >= 0) pool->taken[slot].store(false, std::memory_order_release);
    }
  };
  thread_local Holder holder;
  if (holder.area != nullptr) return *holder.area;
  for (int slot = 0; slot < ScratchPool<T>::kSlots; ++slot) {
    bool expected = false;
    if (pool.taken[slot].compare_exchange_strong(expected, true, std::memory_order_acquire)) {
      holder.pool = &pool;
      holder.slot = slot;
      holder.area = &pool.slots[slot];
      return *holder.area;
    }
  }
  holder.own = std::make_unique<T>();
  holder.area = holder.own.get();
  return *holder.area;
}

}  // namespace ploverix::stats::internal
