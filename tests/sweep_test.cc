// Damaged input through the whole program, in-process: every prefix of a small replay, values
// around the limits of the fields that decide whether a replay is damaged, and odd configuration
// files. Each run must end within seconds in a defined way, and as the place of the damage says.
// VORLIND_SWEEP=full (the asan preset) cuts at every byte; otherwise the sweep stays light.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "replay/replay_format.h"
#include "small_events.h"
#include "test_support.h"

namespace vorlind::harness {
namespace {

using testing::Expect;
using testing::expectDamaged;
using testing::expectEnd;
using testing::expectReport;
using testing::Sweep;

namespace fmt = replay_format;

// The event that the sweeps damage: the two grids of the 36 fps scenario in small form.
const SmallEvent& baseEvent() {
  static const SmallEvent event = [] {
    SmallEvent built;
    if (!smallScenario("36fps", &built)) built.Replays.clear();
    return built;
  }();
  return event;
}

// The event of `grids` replays, the two of the scenario taken in turn, so that five grids
// reach the last driver slots.
EventFiles baseFiles(size_t grids = 2) {
  EventFiles files;
  files.MyName = baseEvent().MyName;
  for (size_t g = 0; g < grids; ++g) files.Replays.push_back(baseEvent().Replays[g % 2].Bytes);
  files.Answers = answersFor(files.Replays.size(), {2, 0});
  return files;
}

// Cut points: every byte up to a little behind the start of the frame stream, then a stride
// through the stream that gives about `streamCuts` more, and the points around the end guards
// of the frame stream walks, counted from the full file's end.
std::vector<size_t> cutPoints(const SmallReplay& replay, bool full) {
  const size_t size = replay.Bytes.size();
  const size_t denseEnd = std::min(size, static_cast<size_t>(replay.StreamStart) + 256);
  const size_t streamCuts = full ? 800 : 40;
  std::vector<size_t> cuts;
  for (size_t cut = 0; cut < denseEnd; cut += full ? 1 : 11) cuts.push_back(cut);
  const size_t stride = std::max<size_t>(1, (size - denseEnd) / streamCuts);
  for (size_t cut = denseEnd; cut < size; cut += stride) cuts.push_back(cut);
  for (size_t back : {10001, 10000, 9999, 1201, 1200, 1199, 1, 0}) {
    if (back <= size && size - back >= denseEnd) cuts.push_back(size - back);
  }
  return cuts;
}

// Every prefix of the first replay, and of the second one (read on top of the first) more
// thinly: a cut before the frame stream begins is damage, a cut inside it still gives a report.
TEST(Sweep, EveryPrefix) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  const char* mode = std::getenv("VORLIND_SWEEP");
  Sweep sweep("sweep-prefix");
  for (size_t which = 0; which < 2; ++which) {
    const SmallReplay& replay = baseEvent().Replays[which];
    ASSERT_GT(replay.StreamStart, fmt::kEntryTableOffset);
    const std::vector<size_t> cuts =
        cutPoints(replay, mode != nullptr && std::string(mode) == "full");
    for (size_t i = 0; i < cuts.size(); i += which == 0 ? 1 : 3) {
      EventFiles files = baseFiles();
      files.Replays[which].resize(cuts[i]);
      const bool beforeStream = static_cast<int64_t>(cuts[i]) < replay.StreamStart;
      sweep.run("prefix of " + std::to_string(cuts[i]) + " bytes of " + replayName(which), files,
                beforeStream ? expectDamaged(which) : Expect(expectReport));
    }
  }
  sweep.finish();
}

int32_t wordAt(const std::vector<uint8_t>& bytes, size_t offset) {
  uint32_t word = 0;
  for (size_t b = 0; b < 4; ++b) word |= static_cast<uint32_t>(bytes[offset + b]) << (8 * b);
  return static_cast<int32_t>(word);
}

// The 32-bit fields whose value alone decides whether a replay is damaged (entry numbers and
// block lengths), found by walking the layout, get values on both sides of their limits, in
// grid A of two and in grid E of five.
TEST(Sweep, BoundaryValuesInTheDecidingFields) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  const SmallReplay& replay = baseEvent().Replays[0];
  const std::vector<uint8_t>& bytes = replay.Bytes;
  struct Change {
    size_t Offset;
    int32_t Value;
    bool Damaged;
  };
  std::vector<Change> changes;
  auto entryNumberAt = [&](size_t offset) {
    for (int32_t value : {-1, 0, 19, 20, 21, 63, INT32_MAX, INT32_MIN}) {
      changes.push_back({offset, value, value < 0 || value >= fmt::kMaxEntries});
    }
  };
  for (int i = 0; i < replay.Drivers; ++i) {
    entryNumberAt(fmt::kEntryTableOffset + fmt::kEntrySize * i + fmt::kEntryNumberOffset);
  }
  size_t at = fmt::kEntryTableOffset + fmt::kEntrySize * static_cast<size_t>(replay.Drivers);
  int practiceBlocks = 0;
  for (; wordAt(bytes, at) == fmt::kPracticeTag; ++practiceBlocks) {
    // More than 500 lap records in a practice block is damage.
    for (int32_t value : {2008, 2011, 4096, INT32_MAX}) changes.push_back({at + 8, value, true});
    entryNumberAt(at + 12);
    at += 12 + 4 * static_cast<size_t>(wordAt(bytes, at + 8) / 4);
  }
  ASSERT_GT(practiceBlocks, 0);
  ASSERT_EQ(wordAt(bytes, at), fmt::kRaceTag);
  at += 4 + fmt::kRaceUnreadAfterTag;
  int raceBlocks = 0;
  for (; raceBlocks < fmt::kMaxRaceBlocks && wordAt(bytes, at) <= fmt::kMaxRaceBlockLength;
       ++raceBlocks) {
    // A length above 2000 ends the race section; the frame stream begins behind it.
    for (int32_t value : {2001, 65536, INT32_MAX}) changes.push_back({at, value, false});
    entryNumberAt(at + 4);
    at += 8 + 4 * static_cast<size_t>(fmt::lapRecordCount(wordAt(bytes, at))) +
          fmt::kRaceBlockTrailer;
  }
  ASSERT_EQ(raceBlocks, replay.Drivers);

