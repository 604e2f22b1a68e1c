// The event as one JSON document (format "vorlind-event", described by
// docs/vorlind-event.schema.json): the grids, every driver's practice and race laps, best lap
// speeds and sectors, and the report's tables as rows. Times are whole milliseconds, speeds km/h,
// and a value the report would not show is null.
#pragma once

#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "replay/event_store.h"
#include "report/result_table.h"

namespace vorlind {

// One replay of the event as it was given, grid A first.
struct GridSource {
  std::string Replay;
  bool Counted = false;  // measured, and its drivers hold 20 slots of their own
};

// The car makes by the entry table's car number; any other number is a car of unknown make.
inline constexpr const char* kCarMakes[] = {"Brabham", "BRM",   "Cooper", "Eagle",
                                            "Ferrari", "Lotus", "Honda"};

// The make of car number `car`; nullptr when unknown.
const char* carMakeName(int32_t car);

// The replays' 8-bit names as UTF-8, each byte taken as Latin-1.
std::string latin1ToUtf8(std::string_view text);

// A slot holds an entry when a replay gave it a name.
bool slotHoldsEntry(const EventStore& store, int slot);

// Hundredths of km/h as km/h; null for the store's "no speed".
nlohmann::ordered_json speedKmh(int32_t hundredths);

// A driver's name as the event's documents give it: "First Last", as UTF-8.
std::string driverNameUtf8(const EventStore& store, int slot);

// The word of a result row's status: "finished", "DNF" or "DSQ".
const char* statusWord(ResultStatus status);

// The document of an event whose lap pass has run, with the stewards' penalties applied to its
// classification.
nlohmann::ordered_json eventJson(const EventStore& store, const std::vector<GridSource>& grids,
                                 std::span<const Penalty> penalties = {});

// The document as compact text on one line, with a line end behind it.
std::string eventJsonText(const EventStore& store, const std::vector<GridSource>& grids,
                          std::span<const Penalty> penalties = {});

}  // namespace vorlind
