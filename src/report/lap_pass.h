// The pass over all race laps of the merged event that completes the EventStore once the grids are
// read: who drove the fastest time of each lap, who led at the end of each lap and which laps
// lowered the fastest race lap. The console's best-lap table and the report read its results.
#pragma once

#include <array>
#include <cstdint>

#include "replay/event_store.h"

namespace vorlind {

// Fills FastestLapCount, LapLeader and FastestLapDevelopment in one pass over the race laps.
void computeLapPass(EventStore& store);

// The place of driver `slot` in each race lap as the lap-place chart shows it: one more than the
// drivers of slots 1..99 who drove that lap faster. Slot 0 never counts against the driver, as in
// the classic program. From the first lap the driver has no time, every place is 0.
using LapPlaces = std::array<int32_t, kCrossingCount>;
LapPlaces lapPlaces(const EventStore& store, int slot);

}  // namespace vorlind
