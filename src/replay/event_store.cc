#include "replay/event_store.h"

#include <algorithm>
#include <memory>
#include <type_traits>

namespace vorlind {

static_assert(std::is_trivially_copyable_v<EventStore>, "a fresh store is copied byte for byte");

namespace {

void resetSlot(EventStore& s, int slot) {
  s.SlotFirstName[slot].clear();
  s.SlotLastName[slot].clear();
  s.SlotCar[slot] = 0;
  s.PracticeLapCount[slot] = 0;
  s.PracticeBestLap[slot] = 0;
  s.PracticeBestLapNo[slot] = 0;
  s.PracticeBestOnTrackLap[slot] = 0;
  s.PracticeBestOnTrackLapNo[slot] = 0;
  s.RaceLapCount[slot] = 0;
  s.RaceBestLap[slot] = 0;
  s.RaceBestLapNo[slot] = 0;
  s.RaceBestOnTrackLap[slot] = 0;
  s.RaceBestOnTrackLapNo[slot] = 0;
  s.RaceOnTrackLapCount[slot] = 0;
  const int written = std::clamp(s.CrossingsWritten[slot], 0, kCrossingCount);
  for (SlotTimes* rows : {&s.PracticeCumTime, &s.PracticeLapTime, &s.RaceCumTime, &s.RaceLapTime}) {
    std::fill_n((*rows)[slot].begin(), written, 0);
  }
  std::fill_n(s.PracticeOffTrack[slot].begin(), written, 0);
  std::fill_n(s.RaceOffTrack[slot].begin(), written, 0);
  s.CrossingsWritten[slot] = 0;
  s.BestLapMaxSpeed[slot].fill(0);
  s.BestLapMinSpeed[slot].fill(kNoTime);
  s.BestLapSplitTime[slot].fill(0);
  s.FastestLapCount[slot] = 0;
}

// Sets everything but the crossing rows, which are cleared as far as they were written.
void setInitialValues(EventStore& store) {
  for (int slot = 0; slot < kSlotCount; ++slot) resetSlot(store, slot);
  store.GridStartTime.fill(kNoTime);
  store.LapLeader.fill(0);
  store.FastestLapDevelopment.fill(DevelopmentStep{});
  store.FastestLapDevelopmentLength = 0;
  store.HighlightSlot = 0;
  store.EntryCount = 0;
  store.RaceFound = 0;
  store.RaceLengthMax = 0;
  store.MaxRaceLaps = 0;
  store.TrackLengthRaw = 0;
  store.ReplayFrameRate = 0;
  store.ReplayFileSize = 0;
  store.PreviousSampleSpeed = 0.0;
  store.NoSpeedValues = 0;
  store.TrackName.clear();
  store.ModName.clear();
  store.ReportBaseName.clear();
  store.MyFirstName.clear();
  store.MyLastName.clear();
  store.MyNameSet = false;
  store.SimDir.clear();
}

}  // namespace

// One copy of a store set up once is several times cheaper than setting the megabyte cell by
// cell, which matters to the in-process runs of the fuzz targets and tests.
void initEventStore(EventStore& store) {
  static const std::unique_ptr<const EventStore> fresh = [] {
    auto initial = std::make_unique<EventStore>();  // every cell 0
    setInitialValues(*initial);
    return initial;
  }();
  store = *fresh;
}

void clearEventStore(EventStore& store) { setInitialValues(store); }

void resetGridSlots(EventStore& store, int slotOffset) {
  for (int slot = slotOffset; slot < slotOffset + kSlotsPerGrid && slot < kSlotCount; ++slot) {
    resetSlot(store, slot);
  }
}

}  // namespace vorlind
