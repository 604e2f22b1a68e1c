#include "report/result_table.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

// One result row; `cells` are the nine distance columns, `gapCell` the whole gap cell opening and
// content.
std::string resultRow(bool yellow, const std::vector<std::string>& cells, int position,
                      const std::string& name, int laps, const std::string& time,
                      const std::string& gapCell, std::string_view grid) {
  std::string row(yellow ? kYellowRow : kPlainRow);
  for (const std::string& cell : cells) row += "<td align=\"center\"> " + cell + " </td> ";
  row += "<td align=\"center\">  <b> " + std::to_string(position) + " </b>  </td> <td> " + name +
         " </td> <td>  </td> <td align=\"center\"> " + std::to_string(laps) +
         " </td> <td align=\"right\"> " + time + "</td> " + gapCell + "</td> " +
         "<td align=\"center\"> " + std::string(grid) + std::string(kRowEnd);
  return row;
}

std::string resultTable(const EventStore& store) {
  return render(store, [](ReportWriter& w) { writeResultTable(w); });
}

TEST(ResultTable, FinishersByProjectedTimeThenRetirements) {
  auto store = makeStore();
  store->MaxRaceLaps = 3;
  store->GridStartTime[0] = 10000;
  store->HighlightSlot = 2;
  nameSlots(*store, {1, 2, 3, 4, 5});
  setRaceCrossings(*store, 1, {12000, 72000, 132000, 190000});
  setRaceCrossings(*store, 2, {12500, 73000, 134000, 195000});
  // One lap down, crossing the line after the winner finished.
  setRaceCrossings(*store, 3, {13000, 100000, 200000});
  // Stopped before the winner finished.
  setRaceCrossings(*store, 4, {12800, 75000});
  // No first crossing: never ranked, but counted in the distance columns.
  setRaceCrossings(*store, 5, {0, 70000, 130000, 191000});

  // With 3 laps the columns read crossings 0, 0, 0, 1, 1, 1, 2, 2, 2. Slot 3's key is its time
  // 190000 plus one average lap (190000 - 5500) / 2 = 92250.
  const std::string expected =
      kResultHead +
      resultRow(false, {"1", "1", "1", "2", "2", "2", "2", "2", "2"}, 1, "Ann Alder", 3, "3:00.000",
                "<td> ", kGridA) +
      resultRow(true, {"2", "2", "2", "3", "3", "3", "3", "3", "3"}, 2, "Ben Birch", 3, "3:05.000",
                "<td align=\"right\"> -5.000", kGridA) +
      resultRow(false, {"4", "4", "4", "5", "5", "5", "4", "4", "4"}, 3, "Cid Cedar", 2, "4:42.250",
                "<td align=\"right\"> -1:42.250", kGridA) +
      resultRow(false, {"3", "3", "3", "4", "4", "4", "-", "-", "-"}, 4, "Dan Dogwood", 1,
                "1:05.000", "<td align=\"center\"> DNF", kGridA) +
      std::string(kTableEnd);
  EXPECT_EQ(resultTable(*store), expected);
}

TEST(ResultTable, GridWhoseWinnerFellShortIsListedAsRetired) {
  auto store = makeStore();
  store->MaxRaceLaps = 3;
  store->GridStartTime[0] = 10000;
  store->GridStartTime[1] = 5000;
  nameSlots(*store, {1, 21, 22});
  setRaceCrossings(*store, 1, {11000, 71000, 131000, 190000});
  setRaceCrossings(*store, 21, {6000, 60000, 120000});
  setRaceCrossings(*store, 22, {6500, 61000, 123000});

  const std::string expected =
      kResultHead +
      resultRow(false, {"2", "2", "2", "3", "3", "3", "3", "3", "3"}, 1, "Ann Alder", 3, "3:00.000",
                "<td> ", kGridA) +
      resultRow(false, {"2", "2", "2", "1", "1", "1", "1", "1", "1"}, 2, "Uma Ulmus", 2, "1:55.000",
                "<td align=\"center\"> DNF", kGridB) +
      resultRow(false, {"3", "3", "3", "2", "2", "2", "2", "2", "2"}, 3, "Lou Larch", 2, "1:58.000",
                "<td align=\"center\"> DNF", kGridB) +
      std::string(kTableEnd);
  EXPECT_EQ(resultTable(*store), expected);
}

TEST(ResultTable, SlotZeroAsBestCandidateEndsEachSearch) {
  auto store = makeStore();
  store->MaxRaceLaps = 1;
  store->GridStartTime[0] = 0;
  setRaceCrossings(*store, 0, {1000, 60000});
  setRaceCrossings(*store, 1, {1000, 61000});
  setRaceCrossings(*store, 2, {1000});
  // Slot 0 is the fastest finisher and the fastest of lap level 1, so both searches find nothing;
  // slot 2 (level 0) stopped before the winner finished and is barred while no row stands.
  EXPECT_EQ(resultTable(*store), kResultHead + std::string(kTableEnd));
}

}  // namespace
}  // namespace vorlind
