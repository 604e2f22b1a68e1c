#include "season/round_result.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace vorlind {
namespace {

using Json = nlohmann::ordered_json;

// An export of three drivers: slot 2 won, slot 1 was disqualified, slot 3 retired.
Json exportOfThree() {
  return Json::parse(R"({"format": "vorlind-event", "version": 2, "track": {"name": "T"},
    "race": true,
    "drivers": [
      {"slot": 1, "first_name": "A", "last_name": "B", "car_make": "Lotus",
       "race": {"laps": [{}], "best_lap_ms": 90000}},
      {"slot": 2, "first_name": "C", "last_name": "D", "car_make": null,
       "race": {"laps": [{}], "best_lap_ms": null}},
      {"slot": 3, "first_name": "E", "last_name": "F", "car_make": "BRM",
       "race": {"laps": [{}], "best_lap_ms": 95000}}],
    "classification": [{"pos": 1, "slot": 2, "status": "finished"},
                       {"pos": 2, "slot": 1, "status": "DSQ"},
                       {"pos": 3, "slot": 3, "status": "DNF"}],
    "tables": {"result": [{"pos": 1, "slot": 2, "status": "finished"}]}})");
}

TEST(RoundResult, AnExportIsReadThroughItsClassificationOrItsResultTable) {
  const RoundRead read = roundFromEventJson(exportOfThree().dump());
  ASSERT_TRUE(read.Round) << read.Error;
  const RoundResult expected{"T",
                             {{"C D", 2, 1, ResultStatus::kFinished, std::nullopt, std::nullopt},
                              {"A B", 1, 2, ResultStatus::kDsq, "Lotus", 90000},
                              {"E F", 3, 3, ResultStatus::kDnf, "BRM", 95000}}};
  EXPECT_EQ(*read.Round, expected);
  EXPECT_TRUE(read.Warnings.empty());

  Json first = exportOfThree();
  first["version"] = 1;
  const RoundRead old = roundFromEventJson(first.dump());
  ASSERT_TRUE(old.Round) << old.Error;
  EXPECT_EQ(old.Round->Entries, std::vector<RoundEntry>{expected.Entries[0]});
  ASSERT_EQ(old.Warnings.size(), 1u);
  EXPECT_NE(old.Warnings[0].find("leaves out 2 drivers with race laps (A B, E F)"),
            std::string::npos)
      << old.Warnings[0];
}

TEST(RoundResult, AFileThatIsNoExportOrNoRaceIsRefused) {
  const Json kAbsent(Json::value_t::discarded);  // the member is taken out
  const struct {
    const char* Pointer;
    Json Value;
    const char* Error;
  } cases[] = {
      {"/format", "vorlind-season", "is not a vorlind-event export"},
      {"/version", 3, "is a vorlind-event export of a version this program does not read"},
      {"/race", false, "has no race"},
      {"/classification", Json::array(), "has no race"},
      {"/classification/1/slot", 9,
       "is a damaged vorlind-event export: row 2 of the classification "
       "names slot 9, which holds no driver"},
      {"/classification/2/status", "retired", "is a damaged vorlind-event export: row 3"},
      {"/drivers/1/race/best_lap_ms", "90",
       "is a damaged vorlind-event export: driver 2 has no race"},
      {"/drivers/1/race/best_lap_ms", 0, "is a damaged vorlind-event export: driver 2 has no race"},
      {"/drivers/0/race", kAbsent, "is a damaged vorlind-event export: driver 1 has no race"},
      {"/drivers/0/car_make", 7, "is a damaged vorlind-event export: driver 1: \"car_make\""},
      {"/drivers/2/last_name", 5, "is a damaged vorlind-event export: driver 3 has no first"},
      {"/drivers/2/first_name", kAbsent,
       "is a damaged vorlind-event export: driver 3 has no first"},
      {"/classification/2/status", kAbsent, "is a damaged vorlind-event export: row 3"},
  };
  for (const auto& test : cases) {
    Json document = exportOfThree();
    const Json::json_pointer pointer(test.Pointer);
    if (test.Value.is_discarded()) {
      document[pointer.parent_pointer()].erase(pointer.back());
    } else {
      document[pointer] = test.Value;
    }
    const RoundRead read = roundFromEventJson(document.dump());
    EXPECT_FALSE(read.Round) << test.Pointer;
    EXPECT_EQ(read.Error.rfind(test.Error, 0), 0u) << test.Pointer << ": " << read.Error;
  }
  const RoundRead notJson = roundFromEventJson("RPY\x01");
  EXPECT_EQ(notJson.Error.rfind("is not a vorlind-event export: not JSON: line 1, column 1", 0), 0u)
      << notJson.Error;
}

}  // namespace
}  // namespace vorlind
