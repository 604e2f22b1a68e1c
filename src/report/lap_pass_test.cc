#include "report/lap_pass.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

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
  EXPECT_EQ(std::vector<int32_t>(store->LapLeader.begin(), store->LapLeader.begin() + 4),
            (std::vector<int32_t>{2, 2, 21, 7}));
}

TEST(LapPass, CountsFastestTimesAndRecordsEachImprovement) {
  auto store = makeStore();
  store->MaxRaceLaps = 4;
  setRaceCrossings(*store, 4, {1000, 91000, 180000, 269500, 357500});  // 90 89 89.5 88
  setRaceCrossings(*store, 7, {1000, 92000, 180500, 269500, 357500});  // 91 88.5 89 88
  computeLapPass(*store);
  // Equal fastest times all count; the first crossing never does.
  EXPECT_EQ(store->FastestLapCount[4], 2);
  EXPECT_EQ(store->FastestLapCount[7], 3);
  ASSERT_EQ(store->FastestLapDevelopmentLength, 3);
  const auto& steps = store->FastestLapDevelopment;
  // Lap 4's equal record goes to the lower slot.
  EXPECT_EQ((std::vector<int>{steps[0].Slot, steps[0].Lap, steps[1].Slot, steps[1].Lap,
                              steps[2].Slot, steps[2].Lap}),
            (std::vector<int>{4, 1, 7, 2, 4, 4}));
}

TEST(LapPass, DamagedLapCountsStayInsideTheStore) {
  auto store = makeStore();
  store->RaceLapTime[2][0] = kNoTime;
  store->RaceLapTime[2][499] = 70000;
  store->MaxRaceLaps = -1;
  computeLapPass(*store);
  EXPECT_EQ(store->FastestLapCount[2], 0);  // no lap at all: no pass
  store->MaxRaceLaps = 5000;
  computeLapPass(*store);
  // Lap 499, and crossing 0, whose time equals the kNoTime that stands for its missing fastest.
  EXPECT_EQ(store->FastestLapCount[2], 2);
  EXPECT_EQ(store->FastestLapDevelopmentLength, 1);
  EXPECT_EQ(store->FastestLapDevelopment[0].Lap, 499);
}

}  // namespace
}  // namespace vorlind
