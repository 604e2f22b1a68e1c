// Measures every driver's best race lap a second time, from the cars' track positions in the
// frame stream: the split times at the ends of the four quarters of the track and the lowest and
// highest speeds, over the lap and per sector. The lap is found by estimating its start from the
// lap records and looking for the line crossing in a window of 200 chunks around it.
#pragma once

#include <cstdint>
#include <ostream>

#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/frame_stream.h"

namespace vorlind {

// Measures entry numbers 1 to 19 of the grid at `slotOffset` whose race lap count is above 0,
// printing one message per measured driver. Needs store.TrackLengthRaw, ReplayFrameRate and
// ReplayFileSize of this replay.
void searchSectorTimes(ByteSource& source, ChunkChain& chain, EventStore& store, int slotOffset,
                       std::ostream& console);

// Converts to a 32-bit integer truncating toward zero; NaN and values out of range give INT_MIN.
int32_t truncateToInt32(double value);

}  // namespace vorlind
