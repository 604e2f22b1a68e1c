#include "replay/event_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

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
      s.PracticeOffTrack, s.RaceOffTrack, s.BestLapMaxSpeed, s.BestLapMinSpeed, s.BestLapSplitTime,
      s.FastestLapCount);
  return bytes;
}

// A grid's reset gives its 20 slots, and only those, the values of a fresh store, whatever they
// held; the fresh store's slots are all alike, with no time wherever a lowest speed is kept.
TEST(EventStore, GridResetRestoresItsTwentySlotsOnly) {
  auto fresh = std::make_unique<EventStore>();
  initEventStore(*fresh);
  auto zero = std::make_unique<EventStore>();  // every cell 0
  zero->BestLapMinSpeed[0].fill(kNoTime);
  EXPECT_EQ(slotBytes(*fresh, 0), slotBytes(*zero, 0));
  EXPECT_EQ(slotBytes(*fresh, 0), slotBytes(*fresh, 99));
  EXPECT_EQ(fresh->GridStartTime[4], kNoTime);

  auto store = std::make_unique<EventStore>();
  std::memset(static_cast<void*>(store.get()), 0xA5, sizeof(EventStore));
  resetGridSlots(*store, 20);
  for (int slot : {19, 20, 39, 40}) {
    EXPECT_EQ(slotBytes(*store, slot) == slotBytes(*fresh, 0), slot >= 20 && slot < 40) << slot;
  }
  resetGridSlots(*store, 80);
  EXPECT_EQ(slotBytes(*store, 99), slotBytes(*fresh, 0));
  initEventStore(*store);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    EXPECT_EQ(slotBytes(*store, slot), slotBytes(*fresh, 0)) << slot;
  }
}

}  // namespace
}  // namespace vorlind
