#include "run/penalties.h"

#include "export/event_json.h"
#include "platform/file_names.h"
#include "run/config_files.h"

namespace vorlind {

namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr size_t kMaxWholeSeconds = 5;  // up to 99999.999 s
constexpr size_t kMaxDecimals = 3;

std::string_view trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool allDigits(std::string_view text) {
  return text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "+S" with S in whole seconds and up to three decimals, as milliseconds.
std::optional<int32_t> parseSeconds(std::string_view text) {
  if (!text.starts_with('+')) return std::nullopt;
  text.remove_prefix(1);
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view decimals =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (whole.empty() || whole.size() > kMaxWholeSeconds || !allDigits(whole)) return std::nullopt;
  if (point != std::string_view::npos &&
      (decimals.empty() || decimals.size() > kMaxDecimals || !allDigits(decimals))) {
    return std::nullopt;
  }
  int32_t ms = 0;
  for (const char digit : whole) ms = ms * 10 + (digit - '0');
  int32_t fraction = 0;
  for (size_t i = 0; i < kMaxDecimals; ++i) {
    fraction = fraction * 10 + (i < decimals.size() ? decimals[i] - '0' : 0);
  }
  return ms * 1000 + fraction;
}

std::string gridLetter(int grid) { return std::string(1, static_cast<char>('A' + grid)); }

}  // namespace

std::optional<PenaltyDecision> parsePenalty(std::string_view text, std::string origin) {
  PenaltyDecision decision;
  decision.Origin = std::move(origin);
  const size_t comment = text.find('#');
  if (comment != std::string_view::npos) {
    decision.Reason = trim(text.substr(comment + 1));
    text = text.substr(0, comment);
  }
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  std::string_view name = trim(text.substr(0, equals));
  const std::string_view value = trim(text.substr(equals + 1));
  if (name.size() > 2 && name[1] == ':' && name[0] >= 'A' && name[0] < 'A' + kGridCount) {
    decision.Grid = name[0] - 'A';
    name = trim(name.substr(2));
  }
  if (!splitDriverName(windows1252FromUtf8(name))) return std::nullopt;
  decision.Name = name;
  if (value == "DSQ") {
    decision.Disqualified = true;
  } else if (const std::optional<int32_t> ms = parseSeconds(value)) {
    decision.TimeMs = *ms;
  } else {
    return std::nullopt;
  }
  return decision;
}

std::string parsePenaltyLines(std::string_view bytes, const std::string& fileLabel,
                              std::vector<PenaltyDecision>& decisions) {
  int number = 0;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const std::string_view line = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    ++number;
    if (trim(line.substr(0, line.find('#'))).empty()) continue;
    const std::string origin = fileLabel + ", line " + std::to_string(number);
    std::optional<PenaltyDecision> decision = parsePenalty(line, origin);
    if (!decision) {
      return origin + ": \"" + std::string(trim(line)) + "\" is not a penalty; " +
             std::string(kPenaltyForms);
    }
    decisions.push_back(std::move(*decision));
  }
  return {};
}

MatchedPenalties matchPenalties(const EventStore& store,
                                std::span<const PenaltyDecision> decisions) {
  MatchedPenalties matched;
  for (const PenaltyDecision& decision : decisions) {
    const std::string bytes = windows1252FromUtf8(decision.Name);  // as the replays hold names
    const DriverName name = *splitDriverName(bytes);
    std::vector<int> slots;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (slotHoldsEntry(store, slot) && store.SlotFirstName[slot].view() == name.First &&
          store.SlotLastName[slot].view() == name.Last &&
          (!decision.Grid || gridOfSlot(slot) == *decision.Grid)) {
        slots.push_back(slot);
      }
    }
    const std::string subject = decision.Origin + ": " + decision.Name;
    if (slots.empty()) {
      matched.Error = subject + " is no driver of " +
                      (decision.Grid ? "grid " + gridLetter(*decision.Grid) : "the event");
      return matched;
    }
    if (slots.size() > 1) {
      std::string grids;
      for (const int slot : slots)
        grids += (grids.empty() ? "" : ", ") + gridLetter(gridOfSlot(slot));
      matched.Error = subject + " names drivers of grids " + grids +
                      "; put the grid before the name, as in " + gridLetter(gridOfSlot(slots[0])) +
                      ":" + decision.Name;
      return matched;
    }
    const int slot = slots.front();
    if (store.RaceLapCount[slot] <= 0) {
      matched.Warnings.push_back(subject + " has no race laps; the penalty changes nothing");
    }
    matched.Penalties.push_back({slot, decision.TimeMs, decision.Disqualified, decision.Reason});
  }
  return matched;
}

}  // namespace vorlind
