// The event simulator: turns the description of one starting grid (entries, practice laps,
// race laps, track and options) into a complete server replay in which every car drives its
// laps through the frame stream, with lap records that agree with the stream. Everything that
// is not given is drawn from the grid's seed with a fixed generator, so one description always
// gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlind::tools {

// One lap: its duration in ms and the flag byte of the record that ends it (16: invalid,
// 64: off track).
struct LapSpec {
  int32_t TimeMs = 0;
  uint8_t Flags = 0;
};

struct DriverSpec {
  std::string FirstName;  // at most 16 bytes
  std::string LastName;   // at most 16 bytes
  int32_t Car = 0;
  int32_t EntryNumber = 0;  // 0 to 19, unique in the grid

  // Practice: a block is written when HasPractice is set; its first record is the first
  // crossing at PracticeFirstCrossingMs with PracticeFirstFlags, then one record per lap.
  bool HasPractice = true;
  int32_t PracticeFirstCrossingMs = 60000;
  uint8_t PracticeFirstFlags = 0;
  std::vector<LapSpec> PracticeLaps;

  // Race: a block is written when InRace is set. The first crossing follows from the start
  // (reaction and run from the grid slot); each lap then takes its TimeMs.
  bool InRace = true;
  std::vector<LapSpec> RaceLaps;
  // After its last lap the car stops on the track and later leaves the stream, instead of
  // driving on at a slower pace.
  bool Retires = false;
  // Chance in 1000 that the car is missing from a chunk of the race.
  int MissingPermille = 0;
  // Speed variation along the lap in eighths (0 to 7): speed runs between (1 - v/16) and
  // (1 + v/8) times the lap's mean speed.
  int SpeedVariation = 4;
  // Reaction at the start in ms; below 0 it is drawn from the seed.
  int32_t ReactionMs = -1;
};

enum class LeadRecords {
  kMixed,        // first records of type 13, 15 and others
  kAlwaysType15  // every chunk after the marker begins with a type 15 record
};

struct GridSpec {
  uint64_t Seed = 1;
  std::string TrackName = "testring";  // at most 8 bytes
  std::string ModName = "vrl";         // at most 6 bytes
  int32_t TrackLengthMm = 4000000;     // twice this must stay below 2^26
  int FrameRate = 60;                  // 60 or 36
  int FrameRateByte = -1;              // header byte 5; below 0: 60 or 36 from FrameRate
  int32_t ServerMarker = 0;
  bool HasRace = true;
  // Chunks before the race start marker, the grid standing still.
  int32_t StandingMs = 15000;
  // Race clock at which the lights go out (the cars stand still until then).
  int32_t LightsOutMs = 0;
  // When above 0: the race ends when the first car completes this many laps, and every car's
  // laps are cut at its first crossing at or after that moment.
  int RaceDistanceLaps = 0;
  LeadRecords Leads = LeadRecords::kMixed;
  // The race's lap records carry their times multiplied by this (1 to 100) while the stream runs
  // at the laps' own pace: long laps in the records at the cost of short ones in the stream, a
  // replay whose records and stream disagree.
  int32_t RaceRecordStretch = 1;
  // Stream kept after the last race crossing: at least this long and this many bytes.
  int32_t TailMs = 3000;
  int32_t TailBytes = 12000;
  std::vector<DriverSpec> Drivers;
};

// What a written replay contains, for tests and tools that check readers against it.
struct DriverOutcome {
  int32_t EntryNumber = 0;
  std::vector<int32_t> PracticeCrossingsMs;
  std::vector<int32_t> RaceCrossingsMs;  // race clock of crossing 0, 1, ... as written
};

struct WrittenReplay {
  std::vector<uint8_t> Bytes;
  int64_t StreamStart = 0;         // first real chunk
  int64_t MarkerChunkOffset = -1;  // the chunk whose first record is the start marker
  int64_t RaceStartOffset = -1;    // the chunk after it: race clock 0
  int32_t ChunkCount = 0;
  int32_t RaceChunkCount = 0;          // chunks from RaceStartOffset to the end
  int32_t GridStartTimeMs = 0;         // smallest first race crossing; 0 without race
  uint32_t MaxTrackPosition = 0;       // largest TrackPosition written anywhere in the stream
  std::vector<DriverOutcome> Drivers;  // in the order of GridSpec::Drivers
};

struct WriteOutcome {
  std::string Error;  // empty when the replay was written
  WrittenReplay Replay;
  bool ok() const { return Error.empty(); }
};

// Checks the description against what a replay can hold; returns an empty text when it fits.
std::string validateGrid(const GridSpec& grid);

// Writes the replay of one grid.
WriteOutcome writeReplay(const GridSpec& grid);

}  // namespace vorlind::tools
