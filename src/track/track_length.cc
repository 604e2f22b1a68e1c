#include "track/track_length.h"

#include <algorithm>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

// The car items of one walked chunk: where they are in memory (nullptr when they are not in one
// piece) and how many. Items that straddle two blocks of the file are copied, when there are
// not many of them.
struct ChunkItems {
  const uint8_t* Bytes = nullptr;
  int Count = 0;
  uint8_t Copy[64 * 16];
};

// Raises `maximum` to the largest track position that one walked chunk holds; false when a read
// runs past the end.
bool raiseToChunkMaximum(ByteSource& source, const ChunkView& chunk, int32_t& maximum,
                         ChunkItems& items) {
  if (chunk.HasPositionRecord) {
    uint8_t item[4];
    if (!source.readAt(chunk.PositionBody, item)) return false;
    maximum = std::max(maximum, decodeTrackPosition(item));
  }
  if (!chunk.HasLastRecord || chunk.LastSize < fmt::kCarRecordMinSize) return true;
  const int64_t first = chunk.LastBody + fmt::kCarItemsOffset;
  items.Count = carItemCount(chunk.LastSize);
  const int64_t length = fmt::kCarItemSize * items.Count;
  items.Bytes = source.peek(first, length);
  if (items.Bytes == nullptr && length <= static_cast<int64_t>(sizeof(items.Copy)) &&
      source.readAt(first, std::span<uint8_t>(items.Copy, static_cast<size_t>(length)))) {
    items.Bytes = items.Copy;
  }
  if (items.Bytes == nullptr) return raiseToLargestPosition(source, first, items.Count, maximum);
  int32_t largest = maximum;
  for (int i = 0; i < items.Count; ++i) {
    largest = std::max(largest, decodeTrackPosition(items.Bytes + fmt::kCarItemSize * i));
  }
  maximum = largest;
  return true;
}

}  // namespace

void searchTrackLength(ByteSource& source, ChunkChain& chain, EventStore& store,
                       std::ostream& console, ChunkObserver* observer) {
  console << "One moment please. The tool is searching for track length." << std::endl;
  const int64_t size = source.size();
  int32_t maximum = store.TrackLengthRaw;
  int64_t start = chain.chunkStart(0);
  for (int64_t index = 0; start >= 0 && start + fmt::kTrackScanTailGuard < size; ++index) {
    ChunkView chunk;
    ChunkItems items;
    int32_t chunkMaximum = maximum;
    if (!walkChunk(source, start, chunk) ||
        !raiseToChunkMaximum(source, chunk, chunkMaximum, items)) {
      break;
    }
    maximum = chunkMaximum;
    if (observer != nullptr) observer->observeChunk(index, chunk, items.Bytes, items.Count);
    start = chain.chunkStart(index + 1);
  }
  store.TrackLengthRaw = maximum;
  console << "track length=" << store.TrackLengthRaw / 2 << "mm" << std::endl;
}

}  // namespace vorlind
