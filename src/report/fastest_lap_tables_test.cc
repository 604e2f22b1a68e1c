#include "report/fastest_lap_tables.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

std::string table(const EventStore& store, FastestLapMember member) {
  return render(store, [&](ReportWriter& w) { writeFastestLapTable(w, member); });
}

// `colour` is the whole colour cell or empty for the on-track members.
std::string fastestRow(const std::string& colour, int position, const std::string& name,
                       const std::string& time, const std::string& first, const std::string& before,
                       const std::string& lapOfLaps) {
  return std::string(kPlainRow) + colour + "<td align=\"center\"> " + std::to_string(position) +
         " </td> <td> " + name + " </td> <td>  </td> <td> " + time + " </td> <td> " + first +
         " </td> <td> " + before + "<td align=\"center\"> " + lapOfLaps +
         " </td> <td align=\"center\"> " + std::string(kGridA) + std::string(kRowEnd);
}

const std::string kGreen = " <td bgcolor=\"#00FF00\"> </td> ";
const std::string kBlack = " <td bgcolor=\"#000000\"> </td> ";

class FastestLapTables : public ::testing::Test {
 protected:
  void SetUp() override {
    nameSlots(*store_, {1, 2, 3, 4});
    setRace(1, 61000, 7, 12);
    store_->RaceOffTrack[1][7] = 1;
    store_->RaceBestOnTrackLap[1] = 62000;
    store_->RaceBestOnTrackLapNo[1] = 9;
    setRace(2, 61000, 3, 10);
    setRace(3, 30000, 2, 5);
    setRace(4, 30001, 1, 1);
  }

  void setRace(int slot, int32_t best, int32_t lapNo, int32_t laps) {
    store_->RaceBestLap[slot] = best;
    store_->RaceBestLapNo[slot] = lapNo;
    store_->RaceLapCount[slot] = laps;
  }

  std::unique_ptr<EventStore> store_ = makeStore();
};

TEST_F(FastestLapTables, RaceMemberRanksAbove30SecondsWithTiesToLowerSlot) {
  const std::string expected =
      fastestLapHead("FASTEST RACE LAPS", true) +
      fastestRow(kGreen, 1, "Dan Dogwood", "0:30.001", "", "", "1/1") +
      fastestRow(kBlack, 2, "Ann Alder", "1:01.000", "-30.999", "-30.999", "7/12") +
      fastestRow(kGreen, 3, "Ben Birch", "1:01.000", "-30.999", "-0.000", "3/10");
  EXPECT_EQ(table(*store_, FastestLapMember::kRace), expected);
}

TEST_F(FastestLapTables, OnTrackMemberHasNoColourCell) {
  store_->RaceBestOnTrackLap[2] = 61000;
  store_->RaceBestOnTrackLapNo[2] = 3;
  const std::string expected =
      fastestLapHead("FASTEST RACE LAPS (ONLY ON TRACK)", false) +
      fastestRow("", 1, "Ben Birch", "1:01.000", "", "", "3/10") +
      fastestRow("", 2, "Ann Alder", "1:02.000", "-1.000", "-1.000", "9/12");
  EXPECT_EQ(table(*store_, FastestLapMember::kRaceOnTrack), expected);
}

TEST_F(FastestLapTables, PracticeMembersReadPracticeArrays) {
  store_->PracticeBestLap[1] = 40000;
  store_->PracticeBestLapNo[1] = 4;
  store_->PracticeLapCount[1] = 20;
  store_->PracticeOffTrack[1][4] = 1;
  store_->PracticeBestLap[0] = 50000;  // slot 0 ends the ranking before slot 2
  store_->PracticeBestLap[2] = 60000;
  store_->PracticeBestOnTrackLap[1] = 41000;
  store_->PracticeBestOnTrackLapNo[1] = 5;
  store_->PracticeBestOnTrackLap[3] = kNoTime;  // a practice block without a timed lap
  EXPECT_EQ(table(*store_, FastestLapMember::kPractice),
            fastestLapHead("FASTEST PRACTICE LAPS", true) +
                fastestRow(kBlack, 1, "Ann Alder", "0:40.000", "", "", "4/20"));
  EXPECT_EQ(table(*store_, FastestLapMember::kPracticeOnTrack),
            fastestLapHead("FASTEST PRACTICE LAPS (ONLY ON TRACK)", false) +
                fastestRow("", 1, "Ann Alder", "0:41.000", "", "", "5/20"));
}

}  // namespace
}  // namespace vorlind
