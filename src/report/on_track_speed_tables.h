// Two rankings of one division: ON TRACK LAPS orders the race entries by their number of laps
// without an off-track mark, as a share of all their race laps; SPEED lists the lowest and highest
// speed of each entry's best race lap, highest first.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

struct OnTrackRow {
  int Position = 0;
  int Slot = 0;
  int32_t OnTrackLaps = 0;
  int32_t Laps = 0;
  int32_t SharePerMille = 0;  // on-track laps per thousand race laps; 0 without race laps

  bool operator==(const OnTrackRow&) const = default;
};

struct SpeedRow {
  int Position = 0;
  int Slot = 0;
  int32_t MinSpeed = 0;  // hundredths of km/h
  int32_t MaxSpeed = 0;

  bool operator==(const SpeedRow&) const = default;
};

// Ordered by the count alone, not by the share; equal counts put the higher slot first.
std::vector<OnTrackRow> rankOnTrackLaps(const EventStore& store);
std::vector<SpeedRow> rankSpeeds(const EventStore& store);

}  // namespace vorlind
