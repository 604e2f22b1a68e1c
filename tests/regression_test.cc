// Inputs kept under tests/regressions (minimised fuzz findings, hand-built replays at the
// readers' limits), run as their fuzz target runs them and as whole in-process runs: each must
// end in a defined way within seconds, damaged or read as its name (replay-damaged-*,
// replay-read-*, event-damaged-*, event-read-*) states.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "replay/event_store.h"
#include "small_events.h"
#include "test_support.h"

namespace vorlind::harness {
namespace {

namespace fs = std::filesystem;
using testing::Sweep;

std::vector<fs::path> inputsNamed(const std::string& prefix) {
  std::vector<fs::path> inputs;
  const fs::path dir = fs::path(VORLIND_SOURCE_DIR) / "tests" / "regressions";
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().starts_with(prefix)) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  EXPECT_FALSE(inputs.empty()) << prefix;
  return inputs;
}

std::vector<uint8_t> readBytes(const fs::path& file) {
  const std::string bytes = testing::readFile(file);
  return {bytes.begin(), bytes.end()};
}

// Each replay as the fuzz target reads it, then as the first grid of an event and as the second
// behind an intact one.
TEST(Regressions, ReplaysGiveTheOutcomeTheirNamesState) {
  SmallEvent intact;
  ASSERT_TRUE(smallScenario("type15", &intact));
  auto store = std::make_unique<EventStore>();
  Sweep sweep("regression-replay");
  for (const auto& [prefix, damaged] :
       {std::pair{"replay-damaged-", true}, {"replay-read-", false}}) {
    for (const fs::path& input : inputsNamed(prefix)) {
      const std::vector<uint8_t> bytes = readBytes(input);
      const std::string name = input.filename().string();
      GridOutcome outcome = GridOutcome::kDamaged;
      EXPECT_EQ(runReplayInput(bytes, *store, &outcome), "") << name;
      EXPECT_EQ(outcome == GridOutcome::kDamaged, damaged) << name;
      EXPECT_EQ(compareKeptChunks(bytes, gridForReplayInput(bytes)), "") << name;
      EventFiles files;
      files.MyName = intact.MyName;
      files.Replays = {bytes};
      files.Answers = answersFor(1, {1, 0});
      sweep.run(name + " as the first grid", files,
                damaged ? testing::expectDamaged(0) : testing::Expect(testing::expectReport));
      files.Replays = {intact.Replays[0].Bytes, bytes};
      files.Answers = answersFor(2, {-1});
      sweep.run(name + " as the second grid", files,
                damaged ? testing::expectDamaged(1) : testing::Expect(testing::expectReport));
    }
  }
  sweep.finish();
}

TEST(Regressions, EventsGiveTheOutcomeTheirNamesState) {
  Sweep sweep("regression-event");
  for (const auto& [prefix, damaged] :
       {std::pair{"event-damaged-", true}, {"event-read-", false}}) {
    for (const fs::path& input : inputsNamed(prefix)) {
      sweep.run(input.filename().string(), eventForInput(readBytes(input), scenarioMyName()),
                damaged ? testing::expectEnd(1, " is damaged and cannot be read.\n")
                        : testing::Expect(testing::expectReport));
    }
  }
  sweep.finish();
}

}  // namespace
}  // namespace vorlind::harness
