// Whole-number helpers shared by the report tables. The report computes with 32-bit signed values
// that wrap on overflow, and reads per-slot and per-crossing cells through guards so that a
// damaged count never leads outside the store's arrays.
#pragma once

#include <array>
#include <climits>
#include <cmath>
#include <cstdint>

#include "replay/event_store.h"

namespace vorlind {

// The low 32 bits of `value` as a signed number (two's complement wrap-around).
inline int32_t wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// Truncates toward zero; NaN and values outside the 32-bit range give INT_MIN.
inline int32_t truncateToInt32(double value) {
  if (std::isnan(value)) return INT_MIN;
  const double whole = std::trunc(value);
  if (whole < static_cast<double>(INT_MIN) || whole > static_cast<double>(INT_MAX)) return INT_MIN;
  return static_cast<int32_t>(whole);
}

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
