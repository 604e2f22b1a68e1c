// Whole-number helpers shared by the report tables. The report computes with 32-bit signed values
// that wrap on overflow, and reads per-slot and per-crossing cells through guards so that a
// damaged count never leads outside the store's arrays.
#pragma once

#include <array>
#include <cstdint>

#include "replay/event_store.h"
#include "replay/store_arithmetic.h"

namespace vorlind {

inline bool isSlot(int64_t slot) { return slot >= 0 && slot < kSlotCount; }

// Cell `index` of a fixed array, or 0 when the index lies outside it.
template <typename T, std::size_t N>
int32_t cellAt(const std::array<T, N>& cells, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(N)) return 0;
  return static_cast<int32_t>(cells[static_cast<std::size_t>(index)]);
}

// The start time of the grid that `slot` belongs to.
inline int32_t gridStartOf(const EventStore& store, int slot) {
  return store.GridStartTime[gridOfSlot(slot)];
}

}  // namespace vorlind
