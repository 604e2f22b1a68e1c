#include "replay/frame_stream.h"

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

bool walkChunk(ByteSource& source, int64_t start, ChunkView& chunk) {
  chunk = ChunkView{};
  chunk.Start = start;
  ByteCursor cursor(source);
  cursor.seek(start);
  chunk.Length = cursor.readU16();
  chunk.PreviousLength = cursor.readU16();
  cursor.skip(4);
  const int64_t end = start + chunk.Length;

  const int64_t first = start + fmt::kChunkFirstRecordOffset;
  cursor.seek(first);
  chunk.FirstType = cursor.readU16();
  const uint16_t firstSize = cursor.readU16();
  if (chunk.FirstType == fmt::kStartMarkerRecordType) {
    chunk.StartFlag = cursor.readU8();
  }
  int64_t record = first + fmt::paddedRecordSize(firstSize);
  if (chunk.FirstType != fmt::kSingleLeadRecordType) {
    cursor.seek(record + 2);
    record += fmt::paddedRecordSize(cursor.readU16());
  }
  if (cursor.failed()) return false;

  for (int walked = 0; walked < fmt::kMaxWalkedRecords; ++walked) {
    cursor.seek(record);
    const uint16_t type = cursor.readU16();
    const uint16_t size = cursor.readU16();
    if (cursor.position() >= end) break;
    if (cursor.failed()) return false;
    chunk.HasLastRecord = true;
    chunk.LastBody = cursor.position();
    chunk.LastSize = size;
    if (type == fmt::kPositionRecordType && size == fmt::kPositionRecordSize) {
      chunk.HasPositionRecord = true;
      chunk.PositionBody = cursor.position();
    }
    record += fmt::paddedRecordSize(size);
  }
  chunk.ReadEnd = cursor.position();
  return true;
}

CarPosition decodeCarPosition(const uint8_t* item) {
  CarPosition position;
  position.TrackPosition =
      static_cast<int32_t>(decodeU24(item) | ((item[3] & fmt::kTrackPositionHighMask) << 24));
  position.EntryNumber = item[3] >> fmt::kEntryNumberShift;
  return position;
}

ChunkChain::ChunkChain(ByteSource& source, int64_t streamStart) : source_(source) {
  starts_.push_back(streamStart);
}

int64_t ChunkChain::chunkStart(int64_t index) {
  if (index < 0) return -1;
  while (static_cast<int64_t>(starts_.size()) <= index && !broken_) {
    const int64_t last = starts_.back();
    uint8_t bytes[2];
    if (!source_.readAt(last, bytes) || decodeU16(bytes) == 0) {
      broken_ = true;
      break;
    }
    starts_.push_back(last + decodeU16(bytes));
  }
  if (static_cast<int64_t>(starts_.size()) <= index) return -1;
  return starts_[static_cast<size_t>(index)];
}

}  // namespace vorlind
