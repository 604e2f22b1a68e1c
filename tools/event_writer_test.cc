#include "event_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "event_plans.h"

namespace vorlind::tools {
namespace {

// A decoder of the written files that follows the file layout on its own, without the
// builder's code, so that writer and layout are checked against each other.
struct Decoded {
  struct Block {
    int32_t Length = 0;
    int32_t Entry = 0;
    std::vector<uint32_t> Times;
    std::vector<uint8_t> Flags;
  };
  int entries = 0;
  std::vector<Block> practice;
  std::vector<Block> race;
  bool hasRace = false;
  size_t streamStart = 0;
};

struct Chunk {
  size_t offset = 0;
  uint16_t length = 0;
  uint16_t previous = 0;
  uint16_t firstType = 0;
  uint8_t startFlag = 0;
  std::vector<std::pair<int, uint32_t>> items;  // entry number, TrackPosition
  std::optional<uint32_t> positionRecord;
};

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
uint16_t u16At(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

constexpr uint32_t kOrpl = 0x4C50524F;
constexpr uint32_t kBtpl = 0x4C505442;

Decoded decodeSections(const std::vector<uint8_t>& b) {
  Decoded d;
  size_t at = 320;
  uint32_t word = 0;
  do {
    ++d.entries;
    at += 152;
    word = u32At(b, at);
  } while (word != kOrpl && word != kBtpl && d.entries < 21);
  auto readBlock = [&](size_t recordsAt, int32_t length) {
    Decoded::Block block;
    block.Length = length;
    for (int32_t k = 0; k < length / 4 - 1; ++k) {
      const uint32_t record = u32At(b, recordsAt + 4 * static_cast<size_t>(k));
      block.Times.push_back(record & 0xFFFFFF);
      block.Flags.push_back(static_cast<uint8_t>(record >> 24));
    }
    return block;
  };
  while (word == kOrpl) {
    const auto length = static_cast<int32_t>(u32At(b, at + 8));
    Decoded::Block block = readBlock(at + 16, length);
    block.Entry = static_cast<int32_t>(u32At(b, at + 12));
    d.practice.push_back(block);
    at += 12 + 4 * static_cast<size_t>(length / 4);
    word = u32At(b, at);
  }
  if (word == kBtpl) {
    d.hasRace = true;
    at += 20;
    for (int blocks = 0; blocks < 20; ++blocks) {
      const auto length = static_cast<int32_t>(u32At(b, at));
      if (length > 2000) break;
      Decoded::Block block = readBlock(at + 8, length);
      block.Entry = static_cast<int32_t>(u32At(b, at + 4));
      d.race.push_back(block);
      at += 8 + 4 * static_cast<size_t>(length / 4 - 1) + 8;
    }
    d.streamStart = at + 4;
  } else {
    d.streamStart = at + 12;
  }
  return d;
}

// Walks one chunk as the reader does: one lead record after type 15, else two; then the rest,
// the last of which holds the car items.
Chunk decodeChunk(const std::vector<uint8_t>& b, size_t at) {
  Chunk c;
  c.offset = at;
  c.length = u16At(b, at);
  c.previous = u16At(b, at + 2);
  c.firstType = u16At(b, at + 8);
  c.startFlag = b[at + 12];
  const size_t end = at + c.length;
  size_t rec = at + 8;
  auto padded = [](size_t size) { return (size + 3) / 4 * 4; };
  rec += padded(u16At(b, rec + 2));
  if (c.firstType != 15) rec += padded(u16At(b, rec + 2));
  std::optional<size_t> last;
  for (int n = 0; n < 79; ++n) {
    if (rec + 4 >= end) break;
    const uint16_t type = u16At(b, rec);
    const uint16_t size = u16At(b, rec + 2);
    last = rec;
    if (type == 1 && size == 32) c.positionRecord = u32At(b, rec + 4) & 0x3FFFFFF;
    rec += padded(size);
  }
  if (last) {
    const uint16_t size = u16At(b, *last + 2);
    for (size_t i = 0; size > 10 && i < size / 16u; ++i) {
      const uint32_t stored = u32At(b, *last + 8 + 16 * i);
      c.items.emplace_back(static_cast<int>(stored >> 26), stored & 0x3FFFFFF);
    }
  }
  return c;
}

std::vector<Chunk> decodeStream(const std::vector<uint8_t>& b, size_t start) {
  std::vector<Chunk> chunks;
  for (size_t at = start; at < b.size();) {
    chunks.push_back(decodeChunk(b, at));
    if (chunks.back().length == 0) break;
    at += chunks.back().length;
  }
  return chunks;
}

DriverSpec makeDriver(int entry, std::vector<int32_t> raceLaps, int variation) {
  DriverSpec driver;
  driver.FirstName = "Test";
  driver.LastName = "Driver" + std::to_string(entry);
  driver.Car = entry % 7;
  driver.EntryNumber = entry;
  driver.PracticeLaps = {{62000, 0}, {61000, 64}, {60500, 16}};
  for (int32_t lap : raceLaps) driver.RaceLaps.push_back({lap, 0});
  driver.SpeedVariation = variation;
  return driver;
}

GridSpec smallGrid(int fps, uint64_t seed) {
  GridSpec grid;
  grid.Seed = seed;
  grid.FrameRate = fps;
  grid.TrackLengthMm = 2500000;
  grid.StandingMs = 10000;
  grid.Drivers.push_back(makeDriver(0, {61000, 60000, 59500}, 0));
  grid.Drivers.push_back(makeDriver(3, {62500, 60300, 60100}, 5));
  grid.Drivers.push_back(makeDriver(1, {63000, 61700, 60900}, 7));
  return grid;
}

// Index (counted from the chunk after the marker) of every chunk in which the entry's
// position is lower than in the chunk before, with the positions around it.
struct Drop {
  int64_t chunk;
  uint32_t before;
  uint32_t after;
};

std::vector<Drop> positionDrops(const std::vector<Chunk>& chunks, size_t raceStart, int entry) {
  std::vector<Drop> drops;
  std::optional<uint32_t> previous;
  for (size_t i = raceStart; i < chunks.size(); ++i) {
    for (const auto& [e, position] : chunks[i].items) {
      if (e != entry) continue;
      if (previous && position < *previous) {
        drops.push_back({static_cast<int64_t>(i - raceStart), *previous, position});
      }
      previous = position;
    }
  }
  return drops;
}

size_t markerIndex(const std::vector<Chunk>& chunks) {
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].firstType == 13 && chunks[i].startFlag != 0) return i;
  }
  return chunks.size();
}

