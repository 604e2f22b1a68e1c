#include "run/season_command.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "export/event_json.h"
#include "platform/file_names.h"
#include "replay/event_store.h"
#include "season/round_result.h"
#include "season/season_file.h"
#include "season/season_outputs.h"
#include "season/season_page.h"
#include "season/standings.h"

namespace vorlind {

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kMostSeasonFileBytes = uintmax_t{16} << 20;
constexpr uintmax_t kMostExportBytes = uintmax_t{1} << 30;

constexpr const char* kSeasonHelp =
    "The season file is JSON, kept beside the rounds; its paths are relative to its folder:\n"
    "  \"name\"                the season's title (optional)\n"
    "  \"points\"              points for places 1, 2, ... (default 25, 18, 15, 12, 10, 8, 6, 4,\n"
    "                        2, 1)\n"
    "  \"fastest_lap_points\"  for the round's fastest race lap, to a finisher (default 0)\n"
    "  \"best_rounds\"         only each driver's N best rounds count (default: every round)\n"
    "  \"rounds\"              in order, each a path or {\"path\", \"name\"}: an event export\n"
    "                        (vorlind export --json) or a folder whose replays (.rpy), in name\n"
    "                        order, are grids A, B, ...\n"
    "  \"aliases\"             {\"Name As Written\": \"Name To Use\"}\n"
    "  \"deductions\"          [{\"round\", \"driver\", \"points\", \"reason\"}]\n"
    "Any other key is an error. Ties on points go by countback (more first places, then more\n"
    "second places, ...); drivers still equal share a place.\n";

fs::path resolve(const fs::path& workDir, const fs::path& path) {
  return path.is_absolute() ? path : workDir / path;
}

// The whole file, or what keeps it from being read.
std::optional<std::string> readWhole(const fs::path& file, uintmax_t most, std::string& error) {
  switch (fileKind(file)) {
    case FileKind::kMissing:
      error = "not found";
      return std::nullopt;
    case FileKind::kFolder:
    case FileKind::kNotRegular:
      error = "not a regular file";
      return std::nullopt;
    case FileKind::kRegularFile:
    case FileKind::kUnknown:
      break;
  }
  std::error_code failure;
  const uintmax_t size = fs::file_size(file, failure);
  if (failure || size > most) {
    error = failure ? "cannot be read" : "is larger than any file this command reads";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (!in || in.gcount() != static_cast<std::streamsize>(size)) {
    error = "cannot be read";
    return std::nullopt;
  }
  return bytes;
}

// The server replays of a folder round in name order; none when the folder cannot be listed.
std::optional<std::vector<fs::path>> folderReplays(const fs::path& folder) {
  std::vector<fs::path> replays;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string extension = utf8FromPath(entry->path().extension());
    std::ranges::transform(extension, extension.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
    std::error_code kind;
    if (extension == ".rpy" && entry->is_regular_file(kind)) {
      replays.push_back(entry->path().filename());
    }
  }
  if (error) return std::nullopt;
  std::ranges::sort(replays);
  return replays;
}

// A folder round read as `export` reads its replays; errors of the replays are printed there.
RoundRead readFolderRound(const fs::path& shown, const fs::path& workDir, EventStore& store,
                          std::ostream& err) {
  const std::optional<std::vector<fs::path>> replays = folderReplays(resolve(workDir, shown));
  if (!replays) return {std::nullopt, "cannot be listed", {}};
  if (replays->empty()) return {std::nullopt, "is a folder without replays (.rpy)", {}};
  if (replays->size() > static_cast<size_t>(kGridCount)) {
    return {std::nullopt,
            "holds " + std::to_string(replays->size()) + " replays; a round has one to five grids",
            {}};
  }
  CommandLine grids;
  for (const fs::path& replay : *replays) grids.Replays.push_back(utf8FromPath(shown / replay));
  std::vector<GridSource> sources;
  if (!loadEvent(grids, workDir, store, sources, err)) return {std::nullopt, {}, {}};
  return roundFromEvent(store);
}

std::optional<RoundResult> readRound(const RoundSource& source, const fs::path& seasonFolder,
                                     const fs::path& workDir, EventStore& store,
                                     std::ostream& err) {
  const fs::path shown = seasonFolder / pathFromUtf8(source.Path);
  const std::string name = utf8FromPath(shown);
  RoundRead read;
  if (fileKind(resolve(workDir, shown)) == FileKind::kFolder) {
    read = readFolderRound(shown, workDir, store, err);
    if (!read.Round && read.Error.empty()) return std::nullopt;
  } else if (const std::optional<std::string> text =
                 readWhole(resolve(workDir, shown), kMostExportBytes, read.Error)) {
    read = roundFromEventJson(*text);
  }
  for (const std::string& warning : read.Warnings) {
    err << "vorlind: warning: " << name << ": " << warning << std::endl;
  }
  if (!read.Round) err << "vorlind: " << name << ": " << read.Error << std::endl;
  return std::move(read.Round);
}

// Writes `bytes` to `target` through a temporary file beside it, renamed over the target only
// when complete, so that a failed write leaves no half-written file.
bool writeWhole(const fs::path& target, const std::string& bytes, std::ostream& err) {
  fs::path temporary = target;
  temporary += ".tmp";
  std::error_code error;
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << bytes;
    file.close();
    if (file) fs::rename(temporary, target, error);
    if (!file || error) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      err << "vorlind: " << utf8FromPath(target) << ": cannot be written" << std::endl;
      return false;
    }
  }
  return true;
}

