// The shared driving code of the fuzz targets, the sweep test and the regression test: the grid
// reading on a memory buffer in the order the run driver uses, whole in-process runs in a
// scratch directory, and the rules by which the end of a run counts as defined.
#include "robustness_harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <sstream>
#include <system_error>

#include "platform/console.h"
#include "replay/byte_source.h"
#include "report/result_table.h"
#include "run/run_driver.h"

namespace vorlind::harness {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPause = "Press any key to continue . . . \n";

bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Overwrites the file in place and then cuts it to `bytes`, so that a file system in memory keeps
// its pages from one run to the next instead of freeing and clearing them.
bool writeBytes(const fs::path& file, std::span<const uint8_t> bytes) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) break;
    done += static_cast<size_t>(wrote);
  }
  const bool ok = done == bytes.size() && ftruncate(fd, static_cast<off_t>(done)) == 0;
  return close(fd) == 0 && ok;
}

std::span<const uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Files of a run by their path relative to its directory.
using PlannedFiles = std::vector<std::pair<fs::path, std::span<const uint8_t>>>;

// Leaves in `dir` only the regular files that are about to be written again and the replays
// folder; everything else a run may have left is removed.
void removeUnplanned(const fs::path& dir, const fs::path& relative, const PlannedFiles& kept) {
  std::error_code error;
  std::vector<fs::path> unplanned;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir / relative, error)) {
    const fs::path name = relative / entry.path().filename();
    if (name == "replays" && entry.is_directory(error) && !entry.is_symlink(error)) {
      removeUnplanned(dir, name, kept);
    } else if (!entry.is_regular_file(error) ||
               std::ranges::find(kept, name, &PlannedFiles::value_type::first) == kept.end()) {
      unplanned.push_back(entry.path());
    }
  }
  for (const fs::path& path : unplanned) fs::remove_all(path, error);
}

fs::path scratchRoot() {
  std::error_code error;
  const fs::path shm("/dev/shm");
  if (fs::is_directory(shm, error) && access(shm.c_str(), W_OK) == 0) return shm;
  return fs::temp_directory_path();
}

}  // namespace

void RecordingListener::entryNameRead(std::string_view lastName) {
  Log += "name " + std::string(lastName) + "\n";
}
void RecordingListener::entryCarRead(int32_t car, int32_t entryNumber) {
  Log += "car " + std::to_string(car) + " " + std::to_string(entryNumber) + "\n";
}
void RecordingListener::entryWordRead(int32_t word) {
  Log += "word " + std::to_string(word) + "\n";
}
void RecordingListener::gridStartTimeRead(int32_t startTime) {
  Log += "start " + std::to_string(startTime) + "\n";
}
void RecordingListener::trackSearchStarted() { Log += "scan\n"; }
void RecordingListener::trackLengthFound(int32_t trackLengthRaw) {
  Log += "track " + std::to_string(trackLengthRaw) + "\n";
}
void RecordingListener::driverMeasured(int slot) {
  Log += "measure " + std::to_string(slot) + "\n";
}

std::string compareKeptChunks(std::span<const uint8_t> bytes, int gridNumber) {
  const int slotOffset = kSlotsPerGrid * (gridNumber - 1);
  RecordingListener listeners[2];
  std::unique_ptr<EventStore> stores[2];
  for (int keep = 0; keep < 2; ++keep) {
    stores[keep] = std::make_unique<EventStore>();
    initEventStore(*stores[keep]);
    MemoryByteSource source(bytes);
    GridReader reader(keep == 1);
    (void)reader.read(source, *stores[keep], gridNumber, slotOffset, listeners[keep]);
  }
  const EventStore& read = *stores[0];
  const EventStore& kept = *stores[1];
  std::string differences;
  if (listeners[0].Log != listeners[1].Log) differences += " events";
  if (read.TrackLengthRaw != kept.TrackLengthRaw) differences += " track length";
  if (read.BestLapSplitTime != kept.BestLapSplitTime) differences += " split times";
  if (read.BestLapMaxSpeed != kept.BestLapMaxSpeed) differences += " highest speeds";
  if (read.BestLapMinSpeed != kept.BestLapMinSpeed) differences += " lowest speeds";
  if (read.PreviousSampleSpeed != kept.PreviousSampleSpeed) differences += " last speed";
  return differences.empty() ? differences : "the kept chunks changed the" + differences;
}

