#include "replay/sector_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "event_plans.h"
#include "replay/grid_reader.h"
#include "replay_builder.h"
#include "robustness_harness.h"
#include "track/track_length.h"

namespace vorlind {
namespace {

// A track of 400000 units: sector boundaries at 100000, 200000 and 300000. At 60 fps a chunk
// of 1000 units is 1000 * 18 * 60 / 100 = 10800 (108 km/h).
constexpr int32_t kTrack = 400000;
constexpr int kLeadIn = 4;  // chunks before the race start, the marker chunk last
constexpr auto kSplit = &EventStore::BestLapSplitTime;
constexpr auto kMax = &EventStore::BestLapMaxSpeed;
constexpr auto kMin = &EventStore::BestLapMinSpeed;

int32_t wrap(int64_t position) {
  return static_cast<int32_t>((position % kTrack + kTrack) % kTrack);
}

// A car's track positions in consecutive chunks from the stream start, race chunk j at
// At[j + kLeadIn]; -1 leaves the car out of a chunk.
struct Path {
  std::vector<int32_t> At;
  Path& drive(int count, int32_t step) {
    for (int i = 0; i < count; ++i) At.push_back(wrap(int64_t{At.back()} + step));
    return *this;
  }
};
// `offset` units past the line in race chunk `crossing`, `step` units a chunk since the start.
Path crossingAt(int crossing, int32_t offset = 500, int32_t step = 1000) {
  return Path{{wrap(offset - int64_t{crossing + kLeadIn} * step)}}.drive(crossing + kLeadIn, step);
}

class SectorSearch : public ::testing::Test {
 protected:
  SectorSearch() : store_(std::make_unique<EventStore>()) { reset(); }

  void reset(int32_t fps = 60, double previousSpeed = 0) {
    initEventStore(*store_);
    store_->TrackLengthRaw = kTrack;
    store_->ReplayFrameRate = fps;
    store_->PreviousSampleSpeed = previousSpeed;
    paths_.clear();
  }

  // Entry `entry` of the grid at `offset` has three race laps; the best, the second, starts at
  // the last race clock whose chunk estimate (t * fps / 1000) is still race chunk `k`.
  void addDriver(int entry, int32_t k, Path path, int offset = 0) {
    const int slot = offset + entry;
    const int32_t fps = store_->ReplayFrameRate;
    store_->RaceLapCount[slot] = 3;
    store_->RaceBestLapNo[slot] = 2;
    store_->RaceCumTime[slot][1] = ((k + 1) * 1000 - 1) / fps;
    store_->RaceCumTime[slot][2] = store_->RaceCumTime[slot][1] + 20000;  // kept to its end
    paths_[entry] = std::move(path);
  }

  // Searches a stream up to race chunk 310 or the paths' end with 1200 bytes behind it, or cut
  // `endExtra` bytes after the end of race chunk `endAfter`; race chunk `zeroLength` (when not
  // -1) states a length of 0. Returns what the listener was told.
  std::string run(int offset = 0, uint8_t marker = 1, int endAfter = -1, size_t endExtra = 0,
                  int zeroLength = -1) {
    tools::ReplayBuilder builder;
    builder.beginRaceSection().endRaceSection();
    const auto streamStart = static_cast<int64_t>(builder.size());
    const auto lead = static_cast<size_t>(kLeadIn);
    size_t chunks = lead + 311;
    for (const auto& [entry, path] : paths_) chunks = std::max(chunks, path.At.size());
    std::vector<size_t> chunkEnd;  // by race chunk
    for (size_t i = 0; i < chunks; ++i) {
      // Entry 7, without race laps, is in every chunk.
      std::vector<tools::CarItem> items = {{7, static_cast<uint32_t>(wrap(i * 777))}};
      for (const auto& [entry, path] : paths_) {
        if (i >= path.At.size() || path.At[i] < 0) continue;
        items.push_back({static_cast<uint8_t>(entry), static_cast<uint32_t>(path.At[i])});
      }
      builder.addChunk({tools::startMarkerRecord(i + 1 == lead ? marker : 0),
                        tools::positionRecord(123456, 1), tools::carRecord(items)});
      if (i >= lead) chunkEnd.push_back(builder.size());
    }
    std::vector<uint8_t> bytes = builder.take();
    if (zeroLength >= 0) {
      const size_t at = chunkEnd[static_cast<size_t>(zeroLength) - 1];
      bytes[at] = bytes[at + 1] = 0;
    }
    bytes.resize(endAfter < 0 ? bytes.size() + 1200
                              : chunkEnd[static_cast<size_t>(endAfter)] + endExtra);
    // Searched twice: reading every chunk from the source, and with the chunks a recorder kept
    // while the track length scan walked the stream, which must give the same.
    MemoryByteSource source(bytes);
    const auto scratch = std::make_unique<StreamScratch>();
    const auto direct = std::make_unique<EventStore>(*store_);
    harness::RecordingListener listener, keptListener;
    ChunkChain chain(source, streamStart), keptChain(source, streamStart);
    searchSectorTimes(source, chain, *direct, offset, *scratch, listener);
    SectorRecorder recorder;
    recorder.startGrid(*store_, offset, source.size());
    searchTrackLength(source, keptChain, *store_, *scratch, &recorder);
    EXPECT_EQ(store_->TrackLengthRaw, kTrack);
    searchSectorTimes(source, keptChain, *store_, offset, *scratch, keptListener, &recorder);
    EXPECT_EQ(keptListener.Log, listener.Log);
    for (auto field : {kSplit, kMax, kMin}) EXPECT_EQ((*store_).*field, (*direct).*field);
    EXPECT_EQ(store_->PreviousSampleSpeed, direct->PreviousSampleSpeed);
    return listener.Log;
  }

