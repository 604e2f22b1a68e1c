#include "export/event_csv.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <system_error>

#include "export/event_json.h"
#include "report/lap_pass.h"
#include "report/result_table.h"

namespace vorlind {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void appendLine(std::string& csv, std::initializer_list<std::string> fields) {
  bool first = true;
  for (const std::string& field : fields) {
    if (!first) csv += ',';
    csv += csvField(field);
    first = false;
  }
  csv += kLineEnd;
}

std::string number(int64_t value) { return std::to_string(value); }

template <typename T>
std::string numberOrEmpty(const std::optional<T>& value) {
  return value ? number(*value) : std::string();
}

std::string timeOrEmpty(int32_t ms) { return ms > 0 ? number(ms) : std::string(); }

std::string gridOf(int slot) { return std::string(1, static_cast<char>('A' + gridOfSlot(slot))); }

std::string firstName(const EventStore& store, int slot) {
  return latin1ToUtf8(store.SlotFirstName[slot].view());
}
std::string lastName(const EventStore& store, int slot) {
  return latin1ToUtf8(store.SlotLastName[slot].view());
}

std::string writeFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  return out ? std::string() : file.string() + ": cannot be written";
}

}  // namespace

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string lapsCsv(const EventStore& store) {
  std::string csv;
  appendLine(csv, {"slot", "grid", "first_name", "last_name", "session", "lap", "time_ms",
                   "off_track", "place"});
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (!slotHoldsEntry(store, slot)) continue;
    const std::string first = firstName(store, slot);
    const std::string last = lastName(store, slot);
    const int practiceLaps = std::clamp(store.PracticeLapCount[slot], 0, kCrossingCount - 1);
    for (int lap = 1; lap <= practiceLaps; ++lap) {
      appendLine(csv, {number(slot), gridOf(slot), first, last, "practice", number(lap),
                       timeOrEmpty(store.PracticeLapTime[slot][lap]),
                       store.PracticeOffTrack[slot][lap] != 0 ? "1" : "0", ""});
    }
    const LapPlaces places = lapPlaces(store, slot);
    const int raceLaps = std::clamp(store.RaceLapCount[slot], 0, kCrossingCount - 1);
    for (int lap = 1; lap <= raceLaps; ++lap) {
      appendLine(csv, {number(slot), gridOf(slot), first, last, "race", number(lap),
                       timeOrEmpty(store.RaceLapTime[slot][lap]),
                       store.RaceOffTrack[slot][lap] != 0 ? "1" : "0",
                       places[lap] > 0 ? number(places[lap]) : ""});
    }
  }
  return csv;
}

std::string resultCsv(const EventStore& store, std::span<const Penalty> penalties) {
  std::string csv;
  appendLine(csv, {"pos", "slot", "grid", "first_name", "last_name", "car", "laps", "race_time_ms",
                   "penalty_ms", "gap_to_winner_ms", "status"});
  for (const ResultRow& row : rankClassification(store, penalties)) {
    appendLine(csv, {number(row.Position), number(row.Slot), gridOf(row.Slot),
                     firstName(store, row.Slot), lastName(store, row.Slot),
                     number(store.SlotCar[row.Slot]), number(row.Laps), number(row.RaceTime),
                     number(row.Penalty), numberOrEmpty(row.GapToWinner), statusWord(row.Status)});
  }
  return csv;
}

std::string writeEventCsv(const EventStore& store, const std::filesystem::path& folder,
                          std::span<const Penalty> penalties) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return folder.string() + ": cannot be created: " + error.message();
  std::string failure = writeFile(folder / "laps.csv", lapsCsv(store));
  if (failure.empty()) failure = writeFile(folder / "result.csv", resultCsv(store, penalties));
  return failure;
}

}  // namespace vorlind