std::string checkGridReading(GridOutcome outcome, const EventStore& store) {
  if ((outcome == GridOutcome::kNotCounted || outcome == GridOutcome::kCounted) &&
      (store.EntryCount < 1 || store.EntryCount > kSlotsPerGrid)) {
    return "entry count " + std::to_string(store.EntryCount) + " after a replay that was read";
  }
  if (store.TrackLengthRaw < 0 || store.TrackLengthRaw >= (1 << 26)) {
    return "track length " + std::to_string(store.TrackLengthRaw) + " beyond 26 bits";
  }
  return {};
}

std::string runReplayInput(std::span<const uint8_t> bytes, EventStore& store,
                           GridOutcome* outcome) {
  static GridReader reader;
  clearEventStore(store);
  const int grid = gridForReplayInput(bytes);
  MemoryByteSource source(bytes);
  RecordingListener listener;
  const GridResult result = reader.read(source, store, grid, kSlotsPerGrid * (grid - 1), listener);
  if (outcome != nullptr) *outcome = result.Outcome;
  return checkGridReading(result.Outcome, store);
}

std::vector<std::span<const uint8_t>> cutPieces(std::span<const uint8_t> bytes,
                                                std::string_view separator, size_t maxPieces) {
  std::vector<std::span<const uint8_t>> pieces;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  size_t begin = 0;
  while (pieces.size() + 1 < maxPieces && !separator.empty()) {
    const size_t found = text.find(separator, begin);
    if (found == std::string_view::npos) break;
    pieces.push_back(bytes.subspan(begin, found - begin));
    begin = found + separator.size();
  }
  pieces.push_back(bytes.subspan(begin));
  return pieces;
}

ScratchDir::ScratchDir(std::string_view label) {
  static std::atomic<int> counter{0};
  path_ = scratchRoot() / ("vorlind-" + std::string(label) + "-" + std::to_string(getpid()) + "-" +
                           std::to_string(counter++));
  std::error_code error;
  fs::remove_all(path_, error);
  fs::create_directories(path_, error);
}

ScratchDir::~ScratchDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string replayName(size_t index) { return "g" + std::to_string(index + 1); }

std::string answersFor(size_t replayCount, const std::vector<int>& menu) {
  std::string answers;
  for (size_t i = 0; i < replayCount; ++i) answers += replayName(i) + "\n";
  if (replayCount < kGridCount) answers += "0\n";
  for (int choice : menu) answers += std::to_string(choice) + "\n";
  return answers;
}

RunResult runEvent(const fs::path& dir, const EventFiles& files) {
  PlannedFiles written;
  if (files.HasMyName) written.emplace_back("myname.ini", bytesOf(files.MyName));
  if (files.HasSkarrow) written.emplace_back("Skarrow.ini", bytesOf(files.Skarrow));
  for (size_t i = 0; i < files.Replays.size(); ++i) {
    written.emplace_back(fs::path("replays") / (replayName(i) + ".rpy"), files.Replays[i]);
  }
  removeUnplanned(dir, {}, written);
  std::error_code error;
  fs::create_directories(dir / "replays", error);
  for (const auto& [name, bytes] : written) writeBytes(dir / name, bytes);
  for (const std::string& made : files.Directories) fs::create_directories(dir / made, error);

  std::istringstream in(files.Answers);
  std::ostringstream out;
  Console console{in, out, false};
  static const std::unique_ptr<RunMemory> memory = std::make_unique<RunMemory>();
  RunResult result;
  result.ExitCode = runVorlind(console, dir, *memory);
  result.Console = out.str();
  result.Store = &memory->Store;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    if (entry.path().extension() == ".html") result.ReportWritten = true;
  }
  return result;
}

