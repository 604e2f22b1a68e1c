#include "track/track_length.h"

#include <algorithm>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

int64_t searchTrackLength(ByteSource& source, ChunkChain& chain, EventStore& store,
                          StreamScratch& scratch, ChunkObserver* observer) {
  // Chunks starting at or behind this offset lie within the last 10000 bytes and are not scanned.
  const int64_t scanEnd = source.size() - fmt::kTrackScanTailGuard;
  int32_t maximum = store.TrackLengthRaw;
  int64_t nextObserved = 0;
  int64_t index = 0;
  for (int64_t start = chain.chunkStart(0); start >= 0 && start < scanEnd; ++index) {
    ChunkView chunk;
    if (!walkChunk(source, start, chunk, scratch)) break;
    int32_t chunkMaximum = maximum;
    if (chunk.HasPositionRecord) {
      const uint8_t* item = source.view(chunk.PositionBody, fmt::kItemFieldSize, scratch.Field);
      if (item == nullptr) break;
      chunkMaximum = std::max(chunkMaximum, decodeTrackPosition(item));
    }
    const CarItems items = viewCarItems(source, chunk, scratch);
    if (!items.Complete) break;
    maximum = largestTrackPosition(items.Bytes, items.Count, chunkMaximum);
    if (observer != nullptr && index >= nextObserved) {
      nextObserved = observer->observeChunk(index, chunk, items);
    }
    start = chain.nextChunkStart(index, start, chunk.Length);
  }
  store.TrackLengthRaw = maximum;
  return index;
}

}  // namespace vorlind
