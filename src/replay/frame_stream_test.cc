#include "replay/frame_stream.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "replay_builder.h"

namespace vorlind {
namespace {

using tools::carRecord;
using tools::positionRecord;
using tools::StreamRecord;
using Records = std::vector<StreamRecord>;
using Last = std::pair<int64_t, int>;  // body offset and size of a chunk's last record

StreamRecord record(uint16_t type, uint16_t size) {
  return StreamRecord{type, size, std::vector<uint8_t>(size - 4u, 0)};
}

// A type 15 lead, `count` fillers of 8 bytes, then `last`.
Records afterFillers(int count, const StreamRecord& last) {
  Records records(static_cast<size_t>(count) + 1, record(3, 8));
  records.front() = record(15, 8);
  records.push_back(last);
  return records;
}

// Walks one chunk that is the whole buffer.
class FrameStreamWalk : public ::testing::Test {
 protected:
  bool walk(const Records& records, uint16_t previousLength = 0) {
    bytes_ = tools::encodeChunk(records, previousLength);
    MemoryByteSource source(bytes_);
    return walkChunk(source, 0, chunk_);
  }
  // Walks and returns where the last record's body starts and its size; {-1, -1} for none.
  Last last(const Records& records) {
    EXPECT_TRUE(walk(records));
    if (!chunk_.HasLastRecord) return {-1, -1};
    return {chunk_.LastBody, chunk_.LastSize};
  }
  // Walks and returns where the position record's body starts, -1 for none.
  int64_t position(const Records& records) {
    EXPECT_TRUE(walk(records));
    return chunk_.HasPositionRecord ? chunk_.PositionBody : -1;
  }

  std::vector<uint8_t> bytes_;
  ChunkView chunk_;
};

TEST(FrameStream, DecodesTwentySixBitPositionEntryNumberAndItemCount) {
  struct Case {
    std::array<uint8_t, 4> Stored;
    int32_t Position, Entry;
  };
  const Case cases[] = {
      {{0x01, 0x02, 0x03, 0x00}, 0x030201, 0},
      {{0x00, 0x00, 0x00, 0xFE}, 2 * (1 << 24), 63},     // low bits 10, entry 63
      {{0x10, 0x00, 0x00, 0x4D}, (1 << 24) + 0x10, 19},  // 010011 01
      {{0xFF, 0xFF, 0xFF, 0xFF}, (1 << 26) - 1, 63},
      {{0x10, 0x27, 0x00, 0x04}, 10000, 1},
  };
  for (const Case& c : cases) {
    const CarPosition decoded = decodeCarPosition(c.Stored.data());
    EXPECT_EQ(decoded.TrackPosition, c.Position) << c.Position;
    EXPECT_EQ(decoded.EntryNumber, c.Entry) << c.Position;
  }
  const std::pair<uint16_t, int> sizes[] = {{10, 0}, {12, 0}, {15, 0}, {16, 1},
                                            {31, 1}, {32, 2}, {47, 2}, {48, 3}};
  for (const auto& [size, items] : sizes) EXPECT_EQ(carItemCount(size), items) << size;
}

// Every item count up to nine with the largest position at every place: the grouped maximum
// must see each item once, also where the last group overlaps the one before it, and must not
// take the entry number bits for position bits.
TEST(FrameStream, LargestTrackPositionSeesEveryItem) {
  for (int count = 0; count <= 9; ++count) {
    for (int top = 0; top < count; ++top) {
      std::vector<uint8_t> items(16 * static_cast<size_t>(count), 0);
      for (int i = 0; i < count; ++i) {
        const uint32_t position = i == top ? 0x3000000u + 7u : 1000u + static_cast<uint32_t>(i);
        const uint32_t word = position | (uint32_t{63} << 26);
        for (int b = 0; b < 4; ++b) items[16 * i + b] = static_cast<uint8_t>(word >> (8 * b));
      }
      EXPECT_EQ(largestTrackPosition(items.data(), count, 5), 0x3000007)
          << count << " items, largest at " << top;
    }
    std::vector<uint8_t> low(16 * static_cast<size_t>(count), 1);
    EXPECT_EQ(largestTrackPosition(low.data(), count, 0x2000000), 0x2000000) << count << " items";
  }
}

TEST_F(FrameStreamWalk, HeaderStartFlagAndPadding) {
  ASSERT_TRUE(walk({tools::startMarkerRecord(7), record(5, 8), carRecord({{1, 10}})}, 321));
  EXPECT_EQ(chunk_.Length, 48);  // 8 header bytes, 8 + 8 lead, car record 4 + 4 + 16
  EXPECT_EQ(chunk_.PreviousLength, 321);
  EXPECT_EQ(chunk_.FirstType, 13);
  EXPECT_EQ(chunk_.StartFlag, 7);
  // Sizes 5, 7 and 13 occupy 8, 8 and 16 bytes: the car record's body starts at 44.
  EXPECT_EQ(last({record(2, 5), record(4, 7), record(6, 13), carRecord({{1, 1}}, 3)}),
            (Last{44, 27}));
  EXPECT_EQ(chunk_.Length, 40 + 28);
}

TEST_F(FrameStreamWalk, TypeFifteenIsTheOnlyLeadRecordOtherwiseTwo) {
  const uint16_t types[] = {15, 13, 14, 16, 1, 0};
  for (const uint16_t type : types) {
    const Last expected = type == 15 ? Last{20, 24} : Last{-1, -1};
    EXPECT_EQ(last({record(type, 8), carRecord({{1, 10}})}), expected) << type;
  }
  const Records tail = {positionRecord(5000, 2), carRecord({})};
  EXPECT_EQ(position({record(15, 8), tail[0], tail[1]}), 20);
  EXPECT_EQ(position({record(2, 8), tail[0], tail[1]}), -1);
}

TEST_F(FrameStreamWalk, OnlyTheLastTypeOneSizeThirtyTwoRecordIsThePositionRecord) {
  // Lead 8..16, position records 16..48 and 48..80, then type 1 size 28 and type 2 size 32.
  EXPECT_EQ(position({record(15, 8), positionRecord(1, 0), positionRecord(2, 0), record(1, 28),
                      record(2, 32), carRecord({})}),
            52);
}

TEST_F(FrameStreamWalk, HeaderEndingAtTheChunkEndIsNotARecord) {
  EXPECT_EQ(last({record(15, 8), carRecord({{1, 10}}), record(7, 4)}), (Last{20, 24}));
  // With 4 body bytes its header ends before the end and it is the last record.
  EXPECT_EQ(last({record(15, 8), carRecord({{1, 10}}), record(7, 8)}), (Last{44, 8}));
}

TEST_F(FrameStreamWalk, WalkStopsAfterSeventyNineRecords) {
  const int64_t body79 = 16 + 78 * 8 + 4;
  EXPECT_EQ(last(afterFillers(78, carRecord({{1, 10}}))), (Last{body79, 24}));
  EXPECT_EQ(last(afterFillers(79, carRecord({{1, 10}}))), (Last{body79, 8}));
  EXPECT_EQ(position(afterFillers(78, positionRecord(9, 0))), body79);
  EXPECT_EQ(position(afterFillers(79, positionRecord(9, 0))), -1);
}

TEST_F(FrameStreamWalk, ChunkCutShortByTheEndOfTheSourceFails) {
  const std::vector<uint8_t> whole =
      tools::encodeChunk({record(2, 8), record(3, 8), carRecord({})}, 0);
  for (const long keep : {2, 10, 19}) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + keep);
    MemoryByteSource source(cut);
    EXPECT_FALSE(walkChunk(source, 0, chunk_)) << keep;
  }
}

