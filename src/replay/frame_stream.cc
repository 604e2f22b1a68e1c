#include "replay/frame_stream.h"

#include "replay/replay_format.h"

namespace vorlind {

namespace frame_stream_detail {

namespace {

class SourceBytes {
 public:
  explicit SourceBytes(ByteSource& source) : source_(source) {}
  const uint8_t* at(int64_t offset, int count) {
    return source_.readAt(offset, std::span<uint8_t>(copy_, static_cast<size_t>(count))) ? copy_
                                                                                          : nullptr;
  }

 private:
  ByteSource& source_;
  uint8_t copy_[8];
};

}  // namespace

bool walkChunkFromSource(ByteSource& source, int64_t start, ChunkView& chunk) {
  SourceBytes file(source);
  return walkChunkIn(file, start, chunk);
}

}  // namespace frame_stream_detail

bool raiseToLargestPosition(ByteSource& source, int64_t first, int count, int32_t& maximum) {
  constexpr int64_t kItemSize = 16;
  if (count <= 0) return true;
  if (const uint8_t* items = source.peek(first, kItemSize * count)) {
    maximum = largestTrackPosition(items, count, maximum);
    return true;
  }
  for (int i = 0; i < count; ++i) {
    uint8_t item[4];
    if (!source.readAt(first + kItemSize * i, item)) return false;
    maximum = std::max(maximum, decodeTrackPosition(item));
  }
  return true;
}

ChunkChain::ChunkChain(ByteSource& source, int64_t streamStart)
    : source_(source), furthestStart_(streamStart) {
  strideStarts_.push_back(streamStart);
}

int64_t ChunkChain::nextStartFromSource(int64_t start) {
  uint8_t bytes[2];
  if (!source_.readAt(start, bytes) || decodeU16(bytes) == 0) return -1;
  return start + decodeU16(bytes);
}

int64_t ChunkChain::findChunkStart(int64_t index) {
  if (index < 0) return -1;
  if (index <= furthestIndex_) {
    int64_t start = strideStarts_[static_cast<size_t>(index / kStride)];
    for (int64_t i = index / kStride * kStride; i < index; ++i) start = nextStart(start);
    return start;
  }
  while (furthestIndex_ < index && !broken_) {
    const int64_t next = nextStart(furthestStart_);
    if (next < 0) {
      broken_ = true;
      break;
    }
    ++furthestIndex_;
    furthestStart_ = next;
    if (furthestIndex_ % kStride == 0) strideStarts_.push_back(next);
  }
  return furthestIndex_ == index ? furthestStart_ : -1;
}

}  // namespace vorlind