// The demo event's files and determinism are checked by the demo golden test.
TEST(EventWriterTest, SeedsAndRefusedDescriptions) {
  const GridSpec grid = smallGrid(60, 42);
  const WriteOutcome first = writeReplay(grid);
  ASSERT_TRUE(first.ok()) << first.Error;
  EXPECT_EQ(first.Replay.Bytes, writeReplay(smallGrid(60, 42)).Replay.Bytes);
  EXPECT_NE(first.Replay.Bytes, writeReplay(smallGrid(60, 43)).Replay.Bytes);
  EXPECT_EQ(planEvent(EventPlan{}).size(), 1u);

  EXPECT_EQ(validateGrid(grid), "");
  const auto refused = [&](auto change) {
    GridSpec changed = grid;
    change(changed);
    return validateGrid(changed) != "";
  };
  EXPECT_TRUE(refused([](GridSpec& g) { g.Drivers[1].EntryNumber = 0; }));  // duplicate
  EXPECT_TRUE(refused([](GridSpec& g) { g.Drivers[0].LastName = "Seventeen_letters"; }));
  EXPECT_TRUE(refused([](GridSpec& g) {
    while (g.Drivers.size() < 21)
      g.Drivers.push_back(makeDriver(static_cast<int>(g.Drivers.size()) + 1, {}, 0));
  }));
  EXPECT_TRUE(refused([](GridSpec& g) { g.Drivers[0].RaceLaps.assign(499, {1000, 0}); }));
  EXPECT_FALSE(refused([](GridSpec& g) { g.Drivers[0].RaceLaps.assign(498, {1000, 0}); }));
  EXPECT_TRUE(refused([](GridSpec& g) { g.FrameRate = 50; }));
  EXPECT_TRUE(refused([](GridSpec& g) {
    g.HasRace = false;
    for (DriverSpec& driver : g.Drivers) driver.HasPractice = false;
  }));
  GridSpec badRate = grid;
  badRate.FrameRate = 50;
  EXPECT_FALSE(writeReplay(badRate).ok());
}

