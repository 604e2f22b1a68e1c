// Whole runs of the program in-process: replays built byte by byte in a temporary working
// directory, scripted answers, and the console transcript compared byte for byte with one put
// together here from the texts the program must print.
#include "run/run_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "replay/event_store.h"
#include "replay_builder.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;
using tools::CarItem;
using tools::LapRecord;
using tools::ReplayBuilder;

const std::string kTip =
    "Tip: You can mark your datas especially if you edit the myname.txt. Change the\n"
    "drivername in this file to your name and you should see yellow lines in the html\n";
const std::string kPause = "Press any key to continue . . . \n";
const std::string kTitle = "\n\n             BESTE RUNDEN TABELLE\n\n";
const std::string kNotFound =
    "The tool find not the replay.\n"
    "Have you edit the path in Skarrow.ini to your halvane directory?\n"
    "At the end of the path it must be a \"\\\"!\n";
const std::string kMenuHead =
    " 0=Ends this part of the tool and creates a html-file with statistiscs\n"
    "Value<0   Ends this part of the tool and creates a html-file with statistiscs, except "
    "speed values\n";
const std::string kMenuTail =
    "\nPlease choice a number!\n"
    "After ENTER wait for shutting of the konsole!\n"
    "It could be that searching for sector times need one minute.\n"
    "After all you find the html in programm directory.\n";

std::string prompt(char grid) {
  const std::string g = std::string("Grid") + grid + " ";
  return "\n\nPlease put in the name of the " + g + "replay-file (without .rpy)!\nIf no " + g +
         "exist put in number 0!\n";
}

struct Driver {
  std::string First;
  std::string Last;
  int32_t Car;
  int32_t Entry;
  int32_t LapTime;  // every race lap takes this long; 0: no race block
};

// The word the entry table shows behind an entry: the next 152-byte slot's first four bytes.
int32_t wordOfName(const std::string& name) {
  uint32_t word = 0;
  for (size_t i = 0; i < 4 && i < name.size(); ++i) {
    word |= static_cast<uint32_t>(static_cast<uint8_t>(name[i])) << (8 * i);
  }
  return static_cast<int32_t>(word);
}

// `practice`: the replay has practice blocks, so the table ends with "ORPL", else "BTPL".
std::string entryTrace(const std::vector<Driver>& drivers, bool practice) {
  std::string text;
  for (size_t i = 0; i < drivers.size(); ++i) {
    const int32_t word =
        i + 1 < drivers.size() ? wordOfName(drivers[i + 1].First) : (practice ? 1280332367 : 1280332866);
    text += drivers[i].Last + "\nAuto=" + std::to_string(drivers[i].Car) +
            "  Welch=" + std::to_string(drivers[i].Entry) + "\nWert=" + std::to_string(word) +
            "\n";
  }
  return text;
}

std::string sectorMessage(const Driver& d) {
  std::string last = d.Last;
  last.resize(16, '\0');
  return "\nWait a moment, please... The tool is looking for sector times\nand max.speed of " +
         d.First.substr(0, 1) + "." + last;
}

constexpr int32_t kFirstCrossing = 12000;
constexpr int kLaps = 3;
constexpr uint32_t kLongestPosition = 8000002;  // track length=4000001mm

// A grid whose drivers all drive kLaps laps of their lap time, with a frame stream of a marker
// chunk, a chunk holding the longest position and enough chunks behind to be scanned.
std::vector<uint8_t> raceGrid(const std::vector<Driver>& drivers, bool practice = true) {
  ReplayBuilder b;
  b.setTrackName("ring").setModName("mod");
  for (const Driver& d : drivers) b.addEntry(d.First, d.Last, d.Car, d.Entry);
  if (practice) {
    for (const Driver& d : drivers) b.addPracticeBlock(d.Entry, {{5000, 0}, {95000, 0}});
  }
  b.beginRaceSection();
  for (const Driver& d : drivers) {
    if (d.LapTime == 0) continue;
    std::vector<LapRecord> records;
    for (int k = 0; k <= kLaps; ++k) {
      records.push_back({static_cast<uint32_t>(kFirstCrossing + d.Entry + k * d.LapTime), 0});
    }
    b.addRaceBlock(d.Entry, records);
  }
  // Behind 20 race blocks no ending length is read: the stream follows directly.
  if (drivers.size() < 20) b.endRaceSection();
  std::vector<CarItem> standing;
  for (const Driver& d : drivers) standing.push_back({static_cast<uint8_t>(d.Entry), 100});
  b.addChunk({tools::startMarkerRecord(1), tools::carRecord(standing)});
  b.addChunk({tools::StreamRecord{15, 8, {0, 0, 0, 0}},
              tools::positionRecord(kLongestPosition, 0), tools::carRecord(standing)});
  for (int i = 0; i < 40; ++i) {
    b.addChunk({tools::StreamRecord{15, 8, {0, 0, 0, 0}}, tools::StreamRecord{7, 0, std::vector<uint8_t>(296)},
                tools::carRecord(standing)});
  }
  return b.take();
}

