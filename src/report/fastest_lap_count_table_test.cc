#include "report/fastest_lap_count_table.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

std::string countRow(bool yellow, int count, const std::string& name) {
  return std::string(yellow ? kYellowRow : kPlainRow) + "<td align=\"center\"> " +
         std::to_string(count) + " </td> <td> " + name + std::string(kRowEnd);
}

TEST(FastestLapCountTable, MostFirstEqualCountsBySlotUntilSlotZero) {
  auto store = makeStore();
  store->HighlightSlot = 9;
  nameSlots(*store, {2, 4, 5, 9});
  store->FastestLapCount[4] = 3;
  store->FastestLapCount[9] = 2;
  store->FastestLapCount[2] = 2;
  store->FastestLapCount[0] = 1;
  store->FastestLapCount[5] = 1;  // behind slot 0's equal count: never reached
  const std::string expected = std::string(kFastestLapCountHead) +
                               countRow(false, 3, "Dan Dogwood") + countRow(false, 2, "Ben Birch") +
                               countRow(true, 2, "Ivy Ilex") + std::string(kFastestLapCountEnd);
  EXPECT_EQ(render(*store, [](ReportWriter& w) { writeFastestLapCountTable(w); }), expected);
}

}  // namespace
}  // namespace vorlind
