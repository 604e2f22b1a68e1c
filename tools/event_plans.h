// Whole synthetic events: plans that expand into the grid descriptions of the event simulator,
// and the writing of an event directory (myname.ini, Skarrow.ini, the replays and the scripted
// console answers) as the command-line tool and the tests use it. The bundled demo event, the
// long benchmark race and the small named scenarios are defined here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "event_writer.h"

namespace vorlind::tools {

struct EventPlan {
  uint64_t Seed = 1;
  std::string ReplayPrefix = "event";  // replays are <prefix>_a, <prefix>_b, ...
  int Grids = 1;                       // 1 to 5
  int CarsPerGrid = 8;                 // 1 to 20
  std::vector<int> CarsOfGrid;         // per grid; overrides CarsPerGrid where given
  std::vector<int> FrameRateOfGrid;    // per grid; overrides FrameRate where given
  int RaceLaps = 5;
  int PracticeLaps = 4;  // most practice laps of a driver
  int FrameRate = 60;
  int32_t TrackLengthMm = 4200000;
  int32_t BaseLapMs = 95000;
  int32_t StandingMs = 15000;
  int Retirements = 0;  // per grid
  int LappedCars = 0;   // per grid: cars slow enough to be lapped
  int MissingCars = 0;  // per grid: cars missing from about 8 % of the chunks
  bool PracticeOnly = false;
  // The first entry of the first grid (driver slot 0, which no ranking ever lists) drives 12 %
  // slower than the field, so that it does not cut the report's rankings short.
  bool SlowFirstSlot = false;
  int32_t ServerMarker = 0;
  LeadRecords Leads = LeadRecords::kMixed;
  std::string TrackName = "brannoch";
  std::string ModName = "vrl67";
};

struct NamedGrid {
  std::string ReplayName;
  GridSpec Spec;
};

// The grids of a plan. Driver i of the event (counted over all grids) is named
// eventDriverName(i); entry numbers run 0, 1, ... within each grid.
std::vector<NamedGrid> planEvent(const EventPlan& plan);

// First and last name of driver `index` of a planned event; unique for the first 400.
std::string eventFirstName(int index);
std::string eventLastName(int index);

// Everything an event directory holds besides the replays' bytes, which are written from the
// grids' descriptions.
struct EventDirectory {
  std::vector<NamedGrid> Grids;
  std::vector<uint8_t> CraftedReplay;  // written as replays/crafted.rpy when not empty
  std::string MyName;                  // content of myname.ini
  std::string Answers;                 // content of answers.txt
};

// The console answers for an event: the replay names, "0" when fewer than five grids, then the
// menu choices.
std::string scriptedAnswers(const std::vector<NamedGrid>& grids, const std::vector<int>& menu);

EventDirectory demoEvent();
EventDirectory longEvent(int grids, int cars, int laps);
// A small named scenario; false when the name is unknown.
bool scenarioEvent(const std::string& name, EventDirectory* event);
std::vector<std::string> scenarioNames();

// A replay of about `size` bytes that costs a reader most per byte: three drivers with race
// laps, then a frame stream of 24-byte chunks whose car records each claim 4095 items, so that
// every chunk's items run 65 KB on over the chunks behind it. Written by writeEventDirectory
// as the replay "crafted" when `event.Crafted` is set.
std::vector<uint8_t> craftedHeavyReplay(int64_t size);
EventDirectory craftedEvent(int64_t size);

// A season of `rounds` events (1 to 20) of two grids with the same drivers: `cars` cars (2 to 20)
// in grid A, and in grid B from none to two fewer as the round goes, so that some drivers miss
// rounds, races of `laps` laps (1 to 150) with a retirement in every other round. Writes round k's
// replays into <dir>/round<k>/ and <dir>/season.json, which names those folders with the rules of
// a league: a point for the fastest lap, all rounds but one counting and a deduction in round 2.
// Returns an empty text on success, else what went wrong.
std::string writeSeasonDirectory(const std::string& dir, int rounds, int cars, int laps);

// Writes <dir>/myname.ini, <dir>/Skarrow.ini, <dir>/replays/<name>.rpy and <dir>/answers.txt.
// Returns an empty text on success, else what went wrong.
std::string writeEventDirectory(const std::string& dir, const EventDirectory& event);

}  // namespace vorlind::tools
