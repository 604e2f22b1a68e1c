#include "run/console_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace vorlind {
namespace {

const char kPause[] = "Press any key to continue . . . \n";
const char kMenuHead[] =
    " 0=Ends this part of the tool and creates a html-file with statistiscs\n"
    "Value<0   Ends this part of the tool and creates a html-file with statistiscs, except "
    "speed values\n";
const char kMenuTail[] =
    "\nPlease choice a number!\n"
    "After ENTER wait for shutting of the konsole!\n"
    "It could be that searching for sector times need one minute.\n"
    "After all you find the html in programm directory.\n";

class ConsoleTable : public ::testing::Test {
 protected:
  ConsoleTable() : store_(std::make_unique<EventStore>()) { initEventStore(*store_); }

  void setDriver(int slot, const char* first, const char* last) {
    store_->SlotFirstName[slot].assign(first);
    store_->SlotLastName[slot].assign(last);
  }

  // Gives `slot` race laps of the given times, crossing 0 at 1000 ms.
  void setLaps(int slot, std::initializer_list<int32_t> laps) {
    int32_t t = 1000;
    int k = 0;
    store_->RaceCumTime[slot][0] = t;
    store_->RaceLapTime[slot][0] = t;
    for (const int32_t lap : laps) {
      ++k;
      t += lap;
      store_->RaceCumTime[slot][k] = t;
      store_->RaceLapTime[slot][k] = lap;
    }
    store_->RaceLapCount[slot] = k;
    store_->MaxRaceLaps = std::max(store_->MaxRaceLaps, k);
  }

  std::string runMenu(const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    Console console{in, out, false};
    runDriverMenu(console, *store_);
    return out.str();
  }

