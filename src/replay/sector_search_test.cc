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

#include "event_plans.h"
#include "event_writer.h"
#include "replay/lap_extraction.h"
#include "replay/replay_header.h"
#include "replay_builder.h"
#include "track/track_length.h"

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

    // Once reading every chunk from the replay, once taking the chunks that a track length scan
    // kept: the two must agree in everything.
    MemoryByteSource source(bytes_);
    const auto before = std::make_unique<EventStore>(store());
    std::ostringstream read;
    ChunkChain readChain(source, streamStart);
    searchSectorTimes(source, readChain, store(), slotOffset_, read);
    const auto afterRead = std::make_unique<EventStore>(store());

    store() = *before;
    ChunkChain chain(source, streamStart);
    SectorRecorder recorder;
    recorder.startGrid(store(), slotOffset_, source.size());
    std::ostringstream scan;
    searchTrackLength(source, chain, store(), scan, &recorder);
    store().TrackLengthRaw = before->TrackLengthRaw;
    std::ostringstream console;
    searchSectorTimes(source, chain, store(), slotOffset_, console, &recorder);
    EXPECT_EQ(console.str(), read.str());
    EXPECT_EQ(store().BestLapSplitTime, afterRead->BestLapSplitTime);
    EXPECT_EQ(store().BestLapMaxSpeed, afterRead->BestLapMaxSpeed);
    EXPECT_EQ(store().BestLapMinSpeed, afterRead->BestLapMinSpeed);
    EXPECT_EQ(store().PreviousSampleSpeed, afterRead->PreviousSampleSpeed);
    return console.str();
  }

  // A fresh event with one driver whose best lap is at race chunk `k`; returns its splits.
  Sectors measure(int32_t k, const Path& path) {
    reset();
    addDriver(1, msForChunk(k), path);
    run();
    return split(1);
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
  EXPECT_EQ(run(),
            "\nWait a moment, please... The tool is looking for sector times\nand max.speed of "
            "A.Sommer\0\0\0\0\0\0\0\0\0\0"s);
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

TEST_F(SectorSearch, WhoIsMeasuredAndNamed) {
  // The message prints the first letter and the whole 16-byte last-name field.
  const std::pair<const char*, const char*> names[] = {{"bo", "Qrstuvwxyzabcdef"}, {"", "X"}};
  for (const auto& [first, last] : names) {
    reset();
    addDriver(1, msForChunk(300), steadySector(), first, last);
    EXPECT_EQ(run(), message(first[0], last));
  }
  // Entry 0 of any grid is never measured; entries up to 19 are.
  const std::pair<int, int> entries[] = {{0, 1}, {20, 2}, {80, 19}};
  for (const auto& [offset, entry] : entries) {
    SCOPED_TRACE(offset);
    reset();
    slotOffset_ = offset;
    addDriver(0, msForChunk(300), steadySector(), "Null", "Zero");
    addDriver(entry, msForChunk(300), steadySector(), "Ein", "Eins");
    EXPECT_EQ(run(), message('E', "Eins"));
    expectUnmeasured(offset);
    EXPECT_EQ(split(offset + entry)[1], 1683);
  }
  // Drivers without race laps are skipped silently.
  reset();
  slotOffset_ = 0;
  addDriver(1, msForChunk(300), steadySector(), "Ada", "Sommer");
  addDriver(2, msForChunk(300), steadySector(), "Bo", "Lind");
  addDriver(3, msForChunk(300), steadySector(), "Cy", "Rask");
  store().RaceLapCount[1] = 0;
  store().RaceLapCount[3] = -1;
  EXPECT_EQ(run(), message('B', "Lind"));
  expectUnmeasured(1);
  expectUnmeasured(3);
  // Without a race start marker nobody of the grid is measured or named.
  reset();
  markerFlag_ = 0;
  addDriver(1, msForChunk(300), steadySector());
  addDriver(2, msForChunk(300), steadySector());
  EXPECT_EQ(run(), "");
  expectUnmeasured(1);
  expectUnmeasured(2);
}

TEST_F(SectorSearch, SectorBoundariesAndStandingSamples) {
  // Boundary test is strict: 0 past the line in chunk 250 (s = -1), exactly p = 100000 in
  // chunk 350, standing there (Δ = 0 fires nothing), 101000 in 352: x = 1, n = 104,
  // (104 - 1 - 1) * 1000 / 60 = 1700; ending the sector at 350 would give 1683.
  EXPECT_EQ(measure(300, Path::crossingAt(250, 0).drive(100, 1000).drive(1, 0).drive(50, 1000))[1],
            1700);
  // The standing sample (speed 0) is neither a minimum nor a maximum.
  EXPECT_EQ(minSpeed(1)[1], 10800);
  EXPECT_EQ(maxSpeed(1)[1], 10800);
  // Standing on the line: the lap starts with the next sample, a0 = 0.5 at n = 4, s = -1.5;
  // boundary 1 at chunk 351, n = 103: (103 - 1.5 - 0.5) * 1000 / 60 = 1683.33.
  EXPECT_EQ(measure(300, Path::crossingAt(250).drive(1, 0).drive(120, 1000))[1], 1683);
  EXPECT_EQ(minSpeed(1)[0], 10800);
  // Standing or rolling back mid-sector is never a minimum.
  for (const int32_t step : {0, -300}) {
    measure(300, Path::crossingAt(250).drive(20, 1000).drive(2, step).drive(20, 1000));
    EXPECT_EQ(minSpeed(1)[0], 10800) << step;
    EXPECT_EQ(minSpeed(1)[1], 10800) << step;
    EXPECT_EQ(maxSpeed(1)[1], 10800) << step;
  }
  // The sample that passes boundary 1 (700 = 7560) still counts for sector 1; the next (900 =
  // 9720) for sector 2.
  measure(300, Path::crossingAt(250).drive(99, 1000).drive(1, 700).drive(1, 900).drive(30, 1000));
  EXPECT_EQ(minSpeed(1)[1], 7560);
  EXPECT_EQ(minSpeed(1)[2], 9720);
}

TEST_F(SectorSearch, MaximumIgnoresRisesOfOneAndSpeedsOfThreeHundredSixty) {
  // The lap's first sample (cell 0 only) has the tested speed and is compared with the
  // previous sample's speed; the rest run at 500 a chunk, so cell 0 shows whether it was taken.
  struct Case {
    const char* Name;
    int32_t Fps, Step;
    double Previous;
    int32_t Expected;
  };
  const Case cases[] = {
      // 1000 * 18 * 60 / 100 = 10800; 500 -> 5400.
      {"rise of exactly 1.0", 60, 1000, 10799.0, 5400},
      {"rise of 0.99", 60, 1000, 10799.01, 10800},
      {"no rise", 60, 1000, 10800.0, 10800},
      {"first sample of the run", 60, 1000, 0.0, 5400},
      {"just below 360 km/h", 60, 3333, 40000.0, 35996},  // 35996.4, truncated
      {"just above 360 km/h", 60, 3334, 40000.0, 5400},   // 36007.2
      // Only 50 fps gives exactly 36000.0 for a whole step: 4000 * 18 * 50 / 100; 500 -> 4500.
      {"exactly 360 km/h", 50, 4000, 40000.0, 4500},
      {"one unit below 360 km/h", 50, 3999, 40000.0, 35991},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    reset(c.Fps);
    store().PreviousSampleSpeed = c.Previous;
    addDriver(1, msForChunk(300), Path::crossingAt(250).drive(1, c.Step).drive(30, 500));
    run();
    EXPECT_EQ(maxSpeed(1)[0], c.Expected);
  }
}

TEST_F(SectorSearch, MissingItemsWidenTheNextSampleWhileTheChunkNumberAdvances) {
  // Absent from chunks 349 and 350: chunk 351 gives q = 98500, p = 101500, x = 0.5 at n = 103:
  // (103 - 0.5 - 0.5) * 1000 / 60 = 1700; boundary 2 at chunk 450, n = 202: 3350.
  Path path = Path::crossingAt(250).drive(210, 1000);
  path.Positions[349] = path.Positions[350] = -1;                 // path.First is 0
  EXPECT_EQ(measure(300, path), (Sectors{0, 1700, 3350, 0, 0}));  // the stream ends at 460
  EXPECT_EQ(maxSpeed(1)[1], 10800);  // the wide sample (32400) rises far more than 1.0
}

TEST_F(SectorSearch, PreviousSpeedCarriesFromOneDriverToTheNext) {
  // Driver 1's last sample (chunk 651) moves `lastStep`: lap end at n = 403, a = 500 / lastStep,
  // split 4 = (403 - 0.5 - a) * 1000 / 60. Driver 2's first sample moves 1000 (10800), the rest
  // 500: its cell 0 holds 10800 only when driver 1's last speed is less than 1.0 below.
  const std::array<int32_t, 3> cases[] = {{2000, 6704, 10800},  // 402.25 -> 6704.17
                                          {1000, 6700, 10800},  // 402
                                          {500, 6691, 5400}};   // 401.5 -> 6691.67
  for (const auto& [lastStep, lapEnd, expected] : cases) {
    SCOPED_TRACE(lastStep);
    reset();
    addDriver(1, msForChunk(300),
              Path::crossingAt(250).drive(400, 1000).drive(1, lastStep).drive(10, 1000));
    addDriver(2, msForChunk(300), Path::crossingAt(250).drive(1, 1000).drive(100, 500));
    run();
    EXPECT_EQ(split(1)[4], lapEnd);
    EXPECT_EQ(maxSpeed(2)[0], expected);
  }
}

TEST_F(SectorSearch, WindowOfABestLapAtSixtySecondsAtThirtySixFps) {
  // k = 60000 * 36 / 1000 = 2160: the window holds race chunks 1960 to 2159, and a fall of
  // the position is seen only between two of them. Found in chunk c: boundary 1 follows 100
  // chunks later, (99 + 2 + 0.5 - 0.5) * 1000 / 36 = 2805.56. Not found: the lap starts only
  // after the next crossing, beyond the end of the stream (chunk 2259).
  const std::pair<int, int32_t> cases[] = {{1959, 0},    {1960, 0},    {1961, 2805},
                                           {2100, 2805}, {2159, 2805}, {2160, 0}};
  for (const auto& [crossing, expected] : cases) {
    SCOPED_TRACE(crossing);
    reset(36);
    addDriver(1, 60000, Path::crossingAt(crossing, 500, 1000, 1800).drive(2259 - crossing, 1000));
    EXPECT_EQ(run(), message('A', "Sommer"));
    EXPECT_EQ(split(1)[1], expected);
  }
  // Past the line in 2159, chunk 2160 starts the lap (1000 units, 6480); past the line in
  // 2160, that chunk's fall of almost a lap is measured and the lap-start sample in 2161
  // rises by more than 1.0, leaving cell 0 at 500 units (3240).
  for (const auto& [crossing, expected] : {std::pair{2159, 6480}, std::pair{2160, 3240}}) {
    reset(36);
    store().PreviousSampleSpeed = 20000.0;
    addDriver(
        1, 60000,
        Path::crossingAt(crossing, 500, 1000, 1800).drive(1, 1000).drive(2258 - crossing, 500));
    run();
    EXPECT_EQ(maxSpeed(1)[0], expected) << crossing;
  }
}

TEST_F(SectorSearch, WindowEdges) {
  // A lap starts only within 50 m (100000 units) past the line: seen at 99999, a0 = 99.999,
  // boundary 1 in chunk 252 (x = 1.999, n = 4): (4 + 98.999 - 1.999) * 1000 / 60 = 1683.33.
  for (const auto& [seen, expected] : {std::pair{99999, 1683}, std::pair{100000, 0}}) {
    Path path = Path::crossingAt(249, 390000);
    path.Positions.push_back(seen);
    EXPECT_EQ(measure(300, path.drive(60, 1000))[1], expected) << seen;
  }
  // k = 50: the window stops at the first chunk of the stream (race chunk -4) and finds the
  // crossing in standing chunk -2: 101 * 1000 / 60 = 1683.33.
  reset();
  addDriver(1, msForChunk(50), Path::crossingAt(-2, 500, 1000, -kLeadIn).drive(150, 1000));
  EXPECT_EQ(run(), message('A', "Sommer"));
  EXPECT_EQ(split(1)[1], 1683);
  // An estimate beyond the end still names the driver and measures nothing.
  reset();
  addDriver(1, msForChunk(5000), steadySector(), "Ada", "Sommer");
  addDriver(2, msForChunk(300), steadySector(), "Bo", "Lind");
  EXPECT_EQ(run(), message('A', "Sommer") + message('B', "Lind"));
  expectUnmeasured(1);
  EXPECT_EQ(split(2)[1], 1683);
}

TEST_F(SectorSearch, TwelveHundredByteGuard) {
  // A chunk is read only when the chunk before it ends more than 1200 bytes before the end of
  // the file. Runs twice: first to learn the layout, then with the tail set around the guard.
  const auto guarded = [&](int32_t k, const Path& path, int last, int64_t beyond) {
    reset();
    addDriver(1, msForChunk(k), path);
    run();
    tail_ =
        1200 -
        (raceChunkEnd_[static_cast<size_t>(last)] - raceChunkEnd_[static_cast<size_t>(last - 1)]) +
        beyond;
    reset();
    addDriver(1, msForChunk(k), path);
    return run();
  };
  for (const int64_t beyond : {0, 1}) {
    SCOPED_TRACE(beyond);
    // The lap-end sample is in chunk 656, the last race chunk.
    guarded(300, variedLap(), 656, beyond);
    EXPECT_EQ(split(1)[3], 5109);
    EXPECT_EQ(split(1)[4], beyond == 0 ? 0 : 6789);
    EXPECT_EQ(minSpeed(1)[4], beyond == 0 ? 10800 : 6480);
    // The stream ends with the estimate, chunk 251, the first sample (700 = 7560).
    lastChunk_ = 0;
    EXPECT_EQ(guarded(251, Path::crossingAt(250).drive(1, 700), 251, beyond),
              message('A', "Sommer"));
    EXPECT_EQ(minSpeed(1)[0], beyond == 0 ? kNoTime : 7560);
    lastChunk_ = 310;
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
    SectorRecorder recorder;
    recorder.startGrid(store(), slotOffset, source.size());
    std::ostringstream console;
    searchTrackLength(source, chain, store(), console, &recorder);
    ASSERT_EQ(store().TrackLengthRaw, 2 * grid.TrackLengthMm);
    console.str("");
    searchSectorTimes(source, chain, store(), slotOffset, console, &recorder);
    for (const int entry : {1, 2}) ASSERT_NE(recorder.recording(entry), nullptr) << entry;

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

// A source that holds no window, so that every read reaches readOutsideWindow or
// peekOutsideWindow and is counted there.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(const std::vector<uint8_t>& bytes)
      : ByteSource(static_cast<int64_t>(bytes.size())), bytes_(bytes) {}
  int64_t reads = 0;

 private:
  bool readOutsideWindow(int64_t offset, std::span<uint8_t> out) override {
    const uint8_t* bytes = peekOutsideWindow(offset, static_cast<int64_t>(out.size()));
    if (bytes != nullptr) std::copy_n(bytes, out.size(), out.data());
    return bytes != nullptr;
  }
  const uint8_t* peekOutsideWindow(int64_t offset, int64_t count) override {
    ++reads;
    if (offset < 0 || count < 0 || offset > size() || count > size() - offset) return nullptr;
    return bytes_.data() + offset;
  }
  const std::vector<uint8_t>& bytes_;
};

TEST(SectorRecorder, MeasuresAGeneratedGridFromTheKeptChunksAlone) {
  const tools::EventDirectory event = tools::longEvent(1, 20, 4);
  const tools::WriteOutcome out = tools::writeReplay(event.Grids.front().Spec);
  ASSERT_TRUE(out.ok()) << out.Error;
  const auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  CountingSource source(out.Replay.Bytes);
  store->ReplayFileSize = source.size();
  ASSERT_EQ(readReplayHeader(source, *store), HeaderResult::kServerReplay);
  ByteCursor cursor(source);
  std::ostringstream console;
  ASSERT_EQ(readReplayLaps(cursor, *store, 0, 1, console), LapsResult::kRead);

  ChunkChain chain(source, cursor.position());
  SectorRecorder recorder;
  recorder.startGrid(*store, 0, source.size());
  searchTrackLength(source, chain, *store, console, &recorder);
  EXPECT_GT(recorder.raceStart(), 0);
  source.reads = 0;
  searchSectorTimes(source, chain, *store, 0, console, &recorder);
  EXPECT_EQ(source.reads, 0);
  int measured = 0;
  for (int entry = 1; entry < kSlotsPerGrid; ++entry) {
    if (store->RaceLapCount[entry] <= 0) continue;
    EXPECT_NE(recorder.recording(entry), nullptr) << entry;
    measured += store->BestLapSplitTime[entry][4] > 0;
  }
  EXPECT_GE(measured, 15);
}

}  // namespace
}  // namespace vorlind
