#include "run/run_driver.h"

#include <fstream>
#include <memory>
#include <string>
#include <system_error>

#include "platform/file_names.h"
#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/grid_reader.h"
#include "replay/replay_format.h"
#include "report/report_writer.h"
#include "run/config_files.h"
#include "run/console_table.h"

namespace vorlind {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr size_t kMaxTypedName = 39;
constexpr size_t kMaxReportBase = 26;

const char* const kGridLabels[kGridCount] = {"GridA ", "GridB ", "GridC ", "GridD ", "GridE "};

// The console lines of a grid's reading.
class ConsoleGridListener final : public GridListener {
 public:
  ConsoleGridListener(const EventStore& store, std::ostream& out) : store_(store), out_(out) {}

  void entryNameRead(std::string_view lastName) override { out_ << lastName << std::endl; }
  void entryCarRead(int32_t car, int32_t entryNumber) override {
    out_ << "Auto=" << car << "  Welch=" << entryNumber << std::endl;
  }
  void entryWordRead(int32_t word) override { out_ << "Wert=" << word << std::endl; }
  void gridStartTimeRead(int32_t startTime) override { printGridStartTime(out_, startTime); }
  void trackSearchStarted() override {
    out_ << "One moment please. The tool is searching for track length." << std::endl;
  }
  void trackLengthFound(int32_t trackLengthRaw) override {
    out_ << "track length=" << trackLengthRaw / 2 << "mm" << std::endl;
  }
  // The first letter of the first name and the whole 16-byte last name field, its zero bytes
  // included, as the classic program wrote them.
  void driverMeasured(int slot) override {
    out_ << "\nWait a moment, please... The tool is looking for sector times\nand max.speed of ";
    out_.put(store_.SlotFirstName[slot].Chars[0]);
    out_ << '.';
    out_.write(store_.SlotLastName[slot].Chars.data(), replay_format::kNameFieldWidth);
    out_.flush();
  }

 private:
  const EventStore& store_;
  std::ostream& out_;
};

std::string readTypedName(std::istream& in) {
  std::string word;
  if (!(in >> word)) word.clear();
  if (word.size() > kMaxTypedName) word.resize(kMaxTypedName);
  return word;
}

// The classic program opened its files by these bytes: on Windows, names in the ANSI code page.
std::filesystem::path resolve(const std::filesystem::path& workDir, const std::string& path) {
  const std::filesystem::path native = pathFromAnsi(nativePath(path));
  return native.is_absolute() ? native : workDir / native;
}

// A replay that could not be read to its end: damaged, or changed while it was read.
int reportUnreadable(Console& console, const std::string& replayPath, const char* why) {
  console.Out << "Sorry! The replay " << replayPath << ' ' << why << std::endl;
  pauseConsole(console);
  return kExitFailure;
}

}  // namespace

void printGridStartTime(std::ostream& out, int32_t startTime) {
  const int32_t ms = startTime - 1000 * (startTime / 1000);
  out << "Zeit in Startaufstellung dieses Grids:" << startTime / 1000 << '.';
  if (ms < 100) out << '0';
  if (ms < 10) out << '0';
  out << ms << 's' << std::endl;
}

bool writeReportFile(const EventStore& store, const std::filesystem::path& target,
                     std::span<const Penalty> penalties) {
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  {
    std::ofstream file(temporary);
    if (!file) return false;
    writeReport(store, file, penalties);
    file.close();
    if (!file) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (!error) return true;
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  return false;
}

int runVorlind(Console& console, const std::filesystem::path& workDir) {
  auto memory = std::make_unique<RunMemory>();
  return runVorlind(console, workDir, *memory);
}

int runVorlind(Console& console, const std::filesystem::path& workDir, RunMemory& memory) {
  std::ostream& out = console.Out;
  out << "Tip: You can mark your datas especially "
      << "if you edit the myname.txt. Change the" << std::endl;
  out << "drivername in this file to your name and "
      << "you should see yellow lines in the html" << std::endl;

  EventStore& store = memory.Store;
  clearEventStore(store);
  if (!readMyName(workDir, store)) {
    out << "Datei myname.ini existiert nicht";
    pauseConsole(console);
    return kExitOk;
  }
  if (!readSimDir(workDir, store)) {
    out << "Datei wrong!!!" << std::flush;
    return kExitFailure;
  }

  ConsoleGridListener listener(store, out);
  int slotOffset = 0;
  for (int grid = 1; grid <= kGridCount; ++grid) {
    const char* label = kGridLabels[grid - 1];
    out << std::endl << std::endl;
    out << "Please put in the name of the " << label << "replay-file (without .rpy)!" << std::endl;
    out << "If no " << label << "exist put in number 0!" << std::endl;

    const std::string typed = readTypedName(console.In);
    const std::string replayPath = std::string(store.SimDir.view()) + typed + ".rpy";
    if (grid == 1) {
      store.ReportBaseName.assign(std::string_view(typed).substr(0, kMaxReportBase));
      store.ReportBaseName.append("All");
    }

    std::unique_ptr<FileByteSource> replay =
        FileByteSource::open(resolve(workDir, replayPath), &memory.Blocks);
    if (!replay) {
      if (grid > 1) break;
      out << "The tool find not the replay." << std::endl;
      out << "Have you edit the path in Skarrow.ini to your halvane directory?" << std::endl;
      out << "At the end of the path it must be a \"\\\"!" << std::endl;
      pauseConsole(console);
      return kExitFailure;
    }
    switch (memory.Reader.read(*replay, store, grid, slotOffset, listener).Outcome) {
      case GridOutcome::kDamaged:
        return reportUnreadable(console, replayPath, "is damaged and cannot be read.");
      case GridOutcome::kChanged:
        return reportUnreadable(console, replayPath, "changed while it was read.");
      case GridOutcome::kPlayerReplay:
        out << "Sorry! Vorlind is made for Server Replays only." << std::endl;
        out << "If you would see the datas from ONE replay only" << std::endl;
        out << "please use Skarrow!" << std::endl;
        pauseConsole(console);
        return kExitOk;
      case GridOutcome::kCounted:
        slotOffset += kSlotsPerGrid;
        break;
      case GridOutcome::kNotCounted:
        break;
    }
  }

  out << "\n\n             BESTE RUNDEN TABELLE\n\n" << std::flush;
  runConsoleTable(console, store);

  const std::string name = reportFileName(store);
  if (!writeReportFile(store, workDir / pathFromAnsi(name))) {
    out << "Sorry! The html-file " << name << " could not be written." << std::endl;
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace vorlind