TEST(EventWriterTest, SectionsHoldTheDescribedLaps) {
  const GridSpec grid = smallGrid(60, 5);
  const WriteOutcome out = writeReplay(grid);
  ASSERT_TRUE(out.ok()) << out.Error;
  const std::vector<uint8_t>& b = out.Replay.Bytes;
  EXPECT_EQ(b[5], 60);
  EXPECT_EQ(u32At(b, 52), 0u);
  const Decoded d = decodeSections(b);
  EXPECT_EQ(d.entries, 3);
  EXPECT_EQ(u32At(b, 320 + 152 + 124), 3u);
  ASSERT_EQ(d.practice.size(), 3u);
  EXPECT_EQ(d.practice[1].Entry, 3);
  EXPECT_EQ(d.practice[1].Times, (std::vector<uint32_t>{60000, 122000, 183000, 243500}));
  EXPECT_EQ(d.practice[1].Flags, (std::vector<uint8_t>{0, 0, 64, 16}));
  ASSERT_TRUE(d.hasRace);
  ASSERT_EQ(d.race.size(), 3u);
  EXPECT_EQ(d.streamStart, static_cast<size_t>(out.Replay.StreamStart));
  int32_t smallestFirst = 1 << 30;
  for (size_t i = 0; i < 3; ++i) {
    const Decoded::Block& block = d.race[i];
    EXPECT_EQ(block.Entry, grid.Drivers[i].EntryNumber);
    ASSERT_EQ(block.Times.size(), 4u);
    EXPECT_EQ(block.Length, 20);
    for (size_t k = 1; k < 4; ++k) {
      EXPECT_EQ(static_cast<int32_t>(block.Times[k] - block.Times[k - 1]),
                grid.Drivers[i].RaceLaps[k - 1].TimeMs);
    }
    smallestFirst = std::min(smallestFirst, static_cast<int32_t>(block.Times[0]));
    // A start from the grid, behind the line: a few seconds, not instant.
    EXPECT_GT(block.Times[0], 2000u);
    EXPECT_LT(block.Times[0], 30000u);
  }
  EXPECT_EQ(out.Replay.GridStartTimeMs, smallestFirst);
}

TEST(EventWriterTest, StartMarkerAndChunkChainAreWhereIntended) {
  for (const int fps : {60, 36}) {
    GridSpec grid = smallGrid(fps, 9);
    grid.StandingMs = 12000;
    const WriteOutcome out = writeReplay(grid);
    ASSERT_TRUE(out.ok());
    const std::vector<uint8_t>& b = out.Replay.Bytes;
    EXPECT_EQ(b[5], fps);
    const std::vector<Chunk> chunks = decodeStream(b, out.Replay.StreamStart);
    ASSERT_EQ(chunks.back().offset + chunks.back().length, b.size()) << "chunks tile the stream";
    EXPECT_EQ(chunks.size(), static_cast<size_t>(out.Replay.ChunkCount));
    EXPECT_EQ(chunks.front().previous, 4);
    for (size_t i = 1; i < chunks.size(); ++i) {
      ASSERT_EQ(chunks[i].previous, chunks[i - 1].length) << i;
    }
    const size_t marker = markerIndex(chunks);
    EXPECT_EQ(marker, static_cast<size_t>(12 * fps - 1)) << "12 s standing before the marker";
    EXPECT_EQ(static_cast<int64_t>(chunks[marker].offset), out.Replay.MarkerChunkOffset);
    EXPECT_EQ(static_cast<int64_t>(chunks[marker + 1].offset), out.Replay.RaceStartOffset);
    EXPECT_EQ(chunks.size() - marker - 1, static_cast<size_t>(out.Replay.RaceChunkCount));
    // The grid stands still up to the marker.
    for (size_t i = 1; i <= marker; ++i) EXPECT_EQ(chunks[i].items, chunks[0].items) << i;
    bool sawType15 = false;
    bool sawType13 = false;
    bool sawOther = false;
    bool sawPositionRecord = false;
    for (const Chunk& chunk : chunks) {
      sawType15 |= chunk.firstType == 15;
      sawType13 |= chunk.firstType == 13;
      sawOther |= chunk.firstType != 13 && chunk.firstType != 15;
      sawPositionRecord |= chunk.positionRecord.has_value();
    }
    EXPECT_TRUE(sawType15 && sawType13 && sawOther && sawPositionRecord);
  }
}

