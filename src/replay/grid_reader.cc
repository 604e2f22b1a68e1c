#include "replay/grid_reader.h"

#include "replay/lap_extraction.h"
#include "replay/replay_header.h"
#include "track/track_length.h"

namespace vorlind {

GridReader::GridReader(bool keepChunks)
    : keepChunks_(keepChunks), scratch_(std::make_unique_for_overwrite<StreamScratch>()) {}

GridResult GridReader::read(ByteSource& replay, EventStore& store, int gridNumber, int slotOffset,
                            GridListener& listener) {
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
  searchTrackLength(replay, chain, store, *scratch_, recorder);
  listener.trackLengthFound(store.TrackLengthRaw);
  searchSectorTimes(replay, chain, store, slotOffset, *scratch_, listener, recorder);
  result.Outcome = GridOutcome::kCounted;
  return result;
}

}  // namespace vorlind
