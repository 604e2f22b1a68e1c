#include "report/on_track_speed_tables.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

// Equal counts let the later slot take over, unlike every other table of the report; the classic
// report ranks this table so.
constexpr RankRule kMostOnTrackLaps{RankOrder::kLargestFirst, RankTies::kHigherSlot, 0};

int32_t sharePerMille(int32_t onTrackLaps, int32_t laps) {
  if (laps == 0) return 0;
  return wrap32(int64_t{wrap32(int64_t{onTrackLaps} * 1000)} / laps);
}

}  // namespace

std::vector<OnTrackRow> rankOnTrackLaps(const EventStore& store) {
  std::vector<OnTrackRow> rows;
  for (const Selection& choice : rankSlots(
           kMostOnTrackLaps, [&](int slot) { return store.RaceOnTrackLapCount[slot] > 0; },
           [&](int slot) { return store.RaceOnTrackLapCount[slot]; })) {
    const int32_t laps = store.RaceLapCount[choice.Slot];
    rows.push_back({static_cast<int>(rows.size()) + 1, choice.Slot, choice.Key, laps,
                    sharePerMille(choice.Key, laps)});
  }
  return rows;
}

std::vector<SpeedRow> rankSpeeds(const EventStore& store) {
  std::vector<SpeedRow> rows;
  for (const Selection& choice : rankSlots(
           kLargestFromZero, [](int) { return true; },
           [&](int slot) { return store.BestLapMaxSpeed[slot][0]; })) {
    rows.push_back({static_cast<int>(rows.size()) + 1, choice.Slot,
                    store.BestLapMinSpeed[choice.Slot][0], choice.Key});
  }
  return rows;
}

}  // namespace vorlind