int gridForReplayInput(std::span<const uint8_t> bytes) {
  return bytes.empty() ? 1 : bytes[0] % kGridCount + 1;
}

EventFiles eventForInput(std::span<const uint8_t> bytes, const std::string& myName) {
  EventFiles files;
  files.MyName = myName;
  for (std::span<const uint8_t> piece : cutPieces(bytes, kPieceSeparator, kMaxEventReplays)) {
    files.Replays.emplace_back(piece.begin(), piece.end());
  }
  const uint8_t menu = bytes.empty() ? 0 : bytes[0];
  files.Answers = answersFor(files.Replays.size(), {menu & 0x7F, (menu & 0x80) ? -1 : 0});
  return files;
}

std::vector<uint8_t> joinEventInput(const std::vector<std::vector<uint8_t>>& replays) {
  std::vector<uint8_t> joined;
  for (size_t i = 0; i < replays.size(); ++i) {
    if (i > 0) joined.insert(joined.end(), kPieceSeparator.begin(), kPieceSeparator.end());
    joined.insert(joined.end(), replays[i].begin(), replays[i].end());
  }
  return joined;
}

std::string damagedMessage(std::string_view replayPath) {
  return "Sorry! The replay " + std::string(replayPath) + " is damaged and cannot be read.\n";
}

std::string checkClassification(const EventStore& store) {
  const std::vector<ResultRow> rows = rankClassification(store);
  std::array<int, kSlotCount> rowsOfSlot{};
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].Position != static_cast<int>(i) + 1) return "classification positions have gaps";
    ++rowsOfSlot[rows[i].Slot];
  }
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (rowsOfSlot[slot] != (store.RaceCumTime[slot][0] > 0 ? 1 : 0)) {
      return "slot " + std::to_string(slot) + " stands on " + std::to_string(rowsOfSlot[slot]) +
             " rows of the classification";
    }
  }
  size_t row = 0;
  for (const ResultRow& result : rankResult(store)) {
    if (result.Status != ResultStatus::kFinished) break;
    if (row >= rows.size() || rows[row++] != result) {
      return "the classification does not open with the RESULT's finished rows";
    }
  }
  return {};
}

std::string checkDefinedEnd(const RunResult& result) {
  const std::string_view console = result.Console;
  const bool damaged = console.find(" is damaged and cannot be read.\n") != std::string_view::npos;
  const bool endsDamaged = damaged &&
                           endsWith(console.substr(0, console.size() - kPause.size()),
                                    " is damaged and cannot be read.\n") &&
                           endsWith(console, kPause);
  const bool reachedTable = console.find("BESTE RUNDEN TABELLE") != std::string_view::npos;

  if (result.ExitCode == 1) {
    if (endsDamaged) return {};
    if (damaged) return "the damaged-replay message is not the end of the run";
    if (endsWith(console, "Datei wrong!!!")) return {};
    if (endsWith(console, std::string("At the end of the path it must be a \"\\\"!\n") +
                              std::string(kPause))) {
      return {};
    }
    if (reachedTable && console.find("Sorry! The html-file ") != std::string_view::npos) return {};
    return "exit code 1 without a message that ends a run with 1";
  }
  if (result.ExitCode == 0) {
    if (damaged) return "the damaged-replay message with exit code 0";
    if (reachedTable && result.ReportWritten) {
      return result.Store != nullptr ? checkClassification(*result.Store) : std::string();
    }
    if (endsWith(console, std::string("Datei myname.ini existiert nicht") + std::string(kPause))) {
      return {};
    }
    if (endsWith(console, std::string("please use Skarrow!\n") + std::string(kPause))) return {};
    return "exit code 0 without a report and without a message that ends a run with 0";
  }
  return "exit code " + std::to_string(result.ExitCode);
}

}  // namespace vorlind::harness
