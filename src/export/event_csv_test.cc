#include "export/event_csv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "event_plans.h"
#include "export/event_json.h"
#include "report/result_table.h"
#include "run/command_line.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

TEST(EventCsv, QuotesOnlyTheFieldsThatNeedIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Ada", "Ada"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"a\r\nb", "\"a\r\nb\""},
      {"a\nb", "\"a\nb\""},
      {" lead", " lead"},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(csvField(text), field) << text;
}

// Both files read back with Python's csv module, a name with a comma, quotes and a Latin-1 byte
// included, and agree with the store row by row.
TEST(EventCsv, FilesReadBackWithACsvParser) {
  if (std::system("python3 -c 'import csv' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 is not installed";
  }
  testing::TempDir scratch;
  tools::EventDirectory event;
  ASSERT_TRUE(tools::scenarioEvent("retirements", &event));
  ASSERT_EQ(tools::writeEventDirectory(scratch.path().string(), event), "");
  CommandLine command;
  command.Replays = {"replays/" + event.Grids[0].ReplayName + ".rpy"};
  auto store = std::make_unique<EventStore>();
  std::vector<GridSource> grids;
  std::ostringstream err;
  ASSERT_TRUE(loadEvent(command, scratch.path(), *store, grids, err));
  const int renamed = rankResult(*store).front().Slot;
  store->SlotLastName[renamed].assign("O\"Hara, J\xE9r\xF4me");
  ASSERT_EQ(writeEventCsv(*store, scratch.path() / "csv"), "");

  // Each file as "rows fields" and then the named cells, one per line.
  const std::string read =
      "python3 -c 'import csv, sys\n"
      "for name in (\"laps.csv\", \"result.csv\"):\n"
      "  rows = list(csv.DictReader(open(sys.argv[1] + \"/\" + name, newline=\"\", "
      "encoding=\"utf-8\")))\n"
      "  print(len(rows), len(rows[0]))\n"
      "  for row in rows: print(row[\"slot\"], row.get(\"time_ms\", row.get(\"race_time_ms\")), "
      "row[\"last_name\"])' " +
      (scratch.path() / "csv").string() + " > " + (scratch.path() / "read.txt").string();
  ASSERT_EQ(std::system(read.c_str()), 0);
  std::istringstream lines(testing::readFile(scratch.path() / "read.txt"));

  size_t rows = 0, fields = 0;
  lines >> rows >> fields;
  EXPECT_EQ(fields, 9u);
  std::vector<std::string> expectedLaps;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (!slotHoldsEntry(*store, slot)) continue;
    const std::string tail = " " + latin1ToUtf8(store->SlotLastName[slot].view());
    for (int lap = 1; lap <= store->PracticeLapCount[slot]; ++lap) {
      expectedLaps.push_back(std::to_string(slot) + " " +
                             std::to_string(store->PracticeLapTime[slot][lap]) + tail);
    }
    for (int lap = 1; lap <= store->RaceLapCount[slot]; ++lap) {
      expectedLaps.push_back(std::to_string(slot) + " " +
                             std::to_string(store->RaceLapTime[slot][lap]) + tail);
    }
  }
  ASSERT_EQ(rows, expectedLaps.size());
  std::string line;
  std::getline(lines, line);
  for (const std::string& expected : expectedLaps) {
    std::getline(lines, line);
    EXPECT_EQ(line, expected);
  }
  lines >> rows >> fields;
  EXPECT_EQ(fields, 10u);
  const std::vector<ResultRow> result = rankResult(*store);
  ASSERT_EQ(rows, result.size());
  std::getline(lines, line);
  for (const ResultRow& row : result) {
    std::getline(lines, line);
    const std::string name = latin1ToUtf8(store->SlotLastName[row.Slot].view());
    EXPECT_EQ(line, std::to_string(row.Slot) + " " + std::to_string(row.RaceTime) + " " + name);
  }
  EXPECT_NE(testing::readFile(scratch.path() / "csv" / "result.csv")
                .find("\"O\"\"Hara, J\xC3\xA9r\xC3\xB4me\""),
            std::string::npos);
}

}  // namespace
}  // namespace vorlind
