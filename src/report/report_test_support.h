// Helpers for the report tests: a fresh store on the heap, race crossings from which the lap
// times and the lap count follow, and the slot order of a table's rows.
#pragma once

#include <memory>
#include <vector>

#include "replay/event_store.h"

namespace vorlind::report_test {

inline std::unique_ptr<EventStore> makeStore() {
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  return store;
}

inline void setRaceCrossings(EventStore& store, int slot, const std::vector<int32_t>& crossings) {
  for (size_t k = 0; k < crossings.size(); ++k) {
    store.RaceCumTime[slot][k] = crossings[k];
    store.RaceLapTime[slot][k] = k == 0 ? crossings[0] : crossings[k] - crossings[k - 1];
  }
  store.RaceLapCount[slot] = static_cast<int32_t>(crossings.size()) - 1;
}

template <typename Row>
std::vector<int> slotsOf(const std::vector<Row>& rows) {
  std::vector<int> slots;
  for (const Row& row : rows) slots.push_back(row.Slot);
  return slots;
}

}  // namespace vorlind::report_test
