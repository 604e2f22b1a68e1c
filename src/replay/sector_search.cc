#include "replay/sector_search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <deque>

#include "replay/replay_format.h"
#include "replay/store_arithmetic.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

constexpr int kFirstMeasuredEntry = 1;
constexpr int kLastMeasuredEntry = 19;
constexpr int kWindowChunks = 200;
constexpr int32_t kLineCrossingLimit = 100000;
constexpr double kMaxSpeedLimit = 36000.0;
constexpr double kMaxSpeedRise = 1.0;
constexpr int32_t kFirstChunkNumber = 3;
constexpr int32_t kLapStartChunkOffset = 2;
constexpr int kLapEndEvent = 4;
// The recorder keeps a driver's chunks from the window before the estimated start of the best
// lap to a window past its estimated end, with a small margin, for laps up to this many chunks.
constexpr int64_t kKeptMargin = 4;
constexpr int64_t kLongestKeptLap = 1 << 15;

// What reading one chunk for the positions of one driver found.
struct DriverChunk {
  uint16_t Length = 0;
  bool NearEnd = false;  // the read reached into the last 1200 bytes of the file
};

// One driver's items met on a pass forward through the stream, each item looked at once. A car
// record may claim more items than its chunk holds, so that its items run on over the chunks
// behind it and, in a crafted stream, every byte is an item of thousands of chunks. Items lie in
// 16 lanes by their offset modulo 16; a chunk's first item lies further on than the one of any
// chunk before it, so each lane keeps the driver's items from the last chunk's first item up to
// where it has looked, and a chunk's items need to be looked at only from there on. One object
// serves every driver of a search in turn and keeps its memory between them.
class DriverItems {
 public:
  // Forgets the items of the driver before and looks for the one of `entryNumber` from now on.
  void restart(int entryNumber) {
    entryNumber_ = entryNumber;
    for (Lane& lane : lanes_) lane.clear();
  }

  // Gives the driver's track positions among the first `count` items from `first` to `onSample`
  // in order, until it returns false; then the offset of that item, else -1. The items' first
  // four bytes must lie inside the source.
  template <typename OnSample>
  int64_t visit(ByteSource& source, StreamScratch& scratch, int64_t first, int count,
                OnSample&& onSample) {
    if (count <= 0) return -1;
    Lane& lane = lanes_[static_cast<uint64_t>(first) % fmt::kCarItemSize];
    if (first < lane.First) lane.clear();
    lane.First = first;
    while (!lane.Samples.empty() && lane.Samples.front().Offset < first) lane.Samples.pop_front();
    const int64_t end = first + fmt::kCarItemSize * count;
    const int64_t from = std::max(first, lane.LookedTo);
    if (from < end) {
      const int64_t length = end - from - fmt::kCarItemSize + fmt::kItemFieldSize;
      const uint8_t* items = source.view(from, length, scratch.Items);
      if (items == nullptr) return -1;
      for (int64_t at = 0; at < length; at += fmt::kCarItemSize) {
        if (decodeEntryNumber(items + at) == entryNumber_) {
          lane.Samples.push_back({from + at, decodeTrackPosition(items + at)});
        }
      }
      lane.LookedTo = end;
    }
    for (const Sample& sample : lane.Samples) {
      if (sample.Offset >= end) break;
      if (!onSample(sample.Position)) return sample.Offset;
    }
    return -1;
  }

 private:
  struct Sample {
    int64_t Offset;
    int32_t Position;
  };
  struct Lane {
    int64_t First = -1;    // the first item of the last chunk served from this lane
    int64_t LookedTo = 0;  // where the items looked at end
    std::deque<Sample> Samples;
    void clear() {
      First = -1;
      LookedTo = 0;
      Samples.clear();
    }
  };

  int entryNumber_ = 0;
  std::array<Lane, fmt::kCarItemSize> lanes_;
};