  int32_t cell(SlotSectors EventStore::*field, int slot, int cell) const {
    return ((*store_).*field)[static_cast<size_t>(slot)][static_cast<size_t>(cell)];
  }

  std::unique_ptr<EventStore> store_;
  std::map<int, Path> paths_;
};

// The car is 500 units past the line in race chunk 250 and the best lap is estimated at chunk
// 300, so the window of 200 chunks (100 to 299) meets the fall of its position in chunk 250.
// The next sample, 700 units, dates the line 500 / 700 of a chunk before chunk 250 (249.29);
// all times count from one frame before that (248.29). A boundary is dated where the car passes
// it within its chunk, the lap end from the first sample past the line at that sample's speed.
//   251        +700   1200
//   252..350   +1000  100200    boundary 1 at 349.8:   101.51 frames
//   351..475   +800   200200    boundary 2 at 474.75:  226.46
//   476..555   +1250  300200    boundary 3 at 554.84:  306.55
//   556..655   +1000  200       across the line
//   656        +600   800       lap end at 656 - 200 / 600: 407.38
// Speeds: 700 is 7560, 1000 10800, 800 8640, 1250 13500, 600 6480. A sample whose speed rises
// by 1.0 or more on the one before (the first of each faster sector) is no highest speed; the
// first sample counts for the whole lap only, the last for the whole lap and the last sector.
Path variedLap() {
  Path lap = crossingAt(250).drive(1, 700).drive(99, 1000).drive(125, 800);
  return lap.drive(80, 1250).drive(100, 1000).drive(1, 600);
}

TEST_F(SectorSearch, MeasuresTheSplitsAndSpeedsOfTheBestLap) {
  addDriver(1, 300, variedLap());
  EXPECT_EQ(run(), "measure 1\n");
  EXPECT_EQ(store_->BestLapSplitTime[1], (std::array<int32_t, 5>{0, 1691, 3774, 5109, 6789}));
  EXPECT_EQ(store_->BestLapMaxSpeed[1], (std::array<int32_t, 5>{13500, 10800, 8640, 13500, 10800}));
  EXPECT_EQ(store_->BestLapMinSpeed[1], (std::array<int32_t, 5>{6480, 10800, 8640, 13500, 6480}));
  EXPECT_EQ(store_->PreviousSampleSpeed, 6480.0);
}

TEST_F(SectorSearch, MeasuresOneDriverAtTheEdges) {
  auto rise = [](int32_t step) { return crossingAt(250).drive(1, step).drive(30, 500); };
  auto late = [](int crossing, int32_t step = 1000) {
    return crossingAt(crossing).drive(1, 1000).drive(2258 - crossing, step);
  };
  const Path standing = crossingAt(250, 0).drive(100, 1000).drive(1, 0).drive(50, 1000);
  const Path passing = crossingAt(250).drive(99, 1000).drive(1, 700).drive(1, 900).drive(30, 1000);
  Path gap = crossingAt(250).drive(210, 1000);
  gap.At[349 + kLeadIn] = gap.At[350 + kLeadIn] = -1;
  struct Case {
    const char* Name;
    Path Drive;
    SlotSectors EventStore::*Field;
    int Cell;
    int32_t Expected;
    int32_t Fps = 60, K = 300;
    double PreviousSpeed = 0;
    int EndAfter = -1;
    size_t EndExtra = 0;
  };
  const Case kCases[] = {
      // On the line in 250, exactly on boundary 1 in 350, standing, past it in 352.
      {"a boundary is passed only beyond it", standing, kSplit, 1, 1700},
      {"a standing sample is no lowest speed", standing, kMin, 1, 10800},
      {"standing on the line delays the lap start", crossingAt(250).drive(1, 0).drive(120, 1000),
       kSplit, 1, 1683},
      {"the sample passing a boundary is of the sector before", passing, kMin, 1, 7560},
      // Missing in 349 and 350: 3000 units in chunk 351, boundary 1 half-way through it.
      {"a missing car widens the next sample", gap, kSplit, 1, 1700},
      // The lap's first sample at the tested speed, then 500 units a chunk.
      {"a rise of exactly 1.0", rise(1000), kMax, 0, 5400, 60, 300, 10799.0},
      {"a rise of 0.99", rise(1000), kMax, 0, 10800, 60, 300, 10799.01},
      {"exactly 360 km/h", rise(4000), kMax, 0, 4500, 50, 300, 40000},
      {"just below 360 km/h", rise(3999), kMax, 0, 35991, 50, 300, 40000},
      // At 36 fps a best lap at 60 s is estimated at chunk 2160: the window is 1960 to 2159.
      {"crossing in the window's first chunk", late(1960), kSplit, 1, 0, 36, 2160},
      {"crossing in its second", late(1961), kSplit, 1, 2805, 36, 2160},
      {"crossing in its last", late(2159), kSplit, 1, 2805, 36, 2160},
      {"crossing after it", late(2160), kSplit, 1, 0, 36, 2160},
      // The fall in 2160 is a sample, so the lap start in 2161 rises from it by more than 1.0.
      {"the chunk after the window is measured", late(2160, 500), kMax, 0, 3240, 36, 2160, 20000},
      {"a lap starts within 100000 units past the line",
       crossingAt(249, 390000).drive(1, 109999).drive(60, 1000), kSplit, 1, 1683},
      {"not 100000 past it", crossingAt(249, 390000).drive(1, 110000).drive(60, 1000), kSplit, 1,
       0},
      {"the window stops at the stream start", crossingAt(-2).drive(150, 1000), kSplit, 1, 1683, 60,
       50},
      {"and takes its first chunk", crossingAt(-3).drive(150, 1000), kSplit, 1, 1683, 60, 50},
      // A chunk is read only while the one before ends more than 1200 bytes before the end.
      {"the lap end behind the guard", variedLap(), kSplit, 4, 0, 60, 300, 0, 655, 1200},
      {"the lap end before the guard", variedLap(), kSplit, 4, 6789, 60, 300, 0, 655, 1201},
      {"the window ends at the guard", rise(700), kMin, 0, kNoTime, 60, 251, 0, 250, 1200},
      {"the window ends before it", rise(700), kMin, 0, 7560, 60, 251, 0, 250, 1201}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Name);
    reset(c.Fps, c.PreviousSpeed);
    addDriver(1, c.K, c.Drive);
    EXPECT_EQ(run(0, 1, c.EndAfter, c.EndExtra), "measure 1\n");
    EXPECT_EQ(cell(c.Field, 1, c.Cell), c.Expected);
  }
}

TEST_F(SectorSearch, WhoIsMeasured) {
  struct Case {
    const char* Name;
    std::vector<std::array<int, 3>> Drivers;  // entry, race laps, chunk estimate of the best lap
    int Offset;
    uint8_t Marker;
    const char* Told;
    std::vector<int> Measured;
  };
  const Case kCases[] = {
      {"entries 0 and 19 of grid 5", {{0, 3, 300}, {19, 3, 300}}, 80, 1, "measure 99\n", {99}},
      {"without race laps", {{1, 0, 300}, {2, 3, 300}, {3, -1, 300}}, 0, 1, "measure 2\n", {2}},
      {"without race start", {{1, 3, 300}, {2, 3, 300}}, 0, 0, "", {}},
      {"estimated past the end", {{1, 3, 5000}, {2, 3, 300}}, 0, 1, "measure 1\nmeasure 2\n", {2}}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Name);
    reset();
    for (const auto& [entry, laps, k] : c.Drivers) {
      addDriver(entry, k, crossingAt(250).drive(120, 1000), c.Offset);
      store_->RaceLapCount[c.Offset + entry] = laps;
    }
    EXPECT_EQ(run(c.Offset, c.Marker), c.Told);
    for (const auto& [entry, laps, k] : c.Drivers) {
      const bool measured = std::ranges::count(c.Measured, c.Offset + entry) == 1;
      EXPECT_EQ(cell(kSplit, c.Offset + entry, 1), measured ? 1683 : 0) << entry;
      EXPECT_EQ(cell(kMin, c.Offset + entry, 1), measured ? 10800 : kNoTime) << entry;
    }
  }
}

