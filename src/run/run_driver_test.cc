// Whole runs in-process for what the conformance cases leave out: where the replays lie, names
// longer than their texts, the end of the answers, all five grids, and a report that cannot be
// written.
#include "run/run_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "event_writer.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

// Three cars, so that the grid is measured, on a short track.
const std::string& smallReplay() {
  static const std::string bytes = [] {
    tools::GridSpec grid;
    grid.TrackLengthMm = 40000;
    grid.StandingMs = 1000;
    grid.Drivers.resize(3);
    for (int entry = 0; entry < 3; ++entry) {
      grid.Drivers[entry].EntryNumber = entry;
      grid.Drivers[entry].RaceLaps = {{3000 + 100 * entry, 0}};
    }
    const std::vector<uint8_t> replay = tools::writeReplay(grid).Replay.Bytes;
    return std::string(replay.begin(), replay.end());
  }();
  return bytes;
}

size_t count(const std::string& text, const std::string& part) {
  size_t found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

std::set<std::string> entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

struct RunCase {
  const char* Label;
  std::string Replays;  // names in replays/, each the small grid, separated by blanks
  std::string Answers;
  std::function<void(const fs::path&)> Prepare;  // before myname.ini, Skarrow.ini, the replays
  int ExitCode;
  size_t Prompts;
  size_t Measured;     // grids whose track length was searched
  std::string Report;  // the one file the run adds, or none
  std::string Says;    // what the error message must say
};

TEST(RunDriver, RunsTheConformanceCasesLeaveOut) {
  const auto absoluteSkarrow = [](const fs::path& d) {
    testing::writeFile(d / "Skarrow.ini", (d / "replays").string() + "\\\r\n");
  };
  const auto skarrowFolder = [](const fs::path& d) { fs::create_directory(d / "Skarrow.ini"); };
  const auto temporaryFolder = [](const fs::path& d) {
    fs::create_directory(d / "gaAll.html.tmp");
  };
  const auto reportFolder = [](const fs::path& d) { fs::create_directory(d / "gaAll.html"); };
  const auto temporaryFull = [](const fs::path& d) {
    fs::create_symlink("/dev/full", d / "gaAll.html.tmp");
  };
  const std::string r26(26, 'r'), r39(39, 'r'), r45(45, 'r');
  const RunCase cases[] = {
      {"absolute Skarrow dir", "ga", "ga\n0\n0\n", absoluteSkarrow, 0, 2, 1, "gaAll.html", ""},
      {"long names cut to their texts", r39, r45 + "\n0\n0\n", {}, 0, 2, 1, r26 + "All.html", ""},
      {"answers end at grid B", "ga", "ga\n", {}, 0, 2, 1, "gaAll.html", ""},
      {"answers end at grid A", "ga", "", {}, 1, 1, 0, "", "find not the replay"},
      {"five grids", "a b c d e", "a\nb\nc\nd\ne\n-1\n", {}, 0, 5, 5, "aAllno_v.html", ""},
      {"Skarrow.ini a folder", "ga", "ga\n0\n0\n", skarrowFolder, 1, 0, 0, "", "Datei wrong!!!"},
      {"report cannot be opened", "ga", "ga\n0\n0\n", temporaryFolder, 1, 2, 1, "",
       "not be written"},
      {"report cannot be written", "ga", "ga\n0\n0\n", temporaryFull, 1, 2, 1, "",
       "not be written"},
      {"report name taken by a folder", "ga", "ga\n0\n0\n", reportFolder, 1, 2, 1, "",
       "not be written"},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.Label);
    testing::TempDir dir;
    if (c.Prepare) c.Prepare(dir.path());
    testing::writeFile(dir.path() / "myname.ini", "Bo Lind");
    if (!fs::exists(dir.path() / "Skarrow.ini")) {
      testing::writeFile(dir.path() / "Skarrow.ini", "replays\\\r\n");
    }
    std::istringstream replays(c.Replays);
    for (std::string name; replays >> name;) {
      testing::writeFile(dir.path() / "replays" / (name + ".rpy"), smallReplay());
    }
    const std::set<std::string> before = entries(dir.path());

    std::istringstream in(c.Answers);
    std::ostringstream out;
    Console console{in, out, false};
    EXPECT_EQ(runVorlind(console, dir.path()), c.ExitCode);
    EXPECT_EQ(count(out.str(), "replay-file (without .rpy)!"), c.Prompts);
    EXPECT_EQ(count(out.str(), "track length="), c.Measured);
    std::set<std::string> added;
    for (const std::string& name : entries(dir.path())) {
      if (!before.contains(name)) added.insert(name);
    }
    EXPECT_EQ(added, c.Report.empty() ? std::set<std::string>{} : std::set{c.Report});
    EXPECT_TRUE(c.Says.empty() || count(out.str(), c.Says) == 1) << c.Says;
  }
}

TEST(RunDriver, GridStartTimeHasThreeDigitsOfMilliseconds) {
  const std::pair<int32_t, const char*> cases[] = {{5007, "5.007s"},
                                                   {45, "0.045s"},
                                                   {100, "0.100s"},
                                                   {21700, "21.700s"},
                                                   {100000000, "100000.000s"}};
  for (const auto& [time, shown] : cases) {
    std::ostringstream out;
    printGridStartTime(out, time);
    EXPECT_EQ(out.str(), "Zeit in Startaufstellung dieses Grids:" + std::string(shown) + "\n");
  }
}

}  // namespace
}  // namespace vorlind
