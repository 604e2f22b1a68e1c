// Scales the event writer's scenarios down: tracks and laps sixty times shorter, a second on
// the starting grid and just enough stream behind the last crossing for the track length scan,
// which never reads the last 10000 bytes of a file.
#include "small_events.h"

#include <algorithm>

#include "event_writer.h"

namespace vorlind::harness {

namespace {

constexpr int32_t kScale = 60;
constexpr int32_t kStandingMs = 1000;
constexpr int32_t kTailMs = 300;
constexpr int32_t kTailBytes = 10400;

int32_t scaled(int32_t ms) { return std::max<int32_t>(200, ms / kScale); }

}  // namespace

tools::GridSpec shrinkGrid(const tools::GridSpec& grid) {
  tools::GridSpec small = grid;
  small.TrackLengthMm = std::max<int32_t>(10000, grid.TrackLengthMm / kScale);
  small.StandingMs = std::min(grid.StandingMs, kStandingMs);
  small.LightsOutMs = grid.LightsOutMs / kScale;
  small.TailMs = std::min(grid.TailMs, kTailMs);
  small.TailBytes = std::min(grid.TailBytes, kTailBytes);
  for (tools::DriverSpec& driver : small.Drivers) {
    driver.PracticeFirstCrossingMs /= kScale;
    for (tools::LapSpec& lap : driver.PracticeLaps) lap.TimeMs = scaled(lap.TimeMs);
    for (tools::LapSpec& lap : driver.RaceLaps) lap.TimeMs = scaled(lap.TimeMs);
    if (driver.ReactionMs > 0) driver.ReactionMs /= kScale;
  }
  return small;
}

bool smallScenario(const std::string& name, SmallEvent* event) {
  tools::EventDirectory directory;
  if (!tools::scenarioEvent(name, &directory)) return false;
  event->Name = name;
  event->MyName = directory.MyName;
  event->Replays.clear();
  for (const tools::NamedGrid& grid : directory.Grids) {
    const tools::GridSpec spec = shrinkGrid(grid.Spec);
    tools::WriteOutcome outcome = tools::writeReplay(spec);
    if (!outcome.ok()) return false;
    SmallReplay replay;
    replay.Bytes = std::move(outcome.Replay.Bytes);
    replay.StreamStart = outcome.Replay.StreamStart;
    replay.HasRace = spec.HasRace;
    replay.Drivers = static_cast<int>(spec.Drivers.size());
    event->Replays.push_back(std::move(replay));
  }
  return true;
}

std::string scenarioMyName() { return tools::eventFirstName(1) + " " + tools::eventLastName(1); }

std::vector<SmallEvent> allSmallScenarios() {
  std::vector<SmallEvent> events;
  for (const std::string& name : tools::scenarioNames()) {
    SmallEvent event;
    if (smallScenario(name, &event)) events.push_back(std::move(event));
  }
  return events;
}

}  // namespace vorlind::harness
