#include "report/result_table.h"

#include <algorithm>
#include <climits>

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr int32_t kNoWinnerTime = 1000000000;
constexpr int32_t kStartAllowance = 5500;
constexpr int64_t kNoLevel = INT64_MIN;
// Every key of a complete classification beats this start, so that nobody who started is lost.
constexpr RankRule kSmallestOfAll{RankOrder::kSmallestFirst, RankTies::kLowerSlot, INT32_MAX};

// How a ranking treats slot 0 and the slots that stopped early, and the time penalties of each
// slot; the disqualified slots take no part.
struct ResultMode {
  bool Complete = false;
  std::array<int32_t, kSlotCount> Penalty{};
  std::array<uint8_t, kSlotCount> Disqualified{};
};

class ResultRanking {
 public:
  ResultRanking(const EventStore& store, const ResultMode& mode)
      : store_(store),
        mode_(mode),
        ranking_(mode.Complete ? SlotZero::kRanks : SlotZero::kMeansNothing),
        rule_(mode.Complete ? kSmallestOfAll : kSmallestFromNoTime) {
    findWinnerTimes();
    findSlotTimes();
    findColumnTimes();
  }

  std::vector<ResultRow> rank() {
    rankClassified();
    rankRest();
    return std::move(rows_);
  }

 private:
  int32_t finalCrossing(int slot) const {
    return cellAt(store_.RaceCumTime[slot], store_.RaceLapCount[slot]);
  }
  int32_t finalRaceTime(int slot) const {
    return wrap32(int64_t{finalCrossing(slot)} - gridStartOf(store_, slot));
  }
  bool stillRunningAtFinish(int slot) const {
    return finalCrossing(slot) >= winnerTime_[gridOfSlot(slot)];
  }
  bool started(int slot) const { return store_.RaceCumTime[slot][0] > 0; }

