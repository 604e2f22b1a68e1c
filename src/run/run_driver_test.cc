// Whole runs in-process for what the conformance cases leave out: where the replays lie, long
// names, the end of the answers, all five grids, and a report that cannot be written.
#include "run/run_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "event_plans.h"
#include "event_writer.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

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

TEST(RunDriver, RunsTheConformanceCasesLeaveOut) {
  const struct {
    const char* Label;
    std::string Replays;  // names in replays/, each the same grid, separated by blanks
    std::string Answers;
    std::string Prepare;  // "absolute" Skarrow.ini, a folder ("name/") or a /dev/full link
    int ExitCode;
    size_t Prompts, Measured;  // replay prompts; grids whose track length was searched
    std::string Report;        // the one file the run adds, or none
  } cases[] = {
      {"absolute Skarrow dir", "ga", "ga\n0\n0\n", "absolute", 0, 2, 1, "gaAll.html"},
      {"long names cut", std::string(39, 'r'), std::string(45, 'r') + "\n0\n0\n", "", 0, 2, 1,
       std::string(26, 'r') + "All.html"},
      {"answers end at grid B", "ga", "ga\n", "", 0, 2, 1, "gaAll.html"},
      {"answers end at grid A", "ga", "", "", 1, 1, 0, ""},
      {"five grids", "a b c d e", "a\nb\nc\nd\ne\n-1\n", "", 0, 5, 5, "aAllno_v.html"},
      {"Skarrow.ini a folder", "ga", "ga\n0\n0\n", "Skarrow.ini/", 1, 0, 0, ""},
      // The temporary report cannot be opened, cannot be written, or cannot take the name.
      {"report not opened", "ga", "ga\n0\n0\n", "gaAll.html.tmp/", 1, 2, 1, ""},
      {"report not written", "ga", "ga\n0\n0\n", "gaAll.html.tmp", 1, 2, 1, ""},
      {"report not renamed", "ga", "ga\n0\n0\n", "gaAll.html/", 1, 2, 1, ""},
  };
  // Three cars, so that the grid is measured.
  const std::vector<uint8_t> bytes =
      tools::writeReplay(tools::longEvent(1, 3, 1).Grids[0].Spec).Replay.Bytes;
  const std::string replay(bytes.begin(), bytes.end());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    testing::TempDir dir;
    const fs::path& d = dir.path();
    if (c.Prepare.ends_with('/')) fs::create_directory(d / c.Prepare);
    if (c.Prepare.ends_with(".tmp")) fs::create_symlink("/dev/full", d / c.Prepare);
    testing::writeFile(d / "myname.ini", "Bo Lind");
    if (!fs::exists(d / "Skarrow.ini")) {
      const std::string sim = c.Prepare == "absolute" ? (d / "replays").string() : "replays";
      testing::writeFile(d / "Skarrow.ini", sim + "\\\r\n");
    }
    std::istringstream replays(c.Replays);
    for (std::string name; replays >> name;) {
      testing::writeFile(d / "replays" / (name + ".rpy"), replay);
    }
    const std::set<std::string> before = entries(d);

    std::istringstream in(c.Answers);
    std::ostringstream out;
    Console console{in, out, false};
    EXPECT_EQ(runVorlind(console, d), c.ExitCode);
    EXPECT_EQ(count(out.str(), "replay-file (without .rpy)!"), c.Prompts);
    EXPECT_EQ(count(out.str(), "track length="), c.Measured);
    std::set<std::string> added = entries(d);
    for (const std::string& name : before) added.erase(name);
    EXPECT_EQ(added, c.Report.empty() ? std::set<std::string>{} : std::set{c.Report});
  }
}

TEST(RunDriver, GridStartTimeHasThreeDigitsOfMilliseconds) {
  const std::pair<int32_t, std::string> cases[] = {
      {5007, ":5.007s\n"},           {45, ":0.045s\n"}, {100, ":0.100s\n"}, {21700, ":21.700s\n"},
      {100000000, ":100000.000s\n"},
  };
  for (const auto& [time, shown] : cases) {
    std::ostringstream out;
    printGridStartTime(out, time);
    EXPECT_TRUE(out.str().ends_with(shown)) << out.str();
  }
}

}  // namespace
}  // namespace vorlind
