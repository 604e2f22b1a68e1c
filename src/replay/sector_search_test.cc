#include "replay/sector_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "event_writer.h"
#include "replay_builder.h"

namespace vorlind {
namespace {

using namespace std::string_literals;
using tools::CarItem;
using tools::ReplayBuilder;
using tools::StreamRecord;

// A track of 400000 units (200 m): sector boundaries at 100000, 200000 and 300000.
constexpr int32_t kTrack = 400000;
// Stream chunks in front of the race start: three standing chunks and the marker chunk.
constexpr int kLeadIn = 4;
// An entry that is in every chunk but has no race laps, so that items must be told apart.
constexpr uint8_t kOtherCar = 7;
using Sectors = std::array<int32_t, kSectorCells>;

constexpr char kMessage[] =
    "\nWait a moment, please... The tool is looking for sector times\nand max.speed of ";

// The bytes printed for a driver: first letter, '.', the whole 16-byte last-name field.
std::string message(char firstLetter, const std::string& lastName) {
  return kMessage + std::string(1, firstLetter) + "." + lastName +
         std::string(16 - lastName.size(), '\0');
}

int32_t wrap(int64_t position) {
  position %= kTrack;
  return static_cast<int32_t>(position < 0 ? position + kTrack : position);
}

// A car's TrackPositions in consecutive chunks; the first belongs to chunk `First` (a race
// chunk number, negative for the chunks before the race start). -1 leaves the car out.
struct Path {
  int First = 0;
  std::vector<int32_t> Positions;

  // The car runs `step` units a chunk and is `offset` units past the line in race chunk
  // `crossing`; the path covers race chunks `first` to `crossing`.
  static Path crossingAt(int crossing, int32_t offset = 500, int32_t step = 1000, int first = 0) {
    Path path{first, {}};
    for (int j = first; j <= crossing; ++j) {
      path.Positions.push_back(wrap(offset - int64_t{crossing - j} * step));
    }
    return path;
  }

  // Appends `count` chunks, each `step` units further on.
  Path& drive(int count, int32_t step) {
    for (int i = 0; i < count; ++i) Positions.push_back(wrap(int64_t{Positions.back()} + step));
    return *this;
  }

  int last() const { return First + static_cast<int>(Positions.size()) - 1; }
};

class SectorSearch : public ::testing::Test {
 protected:
  SectorSearch() : store_(std::make_unique<EventStore>()) { reset(); }

  EventStore& store() { return *store_; }

  // A fresh event and no cars, for the next row of a table.
  void reset(int32_t fps = 60) {
    initEventStore(store());
    store().TrackLengthRaw = kTrack;
    store().ReplayFrameRate = fps;
    paths_.clear();
  }

  // The earliest race clock at which race chunk `k` is the estimate: k = t * fps / 1000.
  int32_t msForChunk(int32_t k) const {
    const int32_t fps = store_->ReplayFrameRate;
    return (k * 1000 + fps - 1) / fps;
  }

  // Entry `entry` of the grid gets three race laps, the second (the best) starting at race
  // clock `bestLapStartMs`, and drives `path`.
  void addDriver(int entry, int32_t bestLapStartMs, Path path, const std::string& first = "Ada",
                 const std::string& last = "Sommer") {
    const int slot = slotOffset_ + entry;
    store().SlotFirstName[slot].assign(first);
    store().SlotLastName[slot].assign(last);
    store().RaceLapCount[slot] = 3;
    store().RaceBestLapNo[slot] = 2;
    store().RaceCumTime[slot][0] = bestLapStartMs / 2;
    store().RaceCumTime[slot][1] = bestLapStartMs;
    paths_[entry] = std::move(path);
  }

