#include "report/on_track_speed_tables.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

// Equal counts let the later slot take over.
constexpr RankRule kMostOnTrackLaps{RankOrder::kLargestFirst, RankTies::kHigherSlot, 0};

// On-track laps per thousand race laps, in tenths of a percent.
int32_t onTrackShare(int32_t onTrackLaps, int32_t laps) {
  if (laps == 0) return 0;
  return wrap32(int64_t{wrap32(int64_t{onTrackLaps} * 1000)} / laps);
}

}  // namespace

void writeOnTrackLapsTable(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write(
      "<div> "
      "<table border=3 cellpadding=\"1\" align=\"left\"> "
      "<caption align=\"left\"> ON TRACK LAPS </caption> "
      "<tr> <td>\n pos"
      " </td>\n<td> driver"
      " </td>\n <td align=\"center\">  car"
      " </td>\n<td align=\"center\"> %"
      " </td>\n<td align=\"center\"> ol/nl"
      " </td>\n </tr>");
  writer.markAllUnlisted();
  for (int position = 1; position <= kSlotCount; ++position) {
    const Selection choice = selectNext(
        writer.unlisted(), kMostOnTrackLaps,
        [&](int slot) { return store.RaceOnTrackLapCount[slot] > 0; },
        [&](int slot) { return store.RaceOnTrackLapCount[slot]; });
    if (choice.slot == 0) break;
    const int slot = choice.slot;
    const int32_t laps = store.RaceLapCount[slot];
    const int32_t share = onTrackShare(choice.key, laps);
    writer.openRow(slot);
    writer.writeRankCells(position, slot);
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(share / 10);
    writer.write(".");
    writer.writeNumber(share % 10);
    writer.write("<td align=\"center\"> (");
    writer.writeNumber(choice.key);
    writer.write("/");
    writer.writeNumber(laps);
    writer.write(")");
    writer.closeRow();
    writer.markListed(slot);
  }
  writer.write("</border> </table> \n");
}

void writeSpeedTable(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write(
      "<table border=3 cellpadding=\"0\" align=\"right\"> "
      "<caption align=\"left\"> SPEED </caption> "
      "<tr> <td>\n pos"
      " </td>\n<td> driver"
      " </td>\n <td align=\"center\">  car"
      " </td>\n<td align=\"center\"> v min"
      " </td>\n<td align=\"center\"> v max"
      " </td>\n </tr>");
  writer.markAllUnlisted();
  for (int position = 1; position <= kSlotCount; ++position) {
    const Selection choice = selectNext(
        writer.unlisted(), kLargestFromZero, [](int) { return true; },
        [&](int slot) { return store.BestLapMaxSpeed[slot][0]; });
    if (choice.slot == 0) break;
    const int slot = choice.slot;
    writer.openRow(slot);
    writer.writeRankCells(position, slot);
    writer.write(" </td> <td> ");
    writer.formatHundredths(store.BestLapMinSpeed[slot][0]);
    writer.write(" </td> <td> ");
    writer.formatHundredths(choice.key);
    writer.closeRow();
    writer.markListed(slot);
  }
  writer.write("</border> </table> \n");
}

}  // namespace vorlind
