// Sweeps of damaged input through the whole program, run in-process: every prefix of a small
// generated replay, thousands of single-byte and 4-byte-word mutations at random positions, and
// odd configuration files and replay files. Each run must end within a few seconds with exit
// code 0 or 1 in a defined way; where the outcome follows from where the damage lies (a cut
// before or after the frame stream begins, a mutation inside the frame stream), it is checked
// exactly. VORLIND_SWEEP=full (set by the asan test preset) runs the full sweep; otherwise a
// light one keeps the default test run fast.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "robustness_harness.h"
#include "small_events.h"

namespace vorlind::harness {
namespace {

constexpr double kCaseSeconds = 5.0;
constexpr size_t kMaxReported = 8;

bool fullSweep() {
  const char* mode = std::getenv("VORLIND_SWEEP");
  return mode != nullptr && std::string(mode) == "full";
}

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

// Which replay a mutation case damages: grid A or B of two, or grid E of five.
struct MutationTarget {
  size_t Grids;
  size_t Which;
};
MutationTarget mutationTarget(int caseNumber) {
  switch (caseNumber % 3) {
    case 0:
      return {2, 0};
    case 1:
      return {2, 1};
    default:
      return {kGridCount, kGridCount - 1};
  }
}

// Runs the cases of one sweep, collects what went wrong and how many cases ran.
class Sweep {
 public:
  explicit Sweep(std::string_view label) : dir_(label) {}

  // Runs `files`; `expect` adds a check of its own to the defined-end check (empty when fine).
  template <typename Expect>
  void run(const std::string& name, const EventFiles& files, Expect&& expect) {
    ++cases_;
    const auto begin = std::chrono::steady_clock::now();
    const RunResult result = runEvent(dir_.path(), files);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (result.ExitCode == 1) ++damagedRuns_;
    if (result.ReportWritten) ++reportRuns_;
    std::string problem = checkDefinedEnd(result);
    if (problem.empty()) problem = expect(result);
    if (problem.empty() && seconds > kCaseSeconds) {
      problem = "took " + std::to_string(seconds) + " s";
    }
    if (problem.empty()) return;
    if (failures_.size() < kMaxReported) {
      const std::string tail = result.Console.substr(result.Console.size() -
                                                     std::min<size_t>(300, result.Console.size()));
      failures_.push_back(name + ": " + problem + " (exit code " + std::to_string(result.ExitCode) +
                          ")\n  console ends: " + tail);
    }
    ++failureCount_;
  }

  void run(const std::string& name, const EventFiles& files) {
    run(name, files, [](const RunResult&) { return std::string(); });
  }

  int cases() const { return cases_; }
  // Runs that ended with exit code 1, and runs that wrote the report.
  int damagedRuns() const { return damagedRuns_; }
  int reportRuns() const { return reportRuns_; }

  std::string summary() const {
    std::ostringstream text;
    text << failureCount_ << " of " << cases_ << " cases failed";
    for (const std::string& failure : failures_) text << "\n" << failure;
    return text.str();
  }
  bool ok() const { return failureCount_ == 0; }