std::vector<uint8_t> practiceGrid(const std::vector<Driver>& drivers) {
  ReplayBuilder b;
  for (const Driver& d : drivers) b.addEntry(d.First, d.Last, d.Car, d.Entry);
  for (const Driver& d : drivers) b.addPracticeBlock(d.Entry, {{5000, 0}, {95000, 0}});
  b.endPracticeOnly();
  b.appendZeros(64);
  return b.take();
}

std::string startLine(int32_t ms) {
  char text[64];
  std::snprintf(text, sizeof text, "Zeit in Startaufstellung dieses Grids:%d.%03ds\n", ms / 1000,
                ms % 1000);
  return text;
}

std::string trackLines() {
  return "One moment please. The tool is searching for track length.\ntrack length=4000001mm\n";
}

// The menu as it shows the given slots, three to a line.
std::string menu(const std::vector<std::pair<int, Driver>>& listed) {
  std::string text = kMenuHead;
  int count = 0;
  for (const auto& [slot, d] : listed) {
    ++count;
    text += (slot < 10 ? " " : "") + std::to_string(slot) + "=" + d.First + " " + d.Last;
    const int length = static_cast<int>(d.First.size() + d.Last.size());
    if (count % 3 == 0) {
      text += "\n";
    } else if (length < 24) {
      text += std::string(24 - length, ' ');
    }
  }
  return text + kMenuTail;
}

class RunDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    writeMyName("Bo Lind");
    writeSkarrow("replays\\\r\n");
  }

  void writeMyName(const std::string& text) { testing::writeFile(dir_.path() / "myname.ini", text); }
  void writeSkarrow(const std::string& text) {
    testing::writeFile(dir_.path() / "Skarrow.ini", text);
  }
  void writeReplay(const std::string& name, const std::vector<uint8_t>& bytes) {
    testing::writeFile(dir_.path() / "replays" / (name + ".rpy"),
                       std::string(bytes.begin(), bytes.end()));
  }

  int run(const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    Console console{in, out, false};
    const int code = runVorlind(console, dir_.path());
    output_ = out.str();
    return code;
  }

  void expectOutput(const std::string& expected) {
    EXPECT_EQ(testing::describeFirstDifference(expected, output_), "");
  }

  bool reportExists(const std::string& name) { return fs::exists(dir_.path() / name); }

  testing::TempDir dir_;
  std::string output_;
};

const std::vector<Driver> kGridA = {
    {"Al", "Fast", 1, 0, 90000}, {"Bo", "Lind", 4, 1, 85000}, {"Cy", "Rask", 9, 2, 95000}};
const std::vector<Driver> kGridB = {{"Di", "Holm", 2, 0, 91000},
                                    {"Ed", "Berg", 3, 1, 92000},
                                    {"Fa", "Nord", 5, 2, 0},
                                    {"Gu", "Vik", 6, 3, 93000}};
const std::vector<Driver> kGridC = {{"Ha", "Strom", 0, 2, 96000},
                                    {"Ib", "Kall", 6, 5, 97000},
                                    {"Jo", "Ek", 7, 7, 98000}};

std::string gridTranscript(const std::vector<Driver>& drivers, int32_t startMs,
                           bool practice = true) {
  std::string text = entryTrace(drivers, practice) + startLine(startMs) + trackLines();
  std::vector<Driver> measured;
  for (const Driver& d : drivers) {
    if (d.Entry >= 1 && d.LapTime != 0) measured.push_back(d);
  }
  std::sort(measured.begin(), measured.end(),
            [](const Driver& a, const Driver& b) { return a.Entry < b.Entry; });
  for (const Driver& d : measured) text += sectorMessage(d);
  return text;
}

