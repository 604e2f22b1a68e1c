// The four sector tables rank the drivers by the time each needed for one quarter of his best race
// lap, with the gap to the fastest and the sector's lowest and highest speed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

inline constexpr int kSectorCount = 4;

struct SectorRow {
  int Position = 0;
  int Slot = 0;
  int32_t SectorTime = 0;             // ms
  std::optional<int32_t> GapToFirst;  // ms; none on the first row
  int32_t MinSpeed = 0;               // hundredths of km/h within the sector
  int32_t MaxSpeed = 0;

  bool operator==(const SectorRow&) const = default;
};

// The time from the start of the slot's best race lap to the end of sector `sector` (0..4): 0 for
// sector 0, the whole lap for sector 4.
int32_t sectorSplit(const EventStore& store, int slot, int sector);

// The time of sector `sector` (1..4) on the slot's best race lap, as the tables rank it: the
// fourth sector runs from the third split to the end of the lap.
int32_t sectorTime(const EventStore& store, int slot, int sector);

// The ranking of sector `sector` (1..4).
std::vector<SectorRow> rankSector(const EventStore& store, int sector);

}  // namespace vorlind