 private:
  ScratchDir dir_;
  int cases_ = 0;
  int damagedRuns_ = 0;
  int reportRuns_ = 0;
  int failureCount_ = 0;
  std::vector<std::string> failures_;
};

std::string expectDamaged(const RunResult& result, size_t replayIndex) {
  const std::string message = damagedMessage("replays\\" + replayName(replayIndex) + ".rpy");
  if (result.ExitCode != 1 || result.Console.find(message) == std::string::npos) {
    return "expected the damaged-replay message of " + replayName(replayIndex);
  }
  return {};
}

std::string expectReport(const RunResult& result) {
  if (result.ExitCode != 0 || !result.ReportWritten) return "expected a report and exit code 0";
  return {};
}

// Cut points: every byte up to a little behind the start of the frame stream, then a stride
// through the stream that gives about `streamCuts` more, and the whole file.
std::vector<size_t> cutPoints(const SmallReplay& replay, bool full) {
  const size_t size = replay.Bytes.size();
  const size_t denseEnd = std::min(size, static_cast<size_t>(replay.StreamStart) + 256);
  const size_t denseStride = full ? 1 : 11;
  const size_t streamCuts = full ? 800 : 40;
  std::vector<size_t> cuts;
  for (size_t cut = 0; cut < denseEnd; cut += denseStride) cuts.push_back(cut);
  const size_t stride = std::max<size_t>(1, (size - denseEnd) / streamCuts);
  for (size_t cut = denseEnd; cut < size; cut += stride) cuts.push_back(cut);
  // Around the end guards of the frame stream walks, counted from the full file's end.
  for (size_t back : {10001, 10000, 9999, 1201, 1200, 1199, 1, 0}) {
    if (back <= size && size - back >= denseEnd) cuts.push_back(size - back);
  }
  return cuts;
}

// Every prefix of the first replay, and of the second one (read on top of the first) more
// thinly: a cut before the frame stream begins is damage, a cut inside it still gives a report.
TEST(Sweep, EveryPrefix) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  Sweep sweep("sweep-prefix");
  for (size_t which = 0; which < 2; ++which) {
    const SmallReplay& replay = baseEvent().Replays[which];
    ASSERT_GT(replay.StreamStart, 320);
    const std::vector<size_t> cuts = cutPoints(replay, fullSweep());
    for (size_t i = 0; i < cuts.size(); i += which == 0 ? 1 : 3) {
      EventFiles files = baseFiles();
      files.Replays[which].resize(cuts[i]);
      const bool beforeStream = static_cast<int64_t>(cuts[i]) < replay.StreamStart;
      sweep.run("prefix of " + std::to_string(cuts[i]) + " bytes of " + replayName(which), files,
                [&](const RunResult& r) {
                  return beforeStream ? expectDamaged(r, which) : expectReport(r);
                });
    }
  }
  RecordProperty("cases", sweep.cases());
  EXPECT_TRUE(sweep.ok()) << sweep.summary();
}

// A position for a mutation: half of them in the header, entry table and lap blocks, where a
// single byte decides most, half anywhere in the file. A third of the cases damage the fifth
// grid of a five-grid event, whose slots end the event store's arrays.
size_t mutationPosition(std::mt19937_64& rng, const SmallReplay& replay, size_t width) {
  const size_t size = replay.Bytes.size();
  const size_t front = std::min(size, static_cast<size_t>(replay.StreamStart) + 64);
  const size_t range = (rng() % 2 == 0 ? front : size) - width + 1;
  return static_cast<size_t>(rng() % range);
}

// A mutation that lies wholly inside the frame stream never makes the replay damaged.
std::string expectForMutation(const RunResult& result, const SmallReplay& replay, size_t position) {
  if (static_cast<int64_t>(position) >= replay.StreamStart) return expectReport(result);
  return {};
}

// The check of a run whose replay `which` was mutated at `position`, and then that the sector
// search gives the same on that replay with and without the chunks the scan kept.
std::string expectForMutatedReplay(const RunResult& result, const SmallReplay& replay,
                                   size_t position, const EventFiles& files, size_t which) {
  const std::string problem = expectForMutation(result, replay, position);
  if (!problem.empty()) return problem;
  return compareKeptChunks(files.Replays[which], static_cast<int>(which) + 1);
}

// Random mutations of `width` bytes (1 or 4), `count` of them (more under the full sweep);
// `mutate` writes one at a position and names it.
template <typename Mutate>
void sweepMutations(const char* label, size_t width, uint64_t seed, Mutate&& mutate) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  const int count = fullSweep() ? 2000 : 150;
  std::mt19937_64 rng(seed);
  Sweep sweep(label);
  for (int i = 0; i < count; ++i) {
    const MutationTarget target = mutationTarget(i);
    const size_t which = target.Which;
    const SmallReplay& replay = baseEvent().Replays[which % 2];
    const size_t position = mutationPosition(rng, replay, width);
    EventFiles files = baseFiles(target.Grids);
    const std::string name = mutate(rng, files.Replays[which], position);
    sweep.run(name + " at " + std::to_string(position) + " of " + replayName(which), files,
              [&](const RunResult& r) {
                return expectForMutatedReplay(r, replay, position, files, which);
              });
  }
  ::testing::Test::RecordProperty("cases", sweep.cases());
  EXPECT_TRUE(sweep.ok()) << sweep.summary();
  // The mutations reach both ends: replays refused as damaged and reports written.
  EXPECT_GT(sweep.damagedRuns(), 0);
  EXPECT_GT(sweep.reportRuns(), 0);
}

