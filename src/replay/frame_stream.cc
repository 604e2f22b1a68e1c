#include "replay/frame_stream.h"

#include <algorithm>
#include <cstring>

namespace vorlind {

namespace fmt = replay_format;

namespace {

// The bytes a chunk walk reads: the chunk and the record header behind it, viewed once, usually
// in place. A field elsewhere (of a chunk whose lead records claim more than it holds) is viewed
// on its own, and the chunk again after it.
class ChunkBytes {
 public:
  ChunkBytes(ByteSource& source, StreamScratch& scratch, int64_t start)
      : source_(source), scratch_(scratch), start_(start) {}

  // Views the chunk whose first four bytes are there; nullptr when they are not.
  const uint8_t* viewHead() {
    bytes_ = source_.viewAtLeast(start_, 4, scratch_.Chunk);
    if (bytes_.empty()) return nullptr;
    wanted_ = std::min<int64_t>(decodeU16(bytes_.data()) + kSlack, source_.size() - start_);
    if (static_cast<int64_t>(bytes_.size()) < wanted_) viewChunk();
    return bytes_.data();
  }

  const uint8_t* at(int64_t offset, int count) {
    if (offset >= start_ && offset - start_ <= static_cast<int64_t>(bytes_.size()) - count) {
      return bytes_.data() + (offset - start_);
    }
    return atElsewhere(offset, count);
  }

 private:
  // Bytes behind the chunk that a walk may read: the lead record of a chunk that is too short
  // to hold it.
  static constexpr int64_t kSlack = 8;

  void viewChunk() { bytes_ = source_.viewAtLeast(start_, wanted_, scratch_.Chunk); }

  const uint8_t* atElsewhere(int64_t offset, int count) {
    const uint8_t* field = source_.view(offset, count, scratch_.Field);
    if (field == nullptr) return nullptr;
    if (field != scratch_.Field) std::memcpy(scratch_.Field, field, static_cast<size_t>(count));
    viewChunk();
    return scratch_.Field;
  }

  ByteSource& source_;
  StreamScratch& scratch_;
  int64_t start_;
  int64_t wanted_ = 0;
  std::span<const uint8_t> bytes_;
};

}  // namespace

bool walkChunk(ByteSource& source, int64_t start, ChunkView& chunk, StreamScratch& scratch) {
  chunk = ChunkView{};
  chunk.Start = start;
  ChunkBytes bytes(source, scratch, start);
  const uint8_t* head = bytes.viewHead();
  if (head == nullptr) return false;
  chunk.Length = decodeU16(head);
  chunk.PreviousLength = decodeU16(head + fmt::kChunkPreviousLengthOffset);
  const int64_t end = start + chunk.Length;

  const int64_t first = start + fmt::kChunkFirstRecordOffset;
  const uint8_t* lead = bytes.at(first, fmt::kRecordHeaderSize);
  if (lead == nullptr) return false;
  chunk.FirstType = decodeU16(lead);
  int64_t record = first + fmt::paddedRecordSize(decodeU16(lead + 2));
  if (chunk.FirstType == fmt::kStartMarkerRecordType) {
    const uint8_t* flag = bytes.at(first + fmt::kRecordHeaderSize, 1);
    if (flag == nullptr) return false;
    chunk.StartFlag = *flag;
  }
  if (chunk.FirstType != fmt::kSingleLeadRecordType) {
    const uint8_t* size = bytes.at(record + 2, 2);
    if (size == nullptr) return false;
    record += fmt::paddedRecordSize(decodeU16(size));
  }

  for (int walked = 0; walked < fmt::kMaxWalkedRecords; ++walked) {
    const int64_t body = record + fmt::kRecordHeaderSize;
    if (body >= end) break;
    const uint8_t* header = bytes.at(record, fmt::kRecordHeaderSize);
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

ChunkChain::ChunkChain(ByteSource& source, int64_t streamStart)
    : source_(source), furthestStart_(streamStart) {
  strideStarts_.push_back(streamStart);
}

int64_t ChunkChain::nextStart(int64_t start) {
  const uint8_t* bytes = source_.view(start, 2, scratch_);
  if (bytes == nullptr || decodeU16(bytes) == 0) return -1;
  return start + decodeU16(bytes);
}

int64_t ChunkChain::chunkStart(int64_t index) {
  if (index < 0) return -1;
  if (index <= furthestIndex_) {
    int64_t start = strideStarts_[static_cast<size_t>(index / kStride)];
    for (int64_t i = index / kStride * kStride; i < index && start >= 0; ++i) {
      start = nextStart(start);
    }
    return start;
  }
  while (furthestIndex_ < index && !broken_) {
    const uint8_t* bytes = source_.view(furthestStart_, 2, scratch_);
    if (bytes == nullptr) {
      broken_ = true;
      break;
    }
    grow(decodeU16(bytes));
  }
  return furthestIndex_ == index ? furthestStart_ : -1;
}

}  // namespace vorlind
