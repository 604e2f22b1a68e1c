#include "event_plans.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "prng.h"
#include "replay_builder.h"

namespace vorlind::tools {

namespace {

constexpr const char* kFirstNames[] = {
    "Ada",    "Bruno", "Clara", "Dario", "Elin", "Fabian", "Greta", "Hugo", "Ines",  "Jonas",
    "Katrin", "Lars",  "Mira",  "Nils",  "Olga", "Pavel",  "Rosa",  "Sven", "Tilda", "Viktor"};
constexpr const char* kLastNames[] = {
    "Achterberg", "Brenner", "Castell", "Dunmore",   "Eckhart",   "Falkner",  "Gradwell",
    "Holmquist",  "Ivanek",  "Jessup",  "Kettering", "Lindqvist", "Morrow",   "Nordahl",
    "Osterwald",  "Pennock", "Quaile",  "Rasmund",   "Stalder",   "Thornbury"};
constexpr int kNamePool = 20;
constexpr int kMaxGrids = 5;

// A lap time around `pace` (ms), jittered by up to +-15 per mille.
int32_t jitteredLap(SplitMix64& rng, int64_t pace) {
  return static_cast<int32_t>(pace * (1000 + rng.between(-15, 15)) / 1000);
}

}  // namespace

std::string eventFirstName(int index) { return kFirstNames[index % kNamePool]; }

std::string eventLastName(int index) { return kLastNames[(index + index / kNamePool) % kNamePool]; }

std::vector<NamedGrid> planEvent(const EventPlan& plan) {
  std::vector<NamedGrid> grids;
  SplitMix64 rng(plan.Seed);
  int driverIndex = 0;
  const int gridCount = std::clamp(plan.Grids, 1, kMaxGrids);
  for (int g = 0; g < gridCount; ++g) {
    NamedGrid named;
    named.ReplayName = plan.ReplayPrefix + "_" + static_cast<char>('a' + g);
    GridSpec& spec = named.Spec;
    spec.Seed = SplitMix64::mix(plan.Seed + 0x1000 * static_cast<uint64_t>(g + 1));
    spec.TrackName = plan.TrackName;
    spec.ModName = plan.ModName;
    spec.TrackLengthMm = plan.TrackLengthMm;
    spec.FrameRate = static_cast<size_t>(g) < plan.FrameRateOfGrid.size()
                         ? plan.FrameRateOfGrid[static_cast<size_t>(g)]
                         : plan.FrameRate;
    spec.ServerMarker = plan.ServerMarker;
    spec.HasRace = !plan.PracticeOnly;
    spec.StandingMs = plan.StandingMs;
    spec.RaceDistanceLaps = plan.RaceLaps;
    spec.Leads = plan.Leads;
    const int cars = std::clamp(static_cast<size_t>(g) < plan.CarsOfGrid.size()
                                    ? plan.CarsOfGrid[static_cast<size_t>(g)]
                                    : plan.CarsPerGrid,
                                1, 20);
    for (int e = 0; e < cars; ++e, ++driverIndex) {
      DriverSpec driver;
      driver.FirstName = eventFirstName(driverIndex);
      driver.LastName = eventLastName(driverIndex);
      driver.Car = (driverIndex * 3) % 8;
      driver.EntryNumber = e;
      driver.SpeedVariation = static_cast<int>(rng.between(2, 5));
      int64_t pace = int64_t{plan.BaseLapMs} * (1000 + rng.between(0, 40)) / 1000;
      if (plan.SlowFirstSlot && g == 0 && e == 0) pace = pace * 112 / 100;

      driver.HasPractice = plan.PracticeOnly || e == 0 || !rng.chance(100);
      driver.PracticeFirstCrossingMs = static_cast<int32_t>(rng.between(20000, 240000));
      driver.PracticeFirstFlags = rng.chance(150) ? 64 : 0;
      const int64_t practiceLaps = rng.between(1, std::max(1, plan.PracticeLaps));
      for (int64_t k = 0; k < practiceLaps; ++k) {
        LapSpec lap{jitteredLap(rng, pace * 1025 / 1000), 0};
        if (rng.chance(150)) lap.Flags |= 64;
        if (rng.chance(100)) lap.Flags |= 16;
        driver.PracticeLaps.push_back(lap);
      }

      const bool lapped = e >= cars - plan.LappedCars && e > 0;
      const bool missing = e >= 1 && e <= plan.MissingCars;
      const bool retires =
          e >= 1 + plan.MissingCars && e < 1 + plan.MissingCars + plan.Retirements && !lapped;
      const int64_t racePace = lapped ? pace * 135 / 100 : pace;
      int laps = plan.RaceLaps;
      if (retires) laps = static_cast<int>(rng.between(0, std::max(0, plan.RaceLaps - 1)));
      for (int k = 1; k <= laps; ++k) {
        LapSpec lap{jitteredLap(rng, k == 1 ? racePace * 104 / 100 : racePace), 0};
        if (rng.chance(80)) lap.Flags |= 64;
        driver.RaceLaps.push_back(lap);
      }
      driver.Retires = retires;
      driver.MissingPermille = missing ? 80 : 0;
      spec.Drivers.push_back(driver);
    }
    grids.push_back(std::move(named));
  }
  return grids;
}

std::string scriptedAnswers(const std::vector<NamedGrid>& grids, const std::vector<int>& menu) {
  std::string answers;
  for (const NamedGrid& grid : grids) answers += grid.ReplayName + "\n";
  if (grids.size() < kMaxGrids) answers += "0\n";
  for (int choice : menu) answers += std::to_string(choice) + "\n";
  return answers;
}

EventDirectory demoEvent() {
  EventPlan plan;
  plan.Seed = 20240611;
  plan.ReplayPrefix = "demo";
  plan.Grids = 3;
  plan.CarsOfGrid = {8, 10, 6};
  plan.FrameRateOfGrid = {60, 60, 36};
  plan.RaceLaps = 5;
  plan.PracticeLaps = 4;
  plan.Retirements = 1;
  plan.LappedCars = 1;
  plan.SlowFirstSlot = true;
  EventDirectory event;
  event.Grids = planEvent(plan);
  event.MyName = eventFirstName(3) + " " + eventLastName(3);
  event.Answers = scriptedAnswers(event.Grids, {3, 0});
  return event;
}

EventDirectory longEvent(int grids, int cars, int laps) {
  EventPlan plan;
  plan.Seed = 77;
  plan.ReplayPrefix = "long";
  plan.Grids = std::clamp(grids, 1, kMaxGrids);
  plan.CarsPerGrid = std::clamp(cars, 1, 20);
  plan.RaceLaps = std::clamp(laps, 1, 150);
  plan.FrameRate = 60;
  plan.Retirements = 1;
  plan.LappedCars = 1;
  plan.MissingCars = 1;
  EventDirectory event;
  event.Grids = planEvent(plan);
  event.MyName = eventFirstName(1) + " " + eventLastName(1);
  event.Answers = scriptedAnswers(event.Grids, {0});
  return event;
}

std::vector<std::string> scenarioNames() {
  return {"36fps",  "type15",        "retirements", "missing",   "lapped",
          "player", "practice-only", "longtrack",   "full-grid", "small-grid"};
}

bool scenarioEvent(const std::string& name, EventDirectory* event) {
  EventPlan plan;
  plan.Seed = 1000;
  for (char c : name) plan.Seed = plan.Seed * 131 + static_cast<uint8_t>(c);
  plan.ReplayPrefix = "s";
  for (char c : name) plan.ReplayPrefix += c == '-' ? '_' : c;
  plan.CarsPerGrid = 5;
  plan.RaceLaps = 3;
  plan.PracticeLaps = 3;
  plan.TrackLengthMm = 2400000;
  plan.BaseLapMs = 60000;
  plan.StandingMs = 10000;
  std::vector<int> menu = {2, 0};
  if (name == "36fps") {
    plan.Grids = 2;
    plan.FrameRate = 36;
  } else if (name == "type15") {
    plan.Leads = LeadRecords::kAlwaysType15;
  } else if (name == "retirements") {
    plan.CarsPerGrid = 8;
    plan.Retirements = 3;
  } else if (name == "missing") {
    plan.CarsPerGrid = 6;
    plan.MissingCars = 3;
  } else if (name == "lapped") {
    plan.CarsPerGrid = 6;
    plan.RaceLaps = 5;
    plan.LappedCars = 2;
  } else if (name == "player") {
    plan.ServerMarker = 1;
  } else if (name == "practice-only") {
    plan.Grids = 2;
    plan.PracticeOnly = true;
    menu = {0};
  } else if (name == "longtrack") {
    plan.CarsPerGrid = 3;
    plan.RaceLaps = 2;
    plan.TrackLengthMm = 20800000;
    plan.BaseLapMs = 420000;
  } else if (name == "full-grid") {
    plan.CarsPerGrid = 20;
    plan.FrameRate = 36;
    menu = {-1};
  } else if (name == "small-grid") {
    plan.Grids = 2;
    plan.CarsOfGrid = {2, 5};
  } else {
    return false;
  }
  event->Grids = planEvent(plan);
  event->MyName = eventFirstName(1) + " " + eventLastName(1);
  event->Answers = scriptedAnswers(event->Grids, menu);
  return true;
}

std::vector<uint8_t> craftedHeavyReplay(int64_t size) {
  ReplayBuilder builder;
  const char* names[] = {"Ada", "Bo", "Cy"};
  for (int entry = 0; entry < 3; ++entry) builder.addEntry(names[entry], "Crafted", entry, entry);
  builder.beginRaceSection();
  // Laps of 100 s from 20 s on: the best lap's window lies deep in the stream.
  for (int entry = 0; entry < 3; ++entry) {
    const uint32_t start = 20000 + 500 * static_cast<uint32_t>(entry);
    builder.addRaceBlock(entry, {{start, 0}, {start + 100000, 0}, {start + 199000, 0}});
  }
  builder.endRaceSection();
  builder.addChunk({startMarkerRecord(1), positionRecord(1000, 0), carRecord({{0, 1000}})});
  const StreamRecord lead{15, 4, {}};
  const StreamRecord heavy{kCarRecordType, 0xFFF0, std::vector<uint8_t>(8, 0x5A)};
  while (static_cast<int64_t>(builder.size()) < size) builder.addChunk({lead, heavy});
  return builder.take();
}

EventDirectory craftedEvent(int64_t size) {
  EventDirectory event;
  event.CraftedReplay = craftedHeavyReplay(size);
  event.MyName = "Bo Crafted";
  event.Answers = "crafted\n0\n0\n";
  return event;
}

std::string writeSeasonDirectory(const std::string& dir, int rounds, int cars, int laps) {
  namespace fs = std::filesystem;
  const char* tracks[] = {"brannoch", "kelvaro", "ostmark", "saltere", "vindholm"};
  const int count = std::clamp(rounds, 1, 20);
  std::string list;
  for (int round = 1; round <= count; ++round) {
    EventPlan plan;
    plan.Seed = 4100 + static_cast<uint64_t>(round);
    plan.ReplayPrefix = "r" + std::to_string(round);
    plan.Grids = 2;
    plan.CarsOfGrid = {std::clamp(cars, 2, 20), std::clamp(cars, 2, 20) - round % 3};
    plan.RaceLaps = std::clamp(laps, 1, 150);
    plan.Retirements = round % 2;
    plan.TrackName = tracks[(round - 1) % std::size(tracks)];
    const fs::path folder = fs::path(dir) / ("round" + std::to_string(round));
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return "cannot create " + folder.string() + ": " + error.message();
    for (const NamedGrid& grid : planEvent(plan)) {
      const WriteOutcome outcome = writeReplay(grid.Spec);
      if (!outcome.ok()) return grid.ReplayName + ": " + outcome.Error;
      std::ofstream out(folder / (grid.ReplayName + ".rpy"), std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(outcome.Replay.Bytes.data()),
                static_cast<std::streamsize>(outcome.Replay.Bytes.size()));
      if (!out) return "cannot write the replays in " + folder.string();
    }
    list += round == 1 ? std::string("{\"path\": \"round1\", \"name\": \"Opening race\"}")
                       : ",\n    \"round" + std::to_string(round) + "\"";
  }
  const std::string season =
      "{\n  \"name\": \"Synthetic Cup\",\n  \"fastest_lap_points\": 1,\n  \"best_rounds\": " +
      std::to_string(std::max(1, count - 1)) + ",\n  \"rounds\": [\n    " + list +
      "\n  ],\n  \"deductions\": [{\"round\": " + std::to_string(std::min(2, count)) +
      ", \"driver\": \"" + eventFirstName(2) + " " + eventLastName(2) +
      "\", \"points\": 5, \"reason\": \"causing a collision\"}]\n}\n";
  std::ofstream out(fs::path(dir) / "season.json", std::ios::binary | std::ios::trunc);
  out << season;
  return out ? std::string() : "cannot write " + dir + "/season.json";
}

std::string writeEventDirectory(const std::string& dir, const EventDirectory& event) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(fs::path(dir) / "replays", error);
  if (error) return "cannot create " + dir + "/replays: " + error.message();
  auto writeFile = [](const fs::path& path, const char* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
  };
  const fs::path root(dir);
  const std::string skarrow = "replays\\\r\n";
  if (!writeFile(root / "myname.ini", event.MyName.data(), event.MyName.size()) ||
      !writeFile(root / "Skarrow.ini", skarrow.data(), skarrow.size()) ||
      !writeFile(root / "answers.txt", event.Answers.data(), event.Answers.size())) {
    return "cannot write the text files in " + dir;
  }
  const std::vector<uint8_t>& crafted = event.CraftedReplay;
  if (!crafted.empty() &&
      !writeFile(root / "replays" / "crafted.rpy", reinterpret_cast<const char*>(crafted.data()),
                 crafted.size())) {
    return "cannot write the crafted replay in " + dir;
  }
  for (const NamedGrid& grid : event.Grids) {
    const WriteOutcome outcome = writeReplay(grid.Spec);
    if (!outcome.ok()) return grid.ReplayName + ": " + outcome.Error;
    const std::vector<uint8_t>& bytes = outcome.Replay.Bytes;
    const fs::path path = root / "replays" / (grid.ReplayName + ".rpy");
    if (!writeFile(path, reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
      return "cannot write " + path.string();
    }
  }
  return {};
}

}  // namespace vorlind::tools
