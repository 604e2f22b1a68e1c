// The standings as data for other programs: one JSON document (format "vorlind-season", described
// by docs/vorlind-season.schema.json) and two spreadsheet tables, drivers.csv and makes.csv, quoted
// as RFC 4180 says with CR LF line ends, as `export` writes its tables.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "season/standings.h"

namespace vorlind {

nlohmann::ordered_json seasonJson(const Standings& standings);

// The document as compact text on one line, with a line end behind it.
std::string seasonJsonText(const Standings& standings);

// One row per driver in standings order: his place, name, the points of each round (empty where
// he was absent), his deductions and his total.
std::string driversCsv(const Standings& standings);

// One row per car make: its place, name, the points of each round and its total.
std::string makesCsv(const Standings& standings);

}  // namespace vorlind
