#include "replay/sector_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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
      // Entry 7, without race laps, is in every other chunk: where the car is missing too, a
      // chunk has no items.
      std::vector<tools::CarItem> items;
      if (i % 2 == 0) items.push_back({7, static_cast<uint32_t>(wrap(i * 777))});
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

TEST_F(SectorSearch, MeasuresOneDriverAtTheEdges) {
  auto rise = [](int32_t step) { return crossingAt(250).drive(1, step).drive(30, 500); };
  auto late = [](int crossing, int32_t step = 1000) {
    return crossingAt(crossing).drive(1, 1000).drive(2258 - crossing, step);
  };
  const Path standing = crossingAt(250, 0).drive(100, 1000).drive(1, 0).drive(50, 1000);
  const Path passing = crossingAt(250).drive(99, 1000).drive(1, 700).drive(1, 900).drive(30, 1000);
  // 500 units past the line in race chunk 250 at 1000 units a chunk: times count from one frame
  // before the line, 248.5, so boundary 1 at 349.5 is 101 frames (1683 ms) later.
  const Path longLap = crossingAt(250).drive(420, 1000);
  Path gap = crossingAt(250).drive(210, 1000);
  auto jump = [](int32_t units) { return crossingAt(249, 390000).drive(1, units).drive(60, 1000); };
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
    int ZeroLength = -1;
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
      {"a lap starts within 100000 units past the line", jump(109999), kSplit, 1, 1683},
      {"not 100000 past it", jump(110000), kSplit, 1, 0},
      {"the window stops at the start", crossingAt(-2).drive(150, 1000), kSplit, 1, 1683, 60, 50},
      {"and takes its first chunk", crossingAt(-3).drive(150, 1000), kSplit, 1, 1683, 60, 50},
      // A chunk is read only while the one before ends more than 1200 bytes before the end. The
      // lap ends at the first sample past the line, in 651: 650.5 - 248.5 frames.
      {"the lap end behind the guard", longLap, kSplit, 4, 0, 60, 300, 0, 650, 1200},
      {"the lap end before the guard", longLap, kSplit, 4, 6700, 60, 300, 0, 650, 1201},
      {"the window ends at the guard", rise(700), kMin, 0, kNoTime, 60, 251, 0, 250, 1200},
      {"the window ends before it", rise(700), kMin, 0, 7560, 60, 251, 0, 250, 1201},
      // A chunk that states a length of 0 ends the measurement where it stands, in the window
      // or in the lap, instead of reading the same chunk for ever.
      {"a zero length in the window", longLap, kSplit, 1, 0, 60, 300, 0, -1, 0, 200},
      {"in the lap's first chunk", longLap, kSplit, 1, 0, 60, 300, 0, -1, 0, 251},
      {"behind boundary 1", longLap, kSplit, 1, 1683, 60, 300, 0, -1, 0, 400},
      {"before boundary 2", longLap, kSplit, 2, 0, 60, 300, 0, -1, 0, 400}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Name);
    reset(c.Fps, c.PreviousSpeed);
    addDriver(1, c.K, c.Drive);
    EXPECT_EQ(run(0, 1, c.EndAfter, c.EndExtra, c.ZeroLength), "measure 1\n");
    EXPECT_EQ(cell(c.Field, 1, c.Cell), c.Expected);
  }
}

TEST_F(SectorSearch, WhoIsMeasured) {
  struct Case {
    const char* Name;
    int Offset;
    uint8_t Marker;
    std::vector<int> Told, Measured;
    std::vector<std::array<int, 4>> Drivers;  // entry, race laps, chunk estimate, best lap
  };
  // Best lap 500 lies beyond the stored crossings.
  const Case kCases[] = {
      {"entries 0 and 19 of grid 5", 80, 1, {99}, {99}, {{0, 3, 300, 2}, {19, 3, 300, 2}}},
      {"without race laps", 0, 1, {2}, {2}, {{1, 0, 300, 2}, {2, 3, 300, 2}, {3, -1, 300, 2}}},
      {"without race start", 0, 0, {}, {}, {{1, 3, 300, 2}, {2, 3, 300, 2}}},
      {"estimated past the end", 0, 1, {1, 2}, {2}, {{1, 3, 5000, 2}, {2, 3, 300, 2}}},
      {"best lap 0, 500", 0, 1, {1, 2, 3}, {3}, {{1, 3, 300, 0}, {2, 3, 300, 500}, {3, 3, 300, 2}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Name);
    reset();
    for (const auto& [entry, laps, k, bestLap] : c.Drivers) {
      addDriver(entry, k, crossingAt(250).drive(120, 1000), c.Offset);
      store_->RaceLapCount[c.Offset + entry] = laps;
      store_->RaceBestLapNo[c.Offset + entry] = bestLap;
    }
    std::string told;
    for (int slot : c.Told) told += "measure " + std::to_string(slot) + "\n";
    EXPECT_EQ(run(c.Offset, c.Marker), told);
    for (const auto& [entry, laps, k, bestLap] : c.Drivers) {
      const bool measured = std::ranges::count(c.Measured, c.Offset + entry) == 1;
      EXPECT_EQ(cell(kSplit, c.Offset + entry, 1), measured ? 1683 : 0) << entry;
    }
  }
}

// The drivers measured in grid `grid`, alike with and without the chunks the scan kept.
int measuredAlike(const std::vector<uint8_t>& bytes, int grid) {
  EXPECT_EQ(harness::compareKeptChunks(bytes, grid), "");
  MemoryByteSource source(bytes);
  const auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  harness::RecordingListener listener;
  (void)GridReader().read(source, *store, grid, kSlotsPerGrid * (grid - 1), listener);
  return static_cast<int>(std::ranges::count_if(store->BestLapMaxSpeed,
                                                [](const auto& speeds) { return speeds[0] > 0; }));
}

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
      measured += measuredAlike(out.Replay.Bytes, static_cast<int>(g) + 1);
    }
  }
  EXPECT_GT(measured, 60);
}

// Car records that claim more items than their chunks hold, so that items run on over later
// chunks: reading each item once from the file gives what the kept chunks give.
TEST(SectorRecorder, ItemsThatRunOnOverLaterChunks) {
  std::mt19937 rng(11);
  int measured = 0;
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE(round);
    tools::ReplayBuilder builder;
    builder.addEntry("A", "B", 0, 0).addEntry("A", "B", 1, 1).addEntry("A", "B", 2, 2);
    builder.beginRaceSection().addRaceBlock(1, {{5000, 0}, {14000, 0}, {24000, 0}});
    builder.addRaceBlock(2, {{10000, 0}, {19000, 0}, {29000, 0}}).endRaceSection();
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
    measured += measuredAlike(builder.take(), 1);
  }
  EXPECT_GT(measured, 24);
}

}  // namespace
}  // namespace vorlind