  void findWinnerTimes() {
    winnerTime_.fill(kNoWinnerTime);
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (store_.RaceLapCount[slot] != store_.MaxRaceLaps) continue;
      const int32_t time = finalCrossing(slot);
      int32_t& winner = winnerTime_[gridOfSlot(slot)];
      if (time > 0 && time < winner) winner = time;
    }
  }

  // The race time with the missing laps added at the average lap, 5.5 s taken off for the start.
  int32_t projectedTime(int slot) const {
    const int32_t laps = store_.RaceLapCount[slot];
    const int32_t time = finalRaceTime(slot);
    if (laps == 0) return time;
    const int32_t averageLap = wrap32(int64_t{wrap32(int64_t{time} - kStartAllowance)} / laps);
    const int32_t missingLaps = wrap32(int64_t{store_.MaxRaceLaps} - laps);
    return wrap32(int64_t{time} + int64_t{missingLaps} * averageLap);
  }

  // A key with the slot's time penalty, kept below the start of the complete ranking.
  int32_t penalised(int slot, int32_t time) const {
    if (!mode_.Complete) return time;
    return static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{time} + mode_.Penalty[slot], INT32_MIN, INT32_MAX - 1));
  }

  // What every scan of the ranking asks of each slot, taken once.
  void findSlotTimes() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
      raceTime_[slot] = finalRaceTime(slot);
      projected_[slot] = projectedTime(slot);
      running_[slot] = stillRunningAtFinish(slot) ? 1 : 0;
      restKey_[slot] = penalised(slot, raceTime_[slot]);
      classifiedKey_[slot] = penalised(slot, projected_[slot]);
    }
  }

  // Until the first row stands, slots that stopped before their grid's winner finished are barred,
  // in the second pass too; once a row stands the sweep no longer runs. Meant as it is; a complete
  // classification bars nobody.
  void sweepEligible() {
    if (mode_.Complete || !rows_.empty()) return;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (running_[slot] == 0) eligible_[slot] = 0;
    }
  }

  bool takesPart(int slot) const {
    return started(slot) && eligible_[slot] != 0 && mode_.Disqualified[slot] == 0;
  }

  void rankClassified() {
    eligible_.fill(1);
    while (true) {
      const Selection choice = ranking_.next(
          rule_, [&](int slot) { return running_[slot] != 0 && takesPart(slot); },
          [&](int slot) { return classifiedKey_[slot]; });
      sweepEligible();
      if (!choice.found()) return;
      addRow(choice, ResultStatus::kFinished);
    }
  }

  // The next lap level below `level` that any slot has, or kNoLevel.
  int64_t nextLevelBelow(int64_t level) const {
    int64_t next = kNoLevel;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      const int64_t laps = store_.RaceLapCount[slot];
      if (laps < level) next = std::max(next, laps);
    }
    return next;
  }

  // The lap levels run from the full distance down to -1. A complete classification takes every
  // level that a slot has, so that a damaged lap count does not lose its driver either.
  void rankRest() {
    eligible_.fill(1);
    int64_t level = store_.MaxRaceLaps;
    int64_t lowest = -1;
    if (mode_.Complete) {
      level = *std::max_element(store_.RaceLapCount.begin(), store_.RaceLapCount.end());
      lowest = kNoLevel + 1;
    }
    while (level >= lowest) {
      const Selection choice = ranking_.next(
          rule_, [&](int slot) { return store_.RaceLapCount[slot] == level && takesPart(slot); },
          [&](int slot) { return restKey_[slot]; });
      sweepEligible();
      if (!choice.found()) {
        // Levels that no slot has would find nothing either.
        level = nextLevelBelow(level);
        continue;
      }
      addRow(choice, ResultStatus::kDnf);
    }
  }

  // The time since its grid's start of every slot at the crossing of each distance column.
  void findColumnTimes() {
    for (int column = 1; column <= kDistanceColumns; ++column) {
      const int64_t crossing = wrap32(int64_t{column} * store_.MaxRaceLaps) / 10;
      for (int slot = 0; slot < kSlotCount; ++slot) {
        columnTimes_[column - 1][slot] = raceTimeAt(store_, slot, crossing);
      }
    }
  }

  // Place of `slot` at a distance column among all slots; none when the slot has no time there.
  // Equal times share the higher place.
  std::optional<int32_t> placeAt(int slot, int column) const {
    const std::array<std::optional<int32_t>, kSlotCount>& times = columnTimes_[column - 1];
    if (!times[slot]) return std::nullopt;
    int32_t place = 0;
    for (const std::optional<int32_t>& other : times) {
      if (other && *times[slot] >= *other) ++place;
    }
    return place;
  }

  void addRow(const Selection& choice, ResultStatus status) {
    const int slot = choice.Slot;
    ResultRow row;
    row.Position = static_cast<int>(rows_.size()) + 1;
    row.Slot = slot;
    row.Laps = store_.RaceLapCount[slot];
    row.RaceTime = choice.Key;
    row.Status = status;
    row.Penalty = mode_.Penalty[slot];
    for (int column = 1; column <= kDistanceColumns; ++column) {
      row.PlaceAtTenth[column - 1] = placeAt(slot, column);
    }
    // The gap is taken to the winner's own race time, not to his projected one.
    if (status == ResultStatus::kFinished && !rows_.empty()) {
      const int winner = rows_.front().Slot;
      row.GapToWinner = wrap32(int64_t{choice.Key} - raceTime_[winner] - mode_.Penalty[winner]);
    }
    rows_.push_back(row);
    ranking_.markListed(slot);
  }

  const EventStore& store_;
  const ResultMode& mode_;
  Ranking ranking_;
  RankRule rule_;
  std::array<int32_t, kGridCount> winnerTime_{};
  std::array<std::array<std::optional<int32_t>, kSlotCount>, kDistanceColumns> columnTimes_{};
  std::array<uint8_t, kSlotCount> eligible_{};
  std::array<int32_t, kSlotCount> raceTime_{};
  std::array<int32_t, kSlotCount> projected_{};
  std::array<uint8_t, kSlotCount> running_{};
  std::array<int32_t, kSlotCount> classifiedKey_{};
  std::array<int32_t, kSlotCount> restKey_{};
  std::vector<ResultRow> rows_;
};

}  // namespace

std::vector<ResultRow> rankResult(const EventStore& store) {
  return ResultRanking(store, ResultMode{}).rank();
}

std::vector<ResultRow> rankClassification(const EventStore& store,
                                          std::span<const Penalty> penalties) {
  ResultMode mode;
  mode.Complete = true;
  bool anyDisqualified = false;
  for (const Penalty& penalty : penalties) {
    if (!isSlot(penalty.Slot)) continue;
    int32_t& time = mode.Penalty[penalty.Slot];
    time = static_cast<int32_t>(std::min<int64_t>(int64_t{time} + penalty.TimeMs, INT32_MAX));
    if (penalty.Disqualified) mode.Disqualified[penalty.Slot] = 1;
    anyDisqualified = anyDisqualified || penalty.Disqualified;
  }
  std::vector<ResultRow> rows = ResultRanking(store, mode).rank();
  if (!anyDisqualified) return rows;
  // The disqualified follow everybody else, in their order as driven.
  ResultMode asDriven;
  asDriven.Complete = true;
  for (ResultRow row : ResultRanking(store, asDriven).rank()) {
    if (mode.Disqualified[row.Slot] == 0) continue;
    row.Position = static_cast<int>(rows.size()) + 1;
    row.Status = ResultStatus::kDsq;
    row.GapToWinner.reset();
    rows.push_back(row);
  }
  return rows;
}

std::optional<int32_t> raceTimeAt(const EventStore& store, int slot, int64_t crossing) {
  const int32_t time = cellAt(store.RaceCumTime[slot], crossing);
  if (time <= 0) return std::nullopt;
  return wrap32(int64_t{time} - gridStartOf(store, slot));
}

}  // namespace vorlind
