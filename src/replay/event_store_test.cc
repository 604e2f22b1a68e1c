#include "replay/event_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "event_plans.h"
#include "event_writer.h"
#include "replay/byte_source.h"
#include "replay/grid_reader.h"
#include "robustness_harness.h"

namespace vorlind {
namespace {

// The bytes of every per-slot cell of `slot`.
std::string slotBytes(const EventStore& s, int slot) {
  std::string bytes;
  auto add = [&](const auto&... arrays) {
    (bytes.append(reinterpret_cast<const char*>(&arrays[slot]), sizeof(arrays[slot])), ...);
  };
  add(s.SlotFirstName, s.SlotLastName, s.SlotCar, s.PracticeLapCount, s.PracticeBestLap,
      s.PracticeBestLapNo, s.PracticeBestOnTrackLap, s.PracticeBestOnTrackLapNo, s.RaceLapCount,
      s.RaceBestLap, s.RaceBestLapNo, s.RaceBestOnTrackLap, s.RaceBestOnTrackLapNo,
      s.RaceOnTrackLapCount, s.PracticeCumTime, s.PracticeLapTime, s.RaceCumTime, s.RaceLapTime,
      s.PracticeOffTrack, s.RaceOffTrack, s.CrossingsWritten, s.BestLapMaxSpeed, s.BestLapMinSpeed,
      s.BestLapSplitTime, s.FastestLapCount);
  return bytes;
}

// The cheap clearing relies on every reader noting the crossing cells it writes: a store read
// into and cleared equals a fresh one byte for byte, whether a replay was read whole or cut short
// anywhere in its lap blocks. A grid's reset gives its 20 slots, and only those, fresh values.
TEST(EventStore, ClearingAndGridResetsUndoWhatWasRead) {
  auto fresh = std::make_unique<EventStore>();
  initEventStore(*fresh);
  EXPECT_EQ(slotBytes(*fresh, 0), slotBytes(*fresh, 99));
  EXPECT_EQ(fresh->BestLapMinSpeed[0][4], kNoTime);
  EXPECT_EQ(fresh->GridStartTime[4], kNoTime);
  auto store = std::make_unique<EventStore>();
  auto read = [&](std::span<const uint8_t> bytes, int grid) {
    MemoryByteSource source(bytes);
    harness::RecordingListener listener;
    (void)GridReader().read(source, *store, grid, kSlotsPerGrid * (grid - 1), listener);
  };
  auto isFresh = [&] { return std::memcmp(&*store, &*fresh, sizeof(EventStore)) == 0; };

  const tools::WriteOutcome out = tools::writeReplay(tools::demoEvent().Grids[0].Spec);
  ASSERT_TRUE(out.ok()) << out.Error;
  const std::span<const uint8_t> bytes(out.Replay.Bytes);
  int written = 0;
  for (size_t cut = 300; cut < static_cast<size_t>(out.Replay.StreamStart) + 400; cut += 97) {
    read(bytes.first(cut), 1 + static_cast<int>(cut % kGridCount));
    written += !isFresh();
    clearEventStore(*store);
    ASSERT_TRUE(isFresh()) << "cut at " << cut;
  }
  EXPECT_GT(written, 20);

  read(bytes, 2);
  read(bytes, 3);
  resetGridSlots(*store, 20);
  const int entry = out.Replay.Drivers.front().EntryNumber;
  for (int slot : {19, 20 + entry, 39, 40 + entry}) {
    EXPECT_EQ(slotBytes(*store, slot) == slotBytes(*fresh, 0), slot != 40 + entry) << slot;
  }
}

}  // namespace
}  // namespace vorlind
