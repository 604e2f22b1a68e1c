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
using Bytes4 = std::array<uint8_t, 4>;

// The two lines the search always prints, the second for `raw` / 2 millimetres.
std::string output(int64_t raw) {
  return "One moment please. The tool is searching for track length.\ntrack length=" +
         std::to_string(raw / 2) + "mm\n";
}

StreamRecord record(uint16_t type, uint16_t size) {
  return StreamRecord{type, size, std::vector<uint8_t>(size - 4u, 0)};
}
StreamRecord lead() { return record(15, 8); }  // the lone lead record

// A car record of declared `size` whose body holds `stored` at the given offsets, else zeros.
StreamRecord rawCars(uint16_t size, const std::vector<std::pair<int, Bytes4>>& stored) {
  StreamRecord out = record(40, size);
  for (const auto& [offset, bytes] : stored)
    for (int i = 0; i < 4; ++i) out.Body[static_cast<size_t>(offset + i)] = bytes[i];
  return out;
}

StreamRecord cars(const std::vector<uint32_t>& positions) {
  std::vector<tools::CarItem> items;
  for (const uint32_t position : positions)
    items.push_back({static_cast<uint8_t>(items.size()), position});
  return tools::carRecord(items);
}

// Walking a chunk is tested with the frame stream; these cases aim at what the search adds.
class TrackLength : public ::testing::Test {
 protected:
  TrackLength() : store_(std::make_unique<EventStore>()) { restart(); }

  // A fresh event and a replay that is only a header.
  void restart() {
    initEventStore(*store_);
    builder_ = ReplayBuilder();
    streamStart_ = static_cast<int64_t>(builder_.size());
  }

  int64_t chunk(const std::vector<StreamRecord>& records) {
    const auto start = static_cast<int64_t>(builder_.size());
    builder_.addChunk(records);
    return start;
  }

  // Runs the search; `tail` zero bytes go behind the stream, or the file ends at `padTo`.
  std::string scan(int64_t tail = 20000, int64_t padTo = -1) {
    if (padTo >= 0) tail = padTo - static_cast<int64_t>(builder_.size());
    builder_.appendZeros(static_cast<size_t>(tail));
    return scanBytes(builder_.bytes(), streamStart_);
  }

  std::string scanBytes(const std::vector<uint8_t>& bytes, int64_t streamStart) {
    MemoryByteSource source(bytes);
    ChunkChain chain(source, streamStart);
    std::ostringstream console;
    searchTrackLength(source, chain, *store_, console);
    return console.str();
  }

  int32_t scanOneChunk(const std::vector<StreamRecord>& records) {
    restart();
    chunk(records);
    scan();
    return store_->TrackLengthRaw;
  }

  std::unique_ptr<EventStore> store_;
  ReplayBuilder builder_;
  int64_t streamStart_ = 0;
};

TEST_F(TrackLength, KeepsTheLargestPositionOverChunksAndGrids) {
  builder_.addEntry("Ada", "Sommer", 1, 0).beginRaceSection().endRaceSection();
  streamStart_ = static_cast<int64_t>(builder_.size());
  chunk({lead(), cars({1000, 9600001, 5000})});
  chunk({lead(), tools::positionRecord(9600003, 1), cars({3000})});
  chunk({lead(), cars({9599999})});
  EXPECT_EQ(scan(), output(9600003));  // 4800001 mm
  EXPECT_EQ(store_->TrackLengthRaw, 9600003);
  // The next grid's replay reaches only 6000: the event keeps its length.
  builder_ = ReplayBuilder();
  streamStart_ = static_cast<int64_t>(builder_.size());
  chunk({lead(), cars({6000})});
  EXPECT_EQ(scan(), output(9600003));
}

TEST_F(TrackLength, TenThousandByteTailGuardAndZeroLengthChunk) {
  // Chunk A is always scanned; chunk B only when it starts more than 10000 bytes before the end.
  const std::pair<int64_t, int32_t> cases[] = {{10000, 1000}, {10001, 5000}};
  for (const auto& [distance, expected] : cases) {
    SCOPED_TRACE(distance);
    restart();
    chunk({lead(), cars({1000})});
    const int64_t b = chunk({lead(), cars({5000})});
    EXPECT_EQ(scan(0, b + distance), output(expected));
  }
  // A stream wholly within the guard keeps an earlier grid's length and still prints.
  restart();
  store_->TrackLengthRaw = 1235;
  chunk({lead(), cars({800000})});
  EXPECT_EQ(scan(0, streamStart_ + 10000), output(1235));
  // A chunk whose length field is 0 ends the scan silently.
  restart();
  chunk({lead(), cars({1000})});
  std::vector<uint8_t> stuck = tools::encodeChunk({lead(), cars({9000})}, 0);
  stuck[0] = stuck[1] = 0;
  builder_.appendBytes(stuck);
  chunk({lead(), cars({9000})});
  EXPECT_EQ(scan(), output(1000));
}

TEST_F(TrackLength, CarRecordSizeGivesTheNumberOfItemsRead) {
  // Items start at body offset 4, 16 bytes apart; only the first size / 16 count.
  const Bytes4 p100 = {100, 0, 0, 0}, p700k = {0x60, 0xAE, 0x0A, 0}, p900k = {0xA0, 0xBB, 0x0D, 0};
  const std::vector<std::pair<int, Bytes4>> three = {{4, p100}, {20, p700k}, {36, p900k}};
  EXPECT_EQ(scanOneChunk({lead(), rawCars(12, {{4, p700k}})}), 0);  // 12 > 10 but 12 / 16 = 0
  EXPECT_EQ(scanOneChunk({lead(), rawCars(16, {{4, p700k}})}), 700000);
  EXPECT_EQ(scanOneChunk({lead(), rawCars(47, three)}), 700000);  // two items
  EXPECT_EQ(scanOneChunk({lead(), rawCars(48, three)}), 900000);
}

TEST_F(TrackLength, OnlyTheLowTwoBitsOfTheFourthByteBelongToThePosition) {
  const std::pair<Bytes4, int32_t> cases[] = {
      {{0x00, 0x00, 0x00, 0xFE}, 2 << 24},              // 0xFE & 3 = 2: bit 25
      {{0x10, 0x27, 0x00, 0xFC}, 10000},                // junk upper six bits
      {{0x40, 0x42, 0x0F, 0x05}, (1 << 24) + 1000000},  // entry 1, bit 24
      {{0xFF, 0xFF, 0xFF, 0xFF}, (1 << 26) - 1},
  };
  for (const auto& [stored, expected] : cases) {
    EXPECT_EQ(scanOneChunk({lead(), rawCars(24, {{4, stored}})}), expected) << expected;
  }
  // A position record too; entry 40 fills the upper six bits of byte 3.
  EXPECT_EQ(scanOneChunk({lead(), tools::positionRecord((1u << 25) + 7, 40), cars({})}),
            (1 << 25) + 7);
  restart();
  chunk({lead(), rawCars(24, {{4, {0, 0, 0, 0xFE}}})});
  EXPECT_EQ(scan(), output(2 << 24));  // 16777216 mm
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
    ASSERT_GT(out.Replay.MaxTrackPosition, 1u << 24);
    initEventStore(*store_);
    EXPECT_EQ(scanBytes(out.Replay.Bytes, out.Replay.StreamStart),
              output(out.Replay.MaxTrackPosition));
  }
}

}  // namespace
}  // namespace vorlind
