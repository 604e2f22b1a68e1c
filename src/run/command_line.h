// The program's command line for scripts: `report` writes the dialogue's report from replay files
// named on the command line, `export` writes the event as JSON, CSV and a charts page, `season`
// the standings of a season's rounds. Without
// arguments the program is the classic dialogue; this module is reached only with arguments.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "export/event_json.h"
#include "replay/event_store.h"
#include "run/penalties.h"

namespace vorlind {

inline constexpr int kExitInputError = 1;
inline constexpr int kExitUsageError = 2;

enum class CommandKind { kHelp, kVersion, kReport, kExport, kSeason, kUsageError };

struct CommandLine {
  CommandKind Kind = CommandKind::kUsageError;
  std::optional<std::string> Name;  // "First Last"; the default is myname.ini's
  bool NoSpeed = false;
  std::optional<std::string> Out;
  std::optional<std::string> Json;  // "-" for standard output
  std::optional<std::string> CsvDir;
  std::optional<std::string> Charts;
  std::vector<PenaltyDecision> Penalties;  // from --penalty
  std::optional<std::string> PenaltyFile;  // --penalties
  std::vector<std::string> Replays;        // grid A first
  std::optional<std::string> Html;         // the season's standings page
  std::string SeasonFile;
  std::string Text;  // the help or version text, or what is wrong with the usage
  // No command word, as when replays are dropped on the program: their report goes beside the
  // first of them and the program says where. Also set for an unknown command word.
  bool Dropped = false;
};

// Parses the arguments behind the program name (argv[0] is skipped), UTF-8 on Windows.
CommandLine parseCommandLine(int argc, const char* const* argv);

// Reads the command's replays into `store` as the report and export commands do: the highlighted
// driver from --name or myname.ini, the grids in order, the lap pass. Errors and warnings go to
// `err`; false after an error.
bool loadEvent(const CommandLine& command, const std::filesystem::path& workDir, EventStore& store,
               std::vector<GridSource>& grids, std::ostream& err);

// Runs a parsed command line with `workDir` as the working directory; normal output goes to
// `out`, errors and warnings to `err`. Returns the exit code: 0, kExitInputError or
// kExitUsageError.
int runCommandLine(const CommandLine& command, std::ostream& out, std::ostream& err,
                   const std::filesystem::path& workDir);

}  // namespace vorlind
