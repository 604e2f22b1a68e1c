#include "track/track_length.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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
      {"a stream within the last 10000 bytes", {oneCar(800000)}, 1235, 9960, 1235},
      {"a zero length", {oneCar(1000), oneCar(9000), oneCar(9000)}, 1000, 20000, 0, 1},
      {"a car record of 12 bytes", {withSize(12)}, 0},
      {"a car record of 16 bytes", {withSize(16)}, 100},
      {"a car record of 47 bytes", {withSize(47)}, 700000},
      {"a car record of 48 bytes", {withSize(48)}, 900000},
      {"bit 25 under entry 63", {oneCar(2 << 24, 63)}, 2 << 24},
      {"bit 24 under entry 1", {oneCar((1 << 24) + 1000000)}, (1 << 24) + 1000000},
      {"a position record under entry 40",
       {{kLead, tools::positionRecord((1 << 25) + 7, 40), carRecord({})}},
       (1 << 25) + 7},
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

}  // namespace
}  // namespace vorlind
