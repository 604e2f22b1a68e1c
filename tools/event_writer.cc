#include "event_writer.h"

#include <algorithm>
#include <optional>

#include "prng.h"
#include "replay/replay_format.h"
#include "replay_builder.h"

namespace vorlind::tools {

namespace fmt = vorlind::replay_format;

namespace {

constexpr int64_t kOne = int64_t{1} << 30;  // 1.0 in the fixed-point lap fraction
constexpr int64_t kMaxLapRecordTime = (int64_t{1} << 24) - 1;
constexpr int64_t kMaxTrackPositionRaw = (int64_t{1} << 26) - 1;
constexpr int64_t kGridFrontGap = 300000;  // half-mm from the first grid slot to the line
constexpr int64_t kGridSlotGap = 16000;    // half-mm between two grid slots
constexpr int64_t kRetiredStandMs = 20000;

// Where one car is at every chunk of the race, all in integers so that every platform
// computes the same positions. Times are kept as "ms times frame rate" to stay exact.
class CarMotion {
 public:
  CarMotion(int64_t trackRaw, int64_t fps, int64_t gridBack, int64_t startMs, int variation,
            std::vector<int64_t> crossings, int64_t approachMs, bool retires, int64_t stopU,
            int64_t fallbackLapMs)
      : trackRaw_(trackRaw),
        fps_(fps),
        gridBack_(gridBack),
        startMs_(startMs),
        variation_(variation),
        crossings_(std::move(crossings)),
        approachMs_(approachMs),
        retires_(retires),
        stopU_(stopU) {
    const size_t n = crossings_.size();
    afterLapMs_ = n >= 2 ? crossings_[n - 1] - crossings_[n - 2] : fallbackLapMs;
    if (!retires_) afterLapMs_ = afterLapMs_ * 5 / 4;
  }

  uint32_t standingPosition() const { return static_cast<uint32_t>(trackRaw_ - gridBack_); }

  // TrackPosition at race clock `scaledMs` / fps; nothing when the car has left the stream.
  std::optional<uint32_t> positionAt(int64_t scaledMs) {
    if (scaledMs < startMs_ * fps_) return standingPosition();
    const int64_t firstCrossing = crossings_.front() * fps_;
    if (scaledMs < firstCrossing) {
      const int64_t span = approachMs_ * fps_;
      const int64_t s = scaledMs - startMs_ * fps_;
      const int64_t gained = gridBack_ * s / span * s / span;
      return clampPosition(trackRaw_ - gridBack_ + gained);
    }
    while (lap_ + 1 < crossings_.size() && crossings_[lap_ + 1] * fps_ <= scaledMs) ++lap_;
    if (lap_ + 1 < crossings_.size()) {
      const int64_t lapStart = crossings_[lap_] * fps_;
      const int64_t lapSpan = (crossings_[lap_ + 1] - crossings_[lap_]) * fps_;
      return clampPosition(lapPosition(scaledMs - lapStart, lapSpan));
    }
    const int64_t since = scaledMs - crossings_.back() * fps_;
    const int64_t lapSpan = afterLapMs_ * fps_;
    if (retires_) {
      const int64_t stopAt = lapSpan * stopU_ / kOne;
      if (since >= stopAt + kRetiredStandMs * fps_) return std::nullopt;
      return clampPosition(lapPosition(std::min(since, stopAt), lapSpan));
    }
    return clampPosition(lapPosition(since % lapSpan, lapSpan));
  }

 private:
  // Distance into a lap after `elapsed` of `span`: a cubic that starts and ends the lap at
  // the same speed and runs faster and slower in between.
  int64_t lapPosition(int64_t elapsed, int64_t span) const {
    const int64_t u = elapsed * kOne / span;
    const int64_t w1 = u * (kOne - u) / kOne;
    const int64_t w2 = w1 * (kOne - 2 * u) / kOne;
    const int64_t f = u + variation_ * w2 / 8;
    return trackRaw_ * f / kOne;
  }

  uint32_t clampPosition(int64_t position) const {
    return static_cast<uint32_t>(std::clamp<int64_t>(position, 0, trackRaw_ - 1));
  }

