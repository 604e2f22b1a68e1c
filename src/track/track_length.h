// The track length is not stored in a replay: it is the largest track position that any car
// reaches in the frame stream. The search scans every chunk that starts more than 10000 bytes
// before the end of the file and keeps the largest position in TrackLengthRaw for the event.
#pragma once

#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/frame_stream.h"

namespace vorlind {

// Scans the stream whose chunks `chain` lists and raises store.TrackLengthRaw. A chunk length of
// 0 or a read past the end ends the scan. Every chunk walked whole is shown to `observer`, when
// one is given. Returns the number of chunks walked whole.
int64_t searchTrackLength(ByteSource& source, ChunkChain& chain, EventStore& store,
                          StreamScratch& scratch, ChunkObserver* observer = nullptr);

}  // namespace vorlind
