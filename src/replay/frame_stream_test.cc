#include "replay/frame_stream.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "replay_builder.h"

namespace vorlind {
namespace {

using tools::CarItem;
using tools::StreamRecord;

// A record of `type` whose declared size is `size`, with size - 4 zero body bytes.
StreamRecord record(uint16_t type, uint16_t size) {
  return StreamRecord{type, size, std::vector<uint8_t>(size - 4u, 0)};
}

// Records of type 3 and size 8 that carry nothing of interest.
std::vector<StreamRecord> fillers(int count) {
  return std::vector<StreamRecord>(static_cast<size_t>(count), record(3, 8));
}

std::vector<StreamRecord> join(std::vector<StreamRecord> head,
                               const std::vector<StreamRecord>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// Walks one chunk that is the whole buffer.
class FrameStreamWalk : public ::testing::Test {
 protected:
  bool walk(const std::vector<StreamRecord>& records, uint16_t previousLength = 0) {
    bytes_ = tools::encodeChunk(records, previousLength);
    MemoryByteSource source(bytes_);
    return walkChunk(source, 0, chunk_);
  }

  std::vector<uint8_t> bytes_;
  ChunkView chunk_;
};

TEST(FrameStream, DecodesTwentySixBitPositionAndEntryNumber) {
  struct Case {
    std::array<uint8_t, 4> Stored;
    int32_t Position;
    int32_t Entry;
  };
  const Case cases[] = {
      {{0x01, 0x02, 0x03, 0x00}, 0x030201, 0},
      // Byte 3 = 0xFE: low bits 10 add 2 * 2^24, upper six bits are entry 63.
      {{0x00, 0x00, 0x00, 0xFE}, 2 * (1 << 24), 63},
      // 0x4D = 010011 01: bit 24 set, entry 19.
      {{0x10, 0x00, 0x00, 0x4D}, (1 << 24) + 0x10, 19},
      {{0xFF, 0xFF, 0xFF, 0xFF}, (1 << 26) - 1, 63},
      {{0x10, 0x27, 0x00, 0x04}, 10000, 1},
  };
  for (const Case& c : cases) {
    const CarPosition decoded = decodeCarPosition(c.Stored.data());
    EXPECT_EQ(decoded.TrackPosition, c.Position) << c.Position;
    EXPECT_EQ(decoded.EntryNumber, c.Entry) << c.Position;
  }
}

TEST(FrameStream, CarRecordHoldsSizeOverSixteenItems) {
  const std::pair<uint16_t, int> cases[] = {{10, 0}, {12, 0}, {15, 0}, {16, 1},
                                            {31, 1}, {32, 2}, {47, 2}, {48, 3}};
  for (const auto& [size, items] : cases) EXPECT_EQ(carItemCount(size), items) << size;
}

TEST_F(FrameStreamWalk, ReadsTheChunkHeaderAndTheStartFlag) {
  ASSERT_TRUE(walk({tools::startMarkerRecord(7), record(5, 8), tools::carRecord({{1, 10}})}, 321));
  // 8 header bytes, 8 + 8 lead bytes, car record 4 + 4 + 16.
  EXPECT_EQ(chunk_.Length, 48);
  EXPECT_EQ(chunk_.PreviousLength, 321);
  EXPECT_EQ(chunk_.FirstType, 13);
  EXPECT_EQ(chunk_.StartFlag, 7);
}

TEST_F(FrameStreamWalk, TypeFifteenFirstRecordIsTheOnlyLeadRecord) {
  // Lead record at 8, next record at 16: walked after a type 15 lead, skipped as the second
  // lead record otherwise.
  const uint16_t firstTypes[] = {15, 13, 14, 16, 1, 0};
  for (const uint16_t type : firstTypes) {
    SCOPED_TRACE(type);
    ASSERT_TRUE(walk({record(type, 8), tools::carRecord({{1, 10}})}));
    if (type == 15) {
      EXPECT_TRUE(chunk_.HasLastRecord);
      EXPECT_EQ(chunk_.LastBody, 20);
      EXPECT_EQ(chunk_.LastSize, 24);
    } else {
      EXPECT_FALSE(chunk_.HasLastRecord);
    }
  }
}

TEST_F(FrameStreamWalk, PositionRecordOnlyCountsInTheWalkedPart) {
  const std::vector<StreamRecord> tail = {tools::positionRecord(5000, 2), tools::carRecord({})};
  ASSERT_TRUE(walk(join({record(15, 8)}, tail)));
  EXPECT_TRUE(chunk_.HasPositionRecord);
  EXPECT_EQ(chunk_.PositionBody, 20);  // record at 16, body behind its 4-byte header
  ASSERT_TRUE(walk(join({record(2, 8)}, tail)));
  EXPECT_FALSE(chunk_.HasPositionRecord);
}

TEST_F(FrameStreamWalk, LaterPositionRecordReplacesEarlierAndOnlyTypeOneSizeThirtyTwoCounts) {
  // Lead 8..16, position records 16..48 and 48..80, then type 1 size 28 and type 2 size 32.
  ASSERT_TRUE(walk({record(15, 8), tools::positionRecord(1, 0), tools::positionRecord(2, 0),
                    record(1, 28), record(2, 32), tools::carRecord({})}));
  EXPECT_TRUE(chunk_.HasPositionRecord);
  EXPECT_EQ(chunk_.PositionBody, 52);
}

TEST_F(FrameStreamWalk, StepsOverPaddingOfEveryRecord) {
  // Lead of size 5 at 8 occupies 8 bytes, second lead of size 7 at 16 occupies 8, a record of
  // size 13 at 24 occupies 16, so the car record starts at 40 and its body at 44.
  ASSERT_TRUE(walk({record(2, 5), record(4, 7), record(6, 13), tools::carRecord({{1, 1}}, 3)}));
  EXPECT_EQ(chunk_.LastBody, 44);
  EXPECT_EQ(chunk_.LastSize, 4 + 4 + 16 + 3);
  EXPECT_EQ(chunk_.Length, 40 + 28);
}

TEST_F(FrameStreamWalk, HeaderEndingAtTheChunkEndIsNotARecord) {
  // A header-only record (size 4) at the very end: the read position after its header is the
  // chunk's end, so the car record before it stays the last record.
  ASSERT_TRUE(walk({record(15, 8), tools::carRecord({{1, 10}}), record(7, 4)}));
  EXPECT_EQ(chunk_.LastBody, 20);
  EXPECT_EQ(chunk_.LastSize, 24);
  // With 4 body bytes its header ends 4 bytes before the end and it is the last record.
  ASSERT_TRUE(walk({record(15, 8), tools::carRecord({{1, 10}}), record(7, 8)}));
  EXPECT_EQ(chunk_.LastBody, 44);
  EXPECT_EQ(chunk_.LastSize, 8);
}

TEST_F(FrameStreamWalk, WalkStopsAfterSeventyNineRecords) {
  // After the type 15 lead (8..16) every filler takes 8 bytes.
  ASSERT_TRUE(walk(join(join({record(15, 8)}, fillers(78)), {tools::carRecord({{1, 10}})})));
  EXPECT_EQ(chunk_.LastSize, 24) << "the car record is the 79th record";
  EXPECT_EQ(chunk_.LastBody, 16 + 78 * 8 + 4);

  ASSERT_TRUE(walk(join(join({record(15, 8)}, fillers(79)), {tools::carRecord({{1, 10}})})));
  EXPECT_EQ(chunk_.LastSize, 8) << "the 79th record is a filler; the car record is not read";
  EXPECT_EQ(chunk_.LastBody, 16 + 78 * 8 + 4);

  ASSERT_TRUE(walk(join(join({record(15, 8)}, fillers(79)), {tools::positionRecord(9, 0)})));
  EXPECT_FALSE(chunk_.HasPositionRecord) << "an 80th record is never looked at";
}

TEST_F(FrameStreamWalk, ChunkCutShortByTheEndOfTheSourceFails) {
  bytes_ = tools::encodeChunk({record(2, 8), record(3, 8), tools::carRecord({})}, 0);
  for (const size_t keep : {size_t{2}, size_t{10}, size_t{19}}) {
    std::vector<uint8_t> cut(bytes_.begin(), bytes_.begin() + static_cast<long>(keep));
    MemoryByteSource source(cut);
    EXPECT_FALSE(walkChunk(source, 0, chunk_)) << keep;
  }
}

TEST(FrameStream, ChainFollowsTheLengthFields) {
  std::vector<uint8_t> bytes(4, 0xAA);  // four bytes in front of the stream
  for (const int items : {0, 2, 1}) {
    std::vector<CarItem> cars(static_cast<size_t>(items), CarItem{1, 1});
    const std::vector<uint8_t> chunk =
        tools::encodeChunk({StreamRecord{15, 0, {0, 0, 0, 0}}, tools::carRecord(cars)}, 0);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  // Lengths 8 + 8 + (8 + 16 * items): 24, 56, 40.
  MemoryByteSource source(bytes);
  ChunkChain chain(source, 4);
  EXPECT_EQ(chain.chunkStart(2), 4 + 24 + 56);  // asked out of order first
  EXPECT_EQ(chain.chunkStart(0), 4);
  EXPECT_EQ(chain.chunkStart(1), 4 + 24);
  EXPECT_EQ(chain.chunkStart(3), 4 + 24 + 56 + 40) << "the end of the last chunk";
  EXPECT_EQ(chain.chunkStart(4), -1) << "no length field there";
  EXPECT_EQ(chain.chunkStart(-1), -1);
}

TEST(FrameStream, ChainBreaksAtALengthOfZero) {
  std::vector<uint8_t> bytes = tools::encodeChunk({record(15, 8), tools::carRecord({})}, 0);
  const std::vector<uint8_t> stuck = {0, 0, 16, 0, 0, 0, 0, 0};
  bytes.insert(bytes.end(), stuck.begin(), stuck.end());
  MemoryByteSource source(bytes);
  ChunkChain chain(source, 0);
  EXPECT_EQ(chain.chunkStart(1), 24);
  EXPECT_EQ(chain.chunkStart(2), -1);
  EXPECT_EQ(chain.chunkStart(7), -1);
}

}  // namespace
}  // namespace vorlind
