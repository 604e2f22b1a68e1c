#include "replay/grid_reader.h"

#include <algorithm>

#include "replay/lap_extraction.h"
#include "replay/replay_header.h"
#include "track/track_length.h"

namespace vorlind {

namespace {

// The latest race crossing of the grid's slots.
int32_t lastRaceCrossing(const EventStore& store, int slotOffset) {
  int32_t last = 0;
  for (int slot = slotOffset; slot < slotOffset + kSlotsPerGrid && slot < kSlotCount; ++slot) {
    const int32_t laps = store.RaceLapCount[slot];
    if (laps > 0 && laps < kCrossingCount) last = std::max(last, store.RaceCumTime[slot][laps]);
  }
  return last;
}

}  // namespace

GridReader::GridReader(bool keepChunks)
    : keepChunks_(keepChunks), scratch_(std::make_unique_for_overwrite<StreamScratch>()) {}

GridResult GridReader::read(ByteSource& replay, EventStore& store, int gridNumber, int slotOffset,
                            GridListener& listener) {
  GridResult result = readGrid(replay, store, gridNumber, slotOffset, listener);
  if (replay.changed()) result.Outcome = GridOutcome::kChanged;
  return result;
}

GridResult GridReader::readGrid(ByteSource& replay, EventStore& store, int gridNumber,
                                int slotOffset, GridListener& listener) {
  GridResult result;
  store.ReplayFileSize = replay.size();
  switch (readReplayHeader(replay, store, result.Failure)) {
    case HeaderResult::kDamaged:
      return result;
    case HeaderResult::kPlayerReplay:
      result.Outcome = GridOutcome::kPlayerReplay;
      return result;
    case HeaderResult::kServerReplay:
      break;
  }

  ByteCursor cursor(replay);
  if (auto failure = readReplayLaps(cursor, store, slotOffset, gridNumber, listener)) {
    result.Failure = *failure;
    return result;
  }
  listener.gridStartTimeRead(store.GridStartTime[gridNumber - 1]);
  if (!isCountedGrid(store)) {
    result.Outcome = GridOutcome::kNotCounted;
    return result;
  }

  ChunkChain chain(replay, cursor.position());
  SectorRecorder* recorder = keepChunks_ ? &recorder_ : nullptr;
  if (recorder != nullptr) recorder->startGrid(store, slotOffset, replay.size());
  listener.trackSearchStarted();
  const int64_t scannedChunks = searchTrackLength(replay, chain, store, *scratch_, recorder);
  listener.trackLengthFound(store.TrackLengthRaw);
  searchSectorTimes(replay, chain, store, slotOffset, *scratch_, listener, recorder);
  result.Outcome = GridOutcome::kCounted;
  if (recorder != nullptr) {
    // A stream without the race start marker ends before the race as far as the search can tell.
    const int64_t raceStart = recorder->raceStart();
    result.StreamEndsEarly =
        raceStart < 0 ||
        scannedChunks < raceStart + chunksAfter(store, lastRaceCrossing(store, slotOffset));
  }
  return result;
}

}  // namespace vorlind