// Walks the chunk at `start` and reports the driver's track positions among the car record's
// items in order through `onSample` until it returns false. False when the chunk cannot be read
// whole.
template <typename OnSample>
bool readDriverChunk(ByteSource& source, int64_t start, DriverItems& items, StreamScratch& scratch,
                     DriverChunk& out, OnSample&& onSample) {
  ChunkView chunk;
  if (!walkChunk(source, start, chunk, scratch) || chunk.Length == 0) return false;
  out.Length = chunk.Length;
  const int64_t nearEnd = source.size() - fmt::kMeasureTailGuard;
  out.NearEnd = start + chunk.Length >= nearEnd;
  const CarItemRange range = carItemRange(chunk);
  if (range.Count == 0) return true;
  out.NearEnd = range.end() >= nearEnd;
  const int inside = carItemsInside(range, source.size());
  const int64_t stoppedAt = items.visit(source, scratch, range.First, inside, onSample);
  if (stoppedAt >= 0) {
    out.NearEnd = stoppedAt + fmt::kCarItemSize >= nearEnd;
    return true;
  }
  return range.end() <= source.size();
}

// The chunks of one driver's measurement: taken from the recording where it holds them, read
// from the file where it does not. A kept chunk is found only at its own start, beside the one
// found last, which is where the measurement's steps lead in a stream whose lengths agree.
class DriverChunks {
 public:
  DriverChunks(ByteSource& source, ChunkChain& chain, StreamScratch& scratch,
               const DriverRecording* recording, DriverItems& items)
      : source_(source), chain_(chain), scratch_(scratch), recording_(recording), items_(items) {
    if (recording_ != nullptr) cursorStart_ = recording_->FirstStart;
  }

  int64_t chunkStart(int64_t index) {
    if (recording_ != nullptr && index >= recording_->FirstIndex &&
        index - recording_->FirstIndex < static_cast<int64_t>(recording_->Chunks.size())) {
      while (recording_->FirstIndex + static_cast<int64_t>(cursor_) < index) stepForward();
      while (recording_->FirstIndex + static_cast<int64_t>(cursor_) > index) stepBack();
      return cursorStart_;
    }
    return chain_.chunkStart(index);
  }

  // The length of the chunk before the one at `position`, as that chunk states it.
  bool previousLength(int64_t position, uint16_t& length) {
    if (const KeptChunk* chunk = find(position)) {
      length = chunk->PreviousLength;
      return true;
    }
    const uint8_t* bytes =
        source_.view(position + fmt::kChunkPreviousLengthOffset, 2, scratch_.Field);
    if (bytes == nullptr) return false;
    length = decodeU16(bytes);
    return true;
  }

  template <typename OnSample>
  bool read(int64_t position, DriverChunk& out, OnSample&& onSample) {
    const KeptChunk* chunk = find(position);
    if (chunk == nullptr) {
      return readDriverChunk(source_, position, items_, scratch_, out, onSample);
    }
    // A chunk is kept only when its reads end before the last 1200 bytes.
    out.Length = chunk->Length;
    out.NearEnd = false;
    for (uint16_t s = 0; s < chunk->SampleCount; ++s) {
      if (!onSample(recording_->Positions[cursorSample_ + s])) break;
    }
    return true;
  }

 private:
  const KeptChunk* find(int64_t position) {
    if (recording_ == nullptr || recording_->Chunks.empty()) return nullptr;
    const auto& chunks = recording_->Chunks;
    if (position != cursorStart_) {
      if (cursor_ + 1 < chunks.size() && position == cursorStart_ + chunks[cursor_].Length) {
        stepForward();
      } else if (cursor_ > 0 && position == cursorStart_ - chunks[cursor_ - 1].Length) {
        stepBack();
      } else {
        return nullptr;
      }
    }
    return &chunks[cursor_];
  }
  void stepForward() {
    const KeptChunk& chunk = recording_->Chunks[cursor_++];
    cursorStart_ += chunk.Length;
    cursorSample_ += chunk.SampleCount;
  }
  void stepBack() {
    const KeptChunk& chunk = recording_->Chunks[--cursor_];
    cursorStart_ -= chunk.Length;
    cursorSample_ -= chunk.SampleCount;
  }

