// The practice lap list is the body of a report without a race: one row per practice lap of the
// replay's own slot, each holding only the lap number.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

// The slot whose practice laps are listed: only server replays, whose own slot is 0, are read.
inline constexpr int kOwnSlot = 0;

struct PracticeLapRow {
  int32_t Lap = 0;

  bool operator==(const PracticeLapRow&) const = default;
};

// Laps 1 to the own slot's practice lap count, at most 199.
std::vector<PracticeLapRow> listPracticeLaps(const EventStore& store);

}  // namespace vorlind
