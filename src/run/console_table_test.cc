#include "run/console_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace vorlind {
namespace {

using Cells = std::vector<std::string>;

class ConsoleTable : public ::testing::Test {
 protected:
  ConsoleTable() : store_(std::make_unique<EventStore>()) { initEventStore(*store_); }

  // The place cells of each of the ten chart rows, as printed after the lap label.
  std::vector<Cells> chartCells(int slot) {
    std::ostringstream out;
    printLapPlaceChart(*store_, slot, out);
    std::istringstream lines(out.str());
    std::string line;
    for (int i = 0; i < 4; ++i) std::getline(lines, line);  // blank, name, blank, first row
    std::vector<Cells> rows;
    for (int row = 0; row < 10; ++row, std::getline(lines, line)) {
      std::istringstream cells(line.substr(line.find('|') + 1));
      rows.emplace_back();
      for (std::string cell; cells >> cell;) rows.back().push_back(cell);
    }
    return rows;
  }

  // Runs the menu on `answers` and returns what it left unread.
  std::string runMenu(const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    Console console{in, out, false};
    runDriverMenu(console, *store_);
    std::string rest;
    std::getline(in, rest, '\0');
    return rest;
  }

  std::unique_ptr<EventStore> store_;
};

TEST_F(ConsoleTable, ChartPlacesLapsUpTo127AndStopsAtTheFirstLapNotDriven) {
  store_->MaxRaceLaps = 25;
  for (int lap = 1; lap <= 25; ++lap) {
    store_->RaceLapTime[5][lap] = 90000;
    store_->RaceLapTime[8][lap] = 90000;
  }
  store_->RaceLapTime[8][3] = 85000;  // slot 8 beats slot 5 in lap 3
  store_->RaceLapTime[0][4] = 1;      // slot 0 never counts
  store_->RaceLapTime[9][5] = 1;      // a lap of 1 ms does
  store_->RaceLapTime[5][0] = 1000;
  store_->RaceLapTime[5][25] = 0;   // lap 25 not driven: the chart stops before it
  const auto rows = chartCells(5);  // row r holds the laps r + 1, r + 11, r + 21
  EXPECT_EQ(std::vector(rows.begin() + 2, rows.begin() + 6),
            (std::vector<Cells>{{"2", "1", "1"}, {"1", "1", "1"}, {"2", "1", "-"}, {"1", "1"}}));
  EXPECT_EQ(chartCells(8)[0], Cells(3, "-")) << "no first crossing, no place";
  store_->MaxRaceLaps = 140;
  EXPECT_EQ(chartCells(1)[6], Cells(13, "-"));  // laps 7, 17, ..., 127
  EXPECT_EQ(chartCells(1)[7], Cells(12, "-"));  // laps 8, 18, ..., 118; 128 is left out
}

TEST_F(ConsoleTable, MenuNumbersThatEndItAndThe99thChart) {
  // An answer that is no number ends the menu as 0; 99 is the last driver with a chart.
  for (const auto& [answer, value] : {std::pair{"", 0}, {"  -7  ", -7}, {"99", 0}}) {
    runMenu(answer);
    EXPECT_EQ(store_->NoSpeedValues, value) << answer;
  }
  // After 99 charts the menu ends with the last number and reads no further answer.
  std::string answers;
  for (int i = 0; i < 99; ++i) answers += "3\n";
  EXPECT_EQ(runMenu(answers + "7\n"), "\n7\n");
  EXPECT_EQ(store_->NoSpeedValues, 3);
}

}  // namespace
}  // namespace vorlind
