#include "replay/grid_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "event_writer.h"
#include "report/result_table.h"
#include "robustness_harness.h"

namespace vorlind {
namespace {

using tools::GridSpec;

// A grid of `entries` cars with two race laps each (or none), reacting to the start after
// `reactionMs`.
GridSpec gridOf(int entries, bool hasRace, int32_t reactionMs = 300) {
  GridSpec grid;
  grid.HasRace = hasRace;
  for (int e = 0; e < entries; ++e) {
    tools::DriverSpec driver;
    driver.FirstName = "F" + std::to_string(e);
    driver.LastName = "L" + std::to_string(e);
    driver.EntryNumber = e;
    driver.ReactionMs = reactionMs;
    driver.PracticeLaps = {{90000, 0}};
    driver.RaceLaps = {{80000 - 1000 * e, 0}, {79000 - 1000 * e, 0}};  // entry 0 last
    grid.Drivers.push_back(driver);
  }
  return grid;
}

std::vector<uint8_t> write(const GridSpec& grid) {
  const tools::WriteOutcome written = tools::writeReplay(grid);
  EXPECT_TRUE(written.ok()) << written.Error;
  return written.Replay.Bytes;
}

struct Reading {
  GridResult Result;
  std::string Log;
};

Reading readGrid(const std::vector<uint8_t>& bytes, EventStore& store, int grid, int slotOffset) {
  MemoryByteSource source(bytes);
  harness::RecordingListener listener;
  GridReader reader;
  const GridResult result = reader.read(source, store, grid, slotOffset, listener);
  return {result, listener.Log};
}

TEST(GridReader, OutcomesAndWhatTheListenerIsTold) {
  GridSpec player = gridOf(3, true);
  player.ServerMarker = 1;
  std::vector<uint8_t> shortHeader = write(gridOf(3, true));
  shortHeader.resize(54);
  const struct {
    const char* Name;
    std::vector<uint8_t> Replay;
    GridOutcome Outcome;
    bool Scanned;
  } cases[] = {
      {"three entries and a race", write(gridOf(3, true)), GridOutcome::kCounted, true},
      {"two entries", write(gridOf(2, true)), GridOutcome::kNotCounted, false},
      {"no race", write(gridOf(5, false)), GridOutcome::kNotCounted, false},
      {"player replay", write(player), GridOutcome::kPlayerReplay, false},
      {"shorter than the header", shortHeader, GridOutcome::kDamaged, false},
  };
  auto store = std::make_unique<EventStore>();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    initEventStore(*store);
    const Reading reading = readGrid(c.Replay, *store, 1, 0);
    EXPECT_EQ(reading.Result.Outcome, c.Outcome);
    EXPECT_EQ(reading.Log.find("scan\ntrack ") != std::string::npos, c.Scanned);
    EXPECT_EQ(reading.Log.find("measure 2\n") != std::string::npos, c.Scanned);
    EXPECT_EQ(reading.Log.find("measure 0\n"), std::string::npos) << "entry 0 is never measured";
  }
  initEventStore(*store);
  const Reading damaged = readGrid(shortHeader, *store, 1, 0);
  EXPECT_EQ(damaged.Result.Failure.Offset, 52) << "the server marker runs past the end";
}

// The start time is kept by grid number, while a grid that is not counted leaves its slots to
// the next one: the second replay's drivers then sit in grid A's slots, whose start time is the
// first replay's.
TEST(GridReader, StartTimeGoesByGridNumberWhileSlotsMoveOnlyForCountedGrids) {
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  const Reading first = readGrid(write(gridOf(2, true, 100)), *store, 1, 0);
  ASSERT_EQ(first.Result.Outcome, GridOutcome::kNotCounted);
  const Reading second = readGrid(write(gridOf(4, true, 900)), *store, 2, 0);
  ASSERT_EQ(second.Result.Outcome, GridOutcome::kCounted);
  EXPECT_NE(store->GridStartTime[0], store->GridStartTime[1]);
  EXPECT_LT(store->GridStartTime[0], kNoTime);
  EXPECT_EQ(store->SlotLastName[3].view(), "L3") << "the second replay took slots 0 to 19";
  EXPECT_EQ(store->RaceCumTime[20][0], 0);
  EXPECT_NE(second.Log.find("start " + std::to_string(store->GridStartTime[1])), std::string::npos);
  // The result measures those drivers from grid A's start.
  const std::vector<ResultRow> rows = rankResult(*store);
  ASSERT_FALSE(rows.empty());
  const ResultRow& winner = rows.front();
  EXPECT_EQ(winner.RaceTime,
            store->RaceCumTime[winner.Slot][store->RaceLapCount[winner.Slot]] -
                store->GridStartTime[0]);
}

}  // namespace
}  // namespace vorlind
