// The frame stream behind the race section: one chunk per simulation frame, each a run of
// records whose last one holds the cars' position items. This module walks the records of one
// chunk the way both the track length search and the sector search need it, and keeps the chain
// of chunk starts so that "k chunks further on" costs a lookup instead of a walk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "replay/byte_source.h"

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
  int64_t PositionBody = 0;     // body start of the last type-1 record of size 32
};

// Reads the chunk header at `start` and walks its records: past the leading record (type 15) or
// the two leading records (any other type), then up to 79 record headers while a header ends
// before the chunk's end. False when any read runs past the end of the source.
[[nodiscard]] bool walkChunk(ByteSource& source, int64_t start, ChunkView& chunk);

// The 26-bit track position and the entry number stored in the first four bytes of a car
// position item.
struct CarPosition {
  int32_t TrackPosition = 0;
  int32_t EntryNumber = 0;
};
inline CarPosition decodeCarPosition(const uint8_t* item) {
  return CarPosition{static_cast<int32_t>(decodeU24(item) | ((item[3] & 0x3u) << 24)),
                     item[3] >> 2};
}

// Calls `onItem(index, const uint8_t* item)` for the first `count` 16-byte car items from
// `first`; false when an item is not there. `onItem` returns false to stop early; it must not
// read from the source, whose bytes it is handed without a copy.
template <typename OnItem>
bool forEachCarItem(ByteSource& source, int64_t first, int count, OnItem&& onItem) {
  constexpr int64_t kItemSize = 16;
  const uint8_t* items = count > 0 ? source.peek(first, kItemSize * count) : nullptr;
  for (int i = 0; i < count; ++i) {
    uint8_t copy[4];
    const uint8_t* item = items != nullptr ? items + kItemSize * i : copy;
    if (items == nullptr && !source.readAt(first + kItemSize * i, copy)) return false;
    if (!onItem(i, item)) return true;
  }
  return true;
}

// Number of car position items in a car record of the given size.
inline int carItemCount(uint16_t recordSize) { return recordSize / 16; }

// The start offsets of the chunks of one stream, found by following each chunk's length field
// from the stream start and extended on demand.
class ChunkChain {
 public:
  ChunkChain(ByteSource& source, int64_t streamStart);

  // Where chunk `index` starts (0 is the stream start); -1 when the chain breaks before it: a
  // length field past the end of the source, or a length of 0.
  int64_t chunkStart(int64_t index);

 private:
  ByteSource& source_;
  std::vector<int64_t> starts_;
  bool broken_ = false;
};

}  // namespace vorlind
