// Measures every driver's best race lap a second time, from the cars' track positions in the
// frame stream: the split times at the ends of the four quarters of the track and the lowest and
// highest speeds, over the lap and per sector. The lap is found by estimating its start from the
// lap records and looking for the line crossing in a window of 200 chunks around it.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/frame_stream.h"
#include "replay/grid_listener.h"

namespace vorlind {

// The chunk count of the frame stream after `timeMs` of the race.
inline int32_t chunksAfter(const EventStore& store, int32_t timeMs) {
  return static_cast<int32_t>(static_cast<int64_t>(timeMs) * store.ReplayFrameRate / 1000);
}

// One driver's chunks as the track length scan saw them: an unbroken run of chunks around the
// driver's best lap, with their lengths and the driver's track positions in each.
struct KeptChunk {
  uint16_t Length = 0;
  uint16_t PreviousLength = 0;
  uint16_t SampleCount = 0;  // the driver's items in the chunk; their positions follow on
};
struct DriverRecording {
  int64_t WantedFirst = 0;  // the chunks wanted, as indices from the stream start
  int64_t WantedLast = -1;
  int64_t FirstIndex = -1;  // the first chunk kept, and where it starts
  int64_t FirstStart = -1;
  bool Closed = false;  // a wanted chunk could not be kept, nor can any behind it
  std::vector<KeptChunk> Chunks;
  std::vector<int32_t> Positions;
};

// Watches the track length scan of each grid. Once it has met the race start marker it knows
// where each driver's best lap lies in the stream and keeps the chunks around it, so that the
// measurement takes them from memory. A chunk it did not keep is read from the file as before:
// what was kept changes the speed of the search, never its results. One recorder serves all
// grids of a run, so that its memory is taken once.
class SectorRecorder final : public ChunkObserver {
 public:
  // Forgets the grid before; `streamSize` is the size of the replay.
  void startGrid(const EventStore& store, int slotOffset, int64_t streamSize);
  int64_t observeChunk(int64_t index, const ChunkView& chunk, const CarItems& items) override;

  // The chunk after the race start marker, or -1 when the scan did not meet one.
  int64_t raceStart() const { return raceStart_; }
  // The chunks kept for an entry number, or nullptr when there are none.
  const DriverRecording* recording(int entryNumber) const;

 private:
  void planRecordings();
  void updateKeptEntries(int64_t index);

  const EventStore* store_ = nullptr;
  int slotOffset_ = 0;
  int64_t readLimit_ = 0;  // a kept chunk and its items end before this
  int64_t raceStart_ = -1;
  std::vector<DriverRecording> recordings_;  // by entry number
  uint64_t keptEntries_ = 0;                 // entry numbers whose chunks are being kept
  int64_t nextChange_ = 0;                   // the next index at which that set changes
};

// Measures entry numbers 1 to 19 of the grid at `slotOffset` whose race lap count is above 0,
// telling the listener of each driver measured. Needs store.TrackLengthRaw and ReplayFrameRate
// of this replay. `recorder`, when given, watched this grid's track length scan.
void searchSectorTimes(ByteSource& source, ChunkChain& chain, EventStore& store, int slotOffset,
                       StreamScratch& scratch, GridListener& listener,
                       const SectorRecorder* recorder = nullptr);

}  // namespace vorlind
