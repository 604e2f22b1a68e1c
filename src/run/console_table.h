// The console dialogue after the replays have been read: the best-lap table of the lap pass's
// fastest-lap counts, and the driver menu with its lap-place charts. The number that ends the
// menu decides whether the report has speeds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "replay/event_store.h"

namespace vorlind {

// Prints the drivers with at least one fastest lap, most first.
void printBestLapTable(const EventStore& store, std::ostream& out);

// Runs the driver menu until a number outside 1..99 (or the 99th chart); leaves the last number
// in store.NoSpeedValues.
void runDriverMenu(Console& console, EventStore& store);

// Prints the lap-place chart of driver slot `slot`.
void printLapPlaceChart(const EventStore& store, int slot, std::ostream& out);

// The report's file name: the base name, "no_v" when speeds are left out, ".html".
std::string reportFileName(const EventStore& store);
std::string reportFileName(std::string_view baseName, int32_t noSpeedValues);

// The whole console part after the grid loop: lap pass, table, pause, menu.
void runConsoleTable(Console& console, EventStore& store);

}  // namespace vorlind
