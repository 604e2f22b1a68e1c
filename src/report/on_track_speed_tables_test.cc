#include "report/on_track_speed_tables.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

std::string onTrackRow(int position, const std::string& name, const std::string& share,
                       const std::string& laps) {
  return std::string(kPlainRow) + "<td align=\"center\"> " + std::to_string(position) +
         " </td> <td> " + name + " </td> <td> <td align=\"center\"> " + share +
         "<td align=\"center\"> (" + laps + ")" + std::string(kRowEnd);
}

std::string speedRow(int position, const std::string& name, const std::string& low,
                     const std::string& high) {
  return std::string(kPlainRow) + "<td align=\"center\"> " + std::to_string(position) +
         " </td> <td> " + name + " </td> <td>  </td> <td> " + low + " </td> <td> " + high +
         std::string(kRowEnd);
}

TEST(OnTrackLapsTable, RanksByCountWithTiesToHigherSlot) {
  auto store = makeStore();
  const int counts[][3] = {
      // slot, on-track laps, race laps
      {0, 2, 4}, {1, 9, 10}, {2, 2, 3}, {3, 9, 9}, {4, 0, 8}, {5, 20, 30}, {6, 15, 15},
  };
  nameSlots(*store, {0, 1, 2, 3, 4, 5, 6});
  for (const auto& [slot, onTrack, laps] : counts) {
    store->RaceOnTrackLapCount[slot] = onTrack;
    store->RaceLapCount[slot] = laps;
  }
  // Slot 0's two laps equal slot 2's; slot 2 takes over the choice and slot 0 ends the table.
  const std::string expected =
      std::string(kOnTrackHead) + onTrackRow(1, "Eve Elm", "66.6", "20/30") +
      onTrackRow(2, "Fay Fir", "100.0", "15/15") + onTrackRow(3, "Cid Cedar", "100.0", "9/9") +
      onTrackRow(4, "Ann Alder", "90.0", "9/10") + onTrackRow(5, "Ben Birch", "66.6", "2/3") +
      std::string(kTableEnd);
  EXPECT_EQ(render(*store, [](ReportWriter& w) { writeOnTrackLapsTable(w); }), expected);
}

TEST(SpeedTable, FastestFirstWithTiesToLowerSlot) {
  auto store = makeStore();
  nameSlots(*store, {1, 2, 3});
  store->BestLapMinSpeed[1][0] = 12305;
  store->BestLapMaxSpeed[1][0] = 23456;
  store->BestLapMaxSpeed[2][0] = 0;  // never measured
  store->BestLapMinSpeed[3][0] = 10000;
  store->BestLapMaxSpeed[3][0] = 23456;
  const std::string expected =
      std::string(kSpeedHead) + speedRow(1, "Ann Alder", "123.05", "234.56") +
      speedRow(2, "Cid Cedar", "100.00", "234.56") + std::string(kTableEnd);
  EXPECT_EQ(render(*store, [](ReportWriter& w) { writeSpeedTable(w); }), expected);
}

}  // namespace
}  // namespace vorlind
