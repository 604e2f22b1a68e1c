#include "report/sector_tables.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

std::string sectorTime(int32_t ms) {
  auto store = makeStore();
  return render(*store, [&](ReportWriter& w) { formatSectorTime(w, ms); });
}

// `tail` is everything after the gap: the speed cells or the grid cell.
std::string sectorRow(bool yellow, int position, const std::string& name, const std::string& time,
                      const std::string& gap, const std::string& tail) {
  return std::string(yellow ? kYellowRow : kPlainRow) + "<td align=\"center\"> " +
         std::to_string(position) + " </td> <td> " + name + " </td> <td> <td align=\"right\"> " +
         time + " </td> <td> " + gap + tail + "\n </tr> \n";
}

std::string speeds(const std::string& low, const std::string& high) {
  return "<td align=\"right\"> " + low + "<td align=\"right\"> " + high + " </td> ";
}

void setSplits(EventStore& store, int slot, int32_t s1, int32_t s2, int32_t s3, int32_t s4,
               int32_t bestLap) {
  store.BestLapSplitTime[slot] = {0, s1, s2, s3, s4};
  store.RaceBestLap[slot] = bestLap;
}

TEST(SectorTables, SectorTimeFormat) {
  EXPECT_EQ(sectorTime(45678), "45.678");
  EXPECT_EQ(sectorTime(5007), "05.007");
  EXPECT_EQ(sectorTime(83456), "1:23.456");
  EXPECT_EQ(sectorTime(61002), "1:01.002");
  EXPECT_EQ(sectorTime(9500), "09.500");
}

TEST(SectorTables, FourRankingsWithSpeedsAndFourthSectorEnd) {
  auto store = makeStore();
  store->HighlightSlot = 3;
  nameSlots(*store, {1, 2, 3, 4});
  setSplits(*store, 1, 20000, 45000, 70000, 90000, 90000);  // 20.0 25.0 25.0 20.0
  setSplits(*store, 2, 20000, 44000, 69500, 89000, 89000);  // 20.0 24.0 25.5 19.5
  setSplits(*store, 3, 21000, 46000, 71000, 91500, 91500);  // 21.0 25.0 25.0 20.5
  // Never reached by the sector search: its whole lap of 19.8 s ends SECTOR 4.
  setSplits(*store, 4, 0, 0, 0, 0, 19800);
  for (int sector = 1; sector <= 4; ++sector) {
    const int base[] = {0, 8000, 7000, 9000};
    const int top[] = {0, 20000, 21000, 19000};
    for (int slot = 1; slot <= 3; ++slot) {
      store->BestLapMinSpeed[slot][sector] = base[slot] + sector;
      store->BestLapMaxSpeed[slot][sector] = top[slot] + sector;
    }
  }
  const std::string expected =
      "<div align=\"left\">" + sectorHead(1, true) +
      sectorRow(false, 1, "Ann Alder", "20.000", "", speeds("80.01", "200.01")) +
      sectorRow(false, 2, "Ben Birch", "20.000", "-0.000", speeds("70.01", "210.01")) +
      sectorRow(true, 3, "Cid Cedar", "21.000", "-1.000", speeds("90.01", "190.01")) +
      std::string(kTableEnd) + sectorHead(2, true) +
      sectorRow(false, 1, "Ben Birch", "24.000", "", speeds("70.02", "210.02")) +
      sectorRow(false, 2, "Ann Alder", "25.000", "-1.000", speeds("80.02", "200.02")) +
      sectorRow(true, 3, "Cid Cedar", "25.000", "-1.000", speeds("90.02", "190.02")) +
      std::string(kTableEnd) + " <BR> <br clear=\"all\"> <div> " + sectorHead(3, true) +
      sectorRow(false, 1, "Ann Alder", "25.000", "", speeds("80.03", "200.03")) +
      sectorRow(true, 2, "Cid Cedar", "25.000", "-0.000", speeds("90.03", "190.03")) +
      sectorRow(false, 3, "Ben Birch", "25.500", "-0.500", speeds("70.03", "210.03")) +
      std::string(kTableEnd) + sectorHead(4, true) +
      sectorRow(false, 1, "Ben Birch", "19.500", "", speeds("70.04", "210.04")) +
      std::string(kTableEnd) + " <BR> <BR> ";
  EXPECT_EQ(render(*store, [](ReportWriter& w) { writeSectorTables(w); }), expected);
}

TEST(SectorTables, WithoutSpeedValuesShowsGrid) {
  auto store = makeStore();
  store->NoSpeedValues = 1;
  nameSlots(*store, {20, 21});
  setSplits(*store, 20, 20000, 40000, 60000, 80000, 80000);
  setSplits(*store, 21, 21000, 42000, 63000, 84000, 84000);
  const std::string firstTable =
      sectorHead(1, false) + sectorRow(false, 1, "Ted Teak", "20.000", "", "<td></td>") +
      sectorRow(false, 2, "Uma Ulmus", "21.000", "-1.000", "<td>" + std::string(kGridB) + "</td>") +
      std::string(kTableEnd);
  const std::string block = render(*store, [](ReportWriter& w) { writeSectorTables(w); });
  EXPECT_EQ(block.substr(0, 18 + firstTable.size()), "<div align=\"left\">" + firstTable);
}

}  // namespace
}  // namespace vorlind
