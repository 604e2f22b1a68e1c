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

bool sameBytes(const EventStore& a, const EventStore& b) {
  return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b),
                     sizeof(EventStore)) == 0;
}

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
// into and cleared must equal a fresh one byte for byte, whether a replay was read whole or cut
// short anywhere in its lap blocks, in one store reused throughout.
TEST(EventStore, ClearingUndoesEveryReading) {
  auto fresh = std::make_unique<EventStore>();
  initEventStore(*fresh);
  EXPECT_EQ(slotBytes(*fresh, 0), slotBytes(*fresh, 99));
  EXPECT_EQ(fresh->BestLapMinSpeed[0][4], kNoTime);
  EXPECT_EQ(fresh->GridStartTime[4], kNoTime);

  auto store = std::make_unique<EventStore>();
  const tools::EventDirectory event = tools::demoEvent();
  int written = 0;
  for (size_t g = 0; g < event.Grids.size(); ++g) {
    const tools::WriteOutcome out = tools::writeReplay(event.Grids[g].Spec);
    ASSERT_TRUE(out.ok()) << out.Error;
    const std::span<const uint8_t> bytes(out.Replay.Bytes);
    const auto lapBlocks = static_cast<size_t>(out.Replay.StreamStart);
    const int grid = static_cast<int>(g) + 1;
    for (size_t cut = 300; cut < lapBlocks + 400; cut += 97) {
      SCOPED_TRACE(std::to_string(grid) + " cut at " + std::to_string(cut));
      MemoryByteSource source(bytes.first(std::min(cut, bytes.size())));
      harness::RecordingListener listener;
      (void)GridReader().read(source, *store, grid, kSlotsPerGrid * (grid - 1), listener);
      written += !sameBytes(*store, *fresh);
      clearEventStore(*store);
      ASSERT_TRUE(sameBytes(*store, *fresh));
    }
  }
  EXPECT_GT(written, 20);
}

// A grid's reset gives its 20 slots, and only those, the values of a fresh store.
TEST(EventStore, GridResetRestoresItsTwentySlotsOnly) {
  auto fresh = std::make_unique<EventStore>();
  initEventStore(*fresh);
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  const tools::EventDirectory event = tools::demoEvent();
  const tools::WriteOutcome out = tools::writeReplay(event.Grids[0].Spec);
  ASSERT_TRUE(out.ok()) << out.Error;
  for (int grid : {2, 3}) {
    MemoryByteSource source(out.Replay.Bytes);
    harness::RecordingListener listener;
    (void)GridReader().read(source, *store, grid, kSlotsPerGrid * (grid - 1), listener);
  }
  resetGridSlots(*store, 20);
  const int entry = out.Replay.Drivers.front().EntryNumber;
  for (int slot : {19, 20 + entry, 39, 40 + entry}) {
    EXPECT_EQ(slotBytes(*store, slot) == slotBytes(*fresh, 0), slot != 40 + entry) << slot;
  }
}

}  // namespace
}  // namespace vorlind