TEST(EventWriterTest, LapRecordsAgreeWithTheStreamCrossings) {
  for (const int fps : {60, 36}) {
    const GridSpec grid = smallGrid(fps, 11);
    const WriteOutcome out = writeReplay(grid);
    ASSERT_TRUE(out.ok());
    const std::vector<uint8_t>& b = out.Replay.Bytes;
    const Decoded d = decodeSections(b);
    const std::vector<Chunk> chunks = decodeStream(b, d.streamStart);
    const size_t raceStart = markerIndex(chunks) + 1;
    const double trackRaw = 2.0 * grid.TrackLengthMm;
    const double frameMs = 1000.0 / fps;
    uint32_t largest = 0;
    for (const Chunk& chunk : chunks) {
      for (const auto& item : chunk.items) largest = std::max(largest, item.second);
      if (chunk.positionRecord) {
        EXPECT_LT(*chunk.positionRecord, trackRaw);
      }
    }
    EXPECT_LT(largest, trackRaw);
    EXPECT_GT(largest, trackRaw - 2 * 91.0 * 2000 / fps) << "within two frames of the line";
    for (const Decoded::Block& block : d.race) {
      const std::vector<Drop> drops = positionDrops(chunks, raceStart, block.Entry);
      ASSERT_GE(drops.size(), block.Times.size()) << "entry " << block.Entry;
      for (size_t k = 0; k < block.Times.size(); ++k) {
        const Drop& drop = drops[k];
        const double recorded = block.Times[k];
        // The chunk of the drop is the first one at or after the crossing.
        const double dropMs = drop.chunk * frameMs;
        EXPECT_GE(dropMs + 1e-6, recorded) << "entry " << block.Entry << " crossing " << k;
        EXPECT_LT(dropMs - frameMs, recorded) << "entry " << block.Entry << " crossing " << k;
        // Interpolating between the two positions around the line gives the recorded time.
        const double travel = drop.after + (trackRaw - drop.before);
        const double crossing = (drop.chunk - 1 + (trackRaw - drop.before) / travel) * frameMs;
        EXPECT_NEAR(crossing, recorded, frameMs / 2)
            << "entry " << block.Entry << " crossing " << k;
        EXPECT_LT(drop.after, 100000u) << "the first sample after the line is near it";
      }
    }
    // The stream goes on well behind the last crossing, past the readers' tail guards.
    int64_t lastCrossing = 0;
    for (const Decoded::Block& block : d.race)
      lastCrossing = std::max<int64_t>(lastCrossing, block.Times.back());
    const size_t lastChunk = raceStart + static_cast<size_t>((lastCrossing * fps + 999) / 1000);
    ASSERT_LT(lastChunk, chunks.size());
    EXPECT_LT(chunks[lastChunk].offset + 12000, b.size());
  }
}

TEST(EventWriterTest, SpeedVariesAlongTheLap) {
  GridSpec grid = smallGrid(60, 3);
  const WriteOutcome out = writeReplay(grid);
  const std::vector<Chunk> chunks = decodeStream(out.Replay.Bytes, out.Replay.StreamStart);
  const size_t raceStart = markerIndex(chunks) + 1;
  // Entry 1 has variation 7, entry 0 none: compare the spread of the per-chunk advance.
  auto spread = [&](int entry) {
    std::optional<uint32_t> previous;
    int64_t low = 1 << 30, high = 0;
    const int64_t from = raceStart + 20 * 60, to = raceStart + 70 * 60;  // within lap 1
    for (int64_t i = from; i < to; ++i) {
      for (const auto& [e, position] : chunks[static_cast<size_t>(i)].items) {
        if (e != entry) continue;
        if (previous && position > *previous) {
          low = std::min<int64_t>(low, position - *previous);
          high = std::max<int64_t>(high, position - *previous);
        }
        previous = position;
      }
    }
    return static_cast<double>(high) / static_cast<double>(low);
  };
  EXPECT_LT(spread(0), 1.05);
  EXPECT_GT(spread(1), 1.5);
}

