#include "report/fast_lap_tables.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr int32_t kShortestRankedLap = 30000;

struct MemberArrays {
  const SlotValues& BestLap;
  const SlotValues& BestLapNo;
  const SlotValues& LapCount;
  const SlotMarks& OffTrack;
};

MemberArrays memberArrays(const EventStore& store, FastestLapMember member) {
  switch (member) {
    case FastestLapMember::kRace:
      return {store.RaceBestLap, store.RaceBestLapNo, store.RaceLapCount, store.RaceOffTrack};
    case FastestLapMember::kPractice:
      return {store.PracticeBestLap, store.PracticeBestLapNo, store.PracticeLapCount,
              store.PracticeOffTrack};
    case FastestLapMember::kRaceOnTrack:
      return {store.RaceBestOnTrackLap, store.RaceBestOnTrackLapNo, store.RaceLapCount,
              store.RaceOffTrack};
    case FastestLapMember::kPracticeOnTrack:
      break;
  }
  return {store.PracticeBestOnTrackLap, store.PracticeBestOnTrackLapNo, store.PracticeLapCount,
          store.PracticeOffTrack};
}

}  // namespace

std::vector<FastestLapRow> rankFastestLaps(const EventStore& store, FastestLapMember member) {
  const MemberArrays data = memberArrays(store, member);
  std::vector<FastestLapRow> rows;
  for (const Selection& choice : rankSlots(
           kSmallestFromNoTime, [&](int slot) { return data.BestLap[slot] > kShortestRankedLap; },
           [&](int slot) { return data.BestLap[slot]; })) {
    const int slot = choice.Slot;
    FastestLapRow row;
    row.Position = static_cast<int>(rows.size()) + 1;
    row.Slot = slot;
    row.LapTime = choice.Key;
    if (!rows.empty()) {
      row.GapToFirst = wrap32(int64_t{choice.Key} - rows.front().LapTime);
      row.GapToPrevious = wrap32(int64_t{choice.Key} - rows.back().LapTime);
    }
    row.LapNumber = data.BestLapNo[slot];
    row.LapCount = data.LapCount[slot];
    if (showsOffTrack(member)) row.OffTrack = cellAt(data.OffTrack[slot], row.LapNumber) != 0;
    rows.push_back(row);
  }
  return rows;
}

}  // namespace vorlind
