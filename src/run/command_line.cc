#include "run/command_line.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <fstream>
#include <memory>
#include <system_error>

#include "export/charts_page.h"
#include "export/event_csv.h"
#include "export/event_json.h"
#include "images/badges.h"
#include "platform/file_names.h"
#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/grid_reader.h"
#include "report/lap_pass.h"
#include "report/report_writer.h"
#include "run/config_files.h"
#include "run/console_table.h"
#include "run/run_driver.h"
#include "run/season_command.h"

namespace vorlind {

namespace fs = std::filesystem;

namespace {

constexpr const char* kVersion = "vorlind 1.1";
constexpr size_t kMaxReportBase = 26;
constexpr int kMenuWithoutSpeeds = -1;
constexpr size_t kMaxPenaltyFileBytes = 1 << 20;

constexpr const char* kExitCodes =
    "Without arguments vorlind runs the classic console dialogue.\n"
    "Replays named without a command, as when they are dropped on the program, are read as by\n"
    "report, and the report is written beside the first of them.\n"
    "\n"
    "Exit codes:\n"
    "  0  success\n"
    "  1  input error: a replay not found, not a regular file, not a server replay, damaged or\n"
    "     changed while it was read, an output that cannot be written, a penalty for nobody or\n"
    "     from a file that cannot be read, or a season file or round that cannot be read\n"
    "  2  usage error: an unknown command or option, no replay or more than five, export or\n"
    "     season without an output, or a --penalty in none of the accepted forms\n";

void addEventOptions(CLI::App& command, CommandLine& line, std::vector<std::string>& penalties) {
  command.add_option("--name", line.Name,
                     "The driver whose rows are highlighted, \"First Last\" (default: myname.ini)");
  command
      .add_option("--penalty", penalties,
                  "A steward's decision, \"First Last=+S\" (a time penalty of S seconds, up "
                  "to three decimals) or \"First Last=DSQ\"; \"B:First Last\" picks the grid "
                  "of a name that two drivers share; repeatable")
      ->type_name("DECISION");
  command
      .add_option("--penalties", line.PenaltyFile,
                  "A file of decisions, one a line; \"#\" starts a comment, which on a "
                  "decision's line is its reason")
      ->type_name("FILE");
  command.add_option("replays", line.Replays, "One to five server replays (.rpy), grid A first")
      ->required()
      ->expected(1, kGridCount)
      ->type_name("REPLAY.rpy");
}

fs::path resolve(const fs::path& workDir, const std::string& path) {
  const fs::path given = pathFromUtf8(path);
  return given.is_absolute() ? given : workDir / given;
}

void warnOfDuplicates(const std::vector<std::string>& replays, const fs::path& workDir,
                      std::ostream& err) {
  for (size_t later = 1; later < replays.size(); ++later) {
    for (size_t earlier = 0; earlier < later; ++earlier) {
      std::error_code error;
      if (!fs::equivalent(resolve(workDir, replays[earlier]), resolve(workDir, replays[later]),
                          error)) {
        continue;
      }
      err << "vorlind: warning: " << replays[later] << " is given twice, as grid "
          << static_cast<char>('A' + earlier) << " and as grid " << static_cast<char>('A' + later)
          << std::endl;
      break;
    }
  }
}

// The drivers of a measured grid whose best lap has no sector data.
int driversWithoutSectors(const EventStore& store, int slotOffset) {
  int count = 0;
  for (int slot = slotOffset + 1; slot < slotOffset + kSlotsPerGrid; ++slot) {
    if (store.RaceLapCount[slot] > 0 && store.BestLapSplitTime[slot][1] <= 0) ++count;
  }
  return count;
}

// Why a replay path is not read; nullptr when it is opened. A pipe is never opened: it could
// keep the run waiting for ever.
const char* refusalOf(FileKind kind) {
  switch (kind) {
    case FileKind::kMissing:
      return "not found";
    case FileKind::kFolder:
      return "is a folder, not a replay";
    case FileKind::kNotRegular:
      return "not a regular file";
    case FileKind::kRegularFile:
    case FileKind::kUnknown:
      break;
  }
  return nullptr;
}

// Reads the replays into the store as grids A, B, ... and completes it with the lap pass. False
// after an error, which is printed.
bool readReplays(const CommandLine& command, const fs::path& workDir, EventStore& store,
                 std::vector<GridSource>& grids, bool& nameMatched, std::ostream& err) {
  warnOfDuplicates(command.Replays, workDir, err);
  FileBlockMemory blockMemory;
  GridReader reader;
  SilentGridListener listener;
  int slotOffset = 0;
  for (size_t index = 0; index < command.Replays.size(); ++index) {
    const std::string& name = command.Replays[index];
    const fs::path path = resolve(workDir, name);
    if (const char* refusal = refusalOf(fileKind(path))) {
      err << "vorlind: " << name << ": " << refusal << std::endl;
      return false;
    }
    std::unique_ptr<FileByteSource> replay = FileByteSource::open(path, &blockMemory);
    if (!replay) {
      err << "vorlind: " << name << ": cannot be opened" << std::endl;
      return false;
    }
    const GridResult result =
        reader.read(*replay, store, static_cast<int>(index) + 1, slotOffset, listener);
    // A later grid that is not counted may take the highlighted driver's slot again.
    nameMatched = nameMatched || highlightedDriver(store).has_value();
    switch (result.Outcome) {
      case GridOutcome::kDamaged:
        err << "vorlind: " << name << ": damaged at byte " << result.Failure.Offset << ": "
            << (result.Failure.Reason != nullptr ? result.Failure.Reason : "unreadable")
            << std::endl;
        return false;
      case GridOutcome::kChanged:
        err << "vorlind: " << name << ": the replay changed while it was read" << std::endl;
        return false;
      case GridOutcome::kPlayerReplay:
        err << "vorlind: " << name << ": not a server replay" << std::endl;
        return false;
      case GridOutcome::kCounted:
        if (result.StreamEndsEarly) {
          const int missing = driversWithoutSectors(store, slotOffset);
          err << "vorlind: warning: " << name
              << ": the frame stream ends before the last race lap; " << missing
              << (missing == 1 ? " driver has" : " drivers have") << " no sector data" << std::endl;
        }
        slotOffset += kSlotsPerGrid;
        grids.push_back({name, true});
        break;
      case GridOutcome::kNotCounted:
        grids.push_back({name, false});
        break;
    }
  }
  computeLapPass(store);
  return true;
}

// The first replay's name without folder and extension, cut to the characters the report holds
// of it, and "All"; UTF-8.
std::string reportBaseName(const CommandLine& command) {
  const std::string stem = utf8FromPath(pathFromUtf8(command.Replays.front()).stem());
  return stem.substr(0, utf8PrefixLength(stem, kMaxReportBase)) + "All";
}

// The highlighted driver as the dialogue takes him from myname.ini, or from --name, and the
// report's base name in its 8-bit text. Dropped replays find myname.ini beside the program too,
// where the release package puts it, whatever folder Explorer starts the program in.
void configureEvent(const CommandLine& command, const fs::path& workDir, EventStore& store) {
  if (command.Name) {
    parseMyName(windows1252FromUtf8(*command.Name), store);
  } else if (!readMyName(workDir, store) &&
             !(command.Dropped && readMyName(programFolder(), store))) {
    store.MyNameSet = false;
  }
  store.ReportBaseName.assign(windows1252FromUtf8(reportBaseName(command)));
}

void warnOfUnmatchedName(const CommandLine& command, bool nameMatched, std::ostream& err) {
  if (command.Name && !nameMatched) {
    err << "vorlind: warning: --name \"" << *command.Name << "\" matches no driver" << std::endl;
  }
}

// The whole file; none when it cannot be read or is larger than any penalties file.
std::optional<std::string> readPenaltyFile(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) return std::nullopt;
  std::string bytes(kMaxPenaltyFileBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad() || in.gcount() > static_cast<std::streamsize>(kMaxPenaltyFileBytes)) {
    return std::nullopt;
  }
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

// The stewards' decisions of the command line and of its penalties file, matched with the
// drivers of the event. None after an error, which is printed; warnings are printed too.
std::optional<std::vector<Penalty>> stewardsDecisions(const CommandLine& command,
                                                      const EventStore& store,
                                                      const fs::path& workDir, std::ostream& err) {
  std::vector<PenaltyDecision> decisions = command.Penalties;
  if (command.PenaltyFile) {
    const std::string& name = *command.PenaltyFile;
    const std::optional<std::string> bytes = readPenaltyFile(resolve(workDir, name));
    if (!bytes) {
      err << "vorlind: " << name << ": cannot be read as a penalties file" << std::endl;
      return std::nullopt;
    }
    const std::string error = parsePenaltyLines(*bytes, name, decisions);
    if (!error.empty()) {
      err << "vorlind: " << error << std::endl;
      return std::nullopt;
    }
  }
  MatchedPenalties matched = matchPenalties(store, decisions);
  for (const std::string& warning : matched.Warnings) {
    err << "vorlind: warning: " << warning << std::endl;
  }
  if (!matched.Error.empty()) {
    err << "vorlind: " << matched.Error << std::endl;
    return std::nullopt;
  }
  return std::move(matched.Penalties);
}

int runReport(const CommandLine& command, std::ostream& out, std::ostream& err,
              const fs::path& workDir) {
  auto store = std::make_unique<EventStore>();
  std::vector<GridSource> grids;
  if (!loadEvent(command, workDir, *store, grids, err)) return kExitInputError;
  if (command.NoSpeed) store->NoSpeedValues = kMenuWithoutSpeeds;
  const std::optional<std::vector<Penalty>> penalties =
      stewardsDecisions(command, *store, workDir, err);
  if (!penalties) return kExitInputError;

  const fs::path folder =
      command.Dropped ? resolve(workDir, command.Replays.front()).parent_path() : workDir;
  const fs::path target =
      command.Out
          ? resolve(workDir, *command.Out)
          : folder / pathFromUtf8(reportFileName(reportBaseName(command), store->NoSpeedValues));
  if (!writeReportFile(*store, target, *penalties)) {
    err << "vorlind: " << utf8FromPath(target) << ": the report could not be written" << std::endl;
    return kExitInputError;
  }
  const std::string imageError = badges::writeBadges(target.parent_path() / "images", true);
  if (!imageError.empty()) {
    err << "vorlind: the images: " << imageError << std::endl;
    return kExitInputError;
  }
  if (command.Dropped) {
    std::error_code error;
    const fs::path absolute = fs::absolute(target, error);
    out << "Report written to " << utf8FromPath(error ? target : absolute.lexically_normal())
        << std::endl;
  }
  return 0;
}

bool writeJson(const CommandLine& command, const EventStore& store,
               const std::vector<GridSource>& grids, std::span<const Penalty> penalties,
               std::ostream& out, std::ostream& err, const fs::path& workDir) {
  const std::string text = eventJsonText(store, grids, penalties);
  if (*command.Json == "-") {
    out << text << std::flush;
    return true;
  }
  const fs::path target = resolve(workDir, *command.Json);
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) err << "vorlind: " << utf8FromPath(target) << ": cannot be written" << std::endl;
  return static_cast<bool>(file);
}

bool writeCharts(const CommandLine& command, const EventStore& store, std::ostream& err,
                 const fs::path& workDir) {
  const fs::path target = resolve(workDir, *command.Charts);
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  writeChartsPage(store, file);
  file.close();
  if (!file) err << "vorlind: " << utf8FromPath(target) << ": cannot be written" << std::endl;
  return static_cast<bool>(file);
}

int runExport(const CommandLine& command, std::ostream& out, std::ostream& err,
              const fs::path& workDir) {
  auto store = std::make_unique<EventStore>();
  std::vector<GridSource> grids;
  if (!loadEvent(command, workDir, *store, grids, err)) return kExitInputError;
  const std::optional<std::vector<Penalty>> penalties =
      stewardsDecisions(command, *store, workDir, err);
  if (!penalties) return kExitInputError;

  bool written = true;
  if (command.Json) {
    written = writeJson(command, *store, grids, *penalties, out, err, workDir) && written;
  }
  if (command.CsvDir) {
    const std::string error = writeEventCsv(*store, resolve(workDir, *command.CsvDir), *penalties);
    if (!error.empty()) err << "vorlind: " << error << std::endl;
    written = error.empty() && written;
  }
  if (command.Charts) written = writeCharts(command, *store, err, workDir) && written;
  return written ? 0 : kExitInputError;
}

bool isCommandWord(const CLI::App& app, const std::string& word) {
  return !app.get_subcommands([&](const CLI::App* command) { return command->check_name(word); })
              .empty();
}

bool hasReplayExtension(std::string_view argument) {
  if (argument.size() < 4) return false;
  std::string extension(argument.substr(argument.size() - 4));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".rpy";
}

}  // namespace

