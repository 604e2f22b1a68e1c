// The whole model of one event: fixed-size arrays indexed by driver slot, crossing and sector
// cell, plus a few event-wide scalars and texts. The grid loop fills it, the lap pass completes
// it and the console and the report only read it. Nothing in it is allocated after start-up.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vorlind {

inline constexpr int kSlotCount = 100;      // driver slots of the whole event
inline constexpr int kSlotsPerGrid = 20;    // entry numbers 0..19 of one replay
inline constexpr int kGridCount = 5;        // grids A..E
inline constexpr int kCrossingCount = 500;  // crossings per slot (0 = first crossing)
inline constexpr int kSectorCells = 5;      // 0 = whole lap, 1..4 = sectors
inline constexpr int32_t kNoTime = 100000000;

// A zero-terminated text of fixed capacity (N includes the terminator).
template <int N>
struct FixedText {
  std::array<char, N> Chars{};

  std::string_view view() const;
  // Replaces the text by `text`, cut to N - 1 characters; the rest of the buffer is zeroed.
  void assign(std::string_view text);
  void clear() { Chars.fill(0); }
  // Appends as much of `text` as fits.
  void append(std::string_view text);
};

template <int N>
std::string_view FixedText<N>::view() const {
  int length = 0;
  while (length < N && Chars[length] != 0) ++length;
  return std::string_view(Chars.data(), length);
}

template <int N>
void FixedText<N>::assign(std::string_view text) {
  clear();
  append(text);
}

template <int N>
void FixedText<N>::append(std::string_view text) {
  int length = static_cast<int>(view().size());
  for (char c : text) {
    if (length >= N - 1) break;
    Chars[length++] = c;
  }
}

using SlotTimes = std::array<std::array<int32_t, kCrossingCount>, kSlotCount>;
using SlotMarks = std::array<std::array<uint8_t, kCrossingCount>, kSlotCount>;
using SlotSectors = std::array<std::array<int32_t, kSectorCells>, kSlotCount>;
using SlotValues = std::array<int32_t, kSlotCount>;

struct DevelopmentStep {
  int32_t Slot = 0;
  int32_t Lap = 0;
};

struct EventStore {
  // Per driver slot.
  std::array<FixedText<50>, kSlotCount> SlotFirstName;
  std::array<FixedText<50>, kSlotCount> SlotLastName;
  SlotValues SlotCar;
  SlotValues PracticeLapCount;
  SlotValues PracticeBestLap;
  SlotValues PracticeBestLapNo;
  SlotValues PracticeBestOnTrackLap;
  SlotValues PracticeBestOnTrackLapNo;
  SlotValues RaceLapCount;
  SlotValues RaceBestLap;
  SlotValues RaceBestLapNo;
  SlotValues RaceBestOnTrackLap;
  SlotValues RaceBestOnTrackLapNo;
  SlotValues RaceOnTrackLapCount;

  // Per driver slot and crossing.
  SlotTimes PracticeCumTime;
  SlotTimes PracticeLapTime;
  SlotTimes RaceCumTime;
  SlotTimes RaceLapTime;
  SlotMarks PracticeOffTrack;
  SlotMarks RaceOffTrack;
  // How many leading cells of each of the six rows above a reader may have written for the slot;
  // the cells behind them still hold 0. A reset clears only these, so that it costs what a run
  // wrote rather than the megabyte of the rows.
  SlotValues CrossingsWritten;

  // Per driver slot and sector cell, measured from the frame stream.
  SlotSectors BestLapMaxSpeed;
  SlotSectors BestLapMinSpeed;
  SlotSectors BestLapSplitTime;

  // Per grid, index = grid number - 1.
  std::array<int32_t, kGridCount> GridStartTime;

  // Results of the pass over all race laps.
  std::array<int32_t, kCrossingCount> LapLeader;
  SlotValues FastestLapCount;
  std::array<DevelopmentStep, kCrossingCount> FastestLapDevelopment;
  int32_t FastestLapDevelopmentLength = 0;

  // Event-wide scalars.
  int32_t HighlightSlot = 0;
  int32_t EntryCount = 0;
  uint8_t RaceFound = 0;
  int32_t RaceLengthMax = 0;
  int32_t MaxRaceLaps = 0;
  int32_t TrackLengthRaw = 0;
  int32_t ReplayFrameRate = 0;
  int64_t ReplayFileSize = 0;
  double PreviousSampleSpeed = 0.0;  // speed of the last sample of any measurement of the run
  int32_t NoSpeedValues = 0;

  // Event-wide texts.
  FixedText<9> TrackName;
  FixedText<7> ModName;
  FixedText<30> ReportBaseName;
  FixedText<20> MyFirstName;
  FixedText<20> MyLastName;
  bool MyNameSet = false;  // myname.ini named a driver; otherwise nobody is matched
  FixedText<80> SimDir;
};

// Sets every cell, scalar and text to its initial value, whatever the store held.
void initEventStore(EventStore& store);

// The same for a store whose crossing rows hold 0 behind CrossingsWritten (one that
// initEventStore set up, or a value-initialised one, written since by the readers); cheaper, as
// it clears only the cells written.
void clearEventStore(EventStore& store);

// Resets every per-slot value of the 20 slots from `slotOffset` to its initial value, before a
// replay's entries are stored there (the crossing rows as far as CrossingsWritten says).
void resetGridSlots(EventStore& store, int slotOffset);

// Notes that the first `count` cells of the crossing rows of `slot` are about to be written.
inline void noteCrossingsWritten(EventStore& store, int slot, int count) {
  if (count > store.CrossingsWritten[slot]) store.CrossingsWritten[slot] = count;
}

// The grid (0..4) that a driver slot belongs to.
inline int gridOfSlot(int slot) { return slot / kSlotsPerGrid; }

}  // namespace vorlind
