#include "report/ideal_laps_table.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

TEST(IdealLapsTable, HeaderOnlyWithOrWithoutSpeeds) {
  auto store = makeStore();
  nameSlots(*store, {0});
  store->PracticeLapCount[0] = 5;
  EXPECT_EQ(render(*store, [](ReportWriter& w) { writeIdealLaps(w); }), kIdealLaps);
  store->NoSpeedValues = -3;
  EXPECT_EQ(render(*store, [](ReportWriter& w) { writeIdealLaps(w); }), kIdealLaps);
}

}  // namespace
}  // namespace vorlind
