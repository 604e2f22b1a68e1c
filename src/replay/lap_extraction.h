// Reads a replay's entry table, practice blocks and race blocks into the driver slots of its
// grid: names, cars, crossing and lap times, best laps, off-track marks, and the time the grid
// stood on the starting grid. Every entry prints its trace lines as it is read.
#pragma once

#include <ostream>

#include "replay/byte_source.h"
#include "replay/event_store.h"

namespace vorlind {

enum class LapsResult { kRead, kDamaged };

// Reads the replay (whose header has been read) into the 20 slots from `slotOffset`, which are
// reset first. On success `cursor` stands at the start of the frame stream. A replay that ends
// early, holds more than 20 entries, an entry number outside 0..19 or a practice block of more
// than 500 records is damaged.
[[nodiscard]] LapsResult readReplayLaps(ByteCursor& cursor, EventStore& store, int slotOffset,
                                        int gridNumber, std::ostream& console);

// Prints the grid start time line of grid `gridNumber` (1..5).
void printGridStartTime(const EventStore& store, int gridNumber, std::ostream& console);

}  // namespace vorlind