  int64_t trackRaw_;
  int64_t fps_;
  int64_t gridBack_;
  int64_t startMs_;
  int64_t variation_;
  std::vector<int64_t> crossings_;
  int64_t approachMs_;
  bool retires_;
  int64_t stopU_;
  int64_t afterLapMs_ = 0;
  size_t lap_ = 0;
};

// Appends a record of a size drawn from [minSize, maxSize] with a random body. A position-type
// record of the position record's size can lose its last byte, which is drawn all the same.
void addFillerRecord(ReplayBuilder& builder, SplitMix64& rng, uint16_t type, int64_t minSize,
                     int64_t maxSize, bool avoidPositionSize = false) {
  const auto size = static_cast<size_t>(rng.between(minSize, maxSize));
  const bool shorten =
      avoidPositionSize && type == fmt::kPositionRecordType && size == fmt::kPositionRecordSize;
  const size_t bodySize = size - fmt::kRecordHeaderSize - (shorten ? 1 : 0);
  for (uint8_t& byte : builder.addRecord(type, bodySize)) byte = static_cast<uint8_t>(rng.next());
  if (shorten) rng.next();
}

// The records in front of the walked part of a chunk: either one type 15 record, or a first
// record of another type (13 carries the start flag) and a second record.
void addLeadRecords(SplitMix64& rng, LeadRecords leads, bool beforeStart, uint8_t startFlag,
                    ReplayBuilder& builder) {
  if (startFlag != 0) {
    builder.addRecord(fmt::kStartMarkerRecordType, 4)[0] = startFlag;
  } else {
    const int64_t pick = rng.between(0, 99);
    if (leads == LeadRecords::kAlwaysType15 && !beforeStart) {
      addFillerRecord(builder, rng, fmt::kSingleLeadRecordType, 4, 40);
      return;
    }
    if (pick < 35 || (beforeStart && pick < 70)) {
      builder.addRecord(fmt::kStartMarkerRecordType, 4);
    } else if (pick < 70) {
      addFillerRecord(builder, rng, fmt::kSingleLeadRecordType, 4, 40);
      return;
    } else {
      static constexpr uint16_t kTypes[] = {2, 3, 4, 7, 9, 11};
      addFillerRecord(builder, rng, kTypes[rng.between(0, 5)], 4, 40);
    }
  }
  static constexpr uint16_t kSecondTypes[] = {2, 5, 6, 8, 1};
  addFillerRecord(builder, rng, kSecondTypes[rng.between(0, 4)], 4, 48);
}

bool nameFits(const std::string& text, size_t width) { return text.size() <= width; }

}  // namespace

std::string validateGrid(const GridSpec& grid) {
  if (grid.Drivers.empty() || grid.Drivers.size() > fmt::kMaxEntries) {
    return "a grid needs 1 to 20 drivers";
  }
  if (grid.FrameRate != fmt::kFrameRate60 && grid.FrameRate != fmt::kFrameRate36) {
    return "the frame rate must be 60 or 36";
  }
  if (grid.FrameRateByte > 255) return "the frame rate byte must fit one byte";
  if (!nameFits(grid.TrackName, fmt::kTrackNameWidth)) return "track name longer than 8 bytes";
  if (!nameFits(grid.ModName, fmt::kModNameWidth)) return "MOD name longer than 6 bytes";
  if (grid.TrackLengthMm <= 0 || 2 * int64_t{grid.TrackLengthMm} > kMaxTrackPositionRaw) {
    return "track length must be between 1 mm and 33554 m";
  }
  if (grid.RaceRecordStretch < 1 || grid.RaceRecordStretch > 100) {
    return "the race record stretch must be 1 to 100";
  }
  if (grid.StandingMs < 0 || grid.LightsOutMs < 0 || grid.TailMs < 0 || grid.TailBytes < 0) {
    return "times and tail sizes must not be negative";
  }
  std::vector<bool> used(fmt::kMaxEntries, false);
  bool anyPractice = false;
  for (const DriverSpec& driver : grid.Drivers) {
    if (driver.EntryNumber < 0 || driver.EntryNumber >= fmt::kMaxEntries) {
      return "entry numbers must be 0 to 19";
    }
    if (used[driver.EntryNumber]) return "entry numbers must be unique";
    used[driver.EntryNumber] = true;
    if (!nameFits(driver.FirstName, fmt::kNameFieldWidth) ||
        !nameFits(driver.LastName, fmt::kNameFieldWidth)) {
      return "driver names are at most 16 bytes";
    }
    if (driver.SpeedVariation < 0 || driver.SpeedVariation > 7) {
      return "speed variation must be 0 to 7";
    }
    if (driver.MissingPermille < 0 || driver.MissingPermille > 1000) {
      return "missing chance must be 0 to 1000";
    }
    int64_t practiceClock = driver.PracticeFirstCrossingMs;
    if (practiceClock < 0) return "practice crossing times must not be negative";
    for (const LapSpec& lap : driver.PracticeLaps) {
      if (lap.TimeMs <= 0) return "lap times must be positive";
      practiceClock += lap.TimeMs;
    }
    if (driver.HasPractice) {
      anyPractice = true;
      if (practiceClock > kMaxLapRecordTime) return "practice clock beyond 24 bits";
      if (4 + 4 * (static_cast<int64_t>(driver.PracticeLaps.size()) + 1) >
          fmt::kMaxRaceBlockLength) {
        return "too many practice laps";
      }
    }
    if (4 + 4 * (static_cast<int64_t>(driver.RaceLaps.size()) + 1) > fmt::kMaxRaceBlockLength) {
      return "at most 498 race laps";
    }
    int64_t raceClock = 0;
    for (const LapSpec& lap : driver.RaceLaps) {
      if (lap.TimeMs <= 0) return "lap times must be positive";
      raceClock += lap.TimeMs;
    }
    if (raceClock + grid.LightsOutMs + 600000 > kMaxLapRecordTime) {
      return "race clock beyond 24 bits";
    }
    // The first crossing comes at most a reaction and a first lap (for a car without laps, the
    // one the writer assumes) after the lights go out.
    const int64_t firstLap = driver.RaceLaps.empty()
                                 ? std::max<int64_t>(1000, grid.TrackLengthMm / 45)
                                 : driver.RaceLaps[0].TimeMs;
    if ((raceClock + firstLap + grid.LightsOutMs + 1000) * grid.RaceRecordStretch >
        kMaxLapRecordTime) {
      return "race clock beyond 24 bits";
    }
  }
  if (!grid.HasRace && !anyPractice) {
    return "a grid without race needs at least one practice block";
  }
  return {};
}

WriteOutcome writeReplay(const GridSpec& grid) {
  WriteOutcome outcome;
  outcome.Error = validateGrid(grid);
  if (!outcome.ok()) return outcome;
  WrittenReplay& written = outcome.Replay;

  SplitMix64 rng(grid.Seed);
  const int64_t fps = grid.FrameRate;
  const int64_t trackRaw = 2 * int64_t{grid.TrackLengthMm};
  const int64_t fallbackLapMs = std::max<int64_t>(1000, grid.TrackLengthMm / 45);

  // Start and crossings of every car.
  struct CarPlan {
    size_t Driver = 0;
    int64_t GridBack = 0;
    int64_t StartMs = 0;
    int64_t ApproachMs = 0;
    std::vector<int64_t> Crossings;
    std::vector<uint8_t> Flags;  // flag of crossing k
  };
  std::vector<CarPlan> cars;
  written.Drivers.resize(grid.Drivers.size());
  for (size_t i = 0; i < grid.Drivers.size(); ++i) {
    const DriverSpec& driver = grid.Drivers[i];
    written.Drivers[i].EntryNumber = driver.EntryNumber;
    const int64_t reaction = driver.ReactionMs >= 0 ? driver.ReactionMs : rng.between(150, 650);
    if (!grid.HasRace || !driver.InRace) continue;
    CarPlan car;
    car.Driver = i;
    car.Crossings.reserve(driver.RaceLaps.size() + 1);
    car.Flags.reserve(driver.RaceLaps.size() + 1);
    car.GridBack = std::min<int64_t>(
        kGridFrontGap + kGridSlotGap * static_cast<int64_t>(cars.size()), trackRaw / 2);
    car.StartMs = grid.LightsOutMs + reaction;
    const int64_t firstLap = driver.RaceLaps.empty() ? fallbackLapMs : driver.RaceLaps[0].TimeMs;
    car.ApproachMs = std::max<int64_t>(
        1, 2 * car.GridBack * firstLap * 8 / (trackRaw * (8 + driver.SpeedVariation)));
    car.Crossings.push_back(car.StartMs + car.ApproachMs);
    car.Flags.push_back(0);
    for (const LapSpec& lap : driver.RaceLaps) {
      car.Crossings.push_back(car.Crossings.back() + lap.TimeMs);
      car.Flags.push_back(lap.Flags);
    }
    cars.push_back(std::move(car));
  }

  // The finish: every car's laps end at its first crossing once the winner is home.
  std::vector<bool> finishedEarly(cars.size(), false);
  if (grid.RaceDistanceLaps > 0) {
    const auto distance = static_cast<size_t>(grid.RaceDistanceLaps);
    std::optional<int64_t> finish;
    for (const CarPlan& car : cars) {
      if (car.Crossings.size() > distance) {
        finish = std::min(finish.value_or(car.Crossings[distance]), car.Crossings[distance]);
      }
    }
    for (size_t c = 0; finish && c < cars.size(); ++c) {
      std::vector<int64_t>& crossings = cars[c].Crossings;
      for (size_t k = 0; k < crossings.size(); ++k) {
        if (crossings[k] >= *finish) {
          finishedEarly[c] = k + 1 < crossings.size();
          crossings.resize(k + 1);
          cars[c].Flags.resize(k + 1);
          break;
        }
      }
    }
  }

  std::vector<CarMotion> motions;
  int64_t lastCrossingMs = 0;
  int64_t gridStart = -1;
  for (size_t c = 0; c < cars.size(); ++c) {
    const CarPlan& car = cars[c];
    const DriverSpec& driver = grid.Drivers[car.Driver];
    const bool retires = driver.Retires && !finishedEarly[c];
    const int64_t stopU = rng.between(kOne / 5, kOne * 4 / 5);
    motions.emplace_back(trackRaw, fps, car.GridBack, car.StartMs, driver.SpeedVariation,
                         car.Crossings, car.ApproachMs, retires, stopU, fallbackLapMs);
    lastCrossingMs = std::max(lastCrossingMs, car.Crossings.back());
    gridStart = gridStart < 0 ? car.Crossings.front() : std::min(gridStart, car.Crossings.front());
    written.Drivers[car.Driver].RaceCrossingsMs.assign(car.Crossings.begin(), car.Crossings.end());
  }
  written.GridStartTimeMs = static_cast<int32_t>(std::max<int64_t>(gridStart, 0));

  ReplayBuilder builder;
  builder.setFrameRateByte(
      static_cast<uint8_t>(grid.FrameRateByte >= 0 ? grid.FrameRateByte : grid.FrameRate));
  builder.setTrackName(grid.TrackName).setServerMarker(grid.ServerMarker).setModName(grid.ModName);
  for (const DriverSpec& driver : grid.Drivers) {
    builder.addEntry(driver.FirstName, driver.LastName, driver.Car, driver.EntryNumber);
  }
  std::vector<LapRecord> records;  // of one block, reused
  for (size_t i = 0; i < grid.Drivers.size(); ++i) {
    const DriverSpec& driver = grid.Drivers[i];
    if (!driver.HasPractice) continue;
    records.clear();
    int64_t clock = driver.PracticeFirstCrossingMs;
    records.push_back({static_cast<uint32_t>(clock), driver.PracticeFirstFlags});
    written.Drivers[i].PracticeCrossingsMs.push_back(static_cast<int32_t>(clock));
    for (const LapSpec& lap : driver.PracticeLaps) {
      clock += lap.TimeMs;
      records.push_back({static_cast<uint32_t>(clock), lap.Flags});
      written.Drivers[i].PracticeCrossingsMs.push_back(static_cast<int32_t>(clock));
    }
    builder.addPracticeBlock(driver.EntryNumber, records);
  }
  if (grid.HasRace) {
    builder.beginRaceSection();
    for (const CarPlan& car : cars) {
      records.clear();
      for (size_t k = 0; k < car.Crossings.size(); ++k) {
        const int64_t time = car.Crossings[k] * grid.RaceRecordStretch;
        records.push_back({static_cast<uint32_t>(time), car.Flags[k]});
      }
      builder.addRaceBlock(grid.Drivers[car.Driver].EntryNumber, records);
    }
    builder.endRaceSection();
  } else {
    builder.endPracticeOnly();
  }
  written.StreamStart = static_cast<int64_t>(builder.size());

  // The frame stream. A chunk gets its lead records, then finishChunk adds the rest.
  uint32_t frameWord = 0;
  auto finishChunk = [&](const std::vector<CarItem>& items) {
    if (!items.empty() && rng.chance(500)) {
      const CarItem& followed =
          items[static_cast<size_t>(rng.between(0, static_cast<int64_t>(items.size()) - 1))];
      const auto stored = encodeTrackPosition(followed.TrackPosition, followed.EntryNumber);
      const size_t bodySize = fmt::kPositionRecordSize - fmt::kRecordHeaderSize;
      std::copy(stored.begin(), stored.end(),
                builder.addRecord(fmt::kPositionRecordType, bodySize).begin());
    }
    const int64_t extraRecords = rng.between(0, 2);
    for (int64_t r = 0; r < extraRecords; ++r) {
      static constexpr uint16_t kMiddleTypes[] = {3, 5, 6, 1};
      addFillerRecord(builder, rng, kMiddleTypes[rng.between(0, 3)], 4, 40, true);
    }
    for (const CarItem& item : items) {
      written.MaxTrackPosition = std::max(written.MaxTrackPosition, item.TrackPosition);
    }
    // One draw per statement: the order in which arguments are evaluated is not fixed.
    const int extraBytes = static_cast<int>(rng.between(0, 7));
    const auto filler = static_cast<uint8_t>(rng.next() & 0xFF);
    builder.addCarRecord(items, extraBytes, kCarRecordType, filler).endChunk();
    ++written.ChunkCount;
  };

  std::vector<CarItem> standing;
  for (const CarPlan& car : cars) {
    const uint8_t entry = static_cast<uint8_t>(grid.Drivers[car.Driver].EntryNumber);
    standing.push_back({entry, static_cast<uint32_t>(trackRaw - car.GridBack)});
  }
  if (!grid.HasRace) {
    for (size_t i = 0; i < grid.Drivers.size(); ++i) {
      const int64_t back =
          std::min<int64_t>(kGridFrontGap + kGridSlotGap * static_cast<int64_t>(i), trackRaw / 2);
      standing.push_back({static_cast<uint8_t>(grid.Drivers[i].EntryNumber),
                          static_cast<uint32_t>(trackRaw - back)});
    }
  }
  const int64_t standingChunks = std::max<int64_t>(1, grid.StandingMs * fps / 1000);
  const int64_t lastCrossingChunk = (lastCrossingMs * fps + 999) / 1000;
  const int64_t tailChunks = grid.TailMs * fps / 1000;
  // Chunks a little above the mean size, so that the replay rarely outgrows this.
  const int64_t chunks = standingChunks + (grid.HasRace ? lastCrossingChunk + tailChunks + 1 : 0);
  const int64_t chunkSize = 112 + fmt::kCarItemSize * static_cast<int64_t>(standing.size());
  builder.reserve(builder.size() + static_cast<size_t>(chunks * chunkSize + grid.TailBytes));
  std::vector<CarItem> items;
  items.reserve(cars.size());
  for (int64_t k = 0; k < standingChunks; ++k) {
    const bool marker = grid.HasRace && k + 1 == standingChunks;
    if (marker) written.MarkerChunkOffset = static_cast<int64_t>(builder.size());
    builder.beginChunk(frameWord++);
    addLeadRecords(rng, grid.Leads, true,
                   marker ? static_cast<uint8_t>(rng.between(1, 255)) : uint8_t{0}, builder);
    finishChunk(standing);
  }
  if (!grid.HasRace) {
    written.Bytes = builder.take();
    return outcome;
  }

  written.RaceStartOffset = static_cast<int64_t>(builder.size());
  size_t bytesAtLastCrossing = 0;
  for (int64_t k = 0;; ++k) {
    if (k == lastCrossingChunk + 1) bytesAtLastCrossing = builder.size();
    if (k > lastCrossingChunk + tailChunks &&
        builder.size() >= bytesAtLastCrossing + static_cast<size_t>(grid.TailBytes)) {
      break;
    }
    items.clear();
    for (size_t c = 0; c < cars.size(); ++c) {
      const DriverSpec& driver = grid.Drivers[cars[c].Driver];
      const std::optional<uint32_t> position = motions[c].positionAt(k * 1000);
      if (!position) continue;
      const uint64_t roll = SplitMix64::mix(
          grid.Seed ^ (static_cast<uint64_t>(driver.EntryNumber) << 40) ^ static_cast<uint64_t>(k));
      if (static_cast<int>(roll % 1000) < driver.MissingPermille) continue;
      items.push_back({static_cast<uint8_t>(driver.EntryNumber), *position});
    }
    builder.beginChunk(frameWord++);
    addLeadRecords(rng, grid.Leads, false, 0, builder);
    finishChunk(items);
    ++written.RaceChunkCount;
  }
  written.Bytes = builder.take();
  return outcome;
}

}  // namespace vorlind::tools
