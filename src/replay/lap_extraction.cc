#include "replay/lap_extraction.h"

#include <algorithm>
#include <string_view>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

struct LapRecord {
  int32_t Time = 0;
  uint8_t Flags = 0;
};

LapRecord readLapRecord(ByteCursor& cursor) {
  LapRecord record;
  record.Time = static_cast<int32_t>(cursor.readU24());
  record.Flags = cursor.readU8();
  return record;
}

std::string_view nameText(const uint8_t (&field)[fmt::kNameFieldWidth]) {
  int length = 0;
  while (length < fmt::kNameFieldWidth && field[length] != 0) ++length;
  return std::string_view(reinterpret_cast<const char*>(field), length);
}

bool isBlockTag(int32_t word) { return word == fmt::kPracticeTag || word == fmt::kRaceTag; }
bool isEntryNumber(int32_t n) { return n >= 0 && n < kSlotsPerGrid; }

// The entry table; `word` receives the tag that ends it.
bool readEntries(ByteCursor& cursor, EventStore& store, int slotOffset, std::ostream& console,
                 int32_t& word) {
  store.EntryCount = 0;
  for (int i = 0;; ++i) {
    const int64_t entry = fmt::kEntryTableOffset + fmt::kEntrySize * i;
    uint8_t firstName[fmt::kNameFieldWidth];
    uint8_t lastName[fmt::kNameFieldWidth];
    cursor.seek(entry + fmt::kEntryFirstNameOffset);
    cursor.readBytes(firstName);
    cursor.readBytes(lastName);
    if (cursor.failed()) return false;
    console << nameText(lastName) << std::endl;

    cursor.seek(entry + fmt::kEntryCarOffset);
    const int32_t car = cursor.readI32();
    cursor.seek(entry + fmt::kEntryNumberOffset);
    const int32_t number = cursor.readI32();
    if (cursor.failed()) return false;
    console << "Auto=" << car << "  Welch=" << number << std::endl;
    store.EntryCount = i + 1;
    if (!isEntryNumber(number)) return false;

    const int slot = slotOffset + number;
    if (store.MyNameSet && nameText(firstName) == store.MyFirstName.view() &&
        nameText(lastName) == store.MyLastName.view()) {
      store.HighlightSlot = slot;
    }
    store.SlotFirstName[slot].assign(nameText(firstName));
    store.SlotLastName[slot].assign(nameText(lastName));
    store.SlotCar[slot] = car;

    cursor.seek(entry + fmt::kEntrySize);
    word = cursor.readI32();
    if (cursor.failed()) return false;
    console << "Wert=" << word << std::endl;
    if (isBlockTag(word)) return true;
    if (i + 1 >= fmt::kMaxEntries) return false;
  }
}

// One practice block, the cursor standing behind its tag.
bool readPracticeBlock(ByteCursor& cursor, EventStore& store, int slotOffset) {
  cursor.skip(fmt::kPracticeUnreadAfterTag);
  const int32_t length = cursor.readI32();
  const int32_t number = cursor.readI32();
  if (cursor.failed() || !isEntryNumber(number)) return false;
  const int records = length / 4 - 1;
  if (records > kCrossingCount) return false;

  const int s = slotOffset + number;
  store.PracticeBestLap[s] = kNoTime;
  store.PracticeBestOnTrackLap[s] = kNoTime;
  for (int k = 0; k < records; ++k) {
    store.PracticeLapCount[s] = length / 4 - 2;
    const LapRecord record = readLapRecord(cursor);
    if (cursor.failed()) return false;
    store.PracticeCumTime[s][k] = record.Time;
    int32_t lap = k >= 1 ? record.Time - store.PracticeCumTime[s][k - 1] : record.Time;
    if (record.Flags & fmt::kInvalidLapFlag) lap = 0;
    store.PracticeLapTime[s][k] = lap;
    if (record.Flags & fmt::kOffTrackFlag) store.PracticeOffTrack[s][k] = 1;
    if (k >= 1 && lap > 0 && lap < store.PracticeBestLap[s]) {
      store.PracticeBestLap[s] = lap;
      store.PracticeBestLapNo[s] = k;
    }
    if (k >= 1 && lap > 0 && lap < store.PracticeBestOnTrackLap[s] &&
        store.PracticeOffTrack[s][k] == 0) {
      store.PracticeBestOnTrackLap[s] = lap;
      store.PracticeBestOnTrackLapNo[s] = k;
    }
  }
  return true;
}

