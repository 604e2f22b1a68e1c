#include "report/leader_table.h"

#include "report/report_arithmetic.h"

namespace vorlind {

std::vector<LeaderStint> findLeaderStints(const EventStore& store) {
  std::vector<LeaderStint> stints;
  const int32_t lastLap = store.MaxRaceLaps;
  if (lastLap < 1) return stints;
  LeaderStint stint{cellAt(store.LapLeader, 1), 1, lastLap};
  for (int32_t lap = 2; lap <= lastLap; ++lap) {
    const int leader = cellAt(store.LapLeader, lap);
    if (leader != stint.Slot) {
      stint.LastLap = lap - 1;
      stints.push_back(stint);
      stint = {leader, lap, lastLap};
    }
    // Beyond the stored laps nobody leads, so the stint now running lasts to the last lap.
    if (lap >= kCrossingCount) break;
  }
  stint.LastLap = lastLap;
  stints.push_back(stint);
  return stints;
}

}  // namespace vorlind
