#include "report/result_table.h"

#include <algorithm>

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr int32_t kNoWinnerTime = 1000000000;
constexpr int32_t kStartAllowance = 5500;

constexpr std::string_view kHead =
    "<div> "
    "<table border=3 cellpadding=\"0\" align=\"left\"> "
    "<caption align=\"center\"> RESULT </caption> \n "
    " </td>\n <td align=\"center\">  10 "
    " </td>\n <td align=\"center\">  20 "
    " </td>\n <td align=\"center\">  30 "
    " </td>\n <td align=\"center\">  40 "
    " </td>\n <td align=\"center\">  50 "
    " </td>\n <td align=\"center\">  60 "
    " </td>\n <td align=\"center\">  70 "
    " </td>\n <td align=\"center\">  80 "
    " </td>\n <td align=\"center\">  90 "
    " </td>\n <td align=\"center\">  pos"
    " </td>\n<td> driver"
    " </td>\n <td align=\"center\">  car"
    " </td>\n<td align=\"center\"> laps"
    " </td>\n <td align=\"center\"> race time"
    " </td>\n<td align=\"center\"> -first"
    " </td>\n<td align=\"center\"> grid"
    " </td>\n </tr>";

enum class Pass { kClassified, kRest };

class ResultTable {
 public:
  explicit ResultTable(ReportWriter& writer) : writer_(writer), store_(writer.store()) {}

  void write() {
    findWinnerTimes();
    writer_.write(kHead);
    writer_.markAllUnlisted();
    writeClassified();
    writeRest();
    writer_.write("</border> </table> \n");
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

  // Until the first row stands, slots that stopped before their grid's winner finished are barred.
  void sweepEligible() {
    if (position_ != 1) return;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (!stillRunningAtFinish(slot)) eligible_[slot] = 0;
    }
  }

  void writeClassified() {
    eligible_.fill(1);
    while (true) {
      const Selection choice = selectNext(
          writer_.unlisted(), kSmallestFromNoTime,
          [&](int slot) {
            return stillRunningAtFinish(slot) && started(slot) && eligible_[slot] != 0;
          },
          [&](int slot) { return projectedTime(slot); });
      sweepEligible();
      if (choice.slot == 0) return;
      writeRow(choice, Pass::kClassified);
    }
  }

  // The next lap level below `level` that any slot has, or -2 when none down to -1 is left.
  int64_t nextLevelBelow(int64_t level) const {
    int64_t next = -2;
    for (int slot = 0; slot < kSlotCount; ++slot) {
      const int64_t laps = store_.RaceLapCount[slot];
      if (laps < level) next = std::max(next, laps);
    }
    return next;
  }

  void writeRest() {
    eligible_.fill(1);
    int64_t level = store_.MaxRaceLaps;
    while (level >= -1) {
      const Selection choice = selectNext(
          writer_.unlisted(), kSmallestFromNoTime,
          [&](int slot) {
            return store_.RaceLapCount[slot] == level && started(slot) && eligible_[slot] != 0;
          },
          [&](int slot) { return finalRaceTime(slot); });
      sweepEligible();
      if (choice.slot == 0) {
        // Levels that no slot has would find nothing either.
        level = nextLevelBelow(level);
        continue;
      }
      writeRow(choice, Pass::kRest);
    }
  }

  // Position of `slot` at crossing `crossing` among all slots, by time since their grid's start;
  // 0 when the slot has no time there.
  int32_t positionAt(int slot, int64_t crossing) const {
    const int32_t time = cellAt(store_.RaceCumTime[slot], crossing);
    if (time <= 0) return 0;
    const int32_t raceTime = wrap32(int64_t{time} - gridStartOf(store_, slot));
    int32_t position = 0;
    for (int other = 0; other < kSlotCount; ++other) {
      const int32_t otherTime = cellAt(store_.RaceCumTime[other], crossing);
      if (otherTime <= 0) continue;
      if (raceTime >= wrap32(int64_t{otherTime} - gridStartOf(store_, other))) ++position;
    }
    return position;
  }

  void writeRow(const Selection& choice, Pass pass) {
    const int slot = choice.slot;
    writer_.openRow(slot);
    for (int column = 1; column <= 9; ++column) {
      const int32_t crossing = wrap32(int64_t{column} * store_.MaxRaceLaps) / 10;
      writer_.write("<td align=\"center\"> ");
      const int32_t position = positionAt(slot, crossing);
      if (position == 0) {
        writer_.write("-");
      } else {
        writer_.writeNumber(position);
      }
      writer_.write(" </td> ");
    }
    writer_.write("<td align=\"center\">  <b> ");
    writer_.writeNumber(position_);
    writer_.write(" </b>  </td> <td> ");
    writer_.writeDriverName(slot);
    writer_.write(" </td> <td> ");
    writer_.writeCarLogo(slot);
    writer_.write(" </td> <td align=\"center\"> ");
    writer_.writeNumber(store_.RaceLapCount[slot]);
    writer_.write(" </td> <td align=\"right\"> ");
    writer_.formatClockTime(choice.key);
    writer_.write("</td> ");
    if (position_ == 1) {
      winnerSlot_ = slot;
      writer_.write("<td> ");
    } else if (pass == Pass::kClassified) {
      writer_.write("<td align=\"right\"> ");
      writer_.formatGap(wrap32(int64_t{choice.key} - finalRaceTime(winnerSlot_)), false);
    } else {
      writer_.write("<td align=\"center\"> DNF");
    }
    writer_.write("</td> <td align=\"center\"> ");
    writer_.writeGridImage(slot);
    writer_.closeRow();
    writer_.markListed(slot);
    ++position_;
  }

  ReportWriter& writer_;
  const EventStore& store_;
  std::array<int32_t, kGridCount> winnerTime_{};
  std::array<uint8_t, kSlotCount> eligible_{};
  int position_ = 1;
  int winnerSlot_ = 0;
};

}  // namespace

void writeResultTable(ReportWriter& writer) { ResultTable(writer).write(); }

}  // namespace vorlind
