#include "track/track_length.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "replay_builder.h"

namespace vorlind {
namespace {

using tools::carRecord;
using Records = std::vector<tools::StreamRecord>;

const tools::StreamRecord kLead{15, 8, {0, 0, 0, 0}};

// A chunk of 40 bytes: the lone lead record and a car record of one item.
Records oneCar(uint32_t position, uint8_t entry = 1) {
  return {kLead, carRecord({{entry, position}})};
}

// `record` with the size field `size`, cut to that size when it holds more.
tools::StreamRecord sized(tools::StreamRecord record, uint16_t size) {
  record.Size = size;
  record.Body.resize(std::min<size_t>(record.Body.size(), size - 4u));
  return record;
}

TEST(TrackLength, LargestPositionOfTheScannedChunks) {
  struct Case {
    const char* Name;
    std::vector<Records> Chunks;
    int32_t Expected;
    size_t Tail = 20000;  // zero bytes behind the stream
    int32_t Before = 0;   // the event's track length from the grids before
    int ZeroLength = -1;  // the chunk whose length field is 0
  };
  const Records three = {kLead, carRecord({{1, 100}, {2, 700000}, {3, 900000}})};
  auto withSize = [&](uint16_t size) { return Records{kLead, sized(three[1], size)}; };
  const Case kCases[] = {
      {"over items and position records",
       {{kLead, carRecord({{1, 1000}, {2, 9600001}, {3, 5000}})},
        {kLead, tools::positionRecord(9600003, 1), carRecord({{1, 3000}})},
        oneCar(9599999)},
       9600003},
      {"an earlier grid's longer track", {oneCar(6000)}, 9600003, 20000, 9600003},
      // The second chunk starts 40 bytes before the tail, 10000 or 10001 bytes before the end.
      {"a chunk 10000 bytes before the end", {oneCar(1000), oneCar(5000)}, 1000, 9960},
      {"a chunk 10001 bytes before the end", {oneCar(1000), oneCar(5000)}, 5000, 9961},
      {"a zero length", {oneCar(1000), oneCar(9000), oneCar(9000)}, 1000, 20000, 0, 1},
      {"a car record of 12 bytes", {withSize(12)}, 0},
      {"a car record of 16 bytes", {withSize(16)}, 100},
      {"a car record of 47 bytes", {withSize(47)}, 700000},
      {"a car record of 48 bytes", {withSize(48)}, 900000},
      // The items of the second chunk would run 65520 bytes, past the end of the replay.
      {"items past the end",
       {oneCar(1000),
        {kLead, tools::positionRecord(800000, 1), sized(three[1], 0xFFF0)},
        oneCar(5000)},
       1000}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Name);
    tools::ReplayBuilder builder;
    const auto streamStart = static_cast<int64_t>(builder.size());
    for (size_t k = 0; k < c.Chunks.size(); ++k) {
      std::vector<uint8_t> chunk = tools::encodeChunk(c.Chunks[k], 0);
      if (static_cast<int>(k) == c.ZeroLength) chunk[0] = chunk[1] = 0;
      builder.appendBytes(chunk);
    }
    const std::vector<uint8_t> bytes = builder.appendZeros(c.Tail).take();
    MemoryByteSource source(bytes);
    ChunkChain chain(source, streamStart);
    const auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    store->TrackLengthRaw = c.Before;
    searchTrackLength(source, chain, *store, *std::make_unique<StreamScratch>());
    EXPECT_EQ(store->TrackLengthRaw, c.Expected);
  }
}

// Car records that claim more items than their chunks hold, so that each chunk's items run on
// over the chunks behind it, in lanes of every offset modulo 16: the scan takes each item once
// and still finds the largest position of all of them.
TEST(TrackLength, ItemsThatRunOnOverLaterChunks) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    tools::ReplayBuilder builder;
    const auto streamStart = static_cast<int64_t>(builder.size());
    for (int k = 0; k < 60; ++k) {
      std::vector<uint8_t> body(4 + rng() % 40);
      for (uint8_t& byte : body) byte = static_cast<uint8_t>(rng());
      const auto size = static_cast<uint16_t>(16 + rng() % (round % 2 == 0 ? 64 : 4000));
      builder.addChunk({kLead, {tools::kCarRecordType, size, body}});
    }
    std::vector<uint8_t> bytes = builder.take();
    const auto tail = static_cast<int64_t>(bytes.size());  // the stream's end
    for (int i = 0; i < 80000; ++i) bytes.push_back(static_cast<uint8_t>(rng() % 64));
    // The largest position lies in an item that one chunk claims behind the stream: half the
    // time the first item of a lane that a later chunk's claim adds to those before. Only items
    // behind the stream are changed, so that the chunks stay as they are.
    MemoryByteSource source(bytes);
    ChunkChain chain(source, streamStart);
    const auto scratch = std::make_unique<StreamScratch>();
    std::vector<CarItemRange> ranges;
    ChunkView chunk;
    for (int64_t start = streamStart; start < tail; start += chunk.Length) {
      ASSERT_TRUE(walkChunk(source, start, chunk, *scratch));
      ranges.push_back(carItemRange(chunk));
    }
    std::vector<int64_t> tailItems, continuations;
    int64_t laneEnds[16] = {};
    for (const CarItemRange& range : ranges) {
      int64_t& laneEnd = laneEnds[range.First % 16];
      if (laneEnd > std::max(tail - 1, range.First) && laneEnd < range.end()) {
        continuations.push_back(laneEnd);
      }
      laneEnd = std::max(laneEnd, range.end());
      for (int64_t at = range.First; at < range.end(); at += 16) {
        if (at >= tail) tailItems.push_back(at);
      }
    }
    const std::vector<int64_t>& from =
        round % 4 < 2 || continuations.empty() ? tailItems : continuations;
    ASSERT_FALSE(from.empty());
    const int64_t item = from[rng() % from.size()];
    for (int b = 0; b < 3; ++b) bytes[static_cast<size_t>(item + b)] = 0xFF;
    bytes[static_cast<size_t>(item) + 3] |= 3;  // the largest position there is, 0x3FFFFFF
    const auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    searchTrackLength(source, chain, *store, *scratch);
    EXPECT_EQ(store->TrackLengthRaw, 0x3FFFFFF);
  }
}

}  // namespace
}  // namespace vorlind
