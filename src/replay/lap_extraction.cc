#include "replay/lap_extraction.h"

#include <algorithm>
#include <string_view>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

constexpr const char* kEndsEarly = "the replay ends inside its entry table or lap blocks";
constexpr const char* kTooManyEntries = "the entry table holds more than 20 entries";
constexpr const char* kBadEntryNumber = "an entry number lies outside 0 to 19";
constexpr const char* kLongPracticeBlock = "a practice block holds more than 500 lap records";

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

bool isBlockTag(int32_t word) { return word == fmt::kPracticeTag || word == fmt::kRaceTag; }
bool isEntryNumber(int32_t n) { return n >= 0 && n < kSlotsPerGrid; }

std::optional<ReadFailure> endedEarly(const ByteCursor& cursor) {
  return ReadFailure{kEndsEarly, cursor.failedAt()};
}

// Reads the entry number field at the cursor; a failure when it cannot be read or is not one.
std::optional<ReadFailure> readEntryNumber(ByteCursor& cursor, int32_t& number) {
  const int64_t at = cursor.position();
  number = cursor.readI32();
  if (cursor.failed()) return endedEarly(cursor);
  if (!isEntryNumber(number)) return ReadFailure{kBadEntryNumber, at};
  return std::nullopt;
}

// The entry table; `word` receives the tag that ends it.
std::optional<ReadFailure> readEntries(ByteCursor& cursor, EventStore& store, int slotOffset,
                                       GridListener& listener, int32_t& word) {
  store.EntryCount = 0;
  for (int i = 0;; ++i) {
    const int64_t entry = fmt::kEntryTableOffset + fmt::kEntrySize * i;
    FixedText<fmt::kNameFieldWidth + 1> firstName;
    FixedText<fmt::kNameFieldWidth + 1> lastName;
    cursor.seek(entry + fmt::kEntryFirstNameOffset);
    cursor.readBytes(
        std::span(reinterpret_cast<uint8_t*>(firstName.Chars.data()), fmt::kNameFieldWidth));
    cursor.readBytes(
        std::span(reinterpret_cast<uint8_t*>(lastName.Chars.data()), fmt::kNameFieldWidth));
    if (cursor.failed()) return endedEarly(cursor);
    listener.entryNameRead(lastName.view());

    cursor.seek(entry + fmt::kEntryCarOffset);
    const int32_t car = cursor.readI32();
    cursor.seek(entry + fmt::kEntryNumberOffset);
    const int32_t number = cursor.readI32();
    if (cursor.failed()) return endedEarly(cursor);
    listener.entryCarRead(car, number);
    store.EntryCount = i + 1;
    if (!isEntryNumber(number))
      return ReadFailure{kBadEntryNumber, entry + fmt::kEntryNumberOffset};

    const int slot = slotOffset + number;
    if (store.MyNameSet && firstName.view() == store.MyFirstName.view() &&
        lastName.view() == store.MyLastName.view()) {
      store.HighlightSlot = slot;
    }
    store.SlotFirstName[slot].assign(firstName.view());
    store.SlotLastName[slot].assign(lastName.view());
    store.SlotCar[slot] = car;

    cursor.seek(entry + fmt::kEntrySize);
    word = cursor.readI32();
    if (cursor.failed()) return endedEarly(cursor);
    listener.entryWordRead(word);
    if (isBlockTag(word)) return std::nullopt;
    if (i + 1 >= fmt::kMaxEntries) return ReadFailure{kTooManyEntries, entry + fmt::kEntrySize};
  }
}

// One practice block, the cursor standing behind its tag.
std::optional<ReadFailure> readPracticeBlock(ByteCursor& cursor, EventStore& store,
                                             int slotOffset) {
  cursor.skip(fmt::kPracticeUnreadAfterTag);
  const int64_t lengthAt = cursor.position();
  const int32_t length = cursor.readI32();
  int32_t number = 0;
  if (auto failure = readEntryNumber(cursor, number)) return failure;
  const int records = fmt::lapRecordCount(length);
  if (records > kCrossingCount) return ReadFailure{kLongPracticeBlock, lengthAt};

  const int s = slotOffset + number;
  noteCrossingsWritten(store, s, records);
  store.PracticeBestLap[s] = kNoTime;
  store.PracticeBestOnTrackLap[s] = kNoTime;
  for (int k = 0; k < records; ++k) {
    store.PracticeLapCount[s] = fmt::lapCount(length);
    const LapRecord record = readLapRecord(cursor);
    if (cursor.failed()) return endedEarly(cursor);
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
  return std::nullopt;
}

// The race blocks, the cursor standing behind the race tag.
std::optional<ReadFailure> readRaceBlocks(ByteCursor& cursor, EventStore& store, int slotOffset,
                                          int gridNumber) {
  cursor.skip(fmt::kRaceUnreadAfterTag);
  store.RaceFound = 1;
  int32_t& gridStart = store.GridStartTime[gridNumber - 1];
  for (int block = 0; block < fmt::kMaxRaceBlocks; ++block) {
    const int32_t length = cursor.readI32();
    if (cursor.failed()) return endedEarly(cursor);
    if (length > fmt::kMaxRaceBlockLength) break;
    store.RaceLengthMax = std::max(store.RaceLengthMax, length);
    int32_t number = 0;
    if (auto failure = readEntryNumber(cursor, number)) return failure;

    const int s = slotOffset + number;
    store.RaceLapCount[s] = fmt::lapCount(length);
    store.RaceBestLap[s] = kNoTime;
    store.RaceBestOnTrackLap[s] = kNoTime;
    const int records = fmt::lapRecordCount(length);
    noteCrossingsWritten(store, s, records);
    for (int k = 0; k < records; ++k) {
      const LapRecord record = readLapRecord(cursor);
      if (cursor.failed()) return endedEarly(cursor);
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
      // Unlike practice, any lap time counts here, even one of 0 or below.
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
  store.MaxRaceLaps = fmt::lapCount(store.RaceLengthMax);
  return std::nullopt;
}

}  // namespace

std::optional<ReadFailure> readReplayLaps(ByteCursor& cursor, EventStore& store, int slotOffset,
                                          int gridNumber, GridListener& listener) {
  resetGridSlots(store, slotOffset);
  int32_t word = 0;
  if (auto failure = readEntries(cursor, store, slotOffset, listener, word)) return failure;
  while (word == fmt::kPracticeTag) {
    if (auto failure = readPracticeBlock(cursor, store, slotOffset)) return failure;
    word = cursor.readI32();
    if (cursor.failed()) return endedEarly(cursor);
  }
  if (word == fmt::kRaceTag) return readRaceBlocks(cursor, store, slotOffset, gridNumber);
  cursor.skip(fmt::kNoRaceSkip);
  return std::nullopt;
}

}  // namespace vorlind
