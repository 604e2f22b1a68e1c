#include "season/season_outputs.h"

#include "export/event_csv.h"
#include "export/event_json.h"

namespace vorlind {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;
constexpr std::string_view kLineEnd = "\r\n";

Json driverRounds(const DriverStanding& driver) {
  Json results = Json::array();
  for (size_t index = 0; index < driver.Rounds.size(); ++index) {
    const DriverRound& round = driver.Rounds[index];
    results.push_back({{"round", index + 1},
                       {"place", round.TookPart ? Json(round.Place) : Json(nullptr)},
                       {"status", round.TookPart ? Json(statusWord(round.Status)) : Json(nullptr)},
                       {"points", round.Points},
                       {"fastest_lap", round.FastestLap},
                       {"counted", round.Counted}});
  }
  return results;
}

void appendLine(std::string& csv, const std::vector<std::string>& fields) {
  for (size_t index = 0; index < fields.size(); ++index) {
    if (index > 0) csv += ',';
    csv += csvField(fields[index]);
  }
  csv += kLineEnd;
}

std::vector<std::string> header(const Standings& standings, const char* name,
                                std::vector<std::string> last) {
  std::vector<std::string> fields = {"pos", name};
  for (const SeasonRound& round : standings.Rounds) fields.push_back(round.Name);
  fields.insert(fields.end(), last.begin(), last.end());
  return fields;
}

}  // namespace

Json seasonJson(const Standings& standings) {
  Json rounds = Json::array();
  for (const SeasonRound& round : standings.Rounds) {
    rounds.push_back({{"round", round.Number},
                      {"name", round.Name},
                      {"source", round.Source},
                      {"track", round.Track}});
  }
  Json drivers = Json::array();
  for (const DriverStanding& driver : standings.Drivers) {
    drivers.push_back({{"pos", driver.Position},
                       {"name", driver.Name},
                       {"points", driver.Points},
                       {"deducted", driver.Deducted},
                       {"results", driverRounds(driver)}});
  }
  Json makes = Json::array();
  for (const MakeStanding& make : standings.Makes) {
    Json results = Json::array();
    for (size_t index = 0; index < make.RoundPoints.size(); ++index) {
      results.push_back({{"round", index + 1}, {"points", make.RoundPoints[index]}});
    }
    makes.push_back({{"pos", make.Position},
                     {"car_make", make.Make},
                     {"points", make.Points},
                     {"results", std::move(results)}});
  }
  Json deductions = Json::array();
  for (const Deduction& deduction : standings.Deductions) {
    deductions.push_back(
        {{"round", deduction.Round},
         {"driver", deduction.Driver},
         {"points", deduction.Points},
         {"reason", deduction.Reason.empty() ? Json(nullptr) : Json(deduction.Reason)}});
  }
  const SeasonRules& rules = standings.Rules;
  return {{"format", "vorlind-season"},
          {"version", kFormatVersion},
          {"name", standings.Name ? Json(*standings.Name) : Json(nullptr)},
          {"points", rules.Points},
          {"fastest_lap_points", rules.FastestLapPoints},
          {"best_rounds", rules.BestRounds ? Json(*rules.BestRounds) : Json(nullptr)},
          {"rounds", std::move(rounds)},
          {"drivers", std::move(drivers)},
          {"makes", std::move(makes)},
          {"deductions", std::move(deductions)}};
}

std::string seasonJsonText(const Standings& standings) {
  std::string text = seasonJson(standings).dump(-1, ' ', false, Json::error_handler_t::replace);
  text += '\n';
  return text;
}

std::string driversCsv(const Standings& standings) {
  std::string csv;
  appendLine(csv, header(standings, "name", {"deducted", "points"}));
  for (const DriverStanding& driver : standings.Drivers) {
    std::vector<std::string> fields = {std::to_string(driver.Position), driver.Name};
    for (const DriverRound& round : driver.Rounds) {
      fields.push_back(round.TookPart ? std::to_string(round.Points) : std::string());
    }
    fields.push_back(std::to_string(driver.Deducted));
    fields.push_back(std::to_string(driver.Points));
    appendLine(csv, fields);
  }
  return csv;
}

std::string makesCsv(const Standings& standings) {
  std::string csv;
  appendLine(csv, header(standings, "car_make", {"points"}));
  for (const MakeStanding& make : standings.Makes) {
    std::vector<std::string> fields = {std::to_string(make.Position), make.Make};
    for (const int64_t points : make.RoundPoints) fields.push_back(std::to_string(points));
    fields.push_back(std::to_string(make.Points));
    appendLine(csv, fields);
  }
  return csv;
}

}  // namespace vorlind
