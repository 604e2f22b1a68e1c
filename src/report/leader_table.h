// The leader table names, for every stint of consecutive laps with the same leader of the merged
// race, the laps and the driver. The leader of each lap comes from the store's LapLeader, filled by
// the lap pass.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

struct LeaderStint {
  int Slot = 0;
  int32_t FirstLap = 0;
  int32_t LastLap = 0;

  bool operator==(const LeaderStint&) const = default;
};

// The stints from lap 1 to MaxRaceLaps; none when the race has no lap.
std::vector<LeaderStint> findLeaderStints(const EventStore& store);

}  // namespace vorlind