  ByteSource& source_;
  ChunkChain& chain_;
  StreamScratch& scratch_;
  const DriverRecording* recording_;
  DriverItems& items_;
  size_t cursor_ = 0;  // a kept chunk, where it starts and where its positions are
  int64_t cursorStart_ = -1;
  size_t cursorSample_ = 0;
};

// The chunk after the race start marker (the first chunk whose first record is of type 13 with
// a non-zero flag), as an index into the chain; -1 when the stream has no marker.
int64_t findRaceStart(ByteSource& source, ChunkChain& chain, StreamScratch& scratch) {
  int64_t start = chain.chunkStart(0);
  for (int64_t index = 0; start >= 0; ++index) {
    const uint8_t* head = source.view(start, fmt::kChunkStartFlagOffset + 1, scratch.Field);
    if (head == nullptr || decodeU16(head) == 0) return -1;
    const uint16_t type = decodeU16(head + fmt::kChunkFirstRecordOffset);
    if (type == fmt::kStartMarkerRecordType && head[fmt::kChunkStartFlagOffset] != 0) {
      return index + 1;
    }
    start += decodeU16(head);
  }
  return -1;
}

// The state of one measurement, sample by sample.
class LapMeasurement {
 public:
  LapMeasurement(EventStore& store, int slot, int32_t previousPosition)
      : store_(store), slot_(slot), previous_(previousPosition) {}

  bool done() const { return event_ > kLapEndEvent; }
  void nextChunk() { ++chunkNumber_; }

  // Takes one sample; false once the lap end has been measured.
  bool takeSample(int32_t position) {
    const int32_t p = position;
    const int32_t q = previous_;
    previous_ = p;
    const int32_t delta = static_cast<int32_t>(static_cast<int64_t>(p) - q);
    const double fps = store_.ReplayFrameRate;
    const double speed = static_cast<double>(delta) * 18.0 * fps / 100.0;
    updateSpeeds(speed, delta);
    store_.PreviousSampleSpeed = speed;
    if (delta != 0) fireEvent(p, q, delta);
    return !done();
  }

 private:
  void updateSpeeds(double speed, int32_t delta) {
    auto& maximum = store_.BestLapMaxSpeed[slot_];
    auto& minimum = store_.BestLapMinSpeed[slot_];
    if (speed < kMaxSpeedLimit && speed - store_.PreviousSampleSpeed < kMaxSpeedRise) {
      if (speed > maximum[0]) maximum[0] = truncateToInt32(speed);
      if (speed > maximum[event_]) maximum[event_] = truncateToInt32(speed);
    }
    if (delta > 0) {
      if (minimum[0] > speed) minimum[0] = truncateToInt32(speed);
      if (minimum[event_] > speed) minimum[event_] = truncateToInt32(speed);
    }
  }

  void fireEvent(int32_t p, int32_t q, int32_t delta) {
    const double fps = store_.ReplayFrameRate;
    const double n = chunkNumber_;
    auto& split = store_.BestLapSplitTime[slot_];
    if (event_ >= 1 && event_ <= 3) {
      const double boundary = static_cast<double>(event_) * store_.TrackLengthRaw * 0.25;
      if (p > boundary) {
        split[event_] = truncateToInt32((n + lapStart_ - (p - boundary) / delta) * 1000.0 / fps);
        ++event_;
      }
      return;
    }
    if (q >= kLineCrossingLimit) return;
    const double past = static_cast<double>(q) / delta;
    if (event_ == 0) {
      lapStart_ = past - (n - kLapStartChunkOffset);
    } else {
      split[kLapEndEvent] = truncateToInt32((n + lapStart_ - past) * 1000.0 / fps);
    }
    ++event_;
  }

  EventStore& store_;
  int slot_;
  int32_t previous_;
  int32_t chunkNumber_ = kFirstChunkNumber;
  int event_ = 0;
  double lapStart_ = 0.0;
};

