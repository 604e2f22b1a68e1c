// Reads one grid's server replay into the event store, in the order a run needs it: the header
// check, the entry table and lap blocks with the grid's start time, and for a counted grid the
// track length scan and the sector search over the frame stream. What the user sees of it is
// told to a GridListener; how far the reading came is the result.
#pragma once

#include <memory>

#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/frame_stream.h"
#include "replay/grid_listener.h"
#include "replay/sector_search.h"

namespace vorlind {

enum class GridOutcome {
  kNotCounted,    // read; its slots are taken again by the next replay
  kCounted,       // read and measured; the next replay takes the next 20 slots
  kPlayerReplay,  // not a server replay: nothing beyond the header was read
  kDamaged,       // the replay ends early or breaks the limits of the store
  kChanged,       // the file shrank while it was read: nothing read from it can be trusted
};

struct GridResult {
  GridOutcome Outcome = GridOutcome::kDamaged;
  ReadFailure Failure;  // for kDamaged
  // For kCounted: the frame stream ends before the grid's last race crossing, so that the sector
  // search may miss best laps. Known only when the scan keeps chunks, as it then finds the race
  // start.
  bool StreamEndsEarly = false;
};

// A grid counts when the event has a race and this replay's entry table held more than two
// entries. Only a counted grid is measured and moves the next grid's slots on by 20; a grid of
// one or two entries (a test start, say) or an event without race is read and left at that.
inline bool isCountedGrid(const EventStore& store) {
  return store.RaceFound != 0 && store.EntryCount > 2;
}

class GridReader {
 public:
  // Without `keepChunks` the sector search reads every chunk it needs from the replay instead of
  // taking the chunks the track length scan kept; the results are the same, only slower.
  explicit GridReader(bool keepChunks = true);

  // Reads `replay` as grid `gridNumber` (1..5) into the slots from `slotOffset`.
  [[nodiscard]] GridResult read(ByteSource& replay, EventStore& store, int gridNumber,
                                int slotOffset, GridListener& listener);

 private:
  GridResult readGrid(ByteSource& replay, EventStore& store, int gridNumber, int slotOffset,
                      GridListener& listener);

  // Kept from grid to grid, and from run to run in a RunMemory, so that their memory is taken once.
  bool keepChunks_;
  SectorRecorder recorder_;
  std::unique_ptr<StreamScratch> scratch_;
};

}  // namespace vorlind
