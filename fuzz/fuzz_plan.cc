// Fuzz target: the fuzzer's bytes describe an event rather than hold one. The first bytes set the
// event writer's parameters (grids, cars, laps, frame rates, retirements, lapped and missing cars,
// start delays, a long track, who is highlighted and the menu answers); each further five bytes
// edit one written replay. Every execution writes the event in memory and runs it through the
// whole program to the report. An event the writer made and no edit touched must be read whole.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "event_plans.h"
#include "robustness_harness.h"

namespace {

using namespace vorlind;

// Hands out the input's bytes in turn; past its end every read gives 0.
class ByteTaker {
 public:
  explicit ByteTaker(std::span<const uint8_t> data) : data_(data) {}
  bool empty() const { return next_ >= data_.size(); }
  int byte() { return empty() ? 0 : data_[next_++]; }
  int below(int count) { return byte() % count; }
  bool bit() { return byte() & 1; }
  std::span<const uint8_t> taken() const { return data_.first(std::min(next_, data_.size())); }

 private:
  std::span<const uint8_t> data_;
  size_t next_ = 0;
};

// Values that sit on the readers' limits, for edits that overwrite a 32-bit field.
constexpr int32_t kFieldValues[] = {0,    1,    -1,       2,         3,         19,
                                    20,   21,   498,      499,       500,       501,
                                    2000, 2001, 0x10004,  1 << 24,   1 << 26,   0x7FFFFFFF,
                                    36,   60,   0x280010, 0xD000800, 0xF000800, INT32_MIN};

tools::EventPlan planFrom(ByteTaker& in) {
  tools::EventPlan plan;
  plan.Seed = static_cast<uint64_t>(in.byte());
  plan.Grids = 1 + in.below(kGridCount);
  for (int g = 0; g < plan.Grids; ++g) {
    // Mostly small grids, which keep an execution short; a full one now and then.
    const int cars = in.byte();
    plan.CarsOfGrid.push_back(1 + cars % (cars < 224 ? 6 : kSlotsPerGrid));
    plan.FrameRateOfGrid.push_back(in.bit() ? 36 : 60);
  }
  plan.RaceLaps = 1 + in.below(6);
  plan.PracticeLaps = 1 + in.below(5);
  plan.BaseLapMs = 400 + 4 * in.byte();
  plan.TrackLengthMm = in.bit() ? 33000000 : plan.BaseLapMs * (10 + in.below(60));
  plan.StandingMs = 100 + 2 * in.byte();
  const int mix = in.byte();
  plan.Retirements = mix & 3;
  plan.LappedCars = (mix >> 2) & 3;
  plan.MissingCars = (mix >> 4) & 3;
  plan.SlowFirstSlot = mix & 0x40;
  plan.PracticeOnly = mix & 0x80;
  plan.Leads = in.bit() ? tools::LeadRecords::kAlwaysType15 : tools::LeadRecords::kMixed;
  plan.ServerMarker = in.below(16) == 15;
  return plan;
}

// Applies what the event writer's plan does not reach: start delays, the length of the stream
// behind the last crossing, and laps long enough to be ranked without a stream to match (the
// stream does not carry practice; the race's records are stretched against it). Takes four bytes.
constexpr int kAdjustmentBytes = 4;
void adjustGrids(ByteTaker& in, std::vector<tools::NamedGrid>& grids) {
  const int32_t lightsOut = 4 * in.byte();
  const int32_t tailBytes = 9800 + 4 * in.byte();
  const int practiceStretch = 1 + in.below(64);
  const int raceStretch = 1 + in.below(64);
  for (tools::NamedGrid& grid : grids) {
    grid.Spec.LightsOutMs = lightsOut;
    grid.Spec.TailMs = 200;
    grid.Spec.TailBytes = tailBytes;
    grid.Spec.RaceRecordStretch = raceStretch;
    for (tools::DriverSpec& driver : grid.Spec.Drivers) {
      for (tools::LapSpec& lap : driver.PracticeLaps) lap.TimeMs *= practiceStretch;
    }
  }
}

// One edit of five bytes: which replay, where (the op's top bit picks the frame stream over the
// part in front of it), what, and the value.
void applyEdit(ByteTaker& in, std::vector<std::vector<uint8_t>>& replays,
               std::span<const int64_t> streamStarts) {
  const size_t which = static_cast<size_t>(in.below(static_cast<int>(replays.size())));
  std::vector<uint8_t>& bytes = replays[which];
  const int op = in.byte();
  const size_t where = static_cast<size_t>(in.byte() << 8 | in.byte());
  const int value = in.byte();
  const auto stream = static_cast<size_t>(std::clamp<int64_t>(streamStarts[which], 1, 1 << 30));
  if (bytes.size() <= stream) return;
  const size_t at = (op & 0x80) ? stream + where % (bytes.size() - stream) : where % stream;
  switch (op % 5) {
    case 0:
      bytes[at] = static_cast<uint8_t>(value);
      break;
    case 1:
      bytes[at] ^= static_cast<uint8_t>(1 << (value % 8));
      break;
    case 2: {
      const auto field = static_cast<uint32_t>(kFieldValues[value % std::size(kFieldValues)]);
      for (size_t k = 0; k < 4 && at + k < bytes.size(); ++k) bytes[at + k] = field >> (8 * k);
      break;
    }
    case 3:
      bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + value)));
      break;
    default:
      bytes.resize(at);
  }
}