bool loadEvent(const CommandLine& command, const fs::path& workDir, EventStore& store,
               std::vector<GridSource>& grids, std::ostream& err) {
  initEventStore(store);
  configureEvent(command, workDir, store);
  bool nameMatched = false;
  if (!readReplays(command, workDir, store, grids, nameMatched, err)) return false;
  warnOfUnmatchedName(command, nameMatched, err);
  return true;
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  std::vector<std::string> penalties;
  CLI::App app(
      "Vorlind reads the server replays of a multiplayer event (one per starting grid, "
      "up to five) and writes the event's report or exports its data, or writes the standings "
      "of a season's rounds.",
      "vorlind");
  app.footer(kExitCodes);
  app.set_version_flag("--version", kVersion, "Print the version and exit");
  app.require_subcommand(1, 1);

  CLI::App* report = app.add_subcommand(
      "report", "Write the HTML report that the dialogue writes for the same replays");
  report->add_flag("--no-speed", line.NoSpeed, "Leave the speed values out of the report");
  report->add_option("--out", line.Out,
                     "The report file (default: <first replay>All.html, or Allno_v.html without "
                     "speeds, in the working folder)");
  addEventOptions(*report, line, penalties);

  CLI::App* exporter =
      app.add_subcommand("export", "Write the event as JSON, as CSV files and as a charts page");
  exporter->add_option("--json", line.Json, "The JSON file, - for standard output");
  exporter->add_option("--csv", line.CsvDir, "The folder for laps.csv and result.csv");
  exporter->add_option("--charts", line.Charts, "The charts page (HTML with inline SVG)");
  addEventOptions(*exporter, line, penalties);
  CLI::App* season = addSeasonCommand(app, line);

  // Replays dropped on the program in Explorer arrive as bare paths, without a command word.
  std::vector<const char*> arguments(argv, argv + argc);
  if (argc > 1 && argv[1][0] != '-' && !isCommandWord(app, argv[1])) {
    line.Dropped = true;
    if (!hasReplayExtension(argv[1])) {
      line.Text = std::string("unknown command '") + argv[1] + "'";
      return line;
    }
    arguments.insert(arguments.begin() + 1, "report");
  }

  try {
    app.parse(static_cast<int>(arguments.size()), arguments.data());
  } catch (const CLI::CallForHelp&) {
    line.Kind = CommandKind::kHelp;
    line.Text = app.help("", report->parsed() || exporter->parsed() || season->parsed()
                                 ? CLI::AppFormatMode::Normal
                                 : CLI::AppFormatMode::All);
    return line;
  } catch (const CLI::CallForAllHelp&) {
    line.Kind = CommandKind::kHelp;
    line.Text = app.help("", CLI::AppFormatMode::All);
    return line;
  } catch (const CLI::CallForVersion&) {
    line.Kind = CommandKind::kVersion;
    line.Text = std::string(kVersion) + "\n";
    return line;
  } catch (const CLI::ParseError& error) {
    line.Kind = CommandKind::kUsageError;
    line.Text = error.what();
    return line;
  }
  for (const std::string& text : penalties) {
    std::optional<PenaltyDecision> decision = parsePenalty(text, "--penalty \"" + text + "\"");
    if (!decision) {
      line.Kind = CommandKind::kUsageError;
      line.Text = "--penalty \"" + text + "\" is not a penalty; " + std::string(kPenaltyForms);
      return line;
    }
    line.Penalties.push_back(std::move(*decision));
  }
  if (report->parsed()) {
    line.Kind = CommandKind::kReport;
  } else if (season->parsed()) {
    const bool output = line.Html || line.Json || line.CsvDir;
    line.Kind = output ? CommandKind::kSeason : CommandKind::kUsageError;
    if (!output) line.Text = "season needs at least one of --html, --json and --csv";
  } else if (!line.Json && !line.CsvDir && !line.Charts) {
    line.Kind = CommandKind::kUsageError;
    line.Text = "export needs at least one of --json, --csv and --charts";
  } else {
    line.Kind = CommandKind::kExport;
  }
  return line;
}

int runCommandLine(const CommandLine& command, std::ostream& out, std::ostream& err,
                   const fs::path& workDir) {
  switch (command.Kind) {
    case CommandKind::kHelp:
    case CommandKind::kVersion:
      out << command.Text << std::flush;
      return 0;
    case CommandKind::kUsageError:
      err << "vorlind: " << command.Text << "\nRun \"vorlind --help\" for the commands and options."
          << std::endl;
      return kExitUsageError;
    case CommandKind::kReport:
      return runReport(command, out, err, workDir);
    case CommandKind::kExport:
      return runExport(command, out, err, workDir);
    case CommandKind::kSeason:
      return runSeason(command, out, err, workDir);
  }
  return kExitUsageError;
}

}  // namespace vorlind
