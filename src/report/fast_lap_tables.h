// The four fastest lap tables rank the entries by their single best lap of race or practice, over
// all laps or over the laps without an off-track mark. One ranking serves all four; the members
// differ in the arrays they read and in whether they tell if the best lap was off the track.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

enum class FastestLapMember { kRace, kPractice, kRaceOnTrack, kPracticeOnTrack };

// The race and practice members over all laps show whether the best lap carried an off-track mark.
inline bool showsOffTrack(FastestLapMember member) {
  return member == FastestLapMember::kRace || member == FastestLapMember::kPractice;
}

struct FastestLapRow {
  int Position = 0;
  int Slot = 0;
  int32_t LapTime = 0;                   // ms
  std::optional<int32_t> GapToFirst;     // ms; none on the first row
  std::optional<int32_t> GapToPrevious;  // ms; none on the first row
  int32_t LapNumber = 0;                 // the lap that gave the time
  int32_t LapCount = 0;                  // laps driven
  std::optional<bool> OffTrack;          // none for the on-track members

  bool operator==(const FastestLapRow&) const = default;
};

// Laps of 30 s or less are never ranked.
std::vector<FastestLapRow> rankFastestLaps(const EventStore& store, FastestLapMember member);

}  // namespace vorlind