// The replays of one description, written once: the fuzzer often edits the same event again.
// The cache is a fixed table whose entries keep their memory when replaced, so that a miss
// frees about as many blocks as it takes and does not look like a leak to the fuzzer.
struct WrittenEvent {
  std::vector<uint8_t> Key;
  bool Refused = false;  // the writer refused a grid
  size_t Count = 0;
  std::array<std::vector<uint8_t>, kGridCount> Replays;
  std::array<int64_t, kGridCount> StreamStarts{};
};

const WrittenEvent& writtenEvent(ByteTaker& in, tools::EventPlan& plan) {
  static std::vector<WrittenEvent> cache(256);
  plan = planFrom(in);
  ByteTaker adjustments = in;
  for (int k = 0; k < kAdjustmentBytes; ++k) in.byte();
  const std::span<const uint8_t> key = in.taken();
  const std::string_view text(reinterpret_cast<const char*>(key.data()), key.size());
  WrittenEvent& event = cache[std::hash<std::string_view>{}(text) % cache.size()];
  if (std::ranges::equal(event.Key, key) && event.Count > 0) return event;
  std::vector<tools::NamedGrid> grids = tools::planEvent(plan);
  adjustGrids(adjustments, grids);
  // The key must hold every byte the adjustments took, or two events would share an entry.
  if (adjustments.taken().size() != key.size()) std::abort();
  event.Key.assign(key.begin(), key.end());
  event.Refused = false;
  event.Count = grids.size();
  for (size_t g = 0; g < grids.size(); ++g) {
    tools::WriteOutcome outcome = tools::writeReplay(grids[g].Spec);
    event.Refused |= !outcome.ok();
    event.Replays[g].swap(outcome.Replay.Bytes);
    event.StreamStarts[g] = outcome.Replay.StreamStart;
  }
  return event;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static harness::ScratchDir dir("fuzz-plan");
  ByteTaker in(std::span<const uint8_t>(data, size));
  tools::EventPlan plan;
  const WrittenEvent& event = writtenEvent(in, plan);
  if (event.Refused) return 0;
  // Kept from one execution to the next, so that the replays are copied into memory they had.
  static harness::EventFiles files;
  const int highlighted = in.byte();
  files.MyName = tools::eventFirstName(highlighted) + " " + tools::eventLastName(highlighted);
  const int chart = in.byte();
  const int menu = in.byte();
  files.Answers = harness::answersFor(event.Count, {chart, menu & 0x7F, (menu & 0x80) ? -1 : 0});
  files.Replays.resize(event.Count);
  for (size_t g = 0; g < event.Count; ++g) {
    files.Replays[g].assign(event.Replays[g].begin(), event.Replays[g].end());
  }
  const bool edited = !in.empty();
  for (int edits = 0; !in.empty() && edits < 16; ++edits) {
    applyEdit(in, files.Replays, event.StreamStarts);
  }

  const harness::RunResult result = harness::runEvent(dir.path(), files);
  std::string problem = harness::checkDefinedEnd(result);
  if (problem.empty() && !edited && plan.ServerMarker == 0 &&
      (result.ExitCode != 0 || !result.ReportWritten)) {
    problem = "an event as written, without edits, gave no report";
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "fuzz_plan: %s\nconsole:\n%s\n", problem.c_str(), result.Console.c_str());
    std::abort();
  }
  return 0;
}
