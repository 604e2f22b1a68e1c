#include "report/development_table.h"

#include <algorithm>

#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr int kCellsPerRow = 6;

}  // namespace

void writeDevelopmentTable(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write(
      "<table border=3 cellpadding=\"3\"> "
      "<caption align=\"left\"> DEVELOPMENT FASTEST LAP </caption> "
      "<tr> \n");
  const int64_t recordCount =
      std::clamp<int64_t>(store.FastestLapDevelopmentLength, 0, kCrossingCount);
  const int64_t cellLimit = wrap32(int64_t{store.MaxRaceLaps} + 1);
  for (int64_t m = 1; m <= cellLimit && m <= recordCount; ++m) {
    const DevelopmentStep& step = store.FastestLapDevelopment[m - 1];
    const int slot = step.Slot;
    writer.write(slot == store.HighlightSlot ? "<td bgcolor=\"#FFFF00\"> \n" : "<td> \n");
    writer.write(" lap");
    writer.writeNumber(step.Lap);
    writer.write(" ");
    writer.writeDriverName(slot);
    writer.write("  ");
    writer.formatLapTime(isSlot(slot) ? cellAt(store.RaceLapTime[slot], step.Lap) : 0);
    writer.write("</td> \n ");
    if (m % kCellsPerRow == 0) writer.write("</tr> <tr> \n ");
  }
  writer.write("</tr> \n </border> </table> \n <BR> <BR> ");
}

}  // namespace vorlind
