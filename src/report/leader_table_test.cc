#include "report/leader_table.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

std::string leaderTable(const EventStore& store) {
  return render(store, [](ReportWriter& w) { writeLeaderTable(w); });
}

TEST(LeaderTable, OneLeaderThroughoutGivesOneCell) {
  auto store = makeStore();
  store->MaxRaceLaps = 12;
  store->HighlightSlot = 9;
  nameSlots(*store, {3});
  for (int lap = 0; lap <= 12; ++lap) store->LapLeader[lap] = 3;
  EXPECT_EQ(
      leaderTable(*store),
      std::string(kLeaderHead) + "<td> \n lap 1-12: Cid Cedar </td> \n " + std::string(kLeaderEnd));
}

TEST(LeaderTable, StintsFiveCellsToARowHighlightedByCell) {
  auto store = makeStore();
  store->MaxRaceLaps = 8;
  store->HighlightSlot = 2;
  nameSlots(*store, {1, 2, 3, 4});
  const int leaders[] = {4, 1, 1, 2, 1, 1, 3, 2, 4};  // crossing 0 takes no part
  for (int lap = 0; lap <= 8; ++lap) store->LapLeader[lap] = leaders[lap];
  const std::string expected = std::string(kLeaderHead) +
                               "<td> \n lap 1-2: Ann Alder </td> \n "
                               "<td bgcolor=\"#FFFF00\"> \n lap 3: Ben Birch </td> \n "
                               "<td> \n lap 4-5: Ann Alder </td> \n "
                               "<td> \n lap 6: Cid Cedar </td> \n "
                               "<td bgcolor=\"#FFFF00\"> \n lap 7: Ben Birch </td> \n "
                               "</tr> <tr> \n "
                               "<td> \n lap 8: Dan Dogwood </td> \n " +
                               std::string(kLeaderEnd);
  EXPECT_EQ(leaderTable(*store), expected);
}

TEST(LeaderTable, LapsWithoutLeaderAndEmptyRace) {
  auto store = makeStore();
  EXPECT_EQ(leaderTable(*store), std::string(kLeaderHead) + std::string(kLeaderEnd));
  // Nobody in myname.ini: slot 0 is the highlight slot and paints the leaderless laps.
  store->MaxRaceLaps = 2;
  EXPECT_EQ(leaderTable(*store), std::string(kLeaderHead) +
                                     "<td bgcolor=\"#FFFF00\"> \n lap 1-2:   </td> \n " +
                                     std::string(kLeaderEnd));
}

}  // namespace
}  // namespace vorlind
