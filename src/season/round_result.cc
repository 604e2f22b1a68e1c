#include "season/round_result.h"

#include <map>

#include "export/event_json.h"
#include "season/season_file.h"

namespace vorlind {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kNoRace = "has no race";

struct ExportedDriver {
  std::string Name;
  std::optional<std::string> Make;
  std::optional<int32_t> BestLapMs;
  bool RaceLaps = false;
};

RoundRead failure(std::string error) { return {std::nullopt, std::move(error), {}}; }

const Json* member(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<int64_t> integer(const Json* value) {
  if (value == nullptr || !value->is_number_integer()) return std::nullopt;
  if (value->is_number_unsigned() && value->get<uint64_t>() > INT32_MAX) return std::nullopt;
  return value->get<int64_t>();
}

// The exported drivers by slot; an error text when the list is not as export writes it.
std::string readDrivers(const Json& document, std::map<int64_t, ExportedDriver>& drivers) {
  const Json* list = member(document, "drivers");
  if (list == nullptr || !list->is_array()) return "\"drivers\" is not a list";
  for (size_t index = 0; index < list->size(); ++index) {
    const Json& driver = (*list)[index];
    const std::string label = "driver " + std::to_string(index + 1);
    if (!driver.is_object()) return label + " is not an object";
    const std::optional<int64_t> slot = integer(member(driver, "slot"));
    const Json* first = member(driver, "first_name");
    const Json* last = member(driver, "last_name");
    const Json* make = member(driver, "car_make");
    const Json* race = member(driver, "race");
    if (!slot || *slot < 0 || *slot >= kSlotCount) return label + " has no slot from 0 to 99";
    if (first == nullptr || !first->is_string() || last == nullptr || !last->is_string()) {
      return label + " has no first and last name";
    }
    if (make != nullptr && !make->is_string() && !make->is_null()) {
      return label + ": \"car_make\" is neither a text nor null";
    }
    const Json* best =
        race != nullptr && race->is_object() ? member(*race, "best_lap_ms") : nullptr;
    const Json* laps = race != nullptr && race->is_object() ? member(*race, "laps") : nullptr;
    const std::optional<int64_t> bestLap = integer(best);
    if (best == nullptr || (!best->is_null() && (!bestLap || *bestLap <= 0)) || laps == nullptr ||
        !laps->is_array()) {
      return label + " has no race laps and best race lap";
    }
    ExportedDriver& entry = drivers[*slot];
    entry.Name = first->get<std::string>() + " " + last->get<std::string>();
    if (make != nullptr && make->is_string()) entry.Make = make->get<std::string>();
    if (bestLap) entry.BestLapMs = static_cast<int32_t>(*bestLap);
    entry.RaceLaps = !laps->empty();
  }
  return {};
}

std::optional<ResultStatus> statusOf(const Json* word) {
  if (word == nullptr || !word->is_string()) return std::nullopt;
  for (const ResultStatus status :
       {ResultStatus::kFinished, ResultStatus::kDnf, ResultStatus::kDsq}) {
    if (*word == statusWord(status)) return status;
  }
  return std::nullopt;
}

// The drivers with race laps that the rows leave out, as "First Last, First Last".
std::string leftOut(const std::map<int64_t, ExportedDriver>& drivers,
                    const std::vector<RoundEntry>& entries, int& count) {
  std::string names;
  count = 0;
  for (const auto& [slot, driver] : drivers) {
    if (!driver.RaceLaps) continue;
    bool ranked = false;
    for (const RoundEntry& entry : entries) ranked = ranked || entry.Slot == slot;
    if (ranked) continue;
    names += (count++ > 0 ? ", " : "") + driver.Name;
  }
  return names;
}

}  // namespace

RoundRead roundFromEvent(const EventStore& store) {
  RoundResult round;
  round.Track = latin1ToUtf8(store.TrackName.view());
  if (store.RaceFound != 0) {
    for (const ResultRow& row : rankClassification(store)) {
      const char* make = carMakeName(store.SlotCar[row.Slot]);
      const int32_t best = store.RaceBestLap[row.Slot];
      round.Entries.push_back({driverNameUtf8(store, row.Slot), row.Slot, row.Position, row.Status,
                               make != nullptr ? std::optional<std::string>(make) : std::nullopt,
                               best > 0 && best < kNoTime ? std::optional(best) : std::nullopt});
    }
  }
  if (round.Entries.empty()) return failure(kNoRace);
  return {std::move(round), {}, {}};
}

RoundRead roundFromEventJson(std::string_view text) {
  std::string error;
  const std::optional<Json> document = parseJsonText(text, error);
  if (!document) return failure("is not a vorlind-event export: not JSON: " + error);
  const Json* format = document->is_object() ? member(*document, "format") : nullptr;
  if (format == nullptr || *format != "vorlind-event") {
    return failure("is not a vorlind-event export (vorlind export --json)");
  }
  const std::optional<int64_t> version = integer(member(*document, "version"));
  if (!version || *version < 1 || *version > 2) {
    return failure("is a vorlind-event export of a version this program does not read (1 or 2)");
  }
  const std::string damaged = "is a damaged vorlind-event export: ";
  std::map<int64_t, ExportedDriver> drivers;
  error = readDrivers(*document, drivers);
  if (!error.empty()) return failure(damaged + error);

  RoundResult round;
  if (const Json* track = member(*document, "track"); track != nullptr && track->is_object()) {
    const Json* name = member(*track, "name");
    if (name != nullptr && name->is_string()) round.Track = name->get<std::string>();
  }
  const Json* tables = member(*document, "tables");
  const Json* rows =
      *version == 1
          ? (tables != nullptr && tables->is_object() ? member(*tables, "result") : nullptr)
          : member(*document, "classification");
  const Json* race = member(*document, "race");
  if (race != nullptr && *race == false) return failure(kNoRace);
  if (rows == nullptr || !rows->is_array()) {
    return failure(damaged + (*version == 1 ? "no RESULT table" : "no classification"));
  }
  for (size_t index = 0; index < rows->size(); ++index) {
    const Json& row = (*rows)[index];
    const std::string label = "row " + std::to_string(index + 1) + " of the classification";
    const bool object = row.is_object();
    const int64_t place = object ? integer(member(row, "pos")).value_or(0) : 0;
    const int64_t slot = object ? integer(member(row, "slot")).value_or(-1) : -1;
    const std::optional<ResultStatus> status =
        object ? statusOf(member(row, "status")) : std::nullopt;
    if (place < 1 || slot < 0 || !status) {
      return failure(damaged + label + " has no place, slot or status");
    }
    const auto driver = drivers.find(slot);
    if (driver == drivers.end()) {
      return failure(damaged + label + " names slot " + std::to_string(slot) +
                     ", which holds no driver");
    }
    round.Entries.push_back({driver->second.Name, static_cast<int>(slot), static_cast<int>(place),
                             *status, driver->second.Make, driver->second.BestLapMs});
  }
  if (round.Entries.empty()) return failure(kNoRace);
  RoundRead read{std::move(round), {}, {}};
  int missing = 0;
  const std::string names = leftOut(drivers, read.Round->Entries, missing);
  if (*version == 1 && missing > 0) {
    read.Warnings.push_back("a version 1 export, whose RESULT table leaves out " +
                            std::to_string(missing) + (missing == 1 ? " driver" : " drivers") +
                            " with race laps (" + names +
                            "): they take no part in the round; a new export ranks them");
  }
  return read;
}

}  // namespace vorlind
