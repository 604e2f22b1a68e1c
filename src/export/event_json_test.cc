#include "export/event_json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "event_plans.h"
#include "report/fast_lap_tables.h"
#include "report/on_track_speed_tables.h"
#include "report/result_table.h"
#include "report/sector_tables.h"
#include "run/command_line.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// A speed of the JSON against a row's hundredths of km/h: null stands for the store's "none".
bool sameSpeed(const Json& kmh, int32_t row) {
  return kmh.is_null() ? row == kNoTime || row == 0 : std::lround(kmh.get<double>() * 100) == row;
}

// Some members of an object, to compare with a row's values in one go.
template <typename... Keys>
Json fields(const Json& object, Keys... keys) {
  return Json::array({object.at(keys)...});
}

const Json& driverOf(const Json& document, int slot) {
  for (const Json& driver : document["drivers"]) {
    if (driver["slot"] == slot) return driver;
  }
  ADD_FAILURE() << "no driver in slot " << slot;
  return document;
}

// Each table row agrees with the report's row, and with the laps and best laps of its driver.
void crossCheck(const Json& document, const EventStore& store) {
  const Json& tables = document["tables"];
  for (const auto& [member, session, table] :
       {std::tuple{FastestLapMember::kRace, "race", "fastest_race_laps"},
        {FastestLapMember::kPractice, "practice", "fastest_practice_laps"},
        {FastestLapMember::kRaceOnTrack, "race", "fastest_race_laps_on_track"}}) {
    const std::vector<FastestLapRow> rows = rankFastestLaps(store, member);
    ASSERT_EQ(tables[table].size(), rows.size()) << table;
    for (size_t i = 0; i < rows.size(); ++i) {
      const FastestLapRow& row = rows[i];
      EXPECT_EQ(fields(tables[table][i], "slot", "lap_time_ms"),
                Json::array({row.Slot, row.LapTime}));
      if (!showsOffTrack(member)) continue;
      const Json& own = driverOf(document, row.Slot)[session];
      EXPECT_EQ(fields(own, "best_lap_ms", "best_lap"), Json::array({row.LapTime, row.LapNumber}));
      ASSERT_EQ(own["laps"].size(), static_cast<size_t>(row.LapCount)) << table;
      EXPECT_EQ(fields(own["laps"][row.LapNumber - 1], "time_ms", "off_track"),
                Json::array({row.LapTime, *row.OffTrack}));
    }
  }
  for (int sector = 1; sector <= kSectorCount; ++sector) {
    const std::vector<SectorRow> rows = rankSector(store, sector);
    ASSERT_EQ(tables["sector_" + std::to_string(sector)].size(), rows.size());
    for (const SectorRow& row : rows) {
      const Json& measured = driverOf(document, row.Slot)["best_lap_sectors"][sector - 1];
      EXPECT_EQ(measured["time_ms"], row.SectorTime) << sector << " slot " << row.Slot;
      EXPECT_TRUE(sameSpeed(measured["min_speed_kmh"], row.MinSpeed) &&
                  sameSpeed(measured["max_speed_kmh"], row.MaxSpeed))
          << sector << " slot " << row.Slot;
    }
  }
  for (const SpeedRow& row : rankSpeeds(store)) {
    const Json& speed = driverOf(document, row.Slot)["best_lap_speed"];
    EXPECT_TRUE(sameSpeed(speed["min_kmh"], row.MinSpeed) &&
                sameSpeed(speed["max_kmh"], row.MaxSpeed))
        << "slot " << row.Slot;
  }
  const std::vector<ResultRow> result = rankResult(store);
  ASSERT_EQ(tables["result"].size(), result.size());
  for (size_t i = 0; i < result.size(); ++i) {
    const ResultRow& row = result[i];
    EXPECT_EQ(fields(tables["result"][i], "pos", "slot", "race_time_ms", "status"),
              Json::array({row.Position, row.Slot, row.RaceTime, statusWord(row.Status)}));
    EXPECT_EQ(driverOf(document, row.Slot)["race"]["laps"].size(), static_cast<size_t>(row.Laps));
  }
}

// A first split of 1 ms is measured; each sector gives its own time and the time from the start
// of the lap, the fourth ending with the lap.
TEST(EventJson, SectorTimesAndSplitsFromTheFirstMillisecond) {
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  store->SlotFirstName[1].assign("Ada");
  store->BestLapSplitTime[1] = {0, 1, 2, 3, 4};
  store->RaceBestLap[1] = 10;
  const Json document = Json::parse(eventJson(*store, {}).dump());
  Json times, splits;
  for (const Json& sector : document["drivers"][0]["best_lap_sectors"]) {
    times.push_back(sector["time_ms"]);
    splits.push_back(sector["split_ms"]);
  }
  EXPECT_EQ(times, Json::parse("[1, 1, 1, 7]"));
  EXPECT_EQ(splits, Json::parse("[1, 2, 3, 10]"));
}

// The export of every scenario validates against the schema in docs/, and its laps, best laps,
// sector splits and speeds agree with the rows of the same event's report.
TEST(EventJson, EveryScenarioValidatesAndAgreesWithTheReportRows) {
  testing::TempDir scratch;
  std::vector<fs::path> documents;
  for (const std::string& name : tools::scenarioNames()) {
    if (name == "player") continue;
    SCOPED_TRACE(name);
    tools::EventDirectory event;
    ASSERT_TRUE(tools::scenarioEvent(name, &event));
    const fs::path dir = scratch.path() / name;
    ASSERT_EQ(tools::writeEventDirectory(dir.string(), event), "");
    CommandLine command;
    command.Kind = CommandKind::kExport;
    for (const tools::NamedGrid& grid : event.Grids) {
      command.Replays.push_back("replays/" + grid.ReplayName + ".rpy");
    }
    command.Json = "event.json";
    std::ostringstream out, err;
    ASSERT_EQ(runCommandLine(command, out, err, dir), 0) << err.str();
    const std::string text = testing::readFile(dir / "event.json");
    const Json document = Json::parse(text);
    documents.push_back(dir / "event.json");

    auto store = std::make_unique<EventStore>();
    std::vector<GridSource> grids;
    ASSERT_TRUE(loadEvent(command, dir, *store, grids, err));
    // The named driver is in slot 1; a later grid that is not counted takes slot 1 again.
    const bool allCounted = std::ranges::all_of(grids, &GridSource::Counted);
    EXPECT_EQ(document["highlighted_slot"], allCounted ? Json(1) : Json(nullptr));
    EXPECT_EQ(document["grids"].size(), event.Grids.size());
    // No number in the document is the store's "no time" or "no speed".
    EXPECT_EQ(text.find(std::to_string(kNoTime)), std::string::npos);
    EXPECT_EQ(text.find(std::to_string(kNoTime / 100) + ".0"), std::string::npos);
    if (store->RaceFound != 0) crossCheck(document, *store);
  }
  const std::optional<bool> valid =
      testing::validatesAgainstSchema("vorlind-event.schema.json", documents);
  if (!valid) GTEST_SKIP() << "python3-jsonschema is not installed";
  EXPECT_TRUE(*valid);
}

}  // namespace
}  // namespace vorlind