// A chunk that states a length of 0 ends the measurement where it stands, in the window or in
// the lap, instead of reading the same chunk for ever.
TEST_F(SectorSearch, ChunkOfLengthZeroEndsTheMeasurement) {
  for (const int zero : {200, 251, 400}) {
    SCOPED_TRACE(zero);
    reset();
    addDriver(1, 300, crossingAt(250).drive(420, 1000));
    EXPECT_EQ(run(0, 1, -1, 0, zero), "measure 1\n");
    EXPECT_EQ(cell(kSplit, 1, 1), zero == 400 ? 1683 : 0);
    EXPECT_EQ(cell(kSplit, 1, 4), 0);
  }
}

TEST_F(SectorSearch, PreviousSpeedCarriesFromOneDriverToTheNext) {
  // Driver 2's first sample is 10800 and then 5400; it is its highest speed only when driver
  // 1's last sample, the lap end of `lastStep` units, was less than 1.0 slower.
  for (const auto& [lastStep, expected] : {std::pair{2000, 10800}, {1000, 10800}, {500, 5400}}) {
    SCOPED_TRACE(lastStep);
    reset();
    addDriver(1, 300, crossingAt(250).drive(400, 1000).drive(1, lastStep).drive(10, 1000));
    addDriver(2, 300, crossingAt(250).drive(1, 1000).drive(100, 500));
    run();
    EXPECT_EQ(cell(kMax, 2, 0), expected);
  }
}