TEST(Sweep, SingleByteMutations) {
  sweepMutations("sweep-byte", 1, 0x5EED0001,
                 [](std::mt19937_64& rng, std::vector<uint8_t>& bytes, size_t position) {
                   const uint8_t flip = static_cast<uint8_t>(1 + rng() % 255);
                   bytes[position] ^= flip;
                   return "xor " + std::to_string(flip);
                 });
}

TEST(Sweep, WordMutations) {
  // Values that sit on the limits of the readers, the tags, and random ones.
  constexpr std::array<uint32_t, 16> kWords = {
      0x00000000, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 2000,       2001,       1,         4, 8,
      19,         20,         0x4C50524F, 0x4C505442, 0x0000FFFF, 0x00010004, 0xFFFF0000};
  sweepMutations("sweep-word", 4, 0x5EED0004,
                 [&](std::mt19937_64& rng, std::vector<uint8_t>& bytes, size_t position) {
                   const uint32_t word = rng() % 2 == 0 ? kWords[rng() % kWords.size()]
                                                        : static_cast<uint32_t>(rng());
                   for (size_t b = 0; b < 4; ++b) {
                     bytes[position + b] = static_cast<uint8_t>(word >> (8 * b));
                   }
                   return "word " + std::to_string(word);
                 });
}

// The 32-bit fields of a replay whose value alone decides whether it is damaged, found by
// walking the documented layout: the entry numbers of the entry table and of every practice
// and race block, and the lengths of the blocks.
struct LayoutFields {
  std::vector<size_t> EntryNumbers;
  std::vector<size_t> PracticeLengths;
  std::vector<size_t> RaceLengths;
};

int32_t wordAt(const std::vector<uint8_t>& bytes, size_t offset) {
  uint32_t word = 0;
  for (size_t b = 0; b < 4; ++b) word |= static_cast<uint32_t>(bytes[offset + b]) << (8 * b);
  return static_cast<int32_t>(word);
}

LayoutFields layoutFields(const SmallReplay& replay) {
  constexpr int32_t kPractice = 0x4C50524F;
  constexpr int32_t kRace = 0x4C505442;
  const std::vector<uint8_t>& bytes = replay.Bytes;
  LayoutFields fields;
  for (int i = 0; i < replay.Drivers; ++i) fields.EntryNumbers.push_back(320 + 152 * i + 124);
  size_t at = 320 + 152 * static_cast<size_t>(replay.Drivers);
  while (wordAt(bytes, at) == kPractice) {
    fields.PracticeLengths.push_back(at + 8);
    fields.EntryNumbers.push_back(at + 12);
    at += 12 + 4 * static_cast<size_t>(wordAt(bytes, at + 8) / 4);
  }
  if (wordAt(bytes, at) != kRace) return fields;
  at += 20;
  for (int block = 0; block < 20 && wordAt(bytes, at) <= 2000; ++block) {
    fields.RaceLengths.push_back(at);
    fields.EntryNumbers.push_back(at + 4);
    at += 8 + 4 * static_cast<size_t>(wordAt(bytes, at) / 4 - 1) + 8;
  }
  return fields;
}