// The race blocks, the cursor standing behind the race tag.
bool readRaceBlocks(ByteCursor& cursor, EventStore& store, int slotOffset, int gridNumber) {
  cursor.skip(fmt::kRaceUnreadAfterTag);
  store.RaceFound = 1;
  int32_t& gridStart = store.GridStartTime[gridNumber - 1];
  for (int block = 0; block < fmt::kMaxRaceBlocks; ++block) {
    const int32_t length = cursor.readI32();
    if (cursor.failed()) return false;
    if (length > fmt::kMaxRaceBlockLength) break;
    store.RaceLengthMax = std::max(store.RaceLengthMax, length);
    const int32_t number = cursor.readI32();
    if (cursor.failed() || !isEntryNumber(number)) return false;

    const int s = slotOffset + number;
    store.RaceLapCount[s] = length / 4 - 2;
    store.RaceBestLap[s] = kNoTime;
    store.RaceBestOnTrackLap[s] = kNoTime;
    const int records = length / 4 - 1;
    for (int k = 0; k < records; ++k) {
      const LapRecord record = readLapRecord(cursor);
      if (cursor.failed()) return false;
      if (k == 0 && record.Time < gridStart) gridStart = record.Time;
      if (k >= 1) {
        if (record.Flags & fmt::kOffTrackFlag) {
          store.RaceOffTrack[s][k] = 1;
        } else {
          ++store.RaceOnTrackLapCount[s];
        }
      }
      store.RaceCumTime[s][k] = record.Time;
      const int32_t lap = k >= 1 ? record.Time - store.RaceCumTime[s][k - 1] : record.Time;
      store.RaceLapTime[s][k] = lap;
      if (k >= 1 && lap < store.RaceBestLap[s]) {
        store.RaceBestLap[s] = lap;
        store.RaceBestLapNo[s] = k;
      }
      if (k >= 1 && lap > 0 && lap < store.RaceBestOnTrackLap[s] && store.RaceOffTrack[s][k] == 0) {
        store.RaceBestOnTrackLap[s] = lap;
        store.RaceBestOnTrackLapNo[s] = k;
      }
    }
    cursor.skip(fmt::kRaceBlockTrailer);
  }
  store.MaxRaceLaps = store.RaceLengthMax / 4 - 2;
  return true;
}

}  // namespace

LapsResult readReplayLaps(ByteCursor& cursor, EventStore& store, int slotOffset, int gridNumber,
                          std::ostream& console) {
  resetGridSlots(store, slotOffset);
  int32_t word = 0;
  if (!readEntries(cursor, store, slotOffset, console, word)) return LapsResult::kDamaged;
  while (word == fmt::kPracticeTag) {
    if (!readPracticeBlock(cursor, store, slotOffset)) return LapsResult::kDamaged;
    word = cursor.readI32();
    if (cursor.failed()) return LapsResult::kDamaged;
  }
  if (word == fmt::kRaceTag) {
    if (!readRaceBlocks(cursor, store, slotOffset, gridNumber)) return LapsResult::kDamaged;
  } else {
    cursor.skip(fmt::kNoRaceSkip);
  }
  return LapsResult::kRead;
}

void printGridStartTime(const EventStore& store, int gridNumber, std::ostream& console) {
  const int32_t t = store.GridStartTime[gridNumber - 1];
  const int32_t ms = t - 1000 * (t / 1000);
  console << "Zeit in Startaufstellung dieses Grids:" << t / 1000 << '.';
  if (ms < 100) console << '0';
  if (ms < 10) console << '0';
  console << ms << 's' << std::endl;
}

}  // namespace vorlind
