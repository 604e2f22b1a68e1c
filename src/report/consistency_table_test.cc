#include "report/consistency_table.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

std::string consistencyRow(int position, const std::string& name, const std::string& average,
                           const std::string& seconds, const std::string& percent) {
  return std::string(kPlainRow) + "<td align=\"center\"> " + std::to_string(position) +
         " </td> <td> " + name + " </td> <td> " + average + " </td> <td> " + seconds +
         " </td> <td> " + percent + std::string(kRowEnd);
}

TEST(ConsistencyTable, RanksAverageFromSecondLapAgainstBestLap) {
  auto store = makeStore();
  nameSlots(*store, {1, 2, 3, 4, 5, 7});
  // Laps 2 to 4 average 60900 against a best of 60000: 900 ms and 1.5 %.
  setRaceCrossings(*store, 1, {1000, 61000, 121900, 182800, 243700});
  store->RaceBestLap[1] = 60000;
  // Three laps: the slow first lap is left out; 60030 is 0.05 % above 60000.
  setRaceCrossings(*store, 2, {1000, 70000, 130030, 190060});
  store->RaceBestLap[2] = 60000;
  // The average 5000.67 is truncated for the seconds (1.000) but not for the share: 25.01 %.
  setRaceCrossings(*store, 3, {6000, 10000, 15000, 20001, 25002});
  store->RaceBestLap[3] = 4000;
  // Two laps only: not ranked.
  setRaceCrossings(*store, 4, {1000, 50000, 99000});
  store->RaceBestLap[4] = 49000;
  // The same 900 ms as slot 1, listed after it.
  setRaceCrossings(*store, 5, {1000, 51000, 101900, 152800});
  store->RaceBestLap[5] = 50000;
  // Every lap from the second on equals the best lap.
  setRaceCrossings(*store, 7, {2000, 62000, 122000, 182000});
  store->RaceBestLap[7] = 60000;

  const std::string expected =
      kConsistencyHead + consistencyRow(1, "Gus Gum", "1:00.000", "0.000", "0.00") +
      consistencyRow(2, "Ben Birch", "1:00.030", "0.030", "0.05") +
      consistencyRow(3, "Ann Alder", "1:00.900", "0.900", "1.50") +
      consistencyRow(4, "Eve Elm", "0:50.900", "0.900", "1.80") +
      consistencyRow(5, "Cid Cedar", "0:05.000", "1.000", "25.01") + std::string(kConsistencyEnd);
  EXPECT_EQ(render(*store, [](ReportWriter& w) { writeConsistencyTable(w); }), expected);
}

}  // namespace
}  // namespace vorlind