// Over the generated events, the search gives the same with and without the chunks the track
// length scan kept, and measures laps whose splits follow one another.
TEST(SectorRecorder, KeptChunksChangeNothing) {
  std::vector<tools::EventDirectory> events = {tools::demoEvent()};
  for (const std::string& name : tools::scenarioNames()) {
    ASSERT_TRUE(tools::scenarioEvent(name, &events.emplace_back())) << name;
  }
  int measured = 0;
  for (const tools::EventDirectory& event : events) {
    for (size_t g = 0; g < event.Grids.size(); ++g) {
      SCOPED_TRACE(event.Grids[g].ReplayName);
      const tools::WriteOutcome out = tools::writeReplay(event.Grids[g].Spec);
      ASSERT_TRUE(out.ok()) << out.Error;
      const int grid = static_cast<int>(g) + 1;
      EXPECT_EQ(harness::compareKeptChunks(out.Replay.Bytes, grid), "");
      MemoryByteSource source(out.Replay.Bytes);
      const auto store = std::make_unique<EventStore>();
      initEventStore(*store);
      harness::RecordingListener listener;
      (void)GridReader().read(source, *store, grid, kSlotsPerGrid * (grid - 1), listener);
      for (const auto& split : store->BestLapSplitTime) {
        if (split[4] == 0) continue;
        ++measured;
        EXPECT_EQ(std::adjacent_find(split.begin() + 1, split.end(), std::greater_equal<>()),
                  split.end());
      }
    }
  }
  EXPECT_GT(measured, 20);
}

// Car records that claim more items than their chunks hold, so that each chunk's items run on
// over the chunks behind it: the measurement from the file, which looks at each item once, gives
// what the chunks kept by the scan give, which hold every chunk's items.
TEST(SectorRecorder, ItemsThatRunOnOverLaterChunks) {
  std::mt19937 rng(11);
  int measured = 0;
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE(round);
    tools::ReplayBuilder builder;
    for (int entry = 0; entry < 3; ++entry) builder.addEntry("A", "B", entry, entry);
    builder.beginRaceSection();
    for (uint32_t entry = 1; entry < 3; ++entry) {
      builder.addRaceBlock(
          static_cast<int32_t>(entry),
          {{5000 * entry, 0}, {5000 * entry + 9000, 0}, {5000 * entry + 19000, 0}});
    }
    builder.endRaceSection();
    builder.addChunk(
        {tools::startMarkerRecord(1), tools::positionRecord(1, 0), tools::carRecord({})});
    // Bytes that make many items of entries 1 and 2, in every lane.
    auto byte = [&] { return static_cast<uint8_t>(rng() % 3 == 0 ? rng() : 4 << rng() % 2); };
    for (int k = 0; k < 2500; ++k) {
      std::vector<uint8_t> body(4 + rng() % 40);
      for (uint8_t& b : body) b = byte();
      const auto size = static_cast<uint16_t>(16 + rng() % (round % 2 == 0 ? 200 : 4000));
      builder.addChunk({{15, 4, {}}, {tools::kCarRecordType, size, body}});
    }
    for (int i = 0; i < 80000; ++i) builder.appendU8(byte());
    const std::vector<uint8_t> bytes = builder.take();
    EXPECT_EQ(harness::compareKeptChunks(bytes, 1), "");
    MemoryByteSource source(bytes);
    const auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    harness::RecordingListener listener;
    ASSERT_EQ(GridReader(false).read(source, *store, 1, 0, listener).Outcome,
              GridOutcome::kCounted);
    for (int slot : {1, 2}) measured += store->BestLapMaxSpeed[slot][0] > 0;
  }
  EXPECT_GT(measured, 8);
}

}  // namespace
}  // namespace vorlind
