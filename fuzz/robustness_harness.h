// Drives the program's replay reading on arbitrary bytes, for the fuzz targets, the sweep test
// and the regression inputs alike: one replay held in memory through the grid reader, or a
// whole event run in-process in a scratch working directory. It also states what a defined end
// of a run looks like, so that every caller judges a run by the same rules.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "replay/event_store.h"
#include "replay/grid_reader.h"

namespace vorlind::harness {

// Tells every event of a grid's reading as a line of `Log`, so that two readings can be compared.
class RecordingListener final : public GridListener {
 public:
  void entryNameRead(std::string_view lastName) override;
  void entryCarRead(int32_t car, int32_t entryNumber) override;
  void entryWordRead(int32_t word) override;
  void gridStartTimeRead(int32_t startTime) override;
  void trackSearchStarted() override;
  void trackLengthFound(int32_t trackLengthRaw) override;
  void driverMeasured(int slot) override;
  std::string Log;
};

// Reads `bytes` as the replay of grid `gridNumber` twice, with and without the chunks the track
// length scan keeps for the sector search, and says where the two readings differ (events,
// track length, split times, speeds); empty when they agree.
std::string compareKeptChunks(std::span<const uint8_t> bytes, int gridNumber);

// Checks what must hold after any grid reading: a replay that was read has 1 to 20 entries, and
// the track length stays within the 26 bits of a track position. Empty when it holds.
std::string checkGridReading(GridOutcome outcome, const EventStore& store);

// Reads a replay input of the replay fuzz target (see below) into `store`, cleared first (so it
// must be value-initialised or set up by initEventStore), and checks the reading. Empty when
// fine; `outcome` receives how far the reading came.
std::string runReplayInput(std::span<const uint8_t> bytes, EventStore& store,
                           GridOutcome* outcome = nullptr);

// Splits `bytes` at each occurrence of `separator` into at most `maxPieces` pieces; the last
// piece keeps any further separators.
std::vector<std::span<const uint8_t>> cutPieces(std::span<const uint8_t> bytes,
                                                std::string_view separator, size_t maxPieces);

// A working directory for whole runs, created afresh under /dev/shm when that is usable (else
// under the system's temporary directory) and removed with the object.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view label = "test");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The files of one run. A configuration text that is absent is not written.
struct EventFiles {
  bool HasMyName = true;
  std::string MyName;
  bool HasSkarrow = true;
  std::string Skarrow = "replays\\";
  // Written as replays/g1.rpy, replays/g2.rpy, ...
  std::vector<std::vector<uint8_t>> Replays;
  std::string Answers;
  // Directories made inside the run directory, relative to it (a directory where a file should
  // be, for instance).
  std::vector<std::string> Directories;
};

// The name under which replay `index` (0-based) is written and typed.
std::string replayName(size_t index);

// Answers that type every replay's name, then "0" when fewer than five, then `menu`.
std::string answersFor(size_t replayCount, const std::vector<int>& menu);

struct RunResult {
  int ExitCode = -1;
  std::string Console;
  bool ReportWritten = false;         // an .html file lies in the directory after the run
  const EventStore* Store = nullptr;  // the run's store, until the next run
};

// Makes `dir` hold the files and nothing else (what an earlier run left is removed, files are
// overwritten in place) and runs the whole program there in-process with the answers on a
// non-interactive console. All runs share one event store and one set of file blocks.
RunResult runEvent(const std::filesystem::path& dir, const EventFiles& files);

// The console line of a damaged replay, as the run prints it for the replay path as built from
// Skarrow.ini and the typed name (for example replays\g1.rpy).
std::string damagedMessage(std::string_view replayPath);

// The conventions of the fuzz inputs. A replay input is one replay; its first byte, which the
// program never reads, picks the grid it is read as (byte % 5 + 1). An event input holds up to
// three replays separated by kPieceSeparator; the first byte of the first one picks the menu
// answers: a chart of slot (byte & 0x7F), then 0, or -1 when bit 7 is set.
inline constexpr std::string_view kPieceSeparator = "\nRPYCUT\n";
inline constexpr size_t kMaxEventReplays = 3;
int gridForReplayInput(std::span<const uint8_t> bytes);
EventFiles eventForInput(std::span<const uint8_t> bytes, const std::string& myName);
std::vector<uint8_t> joinEventInput(const std::vector<std::vector<uint8_t>>& replays);

// Checks the complete classification of an event: every slot with a race crossing stands on
// exactly one row, the positions run from 1 without gaps, and it opens with the finished rows of
// the RESULT table in their order. Empty when it holds.
std::string checkClassification(const EventStore& store);

// Checks that a run ended in a defined way: exit code 0 or 1; exit code 1 exactly when the
// console ends with a damaged-replay message and its pause, or with one of the other exits of
// code 1; exit code 0 only after the report has been written or after the messages that end a
// run with 0 before it; and the classification of a run that wrote its report. Empty when the
// run is fine, else what is wrong.
std::string checkDefinedEnd(const RunResult& result);

}  // namespace vorlind::harness
