#include "track/track_length.h"

#include <algorithm>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

// The largest track position that one walked chunk holds; false when a read runs past the end.
bool chunkMaximum(ByteSource& source, const ChunkView& chunk, int32_t& maximum) {
  uint8_t item[4];
  if (chunk.HasPositionRecord) {
    if (!source.readAt(chunk.PositionBody, item)) return false;
    maximum = std::max(maximum, decodeTrackPosition(item));
  }
  if (!chunk.HasLastRecord || chunk.LastSize < fmt::kCarRecordMinSize) return true;
  return raiseToLargestPosition(source, chunk.LastBody + fmt::kCarItemsOffset,
                                carItemCount(chunk.LastSize), maximum);
}

}  // namespace

void searchTrackLength(ByteSource& source, ChunkChain& chain, EventStore& store,
                       std::ostream& console) {
  console << "One moment please. The tool is searching for track length." << std::endl;
  const int64_t size = source.size();
  for (int64_t index = 0;; ++index) {
    const int64_t start = chain.chunkStart(index);
    if (start < 0 || start + fmt::kTrackScanTailGuard >= size) break;
    ChunkView chunk;
    int32_t maximum = store.TrackLengthRaw;
    if (!walkChunk(source, start, chunk) || !chunkMaximum(source, chunk, maximum)) break;
    store.TrackLengthRaw = maximum;
  }
  console << "track length=" << store.TrackLengthRaw / 2 << "mm" << std::endl;
}

}  // namespace vorlind