  Sweep sweep("sweep-fields");
  for (const auto& [grids, which] : {std::pair<size_t, size_t>{2, 0}, {kGridCount, 4}}) {
    for (const Change& change : changes) {
      EventFiles files = baseFiles(grids);
      for (size_t b = 0; b < 4; ++b) {
        files.Replays[which][change.Offset + b] =
            static_cast<uint8_t>(static_cast<uint32_t>(change.Value) >> (8 * b));
      }
      sweep.run("value " + std::to_string(change.Value) + " at " + std::to_string(change.Offset) +
                    " of " + replayName(which),
                files, change.Damaged ? expectDamaged(which) : Expect(expectReport));
    }
  }
  sweep.finish();
}

std::string junk(size_t size, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

// Configuration files that are huge or binary (missing ones are conformance cases), and a
// directory where a replay should be: the whole run must cope with what they hold.
TEST(Sweep, OddFiles) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  const std::string huge = std::string(3 << 20, 'x') + " " + std::string(1 << 20, 'y');
  struct Case {
    std::string Label;
    std::function<void(EventFiles&)> Change;
    Expect Check;
  };
  const Case cases[] = {
      {"huge myname.ini", [&](EventFiles& f) { f.MyName = huge; }, expectReport},
      {"binary myname.ini", [](EventFiles& f) { f.MyName = junk(7, 12) + " " + junk(9, 13); },
       expectReport},
      {"huge behind Skarrow.ini's first line",
       [](EventFiles& f) { f.Skarrow = "replays\\\r\n" + std::string(4 << 20, 'q'); },
       expectReport},
      {"binary Skarrow.ini", [](EventFiles& f) { f.Skarrow = junk(4096, 22); },
       expectEnd(1, "The tool find not the replay.\n")},
      {"a directory named like the second replay",
       [](EventFiles& f) {
         f.Replays.resize(1);
         f.Directories = {"replays/g2.rpy"};
         f.Answers = answersFor(2, {0});
       },
       {}},
  };
  Sweep sweep("sweep-odd");
  for (const Case& c : cases) {
    EventFiles files = baseFiles();
    c.Change(files);
    sweep.run(c.Label, files, c.Check);
  }
  sweep.finish();
}

}  // namespace
}  // namespace vorlind::harness
