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
  const std::vector<ResultRow> result = rankClassification(*store);
  store->SlotLastName[result.front().Slot].assign("O\"Hara, J\xE9r\xF4me\x80");
  ASSERT_EQ(writeEventCsv(*store, scratch.path() / "csv"), "");

  // Each file as its number of fields, then the slot, time and last name of each row.
  const std::string read =
      "python3 -c 'import csv, sys\n"
      "for name in (\"laps.csv\", \"result.csv\"):\n"
      "  rows = list(csv.DictReader(open(sys.argv[1] + \"/\" + name, newline=\"\", "
      "encoding=\"utf-8\")))\n"
      "  print(len(rows[0]))\n"
      "  for row in rows: print(row[\"slot\"], row.get(\"time_ms\", row.get(\"race_time_ms\")), "
      "row[\"last_name\"])' " +
      (scratch.path() / "csv").string() + " > " + (scratch.path() / "read.txt").string();
  ASSERT_EQ(std::system(read.c_str()), 0);
  const auto line = [&](int slot, int32_t time) {
    const std::string name = latin1ToUtf8(store->SlotLastName[slot].view());
    return std::to_string(slot) + " " + std::to_string(time) + " " + name + "\n";
  };
  std::string laps = "9\n", results = "11\n";
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (!slotHoldsEntry(*store, slot)) continue;
    for (int lap = 1; lap <= store->PracticeLapCount[slot]; ++lap) {
      laps += line(slot, store->PracticeLapTime[slot][lap]);
    }
    for (int lap = 1; lap <= store->RaceLapCount[slot]; ++lap) {
      laps += line(slot, store->RaceLapTime[slot][lap]);
    }
  }
  for (const ResultRow& row : result) results += line(row.Slot, row.RaceTime);
  EXPECT_EQ(testing::readFile(scratch.path() / "read.txt"), laps + results);
}

}  // namespace
}  // namespace vorlind
