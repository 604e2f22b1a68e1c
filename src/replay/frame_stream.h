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
inline int32_t decodeTrackPosition(const uint8_t* item) {
  return static_cast<int32_t>(decodeU32(item) & 0x03FFFFFFu);
}
inline int decodeEntryNumber(const uint8_t* item) { return item[3] >> 2; }
inline CarPosition decodeCarPosition(const uint8_t* item) {
  return CarPosition{decodeTrackPosition(item), decodeEntryNumber(item)};
}

// Raises `maximum` to the largest track position of `count` car items from `first`; false when
// an item is not there.
bool raiseToLargestPosition(ByteSource& source, int64_t first, int count, int32_t& maximum);


// Number of car position items in a car record of the given size.
inline int carItemCount(uint16_t recordSize) { return recordSize / 16; }

// The start offsets of the chunks of one stream, found by following each chunk's length field
// from the stream start. It keeps the start of every 64th chunk, so that it stays small however
// many chunks a stream has, and finds any other by stepping at most 63 chunks from one of those.
class ChunkChain {
 public:
  ChunkChain(ByteSource& source, int64_t streamStart);

  // Where chunk `index` starts (0 is the stream start); -1 when the chain breaks before it: a
  // length field past the end of the source, or a length of 0.
  int64_t chunkStart(int64_t index);

 private:
  static constexpr int64_t kStride = 64;

  // The start of the chunk behind the one at `start`, or -1.
  int64_t nextStart(int64_t start);

  ByteSource& source_;
  std::vector<int64_t> strideStarts_;  // start of chunk kStride * i
  int64_t furthestIndex_ = 0;          // the furthest chunk found so far, and its start
  int64_t furthestStart_ = 0;
  bool broken_ = false;                // no chunk behind the furthest one
};

}  // namespace vorlind
