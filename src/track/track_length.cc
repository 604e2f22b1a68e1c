#include "track/track_length.h"

#include <algorithm>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;
using frame_stream_detail::MemoryBytes;

namespace {

// The car items of one walked chunk: where they are in memory (nullptr when they are not in one
// piece) and how many. Items that straddle two blocks of the file are copied, when there are
// not many of them.
struct ChunkItems {
  const uint8_t* Bytes = nullptr;
  int Count = 0;
  uint8_t Copy[64 * 16];
};

// Where the car items of a walked chunk begin and how many there are; a count of 0 when the
// chunk has no car record.
struct ItemRange {
  int64_t First = 0;
  int Count = 0;
};
ItemRange carItemsOf(const ChunkView& chunk) {
  if (!chunk.HasLastRecord || chunk.LastSize < fmt::kCarRecordMinSize) return {};
  return {chunk.LastBody + fmt::kCarItemsOffset, carItemCount(chunk.LastSize)};
}

// Raises `maximum` to the largest track position of a walked chunk that lies in `memory` with
// its items; false, with nothing changed, when it does not.
bool raiseToChunkMaximumIn(const MemoryBytes& memory, const ChunkView& chunk, int32_t& maximum,
                           ChunkItems& items) {
  int32_t largest = maximum;
  if (chunk.HasPositionRecord) {
    const uint8_t* item = memory.at(chunk.PositionBody, 4);
    if (item == nullptr) return false;
    largest = std::max(largest, decodeTrackPosition(item));
  }
  const ItemRange range = carItemsOf(chunk);
  if (range.Count > 0) {
    items.Bytes = memory.at(range.First, static_cast<int>(fmt::kCarItemSize * range.Count));
    if (items.Bytes == nullptr) return false;
    items.Count = range.Count;
    largest = largestTrackPosition(items.Bytes, items.Count, largest);
  }
  maximum = largest;
  return true;
}

// The same through the source's reads, for a chunk that does not lie in memory in one piece;
// false when a read runs past the end.
bool raiseToChunkMaximum(ByteSource& source, const ChunkView& chunk, int32_t& maximum,
                         ChunkItems& items) {
  if (chunk.HasPositionRecord) {
    uint8_t item[4];
    if (!source.readAt(chunk.PositionBody, item)) return false;
    maximum = std::max(maximum, decodeTrackPosition(item));
  }
  const ItemRange range = carItemsOf(chunk);
  if (range.Count == 0) return true;
  items.Count = range.Count;
  const int64_t length = fmt::kCarItemSize * range.Count;
  items.Bytes = source.peek(range.First, length);
  if (items.Bytes == nullptr && length <= static_cast<int64_t>(sizeof(items.Copy)) &&
      source.readAt(range.First, std::span<uint8_t>(items.Copy, static_cast<size_t>(length)))) {
    items.Bytes = items.Copy;
  }
  if (items.Bytes == nullptr) return raiseToLargestPosition(source, range.First, range.Count, maximum);
  maximum = largestTrackPosition(items.Bytes, items.Count, maximum);
  return true;
}

}  // namespace

void searchTrackLength(ByteSource& source, ChunkChain& chain, EventStore& store,
                       std::ostream& console, ChunkObserver* observer) {
  console << "One moment please. The tool is searching for track length." << std::endl;
  // Chunks starting at or behind this offset lie within the last 10000 bytes and are not scanned.
  const int64_t scanEnd = source.size() - fmt::kTrackScanTailGuard;
  int32_t maximum = store.TrackLengthRaw;
  int64_t nextObserved = 0;
  int64_t index = 0;
  int64_t start = chain.chunkStart(0);
  while (start >= 0 && start < scanEnd) {
    // The chunks that lie in the same piece of memory are walked there without a read each;
    // a chunk that reaches past it, or past the end, takes the source's reads.
    const std::span<const uint8_t> run = source.peekRun(start);
    const MemoryBytes memory(run.data(), start, static_cast<int64_t>(run.size()));
    ChunkView chunk;
    ChunkItems items;
    int32_t chunkMaximum = maximum;
    if (!frame_stream_detail::walkChunkIn(memory, start, chunk) ||
        !raiseToChunkMaximumIn(memory, chunk, chunkMaximum, items)) {
      items.Bytes = nullptr;
      items.Count = 0;
      if (!walkChunk(source, start, chunk) ||
          !raiseToChunkMaximum(source, chunk, chunkMaximum, items)) {
        break;
      }
    }
    maximum = chunkMaximum;
    if (observer != nullptr && index >= nextObserved) {
      nextObserved = observer->observeChunk(index, chunk, items.Bytes, items.Count);
    }
    start = chain.nextChunkStart(index, start, chunk.Length);
    ++index;
  }
  store.TrackLengthRaw = maximum;
  console << "track length=" << store.TrackLengthRaw / 2 << "mm" << std::endl;
}

}  // namespace vorlind
