#include "report/leader_table.h"

#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr int kCellsPerRow = 5;

class LeaderCells {
 public:
  explicit LeaderCells(ReportWriter& writer) : writer_(writer) {}

  void write(int slot, int64_t firstLap, int64_t lastLap) {
    const EventStore& store = writer_.store();
    writer_.write(slot == store.HighlightSlot ? "<td bgcolor=\"#FFFF00\"> \n" : "<td> \n");
    writer_.write(" lap ");
    writer_.writeNumber(firstLap);
    if (lastLap != firstLap) {
      writer_.write("-");
      writer_.writeNumber(lastLap);
    }
    writer_.write(": ");
    writer_.writeDriverName(slot);
    writer_.write(" </td> \n ");
    if (++count_ % kCellsPerRow == 0) writer_.write("</tr> <tr> \n ");
  }

 private:
  ReportWriter& writer_;
  int count_ = 0;
};

}  // namespace

void writeLeaderTable(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write(
      "<table border=3 cellpadding=\"3\"> "
      "<caption align=\"left\"> LEADER </caption> "
      "<tr> \n");
  const int64_t lastLap = store.MaxRaceLaps;
  if (lastLap >= 1) {
    LeaderCells cells(writer);
    int stintSlot = cellAt(store.LapLeader, 1);
    int64_t stintStart = 1;
    for (int64_t lap = 2; lap <= lastLap; ++lap) {
      const int leader = cellAt(store.LapLeader, lap);
      if (leader != stintSlot) {
        cells.write(stintSlot, stintStart, lap - 1);
        stintSlot = leader;
        stintStart = lap;
      }
      // Beyond the stored laps nobody leads, so the stint now running lasts to the last lap.
      if (lap >= kCrossingCount) break;
    }
    cells.write(stintSlot, stintStart, lastLap);
  }
  writer.write("</tr> \n </border> </table> \n <BR> <BR><br clear=\"all\"> ");
}

}  // namespace vorlind
