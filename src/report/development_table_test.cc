#include "report/development_table.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

class DevelopmentTable : public ::testing::Test {
 protected:
  void SetUp() override {
    nameSlots(*store_, {1, 2, 3});
    store_->HighlightSlot = 3;
    const DevelopmentStep records[] = {{1, 1}, {2, 2}, {1, 3}, {3, 4}, {2, 5}, {1, 6}, {3, 7}};
    const int32_t times[] = {65000, 64000, 63000, 62500, 62000, 61500, 61000};
    for (int m = 0; m < 7; ++m) {
      store_->FastestLapDevelopment[m] = records[m];
      store_->RaceLapTime[records[m].Slot][records[m].Lap] = times[m];
    }
    store_->FastestLapDevelopmentLength = 7;
  }

  std::string table() const {
    return render(*store_, [](ReportWriter& w) { writeDevelopmentTable(w); });
  }

  std::unique_ptr<EventStore> store_ = makeStore();
};

const std::string kFirstSixCells =
    "<td> \n lap1 Ann Alder  1:05.000</td> \n "
    "<td> \n lap2 Ben Birch  1:04.000</td> \n "
    "<td> \n lap3 Ann Alder  1:03.000</td> \n "
    "<td bgcolor=\"#FFFF00\"> \n lap4 Cid Cedar  1:02.500</td> \n "
    "<td> \n lap5 Ben Birch  1:02.000</td> \n "
    "<td> \n lap6 Ann Alder  1:01.500</td> \n "
    "</tr> <tr> \n ";

TEST_F(DevelopmentTable, SixCellsToARow) {
  store_->MaxRaceLaps = 10;
  EXPECT_EQ(table(), std::string(kDevelopmentHead) + kFirstSixCells +
                         "<td bgcolor=\"#FFFF00\"> \n lap7 Cid Cedar  1:01.000</td> \n " +
                         std::string(kDevelopmentEnd));
}

TEST_F(DevelopmentTable, NoMoreCellsThanLapsPlusOne) {
  store_->MaxRaceLaps = 5;
  EXPECT_EQ(table(), std::string(kDevelopmentHead) + kFirstSixCells + std::string(kDevelopmentEnd));
  store_->MaxRaceLaps = 0;
  EXPECT_EQ(table(), std::string(kDevelopmentHead) + "<td> \n lap1 Ann Alder  1:05.000</td> \n " +
                         std::string(kDevelopmentEnd));
}

}  // namespace
}  // namespace vorlind
