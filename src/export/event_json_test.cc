#include "export/event_json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "event_plans.h"
#include "report/fastest_lap_tables.h"
#include "report/on_track_speed_tables.h"
#include "report/result_table.h"
#include "report/sector_tables.h"
#include "run/command_line.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

bool schemaValidatorPresent() {
  return std::system("python3 -c 'import jsonschema' >/dev/null 2>&1") == 0;
}

// A speed of the JSON against a row's hundredths of km/h: null stands for the store's "none".
void expectSpeed(const Json& kmh, int32_t rowValue, int slot) {
  if (kmh.is_null()) {
    EXPECT_TRUE(rowValue == kNoTime || rowValue == 0) << "slot " << slot << ": " << rowValue;
  } else {
    EXPECT_EQ(std::lround(kmh.get<double>() * 100), rowValue) << "slot " << slot;
  }
}

// No number in the document is the store's "no time" or "no speed".
void expectNoSentinel(const Json& value, const std::string& where) {
  if (value.is_number()) {
    EXPECT_NE(value.get<double>(), kNoTime) << where;
    EXPECT_NE(value.get<double>(), kNoTime / 100.0) << where;
  }
  for (auto it = value.begin(); value.is_structured() && it != value.end(); ++it) {
    expectNoSentinel(*it, where + "/" + (value.is_object() ? it.key() : "#"));
  }
}

const Json& driverOf(const Json& document, int slot) {
  for (const Json& driver : document["drivers"]) {
    if (driver["slot"] == slot) return driver;
  }
  static const Json none;
  ADD_FAILURE() << "no driver in slot " << slot;
  return none;
}

void crossCheckFastestLaps(const Json& document, const EventStore& store, FastestLapMember member,
                           const char* session, const char* table) {
  const std::vector<FastestLapRow> rows = rankFastestLaps(store, member);
  ASSERT_EQ(document["tables"][table].size(), rows.size()) << table;
  for (size_t i = 0; i < rows.size(); ++i) {
    const Json& entry = document["tables"][table][i];
    EXPECT_EQ(entry["slot"], rows[i].Slot);
    EXPECT_EQ(entry["lap_time_ms"], rows[i].LapTime);
    if (!showsOffTrack(member)) continue;
    const Json& own = driverOf(document, rows[i].Slot)[session];
    EXPECT_EQ(own["best_lap_ms"], rows[i].LapTime) << table << " slot " << rows[i].Slot;
    EXPECT_EQ(own["best_lap"], rows[i].LapNumber);
    ASSERT_EQ(own["laps"].size(), static_cast<size_t>(rows[i].LapCount));
    const Json& best = own["laps"][rows[i].LapNumber - 1];
    EXPECT_EQ(best["time_ms"], rows[i].LapTime);
    EXPECT_EQ(best["off_track"], *rows[i].OffTrack);
  }
}

void crossCheck(const Json& document, const EventStore& store) {
  crossCheckFastestLaps(document, store, FastestLapMember::kRace, "race", "fastest_race_laps");
  crossCheckFastestLaps(document, store, FastestLapMember::kPractice, "practice",
                        "fastest_practice_laps");
  crossCheckFastestLaps(document, store, FastestLapMember::kRaceOnTrack, "race",
                        "fastest_race_laps_on_track");
  for (int sector = 1; sector <= kSectorCount; ++sector) {
    const std::vector<SectorRow> rows = rankSector(store, sector);
    ASSERT_EQ(document["tables"]["sector_" + std::to_string(sector)].size(), rows.size());
    for (const SectorRow& row : rows) {
      const Json& measured = driverOf(document, row.Slot)["best_lap_sectors"][sector - 1];
      EXPECT_EQ(measured["split_ms"], row.SectorTime)
          << "sector " << sector << " slot " << row.Slot;
      expectSpeed(measured["min_speed_kmh"], row.MinSpeed, row.Slot);
      expectSpeed(measured["max_speed_kmh"], row.MaxSpeed, row.Slot);
    }
  }
  for (const SpeedRow& row : rankSpeeds(store)) {
    const Json& speed = driverOf(document, row.Slot)["best_lap_speed"];
    expectSpeed(speed["min_kmh"], row.MinSpeed, row.Slot);
    expectSpeed(speed["max_kmh"], row.MaxSpeed, row.Slot);
  }
  const std::vector<ResultRow> result = rankResult(store);
  ASSERT_EQ(document["tables"]["result"].size(), result.size());
  for (size_t i = 0; i < result.size(); ++i) {
    const Json& row = document["tables"]["result"][i];
    EXPECT_EQ(row["pos"], result[i].Position);
    EXPECT_EQ(row["slot"], result[i].Slot);
    EXPECT_EQ(row["race_time_ms"], result[i].RaceTime);
    EXPECT_EQ(row["status"], result[i].Classified ? "finished" : "DNF");
    EXPECT_EQ(driverOf(document, result[i].Slot)["race"]["laps"].size(),
              static_cast<size_t>(result[i].Laps));
  }
}

// The export of every scenario validates against the schema in docs/, and its laps, best laps,
// sector splits and speeds agree with the rows of the same event's report.
TEST(EventJson, EveryScenarioValidatesAndAgreesWithTheReportRows) {
  testing::TempDir scratch;
  std::string documents;
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
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runCommandLine(command, out, err, dir), 0) << err.str();
    const Json document = Json::parse(testing::readFile(dir / "event.json"));
    documents += " " + (dir / "event.json").string();

    auto store = std::make_unique<EventStore>();
    std::vector<GridSource> grids;
    ASSERT_TRUE(loadEvent(command, dir, *store, grids, err));
    // The named driver is in slot 1; a later grid that is not counted takes slot 1 again.
    const bool allCounted = std::all_of(grids.begin(), grids.end(),
                                        [](const GridSource& grid) { return grid.Counted; });
    EXPECT_EQ(document["highlighted_slot"], allCounted ? Json(1) : Json(nullptr));
    EXPECT_EQ(document["grids"].size(), event.Grids.size());
    expectNoSentinel(document, "");
    if (store->RaceFound != 0) crossCheck(document, *store);
  }
  if (!schemaValidatorPresent()) GTEST_SKIP() << "python3-jsonschema is not installed";
  const std::string validate =
      "python3 -c 'import json, sys, jsonschema\n"
      "schema = json.load(open(sys.argv[1]))\n"
      "for path in sys.argv[2:]: jsonschema.validate(json.load(open(path)), schema, "
      "cls=jsonschema.Draft202012Validator)' " VORLIND_SOURCE_DIR
      "/docs/vorlind-event.schema.json" +
      documents;
  EXPECT_EQ(std::system(validate.c_str()), 0);
}

}  // namespace
}  // namespace vorlind