TEST_F(RunDriver, ThreeGridEvent) {
  writeReplay("ga", raceGrid(kGridA));
  writeReplay("gb", raceGrid(kGridB));
  writeReplay("gc", raceGrid(kGridC));
  ASSERT_EQ(run("ga\ngb\ngc\n0\n0\n"), 0);
  std::vector<std::pair<int, Driver>> listed;
  for (const Driver& d : kGridA) listed.push_back({d.Entry, d});
  for (const Driver& d : kGridB) {
    if (d.LapTime != 0) listed.push_back({20 + d.Entry, d});
  }
  for (const Driver& d : kGridC) listed.push_back({40 + d.Entry, d});
  std::sort(listed.begin(), listed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  expectOutput(kTip + prompt('A') + gridTranscript(kGridA, kFirstCrossing) + prompt('B') +
               gridTranscript(kGridB, kFirstCrossing) + prompt('C') +
               gridTranscript(kGridC, kFirstCrossing + 2) + prompt('D') + kTitle +
               "            3 * Bo Lind\n" + kPause + menu(listed));
  EXPECT_TRUE(reportExists("gaAll.html"));
  EXPECT_FALSE(reportExists("gaAll.html.tmp"));
}

TEST_F(RunDriver, FiveGridsEndWithoutAFurtherPrompt) {
  const char* names[] = {"g1", "g2", "g3", "g4", "g5"};
  for (const char* name : names) writeReplay(name, raceGrid(kGridA));
  ASSERT_EQ(run("g1\ng2\ng3\ng4\ng5\n-1\n"), 0);
  std::string expected = kTip;
  std::vector<std::pair<int, Driver>> listed;
  for (int g = 0; g < 5; ++g) {
    expected += prompt(static_cast<char>('A' + g)) + gridTranscript(kGridA, kFirstCrossing);
    for (const Driver& d : kGridA) listed.push_back({20 * g + d.Entry, d});
  }
  // Equal fastest laps in every lap: all five copies of Bo Lind count, slot 0's grid first.
  expected += kTitle;
  for (int g = 0; g < 5; ++g) expected += "            3 * Bo Lind\n";
  expectOutput(expected + kPause + menu(listed));
  EXPECT_TRUE(reportExists("g1Allno_v.html"));
}

TEST_F(RunDriver, MissingMyNameEndsWithAPause) {
  fs::remove(dir_.path() / "myname.ini");
  EXPECT_EQ(run("ga\n"), 0);
  expectOutput(kTip + "Datei myname.ini existiert nicht" + kPause);
}

TEST_F(RunDriver, BothFilesMissingNamesOnlyMyName) {
  fs::remove(dir_.path() / "myname.ini");
  fs::remove(dir_.path() / "Skarrow.ini");
  EXPECT_EQ(run("ga\n"), 0);
  expectOutput(kTip + "Datei myname.ini existiert nicht" + kPause);
}

TEST_F(RunDriver, UnreadableSkarrowEndsWithExitCode1) {
  fs::remove(dir_.path() / "Skarrow.ini");
  fs::create_directories(dir_.path() / "Skarrow.ini" / "not-a-file");
  EXPECT_EQ(run("ga\n"), 1);
  expectOutput(kTip + "Datei wrong!!!");
}

TEST_F(RunDriver, ZeroAtGridAEndsTheProgram) {
  writeReplay("ga", raceGrid(kGridA));
  EXPECT_EQ(run("0\n"), 1);
  expectOutput(kTip + prompt('A') + kNotFound + kPause);
  EXPECT_FALSE(reportExists("0All.html"));
}

TEST_F(RunDriver, SkarrowWithoutTheFinalSeparatorFindsNothing) {
  writeSkarrow("replays\r\n");
  writeReplay("ga", raceGrid(kGridA));
  EXPECT_EQ(run("ga\n"), 1);
  expectOutput(kTip + prompt('A') + kNotFound + kPause);
}

TEST_F(RunDriver, ZeroAtGridCEndsTheDialogue) {
  writeReplay("ga", raceGrid(kGridA));
  writeReplay("gb", raceGrid(kGridB));
  ASSERT_EQ(run("ga\ngb\n0\n0\n"), 0);
  const std::string transcript = output_;
  EXPECT_NE(transcript.find(prompt('C') + kTitle), std::string::npos);
  EXPECT_EQ(transcript.find(prompt('D')), std::string::npos);
  EXPECT_TRUE(reportExists("gaAll.html"));
}

TEST_F(RunDriver, PlayerReplayIsRefused) {
  ReplayBuilder b;
  b.setServerMarker(3);
  b.addEntry("Al", "Fast", 1, 0);
  writeReplay("ga", raceGrid(kGridA));
  writeReplay("pl", b.take());
  EXPECT_EQ(run("ga\npl\n"), 0);
  expectOutput(kTip + prompt('A') + gridTranscript(kGridA, kFirstCrossing) + prompt('B') +
               "Sorry! Vorlind is made for Server Replays only.\n"
               "If you would see the datas from ONE replay only\n"
               "please use Skarrow!\n" +
               kPause);
  EXPECT_FALSE(reportExists("gaAll.html"));
}

TEST_F(RunDriver, GridOfTwoEntriesIsNotCountedAndItsSlotsAreReused) {
  const std::vector<Driver> pair = {{"Xa", "Two", 1, 0, 99000}, {"Yb", "Duo", 2, 1, 99500}};
  writeReplay("small", raceGrid(pair));
  writeReplay("ga", raceGrid(kGridA));
  ASSERT_EQ(run("small\nga\n0\n0\n"), 0);
  std::vector<std::pair<int, Driver>> listed;
  for (const Driver& d : kGridA) listed.push_back({d.Entry, d});
  expectOutput(kTip + prompt('A') + entryTrace(pair, true) + startLine(kFirstCrossing) +
               prompt('B') + entryTrace(kGridA, true) + startLine(kFirstCrossing) +
               trackLines() + sectorMessage(kGridA[1]) + sectorMessage(kGridA[2]) + prompt('C') +
               kTitle + "            3 * Bo Lind\n" + kPause + menu(listed));
  EXPECT_TRUE(reportExists("smallAll.html"));
}

TEST_F(RunDriver, TwentyEntries) {
  std::vector<Driver> drivers;
  for (int e = 0; e < 20; ++e) {
    drivers.push_back({"N" + std::to_string(e), "Last" + std::to_string(e), e % 7, 19 - e,
                       90000 + 100 * e});
  }
  writeReplay("big", raceGrid(drivers, false));
  ASSERT_EQ(run("big\n0\n0\n"), 0);
  std::vector<std::pair<int, Driver>> listed;
  for (const Driver& d : drivers) listed.push_back({d.Entry, d});
  std::sort(listed.begin(), listed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  // Entry 19 ("N0") drives the fastest laps; its first crossing is the latest (12000 + 19).
  expectOutput(kTip + prompt('A') + gridTranscript(drivers, kFirstCrossing, false) + prompt('B') +
               kTitle + "            3 * N0 Last0\n" + kPause + menu(listed));
}

TEST_F(RunDriver, PracticeOnlyEvent) {
  writeReplay("pa", practiceGrid(kGridA));
  writeReplay("pb", practiceGrid(kGridB));
  ASSERT_EQ(run("pa\npb\n0\n0\n"), 0);
  expectOutput(kTip + prompt('A') + entryTrace(kGridA, true) + startLine(kNoTime) +
               prompt('B') + entryTrace(kGridB, true) + startLine(kNoTime) + prompt('C') +
               kTitle + kPause + menu({}));
  const std::string report = testing::readFile(dir_.path() / "paAll.html");
  EXPECT_NE(report.find("PRACTISE LAPS of  Di Holm</caption>"), std::string::npos);
}

TEST_F(RunDriver, DamagedReplayCutInsideTheRaceBlocks) {
  std::vector<uint8_t> bytes = raceGrid(kGridA, false);
  const size_t raceBlocks = ReplayBuilder::kHeaderSize + 152 * kGridA.size() + 20;
  bytes.resize(raceBlocks + 30);
  writeReplay("ga", raceGrid(kGridB));
  writeReplay("cut", bytes);
  EXPECT_EQ(run("ga\ncut\n0\n"), 1);
  expectOutput(kTip + prompt('A') + gridTranscript(kGridB, kFirstCrossing) + prompt('B') +
               entryTrace(kGridA, false) +
               "Sorry! The replay replays\\cut.rpy is damaged and cannot be read.\n" + kPause);
  EXPECT_FALSE(reportExists("gaAll.html"));
}

TEST_F(RunDriver, LongNamesAreCutToTheirTexts) {
  const std::string longName(45, 'r');
  writeReplay(longName.substr(0, 39), raceGrid(kGridA));
  ASSERT_EQ(run(longName + "\n0\n0\n"), 0);
  EXPECT_TRUE(reportExists(longName.substr(0, 26) + "All.html"));
}

TEST_F(RunDriver, EndOfInputAtAPromptReadsAnEmptyName) {
  writeReplay("ga", raceGrid(kGridA));
  writeReplay("", raceGrid(kGridB));  // the file ".rpy" is what an empty name opens
  ASSERT_EQ(run("ga\n"), 0);
  const std::string transcript = output_;
  EXPECT_NE(transcript.find(prompt('B') + entryTrace(kGridB, true)), std::string::npos);
}

}  // namespace
}  // namespace vorlind