TEST(EventWriterTest, RetiredLappedAndMissingCars) {
  EventPlan plan;
  plan.Seed = 5;
  plan.CarsPerGrid = 8;
  plan.RaceLaps = 6;
  plan.BaseLapMs = 50000;
  plan.TrackLengthMm = 2000000;
  plan.Retirements = 2;
  plan.LappedCars = 2;
  plan.MissingCars = 1;
  const std::vector<NamedGrid> grids = planEvent(plan);
  ASSERT_EQ(grids.size(), 1u);
  const GridSpec& grid = grids[0].Spec;
  const WriteOutcome out = writeReplay(grid);
  ASSERT_TRUE(out.ok()) << out.Error;
  const Decoded d = decodeSections(out.Replay.Bytes);
  const std::vector<Chunk> chunks = decodeStream(out.Replay.Bytes, d.streamStart);
  ASSERT_EQ(d.race.size(), 8u);

  // The winner completes 6 laps; everyone still running ends at the first crossing after.
  uint32_t finish = 1u << 30;
  for (const Decoded::Block& block : d.race) {
    if (block.Times.size() == 7) finish = std::min(finish, block.Times[6]);
  }
  ASSERT_LT(finish, 1u << 30);
  int lapped = 0;
  for (size_t i = 0; i < d.race.size(); ++i) {
    const Decoded::Block& block = d.race[i];
    const DriverSpec& driver = grid.Drivers[i];
    if (driver.Retires) {
      EXPECT_LT(block.Times.size(), 7u);
      continue;
    }
    EXPECT_GE(block.Times.back(), finish) << i;
    if (block.Times.size() >= 2) {
      EXPECT_LT(block.Times[block.Times.size() - 2], finish) << i;
    }
    lapped += block.Times.size() < 7;
  }
  EXPECT_EQ(lapped, 2);

  const size_t raceStart = markerIndex(chunks) + 1;
  std::map<int, size_t> seen;
  for (size_t i = raceStart; i < chunks.size(); ++i) {
    for (const auto& item : chunks[i].items) ++seen[item.first];
  }
  const size_t raceChunks = chunks.size() - raceStart;
  EXPECT_EQ(seen[0], raceChunks);
  EXPECT_LT(seen[1], raceChunks * 96 / 100) << "the missing car is absent from some chunks";
  EXPECT_GT(seen[1], raceChunks * 86 / 100);
  EXPECT_LT(seen[2], raceChunks) << "a retired car leaves the stream";
  EXPECT_TRUE(grid.Drivers[2].Retires);
}

TEST(EventWriterTest, PracticeOnlyPlayerAndLongTrackVariants) {
  EventDirectory event;
  ASSERT_TRUE(scenarioEvent("practice-only", &event));
  const WriteOutcome practice = writeReplay(event.Grids[0].Spec);
  ASSERT_TRUE(practice.ok());
  const Decoded d = decodeSections(practice.Replay.Bytes);
  EXPECT_FALSE(d.hasRace);
  EXPECT_EQ(d.practice.size(), 5u);
  EXPECT_EQ(d.streamStart, static_cast<size_t>(practice.Replay.StreamStart));
  const std::vector<Chunk> chunks = decodeStream(practice.Replay.Bytes, d.streamStart);
  EXPECT_EQ(chunks.back().offset + chunks.back().length, practice.Replay.Bytes.size());
  EXPECT_EQ(markerIndex(chunks), chunks.size()) << "no race, no start marker";

  ASSERT_TRUE(scenarioEvent("player", &event));
  EXPECT_EQ(u32At(writeReplay(event.Grids[0].Spec).Replay.Bytes, 52), 1u);

  ASSERT_TRUE(scenarioEvent("longtrack", &event));
  const WriteOutcome track = writeReplay(event.Grids[0].Spec);
  ASSERT_TRUE(track.ok());
  const std::vector<Chunk> longChunks = decodeStream(track.Replay.Bytes, track.Replay.StreamStart);
  bool highBits = false;
  for (const Chunk& chunk : longChunks) {
    for (const auto& [entry, position] : chunk.items) {
      EXPECT_LT(entry, 3);
      EXPECT_LT(position, 41600000u);
      highBits |= position >= (1u << 24);
    }
  }
  EXPECT_TRUE(highBits);

  ASSERT_TRUE(scenarioEvent("type15", &event));
  const WriteOutcome type15 = writeReplay(event.Grids[0].Spec);
  const std::vector<Chunk> c15 = decodeStream(type15.Replay.Bytes, type15.Replay.StreamStart);
  for (size_t i = markerIndex(c15) + 1; i < c15.size(); ++i) EXPECT_EQ(c15[i].firstType, 15);

  ASSERT_TRUE(scenarioEvent("full-grid", &event));
  const WriteOutcome full = writeReplay(event.Grids[0].Spec);
  const Decoded fullSections = decodeSections(full.Replay.Bytes);
  EXPECT_EQ(fullSections.entries, 20);
  EXPECT_EQ(fullSections.race.size(), 20u);
  EXPECT_EQ(full.Replay.Bytes[5], 36);
  EXPECT_FALSE(scenarioEvent("no-such-scenario", &event));
}

}  // namespace
}  // namespace vorlind::tools
