// The program's one control flow: the tip, the configuration files, the grid dialogue that reads
// each replay into the event store, the console table and driver menu, and the report. Every
// failure ends up here, where its message is printed and the exit code chosen.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>

#include "platform/console.h"
#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/grid_reader.h"
#include "report/result_table.h"

namespace vorlind {

// The memory a run works in: the event store, set up here and cleared by every run, the blocks
// its replays are read into and the grid reader's buffers. A caller that runs many events in one
// process keeps one and lends it to each run, so that the memory is taken from the system once.
struct RunMemory {
  RunMemory() { initEventStore(Store); }
  EventStore Store;
  FileBlockMemory Blocks;
  GridReader Reader;
};

// Runs the whole program with `workDir` as the working directory (configuration files, relative
// replay paths and the report). Returns the exit code.
int runVorlind(Console& console, const std::filesystem::path& workDir);
int runVorlind(Console& console, const std::filesystem::path& workDir, RunMemory& memory);

// Writes the report to `target` through a temporary file beside it, which is renamed over the
// target only when complete; false when either step fails.
[[nodiscard]] bool writeReportFile(const EventStore& store, const std::filesystem::path& target,
                                   std::span<const Penalty> penalties = {});

// The console line of a grid's start time: whole seconds, a point and three digits of ms.
void printGridStartTime(std::ostream& out, int32_t startTime);

}  // namespace vorlind
