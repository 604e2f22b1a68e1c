#include "report/lap_pass.h"

#include <algorithm>
#include <cstdint>

namespace vorlind {

namespace {

// Crossing 0 has no fastest time: kNoTime stands for it, and the count compares against it all the
// same, as the classic program does.
int32_t fastestTimeOfLap(const EventStore& store, int lap) {
  int32_t fastest = kNoTime;
  if (lap < 1) return fastest;
  for (int s = 0; s < kSlotCount; ++s) {
    const int32_t t = store.RaceLapTime[s][lap];
    if (t > 0 && t < fastest) fastest = t;
  }
  return fastest;
}

// The leader of a lap is the first to end it on the clock of his own grid; equal times keep the
// lower slot, and a lap that nobody ended keeps its leader as it was.
void findLapLeader(EventStore& store, int lap) {
  int32_t best = kNoTime;
  for (int s = 0; s < kSlotCount; ++s) {
    const int32_t t = store.RaceCumTime[s][lap];
    if (t <= 0) continue;
    const int64_t value = static_cast<int64_t>(t) - store.GridStartTime[gridOfSlot(s)];
    if (value < best) {
      best = static_cast<int32_t>(value);
      store.LapLeader[lap] = s;
    }
  }
}

}  // namespace

void computeLapPass(EventStore& store) {
  if (store.MaxRaceLaps < 0) return;
  int32_t record = kNoTime;
  const int lastLap = std::min(store.MaxRaceLaps, kCrossingCount - 1);
  for (int n = 0; n <= lastLap; ++n) {
    const int32_t fastest = fastestTimeOfLap(store, n);
    for (int s = 0; s < kSlotCount; ++s) {
      if (store.RaceLapTime[s][n] == fastest) ++store.FastestLapCount[s];
    }
    findLapLeader(store, n);
    if (n < 1) continue;
    int holder = -1;
    for (int s = 0; s < kSlotCount; ++s) {
      const int32_t t = store.RaceLapTime[s][n];
      if (t > 0 && t < record) {
        record = t;
        holder = s;
      }
    }
    if (holder >= 0 && store.FastestLapDevelopmentLength < kCrossingCount) {
      store.FastestLapDevelopment[store.FastestLapDevelopmentLength++] = {holder, n};
    }
  }
}

LapPlaces lapPlaces(const EventStore& store, int slot) {
  LapPlaces place{};
  const int lastLap = std::min(store.MaxRaceLaps, kCrossingCount - 1);
  for (int n = 0; n <= lastLap; ++n) {
    const int32_t own = store.RaceLapTime[slot][n];
    if (own == 0) break;
    int32_t ahead = 0;
    for (int s = 1; s < kSlotCount; ++s) {
      const int32_t t = store.RaceLapTime[s][n];
      if (t > 0 && t < own) ++ahead;
    }
    place[n] = 1 + ahead;
  }
  return place;
}

}  // namespace vorlind
