#include "track/track_length.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "event_writer.h"
#include "replay_builder.h"

namespace vorlind {
namespace {

using tools::ReplayBuilder;
using tools::StreamRecord;

constexpr char kSearchLine[] = "One moment please. The tool is searching for track length.\n";

// The line that the search ends with for a given TrackLengthRaw.
std::string lengthLine(int64_t millimetres) {
  return "track length=" + std::to_string(millimetres) + "mm\n";
}

StreamRecord record(uint16_t type, uint16_t size) {
  return StreamRecord{type, size, std::vector<uint8_t>(size - 4u, 0)};
}

// The single lead record that lets the walk start right behind it.
StreamRecord lead() { return record(15, 8); }

// A car record of declared size `size` whose body holds `stored` (four bytes each) at the
// given body offsets and zeros elsewhere.
StreamRecord rawCarRecord(uint16_t size,
                          const std::vector<std::pair<int, std::array<uint8_t, 4>>>& stored) {
  StreamRecord out = record(40, size);
  for (const auto& [offset, bytes] : stored) {
    for (int i = 0; i < 4; ++i) out.Body[static_cast<size_t>(offset + i)] = bytes[i];
  }
  return out;
}

StreamRecord cars(const std::vector<uint32_t>& positions) {
  std::vector<tools::CarItem> items;
  uint8_t entry = 0;
  for (const uint32_t position : positions) items.push_back({entry++, position});
  return tools::carRecord(items);
}

std::vector<StreamRecord> fillers(int count) {
  return std::vector<StreamRecord>(static_cast<size_t>(count), record(3, 8));
}

std::vector<StreamRecord> join(std::vector<StreamRecord> head,
                               const std::vector<StreamRecord>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// A replay with one entry and an empty race section; the tests append the frame stream and
// enough bytes behind it that the 10000-byte tail guard does not get in the way.
class TrackLength : public ::testing::Test {
 protected:
  TrackLength() : store_(std::make_unique<EventStore>()) {
    initEventStore(*store_);
    builder_.addEntry("Ada", "Sommer", 1, 0).beginRaceSection().endRaceSection();
    streamStart_ = static_cast<int64_t>(builder_.size());
  }

  EventStore& store() { return *store_; }

  // Starts over with a fresh event and a replay that is only a header, for table rows.
  void restart() {
    initEventStore(store());
    builder_ = ReplayBuilder();
    streamStart_ = static_cast<int64_t>(builder_.size());
  }

  // Appends a chunk and returns its start.
  int64_t chunk(const std::vector<StreamRecord>& records) {
    const auto start = static_cast<int64_t>(builder_.size());
    builder_.addChunk(records);
    return start;
  }

  // Pads the file with zeros to `size` bytes.
  void padTo(int64_t size) {
    builder_.appendZeros(static_cast<size_t>(size - static_cast<int64_t>(builder_.size())));
  }

  // Runs the search over the replay built so far; returns the console output.
  std::string scan() {
    bytes_ = builder_.bytes();
    return scanBytes(bytes_, streamStart_);
  }

  std::string scanBytes(const std::vector<uint8_t>& bytes, int64_t streamStart) {
    MemoryByteSource source(bytes);
    ChunkChain chain(source, streamStart);
    std::ostringstream console;
    searchTrackLength(source, chain, store(), console);
    return console.str();
  }

  // Scans a stream of the one chunk `records`, far from the end of the file.
  int32_t scanOneChunk(const std::vector<StreamRecord>& records) {
    chunk(records);
    builder_.appendZeros(20000);
    scan();
    return store().TrackLengthRaw;
  }

  std::unique_ptr<EventStore> store_;
  ReplayBuilder builder_;
  int64_t streamStart_ = 0;
  std::vector<uint8_t> bytes_;
};

TEST_F(TrackLength, PrintsHalfOfTheLargestPositionInMillimetres) {
  chunk({lead(), cars({1000, 9600001, 5000})});
  chunk({lead(), cars({9599999})});
  builder_.appendZeros(20000);
  EXPECT_EQ(scan(), std::string(kSearchLine) + "track length=4800000mm\n");
  EXPECT_EQ(store().TrackLengthRaw, 9600001);
}

TEST_F(TrackLength, ChunkStartingExactlyTenThousandBytesBeforeTheEndIsNotScanned) {
  // Chunk A is always scanned; chunk B only when it starts more than 10000 bytes before the end.
  const std::pair<int64_t, int32_t> cases[] = {{10000, 1000}, {10001, 5000}};
  for (const auto& [distance, expected] : cases) {
    SCOPED_TRACE(distance);
    restart();
    chunk({lead(), cars({1000})});
    const int64_t b = chunk({lead(), cars({5000})});
    padTo(b + distance);
    EXPECT_EQ(scan(), kSearchLine + lengthLine(expected / 2));
    EXPECT_EQ(store().TrackLengthRaw, expected);
  }
}

TEST_F(TrackLength, StreamWithinTheLastTenThousandBytesKeepsTheLengthAndStillPrints) {
  store().TrackLengthRaw = 1235;  // from an earlier grid
  chunk({lead(), cars({800000})});
  padTo(streamStart_ + 10000);
  EXPECT_EQ(scan(), kSearchLine + lengthLine(617));
  EXPECT_EQ(store().TrackLengthRaw, 1235);
}

TEST_F(TrackLength, TypeFifteenLeadIsSteppedOverAloneOtherTypesTakeTwoRecords) {
  // The position record follows the first record: it is walked after a type 15 lead and
  // skipped as the second lead record after any other type. The car record holds no items.
  const std::pair<uint16_t, int32_t> cases[] = {{15, 600000}, {13, 0}, {14, 0},
                                                {16, 0},      {1, 0},  {0, 0}};
  for (const auto& [type, expected] : cases) {
    SCOPED_TRACE(type);
    restart();
    // The lead record has size 6: it occupies 8 bytes with its padding.
    StreamRecord first{type, 6, {0, 0}};
    EXPECT_EQ(scanOneChunk({first, tools::positionRecord(600000, 3), cars({})}), expected);
  }
}

TEST_F(TrackLength, WalkReadsAtMostSeventyNineRecords) {
  struct Case {
    const char* Name;
    std::vector<StreamRecord> Walked;  // behind the type 15 lead
    int32_t Expected;
  };
  const Case cases[] = {
      {"car record 79th", join(fillers(78), {cars({800000})}), 800000},
      {"car record 80th", join(fillers(79), {cars({800000})}), 0},
      {"position record 79th", join(fillers(78), {tools::positionRecord(500000, 0)}), 500000},
      {"position record 80th", join(fillers(79), {tools::positionRecord(500000, 0)}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    restart();
    EXPECT_EQ(scanOneChunk(join({lead()}, c.Walked)), c.Expected);
  }
}

TEST_F(TrackLength, CarRecordSizeGivesTheNumberOfItemsRead) {
  // Items begin at body offset 4 and are 16 bytes apart; a position is planted where every
  // item could begin, and only the first size / 16 of them may count.
  const std::array<uint8_t, 4> p100 = {100, 0, 0, 0};
  const std::array<uint8_t, 4> p700k = {0x60, 0xAE, 0x0A, 0};  // 700000
  const std::array<uint8_t, 4> p900k = {0xA0, 0xBB, 0x0D, 0};  // 900000
  struct Case {
    uint16_t Size;
    std::vector<std::pair<int, std::array<uint8_t, 4>>> Stored;
    int32_t Expected;
  };
  const Case cases[] = {
      {12, {{4, p700k}}, 0},                                // 12 > 10 but 12 / 16 = 0
      {16, {{4, p700k}}, 700000},                           // one item
      {47, {{4, p100}, {20, p700k}, {36, p900k}}, 700000},  // two items; body 36 is not one
      {48, {{4, p100}, {20, p700k}, {36, p900k}}, 900000},  // three items
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Size);
    restart();
    EXPECT_EQ(scanOneChunk({lead(), rawCarRecord(c.Size, c.Stored)}), c.Expected);
  }
}

TEST_F(TrackLength, OnlyTheLowTwoBitsOfTheFourthByteBelongToThePosition) {
  struct Case {
    std::array<uint8_t, 4> Stored;
    int32_t Expected;
  };
  const Case cases[] = {
      {{0x00, 0x00, 0x00, 0xFE}, 2 * (1 << 24)},        // 0xFE & 3 = 2
      {{0x10, 0x27, 0x00, 0xFC}, 10000},                // junk upper six bits
      {{0x40, 0x42, 0x0F, 0x05}, (1 << 24) + 1000000},  // entry 1, bit 24
      {{0xFF, 0xFF, 0xFF, 0xFF}, (1 << 26) - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Expected);
    restart();
    EXPECT_EQ(scanOneChunk({lead(), rawCarRecord(24, {{4, c.Stored}})}), c.Expected);
  }
  // 2 * 2^24 = 33554432 is 16777216 mm.
  restart();
  chunk({lead(), rawCarRecord(24, {{4, {0x00, 0x00, 0x00, 0xFE}}})});
  builder_.appendZeros(20000);
  EXPECT_EQ(scan(), kSearchLine + lengthLine(16777216));
}

TEST_F(TrackLength, PositionRecordCarriesTheHighBitsToo) {
  // Entry 40 fills the upper six bits of byte 3; 2^25 + 7 sets bit 25.
  EXPECT_EQ(scanOneChunk({lead(), tools::positionRecord((1u << 25) + 7, 40), cars({})}),
            (1 << 25) + 7);
}

TEST_F(TrackLength, OnlyTheLastPositionRecordOfAChunkIsRead) {
  EXPECT_EQ(scanOneChunk({lead(), tools::positionRecord(900000, 0),
                          tools::positionRecord(100000, 0), cars({})}),
            100000);
}

TEST_F(TrackLength, PositionRecordMustHaveTypeOneAndSizeThirtyTwo) {
  StreamRecord shortOne = tools::positionRecord(900000, 0);
  shortOne.Size = 28;
  shortOne.Body.resize(24);
  StreamRecord otherType = tools::positionRecord(900000, 0);
  otherType.Type = 2;
  EXPECT_EQ(scanOneChunk({lead(), shortOne, otherType, cars({})}), 0);
}

TEST_F(TrackLength, HeaderEndingAtTheChunkEndDoesNotReplaceTheCarRecord) {
  EXPECT_EQ(scanOneChunk({lead(), cars({3000}), record(7, 4)}), 3000);
}

TEST_F(TrackLength, KeepsTheLargestOverChunksAndGrids) {
  chunk({lead(), cars({5000, 2000})});
  chunk({lead(), tools::positionRecord(8000, 1), cars({3000})});
  chunk({lead(), cars({7000})});
  builder_.appendZeros(20000);
  EXPECT_EQ(scan(), kSearchLine + lengthLine(4000));
  EXPECT_EQ(store().TrackLengthRaw, 8000);

  // The next grid's replay reaches only 6000: the event keeps 8000.
  builder_ = ReplayBuilder();
  streamStart_ = static_cast<int64_t>(builder_.size());
  chunk({lead(), cars({6000})});
  builder_.appendZeros(20000);
  EXPECT_EQ(scan(), kSearchLine + lengthLine(4000));
  EXPECT_EQ(store().TrackLengthRaw, 8000);
}

TEST_F(TrackLength, ChunkLengthOfZeroEndsTheScanSilently) {
  chunk({lead(), cars({1000})});
  // A chunk whose length field is 0, then what would be a chunk with a larger position.
  std::vector<uint8_t> stuck = tools::encodeChunk({lead(), cars({9000})}, 0);
  stuck[0] = 0;
  stuck[1] = 0;
  builder_.appendBytes(stuck);
  chunk({lead(), cars({9000})});
  builder_.appendZeros(20000);
  EXPECT_EQ(scan(), kSearchLine + lengthLine(500));
  EXPECT_EQ(store().TrackLengthRaw, 1000);
}

TEST_F(TrackLength, GeneratedReplayGivesTheLargestPositionWritten) {
  // A 9 km track puts positions above 2^24, so bit 24 comes from the fourth byte.
  for (const int fps : {60, 36}) {
    SCOPED_TRACE(fps);
    tools::GridSpec grid;
    grid.Seed = 7;
    grid.FrameRate = fps;
    grid.TrackLengthMm = 9000000;
    for (int entry = 0; entry < 3; ++entry) {
      tools::DriverSpec driver;
      driver.FirstName = "Driver";
      driver.LastName = "Number" + std::to_string(entry);
      driver.EntryNumber = entry;
      driver.RaceLaps = {{150000}, {140000}, {145000}};
      grid.Drivers.push_back(driver);
    }
    const tools::WriteOutcome out = tools::writeReplay(grid);
    ASSERT_TRUE(out.ok()) << out.Error;
    const tools::WrittenReplay& replay = out.Replay;
    ASSERT_GT(replay.MaxTrackPosition, 1u << 24);
    initEventStore(store());
    EXPECT_EQ(scanBytes(replay.Bytes, replay.StreamStart),
              kSearchLine + lengthLine(replay.MaxTrackPosition / 2));
    EXPECT_EQ(store().TrackLengthRaw, static_cast<int32_t>(replay.MaxTrackPosition));
  }
}

}  // namespace
}  // namespace vorlind
