// The pass over all race laps of the merged event that completes the EventStore once the grids are
// read: who drove the fastest time of each lap, who led at the end of each lap and which laps
// lowered the fastest race lap. The console's best-lap table and the report read its results.
#pragma once

#include "replay/event_store.h"

namespace vorlind {

// Fills FastestLapCount, LapLeader and FastestLapDevelopment in one pass over the race laps.
void computeLapPass(EventStore& store);

}  // namespace vorlind
