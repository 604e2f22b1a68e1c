// The frame stream behind the race section: one chunk per simulation frame, each a run of
// records whose last one holds the cars' position items. This module walks the records of one
// chunk the way both the track length search and the sector search need it, and keeps the chain
// of chunk starts so that "k chunks further on" costs a lookup instead of a walk.
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
  int64_t PositionBody = 0;     // body start of the last type-1 record of size 32
};

namespace frame_stream_detail {

// Bytes at file offsets, served from one piece of memory that holds the chunk; a read outside
// it fails, and the walk is then done again through the source.
class MemoryBytes {
 public:
  MemoryBytes(const uint8_t* bytes, int64_t start, int64_t length)
      : bytes_(bytes), start_(start), length_(length) {}
  const uint8_t* at(int64_t offset, int count) const {
    if (offset < start_ || offset - start_ > length_ - count) return nullptr;
    return bytes_ + (offset - start_);
  }

 private:
  const uint8_t* bytes_;
  int64_t start_;
  int64_t length_;
};

// Bytes a chunk walk usually reads: the chunk and the record header behind its last record.
inline constexpr int64_t kWalkSlack = 8;

template <typename Bytes>
bool walkChunkIn(Bytes& bytes, int64_t start, ChunkView& chunk) {
  namespace fmt = replay_format;
  chunk = ChunkView{};
  chunk.Start = start;
  const uint8_t* head = bytes.at(start, 4);
  if (head == nullptr) return false;
  chunk.Length = decodeU16(head);
  chunk.PreviousLength = decodeU16(head + fmt::kChunkPreviousLengthOffset);
  const int64_t end = start + chunk.Length;

  const int64_t first = start + fmt::kChunkFirstRecordOffset;
  const uint8_t* lead = bytes.at(first, 4);
  if (lead == nullptr) return false;
  chunk.FirstType = decodeU16(lead);
  const uint16_t firstSize = decodeU16(lead + 2);
  if (chunk.FirstType == fmt::kStartMarkerRecordType) {
    const uint8_t* flag = bytes.at(first + 4, 1);
    if (flag == nullptr) return false;
    chunk.StartFlag = *flag;
  }
  int64_t record = first + fmt::paddedRecordSize(firstSize);
  if (chunk.FirstType != fmt::kSingleLeadRecordType) {
    const uint8_t* size = bytes.at(record + 2, 2);
    if (size == nullptr) return false;
    record += fmt::paddedRecordSize(decodeU16(size));
  }

  for (int walked = 0; walked < fmt::kMaxWalkedRecords; ++walked) {
    const int64_t body = record + fmt::kRecordHeaderSize;
    if (body >= end) break;
    const uint8_t* header = bytes.at(record, 4);
    if (header == nullptr) return false;
    const uint16_t type = decodeU16(header);
    const uint16_t size = decodeU16(header + 2);
    chunk.HasLastRecord = true;
    chunk.LastBody = body;
    chunk.LastSize = size;
    if (type == fmt::kPositionRecordType && size == fmt::kPositionRecordSize) {
      chunk.HasPositionRecord = true;
      chunk.PositionBody = body;
    }
    record += fmt::paddedRecordSize(size);
  }
  return true;
}

// The walk through the source's reads, for a chunk that does not lie in memory in one piece.
[[nodiscard]] bool walkChunkFromSource(ByteSource& source, int64_t start, ChunkView& chunk);

}  // namespace frame_stream_detail

// Reads the chunk header at `start` and walks its records: past the leading record (type 15) or
// the two leading records (any other type), then up to 79 record headers while a header ends
// before the chunk's end. False when any read runs past the end of the source.
[[nodiscard]] inline bool walkChunk(ByteSource& source, int64_t start, ChunkView& chunk) {
  using namespace frame_stream_detail;
  if (const uint8_t* length = source.peek(start, 2)) {
    const int64_t available =
        std::min<int64_t>(decodeU16(length) + kWalkSlack, source.size() - start);
    if (const uint8_t* bytes = source.peek(start, available)) {
      MemoryBytes memory(bytes, start, available);
      if (walkChunkIn(memory, start, chunk)) return true;
    }
  }
  return walkChunkFromSource(source, start, chunk);
}

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

