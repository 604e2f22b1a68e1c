// The season command: reads the season file and each of its rounds once (an event export, or a
// folder of replays read in-process as `export` reads them), prints what is wrong with them, and
// writes the standings as an HTML page, JSON and CSV.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>

#include "run/command_line.h"

namespace vorlind {

// Adds `season` with its options to the program's command line, parsed into `line`.
CLI::App* addSeasonCommand(CLI::App& app, CommandLine& line);

// Runs a parsed season command with `workDir` as the working directory; the JSON goes to `out`
// when asked for there, errors and warnings to `err`. Returns 0 or kExitInputError.
int runSeason(const CommandLine& command, std::ostream& out, std::ostream& err,
              const std::filesystem::path& workDir);

}  // namespace vorlind
