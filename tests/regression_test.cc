// Inputs kept under tests/regressions: minimised fuzz findings and hand-built replays at the
// readers' limits. Each is run as the fuzz target for its kind runs it and through whole
// in-process runs, must end in a defined way within a few seconds, and must give the outcome its
// name states. replay-damaged-* and replay-read-* are single replays that must be refused as
// damaged or read; event-damaged-* and event-read-* are event inputs (replays joined by the
// fuzzers' separator) that must end with the damaged-replay message or with a report.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "replay/event_store.h"
#include "robustness_harness.h"
#include "small_events.h"

namespace vorlind::harness {
namespace {

namespace fs = std::filesystem;

constexpr double kCaseSeconds = 5.0;

std::vector<fs::path> inputsNamed(const std::string& prefix) {
  std::vector<fs::path> inputs;
  const fs::path dir = fs::path(VORLIND_SOURCE_DIR) / "tests" / "regressions";
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().starts_with(prefix)) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

std::vector<uint8_t> readBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double secondsSince(std::chrono::steady_clock::time_point begin) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

RunResult definedRun(const fs::path& dir, const EventFiles& files, const std::string& label) {
  const auto begin = std::chrono::steady_clock::now();
  RunResult result = runEvent(dir, files);
  EXPECT_LT(secondsSince(begin), kCaseSeconds) << label;
  EXPECT_EQ(checkDefinedEnd(result), "") << label << "\nconsole:\n" << result.Console;
  return result;
}

void expectDamagedRun(const RunResult& result, const std::string& replay,
                      const std::string& label) {
  EXPECT_EQ(result.ExitCode, 1) << label;
  EXPECT_NE(result.Console.find(damagedMessage("replays\\" + replay + ".rpy")), std::string::npos)
      << label << "\nconsole:\n"
      << result.Console;
}

void expectReportRun(const RunResult& result, const std::string& label) {
  EXPECT_EQ(result.ExitCode, 0) << label;
  EXPECT_TRUE(result.ReportWritten) << label << "\nconsole:\n" << result.Console;
}

void checkReplayInputs(const std::string& prefix, bool damaged) {
  const std::vector<fs::path> inputs = inputsNamed(prefix);
  ASSERT_FALSE(inputs.empty()) << prefix;
  SmallEvent intact;
  ASSERT_TRUE(smallScenario("type15", &intact));
  auto store = std::make_unique<EventStore>();
  ScratchDir dir("regression-replay");
  for (const fs::path& input : inputs) {
    const std::vector<uint8_t> bytes = readBytes(input);
    const std::string name = input.filename().string();
    const auto begin = std::chrono::steady_clock::now();
    GridOutcome outcome = GridOutcome::kDamaged;
    EXPECT_EQ(runReplayInput(bytes, *store, &outcome), "") << name;
    EXPECT_LT(secondsSince(begin), kCaseSeconds) << name;
    EXPECT_EQ(outcome == GridOutcome::kDamaged, damaged) << name;
    EXPECT_EQ(compareKeptChunks(bytes, gridForReplayInput(bytes)), "") << name;

    EventFiles files;
    files.MyName = intact.MyName;
    files.Replays = {bytes};
    files.Answers = answersFor(1, {1, 0});
    RunResult first = definedRun(dir.path(), files, name + " as the first grid");
    files.Replays = {intact.Replays[0].Bytes, bytes};
    files.Answers = answersFor(2, {-1});
    RunResult second = definedRun(dir.path(), files, name + " as the second grid");
    if (damaged) {
      expectDamagedRun(first, replayName(0), name + " as the first grid");
      expectDamagedRun(second, replayName(1), name + " as the second grid");
    } else {
      expectReportRun(first, name + " as the first grid");
      expectReportRun(second, name + " as the second grid");
    }
  }
}

TEST(Regressions, DamagedReplaysAreRefused) { checkReplayInputs("replay-damaged-", true); }

TEST(Regressions, ReplaysAtTheLimitsAreRead) { checkReplayInputs("replay-read-", false); }

void checkEventInputs(const std::string& prefix, bool damaged) {
  const std::vector<fs::path> inputs = inputsNamed(prefix);
  ASSERT_FALSE(inputs.empty()) << prefix;
  ScratchDir dir("regression-event");
  for (const fs::path& input : inputs) {
    const std::string name = input.filename().string();
    const RunResult result =
        definedRun(dir.path(), eventForInput(readBytes(input), scenarioMyName()), name);
    if (damaged) {
      EXPECT_EQ(result.ExitCode, 1) << name;
      EXPECT_NE(result.Console.find(" is damaged and cannot be read.\n"), std::string::npos)
          << name;
    } else {
      expectReportRun(result, name);
    }
  }
}

TEST(Regressions, DamagedEventsEndWithTheMessage) { checkEventInputs("event-damaged-", true); }

TEST(Regressions, EventsAtTheLimitsAreRead) { checkEventInputs("event-read-", false); }

}  // namespace
}  // namespace vorlind::harness
