#include "report/sector_tables.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr int kSectorCount = 4;

// Time for sector `sector` (1..4) of the slot's best race lap.
int32_t sectorTime(const EventStore& store, int slot, int sector) {
  const auto& splits = store.BestLapSplitTime[slot];
  const int64_t end = sector == kSectorCount ? store.RaceBestLap[slot] : splits[sector];
  const int64_t start = sector == 1 ? 0 : splits[sector - 1];
  return wrap32(end - start);
}

void writeSectorHeader(ReportWriter& writer) {
  writer.write(
      "<tr> <td>\n pos"
      " </td>\n<td> driver"
      " </td>\n <td align=\"center\">  car"
      " </td>\n<td align=\"center\"> lap time"
      " </td>\n <td align=\"center\"> -first");
  if (writer.noSpeedValues()) {
    writer.write(" </td>\n<td align=\"center\"> grid");
  } else {
    writer.write(" </td>\n<td align=\"center\"> v min </td>\n<td align=\"center\"> v max");
  }
  writer.write(" </td>\n </tr>");
}

void writeSectorRow(ReportWriter& writer, int sector, int position, int slot, int32_t time,
                    int32_t leaderTime) {
  const EventStore& store = writer.store();
  writer.openRow(slot);
  writer.writeRankCells(position, slot);
  writer.write("<td align=\"right\"> ");
  formatSectorTime(writer, time);
  writer.write(" </td> <td> ");
  if (position > 1) writer.formatGap(wrap32(int64_t{time} - leaderTime));
  if (writer.noSpeedValues()) {
    writer.write("<td>");
    writer.writeGridImage(slot);
    writer.write("</td>");
  } else {
    writer.write("<td align=\"right\"> ");
    writer.formatHundredths(store.BestLapMinSpeed[slot][sector]);
    writer.write("<td align=\"right\"> ");
    writer.formatHundredths(store.BestLapMaxSpeed[slot][sector]);
    writer.write(" </td> ");
  }
  writer.write("\n </tr> \n");
}

void writeSectorTable(ReportWriter& writer, int sector) {
  const EventStore& store = writer.store();
  const bool besideLeft = sector % 2 == 1;
  writer.write(besideLeft ? "<table border=3 cellpadding=\"0\" align=\"left\"> "
                          : "<table border=3 cellpadding=\"0\" align=\"center\"> ");
  writer.write("<caption align=\"left\"> SECTOR ");
  writer.writeNumber(sector);
  writer.write(" </caption> ");
  writeSectorHeader(writer);

  writer.markAllUnlisted();
  int32_t leaderTime = 0;
  for (int position = 1; position <= kSlotCount; ++position) {
    const Selection choice = selectNext(
        writer.unlisted(), kSmallestFromNoTime,
        [&](int slot) { return sectorTime(store, slot, sector) > 0; },
        [&](int slot) { return sectorTime(store, slot, sector); });
    if (choice.slot == 0) break;
    // A slot that the sector search never reached has no fourth split: the ranking stops there.
    const auto& splits = store.BestLapSplitTime[choice.slot];
    if (sector == kSectorCount && splits[4] == splits[3]) break;
    if (position == 1) leaderTime = choice.key;
    writeSectorRow(writer, sector, position, choice.slot, choice.key, leaderTime);
    writer.markListed(choice.slot);
  }
  writer.write("</border> </table> \n");
}

}  // namespace

void formatSectorTime(ReportWriter& writer, int32_t ms) {
  const int32_t minutes = ms / 60000;
  if (minutes > 0) {
    writer.writeNumber(minutes % 60);
    writer.write(":");
  }
  writer.writePadded2(ms / 1000 % 60);
  writer.write(".");
  writer.writePadded3(ms % 1000);
}

void writeSectorTables(ReportWriter& writer) {
  writer.write("<div align=\"left\">");
  writeSectorTable(writer, 1);
  writeSectorTable(writer, 2);
  writer.write(" <BR> <br clear=\"all\"> <div> ");
  writeSectorTable(writer, 3);
  writeSectorTable(writer, 4);
  writer.write(" <BR> <BR> ");
}

}  // namespace vorlind
