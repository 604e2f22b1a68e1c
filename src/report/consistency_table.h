// The consistency table ranks the race entries by how far their average lap from the second lap on
// lay above their own best race lap; entries with two laps or fewer take no part.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

struct ConsistencyRow {
  int Position = 0;
  int Slot = 0;
  int32_t AverageLap = 0;   // ms, laps 2 to the last
  int32_t AboveBest = 0;    // ms of the average lap above the best lap
  int32_t ExcessShare = 0;  // the same in hundredths of a percent of the best lap

  bool operator==(const ConsistencyRow&) const = default;
};

std::vector<ConsistencyRow> rankConsistency(const EventStore& store);

}  // namespace vorlind
