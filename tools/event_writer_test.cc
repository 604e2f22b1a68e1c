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

using Bytes = std::vector<uint8_t>;

uint32_t u32At(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
uint16_t u16At(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// The race crossings of every entry, and in `streamStart` the start of the frame stream, read
// from the file layout alone, without the builder's code, so that writer and layout are checked
// together.
std::map<int, std::vector<uint32_t>> readCrossings(const Bytes& b, size_t& streamStart) {
  constexpr uint32_t kOrpl = 0x4C50524F;
  constexpr uint32_t kBtpl = 0x4C505442;
  size_t at = 320 + 152;
  for (int entries = 1; entries < 21 && u32At(b, at) != kOrpl && u32At(b, at) != kBtpl; ++entries) {
    at += 152;
  }
  while (u32At(b, at) == kOrpl) at += 12 + 4 * (u32At(b, at + 8) / 4);
  std::map<int, std::vector<uint32_t>> crossings;
  if (u32At(b, at) != kBtpl) return crossings;
  at += 20;
  for (int blocks = 0; blocks < 20 && u32At(b, at) <= 2000; ++blocks, at += 12 + u32At(b, at)) {
    std::vector<uint32_t>& times = crossings[static_cast<int>(u32At(b, at + 4))];
    for (size_t k = 1; k < u32At(b, at) / 4; ++k) {
      times.push_back(u32At(b, at + 4 + 4 * k) & 0xFFFFFF);
    }
  }
  streamStart = at + 4;
  return crossings;
}

// The TrackPosition of every car in each chunk from the race start marker on (race clock 0 is
// the chunk after it). The cars are the items of a chunk's last record.
std::vector<std::map<int, uint32_t>> readRaceChunks(const Bytes& b, size_t start) {
  std::vector<std::map<int, uint32_t>> chunks;
  bool started = false;
  for (size_t at = start; at + 12 < b.size() && u16At(b, at) != 0; at += u16At(b, at)) {
    started |= u16At(b, at + 8) == 13 && b[at + 12] != 0;
    if (!started) continue;
    size_t last = at + 8;
    for (size_t rec = last; rec + 4 < at + u16At(b, at) && u16At(b, rec + 2) >= 4;
         rec += (u16At(b, rec + 2) + 3u) / 4 * 4) {
      last = rec;
    }
    std::map<int, uint32_t>& cars = chunks.emplace_back();
    for (size_t i = 0; i < u16At(b, last + 2) / 16u; ++i) {
      const uint32_t stored = u32At(b, last + 8 + 16 * i);
      cars[static_cast<int>(stored >> 26)] = stored & 0x3FFFFFF;
    }
  }
  return chunks;
}

GridSpec scenarioGrid(const char* name, size_t grid = 0) {
  EventDirectory event;
  return scenarioEvent(name, &event) && grid < event.Grids.size() ? event.Grids[grid].Spec
                                                                  : GridSpec{};
}

TEST(EventWriter, SameDescriptionGivesTheSameBytes) {
  GridSpec grid = scenarioGrid("lapped");
  const WriteOutcome first = writeReplay(grid);
  ASSERT_TRUE(first.ok()) << first.Error;
  EXPECT_EQ(first.Replay.Bytes, writeReplay(grid).Replay.Bytes);
  ++grid.Seed;
  EXPECT_NE(first.Replay.Bytes, writeReplay(grid).Replay.Bytes)
      << "the seed draws what the description leaves open";
}

TEST(EventWriter, RefusesDescriptionsAReplayCannotHold) {
  const std::pair<const char*, void (*)(GridSpec&)> cases[] = {
      {"duplicate entry number", [](GridSpec& g) { g.Drivers[1].EntryNumber = 0; }},
      {"entry number 20", [](GridSpec& g) { g.Drivers[1].EntryNumber = 20; }},
      {"17-byte last name", [](GridSpec& g) { g.Drivers[0].LastName = "Seventeen_letters"; }},
      {"21 drivers", [](GridSpec& g) { g.Drivers.resize(21, g.Drivers[0]); }},
      {"499 laps",
       [](GridSpec& g) {
         g.Drivers[0].RaceLaps.assign(499, LapSpec{1000, 0});
       }},
      {"race clock past 24 bits", [](GridSpec& g) { g.Drivers[0].RaceLaps[0].TimeMs = 1 << 24; }},
      {"50 fps", [](GridSpec& g) { g.FrameRate = 50; }},
      {"track too long for the positions", [](GridSpec& g) { g.TrackLengthMm = 1 << 25; }},
      {"neither practice nor race",
       [](GridSpec& g) {
         g.HasRace = false;
         for (DriverSpec& driver : g.Drivers) driver.HasPractice = false;
       }},
  };
  GridSpec grid = scenarioGrid("lapped");
  EXPECT_EQ(validateGrid(grid), "");
  grid.Drivers[0].RaceLaps.assign(498, {1000, 0});
  EXPECT_EQ(validateGrid(grid), "") << "498 race laps still fit";
  for (const auto& [label, change] : cases) {
    GridSpec changed = scenarioGrid("lapped");
    change(changed);
    EXPECT_NE(validateGrid(changed), "") << label;
    EXPECT_FALSE(writeReplay(changed).ok()) << label;
  }
}

TEST(EventWriter, LapRecordsAgreeWithTheFrameStream) {
  for (const char* name : {"36fps", "type15", "lapped", "retirements"}) {
    const GridSpec grid = scenarioGrid(name);
    const WriteOutcome out = writeReplay(grid);
    ASSERT_TRUE(out.ok()) << name << ": " << out.Error;
    size_t streamStart = 0;
    const auto race = readCrossings(out.Replay.Bytes, streamStart);
    ASSERT_EQ(race.size(), grid.Drivers.size()) << name;
    EXPECT_EQ(streamStart, static_cast<size_t>(out.Replay.StreamStart)) << name;
    const std::vector<std::map<int, uint32_t>> chunks =
        readRaceChunks(out.Replay.Bytes, streamStart);
    ASSERT_GT(chunks.size(), 1u) << name << ": no race start marker";
    const double trackRaw = 2.0 * grid.TrackLengthMm;
    const double frameMs = 1000.0 / grid.FrameRate;
    for (const auto& [entry, times] : race) {
      // Each time the car's position drops it has crossed the line; interpolating between the
      // positions on both sides of the line gives the moment, which the lap record must hold.
      std::vector<double> crossings;
      std::optional<uint32_t> before;
      for (size_t i = 1; i < chunks.size(); ++i) {
        const auto car = chunks[i].find(entry);
        if (car == chunks[i].end()) continue;
        if (before && car->second < *before) {
          const double toLine = trackRaw - *before;
          crossings.push_back((static_cast<double>(i) - 2 + toLine / (toLine + car->second)) *
                              frameMs);
        }
        before = car->second;
      }
      ASSERT_EQ(crossings.size(), times.size()) << name << ", entry " << entry;
      for (size_t k = 0; k < times.size(); ++k) {
        EXPECT_NEAR(crossings[k], times[k], frameMs / 2)
            << name << ", entry " << entry << ", crossing " << k;
      }
    }
  }
}

}  // namespace
}  // namespace vorlind::tools
