#include "report/sector_tables.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

int32_t sectorSplit(const EventStore& store, int slot, int sector) {
  if (sector == 0) return 0;
  return sector == kSectorCount ? store.RaceBestLap[slot] : store.BestLapSplitTime[slot][sector];
}

int32_t sectorTime(const EventStore& store, int slot, int sector) {
  return wrap32(int64_t{sectorSplit(store, slot, sector)} - sectorSplit(store, slot, sector - 1));
}

std::vector<SectorRow> rankSector(const EventStore& store, int sector) {
  std::vector<SectorRow> rows;
  for (const Selection& choice : rankSlots(
           kSmallestFromNoTime, [&](int slot) { return sectorTime(store, slot, sector) > 0; },
           [&](int slot) { return sectorTime(store, slot, sector); })) {
    // A slot that the sector search never reached has no fourth split: its whole lap counts as
    // its fourth sector, and the ranking stops there, leaving out every slower slot as well.
    const auto& splits = store.BestLapSplitTime[choice.Slot];
    if (sector == kSectorCount && splits[4] == splits[3]) break;
    SectorRow row;
    row.Position = static_cast<int>(rows.size()) + 1;
    row.Slot = choice.Slot;
    row.SectorTime = choice.Key;
    if (!rows.empty()) row.GapToFirst = wrap32(int64_t{choice.Key} - rows.front().SectorTime);
    row.MinSpeed = store.BestLapMinSpeed[choice.Slot][sector];
    row.MaxSpeed = store.BestLapMaxSpeed[choice.Slot][sector];
    rows.push_back(row);
  }
  return rows;
}

}  // namespace vorlind
