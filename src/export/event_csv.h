// The event as two spreadsheet tables: laps.csv holds one row per driver and lap, practice and
// race, and result.csv the rows of the complete classification, the stewards' penalties applied.
// Fields are quoted as RFC 4180 says, each file has a header row, and lines end with CR LF; names
// are UTF-8.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "replay/event_store.h"
#include "report/result_table.h"

namespace vorlind {

// One field as it stands in a CSV line: in double quotes, its quotes doubled, when it holds a
// comma, a double quote, a carriage return or a line feed; otherwise as it is.
std::string csvField(std::string_view text);

// The two files' contents for an event whose lap pass has run.
std::string lapsCsv(const EventStore& store);
std::string resultCsv(const EventStore& store, std::span<const Penalty> penalties = {});

// Writes laps.csv and result.csv into `folder`, creating it. An error message, or empty.
std::string writeEventCsv(const EventStore& store, const std::filesystem::path& folder,
                          std::span<const Penalty> penalties = {});

}  // namespace vorlind