TEST(Sweep, BoundaryValuesInTheDecidingFields) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  const SmallReplay& replay = baseEvent().Replays[0];
  const LayoutFields fields = layoutFields(replay);
  ASSERT_EQ(fields.RaceLengths.size(), static_cast<size_t>(replay.Drivers));
  ASSERT_FALSE(fields.PracticeLengths.empty());

  enum class Outcome { kReport, kDamaged };
  struct Change {
    size_t Offset;
    int32_t Value;
    Outcome Expected;
  };
  std::vector<Change> changes;
  // An entry number outside 0..19 is damage; any inside is read.
  for (size_t offset : fields.EntryNumbers) {
    for (int32_t value : {-1, 0, 19, 20, 21, 63, INT32_MAX, INT32_MIN}) {
      const bool inside = value >= 0 && value <= 19;
      changes.push_back({offset, value, inside ? Outcome::kReport : Outcome::kDamaged});
    }
  }
  // A practice block of more than 500 lap records is damage.
  for (size_t offset : fields.PracticeLengths) {
    for (int32_t value : {2008, 2011, 4096, INT32_MAX}) {
      changes.push_back({offset, value, Outcome::kDamaged});
    }
  }
  // A race length above 2000 ends the race section; the frame stream begins behind it.
  for (size_t offset : fields.RaceLengths) {
    for (int32_t value : {2001, 65536, INT32_MAX})
      changes.push_back({offset, value, Outcome::kReport});
  }

  Sweep sweep("sweep-fields");
  for (const MutationTarget target : {MutationTarget{2, 0}, MutationTarget{kGridCount, 4}}) {
    for (const Change& change : changes) {
      EventFiles files = baseFiles(target.Grids);
      for (size_t b = 0; b < 4; ++b) {
        files.Replays[target.Which][change.Offset + b] =
            static_cast<uint8_t>(static_cast<uint32_t>(change.Value) >> (8 * b));
      }
      sweep.run("value " + std::to_string(change.Value) + " at " + std::to_string(change.Offset) +
                    " of " + replayName(target.Which),
                files, [&](const RunResult& r) {
                  return change.Expected == Outcome::kDamaged ? expectDamaged(r, target.Which)
                                                              : expectReport(r);
                });
    }
  }
  RecordProperty("cases", sweep.cases());
  EXPECT_TRUE(sweep.ok()) << sweep.summary();
}

std::string junk(size_t size, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

TEST(Sweep, MyNameFiles) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  const std::string name = baseEvent().MyName;
  const std::vector<std::pair<std::string, std::string>> variants = {
      {"empty", ""},
      {"no blank", "AdaSommer"},
      {"only a blank", " "},
      {"nothing behind the blank", "Ada "},
      {"nothing before the blank", " Sommer"},
      {"no line end", name},
      {"CRLF", name + "\r\n"},
      {"LF", name + "\n"},
      {"names longer than 19", std::string(30, 'A') + " " + std::string(30, 'B')},
      {"huge", std::string(3 << 20, 'x') + " " + std::string(1 << 20, 'y')},
      {"huge without blank", std::string(4 << 20, 'z')},
      {"binary junk", junk(4096, 11)},
      {"binary junk with a blank", junk(7, 12) + " " + junk(9, 13)},
      {"zero bytes", std::string(64, '\0')},
      {"zero byte in the name", std::string("Ada\0x Som\0mer", 13)},
  };
  Sweep sweep("sweep-myname");
  for (const auto& [label, content] : variants) {
    EventFiles files = baseFiles();
    files.MyName = content;
    sweep.run("myname.ini " + label, files, expectReport);
  }
  EventFiles missing = baseFiles();
  missing.HasMyName = false;
  sweep.run("myname.ini missing", missing, [](const RunResult& r) -> std::string {
    if (r.ExitCode != 0 ||
        r.Console.find("Datei myname.ini existiert nicht") == std::string::npos) {
      return "expected the missing-myname message and exit code 0";
    }
    return {};
  });
  RecordProperty("cases", sweep.cases());
  EXPECT_TRUE(sweep.ok()) << sweep.summary();
}

