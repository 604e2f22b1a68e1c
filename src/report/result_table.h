// The race result over all grids: first the entries still running when their grid's winner
// finished, ranked by race time projected to the full distance, then everybody else who started,
// by laps completed and time. Every time is measured from the start of the entry's own grid.
// The report's RESULT table ranks as the classic report did; the complete classification lists
// every driver who started, with the stewards' penalties applied.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

inline constexpr int kDistanceColumns = 9;  // 10 %, 20 %, ... 90 % of the race distance

enum class ResultStatus { kFinished, kDnf, kDsq };

struct ResultRow {
  int Position = 0;
  int Slot = 0;
  // Place among all slots at each tenth of the distance; none where the slot has no time there.
  std::array<std::optional<int32_t>, kDistanceColumns> PlaceAtTenth;
  int32_t Laps = 0;
  // Milliseconds since the grid's start; projected to the full distance for finished rows; a
  // time penalty included.
  int32_t RaceTime = 0;
  ResultStatus Status = ResultStatus::kDnf;
  int32_t Penalty = 0;  // milliseconds of time penalty in RaceTime
  // Milliseconds behind the first row's own race time; none on the first row and on DNF and DSQ
  // rows.
  std::optional<int32_t> GapToWinner;

  bool operator==(const ResultRow&) const = default;
};

// One decision of the stewards about a driver's race.
struct Penalty {
  int Slot = 0;
  int32_t TimeMs = 0;  // added to his race time
  bool Disqualified = false;
  std::string Reason;  // empty when none was given
};

// The rows of the report's RESULT table.
std::vector<ResultRow> rankResult(const EventStore& store);

// Every driver with a race crossing, ranked by the same two passes and keys, slot 0 included and
// nobody barred. Whether a driver was still running when his grid's winner finished is decided
// on the times as driven; a time penalty is added to his key (the projected time, or the time at
// his last crossing), and a disqualified driver follows all other rows, in his order as driven.
std::vector<ResultRow> rankClassification(const EventStore& store,
                                          std::span<const Penalty> penalties = {});

// Milliseconds from the start of the slot's grid to its crossing `crossing`, as the result measures
// every time; none when the slot has no time there.
std::optional<int32_t> raceTimeAt(const EventStore& store, int slot, int64_t crossing);

}  // namespace vorlind