  std::unique_ptr<EventStore> store_;
};

TEST_F(ConsoleTable, LapPassCountsEqualFastestTimesForEveryone) {
  setLaps(3, {90000, 80000});
  setLaps(5, {85000, 80000});
  setLaps(6, {85000, 0});
  computeLapPass(*store_);
  EXPECT_EQ(store_->FastestLapCount[3], 1);
  EXPECT_EQ(store_->FastestLapCount[5], 2);
  EXPECT_EQ(store_->FastestLapCount[6], 1);
  EXPECT_EQ(store_->FastestLapCount[0], 0);
}

TEST_F(ConsoleTable, LapPassFindsLeadersOnEachGridsOwnClock) {
  setLaps(2, {90000, 90000});   // grid A, crossings at 91000 and 181000
  setLaps(21, {95000, 80000});  // grid B: its own start is 10000 later
  store_->GridStartTime[0] = 1000;
  store_->GridStartTime[1] = 11000;
  store_->RaceCumTime[21][0] = 11000;
  store_->RaceCumTime[21][1] = 106000;
  store_->RaceCumTime[21][2] = 186000;
  computeLapPass(*store_);
  EXPECT_EQ(store_->LapLeader[0], 2);   // 0 against 0: the lower slot
  EXPECT_EQ(store_->LapLeader[1], 2);   // 90000 against 95000
  EXPECT_EQ(store_->LapLeader[2], 21);  // 180000 against 175000
}

TEST_F(ConsoleTable, LapPassRecordsEachImprovementOfTheFastestLap) {
  setLaps(4, {90000, 89000, 89500, 88000});
  setLaps(7, {91000, 88500, 89000, 88000});
  computeLapPass(*store_);
  ASSERT_EQ(store_->FastestLapDevelopmentLength, 3);
  EXPECT_EQ(store_->FastestLapDevelopment[0].Slot, 4);
  EXPECT_EQ(store_->FastestLapDevelopment[0].Lap, 1);
  EXPECT_EQ(store_->FastestLapDevelopment[1].Slot, 7);
  EXPECT_EQ(store_->FastestLapDevelopment[1].Lap, 2);
  EXPECT_EQ(store_->FastestLapDevelopment[2].Slot, 4);  // equal times: the lower slot
  EXPECT_EQ(store_->FastestLapDevelopment[2].Lap, 4);
}

TEST_F(ConsoleTable, BestLapTableRanksByCountThenSlot) {
  setDriver(4, "Dee", "Four");
  setDriver(9, "Nia", "Nine");
  setDriver(2, "Tom", "Two");
  store_->FastestLapCount[4] = 3;
  store_->FastestLapCount[9] = 5;
  store_->FastestLapCount[2] = 3;
  std::ostringstream out;
  printBestLapTable(*store_, out);
  EXPECT_EQ(out.str(),
            "            5 * Nia Nine\n"
            "            3 * Tom Two\n"
            "            3 * Dee Four\n");
}

TEST_F(ConsoleTable, BestLapTableEndsWhenSlotZeroIsTheBest) {
  setDriver(0, "Zed", "Zero");
  setDriver(1, "One", "Uno");
  setDriver(2, "Two", "Dos");
  store_->FastestLapCount[0] = 2;
  store_->FastestLapCount[1] = 4;
  store_->FastestLapCount[2] = 1;
  std::ostringstream out;
  printBestLapTable(*store_, out);
  EXPECT_EQ(out.str(), "            4 * One Uno\n");
}

TEST_F(ConsoleTable, ChartOfTwentyFiveLaps) {
  setDriver(5, "Ann", "Five");
  std::initializer_list<int32_t> laps = {90000, 90000, 90000, 90000, 90000, 90000, 90000,
                                         90000, 90000, 90000, 90000, 80000, 90000, 90000,
                                         90000, 90000, 90000, 90000, 90000, 90000, 90000,
                                         90000, 90000, 90000, 90000};
  setLaps(5, laps);
  setLaps(8, laps);
  store_->RaceLapTime[8][3] = 85000;  // slot 8 beats slot 5 in lap 3
  store_->RaceLapTime[0][4] = 1;      // slot 0 never counts
  store_->RaceLapTime[5][25] = 0;     // lap 25 not driven: the chart stops before it
  std::ostringstream out;
  printLapPlaceChart(*store_, 5, out);
  const std::string expected =
      "\nAnn Five\n\n"
      " 1 |  1  1  1  \n"
      " 2 |  1  1  1  \n"
      " 3 |  2  1  1  \n"
      " 4 |  1  1  1  \n"
      " 5 |  1  1  -  \n"
      " 6 |  1  1  \n"
      " 7 |  1  1  \n"
      " 8 |  1  1  \n"
      " 9 |  1  1  \n"
      "10 |  1  1  \n"
      "   ************\n"  // 25 / 10 + 2 = 4 times
      "     10 20 30 \n";
  EXPECT_EQ(out.str(), expected);
}

TEST_F(ConsoleTable, ChartShowsNoLapAbove127) {
  store_->MaxRaceLaps = 140;
  std::ostringstream out;
  printLapPlaceChart(*store_, 1, out);
  std::istringstream lines(out.str());
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(lines, line);
  // Row 0 holds laps 1, 11, ..., 121: 13 cells of " - " after the label " 1 | ".
  std::string row0 = " 1 | ";
  for (int i = 0; i < 13; ++i) row0 += " - ";
  EXPECT_EQ(line, row0 + " ");
  for (int i = 0; i < 7; ++i) std::getline(lines, line);
  // Row 7 holds laps 8, ..., 128 would be the 13th: only 12 cells.
  std::string row7 = " 8 | ";
  for (int i = 0; i < 12; ++i) row7 += " - ";
  EXPECT_EQ(line, row7 + " ");
}

TEST_F(ConsoleTable, DriverListPadsThreeToALine) {
  setLaps(7, {90000});
  setDriver(7, "Ann", "Seven");
  setLaps(42, {90000});
  setDriver(42, "Bob", "Fortytwo");
  setLaps(43, {90000});
  setDriver(43, "Abcdefghijkl", "Mnopqrstuvwxy");
  setLaps(50, {90000});
  setDriver(50, "Cy", "Fifty");
  const std::string out = runMenu("0");
  const std::string list =
      " 7=Ann Seven" + std::string(16, ' ') + "42=Bob Fortytwo" + std::string(13, ' ') +
      "43=Abcdefghijkl Mnopqrstuvwxy\n"
      "50=Cy Fifty" + std::string(17, ' ');
  EXPECT_EQ(out, std::string(kMenuHead) + list + kMenuTail);
  EXPECT_EQ(store_->NoSpeedValues, 0);
}

TEST_F(ConsoleTable, MenuAnswersThatEndIt) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 0},  {"-1", -1}, {"150", 150},       {"100", 100}, {"quit", 0},
      {"", 0},   {"4294967296", 0}, {"-2147483649", 0}, {"  -7  ", -7},
  };
  for (const auto& [answer, value] : cases) {
    const std::string out = runMenu(answer);
    EXPECT_EQ(out, std::string(kMenuHead) + kMenuTail) << answer;
    EXPECT_EQ(store_->NoSpeedValues, value) << answer;
  }
}

TEST_F(ConsoleTable, MenuChartsADriverAndAsksAgain) {
  setLaps(5, {90000});
  setDriver(5, "Ann", "Five");
  const std::string out = runMenu("5\n0\n");
  const std::string menu = std::string(kMenuHead) + " 5=Ann Five" + std::string(17, ' ') +
                           kMenuTail;
  const std::string chart = "\nAnn Five\n\n 1 |  1  \n" + std::string(" \n") + " \n" + " \n" +
                            " \n" + " \n" + " \n" + " \n" + " \n" + " \n" +
                            "   ******\n     10 \n";
  EXPECT_EQ(out, menu + chart + kPause + menu);
  EXPECT_EQ(store_->NoSpeedValues, 0);
}

TEST_F(ConsoleTable, MenuEndsAfterThe99thChartWithThatNumber) {
  std::string answers;
  for (int i = 0; i < 100; ++i) answers += "3\n";
  const std::string out = runMenu(answers);
  EXPECT_EQ(store_->NoSpeedValues, 3);
  size_t pauses = 0;
  for (size_t at = out.find(kPause); at != std::string::npos; at = out.find(kPause, at + 1)) {
    ++pauses;
  }
  EXPECT_EQ(pauses, 99u);
}

TEST_F(ConsoleTable, ReportFileName) {
  store_->ReportBaseName.assign("race1All");
  EXPECT_EQ(reportFileName(*store_), "race1All.html");
  store_->NoSpeedValues = -1;
  EXPECT_EQ(reportFileName(*store_), "race1Allno_v.html");
}

}  // namespace
}  // namespace vorlind
