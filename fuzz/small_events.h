// Small synthetic events for fuzzing and sweeping: the event writer's named scenarios, scaled
// down in track length and lap time so that every replay stays a few tens of kilobytes while
// keeping what makes the scenario (frame rate, lead records, retirements, missing cars, ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "event_plans.h"

namespace vorlind::harness {

// One replay of a small event, with where the reader's frame stream begins in it.
struct SmallReplay {
  std::vector<uint8_t> Bytes;
  int64_t StreamStart = 0;
  bool HasRace = true;
  int Drivers = 0;
};

struct SmallEvent {
  std::string Name;
  std::string MyName;
  std::vector<SmallReplay> Replays;
};

// The scaled-down grid of a scenario grid.
tools::GridSpec shrinkGrid(const tools::GridSpec& grid);

// The scaled-down form of the writer's scenario `name`; false when the writer refuses it.
bool smallScenario(const std::string& name, SmallEvent* event);

// The content of myname.ini that names a driver of every scenario.
std::string scenarioMyName();

// Every scenario of the writer in its scaled-down form.
std::vector<SmallEvent> allSmallScenarios();

}  // namespace vorlind::harness