TEST(FrameStream, ChainFollowsTheLengthFieldsAndBreaksAtZero) {
  std::vector<uint8_t> bytes(4, 0xAA);    // four bytes in front of the stream
  for (const size_t items : {0, 2, 1}) {  // lengths 8 + 8 + (8 + 16 * items): 24, 56, 40
    const auto chunk = tools::encodeChunk(
        {StreamRecord{15, 0, {0, 0, 0, 0}}, carRecord(std::vector<tools::CarItem>(items, {1, 1}))},
        0);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  MemoryByteSource source(bytes);
  ChunkChain chain(source, 4);
  EXPECT_EQ(chain.chunkStart(2), 4 + 24 + 56);  // asked out of order first
  EXPECT_EQ(chain.chunkStart(0), 4);
  EXPECT_EQ(chain.chunkStart(1), 4 + 24);
  EXPECT_EQ(chain.chunkStart(3), 4 + 24 + 56 + 40) << "the end of the last chunk";
  EXPECT_EQ(chain.chunkStart(4), -1) << "no length field there";
  EXPECT_EQ(chain.chunkStart(-1), -1);

  std::vector<uint8_t> stuck = tools::encodeChunk({record(15, 8), carRecord({})}, 0);
  stuck.insert(stuck.end(), {0, 0, 16, 0, 0, 0, 0, 0});
  MemoryByteSource stuckSource(stuck);
  ChunkChain stuckChain(stuckSource, 0);
  EXPECT_EQ(stuckChain.chunkStart(1), 24);
  EXPECT_EQ(stuckChain.chunkStart(2), -1);
  EXPECT_EQ(stuckChain.chunkStart(7), -1);
}

TEST(FrameStream, ChainGrownByAWalkFindsWhatTheChainReadingLengthsFinds) {
  std::vector<uint8_t> bytes(4, 0xAA);
  for (size_t k = 0; k < 150; ++k) {  // past two strides of the chain's sparse index
    const auto chunk = tools::encodeChunk(
        {StreamRecord{15, 0, {0, 0, 0, 0}}, carRecord(std::vector<tools::CarItem>(k % 5, {1, 1}))},
        0);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  bytes.insert(bytes.end(), {0, 0, 0, 0});  // a chunk of length 0 ends the chain
  MemoryByteSource source(bytes);
  ChunkChain reading(source, 4);
  ChunkChain walked(source, 4);
  int64_t index = 0;
  for (int64_t start = 4; start >= 0; ++index) {
    const int64_t next = walked.nextChunkStart(index, start, decodeU16(&bytes[start]));
    EXPECT_EQ(next, reading.chunkStart(index + 1)) << index;
    start = next;
  }
  EXPECT_EQ(index, 151);
  for (const int64_t k : {149, 0, 64, 63, 128, 150, 151, 5}) {
    EXPECT_EQ(walked.chunkStart(k), reading.chunkStart(k)) << k;
  }
  EXPECT_EQ(walked.nextChunkStart(10, walked.chunkStart(10), 1), reading.chunkStart(11))
      << "a step behind the furthest chunk is looked up, not taken from the length given";
}

}  // namespace
}  // namespace vorlind
