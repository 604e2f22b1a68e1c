// The development table shows how the fastest race lap of the merged race fell: one entry per lap
// that set a new record, with the driver and the time. The records come from the store's
// FastestLapDevelopment, filled by the lap pass.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

struct DevelopmentRow {
  int Slot = 0;
  int32_t Lap = 0;
  int32_t LapTime = 0;  // ms; 0 for a damaged record whose slot lies outside the event

  bool operator==(const DevelopmentRow&) const = default;
};

// The records in the order they fell, at most MaxRaceLaps + 1 of them.
std::vector<DevelopmentRow> listDevelopment(const EventStore& store);

}  // namespace vorlind
