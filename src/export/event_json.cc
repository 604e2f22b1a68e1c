#include "export/event_json.h"

#include <algorithm>
#include <optional>

#include "report/consistency_table.h"
#include "report/development_table.h"
#include "report/fast_lap_count_table.h"
#include "report/fast_lap_tables.h"
#include "report/lap_pass.h"
#include "report/leader_table.h"
#include "report/on_track_speed_tables.h"
#include "report/practice_lap_list.h"
#include "report/report_writer.h"
#include "report/result_table.h"
#include "report/sector_tables.h"

namespace vorlind {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kFormatVersion = 2;

template <typename T>
Json orNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

// A positive time in ms, or null.
Json timeOrNull(int32_t ms) { return ms > 0 ? Json(ms) : Json(nullptr); }

std::string gridLetter(int grid) { return std::string(1, static_cast<char>('A' + grid)); }

Json carMake(int32_t car) {
  const char* make = carMakeName(car);
  return make != nullptr ? Json(make) : Json(nullptr);
}

Json practiceOf(const EventStore& store, int slot) {
  Json laps = Json::array();
  const int count = std::clamp(store.PracticeLapCount[slot], 0, kCrossingCount - 1);
  for (int lap = 1; lap <= count; ++lap) {
    laps.push_back({{"lap", lap},
                    {"time_ms", timeOrNull(store.PracticeLapTime[slot][lap])},
                    {"off_track", store.PracticeOffTrack[slot][lap] != 0}});
  }
  const bool hasBest = store.PracticeBestLap[slot] > 0 && store.PracticeBestLap[slot] < kNoTime;
  return {{"laps", std::move(laps)},
          {"best_lap_ms", hasBest ? Json(store.PracticeBestLap[slot]) : Json(nullptr)},
          {"best_lap", hasBest ? Json(store.PracticeBestLapNo[slot]) : Json(nullptr)}};
}

Json raceOf(const EventStore& store, int slot) {
  Json laps = Json::array();
  const LapPlaces places = lapPlaces(store, slot);
  const int count = std::clamp(store.RaceLapCount[slot], 0, kCrossingCount - 1);
  for (int lap = 1; lap <= count; ++lap) {
    laps.push_back({{"lap", lap},
                    {"time_ms", timeOrNull(store.RaceLapTime[slot][lap])},
                    {"off_track", store.RaceOffTrack[slot][lap] != 0},
                    {"place", places[lap] > 0 ? Json(places[lap]) : Json(nullptr)}});
  }
  const bool hasBest = store.RaceBestLap[slot] > 0 && store.RaceBestLap[slot] < kNoTime;
  return {{"laps", std::move(laps)},
          {"best_lap_ms", hasBest ? Json(store.RaceBestLap[slot]) : Json(nullptr)},
          {"best_lap", hasBest ? Json(store.RaceBestLapNo[slot]) : Json(nullptr)},
          {"on_track_laps", store.RaceOnTrackLapCount[slot]},
          {"fastest_laps", store.FastestLapCount[slot]}};
}

// A highest speed of 0 is one that was never measured.
Json highestSpeedKmh(int32_t hundredths) { return hundredths > 0 ? speedKmh(hundredths) : nullptr; }

Json bestLapSpeedOf(const EventStore& store, int slot) {
  if (store.BestLapMaxSpeed[slot][0] <= 0) return nullptr;
  return {{"min_kmh", speedKmh(store.BestLapMinSpeed[slot][0])},
          {"max_kmh", speedKmh(store.BestLapMaxSpeed[slot][0])}};
}

Json bestLapSectorsOf(const EventStore& store, int slot) {
  if (store.BestLapSplitTime[slot][1] <= 0) return nullptr;
  Json sectors = Json::array();
  for (int sector = 1; sector <= kSectorCount; ++sector) {
    sectors.push_back({{"sector", sector},
                       {"time_ms", timeOrNull(sectorTime(store, slot, sector))},
                       {"split_ms", timeOrNull(sectorSplit(store, slot, sector))},
                       {"min_speed_kmh", speedKmh(store.BestLapMinSpeed[slot][sector])},
                       {"max_speed_kmh", highestSpeedKmh(store.BestLapMaxSpeed[slot][sector])}});
  }
  return sectors;
}

Json driversOf(const EventStore& store) {
  Json drivers = Json::array();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (!slotHoldsEntry(store, slot)) continue;
    drivers.push_back({{"slot", slot},
                       {"grid", gridLetter(gridOfSlot(slot))},
                       {"first_name", latin1ToUtf8(store.SlotFirstName[slot].view())},
                       {"last_name", latin1ToUtf8(store.SlotLastName[slot].view())},
                       {"car", store.SlotCar[slot]},
                       {"car_make", carMake(store.SlotCar[slot])},
                       {"practice", practiceOf(store, slot)},
                       {"race", raceOf(store, slot)},
                       {"best_lap_speed", bestLapSpeedOf(store, slot)},
                       {"best_lap_sectors", bestLapSectorsOf(store, slot)}});
  }
  return drivers;
}

