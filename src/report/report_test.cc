// Tests of the report: the lap pass, the rows that each table ranks or lists, the number formats,
// and the row breaks of the lone-cell tables in the written document.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "report/development_table.h"
#include "report/fast_lap_tables.h"
#include "report/lap_pass.h"
#include "report/leader_table.h"
#include "report/on_track_speed_tables.h"
#include "report/practice_lap_list.h"
#include "report/report_writer.h"
#include "report/result_table.h"
#include "report/sector_tables.h"

namespace vorlind {
namespace {

using Slots = std::vector<int>;
constexpr std::nullopt_t kNone = std::nullopt;

std::unique_ptr<EventStore> makeStore() {
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  return store;
}

// Race crossings, from which the lap times and the lap count follow.
void setRaceCrossings(EventStore& store, int slot, const std::vector<int32_t>& crossings) {
  for (size_t k = 0; k < crossings.size(); ++k) {
    store.RaceCumTime[slot][k] = crossings[k];
    store.RaceLapTime[slot][k] = k == 0 ? crossings[0] : crossings[k] - crossings[k - 1];
  }
  store.RaceLapCount[slot] = static_cast<int32_t>(crossings.size()) - 1;
}

template <typename Row>
Slots slotsOf(const std::vector<Row>& rows) {
  Slots slots;
  for (const Row& row : rows) slots.push_back(row.Slot);
  return slots;
}

TEST(LapPass, FindsLeadersOnEachGridsOwnClock) {
  auto store = makeStore();
  store->MaxRaceLaps = 3;
  store->GridStartTime[0] = 1000;
  store->GridStartTime[1] = 11000;
  setRaceCrossings(*store, 2, {1000, 91000, 181000});
  setRaceCrossings(*store, 21, {11000, 106000, 186000});
  store->LapLeader[3] = 7;  // a lap that nobody ended keeps its leader
  computeLapPass(*store);
  // 0 against 0 goes to the lower slot, then 90000 against 95000, 180000 against 175000.
  EXPECT_EQ(Slots(store->LapLeader.begin(), store->LapLeader.begin() + 4), (Slots{2, 2, 21, 7}));
}

TEST(LapPass, CountsFastestTimesAndRecordsEachImprovement) {
  auto store = makeStore();
  store->MaxRaceLaps = 5;
  setRaceCrossings(*store, 0, {1000, 91000, 180000, 269500, 357500});  // 90 89 89.5 88
  setRaceCrossings(*store, 7, {1000, 92000, 180500, 269500, 357500});  // 91 88.5 89 88
  store->RaceLapTime[9][5] = 1;                                        // a lap of 1 ms is a time
  computeLapPass(*store);
  // Equal fastest times all count; the first crossing never does. Lap 4's equal record goes to
  // the lower slot.
  const auto& counts = store->FastestLapCount;
  EXPECT_EQ((Slots{counts[0], counts[7], counts[9]}), (Slots{2, 3, 1}));
  EXPECT_EQ(listDevelopment(*store),
            (std::vector<DevelopmentRow>{{0, 1, 90000}, {7, 2, 88500}, {0, 4, 88000}, {9, 5, 1}}));
}

TEST(LapPass, DamagedLapCountsStayInsideTheStore) {
  auto store = makeStore();
  store->RaceLapTime[2][0] = kNoTime;
  store->RaceLapTime[2][499] = 70000;
  // Crossing 0, whose time equals the kNoTime that stands for its missing fastest, counts in a
  // race of no laps; then again with lap 499.
  store->MaxRaceLaps = 0;
  computeLapPass(*store);
  EXPECT_EQ(store->FastestLapCount[2], 1);
  store->MaxRaceLaps = 5000;
  computeLapPass(*store);
  EXPECT_EQ(store->FastestLapCount[2], 3);
  EXPECT_EQ(store->FastestLapDevelopmentLength, 1);
  EXPECT_EQ(store->FastestLapDevelopment[0].Lap, 499);
}

TEST(ResultRows, FinishersByProjectedTimeThenRetirementsOnEachGridsClock) {
  auto store = makeStore();
  store->MaxRaceLaps = 3;
  store->GridStartTime[0] = 10000;
  store->GridStartTime[1] = 5000;
  setRaceCrossings(*store, 1, {12000, 72000, 132000, 190000});
  setRaceCrossings(*store, 2, {12500, 73000, 134000, 195000});
  // One lap down after the winner finished: its 190000 plus one lap of (190000 - 5500) / 2.
  setRaceCrossings(*store, 3, {13000, 100000, 200000});
  setRaceCrossings(*store, 4, {12800, 75000});  // stopped before the winner finished
  // No first crossing: never ranked, but counted in the distance columns.
  setRaceCrossings(*store, 5, {0, 70000, 130000, 191000});
  // Nobody of grid B went the distance: its grid has no winner, so it is not classified.
  setRaceCrossings(*store, 21, {6000, 60000, 120000});
  // A final crossing of 0 never wins its grid; the row leads the unclassified full distances.
  setRaceCrossings(*store, 6, {13500, 200000, 300000, 0});
  const auto rows = rankResult(*store);
  ASSERT_EQ(slotsOf(rows), (Slots{1, 2, 3, 6, 21, 4}));
  using Values = std::tuple<int, int32_t, int32_t, ResultStatus, std::optional<int32_t>>;
  std::vector<Values> values;
  for (const ResultRow& row : rows) {
    values.emplace_back(row.Position, row.Laps, row.RaceTime, row.Status, row.GapToWinner);
  }
  constexpr ResultStatus kIn = ResultStatus::kFinished, kOut = ResultStatus::kDnf;
  EXPECT_EQ(values, (std::vector<Values>{{1, 3, 180000, kIn, kNone},
                                         {2, 3, 185000, kIn, 5000},
                                         {3, 2, 282250, kIn, 102250},
                                         {4, 3, -10000, kOut, kNone},
                                         {5, 2, 115000, kOut, kNone},
                                         {6, 1, 65000, kOut, kNone}}));
  // With 3 laps the columns read crossings 0, 0, 0, 1, 1, 1, 2, 2, 2; slot 21's times count
  // from grid B's later start.
  using Places = std::array<std::optional<int32_t>, kDistanceColumns>;
  EXPECT_EQ(rows[0].PlaceAtTenth, (Places{2, 2, 2, 3, 3, 3, 3, 3, 3}));
  EXPECT_EQ(rows[5].PlaceAtTenth, (Places{4, 4, 4, 5, 5, 5, kNone, kNone, kNone}));
}

TEST(ResultRows, EqualRetirementsByLowerSlotDamagedCountsAndSlotZero) {
  auto store = makeStore();
  store->MaxRaceLaps = 2;
  store->GridStartTime[0] = 0;
  setRaceCrossings(*store, 5, {1000, 61000, 121000});
  for (int slot : {3, 2, 7, 8}) setRaceCrossings(*store, slot, {1000, 62000});
  store->RaceLapCount[7] = 900;  // beyond the stored crossings
  store->RaceLapCount[8] = -5;
  setRaceCrossings(*store, 9, {130000});  // no lap, first seen after the winner finished
  const auto rows = rankResult(*store);
  EXPECT_EQ(slotsOf(rows), (Slots{5, 9, 2, 3}));
  EXPECT_EQ(rows[1].RaceTime, 130000);  // nothing to project without a lap
  // Slot 0 as the fastest finisher ends the first pass and its own lap level; slots 2 and 3, who
  // stopped before the winner finished, stay barred while no row stands.
  setRaceCrossings(*store, 0, {1000, 60000, 120000});
  EXPECT_EQ(slotsOf(rankResult(*store)), Slots{9});
  // The complete classification ranks slot 0, bars nobody and lists the damaged counts too.
  EXPECT_EQ(slotsOf(rankClassification(*store)), (Slots{0, 5, 9, 7, 2, 3, 8}));
}

// One event under each kind of decision: the winner (slot 1) beaten by slot 0, whom the RESULT
// table never lists; a lapped finisher (slot 3) ranked by his projected time; three retirements.
TEST(Classification, PenaltiesMoveRowsOnlyWithinTheirPassAndDsqRowsLast) {
  auto store = makeStore();
  store->MaxRaceLaps = 3;
  store->GridStartTime[0] = 0;
  setRaceCrossings(*store, 0, {1000, 61000, 121000, 181000});
  setRaceCrossings(*store, 1, {1000, 60000, 120000, 180000});
  setRaceCrossings(*store, 2, {1000, 60500, 121000, 182000});
  setRaceCrossings(*store, 3, {1000, 90000, 185000});  // 185000 + (185000 - 5500) / 2
  setRaceCrossings(*store, 4, {1000, 62000, 125000});
  setRaceCrossings(*store, 5, {1000, 63000, 126000});
  setRaceCrossings(*store, 6, {1000, 70000});
  EXPECT_EQ(slotsOf(rankResult(*store)), (Slots{1, 4, 5, 3, 6}));

  constexpr ResultStatus kIn = ResultStatus::kFinished, kOut = ResultStatus::kDnf,
                         kDsq = ResultStatus::kDsq;
  // Slot, status, race time, penalty and gap of each row.
  using Row = std::tuple<int, ResultStatus, int32_t, int32_t, std::optional<int32_t>>;
  const struct {
    const char* Name;
    std::vector<Penalty> Penalties;
    std::vector<Row> Rows;
  } cases[] = {
      {"as driven",
       {},
       {{1, kIn, 180000, 0, kNone},
        {0, kIn, 181000, 0, 1000},
        {2, kIn, 182000, 0, 2000},
        {3, kIn, 274750, 0, 94750},
        {4, kOut, 125000, 0, kNone},
        {5, kOut, 126000, 0, kNone},
        {6, kOut, 70000, 0, kNone}}},
      {"the winner's two penalties add up and drop him behind the second finisher",
       {{1, 1000, false, ""}, {1, 1500, false, ""}},
       {{0, kIn, 181000, 0, kNone},
        {2, kIn, 182000, 0, 1000},
        {1, kIn, 182500, 2500, 1500},
        {3, kIn, 274750, 0, 93750},
        {4, kOut, 125000, 0, kNone},
        {5, kOut, 126000, 0, kNone},
        {6, kOut, 70000, 0, kNone}}},
      {"a penalised lapped finisher stays ahead of the retirements; a penalised winner's gap",
       {{3, 99999999, false, ""}, {4, 1500, false, ""}, {1, 500, false, ""}},
       {{1, kIn, 180500, 500, kNone},
        {0, kIn, 181000, 0, 500},
        {2, kIn, 182000, 0, 1500},
        {3, kIn, 100274749, 99999999, 100094249},
        {5, kOut, 126000, 0, kNone},
        {4, kOut, 126500, 1500, kNone},
        {6, kOut, 70000, 0, kNone}}},
      {"two disqualified keep their order as driven behind everybody",
       {{2, 0, true, ""}, {1, 0, true, ""}, {2, 3000, false, ""}},
       {{0, kIn, 181000, 0, kNone},
        {3, kIn, 274750, 0, 93750},
        {4, kOut, 125000, 0, kNone},
        {5, kOut, 126000, 0, kNone},
        {6, kOut, 70000, 0, kNone},
        {1, kDsq, 180000, 0, kNone},
        {2, kDsq, 182000, 0, kNone}}},
  };
  std::map<int, ResultRow> asDriven;
  for (const ResultRow& row : rankClassification(*store)) asDriven[row.Slot] = row;
  for (const auto& test : cases) {
    std::vector<Row> values;
    for (const ResultRow& row : rankClassification(*store, test.Penalties)) {
      values.emplace_back(row.Slot, row.Status, row.RaceTime, row.Penalty, row.GapToWinner);
      EXPECT_EQ(row.Position, static_cast<int>(values.size())) << test.Name;
      EXPECT_EQ(row.PlaceAtTenth, asDriven[row.Slot].PlaceAtTenth) << test.Name;
    }
    EXPECT_EQ(values, test.Rows) << test.Name;
  }
}

TEST(FastestLapRows, Above30SecondsWithTiesToLowerSlot) {
  auto store = makeStore();
  const int32_t race[][4] = {
      {1, 61000, 7, 12}, {2, 61000, 3, 10}, {3, 30000, 2, 5}, {4, 30001, 1, 1}};
  for (const auto& [slot, best, lapNo, laps] : race) {
    store->RaceBestLap[slot] = best;
    store->RaceBestLapNo[slot] = lapNo;
    store->RaceLapCount[slot] = laps;
  }
  store->RaceOffTrack[1][7] = 1;
  EXPECT_EQ(rankFastestLaps(*store, FastestLapMember::kRace),
            (std::vector<FastestLapRow>{{1, 4, 30001, kNone, kNone, 1, 1, false},
                                        {2, 1, 61000, 30999, 30999, 7, 12, true},
                                        {3, 2, 61000, 30999, 0, 3, 10, false}}));
}

// The only table where an equal count lets the later slot take over.
TEST(OnTrackRows, ByCountAloneWithTiesToHigherSlot) {
  auto store = makeStore();
  for (const auto& [slot, onTrack, laps] : {std::tuple{2, 1, 3}, {4, 1, 1}, {7, 3, 0}}) {
    store->RaceOnTrackLapCount[slot] = onTrack;
    store->RaceLapCount[slot] = laps;
  }
  EXPECT_EQ(rankOnTrackLaps(*store),
            (std::vector<OnTrackRow>{{1, 7, 3, 0, 0}, {2, 4, 1, 1, 1000}, {3, 2, 1, 3, 333}}));
}

TEST(SectorRows, ASectorOfOneMillisecondIsATime) {
  auto store = makeStore();
  store->BestLapSplitTime[1] = {0, 1, 2, 3, 4};
  EXPECT_EQ(slotsOf(rankSector(*store, 1)), (Slots{1}));
}

TEST(LeaderStints, RunsOfLapsWithTheSameLeader) {
  auto store = makeStore();
  store->MaxRaceLaps = 8;
  const int leaders[] = {4, 1, 1, 2, 1, 1, 3, 2, 4};  // crossing 0 takes no part
  for (int lap = 0; lap <= 8; ++lap) store->LapLeader[lap] = leaders[lap];
  EXPECT_EQ(
      findLeaderStints(*store),
      (std::vector<LeaderStint>{{1, 1, 2}, {2, 3, 3}, {1, 4, 5}, {3, 6, 6}, {2, 7, 7}, {4, 8, 8}}));
  for (int32_t laps : {0, -1}) {
    store->MaxRaceLaps = laps;
    EXPECT_EQ(findLeaderStints(*store), std::vector<LeaderStint>{}) << laps;
  }
  store->MaxRaceLaps = 1;
  EXPECT_EQ(findLeaderStints(*store), (std::vector<LeaderStint>{{1, 1, 1}})) << "a race of one lap";
  store->MaxRaceLaps = 700;  // nobody leads beyond the stored laps
  store->LapLeader.fill(3);
  EXPECT_EQ(findLeaderStints(*store), (std::vector<LeaderStint>{{3, 1, 499}, {0, 500, 700}}));
}

TEST(DevelopmentRows, RecordsWithTimesAtMostOneMoreThanLaps) {
  auto store = makeStore();
  store->FastestLapDevelopment[0] = {1, 1};
  store->FastestLapDevelopment[1] = {150, 4};  // a damaged slot
  store->RaceLapTime[1][1] = 65000;
  store->MaxRaceLaps = 10;
  store->FastestLapDevelopmentLength = 2;
  EXPECT_EQ(listDevelopment(*store), (std::vector<DevelopmentRow>{{1, 1, 65000}, {150, 4, 0}}));
  const int32_t cases[][3] = {{5, 7, 6}, {0, 7, 1}, {-1, 7, 0}, {1000, 9999, 500}, {9, -3, 0}};
  for (const auto& [maxLaps, length, rows] : cases) {
    store->MaxRaceLaps = maxLaps;
    store->FastestLapDevelopmentLength = length;
    EXPECT_EQ(listDevelopment(*store).size(), static_cast<size_t>(rows)) << maxLaps << length;
  }
}

TEST(PracticeLapRows, OwnSlotsLapsUpTo199) {
  auto store = makeStore();
  store->PracticeLapCount[1] = 9;  // only slot 0 is listed
  for (const auto& [count, rows] : {std::pair{0, 0}, {-4, 0}, {3, 3}, {250, 199}}) {
    store->PracticeLapCount[kOwnSlot] = count;
    const auto list = listPracticeLaps(*store);
    ASSERT_EQ(list.size(), static_cast<size_t>(rows)) << count;
    for (int i = 0; i < rows; ++i) EXPECT_EQ(list[i].Lap, i + 1);
  }
}

// The number formats around the whole hour, where the minutes wrap or run on, and the minute.
TEST(ReportFormat, TimesGapsSecondsAndHundredths) {
  auto store = makeStore();
  auto text = [&](auto format) {
    std::ostringstream out;
    ReportWriter writer(*store, out);
    format(writer);
    return out.str();
  };
  EXPECT_EQ(text([](ReportWriter& w) { w.formatClockTime(3600000); }), "60:00.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatLapTime(3600000); }), "0:00.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatSectorTime(5007); }), "05.007");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatSectorTime(3722002); }), "2:02.002");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatGap(60000); }), "-1:00.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatGap(3665123); }), "-1:05.123");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatGap(3665123, false); }), "-61:05.123");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatGap(60000, false); }), "-1:00.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatSeconds(1000); }), "1.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatSeconds(61005); }), "1.005");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatHundredths(12305); }), "123.05");
  // A grid's image by slot; the slots on the grid bounds get none.
  const std::string images = "A BB CC DD EE";
  const int slots[] = {19, 20, 21, 39, 40, 41, 59, 60, 61, 79, 80, 81, 99};
  for (size_t i = 0; i < std::size(slots); ++i) {
    const std::string image = text([&](ReportWriter& w) { w.writeGridImage(slots[i]); });
    EXPECT_EQ(image.empty() ? ' ' : image[image.find("grid_") + 5], images[i]) << slots[i];
  }
}

// The leader table breaks its table row after every fifth stint, the development table after
// every sixth record; no golden event has that many.
TEST(ReportDocument, LoneCellTablesBreakTheirRowsAfterFiveAndSixCells) {
  auto store = makeStore();
  store->RaceFound = 1;
  store->MaxRaceLaps = 6;
  for (int lap = 1; lap <= 6; ++lap) store->LapLeader[lap] = 1 + lap % 2;
  for (int m = 0; m < 7; ++m) store->FastestLapDevelopment[m] = {1, m + 1};
  store->FastestLapDevelopmentLength = 7;
  std::ostringstream out;
  writeReport(*store, out);
  const std::string report = out.str();
  for (const auto& [caption, lastOfRow, firstOfNext] :
       {std::tuple{"LEADER", " lap 5:", " lap 6:"}, {"DEVELOPMENT", " lap6 ", " lap7 "}}) {
    const size_t rowBreak = report.find("</tr> <tr>", report.find(caption));
    EXPECT_LT(report.find(lastOfRow), rowBreak) << caption;
    EXPECT_GT(report.find(firstOfNext), rowBreak) << caption;
  }
}

}  // namespace
}  // namespace vorlind
