#include "replay/frame_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "replay_builder.h"

namespace vorlind {
namespace {

using tools::carRecord;
using tools::positionRecord;
using Records = std::vector<tools::StreamRecord>;

tools::StreamRecord record(uint16_t type, uint16_t size, uint8_t first = 0) {
  std::vector<uint8_t> body(size - 4u, 0);
  if (!body.empty()) body[0] = first;
  return {type, size, body};
}
const tools::StreamRecord kOneCar = carRecord({{1, 10}});  // size 24

// A type 15 lead, `count` records of 8 bytes, then `last`.
Records afterFillers(int count, const tools::StreamRecord& last) {
  Records records(static_cast<size_t>(count) + 1, record(3, 8));
  records.front() = record(15, 8);
  records.push_back(last);
  return records;
}

TEST(FrameStream, WalkFindsTheStartFlagAndTheCarAndPositionRecords) {
  // The chunk header is 8 bytes; a record's header 4, its body padded to a multiple of 4.
  const int64_t kBody79 = 16 + 78 * 8 + 4;  // the 79th record after a lead of 8 bytes
  // Position records at 16 and 48, then type 1 of size 28 and type 2 of size 32.
  const Records lastPosition = {record(15, 8), positionRecord(1, 0), positionRecord(2, 0),
                                record(1, 28), record(2, 32),        kOneCar};
  struct Case {
    Records Chunk;
    uint8_t Flag;
    int64_t LastBody;  // the body start and size of the last record; -1: none
    int LastSize;
    int64_t PositionBody;  // -1: none
  };
  const Case kCases[] = {
      {{record(15, 8, 9), kOneCar}, 0, 20, 24, -1},
      {{record(13, 8, 7), kOneCar}, 7, -1, 0, -1},
      {{record(16, 8, 9), kOneCar}, 0, -1, 0, -1},
      {{record(2, 8), positionRecord(5, 2), kOneCar}, 0, 52, 24, -1},
      {{record(2, 5), record(4, 7), record(6, 13), carRecord({{1, 1}}, 3)}, 0, 44, 27, -1},
      {lastPosition, 0, 144, 24, 52},
      {{record(15, 8), kOneCar, record(7, 4)}, 0, 20, 24, -1},
      {{record(15, 8), kOneCar, record(7, 8)}, 0, 44, 8, -1},
      {afterFillers(78, positionRecord(9, 0)), 0, kBody79, 32, kBody79},
      {afterFillers(79, positionRecord(9, 0)), 0, kBody79, 8, -1}};
  const auto scratch = std::make_unique<StreamScratch>();
  for (size_t row = 0; row < std::size(kCases); ++row) {
    SCOPED_TRACE(row);
    const Case& c = kCases[row];
    const std::vector<uint8_t> bytes = tools::encodeChunk(c.Chunk, 0);
    MemoryByteSource source(bytes);
    ChunkView chunk;
    ASSERT_TRUE(walkChunk(source, 0, chunk, *scratch));
    EXPECT_EQ(chunk.StartFlag, c.Flag);
    EXPECT_EQ(chunk.HasLastRecord ? chunk.LastBody : -1, c.LastBody);
    EXPECT_EQ(chunk.HasLastRecord ? chunk.LastSize : 0, c.LastSize);
    EXPECT_EQ(chunk.HasPositionRecord ? chunk.PositionBody : -1, c.PositionBody);
  }
}

TEST(FrameStream, WalkFailsWhereTheSourceEndsAndViewsTheCarItemsInside) {
  // Start marker 8..16, second lead 16..24; the car record's header ends at 28, its items start
  // at 32, 48 and 64, and the chunk ends at 80.
  const std::vector<uint8_t> whole =
      tools::encodeChunk({record(13, 8, 1), record(3, 8),
                          carRecord({{19, (1 << 24) + 16}, {63, (1 << 26) - 1}, {0, 7}})},
                         0);
  const int32_t kPositions[] = {(1 << 24) + 16, (1 << 26) - 1, 7};
  const int kEntries[] = {19, 63, 0};
  const auto scratch = std::make_unique<StreamScratch>();
  // Bytes kept, and the items then viewed; -1: the walk fails.
  const int kKeep[] = {2, 10, 12, 19, 27, 28, 35, 36, 52, 67, 68, 80};
  const int kCount[] = {-1, -1, -1, -1, -1, 0, 0, 1, 2, 2, 3, 3};
  for (size_t row = 0; row < std::size(kKeep); ++row) {
    const int keep = kKeep[row], count = kCount[row];
    SCOPED_TRACE(keep);
    MemoryByteSource source(std::span<const uint8_t>(whole).first(static_cast<size_t>(keep)));
    ChunkView chunk;
    ASSERT_EQ(walkChunk(source, 0, chunk, *scratch), count >= 0);
    if (count < 0) continue;
    const CarItems items = viewCarItems(source, chunk, *scratch);
    EXPECT_EQ(items.Count, count);
    EXPECT_EQ(items.Complete, keep == 80);
    for (int i = 0; i < items.Count; ++i) {
      EXPECT_EQ(decodeTrackPosition(items.Bytes + 16 * i), kPositions[i]);
      EXPECT_EQ(decodeEntryNumber(items.Bytes + 16 * i), kEntries[i]);
    }
  }
}

TEST(FrameStream, ChainFollowsTheLengthsAndBreaksAtZeroOrTheEnd) {
  std::vector<uint8_t> bytes(4, 0xAA);  // in front of the stream
  std::vector<int64_t> starts;
  for (size_t k = 0; k < 150; ++k) {  // past two strides of the chain's index
    starts.push_back(static_cast<int64_t>(bytes.size()));
    const auto chunk = tools::encodeChunk(
        {record(15, 8), carRecord(std::vector<tools::CarItem>(k % 5, {1, 1}))}, 0);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  starts.push_back(static_cast<int64_t>(bytes.size()));  // chunk 150, with no length or length 0
  std::vector<uint8_t> stuck = bytes;
  stuck.insert(stuck.end(), {0, 0, 0, 0});
  std::vector<uint8_t> lastField = bytes;  // chunk 150's length field ends the source
  lastField.insert(lastField.end(), {4, 0});
  for (const std::vector<uint8_t>* stream : {&bytes, &stuck, &lastField}) {
    MemoryByteSource source(*stream);
    ChunkChain asked(source, 4), walked(source, 4);
    for (size_t k = 0; k < 150; ++k) {
      const uint16_t length = decodeU16(stream->data() + starts[k]);
      ASSERT_EQ(walked.nextChunkStart(static_cast<int64_t>(k), starts[k], length), starts[k + 1]);
    }
    EXPECT_EQ(walked.nextChunkStart(10, starts[10], 1), starts[11]) << "looked up, not taken";
    for (ChunkChain* chain : {&asked, &walked}) {
      for (const int64_t k : {149, 0, 64, 63, 128, 150, 151, 5, -1}) {
        const int64_t expected = k == 151 && stream == &lastField ? starts[150] + 4
                                 : k < 0 || k > 150               ? -1
                                                                  : starts[static_cast<size_t>(k)];
        EXPECT_EQ(chain->chunkStart(k), expected) << k;
      }
    }
  }
}

}  // namespace
}  // namespace vorlind
