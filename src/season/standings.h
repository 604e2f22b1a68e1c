// The standings of a season: each round's points for every driver who took part (place points and
// the fastest lap), the rounds that count under "best rounds", the stewards' deductions, the
// ranking with countback, and the car makes' championship. Computed from the season file's rules
// and the plain round results alone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "report/result_table.h"
#include "season/round_result.h"
#include "season/season_file.h"

namespace vorlind {

inline constexpr int32_t kShortestFastestLap = 30000;  // laps of 30 s or less are never ranked

struct SeasonRound {
  int Number = 0;  // from 1
  std::string Name;
  std::string Source;  // the path as the season file gives it
  std::string Track;
};

// A driver's round: what he scored there, or that he was absent.
struct DriverRound {
  bool TookPart = false;
  int Place = 0;
  ResultStatus Status = ResultStatus::kDnf;
  int64_t Points = 0;  // place points and fastest-lap points
  bool FastestLap = false;
  bool Counted = false;
  bool operator==(const DriverRound&) const = default;
};

struct DriverStanding {
  int Position = 0;  // equal for drivers who share a place
  std::string Name;
  int64_t Points = 0;  // the counted rounds' points less every deduction
  int64_t Deducted = 0;
  std::vector<DriverRound> Rounds;        // one per round of the season
  std::vector<int64_t> PointsAfterRound;  // the total as it stood after each round
};

struct MakeStanding {
  int Position = 0;
  std::string Make;
  int64_t Points = 0;
  std::vector<int64_t> RoundPoints;  // one per round of the season
};

struct Standings {
  std::optional<std::string> Name;
  SeasonRules Rules;
  std::vector<SeasonRound> Rounds;
  std::vector<DriverStanding> Drivers;  // in standings order
  std::vector<MakeStanding> Makes;      // in standings order
  std::vector<Deduction> Deductions;    // those that name a driver, under the name used
  std::vector<std::string> Warnings;
};

// The standings of the season's rounds, `rounds` in the season file's order.
Standings computeStandings(const SeasonFile& season, std::span<const RoundResult> rounds);

}  // namespace vorlind
