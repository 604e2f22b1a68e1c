// The number-of-fastest-laps table lists the entries by the number of laps of the merged race in
// which they drove the fastest time, most first; the counts come from the lap pass. The console's
// best-lap table shows the same ranking.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

struct FastestLapCountRow {
  int Slot = 0;
  int32_t FastestLaps = 0;

  bool operator==(const FastestLapCountRow&) const = default;
};

// Entries without a fastest lap get no row; equal counts put the lower slot first.
std::vector<FastestLapCountRow> rankFastestLapCounts(const EventStore& store);

}  // namespace vorlind