// The RESULT table's rows, or the classification's with their penalties.
Json resultRows(const std::vector<ResultRow>& result, bool withPenalties) {
  Json rows = Json::array();
  for (const ResultRow& row : result) {
    Json places = Json::array();
    for (const std::optional<int32_t>& place : row.PlaceAtTenth) places.push_back(orNull(place));
    Json json = {{"pos", row.Position},
                 {"slot", row.Slot},
                 {"laps", row.Laps},
                 {"race_time_ms", row.RaceTime}};
    if (withPenalties) json["penalty_ms"] = row.Penalty;
    json["status"] = statusWord(row.Status);
    json["gap_to_winner_ms"] = orNull(row.GapToWinner);
    json["place_at_tenths"] = std::move(places);
    rows.push_back(std::move(json));
  }
  return rows;
}

Json penaltiesOf(const EventStore& store, std::span<const Penalty> penalties) {
  Json list = Json::array();
  for (const Penalty& penalty : penalties) {
    list.push_back({{"slot", penalty.Slot},
                    {"name", driverNameUtf8(store, penalty.Slot)},
                    {"time_ms", penalty.TimeMs},
                    {"disqualified", penalty.Disqualified},
                    {"reason", penalty.Reason.empty() ? Json(nullptr) : Json(penalty.Reason)}});
  }
  return list;
}

Json consistencyRows(const EventStore& store) {
  Json rows = Json::array();
  for (const ConsistencyRow& row : rankConsistency(store)) {
    rows.push_back({{"pos", row.Position},
                    {"slot", row.Slot},
                    {"average_lap_ms", row.AverageLap},
                    {"above_best_ms", row.AboveBest},
                    {"above_best_percent", row.ExcessShare / 100.0}});
  }
  return rows;
}

Json leaderRows(const EventStore& store) {
  Json rows = Json::array();
  for (const LeaderStint& stint : findLeaderStints(store)) {
    rows.push_back(
        {{"slot", stint.Slot}, {"first_lap", stint.FirstLap}, {"last_lap", stint.LastLap}});
  }
  return rows;
}

Json fastestLapRows(const EventStore& store, FastestLapMember member) {
  Json rows = Json::array();
  for (const FastestLapRow& row : rankFastestLaps(store, member)) {
    rows.push_back({{"pos", row.Position},
                    {"slot", row.Slot},
                    {"lap_time_ms", row.LapTime},
                    {"gap_to_first_ms", orNull(row.GapToFirst)},
                    {"gap_to_previous_ms", orNull(row.GapToPrevious)},
                    {"lap", row.LapNumber},
                    {"laps", row.LapCount},
                    {"off_track", orNull(row.OffTrack)}});
  }
  return rows;
}

Json developmentRows(const EventStore& store) {
  Json rows = Json::array();
  for (const DevelopmentRow& row : listDevelopment(store)) {
    rows.push_back(
        {{"lap", row.Lap}, {"slot", row.Slot}, {"lap_time_ms", timeOrNull(row.LapTime)}});
  }
  return rows;
}

Json onTrackRows(const EventStore& store) {
  Json rows = Json::array();
  for (const OnTrackRow& row : rankOnTrackLaps(store)) {
    rows.push_back({{"pos", row.Position},
                    {"slot", row.Slot},
                    {"on_track_laps", row.OnTrackLaps},
                    {"laps", row.Laps},
                    {"share_percent", row.SharePerMille / 10.0}});
  }
  return rows;
}

Json speedRows(const EventStore& store) {
  Json rows = Json::array();
  for (const SpeedRow& row : rankSpeeds(store)) {
    rows.push_back({{"pos", row.Position},
                    {"slot", row.Slot},
                    {"min_kmh", speedKmh(row.MinSpeed)},
                    {"max_kmh", speedKmh(row.MaxSpeed)}});
  }
  return rows;
}

Json fastestLapCountRows(const EventStore& store) {
  Json rows = Json::array();
  for (const FastestLapCountRow& row : rankFastestLapCounts(store)) {
    rows.push_back({{"slot", row.Slot}, {"fastest_laps", row.FastestLaps}});
  }
  return rows;
}

