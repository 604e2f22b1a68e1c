#include "report/consistency_table.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

// Time from the end of lap 1 to the end of the last lap.
int32_t timeAfterFirstLap(const EventStore& store, int slot) {
  const auto& crossings = store.RaceCumTime[slot];
  return wrap32(int64_t{cellAt(crossings, store.RaceLapCount[slot])} - crossings[1]);
}

int32_t averageLap(const EventStore& store, int slot) {
  const int64_t laps = store.RaceLapCount[slot];
  return wrap32(timeAfterFirstLap(store, slot) / (laps - 1));
}

int32_t aboveBest(const EventStore& store, int slot) {
  return wrap32(int64_t{averageLap(store, slot)} - store.RaceBestLap[slot]);
}

// Unlike the average lap, the share divides without truncating first.
int32_t excessShare(const EventStore& store, int slot) {
  const double average =
      static_cast<double>(timeAfterFirstLap(store, slot)) / (store.RaceLapCount[slot] - 1);
  return truncateToInt32(average * 10000 / store.RaceBestLap[slot] - 10000);
}

}  // namespace

std::vector<ConsistencyRow> rankConsistency(const EventStore& store) {
  std::vector<ConsistencyRow> rows;
  for (const Selection& choice : rankSlots(
           kSmallestFromNoTime, [&](int slot) { return store.RaceLapCount[slot] > 2; },
           [&](int slot) { return aboveBest(store, slot); })) {
    rows.push_back({static_cast<int>(rows.size()) + 1, choice.Slot, averageLap(store, choice.Slot),
                    choice.Key, excessShare(store, choice.Slot)});
  }
  return rows;
}

}  // namespace vorlind
