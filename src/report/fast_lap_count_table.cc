#include "report/fast_lap_count_table.h"

#include "report/ranking.h"

namespace vorlind {

std::vector<FastestLapCountRow> rankFastestLapCounts(const EventStore& store) {
  std::vector<FastestLapCountRow> rows;
  for (const Selection& choice : rankSlots(
           kLargestFromZero, [](int) { return true; },
           [&](int slot) { return store.FastestLapCount[slot]; })) {
    rows.push_back({choice.Slot, choice.Key});
  }
  return rows;
}

}  // namespace vorlind
