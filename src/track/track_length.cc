#include "track/track_length.h"

#include <algorithm>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

// The largest track position over the car items of the chunks scanned so far, each item taken
// once. The items of a car record that claims more than its chunk holds run on over the chunks
// behind it, so that in a crafted stream every byte could be an item of thousands of chunks.
// Items lie in 16 lanes by their offset modulo 16. The first item of each chunk lies further on
// than that of the chunk before (it starts behind that chunk's last record header), so the items
// a lane has given so far cover one run up to the furthest end, and a chunk's items need to be
// taken only from there on: the scan costs no more than the bytes it covers.
class TrackPositionLanes {
 public:
  explicit TrackPositionLanes(int32_t floor) : maximum_(floor) {}

  void takePosition(int32_t position) { maximum_ = std::max(maximum_, position); }

  // Takes the items of `range` not taken before; false when they cannot be viewed.
  bool takeItems(ByteSource& source, const CarItemRange& range, StreamScratch& scratch) {
    if (range.Count == 0) return true;
    int64_t& laneEnd = laneEnds_[static_cast<uint64_t>(range.First) % fmt::kCarItemSize];
    const int64_t from = std::max(range.First, laneEnd);
    if (from >= range.end()) return true;
    const uint8_t* items = source.view(from, range.end() - from, scratch.Items);
    if (items == nullptr) return false;
    const auto count = static_cast<int>((range.end() - from) / fmt::kCarItemSize);
    maximum_ = largestTrackPosition(items, count, maximum_);
    laneEnd = range.end();
    return true;
  }

  int32_t maximum() const { return maximum_; }

 private:
  int32_t maximum_;
  int64_t laneEnds_[fmt::kCarItemSize] = {};
};

}  // namespace

int64_t searchTrackLength(ByteSource& source, ChunkChain& chain, EventStore& store,
                          StreamScratch& scratch, ChunkObserver* observer) {
  // Chunks starting at or behind this offset lie within the last 10000 bytes and are not scanned.
  const int64_t scanEnd = source.size() - fmt::kTrackScanTailGuard;
  TrackPositionLanes lanes(store.TrackLengthRaw);
  int64_t nextObserved = 0;
  int64_t index = 0;
  for (int64_t start = chain.chunkStart(0); start >= 0 && start < scanEnd; ++index) {
    ChunkView chunk;
    if (!walkChunk(source, start, chunk, scratch)) break;
    // A chunk whose items run past the end of the file ends the scan before any of it counts.
    const CarItemRange range = carItemRange(chunk);
    if (range.end() > source.size()) break;
    if (chunk.HasPositionRecord) {
      const uint8_t* item = source.view(chunk.PositionBody, fmt::kItemFieldSize, scratch.Field);
      if (item == nullptr) break;
      lanes.takePosition(decodeTrackPosition(item));
    }
    if (!lanes.takeItems(source, range, scratch)) break;
    if (observer != nullptr && index >= nextObserved) {
      nextObserved = observer->observeChunk(index, chunk, viewCarItems(source, chunk, scratch));
    }
    start = chain.nextChunkStart(index, start, chunk.Length);
  }
  store.TrackLengthRaw = lanes.maximum();
  return index;
}

}  // namespace vorlind