  // Builds the replay and runs the search; returns the console output. Behind the last race
  // chunk come `tail_` zero bytes.
  std::string run() {
    ReplayBuilder builder;
    builder.beginRaceSection().endRaceSection();
    const auto streamStart = static_cast<int64_t>(builder.size());
    int lastChunk = 0;
    for (const auto& [entry, path] : paths_) lastChunk = std::max(lastChunk, path.last());
    lastChunk = std::max(lastChunk, lastChunk_);
    raceChunkEnd_.clear();
    for (int j = -kLeadIn; j <= lastChunk; ++j) {
      std::vector<StreamRecord> records;
      if (j == -1) {
        records = {tools::startMarkerRecord(markerFlag_), record(2, 12)};
      } else if (j < 0 || j % 3 == 1) {
        records = {tools::startMarkerRecord(0), record(5, 8)};
      } else if (j % 3 == 0) {
        records = {record(15, 16)};
      } else {
        // A position record as second lead record: never read.
        records = {record(4, 8), tools::positionRecord(123456, 1)};
      }
      records.push_back(record(3, 12));
      std::vector<CarItem> items = {{kOtherCar, static_cast<uint32_t>(wrap(j * 777))}};
      for (const auto& [entry, path] : paths_) {
        const int at = j - path.First;
        if (at < 0 || at >= static_cast<int>(path.Positions.size())) continue;
        if (path.Positions[static_cast<size_t>(at)] < 0) continue;
        items.push_back({static_cast<uint8_t>(entry),
                         static_cast<uint32_t>(path.Positions[static_cast<size_t>(at)])});
      }
      records.push_back(tools::carRecord(items));
      builder.addChunk(records);
      if (j >= 0) raceChunkEnd_.push_back(static_cast<int64_t>(builder.size()));
    }
    builder.appendZeros(static_cast<size_t>(tail_));
    bytes_ = builder.take();
    store().ReplayFileSize = static_cast<int64_t>(bytes_.size());

    MemoryByteSource source(bytes_);
    ChunkChain chain(source, streamStart);
    std::ostringstream console;
    searchSectorTimes(source, chain, store(), slotOffset_, console);
    return console.str();
  }

  Sectors split(int slot) const { return store_->BestLapSplitTime[slot]; }
  Sectors maxSpeed(int slot) const { return store_->BestLapMaxSpeed[slot]; }
  Sectors minSpeed(int slot) const { return store_->BestLapMinSpeed[slot]; }

  void expectUnmeasured(int slot) const {
    EXPECT_EQ(split(slot), (Sectors{0, 0, 0, 0, 0})) << "slot " << slot;
    EXPECT_EQ(maxSpeed(slot), (Sectors{0, 0, 0, 0, 0})) << "slot " << slot;
    EXPECT_EQ(minSpeed(slot), (Sectors{kNoTime, kNoTime, kNoTime, kNoTime, kNoTime}))
        << "slot " << slot;
  }

  static StreamRecord record(uint16_t type, uint16_t size) {
    return StreamRecord{type, size, std::vector<uint8_t>(size - 4u, 0)};
  }

