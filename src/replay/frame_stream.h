// The frame stream behind the race section: one chunk per simulation frame, each a run of
// records whose last one holds the cars' position items. This module walks the records of one
// chunk the way both the track length search and the sector search need it, views the chunk's
// car items, and keeps the chain of chunk starts so that "k chunks further on" costs a lookup
// instead of a walk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "replay/byte_source.h"
#include "replay/replay_format.h"

namespace vorlind {

// What the walk of one chunk found.
struct ChunkView {
  int64_t Start = 0;
  uint16_t Length = 0;          // bytes from Start to the next chunk
  uint16_t PreviousLength = 0;  // length of the chunk before, as this chunk states it
  uint16_t FirstType = 0;       // type of the chunk's first record
  uint8_t StartFlag = 0;        // first data byte of the first record
  bool HasLastRecord = false;   // the walk remembered at least one record
  int64_t LastBody = 0;         // body start of the last record remembered (the car record)
  uint16_t LastSize = 0;        // its size, header included
  bool HasPositionRecord = false;
  int64_t PositionBody = 0;  // body start of the last type-1 record of size 32
};

// Memory for the bytes of a view that crosses a block edge of a file.
struct StreamScratch {
  uint8_t Chunk[0xFFFF + 8];
  uint8_t Items[replay_format::kMaxCarItems * replay_format::kCarItemSize];
  uint8_t Field[16];
};

// Reads the chunk header at `start` and walks its records: past the leading record (type 15) or
// the two leading records (any other type), then up to 79 record headers while a header ends
// before the chunk's end. False when any read runs past the end of the source.
[[nodiscard]] bool walkChunk(ByteSource& source, int64_t start, ChunkView& chunk,
                             StreamScratch& scratch);

// The 26-bit track position and the entry number stored in the first four bytes of a car item.
inline int32_t decodeTrackPosition(const uint8_t* item) {
  return static_cast<int32_t>(decodeU32(item) & replay_format::kTrackPositionMask);
}
inline int decodeEntryNumber(const uint8_t* item) {
  return item[3] >> replay_format::kEntryNumberShift;
}

// Where the car items of a walked chunk lie: `Count` items of 16 bytes from `First`. A car record
// may claim more items than its chunk holds; they then run on over the chunks behind it.
struct CarItemRange {
  int64_t First = 0;
  int Count = 0;
  int64_t end() const { return First + replay_format::kCarItemSize * Count; }
};
inline CarItemRange carItemRange(const ChunkView& chunk) {
  if (!chunk.HasLastRecord) return {};
  return {chunk.LastBody + replay_format::kCarItemsOffset,
          replay_format::carItemCount(chunk.LastSize)};
}
// Of the items of `range`, how many have their first four bytes inside a source of `size` bytes:
// all of them, or those of items that run past its end.
inline int carItemsInside(const CarItemRange& range, int64_t size) {
  namespace fmt = replay_format;
  if (range.end() <= size) return range.Count;
  const int64_t left = size - range.First - fmt::kItemFieldSize;
  return left < 0 ? 0
                  : static_cast<int>(std::min<int64_t>(range.Count, left / fmt::kCarItemSize + 1));
}

// The car items of a walked chunk: `Count` items from `Bytes`, of which the last one may hold
// only its first four bytes. `Complete` is false when the record claims items that run past the
// end of the source: then only those whose first four bytes lie inside it are given.
struct CarItems {
  const uint8_t* Bytes = nullptr;
  int Count = 0;
  bool Complete = true;
};
inline CarItems viewCarItems(ByteSource& source, const ChunkView& chunk, StreamScratch& scratch) {
  namespace fmt = replay_format;
  const CarItemRange range = carItemRange(chunk);
  const int inside = carItemsInside(range, source.size());
  const bool complete = range.end() <= source.size();
  if (inside == 0) return {nullptr, 0, complete};
  const int64_t length = complete ? fmt::kCarItemSize * inside
                                  : fmt::kCarItemSize * (inside - 1) + fmt::kItemFieldSize;
  const uint8_t* bytes = source.view(range.First, length, scratch.Items);
  return {bytes, bytes == nullptr ? 0 : inside, complete};
}

// The largest of `floor` and the track positions of `count` car items in memory. Four running
// maxima let the loads of neighbouring items overlap instead of waiting on one another; the last
// four items are taken once more instead of a tail loop, as a maximum does not mind repeats.
inline int32_t largestTrackPosition(const uint8_t* items, int count, int32_t floor) {
  constexpr int64_t kItemSize = replay_format::kCarItemSize;
  auto larger = [](int32_t a, int32_t b) { return a > b ? a : b; };
  if (count < 4) {
    for (int i = 0; i < count; ++i)
      floor = larger(floor, decodeTrackPosition(items + kItemSize * i));
    return floor;
  }
  int32_t a = floor, b = floor, c = floor, d = floor;
  auto takeFour = [&](const uint8_t* item) {
    a = larger(a, decodeTrackPosition(item));
    b = larger(b, decodeTrackPosition(item + kItemSize));
    c = larger(c, decodeTrackPosition(item + 2 * kItemSize));
    d = larger(d, decodeTrackPosition(item + 3 * kItemSize));
  };
  for (int i = 0; i + 4 <= count; i += 4) takeFour(items + kItemSize * i);
  takeFour(items + kItemSize * (count - 4));
  return larger(larger(a, b), larger(c, d));
}

// Told of every chunk the track length scan walks, in stream order, so that a later search can
// keep what it needs from that one pass instead of reading the file again.
class ChunkObserver {
 public:
  virtual ~ChunkObserver() = default;
  // `index` counts chunks from the stream start; `items` are the chunk's car items, valid only
  // during the call. Returns the index of the next chunk the observer wants to be told of (above
  // `index`); the chunks before it are not shown to it.
  virtual int64_t observeChunk(int64_t index, const ChunkView& chunk, const CarItems& items) = 0;
};

// The start offsets of the chunks of one stream, found by following each chunk's length field
// from the stream start. It keeps the start of every 64th chunk, so that it stays small however
// many chunks a stream has, and finds any other by stepping at most 63 chunks from one of those.
class ChunkChain {
 public:
  ChunkChain(ByteSource& source, int64_t streamStart);

  // Where chunk `index` starts (0 is the stream start); -1 when the chain breaks before it: a
  // length field past the end of the source, or a length of 0.
  int64_t chunkStart(int64_t index);

  // chunkStart(index + 1) for a walk that has just read the length field, `length`, of chunk
  // `index` at `start`: the chain then grows without reading that field again.
  int64_t nextChunkStart(int64_t index, int64_t start, uint16_t length) {
    if (index != furthestIndex_ || start != furthestStart_ || broken_) return chunkStart(index + 1);
    return grow(length);
  }

 private:
  static constexpr int64_t kStride = 64;

  // The start of the chunk behind the one at `start`, or -1.
  int64_t nextStart(int64_t start);
  // Adds the chunk behind the furthest one, whose length field holds `length`.
  int64_t grow(uint16_t length) {
    if (length == 0) {
      broken_ = true;
      return -1;
    }
    ++furthestIndex_;
    furthestStart_ += length;
    if (furthestIndex_ % kStride == 0) strideStarts_.push_back(furthestStart_);
    return furthestStart_;
  }

  ByteSource& source_;
  std::vector<int64_t> strideStarts_;  // start of chunk kStride * i
  int64_t furthestIndex_ = 0;          // the furthest chunk found so far, and its start
  int64_t furthestStart_ = 0;
  bool broken_ = false;  // no chunk behind the furthest one
  uint8_t scratch_[2];
};

}  // namespace vorlind
