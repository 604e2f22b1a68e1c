// One round as the standings see it: every row of the round's complete classification with the
// driver's name, place, status, car make and best race lap. It is filled either from an event
// export or from an event read in-process from its replays by the same reader and result rows that
// `export` uses; the standings take nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/event_store.h"
#include "report/result_table.h"

namespace vorlind {

struct RoundEntry {
  std::string Name;  // "First Last" as UTF-8, before the season's aliases
  int Slot = 0;
  int Place = 0;  // in the classification, from 1
  ResultStatus Status = ResultStatus::kDnf;
  std::optional<std::string> Make;   // none when the car's make is unknown
  std::optional<int32_t> BestLapMs;  // the best race lap
  bool operator==(const RoundEntry&) const = default;
};

struct RoundResult {
  std::string Track;
  std::vector<RoundEntry> Entries;  // in classification order
  bool operator==(const RoundResult&) const = default;
};

// A round, or what keeps it from being one; warnings either way.
struct RoundRead {
  std::optional<RoundResult> Round;
  std::string Error;  // "has no race", ...
  std::vector<std::string> Warnings;
};

// The round of an event whose lap pass has run.
RoundRead roundFromEvent(const EventStore& store);

// The round of an event export's text: a version 2 export through its classification, a version 1
// export through its RESULT table.
RoundRead roundFromEventJson(std::string_view text);

}  // namespace vorlind