  std::unique_ptr<EventStore> store_;
  std::map<int, Path> paths_;
  int slotOffset_ = 0;
  uint8_t markerFlag_ = 1;
  int lastChunk_ = 310;  // the stream goes on at least to this race chunk, past most estimates
  int64_t tail_ = 1200;
  std::vector<uint8_t> bytes_;
  std::vector<int64_t> raceChunkEnd_;  // end of race chunk j
};

// The lap used by most cases, at 60 fps on the 400000-unit track. The best lap starts at
// t = 5000 ms, so k = 300 and the window holds race chunks 100 to 299. The car is 500 units
// past the line in chunk 250, which ends the window search; the measurement starts with
// chunk 251 as n = 3.
//   251       +700   p = 1200     lap start: a0 = 500 / 700, s = a0 - 1 = -0.285714
//   252..350  +1000  p = 100200   boundary 1 at 350: n = 102, x = 0.2
//   351..475  +800   p = 200200   boundary 2 at 475: n = 227, x = 200 / 800 = 0.25
//   476..555  +1250  p = 300200   boundary 3 at 555: n = 307, x = 200 / 1250 = 0.16
//   556..654  +1000  p = 399200
//   655       wraps  p = 200      crossing sample, q = 399200: no event
//   656       +600   p = 800      lap end: n = 408, a = 200 / 600
// Speeds v = step * 18 * 60 / 100: 700 -> 7560, 1000 -> 10800, 800 -> 8640, 1250 -> 13500,
// 600 -> 6480.
Path variedLap() {
  Path path = Path::crossingAt(250);
  return path.drive(1, 700).drive(99, 1000).drive(125, 800).drive(80, 1250).drive(100, 1000).drive(
      1, 600);
}

// The first 100 chunks of a lap at a steady 1000 units a chunk after the crossing in chunk 250:
// boundary 1 is passed at chunk 350 (p = 100500, x = 0.5), which with a0 = 0.5 gives
// split 1 = (99 + 2 + 0.5 - 0.5) * 1000 / 60 = 1683.33 -> 1683.
Path steadySector(int chunks = 120) { return Path::crossingAt(250).drive(chunks, 1000); }

TEST_F(SectorSearch, MeasuresSplitTimesAndSpeedsOfTheBestLap) {
  addDriver(1, msForChunk(300), variedLap());
  EXPECT_EQ(run(), message('A', "Sommer"));
  // split k = (n + s - x) * 1000 / 60:
  //   1: (102 - 0.285714 - 0.2)  * 1000 / 60 = 1691.90
  //   2: (227 - 0.285714 - 0.25) * 1000 / 60 = 3774.40
  //   3: (307 - 0.285714 - 0.16) * 1000 / 60 = 5109.24
  //   4: (408 - 0.285714 - 0.333333) * 1000 / 60 = 6789.68
  EXPECT_EQ(split(1), (Sectors{0, 1691, 3774, 5109, 6789}));
  // The first sample (7560) lands in cell 0 only, the lap-end sample (6480) in 0 and 4; the
  // first sample of each faster sector rises by 1.0 or more and is not a maximum, the ones
  // after it are.
  EXPECT_EQ(maxSpeed(1), (Sectors{13500, 10800, 8640, 13500, 10800}));
  EXPECT_EQ(minSpeed(1), (Sectors{6480, 10800, 8640, 13500, 6480}));
  EXPECT_EQ(store().PreviousSampleSpeed, 6480.0);
}

TEST_F(SectorSearch, DriverMessageWritesTheWholeLastNameField) {
  struct Case {
    std::string First, Last;
    std::string Expected;
  };
  const Case cases[] = {
      {"Ada", "Sommer",
       "\nWait a moment, please... The tool is looking for sector times\nand max.speed of "
       "A.Sommer\0\0\0\0\0\0\0\0\0\0"s},
      {"bo", "Qrstuvwxyzabcdef", message('b', "Qrstuvwxyzabcdef")},
      {"", "X", message('\0', "X")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Last);
    reset();
    addDriver(1, msForChunk(300), steadySector(), c.First, c.Last);
    EXPECT_EQ(run(), c.Expected);
  }
}

TEST_F(SectorSearch, MeasuresEntriesOneToNineteenButNeverEntryZero) {
  struct Case {
    int SlotOffset;
    std::vector<int> Entries;
  };
  const Case cases[] = {{0, {0, 1}}, {20, {0, 2}}, {80, {0, 19}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.SlotOffset);
    reset();
    slotOffset_ = c.SlotOffset;
    addDriver(c.Entries[0], msForChunk(300), steadySector(), "Null", "Zero");
    addDriver(c.Entries[1], msForChunk(300), steadySector(), "Ein", "Eins");
    EXPECT_EQ(run(), message('E', "Eins"));
    expectUnmeasured(c.SlotOffset);
    EXPECT_EQ(split(c.SlotOffset + c.Entries[1])[1], 1683);
  }
}

TEST_F(SectorSearch, DriversWithoutRaceLapsAreSkippedSilently) {
  addDriver(1, msForChunk(300), steadySector(), "Ada", "Sommer");
  addDriver(2, msForChunk(300), steadySector(), "Bo", "Lind");
  addDriver(3, msForChunk(300), steadySector(), "Cy", "Rask");
  store().RaceLapCount[1] = 0;
  store().RaceLapCount[3] = -1;
  EXPECT_EQ(run(), message('B', "Lind"));
  expectUnmeasured(1);
  expectUnmeasured(3);
  EXPECT_EQ(split(2)[1], 1683);
}

TEST_F(SectorSearch, WithoutRaceStartMarkerNobodyIsMeasuredOrNamed) {
  markerFlag_ = 0;
  addDriver(1, msForChunk(300), steadySector());
  addDriver(2, msForChunk(300), steadySector());
  EXPECT_EQ(run(), "");
  expectUnmeasured(1);
  expectUnmeasured(2);
}

TEST_F(SectorSearch, BoundaryTestIsStrict) {
  // The car is 0 units past the line in chunk 250 (a0 = 0, s = -1) and reaches exactly
  // p = 100000 = 1 * 400000 * 0.25 in chunk 350, where it stands for one chunk (Δ = 0 fires
  // nothing) and moves on to 101000 in chunk 352: x = 1000 / 1000 = 1, n = 3 + 101 = 104,
  // split 1 = (104 - 1 - 1) * 1000 / 60 = 1700. Ending the sector at chunk 350 would give
  // (102 - 1 - 0) * 1000 / 60 = 1683.
  Path path = Path::crossingAt(250, 0);
  path.drive(100, 1000).drive(1, 0).drive(50, 1000);
  addDriver(1, msForChunk(300), path);
  run();
  EXPECT_EQ(split(1)[1], 1700);
  // The standing sample (speed 0) is neither a minimum nor a maximum of sector 1.
  EXPECT_EQ(minSpeed(1)[1], 10800);
  EXPECT_EQ(maxSpeed(1)[1], 10800);
}

TEST_F(SectorSearch, SampleThatEndsASectorStillCountsForIt) {
  // Steady 1000 a chunk from 500 past the line in chunk 250; chunk 350 passes boundary 1
  // (p = 100500) at 700 units (7560) and chunk 351 runs at 900 (9720), then 1000 again.
  Path path = Path::crossingAt(250);
  path.drive(99, 1000).drive(1, 700).drive(1, 900).drive(30, 1000);
  addDriver(1, msForChunk(300), path);
  run();
  EXPECT_EQ(minSpeed(1)[1], 7560);
  EXPECT_EQ(minSpeed(1)[2], 9720);
}

TEST_F(SectorSearch, MaximumIgnoresRisesOfOneAndSpeedsOfThreeHundredSixty) {
  // The first sample of the lap (cell 0 only) has the speed under test and is compared with
  // the previous sample's speed, set as left by an earlier measurement; the samples after it
  // run at 500 units a chunk, so cell 0 ends up at the tested speed when it is taken and at
  // the speed of 500 units otherwise.
  struct Case {
    const char* Name;
    int32_t Fps;
    int32_t Step;
    double Previous;
    int32_t Expected;
  };
  const Case cases[] = {
      // 1000 * 18 * 60 / 100 = 10800; 500 -> 5400.
      {"rise of exactly 1.0", 60, 1000, 10799.0, 5400},
      {"rise of 0.99", 60, 1000, 10799.01, 10800},
      {"no rise", 60, 1000, 10800.0, 10800},
      {"first sample of the run", 60, 1000, 0.0, 5400},
      // 3333 -> 35996.4, stored truncated; 3334 -> 36007.2.
      {"just below 360 km/h", 60, 3333, 40000.0, 35996},
      {"just above 360 km/h", 60, 3334, 40000.0, 5400},
      // Only a frame rate of 50 makes a whole step give exactly 36000.0:
      // 4000 * 18 * 50 / 100 = 36000; 500 -> 4500.
      {"exactly 360 km/h", 50, 4000, 40000.0, 4500},
      {"one unit below 360 km/h", 50, 3999, 40000.0, 35991},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    reset(c.Fps);
    store().PreviousSampleSpeed = c.Previous;
    Path path = Path::crossingAt(250);
    path.drive(1, c.Step).drive(30, 500);
    addDriver(1, msForChunk(300), path);
    run();
    EXPECT_EQ(maxSpeed(1)[0], c.Expected);
  }
}

TEST_F(SectorSearch, StandingOrRollingBackIsNeverAMinimum) {
  struct Case {
    const char* Name;
    int32_t Step;
  };
  const Case cases[] = {{"standing", 0}, {"rolling back", -300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    reset();
    Path path = Path::crossingAt(250);
    path.drive(20, 1000).drive(2, c.Step).drive(20, 1000);
    addDriver(1, msForChunk(300), path);
    run();
    EXPECT_EQ(minSpeed(1)[0], 10800);
    EXPECT_EQ(minSpeed(1)[1], 10800);
    EXPECT_EQ(maxSpeed(1)[1], 10800);
  }
}

TEST_F(SectorSearch, StandingStillOnTheLineWaitsForTheNextSampleToStartTheLap) {
  // 500 past the line in chunk 250, still there in chunk 251 (Δ = 0, no event), 1500 in
  // chunk 252: a0 = 0.5 at n = 4, s = 0.5 - 2 = -1.5. Boundary 1 at chunk 351 (p = 100500,
  // x = 0.5, n = 103): (103 - 1.5 - 0.5) * 1000 / 60 = 1683.33.
  Path path = Path::crossingAt(250);
  path.drive(1, 0).drive(120, 1000);
  addDriver(1, msForChunk(300), path);
  run();
  EXPECT_EQ(split(1)[1], 1683);
  EXPECT_EQ(minSpeed(1)[0], 10800);
}

TEST_F(SectorSearch, MissingItemsWidenTheNextSampleWhileTheChunkNumberAdvances) {
  // Steady 1000 a chunk from 500 past the line in chunk 250 (a0 = 0.5, s = -0.5), but the car
  // is missing from chunks 349 and 350 (p = 99500, 100500). Chunk 351 gives q = 98500,
  // p = 101500, Δ = 3000, x = 1500 / 3000 = 0.5 at n = 3 + 100 = 103:
  //   split 1 = (103 - 0.5 - 0.5) * 1000 / 60 = 1700
  // and boundary 2 (chunk 450, p = 200500, n = 202):
  //   split 2 = (202 - 0.5 - 0.5) * 1000 / 60 = 3350.
  Path path = Path::crossingAt(250);
  path.drive(210, 1000);
  path.Positions[static_cast<size_t>(349 - path.First)] = -1;
  path.Positions[static_cast<size_t>(350 - path.First)] = -1;
  addDriver(1, msForChunk(300), path);
  run();
  EXPECT_EQ(split(1)[1], 1700);
  EXPECT_EQ(split(1)[2], 3350);
  // The wide sample (3000 -> 32400) rises by far more than 1.0: no maximum.
  EXPECT_EQ(maxSpeed(1)[1], 10800);
}

TEST_F(SectorSearch, PreviousSpeedCarriesFromOneDriverToTheNext) {
  // Driver 1 runs a whole lap at 1000 a chunk from 500 past the line in chunk 250; the line
  // comes again in chunk 650 (p = 500) and its last sample, chunk 651, moves `lastStep`.
  // Driver 2's first sample moves 1000 (10800), the rest 500 (5400): its cell 0 holds 10800
  // only when that first sample is compared with driver 1's last speed and rises by less
  // than 1.0.
  // Driver 1's lap end is at n = 403 with a = 500 / lastStep, after a lap start with
  // a0 = 0.5 (s = -0.5): split 4 = (403 - 0.5 - a) * 1000 / 60.
  struct Case {
    int32_t LastStep;
    int32_t LapEnd;    // driver 1's split 4
    int32_t Expected;  // driver 2's cell 0
  };
  const Case cases[] = {{2000, 6704, 10800},  // a = 0.25: 402.25 -> 6704.17
                        {1000, 6700, 10800},  // a = 0.5:  402    -> 6700
                        {500, 6691, 5400}};   // a = 1:    401.5  -> 6691.67
  for (const auto& [lastStep, lapEnd, expected] : cases) {
    SCOPED_TRACE(lastStep);
    reset();
    Path first = Path::crossingAt(250);
    first.drive(400, 1000).drive(1, lastStep).drive(10, 1000);
    Path second = Path::crossingAt(250);
    second.drive(1, 1000).drive(100, 500);
    addDriver(1, msForChunk(300), first);
    addDriver(2, msForChunk(300), second);
    run();
    EXPECT_EQ(split(1)[4], lapEnd);
    EXPECT_EQ(maxSpeed(2)[0], expected);
  }
}

TEST_F(SectorSearch, WindowOfABestLapAtSixtySecondsAtThirtySixFps) {
  // t = 60000 ms at 36 fps: k = 60000 * 36 / 1000 = 2160, the window holds race chunks 1960
  // to 2159. A fall of the position is seen only between two chunks of the window, so a car
  // past the line in chunk 1961 to 2159 is found. The stream ends with chunk 2259.
  // Found in chunk c: boundary 1 is passed 100 chunks later (p = 100500, x = 0.5, a0 = 0.5):
  //   split 1 = (99 + 2 + 0.5 - 0.5) * 1000 / 36 = 2805.56.
  // Not found: the lap starts only after the next crossing, 400 chunks on, or (c = 2160) one
  // chunk too late to reach boundary 1 before the end.
  const std::pair<int, int32_t> cases[] = {{1959, 0},    {1960, 0},    {1961, 2805},
                                           {2100, 2805}, {2159, 2805}, {2160, 0}};
  for (const auto& [crossing, expected] : cases) {
    SCOPED_TRACE(crossing);
    reset(36);
    Path path = Path::crossingAt(crossing, 500, 1000, 1800);
    path.drive(2259 - crossing, 1000);
    addDriver(1, 60000, path);
    EXPECT_EQ(run(), message('A', "Sommer"));
    EXPECT_EQ(split(1)[1], expected);
  }
}

TEST_F(SectorSearch, WindowEndsWithTheChunkBeforeTheEstimate) {
  // The same best lap (k = 2160 at 36 fps). A car past the line in chunk 2159 is found there,
  // and the first measured sample, chunk 2160, starts the lap. A car past the line in chunk
  // 2160 is not found: the measurement starts with that chunk, whose sample falls by almost a
  // lap (a speed far below zero), so the lap-start sample in chunk 2161 rises by more than 1.0.
  // The lap-start sample moves 1000 units (6480), the ones after it 500 (3240); an earlier
  // measurement left a previous speed of 20000.
  const std::pair<int, int32_t> cases[] = {{2159, 6480}, {2160, 3240}};
  for (const auto& [crossing, expected] : cases) {
    SCOPED_TRACE(crossing);
    reset(36);
    store().PreviousSampleSpeed = 20000.0;
    Path path = Path::crossingAt(crossing, 500, 1000, 1800);
    path.drive(1, 1000).drive(2258 - crossing, 500);
    addDriver(1, 60000, path);
    run();
    EXPECT_EQ(maxSpeed(1)[0], expected);
  }
}

TEST_F(SectorSearch, LapStartsOnlyWithinFiftyMetresPastTheLine) {
  // The first position the window sees past the line is `seen` (chunk 250), 1000 units a chunk
  // from there. At 99999 the first sample starts the lap: a0 = 99.999, s = 98.999; chunk 252
  // (p = 101999, x = 1.999, n = 4) ends sector 1 at (4 + 98.999 - 1.999) * 1000 / 60 = 1683.33.
  // At 100000 the lap would start only after the next crossing, beyond the end of the stream.
  const std::pair<int32_t, int32_t> cases[] = {{99999, 1683}, {100000, 0}};
  for (const auto& [seen, expected] : cases) {
    SCOPED_TRACE(seen);
    reset();
    Path path = Path::crossingAt(249, 390000);
    path.Positions.push_back(seen);
    path.drive(60, 1000);
    addDriver(1, msForChunk(300), path);
    run();
    EXPECT_EQ(split(1)[1], expected);
  }
}

TEST_F(SectorSearch, WindowStopsAtTheFirstChunkOfTheStream) {
  // k = 50: stepping back 200 chunks stops at the first standing chunk (race chunk -4). The
  // car is past the line in race chunk -2, a standing chunk before the marker; the window sees
  // it and the lap runs on from there: split 1 = 101 * 1000 / 60 = 1683.33.
  Path path = Path::crossingAt(-2, 500, 1000, -kLeadIn);
  path.drive(150, 1000);
  addDriver(1, msForChunk(50), path);
  EXPECT_EQ(run(), message('A', "Sommer"));
  EXPECT_EQ(split(1)[1], 1683);
}

TEST_F(SectorSearch, EstimateBeyondTheEndStillNamesTheDriverAndMeasuresNothing) {
  addDriver(1, msForChunk(5000), steadySector(), "Ada", "Sommer");
  addDriver(2, msForChunk(300), steadySector(), "Bo", "Lind");
  EXPECT_EQ(run(), message('A', "Sommer") + message('B', "Lind"));
  expectUnmeasured(1);
  EXPECT_EQ(split(2)[1], 1683);
}

TEST_F(SectorSearch, MeasurementStopsTwelveHundredBytesBeforeTheEnd) {
  // The lap-end sample is in chunk 656, the last race chunk. It is read only when the end of
  // chunk 655 lies more than 1200 bytes before the end of the file.
  for (const int64_t beyond : {0, 1}) {
    SCOPED_TRACE(beyond);
    reset();
    addDriver(1, msForChunk(300), variedLap());
    run();  // lays out the chunks
    const int64_t after655 = raceChunkEnd_[656] - raceChunkEnd_[655];
    tail_ = 1200 - after655 + beyond;
    reset();
    addDriver(1, msForChunk(300), variedLap());
    run();
    EXPECT_EQ(split(1)[3], 5109);
    EXPECT_EQ(split(1)[4], beyond == 0 ? 0 : 6789);
    EXPECT_EQ(minSpeed(1)[4], beyond == 0 ? 10800 : 6480);
  }
}

TEST_F(SectorSearch, NoMeasurementWhenTheWindowEndsTwelveHundredBytesBeforeTheEnd) {
  // The stream ends with race chunk 251 and the estimate is that chunk (k = 251, window 51 to
  // 250). The window search ends with chunk 250; chunk 251 (the first sample, 700 units =
  // 7560) is measured only when chunk 250 ends more than 1200 bytes before the end of the file.
  for (const int64_t beyond : {0, 1}) {
    SCOPED_TRACE(beyond);
    reset();
    lastChunk_ = 0;
    Path path = Path::crossingAt(250);
    path.drive(1, 700);
    addDriver(1, msForChunk(251), path);
    run();
    tail_ = 1200 - (raceChunkEnd_[251] - raceChunkEnd_[250]) + beyond;
    reset();
    addDriver(1, msForChunk(251), path);
    EXPECT_EQ(run(), message('A', "Sommer"));
    EXPECT_EQ(minSpeed(1)[0], beyond == 0 ? kNoTime : 7560);
  }
}

// A generated grid: three cars at a constant speed on a 9 km track, every lap 100 s. The
// event writer places each car on the line at the race clock of its lap records and moves it
// 18000000 units a lap, so a chunk moves 3000 units at 60 fps and 5000 at 36 fps: 324 km/h,
// stored as 32400. The writer rounds each position down in two steps, by less than 1.02 units
// in all, so a sample's step is off by at most one unit.
//
// The formulas count a boundary sector from the chunk before the lap-start event and the lap
// end from the chunk before the lap-end event, so they store the true time plus one frame at
// each boundary and plus two frames at the lap end:
//   60 fps: 25000 * k + 16.67 -> 25016, 50016, 75016; 100000 + 33.33 -> 100033
//   36 fps: 25000 * k + 27.78 -> 25027, 50027, 75027; 100000 + 55.56 -> 100055
// The rounding of the positions moves these by less than 0.1 ms.
TEST_F(SectorSearch, GeneratedLapGivesTheIntendedSplitsAndSpeeds) {
  struct Case {
    int Fps;
    Sectors Splits;
  };
  const Case cases[] = {{60, {0, 25016, 50016, 75016, 100033}},
                        {36, {0, 25027, 50027, 75027, 100055}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Fps);
    tools::GridSpec grid;
    grid.Seed = 31;
    grid.FrameRate = c.Fps;
    grid.TrackLengthMm = 9000000;
    const char* names[] = {"Null", "Eins", "Zwei"};
    for (int entry = 0; entry < 3; ++entry) {
      tools::DriverSpec driver;
      driver.FirstName = names[entry];
      driver.LastName = "Fahrer";
      driver.EntryNumber = entry;
      driver.SpeedVariation = 0;
      driver.RaceLaps = {{100000}, {100000}, {100000}};
      grid.Drivers.push_back(driver);
    }
    const tools::WriteOutcome out = tools::writeReplay(grid);
    ASSERT_TRUE(out.ok()) << out.Error;
    const tools::WrittenReplay& replay = out.Replay;

    initEventStore(store());
    const int slotOffset = 20;
    store().ReplayFrameRate = c.Fps;
    store().TrackLengthRaw = 2 * grid.TrackLengthMm;
    store().ReplayFileSize = static_cast<int64_t>(replay.Bytes.size());
    for (const tools::DriverOutcome& driver : replay.Drivers) {
      const int slot = slotOffset + driver.EntryNumber;
      store().SlotFirstName[slot].assign(names[driver.EntryNumber]);
      store().SlotLastName[slot].assign("Fahrer");
      store().RaceLapCount[slot] = 3;
      store().RaceBestLapNo[slot] = 2;
      for (size_t k = 0; k < driver.RaceCrossingsMs.size(); ++k) {
        store().RaceCumTime[slot][k] = driver.RaceCrossingsMs[k];
      }
    }
    MemoryByteSource source(replay.Bytes);
    ChunkChain chain(source, replay.StreamStart);
    std::ostringstream console;
    searchSectorTimes(source, chain, store(), slotOffset, console);

    EXPECT_EQ(console.str(), message('E', "Fahrer") + message('Z', "Fahrer"));
    expectUnmeasured(slotOffset);
    const int32_t step = 18000000 / (100 * c.Fps);
    const auto speed = [&](int32_t units) {
      return static_cast<int32_t>(units * 18.0 * c.Fps / 100.0);
    };
    ASSERT_EQ(speed(step), 32400);
    for (const int slot : {slotOffset + 1, slotOffset + 2}) {
      SCOPED_TRACE(slot);
      EXPECT_EQ(split(slot), c.Splits);
      for (int cell = 0; cell < kSectorCells; ++cell) {
        EXPECT_GE(minSpeed(slot)[cell], speed(step - 1)) << cell;
        EXPECT_LE(maxSpeed(slot)[cell], speed(step + 1)) << cell;
        EXPECT_LE(minSpeed(slot)[cell], maxSpeed(slot)[cell]) << cell;
      }
    }
  }
}

}  // namespace
}  // namespace vorlind
