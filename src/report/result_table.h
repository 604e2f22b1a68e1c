// The race result over all grids: first the entries still running when their grid's winner
// finished, ranked by race time projected to the full distance, then everybody else who started,
// by laps completed and time. Every time is measured from the start of the entry's own grid.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

inline constexpr int kDistanceColumns = 9;  // 10 %, 20 %, ... 90 % of the race distance

struct ResultRow {
  int Position = 0;
  int Slot = 0;
  // Place among all slots at each tenth of the distance; none where the slot has no time there.
  std::array<std::optional<int32_t>, kDistanceColumns> PlaceAtTenth;
  int32_t Laps = 0;
  // Milliseconds since the grid's start; projected to the full distance for classified rows.
  int32_t RaceTime = 0;
  bool Classified = false;  // false: did not finish
  // Milliseconds behind the first row's own race time; none on the first row and on DNF rows.
  std::optional<int32_t> GapToWinner;

  bool operator==(const ResultRow&) const = default;
};

std::vector<ResultRow> rankResult(const EventStore& store);

// Milliseconds from the start of the slot's grid to its crossing `crossing`, as the result measures
// every time; none when the slot has no time there.
std::optional<int32_t> raceTimeAt(const EventStore& store, int slot, int64_t crossing);

}  // namespace vorlind
