#include "report/consistency_table.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr std::string_view kHead =
    "<table border=3 cellpadding=\"2\" align=\"center\"> "
    "<caption align=\"left\"> CONSISTENCY </caption> "
    "<tr> <td>\n pos"
    " </td>\n<td> driver"
    " </td>\n<td align=\"center\">av. lap t"
    " </td>\n <td align=\"center\"> c.in s "
    " </td>\n <td align=\"center\"> in % "
    " </td>\n </tr> ";

// Time from the end of lap 1 to the end of the last lap.
int32_t timeAfterFirstLap(const EventStore& store, int slot) {
  const auto& crossings = store.RaceCumTime[slot];
  return wrap32(int64_t{cellAt(crossings, store.RaceLapCount[slot])} - crossings[1]);
}

int32_t averageLap(const EventStore& store, int slot) {
  const int64_t laps = store.RaceLapCount[slot];
  return wrap32(timeAfterFirstLap(store, slot) / (laps - 1));
}

int32_t consistency(const EventStore& store, int slot) {
  return wrap32(int64_t{averageLap(store, slot)} - store.RaceBestLap[slot]);
}

// Excess of the average lap over the best lap, in hundredths of a percent.
int32_t excessPercent(const EventStore& store, int slot) {
  const double average =
      static_cast<double>(timeAfterFirstLap(store, slot)) / (store.RaceLapCount[slot] - 1);
  return truncateToInt32(average * 10000 / store.RaceBestLap[slot] - 10000);
}

}  // namespace

void writeConsistencyTable(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write(kHead);
  writer.markAllUnlisted();
  for (int position = 1; position <= kSlotCount; ++position) {
    const Selection choice = selectNext(
        writer.unlisted(), kSmallestFromNoTime,
        [&](int slot) { return store.RaceLapCount[slot] > 2; },
        [&](int slot) { return consistency(store, slot); });
    if (choice.slot == 0) break;
    const int slot = choice.slot;
    writer.openRow(slot);
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(position);
    writer.write(" </td> <td> ");
    writer.writeDriverName(slot);
    writer.write(" </td> <td> ");
    writer.formatLapTime(averageLap(store, slot));
    writer.write(" </td> <td> ");
    writer.formatSeconds(choice.key);
    writer.write(" </td> <td> ");
    writer.formatHundredths(excessPercent(store, slot));
    writer.closeRow();
    writer.markListed(slot);
  }
  writer.write("</border>  </table> \n</div> <br clear=\"all\"> <BR> ");
}

}  // namespace vorlind