// The largest of `floor` and the track positions of `count` car items in memory. Four running
// maxima let the loads of neighbouring items overlap instead of waiting on one another; the last
// four items are taken once more instead of a tail loop, as a maximum does not mind repeats.
inline int32_t largestTrackPosition(const uint8_t* items, int count, int32_t floor) {
  constexpr int kItemSize = 16;
  auto larger = [](int32_t a, int32_t b) { return a > b ? a : b; };
  if (count < 4) {
    for (int i = 0; i < count; ++i) floor = larger(floor, decodeTrackPosition(items + kItemSize * i));
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

// Raises `maximum` to the largest track position of `count` car items from `first`; false when
// an item is not there.
bool raiseToLargestPosition(ByteSource& source, int64_t first, int count, int32_t& maximum);

// Number of car position items in a car record of the given size.
inline int carItemCount(uint16_t recordSize) { return recordSize / 16; }

// Told of every chunk the track length scan walks, in stream order, so that a later search can
// keep what it needs from that one pass instead of reading the file again.
class ChunkObserver {
 public:
  virtual ~ChunkObserver() = default;
  // `index` counts chunks from the stream start; `items` points at the chunk's `itemCount` car
  // items, or is nullptr when they did not lie in memory in one piece. Neither pointer outlives
  // the call. Returns the index of the next chunk the observer wants to be told of (above
  // `index`); the chunks before it are not shown to it.
  virtual int64_t observeChunk(int64_t index, const ChunkView& chunk, const uint8_t* items,
                               int itemCount) = 0;
};

// The start offsets of the chunks of one stream, found by following each chunk's length field
// from the stream start. It keeps the start of every 64th chunk, so that it stays small however
// many chunks a stream has, and finds any other by stepping at most 63 chunks from one of those.
class ChunkChain {
 public:
  ChunkChain(ByteSource& source, int64_t streamStart);

  // Where chunk `index` starts (0 is the stream start); -1 when the chain breaks before it: a
  // length field past the end of the source, or a length of 0. Asking for the chunk behind the
  // furthest one found, as a walk along the stream does, costs one read of a length field.
  int64_t chunkStart(int64_t index) {
    if (index == furthestIndex_ + 1 && !broken_ && index % kStride != 0) {
      const int64_t next = nextStart(furthestStart_);
      if (next >= 0) {
        furthestIndex_ = index;
        furthestStart_ = next;
        return next;
      }
    }
    return findChunkStart(index);
  }

  // chunkStart(index + 1) for a walk that has just read the length field, `length`, of chunk
  // `index` at `start`: the chain then grows without reading that field again.
  int64_t nextChunkStart(int64_t index, int64_t start, uint16_t length) {
    if (index != furthestIndex_ || start != furthestStart_ || broken_) return chunkStart(index + 1);
    if (length == 0) {
      broken_ = true;
      return -1;
    }
    furthestIndex_ = index + 1;
    furthestStart_ = start + length;
    if (furthestIndex_ % kStride == 0) strideStarts_.push_back(furthestStart_);
    return furthestStart_;
  }

 private:
  static constexpr int64_t kStride = 64;

  // The start of the chunk behind the one at `start`, or -1.
  int64_t nextStart(int64_t start) {
    if (const uint8_t* bytes = source_.peek(start, 2)) {
      const uint16_t length = decodeU16(bytes);
      return length == 0 ? -1 : start + length;
    }
    return nextStartFromSource(start);
  }
  int64_t nextStartFromSource(int64_t start);
  int64_t findChunkStart(int64_t index);

  ByteSource& source_;
  std::vector<int64_t> strideStarts_;  // start of chunk kStride * i
  int64_t furthestIndex_ = 0;          // the furthest chunk found so far, and its start
  int64_t furthestStart_ = 0;
  bool broken_ = false;                // no chunk behind the furthest one
};

}  // namespace vorlind
