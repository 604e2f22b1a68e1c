#include "replay/frame_stream.h"

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

// Bytes at file offsets, served from one piece of memory that holds the chunk; a read outside
// it fails, and the walk is then done again through the source.
class MemoryBytes {
 public:
  MemoryBytes(const uint8_t* bytes, int64_t start, int64_t length)
      : bytes_(bytes), start_(start), length_(length) {}
  const uint8_t* at(int64_t offset, int count) {
    if (offset < start_ || offset - start_ > length_ - count) return nullptr;
    return bytes_ + (offset - start_);
  }

 private:
  const uint8_t* bytes_;
  int64_t start_;
  int64_t length_;
};

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

// Bytes a chunk walk usually reads: the chunk and the record header behind its last record.
constexpr int64_t kWalkSlack = 8;

template <typename Bytes>
bool walkChunkIn(Bytes& bytes, int64_t start, ChunkView& chunk) {
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

}  // namespace

bool walkChunk(ByteSource& source, int64_t start, ChunkView& chunk) {
  const uint8_t* length = source.peek(start, 2);
  if (length == nullptr) {
    SourceBytes file(source);
    return walkChunkIn(file, start, chunk);
  }
  const int64_t available = std::min<int64_t>(decodeU16(length) + kWalkSlack, source.size() - start);
  if (const uint8_t* bytes = source.peek(start, available)) {
    MemoryBytes memory(bytes, start, available);
    if (walkChunkIn(memory, start, chunk)) return true;
  }
  SourceBytes file(source);
  return walkChunkIn(file, start, chunk);
}

bool raiseToLargestPosition(ByteSource& source, int64_t first, int count, int32_t& maximum) {
  constexpr int64_t kItemSize = 16;
  if (count <= 0) return true;
  if (const uint8_t* items = source.peek(first, kItemSize * count)) {
    int32_t largest = maximum;
    for (int i = 0; i < count; ++i) largest = std::max(largest, decodeTrackPosition(items + kItemSize * i));
    maximum = largest;
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

int64_t ChunkChain::nextStart(int64_t start) {
  uint8_t copy[2];
  const uint8_t* bytes = source_.peek(start, 2);
  if (bytes == nullptr) bytes = source_.readAt(start, copy) ? copy : nullptr;
  if (bytes == nullptr || decodeU16(bytes) == 0) return -1;
  return start + decodeU16(bytes);
}

int64_t ChunkChain::chunkStart(int64_t index) {
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
