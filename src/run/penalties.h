// The stewards' decisions as the command line takes them: "First Last=+S", a time penalty of S
// seconds with up to three decimals, or "First Last=DSQ", with "B:" before the name to pick the
// grid of a name that two drivers share. They come from --penalty and from the lines of a
// --penalties file, where "#" starts a comment that is the penalty's reason. A name is matched as
// --name is; matched against the event, a decision becomes a Penalty of a driver slot.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "replay/event_store.h"
#include "report/result_table.h"

namespace vorlind {

// The accepted forms, for the messages about a penalty that is none of them.
inline constexpr std::string_view kPenaltyForms =
    "a penalty is \"First Last=+S\" (S seconds, up to three decimals: +5, +2.5, +12.345) or "
    "\"First Last=DSQ\", with \"B:First Last\" for a name that drivers of two grids share";

struct PenaltyDecision {
  std::string Origin;       // where it was given, for messages
  std::optional<int> Grid;  // 0 to 4 when the name carried a grid
  std::string Name;         // "First Last" as given
  int32_t TimeMs = 0;
  bool Disqualified = false;
  std::string Reason;
};

// One decision from its text; none when the text is not one of the accepted forms.
std::optional<PenaltyDecision> parsePenalty(std::string_view text, std::string origin);

// The decisions of a penalties file, whose lines are named "<fileLabel>, line N"; blank lines and
// lines that hold only a comment are skipped. Empty when every line is a decision; otherwise the
// message of the first line that is not.
[[nodiscard]] std::string parsePenaltyLines(std::string_view bytes, const std::string& fileLabel,
                                            std::vector<PenaltyDecision>& decisions);

struct MatchedPenalties {
  std::vector<Penalty> Penalties;     // in the order the decisions were given
  std::vector<std::string> Warnings;  // decisions that change nothing
  std::string Error;                  // a decision that names nobody, or two drivers
};

// Matches every decision with the drivers of the event.
MatchedPenalties matchPenalties(const EventStore& store,
                                std::span<const PenaltyDecision> decisions);

}  // namespace vorlind