void measureDriver(DriverChunks& chunks, EventStore& store, int64_t raceStart, int slot,
                   GridListener& listener) {
  const int32_t bestLap = store.RaceBestLapNo[slot];
  bool measurable = bestLap >= 1 && bestLap < kCrossingCount;
  int64_t position = -1;
  if (measurable) {
    position =
        chunks.chunkStart(raceStart + chunksAfter(store, store.RaceCumTime[slot][bestLap - 1]));
    measurable = position >= 0;
  }

  // Step back up to 200 chunks by the previous-chunk lengths, not beyond the stream's start.
  const int64_t streamStart = chunks.chunkStart(0);
  for (int step = 0; measurable && step < kWindowChunks && position > streamStart; ++step) {
    uint16_t previousLength = 0;
    if (!chunks.previousLength(position, previousLength)) {
      measurable = false;
      break;
    }
    if (previousLength == 0 || position - previousLength < streamStart) {
      position = streamStart;
      break;
    }
    position -= previousLength;
  }

  // Search the window for the chunk after which the driver's position has fallen.
  int32_t current = -1;
  int32_t previous = -1;
  bool nearEnd = false;
  for (int i = 0; measurable && i < kWindowChunks; ++i) {
    DriverChunk chunk;
    const bool ok = chunks.read(position, chunk, [&](int32_t p) {
      previous = current;
      current = p;
      return true;
    });
    if (!ok) {
      measurable = false;
      break;
    }
    nearEnd = chunk.NearEnd;
    position += chunk.Length;
    if (current < previous) break;
  }

  listener.driverMeasured(slot);
  if (!measurable || nearEnd) return;

  LapMeasurement lap(store, slot, current);
  while (true) {
    DriverChunk chunk;
    const bool ok = chunks.read(position, chunk, [&](int32_t p) { return lap.takeSample(p); });
    if (!ok || lap.done()) return;
    lap.nextChunk();
    if (chunk.NearEnd) return;
    position += chunk.Length;
  }
}

}  // namespace

void SectorRecorder::startGrid(const EventStore& store, int slotOffset, int64_t streamSize) {
  store_ = &store;
  slotOffset_ = slotOffset;
  readLimit_ = streamSize - fmt::kMeasureTailGuard;
  raceStart_ = -1;
  keptEntries_ = 0;
  nextChange_ = INT64_MAX;
  recordings_.resize(kLastMeasuredEntry + 1);
  for (DriverRecording& recording : recordings_) {
    recording.WantedFirst = 0;
    recording.WantedLast = -1;
    recording.FirstIndex = -1;
    recording.FirstStart = -1;
    recording.Closed = false;
    recording.Chunks.clear();
    recording.Positions.clear();
  }
}

const DriverRecording* SectorRecorder::recording(int entryNumber) const {
  if (entryNumber < kFirstMeasuredEntry || entryNumber > kLastMeasuredEntry) return nullptr;
  const DriverRecording& recording = recordings_[static_cast<size_t>(entryNumber)];
  return recording.Chunks.empty() ? nullptr : &recording;
}

void SectorRecorder::planRecordings() {
  const EventStore& store = *store_;
  for (int entry = kFirstMeasuredEntry; entry <= kLastMeasuredEntry; ++entry) {
    const int slot = slotOffset_ + entry;
    if (slot >= kSlotCount || store.RaceLapCount[slot] <= 0) continue;
    const int32_t bestLap = store.RaceBestLapNo[slot];
    if (bestLap < 1 || bestLap >= kCrossingCount) continue;
    const int64_t lapStart = chunksAfter(store, store.RaceCumTime[slot][bestLap - 1]);
    const int64_t lapEnd = chunksAfter(store, store.RaceCumTime[slot][bestLap]);
    const int64_t lapChunks = std::clamp<int64_t>(lapEnd - lapStart, 0, kLongestKeptLap);
    DriverRecording& recording = recordings_[static_cast<size_t>(entry)];
    recording.WantedFirst = raceStart_ + lapStart - kWindowChunks - kKeptMargin;
    recording.WantedLast = raceStart_ + lapStart + lapChunks + kWindowChunks + kKeptMargin;
    const auto wanted = static_cast<size_t>(recording.WantedLast - recording.WantedFirst + 1);
    recording.Chunks.reserve(wanted);
    recording.Positions.reserve(wanted);
  }
}

