// The frame stream searches walk the stream through a chunk index and read chunks from memory
// in place. This test walks the same streams the slow, literal way, a seek and a read per field
// and every driver's estimate stepped chunk by chunk from the race start, and checks that both
// give the same track length, split times, speeds and console lines on events of every kind.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "event_plans.h"
#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/frame_stream.h"
#include "replay/lap_extraction.h"
#include "replay/replay_header.h"
#include "replay/sector_search.h"
#include "track/track_length.h"

namespace vorlind {
namespace {

int64_t padded(int64_t size) { return (size + 3) / 4 * 4; }

int32_t readPosition(ByteCursor& c, int64_t at) {
  c.seek(at);
  const uint32_t low = c.readU24();
  const uint32_t high = c.readU8() & 3u;
  return static_cast<int32_t>(low | (high << 24));
}

struct LiteralChunk {
  uint16_t Length = 0;
  bool HasLast = false;
  int64_t LastBody = 0;
  uint16_t LastSize = 0;
  bool HasPosition = false;
  int64_t PositionBody = 0;
};

// Reads the chunk at `p` field by field; false on a read past the end.
bool readLiteralChunk(ByteCursor& c, int64_t p, LiteralChunk& chunk) {
  chunk = LiteralChunk{};
  c.clearFailure();
  c.seek(p);
  chunk.Length = c.readU16();
  c.skip(2);
  c.skip(4);
  const int64_t end = p + chunk.Length;
  const uint16_t firstType = c.readU16();
  const uint16_t firstSize = c.readU16();
  int64_t record = p + 8 + padded(firstSize);
  if (firstType != 15) {
    c.seek(record + 2);
    record += padded(c.readU16());
  }
  if (c.failed()) return false;
  for (int i = 0; i < 79; ++i) {
    c.seek(record);
    const uint16_t type = c.readU16();
    const uint16_t size = c.readU16();
    if (c.position() >= end) break;
    if (c.failed()) return false;
    chunk.HasLast = true;
    chunk.LastBody = c.position();
    chunk.LastSize = size;
    if (type == 1 && size == 32) {
      chunk.HasPosition = true;
      chunk.PositionBody = c.position();
    }
    record += padded(size);
  }
  return true;
}

void literalTrackLength(ByteSource& source, int64_t streamStart, EventStore& store,
                        std::ostream& out) {
  out << "One moment please. The tool is searching for track length." << std::endl;
  ByteCursor c(source);
  for (int64_t p = streamStart; p + 10000 < source.size();) {
    LiteralChunk chunk;
    if (!readLiteralChunk(c, p, chunk) || chunk.Length == 0) break;
    int32_t maximum = store.TrackLengthRaw;
    if (chunk.HasPosition) maximum = std::max(maximum, readPosition(c, chunk.PositionBody));
    if (chunk.HasLast && chunk.LastSize > 10) {
      for (int i = 0; i < chunk.LastSize / 16; ++i) {
        maximum = std::max(maximum, readPosition(c, chunk.LastBody + 4 + 16 * i));
      }
    }
    if (c.failed()) break;
    store.TrackLengthRaw = maximum;
    p += chunk.Length;
  }
  out << "track length=" << store.TrackLengthRaw / 2 << "mm" << std::endl;
}

// Reads the driver's samples of the chunk at `p` in order; `readEnd` is behind the last item
// read, or the chunk's end when it has no car record.
bool literalSamples(ByteCursor& c, int64_t p, int entry, LiteralChunk& chunk,
                    std::vector<int32_t>& samples, int64_t& readEnd) {
  samples.clear();
  if (!readLiteralChunk(c, p, chunk) || chunk.Length == 0) return false;
  readEnd = p + chunk.Length;
  if (!chunk.HasLast) return true;
  for (int i = 0; i < chunk.LastSize / 16; ++i) {
    const int64_t item = chunk.LastBody + 4 + 16 * i;
    c.seek(item + 3);
    const int number = c.readU8() >> 2;
    const int32_t position = readPosition(c, item);
    if (c.failed()) return false;
    readEnd = item + 16;
    if (number == entry) samples.push_back(position);
  }
  return true;
}

int32_t toInt(double v) { return truncateToInt32(v); }

void literalSectorSearch(ByteSource& source, int64_t streamStart, EventStore& store,
                         int slotOffset, std::ostream& out) {
  ByteCursor c(source);
  int64_t p = streamStart;
  while (true) {
    c.clearFailure();
    c.seek(p);
    const uint16_t length = c.readU16();
    c.seek(p + 8);
    const uint16_t type = c.readU16();
    uint8_t flag = 0;
    if (type == 13) {
      c.seek(p + 12);
      flag = c.readU8();
    }
    if (c.failed() || length == 0) return;
    p += length;
    if (type == 13 && flag != 0) break;
  }
  const int64_t raceStart = p;
  const double fps = store.ReplayFrameRate;
  for (int e = 1; e <= 19; ++e) {
    const int slot = slotOffset + e;
    if (store.RaceLapCount[slot] <= 0) continue;
    const int b = store.RaceBestLapNo[slot];
    const int32_t k = store.RaceCumTime[slot][b - 1] * store.ReplayFrameRate / 1000;
    bool ok = true;
    int64_t pos = raceStart;
    for (int32_t i = 0; i < k && ok; ++i) {
      c.clearFailure();
      c.seek(pos);
      const uint16_t length = c.readU16();
      if (c.failed() || length == 0) ok = false;
      pos += length;
    }
    for (int i = 0; i < 200 && ok && pos > streamStart; ++i) {
      c.clearFailure();
      c.seek(pos + 2);
      const uint16_t previous = c.readU16();
      if (c.failed()) ok = false;
      if (!ok) break;
      if (previous == 0 || pos - previous < streamStart) {
        pos = streamStart;
        break;
      }
      pos -= previous;
    }
    int32_t current = -1;
    int32_t previousPosition = -1;
    int64_t readEnd = pos;
    LiteralChunk chunk;
    std::vector<int32_t> samples;
    for (int i = 0; i < 200 && ok; ++i) {
      if (!literalSamples(c, pos, e, chunk, samples, readEnd)) {
        ok = false;
        break;
      }
      for (const int32_t s : samples) {
        previousPosition = current;
        current = s;
      }
      pos += chunk.Length;
      if (current < previousPosition) break;
    }
    out << "\nWait a moment, please... The tool is looking for sector times\nand max.speed of ";
    out.put(store.SlotFirstName[slot].Chars[0]);
    out << '.';
    out.write(store.SlotLastName[slot].Chars.data(), 16);
    if (!ok || readEnd >= source.size() - 1200) continue;

    int32_t q = current;
    int32_t n = 3;
    int event = 0;
    double lapStart = 0.0;
    auto& maxSpeed = store.BestLapMaxSpeed[slot];
    auto& minSpeed = store.BestLapMinSpeed[slot];
    auto& split = store.BestLapSplitTime[slot];
    while (true) {
      if (!literalSamples(c, pos, e, chunk, samples, readEnd)) break;
      for (const int32_t pSample : samples) {
        const int32_t delta = pSample - q;
        const double v = delta * 18.0 * fps / 100.0;
        if (v < 36000.0 && v - store.PreviousSampleSpeed < 1.0) {
          if (v > maxSpeed[0]) maxSpeed[0] = toInt(v);
          if (v > maxSpeed[event]) maxSpeed[event] = toInt(v);
        }
        if (delta > 0) {
          if (minSpeed[0] > v) minSpeed[0] = toInt(v);
          if (minSpeed[event] > v) minSpeed[event] = toInt(v);
        }
        store.PreviousSampleSpeed = v;
        if (delta != 0) {
          if (event >= 1 && event <= 3) {
            const double boundary = event * static_cast<double>(store.TrackLengthRaw) * 0.25;
            if (pSample > boundary) {
              split[event] = toInt((n + lapStart - (pSample - boundary) / delta) * 1000.0 / fps);
              ++event;
            }
          } else if (q < 100000) {
            const double a = static_cast<double>(q) / delta;
            if (event == 0) {
              lapStart = a - (n - 2);
            } else {
              split[4] = toInt((n + lapStart - a) * 1000.0 / fps);
            }
            ++event;
          }
        }
        q = pSample;
        if (event > 4) break;
      }
      if (event > 4) break;
      ++n;
      if (readEnd >= source.size() - 1200) break;
      pos += chunk.Length;
    }
  }
}

struct GridResult {
  std::string Console;
  std::unique_ptr<EventStore> Store;
};

// Reads the grids of an event into one store, with the program's searches or the literal ones.
GridResult readEvent(const tools::EventDirectory& event, bool literal) {
  GridResult result{"", std::make_unique<EventStore>()};
  EventStore& store = *result.Store;
  initEventStore(store);
  std::ostringstream out;
  int slotOffset = 0;
  int gridNumber = 0;
  for (const tools::NamedGrid& grid : event.Grids) {
    ++gridNumber;
    const tools::WriteOutcome written = tools::writeReplay(grid.Spec);
    EXPECT_TRUE(written.ok()) << written.Error;
    MemoryByteSource source(written.Replay.Bytes);
    store.ReplayFileSize = source.size();
    if (readReplayHeader(source, store) != HeaderResult::kServerReplay) break;
    ByteCursor cursor(source);
    if (readReplayLaps(cursor, store, slotOffset, gridNumber, out) != LapsResult::kRead) break;
    if (!store.RaceFound || store.EntryCount <= 2) continue;
    if (literal) {
      literalTrackLength(source, cursor.position(), store, out);
      literalSectorSearch(source, cursor.position(), store, slotOffset, out);
    } else {
      ChunkChain chain(source, cursor.position());
      SectorRecorder recorder;
      recorder.startGrid(store, slotOffset, source.size());
      searchTrackLength(source, chain, store, out, &recorder);
      searchSectorTimes(source, chain, store, slotOffset, out, &recorder);
    }
    slotOffset += kSlotsPerGrid;
  }
  result.Console = out.str();
  return result;
}

std::vector<std::pair<std::string, tools::EventDirectory>> events() {
  std::vector<std::pair<std::string, tools::EventDirectory>> all;
  for (const std::string& name : tools::scenarioNames()) {
    tools::EventDirectory event;
    if (tools::scenarioEvent(name, &event)) all.push_back({name, event});
  }
  all.push_back({"demo", tools::demoEvent()});
  return all;
}

TEST(LiteralWalk, FastSearchesMatchTheLiteralWalk) {
  for (const auto& [name, event] : events()) {
    SCOPED_TRACE(name);
    const GridResult fast = readEvent(event, false);
    const GridResult literal = readEvent(event, true);
    EXPECT_EQ(fast.Console, literal.Console);
    EXPECT_EQ(fast.Store->TrackLengthRaw, literal.Store->TrackLengthRaw);
    EXPECT_EQ(fast.Store->BestLapSplitTime, literal.Store->BestLapSplitTime);
    EXPECT_EQ(fast.Store->BestLapMaxSpeed, literal.Store->BestLapMaxSpeed);
    EXPECT_EQ(fast.Store->BestLapMinSpeed, literal.Store->BestLapMinSpeed);
    EXPECT_EQ(fast.Store->PreviousSampleSpeed, literal.Store->PreviousSampleSpeed);
  }
}

TEST(LiteralWalk, EventsOfEveryKindAreMeasured) {
  // Guards the comparison above against vacuous agreement: the scenarios do give split times.
  int measured = 0;
  for (const auto& [name, event] : events()) {
    const GridResult fast = readEvent(event, false);
    for (int s = 0; s < kSlotCount; ++s) measured += fast.Store->BestLapSplitTime[s][4] > 0;
  }
  EXPECT_GT(measured, 50);
}

}  // namespace
}  // namespace vorlind