bool writeCsv(const Standings& standings, const fs::path& folder, std::ostream& err) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    err << "vorlind: " << utf8FromPath(folder) << ": cannot be created: " << error.message()
        << std::endl;
    return false;
  }
  return writeWhole(folder / "drivers.csv", driversCsv(standings), err) &&
         writeWhole(folder / "makes.csv", makesCsv(standings), err);
}

}  // namespace

CLI::App* addSeasonCommand(CLI::App& app, CommandLine& line) {
  CLI::App* season = app.add_subcommand(
      "season", "Write a season's standings from its rounds as an HTML page, JSON and CSV");
  season->add_option("--html", line.Html, "The standings page (HTML with an inline chart)")
      ->type_name("FILE");
  season->add_option("--json", line.Json, "The standings as JSON, - for standard output")
      ->type_name("FILE|-");
  season->add_option("--csv", line.CsvDir, "The folder for drivers.csv and makes.csv")
      ->type_name("DIR");
  season->add_option("season", line.SeasonFile, "The season file")
      ->required()
      ->type_name("SEASON.json");
  season->footer(kSeasonHelp);
  return season;
}

int runSeason(const CommandLine& command, std::ostream& out, std::ostream& err,
              const fs::path& workDir) {
  const std::string& name = command.SeasonFile;
  std::string error;
  const std::optional<std::string> text =
      readWhole(resolve(workDir, pathFromUtf8(name)), kMostSeasonFileBytes, error);
  std::optional<SeasonFile> season;
  if (text) season = parseSeasonFile(*text, error);
  if (!season) {
    err << "vorlind: " << name << ": " << error << std::endl;
    return kExitInputError;
  }

  const fs::path folder = pathFromUtf8(name).parent_path();
  auto store = std::make_unique<EventStore>();
  std::vector<RoundResult> rounds;
  for (const RoundSource& source : season->Rounds) {
    std::optional<RoundResult> round = readRound(source, folder, workDir, *store, err);
    if (!round) return kExitInputError;
    rounds.push_back(std::move(*round));
  }
  const Standings standings = computeStandings(*season, rounds);
  for (const std::string& warning : standings.Warnings) {
    err << "vorlind: warning: " << name << ": " << warning << std::endl;
  }

  bool written = true;
  if (command.Html) {
    written =
        writeWhole(resolve(workDir, pathFromUtf8(*command.Html)), seasonPageHtml(standings), err) &&
        written;
  }
  if (command.Json && *command.Json == "-") {
    out << seasonJsonText(standings) << std::flush;
  } else if (command.Json) {
    written =
        writeWhole(resolve(workDir, pathFromUtf8(*command.Json)), seasonJsonText(standings), err) &&
        written;
  }
  if (command.CsvDir) {
    written = writeCsv(standings, resolve(workDir, pathFromUtf8(*command.CsvDir)), err) && written;
  }
  return written ? 0 : kExitInputError;
}

}  // namespace vorlind