std::string expectNotFound(const RunResult& result) {
  if (result.ExitCode != 1 ||
      result.Console.find("The tool find not the replay.\n") == std::string::npos) {
    return "expected the replay-not-found message and exit code 1";
  }
  return {};
}

TEST(Sweep, SkarrowFiles) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  struct Variant {
    std::string Label;
    std::string Content;
    bool Finds;  // the first line names the replay directory
  };
  const std::vector<Variant> variants = {
      {"no line end", "replays\\", true},
      {"CRLF", "replays\\\r\n", true},
      {"LF", "replays\\\n", true},
      {"further lines", "replays\\\r\nelsewhere\\\r\n" + junk(300, 21), true},
      {"huge behind the first line", "replays\\\r\n" + std::string(4 << 20, 'q'), true},
      {"forward slash", "replays/\n", true},
      {"empty", "", false},
      {"only a line end", "\r\n", false},
      {"no blank needed but no separator", "replays\r\n", false},
      {"huge first line", "replays\\" + std::string(4 << 20, 'q'), false},
      {"first line cut at 78", std::string(70, 'd') + "/replays\\\n", false},
      {"binary junk", junk(4096, 22), false},
      {"zero bytes", std::string(100, '\0'), false},
      {"lone CR", "replays\\\r", false},
  };
  Sweep sweep("sweep-skarrow");
  for (const Variant& variant : variants) {
    EventFiles files = baseFiles();
    files.Skarrow = variant.Content;
    sweep.run("Skarrow.ini " + variant.Label, files,
              variant.Finds ? std::function<std::string(const RunResult&)>(expectReport)
                            : std::function<std::string(const RunResult&)>(expectNotFound));
  }
  EventFiles missing = baseFiles();
  missing.HasSkarrow = false;
  sweep.run("Skarrow.ini missing", missing, [](const RunResult& r) -> std::string {
    if (r.ExitCode != 1 || r.Console.find("Datei wrong!!!") == std::string::npos) {
      return "expected the wrong-file message and exit code 1";
    }
    return {};
  });
  RecordProperty("cases", sweep.cases());
  EXPECT_TRUE(sweep.ok()) << sweep.summary();
}

TEST(Sweep, OddReplayFiles) {
  ASSERT_EQ(baseEvent().Replays.size(), 2u);
  Sweep sweep("sweep-odd");
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> replays = {
      {"empty", {}},
      {"one byte", {0x3C}},
      {"header only", std::vector<uint8_t>(320, 0)},
      {"zeros", std::vector<uint8_t>(64 * 1024, 0)},
      {"ones", std::vector<uint8_t>(64 * 1024, 0xFF)},
  };
  for (const auto& [label, bytes] : replays) {
    EventFiles files = baseFiles();
    files.Replays[0] = bytes;
    sweep.run("replay " + label, files);
    files = baseFiles();
    files.Replays[1] = bytes;
    sweep.run("second replay " + label, files);
  }
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    EventFiles files = baseFiles();
    const std::string bytes = junk(1000 + 997 * seed, seed);
    files.Replays[seed % 2].assign(bytes.begin(), bytes.end());
    sweep.run("random replay " + std::to_string(seed), files);
  }

  // A directory where a replay should be, at the first grid and at a later one.
  EventFiles files = baseFiles();
  files.Replays.clear();
  files.Directories = {"replays/g1.rpy"};
  files.Answers = answersFor(1, {0});
  sweep.run("directory named like the first replay", files);
  files = baseFiles();
  files.Replays.resize(1);
  files.Directories = {"replays/g2.rpy"};
  files.Answers = answersFor(2, {0});
  sweep.run("directory named like the second replay", files);
  RecordProperty("cases", sweep.cases());
  EXPECT_TRUE(sweep.ok()) << sweep.summary();
}

}  // namespace
}  // namespace vorlind::harness
