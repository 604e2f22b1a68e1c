// Reads a replay's entry table, practice blocks and race blocks into the driver slots of its
// grid: names, cars, crossing and lap times, best laps, off-track marks, and the time the grid
// stood on the starting grid. Each entry is told to the listener as it is read.
#pragma once

#include <optional>

#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/grid_listener.h"

namespace vorlind {

// Reads the replay (whose header has been read) into the 20 slots from `slotOffset`, which are
// reset first, and the race's first crossings into the start time of grid `gridNumber` (1..5).
// On success `cursor` stands at the start of the frame stream. A replay that ends early, holds
// more than 20 entries, an entry number outside 0..19 or a practice block of more than 500
// records is damaged: the failure says which and where.
[[nodiscard]] std::optional<ReadFailure> readReplayLaps(ByteCursor& cursor, EventStore& store,
                                                        int slotOffset, int gridNumber,
                                                        GridListener& listener);

}  // namespace vorlind