Json sectorRows(const EventStore& store, int sector) {
  Json rows = Json::array();
  for (const SectorRow& row : rankSector(store, sector)) {
    rows.push_back({{"pos", row.Position},
                    {"slot", row.Slot},
                    {"time_ms", row.SectorTime},
                    {"gap_to_first_ms", orNull(row.GapToFirst)},
                    {"min_speed_kmh", speedKmh(row.MinSpeed)},
                    {"max_speed_kmh", highestSpeedKmh(row.MaxSpeed)}});
  }
  return rows;
}

// The report's tables in its order: the race tables, or the practice lap list without a race.
Json tablesOf(const EventStore& store) {
  Json tables = Json::object();
  if (store.RaceFound == 0) {
    Json rows = Json::array();
    for (const PracticeLapRow& row : listPracticeLaps(store)) rows.push_back({{"lap", row.Lap}});
    tables["practice_laps"] = std::move(rows);
    return tables;
  }
  tables["result"] = resultRows(rankResult(store), false);
  tables["consistency"] = consistencyRows(store);
  tables["leader"] = leaderRows(store);
  tables["fastest_race_laps"] = fastestLapRows(store, FastestLapMember::kRace);
  tables["fastest_practice_laps"] = fastestLapRows(store, FastestLapMember::kPractice);
  tables["development_fastest_lap"] = developmentRows(store);
  tables["fastest_race_laps_on_track"] = fastestLapRows(store, FastestLapMember::kRaceOnTrack);
  tables["fastest_practice_laps_on_track"] =
      fastestLapRows(store, FastestLapMember::kPracticeOnTrack);
  tables["on_track_laps"] = onTrackRows(store);
  tables["speed"] = speedRows(store);
  tables["number_of_fastest_laps"] = fastestLapCountRows(store);
  for (int sector = 1; sector <= kSectorCount; ++sector) {
    tables["sector_" + std::to_string(sector)] = sectorRows(store, sector);
  }
  return tables;
}

}  // namespace

std::string latin1ToUtf8(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | byte >> 6);
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

const char* carMakeName(int32_t car) {
  return car >= 0 && car < static_cast<int32_t>(std::size(kCarMakes)) ? kCarMakes[car] : nullptr;
}

bool slotHoldsEntry(const EventStore& store, int slot) {
  return !store.SlotFirstName[slot].view().empty() || !store.SlotLastName[slot].view().empty();
}

Json speedKmh(int32_t hundredths) {
  if (hundredths == kNoTime) return nullptr;
  return hundredths / 100.0;
}

std::string driverNameUtf8(const EventStore& store, int slot) {
  return latin1ToUtf8(store.SlotFirstName[slot].view()) + " " +
         latin1ToUtf8(store.SlotLastName[slot].view());
}

const char* statusWord(ResultStatus status) {
  switch (status) {
    case ResultStatus::kFinished:
      return "finished";
    case ResultStatus::kDnf:
      return "DNF";
    case ResultStatus::kDsq:
      return "DSQ";
  }
  return "DNF";
}

Json eventJson(const EventStore& store, const std::vector<GridSource>& grids,
               std::span<const Penalty> penalties) {
  Json gridList = Json::array();
  for (size_t index = 0; index < grids.size(); ++index) {
    const int32_t start = store.GridStartTime[index];
    gridList.push_back({{"grid", gridLetter(static_cast<int>(index))},
                        {"replay", grids[index].Replay},
                        {"start_time_ms", start == kNoTime ? Json(nullptr) : Json(start)},
                        {"counted", grids[index].Counted}});
  }
  const std::optional<int> highlighted = highlightedDriver(store);
  return {
      {"format", "vorlind-event"},
      {"version", kFormatVersion},
      {"track",
       {{"name", latin1ToUtf8(store.TrackName.view())},
        {"length_mm", store.TrackLengthRaw > 0 ? Json(store.TrackLengthRaw / 2) : Json(nullptr)}}},
      {"mod", latin1ToUtf8(store.ModName.view())},
      {"highlighted_slot", orNull(highlighted)},
      {"race", store.RaceFound != 0},
      {"race_laps", store.MaxRaceLaps},
      {"grids", std::move(gridList)},
      {"drivers", driversOf(store)},
      {"classification", resultRows(rankClassification(store, penalties), true)},
      {"penalties", penaltiesOf(store, penalties)},
      {"tables", tablesOf(store)}};
}

std::string eventJsonText(const EventStore& store, const std::vector<GridSource>& grids,
                          std::span<const Penalty> penalties) {
  std::string text =
      eventJson(store, grids, penalties).dump(-1, ' ', false, Json::error_handler_t::replace);
  text += '\n';
  return text;
}

}  // namespace vorlind