void SectorRecorder::updateKeptEntries(int64_t index) {
  keptEntries_ = 0;
  nextChange_ = INT64_MAX;
  for (int entry = kFirstMeasuredEntry; entry <= kLastMeasuredEntry; ++entry) {
    const DriverRecording& recording = recordings_[static_cast<size_t>(entry)];
    if (recording.Closed || index > recording.WantedLast) continue;
    if (index < recording.WantedFirst) {
      nextChange_ = std::min(nextChange_, recording.WantedFirst);
    } else {
      keptEntries_ |= uint64_t{1} << entry;
      nextChange_ = std::min(nextChange_, recording.WantedLast + 1);
    }
  }
}

int64_t SectorRecorder::observeChunk(int64_t index, const ChunkView& chunk,
                                     const CarItems& chunkItems) {
  const CarItems items = chunkItems;  // by value, so that the pushes below need not reload it
  if (raceStart_ < 0) {
    // The test of the walk that looks for the marker, which ends at a length of 0.
    if (chunk.FirstType == fmt::kStartMarkerRecordType && chunk.StartFlag != 0 &&
        chunk.Length != 0) {
      raceStart_ = index + 1;
      planRecordings();
      updateKeptEntries(raceStart_);
    }
    return index + 1;
  }
  if (index >= nextChange_) updateKeptEntries(index);
  if (keptEntries_ == 0) return nextChange_;

  const int64_t readEnd =
      items.Count == 0 ? chunk.Start + chunk.Length
                       : chunk.LastBody + fmt::kCarItemsOffset + fmt::kCarItemSize * items.Count;
  if (chunk.Length == 0 || readEnd >= readLimit_) {
    for (uint64_t entries = keptEntries_; entries != 0; entries &= entries - 1) {
      recordings_[static_cast<size_t>(std::countr_zero(entries))].Closed = true;
    }
    keptEntries_ = 0;
    return nextChange_;
  }
  for (uint64_t entries = keptEntries_; entries != 0; entries &= entries - 1) {
    DriverRecording& recording = recordings_[static_cast<size_t>(std::countr_zero(entries))];
    if (recording.Chunks.empty()) {
      recording.FirstIndex = index;
      recording.FirstStart = chunk.Start;
    }
    recording.Chunks.push_back(KeptChunk{chunk.Length, chunk.PreviousLength, 0});
  }
  const uint64_t kept = keptEntries_;
  for (int i = 0; i < items.Count; ++i) {
    const uint8_t* item = items.Bytes + fmt::kCarItemSize * i;
    const int entry = decodeEntryNumber(item);
    if (((kept >> entry) & 1) == 0) continue;
    DriverRecording& recording = recordings_[static_cast<size_t>(entry)];
    recording.Positions.push_back(decodeTrackPosition(item));
    ++recording.Chunks.back().SampleCount;
  }
  return index + 1;
}

void searchSectorTimes(ByteSource& source, ChunkChain& chain, EventStore& store, int slotOffset,
                       StreamScratch& scratch, GridListener& listener,
                       const SectorRecorder* recorder) {
  const int64_t raceStart = recorder != nullptr && recorder->raceStart() >= 0
                                ? recorder->raceStart()
                                : findRaceStart(source, chain, scratch);
  if (raceStart < 0) return;
  DriverItems items;
  for (int entry = kFirstMeasuredEntry; entry <= kLastMeasuredEntry; ++entry) {
    const int slot = slotOffset + entry;
    if (slot >= kSlotCount || store.RaceLapCount[slot] <= 0) continue;
    items.restart(entry);
    DriverChunks chunks(source, chain, scratch,
                        recorder != nullptr ? recorder->recording(entry) : nullptr, items);
    measureDriver(chunks, store, raceStart, slot, listener);
  }
}

}  // namespace vorlind
