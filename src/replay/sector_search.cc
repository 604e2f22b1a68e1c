#include "replay/sector_search.h"

#include <climits>
#include <cmath>

#include "replay/replay_format.h"

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

// One chunk read for the positions of one driver.
struct DriverChunk {
  ChunkView Chunk;
  int64_t ReadEnd = 0;  // behind the last car item, or the chunk's end when it has none
};

// Walks the chunk at `start` and reports the car record's items in order through `onSample`
// (the driver's track positions only). False when the chunk cannot be read whole.
template <typename OnSample>
bool readDriverChunk(ByteSource& source, int64_t start, int entryNumber, DriverChunk& out,
                     OnSample&& onSample) {
  if (!walkChunk(source, start, out.Chunk) || out.Chunk.Length == 0) return false;
  out.ReadEnd = start + out.Chunk.Length;
  const int count = out.Chunk.HasLastRecord ? carItemCount(out.Chunk.LastSize) : 0;
  if (count == 0) return true;
  const int64_t first = out.Chunk.LastBody + fmt::kCarItemsOffset;
  out.ReadEnd = first + fmt::kCarItemSize * count;
  if (const uint8_t* items = source.peek(first, fmt::kCarItemSize * count)) {
    for (int i = 0; i < count; ++i) {
      const uint8_t* item = items + fmt::kCarItemSize * i;
      if (decodeEntryNumber(item) == entryNumber && !onSample(decodeTrackPosition(item))) {
        out.ReadEnd = first + fmt::kCarItemSize * (i + 1);
        return true;
      }
    }
    return true;
  }
  for (int i = 0; i < count; ++i) {
    uint8_t item[4];
    if (!source.readAt(first + fmt::kCarItemSize * i, item)) return false;
    if (decodeEntryNumber(item) == entryNumber && !onSample(decodeTrackPosition(item))) {
      out.ReadEnd = first + fmt::kCarItemSize * (i + 1);
      return true;
    }
  }
  return true;
}

// The chunk after the race start marker (the first chunk whose first record is of type 13 with
// a non-zero flag), as an index into the chain; -1 when the stream has no marker.
int64_t findRaceStart(ByteSource& source, ChunkChain& chain) {
  int64_t start = chain.chunkStart(0);
  for (int64_t index = 0; start >= 0; ++index) {
    uint8_t head[fmt::kChunkStartFlagOffset + 1];
    if (!source.readAt(start, head) || decodeU16(head) == 0) return -1;
    const uint16_t type = decodeU16(head + fmt::kChunkFirstRecordOffset);
    if (type == fmt::kStartMarkerRecordType && head[fmt::kChunkStartFlagOffset] != 0) {
      return index + 1;
    }
    start += decodeU16(head);
  }
  return -1;
}

void printDriverMessage(const EventStore& store, int slot, std::ostream& console) {
  console << "\nWait a moment, please... The tool is looking for sector times\nand max.speed of ";
  console.put(store.SlotFirstName[slot].Chars[0]);
  console << '.';
  console.write(store.SlotLastName[slot].Chars.data(), fmt::kNameFieldWidth);
  console.flush();
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

void measureDriver(ByteSource& source, ChunkChain& chain, EventStore& store, int64_t raceStart,
                   int slot, int entryNumber, std::ostream& console) {
  const int64_t size = source.size();
  const int32_t bestLap = store.RaceBestLapNo[slot];
  bool measurable = bestLap >= 1 && bestLap < kCrossingCount;
  int64_t position = -1;
  if (measurable) {
    const int32_t lapStartTime = store.RaceCumTime[slot][bestLap - 1];
    const int32_t chunks = static_cast<int32_t>(
        static_cast<int64_t>(lapStartTime) * store.ReplayFrameRate / 1000);
    position = chain.chunkStart(raceStart + chunks);
    measurable = position >= 0;
  }

  // Step back up to 200 chunks by the previous-chunk lengths, not beyond the stream's start.
  const int64_t streamStart = chain.chunkStart(0);
  for (int step = 0; measurable && step < kWindowChunks && position > streamStart; ++step) {
    uint8_t bytes[2];
    if (!source.readAt(position + fmt::kChunkPreviousLengthOffset, bytes)) {
      measurable = false;
      break;
    }
    const uint16_t previousLength = decodeU16(bytes);
    if (previousLength == 0 || position - previousLength < streamStart) {
      position = streamStart;
      break;
    }
    position -= previousLength;
  }

  // Search the window for the chunk after which the driver's position has fallen.
  int32_t current = -1;
  int32_t previous = -1;
  int64_t readEnd = position;
  for (int i = 0; measurable && i < kWindowChunks; ++i) {
    DriverChunk chunk;
    const bool ok = readDriverChunk(source, position, entryNumber, chunk, [&](int32_t p) {
      previous = current;
      current = p;
      return true;
    });
    if (!ok) {
      measurable = false;
      break;
    }
    readEnd = chunk.ReadEnd;
    position += chunk.Chunk.Length;
    if (current < previous) break;
  }

  printDriverMessage(store, slot, console);
  if (!measurable || readEnd >= size - fmt::kMeasureTailGuard) return;

  LapMeasurement lap(store, slot, current);
  while (true) {
    DriverChunk chunk;
    const bool ok = readDriverChunk(source, position, entryNumber, chunk,
                                    [&](int32_t p) { return lap.takeSample(p); });
    if (!ok || lap.done()) return;
    lap.nextChunk();
    if (chunk.ReadEnd >= size - fmt::kMeasureTailGuard) return;
    position += chunk.Chunk.Length;
  }
}

}  // namespace

int32_t truncateToInt32(double value) {
  if (std::isnan(value) || value >= 2147483648.0 || value <= -2147483649.0) return INT_MIN;
  return static_cast<int32_t>(value);
}

void searchSectorTimes(ByteSource& source, ChunkChain& chain, EventStore& store, int slotOffset,
                       std::ostream& console) {
  const int64_t raceStart = findRaceStart(source, chain);
  if (raceStart < 0) return;
  for (int entry = kFirstMeasuredEntry; entry <= kLastMeasuredEntry; ++entry) {
    const int slot = slotOffset + entry;
    if (slot >= kSlotCount || store.RaceLapCount[slot] <= 0) continue;
    measureDriver(source, chain, store, raceStart, slot, entry, console);
  }
}

}  // namespace vorlind
